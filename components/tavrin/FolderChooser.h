// Choosing a folder or drive with the shell's folder browser.
#pragma once

#include <windows.h>

namespace tavrin {

// Shows the browser owned by owner with the given title, starting at initialPath (a file's
// folder, the nearest existing parent, or nothing when empty). On OK the chosen path is copied
// into result and true is returned; false on cancel, on a choice that is no file-system folder
// or drive, or when the path does not fit in capacity characters with its NUL.
bool browseForFolder(HWND owner, const wchar_t* title, const wchar_t* initialPath,
                     wchar_t* result, int capacity);

} // namespace tavrin
