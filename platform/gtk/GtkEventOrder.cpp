#include "platform/gtk/GtkEventOrder.h"

#include <glib.h>

#include <cstring>
#include <set>

namespace kestrune::platform::gtk {

namespace {

// Behind the engine's messages (G_PRIORITY_HIGH_IDLE), ahead of GTK's resizing (+10) and drawing (+20).
constexpr int kBehindEnginePriority = G_PRIORITY_HIGH_IDLE + 1;
constexpr const char kGdkSourceName[] = "GDK X11 Event source";

struct EventOrder {
    GSource* windowEvents = nullptr;  // GDK's, referenced
    int normalPriority = G_PRIORITY_DEFAULT;
    std::set<guint> holds;  // each hold is its lapse timer
    guint lapseMs = 100;
};

EventOrder& Order() {
    static EventOrder order;
    return order;
}

void Apply() {
    EventOrder& o = Order();
    if (o.windowEvents == nullptr || g_source_is_destroyed(o.windowEvents)) return;
    g_source_set_priority(o.windowEvents, o.holds.empty() ? o.normalPriority : kBehindEnginePriority);
}

gboolean Lapse(gpointer) {
    Order().holds.erase(g_source_get_id(g_main_current_source()));
    Apply();
    return G_SOURCE_REMOVE;
}

}  // namespace

void NoteWindowEventSource() {
    EventOrder& o = Order();
    if (o.windowEvents != nullptr) return;
    GSource* source = g_main_current_source();
    if (source == nullptr || g_source_get_context(source) != g_main_context_default()) return;
    // Only GDK's own source counts; an event handed on by other code says nothing about it.
    const char* name = g_source_get_name(source);
    if (name == nullptr || std::strncmp(name, kGdkSourceName, sizeof kGdkSourceName - 1) != 0) return;
    o.windowEvents = g_source_ref(source);
    o.normalPriority = g_source_get_priority(source);
    Apply();
}

WindowEventHold HoldWindowEventsForEngine() {
    EventOrder& o = Order();
    const guint lapse = g_timeout_add(o.lapseMs, &Lapse, nullptr);
    o.holds.insert(lapse);
    Apply();
    return lapse;
}

void ReleaseWindowEventsForEngine(WindowEventHold hold) {
    EventOrder& o = Order();
    if (o.holds.erase(hold) == 0) return;  // lapsed already
    g_source_remove(hold);
    Apply();
}

bool WindowEventsBehindEngine() {
    const EventOrder& o = Order();
    return o.windowEvents != nullptr && g_source_get_priority(o.windowEvents) == kBehindEnginePriority;
}

void SetWindowEventHoldLapse(unsigned milliseconds) { Order().lapseMs = milliseconds; }

}  // namespace kestrune::platform::gtk
