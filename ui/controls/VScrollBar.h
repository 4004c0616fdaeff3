// The `VScrollBar` unit class (type 0x00010012): a plain vertical scroll bar child window.
//
// Own properties (index counted from 8): 0 minimum (1), 1 maximum (100), 2 page step (10),
// 3 line step (1), 4 position (1), 5 follow the thumb while dragged (logical, true).
// Minimum, maximum, page and line step are kept within 1..32767 when written; the position stays
// within the range from the smaller to the larger of minimum and maximum.
//
// Property block: int32 format version (0 or 1; 1 is written), then the six values as int32 in the
// order above (all little-endian). Empty: the defaults. A larger version or a block that ends
// before the last value is invalid. The scroll bar raises no events.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "forms/UnitClass.h"
#include "forms/UnitLifetime.h"
#include "platform/Platform.h"

namespace kestrune::ui {

inline constexpr platform::Colour kScrollTroughColour = 0xF0F0F0;
inline constexpr platform::Colour kScrollThumbColour = 0xA0A0A0;
inline constexpr platform::Colour kScrollArrowColour = 0xD8D8D8;
inline constexpr platform::Colour kScrollGlyphColour = 0x404040;

struct ScrollBarProperties {
    std::int32_t minimum = 1;
    std::int32_t maximum = 100;
    std::int32_t pageStep = 10;
    std::int32_t lineStep = 1;
    std::int32_t position = 1;
    bool followThumb = true;
};

std::optional<ScrollBarProperties> DecodeScrollBarProperties(std::span<const std::uint8_t> block);
forms::Bytes EncodeScrollBarProperties(const ScrollBarProperties& properties);

// Where the thumb of a bar of this size lies: [top, bottom) in client rows (empty when no room).
struct ThumbSpan {
    int top = 0;
    int bottom = 0;
};
ThumbSpan ComputeThumb(const ScrollBarProperties& properties, int width, int height);

class VScrollBar final : public forms::UnitObject, public platform::WindowHost, private forms::UnitLifetime {
public:
    static std::unique_ptr<VScrollBar> Create(const forms::CreateArgs& args);
    ~VScrollBar() override;
    VScrollBar(const VScrollBar&) = delete;
    VScrollBar& operator=(const VScrollBar&) = delete;

    platform::WindowId Handle() const override { return window_; }
    void PropertyChanged(int ownIndex, const forms::Value& value) override;
    forms::Bytes SaveProperties() const override;
    bool GetProperty(int ownIndex, forms::Value& out) override;

    void Paint(const platform::PixelView& target, const platform::Rect& dirty) override;
    void Destroyed() override;

    const ScrollBarProperties& Properties() const { return props_; }

private:
    explicit VScrollBar(const forms::CreateArgs& args) : UnitLifetime(args.formId, args.unitId) {}

    ScrollBarProperties props_;
};

void RegisterVScrollBarClass();

}  // namespace kestrune::ui
