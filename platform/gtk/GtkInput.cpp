// Mouse input of the backend's own windows, the capture, the window manager's move drag, hit
// testing from a screen point and pointers.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/gtk/GtkEventOrder.h"
#include "platform/gtk/GtkPlatformImpl.h"
#include "platform/linux/GlibOwners.h"

namespace kestrune::platform::gtk {

struct InputAccess {
    static void Deliver(GtkPlatformImpl& impl, WindowId eventWindow, MouseAction action, MouseButton button,
                        Point local, Point screen, bool leftDown, std::uint32_t time);
    static MouseAction PressAction(GtkPlatformImpl& impl, WindowId id, MouseButton button, Point screen,
                                   std::uint32_t time);
};

namespace {

GtkPlatformImpl* Impl() { return GtkPlatformImpl::Instance(); }

MouseButton ButtonOf(guint button) {
    switch (button) {
    case 1: return MouseButton::Left;
    case 2: return MouseButton::Middle;
    case 3: return MouseButton::Right;
    default: return MouseButton::None;
    }
}

Point Rounded(double x, double y) {
    return {static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y))};
}

// Events a foreign child (the web view) did not handle bubble up to our layouts: they are not ours.
bool OwnEvent(GtkWidget* widget, GdkEvent* event) { return gtk_get_event_widget(event) == widget; }

gboolean OnButton(GtkWidget* widget, GdkEventButton* event, gpointer) {
    GtkPlatformImpl* impl = Impl();
    if (impl == nullptr || !OwnEvent(widget, reinterpret_cast<GdkEvent*>(event))) return FALSE;
    const WindowId id = impl->IdOf(widget);
    if (id == 0) return FALSE;
    const MouseButton button = ButtonOf(event->button);
    if (button == MouseButton::None) return TRUE;
    // X reports every press; GDK's extra double and triple press events are left out, the double
    // press is recognised here (see PressAction).
    if (event->type == GDK_2BUTTON_PRESS || event->type == GDK_3BUTTON_PRESS) return TRUE;
    const Point screen = Rounded(event->x_root, event->y_root);
    MouseAction action = MouseAction::Release;
    bool leftDown = (event->state & GDK_BUTTON1_MASK) != 0;
    if (event->type == GDK_BUTTON_PRESS) {
        action = InputAccess::PressAction(*impl, id, button, screen, event->time);
        if (button == MouseButton::Left) leftDown = true;
    } else if (button == MouseButton::Left) {
        leftDown = false;
    }
    InputAccess::Deliver(*impl, id, action, button, Rounded(event->x, event->y), screen, leftDown, event->time);
    return TRUE;
}

gboolean OnMotion(GtkWidget* widget, GdkEventMotion* event, gpointer) {
    GtkPlatformImpl* impl = Impl();
    if (impl == nullptr || !OwnEvent(widget, reinterpret_cast<GdkEvent*>(event))) return FALSE;
    const WindowId id = impl->IdOf(widget);
    if (id == 0) return FALSE;
    InputAccess::Deliver(*impl, id, MouseAction::Move, MouseButton::None, Rounded(event->x, event->y),
                         Rounded(event->x_root, event->y_root), (event->state & GDK_BUTTON1_MASK) != 0, event->time);
    return TRUE;
}

gboolean OnLeave(GtkWidget* widget, GdkEventCrossing* event, gpointer) {
    GtkPlatformImpl* impl = Impl();
    if (impl == nullptr || !OwnEvent(widget, reinterpret_cast<GdkEvent*>(event))) return FALSE;
    // Crossings caused by grabs (a move drag, a capture) are no leaving.
    if (event->mode != GDK_CROSSING_NORMAL || impl->GetCapture() != 0) return TRUE;
    const WindowId id = impl->IdOf(widget);
    if (id == 0) return FALSE;
    InputAccess::Deliver(*impl, id, MouseAction::Leave, MouseButton::None, Rounded(event->x, event->y),
                         Rounded(event->x_root, event->y_root), (event->state & GDK_BUTTON1_MASK) != 0, event->time);
    return TRUE;
}

const char* CursorName(int code) {
    switch (code) {
    case 32512: return "default";      // arrow
    case 32513: return "text";         // I-beam
    case 32514: return "wait";
    case 32515: return "crosshair";
    case 32516: return "default";      // up arrow: no such pointer here
    case 32640: return "move";         // old size pointer
    case 32641: return "default";      // old icon pointer
    case 32642: return "nwse-resize";
    case 32643: return "nesw-resize";
    case 32644: return "ew-resize";
    case 32645: return "ns-resize";
    case 32646: return "move";
    case 32648: return "not-allowed";
    case 32649: return "pointer";      // the hand
    case 32650: return "progress";
    case 32651: return "help";
    default: return nullptr;
    }
}

GdkCursorType FallbackCursor(int code) {
    switch (code) {
    case 32513: return GDK_XTERM;
    case 32514: return GDK_WATCH;
    case 32515: return GDK_CROSSHAIR;
    case 32640:
    case 32646: return GDK_FLEUR;
    case 32642: return GDK_BOTTOM_RIGHT_CORNER;
    case 32643: return GDK_BOTTOM_LEFT_CORNER;
    case 32644: return GDK_SB_H_DOUBLE_ARROW;
    case 32645: return GDK_SB_V_DOUBLE_ARROW;
    case 32648: return GDK_X_CURSOR;
    case 32649: return GDK_HAND2;
    case 32650: return GDK_WATCH;
    case 32651: return GDK_QUESTION_ARROW;
    default: return GDK_LEFT_PTR;
    }
}

bool IsTop(const Window& w) { return w.kind == Kind::TopLevel || w.kind == Kind::Owner; }

}  // namespace

MouseAction InputAccess::PressAction(GtkPlatformImpl& impl, WindowId id, MouseButton button, Point screen,
                                     std::uint32_t time) {
    int doubleTime = 400, distance = 5;
    g_object_get(gtk_settings_get_default(), "gtk-double-click-time", &doubleTime, "gtk-double-click-distance",
                 &distance, nullptr);
    const bool isDouble = !impl.lastPressWasDouble_ && impl.lastPressWindow_ == id && impl.lastPressButton_ == button &&
                          time - impl.lastPressTime_ <= static_cast<std::uint32_t>(doubleTime) &&
                          std::abs(screen.x - impl.lastPressScreen_.x) <= distance &&
                          std::abs(screen.y - impl.lastPressScreen_.y) <= distance;
    impl.lastPressWindow_ = id;
    impl.lastPressButton_ = button;
    impl.lastPressTime_ = time;
    impl.lastPressScreen_ = screen;
    impl.lastPressWasDouble_ = isDouble;
    return isDouble ? MouseAction::DoublePress : MouseAction::Press;
}

// Routes one event: to the capturing window while there is one, else to the window it happened in;
// a disabled window (or one inside a disabled window) gets nothing. The top-level's host sees it
// first and may swallow it.
void InputAccess::Deliver(GtkPlatformImpl& impl, WindowId eventWindow, MouseAction action, MouseButton button,
                          Point local, Point screen, bool leftDown, std::uint32_t time) {
    const WindowId target = impl.capture_ != 0 ? impl.capture_ : eventWindow;
    for (WindowId up = target; up != 0;) {
        const Window* u = impl.Find(up);
        if (u == nullptr || !u->enabled) return;
        up = IsTop(*u) ? 0 : u->parent;
    }
    MouseEvent event;
    event.action = action;
    event.button = button;
    event.screen = screen;
    if (target == eventWindow) {
        event.client = local;
    } else {
        const Point origin = impl.ClientToScreen(target, {0, 0});
        event.client = {screen.x - origin.x, screen.y - origin.y};
    }
    event.leftDown = leftDown;
    event.time = time;
    const WindowId top = impl.TopLevelOf(target);
    if (const Window* t = impl.Find(top); t != nullptr && t->host != nullptr) {
        if (t->host->PreTranslateMouse(target, event)) return;
    }
    if (const Window* w = impl.Find(target); w != nullptr && w->host != nullptr) w->host->Mouse(event);
}

void GtkPlatformImpl::ConnectInput(Window& w) {
    gtk_widget_add_events(w.layout, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                        GDK_LEAVE_NOTIFY_MASK | GDK_ENTER_NOTIFY_MASK);
    g_signal_connect(w.layout, "button-press-event", G_CALLBACK(OnButton), nullptr);
    g_signal_connect(w.layout, "button-release-event", G_CALLBACK(OnButton), nullptr);
    g_signal_connect(w.layout, "motion-notify-event", G_CALLBACK(OnMotion), nullptr);
    g_signal_connect(w.layout, "leave-notify-event", G_CALLBACK(OnLeave), nullptr);
}

// ---- disabled windows

bool GtkPlatformImpl::ForDisabledTopLevel(GdkEvent* event) const {
    GdkWindow* window = event->any.window;
    if (window == nullptr) return false;
    gpointer widget = nullptr;
    gdk_window_get_user_data(gdk_window_get_toplevel(window), &widget);
    const Window* w = widget != nullptr && GTK_IS_WINDOW(widget) ? Find(IdOf(GTK_WIDGET(widget))) : nullptr;
    return w != nullptr && w->kind == Kind::TopLevel && !w->enabled;
}

void GtkPlatformImpl::FilterEvent(GdkEvent* event, gpointer self) {
    NoteWindowEventSource();
    switch (event->type) {
    case GDK_MOTION_NOTIFY:
    case GDK_BUTTON_PRESS:
    case GDK_2BUTTON_PRESS:
    case GDK_3BUTTON_PRESS:
    case GDK_BUTTON_RELEASE:
    case GDK_KEY_PRESS:
    case GDK_KEY_RELEASE:
    case GDK_SCROLL:
    case GDK_TOUCH_BEGIN:
    case GDK_TOUCH_UPDATE:
    case GDK_TOUCH_END:
    case GDK_TOUCH_CANCEL:
    case GDK_TOUCHPAD_SWIPE:
    case GDK_TOUCHPAD_PINCH:
        if (static_cast<GtkPlatformImpl*>(self)->ForDisabledTopLevel(event)) return;
        break;
    case GDK_DRAG_MOTION:
    case GDK_DROP_START:
        // Nothing in a disabled window takes a drop; the source is told so, as GTK tells it when
        // no widget there does.
        if (static_cast<GtkPlatformImpl*>(self)->ForDisabledTopLevel(event)) {
            if (event->type == GDK_DRAG_MOTION) {
                gdk_drag_status(event->dnd.context, static_cast<GdkDragAction>(0), event->dnd.time);
            } else {
                gdk_drop_reply(event->dnd.context, FALSE, event->dnd.time);
                gdk_drop_finish(event->dnd.context, FALSE, event->dnd.time);
            }
            return;
        }
        break;
    default:
        break;
    }
    gtk_main_do_event(event);
}

void GtkPlatformImpl::ForgetWindowInput(WindowId id) {
    if (capture_ == id) ReleaseCapture();
    if (lastPressWindow_ == id) lastPressWindow_ = 0;
}

// ---- capture

void GtkPlatformImpl::SetCapture(WindowId window) {
    Window* w = Find(window);
    if (w == nullptr || w->layout == nullptr || w->kind == Kind::Owner) return;
    if (capture_ != 0 && capture_ != window) ReleaseCapture();
    capture_ = window;
    // A pointer grab, so that moves and releases outside our windows still come here.
    GdkWindow* grabWindow = gtk_widget_get_realized(w->layout) ? gtk_layout_get_bin_window(GTK_LAYOUT(w->layout)) : nullptr;
    if (grabWindow != nullptr && gdk_window_is_viewable(grabWindow)) {
        GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
        gdk_seat_grab(seat, grabWindow, GDK_SEAT_CAPABILITY_ALL_POINTING, FALSE, nullptr, nullptr, nullptr, nullptr);
    }
}

void GtkPlatformImpl::ReleaseCapture() {
    if (capture_ == 0) return;
    capture_ = 0;
    gdk_seat_ungrab(gdk_display_get_default_seat(gdk_display_get_default()));
}

WindowId GtkPlatformImpl::GetCapture() const { return Exists(capture_) ? capture_ : 0; }

// ---- move drag

void GtkPlatformImpl::BeginMoveDrag(WindowId topLevel, const MouseEvent& press) {
    Window* w = Find(topLevel);
    if (w == nullptr || w->kind != Kind::TopLevel || !w->style.movable || !gtk_widget_get_mapped(w->widget)) return;
    ReleaseCapture();  // the window manager needs the pointer
    const int button = press.button == MouseButton::Right ? 3 : press.button == MouseButton::Middle ? 2 : 1;
    gtk_window_begin_move_drag(GTK_WINDOW(w->widget), button, press.screen.x, press.screen.y, press.time);
}

// ---- hit testing

WindowId GtkPlatformImpl::WindowFromScreenPoint(Point screen) const {
    const std::vector<StackEntry> stack = ClientStacking();
    for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
        if (!it->viewable || !it->outer.Contains(screen)) continue;
        const Window* top = nullptr;
        for (const auto& [id, w] : windows_) {
            if (w->kind == Kind::TopLevel && gtk_widget_get_realized(w->widget) &&
                XidOf(gtk_widget_get_window(w->widget)) == it->xid) {
                top = w.get();
                break;
            }
        }
        // Another program's window (or a dialog GTK made by itself) is in front: not a "no window".
        if (top == nullptr) return kForeignWindow;
        if (!top->visible || top->minimized || !top->rect.Contains(screen)) continue;
        const Point inOuter{screen.x - top->rect.left, screen.y - top->rect.top};
        if (top->shape && !top->shape->Contains(inOuter)) continue;  // through the hole
        Point client{inOuter.x - top->frame.left, inOuter.y - top->frame.top};
        if (!Rect::FromXYWH(0, 0, top->client.width, top->client.height).Contains(client)) return top->id;
        const Window* at = top;
        for (bool descended = true; descended;) {
            descended = false;
            for (WindowId childId : at->children) {
                const Window* c = Find(childId);
                if (c == nullptr || c->kind == Kind::Pseudo || !c->visible || !c->rect.Contains(client)) continue;
                const Point inChild{client.x - c->rect.left, client.y - c->rect.top};
                if (c->shape && !c->shape->Contains(inChild)) continue;
                at = c;
                client = inChild;
                descended = true;
                break;
            }
        }
        return at->id;
    }
    return 0;
}

// ---- pointers

CursorId GtkPlatformImpl::LoadSystemCursor(int code) {
    const char* name = CursorName(code);
    if (name == nullptr) return 0;
    if (auto it = systemCursors_.find(code); it != systemCursors_.end()) return it->second;
    GdkDisplay* display = gdk_display_get_default();
    GdkCursor* cursor = gdk_cursor_new_from_name(display, name);
    if (cursor == nullptr) cursor = gdk_cursor_new_for_display(display, FallbackCursor(code));
    if (cursor == nullptr) return 0;
    const CursorId id = nextCursor_++;
    cursors_[id] = Cursor{cursor, code};
    systemCursors_[code] = id;
    return id;
}

CursorId GtkPlatformImpl::CreateCursor(const Bitmap& image, Point hotspot) {
    const GObjectRef<GdkPixbuf> pixbuf(PixbufFromBitmap(image));
    if (!pixbuf) return 0;
    const int x = std::clamp(hotspot.x, 0, image.Width() - 1);
    const int y = std::clamp(hotspot.y, 0, image.Height() - 1);
    GdkCursor* cursor = gdk_cursor_new_from_pixbuf(gdk_display_get_default(), pixbuf.get(), x, y);
    if (cursor == nullptr) return 0;
    const CursorId id = nextCursor_++;
    cursors_[id] = Cursor{cursor, 0};
    return id;
}

// System pointers are shared and stay; a destroyed own pointer leaves its windows with the default.
void GtkPlatformImpl::DestroyCursor(CursorId cursor) {
    auto it = cursors_.find(cursor);
    if (it == cursors_.end() || it->second.systemCode != 0) return;
    for (auto& [id, w] : windows_) {
        if (w->cursor != cursor) continue;
        w->cursor = 0;
        ApplyCursor(*w);
    }
    g_object_unref(it->second.cursor);
    cursors_.erase(it);
}

void GtkPlatformImpl::SetWindowCursor(WindowId window, CursorId cursor) {
    Window* w = Find(window);
    if (w == nullptr || w->layout == nullptr) return;
    if (cursor != 0 && cursors_.count(cursor) == 0) return;
    w->cursor = cursor;
    ApplyCursor(*w);
}

void GtkPlatformImpl::ApplyCursor(const Window& w) {
    if (w.layout == nullptr || !gtk_widget_get_realized(w.layout)) return;
    // Without a pointer of its own a window shows the arrow, never its parent's pointer.
    if (defaultCursor_ == nullptr) {
        GdkDisplay* display = gdk_display_get_default();
        defaultCursor_ = gdk_cursor_new_from_name(display, "default");
        if (defaultCursor_ == nullptr) defaultCursor_ = gdk_cursor_new_for_display(display, GDK_LEFT_PTR);
    }
    GdkCursor* cursor = defaultCursor_;
    if (auto it = cursors_.find(w.cursor); it != cursors_.end()) cursor = it->second.cursor;
    gdk_window_set_cursor(gtk_widget_get_window(w.layout), cursor);
    gdk_window_set_cursor(gtk_layout_get_bin_window(GTK_LAYOUT(w.layout)), cursor);
}

}  // namespace kestrune::platform::gtk
