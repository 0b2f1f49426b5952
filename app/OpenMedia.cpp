// Every way media reaches the player: the three open commands, a drop, a second instance's
// hand-over, the command line and video discs. Each becomes an open request, which planOpen
// turns into a plan carried out here: messages shown, the controller called. Also the main
// window's caption, which names what plays.
#include "app/MainFrame.h"

#include <commdlg.h>
#include <dlgs.h>
#include <shellapi.h>

#include <vector>

#include "app/OpenPlan.h"
#include "engine/VideoCd.h"
#include "mount/IsoMount.h"
#include "playback/DiscDetect.h"
#include "platform/Files.h"
#include "platform/Scoped.h"
#include "platform/VirtualDrive.h"
#include "resources/resource.h"

namespace {

constexpr int kPathCapacity = MAX_PATH; // 259 characters and the terminating NUL
constexpr DWORD kLongPathCapacity = 32768;

void showError(const wchar_t* text) {
    MessageBoxW(gMainFrame.mainWindow, text, kProductName, MB_OK | MB_ICONERROR);
}

} // namespace

namespace {

// The file dialog keeps paths to MAX_PATH characters and leaves a longer typed path standing in
// its edit box. The dialog's OK is watched instead: a typed path too long for the dialog is
// taken from the box and the dialog closed, so that it is opened like any other.
struct LongPathCatch {
    WNDPROC original = nullptr;
    WString typed;
};
LongPathCatch* gLongPath = nullptr;

WString fileNameText(HWND dialog) {
    for (int id : {cmb13, edt1}) {
        HWND box = GetDlgItem(dialog, id);
        const int n = box ? GetWindowTextLengthW(box) : 0;
        if (n <= 0) continue;
        std::vector<wchar_t> text(static_cast<size_t>(n) + 1, 0);
        GetWindowTextW(box, text.data(), n + 1);
        return WString(text.data());
    }
    return WString();
}

LRESULT CALLBACK watchOk(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    WNDPROC original = gLongPath->original;
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
        const WString typed = fileNameText(dialog);
        const bool absolute =
            typed.size() > 2 && (typed[1] == L':' || (typed[0] == L'\\' && typed[1] == L'\\'));
        if (typed.size() >= MAX_PATH && absolute) {
            gLongPath->typed = typed;
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return 0;
        }
    }
    return CallWindowProcW(original, dialog, message, wParam, lParam);
}

UINT_PTR CALLBACK fileDialogHook(HWND child, UINT message, WPARAM, LPARAM) {
    if (message == WM_INITDIALOG && gLongPath) {
        HWND dialog = GetParent(child);
        gLongPath->original = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&watchOk)));
    }
    return 0;
}

} // namespace

WString chooseMediaFile(const wchar_t* filter) {
    // Room for the longest path Windows knows: a typed path longer than the buffer would
    // otherwise be cut, refused or, under Wine, overrun the buffer inside the dialog.
    std::vector<wchar_t> file(kLongPathCapacity, 0);
    LongPathCatch longPath;
    gLongPath = &longPath;
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = gMainFrame.mainWindow;
    ofn.hInstance = gMainFrame.instance;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 0;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = kLongPathCapacity;
    ofn.lpstrTitle = L"Select File";
    ofn.Flags = OFN_EXPLORER | OFN_ENABLEHOOK;
    ofn.lpfnHook = &fileDialogHook;
    const BOOL chosen = GetOpenFileNameW(&ofn);
    gLongPath = nullptr;
    if (!chosen) {
        if (!longPath.typed.empty()) return longPath.typed;
        if (CommDlgExtendedError() == FNERR_BUFFERTOOSMALL)
            showError(L"Could not open the file.\nIts path is too long.");
        return WString();
    }
    file.back() = 0;
    return WString(file.data());
}

void reportLoadFailure(bool disc, const WString& reason) {
    // The box runs its own message loop, in which the timer may report again.
    static bool showing = false;
    if (!showing) {
        showing = true;
        const WString text = reason.empty() ? WString(L"Could not load the file.")
                                            : L"Could not load the file.\n" + asSentence(reason);
        showError(text.c_str());
        showing = false;
    }
    // An image mounted for a disc that does not play is not left mounted.
    if (disc) gMainFrame.mounts.releaseAll();
}

namespace {

// The probes of opening, answered by the files, the disc detection and the mounts.
class FileProbes : public OpenProbes {
public:
    explicit FileProbes(ImageMounts& mounts) : mounts(mounts) {}
    bool isDirectory(const WString& path) override { return ::isDirectory(path); }
    bool canRead(const WString& path, WString* why) override {
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            const DWORD error = GetLastError();
            *why = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND
                       ? path + L" does not exist"
                       : path + L" cannot be read";
            return false;
        }
        if (::isDirectory(path) || canOpenForReading(path)) return true;
        *why = path + L" cannot be read";
        return false;
    }
    bool isFileSystemImage(const WString& path) override { return ::isFileSystemImage(path); }
    bool isMediaFile(const WString& path) override { return types.isMediaFile(path); }
    DiscKind detectDiscKind(const WString& root) override { return ::detectDiscKind(root); }
    WString discStructureProblem(const WString& root, DiscKind kind) override {
        return ::discStructureProblem(root, kind);
    }
    bool isRawDiscImage(const WString& path) override { return ::isRawDiscImage(path); }
    WString videoCdCueOf(const WString& path) override { return ::videoCdCueOf(path); }
    DiscKind imageDiscKind(const WString& image) override { return ::imageDiscKind(image); }
    bool canMount(const WString& image, WString* reason) override {
        if (!imagesCanBeMounted(reason)) return false;
        return !mounts.findFreeDriveLetter().empty() || mounts.findMountedDrive(image, nullptr);
    }
    bool mount(const WString& image, WString* root, WString* reason) override {
        return mounts.mountImage(image, root, reason);
    }
    void releaseMounts() override { mounts.releaseAll(); }

private:
    ImageMounts& mounts;
    PlayListData types;
};

bool playPlanned(const OpenPlan& plan) {
    PlayLogic* logic = gMainFrame.playLogic.get();
    if (!plan.message.empty()) {
        // Told once a run: why an image plays without a drive.
        static bool told = false;
        if (!told) {
            told = true;
            MessageBoxW(gMainFrame.mainWindow, plan.message.c_str(), kProductName,
                        MB_OK | MB_ICONINFORMATION);
        }
    }
    bool started = false;
    if (logic->open(plan.path, plan.kind, plan.image)) {
        installMouseHook();
        started = logic->play();
    }
    if (!started) {
        reportLoadFailure(plan.kind != DiscKind::None, logic->openProblem());
        return false;
    }
    if (plan.singleEntry)
        logic->setPlayListSingle(plan.path);
    else
        logic->buildPlayList(plan.path);
    return true;
}

bool carryOut(const OpenPlan& plan) {
    switch (plan.action) {
    case OpenAction::Play:
        return playPlanned(plan);
    case OpenAction::Refuse:
        showError(plan.message.c_str());
        if (plan.releaseMounts) gMainFrame.mounts.releaseAll();
        return false;
    case OpenAction::Browse: {
        int answer =
            MessageBoxW(gMainFrame.mainWindow,
                        L"It isn't video file.\nDo you want to browse the ISO file contents?",
                        kProductName, MB_YESNO | MB_ICONQUESTION);
        if (answer == IDYES) {
            // The browser is started with the folder in quotes, where a trailing backslash
            // would escape the closing quote ("K:\" reaches it as K:"): the root is named as
            // its "." entry instead.
            WString folder = plan.path;
            if (!folder.empty() && folder.back() == L'\\') folder += L'.';
            ShellExecuteW(nullptr, L"open", folder.c_str(), nullptr, nullptr, SW_SHOW);
        } else
            gMainFrame.mounts.unmountImage(&plan.image, true);
        return false;
    }
    }
    return false;
}

} // namespace

namespace {

// Opening waits for the mount tool and shows message boxes, whose loops dispatch posted
// messages: a file handed over meanwhile would start a second open inside the first. It waits
// in the registry until this one is done.
bool gOpening = false;
bool gHandOverWaiting = false;

bool carryOutRequest(const OpenRequest& request) {
    PlayLogic* logic = gMainFrame.playLogic.get();
    if (!logic) return false;
    FileProbes probes(gMainFrame.mounts);
    const bool arrival = request.route == OpenRoute::CommandLine ||
                         request.route == OpenRoute::HandOver || request.route == OpenRoute::Drop;
    // An image that arrives is opened as Open ISO opens one, after the same stop.
    if (arrival && isDiscImage(request.path, probes))
        stopForOpen();
    else
        logic->stop();
    OpenPlan plan;
    {
        // Mounting runs the external tool on this thread.
        WaitCursor wait;
        plan = planOpen(request, probes);
    }
    return carryOut(plan);
}

} // namespace

bool openRequest(const OpenRequest& request) {
    if (gOpening) return false;
    gOpening = true;
    const bool started = carryOutRequest(request);
    gOpening = false;
    if (gHandOverWaiting) {
        gHandOverWaiting = false;
        PostMessageW(gMainFrame.mainWindow, WM_MAINFRAME_NEWFILE, 0, 0);
    }
    return started;
}

bool openMediaPath(const WString& path, DiscKind kind) {
    return openRequest(
        {kind == DiscKind::None ? OpenRoute::OpenFile : OpenRoute::DiscDrive, path, kind});
}

void openFileCommand() {
    Velloran* app = theApp();
    WString file = chooseMediaFile(app ? app->buildOpenFilter() : nullptr);
    if (!file.empty()) openRequest({OpenRoute::OpenFile, file});
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
    openRequest({OpenRoute::OpenDisk, WString(result)});
}

void openIsoCommand() {
    static const wchar_t kIsoFilter[] = L"ISO Files(*.iso)\0*.iso\0All Files(*.*)\0*.*\0";
    WString image = chooseMediaFile(kIsoFilter);
    if (image.empty()) return;
    OutputDebugStringW((image + L" is selected.\n").c_str());
    openIsoImage(image);
}

void openIsoImage(const WString& image) {
    openRequest({OpenRoute::OpenIso, image});
}

void onDropFiles(HDROP drop) {
    UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    // The first file whole, however long its path.
    std::vector<wchar_t> path(count >= 1 ? DragQueryFileW(drop, 0, nullptr, 0) + 1 : 1, 0);
    if (count >= 1) DragQueryFileW(drop, 0, path.data(), static_cast<UINT>(path.size()));
    DragFinish(drop);
    if (path[0]) openRequest({OpenRoute::Drop, WString(path.data())});
}

void onHandOver() {
    if (gOpening) {
        gHandOverWaiting = true;
        return;
    }
    const HandedOver file = readHandedOverFile(kProductName);
    if (file.path.empty()) return;
    // Two starts a moment apart: the earlier one's file comes second when it reached the lock
    // second, and would replace the file chosen after it.
    if (file.launched != 0 && file.launched < gMainFrame.openedLaunch) {
        OutputDebugStringW((file.path + L" was chosen before what plays; not opened.\n").c_str());
        return;
    }
    if (file.launched != 0) gMainFrame.openedLaunch = file.launched;
    if (!openRequest({OpenRoute::HandOver, file.path})) return;
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
