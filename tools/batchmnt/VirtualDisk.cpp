#include "tools/batchmnt/VirtualDisk.h"

#include <windows.h>
#include <initguid.h>
#include <virtdisk.h>

namespace {

HANDLE openIso(const WString& image, VIRTUAL_DISK_ACCESS_MASK access) {
    VIRTUAL_STORAGE_TYPE type = {VIRTUAL_STORAGE_TYPE_DEVICE_ISO,
                                 VIRTUAL_STORAGE_TYPE_VENDOR_MICROSOFT};
    OPEN_VIRTUAL_DISK_PARAMETERS params = {};
    params.Version = OPEN_VIRTUAL_DISK_VERSION_1;
    HANDLE disk = nullptr;
    if (OpenVirtualDisk(&type, image.c_str(), access, OPEN_VIRTUAL_DISK_FLAG_NONE, &params,
                        &disk) != ERROR_SUCCESS)
        return nullptr;
    return disk;
}

} // namespace

bool attachIsoImage(const WString& image, wchar_t letter, std::string* error) {
    HANDLE disk = openIso(image, VIRTUAL_DISK_ACCESS_READ);
    if (!disk) {
        *error = "cannot open the image as a virtual disk";
        return false;
    }
    DWORD before = GetLogicalDrives();
    ATTACH_VIRTUAL_DISK_PARAMETERS params = {};
    params.Version = ATTACH_VIRTUAL_DISK_VERSION_1;
    DWORD rc = AttachVirtualDisk(disk, nullptr,
                                 static_cast<ATTACH_VIRTUAL_DISK_FLAG>(
                                     ATTACH_VIRTUAL_DISK_FLAG_READ_ONLY |
                                     ATTACH_VIRTUAL_DISK_FLAG_PERMANENT_LIFETIME),
                                 0, &params, nullptr);
    CloseHandle(disk);
    if (rc != ERROR_SUCCESS) {
        *error = "the virtual disk service did not attach the image";
        return false;
    }
    // The system gives the new volume a letter of its own; move it to the one asked for.
    DWORD added = 0;
    for (int i = 0; i < 100 && !added; ++i) {
        added = GetLogicalDrives() & ~before;
        if (!added) Sleep(50);
    }
    for (wchar_t l = L'A'; l <= L'Z'; ++l) {
        if (!(added & (1u << (l - L'A')))) continue;
        if (l == letter) return true;
        WString from = WString(1, l) + L":\\";
        WString to = WString(1, letter) + L":\\";
        wchar_t volume[64] = {};
        if (GetVolumeNameForVolumeMountPointW(from.c_str(), volume, 64) &&
            DeleteVolumeMountPointW(from.c_str()) && SetVolumeMountPointW(to.c_str(), volume))
            return true;
    }
    *error = "the attached image did not get the drive letter";
    detachIsoImage(image);
    return false;
}

void detachIsoImage(const WString& image) {
    HANDLE disk = openIso(image, VIRTUAL_DISK_ACCESS_DETACH);
    if (!disk) return;
    DetachVirtualDisk(disk, DETACH_VIRTUAL_DISK_FLAG_NONE, 0);
    CloseHandle(disk);
}
