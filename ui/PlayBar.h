// The skinned control bar at the bottom of the main window, with the seek bar, the volume
// slider and the time text.
#pragma once

#include <windows.h>

#include <map>

#include "playback/PlayLogic.h"
#include "platform/WString.h"
#include "ui/SkinImage.h"

struct OffscreenBuffer {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    int width = 0;
    int height = 0;
};

// Holds the bar's paint lock (an auto-reset event, not re-entrant) for a scope.
class PaintLockHold {
public:
    explicit PaintLockHold(HANDLE lock) : lock_(lock) {
        if (lock_) WaitForSingleObject(lock_, INFINITE);
    }
    ~PaintLockHold() {
        if (lock_) SetEvent(lock_);
    }
    PaintLockHold(const PaintLockHold&) = delete;
    PaintLockHold& operator=(const PaintLockHold&) = delete;

private:
    HANDLE lock_;
};

class PlayBar {
public:
    // The one bar, owned by the main window's state; null when none exists.
    static PlayBar* instance();
    PlayBar();
    virtual ~PlayBar();
    PlayBar(const PlayBar&) = delete;
    PlayBar& operator=(const PlayBar&) = delete;

    bool create(HINSTANCE instance, HWND mainWindow);
    bool initControls();
    // The buttons for what the controller reports.
    void updateButtons(const PlayStatus& status);
    int barHeight();
    void autoHideTick();
    void layout();
    void ensureBuffers();
    void paintBackground(HDC dc);
    void drawButton(const DRAWITEMSTRUCT* item);
    // The Open button's menu; false when the menu resource does not load.
    bool showOpenMenu();

    // The position shown; clamped into the length.
    void updateTime(long long time, long long length);
    void updateVolume(int volume, bool muted);
    void drawTimeBar(HDC dc);
    void drawVolumeBar(HDC dc);
    void flushSliders(HDC dc);
    void beginDrag(LPARAM lParam);
    void dragTo(LPARAM lParam);

    HWND window = nullptr;
    std::map<int, SkinImage*> images;
    HBRUSH backgroundBrush = nullptr;
    SkinImage* barBackground = nullptr;
    SkinImage* volumeKnob = nullptr;
    SkinImage* playedTile = nullptr;
    SkinImage* timeKnob = nullptr;
    OffscreenBuffer drawBuffer;
    OffscreenBuffer backgroundBuffer;
    int shownVolume = 100;
    long long time = 0;
    long long length = 0;
    int dragTarget = 0;
    POINT lastCursorPos{0, 0};
    DWORD lastActivityTick = 0;
    HANDLE paintLock = nullptr;
    HWND tooltip = nullptr;
    HFONT textFont = nullptr;
    // The main window the buttons post their commands to, and the module of the resources.
    HWND owner = nullptr;
    HINSTANCE appInstance = nullptr;
    // The main window is in full screen: the bar offers the button that leaves it.
    bool fullScreen = false;
    // The status the buttons show, or are about to show once a posted update arrives.
    PlayStatus buttonStatus;

    // Knob offset from the track's left edge for a time within a length.
    static int timeKnobOffset(long long time, long long length, int trackWidth, int knobWidth);
    // Knob offset from the track's left edge for a volume of 0 to 100.
    static int volumeKnobOffset(int volume, int trackWidth, int knobWidth);
    // Where x lies between left and right, clamped to 0 ... 1.
    static double sliderFraction(int x, int left, int right);

private:
    int knobWidth(int sliderId);
    // Knob widths are read once, on first use; -1 until then.
    int timeKnobWidth = -1;
    int volumeKnobWidth = -1;
};

// Posted to the bar by updateButtons when it is called off the bar's own thread; the bar then
// shows buttonStatus.
inline constexpr UINT kBarUpdateButtonsMessage = WM_APP + 1;

// "%02ld:%02ld:%02ld" of hours, minutes and seconds; hours do not wrap at 24.
WString formatTime(long long ms);
// The seek bar's text: length first, then the elapsed time.
WString timeText(long long time, long long length);
