// STUB: replaced by the real implementation.
#include "app/MainFrame.h"
MainFrameState gMainFrame;
void initApp() {}
void shutdownApp() {}
bool handOverToRunningInstance(const wchar_t*, const WString&) { return false; }
bool registerMainFrameHandle(const wchar_t*, HWND) { return false; }
WString readHandedOverFile(const wchar_t*) { return WString(); }
LRESULT CALLBACK mouseHookProc(int code, WPARAM w, LPARAM l) { return CallNextHookEx(nullptr, code, w, l); }
void installMouseHook() {}
bool canOpenForReading(const WString&) { return false; }
int runApplication(HINSTANCE, const WString&, int) { return 0; }
bool registerMainWindowClass(HINSTANCE) { return false; }
bool createMainFrame(HINSTANCE, int) { return false; }
bool createChildWindows() { return false; }
LRESULT CALLBACK mainWndProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcW(w, m, wp, lp); }
int onCommand(UINT) { return 0; }
void refreshMenu(HMENU) {}
void updateMenuItem(HMENU, UINT) {}
void stopForOpen() {}
void onClose() {}
void destroyChildren() {}
int audioChannelForCommand(UINT) { return -1; }
const char* aspectTextForCommand(UINT) { return nullptr; }
bool openMediaPath(const WString&, DiscKind) { return false; }
void openFileCommand() {}
void openDiskCommand() {}
void openIsoCommand() {}
void openIsoImage(const WString&) {}
void onDropFiles(HDROP) {}
void onHandOver() {}
void updateTitle() {}
WString formatCaption(const WString&, const WString&, const WString&, bool, bool) { return WString(); }
bool isIsoPath(const WString&) { return false; }
bool loadWindowPlacement() { return false; }
bool saveWindowPlacement() { return false; }
void capturePlacement() {}
void layoutChildren() {}
void enterFullScreen() {}
void leaveFullScreen() {}
void setVideoSize(UINT) {}
void resetFirstLayout() {}
