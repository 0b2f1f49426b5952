// STUB: replaced by the real implementation.
#include "ui/PlayWnd.h"
static PlayWnd* gWnd = nullptr;
PlayWnd::~PlayWnd() {}
PlayWnd* PlayWnd::instance() { if (!gWnd) gWnd = new PlayWnd(); return gWnd; }
void PlayWnd::destroyInstance() { delete gWnd; gWnd = nullptr; }
bool PlayWnd::createWindow(HINSTANCE, HWND) { return true; }
bool PlayWnd::loadLogo() { return true; }
bool PlayWnd::open(int, HINSTANCE) { return true; }
void PlayWnd::showVideo(bool) {}
void PlayWnd::layout() {}
void PlayWnd::paint(HDC, bool) {}
void PlayWnd::showContextMenu(HMENU) {}
void PlayWnd::cursorTick() {}
void PlayWnd::destroyWindows() {}
