// The application object: holds the media-type caches built from the two extension lists.
#pragma once

#include "platform/WString.h"

class MediaPlayerApp {
public:
    virtual ~MediaPlayerApp() = default;
};

class Velloran : public MediaPlayerApp {
public:
    ~Velloran() override;

    // The combined list with every "*" removed (532 characters).
    const WString& getMediaExtensions();
    // The Open File filter: eight NUL-terminated texts and one more NUL.
    const wchar_t* buildOpenFilter();

    WString mediaExtensions;
    wchar_t* openFilter = nullptr;
};

extern const char kVideoExtensions[];
extern const char kAudioExtensions[];

// The one application object (null outside initApp .. shutdownApp).
Velloran* theApp();
