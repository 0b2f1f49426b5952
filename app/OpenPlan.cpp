#include "app/OpenPlan.h"

#include "platform/Files.h"

namespace {

const WString kLoadFailed = L"Could not load the file.";
const WString kMountFailed = L"Could not mount the file.";

bool hasExtension(const WString& path, const wchar_t* extension) {
    const size_t n = static_cast<size_t>(lstrlenW(extension));
    return path.size() >= n && asciiLower(path.substr(path.size() - n)) == extension;
}

OpenPlan refusal(const WString& message, bool releaseMounts = false) {
    OpenPlan plan;
    plan.action = OpenAction::Refuse;
    plan.message = message;
    plan.releaseMounts = releaseMounts;
    return plan;
}

// A file, a folder or drive holding a disc, or an image played as a disc from its file.
OpenPlan planMedia(const WString& path, DiscKind kind, const WString& image, OpenProbes& probes) {
    const bool directory = probes.isDirectory(path);
    if (directory && kind == DiscKind::None) return refusal(L"Could not load the disk.");
    if (directory) {
        const WString problem = probes.discStructureProblem(path, kind);
        if (!problem.empty()) return refusal(kLoadFailed + L"\n" + asSentence(problem), true);
    } else if (kind == DiscKind::None) {
        // A .bin without its .cue would play as a bare stream, with a wrong length and shape.
        if (hasExtension(path, L".bin") && probes.isRawDiscImage(path))
            return refusal(kLoadFailed + L"\nThe disc image's cue sheet (.cue) is missing.");
        if (!probes.isMediaFile(path)) return refusal(kLoadFailed);
    }
    OpenPlan plan;
    plan.action = OpenAction::Play;
    plan.path = path;
    plan.kind = kind;
    plan.image = image;
    plan.singleEntry = kind != DiscKind::None && !directory;
    return plan;
}

// The images mounted earlier go first, whatever becomes of this one.
OpenPlan planImage(const WString& image, OpenProbes& probes) {
    probes.releaseMounts();
    const WString cue = probes.videoCdCueOf(image);
    if (!cue.empty()) {
        // A Video CD image plays from its cue sheet: libVLC reads such an image itself, and a
        // mounted file system would not carry its MPEG sectors. The engine reads the sheet and
        // says what is wrong with it.
        return planMedia(cue, DiscKind::VideoCd, WString(), probes);
    }
    WString reason;
    if (!probes.canMount(image, &reason)) {
        // libVLC reads a DVD or Blu-ray image itself; the viewer is told why no drive appears.
        if (reason.empty()) reason = L"no drive letter from K: to Z: is free";
        const DiscKind kind = probes.imageDiscKind(image);
        if (kind == DiscKind::None) return refusal(kMountFailed + L"\n" + asSentence(reason));
        OpenPlan plan = planMedia(image, kind, image, probes);
        if (plan.action == OpenAction::Play)
            plan.message = L"The image plays without a drive: " + reason + L".";
        return plan;
    }
    WString root;
    if (!probes.mount(image, &root, &reason))
        return refusal(reason.empty() ? kMountFailed : kMountFailed + L"\n" + asSentence(reason));
    const DiscKind kind = probes.detectDiscKind(root);
    if (kind == DiscKind::None) {
        OpenPlan plan;
        plan.action = OpenAction::Browse;
        plan.path = root;
        plan.image = image;
        return plan;
    }
    return planMedia(root, kind, image, probes);
}

} // namespace

WString asSentence(WString reason) {
    if (reason.empty()) return reason;
    if (reason[0] >= L'a' && reason[0] <= L'z') reason[0] = static_cast<wchar_t>(reason[0] - 32);
    const wchar_t last = reason.back();
    if (last != L'.' && last != L'!' && last != L'?') reason += L'.';
    return reason;
}

bool isIsoPath(const WString& path) {
    return hasExtension(path, L".iso");
}

bool isDiscImage(const WString& path, OpenProbes& probes) {
    if (probes.isDirectory(path)) return false;
    return isIsoPath(path) || !probes.videoCdCueOf(path).empty() ||
           probes.isFileSystemImage(path);
}

OpenPlan planOpen(const OpenRequest& request, OpenProbes& probes) {
    const WString& path = request.path;
    switch (request.route) {
    case OpenRoute::OpenIso:
        return planImage(path, probes);
    case OpenRoute::CommandLine:
    case OpenRoute::HandOver:
    case OpenRoute::Drop:
    case OpenRoute::OpenFile: {
        // Whatever the route, a path is what it holds: a disc folder plays as a disc, an
        // image by its content whatever its name, and anything else as a media file.
        WString why;
        if (!probes.canRead(path, &why)) return refusal(kLoadFailed + L"\n" + asSentence(why));
        if (isDiscImage(path, probes)) return planImage(path, probes);
        const DiscKind kind =
            probes.isDirectory(path) ? probes.detectDiscKind(path) : DiscKind::None;
        return planMedia(path, kind, WString(), probes);
    }
    case OpenRoute::OpenDisk:
        return planMedia(path, probes.detectDiscKind(path), WString(), probes);
    case OpenRoute::DiscDrive:
        return planMedia(path, request.kind, WString(), probes);
    }
    return refusal(kLoadFailed);
}
