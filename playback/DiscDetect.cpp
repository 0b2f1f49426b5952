#include "playback/DiscDetect.h"

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

} // namespace

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
