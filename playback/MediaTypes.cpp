#include "playback/MediaTypes.h"

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

WString combinedMediaList() {
    return widenBytes(kVideoExtensions) + L";" + widenBytes(kAudioExtensions);
}

const WString& mediaExtensions() {
    static const WString extensions = [] {
        WString kept;
        for (wchar_t c : combinedMediaList())
            if (c != L'*') kept.push_back(c);
        return kept;
    }();
    return extensions;
}
