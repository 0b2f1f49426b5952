#include "playback/DiscEndHold.h"

namespace {

constexpr int kHeldTicksAtEnd = 8;
constexpr long long kEndMarginMs = 500;

} // namespace

bool DiscEndHold::tick(long long time, long long length, int pictures) {
    const bool atEnd = length > 0 && time >= length - kEndMarginMs && time == heldTime_ &&
                       pictures == heldPictures_;
    heldTime_ = time;
    heldPictures_ = pictures;
    ticks_ = atEnd ? ticks_ + 1 : 0;
    return ticks_ >= kHeldTicksAtEnd;
}
