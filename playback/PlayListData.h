// The folder play list: the media files of the current file's folder in code-unit order, one
// of them current; for a disc or disc folder the single folder.
#pragma once

#include <vector>

#include "platform/WString.h"

struct PlayListEntry {
    int current = 0; // 1 for the current entry
    WString path;
};

class PlayListData {
public:
    virtual ~PlayListData() = default;

    int buildFromPath(const WString& path);
    // A list of the one source alone (a disc image played without a drive).
    void setSingle(const WString& path);
    bool isMediaFile(const WString& path) const;
    int addFile(const WString& path, int current);
    void sort();
    int currentIndex() const;
    void setCurrent(int index);
    WString entryPath(int index) const;
    bool remove(int index);
    void clear();
    int count() const { return static_cast<int>(entries.size()); }

    std::vector<PlayListEntry> entries;
    // The media extensions, split once on first use.
    mutable std::vector<WString> extensionTokens;
};
