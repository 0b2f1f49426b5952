// Mounting disc images through the mount tool cdemu\batchmnt.exe beside the executable.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/WString.h"

WString getMountToolPath();
// The backwards walk over a widened listing; exposed for tests.
bool findDriveInListing(const WString& listing, const WString& image, WString* drive);
// The drive of the mount command's answer for an image that was mounted before:
// "K: <image> (already mounted)".
bool findAlreadyMountedDrive(const WString& answer, WString* drive);

// The images this program mounted through the mount tool, the record of them in the registry
// that a run after a crash reads, and the tool's standby. One exists, held by the program's
// owner object; everything here runs on the GUI thread.
class ImageMounts {
public:
    using DriveMaskFn = DWORD(WINAPI*)();
    // mask: the logical drive mask; tests replace it.
    ImageMounts() = default;
    explicit ImageMounts(DriveMaskFn mask) : driveMask(mask) {}
    ImageMounts(const ImageMounts&) = delete;
    ImageMounts& operator=(const ImageMounts&) = delete;
    ImageMounts(ImageMounts&&) = default;
    ImageMounts& operator=(ImageMounts&&) = default;

    WString findFreeDriveLetter() const;
    // Finds the drive letter and colon before the image path in the tool's listing.
    bool findMountedDrive(const WString& image, WString* drive);
    // reason: on failure, what the tool said went wrong (empty when it said nothing).
    bool mountImage(const WString& image, WString* driveRoot, WString* reason = nullptr);
    // image null: every image this program mounted, the newest first.
    void unmountImage(const WString* image, bool askTool);
    // Every image this program mounted goes, and its record with it.
    void releaseAll() { unmountImage(nullptr, true); }
    // Unmounts the images an earlier run mounted and left behind (it was killed or crashed), as
    // its record in the registry names them. Only for a start with no other instance running,
    // whose mounts are in the same record.
    void unmountLeftBehind();
    // Called now and then from the GUI thread: once the tool has been left alone for a moment,
    // has it started and waiting for its next command, so that mounting an image does not wait
    // for a process start.
    void keepToolReady();
    // At exit: lets the waiting tool go.
    void releaseTool();
    // Whether "Eject Disk" can act: nothing plays (active: media is playing or paused), and
    // there are recorded images or the drive of currentPath opens as a device.
    bool canEjectDisc(const WString& currentPath, bool active) const;
    // "Eject Disk". True when the eject request went to a physical disc: the caller then closes
    // everything in the controller (PlayLogic::closeAll). Recorded images are unmounted instead.
    bool ejectDisc(const WString& currentPath, bool active);
    // The images this program mounted, in mount order.
    const std::vector<WString>& images() const { return mountedImages; }

private:
    void noteMounted(const WString& image);
    // One run of the tool with these arguments, on its standby when one is waiting.
    bool runTool(const WString& tool, const WString& arguments, std::string* output);
    // The tool's listing (UTF-8; a tool that writes Latin-1 bytes reads as before); empty when
    // the tool cannot run.
    WString toolListing(const WString& tool);

    DriveMaskFn driveMask = &GetLogicalDrives;
    // Invariant: each image at most once.
    std::vector<WString> mountedImages;
    // When the tool last finished a command (or, before any, when it was first asked about).
    ULONGLONG toolQuietSince = 0;
    // The tool's standby command, once the tool has been found.
    WString standby;
};
