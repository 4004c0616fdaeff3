// A small software canvas over a PixelView: solid fills, pens and brushes, rectangles, ellipses,
// rounded rectangles and lines. Pixel-exact and deterministic, no anti-aliasing.
//
// Raster rules (right and bottom exclusive throughout):
//   - Rectangle(l, t, r, b) with a single-pixel pen outlines x l..r-1, y t..b-1 and fills inside
//     the outline. Ellipse and RoundRect are inscribed in the same box. A pixel belongs to an
//     ellipse when its centre lies inside the ellipse that touches the box's four sides.
//   - An inside-frame pen of width w draws a band w pixels wide just inside the box; the fill is
//     the figure of the box inset by w (a rounded rectangle's corners shrink by 2w as well).
//   - Other pens wider than one pixel are centred on the outline: the band reaches w/2 pixels
//     outside the single-pixel outline and (w-1)/2 inside it. They are always drawn solid.
//   - With the null pen only the fill is drawn, in the box shrunk by one pixel at the right and
//     bottom (the figure's outline would have taken that column and row).
//   - Line(from, to) draws from `from` up to, not including, `to` (Bresenham). A wide pen stamps
//     a w x w square centred on each pixel of that line (square ends).
//   - Styled single-pixel pens repeat their pattern pixel by pixel: dash 18 on 6 off, dot 3 on
//     3 off, dash-dot 9 on 6 off 3 on 6 off, dash-dot-dot 9 on 3 off 3 on 3 off 3 on 3 off. Gaps
//     are left untouched (transparent background). A line starts its pattern at `from`; a closed
//     figure starts at its top-left-most pixel and runs clockwise around the box centre.
//   - Every pixel written lies inside the clip rectangle (and the view).
#pragma once

#include <cstdint>

#include "platform/Bitmap.h"
#include "platform/Geometry.h"

namespace kestrune::ui {

enum class PenStyle { Null, Solid, InsideFrame, Dash, Dot, DashDot, DashDotDot };

struct Pen {
    PenStyle style = PenStyle::Solid;
    int width = 1;  // 0 and 1 both give a single-pixel pen
    platform::Colour colour = 0;
};

struct Brush {
    bool null = true;
    platform::Colour colour = 0;
    static Brush Solid(platform::Colour c) { return {false, c}; }
    static Brush None() { return {}; }
};

class Canvas {
public:
    explicit Canvas(const platform::PixelView& target);
    Canvas(const platform::PixelView& target, const platform::Rect& clip);

    const platform::Rect& Clip() const { return clip_; }
    void SetPen(const Pen& pen) { pen_ = pen; }
    void SetBrush(const Brush& brush) { brush_ = brush; }

    void FillRect(const platform::Rect& rect, platform::Colour colour);
    void Rectangle(int left, int top, int right, int bottom);
    void Ellipse(int left, int top, int right, int bottom);
    void RoundRect(int left, int top, int right, int bottom, int cornerWidth, int cornerHeight);
    void Line(platform::Point from, platform::Point to);

    // The on/off pattern of a styled pen, in pixels (on first); nullptr for unstyled pens.
    static const int* Pattern(PenStyle style, int& count);

private:
    struct Figure;
    void DrawFigure(const Figure& figure);
    void Plot(int x, int y, platform::Colour colour);
    void Span(int y, int x0, int x1, platform::Colour colour);  // x0..x1 inclusive

    platform::PixelView target_;
    platform::Rect clip_;
    Pen pen_;
    Brush brush_;
};

}  // namespace kestrune::ui
