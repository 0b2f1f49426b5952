// The control bar in real windows: layout, button states, sliders, time text, tooltips, the
// Open menu, the full-screen auto-hide and the skin images it is drawn from.
#include <windows.h>

#include "tests/unit/gtest_wine.h"

#include <commctrl.h>
#include <gdiplus.h>

#include <algorithm>
#include <vector>

#include "app/MainFrame.h"
#include "playback/PlayLogic.h"
#include "resources/resource.h"
#include "tests/unit/StubPlayer.h"
#include "ui/PlayBar.h"
#include "ui/SkinImage.h"
#include "ui/WinUtil.h"

namespace {

// The engine as the bar sees it: a state, a time, a length, and the seeks it was asked for.
struct BarFakePlayer : StubPlayer {
    std::vector<long long> seeks;

    bool play() override { return true; }
    void setTime(long long ms) override { seeks.push_back(ms); }
};

// Commands and layout requests the bar sends to its owner.
std::vector<UINT> gOwnerCommands;
int gOwnerSizes = 0;

LRESULT CALLBACK ownerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) gOwnerCommands.push_back(LOWORD(wParam));
    if (message == WM_SIZE && wParam == 0 && lParam == 0) ++gOwnerSizes;
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND createOwner() {
    static bool registered = false;
    HINSTANCE module = GetModuleHandleW(nullptr);
    if (!registered) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ownerProc;
        wc.hInstance = module;
        wc.lpszClassName = L"VelloranBarTestOwner";
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        registered = RegisterClassW(&wc) != 0;
    }
    return CreateWindowExW(0, L"VelloranBarTestOwner", L"bar test",
                           WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 900, 300, nullptr, nullptr,
                           module, nullptr);
}

bool isBright(COLORREF c) {
    return GetRValue(c) > 0xC0 && GetGValue(c) > 0xC0 && GetBValue(c) > 0xC0;
}

// Leftmost bright pixel of a row in [from, to), or -1.
int firstBright(HDC dc, int y, int from, int to) {
    for (int x = from; x < to; ++x)
        if (isBright(GetPixel(dc, x, y))) return x;
    return -1;
}

// Leftmost bright column of an image in the given row, drawn alone on black.
int imageBrightLeft(SkinImage* image, int row) {
    const int w = static_cast<int>(imageWidth(image));
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap =
        createOffscreenBitmap(w + 4, static_cast<int>(imageHeight(image)) + 4, nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    drawImage(dc, image, 0, 0);
    int x = firstBright(dc, row, 0, w);
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return x;
}

DWORD WINAPI updateButtonsThread(void* bar) {
    static_cast<PlayBar*>(bar)->updateButtons(PlayStatus{PlayerState::Playing, 1, false});
    return 0;
}

class PlayBarWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ensureGdiplus();
        saved = std::move(gMainFrame);
        // The controller reports to the main window's listener, which keeps the bar in step.
        gMainFrame.playLogic =
            std::make_unique<PlayLogic>(&gMainFrame.listener, nullptr, 0, nullptr);
        logic = gMainFrame.playLogic.get();
        gMainFrame.fullScreen = false;
        ASSERT_NE(owner, nullptr);
        gMainFrame.mainWindow = owner;
        gMainFrame.playBar = std::make_unique<PlayBar>();
        bar = gMainFrame.playBar.get();
        ASSERT_EQ(PlayBar::instance(), bar);
        ASSERT_TRUE(bar->create(GetModuleHandleW(nullptr), owner));
        ASSERT_TRUE(bar->initControls());
        placeBar(600);
        gOwnerCommands.clear();
        gOwnerSizes = 0;
    }
    void TearDown() override {
        if (GetCapture()) ReleaseCapture();
        gMainFrame.playBar.reset();
        gMainFrame.playLogic.reset();
        pumpMessages();
        gMainFrame = std::move(saved);
    }
    // One owner for the suite: hiding a top-level window waits for a window manager that the
    // test display does not have.
    static void SetUpTestSuite() { owner = createOwner(); }
    static void TearDownTestSuite() {
        DestroyWindow(owner);
        owner = nullptr;
    }
    void placeBar(int width) {
        MoveWindow(bar->window, 0, 200, width, bar->barHeight(), TRUE);
        pumpMessages();
    }
    BarFakePlayer* engine(PlayerState state) {
        auto* fake = new BarFakePlayer();
        fake->state = state;
        logic->setEngine(std::unique_ptr<MediaPlayer>(fake), logic->engineKind());
        return fake;
    }
    RECT rectOf(int id) {
        RECT r{};
        EXPECT_TRUE(getControlRect(bar->window, id, &r)) << id;
        return r;
    }
    bool shown(int id) {
        return (GetWindowLongW(GetDlgItem(bar->window, id), GWL_STYLE) & WS_VISIBLE) != 0;
    }
    bool enabled(int id) { return IsWindowEnabled(GetDlgItem(bar->window, id)) != FALSE; }
    void addEntries(int n) {
        PlayListData list = logic->playList();
        for (int i = 0; i < n; ++i)
            list.entries.push_back({i == 0 ? 1 : 0, formatWide(L"C:\\m\\%d.mkv", i)});
        logic->setPlayList(std::move(list));
    }
    void updateButtons() { bar->updateButtons(logic->status()); }
    LPARAM at(int x, int y) { return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)); }
    // Offset of the volume knob from the track's left edge, read from drawBuffer.
    int volumeKnobOffset() {
        RECT r = rectOf(IDC_BAR_VOLUME);
        const int row = (r.top + r.bottom) / 2;
        int x = firstBright(bar->drawBuffer.dc, row, r.left, r.right + 1);
        const int own = imageBrightLeft(bar->volumeKnob, row - (r.top + r.bottom - 12) / 2);
        return x < 0 || own < 0 ? -1 : x - r.left - own;
    }
    int timeKnobOffset() {
        RECT r = rectOf(IDC_BAR_TIME);
        const int row = (r.top + r.bottom) / 2;
        int x = firstBright(bar->drawBuffer.dc, row, r.left, r.right + 1);
        const int own = imageBrightLeft(bar->timeKnob, row - (r.top + r.bottom - 12) / 2);
        return x < 0 || own < 0 ? -1 : x - r.left - own;
    }
    // Pixels of the accent (played) colour in the seek track's middle row.
    int playedPixels() {
        RECT r = rectOf(IDC_BAR_TIME);
        const int row = (r.top + r.bottom) / 2 - 1;
        int n = 0;
        for (int x = r.left; x < r.right; ++x) {
            COLORREF c = GetPixel(bar->drawBuffer.dc, x, row);
            if (GetBValue(c) > 0xB0 && GetRValue(c) < 0x80) ++n;
        }
        return n;
    }

    MainFrameState saved;
    PlayLogic* logic = nullptr;
    PlayBar* bar = nullptr;
    static HWND owner;
};

HWND PlayBarWindow::owner = nullptr;

TEST_F(PlayBarWindow, LayoutFollowsTheClientWidth) {
    for (int W : {600, 820}) {
        placeBar(W);
        SCOPED_TRACE(W);
        EXPECT_EQ(bar->barHeight(), 36);
        struct Expected {
            int id, x, y, w, h;
        } rows[] = {
            {IDC_BAR_OPEN, 1, 2, 36, 32},
            {IDC_BAR_STOP, 1, 2, 36, 32},
            {IDC_BAR_PLAY, 38, 2, 36, 32},
            {IDC_BAR_PAUSE, 38, 2, 36, 32},
            {IDC_BAR_PREV, 75, 2, 36, 32},
            {IDC_BAR_NEXT, 112, 2, 36, 32},
            {IDC_BAR_TIME, 149, 16, W - 285, 12},
            {IDC_BAR_VOLUME, W - 135, 15, 72, 12},
            {IDC_BAR_MUTE, W - 62, 9, 28, 24},
            {IDC_BAR_FULLSCREEN1, W - 33, 5, 32, 26},
            {IDC_BAR_FULLSCREEN2, W - 33, 5, 32, 26},
        };
        for (const Expected& e : rows) {
            RECT r = rectOf(e.id);
            EXPECT_EQ(r.left, e.x) << e.id;
            EXPECT_EQ(r.top, e.y) << e.id;
            EXPECT_EQ(r.right - r.left, e.w) << e.id;
            EXPECT_EQ(r.bottom - r.top, e.h) << e.id;
        }
    }
    // The slider areas are never shown: they only carry the rectangles.
    EXPECT_FALSE(shown(IDC_BAR_TIME));
    EXPECT_FALSE(shown(IDC_BAR_VOLUME));
    placeBar(600);
    RECT seek = rectOf(IDC_BAR_TIME);
    EXPECT_EQ(seek.left, 149);
    EXPECT_EQ(seek.right - seek.left, 315);
}

TEST_F(PlayBarWindow, ButtonsFollowTheEngineState) {
    // Stopped with an empty list: Open and a disabled Play; nothing to step to.
    updateButtons();
    EXPECT_TRUE(shown(IDC_BAR_OPEN));
    EXPECT_TRUE(shown(IDC_BAR_PLAY));
    EXPECT_FALSE(enabled(IDC_BAR_PLAY));
    EXPECT_FALSE(shown(IDC_BAR_STOP));
    EXPECT_FALSE(shown(IDC_BAR_PAUSE));
    EXPECT_TRUE(shown(IDC_BAR_PREV));
    EXPECT_TRUE(shown(IDC_BAR_NEXT));
    EXPECT_FALSE(enabled(IDC_BAR_PREV));
    EXPECT_FALSE(enabled(IDC_BAR_NEXT));

    addEntries(2);
    bar->time = 1234;
    engine(PlayerState::Playing);
    updateButtons();
    EXPECT_TRUE(shown(IDC_BAR_STOP));
    EXPECT_TRUE(enabled(IDC_BAR_STOP));
    EXPECT_TRUE(shown(IDC_BAR_PAUSE));
    EXPECT_FALSE(shown(IDC_BAR_OPEN));
    EXPECT_FALSE(shown(IDC_BAR_PLAY));
    EXPECT_TRUE(enabled(IDC_BAR_PREV));
    EXPECT_TRUE(enabled(IDC_BAR_NEXT));
    EXPECT_EQ(bar->time, 1234);

    engine(PlayerState::Paused);
    updateButtons();
    EXPECT_TRUE(shown(IDC_BAR_STOP));
    EXPECT_TRUE(shown(IDC_BAR_PLAY));
    EXPECT_TRUE(enabled(IDC_BAR_PLAY));
    EXPECT_FALSE(shown(IDC_BAR_OPEN));
    EXPECT_FALSE(shown(IDC_BAR_PAUSE));
    EXPECT_EQ(bar->time, 1234);

    // Stopped, ended or failed with a list: Open and an enabled Play; the shown time resets.
    for (PlayerState state : {PlayerState::Stopped, PlayerState::Ended, PlayerState::Error}) {
        engine(state);
        updateButtons();
        EXPECT_TRUE(shown(IDC_BAR_OPEN)) << static_cast<int>(state);
        EXPECT_TRUE(shown(IDC_BAR_PLAY)) << static_cast<int>(state);
        EXPECT_TRUE(enabled(IDC_BAR_PLAY)) << static_cast<int>(state);
        EXPECT_FALSE(shown(IDC_BAR_STOP)) << static_cast<int>(state);
        EXPECT_FALSE(shown(IDC_BAR_PAUSE)) << static_cast<int>(state);
        EXPECT_EQ(bar->time, 0) << static_cast<int>(state);
    }

    // The two full-screen buttons trade places with the main window's mode.
    EXPECT_TRUE(shown(IDC_BAR_FULLSCREEN1));
    EXPECT_FALSE(shown(IDC_BAR_FULLSCREEN2));
    bar->fullScreen = true;
    updateButtons();
    EXPECT_FALSE(shown(IDC_BAR_FULLSCREEN1));
    EXPECT_FALSE(enabled(IDC_BAR_FULLSCREEN1));
    EXPECT_TRUE(shown(IDC_BAR_FULLSCREEN2));
    EXPECT_TRUE(enabled(IDC_BAR_FULLSCREEN2));
}

TEST_F(PlayBarWindow, UpdateButtonsFromAnotherThreadIsHandedToTheBarThread) {
    engine(PlayerState::Playing);
    // The other thread must not wait for this one (which may itself be waiting for the engine).
    HANDLE thread = CreateThread(nullptr, 0, updateButtonsThread, bar, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 5000), WAIT_OBJECT_0);
    CloseHandle(thread);
    pumpMessages();
    EXPECT_TRUE(shown(IDC_BAR_PAUSE));
    EXPECT_FALSE(shown(IDC_BAR_PLAY));
}

TEST(TimeText, FormatsHoursMinutesSecondsWithoutWrapping) {
    EXPECT_EQ(formatTime(3723000), WString(L"01:02:03"));
    EXPECT_EQ(formatTime(0), WString(L"00:00:00"));
    EXPECT_EQ(formatTime(999), WString(L"00:00:00"));
    EXPECT_EQ(formatTime(90000000), WString(L"25:00:00"));
    EXPECT_EQ(formatTime(360000000), WString(L"100:00:00"));
    EXPECT_EQ(timeText(3723000, 7200000), WString(L"02:00:00 / 01:02:03"));
}

TEST_F(PlayBarWindow, TimeTextAndKnobFollowTheEngine) {
    // Nothing loaded: no engine, both values 0.
    logic->handleProc(PlayerEvent::TimeChanged);
    EXPECT_EQ(timeText(bar->time, bar->length), WString(L"00:00:00 / 00:00:00"));
    EXPECT_EQ(timeKnobOffset(), 0);
    EXPECT_EQ(playedPixels(), 0);

    BarFakePlayer* fake = engine(PlayerState::Playing);
    fake->time = 3723000;
    fake->length = 7200000;
    logic->handleProc(PlayerEvent::TimeChanged);
    EXPECT_EQ(timeText(bar->time, bar->length), WString(L"02:00:00 / 01:02:03"));
    RECT r = rectOf(IDC_BAR_TIME);
    const int travel = (r.right - r.left) - 12;
    EXPECT_EQ(timeKnobOffset(), static_cast<int>(3723000LL * travel / 7200000));
    EXPECT_GT(playedPixels(), 0);

    // The text sits right-aligned in the strip above the seek bar.
    int rightmost = -1;
    for (int y = 0; y < r.top; ++y)
        for (int x = r.left; x < r.right; ++x) {
            COLORREF c = GetPixel(bar->drawBuffer.dc, x, y);
            if (GetRValue(c) > 0x50 && GetRValue(c) == GetGValue(c) && GetGValue(c) == GetBValue(c))
                rightmost = std::max(rightmost, x);
        }
    EXPECT_GE(rightmost, r.right - 4);

    // A time past the length is shown as the length: knob at the right end.
    fake->time = 9000000;
    logic->handleProc(PlayerEvent::TimeChanged);
    EXPECT_EQ(bar->time, 7200000);
    EXPECT_EQ(timeKnobOffset(), travel);

    // Not playing or paused: the values stay as they were.
    fake->state = PlayerState::Stopped;
    fake->time = 5;
    logic->handleProc(PlayerEvent::TimeChanged);
    EXPECT_EQ(bar->time, 7200000);

    // Length 0 keeps the knob left and draws no played part.
    fake->state = PlayerState::Paused;
    fake->time = 5000;
    fake->length = 0;
    logic->handleProc(PlayerEvent::TimeChanged);
    EXPECT_EQ(bar->time, 0);
    EXPECT_EQ(timeKnobOffset(), 0);
    EXPECT_EQ(playedPixels(), 0);
}

TEST_F(PlayBarWindow, VolumeKnobFollowsVolumeAndMute) {
    logic->setVolume(50);
    EXPECT_EQ(bar->shownVolume, 50);
    EXPECT_EQ(volumeKnobOffset(), 28);

    logic->setVolume(100);
    EXPECT_EQ(volumeKnobOffset(), 56); // the knob ends flush with the track's right end

    logic->toggleMute();
    EXPECT_EQ(bar->shownVolume, 0);
    EXPECT_EQ(volumeKnobOffset(), 0);
    EXPECT_EQ(logic->volume(), 100);

    logic->toggleMute();
    EXPECT_EQ(volumeKnobOffset(), 56);
}

TEST_F(PlayBarWindow, PressOnTheSlidersSeeksAndSetsVolume) {
    RECT v = rectOf(IDC_BAR_VOLUME);
    const int middle = (v.left + v.right) / 2;
    SendMessageW(bar->window, WM_LBUTTONDOWN, MK_LBUTTON, at(middle, v.top + 6));
    EXPECT_EQ(GetCapture(), bar->window);
    EXPECT_EQ(logic->volume(), 50);
    EXPECT_EQ(volumeKnobOffset(), 28);
    // Dragging past either end pins the volume.
    SendMessageW(bar->window, WM_MOUSEMOVE, MK_LBUTTON, at(v.right + 40, v.top));
    EXPECT_EQ(logic->volume(), 100);
    SendMessageW(bar->window, WM_LBUTTONUP, 0, at(v.right + 40, v.top));
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(bar->dragTarget, 0);
    // Without the capture a move does nothing.
    SendMessageW(bar->window, WM_MOUSEMOVE, 0, at(v.left, v.top + 6));
    EXPECT_EQ(logic->volume(), 100);

    BarFakePlayer* fake = engine(PlayerState::Playing);
    fake->length = 100000;
    fake->time = 0;
    logic->handleProc(PlayerEvent::TimeChanged);
    RECT s = rectOf(IDC_BAR_TIME);
    // A press anywhere on the seek bar jumps there, and a drag left of the bar gives 0.
    SendMessageW(bar->window, WM_LBUTTONDOWN, MK_LBUTTON, at((s.left + s.right) / 2, s.top + 6));
    ASSERT_EQ(fake->seeks.size(), 1u);
    EXPECT_NEAR(static_cast<double>(fake->seeks[0]), 50000.0, 400.0);
    SendMessageW(bar->window, WM_MOUSEMOVE, MK_LBUTTON, at(-30, s.top));
    ASSERT_EQ(fake->seeks.size(), 2u);
    EXPECT_EQ(fake->seeks[1], 0);
    SendMessageW(bar->window, WM_MOUSEMOVE, MK_LBUTTON, at(s.right + 5, s.top));
    EXPECT_EQ(fake->seeks.back(), 100000);
    SendMessageW(bar->window, WM_LBUTTONUP, 0, 0);

    // A press outside both sliders starts no drag.
    SendMessageW(bar->window, WM_LBUTTONDOWN, MK_LBUTTON, at(s.left - 1, 1));
    EXPECT_EQ(bar->dragTarget, 0);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(fake->seeks.size(), 3u);
}

TEST_F(PlayBarWindow, ButtonsPostTheirCommandsAndEnterEscDoNothing) {
    struct Row {
        int id;
        UINT command;
    } rows[] = {{IDC_BAR_PLAY, IDM_PLAY},
                {IDC_BAR_PAUSE, IDM_PAUSE},
                {IDC_BAR_STOP, 32786},
                {IDC_BAR_PREV, IDM_PREVIOUS},
                {IDC_BAR_NEXT, IDM_NEXT},
                {IDC_BAR_MUTE, IDM_MUTE},
                {IDC_BAR_FULLSCREEN1, IDM_FULLSCREEN},
                {IDC_BAR_FULLSCREEN2, IDM_FULLSCREEN}};
    for (const Row& row : rows) {
        gOwnerCommands.clear();
        SendMessageW(bar->window, WM_COMMAND, MAKEWPARAM(row.id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(bar->window, row.id)));
        pumpMessages();
        ASSERT_EQ(gOwnerCommands.size(), 1u) << row.id;
        EXPECT_EQ(gOwnerCommands[0], row.command) << row.id;
    }

    gOwnerCommands.clear();
    SendMessageW(bar->window, WM_COMMAND, IDOK, 0);
    SendMessageW(bar->window, WM_COMMAND, IDCANCEL, 0);
    // Also as keys through the dialog manager, with a bar button focused.
    SetFocus(GetDlgItem(bar->window, IDC_BAR_PLAY));
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        MSG msg{GetFocus(), WM_KEYDOWN, key, 0, GetTickCount(), {}};
        IsDialogMessageW(bar->window, &msg);
    }
    pumpMessages();
    EXPECT_TRUE(gOwnerCommands.empty());
    EXPECT_TRUE(IsWindow(bar->window));
    EXPECT_TRUE(GetWindowLongW(bar->window, GWL_STYLE) & WS_VISIBLE);
}

struct RefreshLoop {
    PlayBar* bar;
    int volume;
    volatile LONG stop;
    LONG rounds;
};

DWORD WINAPI refreshLoopThread(void* data) {
    auto* loop = static_cast<RefreshLoop*>(data);
    while (!loop->stop) {
        loop->volume = (loop->volume + 7) % 101;
        loop->bar->updateVolume(loop->volume, false);
        loop->bar->flushSliders(nullptr);
        InterlockedIncrement(&loop->rounds);
    }
    return 0;
}

TEST_F(PlayBarWindow, SliderRefreshOnAnotherThreadNeverBlocksDragsLayoutOrStop) {
    // Another thread keeps redrawing and copying the sliders while this one resizes the bar
    // (which replaces the buffers), repaints it, drags on both sliders and stops playback.
    RefreshLoop loop{bar, 100, 0, 0};
    HANDLE thread = CreateThread(nullptr, 0, refreshLoopThread, &loop, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    const DWORD start = GetTickCount();
    for (int i = 0; i < 30; ++i) {
        BarFakePlayer* fake = engine(PlayerState::Playing);
        fake->length = 60000;
        placeBar(600 + (i % 5) * 70);
        RedrawWindow(bar->window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        RECT s = rectOf(IDC_BAR_TIME);
        RECT v = rectOf(IDC_BAR_VOLUME);
        SendMessageW(bar->window, WM_LBUTTONDOWN, MK_LBUTTON, at(s.left + i * 3, s.top + 4));
        SendMessageW(bar->window, WM_MOUSEMOVE, MK_LBUTTON, at(s.left + i * 5, s.top + 4));
        if (i % 2) logic->stop(); // releases the capture in the middle of the drag
        SendMessageW(bar->window, WM_LBUTTONUP, 0, 0);
        SendMessageW(bar->window, WM_LBUTTONDOWN, MK_LBUTTON, at(v.left + i, v.top + 4));
        SendMessageW(bar->window, WM_LBUTTONUP, 0, 0);
        pumpMessages();
    }
    InterlockedExchange(const_cast<LONG*>(&loop.stop), 1);
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_GT(loop.rounds, 0);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(bar->dragTarget, 0);
    // The lock is free again: a refresh on this thread goes through.
    bar->updateTime(bar->time, bar->length);
    EXPECT_EQ(WaitForSingleObject(bar->paintLock, 0), WAIT_OBJECT_0);
    SetEvent(bar->paintLock);
}

// Draws a button into a memory DC through the owner-draw path and returns the bright bounding
// box of the result.
RECT drawnGlyph(PlayBar* bar, int id, UINT action, UINT state) {
    HWND control = GetDlgItem(bar->window, id);
    RECT item{};
    GetClientRect(control, &item);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = createOffscreenBitmap(item.right, item.bottom, nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_BUTTON;
    dis.CtlID = static_cast<UINT>(id);
    dis.itemAction = action;
    dis.itemState = state;
    dis.hwndItem = control;
    dis.hDC = dc;
    dis.rcItem = item;
    SendMessageW(bar->window, WM_DRAWITEM, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&dis));
    RECT box{item.right, item.bottom, -1, -1};
    for (int y = 0; y < item.bottom; ++y)
        for (int x = 0; x < item.right; ++x)
            if (isBright(GetPixel(dc, x, y))) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x);
                box.bottom = std::max<LONG>(box.bottom, y);
            }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return box;
}

TEST_F(PlayBarWindow, PressedButtonIsDrawnOnePixelRightAndDown) {
    RECT normal = drawnGlyph(bar, IDC_BAR_PLAY, ODA_DRAWENTIRE, 0);
    RECT pressed = drawnGlyph(bar, IDC_BAR_PLAY, ODA_SELECT, ODS_SELECTED);
    RECT released = drawnGlyph(bar, IDC_BAR_PLAY, ODA_SELECT, 0);
    ASSERT_GE(normal.right, 0) << "the glyph was not drawn";
    EXPECT_EQ(pressed.left, normal.left + 1);
    EXPECT_EQ(pressed.top, normal.top + 1);
    // The release redraws the button up again.
    EXPECT_EQ(released.left, normal.left);
    EXPECT_EQ(released.top, normal.top);
}

TEST_F(PlayBarWindow, TooltipsNameTheButtons) {
    ASSERT_NE(bar->tooltip, nullptr);
    EXPECT_EQ(SendMessageW(bar->tooltip, TTM_GETTOOLCOUNT, 0, 0), 9);
    struct Row {
        int id;
        const wchar_t* text;
    } rows[] = {{IDC_BAR_OPEN, L"Open"},
                {IDC_BAR_PREV, L"Prev"},
                {IDC_BAR_MUTE, L"Mute On/Off"},
                {IDC_BAR_FULLSCREEN2, L"Leave Full Screen"}};
    for (const Row& row : rows) {
        wchar_t text[80] = {};
        TOOLINFOW info{};
        info.cbSize = TTTOOLINFOW_V2_SIZE;
        info.hwnd = bar->window;
        info.uId = reinterpret_cast<UINT_PTR>(GetDlgItem(bar->window, row.id));
        info.lpszText = text;
        SendMessageW(bar->tooltip, TTM_GETTEXTW, 80, reinterpret_cast<LPARAM>(&info));
        EXPECT_EQ(WString(text), WString(row.text));
    }
}

// While a modal menu runs, a thread timer feeds it one key every 50 ms (the menu's own loop
// dispatches the timer).
std::vector<WPARAM> gMenuKeys;
HWND gMenuKeyTarget = nullptr;

void CALLBACK feedMenuKey(HWND, UINT, UINT_PTR timer, DWORD) {
    if (gMenuKeys.empty()) return;
    WPARAM key = gMenuKeys.front();
    gMenuKeys.erase(gMenuKeys.begin());
    PostMessageW(gMenuKeyTarget, WM_KEYDOWN, key, 1);
    PostMessageW(gMenuKeyTarget, WM_KEYUP, key, 0xC0000001);
}

TEST_F(PlayBarWindow, OpenButtonMenuPostsTheChosenOpenCommand) {
    gMenuKeys = {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN, VK_ESCAPE, VK_ESCAPE};
    gMenuKeyTarget = owner;
    UINT_PTR timer = SetTimer(nullptr, 0, 50, feedMenuKey);
    SendMessageW(bar->window, WM_COMMAND, MAKEWPARAM(IDC_BAR_OPEN, BN_CLICKED), 0);
    KillTimer(nullptr, timer);
    gMenuKeys.clear();
    pumpMessages();
    // The third item of the Open menu is Open ISO.
    ASSERT_EQ(gOwnerCommands.size(), 1u);
    EXPECT_EQ(gOwnerCommands[0], static_cast<UINT>(IDM_OPEN_ISO));
}

TEST_F(PlayBarWindow, FullScreenAutoHide) {
    RECT barRect{};
    GetWindowRect(bar->window, &barRect);
    const POINT outside{barRect.left + 200, barRect.top - 80};
    ASSERT_TRUE(SetCursorPos(outside.x, outside.y));
    POINT p{};
    GetCursorPos(&p);
    if (p.x != outside.x || p.y != outside.y) GTEST_SKIP() << "the cursor cannot be placed here";

    // Off (windowed): never hides.
    bar->lastActivityTick = 0;
    bar->lastCursorPos = p;
    bar->autoHideTick();
    EXPECT_TRUE(GetWindowLongW(bar->window, GWL_STYLE) & WS_VISIBLE);

    // Still for more than 5 s: hides once and asks the owner to lay out again.
    bar->lastActivityTick = GetTickCount() - 5100;
    bar->autoHideTick();
    pumpMessages();
    EXPECT_FALSE(GetWindowLongW(bar->window, GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(gOwnerSizes, 1);
    bar->autoHideTick();
    pumpMessages();
    EXPECT_EQ(gOwnerSizes, 1);

    // Movements inside the hidden bar's strip neither show it nor reset the clock.
    const DWORD clock = bar->lastActivityTick;
    SetCursorPos(barRect.left + 300, barRect.top + 10);
    bar->autoHideTick();
    pumpMessages();
    EXPECT_FALSE(GetWindowLongW(bar->window, GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(bar->lastActivityTick, clock);

    // Moving 5 pixels or more elsewhere shows it again.
    SetCursorPos(outside.x + 3, outside.y + 5);
    bar->autoHideTick();
    pumpMessages();
    EXPECT_TRUE(GetWindowLongW(bar->window, GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(gOwnerSizes, 2);

    // Moves under 5 pixels count as still; a recent movement keeps it shown.
    SetCursorPos(outside.x + 6, outside.y + 8);
    bar->autoHideTick();
    EXPECT_TRUE(GetWindowLongW(bar->window, GWL_STYLE) & WS_VISIBLE);

    // Never hidden while the cursor rests on the bar.
    SetCursorPos(barRect.left + 300, barRect.top + 10);
    bar->lastActivityTick = GetTickCount() - 10000;
    bar->lastCursorPos = POINT{barRect.left + 300, barRect.top + 10};
    bar->autoHideTick();
    EXPECT_TRUE(GetWindowLongW(bar->window, GWL_STYLE) & WS_VISIBLE);
}

TEST(SkinImages, HaveTheSizesTheLayoutIsBuiltOn) {
    ensureGdiplus();
    HMODULE module = GetModuleHandleW(nullptr);
    struct Row {
        int id;
        UINT w, h;
    } rows[] = {{IDB_BAR_BKG, 10, 36},     {IDB_OPEN, 36, 32},       {IDB_PLAY, 36, 32},
                {IDB_PAUSE, 36, 32},       {IDB_STOP, 36, 32},       {IDB_PREV, 36, 32},
                {IDB_NEXT, 36, 32},        {IDB_MUTE, 28, 24},       {IDB_FULLSCREEN1, 32, 26},
                {IDB_FULLSCREEN2, 32, 26}, {IDB_TIME_BKG, 3, 12},    {IDB_TIME_FORG, 3, 12},
                {IDB_TIME_BALL, 12, 12},   {IDB_VOLUME_BAR, 72, 12}, {IDB_VOLUME_BALL, 16, 12},
                {IDB_LOGO, 316, 155}};
    for (const Row& row : rows) {
        SkinImage* image = loadPngResourceId(module, row.id);
        ASSERT_NE(image, nullptr) << row.id;
        EXPECT_EQ(imageWidth(image), row.w) << row.id;
        EXPECT_EQ(imageHeight(image), row.h) << row.id;
        deleteImage(image);
        // 8-bit RGBA: bit depth and colour type of the PNG header.
        HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(row.id), L"PNG");
        const auto* bytes =
            static_cast<const unsigned char*>(LockResource(LoadResource(module, resource)));
        ASSERT_GT(SizeofResource(module, resource), 26u);
        EXPECT_EQ(bytes[24], 8) << row.id;
        EXPECT_EQ(bytes[25], 6) << row.id;
    }
    EXPECT_EQ(loadPngResource(module, nullptr), nullptr);
    EXPECT_EQ(loadPngResourceId(module, 4242), nullptr);
}

// Columns of a DC row that are not black.
std::vector<COLORREF> rowColours(HDC dc, int width) {
    std::vector<COLORREF> colours;
    for (int x = 0; x < width; ++x)
        colours.push_back(GetPixel(dc, x, 0));
    return colours;
}

TEST(SkinImages, TilingSqueezesTheLastTileIntoWhatIsLeft) {
    ensureGdiplus();
    // A 10 x 1 tile: red in its left half, blue in its right half.
    unsigned int pixels[10];
    for (int i = 0; i < 10; ++i)
        pixels[i] = i < 5 ? 0xFFFF0000 : 0xFF0000FF;
    SkinImage* tile = createSkinImage(10, 1, pixels);
    ASSERT_NE(tile, nullptr);
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = createOffscreenBitmap(40, 1, nullptr);
    HGDIOBJ old = SelectObject(dc, bitmap);

    drawTiled(dc, tile, 0, 0, 25);
    std::vector<COLORREF> c = rowColours(dc, 40);
    // Two whole tiles...
    EXPECT_EQ(c[0], RGB(255, 0, 0));
    EXPECT_EQ(c[4], RGB(255, 0, 0));
    EXPECT_EQ(c[5], RGB(0, 0, 255));
    EXPECT_EQ(c[9], RGB(0, 0, 255));
    EXPECT_EQ(c[10], RGB(255, 0, 0));
    EXPECT_EQ(c[19], RGB(0, 0, 255));
    // ...and the whole tile squeezed into the last 5 pixels (a cut-off copy would be all red).
    EXPECT_GT(GetRValue(c[20]), GetBValue(c[20]));
    EXPECT_GT(GetBValue(c[24]), GetRValue(c[24]));
    for (int x = 25; x < 40; ++x)
        EXPECT_EQ(c[x], RGB(0, 0, 0)) << x;

    // An exact multiple draws whole tiles only; width 0 draws nothing.
    RECT all{0, 0, 40, 1};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    drawTiled(dc, tile, 0, 0, 20);
    c = rowColours(dc, 40);
    EXPECT_EQ(c[19], RGB(0, 0, 255));
    EXPECT_EQ(c[20], RGB(0, 0, 0));
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    drawTiled(dc, tile, 0, 0, 0);
    drawTiled(dc, nullptr, 0, 0, 20);
    c = rowColours(dc, 40);
    for (int x = 0; x < 40; ++x)
        EXPECT_EQ(c[x], RGB(0, 0, 0)) << x;

    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    deleteImage(tile);
}

} // namespace
