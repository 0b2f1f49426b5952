// Where the viewer left off in each source, kept in the registry: a file and a disc image by
// their path, a disc in a drive by its volume. At most kMaxEntries sources are kept; the one
// used longest ago goes first.
#pragma once

#include <windows.h>

#include <string>

#include "platform/WString.h"

// An audio or subtitle track the viewer had on: its id and its name (UTF-8), by which it is
// found again where a source numbers its tracks otherwise the next time. id kNoTrack: none noted.
struct TrackChoice {
    static constexpr int kNoTrack = -2;
    int id = kNoTrack;
    std::string name;
};

struct ResumePoint {
    // Discs: the title and chapter ids; -1 for a file.
    int title = -1;
    int chapter = -1;
    // Milliseconds into the file or the title, and its length.
    long long time = 0;
    long long length = 0;
    TrackChoice audio;
    TrackChoice subtitle;
};

class ResumeStore {
public:
    static constexpr int kMaxEntries = 200;

    // subKey: under HKEY_CURRENT_USER, created on the first write.
    explicit ResumeStore(WString subKey);

    // Near either end a position is not worth returning to: not in the first or last 30 s, nor
    // in the last 5 % of the file or title.
    static bool worthKeeping(long long time, long long length);
    // The names sources are kept under: the full path, lower-cased, for a file, an image or a
    // disc folder; the volume serial number and label for the root of a drive.
    static WString pathKey(const WString& path);
    static WString discKey(const WString& root);

    // False when the source has no entry or its entry is unreadable.
    bool find(const WString& key, ResumePoint* point) const;
    // Keeps the point as the source's latest, or forgets the source when the point is not worth
    // keeping.
    void remember(const WString& key, const ResumePoint& point);
    void forget(const WString& key);
    // The entries held, readable or not.
    int count() const;

private:
    WString subKey;
};
