// The few things GDK does not offer: the window manager's frame of a window that is not mapped yet,
// the pixel size of the screen's depth and the stacking order of all clients. Kept in its own file
// because the Xlib headers define macros (None, Status, Bool...) that break other code.
#include "platform/gtk/GtkPlatformImpl.h"  // before Xlib, whose macros would break the seam's names

#include <map>
#include <memory>
#include <string>
#include <utility>

#include <cairo-xlib.h>
#include <gdk/gdkx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace kestrune::platform::gtk {

namespace {

// How often a wait for the window manager's frame looks again: the answer usually takes well under
// a millisecond, and the wait holds up the window being made.
constexpr gulong kFramePollMicroseconds = 250;

Display* XDisplay() { return GDK_DISPLAY_XDISPLAY(gdk_display_get_default()); }

bool ReadCardinals(Display* dpy, ::Window xid, const char* name, std::vector<long>* out) {
    Atom property = XInternAtom(dpy, name, False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    gdk_x11_display_error_trap_push(gdk_display_get_default());
    const int status = XGetWindowProperty(dpy, xid, property, 0, 1 << 16, False, AnyPropertyType, &type, &format,
                                          &count, &after, &data);
    gdk_x11_display_error_trap_pop_ignored(gdk_display_get_default());
    if (status != Success || data == nullptr) return false;
    bool ok = format == 32;
    if (ok) {
        const long* values = reinterpret_cast<const long*>(data);  // format 32 comes as longs
        out->assign(values, values + count);
    }
    XFree(data);
    return ok;
}

bool ReadExtents(Display* dpy, ::Window xid, FrameExtents* out) {
    std::vector<long> v;
    if (!ReadCardinals(dpy, xid, "_NET_FRAME_EXTENTS", &v) || v.size() < 4) return false;
    *out = FrameExtents{static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]), static_cast<int>(v[3])};
    return true;
}

}  // namespace

unsigned long XidOf(GdkWindow* window) {
    return window != nullptr && GDK_IS_X11_WINDOW(window) ? GDK_WINDOW_XID(window) : 0;
}

bool ReadFrameExtents(GdkWindow* toplevel, FrameExtents* out) {
    const unsigned long xid = XidOf(toplevel);
    return xid != 0 && ReadExtents(XDisplay(), xid, out);
}

bool SendFrameExtentsRequest(GdkWindow* toplevel) {
    const unsigned long xid = XidOf(toplevel);
    if (xid == 0) return false;
    Display* dpy = XDisplay();
    if (!gdk_x11_screen_supports_net_wm_hint(gdk_screen_get_default(),
                                             gdk_atom_intern_static_string("_NET_REQUEST_FRAME_EXTENTS")))
        return false;
    // An old answer must not count as the new one.
    XDeleteProperty(dpy, xid, XInternAtom(dpy, "_NET_FRAME_EXTENTS", False));
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = xid;
    event.xclient.message_type = XInternAtom(dpy, "_NET_REQUEST_FRAME_EXTENTS", False);
    event.xclient.format = 32;
    XSendEvent(dpy, DefaultRootWindow(dpy), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(dpy);
    return true;
}

bool AwaitFrameExtents(GdkWindow* toplevel, FrameExtents* out, gint64 deadline) {
    const unsigned long xid = XidOf(toplevel);
    if (xid == 0) return false;
    Display* dpy = XDisplay();
    XSync(dpy, False);
    while (true) {
        if (ReadExtents(dpy, xid, out)) return true;
        if (g_get_monotonic_time() >= deadline) return false;
        g_usleep(kFramePollMicroseconds);
    }
}

bool RequestFrameExtents(GdkWindow* toplevel, FrameExtents* out, int timeoutMs) {
    return SendFrameExtentsRequest(toplevel) &&
           AwaitFrameExtents(toplevel, out, g_get_monotonic_time() + static_cast<gint64>(timeoutMs) * 1000);
}

std::uint32_t LastUserTime() {
    return gdk_x11_display_get_user_time(gdk_display_get_default());
}

bool AwaitFrameExtentsChange(GdkWindow* toplevel, const FrameExtents& old, FrameExtents* out, int timeoutMs) {
    const unsigned long xid = XidOf(toplevel);
    if (xid == 0) return false;
    Display* dpy = XDisplay();
    XSync(dpy, False);
    const gint64 deadline = g_get_monotonic_time() + static_cast<gint64>(timeoutMs) * 1000;
    while (g_get_monotonic_time() < deadline) {
        FrameExtents now;
        if (ReadExtents(dpy, xid, &now) && !(now == old)) {
            *out = now;
            return true;
        }
        g_usleep(kFramePollMicroseconds);
    }
    return false;
}

namespace {

struct WorkAreaWatch {
    void (*changed)(gpointer);
    gpointer data;
    std::map<Atom, bool> relevant;  // root properties seen so far, and whether they bear on work areas
};

GdkFilterReturn OnRootEvent(GdkXEvent* raw, GdkEvent*, gpointer data) {
    const auto* event = static_cast<const XEvent*>(raw);
    if (event->type != PropertyNotify) return GDK_FILTER_CONTINUE;
    auto* watch = static_cast<WorkAreaWatch*>(data);
    const Atom atom = event->xproperty.atom;
    auto known = watch->relevant.find(atom);
    if (known == watch->relevant.end()) {
        // GDK keeps the names it has looked up: a property's name costs a round trip only once.
        const std::string name = gdk_x11_get_xatom_name_for_display(gdk_display_get_default(), atom);
        const bool bears = name == "_NET_WORKAREA" || name == "_NET_CURRENT_DESKTOP" ||
                           name.rfind("_GTK_WORKAREAS_D", 0) == 0;
        known = watch->relevant.emplace(atom, bears).first;
    }
    if (known->second) watch->changed(watch->data);
    return GDK_FILTER_CONTINUE;
}

std::unique_ptr<WorkAreaWatch> g_workAreaWatch;

}  // namespace

void WatchWorkAreas(void (*changed)(gpointer), gpointer data) {
    UnwatchWorkAreas();
    GdkWindow* root = gdk_get_default_root_window();
    gdk_window_set_events(root, static_cast<GdkEventMask>(gdk_window_get_events(root) | GDK_PROPERTY_CHANGE_MASK));
    g_workAreaWatch = std::make_unique<WorkAreaWatch>(WorkAreaWatch{changed, data, {}});
    gdk_window_add_filter(root, OnRootEvent, g_workAreaWatch.get());
}

void UnwatchWorkAreas() {
    if (g_workAreaWatch == nullptr) return;
    gdk_window_remove_filter(gdk_get_default_root_window(), OnRootEvent, g_workAreaWatch.get());
    g_workAreaWatch.reset();
}

int ScreenBitsPerPixel() {
    Display* dpy = XDisplay();
    const int depth = DefaultDepth(dpy, DefaultScreen(dpy));
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(dpy, &count);
    int bits = depth;
    for (int i = 0; i < count; ++i)
        if (formats[i].depth == depth) bits = formats[i].bits_per_pixel;
    if (formats != nullptr) XFree(formats);
    return bits;
}

void PrepareTitleConversionWhenIdle() {
    static bool asked = false;
    if (std::exchange(asked, true)) return;
    g_idle_add_full(G_PRIORITY_LOW, +[](gpointer) -> gboolean {
        GdkAtom encoding = GDK_NONE;
        gint format = 0, length = 0;
        guchar* text = nullptr;
        GdkDisplay* display = gdk_display_get_default();
        if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) return G_SOURCE_REMOVE;
        // The same conversion a title goes through (gdk_x11_window_set_title), on a sample of it.
        if (gdk_x11_display_utf8_to_compound_text(display, "\u5fae\u7aef", &encoding, &format, &text, &length))
            gdk_x11_free_compound_text(text);
        return G_SOURCE_REMOVE;
    }, nullptr, nullptr);
}

std::vector<StackEntry> ClientStacking() {
    std::vector<StackEntry> result;
    Display* dpy = XDisplay();
    std::vector<long> clients;
    if (!ReadCardinals(dpy, DefaultRootWindow(dpy), "_NET_CLIENT_LIST_STACKING", &clients)) return result;
    GdkDisplay* display = gdk_display_get_default();
    for (long c : clients) {
        const ::Window xid = static_cast<::Window>(c);
        XWindowAttributes attributes;
        gdk_x11_display_error_trap_push(display);
        const Status ok = XGetWindowAttributes(dpy, xid, &attributes);
        int x = 0, y = 0;
        ::Window child = 0;
        if (ok) XTranslateCoordinates(dpy, xid, DefaultRootWindow(dpy), 0, 0, &x, &y, &child);
        if (gdk_x11_display_error_trap_pop(display) != 0 || !ok) continue;
        FrameExtents f;
        ReadExtents(dpy, xid, &f);
        StackEntry e;
        e.xid = xid;
        e.outer = Rect{x - f.left, y - f.top, x + attributes.width + f.right, y + attributes.height + f.bottom};
        e.viewable = attributes.map_state == IsViewable;
        result.push_back(e);
    }
    return result;
}

namespace {

// An XImage over `pixels` (0xXXRRGGBB words, `stride` bytes a row) for a drawable of `surface`'s
// kind: a 24-bit true-colour pixmap with the usual masks; false for anything else.
bool WrapPixels(cairo_surface_t* surface, std::uint8_t* pixels, int stride, int width, int height, XImage* out) {
    if (cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_XLIB) return false;
    Visual* visual = cairo_xlib_surface_get_visual(surface);
    if (cairo_xlib_surface_get_depth(surface) != 24 || visual == nullptr || visual->red_mask != 0xFF0000 ||
        visual->green_mask != 0xFF00 || visual->blue_mask != 0xFF)
        return false;
    *out = XImage{};
    out->width = width;
    out->height = height;
    out->format = ZPixmap;
    out->data = reinterpret_cast<char*>(pixels);
    out->byte_order = LSBFirst;
    out->bitmap_unit = 32;
    out->bitmap_bit_order = LSBFirst;
    out->bitmap_pad = 32;
    out->depth = 24;
    out->bytes_per_line = stride;
    out->bits_per_pixel = 32;
    out->red_mask = visual->red_mask;
    out->green_mask = visual->green_mask;
    out->blue_mask = visual->blue_mask;
    return XInitImage(out) != 0;
}

}  // namespace

// Plain XPutImage / XGetSubImage over the connection: no shared-memory segment is made for the
// transfer (the toolkit would keep one, of several times the picture's size, for later transfers).
bool PutPixels(cairo_surface_t* pixmap, std::uint8_t* pixels, int stride, int width, int height, const Rect& rect) {
    XImage image;
    if (!WrapPixels(pixmap, pixels, stride, width, height, &image)) return false;
    Display* dpy = cairo_xlib_surface_get_display(pixmap);
    const Drawable drawable = cairo_xlib_surface_get_drawable(pixmap);
    cairo_surface_flush(pixmap);
    GC gc = XCreateGC(dpy, drawable, 0, nullptr);
    XPutImage(dpy, drawable, gc, &image, rect.left, rect.top, rect.left, rect.top,
              static_cast<unsigned>(rect.Width()), static_cast<unsigned>(rect.Height()));
    XFreeGC(dpy, gc);
    cairo_surface_mark_dirty_rectangle(pixmap, rect.left, rect.top, rect.Width(), rect.Height());
    return true;
}

bool GetPixels(cairo_surface_t* pixmap, std::uint8_t* pixels, int stride, int width, int height, const Rect& rect) {
    XImage image;
    if (!WrapPixels(pixmap, pixels, stride, width, height, &image)) return false;
    Display* dpy = cairo_xlib_surface_get_display(pixmap);
    cairo_surface_flush(pixmap);
    return XGetSubImage(dpy, cairo_xlib_surface_get_drawable(pixmap), rect.left, rect.top,
                        static_cast<unsigned>(rect.Width()), static_cast<unsigned>(rect.Height()), AllPlanes, ZPixmap,
                        &image, rect.left, rect.top) != nullptr;
}

}  // namespace kestrune::platform::gtk
