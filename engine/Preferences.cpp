// STUB: replaced by the real implementation.
#include "engine/Preferences.h"
namespace components {
GetPreferenceDataFn getPreferenceData() { return nullptr; }
OpenPreferenceDialogFn openPreferenceDialog() { return nullptr; }
OpenFileDialogFn openFileDialog() { return nullptr; }
BrellixShowFn brellixShow() { return nullptr; }
void defaultPreferenceData(PreferenceData& out) { out = PreferenceData{}; }
}
