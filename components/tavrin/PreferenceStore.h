// The preference record's storage: one value per field under a registry key of its own.
#pragma once

#include "platform/PreferenceRecord.h"

namespace tavrin {

inline constexpr const wchar_t kRegistryKey[] = L"Software\\Quondel\\Velloran\\Preferences";

// Reads every field; a missing value, or one of the wrong type, size or range, gives that
// field's default. Never fails.
void loadPreferences(PreferenceData& out);
// Writes every field of a record that passes validate(); false when it does not or when the
// registry refuses.
bool savePreferences(const PreferenceData& data);
// True when every field is within what the program and the dialog accept.
bool isValidFolderText(const wchar_t* text);
bool isValidFontName(const wchar_t* text);
bool validate(const PreferenceData& data);
// Field-by-field equality (the unused bytes are ignored).
bool samePreferences(const PreferenceData& a, const PreferenceData& b);

} // namespace tavrin
