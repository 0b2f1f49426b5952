#include "platform/VirtualDrive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

bool imagesCanBeMounted(WString* reason) {
    // The image server mounts through /dev/fuse: it must be the FUSE device (10, 229), and
    // one this user may open. A container often has none, or a stand-in.
    struct stat device {};
    bool usable = stat("/dev/fuse", &device) == 0 && S_ISCHR(device.st_mode) &&
                  major(device.st_rdev) == 10 && minor(device.st_rdev) == 229;
    if (usable) {
        const int fd = open("/dev/fuse", O_RDWR | O_CLOEXEC);
        usable = fd >= 0;
        if (fd >= 0) close(fd);
    }
    if (!usable && reason) *reason = L"FUSE (/dev/fuse) is not available on this system";
    return usable;
}
