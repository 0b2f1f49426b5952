// The video window in real windows: the idle logo, the context menu with the main menu's
// popups, the cursor hiding, double clicks, the "Powered by" hyperlink label, and the window
// helpers these windows are placed with.
#include <windows.h>

#include "tests/unit/gtest_wine.h"

#include <gdiplus.h>

#include <algorithm>
#include <vector>

#include "app/MainFrame.h"
#include "playback/PlayLogic.h"
#include "resources/resource.h"
#include "tests/unit/StubPlayer.h"
#include "ui/Hyperlink.h"
#include "ui/PlayWnd.h"
#include "ui/SkinImage.h"
#include "ui/WinUtil.h"

namespace {

struct WndFakePlayer : StubPlayer {
    bool play() override { return true; }
    void pause() override {}
    void stop() override {}
};

std::vector<UINT> gCommands;

// What the context menu looked like while it was open: texts and states by position.
struct MenuItem {
    UINT id;
    WString text;
    UINT state;
    HMENU sub;
};
std::vector<MenuItem> gShownMenu;
bool gMenuSeen = false;

std::vector<MenuItem> snapshot(HMENU menu) {
    std::vector<MenuItem> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
        items.push_back({GetMenuItemID(menu, i), WString(text),
                         GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION),
                         GetSubMenu(menu, i)});
    }
    return items;
}

LRESULT CALLBACK ownerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        gCommands.push_back(LOWORD(wParam));
        return 0;
    case WM_INITMENUPOPUP:
        // The first popup to open is the context menu itself.
        if (!gMenuSeen) {
            gMenuSeen = true;
            gShownMenu = snapshot(reinterpret_cast<HMENU>(wParam));
        }
        return 0;
    case WM_ENTERIDLE:
        if (gMenuSeen) EndMenu();
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

void registerOwnerClass() {
    static bool registered = false;
    if (registered) return;
    WNDCLASSW wc{};
    wc.lpfnWndProc = ownerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VelloranWndTestOwner";
    registered = RegisterClassW(&wc) != 0;
}

HWND createOwner() {
    HINSTANCE module = GetModuleHandleW(nullptr);
    registerOwnerClass();
    return CreateWindowExW(0, L"VelloranWndTestOwner", L"video test",
                           WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 700, 500, nullptr, nullptr,
                           module, nullptr);
}

// Bounding box of the pixels that are not black, or an empty rectangle.
RECT nonBlackBox(HDC dc, int width, int height) {
    RECT box{width, height, 0, 0};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if ((GetPixel(dc, x, y) & 0xFFFFFF) != 0) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    return box;
}

class PlayWndWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ensureGdiplus();
        owner = createOwner();
        registerHyperlinkClass(GetModuleHandleW(nullptr));
    }
    static void TearDownTestSuite() {
        DestroyWindow(owner);
        owner = nullptr;
        unregisterHyperlinkClass(GetModuleHandleW(nullptr));
    }
    void SetUp() override {
        ASSERT_NE(owner, nullptr);
        saved = std::move(gMainFrame);
        gMainFrame.playLogic =
            std::make_unique<PlayLogic>(&gMainFrame.listener, nullptr, 0, nullptr);
        logic = gMainFrame.playLogic.get();
        gMainFrame.mainWindow = owner;
        gMainFrame.instance = GetModuleHandleW(nullptr);
        gMainFrame.fullScreen = false;
        gMainFrame.mainMenu = LoadMenuW(gMainFrame.instance, MAKEINTRESOURCEW(IDR_MAINMENU));
        gMainFrame.playWnd = std::make_unique<PlayWnd>();
        wnd = gMainFrame.playWnd.get();
        ASSERT_EQ(PlayWnd::instance(), wnd);
        ASSERT_TRUE(wnd->createWindow(gMainFrame.instance, owner));
        wnd->mainMenu = gMainFrame.mainMenu;
        wnd->loadLogo();
        MoveWindow(wnd->window, 0, 0, 500, 300, TRUE);
        ShowWindow(wnd->window, SW_SHOW);
        pumpMessages();
        gCommands.clear();
        gShownMenu.clear();
        gMenuSeen = false;
    }
    void TearDown() override {
        gMainFrame.playWnd.reset();
        gMainFrame.playLogic.reset();
        DestroyMenu(gMainFrame.mainMenu);
        pumpMessages();
        gMainFrame = std::move(saved);
        shellOpenHook = nullptr;
    }
    WndFakePlayer* engine(PlayerState state) {
        auto* fake = new WndFakePlayer();
        fake->state = state;
        logic->setEngine(std::unique_ptr<MediaPlayer>(fake), logic->engineKind());
        return fake;
    }
    // The video window painted into a memory DC of its client size.
    RECT paintedLogoBox(bool fromSurface = false) {
        RECT client{};
        GetClientRect(wnd->window, &client);
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP bitmap = createOffscreenBitmap(client.right, client.bottom, nullptr);
        HGDIOBJ old = SelectObject(dc, bitmap);
        wnd->paint(dc, fromSurface);
        RECT box = nonBlackBox(dc, client.right, client.bottom);
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        return box;
    }
    // The logo drawn alone at (0, 0): where its visible pixels lie within the picture.
    RECT logoOwnBox() {
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP bitmap = createOffscreenBitmap(316, 155, nullptr);
        HGDIOBJ old = SelectObject(dc, bitmap);
        drawImage(dc, wnd->logo, 0, 0);
        RECT box = nonBlackBox(dc, 316, 155);
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        return box;
    }
    void showContextMenu() {
        HMENU menu = LoadMenuW(gMainFrame.instance, MAKEINTRESOURCEW(IDR_CONTEXTMENU));
        ASSERT_NE(menu, nullptr);
        wnd->showContextMenu(menu);
        pumpMessages();
        ASSERT_TRUE(gMenuSeen) << "the context menu did not open";
    }
    const MenuItem* shownItem(UINT id) {
        for (const MenuItem& item : gShownMenu)
            if (item.id == id) return &item;
        return nullptr;
    }
    bool greyed(UINT id) {
        const MenuItem* item = shownItem(id);
        return item && (item->state & MF_GRAYED);
    }

    MainFrameState saved;
    PlayLogic* logic = nullptr;
    PlayWnd* wnd = nullptr;
    static HWND owner;
};

HWND PlayWndWindow::owner = nullptr;

TEST_F(PlayWndWindow, IdleLogoIsCentred) {
    ASSERT_NE(wnd->logo, nullptr);
    EXPECT_EQ(imageWidth(wnd->logo), 316u);
    EXPECT_EQ(imageHeight(wnd->logo), 155u);
    const RECT own = logoOwnBox();
    ASSERT_LT(own.left, own.right) << "the logo has no visible pixels";
    for (SIZE size : {SIZE{500, 300}, SIZE{641, 417}}) {
        MoveWindow(wnd->window, 0, 0, size.cx, size.cy, TRUE);
        const int x = (size.cx - 316) / 2;
        const int y = (size.cy - 155) / 2;
        RECT box = paintedLogoBox();
        EXPECT_EQ(box.left, x + own.left) << size.cx;
        EXPECT_EQ(box.top, y + own.top) << size.cx;
        EXPECT_EQ(box.right, x + own.right) << size.cx;
        EXPECT_EQ(box.bottom, y + own.bottom) << size.cx;
    }

    // On the screen too: the window's own painting puts the logo there.
    MoveWindow(wnd->window, 0, 0, 500, 300, TRUE);
    RedrawWindow(wnd->window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HDC screen = GetDC(wnd->window);
    const int cx = (500 - 316) / 2 + (own.left + own.right) / 2;
    const int cy = (300 - 155) / 2 + (own.top + own.bottom) / 2;
    bool found = false;
    for (int dx = -20; dx <= 20 && !found; ++dx)
        found = (GetPixel(screen, cx + dx, cy) & 0xFFFFFF) != 0;
    EXPECT_TRUE(found);
    EXPECT_EQ(GetPixel(screen, 2, 298) & 0xFFFFFF, 0u);
    ReleaseDC(wnd->window, screen);
}

TEST_F(PlayWndWindow, LogoOnlyWhileNoVideoIsShown) {
    ASSERT_TRUE(wnd->open(EngineKind::Vlc, gMainFrame.instance));
    ASSERT_NE(wnd->videoSurface, nullptr);
    logic->setEngine(nullptr, EngineKind::Vlc); // what the controller opened plays in libVLC
    // Playing audio only: the surface stays hidden and the logo shows.
    engine(PlayerState::Playing);
    EXPECT_LT(paintedLogoBox().left, paintedLogoBox().right);
    // Playing or paused with the surface shown: plain black.
    wnd->showVideo(true);
    EXPECT_GE(paintedLogoBox().left, paintedLogoBox().right);
    engine(PlayerState::Paused);
    EXPECT_GE(paintedLogoBox().left, paintedLogoBox().right);
    // The surface itself never draws the logo.
    wnd->showVideo(false);
    EXPECT_GE(paintedLogoBox(true).left, paintedLogoBox(true).right);
    // The same kind again keeps the surface; it is hidden after every open.
    HWND surface = wnd->videoSurface;
    wnd->showVideo(true);
    ASSERT_TRUE(wnd->open(EngineKind::Vlc, gMainFrame.instance));
    EXPECT_EQ(wnd->videoSurface, surface);
    EXPECT_FALSE(GetWindowLongW(surface, GWL_STYLE) & WS_VISIBLE);
    // Another kind leaves no surface.
    ASSERT_TRUE(wnd->open(EngineKind::NoEngine, gMainFrame.instance));
    EXPECT_EQ(wnd->videoSurface, nullptr);
    EXPECT_FALSE(IsWindow(surface));
}

TEST_F(PlayWndWindow, SurfaceAndLinkLayout) {
    ASSERT_TRUE(wnd->open(EngineKind::Vlc, gMainFrame.instance));
    MoveWindow(wnd->window, 0, 0, 520, 310, TRUE);
    RECT link{};
    ASSERT_TRUE(IsWindow(wnd->poweredByLink));
    GetWindowRect(wnd->poweredByLink, &link);
    MapWindowPoints(nullptr, wnd->window, reinterpret_cast<POINT*>(&link), 2);
    const int h = link.bottom - link.top;
    EXPECT_EQ(link.right, 520 - 5);
    EXPECT_EQ(link.top, 5);
    RECT surface{};
    GetWindowRect(wnd->videoSurface, &surface);
    MapWindowPoints(nullptr, wnd->window, reinterpret_cast<POINT*>(&surface), 2);
    EXPECT_EQ(surface.left, 0);
    EXPECT_EQ(surface.top, h + 10);
    EXPECT_EQ(surface.right, 520);
    EXPECT_EQ(surface.bottom - surface.top, 310 - h - 5);
}

TEST_F(PlayWndWindow, ContextMenuBorrowsTheMainMenusAndGivesThemBack) {
    HMENU controls = GetSubMenu(gMainFrame.mainMenu, 1);
    HMENU video = GetSubMenu(gMainFrame.mainMenu, 2);
    HMENU audio = GetSubMenu(gMainFrame.mainMenu, 3);
    const int controlsCount = GetMenuItemCount(controls);
    showContextMenu();

    ASSERT_GE(gShownMenu.size(), 12u);
    EXPECT_EQ(gShownMenu[8].id, static_cast<UINT>(IDM_NEXT));
    EXPECT_EQ(gShownMenu[9].text, WString(L"Controls"));
    EXPECT_EQ(gShownMenu[9].sub, controls);
    EXPECT_EQ(gShownMenu[10].text, WString(L"Video"));
    EXPECT_EQ(gShownMenu[10].sub, video);
    EXPECT_EQ(gShownMenu[11].text, WString(L"Audio"));
    EXPECT_EQ(gShownMenu[11].sub, audio);
    // In a window: Full Screen, not Leave Full Screen.
    EXPECT_NE(shownItem(IDM_FULLSCREEN), nullptr);
    EXPECT_EQ(shownItem(IDM_LEAVE_FULLSCREEN), nullptr);

    // The main menu bar still has its popups, whole.
    EXPECT_TRUE(IsMenu(controls));
    EXPECT_TRUE(IsMenu(video));
    EXPECT_TRUE(IsMenu(audio));
    EXPECT_EQ(GetSubMenu(gMainFrame.mainMenu, 1), controls);
    EXPECT_EQ(GetMenuItemCount(controls), controlsCount);
    EXPECT_TRUE(gCommands.empty()); // closed without a choice

    // In full screen: Leave Full Screen, not Full Screen.
    wnd->fullScreen = true;
    gMenuSeen = false;
    showContextMenu();
    EXPECT_EQ(shownItem(IDM_FULLSCREEN), nullptr);
    EXPECT_NE(shownItem(IDM_LEAVE_FULLSCREEN), nullptr);
    EXPECT_TRUE(IsMenu(controls));
}

TEST_F(PlayWndWindow, ContextMenuGreysWhatCannotBeDone) {
    // No engine, empty play list: Play, Pause and Stop greyed; nothing to step to.
    showContextMenu();
    EXPECT_TRUE(greyed(IDM_PLAY));
    EXPECT_TRUE(greyed(IDM_PAUSE));
    EXPECT_TRUE(greyed(IDM_STOP));
    EXPECT_TRUE(greyed(IDM_PREVIOUS));
    EXPECT_TRUE(greyed(IDM_NEXT));

    PlayListData list;
    list.entries.push_back({1, L"C:\\m\\a.mkv"});
    list.entries.push_back({0, L"C:\\m\\b.mkv"});
    logic->setPlayList(std::move(list));
    engine(PlayerState::Paused);
    gMenuSeen = false;
    showContextMenu();
    EXPECT_FALSE(greyed(IDM_PLAY));
    EXPECT_TRUE(greyed(IDM_PAUSE));
    EXPECT_FALSE(greyed(IDM_STOP));
    EXPECT_FALSE(greyed(IDM_NEXT));

    engine(PlayerState::Playing);
    gMenuSeen = false;
    showContextMenu();
    EXPECT_TRUE(greyed(IDM_PLAY));
    EXPECT_FALSE(greyed(IDM_PAUSE));
    EXPECT_FALSE(greyed(IDM_STOP));
}

TEST_F(PlayWndWindow, DoubleClickAsksForFullScreenOnce) {
    SendMessageW(wnd->window, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(40, 40));
    pumpMessages();
    ASSERT_EQ(gCommands.size(), 1u);
    EXPECT_EQ(gCommands[0], static_cast<UINT>(IDM_FULLSCREEN));

    // The same double click seen by the mouse hook as well acts once.
    gCommands.clear();
    Sleep(GetDoubleClickTime() + 50);
    wnd->fullScreen = true;
    SendMessageW(wnd->window, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN, 0);
    SendMessageW(wnd->window, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(40, 40));
    pumpMessages();
    ASSERT_EQ(gCommands.size(), 1u);
    EXPECT_EQ(gCommands[0], static_cast<UINT>(IDM_LEAVE_FULLSCREEN));

    // On the surface as well.
    ASSERT_TRUE(wnd->open(EngineKind::Vlc, gMainFrame.instance));
    gCommands.clear();
    Sleep(GetDoubleClickTime() + 50);
    wnd->fullScreen = false;
    SendMessageW(wnd->videoSurface, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
    pumpMessages();
    ASSERT_EQ(gCommands.size(), 1u);
    EXPECT_EQ(gCommands[0], static_cast<UINT>(IDM_FULLSCREEN));
}

TEST_F(PlayWndWindow, CursorHidesAfterFiveStillSecondsWhilePlaying) {
    RECT r{};
    GetWindowRect(wnd->window, &r);
    const POINT inside{r.left + 100, r.top + 100};
    ASSERT_TRUE(SetCursorPos(inside.x, inside.y));
    POINT p{};
    GetCursorPos(&p);
    if (p.x != inside.x || p.y != inside.y) GTEST_SKIP() << "the cursor cannot be placed here";
    wnd->lastCursorPos = p;

    // Paused: nothing hides.
    engine(PlayerState::Paused);
    wnd->lastMoveTick = GetTickCount() - 6000;
    wnd->cursorTick();
    EXPECT_FALSE(wnd->cursorHidden);

    // Playing, still inside for more than 5 s: hidden (once).
    engine(PlayerState::Playing);
    wnd->cursorTick();
    EXPECT_TRUE(wnd->cursorHidden);
    wnd->cursorTick();
    EXPECT_TRUE(wnd->cursorHidden);

    // A movement of more than 5 pixels shows it again and restarts the clock.
    SetCursorPos(inside.x + 6, inside.y);
    wnd->cursorTick();
    EXPECT_FALSE(wnd->cursorHidden);
    EXPECT_EQ(wnd->lastCursorPos.x, inside.x + 6);
    wnd->cursorTick();
    EXPECT_FALSE(wnd->cursorHidden);

    // Resting outside the video window (over the control bar) keeps it shown.
    SetCursorPos(r.left + 100, r.bottom + 10);
    wnd->cursorTick();
    wnd->lastMoveTick = GetTickCount() - 6000;
    wnd->cursorTick();
    EXPECT_FALSE(wnd->cursorHidden);
}

TEST_F(PlayWndWindow, PoweredByLabelIsAHyperlink) {
    HWND label = wnd->poweredByLink;
    ASSERT_TRUE(IsWindow(label));
    wchar_t name[32] = {};
    GetClassNameW(label, name, 32);
    EXPECT_EQ(WString(name), WString(L"HYPERLINK"));
    wchar_t text[64] = {};
    GetWindowTextW(label, text, 64);
    EXPECT_EQ(WString(text), WString(L"Powered by Quondel"));
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(label, GWL_STYLE)) & 0xFFFF0FFF, 0x50000100u);
    EXPECT_EQ(GetParent(label), wnd->window);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)), wnd->linkFont);
    LOGFONTW font{};
    GetObjectW(wnd->linkFont, sizeof(font), &font);
    EXPECT_TRUE(font.lfUnderline);

    // Exactly as large as its text.
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, wnd->linkFont);
    SIZE extent{};
    GetTextExtentPoint32W(dc, text, lstrlenW(text), &extent);
    SelectObject(dc, old);
    RECT r{};
    GetWindowRect(label, &r);
    EXPECT_EQ(r.right - r.left, extent.cx);
    EXPECT_EQ(r.bottom - r.top, extent.cy);

    // Light grey on the parent's background, with no box behind it.
    SetTextColor(dc, RGB(1, 2, 3));
    HBRUSH brush = reinterpret_cast<HBRUSH>(SendMessageW(wnd->window, WM_CTLCOLORSTATIC,
                                                         reinterpret_cast<WPARAM>(dc),
                                                         reinterpret_cast<LPARAM>(label)));
    EXPECT_EQ(brush, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)));
    EXPECT_EQ(GetTextColor(dc), RGB(192, 192, 192));
    EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
    // Another static gets the default handling.
    HWND other = CreateWindowExW(0, L"STATIC", L"x", WS_CHILD, 0, 0, 10, 10, wnd->window, nullptr,
                                 nullptr, nullptr);
    EXPECT_EQ(hyperlinkCtlColor(other, dc), nullptr);
    DestroyWindow(other);
    DeleteDC(dc);

    // The hand cursor belongs to the class.
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), L"HYPERLINK", &wc));
    EXPECT_EQ(wc.hCursor, LoadCursorW(nullptr, IDC_HAND));
}

std::vector<WString> gOpened;
void recordOpen(const wchar_t* url) {
    gOpened.push_back(WString(url));
}

TEST_F(PlayWndWindow, ClickOnTheLabelOpensTheMakersPageOnce) {
    gOpened.clear();
    shellOpenHook = recordOpen;
    HWND label = wnd->poweredByLink;
    SendMessageW(wnd->window, WM_COMMAND, MAKEWPARAM(0, STN_CLICKED),
                 reinterpret_cast<LPARAM>(label));
    ASSERT_EQ(gOpened.size(), 1u);
    EXPECT_EQ(gOpened[0], WString(kPoweredByUrl));
    EXPECT_EQ(lstrlenW(kPoweredByUrl), 28);
    // Other notifications, and controls that are not labels, open nothing.
    SendMessageW(wnd->window, WM_COMMAND, MAKEWPARAM(0, STN_DBLCLK),
                 reinterpret_cast<LPARAM>(label));
    EXPECT_FALSE(openHyperlink(wnd->window));
    EXPECT_EQ(gOpened.size(), 1u);
}

TEST(WindowUtilities, SetClientSizeGivesExactlyThatClientArea) {
    registerOwnerClass();
    // A menu bar and a thick frame around the client area.
    HWND window = CreateWindowExW(
        0, L"VelloranWndTestOwner", L"sized", WS_OVERLAPPEDWINDOW, 30, 40, 300, 200, nullptr,
        LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINMENU)),
        GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window, nullptr);
    RECT before{};
    GetWindowRect(window, &before);
    setClientSize(window, SIZE{640, 360});
    RECT client{}, after{};
    GetClientRect(window, &client);
    GetWindowRect(window, &after);
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 360);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.top, before.top);
    HMENU menu = GetMenu(window);
    DestroyWindow(window);
    DestroyMenu(menu);
}

TEST(WindowUtilities, CenterWindowUsesTheParentOrTheWorkArea) {
    HINSTANCE module = GetModuleHandleW(nullptr);
    HWND top = CreateWindowExW(0, L"STATIC", L"c", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr,
                               module, nullptr);
    ASSERT_NE(top, nullptr);
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    centerWindow(top);
    RECT r{};
    GetWindowRect(top, &r);
    EXPECT_EQ(r.left, (area.left + area.right - 200) / 2);
    EXPECT_EQ(r.top, (area.top + area.bottom - 100) / 2);
    EXPECT_EQ(r.right - r.left, 200);

    // Larger than the work area: placed at 0 on that axis.
    MoveWindow(top, 5, 5, (area.right - area.left) + 300, 100, FALSE);
    centerWindow(top);
    GetWindowRect(top, &r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right - r.left, (area.right - area.left) + 300);
    DestroyWindow(top);

    // Not a window: nothing happens (and nothing breaks).
    centerWindow(nullptr);

    // getControlRect for a missing control leaves the output alone.
    RECT untouched{1, 2, 3, 4};
    HWND dialogLike = CreateWindowExW(0, L"STATIC", L"d", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                      module, nullptr);
    EXPECT_FALSE(getControlRect(dialogLike, 4711, &untouched));
    EXPECT_EQ(untouched.left, 1);
    EXPECT_EQ(untouched.bottom, 4);
    HWND child = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 7, 9, 20, 10, dialogLike,
                                 reinterpret_cast<HMENU>(4711), module, nullptr);
    ASSERT_TRUE(getControlRect(dialogLike, 4711, &untouched));
    EXPECT_EQ(untouched.left, 7);
    EXPECT_EQ(untouched.top, 9);
    EXPECT_EQ(untouched.right, 27);
    EXPECT_EQ(untouched.bottom, 19);
    DestroyWindow(child);
    DestroyWindow(dialogLike);

    // enableMenuItem greys by command and enables again.
    HMENU menu = LoadMenuW(module, MAKEINTRESOURCEW(IDR_CONTEXTMENU));
    HMENU popup = GetSubMenu(menu, 0);
    enableMenuItem(popup, IDM_PLAY, false);
    EXPECT_TRUE(GetMenuState(popup, IDM_PLAY, MF_BYCOMMAND) & MF_GRAYED);
    enableMenuItem(popup, IDM_PLAY, true);
    EXPECT_FALSE(GetMenuState(popup, IDM_PLAY, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
    DestroyMenu(menu);
}

} // namespace
