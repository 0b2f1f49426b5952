// The application object: holds the Open File filter built from the two extension lists.
#pragma once

#include <vector>

#include "platform/WString.h"

class MediaPlayerApp {
public:
    virtual ~MediaPlayerApp() = default;
};

class Velloran : public MediaPlayerApp {
public:
    // The combined list with every "*" removed (532 characters).
    const WString& getMediaExtensions();
    // The Open File filter: eight NUL-terminated texts and one more NUL.
    const wchar_t* buildOpenFilter();

private:
    std::vector<wchar_t> openFilter;
};

// The one application object (null outside initApp .. shutdownApp).
Velloran* theApp();
