// Repeated open/play/stop cycles through the playback controller, with a real window as its
// event window and video surface and the messages pumped as the main window does, alternating
// files and discs (a DVD folder and a DVD image played directly). Each cycle plays until the
// engine reports a time past 0, then stops, which releases the engine as in the program. Prints
// the resident memory after cycle 1, 10, 100, 110, 200 and the last, the growth over opens 11 to
// 110 (half an hour of zapping) and over the last 100 cycles, each against its goal.
// Usage: bench_memory [cycles [sources [driver]]], media from %VELLORAN_MEDIA_WIN%.
//   sources: all (default), files, discs
//   driver:  logic (default: PlayLogic), engine (a bare VlcPlayer made and released each cycle),
//            kept (one bare VlcPlayer for every cycle)
// The other sources and drivers narrow down where memory stays behind.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "engine/VlcOptions.h"
#include "engine/VlcPlayer.h"
#include "playback/PlayLogic.h"
#include "platform/Memory.h"
#include "platform/WString.h"
#include "resources/resource.h"

namespace {

constexpr double kGoalMegabytes = 4.0;
// A viewer zapping for half an hour: 100 opens after the first 10.
constexpr double kSettledGoalMegabytes = 40.0;
constexpr DWORD kPlayTimeoutMs = 15000;

PlayLogic* gLogic = nullptr;
MediaPlayer* gBareEngine = nullptr; // the bare engine, told when an event was handled

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        if (gLogic)
            bench::paintVideo(window, gLogic);
        else
            bench::paintVideo(window, gBareEngine);
        return 0;
    case WM_TIMER:
        if (gLogic) gLogic->timerProc();
        return 0;
    case WM_MAINFRAME_PLAYER_EVENT:
        if (gLogic) gLogic->handleProc(static_cast<PlayerEvent>(wParam));
        if (gBareEngine) gBareEngine->eventHandled(static_cast<PlayerEvent>(wParam));
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

// The window side of the controller: one window that is both the video surface and the event
// window; everything else is only noted.
class Listener : public PlayLogicListener {
public:
    explicit Listener(HWND w) : window(w) {}
    bool prepareVideo(EngineKind) override { return true; }
    HWND videoSurface() override { return window; }
    void showVideo(bool) override {}
    void stateChanged(const PlayStatus&) override {}
    void positionChanged() override {}
    void listChanged(TrackListKind) override {}
    void timeChanged(long long timeMs, long long) override { time = timeMs; }
    void volumeChanged(int, bool) override {}
    void playbackStopped() override { InvalidateRect(window, nullptr, TRUE); }
    void loadFailed() override { ++failures; }
    void discLost(const WString&) override { ++failures; }
    int failures = 0;
    // The position last reported; 0 until the current source shows one.
    long long time = 0;

private:
    HWND window;
};

void pumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Pumps messages until the engine's clock passes 0; false after the timeout.
template <typename Clock> bool waitForTime(Clock clock) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < kPlayTimeoutMs) {
        pumpMessages();
        if (clock() > 0) return true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return false;
}

struct Source {
    WString path;
    DiscKind kind;
};

} // namespace

extern "C" int main(int argc, char** argv) {
    limitMemoryPools(); // as the player does at its start
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 300;
    const std::string sources = argc > 2 ? argv[2] : "all";
    const std::string driver = argc > 3 ? argv[3] : "logic";
    char media[MAX_PATH] = {};
    if (!GetEnvironmentVariableA("VELLORAN_MEDIA_WIN", media, MAX_PATH) || cycles < 1) {
        std::printf("bench_memory: VELLORAN_MEDIA_WIN is not set\n");
        return 2;
    }
    WCHAR wideMedia[MAX_PATH];
    MultiByteToWideChar(CP_UTF8, 0, media, -1, wideMedia, MAX_PATH);
    const WString base = WString(wideMedia) + L"\\";
    std::vector<Source> list;
    if (sources != "discs") {
        list.push_back({base + L"testsrc.mkv", DiscKind::None});
        list.push_back({base + L"twoaudio.mkv", DiscKind::None});
        list.push_back({base + L"audio.mp3", DiscKind::None});
    }
    if (sources != "files") {
        list.push_back({base + L"dvd", DiscKind::Dvd});
        list.push_back({base + L"dvd.iso", DiscKind::Dvd});
    }
    // Files and discs alternate: file, disc, file, disc...
    if (sources == "all")
        list = {list[0], list[3], list[1], list[4], list[2], list[3],
                list[0], list[4], list[1], list[3], list[2], list[4]};

    WNDCLASSW wc{};
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"BenchMemory";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"bench", WS_POPUP | WS_VISIBLE, 0, 0, 640,
                                  480, nullptr, nullptr, wc.hInstance, nullptr);
    if (!window) return 1;
    SetTimer(window, 1, 260, nullptr); // the main window's interface timer

    PreferenceData preferences{};
    components::defaultPreferenceData(preferences);
    Listener listener(window);
    std::unique_ptr<PlayLogic> logic;
    std::unique_ptr<MediaPlayer> kept;
    if (driver == "logic") {
        logic =
            std::make_unique<PlayLogic>(&listener, window, WM_MAINFRAME_PLAYER_EVENT, &preferences);
        gLogic = logic.get();
    } else if (driver == "kept") {
        kept.reset(createVlcPlayer(buildVlcOptions(preferences)));
        if (!kept->init(window)) return 1;
        kept->setHwnd(window);
        kept->setEventWindow(window, WM_MAINFRAME_PLAYER_EVENT);
        gBareEngine = kept.get();
    }

    std::printf("memory over %d open/play/stop cycles (sources %s, driver %s)\n", cycles,
                sources.c_str(), driver.c_str());
    double at[6] = {};
    int failures = 0;
    const DWORD start = GetTickCount();
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        const Source& source = list[static_cast<size_t>(cycle - 1) % list.size()];
        bool ok = true;
        if (logic) {
            listener.time = 0;
            ok = logic->open(source.path, source.kind) && logic->play() &&
                 waitForTime([&] { return listener.time; });
            logic->stop();
        } else {
            std::unique_ptr<MediaPlayer> fresh;
            MediaPlayer* engine = kept.get();
            if (!engine) {
                fresh.reset(createVlcPlayer(buildVlcOptions(preferences)));
                engine = fresh.get();
                ok = engine->init(window);
                engine->setHwnd(window);
                engine->setEventWindow(window, WM_MAINFRAME_PLAYER_EVENT);
                gBareEngine = engine;
            }
            ok = (!fresh || ok) && engine->open(source.path, source.kind) && engine->play() &&
                 waitForTime([&] { return engine->getTime(); });
            engine->stop();
            if (fresh) {
                fresh->release();
                gBareEngine = nullptr;
            }
        }
        pumpMessages(); // the events of the stop, as the window would see them
        if (!ok) {
            ++failures;
            std::printf("cycle %d: %s did not play\n", cycle, toUtf8(source.path).c_str());
        }
        const double rss = bench::statusMegabytes("VmRSS:");
        const int mark = cycle == 1     ? 0
                         : cycle == 100 ? 1
                         : cycle == 200 ? 2
                         : cycle == 300 ? 3
                         : cycle == 10  ? 4
                         : cycle == 110 ? 5
                                        : -1;
        if (mark >= 0) {
            at[mark] = rss;
            std::printf("after cycle %3d: %.1f MB resident\n", cycle, rss);
            std::fflush(stdout);
        }
    }
    if (kept) kept->release();
    logic.reset();
    gLogic = nullptr;
    DestroyWindow(window);

    std::printf("cycles: %d in %.0f s, %d did not play (%d reported by the controller)\n", cycles,
                (GetTickCount() - start) / 1000.0, failures, listener.failures);
    if (cycles >= 110) {
        const double settled = at[5] - at[4];
        std::printf("opens 11-110: %.1f MB more than after the first 10 (goal <= %.0f MB): %s\n",
                    settled, kSettledGoalMegabytes,
                    settled <= kSettledGoalMegabytes ? "met" : "not met");
    }
    if (cycles >= 300) {
        const double growth = at[3] - at[2];
        std::printf("growth: cycles 1-100 %.1f MB, 100-200 %.1f MB, 200-300 %.1f MB\n",
                    at[1] - at[0], at[2] - at[1], growth);
        std::printf("goal: last 100 cycles <= %.0f MB: %s\n", kGoalMegabytes,
                    growth <= kGoalMegabytes ? "met" : "not met");
    }
    releaseSharedVlcInstance();
    return 0;
}
