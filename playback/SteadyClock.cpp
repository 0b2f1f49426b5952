#include "playback/SteadyClock.h"

namespace {

// How far the shown time may stay behind the last report, and run ahead of it.
constexpr long long kBehindMs = 2000;
constexpr long long kAheadMs = 5000;

} // namespace

long long SteadyClock::shown(long long reported, unsigned long long nowMs, bool running) {
    // Nothing shown yet (the first pictures are still on their way, or a seek to the start):
    // the clock starts with the first time reported.
    if (reported <= 0) {
        anchored_ = false;
        return 0;
    }
    long long time = anchorTime_;
    if (anchored_ && running) time += static_cast<long long>(nowMs - anchorWall_);
    const bool back = anchored_ && reported < lastReported_;
    if (!anchored_ || back || time < reported - kBehindMs) time = reported;
    if (time > reported + kAheadMs) time = reported + kAheadMs;
    anchored_ = true;
    anchorTime_ = time;
    anchorWall_ = nowMs;
    lastReported_ = reported;
    return time;
}
