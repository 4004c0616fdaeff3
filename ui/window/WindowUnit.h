// The `window` unit class (type 0x00010001): the object behind every top-level program window.
// It creates the native window from its own properties (ui/window/WindowProperties.h has the
// property block), places, shows and paints it, raises the window events, runs dialog mode, lets
// a borderless window be dragged, and carries out deferred destruction.
//
// Window events: 1 close query (second), 2 being destroyed, 3 moved, 4 resized, 12 close query (first).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "forms/UnitClass.h"
#include "forms/UnitLifetime.h"
#include "forms/WindowObject.h"
#include "platform/Platform.h"
#include "picture/Skin.h"
#include "ui/window/WindowProperties.h"

namespace kestrune::ui {

inline constexpr std::int32_t kWindowEventCreated = 0;
inline constexpr std::int32_t kWindowEventCloseQuery = 1;
inline constexpr std::int32_t kWindowEventDestroying = 2;
inline constexpr std::int32_t kWindowEventMoved = 3;
inline constexpr std::int32_t kWindowEventResized = 4;
inline constexpr std::int32_t kWindowEventFirstCloseQuery = 12;

// The private message that carries out a deferred destruction.
inline constexpr std::uint32_t kMessageDeferredDestroy = 0x8065;

// Registers the `window` class with the forms runtime.
void RegisterWindowClass();

// The icon file used by every window whose own Icon yields nothing (set once at start-up; empty: none).
void SetDefaultWindowIcon(std::span<const std::uint8_t> iconFile);

// The frame a window with these properties gets.
platform::FrameStyle ComputeFrameStyle(const WindowProperties& properties);

class WindowUnit final : public forms::WindowObject, public platform::WindowHost, private forms::UnitLifetime {
public:
    // Creates the native window (hidden); nullptr on failure.
    static std::unique_ptr<WindowUnit> Create(const forms::CreateArgs& args);
    ~WindowUnit() override;

    WindowUnit(const WindowUnit&) = delete;
    WindowUnit& operator=(const WindowUnit&) = delete;

    // forms::UnitObject
    platform::WindowId Handle() const override { return window_; }
    void PropertyChanged(int ownIndex, const forms::Value& value) override;
    forms::Bytes SaveProperties() const override;
    bool GetProperty(int ownIndex, forms::Value& out) override;

    // forms::WindowObject
    bool DestroyPending() const override { return destroyPending_; }
    void DestroyNow() override;
    void BringForward() override;
    void ShowForLoad() override;
    void BeginDialogMode() override;
    void EndDialogMode() override;
    bool InDialogMode() const override { return dialogMode_; }
    void SetLoadComplete(bool complete) override { loadComplete_ = complete; }
    bool LoadComplete() const override { return loadComplete_; }
    platform::Colour EffectiveBackColour() const override;

    // platform::WindowHost
    void Paint(const platform::PixelView& target, const platform::Rect& dirty) override;
    bool PreTranslateMouse(platform::WindowId target, const platform::MouseEvent& event) override;
    void CloseRequested() override;
    void Moved() override;
    void FocusIn() override;
    void Resized() override;
    void Posted(std::uint32_t code) override;
    void Destroyed() override;

    // Destruction as DestroyUnit asks for it: deferred through the private message unless `immediately`.
    void RequestDestroy(bool immediately) override;

    const WindowProperties& Properties() const { return props_; }
    using UnitLifetime::FormId;
    using UnitLifetime::UnitId;

private:
    explicit WindowUnit(const forms::CreateArgs& args) : UnitLifetime(args.formId, args.unitId) {}

    // Raises a window event without arguments; true when a bound handler returned logical false.
    // The object may be gone afterwards: callers check the native window first.
    bool RaiseRefusable(std::int32_t eventIndex);
    void RaisePlain(std::int32_t eventIndex);
    void ApplyFrameStyle();
    void ApplyIcons();
    void ApplyPosition();
    void Maximise();
    void RestoreIfMinOrMax();
    void InvalidateBackground();
    // Ends dialog mode, raises event 2 and destroys the native window. `this` may be gone afterwards.
    void DestroyNative();

    WindowProperties props_;
    Skin skin_;
    platform::Bitmap icon_;
    bool created_ = false;
    bool dialogMode_ = false;
    bool destroyPending_ = false;
    bool loadComplete_ = false;
    bool destroyingRaised_ = false;
    std::vector<std::pair<platform::WindowId, bool>> disabledWindows_;
};

}  // namespace kestrune::ui
