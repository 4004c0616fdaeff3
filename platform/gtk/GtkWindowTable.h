// Backend-internal interface of the GTK 3 (X11) backend, for the code inside platform/gtk/ that
// needs to reach the window table directly (the web view in particular).
//
// Every window the Platform hands out has an entry in one table: top-level windows (a GtkWindow
// holding a GtkLayout), child windows (a GtkLayout inside the parent's layout), foreign widgets
// registered as child windows (for example the WebKitWebView) and pseudo windows, which exist only
// as ids below another window and have no widget. All functions run on the GUI thread and require
// the GTK platform to exist (CreateGtkPlatform).
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <memory>

#include "platform/Platform.h"
#include "platform/WebView.h"

namespace kestrune::platform::gtk {

// Gives `widget` an id as a child window of `parent`. When the widget has no GTK parent yet it is
// put into the parent's container at `rect` (parent client coordinates) and shown; Platform::Move,
// Resize, Show, Destroy and FirstChild then work on it like on any child window. `host` (may be
// null) receives Destroyed() when the window goes. The table holds a reference on the widget until
// then; destroying the parent destroys it. The widget is taken to draw every pixel of its
// rectangle: the parent does not paint what it covers. Returns 0 when `parent` is unknown or a
// pseudo window.
WindowId RegisterWidgetWindow(GtkWidget* widget, WindowId parent, const Rect& rect = {},
                              WindowHost* host = nullptr);

// A window that exists only as an id below `parent` (any known window): it has no widget, is never
// painted and gets no input; its procedure slot works (SetWindowProc / CallWindowProc). Returns 0
// when `parent` is unknown.
WindowId CreatePseudoWindow(WindowId parent);

// Delivers kMessageDestroy through the window's procedure chain (its pseudo children first), then
// removes it. Platform::Destroy on a pseudo window does the same. No-op for unknown ids.
void DestroyPseudoWindow(WindowId window);

// Runs the window's procedure chain for one message and returns the result. A window whose slot was
// never replaced runs the default procedure, which returns 0. When `reachedDefault` is given it is
// set to whether the chain ended in the default procedure (the message was not swallowed).
std::intptr_t DispatchToProc(WindowId window, std::uint32_t message, std::intptr_t wParam,
                             std::intptr_t lParam, bool* reachedDefault = nullptr);

// The procedure every window starts with: returns 0 and swallows nothing.
std::intptr_t DefaultWindowProc(WindowId window, std::uint32_t message, std::intptr_t wParam,
                                std::intptr_t lParam);

// The window's own widget: the GtkWindow of a top-level window, the GtkLayout of a child window,
// the registered widget of a widget window; nullptr for pseudo windows and unknown ids.
GtkWidget* WidgetOf(WindowId window);
// The GtkLayout that holds the window's child windows (the content layout of a top-level window,
// the layout itself of a child window); nullptr for widget and pseudo windows.
GtkWidget* ContainerOf(WindowId window);
// The id of the window whose own widget is `widget`, or 0.
WindowId WindowOfWidget(GtkWidget* widget);
// The top-level window that contains `window` (itself for a top-level window), or 0.
WindowId TopLevelOf(WindowId window);
// The host given at creation or registration, or nullptr.
WindowHost* HostOf(WindowId window);

// The web view factory of this backend (platform/gtk/GtkWebView.*). Platform::CreateWebView calls it.
std::unique_ptr<WebView> CreateGtkWebView(WindowId parent, const Rect& rect, WebViewHost* host);
void PrepareGtkWebView(const std::string& url, const WebViewMode& mode);

}  // namespace kestrune::platform::gtk
