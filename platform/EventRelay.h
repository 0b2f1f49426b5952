// Carries event numbers from any thread to a window as posted messages (wParam = the number).
// libVLC reports on its own threads; under Wine those threads must not call Win32 at all, so
// there a relay thread of the program's own does the posting, while on Windows push posts
// directly.
#pragma once

#include <windows.h>

#include <memory>

class EventRelay {
public:
    // coalesced: an event of which at most one waits in the window's queue (the reaction reads
    // the current state anyway); handled() lets the next one through.
    EventRelay(HWND target, UINT message, int coalesced);
    ~EventRelay();
    EventRelay(const EventRelay&) = delete;
    EventRelay& operator=(const EventRelay&) = delete;

    // False when the relay could not start; push then drops everything.
    bool started() const;
    // Any thread. Never blocks on the window and never calls Win32 on the Wine build.
    void push(int event);
    // On the window's thread, after the coalesced event was handled.
    void handled(int event);

private:
    struct State;
    std::unique_ptr<State> state;
};
