#include "platform/DiscPointer.h"

#include "platform/wine/vlc_pointer.h"

bool sendDiscPointer(libvlc_media_player_t* player, int x, int y, bool click) {
    return vlc_pointer_send(player, x, y, click ? 1 : 0) == 0;
}

bool sendDiscMenuCall(libvlc_media_player_t* player, bool popup) {
    return vlc_menu_call(player, popup ? 1 : 0) == 0;
}
