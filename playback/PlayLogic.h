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
#include "playback/PlayListData.h"
#include "playback/ResumeStore.h"
#include "platform/WString.h"

enum class EngineKind { None = 0, Vlc = 1, NoEngine = 2 }; // NoEngine: "swf"/"fla" paths

// The lists the controller keeps for the menus.
enum class TrackListKind { AudioTracks, Titles, Chapters, VideoTracks, Subtitles };

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
    virtual void stateChanged() = 0;
    // The current title or chapter changed: the menus' check marks follow.
    virtual void positionChanged() = 0;
    // One of the lists was refilled or emptied.
    virtual void listChanged(TrackListKind list) = 0;
    virtual void timeChanged() = 0;
    virtual void volumeChanged() = 0;
    // A stop, before the engine goes: the seek bar returns to its start, ending any drag, and
    // the video surface is hidden.
    virtual void playbackStopped() = 0;
    // Media that opened turned out unplayable (not reported for a play-list step).
    virtual void loadFailed() = 0;
    // The disc that was playing is no longer there (root: where it was).
    virtual void discLost(const WString& root) = 0;
    // The subtitle file the user picks; empty when cancelled.
    virtual WString chooseSubtitleFile() = 0;
    // Playback went on where the viewer left the source (titleName: the disc title's name,
    // empty for a file).
    virtual void playbackResumed(const ResumePoint&, const WString& titleName) {}
};

class PlayLogic {
public:
    // listener, eventWindow and preferences may be null (tests): nothing is then reported, no
    // engine event arrives, and an all-zero preference record applies.
    PlayLogic(PlayLogicListener* listener, HWND eventWindow, const PreferenceData* preferences);
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
    void setVolume(int value);
    void stepVolume(int direction);
    void toggleMute();
    void applyAudio();
    bool isPlaying();
    // The engine's state; Nothing without an engine.
    PlayerState state();
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

    // Track lists, titles and aspect ratio
    void updateTrackLists();
    void refreshAudioDevices();
    void trackTitleAndChapter();
    // A ratio such as "16:9"; null or empty: the picture's own display aspect ratio.
    bool applyAspectRatio(const char* text);
    void selectAudioTrack(int index);
    void selectTitle(int index);
    void selectChapter(int index);
    void selectVideoTrack(int index);
    void selectSubtitle(int index);
    int currentAudioTrackIndex();
    int currentTitleIndex();
    int currentChapterIndex();
    int currentVideoTrackIndex();
    int currentSubtitleIndex();
    // The current entry's index in a list, and the choice of an entry from the list's menu.
    int currentIndex(TrackListKind list);
    void selectItem(TrackListKind list, int index);
    // The list behind a menu; for Chapters, the current title's (null when there is none).
    const TrackList* trackList(TrackListKind list);
    WString currentTitleName();
    // Disc menus: true while the current title of a disc is a menu; the moves and the pointer go
    // to its buttons then (x, y in the video surface's client coordinates). False otherwise.
    bool onDiscMenu();
    bool navigateMenu(MenuAction action);
    bool menuPointer(int x, int y, bool click);
    void setAudioChannel(int channel);
    int getAudioChannel();
    bool takeSnapshot(const WString& folder);
    void clearTrackLists();

    // Factory of the engine for a kind; tests replace it to drive the controller with a fake.
    using EngineFactory = MediaPlayer* (*)(EngineKind kind);
    static EngineFactory engineFactory;

    std::unique_ptr<MediaPlayer> player;
    PlayListData playList;
    WString currentPath;
    DiscKind discKind = DiscKind::None;
    WString currentName;
    int volume = 100;
    bool muted = false;
    EngineKind engineKind = EngineKind::None;
    std::string aspectRatio;
    TrackList audioTracks;
    AudioDeviceList audioDevices;
    TrackList titles;
    int currentTitle = -1;
    int currentChapter = -1;
    TrackList videoTracks;
    TrackList subtitles;
    // Set once the current media has been seen playing.
    bool hasPlayed = false;
    bool enginePrepared = false;
    // The current media was reached by stepping through the play list, not opened directly.
    bool reachedByStep = false;
    // Where positions are kept; null: none are kept or resumed (tests).
    ResumeStore* resumeStore = nullptr;

private:
    // The clock of a Blu-ray title standing at its end, and for how many timer ticks.
    long long heldTime = -1;
    int heldTicks = 0;

    void waitWhilePlaying();
    // Resuming: the kept position is reached once the source plays (a disc first leaves its
    // menu for the title), and the position seen last is kept when the source goes.
    void followResume();
    void notePosition();
    void rememberPosition();
    // The media ended (EndReached) or failed (EncounteredError).
    void onMediaEnded();
    // The end of what plays: stops, and the play list advances.
    void finishMedia();
    // True once a Blu-ray's clock has stood at its title's end for a while.
    bool heldAtDiscEnd();
    // False when the disc that was opened at root no longer answers.
    static bool discStillReadable(const WString& root, DiscKind kind);
    void listChanged(TrackListKind list);
    // Takes the engine's list when it differs from the one held, and reports the change.
    void refreshList(TrackList& list, TrackListKind kind, int (MediaPlayer::*fill)(TrackList&));
    PlayLogicListener* listener;
    HWND eventWindow;
    const PreferenceData* preferences;
    WString cachedTitleName;
    int cachedTitleId = -1;
    // The current source's name in the resume store; empty when it is not kept.
    WString sourceKey;
    WString sourceImage;
    // The position being resumed, until when it is waited for, and when its title was asked.
    bool resumePending = false;
    bool resumeTitleAsked = false;
    ULONGLONG resumeDeadline = 0;
    ULONGLONG resumeAskedAt = 0;
    ResumePoint resumeTarget;
    // The last position of the source outside a disc menu.
    bool positionSeen = false;
    ResumePoint lastPosition;
};

// The one controller (null when none exists).
PlayLogic* playLogic();
