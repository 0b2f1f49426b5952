// The preference record's choices and defaults. Tavrin.dll validates against them, and the
// program falls back to the same record when the library is missing.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include "platform/PreferenceRecord.h"

namespace tavrin {

struct Choice {
    int value;
    const wchar_t* text;
};

// Relative subtitle sizes as the subtitle renderer understands them: a smaller number is a
// bigger font (the picture height divided by the number).
inline constexpr Choice kFontSizes[] = {
    {20, L"Smaller"}, {18, L"Small"}, {16, L"Normal"}, {12, L"Large"}, {6, L"Larger"},
};
inline constexpr Choice kAlignments[] = {{0, L"Center"}, {1, L"Left"}, {2, L"Right"}};
// Subtitle encodings by Windows code page number; 0 leaves the choice to the player.
inline constexpr Choice kEncodings[] = {
    {0, L"Default"},
    {65001, L"Universal (UTF-8)"},
    {1252, L"Western European (Windows-1252)"},
    {28605, L"Western European (ISO 8859-15)"},
    {1250, L"Central European (Windows-1250)"},
    {1251, L"Cyrillic (Windows-1251)"},
    {20866, L"Russian (KOI8-R)"},
    {1253, L"Greek (Windows-1253)"},
    {1254, L"Turkish (Windows-1254)"},
    {1255, L"Hebrew (Windows-1255)"},
    {1256, L"Arabic (Windows-1256)"},
    {1257, L"Baltic (Windows-1257)"},
    {1258, L"Vietnamese (Windows-1258)"},
    {874, L"Thai (Windows-874)"},
    {932, L"Japanese (Shift JIS)"},
    {936, L"Simplified Chinese (GBK)"},
    {949, L"Korean (EUC-KR)"},
    {950, L"Traditional Chinese (Big5)"},
};

inline constexpr int kMinSeekStep = 1;
inline constexpr int kMaxSeekStep = 600;
inline constexpr int kDefaultSeekStep = 10;
inline constexpr int kDefaultFontSize = 16;
inline constexpr COLORREF kDefaultColor = RGB(255, 255, 255);
inline constexpr const wchar_t kDefaultFont[] = L"Arial";

template <size_t N> bool isChoice(const Choice (&choices)[N], int value) {
    for (const Choice& c : choices)
        if (c.value == value) return true;
    return false;
}

// The user's Pictures folder, else Documents, else empty.
inline void defaultSnapshotFolder(wchar_t (&out)[260]) {
    out[0] = 0;
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_MYPICTURES, nullptr, SHGFP_TYPE_CURRENT, out)))
        return;
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, out)))
        return;
    out[0] = 0;
}

inline void fillDefaults(PreferenceData& out) {
    out = PreferenceData{};
    defaultSnapshotFolder(out.snapshotFolder);
    out.seekStep = kDefaultSeekStep;
    lstrcpynW(out.subtitleFont, kDefaultFont, 260);
    out.subtitleFontSize = kDefaultFontSize;
    out.subtitleColor = kDefaultColor;
    out.subtitleAlign = 0;
    out.subtitleEncoding = 0;
    out.subtitleAutodetectUtf8 = 1;
    out.subtitleFormatted = 1;
}

} // namespace tavrin
