// The five menus built from the controller's lists, and the handlers of their items.
#pragma once

#include <windows.h>

#include "platform/WString.h"

void buildAudioTrackMenu();
void buildTitleMenu();
void buildChapterMenu();
void buildVideoTrackMenu();
void buildSubtitleMenu();

void onAudioTrackChosen(int index);
void onTitleChosen(int index);
void onChapterChosen(int index);
void onVideoTrackChosen(int index);
void onSubtitleChosen(int index);
void onAspectRatioChosen(UINT id);

// The open-file dialog for a subtitle file; empty when cancelled. Tests may replace it.
using ChooseFileFn = WString (*)();
extern ChooseFileFn chooseFileHook;
WString chooseFile();
