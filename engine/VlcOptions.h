// The pure parts of the libVLC engine: the instance options built from the preference record
// and the disc locations built from a folder path. No libVLC call, so they are tested alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/MediaPlayer.h"
#include "engine/Preferences.h"

// The ten instance options, in the order libVLC receives them.
std::vector<std::string> buildVlcOptions(const PreferenceData& preferences);

// A Windows COLORREF (0x00BBGGRR) as the 0xRRGGBB number libVLC's text renderer wants.
int colorRefToRgb(uint32_t color);

// The disc location for a folder: "vcd:///" for a Video CD, "bluray:///" for a Blu-ray, "dvd:///"
// for every other kind, followed by the host path with every backslash turned into a slash. libVLC
// decodes '%' escapes in a location and takes '#' as the start of a title/chapter suffix, so
// those two characters are escaped; everything else (spaces, UTF-8) passes as it is.
std::string buildDiscLocation(const std::string& hostPath, DiscKind kind);
