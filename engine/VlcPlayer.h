// The libVLC engine: one libVLC instance, one media player and the media loaded into it.
#pragma once

#include <vlc/vlc.h>

#include "engine/MediaPlayer.h"

struct VideoOutput;

class VlcPlayer : public MediaPlayer {
public:
    VlcPlayer() = default;
    VlcPlayer(const VlcPlayer&) = delete;
    VlcPlayer& operator=(const VlcPlayer&) = delete;
    ~VlcPlayer() override;

    int getPlayerType() override { return 1; }
    // Creates the instance from the program's preference record, the media player and its
    // event manager; true only when all three exist. The owner window is not used.
    bool init(HWND owner) override;
    // Releases the player, then the media, then the instance, each only if held; safe to call
    // again and before the destructor.
    void release() override;
    bool open(const WString& path, DiscKind discKind) override;
    bool play() override;
    bool isPlaying() override;
    void pause() override;
    void stop() override;
    long long getTime() override;
    long long getLength() override;
    void setTime(long long ms) override;
    int getVolume() override;
    bool setVolume(int volume) override;
    int getState() override;
    void spare(int) override {}
    void setHwnd(HWND window) override;
    bool isMute() override;
    void toggleMute() override;
    bool hasVideo() override;
    VideoSize getVideoSize() override;
    bool setAspectRatio(const std::string& ratio) override;
    std::string getAspectRatio() override;
    void setScale(float scale) override;
    int getAudioTracks(TrackList& list) override;
    int getAudioTrack() override;
    void setAudioTrack(int id) override;
    void setAudioChannel(int channel) override;
    int getAudioChannel() override;
    void setAudioDeviceType(int type) override;
    bool takeSnapshot(const WString& folder) override;
    void getTitles(TrackList& list) override;
    int getTitle() override;
    int getChapter() override;
    void setTitleChapter(int title, int chapter) override;
    int getVideoTracks(TrackList& list) override;
    int getVideoTrack() override;
    void setVideoTrack(int id) override;
    int getSubtitles(TrackList& list) override;
    int getSubtitle() override;
    void setSubtitle(int id) override;
    void setSubtitleFile(const WString& path) override;
    int getAudioDevices(AudioDeviceList& list) override;

    // Registers eventCallback (user data null) for TimeChanged, Playing, Paused, Stopped and
    // EndReached. libVLC calls it on its own threads, and from stop on the calling thread: it
    // must not call Win32 or the engine. False without event manager or callback.
    bool attachEvents();
    bool hasEventManager() const { return eventManager != nullptr; }

    libvlc_callback_t eventCallback = nullptr;

private:
    libvlc_instance_t* instance = nullptr;
    libvlc_media_player_t* player = nullptr;
    libvlc_media_t* media = nullptr;
    libvlc_event_manager_t* eventManager = nullptr; // belongs to the player
    VideoOutput* videoOutput = nullptr;             // lives until the player is released
};

MediaPlayer* createVlcPlayer();
