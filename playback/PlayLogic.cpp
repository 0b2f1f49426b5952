#include "playback/PlayLogic.h"

#include "engine/VlcOptions.h"
#include "engine/VlcPlayer.h"
#include "playback/DiscDetect.h"
#include "platform/Files.h"
#include "platform/Scoped.h"

PlayLogic::EngineFactory PlayLogic::engineFactory_ = nullptr;

namespace {

// pause and stop wait for the engine in 100 ms steps, but never longer than this many steps:
// an engine that keeps reporting "playing" must not freeze the window.
constexpr int kMaxStatePolls = 20;
constexpr int kPollMs = 100;

// How far before the end of a disc title a seek stops.
constexpr long long kDiscEndMargin = 1500;
constexpr int kNoticeMs = 5000;
// A reason that came while the source had not played yet is told after this many timer ticks
// (some 5 s) even if the source never shows a picture: a source that fails says so sooner.
constexpr int kReasonTicks = 20;
// The tracks of a resumed source are looked for this long: a disc may list a stream late.
constexpr ULONGLONG kRememberedTracksMs = 20000;

struct ExtensionRow {
    EngineKind kind;
    const wchar_t* extension;
};

const ExtensionRow kExtensionTable[] = {{EngineKind::NoEngine, L"swf"},
                                        {EngineKind::NoEngine, L"fla"}};

PlayLogic* gInstance = nullptr;

} // namespace

PlayLogic::PlayLogic(PlayLogicListener* listener, HWND eventWindow, UINT eventMessage,
                     const PreferenceData* preferences)
    : listener_(listener), eventWindow_(eventWindow), eventMessage_(eventMessage),
      preferences_(preferences) {
    gInstance = this;
}

void PlayLogic::setEngineFactory(EngineFactory factory) {
    engineFactory_ = factory;
}

void PlayLogic::setEngine(std::unique_ptr<MediaPlayer> engine, EngineKind kind) {
    player_ = std::move(engine);
    engineKind_ = kind;
}

PlayLogic::~PlayLogic() {
    releaseMediaPlayer();
    if (gInstance == this) gInstance = nullptr;
}

PlayerState PlayLogic::state() {
    return player_ ? player_->getState() : PlayerState::Nothing;
}

PlayStatus PlayLogic::status() {
    return PlayStatus{state(), playList_.count(), canSkip()};
}

void PlayLogic::reportState() {
    if (listener_) listener_->stateChanged(status());
}

VideoSize PlayLogic::videoSize() {
    return player_ ? player_->getVideoSize() : VideoSize{};
}

int PlayLogic::buildPlayList(const WString& path) {
    return playList_.buildFromPath(path);
}

void PlayLogic::setPlayListSingle(const WString& path) {
    playList_.setSingle(path);
}

void PlayLogic::handleProc(PlayerEvent event) {
    switch (event) {
    case PlayerEvent::Playing:
        OutputDebugStringW(L"handleProc: libvlc_MediaPlayerPlaying\n");
        updateTrackLists();
        applyAudio();
        reportState();
        break;
    case PlayerEvent::Paused:
        OutputDebugStringW(L"handleProc: libvlc_MediaPlayerPaused\n");
        reportState();
        break;
    case PlayerEvent::Stopped:
        OutputDebugStringW(L"handleProc: libvlc_MediaPlayerStopped\n");
        reportState();
        break;
    case PlayerEvent::TimeChanged:
        if (!player_) break;
        player_->eventHandled(event);
        if (player_->getTime() > 0) hasPlayed_ = true;
        updateTrackLists();
        followResume();
        notePosition();
        if (listener_ && isActive(state()))
            listener_->timeChanged(shownTime(), player_->getLength());
        break;
    case PlayerEvent::EndReached:
    case PlayerEvent::EncounteredError:
        onMediaEnded();
        break;
    case PlayerEvent::Dialog:
        takeReports();
        break;
    }
}

void PlayLogic::takeReports() {
    EngineReport report;
    while (player_ && player_->takeReport(report)) {
        switch (report.kind) {
        case EngineReport::Kind::BusyStarted:
            if (busy_++ == 0 && listener_) listener_->engineBusy(true);
            break;
        case EngineReport::Kind::BusyEnded:
            if (busy_ > 0 && --busy_ == 0 && listener_) listener_->engineBusy(false);
            break;
        case EngineReport::Kind::Problem: {
            const WString text = fromUtf8(report.text);
            OutputDebugStringW((L"PlayLogic: libVLC says: " + text + L"\n").c_str());
            if (reasonTold_ || text.empty() || reason_.find(text) != WString::npos) break;
            reason_ += (reason_.empty() ? L"" : L"\n") + text;
            if (hasPlayed_) tellReason();
            break;
        }
        }
    }
}

void PlayLogic::tellReason() {
    if (reasonTold_ || reason_.empty()) return;
    reasonTold_ = true;
    // What holds for the machine (no Java, an audio device that cannot be used) holds for every
    // source: it is told once a run.
    for (const WString& told : toldReasons_)
        if (told == reason_) return;
    toldReasons_.push_back(reason_);
    if (listener_) listener_->problemReported(reason_);
}

void PlayLogic::forgetReason() {
    reason_.clear();
    reasonTold_ = false;
    reasonTicks_ = 0;
}

WString PlayLogic::openProblem() const {
    const WString said = player_ ? player_->openProblem() : WString();
    return said.empty() ? reason_ : said;
}

void PlayLogic::onMediaEnded() {
    // The event may come from an engine released since; only the current engine's end counts.
    const PlayerState now = state();
    if (now != PlayerState::Ended && now != PlayerState::Error) return;
    if (discKind_ != DiscKind::None && !discStillReadable(currentPath_, discKind_)) {
        // The disc went away under the player: ejected, or its image server ended.
        OutputDebugStringW(L"Playlogic: the disc is gone\n");
        stop();
        if (listener_) listener_->discLost(currentPath_);
        return;
    }
    if (now == PlayerState::Error || !hasPlayed_) {
        // libVLC starts playing asynchronously, so a file it cannot decode still opened and
        // "played"; it only shows here. Report it instead of sitting silently idle.
        OutputDebugStringW(L"Playlogic: the media could not be played\n");
        // The reason goes with the failure's own message.
        reasonTold_ = true;
        stop();
        if (reachedByStep_) {
            // Reached by a step or the automatic advance: dropped like an entry that does not
            // open, and the advance goes on.
            int current = playList_.currentIndex();
            bool more = current >= 0 && current < playList_.count() - 1;
            if (current >= 0) playList_.remove(current);
            if (more) {
                // The step starts after the current entry: the one before the dropped entry,
                // or none when it was the first.
                if (current > 0) playList_.setCurrent(current - 1);
                stepFile(+1);
            }
        } else if (listener_) {
            listener_->loadFailed();
        }
        return;
    }
    if (player_ && player_->continueDisc()) return;
    finishMedia();
}

void PlayLogic::finishMedia() {
    OutputDebugStringW(L"Playlogic: Ended\n");
    stop();
    // The automatic advance never wraps: it stops after the last entry.
    if (canSkip() && playList_.currentIndex() < playList_.count() - 1) step(+1);
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
    if (engineKind_ == kind && player_) return true;
    releaseMediaPlayer();
    if (kind == EngineKind::Vlc) {
        if (engineFactory_) {
            player_.reset(engineFactory_(kind));
        } else {
            player_.reset(createVlcPlayer(vlcOptions()));
        }
    }
    if (player_) {
        if (!player_->init(eventWindow_)) {
            OutputDebugStringW(L"PlayLogic::createMediaPlayer: init failed\n");
            releaseMediaPlayer();
            return false;
        }
        player_->setHwnd(listener_ ? listener_->videoSurface() : nullptr);
        player_->setEventWindow(eventWindow_, eventMessage_);
        refreshAudioDevices();
    }
    return player_ != nullptr;
}

void PlayLogic::releaseMediaPlayer() {
    rememberPosition();
    if (busy_ > 0) {
        busy_ = 0;
        if (listener_) listener_->engineBusy(false);
    }
    if (player_) {
        player_->release();
        player_.reset();
    }
    audioDevices_.clear();
}

bool PlayLogic::open(const WString& path, DiscKind kind, const WString& image) {
    // The source that plays now is left: its position is kept before anything changes.
    rememberPosition();
    forgetReason();
    EngineKind engine = engineKindForPath(path);
    if (listener_ && !listener_->prepareVideo(engine)) return false;
    if (!createMediaPlayer(engine) || !player_) return false;
    if (!player_->open(path, kind)) return false;
    currentPath_ = path;
    currentName_ = fileNamePart(path);
    engineKind_ = engine;
    discKind_ = kind;
    aspectRatio_.clear(); // a fresh engine shows the picture's own shape
    hasPlayed_ = false;
    reachedByStep_ = false;
    clock_.reset();
    endHold_.reset();
    sourceImage_ = image;
    rememberedTracks_[0] = rememberedTracks_[1] = TrackChoice{};
    subtitleRuleAudio_ = TrackChoice::kNoTrack;
    subtitleRuleLanguage_.clear();
    languages::LanguagePreferences chosen;
    languages::readLanguagePreferences(chosen);
    if (lstrcmpW(chosen.subtitle, languages::kForeignOnly) == 0) {
        wchar_t mine[8] = {};
        if (chosen.audio[0])
            lstrcpynW(mine, chosen.audio, 8);
        else
            languages::systemLanguage(mine);
        if (const wchar_t* name = languages::languageName(mine))
            subtitleRuleLanguage_ = toUtf8(name);
    }
    topMenu_ = discHasMenu(path, kind, DiscMenuKind::Top);
    popupMenu_ = discHasMenu(path, kind, DiscMenuKind::Popup);
    resume_.start(!image.empty()           ? ResumeStore::pathKey(image)
                  : kind != DiscKind::None ? ResumeStore::discKey(path)
                                           : ResumeStore::pathKey(path),
                  true);
    return true;
}

bool PlayLogic::play() {
    for (;;) {
        if (!player_) {
            if (currentPath_.empty()) break;
            // Copies: open assigns both.
            WString path = currentPath_;
            WString image = sourceImage_;
            if (!open(path, discKind_, image)) break;
            continue;
        }
        if (player_->getState() == PlayerState::Playing) return true;
        if (!player_->play()) return false;
        if (listener_) listener_->showVideo(player_->hasVideo());
        applyAudio();
        return true;
    }
    stop();
    return false;
}

void PlayLogic::waitWhilePlaying() {
    if (!player_ || !player_->isPlaying()) return;
    WaitCursor wait;
    for (int poll = 0; poll < kMaxStatePolls && player_ && player_->isPlaying(); ++poll)
        Sleep(kPollMs);
    if (player_ && player_->isPlaying())
        OutputDebugStringW(L"PlayLogic: the engine still reports playing; not waiting longer\n");
}

void PlayLogic::pause() {
    if (!player_ || !player_->isPlaying()) return;
    player_->pause();
    waitWhilePlaying();
}

void PlayLogic::stop() {
    rememberPosition();
    if (player_) {
        player_->stop();
        waitWhilePlaying();
    }
    if (listener_) listener_->playbackStopped();
    releaseMediaPlayer();
    clearTrackLists();
}

void PlayLogic::closeAll() {
    releaseMediaPlayer();
    playList_.clear();
    currentPath_.clear();
    currentName_.clear();
    sourceImage_.clear();
    engineKind_ = EngineKind::None;
}

bool PlayLogic::canSkip() {
    if (isDirectory(currentPath_) && watchableTitles() > 1) return true;
    if (playList_.count() < 2) return false;
    return playList_.currentIndex() >= 0;
}

void PlayLogic::step(int direction) {
    if (!canSkip()) return;
    if (isDirectory(currentPath_))
        stepTitle(direction);
    else
        stepFile(direction);
}

void PlayLogic::stepTitle(int direction) {
    if (!player_) return;
    int title = player_->getTitle();
    int chapter = player_->getChapter();
    if (chapter == -1) return;
    int k = titles().indexOf(title);
    if (k < 0) return;
    // Around the list, past the menus.
    for (int tries = 0; tries < titles().count(); ++tries) {
        k += direction;
        if (k < 0) k = titles().count() - 1;
        if (k >= titles().count()) k = 0;
        if (!titles()[k].menu) break;
    }
    if (titles()[k].menu) return;
    player_->setTitleChapter(titles()[k].id, 0);
}

int PlayLogic::watchableTitles() const {
    int n = 0;
    for (const TrackInfo& title : titles().items)
        if (!title.menu) ++n;
    return n;
}

void PlayLogic::stepFile(int direction) {
    // A step while the new item has not shown any time yet is ignored.
    if (state() == PlayerState::Playing && player_->getTime() == 0) return;
    stop();
    int i = playList_.currentIndex() + direction;
    while (playList_.count() > 0) {
        if (i < 0) i = playList_.count() - 1;
        if (i >= playList_.count()) i = 0;
        WString path = playList_.entryPath(i);
        EngineKind kind = engineKindForPath(path);
        bool prepared = !listener_ || listener_->prepareVideo(kind);
        if (prepared && createMediaPlayer(kind) && player_ && player_->open(path, DiscKind::None)) {
            currentPath_ = path;
            currentName_ = fileNamePart(path);
            discKind_ = DiscKind::None;
            topMenu_ = popupMenu_ = false;
            rememberedTracks_[0] = rememberedTracks_[1] = TrackChoice{};
            subtitleRuleAudio_ = TrackChoice::kNoTrack;
            engineKind_ = kind;
            aspectRatio_.clear();
            hasPlayed_ = false;
            reachedByStep_ = true;
            forgetReason();
            // A step starts the file from its beginning, and where it is left is kept.
            resume_.start(ResumeStore::pathKey(path), false);
            sourceImage_.clear();
            playList_.setCurrent(i);
            play();
            return;
        }
        playList_.remove(i);
        if (direction < 0) --i;
    }
    // Nothing in the list opens: leave no half-opened engine behind.
    releaseMediaPlayer();
}

bool PlayLogic::seek(int direction) {
    if (!isActive(state())) return false;
    long long time = player_->getTime();
    if (time == 0) return false;
    long long length = player_->getLength();
    long long step = preferences_ ? static_cast<long long>(preferences_->seekStep) * 1000 : 0;
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
    if (!player_) return;
    // A step longer than 5 s can overshoot either end; keep the target inside the media.
    const long long length = player_->getLength();
    if (target < 0) target = 0;
    if (length > 0 && target > length) target = length;
    // On a disc the length is the current title's, and a position past its end is the start of
    // whatever the disc plays next, while the clock and the caption still count the old title:
    // the seek stops short of the end and the title ends by itself.
    if (discKind_ != DiscKind::None && length > kDiscEndMargin && target > length - kDiscEndMargin)
        target = length - kDiscEndMargin;
    player_->setTime(target);
    if (listener_ && isActive(state())) listener_->timeChanged(shownTime(), length);
}

void PlayLogic::startOver() {
    resume_.cancel();
    if (!isActive(state()) || onDiscMenu()) return;
    seekTo(0);
}

void PlayLogic::showNotice(const WString& text) {
    if (player_) player_->showNotice(toUtf8(text), kNoticeMs);
}

void PlayLogic::followResume() {
    if (!player_ || !isActive(state())) return;
    const bool disc = discKind_ != DiscKind::None;
    ResumePoint point;
    if (!resume_.follow(*player_, disc, titles(), &point)) return;
    seekTo(point.time);
    rememberedTracks_[0] = point.audio;
    rememberedTracks_[1] = point.subtitle;
    rememberedUntil_ = GetTickCount64() + kRememberedTracksMs;
    resume_.noteTracks(point.audio, point.subtitle);
    if (listener_) listener_->playbackResumed(point, disc ? currentTitleName() : WString());
}

TrackChoice PlayLogic::currentTrack(TrackListKind kind) {
    const int k = currentIndex(kind);
    return k < 0 ? TrackChoice{} : TrackChoice{list(kind)[k].id, list(kind)[k].name};
}

int findTrackChoice(const TrackList& list, int count, const TrackChoice& choice) {
    if (choice.id == TrackChoice::kNoTrack) return -1;
    auto language = [](const std::string& name) {
        const size_t open = name.rfind('['), close = name.rfind(']');
        return open != std::string::npos && close != std::string::npos && open < close
                   ? name.substr(open + 1, close - open - 1)
                   : name;
    };
    int sameName = -1, sameLanguage = -1;
    for (int i = count - 1; i >= 0; --i) {
        if (list[i].name == choice.name) {
            if (list[i].id == choice.id) return i;
            sameName = i;
        } else if (language(list[i].name) == language(choice.name)) {
            sameLanguage = i;
        }
    }
    return sameName >= 0 ? sameName : sameLanguage;
}

int subtitleForAudio(const TrackList& subtitles, int count, const std::string& audioName,
                     const std::string& language) {
    const bool mine = audioName.find(language) != std::string::npos;
    for (int i = 0; i < count; ++i)
        if (mine ? subtitles[i].id == -1
                 : subtitles[i].id != -1 && subtitles[i].name.find(language) != std::string::npos)
            return i;
    return -1;
}

void PlayLogic::applySubtitleRule() {
    if (subtitleRuleLanguage_.empty() || rememberedTracks_[1].id != TrackChoice::kNoTrack) return;
    const TrackChoice audio = currentTrack(TrackListKind::AudioTracks);
    if (audio.id == TrackChoice::kNoTrack || audio.id == subtitleRuleAudio_) return;
    const TrackList& subtitles = list(TrackListKind::Subtitles);
    const int i =
        subtitleForAudio(subtitles, subtitles.count() - 1, audio.name, subtitleRuleLanguage_);
    // Subtitles may be listed after the audio: the rule waits for them.
    if (i < 0) return;
    selectItem(TrackListKind::Subtitles, i);
    subtitleRuleAudio_ = audio.id;
    if (listener_) listener_->positionChanged();
}

void PlayLogic::applyRememberedTracks() {
    if (!player_ || GetTickCount64() > rememberedUntil_) {
        rememberedTracks_[0] = rememberedTracks_[1] = TrackChoice{};
        return;
    }
    const TrackListKind kinds[] = {TrackListKind::AudioTracks, TrackListKind::Subtitles};
    for (int k = 0; k < 2; ++k) {
        const TrackList& shown = list(kinds[k]);
        // The subtitle list ends with the entry that loads a file.
        const int count = kinds[k] == TrackListKind::Subtitles ? shown.count() - 1 : shown.count();
        const int i = findTrackChoice(shown, count, rememberedTracks_[k]);
        if (i < 0) continue;
        selectItem(kinds[k], i);
        rememberedTracks_[k] = TrackChoice{};
        if (listener_) listener_->positionChanged();
    }
}

void PlayLogic::notePosition() {
    if (!player_ || !isActive(state())) return;
    resume_.note(*player_, discKind_ != DiscKind::None, titles());
    // Until the remembered tracks are on again, they are what is kept.
    if (rememberedTracks_[0].id == TrackChoice::kNoTrack &&
        rememberedTracks_[1].id == TrackChoice::kNoTrack)
        resume_.noteTracks(currentTrack(TrackListKind::AudioTracks),
                           currentTrack(TrackListKind::Subtitles));
}

void PlayLogic::rememberPosition() {
    MediaPlayer* shown = player_ && isActive(state()) ? player_.get() : nullptr;
    resume_.leave(shown, discKind_ != DiscKind::None, titles());
}

void PlayLogic::setVolume(int value) {
    volume_ = value < 0 ? 0 : (value > 100 ? 100 : value);
    muted_ = false;
    if (isActive(state())) applyAudio();
    if (listener_) listener_->volumeChanged(volume_, muted_);
}

void PlayLogic::stepVolume(int direction) {
    if (muted_) volume_ = 0;
    int next = direction >= 1 ? volume_ + 10 : volume_ - 10;
    setVolume(next);
}

void PlayLogic::toggleMute() {
    muted_ = !muted_;
    if (isActive(state())) applyAudio();
    if (listener_) listener_->volumeChanged(volume_, muted_);
}

void PlayLogic::applyAudio() {
    if (!player_) return;
    if (player_->getPlayerType() == 1) {
        if (player_->isMute() != muted_) player_->toggleMute();
        if (!muted_ && player_->getVolume() != volume_) player_->setVolume(volume_);
        return;
    }
    if (muted_) {
        if (player_->getVolume() != 0) player_->setVolume(0);
        return;
    }
    if (player_->getVolume() != volume_) player_->setVolume(volume_);
}

bool PlayLogic::isPlaying() {
    return player_ && player_->isPlaying();
}

void PlayLogic::prepareEngine() {
    if (enginePrepared_ || engineFactory_) return;
    enginePrepared_ = true;
    prepareSharedVlcInstance(vlcOptions());
}

std::vector<std::string> PlayLogic::vlcOptions() const {
    const PreferenceData none{};
    std::vector<std::string> options = buildVlcOptions(preferences_ ? *preferences_ : none);
    // Kept by the preferences component beside its record; read afresh for every engine, so a
    // change applies from the next source.
    languages::LanguagePreferences chosen;
    languages::readLanguagePreferences(chosen);
    wchar_t system[8] = {};
    languages::systemLanguage(system);
    appendLanguageOptions(options, chosen, system);
    return options;
}

void PlayLogic::timerProc() {
    // The end of the media arrives as an engine event; the timer keeps the rest in step.
    if (state() == PlayerState::Playing) {
        // libVLC also reports playing for data it then gives up on; only time shown counts
        // as played.
        if (player_->getTime() > 0) hasPlayed_ = true;
        applyAudio();
        if (discKind_ == DiscKind::BluRay && !onDiscMenu()) {
            if (endHold_.tick(player_->getTime(), player_->getLength(), player_->picturesShown())) {
                endHold_.reset();
                finishMedia();
                return;
            }
            // libVLC reports a Blu-ray's time seldom; the clock moves on every tick.
            if (listener_) listener_->timeChanged(shownTime(), player_->getLength());
        }
    }
    trackTitleAndChapter();
    followResume();
    applyRememberedTracks();
    applySubtitleRule();
    notePosition();
    if (player_ && !reason_.empty() && !reasonTold_ &&
        (hasPlayed_ || ++reasonTicks_ >= kReasonTicks))
        tellReason();
}

long long PlayLogic::shownTime() {
    if (!player_) return 0;
    const long long reported = player_->getTime();
    if (discKind_ != DiscKind::BluRay || onDiscMenu()) {
        clock_.reset();
        return reported;
    }
    return clock_.shown(reported, GetTickCount64(), state() == PlayerState::Playing);
}

PlayLogic* playLogic() {
    return gInstance;
}
