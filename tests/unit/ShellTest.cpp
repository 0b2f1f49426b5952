// The shell in process: the real main window with its children, driven through its commands,
// its menus read back, the placement read from and written to the registry, and the
// second-instance hand-over.
#include "tests/unit/gtest_wine.h"

#include "app/MainFrame.h"
#include "playback/PlayLogic.h"
#include "resources/resource.h"
#include "tests/unit/StubPlayer.h"
#include "ui/PlayBar.h"
#include "ui/PlayWnd.h"

namespace {

const wchar_t kSettingsKey[] = L"Software\\Quondel\\Velloran";
const wchar_t kHandOverKey[] = L"Software\\Velloran";

struct ShellFakePlayer : StubPlayer {
    ShellFakePlayer() {
        state = PlayerState::Stopped;
        size = VideoSize{720, 576};
    }
};

void pump(int ms = 50) {
    DWORD end = GetTickCount() + ms;
    do {
        pumpMessages();
        Sleep(5);
    } while (static_cast<LONG>(GetTickCount() - end) < 0);
}

void deleteValue(const wchar_t* keyPath, const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, name);
        RegCloseKey(key);
    }
}

void writeValue(const wchar_t* keyPath, const wchar_t* name, DWORD type, const void* data,
                DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
}

// The stored value's type and bytes; type 0 when it is missing.
DWORD readValue(const wchar_t* keyPath, const wchar_t* name, BYTE* data, DWORD* size) {
    HKEY key = nullptr;
    DWORD type = 0;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    if (RegQueryValueExW(key, name, nullptr, &type, data, size) != ERROR_SUCCESS) type = 0;
    RegCloseKey(key);
    return type;
}

SIZE clientOf(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return SIZE{r.right, r.bottom};
}

UINT menuState(UINT id) {
    return GetMenuState(gMainFrame.mainMenu, id, MF_BYCOMMAND);
}
bool grayed(UINT id) {
    return (menuState(id) & MF_GRAYED) != 0;
}
bool checked(UINT id) {
    return (menuState(id) & MF_CHECKED) != 0;
}

WString menuText(UINT id) {
    wchar_t buffer[64] = {};
    int n = GetMenuStringW(gMainFrame.mainMenu, id, buffer, 64, MF_BYCOMMAND);
    return WString(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

// The folder of the test executable, which is the build's installation folder.
WString testFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    WString folder(path);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

ShellFakePlayer* lastFake = nullptr;
MediaPlayer* makeFake(EngineKind) {
    return lastFake = new ShellFakePlayer();
}

// Starts the shell as the program does, with the engine replaced by a fake.
class Shell : public ::testing::Test {
protected:
    void SetUp() override { start(true); }
    void TearDown() override { finish(); }

    void start(bool forgetPlacement) {
        if (forgetPlacement) deleteValue(kSettingsKey, L"MAIN_WP");
        PlayLogic::setEngineFactory(makeFake);
        resetFirstLayout();
        initApp();
        HINSTANCE instance = GetModuleHandleW(nullptr);
        ASSERT_TRUE(registerMainWindowClass(instance));
        ASSERT_TRUE(createMainFrame(instance, SW_SHOWNORMAL));
        running = true;
        pump();
    }

    // The close path without the advertisement: placement taken, children gone, saved.
    void finish() {
        if (!running) return;
        running = false;
        if (!gMainFrame.fullScreen && gMainFrame.layoutEnabled)
            gMainFrame.placementValid =
                GetWindowPlacement(gMainFrame.mainWindow, &gMainFrame.placement);
        gMainFrame.playLogic->stop();
        destroyChildren();
        DestroyWindow(gMainFrame.mainWindow);
        pump(20);
        // WM_DESTROY posted a quit message; take it off the queue before the next test.
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        shutdownApp();
        PlayLogic::setEngineFactory(nullptr);
    }

    void restart() {
        finish();
        start(false);
    }

    // A fake engine in the controller, as if a file had been opened and played.
    ShellFakePlayer* playFake() {
        PlayLogic* logic = gMainFrame.playLogic.get();
        EXPECT_TRUE(gMainFrame.playWnd->open(EngineKind::Vlc, GetModuleHandleW(nullptr)));
        auto* fake = new ShellFakePlayer();
        logic->setEngine(std::unique_ptr<MediaPlayer>(fake), EngineKind::Vlc);
        PlayListData list = logic->playList();
        list.entries.push_back(PlayListEntry{1, L"C:\\films\\a.mkv"});
        logic->setPlayList(std::move(list));
        fake->play();
        return fake;
    }

    int barHeight() { return gMainFrame.playBar->barHeight(); }
    HWND main() { return gMainFrame.mainWindow; }

    bool running = false;
};

TEST_F(Shell, FirstStartHasTheDefaultClientSizeCentredOnTheWorkArea) {
    SIZE client = clientOf(main());
    EXPECT_EQ(client.cx, 672);
    EXPECT_EQ(client.cy, 420 + barHeight());
    RECT work{}, window{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(main(), &window);
    EXPECT_NEAR((window.left + window.right) / 2, (work.left + work.right) / 2, 1);
    EXPECT_NEAR((window.top + window.bottom) / 2, (work.top + work.bottom) / 2, 1);
    // The children share the client area: the video above, the bar below.
    RECT video{}, bar{};
    GetWindowRect(gMainFrame.playWnd->window, &video);
    GetWindowRect(gMainFrame.playBar->window, &bar);
    EXPECT_EQ(video.bottom - video.top, 420);
    EXPECT_EQ(bar.top, video.bottom);
    EXPECT_EQ(bar.right - bar.left, 672);
}

TEST_F(Shell, ShrinkingBelowTheMinimumSnapsBack) {
    RECT window{};
    GetWindowRect(main(), &window);
    SetWindowPos(main(), nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER);
    pump();
    SIZE client = clientOf(main());
    EXPECT_EQ(client.cx, 480);
    EXPECT_EQ(client.cy, 300 + barHeight());
}

TEST_F(Shell, EmptyPlayListGraysPlaybackItemsButNotTheOpenCommands) {
    for (UINT id : {IDM_PLAY, IDM_PAUSE, IDM_HALF_SIZE, IDM_NORMAL_SIZE, IDM_DOUBLE_SIZE,
                    IDM_FIT_TO_SCREEN, IDM_ASPECT_DEFAULT, IDM_ASPECT_16_9, IDM_STOP, IDM_FORWARD,
                    IDM_SNAPSHOT, IDM_CHANNEL_STEREO})
        EXPECT_TRUE(grayed(id)) << id;
    for (UINT id : {IDM_OPEN_FILE, IDM_OPEN_DISK, IDM_OPEN_ISO, IDM_FULLSCREEN})
        EXPECT_FALSE(grayed(id)) << id;
    // No aspect set: Default carries the check.
    EXPECT_TRUE(checked(IDM_ASPECT_DEFAULT));
    EXPECT_FALSE(checked(IDM_ASPECT_4_3));
    EXPECT_EQ(menuText(IDM_PLAY), WString(L"Play\tSpace"));
}

TEST_F(Shell, PlayLabelAndStatesFollowTheEngine) {
    ShellFakePlayer* fake = playFake();
    refreshMenu(nullptr);
    EXPECT_EQ(menuText(IDM_PLAY), WString(L"Pause\tSpace"));
    for (UINT id : {IDM_PLAY, IDM_STOP, IDM_FORWARD, IDM_BACKWARD, IDM_SNAPSHOT, IDM_HALF_SIZE,
                    IDM_ASPECT_4_3, IDM_CHANNEL_LEFT})
        EXPECT_FALSE(grayed(id)) << id;
    // Space while playing pauses; the label follows, the seek items gray, Stop stays.
    SendMessageW(main(), WM_COMMAND, IDM_PLAY, 0);
    EXPECT_EQ(fake->state, PlayerState::Paused);
    EXPECT_EQ(menuText(IDM_PLAY), WString(L"Play\tSpace"));
    EXPECT_TRUE(grayed(IDM_FORWARD));
    EXPECT_FALSE(grayed(IDM_STOP));
    SendMessageW(main(), WM_COMMAND, IDM_PLAY, 0);
    EXPECT_EQ(fake->state, PlayerState::Playing);
    // An aspect chosen moves the check.
    gMainFrame.playLogic->applyAspectRatio("16:9");
    refreshMenu(nullptr);
    EXPECT_TRUE(checked(IDM_ASPECT_16_9));
    EXPECT_FALSE(checked(IDM_ASPECT_DEFAULT));
}

TEST_F(Shell, StopThroughThePostedCommandAndUnknownCommandsFallThrough) {
    ShellFakePlayer* fake = playFake();
    EXPECT_EQ(onCommand(IDM_STOP), 1);
    EXPECT_EQ(fake->state, PlayerState::Playing); // only posted so far
    pump();
    EXPECT_FALSE(gMainFrame.playLogic->isPlaying());
    EXPECT_EQ(gMainFrame.pendingOpenCommand, PendingOpen::None);
    EXPECT_EQ(onCommand(40000), 0);
    EXPECT_EQ(onCommand(IDM_DEVICE_STEREO), 0);
}

TEST_F(Shell, FullScreenRoundTripRestoresTheFramedPlacement) {
    SetWindowPos(main(), nullptr, 100, 80, 700, 520, SWP_NOZORDER);
    pump();
    SendMessageW(main(), WM_COMMAND, IDM_FULLSCREEN, 0);
    pump();
    EXPECT_TRUE(gMainFrame.fullScreen);
    EXPECT_EQ(GetMenu(main()), nullptr);
    EXPECT_EQ(GetWindowLongW(main(), GWL_STYLE) & WS_CAPTION, 0);
    RECT r{};
    GetWindowRect(main(), &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(r.bottom, GetSystemMetrics(SM_CYSCREEN));
    EXPECT_TRUE(grayed(IDM_FULLSCREEN));

    SendMessageW(main(), WM_COMMAND, IDM_LEAVE_FULLSCREEN, 0);
    pump();
    EXPECT_FALSE(gMainFrame.fullScreen);
    EXPECT_EQ(GetMenu(main()), gMainFrame.mainMenu);
    GetWindowRect(main(), &r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.top, 80);
    EXPECT_EQ(r.right - r.left, 700);
    EXPECT_EQ(r.bottom - r.top, 520);
}

TEST_F(Shell, QuittingInFullScreenStoresThePlacementFromBefore) {
    SetWindowPos(main(), nullptr, 120, 90, 640, 500, SWP_NOZORDER);
    pump();
    SendMessageW(main(), WM_COMMAND, IDM_FULLSCREEN, 0);
    pump();
    restart();
    BYTE data[64] = {};
    DWORD size = sizeof(data);
    ASSERT_EQ(readValue(kSettingsKey, L"MAIN_WP", data, &size), static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(size, 44u);
    RECT r{};
    GetWindowRect(main(), &r);
    EXPECT_EQ(r.left, 120);
    EXPECT_EQ(r.top, 90);
    EXPECT_EQ(r.right - r.left, 640);
    EXPECT_FALSE(gMainFrame.fullScreen);
}

TEST_F(Shell, QuittingMaximisedStartsMaximised) {
    ShowWindow(main(), SW_MAXIMIZE);
    pump();
    ASSERT_TRUE(IsZoomed(main()));
    restart();
    pump(200);
    EXPECT_TRUE(IsZoomed(main()));
    BYTE data[64] = {};
    DWORD size = sizeof(data);
    ASSERT_EQ(readValue(kSettingsKey, L"MAIN_WP", data, &size), static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(reinterpret_cast<WINDOWPLACEMENT*>(data)->showCmd,
              static_cast<UINT>(SW_SHOWMAXIMIZED));
}

TEST_F(Shell, VideoSizeCommandsSizeTheVideoToTheEngineSize) {
    playFake();
    HWND surface = gMainFrame.playWnd->videoSurface;
    ASSERT_TRUE(IsWindow(surface));
    SendMessageW(main(), WM_COMMAND, IDM_HALF_SIZE, 0);
    pump();
    SIZE half = clientOf(surface);
    EXPECT_EQ(half.cy, 288);
    EXPECT_EQ(half.cx, 480); // 360 is below the minimum client width, which wins
    SendMessageW(main(), WM_COMMAND, IDM_NORMAL_SIZE, 0);
    pump();
    SIZE normal = clientOf(surface);
    EXPECT_EQ(normal.cx, 720);
    EXPECT_EQ(normal.cy, 576);
    SendMessageW(main(), WM_COMMAND, IDM_DOUBLE_SIZE, 0);
    pump();
    SIZE twice = clientOf(surface);
    EXPECT_EQ(twice.cx, 1440);
    EXPECT_EQ(twice.cy, 1152);
}

TEST_F(Shell, WithoutAnEngineSizesDoNothingButFitToScreenMaximises) {
    RECT before{}, after{};
    GetWindowRect(main(), &before);
    SendMessageW(main(), WM_COMMAND, IDM_DOUBLE_SIZE, 0);
    pump();
    GetWindowRect(main(), &after);
    EXPECT_TRUE(EqualRect(&before, &after));
    SendMessageW(main(), WM_COMMAND, IDM_FIT_TO_SCREEN, 0);
    pump(200);
    EXPECT_TRUE(IsZoomed(main()));
}

TEST_F(Shell, HandOverReachesTheRunningWindowAndRefusesAStaleHandle) {
    ASSERT_TRUE(registerMainFrameHandle(kProductName, main()));
    const HandedOver path{L"C:\\films\\second.mkv", 1234567};
    EXPECT_TRUE(handOverToRunningInstance(kProductName, path));
    const HandedOver taken = readHandedOverFile(kProductName);
    EXPECT_EQ(taken.path, path.path);
    EXPECT_EQ(taken.launched, path.launched);

    // A handle that no longer names a window: the new instance runs on its own.
    HWND gone =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    DestroyWindow(gone);
    ASSERT_TRUE(registerMainFrameHandle(kProductName, gone));
    EXPECT_FALSE(handOverToRunningInstance(kProductName, path));
    // A window that does not answer the ping is no instance of ours either.
    HWND other =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(registerMainFrameHandle(kProductName, other));
    EXPECT_FALSE(handOverToRunningInstance(kProductName, path));
    DestroyWindow(other);
}

TEST_F(Shell, HandedOverPathLongerThanMaxPathIsReadWhole) {
    WString longPath = L"C:\\" + WString(300, L'x') + L".mkv";
    writeValue(kHandOverKey, L"MainFrame_NewFile", REG_SZ, longPath.c_str(),
               static_cast<DWORD>((longPath.size() + 1) * sizeof(wchar_t)));
    const HandedOver taken = readHandedOverFile(kProductName);
    EXPECT_EQ(taken.path, longPath);
    EXPECT_EQ(taken.launched, 0u); // written without a launch time: counts as the latest
    EXPECT_TRUE(readHandedOverFile(kProductName).path.empty()); // taken once
}

TEST_F(Shell, AnExitComponentThatRefusesKeepsTheWindowOpenAndPlaying) {
    ShellFakePlayer* fake = playFake();
    WString folder = testFolder() + L"testlibs\\keepopen\\";
    components::setLibraryFolder(folder.c_str());
    SendMessageW(main(), WM_CLOSE, 0, 0);
    pump();
    components::setLibraryFolder(nullptr);
    ASSERT_TRUE(IsWindow(main()));
    EXPECT_TRUE(IsWindowVisible(main()));
    EXPECT_TRUE(gMainFrame.playLogic->isPlaying()); // the same engine plays on
    EXPECT_EQ(fake->state, PlayerState::Playing);
}

// One press as the low-level hook sees it: the message time is that of the last message this
// thread took from its queue, so a message is posted and taken first.
void hookPress(POINT at) {
    Sleep(15);
    PostMessageW(nullptr, WM_NULL, 0, 0);
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_NULL, WM_NULL, PM_REMOVE);
    MSLLHOOKSTRUCT info{};
    info.pt = at;
    mouseHookProc(HC_ACTION, WM_LBUTTONDOWN, reinterpret_cast<LPARAM>(&info));
}

// The double clicks the hook posted to the video window (taken off its queue).
int postedDoubleClicks(HWND video) {
    int n = 0;
    MSG msg;
    while (PeekMessageW(&msg, video, WM_LBUTTONDBLCLK, WM_LBUTTONDBLCLK, PM_REMOVE))
        ++n;
    return n;
}

TEST_F(Shell, MouseHookMakesOneDoubleClickOfTwoQuickPressesInsideTheVideo) {
    HWND video = gMainFrame.playWnd->window;
    SetForegroundWindow(main());
    pump();
    ASSERT_EQ(GetForegroundWindow(), main());
    RECT r{};
    GetWindowRect(video, &r);
    POINT inside{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    postedDoubleClicks(video);

    hookPress(inside);
    EXPECT_EQ(postedDoubleClicks(video), 0);
    hookPress(inside);
    EXPECT_EQ(postedDoubleClicks(video), 1);
    // A third press starts a new pair.
    hookPress(inside);
    EXPECT_EQ(postedDoubleClicks(video), 0);
    hookPress(inside);
    EXPECT_EQ(postedDoubleClicks(video), 1);

    // On the border or outside: untouched.
    for (POINT p :
         {POINT{r.left, inside.y}, POINT{inside.x, r.bottom}, POINT{r.right + 20, inside.y}}) {
        hookPress(p);
        hookPress(p);
        EXPECT_EQ(postedDoubleClicks(video), 0) << p.x << "," << p.y;
    }

    // Another window in front: untouched.
    HWND other = CreateWindowExW(0, L"STATIC", L"front", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                 nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(other);
    pump();
    if (GetForegroundWindow() == other) {
        hookPress(inside);
        hookPress(inside);
        EXPECT_EQ(postedDoubleClicks(video), 0);
    }
    DestroyWindow(other);
}

TEST_F(Shell, PingIsAnswered) {
    EXPECT_EQ(SendMessageW(main(), WM_MAINFRAME_PING, 0, 0), WM_MAINFRAME_PING);
}

// Placement values that are not exactly one stored WINDOWPLACEMENT give the default layout.
TEST(Placement, ValuesOfAnotherSizeOrTypeAreIgnored) {
    WINDOWPLACEMENT wp{};
    wp.length = sizeof(wp);
    wp.showCmd = SW_SHOWNORMAL;
    wp.rcNormalPosition = RECT{10, 20, 610, 520};
    BYTE bytes[64] = {};
    CopyMemory(bytes, &wp, sizeof(wp));
    struct Case {
        DWORD type;
        DWORD size;
    };
    for (Case c : {Case{REG_BINARY, 43}, Case{REG_BINARY, 45}, Case{REG_SZ, 44}, Case{0, 0}}) {
        if (c.type)
            writeValue(kSettingsKey, L"MAIN_WP", c.type, bytes, c.size);
        else
            deleteValue(kSettingsKey, L"MAIN_WP");
        gMainFrame.placementValid = false;
        EXPECT_TRUE(loadWindowPlacement());
        EXPECT_FALSE(gMainFrame.placementValid) << c.type << "/" << c.size;
    }
    writeValue(kSettingsKey, L"MAIN_WP", REG_BINARY, bytes, 44);
    EXPECT_TRUE(loadWindowPlacement());
    EXPECT_TRUE(gMainFrame.placementValid);
    EXPECT_EQ(gMainFrame.placement.rcNormalPosition.right, 610);
    deleteValue(kSettingsKey, L"MAIN_WP");
    gMainFrame = MainFrameState{};
}

TEST(Caption, FormatsByWhatIsOpen) {
    EXPECT_EQ(formatCaption(L"C:\\films\\a.mkv", L"a.mkv", L"", false, true),
              WString(L"Velloran - a.mkv"));
    EXPECT_EQ(formatCaption(L"K:\\", L"", L"Title 1", true, true),
              WString(L"Velloran - K:\\ - Title 1"));
    EXPECT_EQ(formatCaption(L"C:\\films\\a.mkv", L"a.mkv", L"", false, false),
              WString(L"Velloran"));
    EXPECT_EQ(formatCaption(L"", L"", L"", false, true), WString(L"Velloran"));
}

TEST(Caption, LongPathsAreShortenedKeepingTheEnd) {
    WString folder = L"C:\\";
    while (folder.size() < 300)
        folder += L"very long folder name\\";
    folder += L"VIDEO_DISC";
    WString caption = formatCaption(folder, L"", L"Title 2", true, true);
    EXPECT_EQ(caption.size(), 259u);
    EXPECT_EQ(caption.substr(0, 14), WString(L"Velloran - ..."));
    WString end = L"VIDEO_DISC - Title 2";
    EXPECT_EQ(caption.substr(caption.size() - end.size()), end);

    WString name(400, L'n');
    name += L".mkv";
    caption = formatCaption(L"C:\\" + name, name, L"", false, true);
    EXPECT_EQ(caption.size(), 259u);
    EXPECT_EQ(caption.substr(caption.size() - 4), WString(L".mkv"));
}

TEST(IsoPath, EndsInIsoInAnyCase) {
    EXPECT_TRUE(isIsoPath(L"C:\\images\\film.iso"));
    EXPECT_TRUE(isIsoPath(L"C:\\images\\FILM.ISO"));
    EXPECT_TRUE(isIsoPath(L"film.IsO"));
    EXPECT_FALSE(isIsoPath(L"C:\\images\\film.iso.mkv"));
    EXPECT_FALSE(isIsoPath(L"iso"));
    EXPECT_FALSE(isIsoPath(L""));
}

TEST(CommandLine, OneQuotedPathLosesItsQuotesAnythingElseStaysWhole) {
    const struct {
        const wchar_t* line;
        const wchar_t* path;
    } cases[] = {
        {L"\"C:\\My Films\\film.iso\"", L"C:\\My Films\\film.iso"},
        {L"C:\\films\\a.mkv", L"C:\\films\\a.mkv"},
        {L"\"\"", L""},
        {L"\"", L"\""},
        {L"\"a\" \"b\"", L"\"a\" \"b\""},
        {L"\"C:\\a.mkv", L"\"C:\\a.mkv"},
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(commandLinePath(c.line), WString(c.path)) << static_cast<const void*>(c.line);
}

} // namespace

namespace {

UINT lastCommand = 0;
LRESULT CALLBACK commandSink(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) lastCommand = LOWORD(wParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

// The command the accelerator table turns one key press into; 0 when none.
UINT translate(HACCEL table, HWND window, UINT message, WPARAM key, bool control, bool alt) {
    BYTE keys[256] = {};
    if (control) keys[VK_CONTROL] = keys[VK_LCONTROL] = 0x80;
    if (alt) keys[VK_MENU] = keys[VK_LMENU] = 0x80;
    SetKeyboardState(keys);
    lastCommand = 0;
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = key;
    msg.lParam = alt ? (1 << 29) | 1 : 1;
    BOOL used = TranslateAcceleratorW(window, table, &msg);
    BYTE none[256] = {};
    SetKeyboardState(none);
    return used ? lastCommand : 0;
}

} // namespace

TEST(Accelerators, EveryKeyReachesItsCommand) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HACCEL table = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_MAINACCEL));
    ASSERT_NE(table, nullptr);
    WNDCLASSW wc{};
    wc.lpfnWndProc = commandSink;
    wc.hInstance = instance;
    wc.lpszClassName = L"AcceleratorSink";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, L"AcceleratorSink", L"", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10,
                                  nullptr, nullptr, instance, nullptr);
    ASSERT_NE(window, nullptr);
    struct Key {
        WPARAM key;
        bool control;
        UINT command;
    };
    const Key keys[] = {
        {'O', true, IDM_OPEN_FILE},
        {'D', true, IDM_OPEN_DISK},
        {'I', true, IDM_OPEN_ISO},
        {VK_SPACE, false, IDM_PLAY},
        {VK_PRIOR, false, IDM_PREVIOUS},
        {VK_NEXT, false, IDM_NEXT},
        {VK_HOME, false, IDM_START_OVER},
        {VK_RIGHT, false, IDM_FORWARD},
        {VK_LEFT, false, IDM_BACKWARD},
        {VK_UP, false, IDM_VOLUME_UP},
        {VK_DOWN, false, IDM_VOLUME_DOWN},
        {'M', false, IDM_MUTE},
        {'F', false, IDM_FULLSCREEN},
        {VK_ESCAPE, false, IDM_LEAVE_FULLSCREEN},
        {'1', true, IDM_HALF_SIZE},
        {'2', true, IDM_NORMAL_SIZE},
        {'3', true, IDM_DOUBLE_SIZE},
        {'4', true, IDM_FIT_TO_SCREEN},
        {'S', true, IDM_SNAPSHOT},
    };
    for (const Key& k : keys)
        EXPECT_EQ(translate(table, window, WM_KEYDOWN, k.key, k.control, false), k.command)
            << "key " << k.key;
    // The About box answers the typed characters with Alt.
    EXPECT_EQ(translate(table, window, WM_SYSCHAR, '/', false, true), static_cast<UINT>(IDM_ABOUT));
    EXPECT_EQ(translate(table, window, WM_SYSCHAR, '?', false, true), static_cast<UINT>(IDM_ABOUT));
    // Eject Disk shows "Ctrl+E" in its label only; O without Ctrl opens nothing.
    EXPECT_EQ(translate(table, window, WM_KEYDOWN, 'E', true, false), 0u);
    EXPECT_EQ(translate(table, window, WM_KEYDOWN, 'O', false, false), 0u);
    DestroyWindow(window);
    UnregisterClassW(L"AcceleratorSink", instance);
}
