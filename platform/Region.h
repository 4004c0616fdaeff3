// A window outline as a set of disjoint rectangles (band order: by row, then by x).
#pragma once

#include <vector>

#include "platform/Geometry.h"

namespace kestrune::platform {

class Region {
public:
    Region() = default;
    explicit Region(std::vector<Rect> rects) : rects_(std::move(rects)) {}

    const std::vector<Rect>& Rects() const { return rects_; }
    bool Empty() const { return rects_.empty(); }
    bool Contains(Point p) const {
        for (const Rect& r : rects_)
            if (r.Contains(p)) return true;
        return false;
    }
    // Union with a region whose rectangles do not overlap ours (what the bitmap builder produces).
    void AppendDisjoint(const Region& other) { rects_.insert(rects_.end(), other.rects_.begin(), other.rects_.end()); }
    Rect Bounds() const {
        if (rects_.empty()) return {};
        Rect b = rects_.front();
        for (const Rect& r : rects_) {
            b.left = r.left < b.left ? r.left : b.left;
            b.top = r.top < b.top ? r.top : b.top;
            b.right = r.right > b.right ? r.right : b.right;
            b.bottom = r.bottom > b.bottom ? r.bottom : b.bottom;
        }
        return b;
    }

private:
    std::vector<Rect> rects_;
};

}  // namespace kestrune::platform
