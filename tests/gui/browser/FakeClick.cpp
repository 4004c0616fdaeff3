// XTEST right-click, kept apart from code that includes the X11 headers' macros would break.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

bool FakeRightClick(int screenX, int screenY) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    XTestFakeMotionEvent(display, -1, screenX, screenY, 0);
    XTestFakeButtonEvent(display, 3, True, 0);
    XTestFakeButtonEvent(display, 3, False, 30);
    XFlush(display);
    XCloseDisplay(display);
    return true;
}
