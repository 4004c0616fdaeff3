// The `ShapeBox` unit class (type 0x00010007): a container child window that paints a background
// colour and one figure with a chosen outline and fill.
//
// Own properties (index counted from 8):
//   0 BackColor     colour; 0xFF000000 is the button-face colour     default 0xFF000000
//   1 Shape         0 rectangle, 1 square, 2 ellipse, 3 circle, 4 rounded rectangle,
//                   5 rounded square, 6 horizontal line, 7 vertical line (clamped)   default 0
//   2 BorderEffect  0 flat, 1 raised (white, then black), 2 sunken (black, then white)  default 0
//   3 LineStyle     0 none, 1 solid inside the frame, 2 dash, 3 dot, 4 dash-dot, 5 dash-dot-dot
//                   (clamped)                                                    default 1
//   4 LineWidth     pixels; a negative value is stored as 0                      default 1
//   5 LineColor     colour, used as stored                                       default 0
//   6 FillColor     colour; 0xFF000000 is no fill                                default 0xFF000000
//
// Property block: eight int32 little-endian values, the format version (0 or 1; 1 is written)
// followed by the seven properties in the order above. Empty: the defaults. A larger version, or a
// block that ends before the last value, is invalid. Values read from a block are clamped like
// written ones.
//
// Child windows' notifications (owner-draw, scrolling, control colours) are not forwarded: the
// platform seam has no such notifications, every control paints and scrolls itself.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "forms/UnitClass.h"
#include "forms/UnitLifetime.h"
#include "platform/Platform.h"

namespace kestrune::ui {

inline constexpr std::uint32_t kShapeBoxBlockVersion = 1;

enum ShapeBoxOwnProperty : int {
    kShapeBackColor = 0,
    kShapeShape = 1,
    kShapeBorderEffect = 2,
    kShapeLineStyle = 3,
    kShapeLineWidth = 4,
    kShapeLineColor = 5,
    kShapeFillColor = 6,
};

struct ShapeBoxProperties {
    platform::Colour backColor = platform::kColourMarker;
    std::int32_t shape = 0;
    std::int32_t borderEffect = 0;
    std::int32_t lineStyle = 1;
    std::int32_t lineWidth = 1;
    platform::Colour lineColor = 0;
    platform::Colour fillColor = platform::kColourMarker;
    friend bool operator==(const ShapeBoxProperties&, const ShapeBoxProperties&) = default;
};

std::optional<ShapeBoxProperties> DecodeShapeBoxProperties(std::span<const std::uint8_t> block);
forms::Bytes EncodeShapeBoxProperties(const ShapeBoxProperties& properties);
// Stores a written value with its clamp; false for an unknown index.
bool SetShapeBoxProperty(ShapeBoxProperties& properties, int ownIndex, const forms::Value& value);
bool GetShapeBoxProperty(const ShapeBoxProperties& properties, int ownIndex, forms::Value& out);

// Paints a client area of `client` size into `target` (which covers the client area), touching
// only pixels inside `clip`. `buttonFace` resolves the BackColor marker.
void PaintShapeBox(const ShapeBoxProperties& properties, platform::Size client, platform::Colour buttonFace,
                   const platform::PixelView& target, const platform::Rect& clip);

class ShapeBox final : public forms::UnitObject, public platform::WindowHost, private forms::UnitLifetime {
public:
    // nullptr when the block is invalid or the window cannot be created. The window starts hidden.
    static std::unique_ptr<ShapeBox> Create(const forms::CreateArgs& args);
    ~ShapeBox() override;
    ShapeBox(const ShapeBox&) = delete;
    ShapeBox& operator=(const ShapeBox&) = delete;

    platform::WindowId Handle() const override { return window_; }
    void PropertyChanged(int ownIndex, const forms::Value& value) override;
    forms::Bytes SaveProperties() const override;
    bool GetProperty(int ownIndex, forms::Value& out) override;

    void Paint(const platform::PixelView& target, const platform::Rect& dirty) override;
    void Destroyed() override;

    const ShapeBoxProperties& Properties() const { return props_; }

private:
    explicit ShapeBox(const forms::CreateArgs& args) : UnitLifetime(args.formId, args.unitId) {}

    ShapeBoxProperties props_;
};

// The class object (with drag-anywhere acting on it); RegisterShapeBoxClass registers this one.
forms::UnitClass& ShapeBoxClass();
void RegisterShapeBoxClass();

}  // namespace kestrune::ui
