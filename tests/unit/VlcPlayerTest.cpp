// The libVLC engine against the real libVLC and the generated test media, and its pure option
// and disc-location builders.
#include "tests/unit/gtest_wine.h"

#include <atomic>
#include <cstring>
#include <type_traits>

#include "engine/VideoCd.h"
#include "engine/VlcDialogs.h"
#include "engine/VlcOptions.h"
#include "engine/VlcPlayer.h"
#include "platform/VideoOutput.h"
#include "resources/resource.h"

namespace {

PreferenceData samplePreferences() {
    PreferenceData p{};
    const wchar_t font[] = L"Arial";
    std::memcpy(p.subtitleFont, font, sizeof font);
    p.subtitleFontSize = 16;
    p.subtitleColor = 0x00FFFFFF;
    p.subtitleAlign = 2;
    p.subtitleEncoding = 0;
    p.subtitleAutodetectUtf8 = 1;
    p.subtitleFormatted = 0;
    return p;
}

// Events counted by type, as the engine posts them to its event window.
std::atomic<int> gEventCounts[300];
MediaPlayer* gCounted = nullptr; // told when a TimeChanged was handled, as the controller does

LRESULT CALLBACK countingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_MAINFRAME_PLAYER_EVENT)
        return DefWindowProcW(window, message, wParam, lParam);
    if (wParam < 300) ++gEventCounts[wParam];
    if (gCounted) gCounted->eventHandled(static_cast<PlayerEvent>(wParam));
    return 0;
}

HWND createEventWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = countingProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VelloranEngineEventWindow";
    RegisterClassW(&wc);
    return CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           wc.hInstance, nullptr);
}

void resetEventCounts() {
    for (auto& count : gEventCounts)
        count = 0;
}

int eventCount(PlayerEvent type) {
    return gEventCounts[static_cast<int>(type)].load();
}

void pumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Polls until the condition holds, pumping the test window's messages meanwhile.
template <typename Condition> bool waitFor(Condition condition, DWORD timeoutMs = 8000) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start > timeoutMs) return false;
        pumpMessages();
        Sleep(20);
    }
}

WString mediaPath(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableW(L"VELLORAN_MEDIA_WIN", folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return WString();
    WString path = WString(folder) + L"\\" + name;
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES ? WString() : path;
}

#define REQUIRE_MEDIA(var, name)                                                                   \
    const WString var = mediaPath(name);                                                           \
    ASSERT_FALSE(var.empty()) << "test media missing (VELLORAN_MEDIA_WIN)"

// A fresh, empty folder under the Windows temporary folder.
WString scratchFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    WString folder = WString(temp) + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((folder + L"\\" + data.cFileName).c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    return folder;
}

int countFiles(const WString& pattern) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return 0;
    int n = 0;
    do
        ++n;
    while (FindNextFileW(find, &data));
    FindClose(find);
    return n;
}

int realTracks(const TrackList& list) {
    int n = 0;
    for (const TrackInfo& t : list.items)
        if (t.id >= 0) ++n;
    return n;
}

const TrackInfo* findId(const TrackList& list, int id) {
    for (const TrackInfo& t : list.items)
        if (t.id == id) return &t;
    return nullptr;
}

// An engine as PlayLogic sets it up: init, a video window, the events posted to a window.
class VlcEngine : public ::testing::Test {
protected:
    void SetUp() override {
        resetEventCounts();
        window = CreateWindowExW(0, L"STATIC", L"video", WS_POPUP | WS_VISIBLE, 0, 0, 320, 240,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        eventWindow = createEventWindow();
        ASSERT_NE(eventWindow, nullptr);
        ASSERT_TRUE(engine.init(nullptr));
        engine.setHwnd(window);
        engine.setEventWindow(eventWindow, WM_MAINFRAME_PLAYER_EVENT);
        gCounted = &engine;
    }
    void TearDown() override {
        engine.release();
        gCounted = nullptr;
        if (window) DestroyWindow(window);
        if (eventWindow) DestroyWindow(eventWindow);
        pumpMessages();
    }
    bool startPlaying(const WString& path, DiscKind kind = DiscKind::None) {
        if (!engine.open(path, kind) || !engine.play()) return false;
        return waitFor(
            [&] { return engine.getState() == PlayerState::Playing && engine.getTime() > 0; });
    }

    VlcPlayer engine{buildVlcOptions(samplePreferences())};
    HWND window = nullptr;
    HWND eventWindow = nullptr;
};

} // namespace

TEST(VlcOptions, TenOptionsInTheirOrder) {
    const std::vector<std::string> options = buildVlcOptions(samplePreferences());
    const std::vector<std::string> expected = {
        "--no-video-title-show",  "--no-keyboard-events",       "--snapshot-prefix=snap-",
        "--freetype-font=Arial",  "--freetype-rel-fontsize=16", "--freetype-color=16777215",
        "--subsdec-align=2",      "--subsdec-encoding=0",       "--subsdec-autodetect-utf8",
        "--no-subsdec-formatted",
    };
    EXPECT_EQ(options, expected);
}

TEST(VlcOptions, FlagsTurnOnForAnyNonzeroValue) {
    PreferenceData p = samplePreferences();
    p.subtitleAutodetectUtf8 = 0;
    p.subtitleFormatted = 7;
    std::vector<std::string> options = buildVlcOptions(p);
    EXPECT_EQ(options[8], "--no-subsdec-autodetect-utf8");
    EXPECT_EQ(options[9], "--subsdec-formatted");
    p.subtitleAutodetectUtf8 = -1;
    p.subtitleFormatted = 0;
    options = buildVlcOptions(p);
    EXPECT_EQ(options[8], "--subsdec-autodetect-utf8");
    EXPECT_EQ(options[9], "--no-subsdec-formatted");
}

TEST(VlcOptions, ColorRefBecomesRgbNumber) {
    EXPECT_EQ(colorRefToRgb(0x0000FF), 16711680); // red
    EXPECT_EQ(colorRefToRgb(0xFF0000), 255);      // blue
    EXPECT_EQ(colorRefToRgb(0x00FF00), 65280);    // green
    EXPECT_EQ(colorRefToRgb(0xFFFFFF), 16777215);
    // The byte above blue is not part of the colour.
    EXPECT_EQ(colorRefToRgb(0x01000000), 0);
    PreferenceData p = samplePreferences();
    p.subtitleColor = 0x0000FF;
    EXPECT_EQ(buildVlcOptions(p)[5], "--freetype-color=16711680");
}

TEST(VlcOptions, NumbersAreSignedDecimalAndFontIsBounded) {
    PreferenceData p = samplePreferences();
    p.subtitleEncoding = 1252;
    p.subtitleAlign = -1;
    std::vector<std::string> options = buildVlcOptions(p);
    EXPECT_EQ(options[6], "--subsdec-align=-1");
    EXPECT_EQ(options[7], "--subsdec-encoding=1252");

    const wchar_t font[] = L"Fr\u00e9d\u00e9ric Sans";
    std::memcpy(p.subtitleFont, font, sizeof font);
    EXPECT_EQ(buildVlcOptions(p)[3], "--freetype-font=Fr\xc3\xa9"
                                     "d\xc3\xa9ric Sans");

    // A name filling the whole field (not terminated) would not fit the option buffer.
    for (wchar_t& c : p.subtitleFont)
        c = L'x';
    options = buildVlcOptions(p);
    ASSERT_EQ(options.size(), 10u);
    EXPECT_EQ(options[3], "--freetype-font=");
}

// The system speaks German here.
TEST(VlcOptions, LanguagesChosenElseTheSystemsAndSubtitlesOnlyWhenChosen) {
    struct Row {
        const wchar_t *audio, *subtitle, *menu;
        std::vector<std::string> expected;
    } const rows[] = {
        {L"", L"", L"", {"--audio-language=de", "--menu-language=de"}},
        {L"fr", L"", L"", {"--audio-language=fr", "--menu-language=de"}},
        {L"", L"none", L"en", {"--audio-language=de", "--menu-language=en", "--sub-language=none"}},
        {L"ja", L"fr", L"fr", {"--audio-language=ja", "--menu-language=fr", "--sub-language=fr"}},
        {L"fr", L"foreign", L"", {"--audio-language=fr", "--menu-language=de"}},
    };
    for (const Row& row : rows) {
        languages::LanguagePreferences chosen;
        lstrcpynW(chosen.audio, row.audio, 8);
        lstrcpynW(chosen.subtitle, row.subtitle, 8);
        lstrcpynW(chosen.menu, row.menu, 8);
        std::vector<std::string> options;
        appendLanguageOptions(options, chosen, L"de");
        EXPECT_EQ(options, row.expected);
    }
    // What the registry may hold: a listed code, "" and for subtitles "none".
    EXPECT_TRUE(languages::isKnownLanguage(L"none", true) && languages::isKnownLanguage(L"", false));
    EXPECT_FALSE(languages::isKnownLanguage(L"none", false) || languages::isKnownLanguage(L"x", true));
}

TEST(VlcDiscLocation, SchemeByDiscKindAndForwardSlashes) {
    EXPECT_EQ(buildDiscLocation("D:\\", DiscKind::Dvd), "dvd:///D:/");
    EXPECT_EQ(buildDiscLocation("K:\\", DiscKind::BluRay), "bluray:///K:/");
    EXPECT_EQ(buildDiscLocation("K:", DiscKind::VideoCd), "vcd:///K:");
    EXPECT_EQ(buildDiscLocation("E:\\Rips\\Film", DiscKind::None), "dvd:///E:/Rips/Film");
    EXPECT_EQ(buildDiscLocation("E:\\Rips\\Film", static_cast<DiscKind>(7)), "dvd:///E:/Rips/Film");
    EXPECT_EQ(buildDiscLocation("media/disc", DiscKind::Dvd), "dvd:///media/disc");
}

TEST(VlcDiscLocation, PercentAndHashAreEscapedOtherTextKept) {
    EXPECT_EQ(buildDiscLocation("E:\\100% #1", DiscKind::Dvd), "dvd:///E:/100%25 %231");
    EXPECT_EQ(buildDiscLocation("E:\\Fran\xc3\xa7"
                                "ais",
                                DiscKind::Dvd),
              "dvd:///E:/Fran\xc3\xa7"
              "ais");
}

TEST(VlcPlayerWithoutInit, EveryOperationIsNeutral) {
    VlcPlayer engine({});
    EXPECT_EQ(engine.getPlayerType(), 1);
    EXPECT_FALSE(engine.open(L"C:\\film.mkv", DiscKind::None));
    EXPECT_FALSE(engine.play());
    EXPECT_FALSE(engine.isPlaying());
    engine.pause();
    engine.stop();
    engine.setTime(1000);
    EXPECT_EQ(engine.getTime(), 0);
    EXPECT_EQ(engine.getLength(), 0);
    EXPECT_EQ(engine.getVolume(), 0);
    EXPECT_FALSE(engine.setVolume(50));
    EXPECT_EQ(engine.getState(), PlayerState::Nothing);
    EXPECT_FALSE(engine.isMute());
    engine.toggleMute();
    EXPECT_FALSE(engine.hasVideo());
    EXPECT_EQ(engine.getVideoSize().width, 0);
    EXPECT_FALSE(engine.setAspectRatio("16:9"));
    EXPECT_EQ(engine.getAspectRatio(), "");
    TrackList list;
    EXPECT_EQ(engine.getAudioTracks(list), 0);
    EXPECT_EQ(engine.getVideoTracks(list), 0);
    engine.getTitles(list);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(engine.getAudioTrack(), -1);
    EXPECT_EQ(engine.getAudioChannel(), -1);
    EXPECT_EQ(engine.getTitle(), -1);
    EXPECT_EQ(engine.getChapter(), -1);
    EXPECT_EQ(engine.getVideoTrack(), -1);
    EXPECT_EQ(engine.getSubtitle(), -1);
    EXPECT_FALSE(engine.takeSnapshot(L"C:\\"));
    // The subtitle list still ends with the entry that opens a file.
    EXPECT_EQ(engine.getSubtitles(list), 0);
    ASSERT_EQ(list.count(), 1);
    EXPECT_EQ(list[0].id, 0);
    EXPECT_EQ(list[0].name, "Open file...");
    AudioDeviceList devices;
    EXPECT_EQ(engine.getAudioDevices(devices), 0);
    engine.setEventWindow(GetDesktopWindow(), WM_MAINFRAME_PLAYER_EVENT); // nothing to attach to
    engine.release();
    engine.release();
}

TEST(VlcPlayerLifecycle, ReleaseTwiceThenDestructorAndAudioDevices) {
    auto engine = std::make_unique<VlcPlayer>(buildVlcOptions(samplePreferences()));
    ASSERT_TRUE(engine->init(nullptr));
    AudioDeviceList devices;
    const int n = engine->getAudioDevices(devices);
    EXPECT_EQ(n, devices.count());
    for (const AudioDeviceInfo& d : devices.items)
        EXPECT_FALSE(d.outputName.empty());
    engine->release();
    engine->release();
    EXPECT_FALSE(engine->play());
}

TEST_F(VlcEngine, FilePlaysPausesAndStopsWithEvents) {
    REQUIRE_MEDIA(path, L"testsrc.mkv");
    ASSERT_TRUE(startPlaying(path));
    EXPECT_TRUE(engine.isPlaying());
    EXPECT_TRUE(waitFor([] {
        return eventCount(PlayerEvent::Playing) > 0 && eventCount(PlayerEvent::TimeChanged) > 0;
    }));
    const long long first = engine.getTime();
    EXPECT_TRUE(waitFor([&] { return engine.getTime() >= first + 300; }));
    EXPECT_NEAR(static_cast<double>(engine.getLength()), 5000.0, 300.0);
    EXPECT_TRUE(engine.hasVideo());
    const VideoSize size = engine.getVideoSize();
    EXPECT_EQ(size.width, 320);
    EXPECT_EQ(size.height, 240);

    engine.pause();
    EXPECT_TRUE(waitFor([&] { return engine.getState() == PlayerState::Paused; }));
    EXPECT_TRUE(waitFor([] { return eventCount(PlayerEvent::Paused) > 0; }));
    const long long paused = engine.getTime();
    Sleep(300);
    EXPECT_EQ(engine.getTime(), paused);
    engine.pause();
    EXPECT_TRUE(waitFor([&] { return engine.getState() == PlayerState::Playing; }));

    engine.setTime(3000);
    EXPECT_TRUE(waitFor([&] { return engine.getTime() >= 3000; }));

    engine.stop();
    EXPECT_FALSE(engine.isPlaying());
    EXPECT_TRUE(waitFor([] { return eventCount(PlayerEvent::Stopped) > 0; }));
    EXPECT_NE(engine.getState(), PlayerState::Playing);
}

TEST_F(VlcEngine, ShortFileReachesEndAndReportsIt) {
    REQUIRE_MEDIA(path, L"folder3\\short1.mp4");
    ASSERT_TRUE(engine.open(path, DiscKind::None));
    ASSERT_TRUE(engine.play());
    EXPECT_TRUE(waitFor([] { return eventCount(PlayerEvent::EndReached) > 0; }, 10000));
    EXPECT_EQ(engine.getState(), PlayerState::Ended);
}

TEST_F(VlcEngine, OpeningWhilePlayingStopsTheOldMedia) {
    REQUIRE_MEDIA(first, L"testsrc.mkv");
    REQUIRE_MEDIA(second, L"twoaudio.mkv");
    ASSERT_TRUE(startPlaying(first));
    ASSERT_TRUE(engine.open(second, DiscKind::None));
    EXPECT_FALSE(engine.isPlaying());
    EXPECT_NE(engine.getState(), PlayerState::Playing);
    EXPECT_TRUE(startPlaying(second));
}

TEST_F(VlcEngine, NonAsciiFileNameAndMissingFile) {
    REQUIRE_MEDIA(source, L"testsrc.mkv");
    const WString folder = scratchFolder(L"velloran-engine-names");
    const WString copy = folder + L"\\Fr\u00e9d\u00e9ric \u65e5\u672c #1.mkv";
    ASSERT_TRUE(CopyFileW(source.c_str(), copy.c_str(), FALSE));
    EXPECT_TRUE(startPlaying(copy));
    engine.stop();

    // A path that does not exist is still handed over; the failure shows in the state.
    ASSERT_TRUE(engine.open(folder + L"\\missing.mkv", DiscKind::None));
    engine.play();
    EXPECT_TRUE(waitFor([&] {
        const PlayerState state = engine.getState();
        return state == PlayerState::Error || state == PlayerState::Ended;
    }));
}

TEST_F(VlcEngine, TwoAudioTracksWithTheirNames) {
    REQUIRE_MEDIA(path, L"twoaudio.mkv");
    ASSERT_TRUE(startPlaying(path));
    TrackList audio;
    const int n = engine.getAudioTracks(audio);
    EXPECT_EQ(n, audio.count());
    ASSERT_EQ(realTracks(audio), 2);
    int french = -1;
    for (const TrackInfo& t : audio.items)
        if (fromUtf8(t.name).find(L"Fran\u00e7ais") != WString::npos) french = t.id;
    ASSERT_GE(french, 0) << "no track named Fran\u00e7ais (UTF-8)";
    engine.setAudioTrack(french);
    EXPECT_TRUE(waitFor([&] { return engine.getAudioTrack() == french; }));

    TrackList video;
    EXPECT_GE(engine.getVideoTracks(video), 1);
    EXPECT_EQ(realTracks(video), 1);
    EXPECT_GE(engine.getVideoTrack(), 0);
    for (const TrackInfo& t : audio.items)
        EXPECT_EQ(t.chapters, nullptr);

    engine.setAudioChannel(2);
    EXPECT_EQ(engine.getAudioChannel(), 2);
}

TEST_F(VlcEngine, SubtitlesOfMediaWithoutThemAndAnExtraFile) {
    REQUIRE_MEDIA(path, L"testsrc.mkv");
    REQUIRE_MEDIA(srt, L"twoaudio.srt");
    ASSERT_TRUE(startPlaying(path));
    TrackList subtitles;
    EXPECT_EQ(engine.getSubtitles(subtitles), 0);
    ASSERT_EQ(subtitles.count(), 1);
    EXPECT_EQ(subtitles[0].id, 0);
    EXPECT_EQ(subtitles[0].name, "Open file...");
    EXPECT_EQ(engine.getSubtitle(), -1);

    engine.setSubtitleFile(srt);
    EXPECT_TRUE(waitFor([&] {
        TrackList now;
        return engine.getSubtitles(now) > 0 && now.items.back().name == "Open file...";
    }));
}

TEST_F(VlcEngine, DvdFolderPlaysAsDiscWithTitlesAndChapters) {
    REQUIRE_MEDIA(path, L"dvd");
    ASSERT_TRUE(startPlaying(path, DiscKind::Dvd));
    TrackList titles;
    EXPECT_TRUE(waitFor([&] {
        titles.clear();
        engine.getTitles(titles);
        return findId(titles, 2) != nullptr;
    }));
    const TrackInfo* title1 = findId(titles, 1);
    ASSERT_NE(title1, nullptr);
    ASSERT_NE(title1->chapters, nullptr);
    ASSERT_EQ(title1->chapters->count(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ((*title1->chapters)[i].id, i);
    EXPECT_EQ(engine.getTitle(), 1);

    TrackList audio, subtitles;
    engine.getAudioTracks(audio);
    EXPECT_EQ(realTracks(audio), 2);
    const int subtitleCount = engine.getSubtitles(subtitles);
    EXPECT_EQ(subtitleCount, subtitles.count() - 1);
    EXPECT_EQ(realTracks(subtitles) - 1, 1); // one subpicture track besides "Open file..."

    engine.setTitleChapter(1, 2);
    EXPECT_TRUE(waitFor([&] { return engine.getTitle() == 1 && engine.getChapter() == 2; }));
    engine.setTitleChapter(2, -1);
    EXPECT_TRUE(waitFor([&] { return engine.getTitle() == 2; }));
}

TEST(VideoCdImage, CueSheetsAndImagesThatCannotPlay) {
    struct Case {
        const char* text;
        bool good;
        const char* reason;
    };
    const Case cases[] = {
        {"FILE \"a b.bin\" BINARY\r\n  TRACK 01 MODE2/2352\r\n    INDEX 01 00:00:00\r\n"
         "  TRACK 02 MODE2/2352\r\n    INDEX 00 00:04:00\r\n    INDEX 01 00:06:00\r\n",
         true, ""},
        {"\xEF\xBB\xBF" "FILE a b.bin BINARY\nTRACK 01 MODE2/2352\nINDEX 01 00:00:00\n"
         "TRACK 02 MODE2/2352\nINDEX 01 00:06:00\n",
         true, ""},
        {"FILE \"x.bin\" BINARY\nTRACK 01 MODE2/2352\nINDEX 01 954437:11:00\n", false,
         "the cue sheet has an index that is no time"},
        {"\x7f\x45LF garbage \x01\x02", false, "the file is not a cue sheet"},
        {"TRACK 01 MODE2/2352\n INDEX 01 00:00:00\n", false, "the file is not a cue sheet"},
        {"FILE \"x.bin\" BINARY\nTRACK 01 MODE2/2352\nINDEX 01 00:61:00\n", false,
         "the cue sheet has an index that is no time"},
        {"FILE \"x.bin\" BINARY\nTRACK 01 MODE2/2352\nINDEX 01 00:09:00\n"
         "TRACK 02 MODE2/2352\nINDEX 01 00:02:00\n", false,
         "the cue sheet's tracks are out of order"},
    };
    for (const Case& c : cases) {
        std::string bin, reason;
        std::vector<uint32_t> starts;
        EXPECT_EQ(parseCueSheet(c.text, &bin, &starts, &reason), c.good) << c.text;
        EXPECT_EQ(reason, c.reason) << c.text;
        if (c.good) {
            EXPECT_EQ(bin, "a b.bin");
            EXPECT_EQ(starts, (std::vector<uint32_t>{0, 450}));
        }
    }
    // A cue sheet whose data file is not there says which file it wants.
    const WString folder = scratchFolder(L"velloran-vcd");
    const WString cue = folder + L"\\lost.cue";
    HANDLE file = CreateFileW(cue.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const char text[] = "FILE \"lost.bin\" BINARY\n TRACK 01 MODE2/2352\n  INDEX 01 00:00:00\n";
    DWORD written = 0;
    WriteFile(file, text, sizeof text - 1, &written, nullptr);
    CloseHandle(file);
    VideoCdLayout layout;
    WString reason;
    EXPECT_FALSE(readVideoCd(cue, &layout, &reason));
    EXPECT_EQ(reason, L"the data file lost.bin named by the cue sheet is missing");
    // A .bin is an image only with its .cue beside it.
    EXPECT_EQ(videoCdCueOf(folder + L"\\lost.bin"), cue);
    EXPECT_EQ(videoCdCueOf(folder + L"\\alone.bin"), WString());
    EXPECT_EQ(videoCdCueOf(folder + L"\\x.CUE"), folder + L"\\x.CUE");
    DeleteFileW(cue.c_str());
    RemoveDirectoryW(folder.c_str());
}

TEST_F(VlcEngine, VideoCdImagePlaysTrackAfterTrackWithItsEntriesAsChapters) {
    REQUIRE_MEDIA(path, L"vcd.cue");
    ASSERT_TRUE(startPlaying(path, DiscKind::VideoCd));
    // Two 4 s tracks; libVLC alone would report several minutes for them.
    EXPECT_NEAR(engine.getLength(), 8000, 300);
    TrackList titles;
    engine.getTitles(titles);
    ASSERT_EQ(titles.count(), 1);
    ASSERT_NE(titles[0].chapters, nullptr);
    EXPECT_EQ(titles[0].chapters->count(), 2);
    EXPECT_EQ(engine.getChapter(), 0);
    // The second entry point: the second track, on the disc's clock.
    engine.setTitleChapter(0, 1);
    EXPECT_TRUE(waitFor([&] { return engine.getTime() >= 4000 && engine.getChapter() == 1; }));
    // Its end is the disc's end: nothing follows.
    EXPECT_TRUE(waitFor([&] { return engine.getState() == PlayerState::Ended; }, 15000));
    EXPECT_FALSE(engine.continueDisc());
    // From the first track's end the disc goes on with the second.
    engine.setTime(3000);
    EXPECT_TRUE(waitFor([&] { return engine.getState() == PlayerState::Ended; }, 15000));
    EXPECT_TRUE(engine.continueDisc());
    EXPECT_TRUE(waitFor([&] { return engine.getChapter() == 1 && engine.isPlaying(); }));
}

TEST_F(VlcEngine, TwelveChaptersInOrder) {
    REQUIRE_MEDIA(path, L"dvd12");
    // A trailing backslash and disc kind 0 still make a DVD location.
    ASSERT_TRUE(startPlaying(path + L"\\", DiscKind::None));
    TrackList titles;
    EXPECT_TRUE(waitFor([&] {
        titles.clear();
        engine.getTitles(titles);
        const TrackInfo* t = findId(titles, 1);
        return t && t->chapters && t->chapters->count() == 12;
    }));
    const TrackInfo* title = findId(titles, 1);
    ASSERT_NE(title, nullptr);
    ASSERT_NE(title->chapters, nullptr);
    ASSERT_EQ(title->chapters->count(), 12);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ((*title->chapters)[i].id, i);
        EXPECT_EQ((*title->chapters)[i].name, "Chapter " + std::to_string(i + 1));
    }
}

TEST_F(VlcEngine, SnapshotNeedsVideoAndWritesSnapFile) {
    REQUIRE_MEDIA(audioOnly, L"audio.mp3");
    REQUIRE_MEDIA(video, L"testsrc.mkv");
    const WString folder = scratchFolder(L"velloran-engine-snap");

    ASSERT_TRUE(engine.open(audioOnly, DiscKind::None));
    ASSERT_TRUE(engine.play());
    waitFor([&] { return engine.getState() >= PlayerState::Playing; });
    EXPECT_FALSE(engine.hasVideo());
    EXPECT_EQ(engine.getVideoSize().width, 0);
    EXPECT_FALSE(engine.takeSnapshot(folder));
    engine.stop();

    ASSERT_TRUE(startPlaying(video));
    EXPECT_TRUE(waitFor([&] { return engine.takeSnapshot(folder); }));
    EXPECT_TRUE(waitFor([&] { return countFiles(folder + L"\\snap-*") > 0; }, 3000));
}

TEST_F(VlcEngine, FramesAreDrawnLetterboxedIntoTheWindow) {
    REQUIRE_MEDIA(path, L"testsrc.mkv");
    if (!videoOutputDrawsFrames()) GTEST_SKIP() << "libVLC draws into the window itself here";
    const auto painter = [this](HWND surface, HDC dc) { return engine.paintVideo(surface, dc); };
    SetWindowPos(window, nullptr, 0, 0, 480, 240, SWP_NOZORDER | SWP_NOMOVE);
    ASSERT_TRUE(startPlaying(path));

    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 480, 240);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT all{0, 0, 480, 240};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EXPECT_TRUE(waitFor([&] { return painter(window, dc); }));
    // 4:3 in 480 x 240: a 320-pixel picture between two 80-pixel black bands.
    EXPECT_EQ(GetPixel(dc, 40, 120), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(dc, 440, 120), RGB(0, 0, 0));
    int lit = 0;
    for (int x = 90; x < 390; x += 10)
        if (GetPixel(dc, x, 60) != RGB(0, 0, 0)) ++lit;
    EXPECT_GT(lit, 15);
    // Another window is not this output's.
    EXPECT_FALSE(painter(GetDesktopWindow(), dc));

    // A forced ratio is applied by the presenter: 16:9 fills the 480 x 240 height-bound box
    // with a 427-pixel picture.
    ASSERT_TRUE(engine.setAspectRatio("16:9"));
    EXPECT_EQ(engine.getAspectRatio(), "16:9");
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    EXPECT_TRUE(painter(window, dc));
    EXPECT_EQ(GetPixel(dc, 20, 120), RGB(0, 0, 0));
    EXPECT_NE(GetPixel(dc, 40, 60), RGB(255, 255, 255));

    // Once the picture has its place, the next pictures reach the window without the window's
    // thread, which now handles no message for half a second (25 pictures a second).
    FrameStats before, after;
    engine.getFrameStats(before);
    Sleep(500);
    engine.getFrameStats(after);
    EXPECT_GE(after.drawn - before.drawn, 6);

    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
}

namespace {

struct CycleRun {
    VlcPlayer* engine = nullptr;
    WString video, dvd;
    std::atomic<int> done{0};
    std::atomic<int> failures{0};
};

DWORD WINAPI cycleThread(void* parameter) {
    auto* r = static_cast<CycleRun*>(parameter);
    for (int i = 0; i < 200; ++i) {
        const bool disc = i % 50 == 49;
        if (!r->engine->open(disc ? r->dvd : r->video, disc ? DiscKind::Dvd : DiscKind::None) ||
            !r->engine->play())
            ++r->failures;
        // Now and then let it reach playing, so that stop meets running decoders.
        if (i % 10 == 0)
            for (int k = 0; k < 100 && r->engine->getState() != PlayerState::Playing; ++k)
                Sleep(10);
        r->engine->stop();
        ++r->done;
    }
    return 0;
}

} // namespace

// Runs the loop on its own thread so that a deadlock fails the test instead of hanging it.
TEST_F(VlcEngine, TwoHundredOpenPlayStopCycles) {
    REQUIRE_MEDIA(video, L"testsrc.mkv");
    REQUIRE_MEDIA(dvd, L"dvd");
    CycleRun run;
    run.engine = &engine;
    run.video = video;
    run.dvd = dvd;
    HANDLE thread = CreateThread(nullptr, 0, cycleThread, &run, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    const DWORD waited = WaitForSingleObject(thread, 120000);
    if (waited != WAIT_OBJECT_0) {
        ADD_FAILURE() << "open/play/stop hung after " << run.done.load() << " cycles";
        TerminateProcess(GetCurrentProcess(), 3);
    }
    CloseHandle(thread);
    EXPECT_EQ(run.done.load(), 200);
    EXPECT_EQ(run.failures.load(), 0);
    EXPECT_TRUE(waitFor([] { return eventCount(PlayerEvent::Stopped) >= 1; }));
    EXPECT_TRUE(startPlaying(video));
}

// What libVLC's disc modules say through their dialogs, and what the viewer reads.
TEST(VlcDialogs, KnownReasonsBecomePlainWordsAndOthersKeepTheirTitle) {
    const struct {
        const char* title;
        const char* text;
        const char* plain; // a part of the result
    } rows[] = {
        {"Blu-ray error", "Missing AACS configuration file!", "no keys for it are installed"},
        {"Blu-ray error",
         "This Blu-ray Disc needs a library for AACS decoding, and your system does not have it.",
         "(libaacs) is not installed"},
        {"Java required",
         "This Blu-ray disc requires Java for menus support.Java was not found on your system.\n"
         "The disc will be played without menus.",
         "no Java runtime was found. The film plays without its menus."},
        {"Java required",
         "This Blu-ray disc requires Java for menus support.\nThe disc will be played without "
         "menus.",
         "could not be started"},
        {"Playback failure", "DVDRead could not open the disc \"K:\".",
         "Playback failure: DVDRead could not open the disc"},
    };
    // libVLC's own word that an input failed adds nothing to the player's message.
    EXPECT_EQ(plainDialogText("Your input can't be opened", "VLC is unable to open the MRL 'x'."),
              std::string());
    for (const auto& row : rows) {
        const std::string plain = plainDialogText(row.title, row.text);
        EXPECT_NE(plain.find(row.plain), std::string::npos) << row.text << " -> " << plain;
    }
}

// The reason comes on libVLC's own thread, which touches no Win32, and waits for the GUI thread.
TEST_F(VlcEngine, AnEncryptedBluRayWithoutKeysSaysWhy) {
    REQUIRE_MEDIA(image, L"bd_aacs.iso");
    ASSERT_TRUE(engine.open(image, DiscKind::BluRay));
    ASSERT_TRUE(engine.play());
    std::string said;
    EXPECT_TRUE(waitFor([&] {
        EngineReport report;
        while (engine.takeReport(report))
            said += report.text;
        return !said.empty();
    }));
    EXPECT_NE(said.find("encrypted (AACS)"), std::string::npos) << said;
}
