// The media file types: the video and audio extension lists as the Open File dialog shows them,
// and the same lists as the play list matches them.
#pragma once

#include "platform/WString.h"

extern const char kVideoExtensions[];
extern const char kAudioExtensions[];

// The video list, ";", the audio list; widened one byte per character (the lists are ASCII).
WString combinedMediaList();
// The combined list with every "*" removed (532 characters).
const WString& mediaExtensions();
