#include "ui/controls/Canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

#include "ui/controls/MulDiv.h"

namespace kestrune::ui {

using platform::Colour;
using platform::Point;
using platform::Rect;

namespace {

constexpr int kDash[] = {18, 6};
constexpr int kDot[] = {3, 3};
constexpr int kDashDot[] = {9, 6, 3, 6};
constexpr int kDashDotDot[] = {9, 3, 3, 3, 3, 3};

std::int64_t ISqrt(std::int64_t n) {
    if (n <= 0) return 0;
    auto r = static_cast<std::int64_t>(std::sqrt(static_cast<double>(n)));
    while (r > 0 && r * r > n) --r;
    while ((r + 1) * (r + 1) <= n) ++r;
    return r;
}

// The first column (counted from the box's left) of row v of the ellipse inscribed in a w x h box.
// Column u is inside when (2u+1-w)^2 / w^2 + (2v+1-h)^2 / h^2 <= 1; exact integer arithmetic, so
// the figure is symmetric to the pixel. Returns a value above (w-1)/2 when the row is empty.
std::int64_t EllipseInset(std::int64_t w, std::int64_t h, std::int64_t v) {
    const std::int64_t k = 2 * v + 1 - h;
    // Widths and heights are differences of 32-bit coordinates, so every square fits in 64 bits.
    const auto hh = static_cast<std::uint64_t>(h) * static_cast<std::uint64_t>(h);
    const auto kk = static_cast<std::uint64_t>(k < 0 ? -k : k) * static_cast<std::uint64_t>(k < 0 ? -k : k);
    if (kk > hh) return w;
    const std::uint64_t room = hh - kk;
    const auto q = static_cast<std::int64_t>(
        MulDivFloor(static_cast<std::uint64_t>(w) * static_cast<std::uint64_t>(w), room, hh));
    const std::int64_t m = ISqrt(q);  // largest |2u+1-w| that fits
    const std::int64_t low = w - 1 - m;
    return std::max<std::int64_t>(0, low <= 0 ? -((-low) / 2) : (low + 1) / 2);
}

// Whether a stroke pixel at position `index` along a styled pen is drawn.
bool PatternOn(const int* pattern, int count, long long index) {
    if (pattern == nullptr) return true;
    int period = 0;
    for (int i = 0; i < count; ++i) period += pattern[i];
    long long pos = index % period;
    for (int i = 0; i < count; ++i) {
        if (pos < pattern[i]) return i % 2 == 0;
        pos -= pattern[i];
    }
    return false;
}

}  // namespace

struct Canvas::Figure {
    enum Kind { Box, Oval, Rounded } kind = Box;
    int left = 0, top = 0, right = 0, bottom = 0;
    int cornerWidth = 0, cornerHeight = 0;

    Figure Inset(int d) const {
        return {kind, left + d, top + d, right - d, bottom - d, std::max(0, cornerWidth - 2 * d),
                std::max(0, cornerHeight - 2 * d)};
    }

    // The pixels of row y that belong to the figure: [x0, x1], false when none.
    bool Row(int y, int& x0, int& x1) const {
        if (right <= left || bottom <= top || y < top || y >= bottom) return false;
        const std::int64_t w = static_cast<std::int64_t>(right) - left;
        const std::int64_t h = static_cast<std::int64_t>(bottom) - top;
        const std::int64_t v = static_cast<std::int64_t>(y) - top;
        std::int64_t inset = 0;
        if (kind == Oval) {
            inset = EllipseInset(w, h, v);
        } else if (kind == Rounded) {
            const std::int64_t ew = std::min<std::int64_t>(cornerWidth, w);
            const std::int64_t eh = std::min<std::int64_t>(cornerHeight, h);
            if (ew > 0 && eh > 0) {
                if (v < eh / 2)
                    inset = EllipseInset(ew, eh, v);
                else if (v >= h - eh / 2)
                    inset = EllipseInset(ew, eh, v - (h - eh));
            }
        }
        const std::int64_t a = left + inset;
        const std::int64_t b = static_cast<std::int64_t>(right) - 1 - inset;
        if (a > b) return false;
        x0 = static_cast<int>(a);
        x1 = static_cast<int>(b);
        return true;
    }
};

Canvas::Canvas(const platform::PixelView& target) : Canvas(target, Rect{0, 0, target.width, target.height}) {}

Canvas::Canvas(const platform::PixelView& target, const Rect& clip)
    : target_(target), clip_(clip.Intersect(Rect{0, 0, target.width, target.height})) {
    if (!target.Valid()) clip_ = {};
}

const int* Canvas::Pattern(PenStyle style, int& count) {
    switch (style) {
        case PenStyle::Dash: count = 2; return kDash;
        case PenStyle::Dot: count = 2; return kDot;
        case PenStyle::DashDot: count = 4; return kDashDot;
        case PenStyle::DashDotDot: count = 6; return kDashDotDot;
        default: count = 0; return nullptr;
    }
}

void Canvas::Plot(int x, int y, Colour colour) {
    if (clip_.Contains(Point{x, y})) target_.SetColour(x, y, colour);
}

void Canvas::Span(int y, int x0, int x1, Colour colour) {
    if (y < clip_.top || y >= clip_.bottom) return;
    x0 = std::max(x0, clip_.left);
    x1 = std::min(x1, clip_.right - 1);
    for (int x = x0; x <= x1; ++x) target_.SetColour(x, y, colour);
}

void Canvas::FillRect(const Rect& rect, Colour colour) {
    const Rect r = rect.Intersect(clip_);
    for (int y = r.top; y < r.bottom; ++y) Span(y, r.left, r.right - 1, colour);
}

void Canvas::DrawFigure(const Figure& figure) {
    if (clip_.Empty()) return;
    if (pen_.style == PenStyle::Null) {
        if (brush_.null) return;
        Figure f = figure;
        f.right -= 1;
        f.bottom -= 1;
        for (int y = std::max(f.top, clip_.top); y < std::min(f.bottom, clip_.bottom); ++y) {
            int x0, x1;
            if (f.Row(y, x0, x1)) Span(y, x0, x1, brush_.colour);
        }
        return;
    }

    const int w = std::max(1, pen_.width);
    Figure outer = figure;
    if (w > 1 && pen_.style != PenStyle::InsideFrame) {
        const int out = w / 2;
        outer = figure.Inset(-out);
    }
    const Figure inner = outer.Inset(w);
    int patternCount = 0;
    const int* pattern = w == 1 ? Pattern(pen_.style, patternCount) : nullptr;

    // Fill first, then the outline band: the part of each row of `outer` outside `inner`.
    std::vector<Point> styled;
    const int firstRow = pattern ? outer.top : std::max(outer.top, clip_.top);
    const int endRow = pattern ? outer.bottom : std::min(outer.bottom, clip_.bottom);
    for (int y = firstRow; y < endRow; ++y) {
        int a0, a1;
        if (!outer.Row(y, a0, a1)) continue;
        int b0, b1;
        const bool hasInner = inner.Row(y, b0, b1);
        if (hasInner && !brush_.null) Span(y, b0, b1, brush_.colour);
        const int segments[2][2] = {{a0, hasInner ? b0 - 1 : a1}, {hasInner ? b1 + 1 : a1 + 1, a1}};
        for (const auto& s : segments) {
            if (s[0] > s[1]) continue;
            if (!pattern) {
                Span(y, s[0], s[1], pen_.colour);
            } else {
                for (int x = s[0]; x <= s[1]; ++x) styled.push_back({x, y});
            }
        }
    }
    if (!pattern || styled.empty()) return;

    // Order the outline clockwise around the centre of the box, from its first pixel in row order.
    const double cx = static_cast<double>(outer.left) + outer.right;
    const double cy = static_cast<double>(outer.top) + outer.bottom;
    auto angle = [&](const Point& p) { return std::atan2(2.0 * p.y + 1 - cy, 2.0 * p.x + 1 - cx); };
    const double start = angle(styled.front());
    struct Keyed {
        double key;
        Point p;
    };
    std::vector<Keyed> order;
    order.reserve(styled.size());
    for (const Point& p : styled) {
        double k = angle(p) - start;
        while (k < 0) k += 2 * std::numbers::pi;
        order.push_back({k, p});
    }
    order.front().key = 0;
    std::stable_sort(order.begin(), order.end(), [](const Keyed& a, const Keyed& b) { return a.key < b.key; });
    for (std::size_t i = 0; i < order.size(); ++i)
        if (PatternOn(pattern, patternCount, static_cast<long long>(i))) Plot(order[i].p.x, order[i].p.y, pen_.colour);
}

void Canvas::Rectangle(int left, int top, int right, int bottom) {
    DrawFigure({Figure::Box, left, top, right, bottom, 0, 0});
}

void Canvas::Ellipse(int left, int top, int right, int bottom) {
    DrawFigure({Figure::Oval, left, top, right, bottom, 0, 0});
}

void Canvas::RoundRect(int left, int top, int right, int bottom, int cornerWidth, int cornerHeight) {
    DrawFigure({Figure::Rounded, left, top, right, bottom, std::max(0, cornerWidth), std::max(0, cornerHeight)});
}

void Canvas::Line(Point from, Point to) {
    if (pen_.style == PenStyle::Null || clip_.Empty()) return;
    const int w = std::max(1, pen_.width);
    int patternCount = 0;
    const int* pattern = w == 1 ? Pattern(pen_.style, patternCount) : nullptr;
    const long long dx = std::llabs(static_cast<long long>(to.x) - from.x);
    const long long dy = -std::llabs(static_cast<long long>(to.y) - from.y);
    const int sx = from.x < to.x ? 1 : -1;
    const int sy = from.y < to.y ? 1 : -1;
    long long err = dx + dy;
    int x = from.x, y = from.y;
    for (long long n = 0; x != to.x || y != to.y; ++n) {
        if (w == 1) {
            if (PatternOn(pattern, patternCount, n)) Plot(x, y, pen_.colour);
        } else {
            FillRect(Rect{x - w / 2, y - w / 2, x - w / 2 + w, y - w / 2 + w}, pen_.colour);
        }
        const long long e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

}  // namespace kestrune::ui
