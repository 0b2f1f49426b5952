// Questions about paths on the file system.
#pragma once

#include "platform/WString.h"

// True for an existing folder (a drive root included).
bool isDirectory(const WString& path);
// True when the file can be opened for reading; folders cannot, as with fopen's "r".
bool canOpenForReading(const WString& path);

// Whether the files of one folder can be read, asked for many names in a row. Under Wine the
// host's own permission check answers (the file exists and may be read) without a round trip to
// wineserver per file; a name the host does not know as spelled is opened as canOpenForReading
// would. Sharing locks that other Windows programs hold are not seen there: such a file fails
// later, when it is opened to play. On Windows every name is opened for reading.
class FolderReadCheck {
public:
    // folder ends with "\".
    explicit FolderReadCheck(const WString& folder);
    ~FolderReadCheck();
    FolderReadCheck(const FolderReadCheck&) = delete;
    FolderReadCheck& operator=(const FolderReadCheck&) = delete;
    // name: a file name found in the folder.
    bool canRead(const WString& name) const;

private:
    WString folder;
    int hostFolder = -1; // a descriptor of the folder on the host, -1 none
};
