// Defining and removing drive letters at run time through Wine's mount manager, also from Windows
// binaries running under Wine. On Windows the system does this itself for attached virtual
// disks, so there these report failure.
#pragma once

#include <windows.h>

#include <string>

// Defines letter (A-Z) as a drive of the given type (DRIVE_CDROM, DRIVE_FIXED) over the Unix
// folder; true on success.
bool defineUnixDrive(wchar_t letter, UINT driveType, const std::string& unixFolder);
// Removes the letter again.
bool removeUnixDrive(wchar_t letter);
