#include "platform/DiscPointer.h"

// libVLC's own video window receives the pointer (mouse input is on while media is open).
bool sendDiscPointer(libvlc_media_player_t*, int, int, bool) {
    return false;
}
