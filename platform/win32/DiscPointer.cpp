#include "platform/DiscPointer.h"

// libVLC's own video window receives the pointer (mouse input is on while media is open).
bool sendDiscPointer(libvlc_media_player_t*, int, int, bool) {
    return false;
}

// libVLC's public calls reach the menus there (the menu title, the pop-up navigation request).
bool sendDiscMenuCall(libvlc_media_player_t*, bool) {
    return false;
}
