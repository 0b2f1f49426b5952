// STUB: replaced by the real implementation.
#include "playback/PlayLogic.h"
#include "app/MainFrame.h"
PlayLogic::EngineFactory PlayLogic::engineFactory = nullptr;
PlayLogic::PlayLogic() {}
PlayLogic::~PlayLogic() {}
EngineKind PlayLogic::engineKindForPath(const WString&) { return 1; }
WString PlayLogic::fileNamePart(const WString&) { return WString(); }
bool PlayLogic::open(const WString&, DiscKind) { return false; }
bool PlayLogic::play() { return false; }
void PlayLogic::pause() {}
void PlayLogic::stop() {}
void PlayLogic::closeAll() {}
void PlayLogic::step(int) {}
void PlayLogic::stepTitle(int) {}
void PlayLogic::stepFile(int) {}
bool PlayLogic::canSkip() { return false; }
bool PlayLogic::seek(int) { return false; }
void PlayLogic::setVolume(int) {}
void PlayLogic::stepVolume(int) {}
void PlayLogic::toggleMute() {}
void PlayLogic::applyAudio() {}
bool PlayLogic::isPlaying() { return false; }
bool PlayLogic::createMediaPlayer(EngineKind) { return false; }
void PlayLogic::releaseMediaPlayer() {}
void PlayLogic::timerProc() {}
void PlayLogic::handleProc(const struct libvlc_event_t*, void*) {}
void PlayLogic::onPlayerEvent(int) {}
void PlayLogic::updateTrackLists() {}
void PlayLogic::refreshAudioDevices() {}
void PlayLogic::trackTitleAndChapter() {}
void PlayLogic::checkAutomaticAspect() {}
bool PlayLogic::applyAspectRatio(const char*) { return false; }
void PlayLogic::selectChapter(int) {}
void PlayLogic::selectSubtitle(int) {}
int PlayLogic::currentAudioTrackIndex() { return -1; }
int PlayLogic::currentTitleIndex() { return -1; }
int PlayLogic::currentChapterIndex() { return -1; }
int PlayLogic::currentVideoTrackIndex() { return -1; }
int PlayLogic::currentSubtitleIndex() { return -1; }
WString PlayLogic::currentTitleName() { return WString(); }
void PlayLogic::setAudioChannel(int) {}
int PlayLogic::getAudioChannel() { return -1; }
bool PlayLogic::takeSnapshot(const WString&) { return false; }
void PlayLogic::clearTrackLists() {}
const char* PlayLogic::nearestAspect(int, int) { return ""; }
void PlayLogic::updateBarVolume() {}
PlayLogic* playLogic() { return gMainFrame.playLogic; }
