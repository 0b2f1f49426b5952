#include "playback/PlayListData.h"

#include <algorithm>

#include "engine/VideoCd.h"
#include "playback/MediaTypes.h"
#include "platform/Files.h"

namespace {

// Code units as unsigned 16-bit numbers; a prefix is less than the longer path.
bool pathLess(const PlayListEntry& a, const PlayListEntry& b) {
    return a.path.compare(b.path) < 0;
}

} // namespace

int PlayListData::buildFromPath(const WString& path) {
    if (isDirectory(path)) {
        setSingle(path);
        return count();
    }
    entries.clear();
    const size_t separator = path.rfind(L'\\');
    if (separator == WString::npos) return 0;
    const WString folder = path.substr(0, separator + 1);
    const WString pattern = folder + L"*.*";

    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        // What addFile does for each file, with the readability asked of the folder as a whole:
        // opening each file is a round trip to wineserver under Wine.
        const FolderReadCheck readable(folder);
        do {
            if (found.cFileName[0] == L'.') continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            const WString full = folder + found.cFileName;
            if (!isMediaFile(full) || !readable.canRead(found.cFileName)) continue;
            // A .bin beside its .cue is a Video CD image, not a stream to step through.
            if (!videoCdCueOf(full).empty()) continue;
            entries.push_back(PlayListEntry{full == path ? 1 : 0, full});
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    sort();
    return count();
}

bool PlayListData::isMediaFile(const WString& path) const {
    if (extensionTokens.empty()) {
        const WString& text = mediaExtensions();
        size_t start = 0;
        for (;;) {
            const size_t end = text.find(L';', start);
            extensionTokens.push_back(
                text.substr(start, end == WString::npos ? WString::npos : end - start));
            if (end == WString::npos) break;
            start = end + 1;
        }
    }
    const size_t dot = path.rfind(L'.');
    if (dot == WString::npos) return false;
    const WString extension = asciiLower(path.substr(dot));
    for (const WString& token : extensionTokens) {
        // An empty token (two separators in a row) would match everything; the lists have none.
        if (!token.empty() && extension.find(token) != WString::npos) return true;
    }
    return false;
}

void PlayListData::setSingle(const WString& path) {
    entries.clear();
    entries.push_back(PlayListEntry{1, path});
}

int PlayListData::addFile(const WString& path, int current) {
    // The type first: it costs nothing, while opening a file is a system call.
    if (!isMediaFile(path)) return -1;
    if (!canOpenForReading(path)) return -1;
    entries.push_back(PlayListEntry{current, path});
    return count() - 1;
}

void PlayListData::sort() {
    // Stable, so equal paths keep their places, as they do in an exchange sort that swaps only
    // on "strictly less".
    std::stable_sort(entries.begin(), entries.end(), pathLess);
}

int PlayListData::currentIndex() const {
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].current != 0) return static_cast<int>(i);
    return -1;
}

void PlayListData::setCurrent(int index) {
    if (index < 0 || index >= count()) return;
    for (size_t i = 0; i < entries.size(); ++i)
        entries[i].current = static_cast<int>(i) == index ? 1 : 0;
}

WString PlayListData::entryPath(int index) const {
    if (index < 0 || index >= count()) return WString();
    return entries[static_cast<size_t>(index)].path;
}

bool PlayListData::remove(int index) {
    if (index < 0 || index >= count()) return false;
    entries.erase(entries.begin() + index);
    return true;
}

void PlayListData::clear() {
    entries.clear();
}
