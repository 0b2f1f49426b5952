// Tavrin.dll: the player's preference record, its dialog, and the chooser of Open Disk.
#include <windows.h>

#include "components/tavrin/FolderChooser.h"
#include "components/tavrin/PreferenceDialog.h"
#include "components/tavrin/PreferenceStore.h"

namespace {
HINSTANCE gInstance = nullptr;
PreferenceData gRecord{};
} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        gInstance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

// The stored record, read afresh at each call. The pointer stays valid until the next call.
extern "C" __declspec(dllexport) const PreferenceData* __cdecl GetPreferenceData() {
    tavrin::loadPreferences(gRecord);
    return &gRecord;
}

extern "C" __declspec(dllexport) int __cdecl OpenPreferenceDialog() {
    return tavrin::runPreferenceDialog(gInstance, GetActiveWindow());
}

extern "C" __declspec(dllexport) int __cdecl OpenFileDialog(const wchar_t* initialPath,
                                                            wchar_t* result, int capacity) {
    return tavrin::browseForFolder(GetActiveWindow(), L"Choose the disc drive or folder to open",
                                   initialPath, result, capacity)
               ? 1
               : 0;
}
