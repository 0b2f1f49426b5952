// STUB: replaced by app/Commands.cpp, app/OpenMedia.cpp and app/Placement.cpp.
#include "app/MainFrame.h"
int onCommand(UINT) { return 0; }
void refreshMenu(HMENU) {}
void updateMenuItem(HMENU, UINT) {}
void stopForOpen() {}
int audioChannelForCommand(UINT) { return -1; }
const char* aspectTextForCommand(UINT) { return nullptr; }
bool openMediaPath(const WString&, DiscKind) { return false; }
void openFileCommand() {}
void openDiskCommand() {}
void openIsoCommand() {}
void openIsoImage(const WString&) {}
bool openArrivedPath(const WString&) { return false; }
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
