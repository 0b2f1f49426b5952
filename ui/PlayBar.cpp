// The skinned control bar: the dialog, its buttons and layout, the Open menu, the button
// states, the full-screen auto-hide and the background painting.
#include "ui/PlayBar.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <initializer_list>
#include <new>

#include "playback/PlayLogic.h"
#include "resources/resource.h"
#include "ui/WinUtil.h"

namespace {

PlayBar* gBar = nullptr;

struct ButtonRow {
    int controlId;
    int imageId;
    const wchar_t* tooltip; // null: no tooltip
};

// Order of loading and of tooltip registration.
const ButtonRow kButtons[] = {
    {IDC_BAR_OPEN, IDB_OPEN, L"Open"},
    {IDC_BAR_PLAY, IDB_PLAY, L"Play"},
    {IDC_BAR_PAUSE, IDB_PAUSE, L"Pause"},
    {IDC_BAR_STOP, IDB_STOP, L"Stop"},
    {IDC_BAR_PREV, IDB_PREV, L"Prev"},
    {IDC_BAR_NEXT, IDB_NEXT, L"Next"},
    {IDC_BAR_MUTE, IDB_MUTE, L"Mute On/Off"},
    {IDC_BAR_TIME, IDB_TIME_BKG, nullptr},
    {IDC_BAR_VOLUME, IDB_VOLUME_BAR, nullptr},
    {IDC_BAR_FULLSCREEN1, IDB_FULLSCREEN1, L"Full Screen"},
    {IDC_BAR_FULLSCREEN2, IDB_FULLSCREEN2, L"Leave Full Screen"},
};

struct ButtonCommand {
    int controlId;
    UINT command;
};

const ButtonCommand kCommands[] = {
    {IDC_BAR_PLAY, IDM_PLAY},
    {IDC_BAR_PAUSE, IDM_PAUSE},
    {IDC_BAR_STOP, IDM_STOP_THEN_OPEN},
    {IDC_BAR_PREV, IDM_PREVIOUS},
    {IDC_BAR_NEXT, IDM_NEXT},
    {IDC_BAR_MUTE, IDM_MUTE},
    {IDC_BAR_FULLSCREEN1, IDM_FULLSCREEN},
    {IDC_BAR_FULLSCREEN2, IDM_FULLSCREEN},
};

void freeBuffer(OffscreenBuffer& buffer) {
    if (buffer.dc) {
        if (buffer.previous) SelectObject(buffer.dc, buffer.previous);
        DeleteDC(buffer.dc);
    }
    if (buffer.bitmap) DeleteObject(buffer.bitmap);
    buffer = OffscreenBuffer{};
}

// A memory DC with a fresh w x h DIB section selected; stays empty when either cannot be made.
void makeBuffer(HDC reference, int width, int height, OffscreenBuffer& buffer) {
    buffer = OffscreenBuffer{};
    HDC dc = CreateCompatibleDC(reference);
    if (!dc) return;
    HBITMAP bitmap = createOffscreenBitmap(width, height, nullptr);
    if (!bitmap) {
        DeleteDC(dc);
        return;
    }
    buffer.dc = dc;
    buffer.bitmap = bitmap;
    buffer.previous = SelectObject(dc, bitmap);
    buffer.width = width;
    buffer.height = height;
}

INT_PTR CALLBACK playBarProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    // The object outlives its window; before create() returns, window is not yet set.
    PlayBar* bar = gBar;
    if (!bar) return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_SIZE:
        if (bar->window == dialog) bar->layout();
        return TRUE;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(dialog, &ps);
        if (bar->window == dialog) bar->paintBackground(dc);
        EndPaint(dialog, &ps);
        return FALSE;
    }
    case WM_CTLCOLORDLG:
        // The dialog's own erase uses the bar colour, so no grey shows before WM_PAINT.
        return reinterpret_cast<INT_PTR>(bar->backgroundBrush);
    case WM_DRAWITEM:
        if (lParam) bar->drawButton(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (id == IDOK || id == IDCANCEL) return TRUE;
        if (id == IDC_BAR_OPEN) return bar->showOpenMenu() ? TRUE : FALSE;
        for (const ButtonCommand& row : kCommands) {
            if (row.controlId == id) {
                PostMessageW(bar->owner, WM_COMMAND, row.command, 0);
                return TRUE;
            }
        }
        return FALSE;
    }
    case WM_LBUTTONDOWN:
        bar->beginDrag(lParam);
        return TRUE;
    case WM_MOUSEMOVE:
        if (GetCapture() == dialog) bar->dragTo(lParam);
        return TRUE;
    case WM_LBUTTONUP:
        if (GetCapture() == dialog) {
            ReleaseCapture();
            bar->dragTarget = 0;
        }
        return TRUE;
    case WM_CAPTURECHANGED:
        // Capture taken away (another window, a menu): the drag ends with it.
        bar->dragTarget = 0;
        return FALSE;
    case kBarUpdateButtonsMessage:
        bar->updateButtons(bar->buttonStatus);
        return TRUE;
    default:
        break;
    }
    return FALSE;
}

} // namespace

PlayBar* PlayBar::instance() {
    return gBar;
}

PlayBar::PlayBar() {
    gBar = this;
    HMODULE module = GetModuleHandleW(nullptr);
    appInstance = module;
    for (const ButtonRow& row : kButtons) {
        if (SkinImage* image = loadPngResourceId(module, row.imageId))
            images[row.controlId] = image;
    }
    backgroundBrush = CreateSolidBrush(RGB(28, 28, 28));
    barBackground = loadPngResourceId(module, IDB_BAR_BKG);
    volumeKnob = loadPngResourceId(module, IDB_VOLUME_BALL);
    playedTile = loadPngResourceId(module, IDB_TIME_FORG);
    timeKnob = loadPngResourceId(module, IDB_TIME_BALL);
    paintLock = CreateEventW(nullptr, FALSE, TRUE, nullptr);
}

PlayBar::~PlayBar() {
    if (gBar == this) gBar = nullptr;
    destroyWindowField(tooltip);
    destroyWindowField(window);
    for (auto& entry : images)
        deleteImage(entry.second);
    images.clear();
    if (backgroundBrush) DeleteObject(backgroundBrush);
    backgroundBrush = nullptr;
    deleteImage(barBackground);
    deleteImage(volumeKnob);
    deleteImage(playedTile);
    deleteImage(timeKnob);
    barBackground = volumeKnob = playedTile = timeKnob = nullptr;
    freeBuffer(drawBuffer);
    freeBuffer(backgroundBuffer);
    if (textFont) DeleteObject(textFont);
    textFont = nullptr;
    if (paintLock) CloseHandle(paintLock);
    paintLock = nullptr;
}

bool PlayBar::create(HINSTANCE instance, HWND mainWindow) {
    if (window) return true;
    if (instance) appInstance = instance;
    owner = mainWindow;
    window =
        CreateDialogParamW(appInstance, MAKEINTRESOURCEW(IDD_PLAYBAR), mainWindow, playBarProc, 0);
    if (!window) return false;
    // The two slider areas only carry rectangles; shown, their frames would be drawn over the
    // sliders. Resource compilers make controls visible unless told otherwise, so make sure.
    for (int id : {IDC_BAR_TIME, IDC_BAR_VOLUME})
        if (HWND area = GetDlgItem(window, id)) ShowWindow(area, SW_HIDE);
    // A layered child needs a manifest declaring Windows 8; without one these calls change
    // nothing and the bar stays opaque.
    SetWindowLongW(window, GWL_EXSTYLE, GetWindowLongW(window, GWL_EXSTYLE) | WS_EX_LAYERED);
    SetLayeredWindowAttributes(window, RGB(0, 0, 0), 128, LWA_COLORKEY | LWA_ALPHA);
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    if (GetVersionExW(&version) && version.dwMajorVersion >= 6)
        SetWindowLongW(window, GWL_EXSTYLE, GetWindowLongW(window, GWL_EXSTYLE) | WS_EX_COMPOSITED);
    tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                              appInstance, nullptr);
    if (!tooltip) return false;
    ShowWindow(window, SW_SHOW);
    return true;
}

bool PlayBar::initControls() {
    for (const ButtonRow& row : kButtons) {
        if (!row.tooltip || !tooltip) continue;
        HWND control = GetDlgItem(window, row.controlId);
        if (!control) continue;
        TOOLINFOW info{};
        // The size up to lParam is accepted by every common-controls version, 32 or 64 bits.
        info.cbSize = TTTOOLINFOW_V2_SIZE;
        info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        info.hwnd = window;
        info.uId = reinterpret_cast<UINT_PTR>(control);
        info.lpszText = const_cast<wchar_t*>(row.tooltip);
        SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
    LOGFONTW font = messageFont();
    font.lfHeight = -11;
    if (textFont) DeleteObject(textFont);
    textFont = CreateFontIndirectW(&font);
    return true;
}

int PlayBar::barHeight() {
    if (!window) return 0;
    if (!barBackground) return 27;
    return static_cast<int>(imageHeight(barBackground));
}

void PlayBar::layout() {
    if (!window) return;
    PaintLockHold hold(paintLock);
    RECT client{};
    GetClientRect(window, &client);
    const int H = barHeight();

    // Controls of one slot share a position; a missing control or image leaves x as it is.
    auto placeSlot = [&](std::initializer_list<int> ids, int& x, int dy, bool rightAligned) {
        int next = x;
        for (int id : ids) {
            HWND control = GetDlgItem(window, id);
            auto found = images.find(id);
            if (!control || found == images.end() || !found->second) continue;
            int w = static_cast<int>(imageWidth(found->second));
            int h = static_cast<int>(imageHeight(found->second));
            int y = (H - h) / 2 + dy;
            int left = rightAligned ? x - w : x;
            MoveWindow(control, left, y, w, h, FALSE);
            next = rightAligned ? x - w - 1 : x + w + 1;
        }
        x = next;
    };

    int x = 1;
    placeSlot({IDC_BAR_OPEN, IDC_BAR_STOP}, x, 0, false);
    placeSlot({IDC_BAR_PLAY, IDC_BAR_PAUSE}, x, 0, false);
    placeSlot({IDC_BAR_PREV}, x, 0, false);
    placeSlot({IDC_BAR_NEXT}, x, 0, false);
    const int seekLeft = x;

    x = client.right - 1;
    placeSlot({IDC_BAR_FULLSCREEN1, IDC_BAR_FULLSCREEN2}, x, 0, true);
    placeSlot({IDC_BAR_MUTE}, x, 3, true);
    placeSlot({IDC_BAR_VOLUME}, x, 3, true);
    const int seekRight = x;

    if (HWND seek = GetDlgItem(window, IDC_BAR_TIME)) {
        auto found = images.find(IDC_BAR_TIME);
        int h = found != images.end() ? static_cast<int>(imageHeight(found->second)) : 0;
        MoveWindow(seek, seekLeft, (H - h) / 2 + 4, seekRight - seekLeft, h, FALSE);
    }
    InvalidateRect(window, nullptr, FALSE);
    ensureBuffers();
    if (drawBuffer.dc) {
        if (backgroundBuffer.dc)
            BitBlt(drawBuffer.dc, 0, 0, drawBuffer.width, drawBuffer.height, backgroundBuffer.dc, 0,
                   0, SRCCOPY);
        drawVolumeBar(drawBuffer.dc);
        drawTimeBar(drawBuffer.dc);
    }
}

void PlayBar::ensureBuffers() {
    RECT client{};
    GetClientRect(window, &client);
    const int w = client.right;
    const int h = client.bottom;
    if (drawBuffer.dc && drawBuffer.bitmap && drawBuffer.width >= w && drawBuffer.height >= h)
        return;
    freeBuffer(drawBuffer);
    freeBuffer(backgroundBuffer);
    HDC barDc = GetDC(window);
    makeBuffer(barDc, w, h, drawBuffer);
    makeBuffer(barDc, w, h, backgroundBuffer);
    ReleaseDC(window, barDc);
    if (!backgroundBuffer.dc) return;
    if (barBackground)
        drawTiled(backgroundBuffer.dc, barBackground, 0, 0, w);
    else
        FillRect(backgroundBuffer.dc, &client, backgroundBrush);
}

void PlayBar::paintBackground(HDC dc) {
    {
        PaintLockHold hold(paintLock);
        RECT client{};
        GetClientRect(window, &client);
        // The slider columns are copied from drawBuffer right after; leaving them out here keeps
        // them from showing the bare background for a moment on every repaint.
        const int saved = SaveDC(dc);
        if (drawBuffer.dc) {
            for (int id : {IDC_BAR_VOLUME, IDC_BAR_TIME}) {
                RECT r{};
                if (getControlRect(window, id, &r))
                    ExcludeClipRect(
                        dc, r.left, 0,
                        r.left + std::min(drawBuffer.width, static_cast<int>(r.right - r.left)),
                        drawBuffer.height);
            }
        }
        FillRect(dc, &client, backgroundBrush);
        if (client.right != 0) drawTiled(dc, barBackground, 0, 0, client.right);
        RestoreDC(dc, saved);
    }
    if (drawBuffer.dc) flushSliders(dc);
}

void PlayBar::drawButton(const DRAWITEMSTRUCT* item) {
    if (item->CtlType != ODT_BUTTON) return;
    auto found = images.find(static_cast<int>(item->CtlID));
    if (found == images.end() || !found->second) return;
    // Pressed while held down only: the release also arrives as ODA_SELECT, and drawing that
    // offset too would leave the button looking pressed.
    const int offset = (item->itemState & ODS_SELECTED) ? 1 : 0;
    RECT r{};
    const int w = item->rcItem.right - item->rcItem.left;
    const int h = item->rcItem.bottom - item->rcItem.top;
    // backgroundBuffer only changes in layout, on this same thread, so no lock is needed here.
    if (backgroundBuffer.dc && getControlRect(window, static_cast<int>(item->CtlID), &r))
        BitBlt(item->hDC, 0, 0, w, h, backgroundBuffer.dc, r.left, r.top, SRCCOPY);
    else
        FillRect(item->hDC, &item->rcItem, backgroundBrush);
    drawImage(item->hDC, found->second, item->rcItem.left + offset, item->rcItem.top + offset);
}

bool PlayBar::showOpenMenu() {
    HMENU menu = LoadMenuW(appInstance, MAKEINTRESOURCEW(IDR_CONTEXTMENU));
    if (!menu) return false;
    if (HMENU open = GetSubMenu(menu, 1)) {
        POINT p{};
        GetCursorPos(&p);
        int command =
            static_cast<int>(TrackPopupMenu(open, TPM_RETURNCMD, p.x, p.y, 0, owner, nullptr));
        if (command > 0) PostMessageA(owner, WM_COMMAND, static_cast<WPARAM>(command), 0);
    }
    DestroyMenu(menu);
    return true;
}

void PlayBar::updateButtons(const PlayStatus& status) {
    if (!window) return;
    buttonStatus = status;
    // EnableWindow and ShowWindow wait for the bar's thread; called from another thread while
    // that thread waits for the engine (a stop), that would never return. Hand it over instead.
    if (GetWindowThreadProcessId(window, nullptr) != GetCurrentThreadId()) {
        PostMessageW(window, kBarUpdateButtonsMessage, 0, 0);
        return;
    }
    const PlayerState state = status.state;

    auto set = [this](int id, bool enable, bool show) {
        if (HWND control = GetDlgItem(window, id)) {
            EnableWindow(control, enable ? TRUE : FALSE);
            ShowWindow(control, show ? SW_SHOW : SW_HIDE);
        }
    };
    int hide1 = IDC_BAR_STOP, hide2 = IDC_BAR_PAUSE, show1 = IDC_BAR_OPEN, show2 = IDC_BAR_PLAY;
    if (state == PlayerState::Playing) {
        hide1 = IDC_BAR_OPEN, hide2 = IDC_BAR_PLAY, show1 = IDC_BAR_STOP, show2 = IDC_BAR_PAUSE;
    } else if (state == PlayerState::Paused) {
        hide1 = IDC_BAR_OPEN, hide2 = IDC_BAR_PAUSE, show1 = IDC_BAR_STOP, show2 = IDC_BAR_PLAY;
    }
    set(hide1, false, false);
    set(hide2, false, false);
    set(show1, true, true);
    set(show2, true, true);

    const bool canStep = status.canSkip;
    set(IDC_BAR_PREV, canStep, true);
    set(IDC_BAR_NEXT, canStep, true);

    if (state != PlayerState::Playing) {
        set(IDC_BAR_PLAY, status.playListCount > 0, true);
        if (state != PlayerState::Paused) time = 0;
    }
    const bool full = fullScreen;
    set(IDC_BAR_FULLSCREEN1, !full, !full);
    set(IDC_BAR_FULLSCREEN2, full, full);
}

void PlayBar::autoHideTick() {
    if (lastActivityTick == 0 || !window) return;
    const DWORD now = GetTickCount();
    const bool visible = (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0;
    POINT p{};
    GetCursorPos(&p);
    RECT barRect{};
    GetWindowRect(window, &barRect);
    if (PtInRect(&barRect, p)) return;
    const bool still = std::abs(p.x - lastCursorPos.x) < 5 && std::abs(p.y - lastCursorPos.y) < 5;
    if (still) {
        if (now - lastActivityTick > 5000 && visible) {
            ShowWindow(window, SW_HIDE);
            PostMessageW(owner, WM_SIZE, 0, 0);
        }
        return;
    }
    if (!visible) {
        ShowWindow(window, SW_SHOW);
        PostMessageW(owner, WM_SIZE, 0, 0);
    }
    lastActivityTick = now;
    lastCursorPos = p;
}
