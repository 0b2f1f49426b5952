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

// What one run of the chooser knows: where it starts, and the path typed into its edit box
// when OK was pressed. Some implementations of the chooser return the tree's selection and
// ignore a typed path, so the typed text is taken here and preferred when it names a folder.
struct ChooserRun {
    const wchar_t* start = nullptr;
    HWND edit = nullptr;
    WNDPROC dialogProc = nullptr;
    wchar_t typed[MAX_PATH] = {};
};

const wchar_t kRunProperty[] = L"TavrinChooserRun";

BOOL CALLBACK findEdit(HWND child, LPARAM data) {
    wchar_t name[16] = {};
    GetClassNameW(child, name, 16);
    if (lstrcmpiW(name, L"Edit") != 0) return TRUE;
    reinterpret_cast<ChooserRun*>(data)->edit = child;
    return FALSE;
}

LRESULT CALLBACK chooserProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* run = static_cast<ChooserRun*>(GetPropW(window, kRunProperty));
    if (!run) return DefWindowProcW(window, message, wParam, lParam);
    WNDPROC previous = run->dialogProc;
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK && run->edit)
        GetWindowTextW(run->edit, run->typed, MAX_PATH);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        RemovePropW(window, kRunProperty);
    }
    return CallWindowProcW(previous, window, message, wParam, lParam);
}

int CALLBACK browseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
    auto* run = reinterpret_cast<ChooserRun*>(data);
    if (message != BFFM_INITIALIZED || !run) return 0;
    if (run->start && run->start[0])
        SendMessageW(window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(run->start));
    EnumChildWindows(window, findEdit, data);
    if (run->edit && SetPropW(window, kRunProperty, run))
        run->dialogProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
            window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(chooserProc)));
    return 0;
}

bool isAbsoluteFolder(const wchar_t* path) {
    if (!path[0] || PathIsRelativeW(path)) return false;
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
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
    // The edit box takes a typed path, which is quicker than the tree for a deep folder.
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    info.lpfn = browseCallback;
    ChooserRun run;
    run.start = start;
    info.lParam = reinterpret_cast<LPARAM>(&run);
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
    if (!chosen) return false;
    wchar_t path[MAX_PATH] = {};
    bool ok = SHGetPathFromIDListW(chosen, path) && path[0];
    CoTaskMemFree(chosen);
    run.typed[MAX_PATH - 1] = 0;
    if (isAbsoluteFolder(run.typed)) {
        lstrcpynW(path, run.typed, MAX_PATH);
        ok = true;
    }
    if (!ok || lstrlenW(path) >= capacity) return false;
    lstrcpynW(result, path, capacity);
    return true;
}

} // namespace tavrin
