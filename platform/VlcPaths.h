// Paths at the libVLC boundary. The program works with Windows paths; libVLC takes UTF-8 paths
// of the host it runs on: on Windows the same path, under Wine the Unix path behind it.
#pragma once

#include <string>

#include "platform/WString.h"

// A file or folder as libVLC opens it by path (media files, subtitle files, the snapshot folder).
std::string vlcHostPath(const WString& path);

// A folder as the part of a disc location that follows "dvd:///": on Windows the path itself
// ("D:\", "E:\Rips\Film"), under Wine the resolved Unix folder without its leading slash (so
// that "dvd:///" + it is "dvd:///media/disc").
std::string vlcDiscPath(const WString& folder);
