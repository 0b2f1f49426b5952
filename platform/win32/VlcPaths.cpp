#include "platform/VlcPaths.h"

std::string vlcHostPath(const WString& path) {
    return toUtf8(path);
}

std::string vlcDiscPath(const WString& folder) {
    return toUtf8(folder);
}
