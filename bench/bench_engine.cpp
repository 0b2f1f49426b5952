// Plays a video to its end through the program's libVLC engine into a window of a given size
// (under Wine: the frame buffers drawn by WM_PAINT) and then the same file with VLC's own cvlc
// drawing into a window of the same size, and prints the CPU seconds (the engine's with its
// wineserver), the peak memory and the frames decoded, shown and lost of both, and the ratios.
// Usage: bench_engine [file [width height [frames]]] (default %VELLORAN_MEDIA_WIN%\mpeg2_30s.mpg
// at 720x576), with a display at least that large; frames: how many the file holds. libVLC's
// counts lag behind by up to a second (its statistics are gathered periodically), the same for
// both players; the frames the engine drew are exact. One run per process, so that the peak memory
// is that run's. cvlc refuses to run as root; it runs as the user vlcbench (created when
// missing).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench/BenchSupport.h"
#include "engine/VlcPlayer.h"
#include "platform/VlcPaths.h"

namespace {

struct Usage {
    double cpuSeconds = 0;
    double peakMegabytes = 0;
    FrameStats frames;
    VideoSize video; // the picture's size, as the engine saw it
};

// CPU seconds (user + system) of a process from its /proc stat line; fields 14 and 15. Read
// from /proc rather than getrusage: Wine's headers give struct timeval another layout.
double processSeconds(int pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", pid);
    FILE* stat = std::fopen(path, "r");
    if (!stat) return 0;
    unsigned long utime = 0, stime = 0;
    // The command name (field 2) of the processes measured here has no spaces.
    const bool ok = std::fscanf(stat, "%*d %*s %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu",
                                &utime, &stime) == 2;
    std::fclose(stat);
    return ok ? static_cast<double>(utime + stime) / sysconf(_SC_CLK_TCK) : 0;
}

// CPU seconds of this prefix's wineserver, which does part of a Winelib program's work.
double wineserverSeconds() {
    const char* prefix = std::getenv("WINEPREFIX");
    double total = 0;
    FILE* list = popen("pidof wineserver64 wineserver", "r");
    if (!list) return 0;
    int pid;
    while (std::fscanf(list, "%d", &pid) == 1) {
        if (prefix) {
            char path[64];
            std::snprintf(path, sizeof path, "/proc/%d/environ", pid);
            FILE* env = std::fopen(path, "rb");
            if (!env) continue;
            std::string all;
            char chunk[4096];
            size_t n;
            while ((n = std::fread(chunk, 1, sizeof chunk, env)) > 0)
                all.append(chunk, n);
            std::fclose(env);
            std::string wanted = std::string("WINEPREFIX=") + prefix;
            wanted.push_back('\0');
            if (all.find(wanted) == std::string::npos) continue;
        }
        total += processSeconds(pid);
    }
    pclose(list);
    return total;
}

bool playWithEngine(const WString& path, int width, int height, Usage& usage,
                    double& serverSeconds) {
    HWND window = bench::createVideoWindow(width, height);
    if (!window) return false;

    const double cpuBefore = processSeconds(getpid());
    const double serverBefore = wineserverSeconds();

    VlcPlayer engine(bench::engineOptions());
    bool ok = engine.init(nullptr);
    if (ok) {
        engine.setHwnd(window);
        bench::showEngineIn(window, &engine);
        ok = engine.open(path, DiscKind::None) && engine.play();
    }
    const DWORD start = GetTickCount();
    while (ok && GetTickCount() - start < 90000) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        if (usage.video.width <= 0) usage.video = engine.getVideoSize();
        const PlayerState state = engine.getState();
        if (state == PlayerState::Ended || state == PlayerState::Error) break;
        // Wakes for each message, as the program's GetMessage loop; the state is looked at
        // least every 250 ms, about as often as the program's 260 ms interface timer.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 250, QS_ALLINPUT);
    }
    engine.getFrameStats(usage.frames);
    engine.release();
    DestroyWindow(window);

    usage.cpuSeconds = processSeconds(getpid()) - cpuBefore;
    usage.peakMegabytes = bench::statusMegabytes("VmHWM:");
    serverSeconds = wineserverSeconds() - serverBefore;
    return ok;
}

// The last value of a line "| name : value" of the rc interface's stats in the text.
int lastStat(const std::string& text, const char* name) {
    int value = 0;
    for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1)) {
        const size_t colon = text.find(':', at);
        if (colon != std::string::npos) value = std::atoi(text.c_str() + colon + 1);
    }
    return value;
}

// cvlc with its X11 output, the picture scaled as large as the engine drew it into a window of
// width x height (cvlc's window takes the picture's size times --zoom, black bars apart). Its
// frame counts come from the rc interface's "stats", asked for four times a second; the last
// answer before the end is kept. The asking loop ends when a write fails: the shell started
// from here inherits Wine's ignored SIGPIPE.
bool playWithCvlc(const std::string& unixPath, double zoom, Usage& usage) {
    std::system("id vlcbench >/dev/null 2>&1 || useradd -m vlcbench >/dev/null 2>&1");
    const char* display = std::getenv("DISPLAY");
    const std::string result = "/tmp/bench_engine_cvlc.txt", stats = "/tmp/bench_engine_stats.txt";
    std::remove(result.c_str());
    std::remove(stats.c_str());
    const std::string command =
        "(while sleep 0.25; do echo stats || exit; done) 2>/dev/null | "
        "/usr/bin/time -f '%U %S %M' -o " +
        result + " runuser -u vlcbench -- env DISPLAY=" + (display ? display : ":0") +
        " cvlc -I rc --rc-fake-tty --play-and-exit --vout=xcb_x11 --aout=dummy --zoom=" +
        std::to_string(zoom) + " '" + unixPath + "' >" + stats + " 2>/dev/null";
    std::system(command.c_str());
    FILE* f = std::fopen(result.c_str(), "r");
    if (!f) return false;
    double user = 0, system = 0, kilobytes = 0;
    const bool ok = std::fscanf(f, "%lf %lf %lf", &user, &system, &kilobytes) == 3;
    std::fclose(f);
    usage.cpuSeconds = user + system;
    usage.peakMegabytes = kilobytes / 1024.0;
    std::string text;
    if (FILE* s = std::fopen(stats.c_str(), "r")) {
        char chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, s)) > 0)
            text.append(chunk, n);
        std::fclose(s);
    }
    usage.frames.decoded = lastStat(text, "video decoded");
    usage.frames.displayed = lastStat(text, "frames displayed");
    usage.frames.lost = lastStat(text, "frames lost");
    return ok;
}

double share(int part, int whole) {
    return whole > 0 ? static_cast<double>(part) / whole : 0;
}

} // namespace

extern "C" int main(int argc, char** argv) {
    WString path;
    int width = 720, height = 576, frames = 0;
    if (argc > 1) {
        path = fromUtf8(argv[1]);
        if (argc > 3) {
            width = std::atoi(argv[2]);
            height = std::atoi(argv[3]);
        }
        if (argc > 4) frames = std::atoi(argv[4]);
    } else {
        wchar_t folder[MAX_PATH] = {};
        if (GetEnvironmentVariableW(L"VELLORAN_MEDIA_WIN", folder, MAX_PATH))
            path = WString(folder) + L"\\mpeg2_30s.mpg";
    }
    if (path.empty() || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES || width <= 0 ||
        height <= 0) {
        std::printf("bench_engine: no media (give a file or set VELLORAN_MEDIA_WIN)\n");
        return 2;
    }
    std::string name = toUtf8(path);
    name = name.substr(name.find_last_of("\\/") + 1);

    Usage ours, reference;
    double server = 0;
    if (!playWithEngine(path, width, height, ours, server)) {
        std::printf("bench_engine: the engine could not play the file\n");
        return 1;
    }
    std::printf("%s at %dx%d\n", name.c_str(), width, height);
    std::printf("  engine: %.2f CPU s (+ %.2f s wineserver), peak %.1f MB, frames decoded %d, "
                "shown %d, lost %d, drawn %d\n",
                ours.cpuSeconds, server, ours.peakMegabytes, ours.frames.decoded,
                ours.frames.displayed, ours.frames.lost, ours.frames.drawn);
    double zoom = 1.0;
    if (ours.video.width > 0 && ours.video.height > 0)
        zoom = std::min(static_cast<double>(width) / ours.video.width,
                        static_cast<double>(height) / ours.video.height);
    if (!playWithCvlc(vlcHostPath(path), zoom, reference)) {
        std::printf("  cvlc:   could not be run (vlc-bin, runuser and /usr/bin/time needed)\n");
        return 1;
    }
    std::printf("  cvlc (zoom %.3f):", zoom);
    std::printf(" %.2f CPU s, peak %.1f MB, frames decoded %d, shown %d, lost %d\n",
                reference.cpuSeconds, reference.peakMegabytes, reference.frames.decoded,
                reference.frames.displayed, reference.frames.lost);
    if (reference.cpuSeconds > 0 && reference.peakMegabytes > 0)
        std::printf("  ratio engine/cvlc: CPU %.2f (with wineserver %.2f), RSS %.2f\n",
                    ours.cpuSeconds / reference.cpuSeconds,
                    (ours.cpuSeconds + server) / reference.cpuSeconds,
                    ours.peakMegabytes / reference.peakMegabytes);
    std::printf("  frames lost engine %d, cvlc %d; shown engine %d, cvlc %d", ours.frames.lost,
                reference.frames.lost, ours.frames.displayed, reference.frames.displayed);
    if (frames > 0)
        std::printf("; drawn by the engine %d of %d (%.3f)", ours.frames.drawn, frames,
                    share(ours.frames.drawn, frames));
    std::printf("\n");
    releaseSharedVlcInstance();
    return 0;
}
