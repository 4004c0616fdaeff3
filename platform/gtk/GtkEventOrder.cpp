#include "platform/gtk/GtkEventOrder.h"

#include <glib.h>

#include <cstring>

namespace kestrune::platform::gtk {

namespace {

// Behind the engine's messages (G_PRIORITY_HIGH_IDLE), ahead of GTK's resizing (+10) and drawing (+20).
constexpr int kBehindEnginePriority = G_PRIORITY_HIGH_IDLE + 1;
constexpr guint kHoldLapseMs = 100;

struct EventOrder {
    GSource* windowEvents = nullptr;  // GDK's, referenced
    int normalPriority = G_PRIORITY_DEFAULT;
    int holds = 0;
    guint lapse = 0;
};

EventOrder& Order() {
    static EventOrder order;
    return order;
}

void Apply() {
    EventOrder& o = Order();
    if (o.windowEvents == nullptr || g_source_is_destroyed(o.windowEvents)) return;
    g_source_set_priority(o.windowEvents, o.holds > 0 ? kBehindEnginePriority : o.normalPriority);
}

gboolean Lapse(gpointer) {
    EventOrder& o = Order();
    o.lapse = 0;
    o.holds = 0;
    Apply();
    return G_SOURCE_REMOVE;
}

}  // namespace

void NoteWindowEventSource() {
    EventOrder& o = Order();
    if (o.windowEvents != nullptr) return;
    GSource* source = g_main_current_source();
    if (source == nullptr) return;
    // Only GDK's own source counts; an event handed on by other code says nothing about it.
    const char* name = g_source_get_name(source);
    if (name == nullptr || std::strncmp(name, "GDK", 3) != 0) return;
    o.windowEvents = g_source_ref(source);
    o.normalPriority = g_source_get_priority(source);
    Apply();
}

void HoldWindowEventsForEngine() {
    EventOrder& o = Order();
    ++o.holds;
    if (o.lapse != 0) g_source_remove(o.lapse);
    o.lapse = g_timeout_add(kHoldLapseMs, &Lapse, nullptr);
    Apply();
}

void ReleaseWindowEventsForEngine() {
    EventOrder& o = Order();
    if (o.holds == 0) return;  // lapsed already
    if (--o.holds == 0 && o.lapse != 0) {
        g_source_remove(o.lapse);
        o.lapse = 0;
    }
    Apply();
}

bool WindowEventsBehindEngine() {
    const EventOrder& o = Order();
    return o.windowEvents != nullptr && g_source_get_priority(o.windowEvents) == kBehindEnginePriority;
}

}  // namespace kestrune::platform::gtk
