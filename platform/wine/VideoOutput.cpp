#include "platform/VideoOutput.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/Scoped.h"
#include "platform/wine/frame_scaler.h"

// Drawing converts the source's front picture and scales it in one pass (libswscale, bilinear)
// straight to the size it takes on screen, and draws the result 1:1, a band of rows at a time.
//
// A repaint thread started with CreateThread wakes for each new picture. While the picture keeps
// its place on screen it draws the picture into the window itself. Otherwise (the first picture, a
// new format or place, a notice over the picture) it invalidates the window, and WM_PAINT on the
// window's thread lays the picture out and draws it with what surrounds it. A WM_PAINT per picture
// costs about ten wineserver round trips under Wine; drawing in place costs one.
struct VideoOutput {
    PictureSource* source = nullptr;

    std::mutex lock;
    // Guarded by lock. Told of new pictures on libVLC's threads.
    HWND window = nullptr;
    PictureBox shownBox; // where the last picture was drawn; what a new one repaints
    bool frameWaiting = false;
    bool quitting = false;
    std::condition_variable wake; // the repaint thread's
    HANDLE repaintThread = nullptr;

    // Held while a picture is drawn, by the window's thread or the repaint thread; guards what
    // follows. The notice is changed by the window's thread only, which may read it without
    // the lock. Never taken by libVLC's threads; nothing waits for the window's thread while
    // holding it.
    std::mutex drawing;
    WString notice; // drawn over the picture until noticeUntil
    ULONGLONG noticeUntil = 0;
    frame_scaler* scaler = nullptr;
    std::vector<uint8_t> band; // a band of the converted picture, on its way to the screen
    unsigned drawnSerial = 0;
    std::atomic<unsigned> framesDrawn{0};
};

namespace {

// The window property that names the output shown in a window: the one given the window last.
constexpr wchar_t kShownOutput[] = L"Velloran.VideoOutput";

RECT toRect(const PictureBox& box) {
    return RECT{box.left, box.top, box.right, box.bottom};
}

bool isShownIn(const VideoOutput* output, HWND window) {
    return GetPropW(window, kShownOutput) == output;
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
        const PictureBox shown = output->shownBox;
        hold.unlock();
        // Invalidating does not wait for the window's thread: WM_PAINT comes when its queue is
        // idle, and a run of frames meanwhile merges into one repaint. Only the picture is
        // repainted while its place stays; the first picture and a format change repaint the
        // whole window.
        const RECT shownRect = toRect(shown);
        if (window && !drawInPlace(output, window))
            InvalidateRect(window, shown.empty() ? nullptr : &shownRect, FALSE);
        hold.lock();
    }
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

bool drawFront(VideoOutput* output, unsigned generation, const PictureLayout& layout, HDC dc,
               const RECT& picture) {
    const int width = picture.right - picture.left, height = picture.bottom - picture.top;
    PictureView view;
    if (!output->source->beginRead(generation, &view)) return false;
    if (!output->scaler) output->scaler = frame_scaler_create();
    const int sourceWidth = static_cast<int>(layout.visibleWidth);
    const int sourceHeight = static_cast<int>(layout.visibleHeight);
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
        ok = frame_scaler_convert(output->scaler, view.planes, view.pitches, sourceWidth,
                                  sourceHeight, hd, output->band.data(), rowBytes, width, height,
                                  row, rows) == 0;
        info.bmiHeader.biHeight = -rows; // top-down rows
        if (ok)
            SetDIBitsToDevice(dc, picture.left, picture.top + row, static_cast<DWORD>(width),
                              static_cast<DWORD>(rows), 0, 0, 0, static_cast<UINT>(rows),
                              output->band.data(), &info, DIB_RGB_COLORS);
    }
    output->source->endRead();
    if (ok && output->drawnSerial != view.serial) {
        output->drawnSerial = view.serial;
        ++output->framesDrawn;
    }
    return ok;
}

HWND windowOf(VideoOutput* output) {
    std::lock_guard<std::mutex> hold(output->lock);
    return output->window;
}

// Draws the front picture into the window from the repaint thread, where the last one was drawn,
// when nothing else on the window has to change: the format and the place are those of the last
// WM_PAINT, the picture's aspect ratio is known and no notice is over it. False when WM_PAINT has
// to draw it instead. Pictures of a minimized window are not drawn at all: restoring it repaints.
bool drawInPlace(VideoOutput* output, HWND window) {
    std::lock_guard<std::mutex> draw(output->drawing);
    if (!isShownIn(output, window) || !IsWindowVisible(window)) return false;
    if (IsIconic(GetAncestor(window, GA_ROOT))) return true;
    unsigned generation;
    if (windowOf(output) != window || !output->source->currentFormat(&generation)) return false;
    PictureBox shown;
    {
        std::lock_guard<std::mutex> hold(output->lock);
        shown = output->shownBox;
    }
    PictureLayout layout;
    if (shown.empty() || !output->source->layout(generation, false, &layout)) return false;
    if (!output->notice.empty() && GetTickCount64() < output->noticeUntil) return false;
    RECT client{};
    GetClientRect(window, &client);
    const PictureBox picture = layout.place(client.right, client.bottom);
    if (!(picture == shown)) return false;
    HDC dc = GetDC(window);
    if (!dc) return false;
    const bool drawn = drawFront(output, generation, layout, dc, toRect(picture));
    ReleaseDC(window, dc);
    // Wine puts what was drawn into a window on screen when a thread of the program finds its
    // message queue empty; this thread's always is.
    MSG message;
    if (drawn) PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    return drawn;
}

} // namespace

bool videoOutputDrawsFrames() {
    return true;
}

bool paintVideoOutput(VideoOutput* output, HWND surface, HDC dc) {
    if (!output || !output->source || !surface) return false;
    std::lock_guard<std::mutex> draw(output->drawing);
    unsigned generation;
    if (windowOf(output) != surface || !isShownIn(output, surface) ||
        !output->source->currentFormat(&generation))
        return false;
    PictureLayout layout;
    output->source->layout(generation, true, &layout);
    RECT client{};
    GetClientRect(surface, &client);
    if (client.right <= 0 || client.bottom <= 0 || !layout.visibleWidth || !layout.visibleHeight)
        return false;
    const PictureBox box = layout.place(client.right, client.bottom);
    // A zoomed picture far larger than the window is not converted whole.
    if (box.empty() ||
        static_cast<long long>(box.width()) * box.height() >
            16 * std::max<long long>(static_cast<long long>(client.right) * client.bottom,
                                     1920LL * 1080))
        return false;
    const RECT picture = toRect(box);
    fillBlackAround(dc, client, picture);
    if (!drawFront(output, generation, layout, dc, picture)) return false;
    drawNotice(output, dc, picture);
    PictureBox before;
    {
        std::lock_guard<std::mutex> hold(output->lock);
        before = output->shownBox;
        output->shownBox = box;
    }
    // A repaint of the old place only cannot show a picture that moved (its aspect ratio became
    // known, the window changed): the whole window follows.
    if (!before.empty() && !(before == box)) InvalidateRect(surface, nullptr, FALSE);
    return true;
}

void videoOutputFormatChanged(VideoOutput* output) {
    if (!output) return;
    std::lock_guard<std::mutex> hold(output->lock);
    output->shownBox = PictureBox{};
}

void videoOutputPictureCame(VideoOutput* output) {
    if (!output) return;
    {
        std::lock_guard<std::mutex> hold(output->lock);
        output->frameWaiting = true;
    }
    output->wake.notify_one();
}

void videoOutputLayoutChanged(VideoOutput* output) {
    if (!output) return;
    if (HWND window = windowOf(output)) InvalidateRect(window, nullptr, FALSE);
}

bool videoOutputPicturePoint(VideoOutput* output, int x, int y, int* pictureX, int* pictureY) {
    if (!output || !output->source) return false;
    HWND window = windowOf(output);
    unsigned generation;
    if (!window) return false;
    output->source->currentFormat(&generation);
    PictureLayout layout;
    output->source->layout(generation, false, &layout);
    RECT client{};
    GetClientRect(window, &client);
    return layout.pictureAt(client.right, client.bottom, x, y, pictureX, pictureY);
}

VideoOutput* createVideoOutput(libvlc_media_player_t* player, PictureSource* source) {
    if (!player) return nullptr;
    auto* output = new VideoOutput;
    output->source = source;
    output->repaintThread = CreateThread(nullptr, 0, repaintThreadProc, output, 0, nullptr);
    if (!output->repaintThread)
        OutputDebugStringW(L"VideoOutput: the repaint thread could not be started\n");
    return output;
}

void setVideoOutputWindow(VideoOutput* output, HWND window) {
    if (!output) return;
    HWND before;
    {
        std::lock_guard<std::mutex> hold(output->lock);
        before = output->window;
        output->window = window;
        output->shownBox = PictureBox{};
    }
    if (before && before != window && isShownIn(output, before)) RemovePropW(before, kShownOutput);
    if (window) SetPropW(window, kShownOutput, output);
}

unsigned videoOutputFramesDrawn(VideoOutput* output) {
    return output ? output->framesDrawn.load() : 0u;
}

void destroyVideoOutput(VideoOutput* output) {
    if (!output) return;
    {
        std::lock_guard<std::mutex> hold(output->lock);
        output->quitting = true;
    }
    output->wake.notify_all();
    if (output->repaintThread) {
        WaitForSingleObject(output->repaintThread, INFINITE);
        CloseHandle(output->repaintThread);
    }
    HWND window = output->window;
    if (window && IsWindow(window) && isShownIn(output, window)) RemovePropW(window, kShownOutput);
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
    if (HWND window = windowOf(output)) InvalidateRect(window, nullptr, FALSE);
    return true;
}
