#include "components/tavrin/PreferenceStore.h"

#include "platform/PreferenceDefaults.h"

namespace tavrin {
namespace {

const wchar_t kSnapshotFolder[] = L"SnapshotFolder";
const wchar_t kSeekStep[] = L"SeekStep";
const wchar_t kSubtitleFont[] = L"SubtitleFont";
const wchar_t kSubtitleFontSize[] = L"SubtitleFontSize";
const wchar_t kSubtitleColor[] = L"SubtitleColor";
const wchar_t kSubtitleAlign[] = L"SubtitleAlign";
const wchar_t kSubtitleEncoding[] = L"SubtitleEncoding";
const wchar_t kSubtitleAutodetectUtf8[] = L"SubtitleAutodetectUtf8";
const wchar_t kSubtitleFormatted[] = L"SubtitleFormatted";

bool readDword(HKEY key, const wchar_t* name, DWORD& out) {
    DWORD type = 0, value = 0, size = sizeof(value);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
        ERROR_SUCCESS)
        return false;
    if (type != REG_DWORD || size != sizeof(value)) return false;
    out = value;
    return true;
}

// A REG_SZ of at most 259 characters (plus its NUL). Longer or mistyped values are refused
// whole rather than cut, so a damaged path never reaches the program half-way.
bool readText(HKEY key, const wchar_t* name, wchar_t (&out)[260]) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    if (type != REG_SZ || size > 260 * sizeof(wchar_t)) return false;
    wchar_t buffer[261] = {};
    DWORD got = sizeof(buffer) - sizeof(wchar_t);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &got) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    if (lstrlenW(buffer) >= 260) return false;
    lstrcpynW(out, buffer, 260);
    return true;
}

bool writeDword(HKEY key, const wchar_t* name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value)) == ERROR_SUCCESS;
}

bool writeText(HKEY key, const wchar_t* name, const wchar_t* text) {
    DWORD bytes = static_cast<DWORD>((lstrlenW(text) + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes) ==
           ERROR_SUCCESS;
}

int terminatedLength(const wchar_t (&text)[260]) {
    for (int i = 0; i < 260; ++i)
        if (text[i] == 0) return i;
    return -1;
}

} // namespace

bool isValidFolderText(const wchar_t* text) {
    int n = lstrlenW(text);
    if (n == 0 || n >= 260) return false;
    for (int i = 0; i < n; ++i)
        if (text[i] < 32 || text[i] == L'*' || text[i] == L'?' || text[i] == L'"' ||
            text[i] == L'<' || text[i] == L'>' || text[i] == L'|')
            return false;
    return true;
}

// The player hands the font name to the subtitle renderer one byte per character, so only
// printable ASCII survives that trip.
bool isValidFontName(const wchar_t* text) {
    int n = lstrlenW(text);
    if (n == 0 || n >= 32) return false; // LOGFONT face names are at most 31 characters
    for (int i = 0; i < n; ++i)
        if (text[i] < 32 || text[i] > 126) return false;
    return true;
}

bool validate(const PreferenceData& data) {
    if (terminatedLength(data.snapshotFolder) < 0 || terminatedLength(data.subtitleFont) < 0)
        return false;
    return isValidFolderText(data.snapshotFolder) && isValidFontName(data.subtitleFont) &&
           data.seekStep >= kMinSeekStep && data.seekStep <= kMaxSeekStep &&
           isChoice(kFontSizes, data.subtitleFontSize) && data.subtitleColor <= 0x00FFFFFFu &&
           isChoice(kAlignments, data.subtitleAlign) &&
           isChoice(kEncodings, data.subtitleEncoding) &&
           (data.subtitleAutodetectUtf8 == 0 || data.subtitleAutodetectUtf8 == 1) &&
           (data.subtitleFormatted == 0 || data.subtitleFormatted == 1);
}

bool samePreferences(const PreferenceData& a, const PreferenceData& b) {
    return lstrcmpW(a.snapshotFolder, b.snapshotFolder) == 0 && a.seekStep == b.seekStep &&
           lstrcmpW(a.subtitleFont, b.subtitleFont) == 0 &&
           a.subtitleFontSize == b.subtitleFontSize && a.subtitleColor == b.subtitleColor &&
           a.subtitleAlign == b.subtitleAlign && a.subtitleEncoding == b.subtitleEncoding &&
           (a.subtitleAutodetectUtf8 != 0) == (b.subtitleAutodetectUtf8 != 0) &&
           (a.subtitleFormatted != 0) == (b.subtitleFormatted != 0);
}

void loadPreferences(PreferenceData& out) {
    fillDefaults(out);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRegistryKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    wchar_t text[260] = {};
    if (readText(key, kSnapshotFolder, text) && isValidFolderText(text))
        lstrcpynW(out.snapshotFolder, text, 260);
    if (readText(key, kSubtitleFont, text) && isValidFontName(text))
        lstrcpynW(out.subtitleFont, text, 260);
    DWORD v = 0;
    if (readDword(key, kSeekStep, v) && static_cast<int>(v) >= kMinSeekStep &&
        static_cast<int>(v) <= kMaxSeekStep)
        out.seekStep = static_cast<int>(v);
    if (readDword(key, kSubtitleFontSize, v) && isChoice(kFontSizes, static_cast<int>(v)))
        out.subtitleFontSize = static_cast<int>(v);
    if (readDword(key, kSubtitleColor, v) && v <= 0x00FFFFFFu) out.subtitleColor = v;
    if (readDword(key, kSubtitleAlign, v) && isChoice(kAlignments, static_cast<int>(v)))
        out.subtitleAlign = static_cast<int>(v);
    if (readDword(key, kSubtitleEncoding, v) && isChoice(kEncodings, static_cast<int>(v)))
        out.subtitleEncoding = static_cast<int>(v);
    if (readDword(key, kSubtitleAutodetectUtf8, v)) out.subtitleAutodetectUtf8 = v ? 1 : 0;
    if (readDword(key, kSubtitleFormatted, v)) out.subtitleFormatted = v ? 1 : 0;
    RegCloseKey(key);
}

bool savePreferences(const PreferenceData& data) {
    if (!validate(data)) return false;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRegistryKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = writeText(key, kSnapshotFolder, data.snapshotFolder) &&
              writeDword(key, kSeekStep, static_cast<DWORD>(data.seekStep)) &&
              writeText(key, kSubtitleFont, data.subtitleFont) &&
              writeDword(key, kSubtitleFontSize, static_cast<DWORD>(data.subtitleFontSize)) &&
              writeDword(key, kSubtitleColor, data.subtitleColor) &&
              writeDword(key, kSubtitleAlign, static_cast<DWORD>(data.subtitleAlign)) &&
              writeDword(key, kSubtitleEncoding, static_cast<DWORD>(data.subtitleEncoding)) &&
              writeDword(key, kSubtitleAutodetectUtf8, data.subtitleAutodetectUtf8 ? 1 : 0) &&
              writeDword(key, kSubtitleFormatted, data.subtitleFormatted ? 1 : 0);
    RegCloseKey(key);
    return ok;
}

} // namespace tavrin
