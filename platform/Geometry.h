// Plain geometry shared by the core and the OS seam.
#pragma once

#include <algorithm>
#include <cstdint>

namespace kestrune::platform {

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int width = 0;
    int height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// Right and bottom are exclusive, as everywhere in this code.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    static Rect FromXYWH(int x, int y, int w, int h) { return {x, y, x + w, y + h}; }
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Empty() const { return right <= left || bottom <= top; }
    bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    bool Intersects(const Rect& o) const {
        return !Empty() && !o.Empty() && left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
    Rect Intersect(const Rect& o) const {
        Rect r{std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
        return r.Empty() ? Rect{} : r;
    }
    friend bool operator==(const Rect&, const Rect&) = default;
};

// Colour as 0x00BBGGRR; 0xFF000000 is the "default/none" marker whose meaning depends on the property.
using Colour = std::uint32_t;
inline constexpr Colour kColourMarker = 0xFF000000u;

inline constexpr std::uint8_t RedOf(Colour c) { return static_cast<std::uint8_t>(c & 0xFF); }
inline constexpr std::uint8_t GreenOf(Colour c) { return static_cast<std::uint8_t>((c >> 8) & 0xFF); }
inline constexpr std::uint8_t BlueOf(Colour c) { return static_cast<std::uint8_t>((c >> 16) & 0xFF); }
inline constexpr Colour MakeColour(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return static_cast<Colour>(r) | (static_cast<Colour>(g) << 8) | (static_cast<Colour>(b) << 16);
}

}  // namespace kestrune::platform
