#include "platform/WString.h"

#include <windows.h>
#include <shlwapi.h>

#include <vector>

std::string toUtf8(const WString& text) {
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

WString fromUtf8(const std::string& text) {
    if (text.empty()) return WString();
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return WString();
    WString out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

std::string narrowBytes(const WString& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t c : text)
        out.push_back(static_cast<char>(c));
    return out;
}

WString widenBytes(const std::string& text) {
    WString out;
    out.reserve(text.size());
    for (char c : text)
        out.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return out;
}

WString decodeText(const std::string& text) {
    if (text.empty()) return WString();
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                      static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return widenBytes(text);
    WString out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                        out.data(), n);
    return out;
}

WString formatWideBuffer(const wchar_t* buffer, int length) {
    if (length < 0) return WString();
    return WString(buffer, static_cast<std::size_t>(length));
}

WString asciiLower(WString text) {
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}
