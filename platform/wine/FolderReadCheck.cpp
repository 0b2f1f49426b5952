#include "platform/Files.h"

#include <windows.h>

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

extern "C" char* CDECL wine_get_unix_file_name(const WCHAR* dosName);

FolderReadCheck::FolderReadCheck(const WString& folder) : folder(folder) {
    char* host = wine_get_unix_file_name(folder.c_str());
    if (!host) return;
    hostFolder = open(host, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    HeapFree(GetProcessHeap(), 0, host);
}

FolderReadCheck::~FolderReadCheck() {
    if (hostFolder >= 0) close(hostFolder);
}

bool FolderReadCheck::canRead(const WString& name) const {
    if (hostFolder >= 0) {
        // Wine spells host names as UTF-8; a name it had to map (characters Windows forbids,
        // bytes that are not UTF-8) is not found so and is opened the Windows way instead.
        if (faccessat(hostFolder, toUtf8(name).c_str(), R_OK, 0) == 0) return true;
        if (errno != ENOENT) return false;
    }
    return canOpenForReading(folder + name);
}
