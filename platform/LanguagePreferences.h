// Preferred languages of audio, subtitles and disc menus. Tavrin.dll keeps them in registry
// values of their own beside the preference record, whose size and layout they leave alone; the
// player reads them whenever it starts libVLC.
#pragma once

#include <windows.h>

namespace languages {

inline constexpr const wchar_t kPreferencesKey[] = L"Software\\Quondel\\Velloran\\Preferences";
inline constexpr const wchar_t kAudioValue[] = L"AudioLanguage";
inline constexpr const wchar_t kSubtitleValue[] = L"SubtitleLanguage";
inline constexpr const wchar_t kMenuValue[] = L"MenuLanguage";

// A choice as kept: an ISO 639-1 code, or "" for the default (the system's language; for
// subtitles, the disc's own choice), or for subtitles "none" or "foreign": subtitles in the
// viewer's language (the audio choice, else the system's) only while the audio is in another.
struct Language {
    const wchar_t* code;
    const wchar_t* name;
};

inline constexpr Language kLanguages[] = {
    {L"en", L"English"}, {L"fr", L"French"},  {L"de", L"German"},     {L"es", L"Spanish"},
    {L"it", L"Italian"}, {L"nl", L"Dutch"},   {L"pt", L"Portuguese"}, {L"sv", L"Swedish"},
    {L"pl", L"Polish"},  {L"ru", L"Russian"}, {L"ja", L"Japanese"},   {L"zh", L"Chinese"},
};
inline constexpr const wchar_t kNoSubtitles[] = L"none";
inline constexpr const wchar_t kForeignOnly[] = L"foreign";

struct LanguagePreferences {
    wchar_t audio[8] = {};
    wchar_t subtitle[8] = {};
    wchar_t menu[8] = {};
};

// A code the dialog offers (subtitle: "none" too); "" always is.
inline bool isKnownLanguage(const wchar_t* code, bool subtitle) {
    if (!code[0] ||
        (subtitle && (lstrcmpW(code, kNoSubtitles) == 0 || lstrcmpW(code, kForeignOnly) == 0)))
        return true;
    for (const Language& language : kLanguages)
        if (lstrcmpW(code, language.code) == 0) return true;
    return false;
}

// The three values; one that is missing, mistyped or unknown reads as "".
inline void readLanguagePreferences(LanguagePreferences& out) {
    out = LanguagePreferences{};
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kPreferencesKey, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return;
    struct Field {
        const wchar_t* value;
        wchar_t* text;
        bool subtitle;
    } const fields[] = {{kAudioValue, out.audio, false},
                        {kSubtitleValue, out.subtitle, true},
                        {kMenuValue, out.menu, false}};
    for (const Field& field : fields) {
        wchar_t text[16] = {}; // room for the longest kept value and more, which is refused
        DWORD type = 0, size = sizeof text - sizeof(wchar_t);
        if (RegQueryValueExW(key, field.value, nullptr, &type, reinterpret_cast<BYTE*>(text),
                             &size) == ERROR_SUCCESS &&
            type == REG_SZ && isKnownLanguage(text, field.subtitle))
            lstrcpynW(field.text, text, 8);
    }
    RegCloseKey(key);
}

inline bool writeLanguagePreferences(const LanguagePreferences& in) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kPreferencesKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    struct Field {
        const wchar_t* value;
        const wchar_t* text;
    } const fields[] = {
        {kAudioValue, in.audio}, {kSubtitleValue, in.subtitle}, {kMenuValue, in.menu}};
    bool ok = true;
    for (const Field& f : fields)
        ok = ok && RegSetValueExW(key, f.value, 0, REG_SZ, reinterpret_cast<const BYTE*>(f.text),
                                  static_cast<DWORD>((lstrlenW(f.text) + 1) * sizeof(wchar_t))) ==
                       ERROR_SUCCESS;
    RegCloseKey(key);
    return ok;
}

// The English name of a listed code (as libVLC names tracks: "Track 2 - [French]"); null else.
inline const wchar_t* languageName(const wchar_t* code) {
    for (const Language& language : kLanguages)
        if (lstrcmpW(code, language.code) == 0) return language.name;
    return nullptr;
}

// The two-letter code of the language the system's user interface is in; "en" when unknown.
inline void systemLanguage(wchar_t (&code)[8]) {
    const LCID locale = MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT);
    if (GetLocaleInfoW(locale, LOCALE_SISO639LANGNAME, code, 8) <= 1) lstrcpynW(code, L"en", 8);
}

} // namespace languages
