// The libVLC engine: one libVLC instance, one media player and the media loaded into it.
#pragma once

#include <vlc/vlc.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/MediaPlayer.h"
#include "engine/VideoCd.h"
#include "engine/VideoFrames.h"
#include "platform/EventRelay.h"
#include "platform/VideoOutput.h"

struct LibvlcInstanceDeleter {
    void operator()(libvlc_instance_t* p) const { libvlc_release(p); }
};
struct LibvlcPlayerDeleter {
    void operator()(libvlc_media_player_t* p) const { libvlc_media_player_release(p); }
};
struct LibvlcMediaDeleter {
    void operator()(libvlc_media_t* p) const { libvlc_media_release(p); }
};

// How many video frames went where, for the benchmarks.
struct FrameStats {
    int decoded = 0;   // decoded by libVLC
    int displayed = 0; // handed to the video output
    int lost = 0;      // dropped by libVLC (late)
    int drawn = 0;     // drawn on screen by the program (0 where libVLC draws itself)
};

// Lets go of the libVLC instance the engines share (see init); called once no engine is left,
// at exit. The next engine starts a new one.
void releaseSharedVlcInstance();
// Starts libVLC for these options ahead of the first source (its start loads its modules, some
// 10-15 ms), so that the first open does not wait for it.
void prepareSharedVlcInstance(const std::vector<std::string>& options);

class VlcPlayer : public MediaPlayer {
public:
    // options: libVLC's instance options (see buildVlcOptions).
    explicit VlcPlayer(std::vector<std::string> options);
    VlcPlayer(const VlcPlayer&) = delete;
    VlcPlayer& operator=(const VlcPlayer&) = delete;
    ~VlcPlayer() override;

    int getPlayerType() override { return 1; }
    // Takes a reference to the libVLC instance shared by the engines made with the same options
    // (made now if there is none), creates the media player and its event manager; true only
    // when all three exist. The owner window is not used.
    bool init(HWND owner) override;
    // Attaches the events the program reacts to; they reach the window through a relay.
    void setEventWindow(HWND window, UINT message) override;
    void eventHandled(PlayerEvent event) override;
    // Releases the player, then the media, then the instance, each only if held; safe to call
    // again and before the destructor.
    void release() override;
    bool open(const WString& path, DiscKind discKind) override;
    WString openProblem() const override { return problem; }
    // libVLC's dialogs reach the engine whose events window is set, through its relay.
    bool takeReport(EngineReport& report) override;
    bool play() override;
    bool isPlaying() override;
    void pause() override;
    void stop() override;
    long long getTime() override;
    long long getLength() override;
    void setTime(long long ms) override;
    int getVolume() override;
    bool setVolume(int volume) override;
    PlayerState getState() override;
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
    bool isMenuShown() override;
    void navigate(MenuAction action) override;
    bool menuPointer(int x, int y, bool click) override;
    bool showDiscMenu(DiscMenuKind kind) override;
    bool continueDisc() override;
    // Through libVLC's marquee, which the video output blends into the picture.
    void showNotice(const std::string& text, int ms) override;
    bool paintVideo(HWND surface, HDC dc) override;
    // libVLC's counts for the current media; false without one. Also after the media ended.
    bool getFrameStats(FrameStats& stats);
    int picturesShown() override;

private:
    // libVLC calls this on its own threads, and from stop on the calling thread: it only hands
    // the event type to the relay.
    static void onEvent(const libvlc_event_t* event, void* self);

    // A Video CD image plays one track at a time; the disc's clock, length and entry points
    // come from its layout. Null for every other source.
    struct VideoCdState {
        std::string location; // "vcd:///" and the .cue, without the track
        VideoCdLayout layout;
        int track = 0;
        long long pendingMs = -1; // a time within the track to go to once it plays
    };
    bool openVideoCdTrack(int track, long long withinMs, bool start);
    void applyVideoCdSeek();
    std::unique_ptr<VideoCdState> videoCd;
    WString problem; // why the last open failed, where a reader of the source said

    std::vector<std::string> options;
    // Released in reverse order: the player (which ends libVLC's threads, so no callback runs
    // afterwards), then the relay, the video output and the frames they used, the media, the
    // instance. frames is null where libVLC draws into the window itself.
    std::unique_ptr<libvlc_instance_t, LibvlcInstanceDeleter> instance;
    std::unique_ptr<libvlc_media_t, LibvlcMediaDeleter> media;
    std::unique_ptr<VideoFrames> frames;
    VideoOutputPtr videoOutput;
    std::unique_ptr<EventRelay> relay;
    std::unique_ptr<libvlc_media_player_t, LibvlcPlayerDeleter> player;
    libvlc_event_manager_t* eventManager = nullptr; // belongs to the player
};

MediaPlayer* createVlcPlayer(std::vector<std::string> options);
