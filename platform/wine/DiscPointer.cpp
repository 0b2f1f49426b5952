#include "platform/DiscPointer.h"

#include "platform/wine/vlc_pointer.h"

bool sendDiscPointer(libvlc_media_player_t* player, int x, int y, bool click) {
    return vlc_pointer_send(player, x, y, click ? 1 : 0) == 0;
}
