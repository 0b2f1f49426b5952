// batchmnt: mounts disc images read-only as CD-ROM drives.
//   batchmnt "<image>" K: /wait      mount, return once the drive is usable (or has failed)
//   batchmnt /list                   one line per mounted image: "K: <image path>"
//   batchmnt /unmount "<image>"      remove that mount
//   batchmnt /standby                one of the above, its arguments read from standard input
// Under Wine the image is served by the native FUSE server isofs beside this program and the
// mount folder becomes a CD-ROM drive letter through Wine's mount manager. On Windows the
// system's virtual disk service attaches the image.
//
// State, one folder per drive letter under %TEMP%\velloran-batchmnt\: "image" (the image
// path, UTF-8), the server's "ready"/"failed"/"stop" files and the mount folder "mnt". /list
// is therefore right across separate runs; records whose drive or server has gone are
// cleaned up, never reported.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/MountManager.h"
#include "platform/WString.h"
#include "tools/batchmnt/DeviceNotice.h"
#include "tools/batchmnt/VirtualDisk.h"

namespace {

using UnixNameFn = char*(CDECL*)(const WCHAR*);
UnixNameFn unixName = nullptr; // Wine's wine_get_unix_file_name; null on Windows

void print(const std::string& text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
              &written, nullptr);
}

// Ends the answer by closing the output: the caller reads until then, and need not wait for
// what this tool still does afterwards (the device notice).
void endAnswer() {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
    SetStdHandle(STD_ERROR_HANDLE, nullptr);
    if (out && out != INVALID_HANDLE_VALUE) CloseHandle(out);
    if (err && err != out && err != INVALID_HANDLE_VALUE) CloseHandle(err);
    // What follows must not slow the caller, which goes on to use the drive at once.
    SetPriorityClass(GetCurrentProcess(), IDLE_PRIORITY_CLASS);
}

void fail(const std::string& text) { print("batchmnt: " + text + "\r\n"); }

// A path as it appears in the listing: UTF-8, so that the player finds every path it mounted,
// whatever its script.
std::string listed(const WString& path) {
    return toUtf8(path);
}

std::string driveText(wchar_t letter) { return std::string(1, static_cast<char>(letter)) + ":"; }

bool fileExists(const WString& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool dirExists(const WString& path) {
    DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string readFile(const WString& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return std::string();
    char buffer[4096];
    DWORD got = 0;
    std::string text;
    if (ReadFile(f, buffer, sizeof(buffer), &got, nullptr)) text.assign(buffer, got);
    CloseHandle(f);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

bool writeFile(const WString& path, const std::string& text) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
    return ok && written == text.size();
}

std::string toUnix(const WString& path) {
    if (!unixName) return std::string();
    char* p = unixName(path.c_str());
    if (!p) return std::string();
    std::string result = p;
    HeapFree(GetProcessHeap(), 0, p);
    return result;
}

WString stateRoot() {
    wchar_t temp[MAX_PATH + 1] = {};
    DWORD n = GetTempPathW(MAX_PATH, temp);
    WString root(temp, n);
    if (!root.empty() && root.back() != L'\\') root += L'\\';
    return root + L"velloran-batchmnt\\";
}

WString stateDir(wchar_t letter) { return stateRoot() + WString(1, letter) + L"\\"; }

// Removes a state folder and what the tool wrote into it; the mount folder only when it is
// no longer a mount (an empty folder).
void removeStateDir(const WString& dir) {
    for (const wchar_t* name : {L"image", L"ready", L"failed", L"stop", L"busy", L"copy",
                                L"ready.tmp", L"failed.tmp", L"busy.tmp", L"copy.tmp"})
        DeleteFileW((dir + name).c_str());
    RemoveDirectoryW((dir + L"mnt").c_str());
    RemoveDirectoryW(dir.c_str());
}

struct Record {
    wchar_t letter;
    WString image;
};

bool serverAlive(const WString& dir) {
    std::string pid = readFile(dir + L"ready");
    if (pid.empty()) return false;
    // Wine maps the Unix root to Z:, where /proc shows whether the server still runs.
    if (dirExists(L"Z:\\proc\\")) return dirExists(L"Z:\\proc\\" + widenBytes(pid));
    return true;
}

bool isOurDrive(wchar_t letter) {
    WString root = WString(1, letter) + L":\\";
    return GetDriveTypeW(root.c_str()) == DRIVE_CDROM;
}

// Stops the server of a state folder and waits (bounded) until it has gone.
void stopServer(const WString& dir) {
    if (!fileExists(dir + L"ready")) return;
    writeFile(dir + L"stop", "stop\n");
    // A copy (see mountUnderWine) takes a moment to remove.
    for (int i = 0; i < 600 && fileExists(dir + L"ready") && serverAlive(dir); ++i) Sleep(50);
    // A server killed earlier leaves a dead mount behind: detach it.
    if (dirExists(dir + L"mnt") && !RemoveDirectoryW((dir + L"mnt").c_str()) && unixName &&
        fileExists(L"Z:\\bin\\fusermount3")) {
        WString cmd = L"\"Z:\\bin\\fusermount3\" -u -z \"" + fromUtf8(toUnix(dir + L"mnt")) + L"\"";
        std::vector<wchar_t> line(cmd.begin(), cmd.end());
        line.push_back(0);
        STARTUPINFOW si = {sizeof(si)};
        PROCESS_INFORMATION pi = {};
        if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                           nullptr, &si, &pi)) {
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
            for (int i = 0; i < 40 && !RemoveDirectoryW((dir + L"mnt").c_str()); ++i) Sleep(50);
        }
    }
}

void dropRecord(const Record& r) {
    WString dir = stateDir(r.letter);
    if (unixName) {
        if (isOurDrive(r.letter)) removeUnixDrive(r.letter);
        stopServer(dir);
    } else {
        detachIsoImage(r.image);
    }
    removeStateDir(dir);
}

// Another run of this tool is mounting there right now: its server has not answered yet and
// the mount began less than two minutes ago. Such a folder is neither listed nor cleaned up.
bool mountInProgress(const WString& dir) {
    if (fileExists(dir + L"ready") || fileExists(dir + L"failed")) return false;
    WIN32_FILE_ATTRIBUTE_DATA a;
    if (!GetFileAttributesExW((dir + L"image").c_str(), GetFileExInfoStandard, &a)) return false;
    FILETIME nowTime;
    GetSystemTimeAsFileTime(&nowTime);
    ULARGE_INTEGER then, now;
    then.LowPart = a.ftLastWriteTime.dwLowDateTime;
    then.HighPart = a.ftLastWriteTime.dwHighDateTime;
    now.LowPart = nowTime.dwLowDateTime;
    now.HighPart = nowTime.dwHighDateTime;
    return now.QuadPart >= then.QuadPart && now.QuadPart - then.QuadPart < 120ull * 10000000ull;
}

// The live mounts; stale records (drive gone, server gone) are cleaned up on the way.
std::vector<Record> liveRecords() {
    std::vector<Record> records;
    for (wchar_t letter = L'A'; letter <= L'Z'; ++letter) {
        WString dir = stateDir(letter);
        if (!dirExists(dir)) continue;
        if (mountInProgress(dir)) continue;
        Record r{letter, fromUtf8(readFile(dir + L"image"))};
        bool alive = !r.image.empty() && isOurDrive(letter) &&
                     (unixName ? serverAlive(dir) : true);
        if (alive) {
            records.push_back(r);
        } else {
            dropRecord(r);
        }
    }
    return records;
}

WString fullPath(const WString& path) {
    wchar_t buffer[32768];
    DWORD n = GetFullPathNameW(path.c_str(), 32768, buffer, nullptr);
    return n && n < 32768 ? WString(buffer, n) : path;
}

WString programFolder() {
    wchar_t module[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameW(nullptr, module, MAX_PATH);
    WString path(module, n);
    size_t slash = path.rfind(L'\\');
    return slash == WString::npos ? WString() : path.substr(0, slash + 1);
}

int mountUnderWine(const WString& image, wchar_t letter, std::string* note) {
    WString server = programFolder() + L"isofs";
    if (!fileExists(server)) {
        fail("the image server isofs is missing beside the tool");
        return 5;
    }
    WString dir = stateDir(letter);
    CreateDirectoryW(stateRoot().c_str(), nullptr);
    removeStateDir(dir);
    if (!CreateDirectoryW(dir.c_str(), nullptr) || !writeFile(dir + L"image", toUtf8(image))) {
        fail("cannot write the mount state");
        return 5;
    }
    std::string unixImage = toUnix(image);
    std::string unixDir = toUnix(dir);
    if (!unixDir.empty() && unixDir.back() == '/') unixDir.pop_back();
    if (unixImage.empty() || unixDir.empty()) {
        fail("cannot locate the image in the Unix file system");
        removeStateDir(dir);
        return 5;
    }
    WString cmd = L"\"" + server + L"\" \"" + fromUtf8(unixImage) + L"\" \"" +
                  fromUtf8(unixDir + "/mnt") + L"\" \"" + fromUtf8(unixDir) + L"\"";
    std::vector<wchar_t> line(cmd.begin(), cmd.end());
    line.push_back(0);
    STARTUPINFOW si = {sizeof(si)};
    PROCESS_INFORMATION pi = {};
    // No handles are inherited: the server outlives this tool and must not hold the pipes of
    // whoever reads this tool's output.
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        nullptr, &si, &pi)) {
        fail("cannot start the image server");
        removeStateDir(dir);
        return 5;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    // Not before the server is started: started earlier, it delays the server's start.
    prepareDeviceNotice();
    // A native process's handle cannot be waited on under Wine: wait for its state files.
    // Mounting takes well under a second; where FUSE cannot be used the server copies the
    // image instead ("busy"), which may take longer, but stays below the two minutes a caller
    // gives this tool.
    // The server is usually ready within a few tens of milliseconds, so it is looked for often.
    const ULONGLONG start = GetTickCount64();
    while (!fileExists(dir + L"ready") && !fileExists(dir + L"failed")) {
        ULONGLONG limit = fileExists(dir + L"busy") ? 100000 : 15000;
        if (GetTickCount64() - start >= limit) break;
        Sleep(5);
    }
    if (fileExists(dir + L"failed")) {
        fail(readFile(dir + L"failed"));
        removeStateDir(dir);
        return 6;
    }
    if (!fileExists(dir + L"ready")) {
        fail("the image server did not start");
        // Should it still come up, it finds the stop (and no image record) and ends at once.
        writeFile(dir + L"stop", "stop\n");
        DeleteFileW((dir + L"image").c_str());
        return 6;
    }
    if (!defineUnixDrive(letter, DRIVE_CDROM, unixDir + "/mnt") || !isOurDrive(letter)) {
        fail("cannot define the drive letter");
        dropRecord(Record{letter, image});
        return 7;
    }
    if (fileExists(dir + L"copy")) *note = readFile(dir + L"copy");
    return 0;
}

int mountCommand(const WString& imageArg, const WString& driveArg) {
    if (driveArg.size() != 2 || driveArg[1] != L':') {
        fail("the drive must be given as a letter and a colon, as in K:");
        return 2;
    }
    wchar_t letter = driveArg[0];
    if (letter >= L'a' && letter <= L'z') letter = static_cast<wchar_t>(letter - L'a' + L'A');
    if (letter < L'A' || letter > L'Z') {
        fail("the drive must be given as a letter and a colon, as in K:");
        return 2;
    }
    WString image = fullPath(imageArg);
    // A mounted image is answered for first: its server holds it open, so it is still served
    // even when the file has gone since.
    for (const Record& r : liveRecords()) {
        if (lstrcmpiW(r.image.c_str(), image.c_str()) == 0) {
            print(driveText(r.letter) + " " + listed(r.image) + " (already mounted)\r\n");
            return 0;
        }
    }
    if (!fileExists(image)) {
        fail("cannot open the image " + listed(image));
        return 3;
    }
    if (GetLogicalDrives() & (1u << (letter - L'A'))) {
        fail("the drive " + driveText(letter) + " is in use");
        return 4;
    }
    int rc;
    std::string note;
    if (unixName) {
        rc = mountUnderWine(image, letter, &note);
    } else {
        std::string error;
        prepareDeviceNotice();
        rc = attachIsoImage(image, letter, &error) ? 0 : 8;
        if (rc) fail(error);
        else {
            WString dir = stateDir(letter);
            CreateDirectoryW(stateRoot().c_str(), nullptr);
            CreateDirectoryW(dir.c_str(), nullptr);
            writeFile(dir + L"image", toUtf8(image));
            writeFile(dir + L"ready", "attached\n");
        }
    }
    if (rc != 0) return rc;
    print(driveText(letter) + " " + listed(image) + "\r\n");
    if (!note.empty()) print("batchmnt: " + note + "\r\n");
    endAnswer();
    announceVolume(letter, true);
    return 0;
}

int listCommand() {
    std::string text;
    for (const Record& r : liveRecords())
        text += driveText(r.letter) + " " + listed(r.image) + "\r\n";
    print(text);
    return 0;
}

int unmountCommand(const WString& imageArg) {
    WString image = fullPath(imageArg);
    for (const Record& r : liveRecords()) {
        if (lstrcmpiW(r.image.c_str(), image.c_str()) != 0) continue;
        prepareDeviceNotice();
        dropRecord(r);
        print("unmounted " + driveText(r.letter) + " " + listed(r.image) + "\r\n");
        endAnswer();
        announceVolume(r.letter, false);
        return 0;
    }
    fail("the image " + listed(image) + " is not mounted");
    return 1;
}

int runCommand(const std::vector<WString>& args) {
    const size_t n = args.size();
    if (n == 1 && lstrcmpiW(args[0].c_str(), L"/list") == 0) return listCommand();
    if (n == 2 && lstrcmpiW(args[0].c_str(), L"/unmount") == 0) return unmountCommand(args[1]);
    if (n == 3 && lstrcmpiW(args[2].c_str(), L"/wait") == 0) return mountCommand(args[0], args[1]);
    fail("usage: batchmnt \"<image>\" K: /wait | batchmnt /list | batchmnt /unmount \"<image>\"");
    return 2;
}

// Splits arguments the way the player writes them: separated by blanks, a quoted one running
// to its closing quote (a Windows path never holds a quote).
std::vector<WString> splitArguments(const WString& text) {
    auto blank = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; };
    std::vector<WString> args;
    size_t at = 0;
    for (;;) {
        while (at < text.size() && blank(text[at]))
            ++at;
        if (at == text.size()) return args;
        size_t end;
        if (text[at] == L'"') {
            end = text.find(L'"', ++at);
            if (end == WString::npos) end = text.size();
            args.push_back(text.substr(at, end - at));
            at = end < text.size() ? end + 1 : end;
        } else {
            end = at;
            while (end < text.size() && !blank(text[end]))
                ++end;
            args.push_back(text.substr(at, end - at));
            at = end;
        }
    }
}

// Started ahead of need, so that the command, when it comes, does not wait for a process start
// (some 60 ms under Wine). Its arguments arrive on standard input (UTF-8), ended by the
// input's close; input closed with nothing on it (the caller let go of it, or ended) ends the
// tool without a word.
int standbyCommand() {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (text.size() < 64 * 1024 && ReadFile(in, buffer, sizeof buffer, &got, nullptr) && got)
        text.append(buffer, got);
    if (text.empty()) return 0;
    return runCommand(splitArguments(fromUtf8(text)));
}

} // namespace

extern "C" int wmain(int argc, wchar_t** argv) {
    unixName = reinterpret_cast<UnixNameFn>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name"));
    if (argc == 2 && lstrcmpiW(argv[1], L"/standby") == 0) return standbyCommand();
    return runCommand(std::vector<WString>(argv + 1, argv + argc));
}
