#include "engine/VlcOptions.h"

#include <cstdio>

#include "platform/WString.h"

namespace {

// Option texts are built in buffers of this many characters; a longer one cannot be passed.
constexpr size_t kOptionCapacity = 256;

std::string numberOption(const char* name, int value) {
    char text[kOptionCapacity];
    std::snprintf(text, sizeof text, "--%s=%d", name, value);
    return text;
}

std::string flagOption(const char* name, int32_t value) {
    return std::string(value != 0 ? "--" : "--no-") + name;
}

// The font name of the record, which need not be terminated within its 260 units. Font names
// are ASCII in practice; anything else goes to libVLC as UTF-8, the encoding it reads options in.
std::string fontOption(const wchar_t (&font)[260]) {
    size_t length = 0;
    while (length < 260 && font[length] != 0)
        ++length;
    std::string option = "--freetype-font=" + toUtf8(WString(font, length));
    // A name that does not fit the option buffer would arrive cut off and name another font;
    // an empty value leaves libVLC on its default font instead.
    if (option.size() >= kOptionCapacity) option = "--freetype-font=";
    return option;
}

} // namespace

int colorRefToRgb(uint32_t color) {
    const uint32_t red = color & 0xFF;
    const uint32_t green = (color >> 8) & 0xFF;
    const uint32_t blue = (color >> 16) & 0xFF;
    return static_cast<int>(red * 65536 + green * 256 + blue);
}

std::vector<std::string> buildVlcOptions(const PreferenceData& preferences) {
    std::vector<std::string> options;
    options.reserve(10);
    options.emplace_back("--no-video-title-show");
    options.emplace_back("--no-keyboard-events");
    options.emplace_back("--snapshot-prefix=snap-");
    options.push_back(fontOption(preferences.subtitleFont));
    options.push_back(numberOption("freetype-rel-fontsize", preferences.subtitleFontSize));
    options.push_back(numberOption("freetype-color", colorRefToRgb(preferences.subtitleColor)));
    options.push_back(numberOption("subsdec-align", preferences.subtitleAlign));
    options.push_back(numberOption("subsdec-encoding", preferences.subtitleEncoding));
    options.push_back(flagOption("subsdec-autodetect-utf8", preferences.subtitleAutodetectUtf8));
    options.push_back(flagOption("subsdec-formatted", preferences.subtitleFormatted));
    return options;
}

void appendLanguageOptions(std::vector<std::string>& options,
                           const languages::LanguagePreferences& chosen,
                           const wchar_t* systemCode) {
    auto code = [](const wchar_t* text) { return toUtf8(WString(text)); };
    const std::string system = code(systemCode);
    const std::string audio = chosen.audio[0] ? code(chosen.audio) : system;
    const std::string menu = chosen.menu[0] ? code(chosen.menu) : system;
    if (!audio.empty()) options.push_back("--audio-language=" + audio);
    if (!menu.empty()) options.push_back("--menu-language=" + menu);
    // "foreign" is the player's own rule, applied once the tracks are known.
    if (chosen.subtitle[0] && lstrcmpW(chosen.subtitle, languages::kForeignOnly) != 0)
        options.push_back("--sub-language=" + code(chosen.subtitle));
}

std::string buildDiscLocation(const std::string& hostPath, DiscKind kind) {
    std::string location = kind == DiscKind::VideoCd  ? "vcd:///"
                           : kind == DiscKind::BluRay ? "bluray:///"
                                                      : "dvd:///";
    for (char c : hostPath) {
        if (c == '\\')
            location += '/';
        else if (c == '%')
            location += "%25";
        else if (c == '#')
            location += "%23";
        else
            location += c;
    }
    return location;
}
