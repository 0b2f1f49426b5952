// libVLC's dialogs: why a source cannot play (a Blu-ray's keys or libraries missing, Java
// missing for its menus), questions, sign-in requests and progress. They arrive on libVLC's own
// threads, where nothing may touch Win32: there they are answered at once or queued, and the
// engine that plays takes the queue on the GUI thread.
#pragma once

#include <vlc/vlc.h>

#include <string>

#include "engine/MediaPlayer.h"
#include "platform/EventRelay.h"

// Registers the dialog callbacks on an instance, once after it is made.
void registerVlcDialogs(libvlc_instance_t* instance);
// Dialog reports go to this relay as PlayerEvent::Dialog from now on; one engine at a time.
void attachVlcDialogs(EventRelay* relay);
// No report reaches the relay afterwards, and what waits for it is dropped.
void detachVlcDialogs(EventRelay* relay);
// The oldest report waiting for this relay; false when none waits.
bool takeVlcDialogReport(EventRelay* relay, EngineReport* report);

// What a dialog of libVLC comes to in plain words (title and text as libVLC gives them, UTF-8);
// empty when it tells nothing the player does not say itself.
std::string plainDialogText(const std::string& title, const std::string& text);
