#include "tests/unit/gtest_wine.h"

#include <string>
#include <vector>

#include "platform/MountManager.h"
#include "playback/DiscDetect.h"

namespace {

// A fresh folder tree below the Windows temp folder; the folders are created on request and the
// tree is removed at the end.
class DiscFolder {
public:
    DiscFolder() {
        wchar_t base[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, base);
        static int serial = 0;
        root = formatWide(L"%svelloran-disc-%d-%d", base, static_cast<int>(GetCurrentProcessId()),
                          ++serial);
        CreateDirectoryW(root.c_str(), nullptr);
    }
    ~DiscFolder() {
        for (auto it = made.rbegin(); it != made.rend(); ++it)
            RemoveDirectoryW(it->c_str());
        RemoveDirectoryW(root.c_str());
    }
    DiscFolder(const DiscFolder&) = delete;
    DiscFolder& operator=(const DiscFolder&) = delete;

    // Creates each folder of a relative path such as L"BDMV\\STREAM".
    void make(const WString& relative) {
        size_t start = 0;
        for (;;) {
            const size_t end = relative.find(L'\\', start);
            const WString part = root + L"\\" + relative.substr(0, end);
            if (CreateDirectoryW(part.c_str(), nullptr)) made.push_back(part);
            if (end == WString::npos) break;
            start = end + 1;
        }
    }

    // The Unix path of the root, for defining it as a drive.
    std::string unixPath() const {
        using UnixNameFn = char*(CDECL*)(const WCHAR*);
        auto unixName = reinterpret_cast<UnixNameFn>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
        if (!unixName) return std::string();
        char* name = unixName(root.c_str());
        if (!name) return std::string();
        std::string result = name;
        HeapFree(GetProcessHeap(), 0, name);
        return result;
    }

    WString root;

private:
    std::vector<WString> made;
};

// A drive letter defined for the test over a folder, removed at the end.
class TestDrive {
public:
    TestDrive(UINT type, const std::string& unixFolder) {
        const DWORD used = GetLogicalDrives();
        for (wchar_t c = L'Z'; c >= L'M'; --c) {
            if (used & (1u << (c - L'A'))) continue;
            if (defineUnixDrive(c, type, unixFolder)) letter = c;
            break;
        }
    }
    ~TestDrive() {
        if (letter) removeUnixDrive(letter);
    }
    TestDrive(const TestDrive&) = delete;
    TestDrive& operator=(const TestDrive&) = delete;

    DWORD mask() const { return letter ? 1u << (letter - L'A') : 0; }
    WString root() const { return formatWide(L"%c:\\", letter); }

    wchar_t letter = 0;
};

} // namespace

TEST(DiscDetect, EachStructureGivesItsKindAndTheFirstTestWins) {
    DiscFolder dvd, bluray, vcd, both, bdmvOnly, plain;
    dvd.make(L"VIDEO_TS");
    bluray.make(L"BDMV\\STREAM");
    vcd.make(L"MPEGAV");
    both.make(L"VIDEO_TS");
    both.make(L"MPEGAV");
    bdmvOnly.make(L"BDMV");

    EXPECT_EQ(detectDiscKind(dvd.root), DiscKind::Dvd);
    EXPECT_EQ(detectDiscKind(bluray.root), DiscKind::BluRay);
    EXPECT_EQ(detectDiscKind(vcd.root), DiscKind::VideoCd);
    EXPECT_EQ(detectDiscKind(both.root), DiscKind::Dvd);
    EXPECT_EQ(detectDiscKind(bdmvOnly.root), DiscKind::None); // BDMV without STREAM is no Blu-ray
    EXPECT_EQ(detectDiscKind(plain.root), DiscKind::None);
    // A trailing separator gives a doubled one in the test path, which still resolves.
    EXPECT_EQ(detectDiscKind(dvd.root + L"\\"), DiscKind::Dvd);
}

TEST(DiscDetect, MissingEmptyAndOverlongRootsGiveNoDisc) {
    DiscFolder dvd;
    dvd.make(L"VIDEO_TS");
    EXPECT_EQ(detectDiscKind(dvd.root + L"\\absent"), DiscKind::None);
    EXPECT_EQ(detectDiscKind(WString()), DiscKind::None);
    EXPECT_EQ(detectDiscKind(WString(300, L'a')), DiscKind::None);
}

TEST(DiscDetect, FindDiscDriveExaminesOnlyOpticalDrivesOfTheMask) {
    DiscKind kind = DiscKind::Dvd;
    EXPECT_EQ(findDiscDrive(0, &kind), 0);
    EXPECT_EQ(kind, DiscKind::None);

    DiscFolder fixedDisc, optical, emptyOptical;
    fixedDisc.make(L"VIDEO_TS");
    optical.make(L"BDMV\\STREAM");
    const std::string fixedUnix = fixedDisc.unixPath();
    if (fixedUnix.empty()) GTEST_SKIP() << "not running under Wine";

    TestDrive fixed(DRIVE_FIXED, fixedUnix);
    if (!fixed.letter) GTEST_SKIP() << "the mount manager does not define drives here";
    ASSERT_EQ(GetDriveTypeW(fixed.root().c_str()), static_cast<UINT>(DRIVE_FIXED));
    // The user may still pick the fixed drive's root as a disc folder.
    EXPECT_EQ(detectDiscKind(fixed.root()), DiscKind::Dvd);
    kind = DiscKind::Dvd;
    EXPECT_EQ(findDiscDrive(fixed.mask(), &kind), 0);
    EXPECT_EQ(kind, DiscKind::None);

    // Letters are taken from Z downwards: the drive without structure comes first in the mask.
    TestDrive blu(DRIVE_CDROM, optical.unixPath());
    TestDrive noStructure(DRIVE_CDROM, emptyOptical.unixPath());
    ASSERT_NE(noStructure.letter, 0);
    ASSERT_NE(blu.letter, 0);
    ASSERT_EQ(GetDriveTypeW(blu.root().c_str()), static_cast<UINT>(DRIVE_CDROM));
    ASSERT_LT(noStructure.letter, blu.letter);
    kind = DiscKind::None;
    EXPECT_EQ(findDiscDrive(fixed.mask() | noStructure.mask() | blu.mask(), &kind), blu.letter);
    EXPECT_EQ(kind, DiscKind::BluRay);
    kind = DiscKind::Dvd;
    EXPECT_EQ(findDiscDrive(noStructure.mask(), &kind), 0);
    EXPECT_EQ(kind, DiscKind::None);
}
