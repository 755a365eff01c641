// One small RAII template for the handles and GDI objects of the source: each is released
// on every exit path by the function its kind names. Non-copyable, movable.
#pragma once

#include <windows.h>
#include <utility>

template <typename Handle, typename Traits>
class Scoped {
public:
    Scoped() = default;
    explicit Scoped(Handle handle) : handle_(handle) {}
    ~Scoped() { reset(); }
    Scoped(const Scoped&) = delete;
    Scoped& operator=(const Scoped&) = delete;
    Scoped(Scoped&& other) noexcept : handle_(std::exchange(other.handle_, Traits::none())) {}
    Scoped& operator=(Scoped&& other) noexcept
    {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, Traits::none());
        }
        return *this;
    }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::none(); }
    Handle release() { return std::exchange(handle_, Traits::none()); }
    void reset(Handle handle = Traits::none())
    {
        if (handle_ != Traits::none()) Traits::close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = Traits::none();
};

struct GdiObjectTraits {
    static HGDIOBJ none() { return nullptr; }
    static void close(HGDIOBJ object) { DeleteObject(object); }
};
struct FileHandleTraits {
    static HANDLE none() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE file) { CloseHandle(file); }
};
struct FindHandleTraits {
    static HANDLE none() { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE search) { FindClose(search); }
};
struct ModuleTraits {
    static HMODULE none() { return nullptr; }
    static void close(HMODULE module) { FreeLibrary(module); }
};

struct GlobalBlockTraits {
    static HGLOBAL none() { return nullptr; }
    static void close(HGLOBAL block) { GlobalFree(block); }
};

using ScopedGdiObject = Scoped<HGDIOBJ, GdiObjectTraits>;
using ScopedFile = Scoped<HANDLE, FileHandleTraits>;
using ScopedFind = Scoped<HANDLE, FindHandleTraits>;
using ScopedModule = Scoped<HMODULE, ModuleTraits>;
using ScopedGlobal = Scoped<HGLOBAL, GlobalBlockTraits>;  // a movable block, freed (not unlocked)

// A window's device context, released with the window it came from.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC()
    {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// The device context of a WM_PAINT: BeginPaint at the start of the scope, EndPaint at its end, so
// that the update region is validated on every exit and the message does not come again.
class PaintDC {
public:
    explicit PaintDC(HWND window) : window_(window), dc_(BeginPaint(window, &paint_)) {}
    ~PaintDC() { EndPaint(window_, &paint_); }
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    PAINTSTRUCT paint_ = {};
    HDC dc_;
};

// Selects an object into a device context and puts the old one back at the end of the scope.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~SelectedObject()
    {
        if (old_) SelectObject(dc_, old_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};
