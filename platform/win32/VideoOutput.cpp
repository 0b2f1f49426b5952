#include "platform/VideoOutput.h"

struct VideoOutput {
    libvlc_media_player_t* player = nullptr;
};

// libVLC draws into the window itself.
SurfacePainter videoSurfacePainter() {
    return nullptr;
}

VideoOutput* createVideoOutput(libvlc_media_player_t* player) {
    if (!player) return nullptr;
    VideoOutput* output = new VideoOutput;
    output->player = player;
    return output;
}

void setVideoOutputWindow(VideoOutput* output, HWND window) {
    if (output) libvlc_media_player_set_hwnd(output->player, window);
}

bool videoOutputPicturePoint(VideoOutput*, int, int, int*, int*) {
    return false;
}

// libVLC's own video output applies the aspect ratio and the scale.
void setVideoOutputAspect(VideoOutput*, const std::string&) {}
void setVideoOutputScale(VideoOutput*, float) {}

unsigned videoOutputFramesDrawn(VideoOutput*) {
    return 0;
}

void destroyVideoOutput(VideoOutput* output) {
    delete output;
}

bool setVideoOutputNotice(VideoOutput*, const WString&, int) {
    return false;
}
