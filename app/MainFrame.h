// The shell: the process-wide state of the main window and the functions around it. Everything
// here runs on the one GUI thread.
#pragma once

#include <windows.h>

#include <memory>

#include "app/OpenPlan.h"
#include "app/Velloran.h"
#include "engine/MediaPlayer.h"
#include "engine/Preferences.h"
#include "mount/IsoMount.h"
#include "playback/PlayLogic.h"
#include "playback/ResumeStore.h"
#include "platform/WString.h"
#include "ui/PlayBar.h"
#include "ui/PlayWnd.h"

// How the controller's reports reach the windows and menus.
class MainFrameListener : public PlayLogicListener {
public:
    bool prepareVideo(EngineKind kind) override;
    HWND videoSurface() override;
    void showVideo(bool visible) override;
    void stateChanged(const PlayStatus& status) override;
    void positionChanged() override;
    void listChanged(TrackListKind list) override;
    void timeChanged(long long timeMs, long long lengthMs) override;
    void volumeChanged(int volume, bool muted) override;
    void playbackStopped() override;
    void loadFailed() override;
    void discLost(const WString& root) override;
    void playbackResumed(const ResumePoint& point, const WString& titleName) override;
    void problemReported(const WString& reason) override;
    void engineBusy(bool busy) override;
};

// The open flow to run once the posted stop-then-open has stopped what plays.
enum class PendingOpen { None, File, Disk, Iso };

// Owns what exists once; the instance getters (playLogic(), PlayWnd::instance(), ...) return
// what it holds.
struct MainFrameState {
    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;
    HMENU mainMenu = nullptr;
    HICON programIcon = nullptr;
    MainFrameListener listener;
    // Before the controller, whose disc may play from one of them until it goes.
    ImageMounts mounts;
    // Before the controller, which keeps its last position there when it goes.
    std::unique_ptr<ResumeStore> resumeStore;
    std::unique_ptr<PlayLogic> playLogic;
    std::unique_ptr<PlayWnd> playWnd;
    std::unique_ptr<PlayBar> playBar;
    UINT_PTR uiTimer = 0;
    bool placementValid = false;
    WINDOWPLACEMENT placement{};
    bool fullScreen = false;
    bool layoutEnabled = false;
    std::unique_ptr<Velloran> app;
    PreferenceData preferences{};
    HHOOK mouseHook = nullptr;
    PendingOpen pendingOpenCommand = PendingOpen::None;
    LONG lastClickTime = 0;
    LONG lastSeenClickTime = 0;
    // The launch time of the start whose file was opened last: a file handed over by a start
    // launched before it was chosen earlier and is not opened over it.
    unsigned long long openedLaunch = 0;
    // libVLC works on something long: the pointer over the window is the wait cursor.
    bool engineBusy = false;
};

extern MainFrameState gMainFrame;

inline constexpr const wchar_t kProductName[] = L"Velloran";
inline constexpr const wchar_t kMakerName[] = L"Quondel";
inline constexpr const wchar_t kMainWindowClass[] = L"Player_WndClass";

// Start-up, hand-over and exit
void initApp();
void shutdownApp();
// The window of a running instance that answers, or null.
HWND runningInstance(const wchar_t* product);
// A file handed from one start to the running instance, with the launch time of the start that
// chose it (0: unknown).
struct HandedOver {
    WString path;
    unsigned long long launched = 0;
};
bool handOverToRunningInstance(const wchar_t* product, const HandedOver& file);
bool registerMainFrameHandle(const wchar_t* product, HWND window);
// The file handed over, taken once; an empty path when there is none.
HandedOver readHandedOverFile(const wchar_t* product);
LRESULT CALLBACK mouseHookProc(int code, WPARAM wParam, LPARAM lParam);
void installMouseHook();
// The path the command line names: the whole text, or the text inside the double quotes when
// it is one quoted path, as Explorer and Wine pass a path with blanks.
WString commandLinePath(const WString& commandLine);
int runApplication(HINSTANCE instance, const WString& commandLine, int showCommand);

// Main window and commands
bool registerMainWindowClass(HINSTANCE instance);
bool createMainFrame(HINSTANCE instance, int showCommand);
bool createChildWindows();
LRESULT CALLBACK mainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int onCommand(UINT id);
// On a disc menu the arrow keys move between its buttons and Enter activates one; true when the
// key was taken so (it then means nothing else).
bool onDiscMenuKey(WPARAM key);
void showAboutBox();
void refreshMenu(HMENU menu);
// The bar's buttons for the current state; nothing before the bar exists.
void updateBarButtons();
void updateMenuItem(HMENU menu, UINT id);
void stopForOpen();
void onClose();
void destroyChildren();
int audioChannelForCommand(UINT id);
// The address handed to the exit advertisement.
extern const wchar_t kAdvertisementUrl[];
// Shows "<what> is missing" for a component library that could not be loaded.
void reportMissingComponent(const wchar_t* library);
const char* aspectTextForCommand(UINT id);

// Opening media
// GetOpenFileNameW owned by the main window, with the given filter and the title
// "Select File"; empty when cancelled.
WString chooseMediaFile(const wchar_t* filter);
// Every way of opening ends here: planned by planOpen, then carried out. True when playback
// started.
bool openRequest(const OpenRequest& request);
// A file (kind None) or a disc found in a drive.
bool openMediaPath(const WString& path, DiscKind kind);
void openFileCommand();
void openDiskCommand();
void openIsoCommand();
// Open ISO from its third step: mount, examine, play or offer to browse.
void openIsoImage(const WString& image);
void onDropFiles(HDROP drop);
void onHandOver();
void updateTitle();
// The caption for the given parts, shortened to 259 characters keeping the end of the path.
WString formatCaption(const WString& opened, const WString& name, const WString& titleName,
                      bool isDirectory, bool active);
// "Could not load the file." for media that did not play; disc: the mounts are released too.
// reason: what the engine said of the source, shown below the fixed text.
void reportLoadFailure(bool disc, const WString& reason = WString());

// Placement, full screen, video sizes
bool loadWindowPlacement();
bool saveWindowPlacement();
void capturePlacement();
void layoutChildren();
void enterFullScreen();
void leaveFullScreen();
void setVideoSize(UINT id);
void resetFirstLayout();
