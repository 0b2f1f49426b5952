#include "playback/PlayLogic.h"

#include "engine/VlcOptions.h"
#include "engine/VlcPlayer.h"
#include "playback/DiscDetect.h"
#include "platform/Files.h"
#include "platform/Scoped.h"
#include "resources/resource.h"

PlayLogic::EngineFactory PlayLogic::engineFactory = nullptr;

namespace {

// pause and stop wait for the engine in 100 ms steps, but never longer than this many steps:
// an engine that keeps reporting "playing" must not freeze the window.
constexpr int kMaxStatePolls = 20;
constexpr int kPollMs = 100;
// Two seconds of timer ticks with the clock within half a second of the title's end.
constexpr int kHeldTicksAtEnd = 8;
constexpr long long kEndMarginMs = 500;

// How far before the end of a disc title a seek stops.
constexpr long long kDiscEndMargin = 1500;

// A kept position not reached this long after the open is given up: the source plays on.
constexpr ULONGLONG kResumeDeadlineMs = 20000;
// A disc that has not shown the asked title after this long is asked again (its first play may
// still have been running).
constexpr ULONGLONG kResumeAskAgainMs = 2000;
constexpr int kNoticeMs = 5000;

struct ExtensionRow {
    EngineKind kind;
    const wchar_t* extension;
};

const ExtensionRow kExtensionTable[] = {{EngineKind::NoEngine, L"swf"},
                                        {EngineKind::NoEngine, L"fla"}};

int indexOfId(const TrackList& list, int id) {
    for (int i = 0; i < list.count(); ++i)
        if (list[i].id == id) return i;
    return -1;
}

bool inList(const TrackList& list, int index) {
    return index >= 0 && index < list.count();
}

PlayLogic* gInstance = nullptr;

} // namespace

PlayLogic::PlayLogic(PlayLogicListener* logicListener, HWND window,
                     const PreferenceData* preferenceData)
    : listener(logicListener), eventWindow(window), preferences(preferenceData) {
    gInstance = this;
}

PlayLogic::~PlayLogic() {
    releaseMediaPlayer();
    if (gInstance == this) gInstance = nullptr;
}

void PlayLogic::listChanged(TrackListKind list) {
    if (listener) listener->listChanged(list);
}

PlayerState PlayLogic::state() {
    return player ? player->getState() : PlayerState::Nothing;
}

void PlayLogic::handleProc(PlayerEvent event) {
    switch (event) {
    case PlayerEvent::Playing:
        OutputDebugStringW(L"handleProc: libvlc_MediaPlayerPlaying\n");
        updateTrackLists();
        applyAudio();
        if (listener) listener->stateChanged();
        break;
    case PlayerEvent::Paused:
        OutputDebugStringW(L"handleProc: libvlc_MediaPlayerPaused\n");
        if (listener) listener->stateChanged();
        break;
    case PlayerEvent::Stopped:
        OutputDebugStringW(L"handleProc: libvlc_MediaPlayerStopped\n");
        if (listener) listener->stateChanged();
        break;
    case PlayerEvent::TimeChanged:
        if (!player) break;
        player->eventHandled(event);
        if (player->getTime() > 0) hasPlayed = true;
        updateTrackLists();
        followResume();
        notePosition();
        if (listener) listener->timeChanged();
        break;
    case PlayerEvent::EndReached:
    case PlayerEvent::EncounteredError:
        onMediaEnded();
        break;
    }
}

bool PlayLogic::discStillReadable(const WString& root, DiscKind kind) {
    // The structure's first file is read: the folders may still be listed from what the
    // program saw before, while a read reaches the disc (or the server behind the drive).
    // A disc image played without a drive only has to stay readable itself.
    if (!isDirectory(root)) return canOpenForReading(root);
    if (detectDiscKind(root) != kind) return false;
    const wchar_t* file = kind == DiscKind::Dvd      ? L"VIDEO_TS\\VIDEO_TS.IFO"
                          : kind == DiscKind::BluRay ? L"BDMV\\index.bdmv"
                                                     : nullptr;
    if (!file) return true;
    WString path = root;
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    path += file;
    ScopedHandle handle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_NO_BUFFERING, nullptr));
    if (!handle) return GetLastError() == ERROR_FILE_NOT_FOUND; // a disc without that file
    alignas(4096) static char sector[4096];
    DWORD got = 0;
    return ReadFile(handle.get(), sector, sizeof sector, &got, nullptr) != FALSE;
}

void PlayLogic::onMediaEnded() {
    // The event may come from an engine released since; only the current engine's end counts.
    const PlayerState now = state();
    if (now != PlayerState::Ended && now != PlayerState::Error) return;
    if (discKind != DiscKind::None && !discStillReadable(currentPath, discKind)) {
        // The disc went away under the player: ejected, or its image server ended.
        OutputDebugStringW(L"Playlogic: the disc is gone\n");
        stop();
        if (listener) listener->discLost(currentPath);
        return;
    }
    if (now == PlayerState::Error || !hasPlayed) {
        // libVLC starts playing asynchronously, so a file it cannot decode still opened and
        // "played"; it only shows here. Report it instead of sitting silently idle.
        OutputDebugStringW(L"Playlogic: the media could not be played\n");
        stop();
        if (reachedByStep) {
            // Reached by a step or the automatic advance: dropped like an entry that does not
            // open, and the advance goes on.
            int current = playList.currentIndex();
            bool more = current >= 0 && current < playList.count() - 1;
            if (current >= 0) playList.remove(current);
            if (more) {
                // The step starts after the current entry: the one before the dropped entry,
                // or none when it was the first.
                if (current > 0) playList.setCurrent(current - 1);
                stepFile(+1);
            }
        } else if (listener) {
            listener->loadFailed();
        }
        return;
    }
    if (player && player->continueDisc()) return;
    finishMedia();
}

void PlayLogic::finishMedia() {
    OutputDebugStringW(L"Playlogic: Ended\n");
    stop();
    // The automatic advance never wraps: it stops after the last entry.
    if (canSkip() && playList.currentIndex() < playList.count() - 1) step(+1);
}

bool PlayLogic::heldAtDiscEnd() {
    // A Blu-ray whose program has nothing to do after its last title keeps libVLC "playing"
    // the title's last picture, with the clock at the title's length, for good.
    if (discKind != DiscKind::BluRay) return false;
    const long long time = player->getTime();
    const long long length = player->getLength();
    const bool atEnd = length > 0 && time >= length - kEndMarginMs && time == heldTime;
    heldTime = time;
    heldTicks = atEnd ? heldTicks + 1 : 0;
    return heldTicks >= kHeldTicksAtEnd;
}

EngineKind PlayLogic::engineKindForPath(const WString& path) {
    size_t dot = path.rfind(L'.');
    if (dot == WString::npos || dot + 1 >= path.size()) return EngineKind::Vlc;
    WString extension = asciiLower(path.substr(dot + 1));
    for (const ExtensionRow& row : kExtensionTable)
        if (extension == row.extension) return row.kind;
    return EngineKind::Vlc;
}

WString PlayLogic::fileNamePart(const WString& path) {
    size_t separator = path.find_last_of(L"\\/");
    if (separator == WString::npos || separator == 0) return WString();
    return path.substr(separator + 1);
}

bool PlayLogic::createMediaPlayer(EngineKind kind) {
    OutputDebugStringW(
        formatWide(L"PlayLogic::createMediaPlayer %d\n", static_cast<int>(kind)).c_str());
    if (engineKind == kind && player) return true;
    releaseMediaPlayer();
    if (kind == EngineKind::Vlc) {
        if (engineFactory) {
            player.reset(engineFactory(kind));
        } else {
            player.reset(createVlcPlayer(vlcOptions()));
        }
    }
    if (player) {
        if (!player->init(eventWindow)) {
            OutputDebugStringW(L"PlayLogic::createMediaPlayer: init failed\n");
            releaseMediaPlayer();
            return false;
        }
        player->setHwnd(listener ? listener->videoSurface() : nullptr);
        player->setEventWindow(eventWindow, WM_MAINFRAME_PLAYER_EVENT);
        refreshAudioDevices();
    }
    return player != nullptr;
}

void PlayLogic::releaseMediaPlayer() {
    rememberPosition();
    if (player) {
        player->release();
        player.reset();
    }
    audioDevices.clear();
}

bool PlayLogic::open(const WString& path, DiscKind kind, const WString& image) {
    // The source that plays now is left: its position is kept before anything changes.
    rememberPosition();
    EngineKind engine = engineKindForPath(path);
    if (listener && !listener->prepareVideo(engine)) return false;
    if (!createMediaPlayer(engine) || !player) return false;
    if (!player->open(path, kind)) return false;
    currentPath = path;
    currentName = fileNamePart(path);
    engineKind = engine;
    discKind = kind;
    aspectRatio.clear(); // a fresh engine shows the picture's own shape
    hasPlayed = false;
    reachedByStep = false;
    sourceImage = image;
    sourceKey = !image.empty()           ? ResumeStore::pathKey(image)
                : kind != DiscKind::None ? ResumeStore::discKey(path)
                                         : ResumeStore::pathKey(path);
    positionSeen = false;
    resumeTitleAsked = false;
    resumeDeadline = GetTickCount64() + kResumeDeadlineMs;
    resumePending = resumeStore && resumeStore->find(sourceKey, &resumeTarget);
    return true;
}

bool PlayLogic::play() {
    for (;;) {
        if (!player) {
            if (currentPath.empty()) break;
            // Copies: open assigns both.
            WString path = currentPath;
            WString image = sourceImage;
            if (!open(path, discKind, image)) break;
            continue;
        }
        if (player->getState() == PlayerState::Playing) return true;
        if (!player->play()) return false;
        if (listener) listener->showVideo(player->hasVideo());
        applyAudio();
        return true;
    }
    stop();
    return false;
}

void PlayLogic::waitWhilePlaying() {
    if (!player || !player->isPlaying()) return;
    WaitCursor wait;
    for (int poll = 0; poll < kMaxStatePolls && player && player->isPlaying(); ++poll)
        Sleep(kPollMs);
    if (player && player->isPlaying())
        OutputDebugStringW(L"PlayLogic: the engine still reports playing; not waiting longer\n");
}

void PlayLogic::pause() {
    if (!player || !player->isPlaying()) return;
    player->pause();
    waitWhilePlaying();
}

void PlayLogic::stop() {
    rememberPosition();
    if (player) {
        player->stop();
        waitWhilePlaying();
    }
    if (listener) listener->playbackStopped();
    releaseMediaPlayer();
    clearTrackLists();
}

void PlayLogic::closeAll() {
    releaseMediaPlayer();
    playList.clear();
    currentPath.clear();
    currentName.clear();
    sourceImage.clear();
    engineKind = EngineKind::None;
}

bool PlayLogic::canSkip() {
    if (isDirectory(currentPath) && watchableTitles() > 1) return true;
    if (playList.count() < 2) return false;
    return playList.currentIndex() >= 0;
}

void PlayLogic::step(int direction) {
    if (!canSkip()) return;
    if (isDirectory(currentPath))
        stepTitle(direction);
    else
        stepFile(direction);
}

void PlayLogic::stepTitle(int direction) {
    if (!player) return;
    int title = player->getTitle();
    int chapter = player->getChapter();
    if (chapter == -1) return;
    int k = indexOfId(titles, title);
    if (k < 0) return;
    // Around the list, past the menus.
    for (int tries = 0; tries < titles.count(); ++tries) {
        k += direction;
        if (k < 0) k = titles.count() - 1;
        if (k >= titles.count()) k = 0;
        if (!titles[k].menu) break;
    }
    if (titles[k].menu) return;
    player->setTitleChapter(titles[k].id, 0);
}

int PlayLogic::watchableTitles() const {
    int n = 0;
    for (const TrackInfo& title : titles.items)
        if (!title.menu) ++n;
    return n;
}

void PlayLogic::stepFile(int direction) {
    // A step while the new item has not shown any time yet is ignored.
    if (state() == PlayerState::Playing && player->getTime() == 0) return;
    stop();
    int i = playList.currentIndex() + direction;
    while (playList.count() > 0) {
        if (i < 0) i = playList.count() - 1;
        if (i >= playList.count()) i = 0;
        WString path = playList.entryPath(i);
        EngineKind kind = engineKindForPath(path);
        bool prepared = !listener || listener->prepareVideo(kind);
        if (prepared && createMediaPlayer(kind) && player && player->open(path, DiscKind::None)) {
            currentPath = path;
            currentName = fileNamePart(path);
            discKind = DiscKind::None;
            engineKind = kind;
            aspectRatio.clear();
            hasPlayed = false;
            reachedByStep = true;
            // A step starts the file from its beginning, and where it is left is kept.
            sourceKey = ResumeStore::pathKey(path);
            sourceImage.clear();
            resumePending = false;
            positionSeen = false;
            playList.setCurrent(i);
            play();
            return;
        }
        playList.remove(i);
        if (direction < 0) --i;
    }
    // Nothing in the list opens: leave no half-opened engine behind.
    releaseMediaPlayer();
}

bool PlayLogic::seek(int direction) {
    if (!isActive(state())) return false;
    long long time = player->getTime();
    if (time == 0) return false;
    long long length = player->getLength();
    long long step = preferences ? static_cast<long long>(preferences->seekStep) * 1000 : 0;
    if (step <= 0) step = 5000;
    // The 5000 ms guards stay fixed whatever the configured step.
    long long target;
    if (direction < 0)
        target = time <= 5000 ? 0 : time - step;
    else
        target = time + 5000 < length ? time + step : length;
    seekTo(target);
    return true;
}

void PlayLogic::seekTo(long long target) {
    if (!player) return;
    // A step longer than 5 s can overshoot either end; keep the target inside the media.
    const long long length = player->getLength();
    if (target < 0) target = 0;
    if (length > 0 && target > length) target = length;
    // On a disc the length is the current title's, and a position past its end is the start of
    // whatever the disc plays next, while the clock and the caption still count the old title:
    // the seek stops short of the end and the title ends by itself.
    if (discKind != DiscKind::None && length > kDiscEndMargin && target > length - kDiscEndMargin)
        target = length - kDiscEndMargin;
    player->setTime(target);
}

void PlayLogic::startOver() {
    resumePending = false;
    if (!isActive(state()) || onDiscMenu()) return;
    seekTo(0);
}

void PlayLogic::showNotice(const WString& text) {
    if (player) player->showNotice(toUtf8(text), kNoticeMs);
}

void PlayLogic::followResume() {
    if (!resumePending || !player || !isActive(state())) return;
    const ULONGLONG now = GetTickCount64();
    if (now > resumeDeadline) {
        OutputDebugStringW(L"PlayLogic: the kept position was not reached; playing on\n");
        resumePending = false;
        return;
    }
    if (discKind != DiscKind::None) {
        if (titles.empty()) return;
        const int k = indexOfId(titles, resumeTarget.title);
        if (k < 0 || titles[k].menu) {
            // Another disc under the same name.
            resumePending = false;
            return;
        }
        if (player->getTitle() != resumeTarget.title) {
            if (!resumeTitleAsked || now > resumeAskedAt + kResumeAskAgainMs) {
                player->setTitleChapter(resumeTarget.title, resumeTarget.chapter);
                resumeTitleAsked = true;
                resumeAskedAt = now;
            }
            return;
        }
        if (player->getTime() <= 0) return;
    }
    // Until the length covers the position, it is still the menu's or the opening's.
    if (player->getLength() <= resumeTarget.time) return;
    seekTo(resumeTarget.time);
    resumePending = false;
    if (listener)
        listener->playbackResumed(resumeTarget,
                                  discKind != DiscKind::None ? currentTitleName() : WString());
}

void PlayLogic::notePosition() {
    if (!resumeStore || resumePending || !player || !isActive(state())) return;
    const long long time = player->getTime();
    const long long length = player->getLength();
    if (time <= 0 || length <= 0) return;
    ResumePoint here;
    if (discKind != DiscKind::None) {
        // A menu is no place to return to, nor a title not listed yet.
        const int k = indexOfId(titles, player->getTitle());
        if (k < 0 || titles[k].menu) return;
        here.title = titles[k].id;
        here.chapter = player->getChapter();
    }
    here.time = time;
    here.length = length;
    lastPosition = here;
    positionSeen = true;
}

void PlayLogic::rememberPosition() {
    if (!resumeStore || sourceKey.empty()) return;
    notePosition();
    // Left before the kept position was reached: that one stays.
    if (!resumePending && positionSeen)
        resumeStore->remember(sourceKey, lastPosition);
    sourceKey.clear();
    resumePending = false;
    positionSeen = false;
}

void PlayLogic::setVolume(int value) {
    volume = value < 0 ? 0 : (value > 100 ? 100 : value);
    muted = false;
    if (isActive(state())) applyAudio();
    if (listener) listener->volumeChanged();
}

void PlayLogic::stepVolume(int direction) {
    if (muted) volume = 0;
    int next = direction >= 1 ? volume + 10 : volume - 10;
    setVolume(next);
}

void PlayLogic::toggleMute() {
    muted = !muted;
    if (isActive(state())) applyAudio();
    if (listener) listener->volumeChanged();
}

void PlayLogic::applyAudio() {
    if (!player) return;
    if (player->getPlayerType() == 1) {
        if (player->isMute() != muted) player->toggleMute();
        if (!muted && player->getVolume() != volume) player->setVolume(volume);
        return;
    }
    if (muted) {
        if (player->getVolume() != 0) player->setVolume(0);
        return;
    }
    if (player->getVolume() != volume) player->setVolume(volume);
}

bool PlayLogic::isPlaying() {
    return player && player->isPlaying();
}

void PlayLogic::prepareEngine() {
    if (enginePrepared || engineFactory) return;
    enginePrepared = true;
    prepareSharedVlcInstance(vlcOptions());
}

std::vector<std::string> PlayLogic::vlcOptions() const {
    const PreferenceData none{};
    return buildVlcOptions(preferences ? *preferences : none);
}

void PlayLogic::timerProc() {
    // The end of the media arrives as an engine event; the timer keeps the rest in step.
    if (state() == PlayerState::Playing) {
        // libVLC also reports playing for data it then gives up on; only time shown counts
        // as played.
        if (player->getTime() > 0) hasPlayed = true;
        applyAudio();
        if (heldAtDiscEnd()) {
            heldTicks = 0;
            finishMedia();
            return;
        }
    }
    trackTitleAndChapter();
    followResume();
    notePosition();
}

// Track lists, titles and aspect ratio

void PlayLogic::updateTrackLists() {
    if (!player) return;
    if (listener) {
        HWND surface = listener->videoSurface();
        if (surface && !IsWindowVisible(surface)) listener->showVideo(player->hasVideo());
    }
    // Tracks keep arriving after playback starts (a disc's second language shows once its
    // stream is met), so the lists are compared with the engine's on every update.
    refreshList(audioTracks, TrackListKind::AudioTracks, &MediaPlayer::getAudioTracks);
    if (!player->hasVideo()) return;
    if (titles.empty()) {
        currentTitle = -1;
        currentChapter = -1;
        player->getTitles(titles);
        if (!titles.empty()) listChanged(TrackListKind::Titles);
    }
    refreshList(videoTracks, TrackListKind::VideoTracks, &MediaPlayer::getVideoTracks);
    refreshList(subtitles, TrackListKind::Subtitles, &MediaPlayer::getSubtitles);
}

void PlayLogic::refreshList(TrackList& list, TrackListKind kind,
                            int (MediaPlayer::*fill)(TrackList&)) {
    TrackList fresh;
    (player.get()->*fill)(fresh);
    bool same = fresh.count() == list.count();
    for (int i = 0; same && i < list.count(); ++i)
        same = fresh[i].id == list[i].id && fresh[i].name == list[i].name;
    if (same) return;
    list = std::move(fresh);
    listChanged(kind);
}

void PlayLogic::refreshAudioDevices() {
    audioDevices.clear();
    if (player) player->getAudioDevices(audioDevices);
}

void PlayLogic::trackTitleAndChapter() {
    if (!player || titles.empty()) return;
    int title = player->getTitle();
    int chapter = player->getChapter();
    if (title == currentTitle && chapter == currentChapter) return;
    if (title != currentTitle) {
        listChanged(TrackListKind::Chapters);
        videoTracks.clear();
        player->getVideoTracks(videoTracks);
        listChanged(TrackListKind::VideoTracks);
        subtitles.clear();
        player->getSubtitles(subtitles);
        listChanged(TrackListKind::Subtitles);
    }
    currentTitle = title;
    currentChapter = chapter;
    if (listener) listener->positionChanged();
}

bool PlayLogic::applyAspectRatio(const char* text) {
    if (!player) return false;
    // Without a choice the picture keeps its own shape: its stored size times its sample aspect
    // ratio. A ratio picked from the frame size alone squeezes every anamorphic disc.
    aspectRatio = text ? text : "";
    return player->setAspectRatio(aspectRatio);
}

void PlayLogic::selectAudioTrack(int index) {
    if (player && inList(audioTracks, index)) player->setAudioTrack(audioTracks[index].id);
}

void PlayLogic::selectTitle(int index) {
    if (!player || !inList(titles, index)) return;
    player->setTitleChapter(titles[index].id, -1);
    // The new title has its own audio tracks; they are read again once it plays.
    audioTracks.clear();
    listChanged(TrackListKind::AudioTracks);
}

void PlayLogic::selectVideoTrack(int index) {
    if (player && inList(videoTracks, index)) player->setVideoTrack(videoTracks[index].id);
}

void PlayLogic::selectChapter(int index) {
    if (!player) return;
    int title = player->getTitle();
    int k = indexOfId(titles, title);
    if (k < 0) return;
    const TrackList* chapters = titles[k].chapters.get();
    if (!chapters || index < 0 || index >= chapters->count()) return;
    player->setTitleChapter(title, (*chapters)[index].id);
}

void PlayLogic::selectSubtitle(int index) {
    if (!player || index < 0) return;
    int count = subtitles.count();
    if (index < count - 1) {
        player->setSubtitle(subtitles[index].id);
    } else if (index == count - 1) {
        WString path = listener ? listener->chooseSubtitleFile() : WString();
        // The dialog ran a message loop: the engine may be gone by now.
        if (!path.empty() && player) player->setSubtitleFile(path);
    }
}

int PlayLogic::currentAudioTrackIndex() {
    return player ? indexOfId(audioTracks, player->getAudioTrack()) : -1;
}

int PlayLogic::currentTitleIndex() {
    return player ? indexOfId(titles, player->getTitle()) : -1;
}

int PlayLogic::currentChapterIndex() {
    int k = currentTitleIndex();
    if (k < 0) return -1;
    const TrackList* chapters = titles[k].chapters.get();
    return chapters ? indexOfId(*chapters, player->getChapter()) : -1;
}

int PlayLogic::currentVideoTrackIndex() {
    return player ? indexOfId(videoTracks, player->getVideoTrack()) : -1;
}

int PlayLogic::currentSubtitleIndex() {
    return player ? indexOfId(subtitles, player->getSubtitle()) : -1;
}

int PlayLogic::currentIndex(TrackListKind list) {
    switch (list) {
    case TrackListKind::AudioTracks:
        return currentAudioTrackIndex();
    case TrackListKind::Titles:
        return currentTitleIndex();
    case TrackListKind::Chapters:
        return currentChapterIndex();
    case TrackListKind::VideoTracks:
        return currentVideoTrackIndex();
    case TrackListKind::Subtitles:
        return currentSubtitleIndex();
    }
    return -1;
}

void PlayLogic::selectItem(TrackListKind list, int index) {
    switch (list) {
    case TrackListKind::AudioTracks:
        selectAudioTrack(index);
        break;
    case TrackListKind::Titles:
        selectTitle(index);
        break;
    case TrackListKind::Chapters:
        selectChapter(index);
        break;
    case TrackListKind::VideoTracks:
        selectVideoTrack(index);
        break;
    case TrackListKind::Subtitles:
        selectSubtitle(index);
        break;
    }
}

const TrackList* PlayLogic::trackList(TrackListKind list) {
    switch (list) {
    case TrackListKind::AudioTracks:
        return &audioTracks;
    case TrackListKind::Titles:
        return &titles;
    case TrackListKind::Chapters: {
        const int k = currentTitleIndex();
        return k >= 0 ? titles[k].chapters.get() : nullptr;
    }
    case TrackListKind::VideoTracks:
        return &videoTracks;
    case TrackListKind::Subtitles:
        return &subtitles;
    }
    return nullptr;
}

WString PlayLogic::currentTitleName() {
    if (!player) {
        cachedTitleName.clear();
        cachedTitleId = -1;
        return cachedTitleName;
    }
    int title = player->getTitle();
    if (title != cachedTitleId) {
        int k = indexOfId(titles, title);
        if (k >= 0) {
            cachedTitleName = fromUtf8(titles[k].name);
            cachedTitleId = title;
        }
    }
    return cachedTitleName;
}

bool PlayLogic::onDiscMenu() {
    return discKind != DiscKind::None && isActive(state()) && player->isMenuShown();
}

bool PlayLogic::navigateMenu(MenuAction action) {
    if (!onDiscMenu()) return false;
    player->navigate(action);
    return true;
}

bool PlayLogic::menuPointer(int x, int y, bool click) {
    return onDiscMenu() && player->menuPointer(x, y, click);
}

void PlayLogic::setAudioChannel(int channel) {
    if (player) player->setAudioChannel(channel);
}

int PlayLogic::getAudioChannel() {
    return player ? player->getAudioChannel() : -1;
}

bool PlayLogic::takeSnapshot(const WString& folder) {
    return player ? player->takeSnapshot(folder) : false;
}

void PlayLogic::clearTrackLists() {
    audioTracks.clear();
    listChanged(TrackListKind::AudioTracks);
    titles.clear();
    currentTitle = -1;
    currentChapter = -1;
    listChanged(TrackListKind::Titles);
    videoTracks.clear();
    listChanged(TrackListKind::VideoTracks);
    subtitles.clear();
    listChanged(TrackListKind::Subtitles);
}

PlayLogic* playLogic() {
    return gInstance;
}
