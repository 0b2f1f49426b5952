#include "components/tavrin/FolderChooser.h"

#include <shlobj.h>
#include <shlwapi.h>

namespace tavrin {
namespace {

// The existing folder to start in: the path itself when it is a folder or drive root, else
// the nearest existing parent; empty when none exists.
void startFolder(const wchar_t* path, wchar_t (&out)[MAX_PATH]) {
    out[0] = 0;
    if (!path || !path[0] || lstrlenW(path) >= MAX_PATH) return;
    lstrcpynW(out, path, MAX_PATH);
    for (;;) {
        DWORD attributes = GetFileAttributesW(out);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return;
        if (PathIsRootW(out) || !PathRemoveFileSpecW(out) || !out[0]) break;
    }
    out[0] = 0;
}

int CALLBACK browseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
    const auto* start = reinterpret_cast<const wchar_t*>(data);
    if (message == BFFM_INITIALIZED && start && start[0])
        SendMessageW(window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(start));
    return 0;
}

} // namespace

bool browseForFolder(HWND owner, const wchar_t* title, const wchar_t* initialPath,
                     wchar_t* result, int capacity) {
    if (!result || capacity <= 0) return false;
    result[0] = 0;
    wchar_t start[MAX_PATH];
    startFolder(initialPath, start);

    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = title;
    info.ulFlags = BIF_RETURNONLYFSDIRS;
    info.lpfn = browseCallback;
    info.lParam = reinterpret_cast<LPARAM>(start);
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (!chosen) return false;
    wchar_t path[MAX_PATH] = {};
    bool ok = SHGetPathFromIDListW(chosen, path) && path[0];
    CoTaskMemFree(chosen);
    if (!ok || lstrlenW(path) >= capacity) return false;
    lstrcpynW(result, path, capacity);
    return true;
}

} // namespace tavrin
