// The preference record Tavrin.dll keeps and hands to the program, and the libraries'
// exports: the binary interface between the program and its two DLLs.
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
