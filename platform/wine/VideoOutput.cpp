#include "platform/VideoOutput.h"

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

// libVLC decodes into two RV32 buffers of this object: it writes the one that is not the front
// buffer while the GUI thread may draw the front one, and its display callback makes the
// written buffer the front. The callbacks run on libVLC's threads, which Wine does not know:
// they touch only the std::mutex, the buffers and the condition variable. A repaint thread
// started with CreateThread turns "a new frame is there" into InvalidateRect on the window;
// WM_PAINT then draws it through videoSurfacePainter() on the GUI thread.
struct VideoOutput {
    libvlc_media_player_t* player = nullptr;

    std::mutex lock;
    // Guarded by lock.
    std::vector<uint8_t> buffers[2];
    int front = -1; // the newest complete frame, -1 none
    unsigned width = 0, height = 0, pitch = 0, lines = 0;
    unsigned formatGeneration = 0;
    HWND window = nullptr;
    bool frameWaiting = false;
    unsigned frameSerial = 0; // counts displayed frames
    bool quitting = false;
    std::condition_variable wake;

    // GUI thread only.
    unsigned knownGeneration = ~0u;
    unsigned visibleWidth = 0, visibleHeight = 0;
    double pixelAspect = 1.0; // the sample aspect ratio of the picture
    bool pixelAspectKnown = false;
    DWORD geometryTick = 0;
    std::string aspect;
    float scale = 0.0f;
    HANDLE repaintThread = nullptr;
    unsigned drawnSerial = 0;
    unsigned framesDrawn = 0;
};

namespace {

// The output whose frames the video window shows; GUI thread only.
VideoOutput* gShown = nullptr;

unsigned setupFormat(void** opaque, char* chroma, unsigned* width, unsigned* height,
                     unsigned* pitches, unsigned* lines) {
    auto* output = static_cast<VideoOutput*>(*opaque);
    std::memcpy(chroma, "RV32", 4);
    std::lock_guard<std::mutex> hold(output->lock);
    output->width = *width;
    output->height = *height;
    // Rows 32-byte aligned, as libVLC's own converters prefer.
    output->pitch = (*width * 4 + 31) & ~31u;
    output->lines = *height;
    pitches[0] = output->pitch;
    lines[0] = output->lines;
    const size_t size = static_cast<size_t>(output->pitch) * output->lines;
    for (auto& buffer : output->buffers)
        buffer.assign(size, 0);
    output->front = -1;
    ++output->formatGeneration;
    return 1;
}

void cleanupFormat(void* opaque) {
    auto* output = static_cast<VideoOutput*>(opaque);
    {
        std::lock_guard<std::mutex> hold(output->lock);
        for (auto& buffer : output->buffers)
            std::vector<uint8_t>().swap(buffer);
        output->front = -1;
        output->width = output->height = output->pitch = output->lines = 0;
        ++output->formatGeneration;
        output->frameWaiting = true;
    }
    output->wake.notify_one();
}

void* lockFrame(void* opaque, void** planes) {
    auto* output = static_cast<VideoOutput*>(opaque);
    std::lock_guard<std::mutex> hold(output->lock);
    const int index = output->front == 0 ? 1 : 0;
    planes[0] = output->buffers[index].data();
    return reinterpret_cast<void*>(static_cast<intptr_t>(index + 1));
}

void unlockFrame(void*, void*, void* const*) {}

void displayFrame(void* opaque, void* picture) {
    auto* output = static_cast<VideoOutput*>(opaque);
    const int index = static_cast<int>(reinterpret_cast<intptr_t>(picture)) - 1;
    {
        std::lock_guard<std::mutex> hold(output->lock);
        if (index < 0 || index > 1 || output->buffers[index].empty()) return;
        output->front = index;
        ++output->frameSerial;
        output->frameWaiting = true;
    }
    output->wake.notify_one();
}

DWORD WINAPI repaintThreadProc(void* parameter) {
    auto* output = static_cast<VideoOutput*>(parameter);
    std::unique_lock<std::mutex> hold(output->lock);
    for (;;) {
        output->wake.wait(hold, [output] { return output->quitting || output->frameWaiting; });
        if (output->quitting) return 0;
        output->frameWaiting = false;
        HWND window = output->window;
        hold.unlock();
        // Does not wait for the window's thread: WM_PAINT comes when its queue is idle, and a
        // run of frames meanwhile merges into one repaint.
        if (window) InvalidateRect(window, nullptr, FALSE);
        hold.lock();
    }
}

// The picture's visible size and sample aspect ratio, read from the media once per format:
// libVLC's buffer may have more lines than the picture (258 for a 240-line video). The sample
// aspect ratio reaches the track description only once the video runs, so until it is there it
// is asked for again now and then.
void refreshGeometry(VideoOutput* output, unsigned generation, unsigned width, unsigned height) {
    const DWORD now = GetTickCount();
    if (output->knownGeneration == generation &&
        (output->pixelAspectKnown || now - output->geometryTick < 250))
        return;
    output->knownGeneration = generation;
    output->geometryTick = now;
    output->visibleWidth = width;
    output->visibleHeight = height;
    output->pixelAspect = 1.0;
    output->pixelAspectKnown = false;
    libvlc_media_t* media = libvlc_media_player_get_media(output->player);
    if (!media) return;
    libvlc_media_track_t** tracks = nullptr;
    const unsigned count = libvlc_media_tracks_get(media, &tracks);
    // The player's current video track; a disc's tracks are numbered otherwise in the media than
    // in the player, and then the first video track of the media is the one shown.
    const int current = libvlc_video_get_track(output->player);
    const libvlc_video_track_t* video = nullptr;
    for (unsigned i = 0; i < count; ++i) {
        const libvlc_media_track_t* track = tracks[i];
        if (track->i_type != libvlc_track_video || !track->video) continue;
        if (!video || track->i_id == current) video = track->video;
        if (track->i_id == current) break;
    }
    if (video) {
        if (video->i_width > 0 && video->i_width <= width) output->visibleWidth = video->i_width;
        if (video->i_height > 0 && video->i_height <= height)
            output->visibleHeight = video->i_height;
        if (video->i_sar_num > 0 && video->i_sar_den > 0) {
            output->pixelAspect = static_cast<double>(video->i_sar_num) / video->i_sar_den;
            output->pixelAspectKnown = true;
        }
    }
    if (count) libvlc_media_tracks_release(tracks, count);
    libvlc_media_release(media);
}

// "16:9", "2.35:1": the ratio as a number, 0 when the text is not a ratio.
double parseRatio(const std::string& text) {
    double a = 0, b = 0;
    if (std::sscanf(text.c_str(), "%lf:%lf", &a, &b) != 2 || a <= 0 || b <= 0) return 0;
    return a / b;
}

// Where the picture goes in a client area of cw x ch pixels.
RECT pictureRect(const VideoOutput* output, int cw, int ch) {
    const double vw = output->visibleWidth, vh = output->visibleHeight;
    double ratio = parseRatio(output->aspect);
    if (ratio <= 0) ratio = vw * output->pixelAspect / vh;
    double w, h;
    if (output->scale > 0) {
        h = vh * output->scale;
        w = h * ratio;
    } else if (cw >= ch * ratio) {
        h = ch;
        w = ch * ratio;
    } else {
        w = cw;
        h = cw / ratio;
    }
    const int iw = static_cast<int>(w + 0.5), ih = static_cast<int>(h + 0.5);
    RECT r;
    r.left = (cw - iw) / 2;
    r.top = (ch - ih) / 2;
    r.right = r.left + iw;
    r.bottom = r.top + ih;
    return r;
}

void fillBlackAround(HDC dc, const RECT& client, const RECT& picture) {
    HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    RECT bands[4] = {{client.left, client.top, client.right, picture.top},
                     {client.left, picture.bottom, client.right, client.bottom},
                     {client.left, picture.top, picture.left, picture.bottom},
                     {picture.right, picture.top, client.right, picture.bottom}};
    for (const RECT& band : bands)
        if (band.right > band.left && band.bottom > band.top) FillRect(dc, &band, black);
}

bool paintSurface(HWND surface, HDC dc) {
    VideoOutput* output = gShown;
    if (!output || !surface) return false;
    unsigned generation, width, height;
    {
        std::lock_guard<std::mutex> hold(output->lock);
        if (output->window != surface || output->front < 0) return false;
        generation = output->formatGeneration;
        width = output->width;
        height = output->height;
    }
    // libVLC is asked outside the lock: its video thread may be waiting for it.
    refreshGeometry(output, generation, width, height);
    RECT client{};
    GetClientRect(surface, &client);
    if (client.right <= 0 || client.bottom <= 0 || !output->visibleWidth || !output->visibleHeight)
        return false;
    const RECT picture = pictureRect(output, client.right, client.bottom);
    fillBlackAround(dc, client, picture);

    std::lock_guard<std::mutex> hold(output->lock);
    if (output->front < 0 || output->formatGeneration != generation) return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = static_cast<LONG>(output->pitch / 4);
    info.bmiHeader.biHeight = -static_cast<LONG>(output->lines); // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, picture.left, picture.top, picture.right - picture.left,
                  picture.bottom - picture.top, 0, 0, static_cast<int>(output->visibleWidth),
                  static_cast<int>(output->visibleHeight), output->buffers[output->front].data(),
                  &info, DIB_RGB_COLORS, SRCCOPY);
    if (output->drawnSerial != output->frameSerial) {
        output->drawnSerial = output->frameSerial;
        ++output->framesDrawn;
    }
    return true;
}

} // namespace

bool videoOutputPicturePoint(VideoOutput* output, int x, int y, int* pictureX, int* pictureY) {
    if (!output) return false;
    HWND window;
    {
        std::lock_guard<std::mutex> hold(output->lock);
        window = output->window;
    }
    if (!window || !output->visibleWidth || !output->visibleHeight) return false;
    RECT client{};
    GetClientRect(window, &client);
    const RECT picture = pictureRect(output, client.right, client.bottom);
    const int w = picture.right - picture.left, h = picture.bottom - picture.top;
    if (w <= 0 || h <= 0 || x < picture.left || x >= picture.right || y < picture.top ||
        y >= picture.bottom)
        return false;
    *pictureX =
        static_cast<int>(static_cast<long long>(x - picture.left) * output->visibleWidth / w);
    *pictureY =
        static_cast<int>(static_cast<long long>(y - picture.top) * output->visibleHeight / h);
    return true;
}

SurfacePainter videoSurfacePainter() {
    return paintSurface;
}

VideoOutput* createVideoOutput(libvlc_media_player_t* player) {
    if (!player) return nullptr;
    auto* output = new VideoOutput;
    output->player = player;
    output->repaintThread = CreateThread(nullptr, 0, repaintThreadProc, output, 0, nullptr);
    if (!output->repaintThread)
        OutputDebugStringW(L"VideoOutput: the repaint thread could not be started\n");
    libvlc_video_set_callbacks(player, lockFrame, unlockFrame, displayFrame, output);
    libvlc_video_set_format_callbacks(player, setupFormat, cleanupFormat);
    return output;
}

void setVideoOutputWindow(VideoOutput* output, HWND window) {
    if (!output) return;
    {
        std::lock_guard<std::mutex> hold(output->lock);
        output->window = window;
    }
    gShown = output;
}

void setVideoOutputAspect(VideoOutput* output, const std::string& ratio) {
    if (!output) return;
    output->aspect = ratio;
    HWND window;
    {
        std::lock_guard<std::mutex> hold(output->lock);
        window = output->window;
    }
    if (window) InvalidateRect(window, nullptr, FALSE);
}

void setVideoOutputScale(VideoOutput* output, float scale) {
    if (!output) return;
    output->scale = scale > 0 ? scale : 0.0f;
    setVideoOutputAspect(output, output->aspect);
}

unsigned videoOutputFramesDrawn(VideoOutput* output) {
    return output ? output->framesDrawn : 0;
}

void destroyVideoOutput(VideoOutput* output) {
    if (!output) return;
    if (gShown == output) gShown = nullptr;
    {
        std::lock_guard<std::mutex> hold(output->lock);
        output->quitting = true;
    }
    output->wake.notify_all();
    if (output->repaintThread) {
        WaitForSingleObject(output->repaintThread, INFINITE);
        CloseHandle(output->repaintThread);
    }
    delete output;
}
