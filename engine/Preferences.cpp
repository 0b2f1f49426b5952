#include "engine/Preferences.h"

#include "platform/PreferenceDefaults.h"
#include "platform/WString.h"

#include <vector>

namespace components {
namespace {

struct Library {
    const wchar_t* name;
    HMODULE module = nullptr;
};

Library gPreferences{kPreferencesLibrary};
Library gAdvertisement{kAdvertisementLibrary};
WString gFolderOverride;

// The folder of the running executable, with a trailing backslash.
WString executableFolder() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return WString();
        if (n < buffer.size()) break;
        if (buffer.size() >= 32768) return WString();
        buffer.resize(buffer.size() * 2);
    }
    WString path(buffer.data());
    size_t slash = path.find_last_of(L"\\/");
    return slash == WString::npos ? WString() : path.substr(0, slash + 1);
}

HMODULE load(Library& library) {
    if (library.module) return library.module;
    WString folder = gFolderOverride.empty() ? executableFolder() : gFolderOverride;
    if (folder.empty()) return nullptr;
    if (folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
    WString path = folder + library.name;
    // Only the named file: never a library of the same name from the search path.
    library.module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!library.module) {
        WString trace = formatWide(L"components: cannot load %s (error %d)\n", path.c_str(),
                                   static_cast<int>(GetLastError()));
        OutputDebugStringW(trace.c_str());
    }
    return library.module;
}

template <typename Fn> Fn find(Library& library, const char* exportName) {
    HMODULE module = load(library);
    if (!module) return nullptr;
    FARPROC proc = GetProcAddress(module, exportName);
    if (!proc) {
        WString trace = formatWide(L"components: %s has no %s\n", library.name,
                                   fromUtf8(exportName).c_str());
        OutputDebugStringW(trace.c_str());
        return nullptr;
    }
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
}

void unload(Library& library) {
    if (library.module) FreeLibrary(library.module);
    library.module = nullptr;
}

} // namespace

GetPreferenceDataFn getPreferenceData() {
    return find<GetPreferenceDataFn>(gPreferences, "GetPreferenceData");
}

OpenPreferenceDialogFn openPreferenceDialog() {
    return find<OpenPreferenceDialogFn>(gPreferences, "OpenPreferenceDialog");
}

OpenFileDialogFn openFileDialog() {
    return find<OpenFileDialogFn>(gPreferences, "OpenFileDialog");
}

BrellixShowFn brellixShow() { return find<BrellixShowFn>(gAdvertisement, "brellix_show"); }

void defaultPreferenceData(PreferenceData& out) { tavrin::fillDefaults(out); }

void setLibraryFolder(const wchar_t* folder) {
    unload(gPreferences);
    unload(gAdvertisement);
    gFolderOverride = folder ? WString(folder) : WString();
}

} // namespace components
