#include "playback/DiscDetect.h"

#include <cstdint>
#include <cstring>
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

// Reads the first size bytes of the file below root; false when it has fewer.
bool readHead(const WString& root, const WString& name, unsigned char* data, DWORD size) {
    WString path = root;
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    path += name;
    ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    DWORD got = 0;
    return file && ReadFile(file.get(), data, size, &got, nullptr) && got == size;
}

uint32_t bigEndian32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// The menus of a DVD are program chain tables: the manager's (VIDEO_TS.IFO, sector of its menu
// table at 0xC8) and each title set's (VTS_nn_0.IFO, at 0xD0); zero where there is none.
bool dvdHasMenus(const WString& root) {
    unsigned char head[0xD4];
    if (readHead(root, L"VIDEO_TS\\VIDEO_TS.IFO", head, sizeof head) && bigEndian32(head + 0xC8))
        return true;
    for (int n = 1; n <= 99; ++n) {
        if (!readHead(root, formatWide(L"VIDEO_TS\\VTS_%02d_0.IFO", n), head, sizeof head))
            return false;
        if (bigEndian32(head + 0xD0)) return true;
    }
    return false;
}

// index.bdmv: the indexes' start at byte 8; there, after their length, the first play object
// and then the top menu object, 12 bytes each: its type in the top two bits (1 a movie object,
// 2 a Java program) and for a movie object its number at byte 6, 0xFFFF for none.
bool bluRayHasTopMenu(const WString& root) {
    unsigned char head[12];
    if (!readHead(root, L"BDMV\\index.bdmv", head, sizeof head)) return false;
    const uint32_t start = bigEndian32(head + 8);
    if (start > 1 << 20) return false;
    std::vector<unsigned char> data(start + 4 + 24);
    if (!readHead(root, L"BDMV\\index.bdmv", data.data(), static_cast<DWORD>(data.size())))
        return false;
    const unsigned char* top = data.data() + start + 4 + 12;
    const int type = top[0] >> 6;
    return type == 2 || (type == 1 && (top[6] << 8 | top[7]) != 0xFFFF);
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
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((bdmv + L"STREAM\\*.m2ts").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return WString();
    WString missing;
    do {
        WString name(found.cFileName);
        const WString clip = bdmv + L"CLIPINF\\" + name.substr(0, name.size() - 5) + L".clpi";
        if (!testPathExists(clip)) missing = name;
    } while (missing.empty() && FindNextFileW(search, &found));
    FindClose(search);
    if (missing.empty()) return WString();
    return L"The Blu-ray has no clip information (BDMV\\CLIPINF) for " + missing + L".";
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
            if (data[at] == 'V' && std::memcmp(&data[at], "VIDEO_TS", 8) == 0)
                return DiscKind::Dvd;
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
