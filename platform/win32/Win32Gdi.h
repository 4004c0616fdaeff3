// Small owning wrappers for the GDI and USER objects of the Win32 backend: each handle is released
// by exactly one owner, on every path, and never outlives it.
#pragma once

#include <windows.h>
// The seam has a member of this name; the wide function is always called by its own name here.
#undef CallWindowProc

#include <cstdint>
#include <utility>

#include "platform/Bitmap.h"

namespace kestrune::platform::win32 {

// A GDI object (region, bitmap, brush, pen, font): DeleteObject when it goes.
template <typename Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle h) : h_(h) {}
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    GdiObject& operator=(GdiObject&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.h_, nullptr));
        return *this;
    }
    ~GdiObject() { Reset(); }

    void Reset(Handle h = nullptr) {
        if (h_ != nullptr && h_ != h) ::DeleteObject(h_);
        h_ = h;
    }
    Handle Get() const { return h_; }
    // Hands the object to an owner outside this program's code (SetWindowRgn takes the region).
    Handle Release() { return std::exchange(h_, nullptr); }
    explicit operator bool() const { return h_ != nullptr; }

private:
    Handle h_ = nullptr;
};

using RegionHandle = GdiObject<HRGN>;
using BitmapHandle = GdiObject<HBITMAP>;
using BrushHandle = GdiObject<HBRUSH>;

// An icon or a pointer made by CreateIconIndirect: DestroyIcon when it goes (pointers made that way
// are icons to the system; DestroyCursor is the same call).
class IconHandle {
public:
    IconHandle() = default;
    explicit IconHandle(HICON h) : h_(h) {}
    IconHandle(const IconHandle&) = delete;
    IconHandle& operator=(const IconHandle&) = delete;
    IconHandle(IconHandle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    IconHandle& operator=(IconHandle&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.h_, nullptr));
        return *this;
    }
    ~IconHandle() { Reset(); }

    void Reset(HICON h = nullptr) {
        if (h_ != nullptr && h_ != h) ::DestroyIcon(h_);
        h_ = h;
    }
    HICON Get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    HICON h_ = nullptr;
};

// A device context of the screen, released when it goes.
class ScreenDc {
public:
    ScreenDc() : dc_(::GetDC(nullptr)) {}
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    ~ScreenDc() {
        if (dc_ != nullptr) ::ReleaseDC(nullptr, dc_);
    }
    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

// A 32-bit top-down device-independent section with a memory device context that holds it
// selected: the core draws into Pixels() as BGRA, and the context copies it to a window.
class DibSection {
public:
    DibSection() = default;
    DibSection(const DibSection&) = delete;
    DibSection& operator=(const DibSection&) = delete;
    DibSection(DibSection&& other) noexcept { Swap(other); }
    DibSection& operator=(DibSection&& other) noexcept {
        if (this != &other) {
            DibSection gone;
            Swap(other);
            other.Swap(gone);
        }
        return *this;
    }
    ~DibSection() { Reset(); }

    // A new section of width x height (both at least 1); false leaves this one empty.
    bool Create(int width, int height);
    void Reset();

    bool Empty() const { return bits_ == nullptr; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    HDC Dc() const { return dc_; }
    HBITMAP Bitmap() const { return bitmap_; }
    PixelView Pixels() const { return {static_cast<std::uint8_t*>(bits_), width_, height_, width_ * 4}; }

private:
    void Swap(DibSection& other) noexcept {
        std::swap(dc_, other.dc_);
        std::swap(bitmap_, other.bitmap_);
        std::swap(previous_, other.previous_);
        std::swap(bits_, other.bits_);
        std::swap(width_, other.width_);
        std::swap(height_, other.height_);
    }

    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;  // what the context held before the section
    void* bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// A system icon (fIcon) or pointer of a BGRA bitmap; a bitmap whose alpha bytes are all zero (drawn
// without alpha) counts as opaque. Empty for an empty bitmap or when the system refuses.
IconHandle IconFromBitmap(const Bitmap& bitmap, bool icon, Point hotspot = {});

}  // namespace kestrune::platform::win32
