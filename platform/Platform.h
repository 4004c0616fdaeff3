// The seam to the operating system's windowing: native windows and child windows, outlines,
// painting, input, the message loop (nested loops, posted messages, thread timers) and the web view.
// Nothing above platform/ includes a toolkit header; a backend (platform/gtk/ or platform/win32/) implements this.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/Bitmap.h"
#include "platform/Geometry.h"
#include "platform/Region.h"

namespace kestrune::platform {

// A native window as a 32-bit number; 0 is none. Ids are never reused during a run.
using WindowId = std::uint32_t;
// What the hit test answers where the window in front is not one of the program's own (another
// program's window, or one the toolkit made by itself). Never the id of one of our windows.
inline constexpr WindowId kForeignWindow = 0xFFFFFFFFu;
using TimerId = std::uint32_t;
using CursorId = std::uint32_t;

enum class MouseButton { None, Left, Right, Middle };
enum class MouseAction { Press, DoublePress, Release, Move, Leave };

struct MouseEvent {
    MouseAction action = MouseAction::Move;
    MouseButton button = MouseButton::None;
    Point client;     // in the receiving window's client coordinates
    Point screen;     // in screen coordinates
    bool leftDown = false;  // state of the left button when the event happened
    std::uint32_t time = 0;
};

// Callbacks from the backend into the core, one host per native window.
class WindowHost {
public:
    virtual ~WindowHost() = default;
    // Draw the client area. `target` covers the whole client area; at least `dirty` must be drawn.
    virtual void Paint(const PixelView& target, const Rect& dirty) { (void)target; (void)dirty; }
    // Only called on top-level windows, for every mouse event addressed to the window or to one of
    // its descendant windows (never for a web view's own input). True swallows the event.
    virtual bool PreTranslateMouse(WindowId target, const MouseEvent& event) { (void)target; (void)event; return false; }
    virtual void Mouse(const MouseEvent& event) { (void)event; }
    // The user asked to close a top-level window (close box, Alt+F4, window-manager close).
    // The backend never closes by itself: the host decides and destroys.
    virtual void CloseRequested() {}
    virtual void Moved() {}
    virtual void Resized() {}          // any size change, minimise and maximise included
    virtual void FocusIn() {}
    // An assistive technology invoked the window's default action (a push button's press).
    virtual void AccessibleAction() {}
    virtual void Posted(std::uint32_t code) { (void)code; }
    // The native window is being destroyed and its child windows still exist (Windows: WM_DESTROY).
    // A host that holds an embedded object in the window lets it go here, while its windows are alive.
    virtual void Destroying() {}
    // The native window is gone (children are destroyed before their parent). Last call on the host.
    virtual void Destroyed() {}
};

struct FrameStyle {
    bool frame = false;        // any frame at all (false: no caption, no border)
    bool caption = false;
    bool systemMenu = false;
    bool resizable = false;
    bool maximizeBox = false;
    bool minimizeBox = false;
    bool toolWindow = false;   // narrow caption
    bool clientEdge = false;   // sunken client edge
    bool movable = true;
    friend bool operator==(const FrameStyle&, const FrameStyle&) = default;
};

struct TopLevelParams {
    std::string title;        // UTF-8 on this platform
    FrameStyle style;
    Rect outer;               // screen coordinates of the outer rectangle
    WindowId owner = 0;       // owned windows stay in front of their owner
    bool skipTaskbar = false;
    bool disabled = false;
    bool topmost = false;
};

// How assistive technology sees a window: a push button with a spoken name and a press action that
// reaches WindowHost::AccessibleAction, a decoration that is no control at all, or the toolkit's
// default (a pane; a top-level window with its title).
enum class AccessibleRole { Default, PushButton, Decoration };
struct Accessibility {
    AccessibleRole role = AccessibleRole::Default;
    std::string name;  // UTF-8; empty: the default (a top-level window's title)
};

enum class ShowCommand { Hide, Normal, NoActivate, Minimized, Maximized, Restore };

// Neutral message numbers for windows whose procedure slot can be replaced (page windows below a web view).
enum WindowMessage : std::uint32_t {
    kMessageDestroy = 0x0002,
    kMessageNcDestroy = 0x0082,  // the very last message (Windows); GTK's page windows end at kMessageDestroy
    kMessageContextMenu = 0x007B,
    kMessageRightButtonDown = 0x0204,
    kMessageRightButtonUp = 0x0205,
};
// A replaceable window procedure: returns the message's result. A procedure that does not swallow a
// message passes it to the one it replaced through CallWindowProc.
using WindowProc = std::intptr_t (*)(WindowId window, std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam);

class WebView;
class WebViewHost;
struct WebViewMode;

class Platform {
public:
    virtual ~Platform() = default;

    // ---- windows
    virtual WindowId CreateTopLevel(const TopLevelParams& params, WindowHost* host) = 0;
    // The hidden, never-shown owner of windows that must stay out of the taskbar.
    virtual WindowId CreateOwnerWindow() = 0;
    // A child window at `rect` (parent client coordinates), created hidden.
    virtual WindowId CreateChild(WindowId parent, const Rect& rect, WindowHost* host) = 0;
    // Destroys the window and its descendants; hosts get Destroyed() children first. No-op for unknown ids.
    virtual void Destroy(WindowId window) = 0;
    virtual bool Exists(WindowId window) const = 0;

    // The parent of a child window, the owner of a top-level one, or 0.
    virtual WindowId GetParent(WindowId window) const = 0;
    virtual void SetParent(WindowId child, WindowId newParent) = 0;  // keeps left and top
    virtual WindowId FirstChild(WindowId window) const = 0;          // frontmost child, or 0
    virtual void PlaceBehind(WindowId window, WindowId sibling) = 0; // directly behind a sibling
    virtual void PlaceFront(WindowId window) = 0;                    // in front of all siblings

    // Top-level: screen coordinates of the outer rectangle (frame and caption included).
    // Child: rectangle in the parent's client coordinates.
    virtual Rect GetOuterRect(WindowId window) const = 0;
    virtual Size GetClientSize(WindowId window) const = 0;
    virtual Point ClientToScreen(WindowId window, Point p) const = 0;
    virtual void Move(WindowId window, Point topLeft) = 0;  // no resize, no activation, no re-ordering
    virtual void Resize(WindowId window, Size outer) = 0;   // no move, no activation, no re-ordering

    virtual void Show(WindowId window, ShowCommand command) = 0;
    virtual bool IsVisible(WindowId window) const = 0;
    virtual bool IsMinimized(WindowId window) const = 0;
    virtual bool IsMaximized(WindowId window) const = 0;
    virtual void Enable(WindowId window, bool enabled) = 0;
    virtual bool IsEnabled(WindowId window) const = 0;
    virtual void Activate(WindowId window) = 0;
    virtual void SetFocus(WindowId window) = 0;
    virtual WindowId GetFocus() const = 0;

    virtual void SetTitle(WindowId window, const std::string& title) = 0;
    virtual void SetAccessibility(WindowId window, const Accessibility& accessibility) = 0;
    virtual void SetFrameStyle(WindowId window, const FrameStyle& style) = 0;
    virtual void SetTopmost(WindowId window, bool topmost) = 0;
    virtual void SetIcons(WindowId window, const Bitmap* big, const Bitmap* small) = 0;
    // Outline of a top-level window, in outer-rectangle coordinates; it is both the visible and the
    // input shape. nullptr removes it.
    virtual void SetShape(WindowId window, const Region* region) = 0;
    virtual void Invalidate(WindowId window) = 0;
    virtual void Repaint(WindowId window) = 0;  // paint now

    // ---- input
    virtual void BeginMoveDrag(WindowId topLevel, const MouseEvent& press) = 0;
    virtual void SetCapture(WindowId window) = 0;
    virtual void ReleaseCapture() = 0;
    virtual WindowId GetCapture() const = 0;
    // The window of ours in front at a screen point, looking through outlines: kForeignWindow when a
    // window that is not ours is in front there, 0 when there is no window at all.
    virtual WindowId WindowFromScreenPoint(Point screen) const = 0;
    // System pointers by their standard codes (32512 arrow ... 32649 hand); the hand is the program's own.
    virtual CursorId LoadSystemCursor(int code) = 0;
    virtual CursorId CreateCursor(const Bitmap& image, Point hotspot) = 0;
    virtual void DestroyCursor(CursorId cursor) = 0;
    virtual void SetWindowCursor(WindowId window, CursorId cursor) = 0;  // 0: the class pointer

    // ---- procedure slot (supported for page windows below a web view; others return nullptr)
    virtual WindowProc SetWindowProc(WindowId window, WindowProc proc) = 0;
    virtual std::intptr_t CallWindowProc(WindowProc previous, WindowId window, std::uint32_t message,
                                         std::intptr_t wParam, std::intptr_t lParam) = 0;

    // ---- message loop
    // Delivers `code` to the window's host (Posted) from the loop, unless the window is gone by then.
    virtual void Post(WindowId window, std::uint32_t code) = 0;
    // Runs the loop until a quit is posted or `keepRunning` (tested after every dispatched event)
    // returns false. Returns true when it ended because of a quit. Loops nest.
    virtual bool RunLoop(const std::function<bool()>& keepRunning) = 0;
    virtual void PostQuit(int exitCode) = 0;
    virtual TimerId StartTimer(int periodMs, std::function<void()> routine) = 0;  // repeating
    virtual void KillTimer(TimerId timer) = 0;

    // ---- screen and system
    virtual Size PrimaryScreenSize() const = 0;
    virtual Rect WorkAreaNear(WindowId window) const = 0;
    virtual int DisplayBitsPerPixel() const = 0;
    virtual Colour ButtonFaceColour() const = 0;
    virtual void ShowErrorBox(const std::string& caption, const std::string& text) = 0;

    // ---- web view: its window is a child of `parent` covering `rect`, created visible.
    virtual std::unique_ptr<WebView> CreateWebView(WindowId parent, const Rect& rect, WebViewHost* host) = 0;
    // The next web view made is going to be sent to `url` first, in `mode`: a backend may make it
    // now and have the engine start on the page while the rest of its window is built. Nothing is
    // requested, and nothing of the page runs, before that view's host has allowed the navigation
    // (from the loop, after its first Navigate); a view no CreateWebView took by the time the loop
    // is idle again is dropped.
    virtual void PrepareWebView(const std::string& url, const WebViewMode& mode) = 0;
};

// The backend in use; installed once at start-up (or by a test).
Platform& Current();
void Install(Platform* platform);

}  // namespace kestrune::platform
