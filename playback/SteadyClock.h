// libVLC learns a Blu-ray's time from libbluray only between the bursts in which it reads the
// disc, so the time it gives stands for seconds and then jumps (0, 1.5, 1.5, ..., 6.9). The
// clock shown runs on with the wall clock instead, kept within a band around that time: it
// follows a report that leaves the band below (a seek back) or above (a seek or chapter ahead),
// and stops when it runs too far past the last report (the data stopped coming).
#pragma once

class SteadyClock {
public:
    // The time to show at nowMs (any steady millisecond count) for the engine's reported time;
    // running: the media plays (not paused, not buffering a new source).
    long long shown(long long reported, unsigned long long nowMs, bool running);
    void reset() { anchored_ = false; }

private:
    bool anchored_ = false;
    long long anchorTime_ = 0;
    unsigned long long anchorWall_ = 0;
    long long lastReported_ = 0;
};
