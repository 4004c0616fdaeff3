// The `PicBtn` unit class (type 0x0001002D): a button drawn entirely from pictures.
//
// Own properties (index counted from 8):
//   0 ButtonType        0 push button, 1 toggle button (clamped)      default 0
//   1 Selected          logical: pressed-down state of a toggle button default false
//   2 NormalPicture     picture file bytes                             default none
//   3 HoverPicture      picture file bytes, shown while hovered        default none
//   4 PressedPicture    picture file bytes, shown while pressed        default none
//   5 DisabledPicture   picture file bytes, shown while disabled       default none
//   6 TransparentColor  colour keyed out of the outline; 0xFF000000 none   default 0xFF000000
//
// Property block (int32 little-endian): format version (0 or 1; 1 is written), ButtonType,
// Selected, TransparentColor, then the four pictures in the order above, each an int32 byte count
// (zero or negative: none) followed by the bytes. Empty: the defaults. A larger version, or a block
// that ends before its last field (or whose byte count runs past the end), is invalid.
//
// The button raises event 0 (click, no arguments) when the left button is released inside it
// while it is enabled. It has no keyboard handling.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "forms/UnitClass.h"
#include "forms/UnitLifetime.h"
#include "platform/Bitmap.h"
#include "platform/Platform.h"
#include "platform/Region.h"

namespace kestrune::ui {

inline constexpr std::uint32_t kPicBtnBlockVersion = 1;
inline constexpr std::int32_t kPicBtnClickEvent = 0;

enum PicBtnOwnProperty : int {
    kBtnButtonType = 0,
    kBtnSelected = 1,
    kBtnNormalPicture = 2,
    kBtnHoverPicture = 3,
    kBtnPressedPicture = 4,
    kBtnDisabledPicture = 5,
    kBtnTransparentColor = 6,
};

// Picture slots, in block order.
enum PicBtnPicture : int { kPicNormal = 0, kPicHover = 1, kPicPressed = 2, kPicDisabled = 3 };

// Visual states.
enum PicBtnState : int { kBtnStateNormal = 0, kBtnStateHover = 1, kBtnStatePressed = 2 };

struct PicBtnProperties {
    std::int32_t buttonType = 0;
    bool selected = false;
    platform::Colour transparentColor = platform::kColourMarker;
    std::array<forms::Bytes, 4> pictures;
    friend bool operator==(const PicBtnProperties&, const PicBtnProperties&) = default;
};

std::optional<PicBtnProperties> DecodePicBtnProperties(std::span<const std::uint8_t> block);
forms::Bytes EncodePicBtnProperties(const PicBtnProperties& properties);

// Which picture slot to show: hover in state 1, pressed in state 2, the disabled picture instead
// when disabled and present, else the normal one. -1 when that slot has no bitmap either.
int ChoosePicBtnPicture(int visualState, bool disabled, const std::array<bool, 4>& present);

// Paints the button: black, with `picture` (may be null) copied 1:1 at (0, 0) and cut at the edge.
void PaintPicBtn(const platform::Bitmap* picture, const platform::PixelView& target);

// The pointer-driven part of the button: visual state, toggle and down flags, capture and click.
// It only decides; the caller performs the requests (release first, then capture, then the state
// change, then the click).
enum class PicBtnInput { Press, DoublePress, Move, Release };

struct PicBtnPointer {
    bool inside = false;    // inside the client rectangle
    bool over = false;      // moves only: the window under the pointer is the button (see below)
    bool leftDown = false;  // left button held while moving
    bool enabled = true;
    bool captured = false;  // the button holds the capture now
};

struct PicBtnReaction {
    bool release = false;       // release the capture (when held)
    bool capture = false;       // take the capture
    bool stateChanged = false;  // the visual state changed: refresh outline, repaint now
    bool click = false;         // raise the click event, as the very last thing
};

class PicBtnStateMachine {
public:
    PicBtnStateMachine() = default;
    PicBtnStateMachine(bool toggle, bool down) : toggle_(toggle), down_(down) {}

    int VisualState() const { return state_; }
    bool Down() const { return down_; }
    bool Toggle() const { return toggle_; }
    void SetToggle(bool toggle) { toggle_ = toggle; }

    // Left-button press, double press, release, or pointer movement (with `over` filled in).
    PicBtnReaction Handle(PicBtnInput input, const PicBtnPointer& pointer);
    // Selected written: in toggle mode it sets the down flag and the state. True when the state changed.
    bool ApplySelected(bool selected);
    // True when the state really changed.
    bool SetVisualState(int state);

private:
    bool toggle_ = false;
    bool down_ = false;
    int state_ = kBtnStateNormal;
};

class PicBtn final : public forms::UnitObject, public platform::WindowHost, private forms::UnitLifetime {
public:
    // nullptr when the block is invalid or the window cannot be created. The window starts hidden.
    static std::unique_ptr<PicBtn> Create(const forms::CreateArgs& args);
    ~PicBtn() override;
    PicBtn(const PicBtn&) = delete;
    PicBtn& operator=(const PicBtn&) = delete;

    platform::WindowId Handle() const override { return window_; }
    void PropertyChanged(int ownIndex, const forms::Value& value) override;
    forms::Bytes SaveProperties() const override;
    bool GetProperty(int ownIndex, forms::Value& out) override;

    // Enabled or disabled through common property 6: the outline is refreshed and the button
    // repainted, so that the disabled picture comes and goes with it.
    void EnabledChanged(bool enabled) override;

    void Paint(const platform::PixelView& target, const platform::Rect& dirty) override;
    void Mouse(const platform::MouseEvent& event) override;
    void AccessibleAction() override;
    void Destroyed() override;

    int VisualState() const { return machine_.VisualState(); }
    bool Down() const { return machine_.Down(); }
    platform::Colour Matte() const { return matte_; }
    const PicBtnProperties& Properties() const { return props_; }
    // The picture that would be shown now, or nullptr.
    const platform::Bitmap* ChosenPicture() const;

private:
    explicit PicBtn(const forms::CreateArgs& args) : UnitLifetime(args.formId, args.unitId) {}
    void RaiseClick();
    void Decode(int slot);
    void RefreshOutline();
    void RefreshAndRepaint();
    bool Disabled() const;

    bool designMode_ = false;
    PicBtnProperties props_;
    PicBtnStateMachine machine_;
    platform::Colour matte_ = 0;
    std::array<std::optional<platform::Bitmap>, 4> bitmaps_;
    std::optional<platform::Region> region_;
};

forms::UnitClass& PicBtnClass();
void RegisterPicBtnClass();

}  // namespace kestrune::ui
