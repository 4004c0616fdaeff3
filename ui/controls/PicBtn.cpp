#include "ui/controls/PicBtn.h"

#include <algorithm>
#include <cstring>

#include "forms/Definition.h"
#include "forms/Events.h"
#include "forms/Runtime.h"
#include "forms/PropertyBlock.h"
#include "picture/Picture.h"
#include "picture/Skin.h"

namespace kestrune::ui {

using platform::Bitmap;
using platform::Colour;
using platform::kColourMarker;
using platform::PixelView;
using platform::Rect;

namespace {

class PicBtnUnitClass final : public forms::UnitClass {
public:
    std::uint32_t TypeCode() const override { return forms::kClassPicBtn; }
    const char* Name() const override { return "PicBtn"; }
    std::unique_ptr<forms::UnitObject> Create(const forms::CreateArgs& args) override { return PicBtn::Create(args); }
    // A press on the button is the button's own: it never drags the window.
    bool AllowsDrag() const override { return false; }
};

std::int32_t ClampButtonType(std::int32_t v) { return std::clamp(v, 0, 1); }

}  // namespace

// ---- property block

std::optional<PicBtnProperties> DecodePicBtnProperties(std::span<const std::uint8_t> block) {
    PicBtnProperties p;
    if (block.empty()) return p;
    forms::BlockReader in(block);
    std::uint32_t version = 0;
    if (!in.Colour(version) || version > kPicBtnBlockVersion) return std::nullopt;
    std::int32_t type = 0, selected = 0;
    if (!in.Int(type) || !in.Int(selected) || !in.Colour(p.transparentColor)) return std::nullopt;
    for (forms::Bytes& picture : p.pictures)
        if (!in.Block(picture)) return std::nullopt;
    p.buttonType = ClampButtonType(type);
    p.selected = selected != 0;
    return p;
}

forms::Bytes EncodePicBtnProperties(const PicBtnProperties& p) {
    forms::Bytes out;
    forms::AppendInt(out, kPicBtnBlockVersion);
    forms::AppendInt(out, static_cast<std::uint32_t>(p.buttonType));
    forms::AppendInt(out, p.selected ? 1u : 0u);
    forms::AppendInt(out, p.transparentColor);
    for (const forms::Bytes& picture : p.pictures) forms::AppendBlock(out, picture);
    return out;
}

// ---- choosing and painting

int ChoosePicBtnPicture(int visualState, bool disabled, const std::array<bool, 4>& present) {
    int candidate = -1;
    if (visualState == kBtnStateHover && present[kPicHover]) candidate = kPicHover;
    if (visualState == kBtnStatePressed && present[kPicPressed]) candidate = kPicPressed;
    if (disabled && present[kPicDisabled]) candidate = kPicDisabled;
    if (candidate >= 0) return candidate;
    return present[kPicNormal] ? kPicNormal : -1;
}

void PaintPicBtn(const Bitmap* picture, const PixelView& target) {
    if (!target.Valid()) return;
    for (int y = 0; y < target.height; ++y) {
        std::uint8_t* row = target.Row(y);
        for (int x = 0; x < target.width; ++x) {
            row[x * 4 + 0] = row[x * 4 + 1] = row[x * 4 + 2] = 0;
            row[x * 4 + 3] = 0xFF;
        }
    }
    if (picture == nullptr || picture->Empty()) return;
    const int w = std::min(picture->Width(), target.width);
    const int h = std::min(picture->Height(), target.height);
    for (int y = 0; y < h; ++y)
        std::memcpy(target.Row(y), picture->Data() + static_cast<std::size_t>(y) * picture->Width() * 4,
                    static_cast<std::size_t>(w) * 4);
}

// ---- state machine

bool PicBtnStateMachine::SetVisualState(int state) {
    if (state == state_) return false;
    state_ = state;
    return true;
}

bool PicBtnStateMachine::ApplySelected(bool selected) {
    if (!toggle_) return false;
    down_ = selected;
    return SetVisualState(selected ? kBtnStatePressed : kBtnStateNormal);
}

PicBtnReaction PicBtnStateMachine::Handle(PicBtnInput input, const PicBtnPointer& pointer) {
    PicBtnReaction r;
    switch (input) {
        case PicBtnInput::Press:
            if (!pointer.inside || !pointer.enabled || toggle_) break;
            r.stateChanged = SetVisualState(kBtnStatePressed);
            r.capture = !pointer.captured;
            break;
        case PicBtnInput::DoublePress:
            // The second press of a double-click is not a press: no pressed picture, no capture.
            break;
        case PicBtnInput::Move:
            if (toggle_ || !pointer.enabled) {
                r.release = pointer.captured;
                break;
            }
            if (pointer.over) {
                r.capture = !pointer.captured;
                r.stateChanged = SetVisualState(pointer.leftDown ? kBtnStatePressed : kBtnStateHover);
            } else {
                // A drag that left keeps the capture, so that it is seen coming back.
                r.release = pointer.captured && !pointer.leftDown;
                r.stateChanged = SetVisualState(kBtnStateNormal);
            }
            break;
        case PicBtnInput::Release:
            r.release = pointer.captured;
            if (!pointer.inside || !pointer.enabled) break;
            if (toggle_) {
                down_ = !down_;
                r.stateChanged = SetVisualState(down_ ? kBtnStatePressed : kBtnStateNormal);
            } else {
                r.stateChanged = SetVisualState(kBtnStateNormal);
            }
            r.click = true;
            break;
    }
    return r;
}

// ---- the control

std::unique_ptr<PicBtn> PicBtn::Create(const forms::CreateArgs& args) {
    std::unique_ptr<PicBtn> button(new PicBtn(args));
    button->designMode_ = args.designMode;
    button->matte_ = forms::EffectiveWindowBackColour(args.formId);
    auto props = DecodePicBtnProperties(args.propertyBlock);
    if (!props) return nullptr;
    button->props_ = std::move(*props);

    platform::Platform& p = platform::Current();
    const Rect rect = Rect::FromXYWH(args.left, args.top, std::max(0, args.width), std::max(0, args.height));
    button->window_ = p.CreateChild(args.parent, rect, button.get());
    if (button->window_ == 0) return nullptr;
    if (args.styleBits & forms::kStyleDisabled) p.Enable(button->window_, false);
    p.SetAccessibility(button->window_, {platform::AccessibleRole::PushButton, std::string(args.accessibleName)});

    button->machine_ = PicBtnStateMachine(button->props_.buttonType == 1, button->props_.selected);
    for (int slot = 0; slot < 4; ++slot) button->Decode(slot);
    button->RefreshAndRepaint();
    if (button->machine_.ApplySelected(button->props_.selected)) button->RefreshAndRepaint();
    return button;
}

PicBtn::~PicBtn() {
    // Deleted while the window still exists (a load that failed half-way): take the window down
    // without reporting, the owner is already letting go of this object.
    DestroyQuietly();
}

void PicBtn::Decode(int slot) {
    const forms::Bytes& bytes = props_.pictures[static_cast<std::size_t>(slot)];
    bitmaps_[static_cast<std::size_t>(slot)] =
        bytes.empty() ? std::nullopt : DecodePictureToBitmap(bytes, matte_);
}

bool PicBtn::Disabled() const { return window_ != 0 && !platform::Current().IsEnabled(window_); }

const Bitmap* PicBtn::ChosenPicture() const {
    std::array<bool, 4> present{};
    for (std::size_t i = 0; i < 4; ++i) present[i] = bitmaps_[i].has_value();
    const int slot = ChoosePicBtnPicture(machine_.VisualState(), Disabled(), present);
    return slot < 0 ? nullptr : &*bitmaps_[static_cast<std::size_t>(slot)];
}

void PicBtn::RefreshOutline() {
    if (window_ == 0) return;
    platform::Platform& p = platform::Current();
    const bool hadRegion = region_.has_value();
    region_.reset();
    const Bitmap* picture = ChosenPicture();
    if (props_.transparentColor != kColourMarker && picture != nullptr)
        region_ = BuildRegionFromBitmap(*picture, props_.transparentColor);
    if (region_) p.SetShape(window_, &*region_);
    else if (hadRegion) p.SetShape(window_, nullptr);
    p.Invalidate(window_);
}

void PicBtn::RefreshAndRepaint() {
    RefreshOutline();
    if (window_ != 0) platform::Current().Repaint(window_);
}

void PicBtn::EnabledChanged(bool enabled) {
    (void)enabled;  // Disabled() asks the window itself
    RefreshAndRepaint();
}

void PicBtn::PropertyChanged(int ownIndex, const forms::Value& value) {
    switch (ownIndex) {
        case kBtnButtonType:
            props_.buttonType = ClampButtonType(forms::AsInt(value));
            machine_.SetToggle(props_.buttonType == 1);
            return;
        case kBtnSelected:
            props_.selected = forms::AsBool(value);
            if (machine_.ApplySelected(props_.selected)) RefreshAndRepaint();
            return;
        case kBtnNormalPicture:
        case kBtnHoverPicture:
        case kBtnPressedPicture:
        case kBtnDisabledPicture: {
            const int slot = ownIndex - kBtnNormalPicture;
            props_.pictures[static_cast<std::size_t>(slot)] = forms::AsBytes(value);
            Decode(slot);
            const bool showing = slot == kPicNormal ||
                                 (slot == kPicHover && machine_.VisualState() == kBtnStateHover) ||
                                 (slot == kPicPressed && machine_.VisualState() == kBtnStatePressed) ||
                                 (slot == kPicDisabled && Disabled());
            if (showing) RefreshAndRepaint();
            return;
        }
        case kBtnTransparentColor: {
            const Colour colour = static_cast<Colour>(forms::AsInt(value));
            if (colour == props_.transparentColor) return;
            props_.transparentColor = colour;
            RefreshAndRepaint();
            return;
        }
        default: return;
    }
}

forms::Bytes PicBtn::SaveProperties() const { return EncodePicBtnProperties(props_); }

bool PicBtn::GetProperty(int ownIndex, forms::Value& out) {
    switch (ownIndex) {
        case kBtnButtonType: out = props_.buttonType; return true;
        case kBtnSelected: out = forms::Logical{designMode_ ? props_.selected : machine_.Down()}; return true;
        case kBtnNormalPicture:
        case kBtnHoverPicture:
        case kBtnPressedPicture:
        case kBtnDisabledPicture:
            out = props_.pictures[static_cast<std::size_t>(ownIndex - kBtnNormalPicture)];
            return true;
        case kBtnTransparentColor: out = static_cast<std::int32_t>(props_.transparentColor); return true;
        default: return false;
    }
}

void PicBtn::Paint(const PixelView& target, const Rect& dirty) {
    (void)dirty;
    if (!target.Valid()) return;
    // Composed off-screen, then copied to the window in one go, so the face never flickers black.
    Bitmap offscreen(target.width, target.height);
    PaintPicBtn(ChosenPicture(), offscreen.View());
    const std::size_t rowBytes = static_cast<std::size_t>(target.width) * 4;
    for (int y = 0; y < target.height; ++y)
        std::memcpy(target.Row(y), offscreen.Data() + static_cast<std::size_t>(y) * rowBytes, rowBytes);
}

void PicBtn::Mouse(const platform::MouseEvent& event) {
    if (window_ == 0) return;
    PicBtnInput input;
    switch (event.action) {
        case platform::MouseAction::Press:
            if (event.button != platform::MouseButton::Left) return;
            input = PicBtnInput::Press;
            break;
        case platform::MouseAction::DoublePress:
            if (event.button != platform::MouseButton::Left) return;
            input = PicBtnInput::DoublePress;
            break;
        case platform::MouseAction::Release:
            if (event.button != platform::MouseButton::Left) return;
            input = PicBtnInput::Release;
            break;
        case platform::MouseAction::Move: input = PicBtnInput::Move; break;
        default: return;  // leaving is seen through the capture
    }

    platform::Platform& p = platform::Current();
    const platform::Size client = p.GetClientSize(window_);
    PicBtnPointer pointer;
    pointer.inside = Rect{0, 0, client.width, client.height}.Contains(event.client);
    pointer.leftDown = event.leftDown;
    pointer.enabled = p.IsEnabled(window_);
    pointer.captured = p.GetCapture() == window_;
    if (input == PicBtnInput::Move) {
        // Asking which window is under the pointer makes a point cut away by the outline, or covered
        // by another window (ours or another program's), count as outside. Only where there is no
        // window at all does the client rectangle decide.
        const platform::WindowId under = p.WindowFromScreenPoint(event.screen);
        pointer.over = under == window_ || (under == 0 && pointer.inside);
    }

    const PicBtnReaction reaction = machine_.Handle(input, pointer);
    if (reaction.release) p.ReleaseCapture();
    if (reaction.capture) p.SetCapture(window_);
    if (reaction.stateChanged) RefreshAndRepaint();
    if (reaction.click) RaiseClick();  // last: the handler may destroy this object
}

// Assistive technology's press does what a click does, on an enabled button.
void PicBtn::AccessibleAction() {
    if (window_ != 0 && platform::Current().IsEnabled(window_)) RaiseClick();
}

void PicBtn::RaiseClick() {
    // The handler may destroy the window holding this button: nothing of this object is used after it.
    forms::EventNotice notice;
    notice.formId = formId_;
    notice.unitId = unitId_;
    notice.eventIndex = kPicBtnClickEvent;
    notice.argCount = 0;
    forms::RaiseEvent(notice);
}

void PicBtn::Destroyed() { ReportControlGone(); }  // deletes this object

forms::UnitClass& PicBtnClass() {
    static PicBtnUnitClass instance;
    return instance;
}

void RegisterPicBtnClass() { forms::RegisterUnitClass(&PicBtnClass()); }

}  // namespace kestrune::ui
