#include "ui/window/WindowUnit.h"

#include <algorithm>

#include "forms/Definition.h"
#include "forms/Events.h"
#include "forms/Loader.h"
#include "forms/Runtime.h"
#include "forms/TabStops.h"
#include "picture/Picture.h"

namespace kestrune::ui {

namespace {

using platform::Current;
using platform::ShowCommand;
using platform::WindowId;

struct DefaultIcon {
    std::vector<std::uint8_t> file;
    std::optional<platform::Bitmap> decoded;  // decoded at first use
    bool tried = false;
};

DefaultIcon& TheDefaultIcon() {
    static DefaultIcon icon;
    return icon;
}

std::optional<platform::Bitmap> DecodeIcon(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return std::nullopt;
    auto picture = DecodePicture(bytes);
    if (!picture || (picture->kind != kPictureIcon && picture->kind != kPictureCursor) || picture->icon.Empty())
        return std::nullopt;
    return std::move(picture->icon);
}

class WindowClass final : public forms::UnitClass {
public:
    std::uint32_t TypeCode() const override { return forms::kClassWindow; }
    const char* Name() const override { return "window"; }
    std::unique_ptr<forms::UnitObject> Create(const forms::CreateArgs& args) override {
        return WindowUnit::Create(args);
    }
};

}  // namespace

void RegisterWindowClass() {
    static WindowClass windowClass;
    forms::RegisterUnitClass(&windowClass);
}

void SetDefaultWindowIcon(std::span<const std::uint8_t> iconFile) {
    DefaultIcon& icon = TheDefaultIcon();
    icon.file.assign(iconFile.begin(), iconFile.end());
    icon.decoded.reset();
    icon.tried = false;
}

platform::FrameStyle ComputeFrameStyle(const WindowProperties& p) {
    platform::FrameStyle s;
    s.movable = p.movable;
    if (p.border != 0) {
        s.frame = true;
        s.caption = !p.title.empty() || p.controlButton;
        s.systemMenu = s.caption && p.controlButton;
        s.resizable = p.border == 1 || p.border == 3 || p.border == 5;
        s.toolWindow = p.border == 3 || p.border == 4;
        s.clientEdge = p.border == 5 || p.border == 6;
    }
    s.maximizeBox = p.maxButton;
    s.minimizeBox = p.minButton;
    return s;
}

std::unique_ptr<WindowUnit> WindowUnit::Create(const forms::CreateArgs& args) {
    auto props = DecodeWindowProperties(args.propertyBlock);
    if (!props) return nullptr;

    std::unique_ptr<WindowUnit> w(new WindowUnit(args));
    w->props_ = std::move(*props);
    w->skin_.SetPicture(w->props_.backPicture);
    w->skin_.pictureMode = w->props_.pictureMode;

    platform::Platform& pf = Current();
    const platform::FrameStyle style = ComputeFrameStyle(w->props_);
    const int width = std::max(0, args.width);
    const int height = std::max(0, args.height);
    int left = args.left;
    int top = args.top;
    if (w->props_.position == 1) {
        const platform::Size screen = pf.PrimaryScreenSize();
        left = (screen.width - width) / 2;   // integer division truncates toward zero
        top = (screen.height - height) / 2;
    }

    platform::TopLevelParams params;
    params.title = w->props_.title;
    params.style = style;
    params.outer = platform::Rect::FromXYWH(left, top, width, height);
    if (args.parent != 0) {
        params.owner = args.parent;
        params.skipTaskbar = true;  // an owned window has no taskbar button of its own
    } else if (args.dialogMode || !w->props_.showInTaskbar) {
        params.owner = forms::OwnerWindow();
        params.skipTaskbar = true;
    }
    params.disabled = (args.styleBits & forms::kStyleDisabled) != 0;
    params.topmost = w->props_.alwaysOnTop;

    w->window_ = pf.CreateTopLevel(params, w.get());
    if (w->window_ == 0) return nullptr;
    AttachSkin(w->window_, &w->skin_);

    // The frame exactly as computed, whatever the platform adds to a new top-level window.
    pf.SetFrameStyle(w->window_, style);
    const platform::Rect outer = pf.GetOuterRect(w->window_);
    if (outer.Width() != width || outer.Height() != height) {
        pf.Move(w->window_, {left, top});
        pf.Resize(w->window_, {width, height});
    }
    w->ApplyIcons();
    if (!args.accessibleName.empty())
        pf.SetAccessibility(w->window_, {platform::AccessibleRole::Default, std::string(args.accessibleName)});
    w->created_ = true;
    return w;
}

WindowUnit::~WindowUnit() {
    if (window_ != 0) DetachSkin(window_, &skin_);
    // Normally the native window is gone already (Destroyed deletes us through the runtime). A unit
    // deleted while its window still stands takes the window with it, without calling back.
    if (WindowStands()) {
        GoQuietly();  // before the owners are enabled again, which runs code of others
        EndDialogMode();
        DestroyQuietly();
    }
}

platform::Colour WindowUnit::EffectiveBackColour() const {
    return props_.backColor == platform::kColourMarker ? Current().ButtonFaceColour() : props_.backColor;
}

// ---- properties

void WindowUnit::PropertyChanged(int ownIndex, const forms::Value& value) {
    if (!props_.Set(ownIndex, value)) return;
    platform::Platform& pf = Current();
    const bool live = window_ != 0 && pf.Exists(window_);
    switch (ownIndex) {
        case kWinTitle:
            if (live) pf.SetTitle(window_, props_.title);
            ApplyFrameStyle();
            break;
        case kWinBorder:
        case kWinControlButton:
        case kWinMaxButton:
        case kWinMinButton:
        case kWinMovable:
            ApplyFrameStyle();
            break;
        case kWinBackColor:
            InvalidateBackground();
            break;
        case kWinBackPicture:
            skin_.SetPicture(props_.backPicture);
            InvalidateBackground();
            break;
        case kWinPictureMode:
            skin_.pictureMode = props_.pictureMode;
            if (!props_.backPicture.empty()) InvalidateBackground();
            break;
        case kWinPosition:
            ApplyPosition();
            break;
        case kWinIcon:
            ApplyIcons();
            break;
        case kWinAlwaysOnTop:
            if (live) pf.SetTopmost(window_, props_.alwaysOnTop);
            break;
        default:
            break;  // stored only
    }
}

forms::Bytes WindowUnit::SaveProperties() const { return EncodeWindowProperties(props_); }

bool WindowUnit::GetProperty(int ownIndex, forms::Value& out) {
    auto value = props_.Get(ownIndex);
    if (!value) return false;
    if (ownIndex == kWinPosition) {
        platform::Platform& pf = Current();
        if (window_ != 0 && pf.Exists(window_))
            value = forms::Value{pf.IsMinimized(window_) ? 2 : pf.IsMaximized(window_) ? 3 : 0};
    }
    out = std::move(*value);
    return true;
}

void WindowUnit::ApplyFrameStyle() {
    platform::Platform& pf = Current();
    if (window_ != 0 && pf.Exists(window_)) pf.SetFrameStyle(window_, ComputeFrameStyle(props_));
}

void WindowUnit::ApplyIcons() {
    platform::Platform& pf = Current();
    if (window_ == 0 || !pf.Exists(window_)) return;
    platform::Bitmap fresh;
    if (auto own = DecodeIcon(props_.icon)) {
        fresh = std::move(*own);
    } else {
        DefaultIcon& def = TheDefaultIcon();
        if (!def.tried) {
            def.tried = true;
            def.decoded = DecodeIcon(def.file);
        }
        if (def.decoded) fresh = *def.decoded;
    }
    if (fresh.Empty()) {
        pf.SetIcons(window_, nullptr, nullptr);
    } else {
        pf.SetIcons(window_, &fresh, &fresh);
    }
    icon_ = std::move(fresh);  // the previous icon goes only once the window has the new one
}

void WindowUnit::InvalidateBackground() {
    platform::Platform& pf = Current();
    if (window_ != 0 && pf.Exists(window_)) pf.Invalidate(window_);
}

// ---- placement and showing

void WindowUnit::RestoreIfMinOrMax() {
    platform::Platform& pf = Current();
    if (pf.IsMinimized(window_) || pf.IsMaximized(window_)) pf.Show(window_, ShowCommand::Restore);
}

void WindowUnit::Maximise() {
    // Every step may raise event 4, whose handler may destroy the window (and us).
    platform::Platform& pf = Current();
    const WindowId self = window_;
    RestoreIfMinOrMax();
    if (!pf.Exists(self)) return;
    pf.Show(self, ShowCommand::Maximized);
    if (!pf.Exists(self)) return;
    const platform::Rect area = pf.WorkAreaNear(self);
    pf.Move(self, {area.left, area.top});
    if (!pf.Exists(self)) return;
    pf.Resize(self, {area.Width(), area.Height()});
}

void WindowUnit::ApplyPosition() {
    platform::Platform& pf = Current();
    if (window_ == 0 || !pf.Exists(window_) || !pf.IsVisible(window_)) return;  // stored only
    const WindowId self = window_;
    switch (props_.position) {
        case 0:
            pf.Show(self, pf.IsMinimized(self) || pf.IsMaximized(self) ? ShowCommand::Restore : ShowCommand::Normal);
            break;
        case 1: {
            RestoreIfMinOrMax();
            if (!pf.Exists(self)) return;
            const platform::Rect outer = pf.GetOuterRect(self);
            const platform::Size screen = pf.PrimaryScreenSize();
            const platform::Point centred{(screen.width - outer.Width()) / 2, (screen.height - outer.Height()) / 2};
            if (centred.x != outer.left || centred.y != outer.top) pf.Move(self, centred);
            break;
        }
        case 2:
            pf.Show(self, ShowCommand::Minimized);
            break;
        case 3:
            Maximise();
            break;
        default:
            break;
    }
}

void WindowUnit::ShowForLoad() {
    platform::Platform& pf = Current();
    if (window_ == 0 || !pf.Exists(window_)) return;
    if (props_.position == 3)
        Maximise();
    else
        pf.Show(window_, props_.position == 2 ? ShowCommand::Minimized : ShowCommand::Normal);
}

void WindowUnit::BringForward() {
    platform::Platform& pf = Current();
    if (window_ == 0 || !pf.Exists(window_)) return;
    if (pf.IsMinimized(window_))
        pf.Show(window_, ShowCommand::Restore);
    else
        pf.Activate(window_);
}

// ---- dialog mode

void WindowUnit::BeginDialogMode() {
    platform::Platform& pf = Current();
    dialogMode_ = true;
    disabledWindows_.clear();
    const std::vector<std::uint32_t> loaded = forms::LoadedWindows();
    std::vector<WindowId> managed;
    for (std::uint32_t id : loaded)
        if (forms::WindowObject* w = forms::FindWindowObject(id)) managed.push_back(w->Handle());
    for (std::uint32_t id : loaded) {
        forms::WindowObject* w = forms::FindWindowObject(id);
        if (w == nullptr || w == this) continue;
        const WindowId h = w->Handle();
        if (h == 0 || h == window_ || !pf.Exists(h)) continue;
        const WindowId parent = pf.GetParent(h);
        if (parent != 0 && std::find(managed.begin(), managed.end(), parent) != managed.end()) continue;
        disabledWindows_.emplace_back(h, pf.IsEnabled(h));
        pf.Enable(h, false);
    }
}

namespace {

// True when the keyboard focus is in `window` or one of its descendants.
bool HoldsFocus(platform::Platform& pf, WindowId window) {
    for (WindowId w = pf.GetFocus(); w != 0; w = pf.GetParent(w))
        if (w == window) return true;
    return false;
}

}  // namespace

void WindowUnit::EndDialogMode() {
    if (!dialogMode_) return;
    dialogMode_ = false;
    auto list = std::move(disabledWindows_);
    disabledWindows_.clear();
    platform::Platform& pf = Current();
    WindowId comeBack = 0;
    for (const auto& [handle, wasEnabled] : list) {
        if (!pf.Exists(handle)) continue;
        pf.Enable(handle, wasEnabled);
        if (wasEnabled && comeBack == 0 && pf.IsVisible(handle) && !pf.IsMinimized(handle)) comeBack = handle;
    }
    // While the player is in this window, the window they come back to is activated before this one
    // goes; otherwise the system may hand the activation to another program. It takes its own focus
    // back (the page of its browser box).
    if (comeBack != 0 && HoldsFocus(pf, window_)) pf.Activate(comeBack);
}

// ---- events

bool WindowUnit::RaiseRefusable(std::int32_t eventIndex) {
    forms::EventNotice notice;
    notice.formId = formId_;
    notice.unitId = unitId_;
    notice.eventIndex = eventIndex;
    const bool handled = forms::RaiseEvent(notice);
    return handled && notice.hasResult && notice.result == 0;
}

void WindowUnit::RaisePlain(std::int32_t eventIndex) {
    forms::EventNotice notice;
    notice.formId = formId_;
    notice.unitId = unitId_;
    notice.eventIndex = eventIndex;
    forms::RaiseEvent(notice);
}

void WindowUnit::Moved() {
    if (created_ && !WindowGone()) RaisePlain(kWindowEventMoved);
}

void WindowUnit::Resized() {
    if (!created_ || WindowGone()) return;
    const WindowId self = window_;
    RaisePlain(kWindowEventResized);
    // The handler may have closed the window, or changed its units.
    const forms::WindowDefinition* definition = forms::FindDefinition(formId_);
    if (!Current().Exists(self) || definition == nullptr) return;
    std::vector<std::uint32_t> units;
    for (std::size_t i = 1; i < definition->units.size(); ++i) units.push_back(definition->units[i].unitId);
    for (std::uint32_t unit : units) {
        if (!Current().Exists(self)) return;
        if (forms::UnitObject* object = forms::FindUnitObject(formId_, unit)) object->WindowResized();
    }
}

// The window itself has the keyboard focus (shown, or activated with no place inside it to go back
// to): it passes it on to its first tab stop, a browser box's page in these windows, as a dialog
// gives it to its first control. Where the focus was inside the window is the system's to restore.
void WindowUnit::FocusIn() {
    platform::Platform& pf = Current();
    if (!created_ || WindowGone() || pf.GetFocus() != window_) return;
    if (const WindowId stop = forms::FirstTabStop(formId_); stop != 0) pf.SetFocus(stop);
}

void WindowUnit::CloseRequested() {
    platform::Platform& pf = Current();
    const WindowId self = window_;
    // After each event the object only exists if the native window still does.
    bool refused = RaiseRefusable(kWindowEventFirstCloseQuery);
    if (!pf.Exists(self) || refused) return;
    refused = RaiseRefusable(kWindowEventCloseQuery);
    if (!pf.Exists(self) || refused) return;
    DestroyNative();
}

// ---- destruction

void WindowUnit::RequestDestroy(bool immediately) {
    destroyPending_ = true;
    if (immediately)
        DestroyNative();
    else
        Current().Post(window_, kMessageDeferredDestroy);
}

void WindowUnit::Posted(std::uint32_t code) {
    if (code == kMessageDeferredDestroy && destroyPending_) DestroyNative();
}

void WindowUnit::DestroyNow() { DestroyNative(); }

void WindowUnit::DestroyNative() {
    platform::Platform& pf = Current();
    const WindowId self = window_;
    destroyPending_ = false;
    EndDialogMode();
    if (!pf.Exists(self)) return;
    if (!destroyingRaised_) {
        destroyingRaised_ = true;
        RaisePlain(kWindowEventDestroying);
        if (!pf.Exists(self)) return;  // the handler destroyed it already
    }
    pf.Destroy(self);  // Destroyed() follows and hands us back to the runtime
}

void WindowUnit::Destroyed() {
    if (!WindowEnded()) return;  // going quietly with the object
    DetachSkin(window_, &skin_);
    EndDialogMode();
    if (!destroyingRaised_) {
        destroyingRaised_ = true;
        RaisePlain(kWindowEventDestroying);
    }
    forms::WindowFinallyDestroyed(formId_);  // deletes this object: nothing may follow
}

// ---- input and painting

bool WindowUnit::PreTranslateMouse(WindowId target, const platform::MouseEvent& event) {
    if (!props_.dragAnywhere || event.action != platform::MouseAction::Press ||
        event.button != platform::MouseButton::Left)
        return false;
    platform::Platform& pf = Current();
    if (target == window_) {
        pf.BeginMoveDrag(window_, event);
        return false;  // the press is dispatched as well
    }
    const forms::WindowDefinition* def = forms::FindDefinition(formId_);
    if (def == nullptr) return false;
    for (std::size_t i = 1; i < def->units.size(); ++i) {
        const forms::UnitDefinition& unit = def->units[i];
        forms::UnitObject* object = forms::FindUnitObject(formId_, unit.unitId);
        if (object == nullptr || object->Handle() != target) continue;
        const forms::UnitClass* cls = forms::FindUnitClass(unit.classCode);
        if (cls == nullptr || !cls->AllowsDrag()) return false;
        pf.BeginMoveDrag(window_, event);
        return true;
    }
    return false;
}

void WindowUnit::Paint(const platform::PixelView& target, const platform::Rect& dirty) {
    const platform::Rect clip = dirty.Intersect({0, 0, target.width, target.height});
    if (clip.Empty()) return;
    skin_.backColour = EffectiveBackColour();
    skin_.pictureMode = props_.pictureMode;
    PaintBackground(skin_, target, clip);
}

}  // namespace kestrune::ui
