// STUB: replaced by the real implementation.
#include "mount/IsoMount.h"
std::vector<WString> mountedImages;
DriveMaskFn driveMaskSource = &GetLogicalDrives;
WString getMountToolPath() { return WString(); }
WString findFreeDriveLetter() { return WString(); }
bool findMountedDrive(const WString&, WString*) { return false; }
bool findDriveInListing(const WString&, const WString&, WString*) { return false; }
bool mountImage(const WString&, WString*) { return false; }
void unmountImage(const WString*, bool) {}
bool canEjectDisc() { return false; }
void ejectDisc() {}
