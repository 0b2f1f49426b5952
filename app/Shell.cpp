// Start-up, the single-instance hand-over, the message loop, the mouse hook and the exit
// sequence.
#include "app/MainFrame.h"

#include <gdiplus.h>

#include <vector>

#include "engine/VlcPlayer.h"
#include "mount/IsoMount.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "platform/Scoped.h"
#include "resources/resource.h"
#include "ui/Hyperlink.h"

MainFrameState gMainFrame;

namespace {

// Survives the reset of the shell state: GDI+ is started before it and shut down after it.
ULONG_PTR gdiplusToken = 0;

const wchar_t kHandleValue[] = L"MainFrame_Handle";
const wchar_t kNewFileValue[] = L"MainFrame_NewFile";
const wchar_t kNewFileLaunchValue[] = L"MainFrame_NewFileLaunch";

// A running instance that does not answer the ping within this time counts as gone.
const UINT kPingTimeoutMs = 5000;
// How long a start waits for the running instance to take a file handed over just before.
const DWORD kTakeTimeoutMs = 3000;
const DWORD kTakePollMs = 50;
// How long a start that is not the first waits for the first to have its window up.
const DWORD kFirstReadyTimeoutMs = 20000;

// Owned by the first start from its first instruction to its exit, so that a start a moment
// later knows it is not alone even before the first has a window to hand a file to.
ScopedHandle takeInstanceLock(const wchar_t* product, bool* first) {
    const WString name = WString(L"Local\\") + product + L".Instance";
    ScopedHandle lock(CreateMutexW(nullptr, TRUE, name.c_str()));
    *first = lock && GetLastError() != ERROR_ALREADY_EXISTS;
    return lock;
}

// A later start: waits until the first start's window answers, then hands the file over. True
// when it did; false when the first went away meanwhile, and this start is then the first (it
// has taken the lock).
bool handOverOnceReady(const wchar_t* product, HANDLE lock, const HandedOver& file) {
    for (DWORD waited = 0; waited < kFirstReadyTimeoutMs; waited += kTakePollMs) {
        // Two starts a moment apart may reach the lock in either order; the launch time handed
        // over with the file lets the running instance keep the file chosen last.
        if (handOverToRunningInstance(product, file)) return true;
        const DWORD state = lock ? WaitForSingleObject(lock, 0) : WAIT_FAILED;
        if (state == WAIT_OBJECT_0 || state == WAIT_ABANDONED) return false;
        Sleep(kTakePollMs);
    }
    return false;
}

// The hand-over key "Software\<product>": read and write, else set-value only, else created.
ScopedKey openHandOverKey(const wchar_t* product) {
    WString path = WString(L"Software\\") + product;
    ScopedKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ | KEY_WRITE, key.out()) ==
        ERROR_SUCCESS)
        return key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, key.out()) ==
        ERROR_SUCCESS)
        return key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE,
                        nullptr, key.out(), nullptr) == ERROR_SUCCESS)
        return key;
    return ScopedKey();
}

} // namespace

void initApp() {
    Gdiplus::GdiplusStartupInput input(nullptr, FALSE, FALSE);
    Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr);
    gMainFrame = MainFrameState{};
    loadWindowPlacement();
    gMainFrame.app = std::make_unique<Velloran>();
}

void shutdownApp() {
    saveWindowPlacement();
    if (gMainFrame.mainMenu) {
        DestroyMenu(gMainFrame.mainMenu);
        gMainFrame.mainMenu = nullptr;
    }
    gMainFrame.app.reset();
    // Every engine is gone with the main window's children; libVLC's threads end here.
    releaseSharedVlcInstance();
    unregisterHyperlinkClass(gMainFrame.instance);
    gMainFrame.mounts.releaseAll();
    gMainFrame.mounts.releaseTool();
    if (gdiplusToken) {
        Gdiplus::GdiplusShutdown(gdiplusToken);
        gdiplusToken = 0;
    }
}

HWND runningInstance(const wchar_t* product) {
    ScopedKey key = openHandOverKey(product);
    if (!key) return nullptr;
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    LONG status = RegQueryValueExW(key.get(), kHandleValue, nullptr, &type,
                                   reinterpret_cast<BYTE*>(&value), &size);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size > sizeof(value)) return nullptr;
    HWND running = reinterpret_cast<HWND>(static_cast<ULONG_PTR>(value));
    // The ping guards against a stale value whose handle now belongs to another window. It is
    // bounded so that a hung window holding that handle cannot hang this start.
    DWORD_PTR answer = 0;
    if (!IsWindow(running) ||
        !SendMessageTimeoutW(running, WM_MAINFRAME_PING, 0, 0, SMTO_ABORTIFHUNG, kPingTimeoutMs,
                             &answer) ||
        answer != WM_MAINFRAME_PING)
        return nullptr;
    return running;
}

bool handOverToRunningInstance(const wchar_t* product, const HandedOver& file) {
    const WString& path = file.path;
    HWND running = runningInstance(product);
    if (!running) return false;
    ScopedKey key = openHandOverKey(product);
    if (!key) return false;
    // Starts hand over one at a time, and each after the running instance has read (and so
    // emptied) the file of the one before: waits bounded, so that no file is lost.
    const WString lockName = WString(L"Local\\") + product + L".HandOver";
    ScopedHandle lock(CreateMutexW(nullptr, FALSE, lockName.c_str()));
    const DWORD locked = lock ? WaitForSingleObject(lock.get(), kTakeTimeoutMs) : WAIT_FAILED;
    const bool owned = locked == WAIT_OBJECT_0 || locked == WAIT_ABANDONED;
    for (DWORD waited = 0; waited < kTakeTimeoutMs; waited += kTakePollMs) {
        DWORD type = 0, size = 0;
        if (RegQueryValueExW(key.get(), kNewFileValue, nullptr, &type, nullptr, &size) !=
                ERROR_SUCCESS ||
            size <= sizeof(wchar_t))
            break;
        Sleep(kTakePollMs);
    }
    // The launch time first: the running instance reads it with the file, which it then empties.
    RegSetValueExW(key.get(), kNewFileLaunchValue, 0, REG_QWORD,
                   reinterpret_cast<const BYTE*>(&file.launched), sizeof(file.launched));
    RegSetValueExW(key.get(), kNewFileValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                   static_cast<DWORD>(path.size() * sizeof(wchar_t)));
    PostMessageW(running, WM_MAINFRAME_NEWFILE, 0, 0);
    if (owned) ReleaseMutex(lock.get());
    return true;
}

bool registerMainFrameHandle(const wchar_t* product, HWND window) {
    ScopedKey key = openHandOverKey(product);
    if (!key) return false;
    DWORD value = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(window));
    return RegSetValueExW(key.get(), kHandleValue, 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&value), sizeof(value)) == ERROR_SUCCESS;
}

HandedOver readHandedOverFile(const wchar_t* product) {
    ScopedKey key = openHandOverKey(product);
    if (!key) return HandedOver();
    DWORD type = 0;
    DWORD size = 0;
    WString result;
    // Any path Windows knows, longer ones than MAX_PATH included.
    const DWORD limit = 32768 * sizeof(wchar_t);
    if (RegQueryValueExW(key.get(), kNewFileValue, nullptr, &type, nullptr, &size) ==
            ERROR_SUCCESS &&
        type == REG_SZ && size <= limit) {
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, 0);
        size = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
        if (RegQueryValueExW(key.get(), kNewFileValue, nullptr, &type,
                             reinterpret_cast<BYTE*>(buffer.data()), &size) == ERROR_SUCCESS)
            result.assign(buffer.data());
    }
    if (result.empty()) return HandedOver();
    // A start that wrote no launch time (0) counts as the latest.
    unsigned long long launched = 0;
    size = sizeof(launched);
    if (RegQueryValueExW(key.get(), kNewFileLaunchValue, nullptr, &type,
                         reinterpret_cast<BYTE*>(&launched), &size) != ERROR_SUCCESS ||
        type != REG_QWORD)
        launched = 0;
    // Taken: a start waiting to hand over its own file may write it now.
    RegDeleteValueW(key.get(), kNewFileLaunchValue);
    RegSetValueExW(key.get(), kNewFileValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(L""),
                   sizeof(wchar_t));
    return {result, launched};
}

LRESULT CALLBACK mouseHookProc(int code, WPARAM wParam, LPARAM lParam) {
    if (code < 0) return CallNextHookEx(nullptr, code, wParam, lParam);
    PlayWnd* wnd = gMainFrame.playWnd.get();
    HWND video = wnd ? wnd->window : nullptr;
    const auto* info = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
    RECT r{};
    if (video && info && GetForegroundWindow() == gMainFrame.mainWindow &&
        GetWindowRect(video, &r) && r.left < info->pt.x && info->pt.x < r.right &&
        r.top < info->pt.y && info->pt.y < r.bottom) {
        switch (wParam) {
        case WM_LBUTTONDBLCLK:
            PostMessageW(video, WM_LBUTTONDBLCLK, WM_LBUTTONDBLCLK, 0);
            break;
        case WM_RBUTTONUP:
            PostMessageW(video, WM_CONTEXTMENU, WM_RBUTTONUP, 0);
            break;
        case WM_LBUTTONDOWN: {
            LONG t = GetMessageTime();
            wchar_t trace[96];
            wnsprintfW(trace, 96, L"time=%ld, prevTime=%ld, delta=%ld\n", t,
                       gMainFrame.lastClickTime, t - gMainFrame.lastClickTime);
            OutputDebugStringW(trace);
            if (t == gMainFrame.lastSeenClickTime) break; // the same press delivered again
            gMainFrame.lastSeenClickTime = t;
            if (static_cast<UINT>(t - gMainFrame.lastClickTime) < GetDoubleClickTime()) {
                PostMessageW(video, WM_LBUTTONDBLCLK, WM_LBUTTONDOWN, 0);
                gMainFrame.lastClickTime = 0;
            } else {
                gMainFrame.lastClickTime = t;
            }
            break;
        }
        default:
            break;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void installMouseHook() {
    if (gMainFrame.mouseHook) {
        UnhookWindowsHookEx(gMainFrame.mouseHook);
        gMainFrame.mouseHook = nullptr;
    }
    gMainFrame.mouseHook = SetWindowsHookExW(WH_MOUSE_LL, mouseHookProc, gMainFrame.instance, 0);
}

bool registerMainWindowClass(HINSTANCE instance) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (GetClassInfoExW(instance, kMainWindowClass, &wc)) return true;
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = mainWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszMenuName = MAKEINTRESOURCEW(IDR_MAINMENU);
    wc.lpszClassName = kMainWindowClass;
    return RegisterClassExW(&wc) != 0;
}

WString commandLinePath(const WString& commandLine) {
    const size_t n = commandLine.size();
    if (n >= 2 && commandLine[0] == L'"' && commandLine[n - 1] == L'"' &&
        commandLine.find(L'"', 1) == n - 1)
        return commandLine.substr(1, n - 2);
    return commandLine;
}

int runApplication(HINSTANCE instance, const WString& commandLine, int showCommand) {
    bool first = false;
    ScopedHandle instanceLock = takeInstanceLock(kProductName, &first);
    const WString path = commandLinePath(commandLine);
    // Whatever it names is opened or refused with a reason, never passed over in silence.
    const bool haveFile = !path.empty();
    const unsigned long long launched = haveFile ? launchTime() : 0;
    // A start with a file while another runs hands it over, even while the other is starting.
    if (haveFile && !first) {
        if (handOverOnceReady(kProductName, instanceLock.get(), {path, launched})) return 0;
        first = true;
    }
    initApp();
    gMainFrame.openedLaunch = launched;
    // Alone: what an earlier run mounted and left behind (it was killed or crashed) goes now.
    if (first) gMainFrame.mounts.unmountLeftBehind();
    registerMainWindowClass(instance);
    if (!createMainFrame(instance, showCommand)) return 0;
    // Published before the start-up file opens: a second start meanwhile (even while a message
    // box about that file is up) hands its file over instead of opening a second player.
    registerMainFrameHandle(kProductName, gMainFrame.mainWindow);
    if (haveFile) openRequest({OpenRoute::CommandLine, path});
    DragAcceptFiles(gMainFrame.mainWindow, TRUE);
    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_MAINACCEL));
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // With no window holding the focus, keys reach the active window as "system" keys;
        // bit 29 tells those typed with Alt.
        const bool plainKey = msg.message == WM_KEYDOWN ||
                              (msg.message == WM_SYSKEYDOWN && !(msg.lParam & (1 << 29)));
        if (plainKey && onDiscMenuKey(msg.wParam)) continue;
        if (accelerators && TranslateAcceleratorW(gMainFrame.mainWindow, accelerators, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    shutdownApp();
    return static_cast<int>(msg.wParam);
}
