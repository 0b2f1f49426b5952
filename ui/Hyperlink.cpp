#include "ui/Hyperlink.h"

#include <shellapi.h>

#include <map>

#include "platform/WString.h"

const wchar_t kPoweredByUrl[] = L"https://www.quondel.example/";
ShellOpenFn shellOpenHook = nullptr;

namespace {

constexpr wchar_t kClassName[] = L"HYPERLINK";
constexpr wchar_t kPoweredByText[] = L"Powered by Quondel";
constexpr COLORREF kLinkColour = RGB(192, 192, 192);

struct HyperlinkState {
    HINSTANCE instance = nullptr;
    HDC measuringDC = nullptr;
    std::map<HWND, COLORREF> colours;
    std::map<HWND, WString> urls;
};

HyperlinkState& state() {
    static HyperlinkState s;
    return s;
}

} // namespace

void registerHyperlinkClass(HINSTANCE instance) {
    HyperlinkState& s = state();
    s.instance = instance;
    if (!s.measuringDC) {
        HDC screen = GetDC(nullptr);
        s.measuringDC = CreateCompatibleDC(screen);
        ReleaseDC(nullptr, screen);
    }
    // A copy of the system static control, so that it keeps its painting and SS_NOTIFY clicks.
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (!GetClassInfoExW(instance, L"STATIC", &wc)) {
        OutputDebugStringW(L"registerHyperlinkClass: no STATIC class\n");
        return;
    }
    wc.cbSize = sizeof(wc);
    wc.lpszClassName = kClassName;
    wc.hCursor = LoadCursorW(nullptr, IDC_HAND);
    wc.hInstance = instance;
    if (!RegisterClassExW(&wc))
        OutputDebugStringW(L"registerHyperlinkClass: RegisterClassExW failed\n");
}

void unregisterHyperlinkClass(HINSTANCE instance) {
    HyperlinkState& s = state();
    UnregisterClassW(kClassName, instance);
    if (s.measuringDC) {
        DeleteDC(s.measuringDC);
        s.measuringDC = nullptr;
    }
    s.colours.clear();
    s.urls.clear();
}

HWND createPoweredByLink(HFONT font, HWND parent) {
    HyperlinkState& s = state();
    if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    const int length = lstrlenW(kPoweredByText);
    SIZE extent{0, 0};
    HDC dc = s.measuringDC;
    HDC screen = nullptr;
    if (!dc) dc = screen = GetDC(nullptr); // measured on the screen if the class is unregistered
    HGDIOBJ previous = SelectObject(dc, font);
    GetTextExtentPoint32W(dc, kPoweredByText, length, &extent);
    SelectObject(dc, previous);
    if (screen) ReleaseDC(nullptr, screen);

    HWND label = CreateWindowExW(0, kClassName, kPoweredByText, WS_CHILD | WS_VISIBLE | SS_NOTIFY,
                                 0, 0, extent.cx, extent.cy, parent, nullptr, nullptr, nullptr);
    if (!label) return nullptr;
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    s.colours[label] = kLinkColour;
    s.urls[label] = kPoweredByUrl;
    return label;
}

HBRUSH hyperlinkCtlColor(HWND control, HDC dc) {
    HyperlinkState& s = state();
    auto it = s.colours.find(control);
    if (it == s.colours.end()) return nullptr;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, it->second);
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
}

bool openHyperlink(HWND control) {
    HyperlinkState& s = state();
    auto it = s.urls.find(control);
    if (it == s.urls.end()) return false;
    if (shellOpenHook) {
        shellOpenHook(it->second.c_str());
        return true;
    }
    // The browser shows its own window; SW_HIDE only concerns the shell's part.
    ShellExecuteW(nullptr, L"open", it->second.c_str(), nullptr, nullptr, SW_HIDE);
    return true;
}
