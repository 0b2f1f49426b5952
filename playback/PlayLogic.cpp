#include "playback/PlayLogic.h"

#include <vlc/vlc.h>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "app/MainFrame.h"
#include "engine/TrackMenus.h"
#include "engine/VlcPlayer.h"
#include "resources/resource.h"
#include "ui/PlayBar.h"
#include "ui/PlayWnd.h"

PlayLogic::LoadFailureHandler PlayLogic::loadFailureHandler = nullptr;
PlayLogic::EngineFactory PlayLogic::engineFactory = nullptr;

namespace {

// pause and stop wait for the engine in 100 ms steps, but never longer than this many steps:
// an engine that keeps reporting "playing" must not freeze the window.
constexpr int kMaxStatePolls = 20;
constexpr int kPollMs = 100;

// Events waiting for the relay thread. TimeChanged arrives many times a second; a run of them
// carries nothing the last one does not, and the cap keeps a stalled window from growing it.
constexpr size_t kMaxQueuedEvents = 8192;

struct ExtensionRow {
    EngineKind kind;
    const wchar_t* extension;
};

const ExtensionRow kExtensionTable[] = {{2, L"swf"}, {2, L"fla"}, {-1, nullptr}};

struct AspectRow {
    const char* text;
    float value;
};

const AspectRow kAspectTable[] = {
    {"1:1", 1.0f},     {"4:3", 1.3333f},  {"16:9", 1.77778f}, {"16:10", 1.6f},
    {"2.21:1", 2.21f}, {"2.35:1", 2.35f}, {"2.39:1", 2.39f},  {"5:4", 1.25f},
};

PlayBar* bar() {
    return gMainFrame.playBar;
}

HWND videoSurface() {
    PlayWnd* wnd = gMainFrame.playWnd;
    return wnd && wnd->videoSurface && IsWindow(wnd->videoSurface) ? wnd->videoSurface : nullptr;
}

void refreshMainMenu() {
    if (gMainFrame.mainWindow) refreshMenu(nullptr);
}

void updateBarButtons() {
    if (PlayBar* b = bar()) b->updateButtons();
}

int indexOfId(const TrackList& list, int id) {
    for (int i = 0; i < list.count(); ++i)
        if (list[i].id == id) return i;
    return -1;
}

// Hooks the libVLC engine's events to handleProc. Test engines are not VlcPlayers and deliver
// their events through queuePlayerEvent instead.
void attachEngineEvents(MediaPlayer* engine) {
    auto* vlc = dynamic_cast<VlcPlayer*>(engine);
    if (!vlc) return;
    vlc->eventCallback = &PlayLogic::handleProc;
    if (vlc->hasEventManager() && !vlc->attachEvents())
        OutputDebugStringW(L"PlayLogic: the engine's events could not be attached\n");
}

} // namespace

// Carries engine events from libVLC's threads to the GUI thread. push only touches a std::mutex
// and a condition variable (safe on threads Wine does not know); the relay thread is a Win32
// thread and posts WM_MAINFRAME_PLAYER_EVENT. Nothing here waits for the GUI thread, so a stop
// on the GUI thread while libVLC delivers events cannot deadlock.
class PlayerEventRelay {
public:
    explicit PlayerEventRelay(HWND window) : target(window) {}
    PlayerEventRelay(const PlayerEventRelay&) = delete;
    PlayerEventRelay& operator=(const PlayerEventRelay&) = delete;

    ~PlayerEventRelay() {
        {
            std::lock_guard<std::mutex> hold(lock);
            quitting = true;
        }
        wake.notify_all();
        if (thread) {
            // The thread never blocks: it waits on the queue or posts (which does not wait), and
            // its retry loop watches quitting.
            WaitForSingleObject(thread, INFINITE);
            CloseHandle(thread);
        }
    }

    bool start() {
        thread = CreateThread(nullptr, 0, &PlayerEventRelay::threadProc, this, 0, nullptr);
        return thread != nullptr;
    }

    void push(int type) {
        {
            std::lock_guard<std::mutex> hold(lock);
            if (quitting) return;
            if (type == EventTimeChanged && !queue.empty() && queue.back() == EventTimeChanged)
                return;
            if (queue.size() >= kMaxQueuedEvents) return;
            queue.push_back(type);
        }
        wake.notify_one();
    }

    // Called by the GUI thread when it handles a TimeChanged: the next one may be posted.
    void timeEventHandled() { timePosted.store(false); }

    const HWND target;

private:
    static DWORD WINAPI threadProc(void* self) {
        static_cast<PlayerEventRelay*>(self)->run();
        return 0;
    }

    void run() {
        std::deque<int> batch;
        for (;;) {
            {
                std::unique_lock<std::mutex> hold(lock);
                wake.wait(hold, [this] { return quitting || !queue.empty(); });
                if (quitting) return;
                batch.swap(queue);
            }
            for (int type : batch)
                post(type);
            batch.clear();
        }
    }

    void post(int type) {
        // At most one TimeChanged waits in the window's queue; the handler reads the current
        // time anyway.
        if (type == EventTimeChanged && timePosted.exchange(true)) return;
        for (int attempt = 0; attempt < 200; ++attempt) {
            if (PostMessageW(target, WM_MAINFRAME_PLAYER_EVENT, static_cast<WPARAM>(type), 0))
                return;
            // A full message queue drains; a destroyed window never comes back.
            if (!IsWindow(target) || quittingNow()) break;
            Sleep(5);
        }
        if (type == EventTimeChanged) timePosted.store(false);
    }

    bool quittingNow() {
        std::lock_guard<std::mutex> hold(lock);
        return quitting;
    }

    std::mutex lock;
    std::condition_variable wake;
    std::deque<int> queue;
    bool quitting = false;
    std::atomic<bool> timePosted{false};
    HANDLE thread = nullptr;
};

namespace {
// The relay of the live controller. handleProc gets no user data from the engine, so it finds
// the relay here; the slot lock keeps a relay from being destroyed while an event is pushed.
std::mutex gRelaySlotLock;
PlayerEventRelay* gRelaySlot = nullptr;

void publishRelay(PlayerEventRelay* relay) {
    std::lock_guard<std::mutex> hold(gRelaySlotLock);
    gRelaySlot = relay;
}

void unpublishRelay(PlayerEventRelay* relay) {
    std::lock_guard<std::mutex> hold(gRelaySlotLock);
    if (gRelaySlot == relay) gRelaySlot = nullptr;
}
} // namespace

PlayLogic::PlayLogic() {
    startEventRelay();
}

PlayLogic::~PlayLogic() {
    releaseMediaPlayer();
    if (relay) {
        unpublishRelay(relay.get());
        relay.reset();
    }
}

void PlayLogic::startEventRelay() {
    HWND target = gMainFrame.mainWindow;
    if (relay && relay->target == target) {
        publishRelay(relay.get());
        return;
    }
    if (relay) {
        unpublishRelay(relay.get());
        relay.reset();
    }
    if (!target) return;
    auto fresh = std::make_unique<PlayerEventRelay>(target);
    if (!fresh->start()) {
        OutputDebugStringW(L"PlayLogic: the event relay thread could not be started\n");
        return;
    }
    relay = std::move(fresh);
    publishRelay(relay.get());
}

bool PlayLogic::isRelayedEvent(int eventType) {
    // Only the events onPlayerEvent has effects for reach the window; anything else (end
    // reached, a video output appearing, ...) would only wake the GUI thread for nothing.
    switch (eventType) {
    case EventPlaying:
    case EventPaused:
    case EventStopped:
    case EventTimeChanged:
        return true;
    default:
        return false;
    }
}

void PlayLogic::queuePlayerEvent(int eventType) {
    if (!isRelayedEvent(eventType)) return;
    std::lock_guard<std::mutex> hold(gRelaySlotLock);
    if (gRelaySlot) gRelaySlot->push(eventType);
}

void PlayLogic::handleProc(const struct libvlc_event_t* event, void*) {
    if (event) queuePlayerEvent(event->type);
}

void PlayLogic::onPlayerEvent(int eventType) {
    switch (eventType) {
    case EventPlaying:
        OutputDebugStringW(L"handleProc: libvlc_MediaPlayerPlaying\n");
        updateTrackLists();
        applyAudio();
        updateBarButtons();
        refreshMainMenu();
        break;
    case EventPaused:
        OutputDebugStringW(L"handleProc: libvlc_MediaPlayerPaused\n");
        updateBarButtons();
        refreshMainMenu();
        break;
    case EventStopped:
        OutputDebugStringW(L"handleProc: libvlc_MediaPlayerStopped\n");
        updateBarButtons();
        refreshMainMenu();
        break;
    case EventTimeChanged:
        if (relay) relay->timeEventHandled();
        if (player && player->getTime() > 0) hasPlayed = true;
        updateTrackLists();
        // Copies time and length from the engine (playing or paused), clamps them, redraws the
        // seek bar under paintLock and then the volume display.
        if (PlayBar* b = bar()) b->updateTime();
        break;
    default:
        break;
    }
}

EngineKind PlayLogic::engineKindForPath(const WString& path) {
    size_t dot = path.rfind(L'.');
    if (dot == WString::npos || dot + 1 >= path.size()) return 1;
    WString extension = asciiLower(path.substr(dot + 1));
    for (const ExtensionRow* row = kExtensionTable; row->kind != -1; ++row)
        if (extension == row->extension) return row->kind;
    return 1;
}

WString PlayLogic::fileNamePart(const WString& path) {
    size_t separator = path.find_last_of(L"\\/");
    if (separator == WString::npos || separator == 0) return WString();
    return path.substr(separator + 1);
}

bool PlayLogic::isFolder(const WString& path) const {
    if (path.empty()) return false;
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool PlayLogic::createMediaPlayer(EngineKind kind) {
    OutputDebugStringW(formatWide(L"PlayLogic::createMediaPlayer %d\n", kind).c_str());
    if (engineKind == kind && player) return true;
    releaseMediaPlayer();
    if (kind == 1) player.reset(engineFactory ? engineFactory(kind) : createVlcPlayer());
    if (player) {
        if (!player->init(gMainFrame.mainWindow)) {
            OutputDebugStringW(L"PlayLogic::createMediaPlayer: init failed\n");
            releaseMediaPlayer();
            return false;
        }
        player->setHwnd(gMainFrame.playWnd ? gMainFrame.playWnd->videoSurface : nullptr);
        if (kind == 1) {
            startEventRelay();
            attachEngineEvents(player.get());
        }
        refreshAudioDevices();
    }
    return player != nullptr;
}

void PlayLogic::releaseMediaPlayer() {
    if (player) {
        player->release();
        player.reset();
    }
    audioDevices.clear();
}

bool PlayLogic::open(const WString& path, DiscKind kind) {
    EngineKind engine = engineKindForPath(path);
    if (PlayWnd* wnd = gMainFrame.playWnd) {
        if (!wnd->open(engine, gMainFrame.instance)) return false;
    }
    if (!createMediaPlayer(engine) || !player) return false;
    if (!player->open(path, kind)) return false;
    currentPath = path;
    currentName = fileNamePart(path);
    engineKind = engine;
    discKind = kind;
    hasPlayed = false;
    reachedByStep = false;
    return true;
}

bool PlayLogic::play() {
    for (;;) {
        if (!player) {
            if (currentPath.empty()) break;
            // A copy: open assigns currentPath.
            WString path = currentPath;
            if (!open(path, discKind)) break;
            continue;
        }
        if (player->getState() == StatePlaying) return true;
        if (!player->play()) return false;
        if (HWND surface = videoSurface())
            ShowWindow(surface, player->hasVideo() ? SW_SHOW : SW_HIDE);
        applyAudio();
        return true;
    }
    stop();
    return false;
}

void PlayLogic::waitWhilePlaying() {
    HCURSOR previous = nullptr;
    bool waited = false;
    for (int poll = 0; poll < kMaxStatePolls && player && player->isPlaying(); ++poll) {
        if (!waited) {
            previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            waited = true;
        }
        Sleep(kPollMs);
    }
    if (waited) {
        if (player && player->isPlaying())
            OutputDebugStringW(
                L"PlayLogic: the engine still reports playing; not waiting longer\n");
        SetCursor(previous);
    }
}

void PlayLogic::pause() {
    if (!player || !player->isPlaying()) return;
    player->pause();
    waitWhilePlaying();
}

void PlayLogic::stop() {
    if (player) {
        player->stop();
        waitWhilePlaying();
    }
    if (PlayBar* b = bar()) {
        if (b->window && GetCapture() == b->window) ReleaseCapture();
        b->dragTarget = 0;
        b->length = 0;
        b->updateTime();
    }
    if (HWND surface = videoSurface()) ShowWindow(surface, SW_HIDE);
    releaseMediaPlayer();
    clearTrackLists();
}

void PlayLogic::closeAll() {
    releaseMediaPlayer();
    playList.clear();
    currentPath.clear();
    currentName.clear();
    engineKind = 0;
}

bool PlayLogic::canSkip() {
    if (isFolder(currentPath) && titles.count() > 1) return true;
    if (playList.count() < 2) return false;
    return playList.currentIndex() >= 0;
}

void PlayLogic::step(int direction) {
    if (!canSkip()) return;
    if (isFolder(currentPath))
        stepTitle(direction);
    else
        stepFile(direction);
}

void PlayLogic::stepTitle(int direction) {
    if (!player) return;
    int title = player->getTitle();
    int chapter = player->getChapter();
    if (chapter == -1) return;
    int k = indexOfId(titles, title);
    if (k < 0) return;
    k += direction;
    if (k < 0) k = titles.count() - 1;
    if (k >= titles.count()) k = 0;
    player->setTitleChapter(titles[k].id, 0);
}

void PlayLogic::stepFile(int direction) {
    // A step while the new item has not shown any time yet is ignored.
    if (player && player->getState() == StatePlaying && player->getTime() == 0) return;
    stop();
    int i = playList.currentIndex() + direction;
    while (playList.count() > 0) {
        if (i < 0) i = playList.count() - 1;
        if (i >= playList.count()) i = 0;
        WString path = playList.entryPath(i);
        EngineKind kind = engineKindForPath(path);
        PlayWnd* wnd = gMainFrame.playWnd;
        bool prepared = !wnd || wnd->open(kind, gMainFrame.instance);
        if (prepared && createMediaPlayer(kind) && player && player->open(path, 0)) {
            currentPath = path;
            currentName = fileNamePart(path);
            discKind = 0;
            engineKind = kind;
            hasPlayed = false;
            reachedByStep = true;
            playList.setCurrent(i);
            play();
            return;
        }
        playList.remove(i);
        if (direction < 0) --i;
    }
    // Nothing in the list opens: leave no half-opened engine behind.
    releaseMediaPlayer();
}

bool PlayLogic::seek(int direction) {
    if (!player) return false;
    int state = player->getState();
    if (state != StatePlaying && state != StatePaused) return false;
    long long time = player->getTime();
    if (time == 0) return false;
    long long length = player->getLength();
    long long step = static_cast<long long>(gMainFrame.preferences.seekStep) * 1000;
    if (step <= 0) step = 5000;
    // The 5000 ms guards stay fixed whatever the configured step.
    long long target;
    if (direction < 0)
        target = time <= 5000 ? 0 : time - step;
    else
        target = time + 5000 < length ? time + step : length;
    // A step longer than 5 s can overshoot either end; keep the target inside the media.
    if (target < 0) target = 0;
    if (length > 0 && target > length) target = length;
    player->setTime(target);
    return true;
}

void PlayLogic::setVolume(int value) {
    volume = value < 0 ? 0 : (value > 100 ? 100 : value);
    muted = false;
    if (player) {
        int state = player->getState();
        if (state == StatePlaying || state == StatePaused) applyAudio();
    }
    updateBarVolume();
}

void PlayLogic::stepVolume(int direction) {
    if (muted) volume = 0;
    int next = direction >= 1 ? volume + 10 : volume - 10;
    setVolume(next);
}

void PlayLogic::toggleMute() {
    muted = !muted;
    if (player) {
        int state = player->getState();
        if (state == StatePlaying || state == StatePaused) applyAudio();
    }
    updateBarVolume();
}

void PlayLogic::applyAudio() {
    if (!player) return;
    if (player->getPlayerType() == 1) {
        if (player->isMute() != muted) player->toggleMute();
        if (!muted && player->getVolume() != volume) player->setVolume(volume);
        return;
    }
    if (muted) {
        if (player->getVolume() != 0) player->setVolume(0);
        return;
    }
    if (player->getVolume() != volume) player->setVolume(volume);
}

void PlayLogic::updateBarVolume() {
    // The bar compares the effective volume with what it shows and redraws under paintLock.
    if (PlayBar* b = bar()) b->updateVolume();
}

bool PlayLogic::isPlaying() {
    return player && player->isPlaying();
}

void PlayLogic::timerProc() {
    if (player) {
        int state = player->getState();
        if (state == StatePlaying) {
            // libVLC also reports playing for data it then gives up on; only time shown
            // counts as played.
            if (player->getTime() > 0) hasPlayed = true;
            applyAudio();
            checkAutomaticAspect();
        } else if (state == StateError || (state == StateEnded && !hasPlayed)) {
            // libVLC starts playing asynchronously, so a file it cannot decode still opened
            // and "played"; it only shows here. Report it instead of sitting silently idle.
            OutputDebugStringW(L"Playlogic: timerProc: the media could not be played\n");
            stop();
            if (reachedByStep) {
                // Reached by a step or the automatic advance: dropped like an entry that does
                // not open, and the advance goes on.
                int current = playList.currentIndex();
                bool more = current >= 0 && current < playList.count() - 1;
                if (current >= 0) playList.remove(current);
                if (more) {
                    // The step starts after the current entry: the one before the dropped
                    // entry, or none when it was the first.
                    if (current > 0) playList.setCurrent(current - 1);
                    stepFile(+1);
                }
            } else if (loadFailureHandler) {
                loadFailureHandler();
            }
        } else if (state == StateEnded) {
            OutputDebugStringW(L"Playlogic: timerProc: Ended\n");
            stop();
            // The automatic advance never wraps: it stops after the last entry.
            if (canSkip() && playList.currentIndex() < playList.count() - 1) step(+1);
        }
    }
    trackTitleAndChapter();
}

// Track lists, titles and aspect ratio

void PlayLogic::updateTrackLists() {
    if (!player) return;
    if (HWND surface = videoSurface()) {
        if (!IsWindowVisible(surface)) gMainFrame.playWnd->showVideo(player->hasVideo());
    }
    if (audioTracks.empty()) {
        player->getAudioTracks(audioTracks);
        if (!audioTracks.empty()) buildAudioTrackMenu();
    }
    if (!player->hasVideo()) return;
    if (titles.empty()) {
        currentTitle = -1;
        currentChapter = -1;
        player->getTitles(titles);
        if (!titles.empty()) {
            buildTitleMenu();
            updateBarButtons();
        }
    }
    if (videoTracks.empty()) {
        player->getVideoTracks(videoTracks);
        if (!videoTracks.empty()) buildVideoTrackMenu();
    }
    if (subtitles.empty()) {
        player->getSubtitles(subtitles);
        if (!subtitles.empty()) buildSubtitleMenu();
    }
}

void PlayLogic::refreshAudioDevices() {
    audioDevices.clear();
    if (player) player->getAudioDevices(audioDevices);
}

void PlayLogic::trackTitleAndChapter() {
    if (!player || titles.empty()) return;
    int title = player->getTitle();
    int chapter = player->getChapter();
    if (title == currentTitle && chapter == currentChapter) return;
    if (title != currentTitle) {
        buildChapterMenu();
        videoTracks.clear();
        player->getVideoTracks(videoTracks);
        buildVideoTrackMenu();
        subtitles.clear();
        player->getSubtitles(subtitles);
        buildSubtitleMenu();
    }
    currentTitle = title;
    currentChapter = chapter;
    refreshMainMenu();
}

void PlayLogic::checkAutomaticAspect() {
    if (!player || !player->hasVideo()) return;
    if (player->getAspectRatio().empty()) applyAspectRatio("");
}

const char* PlayLogic::nearestAspect(int width, int height) {
    if (width <= 0 || height <= 0) return "";
    float ratio = static_cast<float>(width) / static_cast<float>(height);
    const AspectRow* best = &kAspectTable[0];
    float bestDifference = std::fabs(best->value - ratio);
    for (const AspectRow& row : kAspectTable) {
        float difference = std::fabs(row.value - ratio);
        // Strictly smaller: on equal difference the earlier row wins.
        if (difference < bestDifference) {
            best = &row;
            bestDifference = difference;
        }
    }
    return best->text;
}

bool PlayLogic::applyAspectRatio(const char* text) {
    if (!player) return false;
    if (text && *text) {
        aspectRatio = text;
        return player->setAspectRatio(text);
    }
    VideoSize size = player->getVideoSize();
    if (size.width > 0 && size.height > 0) {
        aspectRatio.clear();
        return player->setAspectRatio(nearestAspect(size.width, size.height));
    }
    return player->setAspectRatio(std::string());
}

void PlayLogic::selectChapter(int index) {
    if (!player) return;
    int title = player->getTitle();
    int k = indexOfId(titles, title);
    if (k < 0) return;
    const TrackList* chapters = titles[k].chapters.get();
    if (!chapters || index < 0 || index >= chapters->count()) return;
    player->setTitleChapter(title, (*chapters)[index].id);
}

void PlayLogic::selectSubtitle(int index) {
    if (!player || index < 0) return;
    int count = subtitles.count();
    if (index < count - 1) {
        player->setSubtitle(subtitles[index].id);
    } else if (index == count - 1) {
        WString path = chooseFileHook ? chooseFileHook() : chooseFile();
        // The dialog ran a message loop: the engine may be gone by now.
        if (!path.empty() && player) player->setSubtitleFile(path);
    }
}

int PlayLogic::currentAudioTrackIndex() {
    return player ? indexOfId(audioTracks, player->getAudioTrack()) : -1;
}

int PlayLogic::currentTitleIndex() {
    return player ? indexOfId(titles, player->getTitle()) : -1;
}

int PlayLogic::currentChapterIndex() {
    int k = currentTitleIndex();
    if (k < 0) return -1;
    const TrackList* chapters = titles[k].chapters.get();
    return chapters ? indexOfId(*chapters, player->getChapter()) : -1;
}

int PlayLogic::currentVideoTrackIndex() {
    return player ? indexOfId(videoTracks, player->getVideoTrack()) : -1;
}

int PlayLogic::currentSubtitleIndex() {
    return player ? indexOfId(subtitles, player->getSubtitle()) : -1;
}

WString PlayLogic::currentTitleName() {
    if (!player) {
        cachedTitleName.clear();
        cachedTitleId = -1;
        return cachedTitleName;
    }
    int title = player->getTitle();
    if (title != cachedTitleId) {
        int k = indexOfId(titles, title);
        if (k >= 0) {
            cachedTitleName = fromUtf8(titles[k].name);
            cachedTitleId = title;
        }
    }
    return cachedTitleName;
}

void PlayLogic::setAudioChannel(int channel) {
    if (player) player->setAudioChannel(channel);
}

int PlayLogic::getAudioChannel() {
    return player ? player->getAudioChannel() : -1;
}

bool PlayLogic::takeSnapshot(const WString& folder) {
    return player ? player->takeSnapshot(folder) : false;
}

void PlayLogic::clearTrackLists() {
    audioTracks.clear();
    buildAudioTrackMenu();
    titles.clear();
    currentTitle = -1;
    currentChapter = -1;
    buildTitleMenu();
    videoTracks.clear();
    buildVideoTrackMenu();
    subtitles.clear();
    buildSubtitleMenu();
}

PlayLogic* playLogic() {
    return gMainFrame.playLogic;
}
