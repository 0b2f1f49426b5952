// The preference record's storage: one value per field under a registry key of its own.
#pragma once

#include "platform/LanguagePreferences.h"
#include "platform/PreferenceRecord.h"

namespace tavrin {

// The preferred languages are kept under the same key (platform/LanguagePreferences.h).
inline constexpr const wchar_t* kRegistryKey = languages::kPreferencesKey;

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
