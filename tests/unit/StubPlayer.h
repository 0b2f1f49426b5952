// Shared by the in-process tests: an engine that plays nothing and reports what the test
// sets, a message pump, and GDI+ started once for tests that draw without the program's
// start-up.
#pragma once

#include <windows.h>
#include <gdiplus.h>

#include "engine/MediaPlayer.h"

struct StubPlayer : MediaPlayer {
    PlayerState state = PlayerState::Playing;
    long long time = 0;
    long long length = 0;
    VideoSize size{};

    bool init(HWND) override { return true; }
    void release() override {}
    bool open(const WString&, DiscKind) override { return true; }
    bool play() override {
        state = PlayerState::Playing;
        return true;
    }
    bool isPlaying() override { return state == PlayerState::Playing; }
    void pause() override { state = PlayerState::Paused; }
    void stop() override { state = PlayerState::Stopped; }
    long long getTime() override { return time; }
    long long getLength() override { return length; }
    void setTime(long long ms) override { time = ms; }
    int getVolume() override { return 100; }
    bool setVolume(int) override { return true; }
    PlayerState getState() override { return state; }
    void setHwnd(HWND) override {}
    bool isMute() override { return false; }
    void toggleMute() override {}
    VideoSize getVideoSize() override { return size; }
};

// Dispatches everything waiting in this thread's queue.
inline void pumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

inline void ensureGdiplus() {
    static ULONG_PTR token = 0;
    if (token) return;
    Gdiplus::GdiplusStartupInput input(nullptr, FALSE, FALSE);
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
}
