// The GTK 3 (X11) backend: start-up, the message loop (nested loops, posted messages, timers), the
// screen and the error box. Windows, painting and input are in the other files of this directory.
#include "platform/gtk/GtkPlatform.h"

#include <algorithm>
#include <cstdlib>

#include "platform/gtk/GtkPlatformImpl.h"
#include "platform/linux/GlibOwners.h"

namespace kestrune::platform::gtk {

GtkPlatformImpl* GtkPlatformImpl::instance_ = nullptr;

namespace {
GtkWidget* g_errorBox = nullptr;  // the error box being shown, closed by a quit
}

struct TimerAccess {
    struct Data {
        GtkPlatformImpl* impl;
        TimerId id;
        std::shared_ptr<std::function<void()>> routine;
    };
    static gboolean Fire(gpointer data) {
        // A copy: the routine may kill its own timer.
        const std::shared_ptr<std::function<void()>> routine = static_cast<Data*>(data)->routine;
        (*routine)();
        return G_SOURCE_CONTINUE;
    }
    static void Free(gpointer data) { delete static_cast<Data*>(data); }
    static gboolean DeliverPosted(gpointer data) {
        auto* impl = static_cast<GtkPlatformImpl*>(data);
        impl->postedSource_ = 0;
        impl->DeliverPosted();
        return G_SOURCE_REMOVE;
    }
};

std::unique_ptr<Platform> CreateGtkPlatform(int* argc, char*** argv) {
    if (GtkPlatformImpl::Instance() != nullptr) return nullptr;
    setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", 0);
    gdk_set_allowed_backends("x11");
    if (!gtk_init_check(argc, argv)) return nullptr;
    return std::make_unique<GtkPlatformImpl>();
}

GtkPlatformImpl::GtkPlatformImpl() {
    instance_ = this;
    gdk_event_handler_set(&GtkPlatformImpl::FilterEvent, this, nullptr);
    WatchWorkAreas(&GtkPlatformImpl::ForgetWorkAreas, this);
    g_signal_connect_swapped(gdk_screen_get_default(), "monitors-changed", G_CALLBACK(&GtkPlatformImpl::ForgetWorkAreas),
                             this);
    g_signal_connect_swapped(gdk_display_get_default(), "monitor-removed", G_CALLBACK(&GtkPlatformImpl::ForgetWorkAreas),
                             this);
    ForgetWorkAreas(this);
}

void GtkPlatformImpl::ForgetWorkAreas(gpointer self) {
    auto* impl = static_cast<GtkPlatformImpl*>(self);
    impl->workAreas_.clear();
    // Read again while nothing else is going on, rather than when a window is being maximised.
    if (impl->workAreaSource_ == 0)
        impl->workAreaSource_ = g_idle_add_full(G_PRIORITY_LOW, &GtkPlatformImpl::ReadWorkAreas, impl, nullptr);
}

gboolean GtkPlatformImpl::ReadWorkAreas(gpointer self) {
    auto* impl = static_cast<GtkPlatformImpl*>(self);
    impl->workAreaSource_ = 0;
    GdkDisplay* display = gdk_display_get_default();
    for (int i = 0, n = gdk_display_get_n_monitors(display); i < n; ++i)
        impl->WorkAreaOf(gdk_display_get_monitor(display, i));
    return G_SOURCE_REMOVE;
}

Rect GtkPlatformImpl::WorkAreaOf(GdkMonitor* monitor) const {
    for (const auto& [known, area] : workAreas_)
        if (known == monitor) return area;
    GdkRectangle r;
    gdk_monitor_get_workarea(monitor, &r);
    workAreas_.emplace_back(monitor, Rect::FromXYWH(r.x, r.y, r.width, r.height));
    return workAreas_.back().second;
}

// Hosts are not told anything here: by the time the platform goes, its hosts may be gone.
GtkPlatformImpl::~GtkPlatformImpl() {
    UnwatchWorkAreas();
    g_signal_handlers_disconnect_by_data(gdk_screen_get_default(), this);
    g_signal_handlers_disconnect_by_data(gdk_display_get_default(), this);
    gdk_event_handler_set(+[](GdkEvent* event, gpointer) { gtk_main_do_event(event); }, nullptr, nullptr);
    if (sensitivitySource_ != 0) g_source_remove(sensitivitySource_);
    if (workAreaSource_ != 0) g_source_remove(workAreaSource_);
    for (auto& [id, source] : timers_)
        if (GSource* s = g_main_context_find_source_by_id(nullptr, source)) g_source_destroy(s);
    timers_.clear();
    if (postedSource_ != 0) g_source_remove(postedSource_);
    if (capture_ != 0) ReleaseCapture();
    std::vector<GtkWidget*> tops;
    for (auto& [id, w] : windows_) {
        w->host = nullptr;
        ReleaseSurface(*w);
        if (w->resync != 0) g_source_remove(w->resync);
        if (w->widget != nullptr && w->kind == Kind::Widget)
            for (gulong h : w->handlers) g_signal_handler_disconnect(w->widget, h);
        if (w->kind == Kind::TopLevel || w->kind == Kind::Owner) tops.push_back(w->widget);
    }
    std::vector<GtkWidget*> foreign;
    for (auto& [id, w] : windows_)
        if (w->kind == Kind::Widget) foreign.push_back(w->widget);
    windows_.clear();
    for (GtkWidget* widget : tops) gtk_widget_destroy(widget);
    for (GtkWidget* widget : foreign) g_object_unref(widget);
    for (auto& [id, c] : cursors_) g_object_unref(c.cursor);
    if (defaultCursor_ != nullptr) g_object_unref(defaultCursor_);
    instance_ = nullptr;
}

// ---- loop

void GtkPlatformImpl::Post(WindowId window, std::uint32_t code) {
    posted_.push_back({window, code});
    SchedulePosted();
}

void GtkPlatformImpl::SchedulePosted() {
    if (postedSource_ != 0 || postedHead_ >= posted_.size()) return;
    postedSource_ = g_idle_add_full(G_PRIORITY_DEFAULT, &TimerAccess::DeliverPosted, this, nullptr);
}

// One message per dispatch. The rest get a new source before the host runs, so that a nested loop
// inside the handler keeps delivering them (a source never runs inside its own dispatch).
void GtkPlatformImpl::DeliverPosted() {
    if (postedHead_ >= posted_.size()) return;
    const PostedMessage message = posted_[postedHead_++];
    if (postedHead_ == posted_.size()) {
        posted_.clear();
        postedHead_ = 0;
    }
    SchedulePosted();
    if (Window* w = Find(message.window); w != nullptr && w->host != nullptr) w->host->Posted(message.code);
}

bool GtkPlatformImpl::RunLoop(const std::function<bool()>& keepRunning) {
    ++loopDepth_;
    bool quit = false;
    for (;;) {
        if (quitPending_) {
            // The quit ends this level; a caller that owns an outer loop posts it again.
            quitPending_ = false;
            quit = true;
            break;
        }
        if (keepRunning && !keepRunning()) break;
        g_main_context_iteration(nullptr, TRUE);
    }
    --loopDepth_;
    return quit;
}

void GtkPlatformImpl::PostQuit(int exitCode) {
    quitPending_ = true;
    quitCode_ = exitCode;
    if (g_errorBox != nullptr) gtk_dialog_response(GTK_DIALOG(g_errorBox), GTK_RESPONSE_CANCEL);
    g_main_context_wakeup(nullptr);
}

// Repeating, and allowed to fire inside a nested loop that its own routine runs.
TimerId GtkPlatformImpl::StartTimer(int periodMs, std::function<void()> routine) {
    if (!routine) return 0;
    const TimerId id = nextTimer_++;
    GSource* source = g_timeout_source_new(static_cast<guint>(std::max(periodMs, 1)));
    g_source_set_can_recurse(source, TRUE);
    auto* data = new TimerAccess::Data{this, id, std::make_shared<std::function<void()>>(std::move(routine))};
    g_source_set_callback(source, &TimerAccess::Fire, data, &TimerAccess::Free);
    timers_[id] = g_source_attach(source, nullptr);
    g_source_unref(source);
    return id;
}

void GtkPlatformImpl::KillTimer(TimerId timer) {
    auto it = timers_.find(timer);
    if (it == timers_.end()) return;
    if (GSource* s = g_main_context_find_source_by_id(nullptr, it->second)) g_source_destroy(s);
    timers_.erase(it);
}

// ---- screen and system

namespace {
GdkMonitor* PrimaryMonitor() {
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    return monitor != nullptr ? monitor : gdk_display_get_monitor(display, 0);
}
}  // namespace

Size GtkPlatformImpl::PrimaryScreenSize() const {
    GdkMonitor* monitor = PrimaryMonitor();
    if (monitor == nullptr) return {};
    GdkRectangle r;
    gdk_monitor_get_geometry(monitor, &r);
    return {r.width, r.height};
}

Rect GtkPlatformImpl::WorkAreaNear(WindowId window) const {
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = nullptr;
    if (const Window* w = Find(TopLevelOf(window))) {
        GdkWindow* gdkWindow = gtk_widget_get_window(w->widget);
        if (gdkWindow != nullptr && gtk_widget_get_mapped(w->widget))
            monitor = gdk_display_get_monitor_at_window(display, gdkWindow);
        else
            monitor = gdk_display_get_monitor_at_point(display, (w->rect.left + w->rect.right) / 2,
                                                       (w->rect.top + w->rect.bottom) / 2);
    }
    if (monitor == nullptr) monitor = PrimaryMonitor();
    if (monitor == nullptr) return {};
    return WorkAreaOf(monitor);
}

int GtkPlatformImpl::DisplayBitsPerPixel() const { return ScreenBitsPerPixel(); }

// GTK themes have no colour for button faces that a plain pixel buffer could use (the theme draws
// with CSS, gradients and images), so the classic light grey the artwork is designed against is used.
Colour GtkPlatformImpl::ButtonFaceColour() const { return 0x00F0F0F0; }

void GtkPlatformImpl::ShowErrorBox(const std::string& caption, const std::string& text) {
    const GText body(g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size())));
    const GText title(g_utf8_make_valid(caption.c_str(), static_cast<gssize>(caption.size())));
    GtkWidget* dialog =
        gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "%s", body.get());
    gtk_window_set_title(GTK_WINDOW(dialog), title.get());
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    GtkWidget* outer = g_errorBox;
    g_errorBox = dialog;
    if (!quitPending_) gtk_dialog_run(GTK_DIALOG(dialog));
    g_errorBox = outer;
    gtk_widget_destroy(dialog);
}

std::unique_ptr<WebView> GtkPlatformImpl::CreateWebView(WindowId parent, const Rect& rect, WebViewHost* host) {
    const Window* p = Find(parent);
    if (p == nullptr || p->layout == nullptr) return nullptr;
    return CreateGtkWebView(parent, rect, host);
}

void GtkPlatformImpl::PrepareWebView(const std::string& url, const WebViewMode& mode) { PrepareGtkWebView(url, mode); }

}  // namespace kestrune::platform::gtk
