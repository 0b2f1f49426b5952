// The five menus built from the controller's lists: audio tracks, titles, chapters, video
// tracks and subtitles.
#pragma once

#include "playback/PlayLogic.h"

// Replaces the popup of the list's menu-bar item by one built from the controller's list.
void buildTrackMenu(TrackListKind list);
// The list and item of a command from one of the five menus' ID ranges; false for others.
bool trackItemOfCommand(UINT id, TrackListKind* list, int* index);
