#include "engine/VlcPlayer.h"

#include <cstdlib>
#include <cstring>

#include "app/MainFrame.h"
#include "engine/VlcOptions.h"
#include "platform/VideoOutput.h"
#include "platform/VlcPaths.h"

// Titles, chapters, the extra subtitle file and the device type are reached through the
// libVLC 2 calls, which libVLC 3 still provides (marked deprecated there).
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace {

const libvlc_event_type_t kAttachedEvents[] = {
    libvlc_MediaPlayerTimeChanged, libvlc_MediaPlayerPlaying,    libvlc_MediaPlayerPaused,
    libvlc_MediaPlayerStopped,     libvlc_MediaPlayerEndReached,
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

} // namespace

MediaPlayer* createVlcPlayer() {
    return new VlcPlayer();
}

VlcPlayer::~VlcPlayer() {
    release();
}

bool VlcPlayer::init(HWND) {
    std::vector<std::string> options = buildVlcOptions(gMainFrame.preferences);
    std::vector<const char*> argv;
    for (const std::string& option : options)
        argv.push_back(option.c_str());
    instance = libvlc_new(static_cast<int>(argv.size()), argv.data());
    if (!instance) {
        OutputDebugStringW(L"VlcPlayer::init: libvlc_new failed\n");
        return false;
    }
    player = libvlc_media_player_new(instance);
    if (!player) return false;
    eventManager = libvlc_media_player_event_manager(player);
    if (!eventManager) return false;
    // Keys and clicks go to the program's windows, not to libVLC.
    libvlc_video_set_key_input(player, 0);
    libvlc_video_set_mouse_input(player, 0);
    return true;
}

void VlcPlayer::release() {
    if (player) {
        // Stops playback and ends libVLC's threads; the video output is unused afterwards.
        libvlc_media_player_release(player);
        player = nullptr;
    }
    eventManager = nullptr;
    if (videoOutput) {
        destroyVideoOutput(videoOutput);
        videoOutput = nullptr;
    }
    if (media) {
        libvlc_media_release(media);
        media = nullptr;
    }
    if (instance) {
        libvlc_release(instance);
        instance = nullptr;
    }
}

bool VlcPlayer::attachEvents() {
    if (!eventManager || !eventCallback) return false;
    bool attached = true;
    for (libvlc_event_type_t type : kAttachedEvents)
        attached = libvlc_event_attach(eventManager, type, eventCallback, nullptr) == 0 && attached;
    return attached;
}

bool VlcPlayer::open(const WString& path, DiscKind discKind) {
    if (!player) return false;
    if (isPlaying()) stop();
    libvlc_media_t* fresh = nullptr;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const std::string location = buildDiscLocation(vlcDiscPath(path), discKind);
        fresh = libvlc_media_new_location(instance, location.c_str());
        if (fresh) {
            // A location libVLC rewrote is not the disc that was asked for.
            char* mrl = libvlc_media_get_mrl(fresh);
            const bool same = mrl && location == mrl;
            std::free(mrl);
            if (!same) {
                libvlc_media_release(fresh);
                fresh = nullptr;
            }
        }
    } else {
        // Also a path that does not exist: whether it plays shows later in the events.
        fresh = libvlc_media_new_path(instance, vlcHostPath(path).c_str());
    }
    if (media) libvlc_media_release(media);
    media = fresh;
    if (!media) {
        OutputDebugStringW(L"VlcPlayer::open: libVLC made no media of the path\n");
        return false;
    }
    libvlc_media_player_set_media(player, media);
    setAspectRatio(std::string());
    libvlc_video_set_mouse_input(player, 1);
    return true;
}

bool VlcPlayer::play() {
    return player && libvlc_media_player_play(player) == 0;
}

bool VlcPlayer::isPlaying() {
    return player && libvlc_media_player_is_playing(player) != 0;
}

void VlcPlayer::pause() {
    if (player) libvlc_media_player_pause(player);
}

void VlcPlayer::stop() {
    if (!player) return;
    libvlc_media_player_stop(player);
    libvlc_video_set_mouse_input(player, 0);
}

long long VlcPlayer::getTime() {
    return player ? libvlc_media_player_get_time(player) : 0;
}

long long VlcPlayer::getLength() {
    return player ? libvlc_media_player_get_length(player) : 0;
}

void VlcPlayer::setTime(long long ms) {
    if (player) libvlc_media_player_set_time(player, ms);
}

int VlcPlayer::getVolume() {
    return player ? libvlc_audio_get_volume(player) : 0;
}

bool VlcPlayer::setVolume(int volume) {
    return player && libvlc_audio_set_volume(player, volume) == 0;
}

int VlcPlayer::getState() {
    return player ? static_cast<int>(libvlc_media_player_get_state(player)) : 0;
}

void VlcPlayer::setHwnd(HWND window) {
    if (!player) return;
    if (!videoOutput) videoOutput = createVideoOutput(player);
    setVideoOutputWindow(videoOutput, window);
}

// libVLC answers -1 when it cannot tell (no audio output yet); that counts as muted.
bool VlcPlayer::isMute() {
    return player && libvlc_audio_get_mute(player) != 0;
}

void VlcPlayer::toggleMute() {
    if (player) libvlc_audio_set_mute(player, isMute() ? 0 : 1);
}

bool VlcPlayer::hasVideo() {
    return player && libvlc_video_get_track_count(player) != 0;
}

VideoSize VlcPlayer::getVideoSize() {
    VideoSize size;
    if (!player || libvlc_video_get_track_count(player) <= 0) return size;
    unsigned width = 0, height = 0;
    if (libvlc_video_get_size(player, 0, &width, &height) != 0) return size;
    size.width = static_cast<int>(width);
    size.height = static_cast<int>(height);
    return size;
}

bool VlcPlayer::setAspectRatio(const std::string& ratio) {
    if (!player) return false;
    libvlc_video_set_aspect_ratio(player, ratio.c_str());
    setVideoOutputAspect(videoOutput, ratio);
    return true;
}

std::string VlcPlayer::getAspectRatio() {
    if (!player) return std::string();
    char* ratio = libvlc_video_get_aspect_ratio(player);
    std::string result = textOrEmpty(ratio);
    libvlc_free(ratio);
    return result;
}

void VlcPlayer::setScale(float scale) {
    if (!player) return;
    libvlc_video_set_scale(player, scale);
    setVideoOutputScale(videoOutput, scale);
}

int VlcPlayer::getAudioTracks(TrackList& list) {
    return player ? appendDescriptions(libvlc_audio_get_track_description(player), list) : 0;
}

int VlcPlayer::getAudioTrack() {
    if (!player || libvlc_audio_get_track_count(player) <= 0) return -1;
    return libvlc_audio_get_track(player);
}

void VlcPlayer::setAudioTrack(int id) {
    if (player) libvlc_audio_set_track(player, id);
}

void VlcPlayer::setAudioChannel(int channel) {
    if (player) libvlc_audio_set_channel(player, channel);
}

int VlcPlayer::getAudioChannel() {
    return player ? libvlc_audio_get_channel(player) : -1;
}

void VlcPlayer::setAudioDeviceType(int type) {
    if (player) libvlc_audio_output_set_device_type(player, type);
}

bool VlcPlayer::takeSnapshot(const WString& folder) {
    if (!player) return false;
    const VideoSize size = getVideoSize();
    if (size.width == 0 || size.height == 0) return false;
    const std::string target = vlcHostPath(folder);
    return libvlc_video_take_snapshot(player, 0, target.c_str(), static_cast<unsigned>(size.width),
                                      static_cast<unsigned>(size.height)) == 0;
}

void VlcPlayer::getTitles(TrackList& list) {
    if (!player) return;
    libvlc_track_description_t* titles = libvlc_video_get_title_description(player);
    if (!titles) return;
    for (libvlc_track_description_t* t = titles; t; t = t->p_next) {
        TrackInfo entry(t->i_id, textOrEmpty(t->psz_name));
        libvlc_track_description_t* chapters =
            libvlc_video_get_chapter_description(player, t->i_id);
        for (libvlc_track_description_t* c = chapters; c; c = c->p_next) {
            // A title without chapters keeps a null list.
            if (!entry.chapters) entry.chapters = std::make_unique<TrackList>();
            entry.chapters->add(c->i_id, textOrEmpty(c->psz_name));
        }
        if (chapters) libvlc_track_description_list_release(chapters);
        list.items.push_back(std::move(entry));
    }
    libvlc_track_description_list_release(titles);
}

int VlcPlayer::getTitle() {
    return player ? libvlc_media_player_get_title(player) : -1;
}

int VlcPlayer::getChapter() {
    return player ? libvlc_media_player_get_chapter(player) : -1;
}

void VlcPlayer::setTitleChapter(int title, int chapter) {
    if (!player) return;
    libvlc_media_player_set_title(player, title);
    if (chapter != -1) libvlc_media_player_set_chapter(player, chapter);
}

int VlcPlayer::getVideoTracks(TrackList& list) {
    return player ? appendDescriptions(libvlc_video_get_track_description(player), list) : 0;
}

int VlcPlayer::getVideoTrack() {
    if (!player || libvlc_video_get_track_count(player) <= 0) return -1;
    return libvlc_video_get_track(player);
}

void VlcPlayer::setVideoTrack(int id) {
    if (player) libvlc_video_set_track(player, id);
}

int VlcPlayer::getSubtitles(TrackList& list) {
    const int count =
        player ? appendDescriptions(libvlc_video_get_spu_description(player), list) : 0;
    // The subtitle menu turns this last entry into the command that picks a subtitle file.
    list.add(0, "Open file...");
    return count;
}

int VlcPlayer::getSubtitle() {
    if (!player || libvlc_video_get_spu_count(player) <= 0) return -1;
    return libvlc_video_get_spu(player);
}

void VlcPlayer::setSubtitle(int id) {
    if (player) libvlc_video_set_spu(player, id);
}

void VlcPlayer::setSubtitleFile(const WString& path) {
    if (player) libvlc_video_set_subtitle_file(player, vlcHostPath(path).c_str());
}

int VlcPlayer::getAudioDevices(AudioDeviceList& list) {
    if (!player || !instance) return 0;
    libvlc_audio_output_t* outputs = libvlc_audio_output_list_get(instance);
    if (!outputs) return 0;
    int count = 0;
    // The devices are asked of the instance by module name. The player's own output is left
    // alone: selecting every module in turn would leave it on the last one of the list, which
    // is a silent or file-writing module ("afile", "adummy") on common libVLC builds.
    for (libvlc_audio_output_t* out = outputs; out; out = out->p_next) {
        if (!out->psz_name) continue;
        libvlc_audio_output_device_t* devices =
            libvlc_audio_output_device_list_get(instance, out->psz_name);
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
