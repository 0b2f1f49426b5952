// STUB: replaced by the real implementation.
#include "playback/DiscDetect.h"
DiscKind detectDiscKind(const WString&) { return 0; }
wchar_t findDiscDrive(DWORD, DiscKind* kind) { if (kind) *kind = 0; return 0; }
