// The controller's lists for the menus (audio tracks, titles and their chapters, video tracks,
// subtitles), the current title and chapter, the aspect ratio and the disc menus.
#include "playback/PlayLogic.h"

#include <algorithm>
#include <numeric>
#include "playback/DiscDetect.h"

namespace {

// What the engine offers for each list, in the order of TrackListKind; titles and chapters are
// filled and chosen together, through getTitles and setTitleChapter.
struct ListRow {
    int (MediaPlayer::*fill)(TrackList&);
    int (MediaPlayer::*current)();
    void (MediaPlayer::*select)(int id);
};

const ListRow kListRows[kTrackListKinds] = {
    {&MediaPlayer::getAudioTracks, &MediaPlayer::getAudioTrack, &MediaPlayer::setAudioTrack},
    {nullptr, &MediaPlayer::getTitle, nullptr},
    {nullptr, &MediaPlayer::getChapter, nullptr},
    {&MediaPlayer::getVideoTracks, &MediaPlayer::getVideoTrack, &MediaPlayer::setVideoTrack},
    {&MediaPlayer::getSubtitles, &MediaPlayer::getSubtitle, &MediaPlayer::setSubtitle},
};

const ListRow& rowOf(TrackListKind kind) {
    return kListRows[static_cast<int>(kind)];
}

bool sameEntries(const TrackList* a, const TrackList* b) {
    if (!a || !b) return !a == !b;
    if (a->count() != b->count()) return false;
    for (int i = 0; i < a->count(); ++i) {
        const TrackInfo &x = (*a)[i], &y = (*b)[i];
        if (x.id != y.id || x.name != y.name || !sameEntries(x.chapters.get(), y.chapters.get()))
            return false;
    }
    return true;
}

} // namespace

void keepLongestTitles(TrackList& titles, int capacity) {
    if (titles.count() <= capacity) return;
    std::vector<size_t> order(titles.items.size());
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [&titles](size_t a, size_t b) {
        return titles.items[a].lengthMs > titles.items[b].lengthMs;
    });
    order.resize(static_cast<size_t>(capacity));
    std::sort(order.begin(), order.end());
    std::vector<TrackInfo> kept;
    for (size_t i : order)
        kept.push_back(std::move(titles.items[i]));
    titles.items = std::move(kept);
}

void PlayLogic::listChanged(TrackListKind kind) {
    if (listener_) listener_->listChanged(kind);
}

void PlayLogic::updateTrackLists() {
    if (!player_) return;
    if (listener_) {
        HWND surface = listener_->videoSurface();
        if (surface && !IsWindowVisible(surface)) listener_->showVideo(player_->hasVideo());
    }
    // Tracks keep arriving after playback starts (a disc's second language shows once its
    // stream is met), so the lists are compared with the engine's on every update.
    refreshList(TrackListKind::AudioTracks);
    if (!player_->hasVideo()) return;
    if (titles().empty()) {
        trackedTitle_ = -1;
        trackedChapter_ = -1;
        refreshTitles();
    }
    refreshList(TrackListKind::VideoTracks);
    refreshList(TrackListKind::Subtitles);
}

void PlayLogic::refreshList(TrackListKind kind) {
    TrackList fresh;
    (player_.get()->*rowOf(kind).fill)(fresh);
    TrackList& held = list(kind);
    bool same = fresh.count() == held.count();
    for (int i = 0; same && i < held.count(); ++i)
        same = fresh[i].id == held[i].id && fresh[i].name == held[i].name;
    if (same) return;
    held = std::move(fresh);
    listChanged(kind);
}

void PlayLogic::refreshAudioDevices() {
    audioDevices_.clear();
    if (player_) player_->getAudioDevices(audioDevices_);
}

void PlayLogic::refreshTitles() {
    TrackList fresh;
    player_->getTitles(fresh);
    keepLongestTitles(fresh, kListCapacity);
    if (sameEntries(&fresh, &titles())) return;
    // The first list's chapters are shown once a title is tracked.
    const bool replaced = !titles().empty();
    list(TrackListKind::Titles) = std::move(fresh);
    listChanged(TrackListKind::Titles);
    if (replaced) listChanged(TrackListKind::Chapters);
}

void PlayLogic::trackTitleAndChapter() {
    if (!player_ || titles().empty()) return;
    int title = player_->getTitle();
    int chapter = player_->getChapter();
    if (title == trackedTitle_ && chapter == trackedChapter_) return;
    // A Blu-ray title's chapters are known once its playlist starts: after a first play or a
    // menu, the title met later brings its chapters only now.
    refreshTitles();
    if (title != trackedTitle_) {
        // Each title has its own video and subtitle tracks.
        listChanged(TrackListKind::Chapters);
        for (TrackListKind kind : {TrackListKind::VideoTracks, TrackListKind::Subtitles}) {
            list(kind).clear();
            (player_.get()->*rowOf(kind).fill)(list(kind));
            listChanged(kind);
        }
    }
    trackedTitle_ = title;
    trackedChapter_ = chapter;
    if (listener_) listener_->positionChanged();
}

bool PlayLogic::applyAspectRatio(const char* text) {
    if (!player_) return false;
    // Without a choice the picture keeps its own shape: its stored size times its sample aspect
    // ratio. A ratio picked from the frame size alone squeezes every anamorphic disc.
    aspectRatio_ = text ? text : "";
    return player_->setAspectRatio(aspectRatio_);
}

int PlayLogic::currentTitleIndex() {
    return player_ ? titles().indexOf(player_->getTitle()) : -1;
}

const TrackList* PlayLogic::trackList(TrackListKind kind) {
    if (kind != TrackListKind::Chapters) return &list(kind);
    const int k = currentTitleIndex();
    return k >= 0 ? titles()[k].chapters.get() : nullptr;
}

int PlayLogic::currentIndex(TrackListKind kind) {
    const TrackList* shown = player_ ? trackList(kind) : nullptr;
    return shown ? shown->indexOf((player_.get()->*rowOf(kind).current)()) : -1;
}

ListChoice PlayLogic::selectItem(TrackListKind kind, int index) {
    const TrackList* shown = player_ ? trackList(kind) : nullptr;
    if (!shown || index < 0 || index >= shown->count()) return ListChoice::Done;
    const int id = (*shown)[index].id;
    switch (kind) {
    case TrackListKind::Titles:
        player_->setTitleChapter(id, -1);
        // The new title has its own audio tracks; they are read again once it plays.
        list(TrackListKind::AudioTracks).clear();
        listChanged(TrackListKind::AudioTracks);
        break;
    case TrackListKind::Chapters:
        player_->setTitleChapter(player_->getTitle(), id);
        break;
    default:
        // The subtitle list ends with the entry that loads a file instead.
        if (kind == TrackListKind::Subtitles && index == shown->count() - 1)
            return ListChoice::ChooseSubtitleFile;
        (player_.get()->*rowOf(kind).select)(id);
        break;
    }
    return ListChoice::Done;
}

void PlayLogic::addSubtitleFile(const WString& path) {
    // The file dialog ran a message loop: the engine may be gone by now.
    if (!path.empty() && player_) player_->setSubtitleFile(path);
}

WString PlayLogic::currentTitleName() {
    if (!player_) {
        cachedTitleName_.clear();
        return cachedTitleName_;
    }
    // Looked up every time: a new disc numbers its titles as the last did, and its names
    // carry other lengths. The last name found stays while the list is being refilled.
    int title = player_->getTitle();
    int k = titles().indexOf(title);
    if (k >= 0) {
        cachedTitleName_ = fromUtf8(titles()[k].name);
    }
    return cachedTitleName_;
}

bool PlayLogic::onDiscMenu() {
    return discKind_ != DiscKind::None && isActive(state()) && player_->isMenuShown();
}

bool PlayLogic::navigateMenu(MenuAction action) {
    if (!onDiscMenu()) return false;
    player_->navigate(action);
    return true;
}

bool PlayLogic::menuPointer(int x, int y, bool click) {
    return onDiscMenu() && player_->menuPointer(x, y, click);
}

bool PlayLogic::hasDiscMenu(DiscMenuKind kind) {
    return isActive(state()) && (kind == DiscMenuKind::Top ? topMenu_ : popupMenu_);
}

bool PlayLogic::showDiscMenu(DiscMenuKind kind) {
    if (!hasDiscMenu(kind)) return false;
    // The viewer chose where to be: a position still to be resumed is no longer wanted.
    resume_.cancel();
    return player_->showDiscMenu(kind);
}

int chapterStepTarget(const TrackList& chapters, int current, long long timeMs, int direction) {
    if (current < 0 || current >= chapters.count()) return -1;
    if (direction > 0) return current + 1 < chapters.count() ? current + 1 : -1;
    const long long start = chapters[current].startMs;
    if (start >= 0 && timeMs - start > kChapterRestartMs) return current;
    return current > 0 ? current - 1 : current;
}

bool PlayLogic::canStepChapter() {
    if (!isActive(state()) || onDiscMenu()) return false;
    const TrackList* chapters = trackList(TrackListKind::Chapters);
    return chapters && chapters->count() > 1;
}

void PlayLogic::stepChapter(int direction) {
    if (!canStepChapter()) return;
    const TrackList& chapters = *trackList(TrackListKind::Chapters);
    const int target = chapterStepTarget(chapters, chapters.indexOf(player_->getChapter()),
                                         player_->getTime(), direction);
    if (target < 0) return;
    resume_.cancel();
    player_->setTitleChapter(player_->getTitle(), chapters[target].id);
}

void PlayLogic::setAudioChannel(int channel) {
    if (player_) player_->setAudioChannel(channel);
}

int PlayLogic::getAudioChannel() {
    return player_ ? player_->getAudioChannel() : -1;
}

bool PlayLogic::takeSnapshot(const WString& folder) {
    return player_ ? player_->takeSnapshot(folder) : false;
}

void PlayLogic::clearTrackLists() {
    for (TrackListKind kind : {TrackListKind::AudioTracks, TrackListKind::Titles,
                               TrackListKind::VideoTracks, TrackListKind::Subtitles}) {
        list(kind).clear();
        if (kind == TrackListKind::Titles) {
            trackedTitle_ = -1;
            trackedChapter_ = -1;
            cachedTitleName_.clear();
        }
        listChanged(kind);
    }
}
