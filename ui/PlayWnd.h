// The video window above the control bar: black with a centred logo while idle, the
// "Powered by" link, and the video surface the engine renders into.
#pragma once

#include <windows.h>

#include "playback/PlayLogic.h"
#include "ui/SkinImage.h"

class PlayWnd {
public:
    // The one video window, owned by the main window's state; null when none exists.
    static PlayWnd* instance();
    PlayWnd();
    virtual ~PlayWnd();
    PlayWnd(const PlayWnd&) = delete;
    PlayWnd& operator=(const PlayWnd&) = delete;

    bool createWindow(HINSTANCE instance, HWND mainWindow);
    bool loadLogo();
    bool open(EngineKind engineKind, HINSTANCE instance);
    void showVideo(bool show);
    void layout();
    void paint(HDC dc, bool fromSurface);
    void showContextMenu(HMENU menu);
    void cursorTick();
    void destroyWindows();

    HWND window = nullptr;
    HWND videoSurface = nullptr;
    HFONT linkFont = nullptr;
    HWND poweredByLink = nullptr;
    SkinImage* logo = nullptr;
    DWORD lastMoveTick = 0;
    POINT lastCursorPos{0, 0};
    bool cursorHidden = false;
    // The main window: commands go there, and its menu bar lends its popups to the context
    // menu. fullScreen: the main window is in full screen.
    HWND mainWindow = nullptr;
    HMENU mainMenu = nullptr;
    bool fullScreen = false;
};
