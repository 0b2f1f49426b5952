// A Blu-ray whose program has nothing to do after its last title keeps libVLC "playing" the
// title's last picture, with the clock at the title's length, for good. A Blu-ray whose clip
// stops short (cut off, or unreadable from some point on) does the same with the clock standing
// where the data ended. This notices both. The clock is where libbluray reads, seconds ahead of
// the picture on a disc of low bitrate, so the pictures must have stopped too.
#pragma once

class DiscEndHold {
public:
    // One timer tick of a playing Blu-ray title: true once its clock has stood and no new
    // picture was shown (pictures: the count so far, -1 unknown) for two seconds of ticks within
    // half a second of the title's end, or for twelve seconds anywhere after its start, longer
    // than libVLC ever leaves the clock standing while the disc is read.
    bool tick(long long time, long long length, int pictures = -1);
    void reset() { ticks_ = 0; }

private:
    long long heldTime_ = -1;
    int heldPictures_ = -1;
    int ticks_ = 0;
};
