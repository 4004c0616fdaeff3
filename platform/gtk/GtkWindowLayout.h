// The widget that is one of the program's windows on GTK: a GtkLayout that keyboard traversal
// passes through (Tab reaches the web views inside it, never the window itself) and that tells
// assistive technology what the window is (a push button with a name and a press action, a
// decoration, or a plain pane).
#pragma once

#include <gtk/gtk.h>

#include "platform/Platform.h"

namespace kestrune::platform::gtk {

GtkWidget* NewWindowLayout();
void SetLayoutAccessibility(GtkWidget* layout, const Accessibility& accessibility);

}  // namespace kestrune::platform::gtk
