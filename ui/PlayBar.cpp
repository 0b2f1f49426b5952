// STUB: replaced by the real implementation.
#include "ui/PlayBar.h"
static PlayBar* gBar = nullptr;
PlayBar::PlayBar() {}
PlayBar::~PlayBar() {}
PlayBar* PlayBar::instance() { if (!gBar) gBar = new PlayBar(); return gBar; }
void PlayBar::destroyInstance() { delete gBar; gBar = nullptr; }
bool PlayBar::create(HINSTANCE, HWND) { return true; }
bool PlayBar::initControls() { return true; }
void PlayBar::updateButtons() {}
int PlayBar::barHeight() { return 0; }
void PlayBar::autoHideTick() {}
void PlayBar::layout() {}
void PlayBar::ensureBuffers() {}
void PlayBar::paintBackground(HDC) {}
void PlayBar::drawButton(const DRAWITEMSTRUCT*) {}
void PlayBar::updateTime() {}
void PlayBar::updateVolume() {}
void PlayBar::drawTimeBar(HDC) {}
void PlayBar::drawVolumeBar(HDC) {}
void PlayBar::flushSliders(HDC) {}
void PlayBar::beginDrag(LPARAM) {}
void PlayBar::dragTo(LPARAM) {}
WString formatTime(long long) { return WString(); }
WString timeText(long long, long long) { return WString(); }
