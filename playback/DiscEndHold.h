// A Blu-ray whose program has nothing to do after its last title keeps libVLC "playing" the
// title's last picture, with the clock at the title's length, for good. This notices it.
#pragma once

class DiscEndHold {
public:
    // One timer tick of a playing Blu-ray title: true once its clock has stood within half a
    // second of the title's end for two seconds of ticks.
    bool tick(long long time, long long length);
    void reset() { ticks_ = 0; }

private:
    long long heldTime_ = -1;
    int ticks_ = 0;
};
