#include "platform/Files.h"

#include <windows.h>

#include "platform/Scoped.h"

bool isDirectory(const WString& path) {
    if (path.empty()) return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool canOpenForReading(const WString& path) {
    if (path.empty()) return false;
    // Without FILE_FLAG_BACKUP_SEMANTICS a folder does not open, so only files pass.
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file);
}
