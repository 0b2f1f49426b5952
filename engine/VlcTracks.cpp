// The engine's lists and choices: audio, video and subtitle tracks, titles and chapters, audio
// devices and disc menus.
#include "engine/VlcPlayer.h"

#include <string>

#include "platform/DiscPointer.h"
#include "platform/VlcPaths.h"

// Titles, chapters, the extra subtitle file and the device type are reached through the
// libVLC 2 calls, which libVLC 3 still provides (marked deprecated there).
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace {

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
        for (size_t i = 0; i < videoCd->layout.entries.size(); ++i) {
            title.chapters->add(static_cast<int>(i), "Chapter " + std::to_string(i + 1));
            title.chapters->items.back().startMs = videoCd->layout.entryMs(static_cast<int>(i));
        }
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
    // A Blu-ray's titles come unnamed; in menu mode the list starts with the disc's top menu,
    // so that title n of the disc is entry n.
    const int firstNumber = detailCount > 0 && details[0] &&
                                    (details[0]->i_flags & libvlc_title_menu) ? 0 : 1;
    for (libvlc_track_description_t* t = titles; t; t = t->p_next, ++index) {
        std::string name = textOrEmpty(t->psz_name);
        if (name.empty()) name = "Title " + std::to_string(index + firstNumber);
        TrackInfo entry(t->i_id, name);
        if (index < detailCount && details[index]) {
            entry.menu = (details[index]->i_flags & libvlc_title_menu) ||
                         (durations && details[index]->i_duration <= 0);
            entry.lengthMs = details[index]->i_duration;
        }
        libvlc_track_description_t* chapters =
            libvlc_video_get_chapter_description(player.get(), t->i_id);
        // Where each chapter begins, in the same order as the named list.
        libvlc_chapter_description_t** starts = nullptr;
        const int startCount =
            libvlc_media_player_get_full_chapter_descriptions(player.get(), t->i_id, &starts);
        for (libvlc_track_description_t* c = chapters; c; c = c->p_next) {
            // A title without chapters keeps a null list.
            if (!entry.chapters) entry.chapters = std::make_unique<TrackList>();
            entry.chapters->add(c->i_id, textOrEmpty(c->psz_name));
            const int k = entry.chapters->count() - 1;
            if (k < startCount && starts[k])
                (*entry.chapters)[k].startMs = starts[k]->i_time_offset;
        }
        if (chapters) libvlc_track_description_list_release(chapters);
        if (startCount > 0)
            libvlc_chapter_descriptions_release(starts, static_cast<unsigned>(startCount));
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
    // Setting a title starts it over (a Blu-ray in menu mode re-runs the title's movie object),
    // so a chapter of the title that plays is reached without setting the title again.
    if (chapter == -1 || libvlc_media_player_get_title(player.get()) != title)
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

bool VlcPlayer::showDiscMenu(DiscMenuKind kind) {
    if (!player || videoCd) return false;
    if (sendDiscMenuCall(player.get(), kind == DiscMenuKind::Popup)) return true;
    if (kind == DiscMenuKind::Popup) {
        libvlc_media_player_navigate(player.get(), libvlc_navigate_popup);
        return true;
    }
    // The public route: the title libVLC marks as the menu (a DVD's root menu).
    libvlc_title_description_t** titles = nullptr;
    const int count = libvlc_media_player_get_full_title_descriptions(player.get(), &titles);
    int menu = -1;
    for (int i = 0; i < count && menu < 0; ++i)
        if (titles[i] && (titles[i]->i_flags & libvlc_title_menu)) menu = i;
    if (count > 0) libvlc_title_descriptions_release(titles, static_cast<unsigned>(count));
    if (menu < 0) return false;
    libvlc_media_player_set_title(player.get(), menu);
    return true;
}
