#include "platform/MountManager.h"

bool defineUnixDrive(wchar_t, UINT, const std::string&) { return false; }

bool removeUnixDrive(wchar_t) { return false; }
