// How libVLC's video reaches the program's video window. On Windows libVLC draws into the
// window itself. Under Wine the window means nothing to the native libVLC, so it decodes into
// frame buffers the engine keeps (a PictureSource), and the output draws the newest picture into
// the window, letterboxed to the display aspect ratio: during the window's WM_PAINT, and while
// the picture keeps its place, from a thread of the output's own as each picture comes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include <vlc/vlc.h>

#include "platform/PictureLayout.h"
#include "platform/WString.h"

struct VideoOutput;

// A decoded picture in planar YUV 4:2:0, lent to the output between beginRead and endRead.
struct PictureView {
    const uint8_t* planes[3] = {};
    int pitches[3] = {};
    unsigned serial = 0; // counts the pictures libVLC displayed
};

// The engine's decoded pictures, as the output draws them. Called by the window's thread and
// the output's thread, never while the output holds a lock of its own.
class PictureSource {
public:
    virtual ~PictureSource() = default;
    // The format of the pictures now (a new number each time libVLC sets one up); false while
    // there is no picture to show.
    virtual bool currentFormat(unsigned* generation) = 0;
    // The layout of that format's pictures. refresh (window's thread only) asks libVLC for the
    // visible size and the sample aspect ratio where they are not known yet. True once the
    // layout of this format is final: its sample aspect ratio is known.
    virtual bool layout(unsigned generation, bool refresh, PictureLayout* layout) = 0;
    // Lends the newest picture of that format until endRead; false when there is none. libVLC
    // writes into the other buffers meanwhile.
    virtual bool beginRead(unsigned generation, PictureView* view) = 0;
    virtual void endRead() = 0;
};

// Whether the program draws the frames itself here (libVLC then needs a PictureSource to
// decode into); false where libVLC draws into the window.
bool videoOutputDrawsFrames();
// Hooks the output to the player, before the player's first play; source: where the pictures
// come from, used only where the program draws the frames.
VideoOutput* createVideoOutput(libvlc_media_player_t* player, PictureSource* source);
// The window the video appears in (null: none; the frames are then dropped). The output that
// was given a window last is the one shown in it.
void setVideoOutputWindow(VideoOutput* output, HWND window);
// Draws the newest picture into surface during its WM_PAINT; false when there is nothing to
// show (another output is shown there, no picture yet, or libVLC draws itself).
bool paintVideoOutput(VideoOutput* output, HWND surface, HDC dc);
// The source's format or picture changed. Called on libVLC's threads: no Win32 call.
void videoOutputFormatChanged(VideoOutput* output);
void videoOutputPictureCame(VideoOutput* output);
// The layout changed (forced aspect ratio, zoom): the whole window is painted again.
void videoOutputLayoutChanged(VideoOutput* output);
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
