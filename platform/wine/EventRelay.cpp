#include "platform/EventRelay.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "platform/Scoped.h"

namespace {
// Events waiting for the relay thread. A stalled window must not make the queue grow forever.
constexpr size_t kMaxQueued = 8192;
} // namespace

// push touches only a std::mutex and a condition variable, which is safe on threads Wine does
// not know; the relay thread is a Win32 thread and posts. Nothing here waits for the window's
// thread, so a stop on that thread while libVLC delivers events cannot deadlock.
struct EventRelay::State {
    HWND target;
    UINT message;
    int coalesced;
    std::mutex lock;
    std::condition_variable wake;
    std::deque<int> queue; // guarded by lock
    bool quitting = false; // guarded by lock
    std::atomic<bool> coalescedPosted{false};
    ScopedHandle thread;

    bool quittingNow() {
        std::lock_guard<std::mutex> hold(lock);
        return quitting;
    }

    void post(int event) {
        if (event == coalesced && coalescedPosted.exchange(true)) return;
        for (int attempt = 0; attempt < 200; ++attempt) {
            if (PostMessageW(target, message, static_cast<WPARAM>(event), 0)) return;
            // A full message queue drains; a destroyed window never comes back.
            if (!IsWindow(target) || quittingNow()) break;
            Sleep(5);
        }
        if (event == coalesced) coalescedPosted.store(false);
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
            for (int event : batch)
                post(event);
            batch.clear();
        }
    }

    static DWORD WINAPI threadProc(void* self) {
        static_cast<State*>(self)->run();
        return 0;
    }
};

EventRelay::EventRelay(HWND target, UINT message, int coalesced)
    : state(new State{target, message, coalesced}) {
    state->thread.reset(CreateThread(nullptr, 0, &State::threadProc, state.get(), 0, nullptr));
    if (!state->thread) OutputDebugStringW(L"EventRelay: the relay thread could not be started\n");
}

EventRelay::~EventRelay() {
    {
        std::lock_guard<std::mutex> hold(state->lock);
        state->quitting = true;
    }
    state->wake.notify_all();
    // The thread never blocks for long: it waits on the queue or posts, and its retry loop
    // watches quitting.
    if (state->thread) WaitForSingleObject(state->thread.get(), INFINITE);
}

bool EventRelay::started() const {
    return static_cast<bool>(state->thread);
}

void EventRelay::push(int event) {
    {
        std::lock_guard<std::mutex> hold(state->lock);
        if (state->quitting || !state->thread) return;
        // A run of the coalesced event carries nothing its last one does not.
        if (event == state->coalesced && !state->queue.empty() && state->queue.back() == event)
            return;
        if (state->queue.size() >= kMaxQueued) return;
        state->queue.push_back(event);
    }
    state->wake.notify_one();
}

void EventRelay::handled(int event) {
    if (event == state->coalesced) state->coalescedPosted.store(false);
}
