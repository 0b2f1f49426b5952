#include "engine/VideoCd.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/Files.h"
#include "platform/Scoped.h"

namespace {

constexpr uint32_t kRawSector = 2352;   // a sector as a .bin stores it
constexpr uint32_t kSubheader = 16;     // after the sync pattern and the header
constexpr uint32_t kEntriesSector = 151; // ENTRIES.VCD lies at 00:04:01
constexpr uint32_t kPregap = 150;       // MSF addresses count the two-second lead-in
constexpr uint64_t kMaxCueSize = 64 * 1024;
constexpr uint32_t kMaxMargin = 300;

bool readAt(HANDLE file, uint64_t offset, void* buffer, DWORD size) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD got = 0;
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
           ReadFile(file, buffer, size, &got, nullptr) && got == size;
}

// Whether the sector carries pictures or sound: the submode's video or audio bit. The
// margins around a track hold empty real-time sectors.
bool holdsData(HANDLE file, uint32_t sector) {
    unsigned char subheader[4] = {};
    if (!readAt(file, uint64_t{sector} * kRawSector + kSubheader, subheader, sizeof subheader))
        return false;
    return (subheader[2] & 0x06) != 0;
}

int fromBcd(unsigned char value) {
    return (value >> 4) * 10 + (value & 0x0f);
}

std::vector<uint32_t> readEntries(HANDLE file) {
    unsigned char data[12 + 4 * 500] = {};
    std::vector<uint32_t> entries;
    if (!readAt(file, uint64_t{kEntriesSector} * kRawSector + 24, data, sizeof data)) return entries;
    if (std::memcmp(data, "ENTRYVCD", 8) != 0 && std::memcmp(data, "ENTRYSVD", 8) != 0)
        return entries;
    const int count = std::min((data[10] << 8) | data[11], 500);
    for (int i = 0; i < count; ++i) {
        const unsigned char* entry = data + 12 + 4 * i;
        const int frames = (fromBcd(entry[1]) * 60 + fromBcd(entry[2])) * 75 + fromBcd(entry[3]);
        if (frames >= static_cast<int>(kPregap)) entries.push_back(frames - kPregap);
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

WString withExtension(const WString& path, const wchar_t* extension) {
    const size_t dot = path.rfind(L'.');
    const size_t separator = path.find_last_of(L"\\/");
    if (dot == WString::npos || (separator != WString::npos && dot < separator)) return WString();
    return path.substr(0, dot) + extension;
}

WString folderOf(const WString& path) {
    const size_t separator = path.find_last_of(L"\\/");
    return separator == WString::npos ? WString() : path.substr(0, separator + 1);
}

} // namespace

long long VideoCdLayout::lengthMs() const {
    long long total = 0;
    for (const VideoCdTrack& track : tracks) total += track.lengthMs();
    return total;
}

long long VideoCdLayout::trackOffsetMs(int track) const {
    long long offset = 0;
    for (int i = 0; i < track && i < static_cast<int>(tracks.size()); ++i)
        offset += tracks[static_cast<size_t>(i)].lengthMs();
    return offset;
}

int VideoCdLayout::trackAt(long long discMs, long long* withinMs) const {
    long long offset = 0;
    for (size_t i = 0; i < tracks.size(); ++i) {
        const long long length = tracks[i].lengthMs();
        if (discMs < offset + length || i + 1 == tracks.size()) {
            if (withinMs) *withinMs = std::max(0LL, std::min(discMs - offset, length));
            return static_cast<int>(i);
        }
        offset += length;
    }
    if (withinMs) *withinMs = 0;
    return -1;
}

long long VideoCdLayout::entryMs(int entry) const {
    if (entry < 0 || entry >= static_cast<int>(entries.size())) return 0;
    const uint32_t sector = entries[static_cast<size_t>(entry)];
    long long offset = 0;
    for (const VideoCdTrack& track : tracks) {
        if (sector < track.nextStart) {
            const uint32_t inside = std::min(std::max(sector, track.firstData), track.endData);
            return offset + (inside - track.firstData) * 1000LL / 75;
        }
        offset += track.lengthMs();
    }
    return offset;
}

float VideoCdLayout::positionOf(int track, long long withinMs) const {
    if (track < 0 || track >= static_cast<int>(tracks.size())) return 0.0f;
    const VideoCdTrack& t = tracks[static_cast<size_t>(track)];
    const double sector = t.firstData + withinMs * 75.0 / 1000.0;
    const double span = t.nextStart > t.start ? t.nextStart - t.start : 1;
    return static_cast<float>(std::min(1.0, std::max(0.0, (sector - t.start) / span)));
}

bool parseCueSheet(const std::string& text, std::string* binName, std::vector<uint32_t>* starts,
                   std::string* reason) {
    binName->clear();
    starts->clear();
    // Sheets saved by Windows editors may start with UTF-8's byte order mark.
    size_t begin = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    bool inTrack = false;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(begin, end - begin);
        begin = end + 1;
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos) continue;
        line = line.substr(first);
        if (line.compare(0, 5, "FILE ") == 0) {
            if (!binName->empty()) {
                *reason = "the cue sheet names more than one data file";
                return false;
            }
            // FILE "name" TYPE, or FILE name TYPE when the name has no blanks around it.
            const size_t open = line.find('"');
            const size_t close = open == std::string::npos ? open : line.find('"', open + 1);
            if (close != std::string::npos) {
                *binName = line.substr(open + 1, close - open - 1);
            } else if (open == std::string::npos) {
                const size_t last = line.find_last_not_of(" \t\r");
                const size_t type = line.find_last_of(" \t", last);
                if (type > 4) *binName = line.substr(5, line.find_last_not_of(" \t", type) - 4);
            }
            if (binName->empty()) {
                *reason = "the cue sheet's FILE line names no file";
                return false;
            }
        } else if (line.compare(0, 6, "TRACK ") == 0) {
            inTrack = true;
        } else if (line.compare(0, 9, "INDEX 01 ") == 0 && inTrack) {
            int minutes = 0, seconds = 0, frames = 0;
            // At most three digits of minutes: a longer number is no time on a disc, and its
            // sectors would not fit the sum below.
            if (std::sscanf(line.c_str() + 9, "%3d:%2d:%2d", &minutes, &seconds, &frames) != 3 ||
                seconds >= 60 || frames >= 75 || minutes < 0 || seconds < 0 || frames < 0) {
                *reason = "the cue sheet has an index that is no time";
                return false;
            }
            starts->push_back(static_cast<uint32_t>((minutes * 60 + seconds) * 75 + frames));
            inTrack = false;
        } else if (line.compare(0, 4, "REM ") != 0 && line.compare(0, 6, "FLAGS ") != 0 &&
                   line.compare(0, 6, "INDEX ") != 0 && line.compare(0, 8, "PREGAP ") != 0 &&
                   line.compare(0, 9, "POSTGAP ") != 0 && line.compare(0, 8, "CATALOG ") != 0 &&
                   line.compare(0, 6, "TITLE ") != 0 && line.compare(0, 10, "PERFORMER ") != 0) {
            *reason = "the file is not a cue sheet";
            return false;
        }
    }
    if (binName->empty() || starts->empty()) {
        *reason = "the file is not a cue sheet";
        return false;
    }
    if (!std::is_sorted(starts->begin(), starts->end())) {
        *reason = "the cue sheet's tracks are out of order";
        return false;
    }
    return true;
}

WString videoCdCueOf(const WString& path) {
    const WString extension = asciiLower(path.size() >= 4 ? path.substr(path.size() - 4) : WString());
    if (extension == L".cue") return path;
    if (extension != L".bin") return WString();
    const WString cue = withExtension(path, L".cue");
    return canOpenForReading(cue) ? cue : WString();
}

bool isRawDiscImage(const WString& path) {
    static const unsigned char kSync[12] = {0x00, 0xff, 0xff, 0xff, 0xff, 0xff,
                                            0xff, 0xff, 0xff, 0xff, 0xff, 0x00};
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    unsigned char head[sizeof kSync] = {};
    return file && readAt(file.get(), 0, head, sizeof head) &&
           std::memcmp(head, kSync, sizeof kSync) == 0;
}

bool readVideoCd(const WString& cuePath, VideoCdLayout* layout, WString* reason) {
    layout->tracks.clear();
    layout->entries.clear();
    std::string text;
    {
        ScopedHandle cue(CreateFileW(cuePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
        LARGE_INTEGER size{};
        if (!cue || !GetFileSizeEx(cue.get(), &size)) {
            *reason = L"the cue sheet cannot be read";
            return false;
        }
        if (static_cast<uint64_t>(size.QuadPart) > kMaxCueSize) {
            *reason = L"the file is not a cue sheet";
            return false;
        }
        text.resize(static_cast<size_t>(size.QuadPart));
        if (!text.empty() && !readAt(cue.get(), 0, &text[0], static_cast<DWORD>(text.size()))) {
            *reason = L"the cue sheet cannot be read";
            return false;
        }
    }
    std::string binName, why;
    std::vector<uint32_t> starts;
    if (text.find('\0') != std::string::npos || !parseCueSheet(text, &binName, &starts, &why)) {
        *reason = decodeText(why.empty() ? std::string("the file is not a cue sheet") : why);
        return false;
    }
    WString bin = decodeText(binName);
    std::replace(bin.begin(), bin.end(), L'/', L'\\');
    if (!(bin.size() > 1 && (bin[1] == L':' || bin[0] == L'\\'))) bin = folderOf(cuePath) + bin;
    ScopedHandle data(CreateFileW(bin.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER size{};
    if (!data || !GetFileSizeEx(data.get(), &size)) {
        *reason = L"the data file " + decodeText(binName) + L" named by the cue sheet is missing";
        return false;
    }
    const uint32_t sectors = static_cast<uint32_t>(size.QuadPart / kRawSector);
    // The first track holds the file system; the pictures are in the tracks after it.
    for (size_t i = 1; i < starts.size(); ++i) {
        VideoCdTrack track;
        track.start = starts[i];
        track.nextStart = std::min(i + 1 < starts.size() ? starts[i + 1] : sectors, sectors);
        if (track.start >= track.nextStart) continue;
        // The margins are a few dozen sectors (the gap before the next track two seconds);
        // a track whose ends hold no marked data within that keeps its raw extent.
        track.firstData = track.start;
        while (track.firstData < track.nextStart && track.firstData - track.start < kMaxMargin &&
               !holdsData(data.get(), track.firstData))
            ++track.firstData;
        if (track.firstData - track.start >= kMaxMargin || track.firstData == track.nextStart)
            track.firstData = track.start;
        track.endData = track.nextStart;
        while (track.endData > track.firstData && track.nextStart - track.endData < kMaxMargin &&
               !holdsData(data.get(), track.endData - 1))
            --track.endData;
        if (track.nextStart - track.endData >= kMaxMargin) track.endData = track.nextStart;
        layout->tracks.push_back(track);
    }
    if (layout->tracks.empty()) {
        *reason = L"the image holds no Video CD tracks";
        return false;
    }
    for (uint32_t entry : readEntries(data.get()))
        if (entry >= layout->tracks.front().start && entry < layout->tracks.back().nextStart)
            layout->entries.push_back(entry);
    if (layout->entries.empty())
        for (const VideoCdTrack& track : layout->tracks) layout->entries.push_back(track.start);
    return true;
}
