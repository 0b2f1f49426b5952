// The engine interface the rest of the program plays through. One implementation exists,
// VlcPlayer; PlayLogic owns the only instance and deletes it through the virtual destructor.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/WString.h"

struct TrackList;

// One entry of a track, title or chapter list. Names are as libVLC hands them out (UTF-8).
struct TrackInfo {
    int id = -1;
    std::string name;
    // Titles only: the title's chapters; null for every other entry and for a title without
    // chapters. Owned by the entry.
    std::unique_ptr<TrackList> chapters;
    // Titles only: a disc's menu or another title with nothing to watch (a Blu-ray's
    // "First Play"), which stepping between titles passes over.
    bool menu = false;
    // Titles only: the length the engine reports in milliseconds; 0 when unknown (a Blu-ray's
    // titles in menu mode until they play).
    long long lengthMs = 0;
    // Chapters only: where the chapter begins in its title, in ms; -1 when not known.
    long long startMs = -1;

    TrackInfo() = default;
    TrackInfo(int i, std::string n) : id(i), name(std::move(n)) {}
    TrackInfo(TrackInfo&&) = default;
    TrackInfo& operator=(TrackInfo&&) = default;
};

struct TrackList {
    std::vector<TrackInfo> items;

    int count() const { return static_cast<int>(items.size()); }
    bool empty() const { return items.empty(); }
    void clear() { items.clear(); }
    void add(int id, std::string name) { items.emplace_back(id, std::move(name)); }
    TrackInfo& operator[](int i) { return items[static_cast<size_t>(i)]; }
    const TrackInfo& operator[](int i) const { return items[static_cast<size_t>(i)]; }
    // The position of the entry with the id; -1 when no entry has it.
    int indexOf(int id) const {
        for (int i = 0; i < count(); ++i)
            if (items[static_cast<size_t>(i)].id == id) return i;
        return -1;
    }
};

struct AudioDeviceInfo {
    std::string outputName;
    std::string outputDescription;
    std::string deviceId;
    std::string deviceDescription;
};

struct AudioDeviceList {
    std::vector<AudioDeviceInfo> items;
    int count() const { return static_cast<int>(items.size()); }
    void clear() { items.clear(); }
};

struct VideoSize {
    int width = 0;
    int height = 0;
};

enum class DiscKind { None = 0, Dvd = 1, BluRay = 2, VideoCd = 3 };

// libVLC media-player state numbers as getState reports them.
enum class PlayerState {
    Nothing = 0,
    Opening = 1,
    Buffering = 2,
    Playing = 3,
    Paused = 4,
    Stopped = 5,
    Ended = 6,
    Error = 7,
};

// Playing or paused: media is open and shows a position.
inline bool isActive(PlayerState state) {
    return state == PlayerState::Playing || state == PlayerState::Paused;
}

// libVLC media-player event types the program reacts to.
enum class PlayerEvent {
    Playing = 260,
    Paused = 261,
    Stopped = 262,
    EndReached = 265,
    EncounteredError = 266,
    TimeChanged = 267,
    // Not libVLC's: one of its dialogs left a report for takeReport.
    Dialog = 0x1000,
};

// What libVLC's dialogs tell while a source opens or plays.
struct EngineReport {
    enum class Kind {
        Problem,     // text: why the source cannot play, or plays without something, in plain words
        BusyStarted, // libVLC works on something long (its progress dialog); the wait cursor shows
        BusyEnded,
    };
    Kind kind = Kind::Problem;
    std::string text; // UTF-8
};

// The menus a disc offers besides its titles: a DVD's title or root menu or a Blu-ray's top
// menu, and a Blu-ray's pop-up menu over the film.
enum class DiscMenuKind { Top, Popup };

// Moves on a disc menu, as libVLC numbers them.
enum class MenuAction { Activate = 0, Up = 1, Down = 2, Left = 3, Right = 4 };

// The operations in their fixed declaration order.
class MediaPlayer {
public:
    virtual ~MediaPlayer() = default;
    virtual int getPlayerType() { return 0; }
    virtual bool init(HWND owner) = 0;
    // Engine events arrive at this window as posted messages (wParam = the PlayerEvent); null:
    // none arrive. Before play.
    virtual void setEventWindow(HWND, UINT) {}
    // The window has handled a TimeChanged; the engine may post the next one.
    virtual void eventHandled(PlayerEvent) {}
    virtual void release() = 0;
    virtual bool open(const WString& path, DiscKind discKind) = 0;
    // What kept the last open from succeeding, as a user can read it; empty when not known.
    virtual WString openProblem() const { return WString(); }
    // The oldest dialog report waiting (after a PlayerEvent::Dialog); false when none waits.
    virtual bool takeReport(EngineReport&) { return false; }
    virtual bool play() = 0;
    virtual bool isPlaying() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
    virtual long long getTime() = 0;
    virtual long long getLength() = 0;
    virtual void setTime(long long ms) = 0;
    virtual int getVolume() = 0;
    virtual bool setVolume(int volume) = 0;
    virtual PlayerState getState() = 0;
    virtual void setHwnd(HWND window) = 0;
    virtual bool isMute() = 0;
    virtual void toggleMute() = 0;
    virtual bool hasVideo() { return true; }
    // Pictures the engine has shown so far; -1 when it does not count them.
    virtual int picturesShown() { return -1; }
    virtual VideoSize getVideoSize() = 0;
    virtual bool setAspectRatio(const std::string&) { return false; }
    virtual std::string getAspectRatio() { return std::string(); }
    virtual void setScale(float) {}
    virtual int getAudioTracks(TrackList&) { return 0; }
    virtual int getAudioTrack() { return -1; }
    virtual void setAudioTrack(int) {}
    virtual void setAudioChannel(int) {}
    virtual int getAudioChannel() { return -1; }
    virtual void setAudioDeviceType(int) {}
    virtual bool takeSnapshot(const WString&) { return false; }
    virtual void getTitles(TrackList&) {}
    virtual int getTitle() { return -1; }
    virtual int getChapter() { return -1; }
    virtual void setTitleChapter(int, int) {}
    virtual int getVideoTracks(TrackList&) { return 0; }
    virtual int getVideoTrack() { return -1; }
    virtual void setVideoTrack(int) {}
    virtual int getSubtitles(TrackList&) { return 0; }
    virtual int getSubtitle() { return -1; }
    virtual void setSubtitle(int) {}
    virtual void setSubtitleFile(const WString&) {}
    virtual int getAudioDevices(AudioDeviceList&) { return 0; }
    // Disc menus: whether the current title is a menu, a move between its buttons, and the
    // pointer at a point of the video window (x, y in its client coordinates).
    virtual bool isMenuShown() { return false; }
    virtual void navigate(MenuAction) {}
    virtual bool menuPointer(int, int, bool) { return false; }
    // Asks the disc for one of its menus; false when the request could not be passed on.
    virtual bool showDiscMenu(DiscMenuKind) { return false; }
    // The media ended; true when the engine went on with the next part of the same disc
    // itself (a Video CD image is played track by track).
    virtual bool continueDisc() { return false; }
    // A short text (UTF-8) over the picture for ms milliseconds.
    virtual void showNotice(const std::string&, int) {}
    // Draws the newest picture into the video surface during its WM_PAINT, where the program
    // draws the frames itself; false when there is nothing to show (the surface is then
    // painted black).
    virtual bool paintVideo(HWND, HDC) { return false; }
};
