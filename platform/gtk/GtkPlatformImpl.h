// The GTK backend's own state: the window table and the Platform implementation. Only the files of
// platform/gtk/ include this.
#pragma once

#include <gtk/gtk.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/gtk/GtkWindowTable.h"

namespace kestrune::platform::gtk {

enum class Kind { TopLevel, Owner, Child, Widget, Pseudo };

// A cairo region of its own, empty to begin with.
class OwnedRegion {
public:
    OwnedRegion() : region_(cairo_region_create()) {}
    ~OwnedRegion() { cairo_region_destroy(region_); }
    OwnedRegion(const OwnedRegion&) = delete;
    OwnedRegion& operator=(const OwnedRegion&) = delete;

    cairo_region_t* get() const { return region_; }
    bool Empty() const { return cairo_region_is_empty(region_) != 0; }
    void Clear() { cairo_region_subtract(region_, region_); }
    void Add(const Rect& r) {
        if (r.Empty()) return;
        const cairo_rectangle_int_t c{r.left, r.top, r.Width(), r.Height()};
        cairo_region_union_rectangle(region_, &c);
    }
    void Remove(const Rect& r) {
        if (r.Empty()) return;
        const cairo_rectangle_int_t c{r.left, r.top, r.Width(), r.Height()};
        cairo_region_subtract_rectangle(region_, &c);
    }
    void KeepWithin(const Rect& r) {
        const cairo_rectangle_int_t c{r.left, r.top, std::max(r.Width(), 0), std::max(r.Height(), 0)};
        cairo_region_intersect_rectangle(region_, &c);
    }
    Rect Bounds() const {
        if (Empty()) return {};
        cairo_rectangle_int_t c;
        cairo_region_get_extents(region_, &c);
        return Rect::FromXYWH(c.x, c.y, c.width, c.height);
    }

private:
    cairo_region_t* region_;
};

// Sizes of a window manager frame around a client area.
struct FrameExtents {
    int left = 0, right = 0, top = 0, bottom = 0;
    bool operator==(const FrameExtents&) const = default;
};

struct Window {
    WindowId id = 0;
    Kind kind = Kind::Child;
    GtkWidget* widget = nullptr;   // GtkWindow, GtkLayout or the registered widget; none for pseudo windows
    GtkWidget* layout = nullptr;   // where child windows go (top-level: content layout; child: widget)
    WindowHost* host = nullptr;
    WindowId parent = 0;           // parent of a child window, owner of a top-level one
    std::vector<WindowId> children;  // front to back
    WindowProc proc = &DefaultWindowProc;

    // Child windows: the rectangle in parent client coordinates.
    // Top-level windows: the outer rectangle on the screen as last requested or reported.
    Rect rect;
    Size client;                   // top-level: client size as last requested or reported
    Size fixedClient;              // top-level: the size a window the user may not resize keeps
    FrameExtents frame;            // top-level: frame around the client area (reported or asked for)
    gint64 frameAnswerDue = 0;     // top-level: the window manager's answer on its frame is awaited
                                   // until then (monotonic µs); frame and client are guesses till it comes
    FrameStyle style;
    bool visible = false;
    bool enabled = true;
    bool minimized = false;
    bool maximized = false;
    bool topmost = false;
    bool managed = false;          // top-level: mapped by the window manager (its frame is placed)
    guint resync = 0;              // top-level: pending second look at the place (SyncTopLevel)
    bool destroying = false;
    std::optional<Region> shape;
    CursorId cursor = 0;

    cairo_surface_t* surface = nullptr;  // backing store of the client area
    OwnedRegion invalid;                 // part of the backing store the host still has to paint
    std::vector<gulong> handlers;        // signal handlers on a foreign widget, disconnected on removal
};

class GtkPlatformImpl final : public Platform {
public:
    GtkPlatformImpl();
    ~GtkPlatformImpl() override;

    // ---- Platform
    WindowId CreateTopLevel(const TopLevelParams& params, WindowHost* host) override;
    WindowId CreateOwnerWindow() override;
    WindowId CreateChild(WindowId parent, const Rect& rect, WindowHost* host) override;
    void Destroy(WindowId window) override;
    bool Exists(WindowId window) const override;
    WindowId GetParent(WindowId window) const override;
    void SetParent(WindowId child, WindowId newParent) override;
    WindowId FirstChild(WindowId window) const override;
    void PlaceBehind(WindowId window, WindowId sibling) override;
    void PlaceFront(WindowId window) override;
    Rect GetOuterRect(WindowId window) const override;
    Size GetClientSize(WindowId window) const override;
    Point ClientToScreen(WindowId window, Point p) const override;
    void Move(WindowId window, Point topLeft) override;
    void Resize(WindowId window, Size outer) override;
    void Show(WindowId window, ShowCommand command) override;
    bool IsVisible(WindowId window) const override;
    bool IsMinimized(WindowId window) const override;
    bool IsMaximized(WindowId window) const override;
    void Enable(WindowId window, bool enabled) override;
    bool IsEnabled(WindowId window) const override;
    void Activate(WindowId window) override;
    void SetFocus(WindowId window) override;
    WindowId GetFocus() const override;
    void SetTitle(WindowId window, const std::string& title) override;
    void SetAccessibility(WindowId window, const Accessibility& accessibility) override;
    void SetFrameStyle(WindowId window, const FrameStyle& style) override;
    void SetTopmost(WindowId window, bool topmost) override;
    void SetIcons(WindowId window, const Bitmap* big, const Bitmap* small) override;
    void SetShape(WindowId window, const Region* region) override;
    void Invalidate(WindowId window) override;
    void Repaint(WindowId window) override;
    void BeginMoveDrag(WindowId topLevel, const MouseEvent& press) override;
    void SetCapture(WindowId window) override;
    void ReleaseCapture() override;
    WindowId GetCapture() const override;
    WindowId WindowFromScreenPoint(Point screen) const override;
    CursorId LoadSystemCursor(int code) override;
    CursorId CreateCursor(const Bitmap& image, Point hotspot) override;
    void DestroyCursor(CursorId cursor) override;
    void SetWindowCursor(WindowId window, CursorId cursor) override;
    WindowProc SetWindowProc(WindowId window, WindowProc proc) override;
    std::intptr_t CallWindowProc(WindowProc previous, WindowId window, std::uint32_t message,
                                 std::intptr_t wParam, std::intptr_t lParam) override;
    void Post(WindowId window, std::uint32_t code) override;
    bool RunLoop(const std::function<bool()>& keepRunning) override;
    void PostQuit(int exitCode) override;
    TimerId StartTimer(int periodMs, std::function<void()> routine) override;
    void KillTimer(TimerId timer) override;
    Size PrimaryScreenSize() const override;
    Rect WorkAreaNear(WindowId window) const override;
    int DisplayBitsPerPixel() const override;
    Colour ButtonFaceColour() const override;
    void ShowErrorBox(const std::string& caption, const std::string& text) override;
    std::unique_ptr<WebView> CreateWebView(WindowId parent, const Rect& rect, WebViewHost* host) override;
    void PrepareWebView(const std::string& url, const WebViewMode& mode) override;

    // ---- backend-internal (GtkWindowTable.h and the other files of this backend)
    Window* Find(WindowId id);
    const Window* Find(WindowId id) const;
    WindowId IdOf(GtkWidget* widget) const;
    WindowId TopLevelOf(WindowId id) const;
    WindowId AddWindow(std::unique_ptr<Window> window, WindowId parent);
    WindowId RegisterWidget(GtkWidget* widget, WindowId parent, const Rect& rect, WindowHost* host);
    void DestroyTree(WindowId id);
    std::intptr_t Dispatch(WindowId id, std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam,
                           bool* reachedDefault);
    int QuitCode() const { return quitCode_; }
    // Z-order of the native child windows after the table's order changed or a child was realized.
    void Restack(WindowId parent);

    // GtkPaint.cpp
    void ConnectPaint(Window& w);
    void ReleaseSurface(Window& w);
    // GtkInput.cpp
    void ConnectInput(Window& w);
    // Every event passes here first (gdk_event_handler_set): input meant for a disabled top-level
    // window goes no further.
    static void FilterEvent(GdkEvent* event, gpointer self);
    bool ForDisabledTopLevel(GdkEvent* event) const;
    void ApplyCursor(const Window& w);
    void ForgetWindowInput(WindowId id);
    // GtkWindows.cpp
    void OnConfigure(WindowId id, GdkEventConfigure* event);
    void SyncTopLevel(WindowId id, Size client);
    static gboolean Resync(gpointer id);
    void OnWindowState(WindowId id, GdkEventWindowState* event);
    void OnRealize(WindowId id);
    void OnFocusIn(WindowId id);
    void OnFocusOut(WindowId id);
    Point ClientOrigin(const Window& w) const;  // screen coordinates of the client area

private:
    void ApplyStyle(Window& w);
    void ApplySizeHints(Window& w);
    void ApplyFunctions(Window& w);
    void ApplyShape(const Window& w);
    void ApplyTopLevelGeometry(Window& w);
    void ForceMove(const Window& w);
    FrameExtents FrameFor(Window& w);
    // Takes in the answer on a new window's frame, waiting for it if need be; every reader of a
    // top-level's frame or client size comes here first.
    void SettleFrame(const Window& w) const;
    void SetStateFlags(Window& w, bool minimized, bool maximized);
    void DeliverPosted();
    void SchedulePosted();
    static gboolean ApplySensitivity(gpointer self);

    static GtkPlatformImpl* instance_;

public:
    static GtkPlatformImpl* Instance() { return instance_; }

private:
    std::map<WindowId, std::unique_ptr<Window>> windows_;
    WindowId nextId_ = 1;
    WindowId capture_ = 0;
    WindowId focus_ = 0;

    // Posted messages, delivered in order from one idle source at a time (see SchedulePosted).
    struct PostedMessage {
        WindowId window;
        std::uint32_t code;
    };
    std::vector<PostedMessage> posted_;
    std::size_t postedHead_ = 0;
    guint postedSource_ = 0;

    // A disabled top-level window is told so in GTK (insensitive, for assistive technologies) once
    // the loop is idle: that walks the whole window, its page included. Its input stops at once.
    guint sensitivitySource_ = 0;

    bool quitPending_ = false;
    int quitCode_ = 0;
    int loopDepth_ = 0;

    std::map<TimerId, guint> timers_;  // our id -> GLib source id
    TimerId nextTimer_ = 1;

    struct Cursor {
        GdkCursor* cursor = nullptr;
        int systemCode = 0;  // 0: made by CreateCursor
    };
    std::map<CursorId, Cursor> cursors_;
    CursorId nextCursor_ = 1;
    std::map<int, CursorId> systemCursors_;
    GdkCursor* defaultCursor_ = nullptr;  // what "no pointer of its own" shows

    // Frames the window manager reported, by style: asking it again costs a round trip.
    std::map<std::uint32_t, FrameExtents> knownFrames_;
    // Work areas by monitor, read when first asked for and kept until the window manager or the
    // monitors change them: reading one costs several round trips, in the middle of maximising.
    // The monitors are not referenced: a monitor that goes empties the list first.
    mutable std::vector<std::pair<GdkMonitor*, Rect>> workAreas_;
    guint workAreaSource_ = 0;
    static void ForgetWorkAreas(gpointer self);
    static gboolean ReadWorkAreas(gpointer self);
    Rect WorkAreaOf(GdkMonitor* monitor) const;  // kept, or read now and kept

    // Double-press detection (X reports every press; a second one close in time and place is the double).
    WindowId lastPressWindow_ = 0;
    MouseButton lastPressButton_ = MouseButton::None;
    std::uint32_t lastPressTime_ = 0;
    Point lastPressScreen_;
    bool lastPressWasDouble_ = false;

    friend struct InputAccess;
    friend struct TimerAccess;
};

// ---- X11 helpers (GtkX11.cpp keeps the Xlib headers and their macros away from the rest)

// The _NET_FRAME_EXTENTS of a realized top-level; false when the window manager has not set it.
bool ReadFrameExtents(GdkWindow* toplevel, FrameExtents* out);
// Asks the window manager for the frame it would give the (unmapped) window with its current hints
// and waits up to `timeoutMs` for the answer.
bool RequestFrameExtents(GdkWindow* toplevel, FrameExtents* out, int timeoutMs);
// The same in two steps: the question (false when the window manager takes none), and later the
// wait for its answer, until the monotonic `deadline` (microseconds).
bool SendFrameExtentsRequest(GdkWindow* toplevel);
bool AwaitFrameExtents(GdkWindow* toplevel, FrameExtents* out, gint64 deadline);
// For a managed window whose decorations just changed: waits up to `timeoutMs` for the window
// manager to publish a frame other than `old`.
bool AwaitFrameExtentsChange(GdkWindow* toplevel, const FrameExtents& old, FrameExtents* out, int timeoutMs);
// Calls `changed` with `data` whenever the window manager changes the work areas (its
// _NET_WORKAREA, GTK's per-desktop _GTK_WORKAREAS_Dn, or the current desktop). One watch at a time.
void WatchWorkAreas(void (*changed)(gpointer), gpointer data);
void UnwatchWorkAreas();
// Bits per pixel of the screen's default depth.
int ScreenBitsPerPixel();
// Top-level X windows of all clients, bottom to top (_NET_CLIENT_LIST_STACKING), with their frames.
struct StackEntry {
    unsigned long xid = 0;
    Rect outer;
    bool viewable = false;
};
std::vector<StackEntry> ClientStacking();
unsigned long XidOf(GdkWindow* window);
// Time of the last user input the display saw, for activation requests the window manager honours.
std::uint32_t LastUserTime();
// Xlib loads its locale's conversion tables the first time a window title needs compound text (a
// title outside Latin-1): over a millisecond, and round trips for the character sets' atoms. Once per
// process, this has that done the next time the loop is idle, so that a window opened later, in
// the middle of something, does not pay for it.
void PrepareTitleConversionWhenIdle();

// Copies the rectangle `rect` of width x height BGRX pixels into, or out of, the same place of a
// server-side surface (gdk_window_create_similar_surface) without a shared-memory transfer. False
// when the surface is not a 24-bit true-colour pixmap (nothing is copied then).
bool PutPixels(cairo_surface_t* pixmap, std::uint8_t* pixels, int stride, int width, int height, const Rect& rect);
bool GetPixels(cairo_surface_t* pixmap, std::uint8_t* pixels, int stride, int width, int height, const Rect& rect);

// A new RGBA pixbuf of a BGRA bitmap; a bitmap whose alpha bytes are all zero (drawn without alpha)
// counts as opaque. nullptr for an empty bitmap.
GdkPixbuf* PixbufFromBitmap(const Bitmap& bitmap);

}  // namespace kestrune::platform::gtk
