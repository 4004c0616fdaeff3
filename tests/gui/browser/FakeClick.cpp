// XTEST clicks, kept apart from code that includes the X11 headers' macros would break.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

bool FakeClick(int screenX, int screenY, unsigned button) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    XTestFakeMotionEvent(display, -1, screenX, screenY, 0);
    XTestFakeButtonEvent(display, button, True, 0);
    XTestFakeButtonEvent(display, button, False, 30);
    XFlush(display);
    XCloseDisplay(display);
    return true;
}
