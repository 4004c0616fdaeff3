// The shape box's properties and its painting, free of any window.
#include <algorithm>

#include "ui/controls/Canvas.h"
#include "forms/PropertyBlock.h"
#include "ui/controls/ShapeBox.h"

namespace kestrune::ui {

using platform::Colour;
using platform::kColourMarker;
using platform::Rect;

namespace {

constexpr Colour kWhite = 0xFFFFFF;
constexpr Colour kBlack = 0x000000;

void Clamp(ShapeBoxProperties& p) {
    p.shape = std::clamp(p.shape, 0, 7);
    p.borderEffect = std::clamp(p.borderEffect, 0, 2);
    p.lineStyle = std::clamp(p.lineStyle, 0, 5);
    p.lineWidth = std::max(p.lineWidth, 0);
}

PenStyle StyleOf(std::int32_t lineStyle) {
    switch (lineStyle) {
        case 0: return PenStyle::Null;
        case 1: return PenStyle::InsideFrame;
        case 2: return PenStyle::Dash;
        case 3: return PenStyle::Dot;
        case 4: return PenStyle::DashDot;
        default: return PenStyle::DashDotDot;
    }
}

}  // namespace

std::optional<ShapeBoxProperties> DecodeShapeBoxProperties(std::span<const std::uint8_t> block) {
    ShapeBoxProperties p;
    if (block.empty()) return p;
    forms::BlockReader in(block);
    std::uint32_t version = 0;
    if (!in.Colour(version) || version > kShapeBoxBlockVersion) return std::nullopt;
    if (!in.Colour(p.backColor) || !in.Int(p.shape) || !in.Int(p.borderEffect) || !in.Int(p.lineStyle) ||
        !in.Int(p.lineWidth) || !in.Colour(p.lineColor) || !in.Colour(p.fillColor))
        return std::nullopt;
    Clamp(p);
    return p;
}

forms::Bytes EncodeShapeBoxProperties(const ShapeBoxProperties& p) {
    forms::Bytes out;
    forms::AppendInt(out, kShapeBoxBlockVersion);
    forms::AppendInt(out, p.backColor);
    forms::AppendInt(out, static_cast<std::uint32_t>(p.shape));
    forms::AppendInt(out, static_cast<std::uint32_t>(p.borderEffect));
    forms::AppendInt(out, static_cast<std::uint32_t>(p.lineStyle));
    forms::AppendInt(out, static_cast<std::uint32_t>(p.lineWidth));
    forms::AppendInt(out, p.lineColor);
    forms::AppendInt(out, p.fillColor);
    return out;
}

bool SetShapeBoxProperty(ShapeBoxProperties& p, int ownIndex, const forms::Value& value) {
    const std::int32_t v = forms::AsInt(value);
    switch (ownIndex) {
        case kShapeBackColor: p.backColor = static_cast<Colour>(v); break;
        case kShapeShape: p.shape = v; break;
        case kShapeBorderEffect: p.borderEffect = v; break;
        case kShapeLineStyle: p.lineStyle = v; break;
        case kShapeLineWidth: p.lineWidth = v; break;
        case kShapeLineColor: p.lineColor = static_cast<Colour>(v); break;
        case kShapeFillColor: p.fillColor = static_cast<Colour>(v); break;
        default: return false;
    }
    Clamp(p);
    return true;
}

bool GetShapeBoxProperty(const ShapeBoxProperties& p, int ownIndex, forms::Value& out) {
    switch (ownIndex) {
        case kShapeBackColor: out = static_cast<std::int32_t>(p.backColor); return true;
        case kShapeShape: out = p.shape; return true;
        case kShapeBorderEffect: out = p.borderEffect; return true;
        case kShapeLineStyle: out = p.lineStyle; return true;
        case kShapeLineWidth: out = p.lineWidth; return true;
        case kShapeLineColor: out = static_cast<std::int32_t>(p.lineColor); return true;
        case kShapeFillColor: out = static_cast<std::int32_t>(p.fillColor); return true;
        default: return false;
    }
}

void PaintShapeBox(const ShapeBoxProperties& p, platform::Size client, Colour buttonFace,
                   const platform::PixelView& target, const Rect& clip) {
    Canvas canvas(target, clip.Intersect(Rect{0, 0, client.width, client.height}));
    if (canvas.Clip().Empty()) return;

    const PenStyle style = StyleOf(p.lineStyle);
    const int width = (p.borderEffect == 0 && p.lineStyle == 1) ? std::max(1, p.lineWidth) : 1;

    Rect r{0, 0, client.width, client.height};
    Pen first{style, width, p.lineColor};
    Pen second{style, 1, kBlack};
    if (p.borderEffect != 0) {
        first = Pen{style, 1, p.borderEffect == 1 ? kWhite : kBlack};
        second = Pen{style, 1, p.borderEffect == 1 ? kBlack : kWhite};
        if (p.shape != 7) r.top += 1;
        if (p.shape != 6) r.left += 1;
    }

    canvas.FillRect(canvas.Clip(), p.backColor == kColourMarker ? buttonFace : p.backColor);

    const int w = r.Width();
    const int h = r.Height();
    if (p.shape == 1 || p.shape == 3 || p.shape == 5) {
        if (h < w) {
            r.left += (w - h) / 2;
            r.right = r.left + h;
        } else if (w < h) {
            r.top += (h - w) / 2;
            r.bottom = r.top + w;
        }
    }

    const int passes = p.borderEffect != 0 ? 2 : 1;
    for (int pass = 0; pass < passes; ++pass) {
        canvas.SetPen(pass == 0 ? first : second);
        canvas.SetBrush(pass == 0 && p.fillColor != kColourMarker ? Brush::Solid(p.fillColor) : Brush::None());
        switch (p.shape) {
            case 0:
            case 1: canvas.Rectangle(r.left, r.top, r.right, r.bottom); break;
            case 2:
            case 3: canvas.Ellipse(r.left, r.top, r.right, r.bottom); break;
            case 4:
            case 5: canvas.RoundRect(r.left, r.top, r.right, r.bottom, w / 5, h / 5); break;
            case 6: canvas.Line({r.left, r.top}, {r.right, r.top}); break;
            default: canvas.Line({r.left, r.top}, {r.left, r.bottom}); break;
        }
        if (p.shape == 6) {
            r.top -= 1;
        } else if (p.shape == 7) {
            r.left -= 1;
        } else {
            r = Rect{r.left - 1, r.top - 1, r.right - 1, r.bottom - 1};
        }
    }
}

}  // namespace kestrune::ui
