#include "platform/MountManager.h"

#include <winioctl.h>
#define WINE_MOUNTMGR_EXTENSIONS
#include <ddk/mountmgr.h>

#include <vector>

namespace {

bool sendDefine(wchar_t letter, UINT driveType, const std::string& unixFolder) {
    HANDLE mgr = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (mgr == INVALID_HANDLE_VALUE) return false;
    size_t size = sizeof(mountmgr_unix_drive) + unixFolder.size() + 1;
    std::vector<char> buffer(size, 0);
    auto* drive = reinterpret_cast<mountmgr_unix_drive*>(buffer.data());
    drive->size = static_cast<ULONG>(size);
    drive->type = driveType;
    drive->fs_type = 0;
    drive->letter = static_cast<WCHAR>(letter | 0x20); // the manager wants a lower-case letter
    if (!unixFolder.empty()) {
        drive->mount_point_offset = sizeof(mountmgr_unix_drive);
        memcpy(buffer.data() + sizeof(mountmgr_unix_drive), unixFolder.c_str(), unixFolder.size());
    }
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(mgr, IOCTL_MOUNTMGR_DEFINE_UNIX_DRIVE, buffer.data(),
                              static_cast<DWORD>(size), nullptr, 0, &returned, nullptr);
    CloseHandle(mgr);
    return ok != FALSE;
}

} // namespace

bool defineUnixDrive(wchar_t letter, UINT driveType, const std::string& unixFolder) {
    return sendDefine(letter, driveType, unixFolder);
}

bool removeUnixDrive(wchar_t letter) { return sendDefine(letter, DRIVE_NO_ROOT_DIR, std::string()); }
