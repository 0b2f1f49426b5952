#include "playback/DiscDetect.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/Scoped.h"

namespace {

struct StructureTest {
    DiscKind kind;
    const wchar_t* folder; // below the root, with a trailing separator
};

// In the order of the tests: a root holding more than one structure is reported by the first.
constexpr StructureTest kStructureTests[] = {
    {DiscKind::Dvd, L"VIDEO_TS\\"},
    {DiscKind::BluRay, L"BDMV\\STREAM\\"},
    {DiscKind::VideoCd, L"MPEGAV\\"},
};

bool testPathExists(const WString& path) {
    // Test paths live in MAX_PATH buffers; a longer one cannot name a disc structure.
    if (path.size() >= MAX_PATH) return false;
    return PathFileExistsW(path.c_str()) != FALSE;
}

// The whole of a small file; empty when it cannot be read or is larger than limit.
std::vector<unsigned char> readSmallFile(const WString& path, DWORD limit) {
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    std::vector<unsigned char> data;
    const DWORD size = file ? GetFileSize(file.get(), nullptr) : INVALID_FILE_SIZE;
    if (size == INVALID_FILE_SIZE || size > limit) return data;
    data.resize(size);
    DWORD got = 0;
    if (!ReadFile(file.get(), data.data(), size, &got, nullptr) || got != size) data.clear();
    return data;
}

unsigned readBig(const std::vector<unsigned char>& data, size_t at, int bytes) {
    unsigned value = 0;
    for (int i = 0; i < bytes; ++i)
        value = value << 8 | data[at + i];
    return value;
}

// The clips a movie playlist (PLAYLIST\*.mpls) plays, by their five-digit names: the main clip
// of each play item. Empty for a file that is no playlist or is cut short.
std::vector<WString> playlistClips(const std::vector<unsigned char>& mpls) {
    std::vector<WString> clips;
    if (mpls.size() < 40 || std::memcmp(mpls.data(), "MPLS", 4) != 0) return clips;
    size_t at = readBig(mpls, 8, 4);
    if (at + 10 > mpls.size()) return clips;
    const unsigned items = readBig(mpls, at + 6, 2);
    at += 10;
    for (unsigned i = 0; i < items && at + 11 <= mpls.size(); ++i) {
        clips.emplace_back(mpls.begin() + static_cast<long>(at) + 2,
                           mpls.begin() + static_cast<long>(at) + 7);
        at += 2 + readBig(mpls, at, 2);
    }
    return clips;
}

// The first problem check finds with a file matching pattern, in the order the folder lists
// them; empty when none has one.
template <typename Check> WString firstProblemAmong(const WString& pattern, Check check) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return WString();
    WString problem;
    do
        problem = check(WString(found.cFileName));
    while (problem.empty() && FindNextFileW(search, &found));
    FindClose(search);
    return problem;
}

// "The Blu-ray's playlist N names the clip C, ..." for the first play item whose stream file
// is missing; empty when every playlist's clips are there.
WString missingPlaylistClip(const WString& bdmv) {
    return firstProblemAmong(bdmv + L"PLAYLIST\\*.mpls", [&bdmv](const WString& name) {
        for (const WString& clip :
             playlistClips(readSmallFile(bdmv + L"PLAYLIST\\" + name, 1 << 20))) {
            if (!testPathExists(bdmv + L"STREAM\\" + clip + L".m2ts"))
                return L"The Blu-ray's playlist " + name + L" names the clip " + clip +
                       L", which is not on the disc (BDMV\\STREAM\\" + clip + L".m2ts).";
        }
        return WString();
    });
}

// The JAR files of the Java object's application cache (type 1 entries), by their five-character
// names. The object is the type and version, a 40-byte address table, the terminal information
// and then the cache: a length, the entry count, a pad byte and entries of 12 bytes.
std::vector<std::string> javaObjectJars(const std::vector<unsigned char>& data) {
    std::vector<std::string> jars;
    if (data.size() < 52 || std::memcmp(data.data(), "BDJO", 4) != 0) return jars;
    const size_t cache = 52 + readBig(data, 48, 4);
    if (cache + 6 > data.size()) return jars;
    const size_t count = data[cache + 4];
    for (size_t i = 0, at = cache + 6; i < count && at + 12 <= data.size(); ++i, at += 12)
        if (data[at] == 1) jars.emplace_back(reinterpret_cast<const char*>(&data[at + 1]), 5);
    return jars;
}

// A Java object that names a JAR the disc does not hold: the disc's Java cannot start.
WString missingJavaArchive(const WString& bdmv) {
    return firstProblemAmong(bdmv + L"BDJO\\*.bdjo", [&bdmv](const WString& name) {
        const WString object = L"BDJO\\" + name;
        for (const std::string& jarName : javaObjectJars(readSmallFile(bdmv + object, 65536))) {
            const WString jar = L"JAR\\" + fromUtf8(jarName) + L".jar";
            if (!testPathExists(bdmv + jar))
                return L"The Blu-ray's Java object BDMV\\" + object + L" names BDMV\\" + jar +
                       L", which is not on the disc.";
        }
        return WString();
    });
}

// A stream file without its clip information, which libbluray needs to play it.
WString missingClipInformation(const WString& bdmv) {
    return firstProblemAmong(bdmv + L"STREAM\\*.m2ts", [&bdmv](const WString& name) {
        const WString clip = bdmv + L"CLIPINF\\" + name.substr(0, name.size() - 5) + L".clpi";
        if (testPathExists(clip)) return WString();
        return L"The Blu-ray has no clip information (BDMV\\CLIPINF) for " + name + L".";
    });
}

// The path of name below root.
WString below(const WString& root, const wchar_t* name) {
    WString path = root;
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    return path + name;
}

// The menus of a DVD are program chain tables: the manager's (VIDEO_TS.IFO, sector of its menu
// table at 0xC8) and each title set's (VTS_nn_0.IFO, at 0xD0); zero where there is none.
bool dvdHasMenus(const WString& root) {
    constexpr DWORD kIfoLimit = 4 << 20;
    const WString folder = below(root, L"VIDEO_TS\\");
    std::vector<unsigned char> ifo = readSmallFile(folder + L"VIDEO_TS.IFO", kIfoLimit);
    if (ifo.size() >= 0xD4 && readBig(ifo, 0xC8, 4)) return true;
    for (int n = 1; n <= 99; ++n) {
        ifo = readSmallFile(folder + formatWide(L"VTS_%02d_0.IFO", n), kIfoLimit);
        if (ifo.size() < 0xD4) return false;
        if (readBig(ifo, 0xD0, 4)) return true;
    }
    return false;
}

// index.bdmv: the indexes' start at byte 8; there, after their length, the first play object
// and then the top menu object, 12 bytes each: its type in the top two bits (1 a movie object,
// 2 a Java program) and for a movie object its number at byte 6, 0xFFFF for none.
bool bluRayHasTopMenu(const WString& root) {
    const std::vector<unsigned char> index =
        readSmallFile(below(root, L"BDMV\\index.bdmv"), 1 << 20);
    if (index.size() < 12) return false;
    const size_t top = size_t{readBig(index, 8, 4)} + 4 + 12;
    if (top + 8 > index.size()) return false;
    const int type = index[top] >> 6;
    return type == 2 || (type == 1 && readBig(index, top + 6, 2) != 0xFFFF);
}

} // namespace

bool discHasMenu(const WString& root, DiscKind kind, DiscMenuKind menu) {
    const bool dvd = kind == DiscKind::Dvd, bluRay = kind == DiscKind::BluRay;
    if (menu == DiscMenuKind::Popup) return bluRay;
    if (!isDirectory(root)) return dvd || bluRay;
    return dvd ? dvdHasMenus(root) : bluRay && bluRayHasTopMenu(root);
}

DiscKind detectDiscKind(const WString& root) {
    if (root.empty()) return DiscKind::None;
    // The root is inserted unchanged: "E:\" gives "E:\\VIDEO_TS\", which the file system
    // accepts like a single separator.
    for (const StructureTest& test : kStructureTests) {
        if (testPathExists(root + L"\\" + test.folder)) return test.kind;
    }
    return DiscKind::None;
}

wchar_t findDiscDrive(DWORD mask, DiscKind* kind) {
    if (kind) *kind = DiscKind::None;
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter, mask >>= 1) {
        if (!(mask & 1)) continue;
        const wchar_t root[] = {letter, L':', L'\\', 0};
        // Only optical drives: a fixed or removable drive with a VIDEO_TS folder is not a disc.
        if (GetDriveTypeW(root) != DRIVE_CDROM) continue;
        const DiscKind found = detectDiscKind(root);
        if (kind) *kind = found;
        if (found != DiscKind::None) return letter;
    }
    return 0;
}

WString discStructureProblem(const WString& root, DiscKind kind) {
    if (kind != DiscKind::BluRay) return WString();
    WString bdmv = root;
    if (!bdmv.empty() && bdmv.back() != L'\\') bdmv += L'\\';
    bdmv += L"BDMV\\";
    if (!testPathExists(bdmv + L"index.bdmv")) return L"The Blu-ray has no BDMV\\index.bdmv.";
    if (!testPathExists(bdmv + L"MovieObject.bdmv"))
        return L"The Blu-ray has no BDMV\\MovieObject.bdmv.";
    for (auto check : {missingPlaylistClip, missingClipInformation, missingJavaArchive}) {
        const WString problem = check(bdmv);
        if (!problem.empty()) return problem;
    }
    return WString();
}

DiscKind imageDiscKind(const WString& image) {
    // ISO 9660 and UDF keep the root folder's records within the first megabytes; names of
    // 8-bit characters are stored as they are.
    constexpr DWORD kChunk = 1 << 20;
    constexpr int kChunks = 32;
    ScopedHandle file(CreateFileW(image.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) return DiscKind::None;
    std::vector<char> data(kChunk + 16);
    bool bluRay = false;
    size_t carried = 0;
    for (int i = 0; i < kChunks; ++i) {
        DWORD got = 0;
        if (!ReadFile(file.get(), data.data() + carried, kChunk, &got, nullptr) || got == 0) break;
        const size_t size = carried + got;
        for (size_t at = 0; at + 8 <= size; ++at) {
            if (data[at] == 'V' && std::memcmp(&data[at], "VIDEO_TS", 8) == 0) return DiscKind::Dvd;
            if (data[at] == 'B' && std::memcmp(&data[at], "BDMV", 4) == 0) bluRay = true;
        }
        // The last bytes go round again, so a name across two reads is still found.
        carried = size < 8 ? size : 8;
        std::memmove(data.data(), data.data() + size - carried, carried);
    }
    return bluRay ? DiscKind::BluRay : DiscKind::None;
}

bool isFileSystemImage(const WString& path) {
    // ISO 9660 and UDF both start their volume recognition at sector 16: descriptors of 2048
    // bytes whose bytes 1 to 5 say "CD001" (ISO 9660) or "BEA01", "NSR02", "NSR03" (UDF). A
    // Nero footer at the end of an image changes nothing here.
    constexpr DWORD kStart = 16 * 2048;
    constexpr int kDescriptors = 8;
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    if (!file || SetFilePointer(file.get(), kStart, nullptr, FILE_BEGIN) != kStart) return false;
    std::vector<char> data(kDescriptors * 2048);
    DWORD got = 0;
    if (!ReadFile(file.get(), data.data(), static_cast<DWORD>(data.size()), &got, nullptr))
        return false;
    for (DWORD at = 0; at + 6 <= got; at += 2048) {
        for (const char* id : {"CD001", "BEA01", "NSR02", "NSR03"})
            if (std::memcmp(&data[at + 1], id, 5) == 0) return true;
    }
    return false;
}

bool discStillReadable(const WString& root, DiscKind kind) {
    // The structure's first file is read: the folders may still be listed from what the
    // program saw before, while a read reaches the disc (or the server behind the drive).
    // A disc image played without a drive only has to stay readable itself.
    if (!isDirectory(root)) return canOpenForReading(root);
    if (detectDiscKind(root) != kind) return false;
    const wchar_t* file = kind == DiscKind::Dvd      ? L"VIDEO_TS\\VIDEO_TS.IFO"
                          : kind == DiscKind::BluRay ? L"BDMV\\index.bdmv"
                                                     : nullptr;
    if (!file) return true;
    WString path = root;
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    path += file;
    ScopedHandle handle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, nullptr));
    if (!handle) return GetLastError() == ERROR_FILE_NOT_FOUND; // a disc without that file
    alignas(4096) static char sector[4096];
    DWORD got = 0;
    return ReadFile(handle.get(), sector, sizeof sector, &got, nullptr) != FALSE;
}
