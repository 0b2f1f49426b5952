// The "HYPERLINK" label class: a STATIC with a hand cursor, a text colour and a URL per label.
#pragma once

#include <windows.h>

void registerHyperlinkClass(HINSTANCE instance);
void unregisterHyperlinkClass(HINSTANCE instance);
HWND createPoweredByLink(HFONT font, HWND parent);
HBRUSH hyperlinkCtlColor(HWND control, HDC dc);
bool openHyperlink(HWND control);
// The web address the "Powered by" label opens.
extern const wchar_t kPoweredByUrl[];
// Opens a URL with the shell's "open" verb. Tests may replace it so that no browser starts.
using ShellOpenFn = void (*)(const wchar_t* url);
extern ShellOpenFn shellOpenHook;
