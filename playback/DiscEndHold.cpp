#include "playback/DiscEndHold.h"

namespace {

constexpr int kHeldTicksAtEnd = 8;
constexpr long long kEndMarginMs = 500;

} // namespace

bool DiscEndHold::tick(long long time, long long length) {
    const bool atEnd = length > 0 && time >= length - kEndMarginMs && time == heldTime_;
    heldTime_ = time;
    ticks_ = atEnd ? ticks_ + 1 : 0;
    return ticks_ >= kHeldTicksAtEnd;
}
