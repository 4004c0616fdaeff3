// A window host for tests of the seam's backends: it fills its client area with one colour and
// records what happens to its window (paints, input, moves, posted codes, its end).
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <ostream>
#include <utility>
#include <vector>

#include "platform/Platform.h"

namespace kestrune::platform {
// Rectangles as test failures print them.
inline std::ostream& operator<<(std::ostream& os, const Rect& r) {
    return os << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}
}  // namespace kestrune::platform

namespace kestrune::testing {

class RecordingWindowHost : public platform::WindowHost {
public:
    explicit RecordingWindowHost(platform::Colour c = 0x00FFFFFF) : colour(c) {}
    void Paint(const platform::PixelView& target, const platform::Rect& dirty) override {
        ++paints;
        const platform::Rect r = dirty.Intersect({0, 0, target.width, target.height});
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) target.SetColour(x, y, colour);
    }
    bool PreTranslateMouse(platform::WindowId target, const platform::MouseEvent& e) override {
        pre.push_back({target, e});
        return swallow;
    }
    void Mouse(const platform::MouseEvent& e) override {
        mouse.push_back(e);
        if (onMouse) onMouse(e);
    }
    void CloseRequested() override { ++closes; }
    void Moved() override { ++moves; }
    void Resized() override { ++resizes; }
    void Posted(std::uint32_t code) override {
        posted.push_back(code);
        if (onPosted) onPosted(code);
    }
    void Destroyed() override {
        ++destroyed;
        if (onDestroyed) onDestroyed();
    }

    // Mouse events of `action`; presses and releases of `button` only (moves and leaves have none).
    int Count(platform::MouseAction action, platform::MouseButton button = platform::MouseButton::Left) const {
        return static_cast<int>(std::count_if(mouse.begin(), mouse.end(), [&](const platform::MouseEvent& e) {
            return e.action == action && (action == platform::MouseAction::Move ||
                                          action == platform::MouseAction::Leave || e.button == button);
        }));
    }

    platform::Colour colour;
    int paints = 0, closes = 0, moves = 0, resizes = 0, destroyed = 0;
    bool swallow = false;
    std::vector<std::pair<platform::WindowId, platform::MouseEvent>> pre;
    std::vector<platform::MouseEvent> mouse;
    std::vector<std::uint32_t> posted;
    std::function<void(const platform::MouseEvent&)> onMouse;
    std::function<void(std::uint32_t)> onPosted;
    std::function<void()> onDestroyed;
};

}  // namespace kestrune::testing
