// Every way media reaches the player: the three open commands, a drop, a second instance's
// hand-over, the command line and video discs. All of them end in openMediaPath. Also the
// main window's caption, which names what plays.
#include "app/MainFrame.h"

#include <commdlg.h>
#include <shellapi.h>

#include "engine/VideoCd.h"
#include "mount/IsoMount.h"
#include "playback/DiscDetect.h"
#include "platform/Files.h"
#include "platform/Scoped.h"
#include "platform/VirtualDrive.h"

namespace {

constexpr int kPathCapacity = MAX_PATH; // 259 characters and the terminating NUL

void showError(const wchar_t* text) {
    MessageBoxW(gMainFrame.mainWindow, text, kProductName, MB_OK | MB_ICONERROR);
}

} // namespace

WString chooseMediaFile(const wchar_t* filter) {
    wchar_t file[kPathCapacity] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = gMainFrame.mainWindow;
    ofn.hInstance = gMainFrame.instance;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 0;
    ofn.lpstrFile = file;
    ofn.nMaxFile = kPathCapacity;
    ofn.lpstrTitle = L"Select File";
    ofn.Flags = 0;
    if (!GetOpenFileNameW(&ofn)) return WString();
    return WString(file);
}

void reportLoadFailure() {
    // The box runs its own message loop, in which the timer may report again.
    static bool showing = false;
    if (showing) return;
    showing = true;
    showError(L"Could not load the file.");
    showing = false;
}

bool isIsoPath(const WString& path) {
    if (path.size() < 4) return false;
    return asciiLower(path.substr(path.size() - 4)) == L".iso";
}

bool isDiscImagePath(const WString& path) {
    return isIsoPath(path) || !videoCdCueOf(path).empty();
}

bool openMediaPath(const WString& path, DiscKind kind, const WString& image) {
    PlayLogic* logic = gMainFrame.playLogic.get();
    if (!logic) return false;
    logic->stop();
    bool directory = isDirectory(path);
    if (directory && kind == DiscKind::None) {
        showError(L"Could not load the disk.");
        return false;
    }
    if (!directory && kind == DiscKind::None && path.size() > 4 &&
        asciiLower(path.substr(path.size() - 4)) == L".bin" && isRawDiscImage(path)) {
        // A .bin without its .cue would play as a bare stream, with a wrong length and shape.
        showError(L"Could not load the file.\nThe disc image's cue sheet (.cue) is missing.");
        return false;
    }
    if (directory) {
        const WString problem = discStructureProblem(path, kind);
        if (!problem.empty()) {
            showError((L"Could not load the file.\n" + problem).c_str());
            unmountImage(nullptr, true);
            return false;
        }
    }
    // A disc image played without a drive is a file opened as a disc.
    bool accepted = directory || kind != DiscKind::None || logic->playList().isMediaFile(path);
    bool started = false;
    if (accepted && logic->open(path, kind, image)) {
        installMouseHook();
        started = logic->play();
    }
    if (!started) {
        showError(L"Could not load the file.");
        // An image mounted for a disc that does not play is not left mounted.
        if (kind != DiscKind::None) unmountImage(nullptr, true);
        return false;
    }
    if (kind != DiscKind::None && !directory)
        logic->setPlayListSingle(path);
    else
        logic->buildPlayList(path);
    return true;
}

void openFileCommand() {
    Velloran* app = theApp();
    WString file = chooseMediaFile(app ? app->buildOpenFilter() : nullptr);
    if (!file.empty()) openMediaPath(file, DiscKind::None);
}

void openDiskCommand() {
    OpenFileDialogFn dialog = components::openFileDialog();
    if (!dialog) {
        reportMissingComponent(components::kPreferencesLibrary);
        return;
    }
    PlayLogic* logic = gMainFrame.playLogic.get();
    WString initial = logic ? logic->currentPath() : WString();
    wchar_t result[kPathCapacity] = {};
    if (!dialog(initial.c_str(), result, kPathCapacity)) return;
    result[kPathCapacity - 1] = 0;
    WString path(result);
    openMediaPath(path, detectDiscKind(path));
}

void openIsoCommand() {
    static const wchar_t kIsoFilter[] = L"ISO Files(*.iso)\0*.iso\0All Files(*.*)\0*.*\0";
    WString image = chooseMediaFile(kIsoFilter);
    if (image.empty()) return;
    OutputDebugStringW((image + L" is selected.\n").c_str());
    openIsoImage(image);
}

// Where an image cannot have a drive, libVLC reads a DVD or Blu-ray image itself; the user is
// told once per run why no drive appears.
void playImageWithoutDrive(const WString& image, const WString& why) {
    DiscKind kind = imageDiscKind(image);
    if (kind == DiscKind::None) {
        showError((L"Could not mount the file.\n" + why).c_str());
        return;
    }
    static bool told = false;
    if (!told) {
        told = true;
        const WString text = L"The image plays without a drive: " + why + L".";
        MessageBoxW(gMainFrame.mainWindow, text.c_str(), kProductName, MB_OK | MB_ICONINFORMATION);
    }
    openMediaPath(image, kind, image);
}

void openIsoImage(const WString& image) {
    const WString cue = videoCdCueOf(image);
    if (!cue.empty()) {
        // A Video CD image plays from its cue sheet: libVLC reads such an image itself, and
        // the mounted file system would not carry its MPEG sectors.
        unmountImage(nullptr, true);
        VideoCdLayout layout;
        WString reason;
        bool readable;
        {
            WaitCursor wait;
            readable = readVideoCd(cue, &layout, &reason);
        }
        if (!readable) {
            showError((L"Could not load the file.\n" + reason).c_str());
            return;
        }
        openMediaPath(cue, DiscKind::VideoCd);
        return;
    }
    WString root;
    DiscKind kind = DiscKind::None;
    {
        // Mounting runs the external tool on this thread.
        WaitCursor wait;
        unmountImage(nullptr, true);
        WString reason;
        WString existing;
        if (!imagesCanBeMounted(&reason) ||
            (findFreeDriveLetter().empty() && !findMountedDrive(image, &existing))) {
            if (reason.empty()) reason = L"no drive letter from K: to Z: is free";
            playImageWithoutDrive(image, reason);
            return;
        }
        if (!mountImage(image, &root, &reason)) {
            // The fixed text, and on a line below it the tool's reason, which a user can act on.
            const WString text = WString(L"Could not mount the file.") +
                                 (reason.empty() ? WString() : L"\n" + reason);
            showError(text.c_str());
            return;
        }
        kind = detectDiscKind(root);
    }
    if (kind == DiscKind::None) {
        int answer =
            MessageBoxW(gMainFrame.mainWindow,
                        L"It isn't video file.\nDo you want to browse the ISO file contents?",
                        kProductName, MB_YESNO | MB_ICONQUESTION);
        if (answer == IDYES)
            ShellExecuteW(nullptr, L"open", root.c_str(), nullptr, nullptr, SW_SHOW);
        else
            unmountImage(&image, true);
        return;
    }
    openMediaPath(root, kind, image);
}

bool openArrivedPath(const WString& path) {
    if (isDiscImagePath(path) && !isDirectory(path)) {
        stopForOpen();
        openIsoImage(path);
        return gMainFrame.playLogic && gMainFrame.playLogic->isPlaying();
    }
    return openMediaPath(path, DiscKind::None);
}

void onDropFiles(HDROP drop) {
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    wchar_t path[kPathCapacity] = {};
    if (count >= 1) DragQueryFileW(drop, 0, path, kPathCapacity);
    DragFinish(drop);
    if (path[0]) openArrivedPath(WString(path));
}

void onHandOver() {
    WString path = readHandedOverFile(kProductName);
    if (!canOpenForReading(path)) return;
    if (!openArrivedPath(path)) return;
    SetForegroundWindow(gMainFrame.mainWindow);
    SetWindowPos(gMainFrame.mainWindow, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
    SetWindowPos(gMainFrame.mainWindow, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

WString formatCaption(const WString& opened, const WString& name, const WString& titleName,
                      bool isDirectoryPath, bool active) {
    const WString product(kProductName);
    const WString& shown = isDirectoryPath ? opened : name;
    if (!active || shown.empty()) return product;
    const WString separator(L" - ");
    WString tail = isDirectoryPath ? separator + titleName : WString();
    WString path = isDirectoryPath ? opened : name;
    WString caption = product + separator + path + tail;
    const size_t limit = kPathCapacity - 1;
    if (caption.size() <= limit) return caption;
    // Too long for the caption buffer: keep the product name and the end of the path, which
    // names the file or disc, and mark the cut with "...".
    const WString ellipsis(L"...");
    size_t fixed = product.size() + separator.size() + ellipsis.size() + tail.size();
    if (fixed >= limit) {
        // Only a very long title name gets here: cut that instead.
        WString head = product + separator + ellipsis;
        return (head + tail).substr(0, limit - ellipsis.size()) + ellipsis;
    }
    size_t keep = limit - fixed;
    return product + separator + ellipsis + path.substr(path.size() - keep) + tail;
}

void updateTitle() {
    PlayLogic* logic = gMainFrame.playLogic.get();
    if (!gMainFrame.mainWindow) return;
    bool active = logic && isActive(logic->state());
    WString opened = logic ? logic->currentPath() : WString();
    WString name = logic ? logic->currentName() : WString();
    // A disc, whether in a drive, a folder or an image played without a drive, shows where it
    // is and its title.
    bool directory = isDirectory(opened) || (logic && logic->discKind() != DiscKind::None);
    WString titleName = directory && active && logic ? logic->currentTitleName() : WString();
    WString caption = formatCaption(opened, name, titleName, directory, active);
    // Only a changed caption is set: the timer runs every 260 ms and an unchanged one would
    // still repaint the frame.
    wchar_t current[kPathCapacity + 1] = {};
    GetWindowTextW(gMainFrame.mainWindow, current, kPathCapacity + 1);
    if (caption != WString(current)) SetWindowTextW(gMainFrame.mainWindow, caption.c_str());
}
