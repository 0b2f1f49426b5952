#include "engine/VlcPlayer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "engine/VlcDialogs.h"
#include "engine/VlcOptions.h"
#include "platform/DiscPointer.h"
#include "platform/Memory.h"
#include "platform/VideoOutput.h"
#include "platform/VlcPaths.h"

// Titles, chapters, the extra subtitle file and the device type are reached through the
// libVLC 2 calls, which libVLC 3 still provides (marked deprecated there).
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace {

const libvlc_event_type_t kAttachedEvents[] = {
    libvlc_MediaPlayerTimeChanged, libvlc_MediaPlayerPlaying,    libvlc_MediaPlayerPaused,
    libvlc_MediaPlayerStopped,     libvlc_MediaPlayerEndReached, libvlc_MediaPlayerEncounteredError,
};

// The libVLC instance the engines share, one after another. A fresh instance for every source
// loads libVLC's modules again and leaves memory behind each time; one kept instance does not.
// It is replaced when the options differ (changed preferences) and let go of at exit.
struct SharedInstance {
    std::vector<std::string> options;
    libvlc_instance_t* instance = nullptr;
};

SharedInstance& sharedInstance() {
    static SharedInstance shared;
    return shared;
}

// A new reference to the shared instance for these options; null when libVLC cannot start.
libvlc_instance_t* acquireInstance(const std::vector<std::string>& options) {
    SharedInstance& shared = sharedInstance();
    if (shared.instance && shared.options != options) releaseSharedVlcInstance();
    if (!shared.instance) {
        std::vector<const char*> argv;
        for (const std::string& option : options)
            argv.push_back(option.c_str());
        shared.instance = libvlc_new(static_cast<int>(argv.size()), argv.data());
        if (!shared.instance) return nullptr;
        shared.options = options;
        registerVlcDialogs(shared.instance);
    }
    libvlc_retain(shared.instance);
    return shared.instance;
}

} // namespace

void prepareSharedVlcInstance(const std::vector<std::string>& options) {
    if (libvlc_instance_t* instance = acquireInstance(options)) libvlc_release(instance);
}

void releaseSharedVlcInstance() {
    SharedInstance& shared = sharedInstance();
    if (!shared.instance) return;
    libvlc_release(shared.instance);
    shared.instance = nullptr;
    shared.options.clear();
    returnFreedMemory();
}

MediaPlayer* createVlcPlayer(std::vector<std::string> options) {
    return new VlcPlayer(std::move(options));
}

VlcPlayer::VlcPlayer(std::vector<std::string> instanceOptions)
    : options(std::move(instanceOptions)) {}

VlcPlayer::~VlcPlayer() {
    release();
}

bool VlcPlayer::init(HWND) {
    instance.reset(acquireInstance(options));
    if (!instance) {
        OutputDebugStringW(L"VlcPlayer::init: libvlc_new failed\n");
        return false;
    }
    player.reset(libvlc_media_player_new(instance.get()));
    if (!player) return false;
    eventManager = libvlc_media_player_event_manager(player.get());
    if (!eventManager) return false;
    // Keys and clicks go to the program's windows, not to libVLC.
    libvlc_video_set_key_input(player.get(), 0);
    libvlc_video_set_mouse_input(player.get(), 0);
    return true;
}

void VlcPlayer::release() {
    // Stops playback and ends libVLC's threads; nothing calls back afterwards.
    player.reset();
    eventManager = nullptr;
    detachVlcDialogs(relay.get());
    relay.reset();
    videoOutput.reset();
    frames.reset();
    media.reset();
    const bool hadInstance = instance != nullptr;
    instance.reset();
    // The decoder threads' freed memory would otherwise stay with the process.
    if (hadInstance) returnFreedMemory();
}

void VlcPlayer::setEventWindow(HWND window, UINT message) {
    if (!eventManager || relay) return;
    if (!window) return;
    auto fresh =
        std::make_unique<EventRelay>(window, message, static_cast<int>(PlayerEvent::TimeChanged));
    if (!fresh->started()) return;
    relay = std::move(fresh);
    attachVlcDialogs(relay.get());
    for (libvlc_event_type_t type : kAttachedEvents)
        if (libvlc_event_attach(eventManager, type, &VlcPlayer::onEvent, this) != 0)
            OutputDebugStringW(L"VlcPlayer: an engine event could not be attached\n");
}

void VlcPlayer::onEvent(const libvlc_event_t* event, void* self) {
    auto* engine = static_cast<VlcPlayer*>(self);
    if (event && engine->relay) engine->relay->push(event->type);
}

bool VlcPlayer::takeReport(EngineReport& report) {
    return takeVlcDialogReport(relay.get(), &report);
}

void VlcPlayer::eventHandled(PlayerEvent event) {
    if (relay) relay->handled(static_cast<int>(event));
}

bool VlcPlayer::open(const WString& path, DiscKind discKind) {
    if (!player) return false;
    if (isPlaying()) stop();
    videoCd.reset();
    problem.clear();
    libvlc_media_t* fresh = nullptr;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (discKind == DiscKind::VideoCd && attributes != INVALID_FILE_ATTRIBUTES &&
        !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        // A Video CD image: libVLC reads it from its .cue, one track at a time.
        auto state = std::make_unique<VideoCdState>();
        WString reason;
        if (!readVideoCd(path, &state->layout, &reason)) {
            OutputDebugStringW((L"VlcPlayer::open: " + reason + L"\n").c_str());
            problem = reason;
            return false;
        }
        state->location = buildDiscLocation(vlcDiscPath(path), DiscKind::VideoCd);
        videoCd = std::move(state);
        if (!openVideoCdTrack(0, 0, false)) {
            videoCd.reset();
            return false;
        }
        setAspectRatio(std::string());
        return true;
    }
    // A folder or drive holding the disc, or a DVD or Blu-ray image that libVLC reads itself.
    const bool discImage = (discKind == DiscKind::Dvd || discKind == DiscKind::BluRay) &&
                           attributes != INVALID_FILE_ATTRIBUTES;
    if (discImage || (attributes != INVALID_FILE_ATTRIBUTES &&
                      (attributes & FILE_ATTRIBUTE_DIRECTORY))) {
        const std::string location = buildDiscLocation(vlcDiscPath(path), discKind);
        fresh = libvlc_media_new_location(instance.get(), location.c_str());
        if (fresh) {
            // A location libVLC rewrote is not the disc that was asked for.
            char* mrl = libvlc_media_get_mrl(fresh);
            const bool same = mrl && location == mrl;
            libvlc_free(mrl);
            if (!same) {
                libvlc_media_release(fresh);
                fresh = nullptr;
            }
        }
    } else {
        // Also a path that does not exist: whether it plays shows later in the events.
        fresh = libvlc_media_new_path(instance.get(), vlcHostPath(path).c_str());
    }
    media.reset(fresh);
    if (!media) {
        OutputDebugStringW(L"VlcPlayer::open: libVLC made no media of the path\n");
        return false;
    }
    libvlc_media_player_set_media(player.get(), media.get());
    setAspectRatio(std::string());
    libvlc_video_set_mouse_input(player.get(), 1);
    return true;
}

bool VlcPlayer::play() {
    return player && libvlc_media_player_play(player.get()) == 0;
}

bool VlcPlayer::isPlaying() {
    return player && libvlc_media_player_is_playing(player.get()) != 0;
}

void VlcPlayer::pause() {
    if (player.get()) libvlc_media_player_pause(player.get());
}

void VlcPlayer::stop() {
    if (!player.get()) return;
    libvlc_media_player_stop(player.get());
    libvlc_video_set_mouse_input(player.get(), 0);
}

long long VlcPlayer::getTime() {
    if (!player) return 0;
    if (!videoCd) return libvlc_media_player_get_time(player.get());
    applyVideoCdSeek();
    const int title = libvlc_media_player_get_title(player.get());
    const auto& tracks = videoCd->layout.tracks;
    if (title >= 0 && title < static_cast<int>(tracks.size())) videoCd->track = title;
    const long long length = tracks[static_cast<size_t>(videoCd->track)].lengthMs();
    long long within = videoCd->pendingMs >= 0 ? videoCd->pendingMs
                                               : libvlc_media_player_get_time(player.get());
    within = std::max(0LL, std::min(within, length));
    return videoCd->layout.trackOffsetMs(videoCd->track) + within;
}

long long VlcPlayer::getLength() {
    if (videoCd) return videoCd->layout.lengthMs();
    return player ? libvlc_media_player_get_length(player.get()) : 0;
}

void VlcPlayer::setTime(long long ms) {
    if (!player) return;
    if (!videoCd) {
        libvlc_media_player_set_time(player.get(), ms);
        return;
    }
    long long within = 0;
    const int track = videoCd->layout.trackAt(ms, &within);
    if (track < 0) return;
    if (track == videoCd->track && libvlc_media_player_get_state(player.get()) != libvlc_Ended) {
        videoCd->pendingMs = within;
        applyVideoCdSeek();
    } else {
        openVideoCdTrack(track, within, true);
    }
}

bool VlcPlayer::openVideoCdTrack(int track, long long withinMs, bool start) {
    const std::string location = videoCd->location + "#" + std::to_string(track);
    libvlc_media_t* fresh = libvlc_media_new_location(instance.get(), location.c_str());
    if (!fresh) return false;
    media.reset(fresh);
    libvlc_media_player_set_media(player.get(), media.get());
    videoCd->track = track;
    videoCd->pendingMs = withinMs > 0 ? withinMs : -1;
    return !start || play();
}

void VlcPlayer::applyVideoCdSeek() {
    // A position only holds once the track plays; until then the wanted time is kept.
    if (!videoCd || videoCd->pendingMs < 0) return;
    if (libvlc_media_player_get_state(player.get()) != libvlc_Playing) return;
    libvlc_media_player_set_position(player.get(),
                                     videoCd->layout.positionOf(videoCd->track, videoCd->pendingMs));
    videoCd->pendingMs = -1;
}

bool VlcPlayer::continueDisc() {
    // libVLC ends a Video CD image with its track; the disc goes on with the next one.
    if (!videoCd || videoCd->track + 1 >= static_cast<int>(videoCd->layout.tracks.size()))
        return false;
    return openVideoCdTrack(videoCd->track + 1, 0, true);
}

int VlcPlayer::getVolume() {
    return player ? libvlc_audio_get_volume(player.get()) : 0;
}

bool VlcPlayer::setVolume(int volume) {
    return player && libvlc_audio_set_volume(player.get(), volume) == 0;
}

PlayerState VlcPlayer::getState() {
    return player ? static_cast<PlayerState>(libvlc_media_player_get_state(player.get()))
                  : PlayerState::Nothing;
}

void VlcPlayer::setHwnd(HWND window) {
    if (!player.get()) return;
    if (!videoOutput) {
        if (videoOutputDrawsFrames()) frames = std::make_unique<VideoFrames>(player.get());
        videoOutput.reset(createVideoOutput(player.get(), frames.get()));
        if (frames) frames->attach(videoOutput.get());
    }
    setVideoOutputWindow(videoOutput.get(), window);
}

bool VlcPlayer::paintVideo(HWND surface, HDC dc) {
    return paintVideoOutput(videoOutput.get(), surface, dc);
}

// libVLC answers -1 when it cannot tell (no audio output yet); that counts as muted.
bool VlcPlayer::isMute() {
    return player && libvlc_audio_get_mute(player.get()) != 0;
}

void VlcPlayer::toggleMute() {
    if (player.get()) libvlc_audio_set_mute(player.get(), isMute() ? 0 : 1);
}

bool VlcPlayer::hasVideo() {
    return player && libvlc_video_get_track_count(player.get()) != 0;
}

bool VlcPlayer::getFrameStats(FrameStats& stats) {
    libvlc_media_stats_t counts{};
    if (!media || !libvlc_media_get_stats(media.get(), &counts)) return false;
    stats.decoded = counts.i_decoded_video;
    stats.displayed = counts.i_displayed_pictures;
    stats.lost = counts.i_lost_pictures;
    stats.drawn = static_cast<int>(videoOutputFramesDrawn(videoOutput.get()));
    return true;
}

int VlcPlayer::picturesShown() {
    FrameStats stats;
    return getFrameStats(stats) ? stats.displayed : -1;
}

VideoSize VlcPlayer::getVideoSize() {
    VideoSize size;
    if (!player || libvlc_video_get_track_count(player.get()) <= 0) return size;
    unsigned width = 0, height = 0;
    if (libvlc_video_get_size(player.get(), 0, &width, &height) != 0) return size;
    size.width = static_cast<int>(width);
    size.height = static_cast<int>(height);
    return size;
}

bool VlcPlayer::setAspectRatio(const std::string& ratio) {
    if (!player) return false;
    libvlc_video_set_aspect_ratio(player.get(), ratio.c_str());
    if (frames) frames->setAspect(ratio);
    return true;
}

std::string VlcPlayer::getAspectRatio() {
    if (!player.get()) return std::string();
    char* ratio = libvlc_video_get_aspect_ratio(player.get());
    std::string result = ratio ? std::string(ratio) : std::string();
    libvlc_free(ratio);
    return result;
}

void VlcPlayer::setScale(float scale) {
    if (!player.get()) return;
    libvlc_video_set_scale(player.get(), scale);
    if (frames) frames->setScale(scale);
}

void VlcPlayer::showNotice(const std::string& text, int ms) {
    if (!player) return;
    // Where the program draws the frames, it draws the notice too.
    if (setVideoOutputNotice(videoOutput.get(), decodeText(text), ms)) return;
    libvlc_media_player_t* p = player.get();
    // The text is sized to the picture, which it is drawn into: a twentieth of its height.
    const VideoSize size = getVideoSize();
    const int fontSize = size.height >= 240 ? size.height / 20 : 12;
    libvlc_video_set_marquee_string(p, libvlc_marquee_Text, text.c_str());
    libvlc_video_set_marquee_int(p, libvlc_marquee_Size, fontSize);
    libvlc_video_set_marquee_int(p, libvlc_marquee_Color, 0xFFFFFF);
    libvlc_video_set_marquee_int(p, libvlc_marquee_Opacity, 255);
    // Bottom left (4 top, 8 bottom, 1 left), a little inside the edges.
    libvlc_video_set_marquee_int(p, libvlc_marquee_Position, 8 | 1);
    libvlc_video_set_marquee_int(p, libvlc_marquee_X, fontSize / 2);
    libvlc_video_set_marquee_int(p, libvlc_marquee_Y, fontSize / 2);
    libvlc_video_set_marquee_int(p, libvlc_marquee_Timeout, ms);
    libvlc_video_set_marquee_int(p, libvlc_marquee_Enable, 1);
}
