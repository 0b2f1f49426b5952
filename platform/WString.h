// The program's wide string. Under Winelib wchar_t is 16 bits while glibc and libstdc++ were
// built for 32 bits, so std::char_traits<wchar_t> (which forwards to wcslen, wmemcmp, ...) gives
// wrong answers there. These traits use plain loops and behave the same on every host.
#pragma once

#include <cstddef>
#include <cwchar>
#include <string>

#include <windows.h>
#include <shlwapi.h>

struct WCharTraits {
    using char_type = wchar_t;
    using int_type = unsigned int;
    using off_type = std::streamoff;
    using pos_type = std::streampos;
    using state_type = std::mbstate_t;

    static constexpr void assign(char_type& r, const char_type& a) noexcept { r = a; }
    static constexpr bool eq(char_type a, char_type b) noexcept { return a == b; }
    // Code units compare as unsigned 16-bit numbers.
    static constexpr bool lt(char_type a, char_type b) noexcept {
        return static_cast<unsigned short>(a) < static_cast<unsigned short>(b);
    }
    static constexpr int compare(const char_type* a, const char_type* b, std::size_t n) noexcept {
        for (std::size_t i = 0; i < n; ++i) {
            if (lt(a[i], b[i])) return -1;
            if (lt(b[i], a[i])) return 1;
        }
        return 0;
    }
    static constexpr std::size_t length(const char_type* s) noexcept {
        std::size_t n = 0;
        while (s[n] != 0)
            ++n;
        return n;
    }
    static constexpr const char_type* find(const char_type* s, std::size_t n,
                                           const char_type& c) noexcept {
        for (std::size_t i = 0; i < n; ++i)
            if (s[i] == c) return s + i;
        return nullptr;
    }
    static constexpr char_type* move(char_type* d, const char_type* s, std::size_t n) noexcept {
        if (d < s) {
            for (std::size_t i = 0; i < n; ++i)
                d[i] = s[i];
        } else if (d > s) {
            for (std::size_t i = n; i > 0; --i)
                d[i - 1] = s[i - 1];
        }
        return d;
    }
    static constexpr char_type* copy(char_type* d, const char_type* s, std::size_t n) noexcept {
        for (std::size_t i = 0; i < n; ++i)
            d[i] = s[i];
        return d;
    }
    static constexpr char_type* assign(char_type* d, std::size_t n, char_type c) noexcept {
        for (std::size_t i = 0; i < n; ++i)
            d[i] = c;
        return d;
    }
    static constexpr char_type to_char_type(int_type c) noexcept {
        return static_cast<char_type>(c);
    }
    static constexpr int_type to_int_type(char_type c) noexcept {
        return static_cast<unsigned short>(c);
    }
    static constexpr bool eq_int_type(int_type a, int_type b) noexcept { return a == b; }
    static constexpr int_type eof() noexcept { return 0xFFFFFFFFu; }
    static constexpr int_type not_eof(int_type c) noexcept { return c == eof() ? 0 : c; }
};

using WString = std::basic_string<wchar_t, WCharTraits>;

// Length of a NUL-terminated wide text.
inline std::size_t wideLength(const wchar_t* s) {
    return s ? WCharTraits::length(s) : 0;
}

// UTF-16 to UTF-8 and back, without the C library's wide functions.
std::string toUtf8(const WString& text);
WString fromUtf8(const std::string& text);

// One byte per code unit: exact for ASCII only.
std::string narrowBytes(const WString& text);
WString widenBytes(const std::string& text);
// UTF-8 when the bytes are valid UTF-8, else one byte per character (Latin-1).
WString decodeText(const std::string& text);

// printf-style formatting into a WString through the Win32 formatter (%s is a wide text,
// %d a 32-bit int). The Win32 formatter stops at 1024 characters.
WString formatWideBuffer(const wchar_t* buffer, int length);
template <typename... Args> WString formatWide(const wchar_t* format, Args... args) {
    wchar_t buffer[1025] = {};
    int n = wnsprintfW(buffer, 1025, format, args...);
    return formatWideBuffer(buffer, n);
}

// ASCII-only lower casing of A to Z.
WString asciiLower(WString text);
