// The application object and the Open File filter it derives from the extension lists.
#include "app/Velloran.h"

#include "app/MainFrame.h"
#include "playback/MediaTypes.h"

const WString& Velloran::getMediaExtensions() {
    return mediaExtensions();
}

const wchar_t* Velloran::buildOpenFilter() {
    if (!openFilter.empty()) return openFilter.data();

    const WString combined = combinedMediaList();
    const WString video = widenBytes(kVideoExtensions);
    const WString audio = widenBytes(kAudioExtensions);
    const WString all = L"*.*";
    struct Pair {
        WString label;
        const WString& pattern;
    };
    const Pair pairs[] = {
        {L"Media Files(" + combined + L")", combined},
        {L"Video Files(" + video + L")", video},
        {L"Audio Files(" + audio + L")", audio},
        {L"All Files(" + all + L")", all},
    };

    size_t length = 1; // the closing second NUL
    for (const Pair& pair : pairs)
        length += pair.label.size() + pair.pattern.size() + 2;

    // Zero-filled, so every text is NUL-terminated and the buffer ends with a double NUL.
    std::vector<wchar_t> buffer(length, 0);
    wchar_t* out = buffer.data();
    for (const Pair& pair : pairs) {
        out = WCharTraits::copy(out, pair.label.data(), pair.label.size()) + pair.label.size() + 1;
        out = WCharTraits::copy(out, pair.pattern.data(), pair.pattern.size()) +
              pair.pattern.size() + 1;
    }
    openFilter = std::move(buffer);
    return openFilter.data();
}

Velloran* theApp() {
    return gMainFrame.app.get();
}
