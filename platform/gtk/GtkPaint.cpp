// Painting: every window keeps its client area in a cairo image surface. The host draws into it
// (as BGRA pixels) when the window was invalidated, and every GTK draw copies it to the screen, so
// exposures that change nothing cost no host painting.
#include <algorithm>

#include "platform/gtk/GtkInternal.h"

namespace kestrune::platform::gtk {

namespace {

// CAIRO_FORMAT_RGB24 keeps each pixel as a native-endian 32-bit 0xXXRRGGBB: on little-endian machines
// the bytes are blue, green, red, unused — exactly the PixelView layout.
static_assert(G_BYTE_ORDER == G_LITTLE_ENDIAN, "the backing store relies on BGRA byte order");

void FillSurface(cairo_surface_t* surface, Colour colour) {
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, RedOf(colour) / 255.0, GreenOf(colour) / 255.0, BlueOf(colour) / 255.0);
    cairo_paint(cr);
    cairo_destroy(cr);
}

gboolean OnDraw(GtkWidget* layout, cairo_t* cr, gpointer) {
    GtkPlatformImpl* impl = GtkPlatformImpl::Instance();
    if (impl == nullptr) return FALSE;
    // The layout is drawn once per GdkWindow of its own; the bin window is the one that shows.
    if (!gtk_cairo_should_draw_window(cr, gtk_layout_get_bin_window(GTK_LAYOUT(layout)))) return FALSE;
    const WindowId id = impl->IdOf(layout);
    Window* w = impl->Find(id);
    if (w == nullptr) return FALSE;
    const int width = gtk_widget_get_allocated_width(layout);
    const int height = gtk_widget_get_allocated_height(layout);
    if (width <= 0 || height <= 0) return FALSE;
    if (w->surface == nullptr || cairo_image_surface_get_width(w->surface) != width ||
        cairo_image_surface_get_height(w->surface) != height) {
        impl->ReleaseSurface(*w);
        w->surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
        FillSurface(w->surface, impl->ButtonFaceColour());
        w->invalid = Rect{0, 0, width, height};
    }
    if (!w->invalid.Empty()) {
        const Rect dirty = w->invalid.Intersect({0, 0, width, height});
        w->invalid = {};
        cairo_surface_t* surface = cairo_surface_reference(w->surface);
        if (!dirty.Empty() && w->host != nullptr) {
            cairo_surface_flush(surface);
            const PixelView view{cairo_image_surface_get_data(surface), width, height,
                                 cairo_image_surface_get_stride(surface)};
            w->host->Paint(view, dirty);
            cairo_surface_mark_dirty(surface);
        }
        cairo_set_source_surface(cr, surface, 0, 0);
        cairo_paint(cr);
        cairo_surface_destroy(surface);
        return FALSE;  // the class handler draws the child windows on top
    }
    cairo_set_source_surface(cr, w->surface, 0, 0);
    cairo_paint(cr);
    return FALSE;
}

}  // namespace

void GtkPlatformImpl::ConnectPaint(Window& w) {
    gtk_widget_set_app_paintable(w.layout, TRUE);
    g_signal_connect(w.layout, "draw", G_CALLBACK(OnDraw), nullptr);
}

void GtkPlatformImpl::ReleaseSurface(Window& w) {
    if (w.surface != nullptr) cairo_surface_destroy(w.surface);
    w.surface = nullptr;
}

void GtkPlatformImpl::Invalidate(WindowId window) {
    Window* w = Find(window);
    if (w == nullptr || w->widget == nullptr) return;
    if (w->layout == nullptr) {  // a foreign widget paints itself
        gtk_widget_queue_draw(w->widget);
        return;
    }
    // The whole client area, whatever size it has by the time it is drawn.
    w->invalid = Rect{0, 0, 1 << 16, 1 << 16};
    gtk_widget_queue_draw(w->layout);
}

// Paints into the backing store now; the screen gets it with the next frame.
void GtkPlatformImpl::Repaint(WindowId window) {
    Window* w = Find(window);
    if (w == nullptr || w->widget == nullptr) return;
    if (w->layout == nullptr || w->surface == nullptr || w->host == nullptr) {
        Invalidate(window);
        return;
    }
    const int width = cairo_image_surface_get_width(w->surface);
    const int height = cairo_image_surface_get_height(w->surface);
    if (width != gtk_widget_get_allocated_width(w->layout) || height != gtk_widget_get_allocated_height(w->layout)) {
        Invalidate(window);
        return;
    }
    w->invalid = {};
    cairo_surface_t* surface = cairo_surface_reference(w->surface);
    GtkWidget* layout = GTK_WIDGET(g_object_ref(w->layout));
    cairo_surface_flush(surface);
    const PixelView view{cairo_image_surface_get_data(surface), width, height, cairo_image_surface_get_stride(surface)};
    w->host->Paint(view, Rect{0, 0, width, height});
    cairo_surface_mark_dirty(surface);
    cairo_surface_destroy(surface);
    gtk_widget_queue_draw(layout);
    g_object_unref(layout);
}

GdkPixbuf* PixbufFromBitmap(const Bitmap& bitmap) {
    if (bitmap.Empty()) return nullptr;
    const int width = bitmap.Width(), height = bitmap.Height();
    const std::uint8_t* src = bitmap.Data();
    bool anyAlpha = false;
    for (std::size_t i = 3; i < bitmap.Pixels().size(); i += 4)
        if (src[i] != 0) {
            anyAlpha = true;
            break;
        }
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, width, height);
    if (pixbuf == nullptr) return nullptr;
    guchar* dst = gdk_pixbuf_get_pixels(pixbuf);
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* s = src + static_cast<std::size_t>(y) * width * 4;
        guchar* d = dst + static_cast<std::size_t>(y) * stride;
        for (int x = 0; x < width; ++x, s += 4, d += 4) {
            d[0] = s[2];
            d[1] = s[1];
            d[2] = s[0];
            d[3] = anyAlpha ? s[3] : 0xFF;
        }
    }
    return pixbuf;
}

}  // namespace kestrune::platform::gtk
