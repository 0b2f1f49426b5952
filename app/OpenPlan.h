// The decisions of opening, apart from the windows that carry them out: what a request names
// (a file, a folder or drive holding a disc, a disc image), whether an image is mounted or
// played from its file, and which reason a refusal gives. planOpen asks small probes about the
// files and the mounts and returns a plan; the main window shows its messages and hands what
// plays to the controller.
#pragma once

#include "engine/MediaPlayer.h"
#include "platform/WString.h"

// Where a request comes from: the routes differ in what they may name.
enum class OpenRoute {
    CommandLine,
    HandOver, // a second start passed its file over
    Drop,
    OpenFile,
    OpenDisk,  // a folder or drive chosen in the folder chooser
    OpenIso,   // an image chosen in the Open ISO dialog
    DiscDrive, // a disc found in an optical drive
};

struct OpenRequest {
    OpenRoute route = OpenRoute::OpenFile;
    WString path;
    // The structure already found at path (a disc drive's scan); None for the other routes,
    // which leave finding it to the plan.
    DiscKind kind = DiscKind::None;
};

enum class OpenAction {
    Play,   // the controller opens path as kind and plays it
    Refuse, // message says why; nothing plays
    Browse, // a mounted image holds no video: the viewer is asked whether to browse path
};

struct OpenPlan {
    OpenAction action = OpenAction::Refuse;
    WString path;
    DiscKind kind = DiscKind::None;
    // The disc image path was mounted from or is; its position is kept under this name.
    WString image;
    // Refuse: the error shown. Play: a note shown first, once a run (empty: none).
    WString message;
    // Refuse: every image mounted so far is released too.
    bool releaseMounts = false;
    // Play: the play list is this one entry rather than the media files of its folder.
    bool singleEntry = false;
};

// What planOpen needs to know of the files, the disc structures and the mounts.
class OpenProbes {
public:
    virtual ~OpenProbes() = default;
    virtual bool isDirectory(const WString& path) = 0;
    // A file that opens for reading, or a folder; why: what keeps it from being read.
    virtual bool canRead(const WString& path, WString* why) = 0;
    // The file holds an ISO 9660 or UDF file system.
    virtual bool isFileSystemImage(const WString& path) = 0;
    // The extension is one of the media types the player opens.
    virtual bool isMediaFile(const WString& path) = 0;
    virtual DiscKind detectDiscKind(const WString& root) = 0;
    // What keeps the structure at root from playing; empty when nothing does.
    virtual WString discStructureProblem(const WString& root, DiscKind kind) = 0;
    // The file begins with a raw CD sector, as a .bin image does.
    virtual bool isRawDiscImage(const WString& path) = 0;
    // The .cue of a Video CD image (the path itself, or the .cue beside a .bin); empty if none.
    virtual WString videoCdCueOf(const WString& path) = 0;
    // The structure inside an image file, read without mounting it.
    virtual DiscKind imageDiscKind(const WString& image) = 0;
    // Whether a drive can be made for image (or it has one already); reason: why not.
    virtual bool canMount(const WString& image, WString* reason) = 0;
    virtual bool mount(const WString& image, WString* root, WString* reason) = 0;
    virtual void releaseMounts() = 0;
};

// A reason on a line of its own below a fixed text: a sentence, capitalised and ended.
WString asSentence(WString reason);
bool isIsoPath(const WString& path);
// Whether a file is a disc image: an .iso, a .cue, a .bin with its .cue, or any file that
// holds a file system of a disc.
bool isDiscImage(const WString& path, OpenProbes& probes);

// Mounts an image when the request needs it; every other effect is left to the caller.
OpenPlan planOpen(const OpenRequest& request, OpenProbes& probes);
