// Drawing helpers of the artwork generator: signed distances of simple figures, coverage with a
// one-pixel anti-aliased edge, and straight-alpha compositing on a float RGBA canvas.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace kestrune::artwork {

struct Rgb {
    float r = 0, g = 0, b = 0;
};

inline Rgb Mix(const Rgb& a, const Rgb& b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Coverage of a pixel whose centre lies at signed distance `d` (negative inside) from an edge.
inline float Coverage(float d, float soft = 1.0f) { return std::clamp(0.5f - d / soft, 0.0f, 1.0f); }

inline float SdCircle(float x, float y, float cx, float cy, float r) { return std::hypot(x - cx, y - cy) - r; }

// Rounded rectangle given by its centre, half sizes and corner radius.
inline float SdRoundRect(float x, float y, float cx, float cy, float hw, float hh, float r) {
    const float qx = std::fabs(x - cx) - hw + r, qy = std::fabs(y - cy) - hh + r;
    const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - r;
}

inline float SdCapsule(float x, float y, float ax, float ay, float bx, float by, float r) {
    const float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
    const float len2 = dx * dx + dy * dy;
    const float h = len2 > 0 ? std::clamp((px * dx + py * dy) / len2, 0.0f, 1.0f) : 0.0f;
    return std::hypot(px - dx * h, py - dy * h) - r;
}

// Star of `points` points with outer radius `ro` and inner radius `ri`, first point straight up.
inline float SdStar(float x, float y, float cx, float cy, float ro, float ri, int points) {
    // Distance to the closed polygon through the alternating outer and inner vertices.
    const int n = points * 2;
    float best = 1e9f;
    bool inside = false;
    const float pi = 3.14159265358979f;
    auto vertex = [&](int i, float& vx, float& vy) {
        const float a = -pi / 2 + pi * static_cast<float>(i) / static_cast<float>(points);
        const float r = (i % 2 == 0) ? ro : ri;
        vx = cx + r * std::cos(a);
        vy = cy + r * std::sin(a);
    };
    for (int i = 0; i < n; ++i) {
        float ax, ay, bx, by;
        vertex(i, ax, ay);
        vertex((i + 1) % n, bx, by);
        best = std::min(best, SdCapsule(x, y, ax, ay, bx, by, 0.0f));
        if (((ay > y) != (by > y)) && (x < (bx - ax) * (y - ay) / (by - ay) + ax)) inside = !inside;
    }
    return inside ? -best : best;
}

// Straight-alpha RGBA canvas, channels 0..1.
class Canvas {
public:
    Canvas(int width, int height) : width_(width), height_(height), px_(static_cast<std::size_t>(width) * height) {}

    int Width() const { return width_; }
    int Height() const { return height_; }

    // Paints colour `c` with opacity `a` over the pixel.
    void Over(int x, int y, const Rgb& c, float a) {
        if (a <= 0.0f) return;
        Px& d = px_[static_cast<std::size_t>(y) * width_ + x];
        const float outA = a + d.a * (1.0f - a);
        if (outA <= 0.0f) return;
        const float keep = d.a * (1.0f - a);
        d.c.r = (c.r * a + d.c.r * keep) / outA;
        d.c.g = (c.g * a + d.c.g * keep) / outA;
        d.c.b = (c.b * a + d.c.b * keep) / outA;
        d.a = outA;
    }
    float Alpha(int x, int y) const { return px_[static_cast<std::size_t>(y) * width_ + x].a; }
    Rgb Colour(int x, int y) const { return px_[static_cast<std::size_t>(y) * width_ + x].c; }

    // RGBA bytes, rows top-down. A fully transparent pixel carries `clear` in its colour channels.
    std::vector<std::uint8_t> Rgba(std::uint8_t clear = 255) const {
        std::vector<std::uint8_t> out(px_.size() * 4);
        for (std::size_t i = 0; i < px_.size(); ++i) {
            const std::uint8_t a = Byte(px_[i].a);
            if (a == 0) {
                out[i * 4] = out[i * 4 + 1] = out[i * 4 + 2] = clear;
                out[i * 4 + 3] = 0;
                continue;
            }
            // Painted art is never pure white: that colour is the outline's hole marker.
            std::uint8_t r = Byte(px_[i].c.r), g = Byte(px_[i].c.g), b = Byte(px_[i].c.b);
            if (r == 255 && g == 255 && b == 255) r = g = b = 254;
            out[i * 4] = r;
            out[i * 4 + 1] = g;
            out[i * 4 + 2] = b;
            out[i * 4 + 3] = a;
        }
        return out;
    }

    static std::uint8_t Byte(float v) {
        return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
    }

private:
    struct Px {
        Rgb c;
        float a = 0;
    };
    int width_;
    int height_;
    std::vector<Px> px_;
};

inline Rgb FromBytes(int r, int g, int b) {
    return {static_cast<float>(r) / 255.0f, static_cast<float>(g) / 255.0f, static_cast<float>(b) / 255.0f};
}

}  // namespace kestrune::artwork
