// Pixel memory shared by the core and the OS seam: 32-bit pixels, bytes blue, green, red, alpha,
// rows top-down. The core draws into these; the platform only copies them to the screen.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/Geometry.h"

namespace kestrune::platform {

// A non-owning view of BGRA pixels (the platform may hand out its own backing store as one).
struct PixelView {
    std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;  // bytes per row

    bool Valid() const { return data != nullptr && width > 0 && height > 0; }
    std::uint8_t* Row(int y) const { return data + static_cast<std::ptrdiff_t>(y) * stride; }
    std::uint8_t* At(int x, int y) const { return Row(y) + static_cast<std::ptrdiff_t>(x) * 4; }

    // The pixel as a Colour (0x00BBGGRR), alpha ignored.
    Colour ColourAt(int x, int y) const {
        const std::uint8_t* p = At(x, y);
        return MakeColour(p[2], p[1], p[0]);
    }
    void SetColour(int x, int y, Colour c) const {
        std::uint8_t* p = At(x, y);
        p[0] = BlueOf(c);
        p[1] = GreenOf(c);
        p[2] = RedOf(c);
        p[3] = 0xFF;
    }
};

// An owning, opaque-by-convention BGRA bitmap (the "device bitmap" of this code).
class Bitmap {
public:
    Bitmap() = default;
    Bitmap(int width, int height) { Reset(width, height); }

    void Reset(int width, int height) {
        width_ = width > 0 ? width : 0;
        height_ = height > 0 ? height : 0;
        pixels_.assign(static_cast<std::size_t>(width_) * height_ * 4, 0);
    }
    bool Empty() const { return width_ == 0 || height_ == 0; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    std::uint8_t* Data() { return pixels_.data(); }
    const std::uint8_t* Data() const { return pixels_.data(); }
    std::vector<std::uint8_t>& Pixels() { return pixels_; }
    const std::vector<std::uint8_t>& Pixels() const { return pixels_; }

    PixelView View() { return {pixels_.data(), width_, height_, width_ * 4}; }
    PixelView View() const {  // read-only use by convention
        return {const_cast<std::uint8_t*>(pixels_.data()), width_, height_, width_ * 4};
    }

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> pixels_;
};

}  // namespace kestrune::platform
