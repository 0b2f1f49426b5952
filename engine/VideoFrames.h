// The frame buffers libVLC decodes into where the program draws the video itself, and the
// layout of their pictures (visible size, sample aspect ratio, forced aspect ratio, zoom).
//
// libVLC hands over its pictures as planar YUV 4:2:0 without converting them: it copies each into
// one of three buffers of this object, never the front one (the newest complete picture) nor the
// one being read. The buffers are not filled when they are made: their memory becomes resident only
// as libVLC writes pictures into it. The third is written only when a picture comes while another
// is being read, and libVLC sets a format up several times as a file starts; buffers it drops
// before writing a picture cost no memory. The callbacks run on libVLC's threads, which Wine does
// not know: they touch only the std::mutex, the buffers, the condition variable and (when the
// format is set up) the media's track list, and tell the video output; no Win32.
#pragma once

#include <vlc/vlc.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/PictureLayout.h"
#include "platform/VideoOutput.h"

class VideoFrames : public PictureSource {
public:
    explicit VideoFrames(libvlc_media_player_t* player);
    VideoFrames(const VideoFrames&) = delete;
    VideoFrames& operator=(const VideoFrames&) = delete;

    // Sets libVLC's video callbacks, which tell output of each format and picture; before the
    // player's first play. The player must be released before this object and the output go.
    void attach(VideoOutput* output);
    // GUI thread; the output is told to paint the window again.
    void setAspect(const std::string& ratio);
    void setScale(float scale);

    bool currentFormat(unsigned* generation) override;
    bool layout(unsigned generation, bool refresh, PictureLayout* layout) override;
    bool beginRead(unsigned generation, PictureView* view) override;
    void endRead() override;

private:
    static constexpr int kPictures = 3;

    static unsigned setupFormat(void** opaque, char* chroma, unsigned* width, unsigned* height,
                                unsigned* pitches, unsigned* lines);
    static void cleanupFormat(void* opaque);
    static void* lockFrame(void* opaque, void** planes);
    static void unlockFrame(void*, void*, void* const*) {}
    static void displayFrame(void* opaque, void* picture);
    void waitForReader(std::unique_lock<std::mutex>& hold);
    void refreshGeometry(unsigned generation);

    libvlc_media_player_t* player;
    VideoOutput* output = nullptr;

    std::mutex lock;
    // Guarded by lock.
    std::unique_ptr<uint8_t[]> pictures[kPictures];
    size_t planeOffsets[3] = {};
    int planePitches[3] = {};
    int front = -1;   // the newest complete picture, -1 none
    int reading = -1; // the picture being read now, -1 none
    unsigned width = 0, height = 0;
    unsigned formatGeneration = 0;
    unsigned frameSerial = 0;         // counts displayed pictures
    std::condition_variable readDone; // reading went back to -1

    // Taken by the window's thread and the output's thread, never by libVLC's: libVLC is asked
    // for the geometry while it is held. Guards what follows.
    std::mutex layoutLock;
    PictureLayout pictureLayout;
    unsigned knownGeneration = ~0u;
    bool pixelAspectKnown = false;
    std::chrono::steady_clock::time_point geometryTime;
};
