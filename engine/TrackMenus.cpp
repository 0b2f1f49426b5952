// STUB: replaced by the real implementation.
#include "engine/TrackMenus.h"
ChooseFileFn chooseFileHook = nullptr;
void buildAudioTrackMenu() {}
void buildTitleMenu() {}
void buildChapterMenu() {}
void buildVideoTrackMenu() {}
void buildSubtitleMenu() {}
void onAudioTrackChosen(int) {}
void onTitleChosen(int) {}
void onChapterChosen(int) {}
void onVideoTrackChosen(int) {}
void onSubtitleChosen(int) {}
void onAspectRatioChosen(UINT) {}
WString chooseFile() { return WString(); }
