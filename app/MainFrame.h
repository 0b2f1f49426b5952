// The shell: the process-wide state of the main window and the functions around it. Everything
// here runs on the one GUI thread.
#pragma once

#include <windows.h>

#include "engine/MediaPlayer.h"
#include "engine/Preferences.h"
#include "platform/WString.h"

class PlayLogic;
class PlayWnd;
class PlayBar;
class Velloran;

struct MainFrameState {
    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;
    HMENU mainMenu = nullptr;
    HICON programIcon = nullptr;
    PlayLogic* playLogic = nullptr; // owned
    PlayWnd* playWnd = nullptr;
    PlayBar* playBar = nullptr;
    UINT_PTR uiTimer = 0;
    bool placementValid = false;
    WINDOWPLACEMENT placement{};
    bool fullScreen = false;
    bool layoutEnabled = false;
    Velloran* app = nullptr; // owned
    PreferenceData preferences{};
    HHOOK mouseHook = nullptr;
    UINT pendingOpenCommand = 0;
    LONG lastClickTime = 0;
    LONG lastSeenClickTime = 0;
};

extern MainFrameState gMainFrame;

inline constexpr const wchar_t kProductName[] = L"Velloran";
inline constexpr const wchar_t kMakerName[] = L"Quondel";
inline constexpr const wchar_t kMainWindowClass[] = L"Player_WndClass";

// Start-up, hand-over and exit
void initApp();
void shutdownApp();
bool handOverToRunningInstance(const wchar_t* product, const WString& path);
bool registerMainFrameHandle(const wchar_t* product, HWND window);
WString readHandedOverFile(const wchar_t* product);
LRESULT CALLBACK mouseHookProc(int code, WPARAM wParam, LPARAM lParam);
void installMouseHook();
// True when the file can be opened for reading (folders cannot).
bool canOpenForReading(const WString& path);
int runApplication(HINSTANCE instance, const WString& commandLine, int showCommand);

// Main window and commands
bool registerMainWindowClass(HINSTANCE instance);
bool createMainFrame(HINSTANCE instance, int showCommand);
bool createChildWindows();
LRESULT CALLBACK mainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int onCommand(UINT id);
void showAboutBox();
void refreshMenu(HMENU menu);
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
bool openMediaPath(const WString& path, DiscKind kind);
void openFileCommand();
void openDiskCommand();
void openIsoCommand();
// Open ISO from its third step: mount, examine, play or offer to browse.
void openIsoImage(const WString& image);
// A path from the command line, a drop or a second instance: a disc image goes through the
// Open ISO flow, anything else through openMediaPath.
bool openArrivedPath(const WString& path);
void onDropFiles(HDROP drop);
void onHandOver();
void updateTitle();
// The caption for the given parts, shortened to 259 characters keeping the end of the path.
WString formatCaption(const WString& opened, const WString& name, const WString& titleName,
                      bool isDirectory, bool active);
bool isIsoPath(const WString& path);
// "Could not load the file." for media that opened but turned out unplayable.
void reportLoadFailure();

// Placement, full screen, video sizes
bool loadWindowPlacement();
bool saveWindowPlacement();
void capturePlacement();
void layoutChildren();
void enterFullScreen();
void leaveFullScreen();
void setVideoSize(UINT id);
void resetFirstLayout();
