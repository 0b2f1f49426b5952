// Pointer moves and clicks for the buttons of disc menus. On Windows libVLC draws into the window
// and takes the pointer itself; under Wine the program presents the frames, so it hands the
// pointer to libVLC's disc navigation.
#pragma once

#include <vlc/vlc.h>

// x, y in picture coordinates of the decoded video. False where libVLC takes the pointer itself,
// or when the player has no video output yet.
bool sendDiscPointer(libvlc_media_player_t* player, int x, int y, bool click);
