// The program's access to Tavrin.dll, which keeps the preference record, and to brellix.dll.
#pragma once

#include <windows.h>

#include "platform/PreferenceRecord.h"

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
