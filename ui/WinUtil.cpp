// Small Win32 helpers shared by the main window, the control bar and the video window.
#include "ui/WinUtil.h"

void centerWindow(HWND window) {
    if (!IsWindow(window)) return;
    RECT area{};
    HWND parent = GetParent(window);
    if (parent && IsWindow(parent))
        GetWindowRect(parent, &area);
    else
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT own{};
    GetWindowRect(window, &own);
    int w = own.right - own.left;
    int h = own.bottom - own.top;
    int x = (area.left + area.right - w) / 2;
    int y = (area.top + area.bottom - h) / 2;
    // The overflow test compares against the area's extent, not its right and bottom edges.
    int areaWidth = area.right - area.left;
    int areaHeight = area.bottom - area.top;
    if (areaWidth < x + w) x = areaWidth - w;
    if (areaHeight < y + h) y = areaHeight - h;
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    SetWindowPos(window, nullptr, x, y, w, h, SWP_NOZORDER);
}

void setClientSize(HWND window, SIZE size) {
    RECT outer{};
    RECT client{};
    if (!GetWindowRect(window, &outer) || !GetClientRect(window, &client)) return;
    int width = outer.right + (size.cx - client.right) - outer.left;
    int height = outer.bottom + (size.cy - client.bottom) - outer.top;
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOZORDER | SWP_NOMOVE);
}

BOOL enableMenuItem(HMENU menu, UINT commandId, bool enable) {
    return EnableMenuItem(menu, commandId,
                          MF_BYCOMMAND | (enable ? MF_ENABLED : (MF_DISABLED | MF_GRAYED)));
}

bool getControlRect(HWND dialog, int controlId, RECT* out) {
    HWND control = GetDlgItem(dialog, controlId);
    if (!control || !out) return false;
    RECT r{};
    GetWindowRect(control, &r);
    POINT topLeft{r.left, r.top};
    POINT bottomRight{r.right, r.bottom};
    ScreenToClient(dialog, &topLeft);
    ScreenToClient(dialog, &bottomRight);
    *out = RECT{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};
    return true;
}

LOGFONTW messageFont() {
    // 500 bytes: the structure as it was before iPaddedBorderWidth, which every version accepts.
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = 500;
    LOGFONTW font{};
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, 500, &metrics, 0))
        font = metrics.lfMessageFont;
    else
        OutputDebugStringW(L"messageFont: SPI_GETNONCLIENTMETRICS failed\n");
    return font;
}

void destroyWindowField(HWND& window) {
    if (window && IsWindow(window)) DestroyWindow(window);
    window = nullptr;
}
