// How libVLC's video reaches the program's video window. On Windows libVLC draws into the
// window itself. Under Wine the window means nothing to the native libVLC, so it decodes into
// frame buffers of the program's own and the window's WM_PAINT draws the newest one, letterboxed
// to the display aspect ratio.
#pragma once

#include <windows.h>

#include <string>

#include <vlc/vlc.h>

struct VideoOutput;

// Hooks the output to the player; before the player's first play.
VideoOutput* createVideoOutput(libvlc_media_player_t* player);
// The window the video appears in (null: none; the frames are then dropped).
void setVideoOutputWindow(VideoOutput* output, HWND window);
// The forced display aspect ratio ("16:9", empty for the picture's own) and the zoom factor
// (0: fit the window), for hosts where the program draws the frames itself.
void setVideoOutputAspect(VideoOutput* output, const std::string& ratio);
void setVideoOutputScale(VideoOutput* output, float scale);
// Only after the player was released: libVLC's video threads may use the output until then.
void destroyVideoOutput(VideoOutput* output);
