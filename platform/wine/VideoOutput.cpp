#include "platform/VideoOutput.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "platform/Scoped.h"
#include "platform/wine/frame_scaler.h"

// libVLC hands over its pictures as planar YUV 4:2:0 without converting them: it copies each into
// one of three buffers of this object, never the front one (the newest complete picture) nor the
// one being read. The buffers are not filled when they are made: their memory becomes resident only
// as libVLC writes pictures into it. The third is written only when a picture comes while another
// is being read, and libVLC sets a format up several times as a file starts; buffers it drops
// before writing a picture cost no memory. Drawing converts the front picture and scales it in one
// pass (libswscale, bilinear) straight to the size it takes on screen, and draws the result 1:1, a
// band of rows at a time. The callbacks run on libVLC's threads, which Wine does not know: they
// touch only the std::mutex, the buffers, the condition variables and (when the format is set up)
// the media's track list; no Win32.
//
// A repaint thread started with CreateThread wakes for each new picture. While the picture keeps
// its place on screen it draws the picture into the window itself. Otherwise (the first picture, a
// new format or place, a notice over the picture) it invalidates the window, and WM_PAINT on the
// window's thread lays the picture out and draws it with what surrounds it. A WM_PAINT per picture
// costs about ten wineserver round trips under Wine; drawing in place costs one.
constexpr int kPictures = 3;

struct VideoOutput {
    libvlc_media_player_t* player = nullptr;

    std::mutex lock;
    // Guarded by lock.
    std::unique_ptr<uint8_t[]> pictures[kPictures];
    size_t planeOffsets[3] = {};
    int planePitches[3] = {};
    int front = -1;   // the newest complete picture, -1 none
    int reading = -1; // the picture being converted now, -1 none
    unsigned width = 0, height = 0;
    unsigned formatGeneration = 0;
    unsigned frameSerial = 0; // counts displayed pictures
    HWND window = nullptr;
    RECT shownRect{}; // where the last picture was drawn; what a new one repaints
    bool frameWaiting = false;
    bool quitting = false;
    std::condition_variable wake;     // the repaint thread's
    std::condition_variable readDone; // reading went back to -1
    HANDLE repaintThread = nullptr;

    // Held while a picture is laid out or drawn, by the window's thread or the repaint thread;
    // guards what follows. The layout (notice to scale) is changed by the window's thread only,
    // which may read it without the lock. Never taken by libVLC's threads; nothing waits for
    // the window's thread while holding it.
    std::mutex drawing;
    WString notice; // drawn over the picture until noticeUntil
    ULONGLONG noticeUntil = 0;
    unsigned knownGeneration = ~0u;
    unsigned visibleWidth = 0, visibleHeight = 0;
    double pixelAspect = 1.0; // the sample aspect ratio of the picture
    bool pixelAspectKnown = false;
    DWORD geometryTick = 0;
    std::string aspect;
    float scale = 0.0f;
    frame_scaler* scaler = nullptr;
    std::vector<uint8_t> band; // a band of the converted picture, on its way to the screen
    unsigned drawnSerial = 0;
    std::atomic<unsigned> framesDrawn{0};
};

namespace {

// The output whose frames the video window shows; set by the GUI thread.
std::atomic<VideoOutput*> gShown{nullptr};

// Frees or replaces the buffers only while no picture is being read.
void waitForReader(VideoOutput* output, std::unique_lock<std::mutex>& hold) {
    output->readDone.wait(hold, [output] { return output->reading < 0; });
}

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

unsigned setupFormat(void** opaque, char* chroma, unsigned* width, unsigned* height,
                     unsigned* pitches, unsigned* lines) {
    auto* output = static_cast<VideoOutput*>(*opaque);
    std::memcpy(chroma, "I420", 4);
    // The decoder's buffer is taller than the picture (1090 lines for 1080p H.264). Buffers of
    // that size would make libVLC scale each picture's 1080 lines to 1090 (bicubic, on every
    // frame); buffers of the visible size make its conversion a plain copy that drops the
    // padding.
    unsigned visibleWidth = 0, visibleHeight = 0;
    if (trackSizeFitting(output->player, *width, *height, &visibleWidth, &visibleHeight)) {
        *width = visibleWidth;
        *height = visibleHeight;
    } else if (*height >= 1088 && *height < 1096) {
        // The media does not tell the size yet (H.264 in an MPEG transport stream, as on every
        // Blu-ray). Of the common picture heights only 1080 is no whole number of 16-line
        // macroblock rows; padded, it is this buffer. Scaled into it instead, the picture would
        // be stretched and lose its bottom lines.
        *height = 1080;
    }
    std::unique_lock<std::mutex> hold(output->lock);
    waitForReader(output, hold);
    output->width = *width;
    output->height = *height;
    // Rows 32-byte aligned in every plane, as libVLC's copies and libswscale's SIMD prefer.
    const unsigned lumaPitch = (*width + 63) & ~63u;
    const unsigned chromaLines = (*height + 1) / 2;
    pitches[0] = lumaPitch;
    pitches[1] = pitches[2] = lumaPitch / 2;
    lines[0] = chromaLines * 2;
    lines[1] = lines[2] = chromaLines;
    size_t offset = 0;
    for (int plane = 0; plane < 3; ++plane) {
        output->planeOffsets[plane] = offset;
        output->planePitches[plane] = static_cast<int>(pitches[plane]);
        offset += static_cast<size_t>(pitches[plane]) * lines[plane];
    }
    bool allocated = true;
    for (auto& picture : output->pictures) {
        picture.reset(); // the old buffer goes first: the two are never held together
        picture.reset(new (std::nothrow) uint8_t[offset]);
        allocated = allocated && picture;
    }
    output->front = -1;
    ++output->formatGeneration;
    output->shownRect = RECT{};
    if (!allocated) {
        // A picture size no memory can hold (a damaged file's): no video output, no exception
        // thrown through libVLC's thread.
        for (auto& picture : output->pictures)
            picture.reset();
        return 0;
    }
    return 1;
}

void cleanupFormat(void* opaque) {
    auto* output = static_cast<VideoOutput*>(opaque);
    {
        std::unique_lock<std::mutex> hold(output->lock);
        waitForReader(output, hold);
        for (auto& picture : output->pictures)
            picture.reset();
        output->front = -1;
        output->width = output->height = 0;
        ++output->formatGeneration;
        output->shownRect = RECT{};
        output->frameWaiting = true;
    }
    output->wake.notify_one();
}

void* lockFrame(void* opaque, void** planes) {
    auto* output = static_cast<VideoOutput*>(opaque);
    std::lock_guard<std::mutex> hold(output->lock);
    int index = 0;
    while (index == output->front || index == output->reading)
        ++index;
    uint8_t* base = output->pictures[index].get();
    for (int plane = 0; plane < 3; ++plane)
        planes[plane] = base + output->planeOffsets[plane];
    return reinterpret_cast<void*>(static_cast<intptr_t>(index + 1));
}

void unlockFrame(void*, void*, void* const*) {}

void displayFrame(void* opaque, void* picture) {
    auto* output = static_cast<VideoOutput*>(opaque);
    const int index = static_cast<int>(reinterpret_cast<intptr_t>(picture)) - 1;
    {
        std::lock_guard<std::mutex> hold(output->lock);
        if (index < 0 || index >= kPictures || !output->pictures[index]) return;
        output->front = index;
        ++output->frameSerial;
        output->frameWaiting = true;
    }
    output->wake.notify_one();
}

bool drawInPlace(VideoOutput* output, HWND window);

DWORD WINAPI repaintThreadProc(void* parameter) {
    auto* output = static_cast<VideoOutput*>(parameter);
    std::unique_lock<std::mutex> hold(output->lock);
    for (;;) {
        output->wake.wait(hold, [output] { return output->quitting || output->frameWaiting; });
        if (output->quitting) return 0;
        output->frameWaiting = false;
        HWND window = output->window;
        const RECT shown = output->shownRect;
        hold.unlock();
        // Invalidating does not wait for the window's thread: WM_PAINT comes when its queue is
        // idle, and a run of frames meanwhile merges into one repaint. Only the picture is
        // repainted while its place stays; the first picture and a format change repaint the
        // whole window.
        if (window && !drawInPlace(output, window))
            InvalidateRect(window, IsRectEmpty(&shown) ? nullptr : &shown, FALSE);
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

// The notice at the picture's bottom left, white on a dark outline so that it reads over any
// picture, in lines that fit the picture's width; its size follows the picture's height.
void drawNotice(VideoOutput* output, HDC dc, const RECT& picture) {
    if (output->notice.empty() || GetTickCount64() >= output->noticeUntil) return;
    const int height = picture.bottom - picture.top;
    const int fontHeight = std::max(12, height / 26);
    ScopedFont font(CreateFontW(-fontHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                                DEFAULT_PITCH | FF_SWISS, L"Arial"));
    SelectedObject selected(dc, font.get());
    SetBkMode(dc, TRANSPARENT);
    const int margin = fontHeight / 2 + 2;
    RECT box{picture.left + margin, picture.top + margin, picture.right - margin,
             picture.bottom - margin};
    const UINT format = DT_LEFT | DT_WORDBREAK | DT_NOPREFIX;
    RECT measured = box;
    DrawTextW(dc, output->notice.c_str(), -1, &measured, format | DT_CALCRECT);
    OffsetRect(&box, 0, box.bottom - measured.bottom);
    box.top = std::max(box.top, picture.top + margin);
    SetTextColor(dc, RGB(0, 0, 0));
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy) {
            if (!dx && !dy) continue;
            RECT shadow = box;
            OffsetRect(&shadow, dx * 2, dy * 2);
            DrawTextW(dc, output->notice.c_str(), -1, &shadow, format);
        }
    SetTextColor(dc, RGB(255, 255, 255));
    DrawTextW(dc, output->notice.c_str(), -1, &box, format);
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

// Converts the front picture to 32-bit BGR at the picture's on-screen size and draws it at
// picture, in bands of rows through a buffer of at most about kBandBytes, so that no whole
// converted picture is kept (1.6 MB at 576p, 14 MB at full screen). A band this size stays in
// the processor's cache from libswscale's writing to GDI's reading: it costs no more CPU than
// bands of 4 MB, and 1.6 to 3.7 MB less memory. False when there is no picture of this format or
// it could not be converted.
constexpr size_t kBandBytes = 256 * 1024;

bool drawFront(VideoOutput* output, unsigned generation, HDC dc, const RECT& picture) {
    const int width = picture.right - picture.left, height = picture.bottom - picture.top;
    const uint8_t* planes[3];
    int pitches[3];
    unsigned serial;
    {
        std::lock_guard<std::mutex> hold(output->lock);
        if (output->front < 0 || output->formatGeneration != generation) return false;
        serial = output->frameSerial;
        // Marked as read: libVLC writes the other pictures and keeps this one until done.
        output->reading = output->front;
        const uint8_t* base = output->pictures[output->reading].get();
        for (int plane = 0; plane < 3; ++plane) {
            planes[plane] = base + output->planeOffsets[plane];
            pitches[plane] = output->planePitches[plane];
        }
    }
    if (!output->scaler) output->scaler = frame_scaler_create();
    const int sourceWidth = static_cast<int>(output->visibleWidth);
    const int sourceHeight = static_cast<int>(output->visibleHeight);
    // High-definition pictures use the BT.709 matrix, standard-definition ones BT.601.
    const int hd = sourceHeight > 576 ? 1 : 0;
    const int alignment =
        frame_scaler_prepare(output->scaler, sourceWidth, sourceHeight, hd, width, height);
    bool ok = alignment > 0;
    const int rowBytes = frame_scaler_pitch(width);
    int bandRows = static_cast<int>(kBandBytes / rowBytes);
    if (ok) bandRows = std::min(height, std::max(alignment, bandRows / alignment * alignment));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = rowBytes / 4; // the row's padding is in the bitmap, not drawn
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    if (ok) output->band.resize(static_cast<size_t>(rowBytes) * bandRows);
    for (int row = 0; ok && row < height; row += bandRows) {
        const int rows = std::min(bandRows, height - row);
        ok = frame_scaler_convert(output->scaler, planes, pitches, sourceWidth, sourceHeight, hd,
                                  output->band.data(), rowBytes, width, height, row, rows) == 0;
        info.bmiHeader.biHeight = -rows; // top-down rows
        if (ok)
            SetDIBitsToDevice(dc, picture.left, picture.top + row, static_cast<DWORD>(width),
                              static_cast<DWORD>(rows), 0, 0, 0, static_cast<UINT>(rows),
                              output->band.data(), &info, DIB_RGB_COLORS);
    }
    {
        std::lock_guard<std::mutex> hold(output->lock);
        output->reading = -1;
    }
    output->readDone.notify_all();
    if (ok && output->drawnSerial != serial) {
        output->drawnSerial = serial;
        ++output->framesDrawn;
    }
    return ok;
}

bool paintSurface(HWND surface, HDC dc) {
    VideoOutput* output = gShown;
    if (!output || !surface) return false;
    std::lock_guard<std::mutex> draw(output->drawing);
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
    const int pictureWidth = picture.right - picture.left;
    const int pictureHeight = picture.bottom - picture.top;
    // A zoomed picture far larger than the window is not converted whole.
    if (pictureWidth <= 0 || pictureHeight <= 0 ||
        static_cast<long long>(pictureWidth) * pictureHeight >
            16 * std::max<long long>(static_cast<long long>(client.right) * client.bottom,
                                     1920LL * 1080))
        return false;
    fillBlackAround(dc, client, picture);
    if (!drawFront(output, generation, dc, picture)) return false;
    drawNotice(output, dc, picture);
    RECT before;
    {
        std::lock_guard<std::mutex> hold(output->lock);
        before = output->shownRect;
        output->shownRect = picture;
    }
    // A repaint of the old place only cannot show a picture that moved (its aspect ratio became
    // known, the window changed): the whole window follows.
    if (!IsRectEmpty(&before) && !EqualRect(&before, &picture))
        InvalidateRect(surface, nullptr, FALSE);
    return true;
}

// Draws the front picture into the window from the repaint thread, where the last one was drawn,
// when nothing else on the window has to change: the format and the place are those of the last
// WM_PAINT, the picture's aspect ratio is known and no notice is over it. False when WM_PAINT has
// to draw it instead. Pictures of a minimized window are not drawn at all: restoring it repaints.
bool drawInPlace(VideoOutput* output, HWND window) {
    std::lock_guard<std::mutex> draw(output->drawing);
    if (gShown != output || !IsWindowVisible(window)) return false;
    if (IsIconic(GetAncestor(window, GA_ROOT))) return true;
    unsigned generation;
    RECT shown;
    {
        std::lock_guard<std::mutex> hold(output->lock);
        if (output->window != window || output->front < 0) return false;
        generation = output->formatGeneration;
        shown = output->shownRect;
    }
    if (IsRectEmpty(&shown) || output->knownGeneration != generation || !output->pixelAspectKnown)
        return false;
    if (!output->notice.empty() && GetTickCount64() < output->noticeUntil) return false;
    RECT client{};
    GetClientRect(window, &client);
    const RECT picture = pictureRect(output, client.right, client.bottom);
    if (!EqualRect(&picture, &shown)) return false;
    HDC dc = GetDC(window);
    if (!dc) return false;
    const bool drawn = drawFront(output, generation, dc, picture);
    ReleaseDC(window, dc);
    // Wine puts what was drawn into a window on screen when a thread of the program finds its
    // message queue empty; this thread's always is.
    MSG message;
    if (drawn) PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    return drawn;
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
        output->shownRect = RECT{};
    }
    gShown = output;
}

void setVideoOutputAspect(VideoOutput* output, const std::string& ratio) {
    if (!output) return;
    {
        std::lock_guard<std::mutex> draw(output->drawing);
        output->aspect = ratio;
    }
    HWND window;
    {
        std::lock_guard<std::mutex> hold(output->lock);
        window = output->window;
    }
    if (window) InvalidateRect(window, nullptr, FALSE);
}

void setVideoOutputScale(VideoOutput* output, float scale) {
    if (!output) return;
    {
        std::lock_guard<std::mutex> draw(output->drawing);
        output->scale = scale > 0 ? scale : 0.0f;
    }
    setVideoOutputAspect(output, output->aspect);
}

unsigned videoOutputFramesDrawn(VideoOutput* output) {
    return output ? output->framesDrawn.load() : 0u;
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
    frame_scaler_destroy(output->scaler);
    delete output;
}

bool setVideoOutputNotice(VideoOutput* output, const WString& text, int ms) {
    if (!output) return false;
    {
        std::lock_guard<std::mutex> draw(output->drawing);
        output->notice = text;
        output->noticeUntil = GetTickCount64() + static_cast<ULONGLONG>(ms > 0 ? ms : 0);
    }
    HWND window = nullptr;
    {
        std::lock_guard<std::mutex> hold(output->lock);
        window = output->window;
    }
    if (window) InvalidateRect(window, nullptr, FALSE);
    return true;
}
