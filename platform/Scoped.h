// Owners of Win32 handles: each closes what it holds when it goes out of scope. Copying is
// deleted (a copy would close the handle twice); moving hands the handle on.
#pragma once

#include <windows.h>

template <typename Traits> class Scoped {
public:
    using Type = typename Traits::Type;

    Scoped() = default;
    explicit Scoped(Type held) : value(held) {}
    ~Scoped() { reset(); }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;
    Scoped(Scoped&& other) noexcept : value(other.release()) {}
    Scoped& operator=(Scoped&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    Type get() const { return value; }
    explicit operator bool() const { return Traits::valid(value); }
    Type release() {
        Type held = value;
        value = Traits::none();
        return held;
    }
    void reset(Type held = Traits::none()) {
        if (Traits::valid(value)) Traits::close(value);
        value = held;
    }
    // For calls that hand a handle back through a pointer; whatever was held is closed first.
    Type* out() {
        reset();
        return &value;
    }

private:
    Type value = Traits::none();
};

// Kernel handles: null and INVALID_HANDLE_VALUE both mean "none", as different calls use either.
struct HandleTraits {
    using Type = HANDLE;
    static Type none() { return nullptr; }
    static bool valid(Type h) { return h && h != INVALID_HANDLE_VALUE; }
    static void close(Type h) { CloseHandle(h); }
};

struct RegistryKeyTraits {
    using Type = HKEY;
    static Type none() { return nullptr; }
    static bool valid(Type h) { return h != nullptr; }
    static void close(Type h) { RegCloseKey(h); }
};

template <typename Object> struct GdiObjectTraits {
    using Type = Object;
    static Type none() { return nullptr; }
    static bool valid(Type h) { return h != nullptr; }
    static void close(Type h) { DeleteObject(h); }
};

struct MemoryDcTraits {
    using Type = HDC;
    static Type none() { return nullptr; }
    static bool valid(Type h) { return h != nullptr; }
    static void close(Type h) { DeleteDC(h); }
};

struct MenuTraits {
    using Type = HMENU;
    static Type none() { return nullptr; }
    static bool valid(Type h) { return h != nullptr; }
    static void close(Type h) { DestroyMenu(h); }
};

using ScopedHandle = Scoped<HandleTraits>;
using ScopedKey = Scoped<RegistryKeyTraits>;
using ScopedBrush = Scoped<GdiObjectTraits<HBRUSH>>;
using ScopedFont = Scoped<GdiObjectTraits<HFONT>>;
using ScopedBitmap = Scoped<GdiObjectTraits<HBITMAP>>;
using ScopedMemoryDc = Scoped<MemoryDcTraits>;
using ScopedMenu = Scoped<MenuTraits>;

// A window's DC from GetDC, released to that window.
class WindowDc {
public:
    explicit WindowDc(HWND window) : owner(window), dc(GetDC(window)) {}
    ~WindowDc() {
        if (dc) ReleaseDC(owner, dc);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc; }

private:
    HWND owner;
    HDC dc;
};

// An object selected into a DC for one scope; the previous one is selected back.
class SelectedObject {
public:
    SelectedObject(HDC target, HGDIOBJ object)
        : dc(target), previous(SelectObject(target, object)) {}
    ~SelectedObject() {
        if (previous) SelectObject(dc, previous);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc;
    HGDIOBJ previous;
};

// The wait cursor while a scope runs; the cursor shown before comes back however it ends.
class WaitCursor {
public:
    WaitCursor() : previous(SetCursor(LoadCursorW(nullptr, IDC_WAIT))) {}
    ~WaitCursor() { SetCursor(previous); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    HCURSOR previous;
};
