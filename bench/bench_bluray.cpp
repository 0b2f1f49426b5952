// A Blu-ray image like a pressed disc (UDF 2.50, first play through a logo; four 5 s chapters
// red, green, blue, yellow), through the program's way and through cvlc in the same run:
//   open:    from the open to the first picture. The program mounts the image through the mount
//            tool, as the player does, and opens the drive in its engine; cvlc, already
//            running, is handed bluray:///image through its rc interface.
//   chapter: two seconds into the red first chapter, chapter 4 is chosen; until its yellow
//            picture shows. The program sets it through its engine; cvlc gets "chapter 3".
// Each is measured several times and the medians and their ratios are printed. cvlc runs as the
// user vlcbench (bench/bluray-cvlc.sh), its picture read from the screen.
// Usage: bench_bluray [image [rounds]] (default %VELLORAN_MEDIA_WIN%\bdpressed.iso, 3 rounds).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "engine/VlcPlayer.h"
#include "mount/IsoMount.h"
#include "platform/VlcPaths.h"

namespace {

using bench::now;

ImageMounts gMounts;

enum class Shade { Black, Red, Yellow, Other };

Shade shadeOf(COLORREF c) {
    const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    if (r < 40 && g < 40 && b < 40) return Shade::Black;
    if (r > 180 && g < 70 && b < 70) return Shade::Red;
    if (r > 180 && g > 180 && b < 70) return Shade::Yellow;
    return Shade::Other;
}

// Pumps the window's messages until the picture at its centre has the shade, or the time is up;
// the seconds it took, or -1.
double waitForShade(HWND window, Shade wanted, double limit) {
    const double start = now();
    while (now() - start < limit) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        InvalidateRect(window, nullptr, FALSE);
        UpdateWindow(window);
        HDC dc = GetDC(window);
        RECT r;
        GetClientRect(window, &r);
        const Shade seen = shadeOf(GetPixel(dc, r.right / 2, r.bottom / 2));
        ReleaseDC(window, dc);
        if (wanted == Shade::Other ? seen != Shade::Black : seen == wanted) return now() - start;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return -1;
}

// One round of the program: mount, open, first picture; then the chapter. False on failure.
bool programRound(const WString& image, HWND window, double* open, double* chapter) {
    const double start = now();
    WString root;
    if (!gMounts.mountImage(image, &root)) return false;
    if (root.size() == 2) root += L"\\";
    VlcPlayer engine(bench::engineOptions());
    bool ok = engine.init(nullptr);
    if (ok) {
        engine.setHwnd(window);
        bench::showEngineIn(window, &engine);
        ok = engine.open(root, DiscKind::BluRay) && engine.play();
    }
    const double shown = ok ? waitForShade(window, Shade::Other, 30) : -1;
    *open = shown < 0 ? -1 : now() - start;
    *chapter = -1;
    if (shown >= 0 && waitForShade(window, Shade::Red, 20) >= 0) {
        waitForShade(window, Shade::Yellow, 2); // two seconds of the first chapter
        const double chosen = now();
        engine.setTitleChapter(engine.getTitle(), 3);
        if (waitForShade(window, Shade::Yellow, 10) >= 0) *chapter = now() - chosen;
    }
    bench::showEngineIn(window, nullptr);
    engine.release();
    gMounts.releaseAll();
    return *open >= 0 && *chapter >= 0;
}

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

extern "C" int main(int argc, char** argv) {
    const WString image = bench::mediaArgument(argc, argv, L"bdpressed.iso");
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    if (image.empty() || rounds <= 0 || bench::fileSize(image) == 0) {
        std::printf("usage: bench_bluray [image [rounds]]\n");
        return 2;
    }
    HWND window = bench::createVideoWindow(960, 540);
    std::vector<double> opens, chapters, refOpens, refChapters;
    for (int i = 0; i < rounds; ++i) {
        double open = 0, chapter = 0;
        if (!programRound(image, window, &open, &chapter)) {
            std::printf("bench_bluray: the program did not show the disc or its chapter\n");
            return 1;
        }
        opens.push_back(open);
        chapters.push_back(chapter);
    }
    DestroyWindow(window);
    releaseSharedVlcInstance();
    // cvlc's rounds, one per line: "open S chapter S".
    const std::string command = "bash bench/bluray-cvlc.sh '" + vlcHostPath(image) + "' " +
                                std::to_string(rounds);
    if (FILE* out = popen(command.c_str(), "r")) {
        double open = 0, chapter = 0;
        while (std::fscanf(out, " open %lf chapter %lf", &open, &chapter) == 2) {
            refOpens.push_back(open);
            refChapters.push_back(chapter);
        }
        pclose(out);
    }
    std::printf("bench_bluray: %s, medians of %d rounds\n", toUtf8(image).c_str(), rounds);
    std::printf("  open to first picture:   program %.3f s, cvlc %.3f s\n", median(opens),
                median(refOpens));
    std::printf("  chapter to its picture:  program %.3f s, cvlc %.3f s\n", median(chapters),
                median(refChapters));
    if (refOpens.empty() || median(refOpens) <= 0 || median(refChapters) <= 0) {
        std::printf("  cvlc: no measurement (vlc-bin, runuser, xdotool and imagemagick needed)\n");
        return 1;
    }
    std::printf("  ratio program/cvlc: open %.2f, chapter %.2f\n", median(opens) / median(refOpens),
                median(chapters) / median(refChapters));
    return 0;
}
