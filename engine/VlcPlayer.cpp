#include "engine/VlcPlayer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

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

std::string textOrEmpty(const char* text) {
    return text ? std::string(text) : std::string();
}

// Appends one entry per description; returns how many. The list is released here.
int appendDescriptions(libvlc_track_description_t* descriptions, TrackList& list) {
    if (!descriptions) return 0;
    int count = 0;
    for (libvlc_track_description_t* d = descriptions; d; d = d->p_next) {
        list.add(d->i_id, textOrEmpty(d->psz_name));
        ++count;
    }
    libvlc_track_description_list_release(descriptions);
    return count;
}

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
    for (libvlc_event_type_t type : kAttachedEvents)
        if (libvlc_event_attach(eventManager, type, &VlcPlayer::onEvent, this) != 0)
            OutputDebugStringW(L"VlcPlayer: an engine event could not be attached\n");
}

void VlcPlayer::onEvent(const libvlc_event_t* event, void* self) {
    auto* engine = static_cast<VlcPlayer*>(self);
    if (event && engine->relay) engine->relay->push(event->type);
}

void VlcPlayer::eventHandled(PlayerEvent event) {
    if (relay) relay->handled(static_cast<int>(event));
}

bool VlcPlayer::open(const WString& path, DiscKind discKind) {
    if (!player) return false;
    if (isPlaying()) stop();
    videoCd.reset();
    libvlc_media_t* fresh = nullptr;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (discKind == DiscKind::VideoCd && attributes != INVALID_FILE_ATTRIBUTES &&
        !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        // A Video CD image: libVLC reads it from its .cue, one track at a time.
        auto state = std::make_unique<VideoCdState>();
        WString reason;
        if (!readVideoCd(path, &state->layout, &reason)) {
            OutputDebugStringW((L"VlcPlayer::open: " + reason + L"\n").c_str());
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
    std::string result = textOrEmpty(ratio);
    libvlc_free(ratio);
    return result;
}

void VlcPlayer::setScale(float scale) {
    if (!player.get()) return;
    libvlc_video_set_scale(player.get(), scale);
    if (frames) frames->setScale(scale);
}

int VlcPlayer::getAudioTracks(TrackList& list) {
    return player ? appendDescriptions(libvlc_audio_get_track_description(player.get()), list) : 0;
}

int VlcPlayer::getAudioTrack() {
    if (!player || libvlc_audio_get_track_count(player.get()) <= 0) return -1;
    return libvlc_audio_get_track(player.get());
}

void VlcPlayer::setAudioTrack(int id) {
    if (player.get()) libvlc_audio_set_track(player.get(), id);
}

void VlcPlayer::setAudioChannel(int channel) {
    if (player.get()) libvlc_audio_set_channel(player.get(), channel);
}

int VlcPlayer::getAudioChannel() {
    return player ? libvlc_audio_get_channel(player.get()) : -1;
}

void VlcPlayer::setAudioDeviceType(int type) {
    if (player.get()) libvlc_audio_output_set_device_type(player.get(), type);
}

bool VlcPlayer::takeSnapshot(const WString& folder) {
    if (!player) return false;
    const VideoSize size = getVideoSize();
    if (size.width == 0 || size.height == 0) return false;
    const std::string target = vlcHostPath(folder);
    return libvlc_video_take_snapshot(player.get(), 0, target.c_str(),
                                      static_cast<unsigned>(size.width),
                                      static_cast<unsigned>(size.height)) == 0;
}

void VlcPlayer::getTitles(TrackList& list) {
    if (!player) return;
    if (videoCd) {
        // One title through the whole disc; its entry points are the chapters.
        TrackInfo title(0, "Title 1");
        title.chapters = std::make_unique<TrackList>();
        for (size_t i = 0; i < videoCd->layout.entries.size(); ++i)
            title.chapters->add(static_cast<int>(i), "Chapter " + std::to_string(i + 1));
        list.items.push_back(std::move(title));
        return;
    }
    libvlc_track_description_t* titles = libvlc_video_get_title_description(player.get());
    if (!titles) return;
    // The flags and durations, in the same order as the named list.
    libvlc_title_description_t** details = nullptr;
    const int detailCount = libvlc_media_player_get_full_title_descriptions(player.get(), &details);
    // A title without duration has nothing to watch, where the others have one.
    bool durations = false;
    for (int i = 0; i < detailCount; ++i)
        durations = durations || (details[i] && details[i]->i_duration > 0);
    int index = 0;
    for (libvlc_track_description_t* t = titles; t; t = t->p_next, ++index) {
        TrackInfo entry(t->i_id, textOrEmpty(t->psz_name));
        if (index < detailCount && details[index])
            entry.menu = (details[index]->i_flags & libvlc_title_menu) ||
                         (durations && details[index]->i_duration <= 0);
        libvlc_track_description_t* chapters =
            libvlc_video_get_chapter_description(player.get(), t->i_id);
        for (libvlc_track_description_t* c = chapters; c; c = c->p_next) {
            // A title without chapters keeps a null list.
            if (!entry.chapters) entry.chapters = std::make_unique<TrackList>();
            entry.chapters->add(c->i_id, textOrEmpty(c->psz_name));
        }
        if (chapters) libvlc_track_description_list_release(chapters);
        // Blu-ray chapters come numbered from 0; the menu counts from 1, as on a DVD.
        if (entry.chapters && (*entry.chapters)[0].name == "Chapter 0")
            for (int i = 0; i < entry.chapters->count(); ++i)
                (*entry.chapters)[i].name = "Chapter " + std::to_string(i + 1);
        list.items.push_back(std::move(entry));
    }
    libvlc_track_description_list_release(titles);
    if (detailCount > 0)
        libvlc_title_descriptions_release(details, static_cast<unsigned>(detailCount));
}

int VlcPlayer::getTitle() {
    if (videoCd) return 0;
    return player ? libvlc_media_player_get_title(player.get()) : -1;
}

int VlcPlayer::getChapter() {
    if (!player) return -1;
    if (!videoCd) return libvlc_media_player_get_chapter(player.get());
    const long long now = getTime();
    int chapter = 0;
    for (int i = 1; i < static_cast<int>(videoCd->layout.entries.size()); ++i)
        if (videoCd->layout.entryMs(i) <= now) chapter = i;
    return chapter;
}

void VlcPlayer::setTitleChapter(int title, int chapter) {
    if (!player.get()) return;
    if (videoCd) {
        if (chapter >= 0) setTime(videoCd->layout.entryMs(chapter));
        return;
    }
    libvlc_media_player_set_title(player.get(), title);
    if (chapter != -1) libvlc_media_player_set_chapter(player.get(), chapter);
}

int VlcPlayer::getVideoTracks(TrackList& list) {
    return player ? appendDescriptions(libvlc_video_get_track_description(player.get()), list) : 0;
}

int VlcPlayer::getVideoTrack() {
    if (!player || libvlc_video_get_track_count(player.get()) <= 0) return -1;
    return libvlc_video_get_track(player.get());
}

void VlcPlayer::setVideoTrack(int id) {
    if (player.get()) libvlc_video_set_track(player.get(), id);
}

int VlcPlayer::getSubtitles(TrackList& list) {
    const int count =
        player ? appendDescriptions(libvlc_video_get_spu_description(player.get()), list) : 0;
    // The subtitle menu turns this last entry into the command that picks a subtitle file.
    list.add(0, "Open file...");
    return count;
}

int VlcPlayer::getSubtitle() {
    if (!player || libvlc_video_get_spu_count(player.get()) <= 0) return -1;
    return libvlc_video_get_spu(player.get());
}

void VlcPlayer::setSubtitle(int id) {
    if (player.get()) libvlc_video_set_spu(player.get(), id);
}

void VlcPlayer::setSubtitleFile(const WString& path) {
    if (player.get()) libvlc_video_set_subtitle_file(player.get(), vlcHostPath(path).c_str());
}

int VlcPlayer::getAudioDevices(AudioDeviceList& list) {
    if (!player || !instance) return 0;
    libvlc_audio_output_t* outputs = libvlc_audio_output_list_get(instance.get());
    if (!outputs) return 0;
    int count = 0;
    // The devices are asked of the instance by module name. The player's own output is left
    // alone: selecting every module in turn would leave it on the last one of the list, which
    // is a silent or file-writing module ("afile", "adummy") on common libVLC builds.
    for (libvlc_audio_output_t* out = outputs; out; out = out->p_next) {
        if (!out->psz_name) continue;
        libvlc_audio_output_device_t* devices =
            libvlc_audio_output_device_list_get(instance.get(), out->psz_name);
        for (libvlc_audio_output_device_t* d = devices; d; d = d->p_next) {
            list.items.push_back(AudioDeviceInfo{out->psz_name, textOrEmpty(out->psz_description),
                                                 textOrEmpty(d->psz_device),
                                                 textOrEmpty(d->psz_description)});
            ++count;
        }
        if (devices) libvlc_audio_output_device_list_release(devices);
    }
    libvlc_audio_output_list_release(outputs);
    return count;
}

bool VlcPlayer::isMenuShown() {
    if (!player) return false;
    const int current = libvlc_media_player_get_title(player.get());
    if (current < 0) return false;
    libvlc_title_description_t** titles = nullptr;
    const int count = libvlc_media_player_get_full_title_descriptions(player.get(), &titles);
    bool menu = false;
    if (count > 0 && current < count && titles[current])
        menu = (titles[current]->i_flags & (libvlc_title_menu | libvlc_title_interactive)) != 0;
    if (count > 0) libvlc_title_descriptions_release(titles, static_cast<unsigned>(count));
    return menu;
}

void VlcPlayer::navigate(MenuAction action) {
    if (player) libvlc_media_player_navigate(player.get(), static_cast<unsigned>(action));
}

bool VlcPlayer::menuPointer(int x, int y, bool click) {
    int px = 0, py = 0;
    if (!player || !videoOutputPicturePoint(videoOutput.get(), x, y, &px, &py)) return false;
    return sendDiscPointer(player.get(), px, py, click);
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
