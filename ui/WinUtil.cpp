// STUB: replaced by the real implementation.
#include "ui/WinUtil.h"
void centerWindow(HWND) {}
void setClientSize(HWND, SIZE) {}
BOOL enableMenuItem(HMENU menu, UINT id, bool enable) { return EnableMenuItem(menu, id, MF_BYCOMMAND | (enable ? MF_ENABLED : (MF_DISABLED | MF_GRAYED))); }
bool getControlRect(HWND, int, RECT*) { return false; }
LOGFONTW messageFont() { LOGFONTW f{}; return f; }
void destroyWindowField(HWND& w) { if (w && IsWindow(w)) DestroyWindow(w); w = nullptr; }
