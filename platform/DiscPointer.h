// Pointer moves and clicks for the buttons of disc menus. On Windows libVLC draws into the window
// and takes the pointer itself; under Wine the program presents the frames, so it hands the
// pointer to libVLC's disc navigation.
#pragma once

#include <vlc/vlc.h>

// x, y in picture coordinates of the decoded video. False where libVLC takes the pointer itself,
// or when the player has no video output yet.
bool sendDiscPointer(libvlc_media_player_t* player, int x, int y, bool click);

// Asks the disc that plays for its top menu (a DVD's title or root menu, a Blu-ray's top menu)
// or, with popup, a Blu-ray's pop-up menu, through libVLC's own navigation requests. False where
// the request cannot be passed that way, or the player has no input yet.
bool sendDiscMenuCall(libvlc_media_player_t* player, bool popup);
