#include "tests/unit/gtest_wine.h"

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "engine/VlcPlayer.h"
#include "playback/PlayLogic.h"
#include "platform/EventRelay.h"
#include "resources/resource.h"

namespace {

// Everything the fake engines do and report. The controller creates and deletes engines on
// its own (every stop releases one), so the script and the record outlive each engine.
struct FakeWorld {
    bool initResult = true;
    int playerType = 1;
    std::vector<WString> failingPaths;
    int created = 0, released = 0, plays = 0, pauses = 0, stops = 0;
    std::vector<std::pair<WString, DiscKind>> opened;
    PlayerState state = PlayerState::Nothing;
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
    bool menu = false;
    bool lateAudio = false;
    int menuTitle = -1;
    std::vector<MenuAction> moves;
    std::vector<std::pair<int, int>> pointers;
    std::vector<EngineReport> reports; // what libVLC's dialogs said, oldest first
};

FakeWorld* gWorld = nullptr;

struct FakeEngine : MediaPlayer {
    FakeWorld& w;
    explicit FakeEngine(FakeWorld& world) : w(world) { ++w.created; }

    int getPlayerType() override { return w.playerType; }
    bool init(HWND) override {
        w.state = PlayerState::Nothing;
        return w.initResult;
    }
    void release() override { ++w.released; }
    bool takeReport(EngineReport& report) override {
        if (w.reports.empty()) return false;
        report = w.reports.front();
        w.reports.erase(w.reports.begin());
        return true;
    }
    bool open(const WString& path, DiscKind kind) override {
        w.opened.emplace_back(path, kind);
        return std::find(w.failingPaths.begin(), w.failingPaths.end(), path) ==
               w.failingPaths.end();
    }
    bool play() override {
        ++w.plays;
        w.state = PlayerState::Playing;
        return true;
    }
    bool isPlaying() override {
        ++w.isPlayingCalls;
        if (w.pendingStubborn != 0) {
            if (w.pendingStubborn > 0) --w.pendingStubborn;
            return true;
        }
        return w.state == PlayerState::Playing;
    }
    void pause() override {
        ++w.pauses;
        w.state = w.state == PlayerState::Playing ? PlayerState::Paused : PlayerState::Playing;
        w.pendingStubborn = w.stubbornPolls;
    }
    void stop() override {
        ++w.stops;
        w.state = PlayerState::Stopped;
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
    PlayerState getState() override { return w.state; }
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
        if (w.lateAudio) list.add(3, "Deutsch");
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
            list[t].menu = t == w.menuTitle;
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
    bool isMenuShown() override { return w.menu; }
    void navigate(MenuAction action) override { w.moves.push_back(action); }
    bool menuPointer(int x, int y, bool) override {
        w.pointers.emplace_back(x, y);
        return true;
    }
    int getAudioDevices(AudioDeviceList& list) override {
        for (int i = 0; i < w.audioDeviceCount; ++i)
            list.items.push_back(AudioDeviceInfo{});
        return list.count();
    }
};

MediaPlayer* makeFakeEngine(EngineKind) {
    return new FakeEngine(*gWorld);
}

// What the controller reported, as the window side would have received it.
struct RecordingListener : PlayLogicListener {
    int stateChanges = 0, timeChanges = 0, volumeChanges = 0, stops = 0, loadFailures = 0;
    int discsLost = 0;
    std::vector<TrackListKind> lists;
    std::vector<bool> videoShown;
    PlayStatus status;
    long long time = -1, length = -1;
    int volume = -1;
    bool muted = false;

    bool prepareVideo(EngineKind) override { return true; }
    HWND videoSurface() override { return nullptr; }
    void showVideo(bool visible) override { videoShown.push_back(visible); }
    void stateChanged(const PlayStatus& s) override {
        ++stateChanges;
        status = s;
    }
    void positionChanged() override {}
    void listChanged(TrackListKind list) override { lists.push_back(list); }
    void timeChanged(long long t, long long l) override {
        ++timeChanges;
        time = t;
        length = l;
    }
    void volumeChanged(int v, bool m) override {
        ++volumeChanges;
        volume = v;
        muted = m;
    }
    void playbackStopped() override { ++stops; }
    void loadFailed() override { ++loadFailures; }
    void discLost(const WString&) override { ++discsLost; }
    void problemReported(const WString& reason) override { problems.push_back(reason); }
    void engineBusy(bool busy) override { busyChanges.push_back(busy); }
    std::vector<WString> problems;
    std::vector<bool> busyChanges;
};

class PlayLogicTest : public ::testing::Test {
protected:
    void SetUp() override {
        gWorld = &world;
        PlayLogic::setEngineFactory(makeFakeEngine);
        // No event window: the tests deliver the engine's events themselves.
        logic = std::make_unique<PlayLogic>(&listener, nullptr, 0, &preferences);
    }
    void TearDown() override {
        logic.reset();
        PlayLogic::setEngineFactory(nullptr);
        gWorld = nullptr;
    }
    // A play list of files that need not exist (the fake engine opens anything).
    void setList(std::initializer_list<const wchar_t*> paths, int current) {
        PlayListData list;
        for (const wchar_t* p : paths)
            list.entries.push_back(PlayListEntry{0, p});
        list.setCurrent(current);
        logic->setPlayList(std::move(list));
    }
    const TrackList& list(TrackListKind kind) { return *logic->trackList(kind); }
    void startEntry(int index) {
        ASSERT_TRUE(logic->open(logic->playList().entryPath(index), DiscKind::None));
        ASSERT_TRUE(logic->play());
    }
    WString lastOpened() const {
        return world.opened.empty() ? WString() : world.opened.back().first;
    }

    RecordingListener listener;
    PreferenceData preferences{};
    FakeWorld world;
    std::unique_ptr<PlayLogic> logic;
};

} // namespace

TEST_F(PlayLogicTest, PlayStartsResumesAndReopensAfterStop) {
    EXPECT_FALSE(logic->play()); // nothing to play
    ASSERT_TRUE(logic->open(L"K:\\", DiscKind::Dvd));
    EXPECT_EQ(logic->currentName(), WString());
    EXPECT_EQ(logic->engineKind(), EngineKind::Vlc);
    EXPECT_EQ(world.plays, 0); // opening does not start playback
    EXPECT_EQ(logic->audioDevices().count(), 2);

    EXPECT_TRUE(logic->play());
    EXPECT_TRUE(logic->play()); // while playing: nothing
    EXPECT_EQ(world.plays, 1);
    logic->pause();
    EXPECT_EQ(world.state, PlayerState::Paused);
    EXPECT_TRUE(logic->play()); // resumes the same engine
    EXPECT_EQ(world.plays, 2);
    EXPECT_EQ(world.created, 1);

    logic->stop();
    EXPECT_FALSE(logic->hasEngine());
    EXPECT_EQ(world.released, 1);
    EXPECT_EQ(logic->audioDevices().count(), 0);
    EXPECT_EQ(logic->currentPath(), WString(L"K:\\"));
    EXPECT_TRUE(logic->play()); // a fresh engine opens the same source with its disc kind
    EXPECT_EQ(world.created, 2);
    ASSERT_EQ(world.opened.size(), 2u);
    EXPECT_EQ(world.opened[1], (std::pair<WString, DiscKind>(L"K:\\", DiscKind::Dvd)));

    // A source that no longer opens: play stops everything and fails.
    logic->stop();
    world.failingPaths.push_back(L"K:\\");
    EXPECT_FALSE(logic->play());
    EXPECT_FALSE(logic->hasEngine());
}

TEST_F(PlayLogicTest, OpenFailuresKeepTheCurrentSource) {
    ASSERT_TRUE(logic->open(L"C:\\films\\a.mkv", DiscKind::None));
    EXPECT_EQ(logic->currentName(), WString(L"a.mkv"));
    world.failingPaths.push_back(L"C:\\films\\bad.mkv");
    EXPECT_FALSE(logic->open(L"C:\\films\\bad.mkv", DiscKind::None));
    EXPECT_EQ(logic->currentPath(), WString(L"C:\\films\\a.mkv"));

    // No engine exists for swf and fla, whatever the case of the extension.
    const int created = world.created;
    EXPECT_FALSE(logic->open(L"C:\\films\\clip.SWF", DiscKind::None));
    EXPECT_FALSE(logic->open(L"C:\\films\\clip.fla", DiscKind::None));
    EXPECT_EQ(world.created, created);
    EXPECT_EQ(logic->currentPath(), WString(L"C:\\films\\a.mkv"));

    // An engine whose init fails is not kept.
    logic->stop();
    world.initResult = false;
    EXPECT_FALSE(logic->open(L"C:\\films\\a.mkv", DiscKind::None));
    EXPECT_FALSE(logic->hasEngine());
}

TEST_F(PlayLogicTest, EngineKindAndFileNameFollowThePathText) {
    EXPECT_EQ(PlayLogic::engineKindForPath(L"C:\\a.swf"), EngineKind::NoEngine);
    EXPECT_EQ(PlayLogic::engineKindForPath(L"C:\\A.SWF"), EngineKind::NoEngine);
    EXPECT_EQ(PlayLogic::engineKindForPath(L"C:\\movie.Fla"), EngineKind::NoEngine);
    EXPECT_EQ(PlayLogic::engineKindForPath(L"C:\\a.swf.mkv"), EngineKind::Vlc);
    EXPECT_EQ(PlayLogic::engineKindForPath(L"C:\\a.swfx"), EngineKind::Vlc);
    EXPECT_EQ(PlayLogic::engineKindForPath(L"C:\\swf"), EngineKind::Vlc);
    EXPECT_EQ(PlayLogic::engineKindForPath(L"C:\\trailing."), EngineKind::Vlc);
    EXPECT_EQ(PlayLogic::engineKindForPath(L"K:\\"), EngineKind::Vlc);

    EXPECT_EQ(PlayLogic::fileNamePart(L"C:\\films\\a.mkv"), WString(L"a.mkv"));
    EXPECT_EQ(PlayLogic::fileNamePart(L"C:/films/b.avi"), WString(L"b.avi"));
    EXPECT_EQ(PlayLogic::fileNamePart(L"\\a.mkv"), WString());
    EXPECT_EQ(PlayLogic::fileNamePart(L"a.mkv"), WString());
    EXPECT_EQ(PlayLogic::fileNamePart(L"K:\\"), WString());
}

TEST_F(PlayLogicTest, ReportsReachTheListenerInsteadOfAnyWindow) {
    world.discTitles = true;
    world.title = 0;
    world.chapter = 0;
    ASSERT_TRUE(logic->open(L"K:\\", DiscKind::Dvd));
    ASSERT_TRUE(logic->play());
    EXPECT_EQ(listener.videoShown, (std::vector<bool>{true}));
    logic->handleProc(PlayerEvent::Playing);
    EXPECT_EQ(listener.stateChanges, 1);
    EXPECT_EQ(listener.status.state, PlayerState::Playing);
    EXPECT_EQ(listener.status.playListCount, 0);
    EXPECT_EQ(listener.lists,
              (std::vector<TrackListKind>{TrackListKind::AudioTracks, TrackListKind::Titles,
                                          TrackListKind::VideoTracks, TrackListKind::Subtitles}));
    logic->timerProc();
    ASSERT_NE(logic->trackList(TrackListKind::Chapters), nullptr);
    EXPECT_EQ(logic->trackList(TrackListKind::Chapters)->count(), 3);
    logic->handleProc(PlayerEvent::TimeChanged);
    EXPECT_EQ(listener.timeChanges, 1);
    EXPECT_EQ(listener.time, 1000);
    EXPECT_EQ(listener.length, 60000);
    logic->seekTo(2500); // the position sought is reported at once
    EXPECT_EQ(listener.timeChanges, 2);
    logic->setVolume(40);
    logic->toggleMute();
    EXPECT_EQ(listener.volumeChanges, 2);
    EXPECT_EQ(listener.volume, 40);
    EXPECT_TRUE(listener.muted);

    // A choice from a menu goes to the engine; a title's audio tracks are read again.
    logic->selectItem(TrackListKind::Titles, 1);
    EXPECT_EQ(world.titleChaptersSet.back(), std::make_pair(1, -1));
    EXPECT_TRUE(list(TrackListKind::AudioTracks).empty());

    listener.lists.clear();
    logic->stop();
    EXPECT_EQ(listener.stops, 1);
    listener.stops = 0;
    EXPECT_EQ(listener.lists,
              (std::vector<TrackListKind>{TrackListKind::AudioTracks, TrackListKind::Titles,
                                          TrackListKind::VideoTracks, TrackListKind::Subtitles}));
    EXPECT_EQ(listener.loadFailures, 0);

    // A disc whose folder is gone when it ends went away: said so, not taken as unplayable.
    ASSERT_TRUE(logic->open(L"C:\\no such disc\\", DiscKind::Dvd));
    ASSERT_TRUE(logic->play());
    world.state = PlayerState::Error;
    logic->handleProc(PlayerEvent::EncounteredError);
    EXPECT_EQ(listener.discsLost, 1);
    EXPECT_EQ(listener.loadFailures, 0);
    EXPECT_FALSE(logic->hasEngine());
}

TEST_F(PlayLogicTest, PauseAndStopWaitForTheEngineButNotForEver) {
    ASSERT_TRUE(logic->open(L"C:\\a.mkv", DiscKind::None));
    ASSERT_TRUE(logic->play());
    world.stubbornPolls = 3; // stops reporting "playing" after three more answers
    logic->pause();
    EXPECT_EQ(world.pendingStubborn, 0); // waited until the engine gave in
    EXPECT_EQ(world.state, PlayerState::Paused);

    world.state = PlayerState::Playing;
    world.stubbornPolls = -1; // never stops reporting "playing": the stop still returns
    logic->stop();
    EXPECT_FALSE(logic->hasEngine());
    EXPECT_EQ(world.stops, 1);
}

TEST_F(PlayLogicTest, NextAndPreviousWrapAroundTheList) {
    setList({L"C:\\f\\a.avi", L"C:\\f\\b.avi", L"C:\\f\\c.avi"}, 2);
    startEntry(2);
    EXPECT_TRUE(logic->canSkip());
    logic->step(+1);
    EXPECT_EQ(lastOpened(), WString(L"C:\\f\\a.avi"));
    EXPECT_EQ(logic->playList().currentIndex(), 0);
    EXPECT_EQ(logic->currentName(), WString(L"a.avi"));
    EXPECT_EQ(world.state, PlayerState::Playing);
    logic->step(-1);
    EXPECT_EQ(lastOpened(), WString(L"C:\\f\\c.avi"));
    EXPECT_EQ(logic->playList().currentIndex(), 2);

    // A step while the new item still shows time 0 is ignored.
    world.time = 0;
    const size_t opens = world.opened.size();
    logic->step(+1);
    EXPECT_EQ(world.opened.size(), opens);
    EXPECT_EQ(logic->playList().currentIndex(), 2);
}

TEST_F(PlayLogicTest, StepsNeedTwoEntriesAndACurrentOne) {
    setList({L"C:\\f\\a.avi"}, 0);
    EXPECT_FALSE(logic->canSkip());
    setList({L"C:\\f\\a.avi", L"C:\\f\\b.avi"}, -1);
    EXPECT_FALSE(logic->canSkip());
    logic->step(+1);
    EXPECT_TRUE(world.opened.empty());
    setList({L"C:\\f\\a.avi", L"C:\\f\\b.avi"}, 1);
    EXPECT_TRUE(logic->canSkip());
}

TEST_F(PlayLogicTest, EntriesThatNoLongerOpenAreDroppedDuringAStep) {
    setList({L"C:\\f\\a.avi", L"C:\\f\\b.avi", L"C:\\f\\c.avi", L"C:\\f\\d.avi"}, 0);
    startEntry(0);
    world.failingPaths = {L"C:\\f\\b.avi"};
    logic->step(+1);
    EXPECT_EQ(lastOpened(), WString(L"C:\\f\\c.avi"));
    EXPECT_EQ(logic->playList().count(), 3);
    EXPECT_EQ(logic->playList().entryPath(logic->playList().currentIndex()),
              WString(L"C:\\f\\c.avi"));

    // Backwards: a fails, then d (wrapping round); the step ends on c itself.
    world.failingPaths = {L"C:\\f\\a.avi", L"C:\\f\\d.avi"};
    logic->step(-1);
    EXPECT_EQ(lastOpened(), WString(L"C:\\f\\c.avi"));
    EXPECT_EQ(logic->playList().count(), 1);

    // Nothing opens any more: the list ends empty and nothing plays.
    setList({L"C:\\f\\a.avi", L"C:\\f\\b.avi"}, 0);
    world.failingPaths = {L"C:\\f\\a.avi", L"C:\\f\\b.avi"};
    logic->step(+1);
    EXPECT_EQ(logic->playList().count(), 0);
    EXPECT_FALSE(logic->hasEngine());
}

TEST_F(PlayLogicTest, EndOfMediaStartsTheNextEntryAndStopsAfterTheLast) {
    setList({L"C:\\f\\a.avi", L"C:\\f\\b.avi"}, 0);
    startEntry(0);
    logic->timerProc();
    EXPECT_EQ(world.plays, 1); // still playing: nothing happens

    world.state = PlayerState::Ended;
    logic->timerProc(); // the end is an event, not something the timer looks for
    EXPECT_EQ(world.opened.size(), 1u);
    logic->handleProc(PlayerEvent::EndReached);
    EXPECT_EQ(lastOpened(), WString(L"C:\\f\\b.avi"));
    EXPECT_EQ(logic->playList().currentIndex(), 1);
    EXPECT_EQ(world.state, PlayerState::Playing);
    // A late end event of an engine already replaced changes nothing.
    logic->handleProc(PlayerEvent::EndReached);
    EXPECT_EQ(logic->playList().currentIndex(), 1);

    world.state = PlayerState::Ended;
    const size_t opens = world.opened.size();
    logic->handleProc(PlayerEvent::EndReached);
    EXPECT_EQ(world.opened.size(), opens); // never wraps at the end
    EXPECT_FALSE(logic->hasEngine());
    EXPECT_EQ(logic->currentPath(), WString(L"C:\\f\\b.avi"));
}

// libVLC accepts any file and plays asynchronously; a file it cannot decode shows up as the
// error state, or as the end before any time was shown.
TEST_F(PlayLogicTest, MediaThatOpensButCannotPlayIsReportedOrDroppedWhenStepped) {
    setList({L"C:\\f\\a.avi", L"C:\\f\\b.avi", L"C:\\f\\c.avi"}, 0);
    startEntry(0);
    world.time = 0;
    world.state = PlayerState::Error;
    logic->handleProc(PlayerEvent::EncounteredError);
    EXPECT_EQ(listener.loadFailures, 1);
    EXPECT_FALSE(logic->hasEngine());
    EXPECT_EQ(world.opened.size(), 1u); // no advance after a failure of what the user opened

    startEntry(0);
    world.state = PlayerState::Ended; // ended without ever showing time
    logic->handleProc(PlayerEvent::EndReached);
    EXPECT_EQ(listener.loadFailures, 2);

    // Played for a while, then ended: the ordinary advance, no report.
    startEntry(0);
    world.time = 1500;
    logic->timerProc();
    world.state = PlayerState::Ended;
    logic->handleProc(PlayerEvent::EndReached);
    EXPECT_EQ(listener.loadFailures, 2);
    EXPECT_EQ(lastOpened(), WString(L"C:\\f\\b.avi"));

    // b was reached by the advance and cannot play: dropped, and c follows without a report.
    world.time = 0;
    world.state = PlayerState::Error;
    logic->handleProc(PlayerEvent::EncounteredError);
    EXPECT_EQ(listener.loadFailures, 2);
    EXPECT_EQ(lastOpened(), WString(L"C:\\f\\c.avi"));
    ASSERT_EQ(logic->playList().count(), 2);
    EXPECT_EQ(logic->playList().entryPath(logic->playList().currentIndex()),
              WString(L"C:\\f\\c.avi"));
}

TEST_F(PlayLogicTest, OnADiscFolderStepsMoveBetweenTitlesFromChapterZero) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder); // an existing folder stands for the disc
    world.discTitles = true;
    world.title = 1;
    world.chapter = 0;
    ASSERT_TRUE(logic->open(folder, DiscKind::Dvd));
    ASSERT_TRUE(logic->play());
    logic->updateTrackLists();
    ASSERT_EQ(list(TrackListKind::Titles).count(), 2);
    logic->buildPlayList(folder);
    EXPECT_TRUE(logic->canSkip());
    logic->step(+1);
    logic->step(-1);
    EXPECT_EQ(world.titleChaptersSet,
              (std::vector<std::pair<int, int>>{{0, 0}, {0, 0}})); // both wrap from title 1
    world.chapter = -1;                                            // no chapter known: no step
    logic->step(+1);
    EXPECT_EQ(world.titleChaptersSet.size(), 2u);

    // A menu among three titles is passed over, and a menu beside one title leaves no step.
    logic->stop();
    world.titleCount = 3;
    world.menuTitle = 2;
    world.chapter = 0;
    world.titleChaptersSet.clear();
    ASSERT_TRUE(logic->play());
    logic->updateTrackLists();
    logic->step(+1);
    EXPECT_EQ(world.titleChaptersSet, (std::vector<std::pair<int, int>>{{0, 0}}));
    logic->stop();
    world.titleCount = 2;
    world.menuTitle = 0;
    ASSERT_TRUE(logic->play());
    logic->updateTrackLists();
    EXPECT_FALSE(logic->canSkip());

    logic->stop();
    world.titleCount = 1;
    world.menuTitle = -1;
    ASSERT_TRUE(logic->play());
    logic->updateTrackLists();
    EXPECT_FALSE(logic->canSkip()); // one title, one list entry
}

TEST_F(PlayLogicTest, SeekUsesTheConfiguredStepWithFixedFiveSecondGuards) {
    EXPECT_FALSE(logic->seek(+1)); // no engine
    ASSERT_TRUE(logic->open(L"C:\\a.mkv", DiscKind::None));
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
    preferences.seekStep = 12;
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

    // On a disc a seek stops short of the end of the title, which then ends by itself.
    logic->stop();
    ASSERT_TRUE(logic->open(L"K:\\", DiscKind::Dvd));
    ASSERT_TRUE(logic->play());
    world.seeks.clear();
    world.time = 56000;
    EXPECT_TRUE(logic->seek(+1));
    logic->seekTo(70000);
    logic->seekTo(30000);
    EXPECT_EQ(world.seeks, (std::vector<long long>{58500, 58500, 30000}));
}

TEST_F(PlayLogicTest, VolumeStepsClampAndMuteSilencesTheEngine) {
    logic->setVolume(95);
    logic->stepVolume(+1);
    EXPECT_EQ(logic->volume(), 100);
    logic->setVolume(5);
    logic->stepVolume(-1);
    EXPECT_EQ(logic->volume(), 0);
    logic->setVolume(150);
    EXPECT_EQ(logic->volume(), 100);
    logic->setVolume(-3);
    EXPECT_EQ(logic->volume(), 0);

    logic->setVolume(60);
    ASSERT_TRUE(logic->open(L"C:\\a.mkv", DiscKind::None));
    EXPECT_TRUE(world.volumesSet.empty()); // not started: the engine is left alone
    ASSERT_TRUE(logic->play());
    EXPECT_EQ(world.volume, 60);
    logic->toggleMute();
    EXPECT_TRUE(world.mute);
    EXPECT_EQ(world.volume, 60); // the libVLC engine mutes without losing its volume
    logic->stepVolume(+1);       // from muted: 0 + 10, mute cleared
    EXPECT_EQ(logic->volume(), 10);
    EXPECT_FALSE(logic->muted());
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

// 720 x 576 is 4:3 or 16:9 depending on the disc: the frame size alone never decides the shape.
TEST_F(PlayLogicTest, OnlyAnExplicitChoiceOverridesThePicturesOwnShape) {
    EXPECT_FALSE(logic->applyAspectRatio("4:3")); // no engine
    world.size = VideoSize{720, 576};
    ASSERT_TRUE(logic->open(L"C:\\a.mkv", DiscKind::None));
    ASSERT_TRUE(logic->play());
    logic->timerProc();
    logic->timerProc();
    EXPECT_TRUE(world.aspectsSet.empty());

    EXPECT_TRUE(logic->applyAspectRatio("16:9"));
    EXPECT_EQ(logic->aspectRatio(), "16:9");
    EXPECT_TRUE(logic->applyAspectRatio(nullptr)); // "Default": the picture's own shape
    EXPECT_EQ(world.aspect, "");
    EXPECT_EQ(logic->aspectRatio(), "");

    logic->applyAspectRatio("2.35:1"); // a choice lasts while the media stays open
    logic->stop();
    ASSERT_TRUE(logic->open(L"C:\\b.mkv", DiscKind::None));
    EXPECT_EQ(logic->aspectRatio(), "");
}

TEST_F(PlayLogicTest, MenuKeysAndThePointerReachOnlyADiscMenu) {
    ASSERT_TRUE(logic->open(L"C:\\a.mkv", DiscKind::None));
    ASSERT_TRUE(logic->play());
    world.menu = true; // a file never has a disc menu
    EXPECT_FALSE(logic->navigateMenu(MenuAction::Right));
    logic->stop();

    ASSERT_TRUE(logic->open(L"K:\\", DiscKind::Dvd));
    ASSERT_TRUE(logic->play());
    world.menu = false; // a film: the keys keep their meaning
    EXPECT_FALSE(logic->navigateMenu(MenuAction::Right));
    EXPECT_FALSE(logic->menuPointer(10, 10, true));
    world.menu = true;
    EXPECT_TRUE(logic->navigateMenu(MenuAction::Right));
    EXPECT_TRUE(logic->navigateMenu(MenuAction::Activate));
    EXPECT_TRUE(logic->menuPointer(10, 20, true));
    logic->pause(); // paused on a menu still counts
    EXPECT_TRUE(logic->navigateMenu(MenuAction::Up));
    EXPECT_EQ(world.moves,
              (std::vector<MenuAction>{MenuAction::Right, MenuAction::Activate, MenuAction::Up}));
    EXPECT_EQ(world.pointers, (std::vector<std::pair<int, int>>{{10, 20}}));
}

TEST_F(PlayLogicTest, TrackListsFollowTheEngineAndTitleChanges) {
    world.discTitles = true;
    world.title = 0;
    world.chapter = 0;
    ASSERT_TRUE(logic->open(L"K:\\", DiscKind::Dvd));
    ASSERT_TRUE(logic->play());
    logic->updateTrackLists();
    logic->updateTrackLists(); // unchanged lists: no menu is rebuilt
    EXPECT_EQ(std::count(listener.lists.begin(), listener.lists.end(), TrackListKind::AudioTracks),
              1);
    EXPECT_EQ(list(TrackListKind::AudioTracks).count(), 2);
    world.lateAudio = true; // a language whose stream comes later
    logic->updateTrackLists();
    EXPECT_EQ(list(TrackListKind::AudioTracks).count(), 3);
    EXPECT_EQ(std::count(listener.lists.begin(), listener.lists.end(), TrackListKind::AudioTracks),
              2);
    EXPECT_EQ(list(TrackListKind::Titles).count(), 2);
    EXPECT_EQ(list(TrackListKind::VideoTracks)[0].id, 100);
    EXPECT_EQ(list(TrackListKind::Subtitles).count(), 2);

    const int fills = world.videoFills;
    logic->timerProc(); // first tick: title seen, video and subtitles refilled
    EXPECT_EQ(logic->trackedTitle(), 0);
    EXPECT_EQ(logic->trackedChapter(), 0);
    EXPECT_EQ(world.videoFills, fills + 1);
    world.chapter = 2;
    logic->timerProc(); // chapter only
    EXPECT_EQ(logic->trackedChapter(), 2);
    EXPECT_EQ(world.videoFills, fills + 1);
    EXPECT_EQ(logic->currentIndex(TrackListKind::Chapters), 2);

    world.title = 1;
    world.chapter = 0;
    logic->timerProc();
    EXPECT_EQ(logic->trackedTitle(), 1);
    ASSERT_EQ(list(TrackListKind::VideoTracks).count(), 1);
    EXPECT_EQ(list(TrackListKind::VideoTracks)[0].id, 101);
    EXPECT_EQ(list(TrackListKind::Subtitles)[0].id, 201);
    EXPECT_EQ(logic->currentIndex(TrackListKind::Titles), 1);

    logic->stop(); // empties every list
    EXPECT_TRUE(list(TrackListKind::AudioTracks).empty());
    EXPECT_TRUE(list(TrackListKind::Titles).empty());
    EXPECT_TRUE(list(TrackListKind::VideoTracks).empty());
    EXPECT_TRUE(list(TrackListKind::Subtitles).empty());
    EXPECT_EQ(logic->trackedTitle(), -1);
    EXPECT_EQ(logic->currentIndex(TrackListKind::Titles), -1);

    world.video = false; // audio only: only the audio list
    world.lateAudio = false;
    ASSERT_TRUE(logic->play());
    logic->updateTrackLists();
    EXPECT_EQ(list(TrackListKind::AudioTracks).count(), 2);
    EXPECT_TRUE(list(TrackListKind::Titles).empty());
    EXPECT_TRUE(list(TrackListKind::VideoTracks).empty());
    EXPECT_TRUE(list(TrackListKind::Subtitles).empty());
}

TEST_F(PlayLogicTest, ChapterAndSubtitleChoicesStayInsideTheirLists) {
    world.discTitles = true;
    world.title = 1; // two chapters
    ASSERT_TRUE(logic->open(L"K:\\", DiscKind::Dvd));
    ASSERT_TRUE(logic->play());
    logic->updateTrackLists();
    logic->selectItem(TrackListKind::Chapters, 1);
    logic->selectItem(TrackListKind::Chapters, 2);
    logic->selectItem(TrackListKind::Chapters, -1);
    EXPECT_EQ(world.titleChaptersSet, (std::vector<std::pair<int, int>>{{1, 1}}));

    EXPECT_EQ(logic->selectItem(TrackListKind::Subtitles, 0), ListChoice::Done);
    EXPECT_EQ(world.subtitlesSet, (std::vector<int>{201}));
    // The last entry asks the caller for a file; a cancelled choice hands over none.
    EXPECT_EQ(logic->selectItem(TrackListKind::Subtitles, 1), ListChoice::ChooseSubtitleFile);
    logic->addSubtitleFile(WString());
    EXPECT_TRUE(world.subtitleFiles.empty());
    logic->addSubtitleFile(L"C:\\subs\\film.srt");
    EXPECT_EQ(world.subtitleFiles, (std::vector<WString>{L"C:\\subs\\film.srt"}));
    EXPECT_EQ(logic->selectItem(TrackListKind::Subtitles, 2), ListChoice::Done);
    EXPECT_EQ(world.subtitlesSet.size(), 1u);
    world.subtitle = 201;
    EXPECT_EQ(logic->currentIndex(TrackListKind::Subtitles), 0);
}

TEST_F(PlayLogicTest, CurrentTitleNameFollowsTheEnginesTitle) {
    EXPECT_EQ(logic->currentTitleName(), WString());
    world.discTitles = true;
    world.title = 0;
    ASSERT_TRUE(logic->open(L"K:\\", DiscKind::Dvd));
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
PlayLogic* gForwardTo = nullptr; // as the main window does

LRESULT CALLBACK recordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_MAINFRAME_PLAYER_EVENT || message == WM_COMMAND)
        gReceived.emplace_back(message, wParam);
    if (message == WM_MAINFRAME_PLAYER_EVENT && gForwardTo)
        gForwardTo->handleProc(static_cast<PlayerEvent>(wParam));
    return DefWindowProcW(window, message, wParam, lParam);
}

bool received(PlayerEvent type) {
    for (const auto& [message, wParam] : gReceived)
        if (message == WM_MAINFRAME_PLAYER_EVENT && wParam == static_cast<WPARAM>(type))
            return true;
    return false;
}

void pumpFor(DWORD ms, PlayerEvent until) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        if (received(until)) return;
        Sleep(10);
    }
}

// Three chapters, the second starting at 5 s (not known in the last row).
TEST(ChapterStepTest, NextStopsAtTheLastAndPreviousRestartsAfterThreeSeconds) {
    TrackList chapters;
    for (int i = 0; i < 3; ++i)
        chapters.add(i, "Chapter");
    const int rows[][5] = {// startMs of chapter 1, current, timeMs, direction, target
                           {5000, 1, 9000, +1, 2},  {5000, 2, 11000, +1, -1}, {5000, 1, 8000, -1, 0},
                           {5000, 1, 8001, -1, 1},  {5000, 0, 4000, -1, 0},   {5000, 5, 0, -1, -1},
                           {-1, 1, 9000, -1, 0}};
    for (const auto& r : rows) {
        chapters[1].startMs = r[0];
        EXPECT_EQ(chapterStepTarget(chapters, r[1], r[2], r[3]), r[4]) << r[1] << " " << r[2];
    }
}

// Subtitles in French only while the audio is in another language.
TEST(SubtitleRuleTest, TheViewersSubtitlesOnlyForAudioInAnotherLanguage) {
    TrackList subtitles;
    subtitles.add(-1, "Disable");
    subtitles.add(3, "Track 1 - [English]");
    subtitles.add(4, "Track 2 - [French]");
    EXPECT_EQ(subtitleForAudio(subtitles, 3, "Track 1 - [English]", "French"), 2);
    EXPECT_EQ(subtitleForAudio(subtitles, 3, "Track 2 - [French]", "French"), 0);
    EXPECT_EQ(subtitleForAudio(subtitles, 2, "Track 1 - [English]", "French"), -1); // not listed
    EXPECT_EQ(subtitleForAudio(subtitles, 3, "Track 1", "German"), -1);
}

// Engine events reach this window the way they reach the main window.
class PlayerEventRelayTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW wc{};
        wc.lpfnWndProc = recordingProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VelloranRelayTestWindow";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                 nullptr, wc.hInstance, nullptr);
        ASSERT_NE(window, nullptr);
        gReceived.clear();
    }
    void TearDown() override {
        gForwardTo = nullptr;
        DestroyWindow(window);
    }
    HWND window = nullptr;
};

} // namespace

TEST_F(PlayerEventRelayTest, EventsFromAForeignThreadArriveInOrderWithTimeChangesMerged) {
    EventRelay relay(window, WM_MAINFRAME_PLAYER_EVENT, static_cast<int>(PlayerEvent::TimeChanged));
    ASSERT_TRUE(relay.started());
    // A plain thread, like libVLC's: no Win32 call may happen on it.
    std::thread engineThread([&relay] {
        for (PlayerEvent type :
             {PlayerEvent::Playing, PlayerEvent::TimeChanged, PlayerEvent::TimeChanged,
              PlayerEvent::TimeChanged, PlayerEvent::Paused, PlayerEvent::Stopped})
            relay.push(static_cast<int>(type));
    });
    engineThread.join();
    pumpFor(3000, PlayerEvent::Stopped);
    std::vector<WPARAM> types;
    for (const auto& [message, wParam] : gReceived) {
        EXPECT_EQ(message, static_cast<UINT>(WM_MAINFRAME_PLAYER_EVENT));
        types.push_back(wParam);
    }
    EXPECT_EQ(types, (std::vector<WPARAM>{260, 267, 261, 262}));

    // The next TimeChanged is posted only once the last one was handled.
    relay.push(static_cast<int>(PlayerEvent::TimeChanged));
    relay.push(static_cast<int>(PlayerEvent::Paused));
    pumpFor(3000, PlayerEvent::Paused);
    gReceived.clear();
    relay.handled(static_cast<int>(PlayerEvent::TimeChanged));
    relay.push(static_cast<int>(PlayerEvent::TimeChanged));
    pumpFor(3000, PlayerEvent::TimeChanged);
    EXPECT_TRUE(received(PlayerEvent::TimeChanged));
}

TEST_F(PlayerEventRelayTest, RealEngineEventsReachTheControllerAndStopDoesNotHang) {
    wchar_t media[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(L"VELLORAN_MEDIA_WIN", media, MAX_PATH);
    const WString file = WString(media, n < MAX_PATH ? n : 0) + L"\\testsrc.mkv";
    ASSERT_TRUE(n > 0 && GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES)
        << "test media not found (VELLORAN_MEDIA_WIN)";
    PlayLogic logic(nullptr, window, WM_MAINFRAME_PLAYER_EVENT, nullptr);
    gForwardTo = &logic;
    ASSERT_TRUE(logic.open(file, DiscKind::None));
    ASSERT_TRUE(logic.play());
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 8000 &&
           !(received(PlayerEvent::Playing) && received(PlayerEvent::TimeChanged)))
        pumpFor(50, PlayerEvent::Playing);
    EXPECT_TRUE(received(PlayerEvent::Playing));
    EXPECT_TRUE(received(PlayerEvent::TimeChanged));
    EXPECT_FALSE(logic.trackList(TrackListKind::AudioTracks)
                     ->empty()); // filled on the GUI thread by the event reaction

    logic.stop();
    EXPECT_FALSE(logic.hasEngine());
    pumpFor(300, PlayerEvent::EndReached); // late events of the released engine are harmless
    for (const auto& [message, wParam] : gReceived)
        EXPECT_NE(message, static_cast<UINT>(WM_COMMAND));
}

// libVLC's dialogs: a reason waits until the source plays and is told once; a source that fails
// carries it in its failure instead; progress turns the wait cursor on and off.
TEST_F(PlayLogicTest, DialogReasonsAreToldOnceASourceAndGoWithItsFailure) {
    using Kind = EngineReport::Kind;
    ASSERT_TRUE(logic->open(L"C:\\f\\a.mkv", DiscKind::None));
    ASSERT_TRUE(logic->play());
    world.time = 0;
    world.reports = {{Kind::Problem, "Java was not found."}, {Kind::BusyStarted, ""}};
    logic->handleProc(PlayerEvent::Dialog);
    EXPECT_TRUE(listener.problems.empty()); // nothing played yet
    EXPECT_EQ(listener.busyChanges, std::vector<bool>({true}));
    world.time = 1200;
    logic->timerProc();
    ASSERT_EQ(listener.problems.size(), 1u);
    EXPECT_EQ(listener.problems[0], WString(L"Java was not found."));
    world.reports = {{Kind::Problem, "Something else."}, {Kind::BusyEnded, ""}};
    logic->handleProc(PlayerEvent::Dialog);
    EXPECT_EQ(listener.problems.size(), 1u); // one message a source
    EXPECT_EQ(listener.busyChanges, std::vector<bool>({true, false}));

    // The next source fails: its reason goes with the failure, in no box of its own.
    ASSERT_TRUE(logic->open(L"C:\\f\\b.mkv", DiscKind::None));
    ASSERT_TRUE(logic->play());
    world.time = 0;
    world.reports = {{Kind::Problem, "No keys."}, {Kind::BusyStarted, ""}};
    logic->handleProc(PlayerEvent::Dialog);
    world.state = PlayerState::Error;
    logic->handleProc(PlayerEvent::EncounteredError);
    EXPECT_EQ(listener.loadFailures, 1);
    EXPECT_EQ(logic->openProblem(), WString(L"No keys."));
    EXPECT_EQ(listener.problems.size(), 1u);
    EXPECT_EQ(listener.busyChanges.back(), false); // the wait cursor goes with the engine

    // A source that never shows a picture still says why, after a while.
    ASSERT_TRUE(logic->open(L"C:\\f\\c.mkv", DiscKind::None));
    ASSERT_TRUE(logic->play());
    EXPECT_TRUE(logic->openProblem().empty());
    world.reports = {{Kind::Problem, "Black for ever."}};
    logic->handleProc(PlayerEvent::Dialog);
    for (int tick = 0; tick < 30; ++tick)
        logic->timerProc();
    ASSERT_EQ(listener.problems.size(), 2u);
    EXPECT_EQ(listener.problems[1], WString(L"Black for ever."));

    // A reason told before is not told again in the same run.
    ASSERT_TRUE(logic->open(L"C:\\f\\a.mkv", DiscKind::None));
    ASSERT_TRUE(logic->play());
    world.time = 900;
    world.reports = {{Kind::Problem, "Java was not found."}};
    logic->handleProc(PlayerEvent::Dialog);
    logic->timerProc();
    EXPECT_EQ(listener.problems.size(), 2u);
}
