#include "tests/unit/gtest_wine.h"

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "app/MainFrame.h"
#include "engine/TrackMenus.h"
#include "playback/PlayLogic.h"
#include "resource.h"

namespace {

// Everything the fake engines do and report. The controller creates and deletes engines on
// its own (every stop releases one), so the script and the record outlive each engine.
struct FakeWorld {
    bool initResult = true;
    int playerType = 1;
    std::vector<WString> failingPaths;
    int created = 0, released = 0, plays = 0, pauses = 0, stops = 0;
    std::vector<std::pair<WString, DiscKind>> opened;
    int state = StateNothing;
    long long time = 1000, length = 60000;
    std::vector<long long> seeks;
    int volume = 100;
    bool mute = false;
    std::vector<int> volumesSet;
    int muteToggles = 0;
    // isPlaying keeps answering true this many calls after a pause or stop (-1: for ever).
    int stubbornPolls = 0, pendingStubborn = 0, isPlayingCalls = 0;
    bool video = true;
    VideoSize size{1920, 1080};
    std::string aspect;
    std::vector<std::string> aspectsSet;
    bool discTitles = false;
    int titleCount = 2;
    int title = -1, chapter = -1;
    std::vector<std::pair<int, int>> titleChaptersSet;
    int audioFills = 0, videoFills = 0, subtitleFills = 0;
    int subtitle = -1;
    std::vector<int> subtitlesSet;
    std::vector<WString> subtitleFiles;
    int audioDeviceCount = 2;
};

FakeWorld* gWorld = nullptr;

struct FakeEngine : MediaPlayer {
    FakeWorld& w;
    explicit FakeEngine(FakeWorld& world) : w(world) { ++w.created; }

    int getPlayerType() override { return w.playerType; }
    bool init(HWND) override {
        w.state = StateNothing;
        return w.initResult;
    }
    void release() override { ++w.released; }
    bool open(const WString& path, DiscKind kind) override {
        w.opened.emplace_back(path, kind);
        return std::find(w.failingPaths.begin(), w.failingPaths.end(), path) ==
               w.failingPaths.end();
    }
    bool play() override {
        ++w.plays;
        w.state = StatePlaying;
        return true;
    }
    bool isPlaying() override {
        ++w.isPlayingCalls;
        if (w.pendingStubborn != 0) {
            if (w.pendingStubborn > 0) --w.pendingStubborn;
            return true;
        }
        return w.state == StatePlaying;
    }
    void pause() override {
        ++w.pauses;
        w.state = w.state == StatePlaying ? StatePaused : StatePlaying;
        w.pendingStubborn = w.stubbornPolls;
    }
    void stop() override {
        ++w.stops;
        w.state = StateStopped;
        w.pendingStubborn = w.stubbornPolls;
    }
    long long getTime() override { return w.time; }
    long long getLength() override { return w.length; }
    void setTime(long long ms) override { w.seeks.push_back(ms); }
    int getVolume() override { return w.volume; }
    bool setVolume(int v) override {
        w.volumesSet.push_back(v);
        w.volume = v;
        return true;
    }
    int getState() override { return w.state; }
    void setHwnd(HWND) override {}
    bool isMute() override { return w.mute; }
    void toggleMute() override {
        ++w.muteToggles;
        w.mute = !w.mute;
    }
    bool hasVideo() override { return w.video; }
    VideoSize getVideoSize() override { return w.size; }
    bool setAspectRatio(const std::string& text) override {
        w.aspectsSet.push_back(text);
        w.aspect = text;
        return true;
    }
    std::string getAspectRatio() override { return w.aspect; }
    int getAudioTracks(TrackList& list) override {
        ++w.audioFills;
        list.add(1, "English");
        list.add(2, "Fran\xc3\xa7"
                    "ais");
        return list.count();
    }
    void getTitles(TrackList& list) override {
        if (!w.discTitles) return;
        for (int t = 0; t < w.titleCount; ++t) {
            list.add(t, t == 0 ? "Fran\xc3\xa7"
                                 "ais"
                               : "Title " + std::to_string(t + 1));
            auto chapters = std::make_unique<TrackList>();
            for (int c = 0; c < 3 - t; ++c)
                chapters->add(c, "Chapter " + std::to_string(c + 1));
            list[t].chapters = std::move(chapters);
        }
    }
    int getTitle() override { return w.title; }
    int getChapter() override { return w.chapter; }
    void setTitleChapter(int t, int c) override { w.titleChaptersSet.emplace_back(t, c); }
    // Each title has its own video and subtitle track ids.
    int getVideoTracks(TrackList& list) override {
        ++w.videoFills;
        list.add(100 + w.title, "Video");
        return list.count();
    }
    int getSubtitles(TrackList& list) override {
        ++w.subtitleFills;
        list.add(200 + w.title, "Subtitle");
        list.add(-1, "Load subtitle file...");
        return list.count();
    }
    int getSubtitle() override { return w.subtitle; }
    void setSubtitle(int id) override { w.subtitlesSet.push_back(id); }
    void setSubtitleFile(const WString& path) override { w.subtitleFiles.push_back(path); }
    int getAudioDevices(AudioDeviceList& list) override {
        for (int i = 0; i < w.audioDeviceCount; ++i)
            list.items.push_back(AudioDeviceInfo{});
        return list.count();
    }
};

MediaPlayer* makeFakeEngine(EngineKind) {
    return new FakeEngine(*gWorld);
}

WString chosenSubtitle;
WString chooseSubtitle() {
    return chosenSubtitle;
}

class PlayLogicTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = gMainFrame;
        gMainFrame.mainWindow = nullptr; // no relay, no menus, no bar, no video window
        gMainFrame.mainMenu = nullptr;
        gMainFrame.playWnd = nullptr;
        gMainFrame.playBar = nullptr;
        gMainFrame.preferences.seekStep = 0;
        gWorld = &world;
        PlayLogic::engineFactory = makeFakeEngine;
        gMainFrame.playLogic = logic = new PlayLogic();
    }
    void TearDown() override {
        delete logic;
        PlayLogic::engineFactory = nullptr;
        chooseFileHook = nullptr;
        gWorld = nullptr;
        gMainFrame = saved;
    }
    // A play list of files that need not exist (the fake engine opens anything).
    void setList(std::initializer_list<const wchar_t*> paths, int current) {
        logic->playList.clear();
        for (const wchar_t* p : paths)
            logic->playList.entries.push_back(PlayListEntry{0, p});
        logic->playList.setCurrent(current);
    }
    void startEntry(int index) {
        ASSERT_TRUE(logic->open(logic->playList.entryPath(index), 0));
        ASSERT_TRUE(logic->play());
    }
    WString lastOpened() const {
        return world.opened.empty() ? WString() : world.opened.back().first;
    }

    MainFrameState saved;
    FakeWorld world;
    PlayLogic* logic = nullptr;
};

} // namespace

TEST_F(PlayLogicTest, PlayStartsResumesAndReopensAfterStop) {
    EXPECT_FALSE(logic->play()); // nothing to play
    ASSERT_TRUE(logic->open(L"K:\\", 1));
    EXPECT_EQ(logic->currentName, WString());
    EXPECT_EQ(logic->engineKind, 1);
    EXPECT_EQ(world.plays, 0); // opening does not start playback
    EXPECT_EQ(logic->audioDevices.count(), 2);

    EXPECT_TRUE(logic->play());
    EXPECT_TRUE(logic->play()); // while playing: nothing
    EXPECT_EQ(world.plays, 1);
    logic->pause();
    EXPECT_EQ(world.state, StatePaused);
    EXPECT_TRUE(logic->play()); // resumes the same engine
    EXPECT_EQ(world.plays, 2);
    EXPECT_EQ(world.created, 1);

    logic->stop();
    EXPECT_EQ(logic->player, nullptr);
    EXPECT_EQ(world.released, 1);
    EXPECT_EQ(logic->audioDevices.count(), 0);
    EXPECT_EQ(logic->currentPath, WString(L"K:\\"));
    EXPECT_TRUE(logic->play()); // a fresh engine opens the same source with its disc kind
    EXPECT_EQ(world.created, 2);
    ASSERT_EQ(world.opened.size(), 2u);
    EXPECT_EQ(world.opened[1], (std::pair<WString, DiscKind>(L"K:\\", 1)));

    // A source that no longer opens: play stops everything and fails.
    logic->stop();
    world.failingPaths.push_back(L"K:\\");
    EXPECT_FALSE(logic->play());
    EXPECT_EQ(logic->player, nullptr);
}

TEST_F(PlayLogicTest, OpenFailuresKeepTheCurrentSource) {
    ASSERT_TRUE(logic->open(L"C:\\films\\a.mkv", 0));
    EXPECT_EQ(logic->currentName, WString(L"a.mkv"));
    world.failingPaths.push_back(L"C:\\films\\bad.mkv");
    EXPECT_FALSE(logic->open(L"C:\\films\\bad.mkv", 0));
    EXPECT_EQ(logic->currentPath, WString(L"C:\\films\\a.mkv"));

    // No engine exists for swf and fla, whatever the case of the extension.
    const int created = world.created;
    EXPECT_FALSE(logic->open(L"C:\\films\\clip.SWF", 0));
    EXPECT_FALSE(logic->open(L"C:\\films\\clip.fla", 0));
    EXPECT_EQ(world.created, created);
    EXPECT_EQ(logic->currentPath, WString(L"C:\\films\\a.mkv"));

    // An engine whose init fails is not kept.
    logic->stop();
    world.initResult = false;
    EXPECT_FALSE(logic->open(L"C:\\films\\a.mkv", 0));
    EXPECT_EQ(logic->player, nullptr);
}

TEST_F(PlayLogicTest, EngineKindAndFileNameFollowThePathText) {
    EXPECT_EQ(PlayLogic::engineKindForPath(L"C:\\a.swf"), 2);
    EXPECT_EQ(PlayLogic::engineKindForPath(L"C:\\A.SWF"), 2);
    EXPECT_EQ(PlayLogic::engineKindForPath(L"C:\\movie.Fla"), 2);
    EXPECT_EQ(PlayLogic::engineKindForPath(L"C:\\a.swf.mkv"), 1);
    EXPECT_EQ(PlayLogic::engineKindForPath(L"C:\\a.swfx"), 1);
    EXPECT_EQ(PlayLogic::engineKindForPath(L"C:\\swf"), 1);
    EXPECT_EQ(PlayLogic::engineKindForPath(L"C:\\trailing."), 1);
    EXPECT_EQ(PlayLogic::engineKindForPath(L"K:\\"), 1);

    EXPECT_EQ(PlayLogic::fileNamePart(L"C:\\films\\a.mkv"), WString(L"a.mkv"));
    EXPECT_EQ(PlayLogic::fileNamePart(L"C:/films/b.avi"), WString(L"b.avi"));
    EXPECT_EQ(PlayLogic::fileNamePart(L"\\a.mkv"), WString());
    EXPECT_EQ(PlayLogic::fileNamePart(L"a.mkv"), WString());
    EXPECT_EQ(PlayLogic::fileNamePart(L"K:\\"), WString());
}

TEST_F(PlayLogicTest, PauseAndStopWaitForTheEngineButNotForEver) {
    ASSERT_TRUE(logic->open(L"C:\\a.mkv", 0));
    ASSERT_TRUE(logic->play());
    world.stubbornPolls = 3; // stops reporting "playing" after three more answers
    DWORD start = GetTickCount();
    logic->pause();
    DWORD took = GetTickCount() - start;
    EXPECT_EQ(world.pendingStubborn, 0); // waited until the engine gave in
    EXPECT_GE(took, 250u);
    EXPECT_LT(took, 1500u);
    EXPECT_EQ(world.state, StatePaused);

    world.state = StatePlaying;
    world.stubbornPolls = -1; // never stops reporting "playing"
    start = GetTickCount();
    logic->stop();
    took = GetTickCount() - start;
    EXPECT_LT(took, 4000u);
    EXPECT_GE(took, 1000u);
    EXPECT_EQ(logic->player, nullptr);
    EXPECT_EQ(world.stops, 1);
}

TEST_F(PlayLogicTest, NextAndPreviousWrapAroundTheList) {
    setList({L"C:\\f\\a.avi", L"C:\\f\\b.avi", L"C:\\f\\c.avi"}, 2);
    startEntry(2);
    EXPECT_TRUE(logic->canSkip());
    logic->step(+1);
    EXPECT_EQ(lastOpened(), WString(L"C:\\f\\a.avi"));
    EXPECT_EQ(logic->playList.currentIndex(), 0);
    EXPECT_EQ(logic->currentName, WString(L"a.avi"));
    EXPECT_EQ(world.state, StatePlaying);
    logic->step(-1);
    EXPECT_EQ(lastOpened(), WString(L"C:\\f\\c.avi"));
    EXPECT_EQ(logic->playList.currentIndex(), 2);

    // A step while the new item still shows time 0 is ignored.
    world.time = 0;
    const size_t opens = world.opened.size();
    logic->step(+1);
    EXPECT_EQ(world.opened.size(), opens);
    EXPECT_EQ(logic->playList.currentIndex(), 2);
}

TEST_F(PlayLogicTest, StepsNeedTwoEntriesAndACurrentOne) {
    setList({L"C:\\f\\a.avi"}, 0);
    EXPECT_FALSE(logic->canSkip());
    setList({L"C:\\f\\a.avi", L"C:\\f\\b.avi"}, -1);
    EXPECT_FALSE(logic->canSkip());
    logic->step(+1);
    EXPECT_TRUE(world.opened.empty());
    logic->playList.setCurrent(1);
    EXPECT_TRUE(logic->canSkip());
}

TEST_F(PlayLogicTest, EntriesThatNoLongerOpenAreDroppedDuringAStep) {
    setList({L"C:\\f\\a.avi", L"C:\\f\\b.avi", L"C:\\f\\c.avi", L"C:\\f\\d.avi"}, 0);
    startEntry(0);
    world.failingPaths = {L"C:\\f\\b.avi"};
    logic->step(+1);
    EXPECT_EQ(lastOpened(), WString(L"C:\\f\\c.avi"));
    EXPECT_EQ(logic->playList.count(), 3);
    EXPECT_EQ(logic->playList.entryPath(logic->playList.currentIndex()), WString(L"C:\\f\\c.avi"));

    // Backwards: a fails, then d (wrapping round); the step ends on c itself.
    world.failingPaths = {L"C:\\f\\a.avi", L"C:\\f\\d.avi"};
    logic->step(-1);
    EXPECT_EQ(lastOpened(), WString(L"C:\\f\\c.avi"));
    EXPECT_EQ(logic->playList.count(), 1);

    // Nothing opens any more: the list ends empty and nothing plays.
    setList({L"C:\\f\\a.avi", L"C:\\f\\b.avi"}, 0);
    world.failingPaths = {L"C:\\f\\a.avi", L"C:\\f\\b.avi"};
    logic->step(+1);
    EXPECT_EQ(logic->playList.count(), 0);
    EXPECT_EQ(logic->player, nullptr);
}

TEST_F(PlayLogicTest, EndOfMediaStartsTheNextEntryAndStopsAfterTheLast) {
    setList({L"C:\\f\\a.avi", L"C:\\f\\b.avi"}, 0);
    startEntry(0);
    logic->timerProc();
    EXPECT_EQ(world.plays, 1); // still playing: nothing happens

    world.state = StateEnded;
    logic->timerProc();
    EXPECT_EQ(lastOpened(), WString(L"C:\\f\\b.avi"));
    EXPECT_EQ(logic->playList.currentIndex(), 1);
    EXPECT_EQ(world.state, StatePlaying);

    world.state = StateEnded;
    const size_t opens = world.opened.size();
    logic->timerProc();
    EXPECT_EQ(world.opened.size(), opens); // never wraps at the end
    EXPECT_EQ(logic->player, nullptr);
    EXPECT_EQ(logic->currentPath, WString(L"C:\\f\\b.avi"));
}

int loadFailures = 0;
void countLoadFailure() { ++loadFailures; }

// libVLC accepts any file and plays asynchronously; a file it cannot decode shows up as the
// error state, or as the end before any time was shown.
TEST_F(PlayLogicTest, MediaThatOpensButCannotPlayIsReportedOrDroppedWhenStepped) {
    loadFailures = 0;
    PlayLogic::loadFailureHandler = countLoadFailure;
    setList({L"C:\\f\\a.avi", L"C:\\f\\b.avi", L"C:\\f\\c.avi"}, 0);
    startEntry(0);
    world.time = 0;
    world.state = StateError;
    logic->timerProc();
    EXPECT_EQ(loadFailures, 1);
    EXPECT_EQ(logic->player, nullptr);
    EXPECT_EQ(world.opened.size(), 1u); // no advance after a failure of what the user opened

    startEntry(0);
    world.state = StateEnded; // ended without ever showing time
    logic->timerProc();
    EXPECT_EQ(loadFailures, 2);

    // Played for a while, then ended: the ordinary advance, no report.
    startEntry(0);
    world.time = 1500;
    logic->timerProc();
    world.state = StateEnded;
    logic->timerProc();
    EXPECT_EQ(loadFailures, 2);
    EXPECT_EQ(lastOpened(), WString(L"C:\\f\\b.avi"));

    // b was reached by the advance and cannot play: dropped, and c follows without a report.
    world.time = 0;
    world.state = StateError;
    logic->timerProc();
    EXPECT_EQ(loadFailures, 2);
    EXPECT_EQ(lastOpened(), WString(L"C:\\f\\c.avi"));
    ASSERT_EQ(logic->playList.count(), 2);
    EXPECT_EQ(logic->playList.entryPath(logic->playList.currentIndex()), WString(L"C:\\f\\c.avi"));
    PlayLogic::loadFailureHandler = nullptr;
}

TEST_F(PlayLogicTest, OnADiscFolderStepsMoveBetweenTitlesFromChapterZero) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder); // an existing folder stands for the disc
    world.discTitles = true;
    world.title = 1;
    world.chapter = 0;
    ASSERT_TRUE(logic->open(folder, 1));
    ASSERT_TRUE(logic->play());
    logic->updateTrackLists();
    ASSERT_EQ(logic->titles.count(), 2);
    logic->playList.buildFromPath(folder);
    EXPECT_TRUE(logic->canSkip());
    logic->step(+1);
    logic->step(-1);
    EXPECT_EQ(world.titleChaptersSet,
              (std::vector<std::pair<int, int>>{{0, 0}, {0, 0}})); // both wrap from title 1
    world.chapter = -1;                                            // no chapter known: no step
    logic->step(+1);
    EXPECT_EQ(world.titleChaptersSet.size(), 2u);

    logic->stop();
    world.titleCount = 1;
    ASSERT_TRUE(logic->play());
    logic->updateTrackLists();
    EXPECT_FALSE(logic->canSkip()); // one title, one list entry
}

TEST_F(PlayLogicTest, SeekUsesTheConfiguredStepWithFixedFiveSecondGuards) {
    EXPECT_FALSE(logic->seek(+1)); // no engine
    ASSERT_TRUE(logic->open(L"C:\\a.mkv", 0));
    EXPECT_FALSE(logic->seek(+1)); // not started
    ASSERT_TRUE(logic->play());
    world.time = 0;
    EXPECT_FALSE(logic->seek(+1));

    world.time = 20000;
    EXPECT_TRUE(logic->seek(+1));
    EXPECT_TRUE(logic->seek(-1));
    world.time = 5000;
    EXPECT_TRUE(logic->seek(-1));
    world.time = 56000;
    EXPECT_TRUE(logic->seek(+1));
    EXPECT_EQ(world.seeks, (std::vector<long long>{25000, 15000, 0, 60000}));

    world.seeks.clear();
    gMainFrame.preferences.seekStep = 12;
    logic->pause(); // paused media seeks too
    world.time = 20000;
    EXPECT_TRUE(logic->seek(+1));
    EXPECT_TRUE(logic->seek(-1));
    // A step longer than the guards cannot overshoot either end.
    world.time = 7000;
    EXPECT_TRUE(logic->seek(-1));
    world.time = 50000;
    EXPECT_TRUE(logic->seek(+1));
    EXPECT_EQ(world.seeks, (std::vector<long long>{32000, 8000, 0, 60000}));
}

TEST_F(PlayLogicTest, VolumeStepsClampAndMuteSilencesTheEngine) {
    logic->setVolume(95);
    logic->stepVolume(+1);
    EXPECT_EQ(logic->volume, 100);
    logic->setVolume(5);
    logic->stepVolume(-1);
    EXPECT_EQ(logic->volume, 0);
    logic->setVolume(150);
    EXPECT_EQ(logic->volume, 100);
    logic->setVolume(-3);
    EXPECT_EQ(logic->volume, 0);

    logic->setVolume(60);
    ASSERT_TRUE(logic->open(L"C:\\a.mkv", 0));
    EXPECT_TRUE(world.volumesSet.empty()); // not started: the engine is left alone
    ASSERT_TRUE(logic->play());
    EXPECT_EQ(world.volume, 60);
    logic->toggleMute();
    EXPECT_TRUE(world.mute);
    EXPECT_EQ(world.volume, 60); // the libVLC engine mutes without losing its volume
    logic->stepVolume(+1);       // from muted: 0 + 10, mute cleared
    EXPECT_EQ(logic->volume, 10);
    EXPECT_FALSE(logic->muted);
    EXPECT_FALSE(world.mute);
    EXPECT_EQ(world.volume, 10);

    // Another engine kind is muted through its volume.
    logic->stop();
    world.playerType = 0;
    ASSERT_TRUE(logic->play());
    logic->toggleMute();
    EXPECT_EQ(world.volume, 0);
    EXPECT_FALSE(world.mute);
    logic->toggleMute();
    EXPECT_EQ(world.volume, 10);
}

TEST_F(PlayLogicTest, AutomaticAspectPicksTheNearestRowOfTheTable) {
    EXPECT_STREQ(PlayLogic::nearestAspect(1920, 1080), "16:9");
    EXPECT_STREQ(PlayLogic::nearestAspect(720, 576), "5:4");
    EXPECT_STREQ(PlayLogic::nearestAspect(720, 480), "16:10");
    EXPECT_STREQ(PlayLogic::nearestAspect(480, 480), "1:1");
    EXPECT_STREQ(PlayLogic::nearestAspect(640, 480), "4:3");
    EXPECT_STREQ(PlayLogic::nearestAspect(2390, 1000), "2.39:1");

    EXPECT_FALSE(logic->applyAspectRatio("4:3")); // no engine
    ASSERT_TRUE(logic->open(L"C:\\a.mkv", 0));
    ASSERT_TRUE(logic->play());
    logic->timerProc(); // playing with no aspect set: one is chosen
    EXPECT_EQ(world.aspectsSet, (std::vector<std::string>{"16:9"}));
    logic->timerProc(); // now set: left alone
    EXPECT_EQ(world.aspectsSet.size(), 1u);

    EXPECT_TRUE(logic->applyAspectRatio("4:3"));
    EXPECT_EQ(logic->aspectRatio, "4:3");
    EXPECT_TRUE(logic->applyAspectRatio("")); // "Default" picks from the table
    EXPECT_EQ(world.aspect, "16:9");
    EXPECT_EQ(logic->aspectRatio, "");

    logic->applyAspectRatio("2.35:1");
    world.size = VideoSize{0, 0}; // no usable size: the engine default, the text stays
    logic->applyAspectRatio(nullptr);
    EXPECT_EQ(world.aspect, "");
    EXPECT_EQ(logic->aspectRatio, "2.35:1");

    world.video = false; // audio only: no automatic choice
    world.aspectsSet.clear();
    logic->timerProc();
    EXPECT_TRUE(world.aspectsSet.empty());
}

TEST_F(PlayLogicTest, TrackListsFillOnceAndFollowTitleChanges) {
    world.discTitles = true;
    world.title = 0;
    world.chapter = 0;
    ASSERT_TRUE(logic->open(L"K:\\", 1));
    ASSERT_TRUE(logic->play());
    logic->updateTrackLists();
    logic->updateTrackLists(); // filled once per source
    EXPECT_EQ(world.audioFills, 1);
    EXPECT_EQ(logic->audioTracks.count(), 2);
    EXPECT_EQ(logic->titles.count(), 2);
    EXPECT_EQ(logic->videoTracks[0].id, 100);
    EXPECT_EQ(logic->subtitles.count(), 2);

    logic->timerProc(); // first tick: title seen, video and subtitles refilled
    EXPECT_EQ(logic->currentTitle, 0);
    EXPECT_EQ(logic->currentChapter, 0);
    EXPECT_EQ(world.videoFills, 2);
    world.chapter = 2;
    logic->timerProc(); // chapter only
    EXPECT_EQ(logic->currentChapter, 2);
    EXPECT_EQ(world.videoFills, 2);
    EXPECT_EQ(logic->currentChapterIndex(), 2);

    world.title = 1;
    world.chapter = 0;
    logic->timerProc();
    EXPECT_EQ(logic->currentTitle, 1);
    ASSERT_EQ(logic->videoTracks.count(), 1);
    EXPECT_EQ(logic->videoTracks[0].id, 101);
    EXPECT_EQ(logic->subtitles[0].id, 201);
    EXPECT_EQ(logic->currentTitleIndex(), 1);

    logic->stop(); // empties every list
    EXPECT_TRUE(logic->audioTracks.empty());
    EXPECT_TRUE(logic->titles.empty());
    EXPECT_TRUE(logic->videoTracks.empty());
    EXPECT_TRUE(logic->subtitles.empty());
    EXPECT_EQ(logic->currentTitle, -1);
    EXPECT_EQ(logic->currentTitleIndex(), -1);

    world.video = false; // audio only: only the audio list
    ASSERT_TRUE(logic->play());
    logic->updateTrackLists();
    EXPECT_EQ(logic->audioTracks.count(), 2);
    EXPECT_TRUE(logic->titles.empty());
    EXPECT_TRUE(logic->videoTracks.empty());
    EXPECT_TRUE(logic->subtitles.empty());
}

TEST_F(PlayLogicTest, ChapterAndSubtitleChoicesStayInsideTheirLists) {
    world.discTitles = true;
    world.title = 1; // two chapters
    ASSERT_TRUE(logic->open(L"K:\\", 1));
    ASSERT_TRUE(logic->play());
    logic->updateTrackLists();
    logic->selectChapter(1);
    logic->selectChapter(2);
    logic->selectChapter(-1);
    EXPECT_EQ(world.titleChaptersSet, (std::vector<std::pair<int, int>>{{1, 1}}));

    chooseFileHook = chooseSubtitle;
    logic->selectSubtitle(0);
    EXPECT_EQ(world.subtitlesSet, (std::vector<int>{201}));
    chosenSubtitle.clear(); // the last entry opens the chooser; cancelled
    logic->selectSubtitle(1);
    EXPECT_TRUE(world.subtitleFiles.empty());
    chosenSubtitle = L"C:\\subs\\film.srt";
    logic->selectSubtitle(1);
    EXPECT_EQ(world.subtitleFiles, (std::vector<WString>{L"C:\\subs\\film.srt"}));
    logic->selectSubtitle(2);
    EXPECT_EQ(world.subtitlesSet.size(), 1u);
    world.subtitle = 201;
    EXPECT_EQ(logic->currentSubtitleIndex(), 0);
}

TEST_F(PlayLogicTest, CurrentTitleNameFollowsTheEnginesTitle) {
    EXPECT_EQ(logic->currentTitleName(), WString());
    world.discTitles = true;
    world.title = 0;
    ASSERT_TRUE(logic->open(L"K:\\", 1));
    ASSERT_TRUE(logic->play());
    logic->updateTrackLists();
    EXPECT_EQ(logic->currentTitleName(), WString(L"Fran\u00e7ais"));
    world.title = 1;
    EXPECT_EQ(logic->currentTitleName(), WString(L"Title 2"));
    world.title = 7; // unknown title: the last name stays
    EXPECT_EQ(logic->currentTitleName(), WString(L"Title 2"));
    logic->stop();
    EXPECT_EQ(logic->currentTitleName(), WString());
}

namespace {

std::vector<std::pair<UINT, WPARAM>> gReceived;
bool gForwardToController = false; // as the main window does

LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MAINFRAME_PLAYER_EVENT || message == WM_COMMAND)
        gReceived.emplace_back(message, wParam);
    if (message == WM_MAINFRAME_PLAYER_EVENT && gForwardToController && gMainFrame.playLogic)
        gMainFrame.playLogic->onPlayerEvent(static_cast<int>(wParam));
    return DefWindowProcW(window, message, wParam, lParam);
}

bool received(WPARAM type) {
    for (const auto& [message, wParam] : gReceived)
        if (message == WM_MAINFRAME_PLAYER_EVENT && wParam == type) return true;
    return false;
}

void pumpFor(DWORD ms, WPARAM until = 0) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        if (until && !gReceived.empty() && gReceived.back().second == until) return;
        Sleep(10);
    }
}

// The relay needs a main window to post to.
class PlayerEventRelayTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = gMainFrame;
        WNDCLASSW wc{};
        wc.lpfnWndProc = recordingProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VelloranRelayTestWindow";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                 nullptr, wc.hInstance, nullptr);
        ASSERT_NE(window, nullptr);
        gReceived.clear();
        gMainFrame.mainWindow = window;
        gMainFrame.mainMenu = nullptr;
        gMainFrame.playWnd = nullptr;
        gMainFrame.playBar = nullptr;
        gMainFrame.playLogic = logic = new PlayLogic();
    }
    void TearDown() override {
        delete logic;
        DestroyWindow(window);
        gForwardToController = false;
        gMainFrame = saved;
    }
    MainFrameState saved;
    HWND window = nullptr;
    PlayLogic* logic = nullptr;
};

} // namespace

TEST_F(PlayerEventRelayTest, OnlyEventsWithEffectsReachTheWindowFromAForeignThread) {
    // A plain thread, like libVLC's: no Win32 call may happen on it.
    std::thread engineThread([] {
        for (int type :
             {int(EventVout), int(EventEndReached), int(EventPlaying), int(EventTimeChanged),
              int(EventTimeChanged), 999, int(EventPaused), int(EventStopped)})
            PlayLogic::queuePlayerEvent(type);
    });
    engineThread.join();
    pumpFor(3000, EventStopped);
    std::vector<WPARAM> types;
    for (const auto& [message, wParam] : gReceived) {
        EXPECT_EQ(message, static_cast<UINT>(WM_MAINFRAME_PLAYER_EVENT));
        types.push_back(wParam);
    }
    EXPECT_EQ(types,
              (std::vector<WPARAM>{EventPlaying, EventTimeChanged, EventPaused, EventStopped}));
}

TEST_F(PlayerEventRelayTest, AVideoOutputEventNeverTogglesFullScreen) {
    logic->onPlayerEvent(EventVout);
    logic->onPlayerEvent(EventEndReached);
    pumpFor(300);
    EXPECT_TRUE(gReceived.empty());
    EXPECT_FALSE(gMainFrame.fullScreen);
}

TEST_F(PlayerEventRelayTest, RealEngineEventsReachTheControllerAndStopDoesNotHang) {
    wchar_t media[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(L"VELLORAN_MEDIA_WIN", media, MAX_PATH);
    const WString file = WString(media, n < MAX_PATH ? n : 0) + L"\\testsrc.mkv";
    if (n == 0 || GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "test media not found (VELLORAN_MEDIA_WIN)";
    gForwardToController = true;
    ASSERT_TRUE(logic->open(file, 0));
    ASSERT_TRUE(logic->play());
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 8000 && !(received(EventPlaying) && received(EventTimeChanged)))
        pumpFor(50);
    EXPECT_TRUE(received(EventPlaying));
    EXPECT_TRUE(received(EventTimeChanged));
    EXPECT_FALSE(logic->audioTracks.empty()); // filled on the GUI thread by the event reaction

    const DWORD stopStart = GetTickCount();
    logic->stop();
    EXPECT_LT(GetTickCount() - stopStart, 3000u);
    EXPECT_EQ(logic->player, nullptr);
    pumpFor(300); // late events of the released engine are harmless
    for (const auto& [message, wParam] : gReceived)
        EXPECT_NE(message, static_cast<UINT>(WM_COMMAND));
}
