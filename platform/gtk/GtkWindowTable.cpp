// The window table: ids, parents, children in z-order, foreign and pseudo windows, procedure slots,
// and destruction of whole subtrees.
#include <algorithm>

#include "platform/gtk/GtkPlatformImpl.h"

namespace kestrune::platform::gtk {

namespace {
constexpr const char* kIdKey = "kestrune-window-id";

GtkPlatformImpl& Impl() { return *GtkPlatformImpl::Instance(); }

// Set while a procedure chain runs, so that the default procedure can tell the dispatcher that the
// chain reached it.
bool* g_reachedDefault = nullptr;
}  // namespace

std::intptr_t DefaultWindowProc(WindowId, std::uint32_t, std::intptr_t, std::intptr_t) {
    if (g_reachedDefault != nullptr) *g_reachedDefault = true;
    return 0;
}

Window* GtkPlatformImpl::Find(WindowId id) {
    auto it = windows_.find(id);
    return it == windows_.end() ? nullptr : it->second.get();
}

const Window* GtkPlatformImpl::Find(WindowId id) const {
    auto it = windows_.find(id);
    return it == windows_.end() ? nullptr : it->second.get();
}

WindowId GtkPlatformImpl::IdOf(GtkWidget* widget) const {
    if (widget == nullptr) return 0;
    auto id = static_cast<WindowId>(GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(widget), kIdKey)));
    return Find(id) != nullptr ? id : 0;
}

WindowId GtkPlatformImpl::TopLevelOf(WindowId id) const {
    const Window* w = Find(id);
    while (w != nullptr && w->kind != Kind::TopLevel && w->kind != Kind::Owner) w = Find(w->parent);
    return w != nullptr ? w->id : 0;
}

WindowId GtkPlatformImpl::AddWindow(std::unique_ptr<Window> window, WindowId parent) {
    WindowId id = nextId_++;
    window->id = id;
    window->parent = parent;
    if (window->widget != nullptr) g_object_set_data(G_OBJECT(window->widget), kIdKey, GUINT_TO_POINTER(id));
    bool isChild = window->kind == Kind::Child || window->kind == Kind::Widget || window->kind == Kind::Pseudo;
    windows_.emplace(id, std::move(window));
    if (isChild) {
        if (Window* p = Find(parent)) p->children.insert(p->children.begin(), id);
    }
    return id;
}

bool GtkPlatformImpl::Exists(WindowId window) const { return window != 0 && Find(window) != nullptr; }

WindowId GtkPlatformImpl::GetParent(WindowId window) const {
    const Window* w = Find(window);
    return w != nullptr ? w->parent : 0;
}

WindowId GtkPlatformImpl::FirstChild(WindowId window) const {
    const Window* w = Find(window);
    return (w == nullptr || w->children.empty()) ? 0 : w->children.front();
}

void GtkPlatformImpl::PlaceBehind(WindowId window, WindowId sibling) {
    Window* w = Find(window);
    Window* s = Find(sibling);
    if (w == nullptr || s == nullptr || window == sibling) return;
    if (w->kind == Kind::TopLevel || s->kind == Kind::TopLevel) {
        // Top-level windows are stacked by the window manager.
        if (w->kind != Kind::TopLevel || s->kind != Kind::TopLevel || !w->managed || !s->managed) return;
        gdk_window_restack(gtk_widget_get_window(w->widget), gtk_widget_get_window(s->widget), FALSE);
        return;
    }
    if (w->parent != s->parent || w->kind == Kind::Owner) return;
    Window* p = Find(w->parent);
    if (p == nullptr) return;
    auto& list = p->children;
    list.erase(std::remove(list.begin(), list.end(), window), list.end());
    list.insert(std::find(list.begin(), list.end(), sibling) + 1, window);
    Restack(p->id);
}

void GtkPlatformImpl::PlaceFront(WindowId window) {
    Window* w = Find(window);
    if (w == nullptr) return;
    if (w->kind == Kind::TopLevel) {
        if (w->visible && gtk_widget_get_realized(w->widget))
            gdk_window_raise(gtk_widget_get_window(w->widget));
        return;
    }
    Window* p = Find(w->parent);
    if (p == nullptr) return;
    auto& list = p->children;
    list.erase(std::remove(list.begin(), list.end(), window), list.end());
    list.insert(list.begin(), window);
    Restack(p->id);
}

// Brings the GdkWindows of the children into the order of the list: raising them back to front
// leaves the frontmost on top.
void GtkPlatformImpl::Restack(WindowId parent) {
    Window* p = Find(parent);
    if (p == nullptr) return;
    for (auto it = p->children.rbegin(); it != p->children.rend(); ++it) {
        Window* c = Find(*it);
        if (c == nullptr || c->widget == nullptr || !gtk_widget_get_realized(c->widget)) continue;
        if (!gtk_widget_get_has_window(c->widget)) continue;
        gdk_window_raise(gtk_widget_get_window(c->widget));
    }
    if (p->widget != nullptr) gtk_widget_queue_draw(p->widget);
}

void GtkPlatformImpl::SetParent(WindowId child, WindowId newParent) {
    Window* w = Find(child);
    Window* np = Find(newParent);
    if (w == nullptr || np == nullptr || child == newParent) return;
    if (w->kind != Kind::Child && w->kind != Kind::Widget) return;
    if (np->layout == nullptr) return;
    for (WindowId up = newParent; up != 0; up = GetParent(up)) {
        if (up == child) return;  // would make a cycle
        const Window* u = Find(up);
        if (u == nullptr || u->kind == Kind::TopLevel || u->kind == Kind::Owner) break;
    }
    if (Window* op = Find(w->parent)) {
        auto& list = op->children;
        list.erase(std::remove(list.begin(), list.end(), child), list.end());
    }
    g_object_ref(w->widget);
    if (GtkWidget* old = gtk_widget_get_parent(w->widget)) gtk_container_remove(GTK_CONTAINER(old), w->widget);
    gtk_layout_put(GTK_LAYOUT(np->layout), w->widget, w->rect.left, w->rect.top);
    g_object_unref(w->widget);
    w->parent = newParent;
    np->children.insert(np->children.begin(), child);
    Restack(newParent);
}

WindowId GtkPlatformImpl::RegisterWidget(GtkWidget* widget, WindowId parent, const Rect& rect, WindowHost* host) {
    Window* p = Find(parent);
    if (widget == nullptr || p == nullptr || p->layout == nullptr) return 0;
    auto w = std::make_unique<Window>();
    w->kind = Kind::Widget;
    w->widget = widget;
    w->host = host;
    w->rect = rect;
    w->visible = true;
    g_object_ref_sink(widget);
    if (gtk_widget_get_parent(widget) == nullptr) {
        gtk_widget_set_size_request(widget, std::max(rect.Width(), 1), std::max(rect.Height(), 1));
        gtk_layout_put(GTK_LAYOUT(p->layout), widget, rect.left, rect.top);
        gtk_widget_show(widget);
    }
    Window* raw = w.get();
    WindowId id = AddWindow(std::move(w), parent);
    // The owner of the widget may destroy it directly: the window then goes with it.
    raw->handlers.push_back(g_signal_connect(widget, "destroy", G_CALLBACK(+[](GtkWidget* self, gpointer) {
        GtkPlatformImpl* impl = GtkPlatformImpl::Instance();
        if (impl == nullptr) return;
        WindowId wid = impl->IdOf(self);
        if (wid != 0) impl->DestroyTree(wid);
    }), nullptr));
    raw->handlers.push_back(g_signal_connect_after(widget, "realize", G_CALLBACK(+[](GtkWidget* self, gpointer) {
        GtkPlatformImpl* impl = GtkPlatformImpl::Instance();
        if (impl == nullptr) return;
        impl->Restack(impl->GetParent(impl->IdOf(self)));
    }), nullptr));
    Restack(parent);
    return id;
}

// Destroys a window and everything below it. Deepest first, front to back among siblings: a replaced
// procedure gets kMessageDestroy while the window still exists, then the window leaves the table and
// its host gets Destroyed(). The GTK widgets go last, with the root of the subtree.
void GtkPlatformImpl::DestroyTree(WindowId id) {
    Window* root = Find(id);
    if (root == nullptr || root->destroying) return;
    std::vector<WindowId> order;
    std::function<void(WindowId)> collect = [&](WindowId wid) {
        Window* w = Find(wid);
        if (w == nullptr || w->destroying) return;
        w->destroying = true;
        for (WindowId c : w->children) collect(c);
        order.push_back(wid);
    };
    collect(id);

    GtkWidget* rootWidget = root->widget;
    if (rootWidget != nullptr) g_object_ref(rootWidget);
    std::vector<GtkWidget*> foreign;  // registered widgets whose reference the table holds

    for (WindowId wid : order) {
        Window* w = Find(wid);
        if (w == nullptr) continue;
        if (w->proc != &DefaultWindowProc) {
            WindowProc proc = w->proc;
            proc(wid, kMessageDestroy, 0, 0);
            w = Find(wid);
            if (w == nullptr) continue;
        }
        std::unique_ptr<Window> owned = std::move(windows_[wid]);
        windows_.erase(wid);
        if (Window* p = Find(owned->parent)) {
            auto& list = p->children;
            list.erase(std::remove(list.begin(), list.end(), wid), list.end());
        }
        if (focus_ == wid) focus_ = 0;
        ForgetWindowInput(wid);
        ReleaseSurface(*owned);
        if (owned->resync != 0) g_source_remove(owned->resync);
        if (owned->widget != nullptr) {
            g_object_set_data(G_OBJECT(owned->widget), kIdKey, nullptr);
            if (owned->layout != nullptr) g_object_set_data(G_OBJECT(owned->layout), kIdKey, nullptr);
            for (gulong h : owned->handlers) g_signal_handler_disconnect(owned->widget, h);
            if (owned->kind == Kind::Widget) foreign.push_back(owned->widget);
        }
        if (owned->host != nullptr) owned->host->Destroyed();
    }

    // Owned top-levels outlive their owner, but must not point at a destroyed window.
    for (auto& [wid, w] : windows_) {
        if (w->kind == Kind::TopLevel && w->parent == id) {
            w->parent = 0;
            gtk_window_set_transient_for(GTK_WINDOW(w->widget), nullptr);
        }
    }

    if (rootWidget != nullptr) {
        gtk_widget_destroy(rootWidget);
        g_object_unref(rootWidget);
    }
    for (GtkWidget* widget : foreign) g_object_unref(widget);
}

void GtkPlatformImpl::Destroy(WindowId window) { DestroyTree(window); }

std::intptr_t GtkPlatformImpl::Dispatch(WindowId id, std::uint32_t message, std::intptr_t wParam,
                                        std::intptr_t lParam, bool* reachedDefault) {
    Window* w = Find(id);
    if (reachedDefault != nullptr) *reachedDefault = false;
    if (w == nullptr) return 0;
    bool reached = false;
    bool* saved = g_reachedDefault;
    g_reachedDefault = &reached;
    std::intptr_t result = w->proc(id, message, wParam, lParam);
    g_reachedDefault = saved;
    if (reachedDefault != nullptr) *reachedDefault = reached;
    return result;
}

WindowProc GtkPlatformImpl::SetWindowProc(WindowId window, WindowProc proc) {
    Window* w = Find(window);
    if (w == nullptr || proc == nullptr) return nullptr;
    WindowProc previous = w->proc;
    w->proc = proc;
    return previous;
}

std::intptr_t GtkPlatformImpl::CallWindowProc(WindowProc previous, WindowId window, std::uint32_t message,
                                              std::intptr_t wParam, std::intptr_t lParam) {
    if (previous == nullptr) return DefaultWindowProc(window, message, wParam, lParam);
    return previous(window, message, wParam, lParam);
}

// ---- GtkWindowTable.h

WindowId RegisterWidgetWindow(GtkWidget* widget, WindowId parent, const Rect& rect, WindowHost* host) {
    return Impl().RegisterWidget(widget, parent, rect, host);
}

WindowId CreatePseudoWindow(WindowId parent) {
    GtkPlatformImpl& impl = Impl();
    if (impl.Find(parent) == nullptr) return 0;
    auto w = std::make_unique<Window>();
    w->kind = Kind::Pseudo;
    w->visible = true;
    return impl.AddWindow(std::move(w), parent);
}

void DestroyPseudoWindow(WindowId window) {
    const Window* w = Impl().Find(window);
    if (w == nullptr || w->kind != Kind::Pseudo) return;
    Impl().DestroyTree(window);
}

std::intptr_t DispatchToProc(WindowId window, std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam,
                             bool* reachedDefault) {
    return Impl().Dispatch(window, message, wParam, lParam, reachedDefault);
}

GtkWidget* WidgetOf(WindowId window) {
    const Window* w = Impl().Find(window);
    return w != nullptr ? w->widget : nullptr;
}

GtkWidget* ContainerOf(WindowId window) {
    const Window* w = Impl().Find(window);
    return w != nullptr ? w->layout : nullptr;
}

WindowId WindowOfWidget(GtkWidget* widget) { return Impl().IdOf(widget); }

WindowId TopLevelOf(WindowId window) { return Impl().TopLevelOf(window); }

WindowHost* HostOf(WindowId window) {
    const Window* w = Impl().Find(window);
    return w != nullptr ? w->host : nullptr;
}

}  // namespace kestrune::platform::gtk
