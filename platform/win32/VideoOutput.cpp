#include "platform/VideoOutput.h"

struct VideoOutput {
    libvlc_media_player_t* player = nullptr;
};

// libVLC draws into the window itself and applies the aspect ratio, the scale and the notice.
bool videoOutputDrawsFrames() {
    return false;
}

VideoOutput* createVideoOutput(libvlc_media_player_t* player, PictureSource*) {
    if (!player) return nullptr;
    VideoOutput* output = new VideoOutput;
    output->player = player;
    return output;
}

void setVideoOutputWindow(VideoOutput* output, HWND window) {
    if (output) libvlc_media_player_set_hwnd(output->player, window);
}

bool paintVideoOutput(VideoOutput*, HWND, HDC) {
    return false;
}

void videoOutputFormatChanged(VideoOutput*) {}
void videoOutputPictureCame(VideoOutput*) {}
void videoOutputLayoutChanged(VideoOutput*) {}

bool videoOutputPicturePoint(VideoOutput*, int, int, int*, int*) {
    return false;
}

unsigned videoOutputFramesDrawn(VideoOutput*) {
    return 0;
}

void destroyVideoOutput(VideoOutput* output) {
    delete output;
}

bool setVideoOutputNotice(VideoOutput*, const WString&, int) {
    return false;
}
