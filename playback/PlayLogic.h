// The playback controller: owns the engine, the play list, the current source, volume and mute,
// and the track, title, chapter and subtitle lists the menus show. It reports what happened
// through a PlayLogicListener, which the window side implements; it knows no window of its own.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/MediaPlayer.h"
#include "engine/Preferences.h"
#include "playback/DiscEndHold.h"
#include "playback/SteadyClock.h"
#include "playback/PlayListData.h"
#include "playback/ResumeFollower.h"
#include "playback/ResumeStore.h"
#include "platform/WString.h"

enum class EngineKind { None = 0, Vlc = 1, NoEngine = 2 }; // NoEngine: "swf"/"fla" paths

// The lists the controller keeps for the menus.
enum class TrackListKind { AudioTracks, Titles, Chapters, VideoTracks, Subtitles };
inline constexpr int kTrackListKinds = 5;
// Entries a list's menu can hold.
inline constexpr int kListCapacity = 100;

// Keeps at most capacity titles: the longest, in the disc's order. A disc of hundreds of
// playlists listed without its menus still shows its main title, the longest.
void keepLongestTitles(TrackList& titles, int capacity);

// What a choice from a list leaves to the caller: the subtitle list's last entry asks for a
// file, which the window side picks and hands to addSubtitleFile.
enum class ListChoice { Done, ChooseSubtitleFile };

// What the buttons and menus show of the controller.
struct PlayStatus {
    PlayerState state = PlayerState::Nothing;
    int playListCount = 0;
    bool canSkip = false;
};

// What the controller reports, always on the GUI thread.
class PlayLogicListener {
public:
    virtual ~PlayLogicListener() = default;
    // Makes the video window ready for media of the kind; false stops the open.
    virtual bool prepareVideo(EngineKind kind) = 0;
    // The window the engine draws into; null when there is none.
    virtual HWND videoSurface() = 0;
    virtual void showVideo(bool visible) = 0;
    // The engine's state or the play list changed: buttons and menu states follow.
    virtual void stateChanged(const PlayStatus& status) = 0;
    // The current title or chapter changed: the menus' check marks follow.
    virtual void positionChanged() = 0;
    // One of the lists was refilled or emptied.
    virtual void listChanged(TrackListKind list) = 0;
    // The position of media that is playing or paused.
    virtual void timeChanged(long long timeMs, long long lengthMs) = 0;
    virtual void volumeChanged(int volume, bool muted) = 0;
    // A stop, before the engine goes: the seek bar returns to its start, ending any drag, and
    // the video surface is hidden.
    virtual void playbackStopped() = 0;
    // Media that opened turned out unplayable (not reported for a play-list step).
    virtual void loadFailed() = 0;
    // The disc that was playing is no longer there (root: where it was).
    virtual void discLost(const WString& root) = 0;
    // Playback went on where the viewer left the source (titleName: the disc title's name,
    // empty for a file).
    virtual void playbackResumed(const ResumePoint&, const WString& titleName) {}
    // Why the source plays without something, or was refused something it asked, in plain
    // words: at most once a source and once a run, once it plays (a source that fails carries
    // the reason in openProblem instead).
    virtual void problemReported(const WString&) {}
    // The engine works on something long (true) or is done (false): the wait cursor follows.
    virtual void engineBusy(bool) {}
};

class PlayLogic {
public:
    // listener, eventWindow and preferences may be null (tests): nothing is then reported, no
    // engine event arrives, and an all-zero preference record applies. The engine posts its
    // events to eventWindow as eventMessage (wParam = the PlayerEvent).
    PlayLogic(PlayLogicListener* listener, HWND eventWindow, UINT eventMessage,
              const PreferenceData* preferences);
    virtual ~PlayLogic();
    PlayLogic(const PlayLogic&) = delete;
    PlayLogic& operator=(const PlayLogic&) = delete;

    static EngineKind engineKindForPath(const WString& path);
    // The text after the last "\" or "/"; empty when there is none or it is the first character.
    static WString fileNamePart(const WString& path);

    // image: the disc image a disc was mounted from, which the position is kept under; empty
    // otherwise. A source with a kept position resumes there once it plays.
    bool open(const WString& path, DiscKind kind, const WString& image = WString());
    bool play();
    void pause();
    void stop();
    void closeAll();
    void step(int direction);
    void stepTitle(int direction);
    void stepFile(int direction);
    bool canSkip();
    // The titles of a disc that are not menus.
    int watchableTitles() const;
    bool seek(int direction);
    // Back to the start of the file or the disc title, whatever position it resumed at.
    void startOver();
    // A short text over the video for a few seconds.
    void showNotice(const WString& text);
    // A position in the current media or disc title, kept inside it.
    void seekTo(long long ms);
    // The time the clock and the seek bar show: the engine's, run on steadily on a Blu-ray.
    long long shownTime();
    void setVolume(int value);
    void stepVolume(int direction);
    void toggleMute();
    void applyAudio();
    bool isPlaying();
    // The engine's state; Nothing without an engine.
    PlayerState state();
    PlayStatus status();
    bool hasEngine() const { return player_ != nullptr; }
    // The picture's size; zero without an engine.
    VideoSize videoSize();
    bool createMediaPlayer(EngineKind kind);
    void releaseMediaPlayer();
    // Once per run: starts libVLC ahead of the first source, so that opening it does not wait
    // for libVLC's start. Nothing with a test engine factory.
    void prepareEngine();
    // libVLC's options for the current preferences: the same for the engines and for the
    // instance started ahead of them, which would otherwise be started again.
    std::vector<std::string> vlcOptions() const;
    void timerProc();
    // The effects of one engine event, on the GUI thread: the engine posts its events to the
    // event window, whose message handler calls this.
    void handleProc(PlayerEvent event);

    // The play list: the folder of the file that plays, or the one source alone (a disc image
    // played without a drive).
    int buildPlayList(const WString& path);
    void setPlayListSingle(const WString& path);

    // Track lists, titles and aspect ratio
    void updateTrackLists();
    void refreshAudioDevices();
    void trackTitleAndChapter();
    // Takes the engine's titles and their chapters when they differ from the ones held.
    void refreshTitles();
    // A ratio such as "16:9"; null or empty: the picture's own display aspect ratio.
    bool applyAspectRatio(const char* text);
    // The current entry's index in a list, and the choice of an entry from the list's menu.
    int currentIndex(TrackListKind list);
    ListChoice selectItem(TrackListKind list, int index);
    // The file the viewer picked after the subtitle list asked for one.
    void addSubtitleFile(const WString& path);
    // The list behind a menu; for Chapters, the current title's (null when there is none).
    const TrackList* trackList(TrackListKind list);
    WString currentTitleName();
    // Disc menus: true while the current title of a disc is a menu; the moves and the pointer go
    // to its buttons then (x, y in the video surface's client coordinates). False otherwise.
    bool onDiscMenu();
    bool navigateMenu(MenuAction action);
    bool menuPointer(int x, int y, bool click);
    // The disc's own menus: whether the source that plays has one of the kind, and the request
    // for it (false when there is none).
    bool hasDiscMenu(DiscMenuKind kind);
    bool showDiscMenu(DiscMenuKind kind);
    // Chapter steps inside the current title of a disc (or the entry points of a Video CD).
    bool canStepChapter();
    void stepChapter(int direction);
    void setAudioChannel(int channel);
    int getAudioChannel();
    bool takeSnapshot(const WString& folder);
    // The engine's newest picture into the video surface during its WM_PAINT; false when it
    // has none to show there (the window then paints itself).
    // Why the last open failed, as the engine's reader of the source or libVLC's dialogs said;
    // empty if unknown.
    WString openProblem() const;
    bool paintVideo(HWND surface, HDC dc) { return player_ && player_->paintVideo(surface, dc); }
    void clearTrackLists();

    const PlayListData& playList() const { return playList_; }
    const WString& currentPath() const { return currentPath_; }
    const WString& currentName() const { return currentName_; }
    DiscKind discKind() const { return discKind_; }
    int volume() const { return volume_; }
    bool muted() const { return muted_; }
    EngineKind engineKind() const { return engineKind_; }
    const std::string& aspectRatio() const { return aspectRatio_; }
    const AudioDeviceList& audioDevices() const { return audioDevices_; }
    // The title and chapter ids last seen playing; -1 before any.
    int trackedTitle() const { return trackedTitle_; }
    int trackedChapter() const { return trackedChapter_; }
    // Set once the current media has been seen playing.
    bool hasPlayed() const { return hasPlayed_; }
    // The current media was reached by stepping through the play list, not opened directly.
    bool reachedByStep() const { return reachedByStep_; }

    // Factory of the engine for a kind; tests replace it to drive the controller with a fake.
    using EngineFactory = MediaPlayer* (*)(EngineKind kind);
    static void setEngineFactory(EngineFactory factory);
    // Where positions are kept; null: none are kept or resumed (tests).
    void setResumeStore(ResumeStore* store) { resume_.setStore(store); }
    // Tests: an engine (and the kind it plays) taken as if opened, and a play list as built.
    void setEngine(std::unique_ptr<MediaPlayer> engine, EngineKind kind);
    void setPlayList(PlayListData list) { playList_ = std::move(list); }

private:
    void waitWhilePlaying();
    // Resuming: the kept position is reached once the source plays (a disc first leaves its
    // menu for the title), and the position seen last is kept when the source goes.
    void followResume();
    void notePosition();
    void rememberPosition();
    // The audio and subtitle tracks of a resumed source are chosen again once they are listed.
    TrackChoice currentTrack(TrackListKind kind);
    void applyRememberedTracks();
    // Subtitles only while the audio is in another language: chosen again when the audio track
    // changes.
    void applySubtitleRule();
    // The media ended (EndReached) or failed (EncounteredError).
    void onMediaEnded();
    // The engine's dialog reports: reasons gather until they are told, busy turns the wait
    // cursor on and off.
    void takeReports();
    void tellReason();
    void forgetReason();
    // The end of what plays: stops, and the play list advances.
    void finishMedia();
    void reportState();
    void listChanged(TrackListKind list);
    // Takes the engine's list when it differs from the one held, and reports the change.
    void refreshList(TrackListKind kind);
    TrackList& list(TrackListKind kind) { return lists_[static_cast<int>(kind)]; }
    const TrackList& titles() const { return lists_[static_cast<int>(TrackListKind::Titles)]; }
    int currentTitleIndex();

    static EngineFactory engineFactory_;

    std::unique_ptr<MediaPlayer> player_;
    PlayListData playList_;
    WString currentPath_;
    DiscKind discKind_ = DiscKind::None;
    WString currentName_;
    int volume_ = 100;
    bool muted_ = false;
    EngineKind engineKind_ = EngineKind::None;
    std::string aspectRatio_;
    // One list per kind; the Chapters slot stays empty, as chapters hang under their title.
    TrackList lists_[kTrackListKinds];
    AudioDeviceList audioDevices_;
    int trackedTitle_ = -1;
    int trackedChapter_ = -1;
    bool hasPlayed_ = false;
    bool enginePrepared_ = false;
    bool reachedByStep_ = false;
    PlayLogicListener* listener_;
    HWND eventWindow_;
    UINT eventMessage_;
    const PreferenceData* preferences_;
    WString cachedTitleName_;
    // The menus the current disc has, found when it opens.
    bool topMenu_ = false;
    bool popupMenu_ = false;
    // The disc image the current source was mounted from; reopened with it after a stop.
    WString sourceImage_;
    ResumeFollower resume_;
    // Audio, then subtitle: the tracks still to be chosen again, until the deadline.
    TrackChoice rememberedTracks_[2];
    ULONGLONG rememberedUntil_ = 0;
    // The viewer's language when subtitles follow the audio (empty otherwise), and the audio
    // track the rule was last applied for.
    std::string subtitleRuleLanguage_;
    int subtitleRuleAudio_ = TrackChoice::kNoTrack;
    DiscEndHold endHold_;
    SteadyClock clock_;
    // Why the current source plays without something or fails, from libVLC's dialogs.
    WString reason_;
    bool reasonTold_ = false;
    int reasonTicks_ = 0; // timer ticks the untold reason waited for the source to play
    int busy_ = 0;        // libVLC's progress dialogs open
    std::vector<WString> toldReasons_; // in this run
};

// Within this much of a chapter's start, Previous Chapter goes to the chapter before; later, to
// the start of the current one, as on a disc player.
inline constexpr long long kChapterRestartMs = 3000;

// The index in chapters a chapter step goes to from the chapter at index current, timeMs into
// the title (direction +1 next, -1 previous); -1 when there is none to go to.
int chapterStepTarget(const TrackList& chapters, int current, long long timeMs, int direction);

// The entry of list (its first count entries) that is the track chosen before: the same id
// under the same name, else the same name, else the same language (the name's part in square
// brackets, as libVLC names tracks "Track 2 - [French]"); -1 when none is.
int findTrackChoice(const TrackList& list, int count, const TrackChoice& choice);

// With subtitles wanted only while the audio is in another language than the viewer's (its
// English name as libVLC puts it in track names): the subtitle entry to choose for that audio,
// "Disable" (id -1) when the audio is in the viewer's language; -1 when there is none to choose.
int subtitleForAudio(const TrackList& subtitles, int count, const std::string& audioName,
                     const std::string& language);

// The one controller (null when none exists).
PlayLogic* playLogic();
