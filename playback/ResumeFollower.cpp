#include "playback/ResumeFollower.h"

namespace {

// A kept position not reached this long after the open is given up: the source plays on.
constexpr ULONGLONG kResumeDeadlineMs = 20000;
// A disc that has not shown the asked title after this long is asked again (its first play may
// still have been running).
constexpr ULONGLONG kResumeAskAgainMs = 2000;

} // namespace

void ResumeFollower::start(const WString& key, bool resume) {
    key_ = key;
    seen_ = false;
    audio_ = subtitle_ = TrackChoice{};
    titleAsked_ = false;
    deadline_ = GetTickCount64() + kResumeDeadlineMs;
    pending_ = resume && store_ && store_->find(key_, &target_);
}

bool ResumeFollower::follow(MediaPlayer& engine, bool disc, const TrackList& titles,
                            ResumePoint* point) {
    if (!pending_) return false;
    const ULONGLONG now = GetTickCount64();
    if (now > deadline_) {
        OutputDebugStringW(L"PlayLogic: the kept position was not reached; playing on\n");
        pending_ = false;
        return false;
    }
    if (disc) {
        if (titles.empty()) return false;
        const int k = titles.indexOf(target_.title);
        if (k < 0 || titles[k].menu) {
            // Another disc under the same name.
            pending_ = false;
            return false;
        }
        if (engine.getTitle() != target_.title) {
            if (!titleAsked_ || now > askedAt_ + kResumeAskAgainMs) {
                engine.setTitleChapter(target_.title, target_.chapter);
                titleAsked_ = true;
                askedAt_ = now;
            }
            return false;
        }
        if (engine.getTime() <= 0) return false;
    }
    // Until the length covers the position, it is still the menu's or the opening's.
    if (engine.getLength() <= target_.time) return false;
    pending_ = false;
    *point = target_;
    return true;
}

void ResumeFollower::note(MediaPlayer& engine, bool disc, const TrackList& titles) {
    if (!store_ || pending_) return;
    const long long time = engine.getTime();
    const long long length = engine.getLength();
    if (time <= 0 || length <= 0) return;
    ResumePoint here;
    if (disc) {
        // A menu is no place to return to, nor a title not listed yet.
        const int k = titles.indexOf(engine.getTitle());
        if (k < 0 || titles[k].menu) return;
        here.title = titles[k].id;
        here.chapter = engine.getChapter();
    }
    here.time = time;
    here.length = length;
    last_ = here;
    seen_ = true;
}

void ResumeFollower::noteTracks(const TrackChoice& audio, const TrackChoice& subtitle) {
    if (!store_ || pending_) return;
    audio_ = audio;
    subtitle_ = subtitle;
}

void ResumeFollower::leave(MediaPlayer* engine, bool disc, const TrackList& titles) {
    if (!store_ || key_.empty()) return;
    if (engine) note(*engine, disc, titles);
    // Left before the kept position was reached: that one stays.
    if (!pending_ && seen_) {
        last_.audio = audio_;
        last_.subtitle = subtitle_;
        store_->remember(key_, last_);
    }
    key_.clear();
    pending_ = false;
    seen_ = false;
}
