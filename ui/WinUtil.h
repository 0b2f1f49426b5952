// Small Win32 helpers shared by the main window, the control bar and the video window.
#pragma once

#include <windows.h>

void centerWindow(HWND window);
void setClientSize(HWND window, SIZE size);
BOOL enableMenuItem(HMENU menu, UINT commandId, bool enable);
bool getControlRect(HWND dialog, int controlId, RECT* out);
// The system message font (NONCLIENTMETRICSW without iPaddedBorderWidth).
LOGFONTW messageFont();
// Destroys the window only while it still is one, and clears the field in every case.
void destroyWindowField(HWND& window);
