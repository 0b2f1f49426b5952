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
        if (!problem.empty()) return refusal(kLoadFailed + L"\n" + problem, true);
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
        // mounted file system would not carry its MPEG sectors.
        WString reason;
        if (!probes.readVideoCd(cue, &reason)) return refusal(kLoadFailed + L"\n" + reason);
        return planMedia(cue, DiscKind::VideoCd, WString(), probes);
    }
    WString reason;
    if (!probes.canMount(image, &reason)) {
        // libVLC reads a DVD or Blu-ray image itself; the viewer is told why no drive appears.
        if (reason.empty()) reason = L"no drive letter from K: to Z: is free";
        const DiscKind kind = probes.imageDiscKind(image);
        if (kind == DiscKind::None) return refusal(kMountFailed + L"\n" + reason);
        OpenPlan plan = planMedia(image, kind, image, probes);
        if (plan.action == OpenAction::Play)
            plan.message = L"The image plays without a drive: " + reason + L".";
        return plan;
    }
    WString root;
    if (!probes.mount(image, &root, &reason))
        return refusal(reason.empty() ? kMountFailed : kMountFailed + L"\n" + reason);
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

bool isIsoPath(const WString& path) {
    return hasExtension(path, L".iso");
}

bool isDiscImagePath(const WString& path, OpenProbes& probes) {
    return isIsoPath(path) || !probes.videoCdCueOf(path).empty();
}

OpenPlan planOpen(const OpenRequest& request, OpenProbes& probes) {
    const WString& path = request.path;
    switch (request.route) {
    case OpenRoute::OpenIso:
        return planImage(path, probes);
    case OpenRoute::CommandLine:
    case OpenRoute::HandOver:
    case OpenRoute::Drop:
        if (isDiscImagePath(path, probes) && !probes.isDirectory(path))
            return planImage(path, probes);
        return planMedia(path, DiscKind::None, WString(), probes);
    case OpenRoute::OpenFile:
        return planMedia(path, DiscKind::None, WString(), probes);
    case OpenRoute::OpenDisk:
        return planMedia(path, probes.detectDiscKind(path), WString(), probes);
    case OpenRoute::DiscDrive:
        return planMedia(path, request.kind, WString(), probes);
    }
    return refusal(kLoadFailed);
}
