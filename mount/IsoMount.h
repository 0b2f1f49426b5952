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
// The drive of the mount command's answer for an image that was mounted before:
// "K: <image> (already mounted)".
bool findAlreadyMountedDrive(const WString& answer, WString* drive);
// reason: on failure, what the tool said went wrong (empty when it said nothing).
bool mountImage(const WString& image, WString* driveRoot, WString* reason = nullptr);
void unmountImage(const WString* image, bool askTool);
// Unmounts the images an earlier run mounted and left behind (it was killed or crashed), as
// its record in the registry names them. Only for a start with no other instance running,
// whose mounts are in the same record.
void unmountLeftBehind();
// Called now and then from the user-interface thread: once the tool has been left alone for a
// moment, has it started and waiting for its next command, so that mounting an image does not
// wait for a process start.
void keepMountToolReady();
// At exit: lets the waiting tool go.
void releaseMountTool();
// Whether "Eject Disk" can act: nothing plays (active: media is playing or paused), and there
// are recorded images or the drive of currentPath opens as a device.
bool canEjectDisc(const WString& currentPath, bool active);
// "Eject Disk". True when the eject request went to a physical disc: the caller then closes
// everything in the controller (PlayLogic::closeAll). Recorded images are unmounted instead.
bool ejectDisc(const WString& currentPath, bool active);

// The images this program mounted, in mount order.
extern std::vector<WString> mountedImages;
// Logical drive mask source; tests replace it.
using DriveMaskFn = DWORD(WINAPI*)();
extern DriveMaskFn driveMaskSource;
