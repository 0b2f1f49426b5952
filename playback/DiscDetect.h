// Whether a root holds a DVD-Video, Blu-ray or Video CD structure, and which optical drive does.
#pragma once

#include "engine/MediaPlayer.h"
#include "platform/WString.h"

DiscKind detectDiscKind(const WString& root);
// The structure inside a disc image file, found by the names of its top folders in the file
// system records near the start of the image: DVD-Video, Blu-ray or none.
DiscKind imageDiscKind(const WString& image);
// Whether the file holds an ISO 9660 or UDF file system, whatever its name: an image to mount.
bool isFileSystemImage(const WString& path);
// What keeps a disc structure from playing, as a user can read it; empty when nothing does.
// A Blu-ray needs BDMV\index.bdmv and MovieObject.bdmv, the stream file of every clip its
// playlists name, clip information for every stream file, and the JAR files its Java objects
// name.
WString discStructureProblem(const WString& root, DiscKind kind);
// First CD-ROM drive of the mask (bit 0 = A) holding a structure; 0 when none.
wchar_t findDiscDrive(DWORD mask, DiscKind* kind);
// False when the disc that was opened at root no longer answers.
bool discStillReadable(const WString& root, DiscKind kind);

// Whether the disc at root has a menu of the kind (a DVD's menus in its IFO files, a Blu-ray's
// top menu in index.bdmv, the pop-up menu on every Blu-ray, which keeps it inside its streams).
// A root that is no folder (an image played without a drive) is taken to have what its kind
// may have.
bool discHasMenu(const WString& root, DiscKind kind, DiscMenuKind menu);
