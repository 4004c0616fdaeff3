// The baseline of the browser benchmark: the least a program needs to show the same page, a bare GTK
// window holding one WebKitGTK view. It navigates in place where the launcher hands off to a second
// window.
//   kestrune-bench-baseline URL
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    setenv("WEBKIT_DISABLE_DMABUF_RENDERER", "1", 0);
    gtk_init(&argc, &argv);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 585, 325);
    GtkWidget* view = webkit_web_view_new();
    gtk_container_add(GTK_CONTAINER(window), view);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), argv[1]);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
