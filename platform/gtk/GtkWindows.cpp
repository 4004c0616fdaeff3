// Top-level and child windows: creation, frames and window-manager hints, geometry, show states,
// focus, outlines, titles and icons.
//
// A top-level window is a GtkWindow holding one GtkLayout (the client area); a child window is a
// GtkLayout put into its parent's layout, so GDK clips it by its parent. Geometry lives in the table:
// what was last asked for, corrected by what the window manager reports in configure events, so it
// can be read before the window is mapped and survives hiding.
#include <algorithm>

#include "platform/gtk/GtkPlatformImpl.h"
#include "platform/gtk/GtkWindowLayout.h"
#include "platform/Trace.h"
#include "platform/linux/GlibOwners.h"

namespace kestrune::platform::gtk {

namespace {

constexpr const char* kIdKey = "kestrune-window-id";
// How long the window manager may take to say what frame a new window gets.
constexpr gint64 kFrameAnswerWaitMs = 300;

GtkPlatformImpl* Impl() { return GtkPlatformImpl::Instance(); }

WindowId IdFromWidget(GtkWidget* widget) {
    GtkPlatformImpl* impl = Impl();
    return impl != nullptr ? impl->IdOf(widget) : 0;
}

std::string ValidUtf8(const std::string& text) {
    const GText valid(g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size())));
    return valid ? valid.get() : "";
}

std::uint32_t StyleKey(const FrameStyle& s) {
    return (s.frame ? 1u : 0u) | (s.caption ? 2u : 0u) | (s.systemMenu ? 4u : 0u) | (s.resizable ? 8u : 0u) |
           (s.maximizeBox ? 16u : 0u) | (s.minimizeBox ? 32u : 0u) | (s.toolWindow ? 64u : 0u) |
           (s.clientEdge ? 128u : 0u) | (s.movable ? 256u : 0u);
}

// Until the window manager answers, a framed window is assumed to get a thin border and a caption.
FrameExtents GuessFrame(const FrameStyle& s) {
    if (!s.frame) return {};
    const int border = 1;
    return {border, border, border + (s.caption ? (s.toolWindow ? 16 : 19) : 0), border};
}

gboolean OnDelete(GtkWidget* widget, GdkEvent*, gpointer) {
    const WindowId id = IdFromWidget(widget);
    if (WindowHost* host = id != 0 ? Impl()->Find(id)->host : nullptr) host->CloseRequested();
    return TRUE;  // the host decides; GTK never closes the window by itself
}

gboolean OnConfigure(GtkWidget* widget, GdkEventConfigure* event, gpointer) {
    if (const WindowId id = IdFromWidget(widget)) Impl()->OnConfigure(id, event);
    return FALSE;
}

gboolean OnMapEvent(GtkWidget* widget, GdkEvent*, gpointer) {
    TraceStep("top-level-mapped");
    if (const WindowId id = IdFromWidget(widget)) {
        if (Window* w = Impl()->Find(id)) w->managed = true;
        GdkWindow* gdkWindow = gtk_widget_get_window(widget);
        Impl()->SyncTopLevel(id, {gdk_window_get_width(gdkWindow), gdk_window_get_height(gdkWindow)});
    }
    return FALSE;
}

gboolean OnUnmapEvent(GtkWidget* widget, GdkEvent*, gpointer) {
    if (const WindowId id = IdFromWidget(widget))
        if (Window* w = Impl()->Find(id)) w->managed = false;
    return FALSE;
}

gboolean OnWindowState(GtkWidget* widget, GdkEventWindowState* event, gpointer) {
    if (const WindowId id = IdFromWidget(widget)) Impl()->OnWindowState(id, event);
    return FALSE;
}

void OnRealizeSignal(GtkWidget* widget, gpointer) {
    if (const WindowId id = IdFromWidget(widget)) Impl()->OnRealize(id);
}

gboolean OnFocusInSignal(GtkWidget* widget, GdkEvent*, gpointer) {
    if (const WindowId id = IdFromWidget(widget)) Impl()->OnFocusIn(id);
    return FALSE;
}

gboolean OnFocusOutSignal(GtkWidget* widget, GdkEvent*, gpointer) {
    if (const WindowId id = IdFromWidget(widget)) Impl()->OnFocusOut(id);
    return FALSE;
}

// The GdkWindow whose position and outline are the child window's own.
GdkWindow* OwnGdkWindow(const Window& w) {
    return w.widget != nullptr && gtk_widget_get_realized(w.widget) ? gtk_widget_get_window(w.widget) : nullptr;
}

bool IsTop(const Window& w) { return w.kind == Kind::TopLevel || w.kind == Kind::Owner; }

}  // namespace

// ---- creation

WindowId GtkPlatformImpl::CreateTopLevel(const TopLevelParams& params, WindowHost* host) {
    auto w = std::make_unique<Window>();
    w->kind = Kind::TopLevel;
    w->host = host;
    w->style = params.style;
    w->rect = params.outer;
    w->rect.right = std::max(w->rect.right, w->rect.left);
    w->rect.bottom = std::max(w->rect.bottom, w->rect.top);
    w->enabled = !params.disabled;
    w->topmost = params.topmost;

    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWidget* layout = NewWindowLayout();
    gtk_container_add(GTK_CONTAINER(window), layout);
    gtk_widget_show(layout);
    w->widget = window;
    w->layout = layout;

    WindowId owner = 0;
    if (const Window* o = Find(params.owner); o != nullptr && IsTop(*o)) owner = params.owner;
    Window* raw = w.get();
    const WindowId id = AddWindow(std::move(w), owner);
    g_object_set_data(G_OBJECT(layout), kIdKey, GUINT_TO_POINTER(id));

    GtkWindow* gw = GTK_WINDOW(window);
    gtk_window_set_title(gw, ValidUtf8(params.title).c_str());
    gtk_window_set_gravity(gw, GDK_GRAVITY_NORTH_WEST);
    if (owner != 0) gtk_window_set_transient_for(gw, GTK_WINDOW(Find(owner)->widget));
    gtk_window_set_skip_taskbar_hint(gw, params.skipTaskbar);
    gtk_window_set_skip_pager_hint(gw, params.skipTaskbar);
    gtk_window_set_keep_above(gw, params.topmost);
    gtk_widget_set_sensitive(window, !params.disabled);

    g_signal_connect(window, "delete-event", G_CALLBACK(OnDelete), nullptr);
    g_signal_connect(window, "configure-event", G_CALLBACK(gtk::OnConfigure), nullptr);
    g_signal_connect(window, "map-event", G_CALLBACK(OnMapEvent), nullptr);
    g_signal_connect(window, "unmap-event", G_CALLBACK(OnUnmapEvent), nullptr);
    g_signal_connect(window, "window-state-event", G_CALLBACK(gtk::OnWindowState), nullptr);
    g_signal_connect(window, "focus-in-event", G_CALLBACK(OnFocusInSignal), nullptr);
    g_signal_connect(window, "focus-out-event", G_CALLBACK(OnFocusOutSignal), nullptr);
    g_signal_connect_after(layout, "realize", G_CALLBACK(OnRealizeSignal), nullptr);
    ConnectPaint(*raw);
    ConnectInput(*raw);

    // Realized now, so that hints, frame and outline are in place before the first map. A frame the
    // window manager has not told us yet is asked for here and taken in when first needed (see
    // SettleFrame): its answer arrives while the rest of the window is made.
    TraceStep("top-level-creating");
    gtk_widget_realize(window);
    TraceStep("top-level-realized");
    ApplyStyle(*raw);
    if (raw->style.frame && knownFrames_.count(StyleKey(raw->style)) == 0 &&
        SendFrameExtentsRequest(gtk_widget_get_window(window))) {
        raw->frame = GuessFrame(raw->style);
        raw->frameAnswerDue = g_get_monotonic_time() + kFrameAnswerWaitMs * 1000;
    } else {
        raw->frame = FrameFor(*raw);
    }
    raw->client = {std::max(raw->rect.Width() - raw->frame.left - raw->frame.right, 0),
                   std::max(raw->rect.Height() - raw->frame.top - raw->frame.bottom, 0)};
    raw->fixedClient = raw->client;
    ApplyTopLevelGeometry(*raw);
    return id;
}

WindowId GtkPlatformImpl::CreateOwnerWindow() {
    auto w = std::make_unique<Window>();
    w->kind = Kind::Owner;
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    w->widget = window;
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window), TRUE);
    gtk_window_set_skip_pager_hint(GTK_WINDOW(window), TRUE);
    g_signal_connect(window, "delete-event", G_CALLBACK(OnDelete), nullptr);
    // Realized (an X window exists) so that owned windows can name it as WM_TRANSIENT_FOR; never mapped.
    gtk_widget_realize(window);
    return AddWindow(std::move(w), 0);
}

WindowId GtkPlatformImpl::CreateChild(WindowId parent, const Rect& rect, WindowHost* host) {
    Window* p = Find(parent);
    if (p == nullptr || p->layout == nullptr) return 0;
    auto w = std::make_unique<Window>();
    w->kind = Kind::Child;
    w->host = host;
    w->rect = rect;
    w->rect.right = std::max(w->rect.right, w->rect.left);
    w->rect.bottom = std::max(w->rect.bottom, w->rect.top);
    GtkWidget* layout = NewWindowLayout();
    w->widget = layout;
    w->layout = layout;
    Window* raw = w.get();
    ConnectPaint(*raw);
    ConnectInput(*raw);
    g_signal_connect_after(layout, "realize", G_CALLBACK(OnRealizeSignal), nullptr);
    g_signal_connect(layout, "focus-in-event", G_CALLBACK(OnFocusInSignal), nullptr);
    gtk_widget_set_size_request(layout, raw->rect.Width(), raw->rect.Height());
    gtk_widget_set_child_visible(layout, !raw->rect.Empty());
    const WindowId id = AddWindow(std::move(w), parent);
    gtk_layout_put(GTK_LAYOUT(p->layout), layout, raw->rect.left, raw->rect.top);
    return id;
}

// ---- frames and hints

void GtkPlatformImpl::SettleFrame(const Window& pending) const {
    if (pending.frameAnswerDue == 0) return;
    // Readers see what they would have seen had the window's creation waited for the answer.
    auto& w = const_cast<Window&>(pending);
    auto& self = const_cast<GtkPlatformImpl&>(*this);
    const gint64 due = w.frameAnswerDue;
    w.frameAnswerDue = 0;
    FrameExtents f;
    GdkWindow* gdkWindow = gtk_widget_get_window(w.widget);
    TraceStep("frame-awaiting");
    if (gdkWindow == nullptr || !AwaitFrameExtents(gdkWindow, &f, due)) return;  // the guess stays
    TraceStep("frame-answered");
    self.knownFrames_[StyleKey(w.style)] = f;
    if (f == w.frame) return;
    w.frame = f;
    w.client = {std::max(w.rect.Width() - f.left - f.right, 0), std::max(w.rect.Height() - f.top - f.bottom, 0)};
    if (!w.maximized) w.fixedClient = w.client;
    self.ApplyTopLevelGeometry(w);
    self.ApplyShape(w);
}

FrameExtents GtkPlatformImpl::FrameFor(Window& w) {
    if (!w.style.frame) return {};
    const std::uint32_t key = StyleKey(w.style);
    if (auto it = knownFrames_.find(key); it != knownFrames_.end()) return it->second;
    FrameExtents f;
    GdkWindow* gdkWindow = gtk_widget_get_window(w.widget);
    if (gdkWindow == nullptr) return GuessFrame(w.style);
    // A managed window gets its new frame from the window manager's reaction to the new hints (the
    // frame request is only answered for windows it does not manage yet).
    const bool answered = w.managed ? AwaitFrameExtentsChange(gdkWindow, w.frame, &f, 300)
                                    : RequestFrameExtents(gdkWindow, &f, 300);
    if (answered) {
        knownFrames_[key] = f;
        return f;
    }
    // No new frame showed up: the style change did not show in the frame (or not yet). The current
    // frame is the best guess, but it is not remembered for the style.
    if (w.managed && !(w.frame == FrameExtents{}) && ReadFrameExtents(gdkWindow, &f)) return f;
    return GuessFrame(w.style);
}

void GtkPlatformImpl::ApplyStyle(Window& w) {
    const FrameStyle& s = w.style;
    GtkWindow* gw = GTK_WINDOW(w.widget);
    gtk_window_set_decorated(gw, s.frame);
    gtk_window_set_type_hint(gw, s.toolWindow ? GDK_WINDOW_TYPE_HINT_UTILITY : GDK_WINDOW_TYPE_HINT_NORMAL);
    GdkWindow* gdkWindow = gtk_widget_get_window(w.widget);
    if (gdkWindow != nullptr) {
        int decorations = 0;
        if (s.frame) {
            decorations = GDK_DECOR_BORDER;
            if (s.caption) decorations |= GDK_DECOR_TITLE;
            if (s.caption && s.systemMenu) decorations |= GDK_DECOR_MENU;
            if (s.caption && s.minimizeBox) decorations |= GDK_DECOR_MINIMIZE;
            if (s.caption && s.maximizeBox) decorations |= GDK_DECOR_MAXIMIZE;
            if (s.resizable) decorations |= GDK_DECOR_RESIZEH;
        }
        gdk_window_set_decorations(gdkWindow, static_cast<GdkWMDecoration>(decorations));
    }
    ApplyFunctions(w);
    ApplySizeHints(w);
}

// What the window manager lets the user do. The program itself may still maximise a window without
// a maximise box: while it is maximised the window manager is allowed to.
void GtkPlatformImpl::ApplyFunctions(Window& w) {
    GdkWindow* gdkWindow = gtk_widget_get_window(w.widget);
    if (gdkWindow == nullptr) return;
    const FrameStyle& s = w.style;
    int functions = GDK_FUNC_CLOSE;
    if (s.movable) functions |= GDK_FUNC_MOVE;
    if (s.resizable || w.maximized) functions |= GDK_FUNC_RESIZE;
    if (s.minimizeBox || !s.frame) functions |= GDK_FUNC_MINIMIZE;
    if (s.maximizeBox || (s.resizable && !s.frame) || w.maximized) functions |= GDK_FUNC_MAXIMIZE;
    gdk_window_set_functions(gdkWindow, static_cast<GdkWMFunction>(functions));
}

// A window the user may not resize gets equal minimum and maximum sizes: GTK's own non-resizable
// mode would fix the window to its content's natural size instead of ours.
void GtkPlatformImpl::ApplySizeHints(Window& w) {
    if (w.kind != Kind::TopLevel) return;
    GtkWindow* gw = GTK_WINDOW(w.widget);
    if (w.style.resizable || w.maximized) {
        GdkGeometry geometry{};
        geometry.min_width = 1;
        geometry.min_height = 1;
        gtk_window_set_geometry_hints(gw, nullptr, &geometry, GDK_HINT_MIN_SIZE);
        // GTK passes hints on with its next resize, and only when they differ from what it sent
        // last: set directly, so that a maximise request sent now finds the window resizable and
        // the fixed size comes back after it.
        if (GdkWindow* gdkWindow = gtk_widget_get_window(w.widget))
            gdk_window_set_geometry_hints(gdkWindow, &geometry, GDK_HINT_MIN_SIZE);
        return;
    }
    GdkGeometry geometry{};
    geometry.min_width = geometry.max_width = std::max(w.fixedClient.width, 1);
    geometry.min_height = geometry.max_height = std::max(w.fixedClient.height, 1);
    const auto mask = static_cast<GdkWindowHints>(GDK_HINT_MIN_SIZE | GDK_HINT_MAX_SIZE);
    gtk_window_set_geometry_hints(gw, nullptr, &geometry, mask);
    if (GdkWindow* gdkWindow = gtk_widget_get_window(w.widget)) gdk_window_set_geometry_hints(gdkWindow, &geometry, mask);
}

// With north-west gravity the window manager puts the frame's top-left corner where asked.
void GtkPlatformImpl::ApplyTopLevelGeometry(Window& w) {
    GtkWindow* gw = GTK_WINDOW(w.widget);
    ApplySizeHints(w);
    gtk_window_move(gw, w.rect.left, w.rect.top);
    gtk_window_resize(gw, std::max(w.client.width, 1), std::max(w.client.height, 1));
    ForceMove(w);
}

// GTK sends a position only when it differs from the last one GTK asked for, but the window manager
// may have moved the frame since (a new frame grows around the client): ask the server directly.
void GtkPlatformImpl::ForceMove(const Window& w) {
    if (!gtk_widget_get_mapped(w.widget)) return;
    if (GdkWindow* gdkWindow = gtk_widget_get_window(w.widget)) gdk_window_move(gdkWindow, w.rect.left, w.rect.top);
}

void GtkPlatformImpl::SetFrameStyle(WindowId window, const FrameStyle& style) {
    Window* w = Find(window);
    if (w == nullptr || w->kind != Kind::TopLevel || w->style == style) return;
    SettleFrame(*w);
    w->style = style;
    ApplyStyle(*w);
    // The outer rectangle stays; the client area takes what the new frame leaves.
    w->frame = FrameFor(*w);
    const Size client{std::max(w->rect.Width() - w->frame.left - w->frame.right, 0),
                      std::max(w->rect.Height() - w->frame.top - w->frame.bottom, 0)};
    w->client = client;
    if (!w->maximized) w->fixedClient = client;
    ApplyTopLevelGeometry(*w);
    ApplyShape(*w);
}

void GtkPlatformImpl::SetTopmost(WindowId window, bool topmost) {
    Window* w = Find(window);
    if (w == nullptr || w->kind != Kind::TopLevel) return;
    w->topmost = topmost;
    gtk_window_set_keep_above(GTK_WINDOW(w->widget), topmost);
}

void GtkPlatformImpl::SetTitle(WindowId window, const std::string& title) {
    Window* w = Find(window);
    if (w == nullptr || !IsTop(*w)) return;
    gtk_window_set_title(GTK_WINDOW(w->widget), ValidUtf8(title).c_str());
}

void GtkPlatformImpl::SetIcons(WindowId window, const Bitmap* big, const Bitmap* small) {
    Window* w = Find(window);
    if (w == nullptr || !IsTop(*w)) return;
    GList* list = nullptr;
    for (const Bitmap* b : {big, small}) {
        if (b == nullptr) continue;
        if (GdkPixbuf* pixbuf = PixbufFromBitmap(*b)) list = g_list_append(list, pixbuf);
    }
    gtk_window_set_icon_list(GTK_WINDOW(w->widget), list);
    g_list_free_full(list, g_object_unref);
}

// ---- geometry

Point GtkPlatformImpl::ClientOrigin(const Window& w) const {
    SettleFrame(w);
    if (IsTop(w)) return {w.rect.left + w.frame.left, w.rect.top + w.frame.top};
    const Window* p = Find(w.parent);
    const Point base = p != nullptr ? ClientOrigin(*p) : Point{};
    return {base.x + w.rect.left, base.y + w.rect.top};
}

Rect GtkPlatformImpl::GetOuterRect(WindowId window) const {
    const Window* w = Find(window);
    return w != nullptr ? w->rect : Rect{};
}

Size GtkPlatformImpl::GetClientSize(WindowId window) const {
    const Window* w = Find(window);
    if (w == nullptr) return {};
    SettleFrame(*w);
    if (w->kind == Kind::TopLevel) return w->client;
    return {w->rect.Width(), w->rect.Height()};
}

Point GtkPlatformImpl::ClientToScreen(WindowId window, Point p) const {
    const Window* w = Find(window);
    if (w == nullptr) return p;
    const Point origin = ClientOrigin(*w);
    return {p.x + origin.x, p.y + origin.y};
}

void GtkPlatformImpl::Move(WindowId window, Point topLeft) {
    Window* w = Find(window);
    if (w == nullptr || w->kind == Kind::Pseudo || w->kind == Kind::Owner) return;
    if (w->rect.left == topLeft.x && w->rect.top == topLeft.y) return;
    w->rect = Rect::FromXYWH(topLeft.x, topLeft.y, w->rect.Width(), w->rect.Height());
    if (w->kind == Kind::TopLevel) {
        gtk_window_move(GTK_WINDOW(w->widget), topLeft.x, topLeft.y);
        ForceMove(*w);
    } else if (const Window* p = Find(w->parent); p != nullptr && p->layout != nullptr &&
                                                   gtk_widget_get_parent(w->widget) == p->layout) {
        gtk_layout_move(GTK_LAYOUT(p->layout), w->widget, topLeft.x, topLeft.y);
    }
    if (w->host != nullptr) w->host->Moved();
}

void GtkPlatformImpl::Resize(WindowId window, Size outer) {
    Window* w = Find(window);
    if (w == nullptr || w->kind == Kind::Pseudo || w->kind == Kind::Owner) return;
    outer.width = std::max(outer.width, 0);
    outer.height = std::max(outer.height, 0);
    SettleFrame(*w);
    if (w->rect.Width() == outer.width && w->rect.Height() == outer.height) return;
    w->rect = Rect::FromXYWH(w->rect.left, w->rect.top, outer.width, outer.height);
    if (w->kind == Kind::TopLevel) {
        w->client = {std::max(outer.width - w->frame.left - w->frame.right, 0),
                     std::max(outer.height - w->frame.top - w->frame.bottom, 0)};
        if (!w->maximized) w->fixedClient = w->client;  // a maximised window comes back to its own size
        ApplySizeHints(*w);
        gtk_window_resize(GTK_WINDOW(w->widget), std::max(w->client.width, 1), std::max(w->client.height, 1));
    } else {
        gtk_widget_set_size_request(w->widget, outer.width, outer.height);
        gtk_widget_set_child_visible(w->widget, !w->rect.Empty());
    }
    if (w->host != nullptr) w->host->Resized();
}

void GtkPlatformImpl::OnConfigure(WindowId id, GdkEventConfigure* event) {
    // Until the window manager has mapped the window, its frame may still be anywhere.
    if (const Window* w = Find(id); w != nullptr && w->managed) SyncTopLevel(id, {event->width, event->height});
}

// Takes the window's place from the X server: the position in configure events is relative to the
// window manager's frame once the window is reparented, and the frame itself comes from the
// window manager's _NET_FRAME_EXTENTS.
void GtkPlatformImpl::SyncTopLevel(WindowId id, Size client) {
    Window* w = Find(id);
    if (w == nullptr || w->kind != Kind::TopLevel || !gtk_widget_get_mapped(w->widget)) return;
    SettleFrame(*w);
    GdkWindow* gdkWindow = gtk_widget_get_window(w->widget);
    FrameExtents frame = w->frame;
    if (w->style.frame) {
        // Not remembered for the style: the window manager may still show the previous style's frame.
        ReadFrameExtents(gdkWindow, &frame);
    } else {
        frame = {};
    }
    int x = 0, y = 0;
    gdk_window_get_origin(gdkWindow, &x, &y);
    const Rect outer{x - frame.left, y - frame.top, x + client.width + frame.right, y + client.height + frame.bottom};
    const bool moved = outer.left != w->rect.left || outer.top != w->rect.top;
    const bool resized = outer.Width() != w->rect.Width() || outer.Height() != w->rect.Height() || client != w->client;
    const bool frameChanged = !(frame == w->frame);
    w->rect = outer;
    w->client = client;
    w->frame = frame;
    if (frameChanged) ApplyShape(*w);
    // A window manager moves its frame after resizing the client, and a moved frame sends the client
    // no real configure event: look again shortly after every change.
    if ((moved || resized || frameChanged) && w->resync == 0) {
        w->resync = g_timeout_add(60, &GtkPlatformImpl::Resync, GUINT_TO_POINTER(id));
    }
    if (moved && w->host != nullptr) w->host->Moved();
    if (resized) {
        if (Window* again = Find(id); again != nullptr && again->host != nullptr) again->host->Resized();
    }
}

gboolean GtkPlatformImpl::Resync(gpointer data) {
    GtkPlatformImpl* impl = Instance();
    const WindowId id = GPOINTER_TO_UINT(data);
    Window* w = impl != nullptr ? impl->Find(id) : nullptr;
    if (w == nullptr) return G_SOURCE_REMOVE;
    w->resync = 0;
    GdkWindow* gdkWindow = gtk_widget_get_window(w->widget);
    if (w->managed && gdkWindow != nullptr)
        impl->SyncTopLevel(id, {gdk_window_get_width(gdkWindow), gdk_window_get_height(gdkWindow)});
    return G_SOURCE_REMOVE;
}

// ---- show states

void GtkPlatformImpl::SetStateFlags(Window& w, bool minimized, bool maximized) {
    if (w.minimized == minimized && w.maximized == maximized) return;
    const bool maxChanged = maximized != w.maximized;
    w.minimized = minimized;
    w.maximized = maximized;
    if (maxChanged) {
        ApplyFunctions(w);
        ApplySizeHints(w);
    }
    if (w.host != nullptr) w.host->Resized();
}

void GtkPlatformImpl::OnWindowState(WindowId id, GdkEventWindowState* event) {
    Window* w = Find(id);
    if (w == nullptr || w->kind != Kind::TopLevel || !w->visible) return;
    if ((event->new_window_state & GDK_WINDOW_STATE_WITHDRAWN) != 0) return;
    bool minimized = w->minimized, maximized = w->maximized;
    if ((event->changed_mask & GDK_WINDOW_STATE_ICONIFIED) != 0)
        minimized = (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
    if ((event->changed_mask & GDK_WINDOW_STATE_MAXIMIZED) != 0)
        maximized = (event->new_window_state & GDK_WINDOW_STATE_MAXIMIZED) != 0;
    SetStateFlags(*w, minimized, maximized);
}

void GtkPlatformImpl::Show(WindowId window, ShowCommand command) {
    Window* w = Find(window);
    if (w == nullptr || w->kind == Kind::Pseudo || w->kind == Kind::Owner) return;
    SettleFrame(*w);
    if (w->kind != Kind::TopLevel) {
        w->visible = command != ShowCommand::Hide;
        gtk_widget_set_visible(w->widget, w->visible);
        for (WindowId up = w->visible ? 0 : capture_; up != 0;) {
            if (up == window) {
                ReleaseCapture();
                break;
            }
            const Window* u = Find(up);
            up = (u != nullptr && !IsTop(*u)) ? u->parent : 0;
        }
        return;
    }
    GtkWindow* gw = GTK_WINDOW(w->widget);
    if (command == ShowCommand::Hide) {
        if (!w->visible) return;
        if (capture_ != 0 && TopLevelOf(capture_) == window) ReleaseCapture();
        w->visible = false;
        gtk_widget_hide(w->widget);
        return;
    }
    // An unmapped GtkWindow forgets where it was put: the table's rectangle is the truth.
    if (!gtk_widget_get_mapped(w->widget)) ApplyTopLevelGeometry(*w);
    const bool activate = command == ShowCommand::Normal || command == ShowCommand::Maximized;
    gtk_window_set_focus_on_map(gw, command != ShowCommand::NoActivate && command != ShowCommand::Minimized);
    const bool wasMinimized = w->minimized, wasMaximized = w->maximized;
    switch (command) {
    case ShowCommand::Normal:
    case ShowCommand::Restore:
        if (w->minimized) {
            gtk_window_deiconify(gw);
            w->minimized = false;
        } else if (w->maximized) {
            gtk_window_unmaximize(gw);
            w->maximized = false;
            ApplyFunctions(*w);
            ApplySizeHints(*w);
        }
        break;
    case ShowCommand::Minimized:
        gtk_window_iconify(gw);
        w->minimized = true;
        break;
    case ShowCommand::Maximized:
        if (w->minimized) gtk_window_deiconify(gw);
        w->minimized = false;
        w->maximized = true;
        ApplyFunctions(*w);  // a fixed size would keep the window manager from maximising
        ApplySizeHints(*w);
        gtk_window_maximize(gw);
        break;
    default:
        break;
    }
    w->visible = true;
    TraceStep("top-level-showing");
    gtk_widget_show(w->widget);
    TraceStep("top-level-shown");
    if ((wasMinimized != w->minimized || wasMaximized != w->maximized) && w->host != nullptr) w->host->Resized();
    if (activate && Exists(window)) Activate(window);
}

bool GtkPlatformImpl::IsVisible(WindowId window) const {
    const Window* w = Find(window);
    return w != nullptr && w->visible;
}

bool GtkPlatformImpl::IsMinimized(WindowId window) const {
    const Window* w = Find(window);
    return w != nullptr && w->minimized;
}

bool GtkPlatformImpl::IsMaximized(WindowId window) const {
    const Window* w = Find(window);
    return w != nullptr && w->maximized;
}

void GtkPlatformImpl::Enable(WindowId window, bool enabled) {
    Window* w = Find(window);
    if (w == nullptr || w->kind == Kind::Pseudo) return;
    w->enabled = enabled;
    if (!enabled && capture_ == window) ReleaseCapture();
    // A top-level window is disabled chiefly when another one opens in dialog mode, on the way to the
    // new window's first page: input stops now (FilterEvent), the walk through its widgets waits.
    // Enabled again, it must take the focus at once, which GTK refuses an insensitive widget.
    if (w->kind == Kind::TopLevel && !enabled) {
        if (sensitivitySource_ == 0)
            sensitivitySource_ = g_idle_add_full(G_PRIORITY_LOW, &GtkPlatformImpl::ApplySensitivity, this, nullptr);
        return;
    }
    gtk_widget_set_sensitive(w->widget, enabled);
}

gboolean GtkPlatformImpl::ApplySensitivity(gpointer self) {
    auto* impl = static_cast<GtkPlatformImpl*>(self);
    impl->sensitivitySource_ = 0;
    std::vector<WindowId> tops;
    for (auto& [id, w] : impl->windows_)
        if (w->kind == Kind::TopLevel) tops.push_back(id);
    // Assistive technologies hear of each change, and may ask for more: the table is looked at afresh.
    for (WindowId id : tops)
        if (Window* w = impl->Find(id); w != nullptr && gtk_widget_get_sensitive(w->widget) != w->enabled)
            gtk_widget_set_sensitive(w->widget, w->enabled);
    return G_SOURCE_REMOVE;
}

bool GtkPlatformImpl::IsEnabled(WindowId window) const {
    const Window* w = Find(window);
    return w != nullptr && w->enabled;
}

// ---- activation and focus

void GtkPlatformImpl::Activate(WindowId window) {
    const WindowId top = TopLevelOf(window);
    Window* w = Find(top);
    if (w == nullptr || w->kind != Kind::TopLevel || !w->visible) return;
    gtk_window_present_with_time(GTK_WINDOW(w->widget), LastUserTime());
    if (TopLevelOf(focus_) != top) SetFocus(top);
}

void GtkPlatformImpl::SetFocus(WindowId window) {
    Window* w = Find(window);
    if (w == nullptr || w->kind == Kind::Pseudo || w->kind == Kind::Owner) return;
    GtkWidget* target = w->kind == Kind::TopLevel ? w->layout : w->widget;
    gtk_widget_set_can_focus(target, TRUE);
    gtk_widget_grab_focus(target);
    OnFocusIn(window);
}

void GtkPlatformImpl::SetAccessibility(WindowId window, const Accessibility& accessibility) {
    Window* w = Find(window);
    if (w == nullptr || w->kind == Kind::Pseudo || w->kind == Kind::Owner || w->kind == Kind::Widget) return;
    if (w->kind == Kind::Child) {
        SetLayoutAccessibility(w->widget, accessibility);
        return;
    }
    // A top-level window's name; its title stays as it is.
    if (AtkObject* object = gtk_widget_get_accessible(w->widget); object != nullptr && !accessibility.name.empty())
        atk_object_set_name(object, accessibility.name.c_str());
}

WindowId GtkPlatformImpl::GetFocus() const { return Exists(focus_) ? focus_ : 0; }

void GtkPlatformImpl::OnFocusIn(WindowId id) {
    Window* w = Find(id);
    if (w == nullptr) return;
    if (w->kind == Kind::TopLevel) {
        // The top-level got the focus: the focus is on whatever widget inside it holds it.
        const WindowId inner = IdOf(gtk_window_get_focus(GTK_WINDOW(w->widget)));
        if (inner != 0 && TopLevelOf(inner) == id) id = inner;
        w = Find(id);
    }
    if (focus_ == id) return;
    focus_ = id;
    if (w->host != nullptr) w->host->FocusIn();
}

void GtkPlatformImpl::OnFocusOut(WindowId id) {
    if (focus_ != 0 && TopLevelOf(focus_) == id) focus_ = 0;
}

// ---- outlines

void GtkPlatformImpl::SetShape(WindowId window, const Region* region) {
    Window* w = Find(window);
    if (w == nullptr || w->kind == Kind::Pseudo || w->kind == Kind::Owner) return;
    if (region != nullptr) w->shape = *region;
    else w->shape.reset();
    ApplyShape(*w);
    // A child's outline uncovers what its parent may still owe there (see the painting), and GDK
    // does not draw a parent again for a new outline of its child.
    if (w->kind == Kind::Child || w->kind == Kind::Widget)
        if (Window* p = Find(w->parent); p != nullptr && p->layout != nullptr && !p->invalid.Empty())
            gtk_widget_queue_draw(p->layout);
}

// The outline is given in outer-rectangle coordinates; the GdkWindow of a top-level is its client
// area, inside the frame.
void GtkPlatformImpl::ApplyShape(const Window& w) {
    GdkWindow* gdkWindow = OwnGdkWindow(w);
    if (gdkWindow == nullptr) return;
    if (!w.shape) {
        gdk_window_shape_combine_region(gdkWindow, nullptr, 0, 0);
        gdk_window_input_shape_combine_region(gdkWindow, nullptr, 0, 0);
        return;
    }
    SettleFrame(w);  // the outline sits where the frame leaves the client area
    OwnedRegion region;
    for (const Rect& r : w.shape->Rects()) region.Add(r);
    const int dx = IsTop(w) ? -w.frame.left : 0;
    const int dy = IsTop(w) ? -w.frame.top : 0;
    gdk_window_shape_combine_region(gdkWindow, region.get(), dx, dy);
    gdk_window_input_shape_combine_region(gdkWindow, region.get(), dx, dy);
}

void GtkPlatformImpl::OnRealize(WindowId id) {
    Window* w = Find(id);
    if (w == nullptr) return;
    ApplyCursor(*w);
    ApplyShape(*w);
    if (!IsTop(*w)) Restack(w->parent);
}

}  // namespace kestrune::platform::gtk
