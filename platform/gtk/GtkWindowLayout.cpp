#include "platform/gtk/GtkWindowLayout.h"

#include <gtk/gtk-a11y.h>

#include <string>

#include "platform/gtk/GtkPlatformImpl.h"
#include "platform/linux/GlibOwners.h"

namespace kestrune::platform::gtk {

namespace {

constexpr const char* kRoleKey = "kestrune-accessible-role";

AccessibleRole RoleOf(GtkWidget* widget) {
    return widget == nullptr ? AccessibleRole::Default
                             : static_cast<AccessibleRole>(GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), kRoleKey)));
}

GtkWidget* AccessibleWidget(gpointer accessible) { return gtk_accessible_get_widget(GTK_ACCESSIBLE(accessible)); }

}  // namespace

}  // namespace kestrune::platform::gtk

// ---- GObject types (C linkage names, so that they read as types in a debugger and in ATK dumps)

using kestrune::platform::AccessibleRole;
using kestrune::platform::gtk::RoleOf;
using kestrune::platform::gtk::AccessibleWidget;

struct KestruneLayout {
    GtkLayout parent;
};
struct KestruneLayoutClass {
    GtkLayoutClass parentClass;
};
struct KestruneLayoutAccessible {
    GtkContainerAccessible parent;
};
struct KestruneLayoutAccessibleClass {
    GtkContainerAccessibleClass parentClass;
};

static void kestrune_layout_accessible_action_init(AtkActionIface* iface);

G_DEFINE_TYPE_WITH_CODE(KestruneLayoutAccessible, kestrune_layout_accessible, GTK_TYPE_CONTAINER_ACCESSIBLE,
                        G_IMPLEMENT_INTERFACE(ATK_TYPE_ACTION, kestrune_layout_accessible_action_init))
G_DEFINE_TYPE(KestruneLayout, kestrune_layout, GTK_TYPE_LAYOUT)

static AtkRole kestrune_layout_accessible_get_role(AtkObject* object) {
    switch (RoleOf(AccessibleWidget(object))) {
    case AccessibleRole::PushButton: return ATK_ROLE_PUSH_BUTTON;
    case AccessibleRole::Decoration: return ATK_ROLE_FILLER;
    default: return ATK_ROLE_PANEL;
    }
}

// The windows themselves are never keyboard stops (the pages inside them are), so none is focusable.
static AtkStateSet* kestrune_layout_accessible_ref_state_set(AtkObject* object) {
    AtkStateSet* states = ATK_OBJECT_CLASS(kestrune_layout_accessible_parent_class)->ref_state_set(object);
    GtkWidget* widget = AccessibleWidget(object);
    if (widget != nullptr && !gtk_widget_has_focus(widget)) atk_state_set_remove_state(states, ATK_STATE_FOCUSABLE);
    return states;
}

static void kestrune_layout_accessible_class_init(KestruneLayoutAccessibleClass* klass) {
    AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
    atk->get_role = kestrune_layout_accessible_get_role;
    atk->ref_state_set = kestrune_layout_accessible_ref_state_set;
}

static void kestrune_layout_accessible_init(KestruneLayoutAccessible*) {}

static gint kestrune_layout_accessible_n_actions(AtkAction* action) {
    return RoleOf(AccessibleWidget(action)) == AccessibleRole::PushButton ? 1 : 0;
}

static const gchar* kestrune_layout_accessible_action_name(AtkAction* action, gint index) {
    return index == 0 && kestrune_layout_accessible_n_actions(action) == 1 ? "click" : nullptr;
}

// Pressed from the idle loop, not inside the assistive technology's call: the click's handler may
// run a nested loop or destroy the window.
static gboolean kestrune_layout_press_later(gpointer id) {
    using kestrune::platform::gtk::GtkPlatformImpl;
    GtkPlatformImpl* impl = GtkPlatformImpl::Instance();
    if (impl == nullptr) return G_SOURCE_REMOVE;
    const auto window = static_cast<kestrune::platform::WindowId>(GPOINTER_TO_UINT(id));
    if (auto* w = impl->Find(window); w != nullptr && w->host != nullptr && w->enabled) w->host->AccessibleAction();
    return G_SOURCE_REMOVE;
}

static gboolean kestrune_layout_accessible_do_action(AtkAction* action, gint index) {
    using kestrune::platform::gtk::GtkPlatformImpl;
    GtkWidget* widget = AccessibleWidget(action);
    if (index != 0 || RoleOf(widget) != AccessibleRole::PushButton || GtkPlatformImpl::Instance() == nullptr) return FALSE;
    const kestrune::platform::WindowId id = GtkPlatformImpl::Instance()->IdOf(widget);
    if (id == 0 || !gtk_widget_is_sensitive(widget)) return FALSE;
    g_idle_add(kestrune_layout_press_later, GUINT_TO_POINTER(id));
    return TRUE;
}

static void kestrune_layout_accessible_action_init(AtkActionIface* iface) {
    iface->get_n_actions = kestrune_layout_accessible_n_actions;
    iface->get_name = kestrune_layout_accessible_action_name;
    iface->do_action = kestrune_layout_accessible_do_action;
}

// ---- Tab wraps round inside the page

namespace {

constexpr const char* kWrapKey = "kestrune-tab-wrap-due";
constexpr gint64 kWrapAnswerUs = 1000 * 1000;  // the page's answer to the re-sent key comes well within

struct WrapKey {
    GtkWidget* page;
    bool backward;
};

void SendKey(GtkWidget* page, GdkEventType type, bool backward) {
    GdkWindow* window = gtk_widget_get_window(page);
    if (window == nullptr) return;
    GdkEvent* event = gdk_event_new(type);
    event->key.window = GDK_WINDOW(g_object_ref(window));
    event->key.time = GDK_CURRENT_TIME;
    event->key.state = backward ? GDK_SHIFT_MASK : 0;
    event->key.keyval = backward ? GDK_KEY_ISO_Left_Tab : GDK_KEY_Tab;
    GdkDisplay* display = gdk_window_get_display(window);
    GdkKeymapKey* found = nullptr;
    gint count = 0;
    const bool known =
        gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), GDK_KEY_Tab, &found, &count);
    const std::unique_ptr<GdkKeymapKey, kestrune::platform::GFreeDeleter> keys(found);
    if (known && count > 0) event->key.hardware_keycode = static_cast<guint16>(keys.get()[0].keycode);
    gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
    gtk_main_do_event(event);
    gdk_event_free(event);
}

gboolean SendWrapKey(gpointer data) {
    auto* key = static_cast<WrapKey*>(data);
    if (gtk_widget_has_focus(key->page)) {
        SendKey(key->page, GDK_KEY_PRESS, key->backward);
        SendKey(key->page, GDK_KEY_RELEASE, key->backward);
    }
    g_object_unref(key->page);
    delete key;
    return G_SOURCE_REMOVE;
}

// The page in `child` is handing the focus on, past its last element (or first, going back). It
// keeps it instead, and the same key is given to it once more: with nothing focused in it, the page
// starts again from its first (last) element, in its own order. A page with nothing to focus hands
// the focus on again at once; that second time it just keeps it.
gboolean KeepFocusInPage(GtkWidget* child, GtkDirectionType direction) {
    const gint64 now = g_get_monotonic_time();
    auto* due = static_cast<gint64*>(g_object_get_data(G_OBJECT(child), kWrapKey));
    if (due != nullptr && now < *due) {
        *due = 0;
        return TRUE;
    }
    if (due == nullptr) {
        due = g_new0(gint64, 1);
        g_object_set_data_full(G_OBJECT(child), kWrapKey, due, g_free);
    }
    *due = now + kWrapAnswerUs;
    g_idle_add(SendWrapKey, new WrapKey{GTK_WIDGET(g_object_ref(child)), direction == GTK_DIR_TAB_BACKWARD});
    return TRUE;
}

}  // namespace

// Keyboard traversal (Tab, Shift+Tab, and GTK's arrow moves between widgets) goes into the window's
// children, starting with the one that holds the focus, and never stops on the window itself. A
// page that gives the focus away with Tab keeps it (KeepFocusInPage): the program's windows hold
// nothing else a key could reach.
static gboolean kestrune_layout_focus(GtkWidget* widget, GtkDirectionType direction) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    if (direction == GTK_DIR_TAB_BACKWARD || direction == GTK_DIR_UP || direction == GTK_DIR_LEFT)
        children = g_list_reverse(children);
    GtkWidget* holder = gtk_container_get_focus_child(GTK_CONTAINER(widget));
    GList* start = holder != nullptr ? g_list_find(children, holder) : nullptr;
    gboolean taken = FALSE;
    for (GList* item = start != nullptr ? start : children; item != nullptr && !taken; item = item->next) {
        auto* child = static_cast<GtkWidget*>(item->data);
        const bool page = !G_TYPE_CHECK_INSTANCE_TYPE(child, kestrune_layout_get_type());
        if (page && gtk_widget_has_focus(child) && (direction == GTK_DIR_TAB_FORWARD || direction == GTK_DIR_TAB_BACKWARD))
            taken = KeepFocusInPage(child, direction);
        else if (gtk_widget_get_visible(child) && gtk_widget_get_child_visible(child) && gtk_widget_is_sensitive(child))
            taken = gtk_widget_child_focus(child, direction);
    }
    g_list_free(children);
    return taken;
}

static void kestrune_layout_class_init(KestruneLayoutClass* klass) {
    GtkWidgetClass* widget = GTK_WIDGET_CLASS(klass);
    widget->focus = kestrune_layout_focus;
    gtk_widget_class_set_accessible_type(widget, kestrune_layout_accessible_get_type());
}

static void kestrune_layout_init(KestruneLayout*) {}

namespace kestrune::platform::gtk {

GtkWidget* NewWindowLayout() {
    GtkWidget* layout = GTK_WIDGET(g_object_new(kestrune_layout_get_type(), nullptr));
    gtk_layout_set_size(GTK_LAYOUT(layout), 1, 1);
    // Focusable for the program (SetFocus); the focus handler keeps Tab from stopping on it.
    gtk_widget_set_can_focus(layout, TRUE);
    return layout;
}

void SetLayoutAccessibility(GtkWidget* layout, const Accessibility& accessibility) {
    g_object_set_data(G_OBJECT(layout), kRoleKey, GINT_TO_POINTER(static_cast<int>(accessibility.role)));
    AtkObject* object = gtk_widget_get_accessible(layout);
    if (object == nullptr) return;
    if (!accessibility.name.empty()) atk_object_set_name(object, accessibility.name.c_str());
    atk_object_set_role(object, kestrune_layout_accessible_get_role(object));
}

}  // namespace kestrune::platform::gtk
