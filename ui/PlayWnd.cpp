// The video window: the idle logo, the "Powered by" link, the video surface the engine renders
// into, the context menu, double clicks and the cursor hiding during playback.
#include "ui/PlayWnd.h"

#include <windowsx.h>

#include <new>

#include "playback/PlayLogic.h"
#include "resources/resource.h"
#include "ui/Hyperlink.h"
#include "ui/WinUtil.h"

namespace {

PlayWnd* gPlayWnd = nullptr;
HINSTANCE gInstance = nullptr;

// Context-menu popup of resource 131 and where the main menu's popups are shown inside it.
constexpr int kInsertPosition = 9;
constexpr DWORD kCursorHideDelay = 5000;
constexpr LONG kCursorStillDistance = 5;

// Over the video the main window's mouse hook reports double clicks and right clicks that the
// dialogs may also receive themselves; the hook marks its messages by putting the mouse message
// it saw into wParam (real ones carry MK_* flags there). One gesture reported by both ways
// must act once: a request from the other way within the double-click time is its duplicate.
struct GestureRecord {
    bool valid = false;
    bool fromHook = false;
    DWORD tick = 0;
};
GestureRecord gLastDoubleClick;
GestureRecord gLastContextMenu;

bool fromMouseHook(UINT message, WPARAM wParam, LPARAM lParam) {
    if (lParam != 0) return false;
    if (message == WM_LBUTTONDBLCLK) return wParam == WM_LBUTTONDBLCLK || wParam == WM_LBUTTONDOWN;
    return wParam == WM_RBUTTONUP;
}

bool isDuplicate(GestureRecord& last, bool fromHook) {
    const DWORD now = GetTickCount();
    if (last.valid && last.fromHook != fromHook && now - last.tick < GetDoubleClickTime())
        return true;
    last = GestureRecord{true, fromHook, now};
    return false;
}

HWND mainWindowOf(HWND window) {
    PlayWnd* wnd = PlayWnd::instance();
    if (wnd && wnd->mainWindow) return wnd->mainWindow;
    return window ? GetParent(window) : nullptr;
}

bool inFullScreen() {
    PlayWnd* wnd = PlayWnd::instance();
    return wnd && wnd->fullScreen;
}

PlayerState engineState() {
    PlayLogic* logic = playLogic();
    return logic ? logic->state() : PlayerState::Nothing;
}

void requestFullScreenToggle(HWND window, WPARAM wParam, LPARAM lParam) {
    if (isDuplicate(gLastDoubleClick, fromMouseHook(WM_LBUTTONDBLCLK, wParam, lParam))) return;
    const WPARAM command = inFullScreen() ? IDM_LEAVE_FULLSCREEN : IDM_FULLSCREEN;
    PostMessageW(mainWindowOf(window), WM_COMMAND, command, 0);
}

void onContextMenu(WPARAM wParam, LPARAM lParam) {
    const bool hook = fromMouseHook(WM_CONTEXTMENU, wParam, lParam);
    if (isDuplicate(gLastContextMenu, hook)) return;
    HMENU menu = LoadMenuW(gInstance, MAKEINTRESOURCEW(IDR_CONTEXTMENU));
    if (!menu) return;
    PlayWnd::instance()->showContextMenu(menu);
    // The menu is modal: the duplicate may only arrive after it closed.
    gLastContextMenu = GestureRecord{true, hook, GetTickCount()};
}

// The surface shows the current engine's newest picture where the program draws the frames
// itself; otherwise, and over the rest of the window, what paint draws.
void paintMessage(HWND dialog, bool fromSurface) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(dialog, &ps);
    PlayLogic* logic = fromSurface ? playLogic() : nullptr;
    if (!logic || !logic->paintVideo(dialog, dc)) PlayWnd::instance()->paint(dc, fromSurface);
    EndPaint(dialog, &ps);
}

INT_PTR CALLBACK windowProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        PlayWnd* wnd = PlayWnd::instance();
        wnd->window = dialog;
        LOGFONTW font = messageFont();
        font.lfUnderline = 1;
        wnd->linkFont = CreateFontIndirectW(&font);
        wnd->poweredByLink = createPoweredByLink(wnd->linkFont, dialog);
        return TRUE;
    }
    case WM_SIZE:
        PlayWnd::instance()->layout();
        return TRUE;
    case WM_ERASEBKGND:
        return TRUE; // WM_PAINT covers the whole client area; erasing first would flicker
    case WM_PAINT:
        paintMessage(dialog, false);
        return TRUE;
    case WM_CONTEXTMENU:
        onContextMenu(wParam, lParam);
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) == STN_CLICKED && lParam) openHyperlink(reinterpret_cast<HWND>(lParam));
        return TRUE;
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<INT_PTR>(hyperlinkCtlColor(reinterpret_cast<HWND>(lParam), dc));
    }
    case WM_LBUTTONDBLCLK:
        requestFullScreenToggle(dialog, wParam, lParam);
        return TRUE;
    default:
        return FALSE;
    }
}

INT_PTR CALLBACK surfaceProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_ERASEBKGND:
        return TRUE;
    case WM_PAINT:
        paintMessage(dialog, true);
        return TRUE;
    case WM_CONTEXTMENU:
        onContextMenu(wParam, lParam);
        return TRUE;
    case WM_LBUTTONDBLCLK:
        requestFullScreenToggle(dialog, wParam, lParam);
        return TRUE;
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
        // On a disc menu the pointer selects the button under it and a click activates it.
        if (PlayLogic* logic = playLogic())
            logic->menuPointer(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), message == WM_LBUTTONUP);
        return TRUE;
    default:
        return FALSE;
    }
}

bool isWindowField(HWND window) {
    return window && IsWindow(window);
}

} // namespace

PlayWnd* PlayWnd::instance() {
    return gPlayWnd;
}

PlayWnd::PlayWnd() {
    gPlayWnd = this;
}

PlayWnd::~PlayWnd() {
    if (gPlayWnd == this) gPlayWnd = nullptr;
    deleteImage(logo);
    logo = nullptr;
    destroyWindows();
}

bool PlayWnd::createWindow(HINSTANCE instance, HWND mainWindow) {
    gInstance = instance;
    this->mainWindow = mainWindow;
    if (!window)
        window =
            CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_PLAYWND), mainWindow, windowProc, 0);
    return window != nullptr;
}

bool PlayWnd::loadLogo() {
    HMODULE module = gInstance ? gInstance : GetModuleHandleW(nullptr);
    deleteImage(logo);
    logo = nullptr;
    if (HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(IDB_LOGO), L"PNG"))
        logo = loadPngResource(module, resource);
    cursorHidden = false;
    lastMoveTick = GetTickCount();
    GetCursorPos(&lastCursorPos);
    return true;
}

bool PlayWnd::open(EngineKind engineKind, HINSTANCE instance) {
    PlayLogic* logic = playLogic();
    const bool sameKind = logic && logic->engineKind() == engineKind;
    if (!(sameKind && videoSurface)) {
        destroyWindowField(videoSurface);
        if (engineKind == EngineKind::Vlc) {
            videoSurface =
                CreateDialogParamW(instance ? instance : gInstance,
                                   MAKEINTRESOURCEW(IDD_VIDEOSURFACE), window, surfaceProc, 0);
            if (!videoSurface) return false;
        }
    }
    layout();
    if (isWindowField(videoSurface)) ShowWindow(videoSurface, SW_HIDE);
    return true;
}

void PlayWnd::showVideo(bool show) {
    if (isWindowField(videoSurface)) ShowWindow(videoSurface, show ? SW_SHOW : SW_HIDE);
}

void PlayWnd::layout() {
    if (!isWindowField(window)) return;
    RECT client{};
    GetClientRect(window, &client);
    int h = 0;
    if (isWindowField(poweredByLink)) {
        RECT r{};
        GetWindowRect(poweredByLink, &r);
        const int w = r.right - r.left;
        h = r.bottom - r.top;
        MoveWindow(poweredByLink, client.right - w - 5, 5, w, h, TRUE);
    }
    // The surface reaches 5 pixels past the bottom edge, where the window clips it.
    if (isWindowField(videoSurface))
        MoveWindow(videoSurface, 0, h + 10, client.right, client.bottom - h - 5, TRUE);
}

void PlayWnd::paint(HDC dc, bool fromSurface) {
    RECT client{};
    GetClientRect(window, &client);
    HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
    FillRect(dc, &client, black);
    DeleteObject(black);

    const PlayerState state = engineState();
    const bool surfaceShown =
        isWindowField(videoSurface) && (GetWindowLongW(videoSurface, GWL_STYLE) & WS_VISIBLE) != 0;
    if (isActive(state) && surfaceShown) return;
    if (fromSurface || !logo) return;
    const int x = (client.right - static_cast<int>(imageWidth(logo))) / 2;
    const int y = (client.bottom - static_cast<int>(imageHeight(logo))) / 2;
    drawImage(dc, logo, x, y);
}

void PlayWnd::showContextMenu(HMENU menu) {
    HMENU popup = GetSubMenu(menu, 0);
    if (!popup) {
        DestroyMenu(menu);
        return;
    }
    RemoveMenu(popup, fullScreen ? IDM_FULLSCREEN : IDM_LEAVE_FULLSCREEN, MF_BYCOMMAND);

    PlayLogic* logic = playLogic();
    const PlayerState state = engineState();
    const UINT grey = MF_BYCOMMAND | MF_DISABLED | MF_GRAYED;
    if (logic && logic->isPlaying()) {
        EnableMenuItem(popup, IDM_PLAY, grey);
    } else {
        EnableMenuItem(popup, IDM_PAUSE, grey);
        if (state != PlayerState::Paused) EnableMenuItem(popup, IDM_STOP, grey);
        if (!logic || logic->playList().count() == 0) EnableMenuItem(popup, IDM_PLAY, grey);
    }
    if (!logic || !logic->canSkip()) {
        EnableMenuItem(popup, IDM_PREVIOUS, grey);
        EnableMenuItem(popup, IDM_NEXT, grey);
    }

    // The main menu's popups are shown here too (also in full screen, where the menu bar is
    // hidden) and detached again afterwards, so that the menu bar keeps them.
    struct Borrowed {
        int position;
        const wchar_t* text;
    };
    const Borrowed borrowed[] = {{3, L"Audio"}, {2, L"Video"}, {1, L"Controls"}};
    int inserted = 0;
    for (const Borrowed& b : borrowed) {
        HMENU sub = mainMenu ? GetSubMenu(mainMenu, b.position) : nullptr;
        if (sub && InsertMenuW(popup, kInsertPosition, MF_BYPOSITION | MF_POPUP,
                               reinterpret_cast<UINT_PTR>(sub), b.text))
            ++inserted;
    }

    HWND owner = mainWindowOf(window);
    POINT p{};
    GetCursorPos(&p);
    const int command =
        static_cast<int>(TrackPopupMenu(popup, TPM_RETURNCMD, p.x, p.y, 0, owner, nullptr));
    if (command > 0) PostMessageA(owner, WM_COMMAND, static_cast<WPARAM>(command), 0);

    for (int i = 0; i < inserted; ++i)
        RemoveMenu(popup, kInsertPosition, MF_BYPOSITION);
    DestroyMenu(menu);
}

void PlayWnd::cursorTick() {
    POINT p{};
    GetCursorPos(&p);
    const LONG dx = lastCursorPos.x - p.x;
    const LONG dy = lastCursorPos.y - p.y;
    if (dx > kCursorStillDistance || -dx > kCursorStillDistance || dy > kCursorStillDistance ||
        -dy > kCursorStillDistance) {
        lastCursorPos = p;
        lastMoveTick = GetTickCount();
        if (cursorHidden) ShowCursor(TRUE);
        cursorHidden = false;
        return;
    }
    if (engineState() != PlayerState::Playing || !isWindowField(window)) return;
    RECT r{};
    GetWindowRect(window, &r);
    if (!PtInRect(&r, p)) return;
    // Unsigned difference: correct across the wrap of the tick counter.
    if (GetTickCount() - lastMoveTick >= kCursorHideDelay) {
        if (!cursorHidden) ShowCursor(FALSE);
        cursorHidden = true;
    }
}

void PlayWnd::destroyWindows() {
    // A hidden cursor must not outlive the window that hid it.
    if (cursorHidden) {
        ShowCursor(TRUE);
        cursorHidden = false;
    }
    if (linkFont) {
        DeleteObject(linkFont);
        linkFont = nullptr;
    }
    destroyWindowField(poweredByLink);
    destroyWindowField(videoSurface);
    destroyWindowField(window);
}
