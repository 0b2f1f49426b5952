#include "playback/DiscEndHold.h"

namespace {

constexpr int kHeldTicksAtEnd = 8;
constexpr int kHeldTicksElsewhere = 46;
constexpr long long kEndMarginMs = 500;

} // namespace

bool DiscEndHold::tick(long long time, long long length, int pictures) {
    const bool held = length > 0 && time > 0 && time == heldTime_ && pictures == heldPictures_;
    heldTime_ = time;
    heldPictures_ = pictures;
    ticks_ = held ? ticks_ + 1 : 0;
    const bool atEnd = time >= length - kEndMarginMs;
    return ticks_ >= (atEnd ? kHeldTicksAtEnd : kHeldTicksElsewhere);
}
