// Painting: every window keeps its client area in a backing store. The host draws into it (as BGRA
// pixels) when the window was invalidated, and every GTK draw copies it to the screen, so exposures
// that change nothing cost no host painting.
//
// The store lives in the X server (a pixmap like the window): the host paints into pixels that exist
// only while it paints, starting with what the store shows, which go to the server and are given back
// to the system at once. A skinned or maximised window so keeps no client-side copy of its picture,
// and exposures copy pixmap to window without sending the picture again. Until the window is
// realized the store is a cairo image surface the host paints in place.
#include <sys/mman.h>

#include <algorithm>

#include "platform/gtk/GtkPlatformImpl.h"
#include "platform/linux/GlibOwners.h"

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

bool IsImage(cairo_surface_t* surface) { return cairo_surface_get_type(surface) == CAIRO_SURFACE_TYPE_IMAGE; }

// Pixels of their own mapping, so that they go back to the system the moment they are released
// (the C heap may keep a freed block of this size for later).
class TransientPixels {
public:
    TransientPixels(int width, int height)
        : stride_(cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, width)),
          bytes_(static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height)) {
        void* data = stride_ > 0 && bytes_ > 0
                         ? ::mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                         : MAP_FAILED;
        if (data == MAP_FAILED) return;
        data_ = static_cast<unsigned char*>(data);
        surface_ = cairo_image_surface_create_for_data(data_, CAIRO_FORMAT_RGB24, width, height, stride_);
        if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(surface_);
            surface_ = nullptr;
        }
    }
    ~TransientPixels() {
        if (surface_ != nullptr) {
            cairo_surface_finish(surface_);
            cairo_surface_destroy(surface_);
        }
        if (data_ != nullptr) ::munmap(data_, bytes_);
    }
    TransientPixels(const TransientPixels&) = delete;
    TransientPixels& operator=(const TransientPixels&) = delete;

    cairo_surface_t* Surface() const { return surface_; }

private:
    int stride_;
    std::size_t bytes_;
    unsigned char* data_ = nullptr;
    cairo_surface_t* surface_ = nullptr;
};

// The store's size, and whether the host has not painted it yet (a server-side store then shows
// only the button-face colour, which need not be read back).
struct StoreInfo {
    int width = 0, height = 0;
    bool fresh = true;
};
const cairo_user_data_key_t kStoreInfoKey{};

StoreInfo* InfoOf(cairo_surface_t* store) {
    return static_cast<StoreInfo*>(cairo_surface_get_user_data(store, &kStoreInfoKey));
}

// A new store of width x height in the button-face colour: in the X server once the window's client
// area is realized, an image surface otherwise.
cairo_surface_t* NewStore(const Window& w, int width, int height, Colour fill) {
    cairo_surface_t* store = nullptr;
    GdkWindow* bin = gtk_layout_get_bin_window(GTK_LAYOUT(w.layout));
    if (bin != nullptr) {
        store = gdk_window_create_similar_surface(bin, CAIRO_CONTENT_COLOR, width, height);
        if (store != nullptr && (cairo_surface_status(store) != CAIRO_STATUS_SUCCESS || IsImage(store))) {
            cairo_surface_destroy(store);
            store = nullptr;
        }
    }
    if (store == nullptr) store = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    FillSurface(store, fill);
    cairo_surface_set_user_data(store, &kStoreInfoKey, new StoreInfo{width, height, true},
                                [](void* info) { delete static_cast<StoreInfo*>(info); });
    return store;
}

bool StoreFits(cairo_surface_t* store, int width, int height) {
    const StoreInfo* info = store != nullptr ? InfoOf(store) : nullptr;
    return info != nullptr && info->width == width && info->height == height;
}

// Lets the host paint `dirty` of the store. An image store is painted in place; a server-side one
// through transient pixels that start with what the store shows there and go back into it.
void PaintStore(WindowHost* host, cairo_surface_t* store, const Rect& dirty, Colour fill) {
    StoreInfo* info = InfoOf(store);
    const int width = info->width, height = info->height;
    const bool fresh = info->fresh;
    info->fresh = false;
    if (IsImage(store)) {
        cairo_surface_flush(store);
        const PixelView view{cairo_image_surface_get_data(store), width, height, cairo_image_surface_get_stride(store)};
        host->Paint(view, dirty);
        cairo_surface_mark_dirty(store);
        return;
    }
    TransientPixels pixels(width, height);
    cairo_surface_t* image = pixels.Surface();
    if (image == nullptr) return;
    std::uint8_t* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    // Over the connection when the store is a plain pixmap, through cairo otherwise.
    if (fresh || !GetPixels(store, data, stride, width, height, dirty)) {
        cairo_t* cr = cairo_create(image);
        cairo_rectangle(cr, dirty.left, dirty.top, dirty.Width(), dirty.Height());
        cairo_clip(cr);
        if (fresh) cairo_set_source_rgb(cr, RedOf(fill) / 255.0, GreenOf(fill) / 255.0, BlueOf(fill) / 255.0);
        else cairo_set_source_surface(cr, store, 0, 0);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(image);
    }
    const PixelView view{data, width, height, stride};
    host->Paint(view, dirty);
    if (PutPixels(store, data, stride, width, height, dirty)) return;
    cairo_surface_mark_dirty(image);
    cairo_t* cr = cairo_create(store);
    cairo_rectangle(cr, dirty.left, dirty.top, dirty.Width(), dirty.Height());
    cairo_clip(cr);
    cairo_set_source_surface(cr, image, 0, 0);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(store);
}

// Takes off what the host owes of the window's store the part that can be seen, and gives its
// bounds: a child window on screen hides what lies under it (every child is opaque: our own paint
// all of their store, a foreign widget such as a web view draws its whole rectangle), except where
// an outline leaves holes in it. What a child hides stays owed until the child moves, shrinks, hides
// or goes, and the toolkit draws the parent there again. A maximised game window so never paints,
// nor sends to the X server, the screenful of pixels its browser covers.
Rect TakeVisibleDebt(const GtkPlatformImpl& impl, Window& w, int width, int height) {
    const Rect client{0, 0, width, height};
    w.invalid.KeepWithin(client);
    if (w.invalid.Empty()) return {};
    OwnedRegion due;
    cairo_region_union(due.get(), w.invalid.get());
    for (const WindowId id : w.children) {
        const Window* c = impl.Find(id);
        if (c == nullptr || c->widget == nullptr || (c->kind != Kind::Child && c->kind != Kind::Widget)) continue;
        if (!gtk_widget_get_mapped(c->widget) || !gtk_widget_get_child_visible(c->widget)) continue;
        if (!c->shape) {
            due.Remove(c->rect);
            continue;
        }
        for (const Rect& part : c->shape->Rects())
            due.Remove(Rect{part.left + c->rect.left, part.top + c->rect.top, part.right + c->rect.left,
                            part.bottom + c->rect.top}
                           .Intersect(c->rect));
    }
    const Rect bounds = due.Bounds();
    w.invalid.Remove(bounds);  // the host paints all of the bounds
    return bounds;
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
    if (!StoreFits(w->surface, width, height)) {
        impl->ReleaseSurface(*w);
        w->surface = NewStore(*w, width, height, impl->ButtonFaceColour());
        w->invalid.Clear();
        w->invalid.Add(Rect{0, 0, width, height});
    }
    cairo_surface_t* surface = cairo_surface_reference(w->surface);  // the host may destroy the window
    const Rect dirty = TakeVisibleDebt(*impl, *w, width, height);
    if (!dirty.Empty() && w->host != nullptr) PaintStore(w->host, surface, dirty, impl->ButtonFaceColour());
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_paint(cr);
    cairo_surface_destroy(surface);
    return FALSE;  // the class handler draws the child windows on top
}

}  // namespace

void GtkPlatformImpl::ConnectPaint(Window& w) {
    gtk_widget_set_app_paintable(w.layout, TRUE);
    g_signal_connect(w.layout, "draw", G_CALLBACK(OnDraw), nullptr);
}

// Drawing a big window (the web view's pictures in particular) leaves cairo with shared-memory
// transfer segments of several times the window's size, which it releases only when it next makes
// such a transfer, and only those the X server is known to be done with. Once a top-level window has
// gone, a small transfer image a little later, and again a while after, has it let go of what nothing
// uses any more.
struct TrimState {
    guint source = 0;
    int left = 0;  // passes still to come
};

gboolean TrimTransferSegments(gpointer data) {
    auto* state = static_cast<TrimState*>(data);
    if (GdkWindow* root = gdk_get_default_root_window()) {
        cairo_surface_t* probe = gdk_window_create_similar_image_surface(root, CAIRO_FORMAT_RGB24, 64, 64, 1);
        if (probe != nullptr) cairo_surface_destroy(probe);
    }
    if (--state->left > 0) {
        state->source = g_timeout_add(1500, &TrimTransferSegments, state);
    } else {
        state->source = 0;
    }
    return G_SOURCE_REMOVE;
}

void GtkPlatformImpl::ReleaseSurface(Window& w) {
    if (w.surface != nullptr) cairo_surface_destroy(w.surface);
    w.surface = nullptr;
    if (w.kind != Kind::TopLevel) return;
    static TrimState state;
    if (state.source != 0) g_source_remove(state.source);
    state.left = 2;
    state.source = g_timeout_add(250, &TrimTransferSegments, &state);
}

void GtkPlatformImpl::Invalidate(WindowId window) {
    Window* w = Find(window);
    if (w == nullptr || w->widget == nullptr) return;
    if (w->layout == nullptr) {  // a foreign widget paints itself
        gtk_widget_queue_draw(w->widget);
        return;
    }
    // The whole client area, whatever size it has by the time it is drawn.
    w->invalid.Add(Rect{0, 0, 1 << 16, 1 << 16});
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
    const int width = gtk_widget_get_allocated_width(w->layout), height = gtk_widget_get_allocated_height(w->layout);
    if (!StoreFits(w->surface, width, height)) {
        Invalidate(window);
        return;
    }
    w->invalid.Clear();
    cairo_surface_t* surface = cairo_surface_reference(w->surface);
    const GObjectRef<GtkWidget> layout = KeepAlive(w->layout);
    PaintStore(w->host, surface, Rect{0, 0, width, height}, ButtonFaceColour());
    cairo_surface_destroy(surface);
    gtk_widget_queue_draw(layout.get());
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
