// The preferences dialog of Tavrin.dll.
#pragma once

#include <windows.h>

namespace tavrin {

// Edits the stored record in a modal dialog. Returns 1 when the user confirmed a valid record
// that differs from the stored one and it was saved; 0 on cancel, on OK without a change, or
// when the dialog could not be shown.
int runPreferenceDialog(HINSTANCE instance, HWND owner);

} // namespace tavrin
