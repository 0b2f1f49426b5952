// Measures what a time refresh of the control bar costs (the seek column redrawn in the
// off-screen buffer and only the slider columns copied to the screen) against a full repaint
// of the bar with all its buttons, and prints both and their ratio.
// Usage: bench_bar [refreshes] (default 2000), with a display (Xvfb is enough).
#include <windows.h>

#include <gdiplus.h>

#include <cstdio>
#include <cstdlib>

#include "app/MainFrame.h"
#include "resources/resource.h"
#include "ui/PlayBar.h"
#include "ui/SkinImage.h"

namespace {

double seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

// Flat stand-ins of the skin's sizes, for a build of this program without the PNG resources.
SkinImage* flatImage(int width, int height, unsigned int argb) {
    unsigned int* pixels = new unsigned int[static_cast<size_t>(width) * height];
    for (int i = 0; i < width * height; ++i)
        pixels[i] = argb;
    SkinImage* image = createSkinImage(width, height, pixels);
    delete[] pixels;
    return image;
}

void fillMissingImages(PlayBar* bar) {
    struct Row {
        int id, w, h;
        unsigned int argb;
    } rows[] = {{IDC_BAR_OPEN, 36, 32, 0xFFD4D4D4},       {IDC_BAR_PLAY, 36, 32, 0xFFD4D4D4},
                {IDC_BAR_PAUSE, 36, 32, 0xFFD4D4D4},      {IDC_BAR_STOP, 36, 32, 0xFFD4D4D4},
                {IDC_BAR_PREV, 36, 32, 0xFFD4D4D4},       {IDC_BAR_NEXT, 36, 32, 0xFFD4D4D4},
                {IDC_BAR_MUTE, 28, 24, 0xFFD4D4D4},       {IDC_BAR_TIME, 3, 12, 0xFF3C3C3C},
                {IDC_BAR_VOLUME, 72, 12, 0xFF3C3C3C},     {IDC_BAR_FULLSCREEN1, 32, 26, 0xFFD4D4D4},
                {IDC_BAR_FULLSCREEN2, 32, 26, 0xFFD4D4D4}};
    for (const Row& row : rows)
        if (!bar->images.count(row.id)) bar->images[row.id] = flatImage(row.w, row.h, row.argb);
    if (!bar->barBackground) bar->barBackground = flatImage(10, 36, 0xFF1C1C1C);
    if (!bar->playedTile) bar->playedTile = flatImage(3, 12, 0xFF3D8EE6);
    if (!bar->timeKnob) bar->timeKnob = flatImage(12, 12, 0xFFE6E6E6);
    if (!bar->volumeKnob) bar->volumeKnob = flatImage(16, 12, 0xFFE6E6E6);
}

void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
}

} // namespace

extern "C" int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 2000;
    if (count <= 0) {
        std::printf("usage: bench_bar [refreshes]\n");
        return 2;
    }
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input(nullptr, FALSE, FALSE);
    Gdiplus::GdiplusStartup(&token, &input, nullptr);

    HINSTANCE module = GetModuleHandleW(nullptr);
    HWND owner = CreateWindowExW(0, L"STATIC", L"bench", WS_POPUP | WS_VISIBLE, 0, 0, 1000, 100,
                                 nullptr, nullptr, module, nullptr);
    gMainFrame.mainWindow = owner;
    auto owned = std::make_unique<PlayBar>();
    PlayBar* bar = owned.get();
    if (!owner || !bar) {
        std::printf("bench_bar: no window\n");
        return 1;
    }
    const bool resourceImages = bar->images.count(IDC_BAR_PLAY) != 0;
    fillMissingImages(bar);
    if (!bar->create(module, owner) || !bar->initControls()) {
        std::printf("bench_bar: the bar could not be created (is velloran.res linked in?)\n");
        return 1;
    }
    MoveWindow(bar->window, 0, 64, 1000, bar->barHeight(), TRUE);
    pump();

    // A time refresh as the controller does it on every time-changed event.
    bar->length = 7200000;
    LARGE_INTEGER t0, t1, t2;
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < count; ++i) {
        bar->updateTime((static_cast<long long>(i) * 3600) % bar->length, bar->length);
    }
    GdiFlush();
    QueryPerformanceCounter(&t1);
    // The same number of whole-bar repaints: background, both sliders and every button.
    for (int i = 0; i < count; ++i) {
        bar->time = (static_cast<long long>(i) * 3600) % bar->length;
        RedrawWindow(bar->window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    GdiFlush();
    QueryPerformanceCounter(&t2);

    const double refresh = seconds(t0, t1);
    const double full = seconds(t1, t2);
    std::printf("bench_bar: %d refreshes (%s images)\n", count,
                resourceImages ? "skin" : "stand-in");
    std::printf("  slider columns only (updateTime + flushSliders): %.3f s, %.1f us each\n",
                refresh, refresh * 1e6 / count);
    std::printf("  full bar repaint:                                %.3f s, %.1f us each\n", full,
                full * 1e6 / count);
    std::printf("  ratio full / sliders: %.2f\n", refresh > 0 ? full / refresh : 0.0);

    owned.reset();
    DestroyWindow(owner);
    Gdiplus::GdiplusShutdown(token);
    return 0;
}
