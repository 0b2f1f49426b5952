// The main window: creation with its children, the window procedure, closing and teardown,
// and the About box.
#include "app/MainFrame.h"

#include <commctrl.h>
#include <dbt.h>

#include "app/TrackMenus.h"
#include "mount/IsoMount.h"
#include "playback/DiscDetect.h"
#include "platform/Scoped.h"
#include "resources/resource.h"
#include "ui/Hyperlink.h"
#include "ui/WinUtil.h"

const wchar_t kAdvertisementUrl[] = L"http://ads.quondel.example/ads/velloran/ads.php";

namespace {

void copyPreferences() {
    if (GetPreferenceDataFn get = components::getPreferenceData()) {
        if (const PreferenceData* data = get()) {
            gMainFrame.preferences = *data;
            return;
        }
    }
    components::defaultPreferenceData(gMainFrame.preferences);
}

void fillBlack(HDC dc) {
    RECT r{};
    GetClientRect(gMainFrame.mainWindow, &r);
    ScopedBrush black(CreateSolidBrush(RGB(0, 0, 0)));
    FillRect(dc, &r, black.get());
}

WString driveRoot(wchar_t letter) {
    return formatWide(L"%c:\\", letter);
}

void onDeviceArrival(LPARAM lParam) {
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    if (!header || header->dbch_devicetype != DBT_DEVTYP_VOLUME) return;
    const auto* volume = reinterpret_cast<const DEV_BROADCAST_VOLUME*>(lParam);
    DiscKind kind = DiscKind::None;
    wchar_t letter = findDiscDrive(volume->dbcv_unitmask, &kind);
    if (!letter || !gMainFrame.playLogic || gMainFrame.playLogic->isPlaying()) return;
    openMediaPath(driveRoot(letter), kind);
    SetForegroundWindow(gMainFrame.mainWindow);
}

INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        if (HWND text = GetDlgItem(dialog, IDC_ABOUT_TEXT)) {
            WString caption = WString(kProductName) + L", Version " + L"1.0";
            SetWindowTextW(text, caption.c_str());
        }
        if (HWND icon = GetDlgItem(dialog, IDC_ABOUT_ICON))
            SendMessageW(icon, STM_SETIMAGE, IMAGE_ICON,
                         reinterpret_cast<LPARAM>(gMainFrame.programIcon));
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

} // namespace

void showAboutBox() {
    DialogBoxParamW(gMainFrame.instance, MAKEINTRESOURCEW(IDD_ABOUTBOX), gMainFrame.mainWindow,
                    aboutProc, 0);
}

void reportMissingComponent(const wchar_t* library) {
    WString text = WString(L"The component ") + library +
                   L" is missing or damaged, so this command is not available.\n"
                   L"Reinstall Velloran to restore it.";
    MessageBoxW(gMainFrame.mainWindow, text.c_str(), kProductName, MB_OK | MB_ICONERROR);
}

bool createChildWindows() {
    if (!gMainFrame.playWnd) gMainFrame.playWnd = std::make_unique<PlayWnd>();
    PlayWnd& wnd = *gMainFrame.playWnd;
    if (!wnd.window && !wnd.createWindow(gMainFrame.instance, gMainFrame.mainWindow)) return false;
    wnd.mainMenu = gMainFrame.mainMenu;
    wnd.fullScreen = gMainFrame.fullScreen;
    wnd.loadLogo();
    if (!gMainFrame.playBar) gMainFrame.playBar = std::make_unique<PlayBar>();
    PlayBar& bar = *gMainFrame.playBar;
    bar.fullScreen = gMainFrame.fullScreen;
    if (!bar.create(gMainFrame.instance, gMainFrame.mainWindow)) return false;
    return bar.initControls();
}

bool createMainFrame(HINSTANCE instance, int showCommand) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), 0xFF};
    InitCommonControlsEx(&icc);
    gMainFrame.instance = instance;
    registerHyperlinkClass(instance);
    HWND window = CreateWindowExW(0, kMainWindowClass, L"Media Player", WS_OVERLAPPEDWINDOW, 0, 0,
                                  0, 0, nullptr, nullptr, instance, nullptr);
    if (!window) return false;
    gMainFrame.mainWindow = window;
    gMainFrame.mainMenu = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_MAINMENU));
    gMainFrame.playLogic = std::make_unique<PlayLogic>(
        &gMainFrame.listener, window, WM_MAINFRAME_PLAYER_EVENT, &gMainFrame.preferences);
    gMainFrame.resumeStore = std::make_unique<ResumeStore>(
        formatWide(L"Software\\%s\\%s\\Resume", kMakerName, kProductName));
    gMainFrame.playLogic->setResumeStore(gMainFrame.resumeStore.get());
    if (!createChildWindows()) return false;
    gMainFrame.playBar->updateVolume(gMainFrame.playLogic->volume(), gMainFrame.playLogic->muted());
    gMainFrame.uiTimer = SetTimer(window, ID_UI_TIMER, 260, nullptr);
    if (gMainFrame.placementValid) {
        SetWindowPlacement(window, &gMainFrame.placement);
        if (gMainFrame.placement.showCmd == SW_SHOWMAXIMIZED)
            PostMessageW(window, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    }
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    updateBarButtons();
    refreshMenu(nullptr);
    gMainFrame.layoutEnabled = true;
    layoutChildren();
    copyPreferences();
    DiscKind kind = DiscKind::None;
    if (wchar_t letter = findDiscDrive(GetLogicalDrives(), &kind))
        openMediaPath(driveRoot(letter), kind);
    return true;
}

LRESULT CALLBACK mainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        gMainFrame.programIcon =
            LoadIconW(reinterpret_cast<const CREATESTRUCTW*>(lParam)->hInstance,
                      MAKEINTRESOURCEW(IDI_PLAYER));
        SendMessageW(window, WM_SETICON, ICON_BIG,
                     reinterpret_cast<LPARAM>(gMainFrame.programIcon));
        SendMessageW(window, WM_SETICON, ICON_SMALL,
                     reinterpret_cast<LPARAM>(gMainFrame.programIcon));
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_MOVE:
        capturePlacement();
        return 0;
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) layoutChildren();
        capturePlacement();
        return 0;
    case WM_GETMINMAXINFO: {
        // Double Size may make the window larger than the screen; the default tracking limit
        // would cut it to the screen size.
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        LONG limitX = 4 * GetSystemMetrics(SM_CXVIRTUALSCREEN);
        LONG limitY = 4 * GetSystemMetrics(SM_CYVIRTUALSCREEN);
        if (info->ptMaxTrackSize.x < limitX) info->ptMaxTrackSize.x = limitX;
        if (info->ptMaxTrackSize.y < limitY) info->ptMaxTrackSize.y = limitY;
        return 0;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        fillBlack(dc);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        fillBlack(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_CLOSE:
        onClose();
        return 0;
    case WM_COMMAND:
        if (onCommand(LOWORD(wParam))) {
            refreshMenu(nullptr);
            return 0;
        }
        break;
    case WM_TIMER:
        updateTitle();
        if (gMainFrame.playWnd) gMainFrame.playWnd->cursorTick();
        if (gMainFrame.playLogic) gMainFrame.playLogic->timerProc();
        if (gMainFrame.playBar) gMainFrame.playBar->autoHideTick();
        gMainFrame.mounts.keepToolReady();
        if (gMainFrame.playLogic) gMainFrame.playLogic->prepareEngine();
        return 0;
    case WM_SETCURSOR:
        // The children pass the question up first, so this covers the whole window.
        if (gMainFrame.engineBusy && LOWORD(lParam) == HTCLIENT) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_DEVICECHANGE:
        if (wParam == DBT_DEVICEARRIVAL) onDeviceArrival(lParam);
        return 0;
    case WM_DROPFILES:
        onDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_MAINFRAME_PLAYER_EVENT:
        if (gMainFrame.playLogic)
            gMainFrame.playLogic->handleProc(static_cast<PlayerEvent>(wParam));
        return 0;
    case WM_MAINFRAME_PING:
        return WM_MAINFRAME_PING;
    case WM_MAINFRAME_NEWFILE:
        onHandOver();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void onClose() {
    if (BrellixShowFn show = components::brellixShow()) {
        if (show(gMainFrame.mainWindow, kProductName, kAdvertisementUrl) == 2) return;
    }
    if (!gMainFrame.fullScreen && gMainFrame.layoutEnabled)
        gMainFrame.placementValid =
            GetWindowPlacement(gMainFrame.mainWindow, &gMainFrame.placement);
    ShowWindow(gMainFrame.mainWindow, SW_HIDE);
    if (gMainFrame.playLogic) gMainFrame.playLogic->stop();
    destroyChildren();
    DestroyWindow(gMainFrame.mainWindow);
}

void destroyChildren() {
    if (gMainFrame.uiTimer) {
        KillTimer(gMainFrame.mainWindow, gMainFrame.uiTimer);
        gMainFrame.uiTimer = 0;
    }
    if (gMainFrame.playWnd) {
        gMainFrame.playWnd->destroyWindows();
        gMainFrame.playWnd.reset();
    }
    if (gMainFrame.playBar) {
        destroyWindowField(gMainFrame.playBar->tooltip);
        destroyWindowField(gMainFrame.playBar->window);
        gMainFrame.playBar.reset();
    }
    // The controller releases its engine and its play list with it.
    gMainFrame.playLogic.reset();
}

void updateBarButtons() {
    PlayLogic* logic = gMainFrame.playLogic.get();
    if (gMainFrame.playBar)
        gMainFrame.playBar->updateButtons(logic ? logic->status() : PlayStatus{});
}

bool MainFrameListener::prepareVideo(EngineKind kind) {
    return !gMainFrame.playWnd || gMainFrame.playWnd->open(kind, gMainFrame.instance);
}

HWND MainFrameListener::videoSurface() {
    PlayWnd* wnd = gMainFrame.playWnd.get();
    return wnd && wnd->videoSurface && IsWindow(wnd->videoSurface) ? wnd->videoSurface : nullptr;
}

void MainFrameListener::showVideo(bool visible) {
    if (gMainFrame.playWnd) gMainFrame.playWnd->showVideo(visible);
}

void MainFrameListener::stateChanged(const PlayStatus& status) {
    if (gMainFrame.playBar) gMainFrame.playBar->updateButtons(status);
    if (gMainFrame.mainWindow) refreshMenu(nullptr);
}

void MainFrameListener::positionChanged() {
    if (gMainFrame.mainWindow) refreshMenu(nullptr);
}

void MainFrameListener::listChanged(TrackListKind list) {
    buildTrackMenu(list);
    // Titles decide whether Previous and Next can step.
    if (list == TrackListKind::Titles) updateBarButtons();
}

void MainFrameListener::timeChanged(long long timeMs, long long lengthMs) {
    if (gMainFrame.playBar) gMainFrame.playBar->updateTime(timeMs, lengthMs);
}

void MainFrameListener::volumeChanged(int volume, bool muted) {
    if (gMainFrame.playBar) gMainFrame.playBar->updateVolume(volume, muted);
}

void MainFrameListener::playbackStopped() {
    if (PlayBar* bar = gMainFrame.playBar.get()) {
        if (bar->window && GetCapture() == bar->window) ReleaseCapture();
        bar->dragTarget = 0;
        bar->updateTime(0, 0);
    }
    if (HWND surface = videoSurface()) ShowWindow(surface, SW_HIDE);
}

void MainFrameListener::loadFailed() {
    PlayLogic* logic = gMainFrame.playLogic.get();
    reportLoadFailure(logic && logic->discKind() != DiscKind::None,
                      logic ? logic->openProblem() : WString());
}

void MainFrameListener::problemReported(const WString& reason) {
    MessageBoxW(gMainFrame.mainWindow, reason.c_str(), kProductName, MB_OK | MB_ICONWARNING);
}

void MainFrameListener::engineBusy(bool busy) {
    gMainFrame.engineBusy = busy;
    // The cursor changes now, not at the next move of the pointer.
    POINT at{};
    HWND main = gMainFrame.mainWindow;
    HWND under = GetCursorPos(&at) ? WindowFromPoint(at) : nullptr;
    if (main && under && (under == main || IsChild(main, under)))
        SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void MainFrameListener::discLost(const WString& root) {
    const WString text =
        L"The disc in " + root + L" went away: it was ejected, or its image is no longer mounted.";
    MessageBoxW(gMainFrame.mainWindow, text.c_str(), kProductName, MB_OK | MB_ICONWARNING);
    // What is left of the image's mount (its letter, the record) goes with it.
    gMainFrame.mounts.releaseAll();
}

void MainFrameListener::playbackResumed(const ResumePoint& point, const WString& titleName) {
    // Says where, and which key undoes it (the Start Over accelerator).
    const WString where = titleName.empty() ? WString() : L" in " + titleName;
    if (gMainFrame.playLogic)
        gMainFrame.playLogic->showNotice(L"Resumed" + where + L" at " + formatTime(point.time) +
                                         L"\nHome: start from the beginning");
}
