#include "mount/IsoMount.h"

#include <winioctl.h>

#include <algorithm>

#include "mount/ProcessRunner.h"
#include "platform/Scoped.h"

namespace {

WString quoted(const WString& text) {
    return L"\"" + text + L"\"";
}

// How long the tool must have been left alone before a standby is started for its next run:
// starting one is a process start, which must not compete with opening the image just mounted.
constexpr ULONGLONG kStandbyQuietMs = 2000;

// The tool started ahead of need, waiting for its command on standard input.
WString standbyCommand(const WString& tool) {
    return quoted(tool) + L" /standby";
}


// The first occurrence of image at or after from that is a whole path: the text after it ends
// the path (end of text, a line end, a blank, a tab or a quote). D:\film.iso must not be found
// inside the listed D:\film.iso.bak.
size_t findListedPath(const WString& listing, const WString& image, size_t from) {
    for (size_t match = listing.find(image, from); match != WString::npos;
         match = listing.find(image, match + 1)) {
        size_t end = match + image.size();
        if (end == listing.size()) return match;
        wchar_t next = listing[end];
        if (next == L'\r' || next == L'\n' || next == L' ' || next == L'\t' || next == L'"')
            return match;
    }
    return WString::npos;
}

// The device of the drive the path lies on.
ScopedHandle openDeviceOf(const WString& path) {
    if (path.size() < 2) return ScopedHandle();
    WString device = L"\\\\.\\" + path.substr(0, 2);
    return ScopedHandle(CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                    nullptr));
}

// Calls visit with each line of the tool's output, without its line end and trailing blanks,
// until visit returns true.
template <typename Text, typename Visit> void visitLines(const Text& text, Visit visit) {
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find(typename Text::value_type('\n'), start);
        if (end == Text::npos) end = text.size();
        size_t last = end;
        while (last > start && (text[last - 1] == '\r' || text[last - 1] == ' '))
            --last;
        if (visit(text.substr(start, last - start))) return;
        start = end + 1;
    }
}

// The reason the tool gives for a failure: its last line that begins with "batchmnt: ".
WString toolReason(const std::string& output) {
    const std::string prefix = "batchmnt: ";
    std::string reason;
    visitLines(output, [&](const std::string& line) {
        if (line.compare(0, prefix.size(), prefix) == 0) reason = line.substr(prefix.size());
        return false;
    });
    return decodeText(reason);
}

// The images this program has mounted and not yet unmounted, kept in the registry so that a
// run after a crash finds and unmounts them. Shared by every running instance: each adds and
// removes its own images.
const wchar_t kRecordKey[] = L"Software\\Quondel\\Velloran\\Mounts";
const wchar_t kRecordValue[] = L"Images";

std::vector<WString> readMountRecord() {
    std::vector<WString> images;
    ScopedKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRecordKey, 0, KEY_READ, key.out()) != ERROR_SUCCESS)
        return images;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key.get(), kRecordValue, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        type != REG_MULTI_SZ || size > 64 * 1024)
        return images;
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, 0);
    if (RegQueryValueExW(key.get(), kRecordValue, nullptr, &type,
                         reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
        return images;
    for (const wchar_t* at = data.data(); *at; at += lstrlenW(at) + 1) images.emplace_back(at);
    return images;
}

void writeMountRecord(const std::vector<WString>& images) {
    ScopedKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRecordKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                        key.out(), nullptr) != ERROR_SUCCESS)
        return;
    if (images.empty()) {
        RegDeleteValueW(key.get(), kRecordValue);
        return;
    }
    WString data;
    for (const WString& image : images) data += image + L'\0';
    data += L'\0';
    RegSetValueExW(key.get(), kRecordValue, 0, REG_MULTI_SZ,
                   reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>(data.size() * sizeof(wchar_t)));
}

void recordMount(const WString& image, bool mounted) {
    std::vector<WString> images = readMountRecord();
    auto found = std::find(images.begin(), images.end(), image);
    if (mounted == (found != images.end())) return;
    if (mounted)
        images.push_back(image);
    else
        images.erase(found);
    writeMountRecord(images);
}

} // namespace

bool ImageMounts::runTool(const WString& tool, const WString& arguments, std::string* output) {
    const bool ran = runPrepared(standbyCommand(tool), toUtf8(arguments),
                                 quoted(tool) + L" " + arguments, output);
    toolQuietSince = GetTickCount64();
    return ran;
}

WString ImageMounts::toolListing(const WString& tool) {
    std::string output;
    if (tool.empty() || !runTool(tool, L"/list", &output)) return WString();
    return decodeText(output);
}

void ImageMounts::noteMounted(const WString& image) {
    if (std::find(mountedImages.begin(), mountedImages.end(), image) == mountedImages.end())
        mountedImages.push_back(image);
    recordMount(image, true);
}

void ImageMounts::unmountLeftBehind() {
    for (const WString& image : readMountRecord()) unmountImage(&image, true);
    // Also what the tool no longer lists: nothing of it is left to take down.
    writeMountRecord({});
}

WString getMountToolPath() {
    wchar_t module[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameW(nullptr, module, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return WString();
    WString path(module, n);
    size_t slash = path.rfind(L'\\');
    if (slash == WString::npos) return WString();
    path.resize(slash);
    path += L"\\cdemu\\batchmnt.exe";
    // A tool path that does not fit counts as no tool: nothing is run with a cut path.
    if (path.size() > MAX_PATH - 1) return WString();
    return path;
}

WString ImageMounts::findFreeDriveLetter() const {
    DWORD mask = driveMask ? driveMask() : 0;
    for (wchar_t letter = L'K'; letter <= L'Z'; ++letter)
        if (!(mask & (1u << (letter - L'A')))) return WString(1, letter) + L":";
    return WString();
}

bool findDriveInListing(const WString& listing, const WString& image, WString* drive) {
    if (image.empty()) return false;
    for (size_t match = findListedPath(listing, image, 0); match != WString::npos;
         match = findListedPath(listing, image, match + 1)) {
        // Walk back from just before the path to the colon after the drive letter.
        for (size_t i = match; i > 0; --i) {
            wchar_t c = listing[i - 1];
            if (c == L'\r' || c == L'\n') break;
            if (c != L':') continue;
            size_t colon = i - 1;
            if (colon == 0) break;
            if (drive) *drive = WString(1, listing[colon - 1]) + L":";
            return true;
        }
    }
    return false;
}

bool ImageMounts::findMountedDrive(const WString& image, WString* drive) {
    WString found;
    if (!findDriveInListing(toolListing(getMountToolPath()), image, &found)) return false;
    if (drive) *drive = found.substr(0, MAX_PATH - 1);
    return true;
}

bool findAlreadyMountedDrive(const WString& answer, WString* drive) {
    const WString mark = L" (already mounted)";
    bool found = false;
    visitLines(answer, [&](const WString& line) {
        wchar_t letter = line.empty() ? 0 : static_cast<wchar_t>(line[0] & ~0x20);
        found = line.size() > mark.size() + 2 && letter >= L'A' && letter <= L'Z' &&
                line[1] == L':' && line.compare(line.size() - mark.size(), mark.size(), mark) == 0;
        if (found && drive) *drive = WString(1, letter) + L":";
        return found;
    });
    return found;
}

bool ImageMounts::mountImage(const WString& image, WString* driveRoot, WString* reason) {
    if (reason) reason->clear();
    WString drive = findFreeDriveLetter();
    if (drive.empty()) {
        // No letter for a new mount; the image may still be mounted already.
        WString existing;
        if (!findMountedDrive(image, &existing)) return false;
        if (driveRoot) *driveRoot = existing + L"\\";
        noteMounted(image);
        return true;
    }
    WString tool = getMountToolPath();
    if (tool.empty()) return false;
    // One run of the tool: it answers for an image that is already mounted itself, so no
    // listing is asked for first (each run of the tool is a process start).
    std::string output;
    runTool(tool, quoted(image) + L" " + drive + L" /wait", &output);
    WString existing;
    if (findAlreadyMountedDrive(decodeText(output), &existing) &&
        GetDriveTypeW((existing + L"\\").c_str()) == DRIVE_CDROM) {
        // Mounted earlier in this run, or left behind by a run that crashed: the same root form
        // as a new mount, and recorded (once) so that it is unmounted at exit.
        if (driveRoot) *driveRoot = existing + L"\\";
        noteMounted(image);
        return true;
    }
    if (driveRoot) *driveRoot = drive + L"\\";
    if (GetDriveTypeW(drive.c_str()) != DRIVE_CDROM) {
        if (reason) *reason = toolReason(output);
        OutputDebugStringW(L"mountImage: the drive is not a CD-ROM drive after mounting\n");
        // A mount the tool made on this letter all the same would stay behind unrecorded, and
        // so never be unmounted: take it down again. A mount on another letter is not ours.
        WString listed;
        if (findDriveInListing(toolListing(tool), image, &listed) &&
            lstrcmpiW(listed.c_str(), drive.c_str()) == 0)
            runTool(tool, L"/unmount " + quoted(image), nullptr);
        return false;
    }
    noteMounted(image);
    return true;
}

void ImageMounts::unmountImage(const WString* image, bool askTool) {
    if (!image) {
        // Copies: the recursive calls shrink the list while it is walked.
        std::vector<WString> images = mountedImages;
        for (size_t i = images.size(); i > 0; --i)
            unmountImage(&images[i - 1], askTool);
        mountedImages.clear();
        return;
    }
    // The tool looks the image up in its own records and says so when it is not mounted.
    if (askTool && !image->empty()) {
        WString tool = getMountToolPath();
        if (!tool.empty()) runTool(tool, L"/unmount " + quoted(*image), nullptr);
    }
    recordMount(*image, false);
    for (size_t i = mountedImages.size(); i > 0; --i) {
        if (mountedImages[i - 1] == *image) {
            mountedImages.erase(mountedImages.begin() + static_cast<long>(i - 1));
            break;
        }
    }
}

void ImageMounts::keepToolReady() {
    const ULONGLONG now = GetTickCount64();
    if (toolQuietSince == 0) toolQuietSince = now;
    if (now - toolQuietSince < kStandbyQuietMs) return;
    if (standby.empty()) {
        WString tool = getMountToolPath();
        if (!tool.empty() && GetFileAttributesW(tool.c_str()) != INVALID_FILE_ATTRIBUTES)
            standby = standbyCommand(tool);
    }
    // Without the tool, or when it cannot start, the next try is a quiet spell later.
    if (standby.empty() || !prepareStandby(standby)) toolQuietSince = now;
}

void ImageMounts::releaseTool() { dropStandby(); }

bool ImageMounts::canEjectDisc(const WString& currentPath, bool active) const {
    if (active) return false;
    // Unmounting the recorded images needs no device, so it is offered even where the virtual
    // drive cannot be opened as a device.
    if (!mountedImages.empty()) return true;
    // Only an optical drive is opened as a device: asked on every menu refresh, a hard disk or
    // a network drive must not be touched.
    if (currentPath.size() < 2 || currentPath[1] != L':') return false;
    const WString root = currentPath.substr(0, 2) + L"\\";
    if (GetDriveTypeW(root.c_str()) != DRIVE_CDROM) return false;
    return static_cast<bool>(openDeviceOf(currentPath));
}

bool ImageMounts::ejectDisc(const WString& currentPath, bool active) {
    if (!canEjectDisc(currentPath, active)) return false;
    WaitCursor wait;
    if (!mountedImages.empty()) {
        releaseAll();
        return false;
    }
    ScopedHandle device = openDeviceOf(currentPath);
    if (!device) return false;
    DWORD returned = 0;
    DeviceIoControl(device.get(), IOCTL_STORAGE_EJECT_MEDIA, nullptr, 0, nullptr, 0, &returned,
                    nullptr);
    return true;
}
