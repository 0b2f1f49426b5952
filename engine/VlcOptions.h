// The pure parts of the libVLC engine: the instance options built from the preference record
// and the disc locations built from a folder path. No libVLC call, so they are tested alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/MediaPlayer.h"
#include "engine/Preferences.h"
#include "platform/LanguagePreferences.h"

// The ten instance options, in the order libVLC receives them.
std::vector<std::string> buildVlcOptions(const PreferenceData& preferences);

// The preferred languages as libVLC's language options, after the ten: audio and disc menus in
// the chosen language or else the system's (systemCode); subtitles only when one was chosen
// ("none": none at all), so that by default a disc shows the subtitles it selects itself.
void appendLanguageOptions(std::vector<std::string>& options,
                           const languages::LanguagePreferences& chosen, const wchar_t* systemCode);

// A Windows COLORREF (0x00BBGGRR) as the 0xRRGGBB number libVLC's text renderer wants.
int colorRefToRgb(uint32_t color);

// The disc location for a folder: "vcd:///" for a Video CD, "bluray:///" for a Blu-ray, "dvd:///"
// for every other kind, followed by the host path with every backslash turned into a slash. libVLC
// decodes '%' escapes in a location and takes '#' as the start of a title/chapter suffix, so
// those two characters are escaped; everything else (spaces, UTF-8) passes as it is.
std::string buildDiscLocation(const std::string& hostPath, DiscKind kind);
