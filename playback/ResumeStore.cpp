#include "playback/ResumeStore.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/Scoped.h"

namespace {

constexpr long long kEdgeMs = 30000;
// Version 1 entries hold the position alone; version 2 adds the audio and subtitle tracks.
constexpr DWORD kPositionVersion = 1;
constexpr DWORD kRecordVersion = 2;
constexpr size_t kTrackNameBytes = 32;
// Registry value names are at most 16,383 characters.
constexpr DWORD kNameCapacity = 16384;

// One entry as stored: a REG_BINARY value of exactly this size, named by the source's key.
// order grows with every write, so the smallest belongs to the source used longest ago.
struct StoredPoint {
    uint32_t version;
    int32_t title;
    int32_t chapter;
    uint32_t reserved;
    int64_t time;
    int64_t length;
    uint64_t order;
};
static_assert(sizeof(StoredPoint) == 40, "the stored position is 40 bytes");

// Version 2: the position, then the tracks; names cut to 31 bytes and zero-terminated.
struct StoredRecord {
    StoredPoint point;
    int32_t audio;
    int32_t subtitle;
    char audioName[kTrackNameBytes];
    char subtitleName[kTrackNameBytes];
};
static_assert(sizeof(StoredRecord) == 112, "the stored entry is 112 bytes");

// False for a value of another type or size, of another version, or holding a position that
// would not have been kept.
bool readPoint(HKEY key, const wchar_t* name, StoredRecord* out) {
    StoredRecord record{};
    DWORD type = 0;
    DWORD size = sizeof record;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&record), &size) !=
        ERROR_SUCCESS)
        return false; // also ERROR_MORE_DATA: an oversized value
    const uint32_t version = record.point.version;
    if (type != REG_BINARY || !((version == kRecordVersion && size == sizeof record) ||
                                (version == kPositionVersion && size == sizeof(StoredPoint))))
        return false;
    if (version == kPositionVersion) record.audio = record.subtitle = TrackChoice::kNoTrack;
    if (record.point.title < -1 || record.point.chapter < -1) return false;
    if (!ResumeStore::worthKeeping(record.point.time, record.point.length)) return false;
    record.audioName[kTrackNameBytes - 1] = record.subtitleName[kTrackNameBytes - 1] = 0;
    *out = record;
    return true;
}

void storeName(char (&field)[kTrackNameBytes], const std::string& name) {
    const size_t n = name.size() < kTrackNameBytes - 1 ? name.size() : kTrackNameBytes - 1;
    std::memcpy(field, name.data(), n);
    field[n] = 0;
}

} // namespace

ResumeStore::ResumeStore(WString key) : subKey(std::move(key)) {}

bool ResumeStore::worthKeeping(long long time, long long length) {
    if (length <= 0 || time < kEdgeMs || time > length - kEdgeMs) return false;
    // time < 95 % of length, in integers that cannot overflow for any stored length.
    return time < length - length / 20;
}

WString ResumeStore::pathKey(const WString& path) {
    wchar_t full[MAX_PATH * 4] = {};
    DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
    WString key = n > 0 && n < MAX_PATH * 4 ? WString(full, n) : path;
    // Windows paths do not tell case apart.
    if (!key.empty()) CharLowerBuffW(&key[0], static_cast<DWORD>(key.size()));
    return key;
}

WString ResumeStore::discKey(const WString& root) {
    const bool driveRoot = root.size() == 3 && root[1] == L':' && root[2] == L'\\';
    wchar_t label[MAX_PATH + 1] = {};
    DWORD serial = 0;
    if (driveRoot && GetVolumeInformationW(root.c_str(), label, MAX_PATH + 1, &serial, nullptr,
                                           nullptr, nullptr, 0))
        return formatWide(L"volume %08X %s", static_cast<int>(serial), label);
    return pathKey(root);
}

bool ResumeStore::find(const WString& name, ResumePoint* point) const {
    ScopedKey key;
    if (name.empty() ||
        RegOpenKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_READ, key.out()) != ERROR_SUCCESS)
        return false;
    StoredRecord record{};
    if (!readPoint(key.get(), name.c_str(), &record)) return false;
    point->title = record.point.title;
    point->chapter = record.point.chapter;
    point->time = record.point.time;
    point->length = record.point.length;
    point->audio = TrackChoice{record.audio, record.audioName};
    point->subtitle = TrackChoice{record.subtitle, record.subtitleName};
    return true;
}

void ResumeStore::forget(const WString& name) {
    ScopedKey key;
    if (name.empty() || RegOpenKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_SET_VALUE,
                                      key.out()) != ERROR_SUCCESS)
        return;
    RegDeleteValueW(key.get(), name.c_str());
}

void ResumeStore::remember(const WString& name, const ResumePoint& point) {
    if (name.empty()) return;
    if (!worthKeeping(point.time, point.length)) {
        forget(name);
        return;
    }
    ScopedKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, nullptr, 0,
                        KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, key.out(),
                        nullptr) != ERROR_SUCCESS) {
        OutputDebugStringW(L"ResumeStore: the key could not be created\n");
        return;
    }
    // Every entry with its order; unreadable ones count as the oldest.
    std::vector<std::pair<uint64_t, WString>> entries;
    std::vector<wchar_t> buffer(kNameCapacity);
    for (DWORD i = 0;; ++i) {
        DWORD length = kNameCapacity;
        LONG result =
            RegEnumValueW(key.get(), i, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
        // Any other failure (the key deleted meanwhile) would fail for every index after it.
        if (result != ERROR_SUCCESS) break;
        WString entry(buffer.data(), length);
        StoredRecord record{};
        const uint64_t order =
            readPoint(key.get(), entry.c_str(), &record) ? record.point.order : 0;
        if (entry != name) entries.emplace_back(order, std::move(entry));
    }
    uint64_t next = 1;
    for (const auto& entry : entries)
        next = std::max(next, entry.first + 1);
    StoredRecord record{};
    record.point =
        StoredPoint{kRecordVersion, point.title, point.chapter, 0, point.time, point.length, next};
    record.audio = point.audio.id;
    record.subtitle = point.subtitle.id;
    storeName(record.audioName, point.audio.name);
    storeName(record.subtitleName, point.subtitle.name);
    if (RegSetValueExW(key.get(), name.c_str(), 0, REG_BINARY,
                       reinterpret_cast<const BYTE*>(&record), sizeof record) != ERROR_SUCCESS) {
        OutputDebugStringW(L"ResumeStore: the entry could not be written\n");
        return;
    }
    // The new entry and the kMaxEntries - 1 most recent others stay.
    if (static_cast<int>(entries.size()) < kMaxEntries) return;
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    const size_t surplus = entries.size() - (kMaxEntries - 1);
    for (size_t i = 0; i < surplus; ++i)
        RegDeleteValueW(key.get(), entries[i].second.c_str());
}

int ResumeStore::count() const {
    ScopedKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_QUERY_VALUE, key.out()) !=
        ERROR_SUCCESS)
        return 0;
    DWORD values = 0;
    if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    return static_cast<int>(values);
}
