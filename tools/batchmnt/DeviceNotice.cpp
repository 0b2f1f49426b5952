#include "tools/batchmnt/DeviceNotice.h"

#include <dbt.h>
#include <tlhelp32.h>

namespace {

// The window functions are looked up rather than imported: under Wine, loading the window
// library and setting up a process's window list cost tens of milliseconds, which every run of
// the tool would otherwise pay before it does anything.
struct WindowApi {
    BOOL(WINAPI* enumWindows)(WNDENUMPROC, LPARAM) = nullptr;
    DWORD(WINAPI* ownerOf)(HWND, LPDWORD) = nullptr;
    LRESULT(WINAPI* sendTimeout)(HWND, UINT, WPARAM, LPARAM, UINT, UINT, PDWORD_PTR) = nullptr;
};
WindowApi windowApi;
HANDLE loader = nullptr; // the thread of prepareDeviceNotice while it may still run

template <typename Fn> Fn lookUp(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

DWORD WINAPI loadWindowApi(void*) {
    HMODULE user = LoadLibraryW(L"user32.dll");
    if (!user) return 1;
    windowApi.enumWindows = lookUp<decltype(windowApi.enumWindows)>(user, "EnumWindows");
    windowApi.ownerOf = lookUp<decltype(windowApi.ownerOf)>(user, "GetWindowThreadProcessId");
    windowApi.sendTimeout = lookUp<decltype(windowApi.sendTimeout)>(user, "SendMessageTimeoutW");
    // The first use of the window list sets it up (under Wine: the display connection).
    if (auto desktop = lookUp<HWND(WINAPI*)()>(user, "GetDesktopWindow")) desktop();
    return 0;
}

bool windowApiLoaded() {
    if (loader) {
        WaitForSingleObject(loader, INFINITE);
        CloseHandle(loader);
        loader = nullptr;
    } else if (!windowApi.sendTimeout) {
        loadWindowApi(nullptr);
    }
    return windowApi.enumWindows && windowApi.ownerOf && windowApi.sendTimeout;
}

// The process that started this tool; 0 when unknown.
DWORD callerProcessId() {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return 0;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    DWORD self = GetCurrentProcessId(), caller = 0;
    for (BOOL more = Process32FirstW(snap, &entry); more; more = Process32NextW(snap, &entry)) {
        if (entry.th32ProcessID == self) {
            caller = entry.th32ParentProcessID;
            break;
        }
    }
    CloseHandle(snap);
    return caller;
}

struct Notice {
    DEV_BROADCAST_VOLUME* volume;
    WPARAM event;
    DWORD caller;
};

BOOL CALLBACK sendNotice(HWND hwnd, LPARAM param) {
    auto* n = reinterpret_cast<Notice*>(param);
    DWORD owner = 0;
    windowApi.ownerOf(hwnd, &owner);
    if (n->caller != 0 && owner == n->caller) return TRUE;
    DWORD_PTR result = 0;
    windowApi.sendTimeout(hwnd, WM_DEVICECHANGE, n->event, reinterpret_cast<LPARAM>(n->volume),
                          SMTO_ABORTIFHUNG | SMTO_NORMAL, 100, &result);
    return TRUE;
}

} // namespace

void prepareDeviceNotice() {
    if (!loader && !windowApi.sendTimeout)
        loader = CreateThread(nullptr, 0, loadWindowApi, nullptr, 0, nullptr);
}

void announceVolume(wchar_t letter, bool arrival) {
    if (!windowApiLoaded()) return;
    DEV_BROADCAST_VOLUME volume = {};
    volume.dbcv_size = sizeof(volume);
    volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
    volume.dbcv_unitmask = 1u << (letter - L'A');
    Notice notice = {&volume,
                     arrival ? static_cast<WPARAM>(DBT_DEVICEARRIVAL)
                             : static_cast<WPARAM>(DBT_DEVICEREMOVECOMPLETE),
                     callerProcessId()};
    windowApi.enumWindows(sendNotice, reinterpret_cast<LPARAM>(&notice));
}
