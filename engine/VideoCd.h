// A Video CD image (.cue and .bin) read far enough to play it as a disc: where each MPEG
// track's pictures begin and end, and the disc's entry points. libVLC reads such an image
// track by track ("vcd://" with the .cue and "#track"), but reports a length computed from
// the raw sectors and has no entry points for an image; the player takes both from here. A
// Video CD plays at 75 sectors a second, so a sector count is a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/WString.h"

struct VideoCdTrack {
    uint32_t start = 0;     // the track's first sector (its INDEX 01) in the .bin
    uint32_t nextStart = 0; // where the next track starts, or the end of the .bin
    uint32_t firstData = 0; // the first sector that holds pictures or sound
    uint32_t endData = 0;   // one past the last such sector

    long long lengthMs() const { return (endData - firstData) * 1000LL / 75; }
};

struct VideoCdLayout {
    std::vector<VideoCdTrack> tracks; // the MPEG tracks (the disc's second track onwards)
    std::vector<uint32_t> entries;    // entry points as sectors of the .bin, ascending

    long long lengthMs() const;
    // Where a track begins on the disc's clock.
    long long trackOffsetMs(int track) const;
    // The track and the time within it of a point on the disc's clock.
    int trackAt(long long discMs, long long* withinMs) const;
    // An entry point on the disc's clock.
    long long entryMs(int entry) const;
    // libVLC's position (0..1 over the track's sectors) for a time within a track.
    float positionOf(int track, long long withinMs) const;
};

// The data file a cue sheet names, and the INDEX 01 sector of each of its tracks. False, with
// a reason a user can read, when the text is no cue sheet of one binary file.
bool parseCueSheet(const std::string& text, std::string* binName, std::vector<uint32_t>* starts,
                   std::string* reason);

// The .cue that describes a disc image: the path itself for a .cue, the .cue of the same name
// beside a .bin; empty for every other path.
WString videoCdCueOf(const WString& path);

// Whether the file begins with a raw CD sector (the sync pattern a .bin image starts with).
bool isRawDiscImage(const WString& path);

// Reads the cue sheet, the track extents and the entry points of the image behind a .cue.
bool readVideoCd(const WString& cuePath, VideoCdLayout* layout, WString* reason);
