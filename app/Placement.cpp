// Where the main window's children sit and how large the window is: the layout with its
// minimum size, the placement kept in the registry across runs, full screen, and the video
// size commands.
#include "app/MainFrame.h"

#include "platform/Scoped.h"
#include "resources/resource.h"
#include "ui/WinUtil.h"

namespace {

constexpr int kDefaultClientWidth = 672;
constexpr int kDefaultVideoHeight = 420;
constexpr int kMinimumClientWidth = 480;
constexpr int kMinimumVideoHeight = 300;
constexpr DWORD kPlacementSize = 44;
const wchar_t kPlacementValue[] = L"MAIN_WP";

static_assert(sizeof(WINDOWPLACEMENT) == kPlacementSize, "the stored placement is 44 bytes");

bool firstLayout = true;

ScopedKey openSettingsKey() {
    WString path = formatWide(L"Software\\%s\\%s", kMakerName, kProductName);
    ScopedKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE,
                        nullptr, key.out(), nullptr) != ERROR_SUCCESS)
        return ScopedKey();
    return key;
}

// The windows that show full screen differently learn it with the shell state.
void setFullScreenFlag(bool full) {
    gMainFrame.fullScreen = full;
    if (gMainFrame.playWnd) gMainFrame.playWnd->fullScreen = full;
    if (gMainFrame.playBar) gMainFrame.playBar->fullScreen = full;
}

int barHeight() {
    return gMainFrame.playBar ? gMainFrame.playBar->barHeight() : 0;
}

HWND barWindow() {
    return gMainFrame.playBar ? gMainFrame.playBar->window : nullptr;
}

SIZE clientSize(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

// Sizes the window so that its client area is w x h. A second or third pass is needed when the
// new width makes the menu bar wrap onto another number of lines.
void fitClient(HWND window, int w, int h) {
    for (int pass = 0; pass < 3; ++pass) {
        SIZE client = clientSize(window);
        if (client.cx == w && client.cy == h) return;
        setClientSize(window, SIZE{w, h});
    }
}

} // namespace

void resetFirstLayout() {
    firstLayout = true;
}

bool loadWindowPlacement() {
    ScopedKey key = openSettingsKey();
    if (!key) return false;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), kPlacementValue, nullptr, &type, nullptr, &size) ==
            ERROR_SUCCESS &&
        type == REG_BINARY && size <= kPlacementSize) {
        BYTE data[kPlacementSize] = {};
        size = kPlacementSize;
        if (RegQueryValueExW(key.get(), kPlacementValue, nullptr, &type, data, &size) ==
                ERROR_SUCCESS &&
            size == kPlacementSize) {
            CopyMemory(&gMainFrame.placement, data, kPlacementSize);
            gMainFrame.placementValid = true;
        }
    }
    return true;
}

bool saveWindowPlacement() {
    ScopedKey key = openSettingsKey();
    if (!key) return false;
    if (gMainFrame.placementValid)
        RegSetValueExW(key.get(), kPlacementValue, 0, REG_BINARY,
                       reinterpret_cast<const BYTE*>(&gMainFrame.placement), kPlacementSize);
    return true;
}

void capturePlacement() {
    if (gMainFrame.fullScreen || !gMainFrame.layoutEnabled || !gMainFrame.mainWindow) return;
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    gMainFrame.placementValid = GetWindowPlacement(gMainFrame.mainWindow, &placement) != 0;
    if (gMainFrame.placementValid) gMainFrame.placement = placement;
}

void layoutChildren() {
    if (!gMainFrame.layoutEnabled) return;
    HWND main = gMainFrame.mainWindow;
    HWND bar = barWindow();
    bool barVisible = bar && (GetWindowLongW(bar, GWL_STYLE) & WS_VISIBLE);
    if (bar) ShowWindow(bar, SW_HIDE);
    int h = (!barVisible && gMainFrame.fullScreen) ? 0 : barHeight();

    if (firstLayout && !gMainFrame.placementValid && main) {
        fitClient(main, kDefaultClientWidth, kDefaultVideoHeight + h);
        centerWindow(main);
    }
    firstLayout = false;

    SIZE client = main ? clientSize(main) : SIZE{0, 0};
    int w2 = client.cx < kMinimumClientWidth ? kMinimumClientWidth : client.cx;
    int h2 = client.cy - h < kMinimumVideoHeight ? h + kMinimumVideoHeight : client.cy;
    if (main && (w2 != client.cx || h2 != client.cy)) {
        fitClient(main, w2, h2);
        client = clientSize(main);
    }

    HWND video = gMainFrame.playWnd ? gMainFrame.playWnd->window : nullptr;
    if (video) MoveWindow(video, 0, 0, client.cx, client.cy - h, TRUE);
    int b = barHeight();
    if (bar) MoveWindow(bar, 0, client.cy - b, client.cx, b, TRUE);
    if (video) ShowWindow(video, SW_SHOW);
    if (bar && (barVisible || !gMainFrame.fullScreen)) ShowWindow(bar, SW_SHOW);
    if (!gMainFrame.playBar) return;
    if (!gMainFrame.fullScreen) {
        gMainFrame.playBar->lastActivityTick = 0;
        return;
    }
    gMainFrame.playBar->lastActivityTick = GetTickCount();
    GetCursorPos(&gMainFrame.playBar->lastCursorPos);
}

void enterFullScreen() {
    if (gMainFrame.fullScreen) return;
    HWND main = gMainFrame.mainWindow;
    setFullScreenFlag(true);
    gMainFrame.layoutEnabled = false;
    SetMenu(main, nullptr);
    ShowWindow(main, SW_SHOWNORMAL);
    // The whole monitor the window is on, which need not be the primary one.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (GetMonitorInfoW(MonitorFromWindow(main, MONITOR_DEFAULTTONEAREST), &monitor))
        area = monitor.rcMonitor;
    SetWindowLongW(main, GWL_STYLE, GetWindowLongW(main, GWL_STYLE) & 0xFF3BFFFF);
    SetWindowPos(main, nullptr, area.left, area.top, area.right - area.left,
                 area.bottom - area.top, SWP_NOZORDER | SWP_FRAMECHANGED);
    gMainFrame.layoutEnabled = true;
    layoutChildren();
    refreshMenu(nullptr);
}

void leaveFullScreen() {
    if (!gMainFrame.fullScreen) return;
    HWND main = gMainFrame.mainWindow;
    setFullScreenFlag(false);
    gMainFrame.layoutEnabled = false;
    SetWindowLongW(main, GWL_STYLE, GetWindowLongW(main, GWL_STYLE) | 0x00C40000);
    if (gMainFrame.mainMenu) SetMenu(main, gMainFrame.mainMenu);
    if (gMainFrame.placementValid) SetWindowPlacement(main, &gMainFrame.placement);
    SetWindowPos(main, nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    gMainFrame.layoutEnabled = true;
    layoutChildren();
    refreshMenu(nullptr);
}

void setVideoSize(UINT id) {
    if (gMainFrame.fullScreen) leaveFullScreen();
    HWND main = gMainFrame.mainWindow;
    PlayLogic* logic = gMainFrame.playLogic.get();
    VideoSize size = logic ? logic->videoSize() : VideoSize{};
    int w = size.width;
    int h = size.height;
    switch (id) {
    case IDM_HALF_SIZE:
        w /= 2;
        h /= 2;
        break;
    case IDM_DOUBLE_SIZE:
        w *= 2;
        h *= 2;
        break;
    case IDM_FIT_TO_SCREEN:
        PostMessageW(main, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
        return;
    default:
        break;
    }
    HWND surface = gMainFrame.playWnd ? gMainFrame.playWnd->videoSurface : nullptr;
    if (!surface || !IsWindow(surface) || w <= 0 || h <= 0) return;
    if (GetWindowLongW(main, GWL_STYLE) & WS_MAXIMIZE)
        SendMessageW(main, WM_SYSCOMMAND, SC_RESTORE, 0);
    SIZE current = clientSize(surface);
    int dw = w - current.cx;
    int dh = h - current.cy;
    if (dw == 0 && dh == 0) return;
    RECT outer{};
    GetWindowRect(main, &outer);
    SetWindowPos(main, nullptr, 0, 0, outer.right - outer.left + dw, outer.bottom - outer.top + dh,
                 SWP_NOMOVE | SWP_NOZORDER);
}
