#include "engine/VlcDialogs.h"

#include <deque>
#include <mutex>
#include <set>

namespace {

// What libVLC's disc modules say, and what that means to a viewer (empty: nothing worth
// telling). The first row whose words the text holds wins, so the narrower rows stand first.
struct PlainRow {
    const char* words;
    const char* plain;
};
constexpr PlainRow kPlainRows[] = {
    {"library for AACS decoding",
     "This Blu-ray disc is encrypted (AACS), and the library that decrypts such discs (libaacs) "
     "is not installed."},
    {"Missing AACS configuration file",
     "This Blu-ray disc is encrypted (AACS), and no keys for it are installed."},
    {"No valid processing key",
     "This Blu-ray disc is encrypted (AACS), and none of the installed keys opens it."},
    {"No valid host certificate",
     "This Blu-ray disc is encrypted (AACS), and the installed keys hold no valid host "
     "certificate."},
    {"certificate revoked",
     "This Blu-ray disc is encrypted (AACS), and it refuses the host certificate of the "
     "installed keys."},
    {"AACS MMC failed",
     "The drive did not complete the AACS handshake, so this encrypted Blu-ray disc cannot be "
     "read."},
    {"Blu-ray Disc is corrupted", "The encryption data (AACS) of this Blu-ray disc is damaged."},
    {"library for BD+ decoding",
     "This Blu-ray disc is protected with BD+, and the library for it (libbdplus) is not "
     "installed."},
    {"BD+ decoding library does not work",
     "This Blu-ray disc is protected with BD+, and the BD+ library has nothing to open it with."},
    {"Java was not found",
     "This Blu-ray disc has Java menus, but no Java runtime was found. The film plays without "
     "its menus."},
    {"requires Java for menus",
     "This Blu-ray disc has Java menus, which could not be started. The film plays without its "
     "menus."},
    {"Failed to start bluray playback", "The menus of this Blu-ray disc could not be started."},
    // libVLC's own word that an input failed says no more than the player's message does.
    {"Your input can't be opened", ""},
};

constexpr size_t kMaxWaiting = 64;

// Invariant: reports wait only while a relay is attached, and only for it.
struct DialogHub {
    std::mutex lock;
    EventRelay* relay = nullptr;
    std::deque<EngineReport> waiting;
    std::set<libvlc_dialog_id*> progress; // shown as the wait cursor until libVLC cancels them
};

DialogHub& hub() {
    static DialogHub shared;
    return shared;
}

std::string text(const char* s) {
    return s ? std::string(s) : std::string();
}

// Any thread; no Win32 on the way (the relay's push does none where that matters).
void report(EngineReport::Kind kind, std::string what) {
    DialogHub& h = hub();
    std::lock_guard<std::mutex> hold(h.lock);
    if (!h.relay || h.waiting.size() >= kMaxWaiting) return;
    h.waiting.push_back(EngineReport{kind, std::move(what)});
    h.relay->push(static_cast<int>(PlayerEvent::Dialog));
}

void onError(void*, const char* title, const char* message) {
    std::string plain = plainDialogText(text(title), text(message));
    if (!plain.empty()) report(EngineReport::Kind::Problem, std::move(plain));
}

// Nobody signs in for the viewer: the request is cancelled and the viewer told why.
void onLogin(void*, libvlc_dialog_id* id, const char* title, const char* message, const char*,
             bool) {
    libvlc_dialog_dismiss(id);
    report(EngineReport::Kind::Problem,
           plainDialogText(text(title), text(message)) +
               "\nThe source asks for a user name and password; Velloran does not sign in.");
}

// libVLC's cancel button is the answer that risks nothing: abort on an untrusted certificate,
// play without the Java menus it doubts. The thread that asked goes on at once.
void onQuestion(void*, libvlc_dialog_id* id, const char* title, const char* message,
                libvlc_dialog_question_type, const char* cancel, const char*, const char*) {
    libvlc_dialog_dismiss(id);
    std::string what = plainDialogText(text(title), text(message));
    if (cancel && *cancel) what += std::string("\nVelloran answered: ") + cancel;
    report(EngineReport::Kind::Problem, what);
}

void onProgress(void*, libvlc_dialog_id* id, const char*, const char*, bool, float, const char*) {
    {
        std::lock_guard<std::mutex> hold(hub().lock);
        hub().progress.insert(id);
    }
    report(EngineReport::Kind::BusyStarted, std::string());
}

// Only progress dialogs stay open (the others are answered as they come), and libVLC cancels
// them when its work is done; the id is let go of here.
void onCancel(void*, libvlc_dialog_id* id) {
    bool wasProgress = false;
    {
        std::lock_guard<std::mutex> hold(hub().lock);
        wasProgress = hub().progress.erase(id) > 0;
    }
    libvlc_dialog_dismiss(id);
    if (wasProgress) report(EngineReport::Kind::BusyEnded, std::string());
}

void onProgressUpdate(void*, libvlc_dialog_id*, float, const char*) {}

const libvlc_dialog_cbs kCallbacks = {onError,    onLogin,  onQuestion,
                                      onProgress, onCancel, onProgressUpdate};

} // namespace

void registerVlcDialogs(libvlc_instance_t* instance) {
    if (instance) libvlc_dialog_set_callbacks(instance, &kCallbacks, nullptr);
}

void attachVlcDialogs(EventRelay* relay) {
    DialogHub& h = hub();
    std::lock_guard<std::mutex> hold(h.lock);
    h.relay = relay;
    h.waiting.clear();
}

void detachVlcDialogs(EventRelay* relay) {
    DialogHub& h = hub();
    std::lock_guard<std::mutex> hold(h.lock);
    if (h.relay != relay) return;
    h.relay = nullptr;
    h.waiting.clear();
}

bool takeVlcDialogReport(EventRelay* relay, EngineReport* out) {
    DialogHub& h = hub();
    std::lock_guard<std::mutex> hold(h.lock);
    if (!relay || h.relay != relay || h.waiting.empty()) return false;
    *out = std::move(h.waiting.front());
    h.waiting.pop_front();
    return true;
}

std::string plainDialogText(const std::string& title, const std::string& message) {
    for (const PlainRow& row : kPlainRows)
        if (message.find(row.words) != std::string::npos ||
            title.find(row.words) != std::string::npos)
            return row.plain;
    if (title.empty() || message.find(title) != std::string::npos) return message;
    return title + ": " + message;
}
