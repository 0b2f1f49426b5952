#include "platform/MountManager.h"

#include <winioctl.h>

#include <cstring>
#include <vector>

// Windows binaries also run under Wine (the mount tool does), where the mount manager has an
// extension that defines drive letters over Unix folders. MinGW's headers lack it, so its
// request and record are declared here as Wine defines them. On Windows the request is
// unknown to the mount manager and fails.
namespace {

const DWORD kMountMgrType = 0x0000006D; // 'm'
const DWORD kDefineUnixDrive =
    CTL_CODE(kMountMgrType, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

struct UnixDriveRecord {
    ULONG size;
    ULONG type;
    ULONG fs_type;
    DWORD serial;
    ULONGLONG unix_dev;
    WCHAR letter;
    USHORT mount_point_offset;
    USHORT device_offset;
    USHORT label_offset;
};

bool sendDefine(wchar_t letter, UINT driveType, const std::string& unixFolder) {
    HANDLE mgr = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (mgr == INVALID_HANDLE_VALUE) return false;
    size_t size = sizeof(UnixDriveRecord) + unixFolder.size() + 1;
    std::vector<char> buffer(size, 0);
    auto* drive = reinterpret_cast<UnixDriveRecord*>(buffer.data());
    drive->size = static_cast<ULONG>(size);
    drive->type = driveType;
    drive->letter = static_cast<WCHAR>(letter | 0x20); // the manager wants a lower-case letter
    if (!unixFolder.empty()) {
        drive->mount_point_offset = sizeof(UnixDriveRecord);
        memcpy(buffer.data() + sizeof(UnixDriveRecord), unixFolder.c_str(), unixFolder.size());
    }
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(mgr, kDefineUnixDrive, buffer.data(), static_cast<DWORD>(size),
                              nullptr, 0, &returned, nullptr);
    CloseHandle(mgr);
    return ok != FALSE;
}

} // namespace

bool defineUnixDrive(wchar_t letter, UINT driveType, const std::string& unixFolder) {
    return sendDefine(letter, driveType, unixFolder);
}

bool removeUnixDrive(wchar_t letter) { return sendDefine(letter, DRIVE_NO_ROOT_DIR, std::string()); }
