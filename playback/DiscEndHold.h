// A Blu-ray whose program has nothing to do after its last title keeps libVLC "playing" the
// title's last picture, with the clock at the title's length, for good. A Blu-ray whose clip
// stops short (cut off, or unreadable from some point on) does the same with the clock standing
// where the data ended. This notices both.
#pragma once

class DiscEndHold {
public:
    // One timer tick of a playing Blu-ray title: true once its clock has stood within half a
    // second of the title's end for two seconds of ticks, or anywhere after the start for
    // twelve seconds, longer than libVLC ever leaves it standing while pictures still come.
    bool tick(long long time, long long length);
    void reset() { ticks_ = 0; }

private:
    long long heldTime_ = -1;
    int ticks_ = 0;
};
