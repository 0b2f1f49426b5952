// The application object and the two media-type caches it derives from the extension lists.
#include "app/Velloran.h"

#include <new>

#include "app/MainFrame.h"

// The lists stand exactly as the program has always shipped them, oddities included ("*f4v"
// without a dot, "*..tod", "*.mp2" and "*.ogg" in both lists): the play list and the Open File
// dialog must keep accepting the same files.
const char kVideoExtensions[] =
    "*.3g2;*.3gp;*.3gp2;*.3gpp;*.amv;*.asf;*.avi;*.bin;*.divx;*.drc;*.dv;*f4v;*.flv;*.gvi;*.gxf;"
    "*.m1v;*.m2v;*.m2t;*.m2ts;*.m4v;*.mkv;*.mov;*.mp2;*.mp2v;*.mp4;*.mp4v;*.mpe;*.mpeg;*.mpeg1;"
    "*.mpeg2;*.mpeg4;*.mpg;*.mpv2;*.mts;*.mtv;*.mxf;*.mxg;*.nsv;*.nuv;*.ogg;*.ogm;*.ogv;*.ogx;"
    "*.rm;*.rmvb;*..tod;*.ts;*.tts;*.vob;*.vro;*.webm;*.wm;*.wmv";

const char kAudioExtensions[] =
    "*.3ga;*.669;*.a52;*.aac;*.ac3;*.adt;*.adts;*.aif;*.aifc;*.aiff;*.amr;*.aob;*.ape;*.awb;"
    "*.caf;*.dts;*.flac;*.it;*.kar;*.m4a;*.m4p;*.m5p;*.mid;*.mka;*.mlp;*.mod;*.mpa;*.mp1;*.mp2;"
    "*.mp3;*.mpc;*.mpga;*.oga;*.ogg;*.oma;*.opus;*.qcp;*.ra;*.rmi;*.s3m;*.spx;*.thd;*.tta;*.voc;"
    "*.vqf;*.w64;*.wav;*.wma;*.wv;*.xa;*.xm";

namespace {

// The video list, ";", the audio list; widened one byte per character (the lists are ASCII).
WString combinedList() {
    return widenBytes(kVideoExtensions) + L";" + widenBytes(kAudioExtensions);
}

} // namespace

Velloran::~Velloran() {
    delete[] openFilter;
    openFilter = nullptr;
}

const WString& Velloran::getMediaExtensions() {
    if (!mediaExtensions.empty()) return mediaExtensions;
    WString combined = combinedList();
    mediaExtensions.reserve(combined.size());
    for (wchar_t c : combined)
        if (c != L'*') mediaExtensions.push_back(c);
    return mediaExtensions;
}

const wchar_t* Velloran::buildOpenFilter() {
    if (openFilter) return openFilter;

    const WString combined = combinedList();
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
    wchar_t* buffer = new (std::nothrow) wchar_t[length]();
    if (!buffer) {
        OutputDebugStringW(L"Velloran::buildOpenFilter: out of memory\n");
        return L""; // tried again on the next call
    }
    wchar_t* out = buffer;
    for (const Pair& pair : pairs) {
        out = WCharTraits::copy(out, pair.label.data(), pair.label.size()) + pair.label.size() + 1;
        out = WCharTraits::copy(out, pair.pattern.data(), pair.pattern.size()) +
              pair.pattern.size() + 1;
    }
    openFilter = buffer;
    return openFilter;
}

Velloran* theApp() {
    return gMainFrame.app;
}
