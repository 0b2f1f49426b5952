// Prints the message text of every visible message box whose caption is the first argument,
// one box per paragraph, so that the end-to-end tests can read what a user reads.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// Text in WCHAR, the Windows character type (in a Winelib build wchar_t may be wider).
struct Search {
    const WCHAR* caption;
    std::string found; // UTF-8
};

BOOL CALLBACK visit(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    WCHAR caption[512] = {};
    WCHAR className[64] = {};
    GetWindowTextW(window, caption, 512);
    GetClassNameW(window, className, 64);
    if (!IsWindowVisible(window) || lstrcmpW(className, L"#32770") != 0 ||
        lstrcmpW(caption, search->caption) != 0)
        return TRUE;
    // The message is the box's static control with the id 0xFFFF.
    WCHAR message[4096] = {};
    GetWindowTextW(GetDlgItem(window, 0xFFFF), message, 4096);
    char utf8[16384] = {};
    WideCharToMultiByte(CP_UTF8, 0, message, -1, utf8, sizeof utf8, nullptr, nullptr);
    search->found += utf8;
    search->found += "\n\n";
    return TRUE;
}

} // namespace

int main(int argc, char** argv) {
    WCHAR caption[256] = {};
    if (argc > 1) MultiByteToWideChar(CP_UTF8, 0, argv[1], -1, caption, 256);
    Search search{caption, std::string()};
    EnumWindows(visit, reinterpret_cast<LPARAM>(&search));
    std::fputs(search.found.c_str(), stdout);
    return search.found.empty() ? 1 : 0;
}
