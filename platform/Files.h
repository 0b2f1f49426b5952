// Questions about paths on the file system.
#pragma once

#include "platform/WString.h"

// True for an existing folder (a drive root included).
bool isDirectory(const WString& path);
// True when the file can be opened for reading; folders cannot, as with fopen's "r".
bool canOpenForReading(const WString& path);
