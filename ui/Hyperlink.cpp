// STUB: replaced by the real implementation.
#include "ui/Hyperlink.h"
const wchar_t kPoweredByUrl[] = L"https://velloran.example.org/";
void registerHyperlinkClass(HINSTANCE) {}
void unregisterHyperlinkClass(HINSTANCE) {}
HWND createPoweredByLink(HFONT, HWND) { return nullptr; }
HBRUSH hyperlinkCtlColor(HWND, HDC) { return nullptr; }
bool openHyperlink(HWND) { return false; }
