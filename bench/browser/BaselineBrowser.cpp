// The baseline of the browser benchmark: the least a program needs to do the launcher's work with
// GTK and WebKitGTK alone.
//   kestrune-bench-baseline [--final-size] URL
// A borderless 1250 x 870 window, centred, paints the launcher's skin picture (decoded once with
// GdkPixbuf and kept) tiled behind a 585 x 325 web view placed where the launcher's login browser
// sits. When the page is about to go to an address holding "client=1", that navigation is
// cancelled and a second, maximised window opens with a new web view related to the first one (the
// same web process), loading the address. Closing the second window leaves the first one as it was;
// closing the first one ends the program. The game page so loads at the new window's first size;
// with --final-size its document is let in (its response accepted) only once the window is
// maximised and the view has its size, as the launcher does.
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdlib>
#include <cstring>

#include "resources/Artwork.h"
#include "platform/Trace.h"

namespace {

constexpr int kWindowWidth = 1250, kWindowHeight = 870;
constexpr int kViewLeft = 455, kViewTop = 370, kViewWidth = 585, kViewHeight = 325;

GdkPixbuf* g_skin = nullptr;
GtkWidget* g_game = nullptr;
bool g_finalSize = false;
WebKitPolicyDecision* g_heldResponse = nullptr;
bool g_letIn = false;  // the game window's first document is in

GdkPixbuf* DecodeSkin() {
    const auto bytes = kestrune::resources::LoginBackgroundPicture();
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
    if (loader == nullptr) return nullptr;
    gdk_pixbuf_loader_write(loader, bytes.data(), bytes.size(), nullptr);
    gdk_pixbuf_loader_close(loader, nullptr);
    GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
    if (pixbuf != nullptr) g_object_ref(pixbuf);
    g_object_unref(loader);
    return pixbuf;
}

gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer) {
    cairo_set_source_rgb(cr, 240 / 255.0, 240 / 255.0, 240 / 255.0);
    cairo_paint(cr);
    if (g_skin != nullptr) {
        gdk_cairo_set_source_pixbuf(cr, g_skin, 0, 0);
        cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_REPEAT);
        cairo_paint(cr);
    }
    return FALSE;  // the window's own handler draws the view on top
}

// The window manager marks the window maximised before it gives it the size, and GTK lays the
// window out only once it has read that size: the frame must fill the work area of its monitor, and
// the window and its view must be at the size the server gives the window now.
bool GameViewAtFinalSize(GtkWidget* view) {
    if (g_game == nullptr || !gtk_widget_get_mapped(view)) return false;
    GdkWindow* window = gtk_widget_get_window(g_game);
    if (window == nullptr || (gdk_window_get_state(window) & GDK_WINDOW_STATE_MAXIMIZED) == 0) return false;
    GdkRectangle frame, work;
    gdk_window_get_frame_extents(window, &frame);
    gdk_monitor_get_workarea(gdk_display_get_monitor_at_window(gdk_window_get_display(window), window), &work);
    if (frame.x != work.x || frame.y != work.y || frame.width != work.width || frame.height != work.height)
        return false;
    gint x = 0, y = 0, width = 0, height = 0;
    gdk_window_get_geometry(window, &x, &y, &width, &height);  // asked of the server
    GtkAllocation view_allocation, window_allocation;
    gtk_widget_get_allocation(view, &view_allocation);
    gtk_widget_get_allocation(g_game, &window_allocation);
    return window_allocation.width == width && window_allocation.height == height &&
           view_allocation.width == width && view_allocation.height == height;
}

void ReleaseHeldResponse(GtkWidget* view) {
    if (g_heldResponse == nullptr || !GameViewAtFinalSize(view)) return;
    webkit_policy_decision_use(g_heldResponse);
    g_object_unref(g_heldResponse);
    g_heldResponse = nullptr;
    g_letIn = true;
}

gboolean OnGameDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                            gpointer) {
    if (type != WEBKIT_POLICY_DECISION_TYPE_RESPONSE || g_letIn || g_heldResponse != nullptr) return FALSE;
    if (!webkit_response_policy_decision_is_main_frame_main_resource(WEBKIT_RESPONSE_POLICY_DECISION(decision)))
        return FALSE;
    if (GameViewAtFinalSize(GTK_WIDGET(view))) {
        g_letIn = true;
        return FALSE;
    }
    g_heldResponse = WEBKIT_POLICY_DECISION(g_object_ref(decision));
    return TRUE;
}

void OpenGameWindow(WebKitWebView* related, const char* uri) {
    if (g_game != nullptr) {
        gtk_window_present(GTK_WINDOW(g_game));
        return;
    }
    kestrune::platform::TraceStep("handoff-decided");
    g_game = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(g_game), "Kestrune微端");
    gtk_window_set_default_size(GTK_WINDOW(g_game), 1024, 768);
    gtk_window_maximize(GTK_WINDOW(g_game));
    g_letIn = false;
    g_signal_connect(g_game, "destroy", G_CALLBACK(+[](GtkWidget*, gpointer) {
                         g_game = nullptr;
                         if (g_heldResponse == nullptr) return;
                         webkit_policy_decision_ignore(g_heldResponse);
                         g_object_unref(g_heldResponse);
                         g_heldResponse = nullptr;
                     }),
                     nullptr);
    kestrune::platform::TraceStep("view-making");
    GtkWidget* view = webkit_web_view_new_with_related_view(related);
    kestrune::platform::TraceStep("view-made");
    gtk_container_add(GTK_CONTAINER(g_game), view);
    g_signal_connect(view, "decide-policy", G_CALLBACK(+[](WebKitWebView*, WebKitPolicyDecision*, WebKitPolicyDecisionType type, gpointer) {
                         if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION)
                             kestrune::platform::TraceStep("navigation-asked");
                         return FALSE;
                     }),
                     nullptr);
    g_signal_connect(g_game, "map-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer) {
                         kestrune::platform::TraceStep("top-level-mapped");
                         return FALSE;
                     }),
                     nullptr);
    if (g_finalSize) {
        // Only the first document waits; once it is in, the view is what it is.
        g_signal_connect(view, "decide-policy", G_CALLBACK(OnGameDecidePolicy), nullptr);
        g_signal_connect_after(view, "size-allocate",
                               G_CALLBACK(+[](GtkWidget* widget, GdkRectangle*, gpointer) { ReleaseHeldResponse(widget); }),
                               nullptr);
        g_signal_connect_after(g_game, "window-state-event",
                               G_CALLBACK(+[](GtkWidget*, GdkEventWindowState*, gpointer data) {
                                   ReleaseHeldResponse(GTK_WIDGET(data));
                                   return FALSE;
                               }),
                               view);
    }
    kestrune::platform::TraceStep("load-starting");
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), uri);
    kestrune::platform::TraceStep("top-level-showing");
    gtk_widget_show_all(g_game);
    kestrune::platform::TraceStep("top-level-shown");
}

gboolean OnDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                        gpointer) {
    if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION) return FALSE;
    WebKitNavigationAction* action =
        webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    const gchar* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    if (uri == nullptr || std::strstr(uri, "client=1") == nullptr) return FALSE;
    OpenGameWindow(view, uri);
    webkit_policy_decision_ignore(decision);
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--final-size") == 0) {
        g_finalSize = true;
        --argc;
        ++argv;
    }
    if (argc < 2) return 2;
    setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", 0);
    gtk_init(&argc, &argv);
    g_skin = DecodeSkin();

    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    gtk_window_set_default_size(GTK_WINDOW(window), kWindowWidth, kWindowHeight);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
    gtk_widget_set_app_paintable(window, TRUE);
    g_signal_connect(window, "draw", G_CALLBACK(OnDraw), nullptr);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);

    GtkWidget* fixed = gtk_fixed_new();
    gtk_widget_set_size_request(fixed, kWindowWidth, kWindowHeight);
    gtk_container_add(GTK_CONTAINER(window), fixed);
    GtkWidget* view = webkit_web_view_new();
    gtk_widget_set_size_request(view, kViewWidth, kViewHeight);
    gtk_fixed_put(GTK_FIXED(fixed), view, kViewLeft, kViewTop);
    g_signal_connect(view, "decide-policy", G_CALLBACK(OnDecidePolicy), nullptr);
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), argv[1]);
    gtk_widget_show_all(window);
    gtk_main();
    if (g_skin != nullptr) g_object_unref(g_skin);
    return 0;
}
