// The process runner with real child processes (the system's command interpreter), the
// listing parser and the drive-letter choice, and mounting real images through the mount tool
// beside the test executable (skipped when the tool or the test media is missing).
#include <windows.h>
#include <tlhelp32.h>

#include <string>

#include "mount/IsoMount.h"
#include "mount/ProcessRunner.h"
#include "tests/unit/gtest_wine.h"

namespace {

WString systemFolder() {
    wchar_t folder[MAX_PATH] = {};
    UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    return WString(folder, n);
}

WString cmd(const WString& arguments) {
    return L"\"" + systemFolder() + L"\\cmd.exe\" /c " + arguments;
}

WString tempFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    WString path(folder);
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    return path + name;
}

bool writeBytes(const WString& path, const std::string& bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
    return ok && written == bytes.size();
}

int countProcesses(const wchar_t* exeName) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return -1;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = Process32FirstW(snap, &entry); more; more = Process32NextW(snap, &entry))
        if (lstrcmpiW(entry.szExeFile, exeName) == 0) ++count;
    CloseHandle(snap);
    return count;
}

// The runner copies what it reads to the program's own standard output; the tests send that
// to NUL so that large outputs do not flood the test log.
class QuietStdout {
public:
    QuietStdout()
        : saved_(GetStdHandle(STD_OUTPUT_HANDLE)),
          nul_(CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr)) {
        if (nul_ != INVALID_HANDLE_VALUE) SetStdHandle(STD_OUTPUT_HANDLE, nul_);
    }
    ~QuietStdout() {
        SetStdHandle(STD_OUTPUT_HANDLE, saved_);
        if (nul_ != INVALID_HANDLE_VALUE) CloseHandle(nul_);
    }

private:
    HANDLE saved_;
    HANDLE nul_;
};

} // namespace

TEST(ProcessRunner, CapturesOneLineExactlyAndEmptyOutput) {
    QuietStdout quiet;
    std::string out = "old";
    ASSERT_TRUE(runProcess(cmd(L"echo 12345678901234567890"), &out));
    EXPECT_EQ(out, "12345678901234567890\r\n");
    out = "old";
    ASSERT_TRUE(runProcess(cmd(L"rem nothing"), &out));
    EXPECT_EQ(out, "");
    EXPECT_TRUE(runProcess(cmd(L"echo not captured"), nullptr));
}

TEST(ProcessRunner, ExitCodeOfTheChildDoesNotMatter) {
    QuietStdout quiet;
    std::string out;
    EXPECT_TRUE(runProcess(cmd(L"\"echo failing& exit 3\""), &out));
    EXPECT_EQ(out, "failing\r\n");
}

TEST(ProcessRunner, OutputLargerThanThePipeBufferIsReadWhileTheChildRuns) {
    // 600 KB, far beyond any pipe buffer: a runner that only read after the child had ended
    // would leave the child blocked in its write until the time limit.
    std::string big;
    for (int i = 0; big.size() < 600000; ++i)
        big += "line " + std::to_string(i) + " of the output\r\n";
    WString file = tempFile(L"velloran-runner-big.txt");
    ASSERT_TRUE(writeBytes(file, big));
    QuietStdout quiet;
    std::string out;
    ASSERT_TRUE(runProcess(cmd(L"type \"" + file + L"\""), &out, 30000));
    EXPECT_EQ(out.size(), big.size());
    EXPECT_TRUE(out == big);
    DeleteFileW(file.c_str());
}

TEST(ProcessRunner, ZeroByteEndsTheTextOfItsChunk) {
    WString file = tempFile(L"velloran-runner-zero.txt");
    ASSERT_TRUE(writeBytes(file, std::string("ab\0cd", 5)));
    QuietStdout quiet;
    std::string out;
    ASSERT_TRUE(runProcess(cmd(L"type \"" + file + L"\""), &out));
    EXPECT_EQ(out, "ab");
    DeleteFileW(file.c_str());
}

TEST(ProcessRunner, MissingProgramFailsAndLeavesTheOutputAlone) {
    QuietStdout quiet;
    std::string out = "untouched";
    EXPECT_FALSE(runProcess(L"\"C:\\no such folder\\nothing.exe\" /list", &out));
    EXPECT_EQ(out, "untouched");
    EXPECT_FALSE(runProcess(L"", &out));
    EXPECT_EQ(out, "untouched");
}

TEST(ProcessRunner, AWaitingProgramRunsTheArgumentsItIsGivenOnceElseAFreshRunDoes) {
    QuietStdout quiet;
    const WString fresh = cmd(L"echo fresh");
    const WString waiting = L"cmd.exe /q";
    auto answer = [&](const WString& standby) {
        std::string out;
        EXPECT_TRUE(runPrepared(standby, "echo waiting\r\n", fresh, &out));
        return out.find("waiting") != std::string::npos ? "waiting"
               : out.find("fresh") != std::string::npos ? "fresh"
                                                        : "neither";
    };
    EXPECT_STREQ(answer(waiting), "fresh"); // none prepared
    ASSERT_TRUE(prepareStandby(waiting));
    EXPECT_STREQ(answer(L"cmd.exe /d"), "fresh"); // another program's run leaves it waiting
    EXPECT_STREQ(answer(waiting), "waiting");
    EXPECT_STREQ(answer(waiting), "fresh"); // used up
    // Gone before its turn (here it ends at once): the arguments go to a fresh run.
    const WString gone = cmd(L"exit");
    ASSERT_TRUE(prepareStandby(gone));
    Sleep(1000);
    EXPECT_STREQ(answer(gone), "fresh");
    // Let go of with nothing to do, it ends by itself.
    const int before = countProcesses(L"cmd.exe");
    ASSERT_TRUE(prepareStandby(waiting));
    dropStandby();
    for (int i = 0; i < 50 && countProcesses(L"cmd.exe") > before; ++i)
        Sleep(100);
    EXPECT_EQ(countProcesses(L"cmd.exe"), before);
}

TEST(ProcessRunner, HangingChildIsEndedAfterTheLimitAndTheCallFails) {
    QuietStdout quiet;
    int before = countProcesses(L"cmd.exe");
    std::string out = "untouched";
    // pause waits for a key on standard input, which the runner never writes to.
    EXPECT_FALSE(runProcess(cmd(L"\"echo waiting& pause\""), &out, 1500));
    EXPECT_EQ(out, "untouched");
    // The child was ended, not left behind.
    for (int i = 0; i < 50 && countProcesses(L"cmd.exe") > before; ++i)
        Sleep(100);
    EXPECT_EQ(countProcesses(L"cmd.exe"), before);
}

TEST(MountListing, FindsTheDriveBeforeTheImagePath) {
    WString drive;
    EXPECT_TRUE(findDriveInListing(L"Drive K: D:\\film.iso", L"D:\\film.iso", &drive));
    EXPECT_EQ(drive, WString(L"K:"));
    EXPECT_TRUE(findDriveInListing(L"K: Z:\\tmp\\a.iso\r\nM: Z:\\tmp\\b.iso\r\n", L"Z:\\tmp\\b.iso",
                                   &drive));
    EXPECT_EQ(drive, WString(L"M:"));
    EXPECT_TRUE(findDriveInListing(L"L: Z:\\x.iso (already mounted)\r\n", L"Z:\\x.iso", &drive));
    EXPECT_EQ(drive, WString(L"L:"));
    // A path without a drive colon of its own.
    EXPECT_TRUE(
        findDriveInListing(L"N:\\\\server\\share\\a.iso", L"\\\\server\\share\\a.iso", &drive));
    EXPECT_EQ(drive, WString(L"N:"));
}

// The tool lists paths in UTF-8; a listing of Latin-1 bytes (an older tool) reads as before.
TEST(MountListing, PathsInAnyScriptAreFoundInTheDecodedListing) {
    const WString cyrillic = L"Z:\\tmp\\\u0444\u0438\u043b\u044c\u043c \u6620\u753b.iso";
    WString drive;
    EXPECT_TRUE(
        findDriveInListing(decodeText("L: " + toUtf8(cyrillic) + "\r\n"), cyrillic, &drive));
    EXPECT_EQ(drive, WString(L"L:"));
    EXPECT_EQ(decodeText("K: Z:\\caf\xe9.iso"), WString(L"K: Z:\\caf\u00e9.iso"));
    EXPECT_EQ(decodeText("K: Z:\\caf\xc3\xa9.iso"), WString(L"K: Z:\\caf\u00e9.iso"));
}

TEST(MountListing, NoDriveWithoutAColonOnTheSameLine) {
    WString drive = L"unchanged";
    EXPECT_FALSE(findDriveInListing(L"K: other.iso\r\nD:\\film.iso\r\n", L"D:\\film.iso", &drive));
    EXPECT_FALSE(
        findDriveInListing(L"K: other.iso\nmounted D:\\film.iso", L"D:\\film.iso", &drive));
    EXPECT_FALSE(findDriveInListing(L":D:\\film.iso", L"D:\\film.iso", &drive));
    EXPECT_FALSE(findDriveInListing(L"mounted D:\\film.iso", L"D:\\film.iso", &drive));
    EXPECT_FALSE(findDriveInListing(L"", L"D:\\film.iso", &drive));
    EXPECT_FALSE(findDriveInListing(L"K: D:\\film.iso", L"", &drive));
    EXPECT_EQ(drive, WString(L"unchanged"));
}

TEST(MountListing, MatchIsExactAndCoversTheWholePath) {
    WString drive;
    EXPECT_FALSE(findDriveInListing(L"K: d:\\FILM.ISO\r\n", L"D:\\film.iso", &drive));
    // Another image whose path starts with this one's is not this image.
    EXPECT_FALSE(findDriveInListing(L"K: D:\\film.iso.bak\r\n", L"D:\\film.iso", &drive));
    EXPECT_TRUE(
        findDriveInListing(L"K: D:\\film.iso.bak\r\nL: D:\\film.iso\r\n", L"D:\\film.iso", &drive));
    EXPECT_EQ(drive, WString(L"L:"));
    // Bytes above 127 are widened one per character, as the tool prints them.
    EXPECT_TRUE(findDriveInListing(widenBytes("P: Z:\\donn\xe9"
                                              "es.iso\r\n"),
                                   L"Z:\\donn\u00e9es.iso", &drive));
    EXPECT_EQ(drive, WString(L"P:"));
}

TEST(MountListing, AnswerForAnImageMountedBeforeNamesItsDrive) {
    struct Case {
        const wchar_t* answer;
        const wchar_t* drive; // null: no such answer
    } cases[] = {
        {L"L: Z:\\x.iso (already mounted)\r\n", L"L:"},
        {L"batchmnt: note\r\nm: Z:\\Film.ISO (already mounted)", L"M:"},
        {L"K: Z:\\x.iso\r\n", nullptr}, // a new mount
        {L"batchmnt: cannot open the image Z:\\x.iso\r\n", nullptr},
        {L" (already mounted)\r\n", nullptr},
        {L"", nullptr},
    };
    for (const Case& c : cases) {
        WString drive = L"unchanged";
        EXPECT_EQ(findAlreadyMountedDrive(c.answer, &drive), c.drive != nullptr)
            << toUtf8(c.answer);
        EXPECT_EQ(drive, WString(c.drive ? c.drive : L"unchanged")) << toUtf8(c.answer);
    }
}

namespace {

DWORD fakeMask = 0;
DWORD WINAPI fakeDriveMask() {
    return fakeMask;
}

DWORD letters(wchar_t first, wchar_t last) {
    DWORD mask = 0;
    for (wchar_t c = first; c <= last; ++c)
        mask |= 1u << (c - L'A');
    return mask;
}

} // namespace

TEST(DriveMask, FirstFreeLetterFromKToZ) {
    ImageMounts mounts(&fakeDriveMask);
    fakeMask = letters(L'A', L'J');
    EXPECT_EQ(mounts.findFreeDriveLetter(), WString(L"K:"));
    fakeMask = letters(L'A', L'K');
    EXPECT_EQ(mounts.findFreeDriveLetter(), WString(L"L:"));
    fakeMask = letters(L'C', L'C') | letters(L'K', L'L') | letters(L'N', L'N');
    EXPECT_EQ(mounts.findFreeDriveLetter(), WString(L"M:"));
    fakeMask = letters(L'K', L'Y');
    EXPECT_EQ(mounts.findFreeDriveLetter(), WString(L"Z:"));
    fakeMask = letters(L'K', L'Z');
    EXPECT_EQ(mounts.findFreeDriveLetter(), WString());
    fakeMask = letters(L'A', L'Z');
    EXPECT_EQ(mounts.findFreeDriveLetter(), WString());
}

TEST(DriveMask, NoFreeLetterMeansNoMount) {
    ImageMounts mounts(&fakeDriveMask);
    QuietStdout quiet;
    fakeMask = letters(L'K', L'Z');
    WString root = L"unchanged";
    EXPECT_FALSE(mounts.mountImage(L"Z:\\no such\\image.iso", &root));
    EXPECT_TRUE(mounts.images().empty());
}

TEST(MountTool, PathIsInTheCdemuFolderBesideTheProgram) {
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    WString program(module);
    WString tool = getMountToolPath();
    ASSERT_FALSE(tool.empty());
    size_t slash = program.rfind(L'\\');
    ASSERT_NE(slash, WString::npos);
    EXPECT_EQ(tool, program.substr(0, slash) + L"\\cdemu\\batchmnt.exe");
}

namespace {

WString mediaImage(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    DWORD n = GetEnvironmentVariableW(L"VELLORAN_MEDIA_WIN", folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return WString();
    WString path = WString(folder, n) + L"\\" + name;
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES ? WString() : path;
}

bool toolPresent() {
    WString tool = getMountToolPath();
    return !tool.empty() && GetFileAttributesW(tool.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool exists(const WString& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A failing check must not leave a real mount behind for the tests after it.
class MountImage : public ::testing::Test {
protected:
    void TearDown() override {
        QuietStdout quiet;
        mounts.releaseAll();
    }
    ImageMounts mounts;
};

} // namespace

TEST_F(MountImage, DvdImageBecomesAReadOnlyCdromDriveAndGoesAgain) {
    WString image = mediaImage(L"dvd.iso");
    ASSERT_TRUE(!image.empty() && toolPresent()) << "mount tool or dvd.iso missing";
    QuietStdout quiet;
    WString expected = mounts.findFreeDriveLetter();
    ASSERT_FALSE(expected.empty());

    WString root;
    ASSERT_TRUE(mounts.mountImage(image, &root));
    EXPECT_EQ(root, expected + L"\\");
    EXPECT_EQ(GetDriveTypeW(expected.c_str()), static_cast<UINT>(DRIVE_CDROM));
    EXPECT_TRUE(exists(root + L"VIDEO_TS\\VIDEO_TS.IFO"));
    ASSERT_EQ(mounts.images().size(), 1u);
    EXPECT_EQ(mounts.images()[0], image);

    HANDLE created =
        CreateFileW((root + L"new.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    EXPECT_EQ(created, INVALID_HANDLE_VALUE);
    if (created != INVALID_HANDLE_VALUE) CloseHandle(created);
    HANDLE existing = CreateFileW((root + L"VIDEO_TS\\VIDEO_TS.IFO").c_str(), GENERIC_WRITE, 0,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(existing, INVALID_HANDLE_VALUE);
    if (existing != INVALID_HANDLE_VALUE) CloseHandle(existing);

    // Already mounted: the same root, no second mount, no second record.
    WString again;
    ASSERT_TRUE(mounts.mountImage(image, &again));
    EXPECT_EQ(again, expected + L"\\");
    EXPECT_EQ(mounts.images().size(), 1u);
    // A mount this run did not record (one left by a run that crashed) is taken over, so that
    // it goes at exit.
    ImageMounts later;
    ASSERT_TRUE(later.mountImage(image, &again));
    EXPECT_EQ(again, expected + L"\\");
    ASSERT_EQ(later.images().size(), 1u);
    WString listed;
    EXPECT_TRUE(mounts.findMountedDrive(image, &listed));
    EXPECT_EQ(listed, expected);

    mounts.releaseAll();
    EXPECT_TRUE(mounts.images().empty());
    EXPECT_FALSE(mounts.findMountedDrive(image, &listed));
    EXPECT_NE(GetDriveTypeW(expected.c_str()), static_cast<UINT>(DRIVE_CDROM));
    EXPECT_FALSE(exists(root + L"VIDEO_TS"));
}

TEST_F(MountImage, TakenLettersAreSkippedAndEveryRecordIsUnmounted) {
    WString dvd = mediaImage(L"dvd.iso");
    WString data = mediaImage(L"data.iso");
    ASSERT_TRUE(!dvd.empty() && !data.empty() && toolPresent()) << "tool or media missing";
    QuietStdout quiet;
    WString first;
    ASSERT_TRUE(mounts.mountImage(dvd, &first));
    // The next mount takes the next free letter.
    WString second;
    ASSERT_TRUE(mounts.mountImage(data, &second));
    EXPECT_NE(first, second);
    EXPECT_TRUE(exists(second + L"readme.txt"));
    EXPECT_TRUE(exists(first + L"VIDEO_TS"));
    ASSERT_EQ(mounts.images().size(), 2u);

    mounts.unmountImage(&dvd, true);
    EXPECT_FALSE(exists(first + L"VIDEO_TS"));
    EXPECT_TRUE(exists(second + L"readme.txt"));
    ASSERT_EQ(mounts.images().size(), 1u);

    // "Eject Disk" with nothing playing unmounts the recorded images; no eject request goes
    // to a device, so the caller has nothing to close.
    ASSERT_TRUE(mounts.canEjectDisc(WString(), false));
    EXPECT_FALSE(mounts.ejectDisc(WString(), false));
    EXPECT_FALSE(exists(second + L"readme.txt"));
    EXPECT_TRUE(mounts.images().empty());
    EXPECT_FALSE(mounts.canEjectDisc(WString(), false)); // no records and no disc to eject
}

TEST_F(MountImage, FileThatIsNoImageIsNotMounted) {
    WString notImage = mediaImage(L"testsrc.mkv");
    ASSERT_TRUE(!notImage.empty() && toolPresent()) << "tool or media missing";
    QuietStdout quiet;
    WString letter = mounts.findFreeDriveLetter();
    WString root;
    WString reason;
    EXPECT_FALSE(mounts.mountImage(notImage, &root, &reason));
    EXPECT_NE(reason.find(L"not a disc image"), WString::npos); // the tool's own words
    EXPECT_TRUE(mounts.images().empty());
    EXPECT_NE(GetDriveTypeW(letter.c_str()), static_cast<UINT>(DRIVE_CDROM));
    EXPECT_FALSE(mounts.findMountedDrive(notImage, nullptr));
}
