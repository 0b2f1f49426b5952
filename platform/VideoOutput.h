// How libVLC's video reaches the program's video window. On Windows libVLC draws into the
// window itself. Under Wine the window means nothing to the native libVLC, so it decodes into
// frame buffers of the program's own, and the newest one is drawn into the window, letterboxed to
// the display aspect ratio: by the window's WM_PAINT, and while the picture keeps its place, by a
// thread of the output's own as each picture comes.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include <vlc/vlc.h>

#include "platform/WString.h"

struct VideoOutput;

// Draws the newest video frame into the video surface during its WM_PAINT; false when there is
// nothing to show. Null where libVLC draws into the window itself.
using SurfacePainter = bool (*)(HWND surface, HDC dc);
SurfacePainter videoSurfacePainter();

// Hooks the output to the player; before the player's first play.
VideoOutput* createVideoOutput(libvlc_media_player_t* player);
// The window the video appears in (null: none; the frames are then dropped).
void setVideoOutputWindow(VideoOutput* output, HWND window);
// The forced display aspect ratio ("16:9", empty for the picture's own) and the zoom factor
// (0: fit the window), for hosts where the program draws the frames itself.
void setVideoOutputAspect(VideoOutput* output, const std::string& ratio);
void setVideoOutputScale(VideoOutput* output, float scale);
// A point of the window the video appears in, in coordinates of the decoded picture; false
// outside the picture or where libVLC draws itself. GUI thread.
bool videoOutputPicturePoint(VideoOutput* output, int x, int y, int* pictureX, int* pictureY);
// A short text over the picture for ms milliseconds, where the program draws the frames itself;
// false where libVLC draws (it is then shown by libVLC's own means). GUI thread.
bool setVideoOutputNotice(VideoOutput* output, const WString& text, int ms);
// Frames drawn on screen so far, each new frame counted once; 0 where libVLC draws itself.
unsigned videoOutputFramesDrawn(VideoOutput* output);
// Only after the player was released: libVLC's video threads may use the output until then.
void destroyVideoOutput(VideoOutput* output);

struct VideoOutputDeleter {
    void operator()(VideoOutput* output) const { destroyVideoOutput(output); }
};
using VideoOutputPtr = std::unique_ptr<VideoOutput, VideoOutputDeleter>;
