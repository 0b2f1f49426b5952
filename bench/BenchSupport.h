// Small pieces the benchmarks share: a clock, this process's memory, file sizes, the engine's
// options, and a video window that shows the engine's frames.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/MediaPlayer.h"
#include "engine/VlcOptions.h"
#include "platform/WString.h"

namespace bench {

// The player's libVLC options with the default preferences, without sound as the cvlc runs
// they are compared with: the video paths are compared.
inline std::vector<std::string> engineOptions() {
    PreferenceData preferences{};
    components::defaultPreferenceData(preferences);
    std::vector<std::string> options = buildVlcOptions(preferences);
    options.emplace_back("--aout=dummy");
    return options;
}

// A monotonic clock in seconds, for the benchmarks' wall times.
inline double now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// A kB field of /proc/self/status ("VmRSS:" resident now, "VmHWM:" its peak), in MB.
inline double statusMegabytes(const char* field) {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return 0;
    char line[256];
    char format[32];
    std::snprintf(format, sizeof format, "%s %%lf", field);
    double kilobytes = 0;
    while (std::fgets(line, sizeof line, status))
        if (std::sscanf(line, format, &kilobytes) == 1) break;
    std::fclose(status);
    return kilobytes / 1024.0;
}

inline ULONGLONG fileSize(const WString& path) {
    WIN32_FILE_ATTRIBUTE_DATA a;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &a)) return 0;
    return (static_cast<ULONGLONG>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
}

// The largest file under folder (recursively; folder ends with a backslash).
inline void findLargest(const WString& folder, WString* best, ULONGLONG* bestSize) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        WString name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            findLargest(folder + name + L"\\", best, bestSize);
            continue;
        }
        ULONGLONG size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        if (size > *bestSize) {
            *bestSize = size;
            *best = folder + name;
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

// WM_PAINT of a video window: the newest frame of an engine or a controller where the program
// draws it, else black.
template <typename Painter> void paintVideo(HWND window, Painter* engine) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    if (!engine || !engine->paintVideo(window, dc))
        FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EndPaint(window, &ps);
}

// The media a benchmark was given as its first argument, else the file of that name in the
// test media folder %VELLORAN_MEDIA_WIN%; empty when neither is there.
inline WString mediaArgument(int argc, char** argv, const wchar_t* name) {
    if (argc > 1) return fromUtf8(argv[1]);
    wchar_t folder[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableW(L"VELLORAN_MEDIA_WIN", folder, MAX_PATH);
    return n > 0 && n < MAX_PATH ? WString(folder, n) + L"\\" + name : WString();
}

// The engine whose pictures a window of videoProc shows (null: none, the window is black).
inline void showEngineIn(HWND window, MediaPlayer* engine) {
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(engine));
}

inline LRESULT CALLBACK videoProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        paintVideo(window,
                   reinterpret_cast<MediaPlayer*>(GetWindowLongPtrW(window, GWLP_USERDATA)));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace bench

namespace bench {

// A visible borderless window of videoProc at the screen's top left corner.
inline HWND createVideoWindow(int width, int height) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = videoProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"BenchVideo";
    RegisterClassW(&wc);
    return CreateWindowExW(0, L"BenchVideo", L"bench", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                           nullptr, nullptr, wc.hInstance, nullptr);
}

} // namespace bench
