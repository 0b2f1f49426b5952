// The playback controller: owns the engine, the play list, the current source, volume and mute,
// and the track, title, chapter and subtitle lists the menus show.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "engine/MediaPlayer.h"
#include "playback/PlayListData.h"
#include "platform/WString.h"

class PlayerEventRelay;

// 0 no source, 1 libVLC engine, 2 "swf"/"fla" (no engine exists for it).
using EngineKind = int;

class PlayLogic {
public:
    PlayLogic();
    virtual ~PlayLogic();

    static EngineKind engineKindForPath(const WString& path);
    // The text after the last "\" or "/"; empty when there is none or it is the first character.
    static WString fileNamePart(const WString& path);

    bool open(const WString& path, DiscKind kind);
    bool play();
    void pause();
    void stop();
    void closeAll();
    void step(int direction);
    void stepTitle(int direction);
    void stepFile(int direction);
    bool canSkip();
    bool seek(int direction);
    void setVolume(int value);
    void stepVolume(int direction);
    void toggleMute();
    void applyAudio();
    bool isPlaying();
    bool createMediaPlayer(EngineKind kind);
    void releaseMediaPlayer();
    void timerProc();
    // Called by libVLC on its own threads: only queues the event type. A relay thread posts it
    // to the main window as WM_MAINFRAME_PLAYER_EVENT, whose handler calls onPlayerEvent.
    static void handleProc(const struct libvlc_event_t* event, void* userData);
    // Queues one event type exactly as handleProc does (no Win32 call; any thread).
    static void queuePlayerEvent(int eventType);
    // Whether an event type is carried to the GUI thread: Playing, Paused, Stopped, TimeChanged.
    static bool isRelayedEvent(int eventType);
    // The effects of one engine event, on the GUI thread (WM_MAINFRAME_PLAYER_EVENT).
    void onPlayerEvent(int eventType);

    // Track lists, titles and aspect ratio
    void updateTrackLists();
    void refreshAudioDevices();
    void trackTitleAndChapter();
    void checkAutomaticAspect();
    bool applyAspectRatio(const char* text);
    void selectChapter(int index);
    void selectSubtitle(int index);
    int currentAudioTrackIndex();
    int currentTitleIndex();
    int currentChapterIndex();
    int currentVideoTrackIndex();
    int currentSubtitleIndex();
    WString currentTitleName();
    void setAudioChannel(int channel);
    int getAudioChannel();
    bool takeSnapshot(const WString& folder);
    void clearTrackLists();
    // The row of the automatic aspect table nearest to width / height.
    static const char* nearestAspect(int width, int height);

    // Factory of the engine for a kind; tests replace it to drive the controller with a fake.
    using EngineFactory = MediaPlayer* (*)(EngineKind kind);
    static EngineFactory engineFactory;
    // Called on the GUI thread when media that opened turns out unplayable (the engine ends in
    // its error state, or ends without ever having played). Null: nothing is shown.
    using LoadFailureHandler = void (*)();
    static LoadFailureHandler loadFailureHandler;

    std::unique_ptr<MediaPlayer> player;
    PlayListData playList;
    WString currentPath;
    DiscKind discKind = 0;
    WString currentName;
    int volume = 100;
    bool muted = false;
    EngineKind engineKind = 0;
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
    // The current media was reached by stepping through the play list, not opened directly.
    bool reachedByStep = false;

private:
    void updateBarVolume();
    void waitWhilePlaying();
    bool isFolder(const WString& path) const;
    void startEventRelay();
    WString cachedTitleName;
    int cachedTitleId = -1;
    std::unique_ptr<PlayerEventRelay> relay;
};

// The one controller, owned by the main window's state.
PlayLogic* playLogic();
