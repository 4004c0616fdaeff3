// The WebKitGTK web view of the GTK backend. Its window is the WebKitWebView registered as a child of
// the box; below it live two pseudo windows, the document view and the page window, and the page
// window is replaced (kMessageDestroy through its procedure chain) with every committed main-frame
// load. Right-button and context-menu input is offered to the page window's procedure chain first.
#pragma once

#include <memory>

#include "platform/WebView.h"

namespace kestrune::platform::gtk {

// Zoom factor for a text size 0..4 (clamped).
double TextZoomFactor(int level);

}  // namespace kestrune::platform::gtk
