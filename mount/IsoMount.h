// Mounting disc images through the mount tool cdemu\batchmnt.exe beside the executable.
#pragma once

#include <windows.h>

#include <vector>

#include "platform/WString.h"

WString getMountToolPath();
WString findFreeDriveLetter();
// Finds the drive letter and colon before the image path in the tool's listing.
bool findMountedDrive(const WString& image, WString* drive);
// The backwards walk over a widened listing; exposed for tests.
bool findDriveInListing(const WString& listing, const WString& image, WString* drive);
bool mountImage(const WString& image, WString* driveRoot);
void unmountImage(const WString* image, bool askTool);
bool canEjectDisc();
// "Eject Disk". True when the eject request went to a physical disc: the caller then closes
// everything in the controller (PlayLogic::closeAll). Recorded images are unmounted instead.
bool ejectDisc();

// The images this program mounted, in mount order.
extern std::vector<WString> mountedImages;
// Logical drive mask source; tests replace it.
using DriveMaskFn = DWORD(WINAPI*)();
extern DriveMaskFn driveMaskSource;
