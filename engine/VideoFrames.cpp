#include "engine/VideoFrames.h"

#include <cstring>
#include <new>

namespace {

// The visible size of the media's video track that fits a decoded buffer of width x height
// (the buffer is at most a macroblock row or two larger); false when the media does not tell
// yet. Reads only the media's track list: the player's own calls may wait for this thread.
bool trackSizeFitting(libvlc_media_player_t* player, unsigned width, unsigned height,
                      unsigned* visibleWidth, unsigned* visibleHeight) {
    libvlc_media_t* media = libvlc_media_player_get_media(player);
    if (!media) return false;
    libvlc_media_track_t** tracks = nullptr;
    const unsigned count = libvlc_media_tracks_get(media, &tracks);
    bool found = false;
    for (unsigned i = 0; i < count && !found; ++i) {
        const libvlc_media_track_t* track = tracks[i];
        if (track->i_type != libvlc_track_video || !track->video) continue;
        const unsigned w = track->video->i_width, h = track->video->i_height;
        if (w == 0 || h == 0 || w > width || h > height || width - w >= 64 || height - h >= 64)
            continue;
        *visibleWidth = w;
        *visibleHeight = h;
        found = true;
    }
    if (count) libvlc_media_tracks_release(tracks, count);
    libvlc_media_release(media);
    return found;
}

} // namespace

VideoFrames::VideoFrames(libvlc_media_player_t* player) : player(player) {}

void VideoFrames::attach(VideoOutput* videoOutput) {
    output = videoOutput;
    libvlc_video_set_callbacks(player, lockFrame, unlockFrame, displayFrame, this);
    libvlc_video_set_format_callbacks(player, setupFormat, cleanupFormat);
}

// Frees or replaces the buffers only while no picture is being read.
void VideoFrames::waitForReader(std::unique_lock<std::mutex>& hold) {
    readDone.wait(hold, [this] { return reading < 0; });
}

unsigned VideoFrames::setupFormat(void** opaque, char* chroma, unsigned* width, unsigned* height,
                                  unsigned* pitches, unsigned* lines) {
    auto* frames = static_cast<VideoFrames*>(*opaque);
    std::memcpy(chroma, "I420", 4);
    // The decoder's buffer is taller than the picture (1090 lines for 1080p H.264). Buffers of
    // that size would make libVLC scale each picture's 1080 lines to 1090 (bicubic, on every
    // frame); buffers of the visible size make its conversion a plain copy that drops the
    // padding.
    unsigned visibleWidth = 0, visibleHeight = 0;
    if (trackSizeFitting(frames->player, *width, *height, &visibleWidth, &visibleHeight)) {
        *width = visibleWidth;
        *height = visibleHeight;
    } else if (*height >= 1088 && *height < 1096) {
        // The media does not tell the size yet (H.264 in an MPEG transport stream, as on every
        // Blu-ray). Of the common picture heights only 1080 is no whole number of 16-line
        // macroblock rows; padded, it is this buffer. Scaled into it instead, the picture would
        // be stretched and lose its bottom lines.
        *height = 1080;
    }
    bool allocated = true;
    {
        std::unique_lock<std::mutex> hold(frames->lock);
        frames->waitForReader(hold);
        frames->width = *width;
        frames->height = *height;
        // Rows 32-byte aligned in every plane, as libVLC's copies and libswscale's SIMD prefer.
        const unsigned lumaPitch = (*width + 63) & ~63u;
        const unsigned chromaLines = (*height + 1) / 2;
        pitches[0] = lumaPitch;
        pitches[1] = pitches[2] = lumaPitch / 2;
        lines[0] = chromaLines * 2;
        lines[1] = lines[2] = chromaLines;
        size_t offset = 0;
        for (int plane = 0; plane < 3; ++plane) {
            frames->planeOffsets[plane] = offset;
            frames->planePitches[plane] = static_cast<int>(pitches[plane]);
            offset += static_cast<size_t>(pitches[plane]) * lines[plane];
        }
        for (auto& picture : frames->pictures) {
            picture.reset(); // the old buffer goes first: the two are never held together
            picture.reset(new (std::nothrow) uint8_t[offset]);
            allocated = allocated && picture;
        }
        frames->front = -1;
        ++frames->formatGeneration;
        if (!allocated)
            for (auto& picture : frames->pictures)
                picture.reset();
    }
    videoOutputFormatChanged(frames->output);
    // A picture size no memory can hold (a damaged file's): no video output, no exception
    // thrown through libVLC's thread.
    return allocated ? 1 : 0;
}

void VideoFrames::cleanupFormat(void* opaque) {
    auto* frames = static_cast<VideoFrames*>(opaque);
    {
        std::unique_lock<std::mutex> hold(frames->lock);
        frames->waitForReader(hold);
        for (auto& picture : frames->pictures)
            picture.reset();
        frames->front = -1;
        frames->width = frames->height = 0;
        ++frames->formatGeneration;
    }
    videoOutputFormatChanged(frames->output);
    videoOutputPictureCame(frames->output);
}

void* VideoFrames::lockFrame(void* opaque, void** planes) {
    auto* frames = static_cast<VideoFrames*>(opaque);
    std::lock_guard<std::mutex> hold(frames->lock);
    int index = 0;
    while (index == frames->front || index == frames->reading)
        ++index;
    uint8_t* base = frames->pictures[index].get();
    for (int plane = 0; plane < 3; ++plane)
        planes[plane] = base + frames->planeOffsets[plane];
    return reinterpret_cast<void*>(static_cast<intptr_t>(index + 1));
}

void VideoFrames::displayFrame(void* opaque, void* picture) {
    auto* frames = static_cast<VideoFrames*>(opaque);
    const int index = static_cast<int>(reinterpret_cast<intptr_t>(picture)) - 1;
    {
        std::lock_guard<std::mutex> hold(frames->lock);
        if (index < 0 || index >= kPictures || !frames->pictures[index]) return;
        frames->front = index;
        ++frames->frameSerial;
    }
    videoOutputPictureCame(frames->output);
}

bool VideoFrames::currentFormat(unsigned* generation) {
    std::lock_guard<std::mutex> hold(lock);
    *generation = formatGeneration;
    return front >= 0;
}

bool VideoFrames::beginRead(unsigned generation, PictureView* view) {
    std::lock_guard<std::mutex> hold(lock);
    if (front < 0 || formatGeneration != generation) return false;
    view->serial = frameSerial;
    // Marked as read: libVLC writes the other pictures and keeps this one until endRead.
    reading = front;
    const uint8_t* base = pictures[reading].get();
    for (int plane = 0; plane < 3; ++plane) {
        view->planes[plane] = base + planeOffsets[plane];
        view->pitches[plane] = planePitches[plane];
    }
    return true;
}

void VideoFrames::endRead() {
    {
        std::lock_guard<std::mutex> hold(lock);
        reading = -1;
    }
    readDone.notify_all();
}

bool VideoFrames::layout(unsigned generation, bool refresh, PictureLayout* out) {
    std::lock_guard<std::mutex> hold(layoutLock);
    if (refresh) refreshGeometry(generation);
    *out = pictureLayout;
    return knownGeneration == generation && pixelAspectKnown;
}

// The picture's visible size and sample aspect ratio, read from the media once per format:
// libVLC's buffer may have more lines than the picture (258 for a 240-line video). The sample
// aspect ratio reaches the track description only once the video runs, so until it is there it
// is asked for again now and then. libVLC is asked outside lock: its video thread may be
// waiting for it.
void VideoFrames::refreshGeometry(unsigned generation) {
    const auto now = std::chrono::steady_clock::now();
    if (knownGeneration == generation &&
        (pixelAspectKnown || now - geometryTime < std::chrono::milliseconds(250)))
        return;
    unsigned bufferWidth, bufferHeight;
    {
        std::lock_guard<std::mutex> hold(lock);
        if (formatGeneration != generation) return;
        bufferWidth = width;
        bufferHeight = height;
    }
    knownGeneration = generation;
    geometryTime = now;
    pictureLayout.visibleWidth = bufferWidth;
    pictureLayout.visibleHeight = bufferHeight;
    pictureLayout.pixelAspect = 1.0;
    pixelAspectKnown = false;
    libvlc_media_t* media = libvlc_media_player_get_media(player);
    if (!media) return;
    libvlc_media_track_t** tracks = nullptr;
    const unsigned count = libvlc_media_tracks_get(media, &tracks);
    // The player's current video track; a disc's tracks are numbered otherwise in the media than
    // in the player, and then the first video track of the media is the one shown.
    const int current = libvlc_video_get_track(player);
    const libvlc_video_track_t* video = nullptr;
    for (unsigned i = 0; i < count; ++i) {
        const libvlc_media_track_t* track = tracks[i];
        if (track->i_type != libvlc_track_video || !track->video) continue;
        if (!video || track->i_id == current) video = track->video;
        if (track->i_id == current) break;
    }
    if (video) {
        if (video->i_width > 0 && video->i_width <= bufferWidth)
            pictureLayout.visibleWidth = video->i_width;
        if (video->i_height > 0 && video->i_height <= bufferHeight)
            pictureLayout.visibleHeight = video->i_height;
        if (video->i_sar_num > 0 && video->i_sar_den > 0) {
            pictureLayout.pixelAspect = static_cast<double>(video->i_sar_num) / video->i_sar_den;
            pixelAspectKnown = true;
        }
    }
    if (count) libvlc_media_tracks_release(tracks, count);
    libvlc_media_release(media);
}

void VideoFrames::setAspect(const std::string& ratio) {
    {
        std::lock_guard<std::mutex> hold(layoutLock);
        pictureLayout.aspect = ratio;
    }
    videoOutputLayoutChanged(output);
}

void VideoFrames::setScale(float scale) {
    {
        std::lock_guard<std::mutex> hold(layoutLock);
        pictureLayout.scale = scale > 0 ? scale : 0.0f;
    }
    videoOutputLayoutChanged(output);
}
