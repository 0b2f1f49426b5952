// Resuming a source where the viewer left it: the kept position is reached once the source
// plays (a disc first leaves its menu for the title), and the position seen last is kept when
// the source goes.
#pragma once

#include <windows.h>

#include "engine/MediaPlayer.h"
#include "playback/ResumeStore.h"
#include "platform/WString.h"

class ResumeFollower {
public:
    // Where positions are kept; null: none are kept or resumed.
    void setStore(ResumeStore* store) { store_ = store; }

    // A new source under key in the store; with resume, its kept position is to be reached.
    void start(const WString& key, bool resume);
    // The kept position is no longer wanted (the viewer started over).
    void cancel() { pending_ = false; }
    // With the engine of a source that plays or is paused (disc: it is a disc, titles: its
    // titles): asks a disc for the kept title and true, with the point, once the position is to
    // be sought now.
    bool follow(MediaPlayer& engine, bool disc, const TrackList& titles, ResumePoint* point);
    // Notes where the source is, outside disc menus.
    void note(MediaPlayer& engine, bool disc, const TrackList& titles);
    // Notes the audio and subtitle tracks on now, kept with the position.
    void noteTracks(const TrackChoice& audio, const TrackChoice& subtitle);
    // The source goes: its last position is kept (engine: null when it shows no position).
    void leave(MediaPlayer* engine, bool disc, const TrackList& titles);

private:
    ResumeStore* store_ = nullptr;
    // The current source's name in the store; empty when it is not kept.
    WString key_;
    // The position being resumed, until when it is waited for, and when its title was asked.
    bool pending_ = false;
    bool titleAsked_ = false;
    ULONGLONG deadline_ = 0;
    ULONGLONG askedAt_ = 0;
    ResumePoint target_;
    // The last position of the source outside a disc menu.
    bool seen_ = false;
    ResumePoint last_;
    TrackChoice audio_;
    TrackChoice subtitle_;
};
