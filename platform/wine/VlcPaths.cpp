#include "platform/VlcPaths.h"

#include <stdlib.h>

extern "C" char* CDECL wine_get_unix_file_name(const WCHAR* dosName);

namespace {

// The Unix path Wine maps the Windows path to, with symbolic links resolved: Wine answers with
// a path through $WINEPREFIX/dosdevices/k:/, and libVLC's disc modules want the real folder.
// A path that does not exist keeps the unresolved form; one Wine cannot map stays as UTF-8.
std::string unixPath(const WString& path) {
    if (path.empty()) return std::string();
    char* mapped = wine_get_unix_file_name(path.c_str());
    if (!mapped) return toUtf8(path);
    std::string result(mapped);
    HeapFree(GetProcessHeap(), 0, mapped);
    if (char* resolved = realpath(result.c_str(), nullptr)) {
        result = resolved;
        free(resolved);
    }
    return result;
}

} // namespace

std::string vlcHostPath(const WString& path) {
    return unixPath(path);
}

std::string vlcDiscPath(const WString& folder) {
    std::string path = unixPath(folder);
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    if (!path.empty() && path.front() == '/') path.erase(0, 1);
    return path;
}
