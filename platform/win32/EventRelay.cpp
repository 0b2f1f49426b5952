#include "platform/EventRelay.h"

#include <atomic>

// On Windows any thread may post to a window, so push posts at once.
struct EventRelay::State {
    HWND target;
    UINT message;
    int coalesced;
    std::atomic<bool> coalescedPosted{false};
};

EventRelay::EventRelay(HWND target, UINT message, int coalesced)
    : state(new State{target, message, coalesced}) {}

EventRelay::~EventRelay() = default;

bool EventRelay::started() const {
    return true;
}

void EventRelay::push(int event) {
    if (event == state->coalesced && state->coalescedPosted.exchange(true)) return;
    if (!PostMessageW(state->target, state->message, static_cast<WPARAM>(event), 0) &&
        event == state->coalesced)
        state->coalescedPosted.store(false);
}

void EventRelay::handled(int event) {
    if (event == state->coalesced) state->coalescedPosted.store(false);
}
