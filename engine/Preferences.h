// The preference record kept by Tavrin.dll, and the program's access to that library.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#pragma pack(push, 4)
struct PreferenceData {
    wchar_t snapshotFolder[260]; // offset 0
    int32_t reserved;            // offset 520, not read by the program
    int32_t seekStep;            // offset 524, seconds
    wchar_t subtitleFont[260];   // offset 528
    int32_t subtitleFontSize;    // offset 1048
    uint32_t subtitleColor;      // offset 1052, COLORREF 0x00BBGGRR
    int32_t subtitleAlign;       // offset 1056
    int32_t subtitleEncoding;    // offset 1060
    int32_t subtitleAutodetectUtf8; // offset 1064
    int32_t subtitleFormatted;   // offset 1068
};
#pragma pack(pop)

static_assert(sizeof(wchar_t) == 2, "UTF-16 wchar_t expected");
static_assert(sizeof(PreferenceData) == 1072, "the record is 1072 bytes");
static_assert(offsetof(PreferenceData, seekStep) == 524, "layout");
static_assert(offsetof(PreferenceData, subtitleFont) == 528, "layout");
static_assert(offsetof(PreferenceData, subtitleFontSize) == 1048, "layout");
static_assert(offsetof(PreferenceData, subtitleFormatted) == 1068, "layout");

// Exports of Tavrin.dll (__cdecl).
typedef const PreferenceData*(__cdecl* GetPreferenceDataFn)();
typedef int(__cdecl* OpenPreferenceDialogFn)();
typedef int(__cdecl* OpenFileDialogFn)(const wchar_t* initialPath, wchar_t* result, int capacity);

// Export of brellix.dll (__cdecl): 2 keeps the program running.
typedef int(__cdecl* BrellixShowFn)(HWND owner, const wchar_t* product, const wchar_t* url);

// The program's side of the two libraries, loaded from the executable's folder on first use
// (a library that failed to load is tried again at the next call). Missing libraries or
// exports give null and nothing is shown: the program then runs on defaultPreferenceData, and
// the commands that need Tavrin.dll call reportMissingComponent themselves.
namespace components {
inline constexpr const wchar_t kPreferencesLibrary[] = L"Tavrin.dll";
inline constexpr const wchar_t kAdvertisementLibrary[] = L"brellix.dll";
GetPreferenceDataFn getPreferenceData();
OpenPreferenceDialogFn openPreferenceDialog();
OpenFileDialogFn openFileDialog();
BrellixShowFn brellixShow();
// The record the program uses when Tavrin.dll is missing.
void defaultPreferenceData(PreferenceData& out);
// Unloads both libraries; later loads look in folder instead (null: the executable's folder
// again). Used by tests that load another build of a library.
void setLibraryFolder(const wchar_t* folder);
} // namespace components
