// XTEST clicks and keys, kept apart from code that includes the X11 headers' macros would break.
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

// A key (an X keysym) pressed and released, with Control held when asked.
bool FakeKey(unsigned long keysym, bool control) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return false;
    const KeyCode code = XKeysymToKeycode(display, keysym);
    const KeyCode ctrl = XKeysymToKeycode(display, 0xffe3 /* Control_L */);
    if (control) XTestFakeKeyEvent(display, ctrl, True, 0);
    XTestFakeKeyEvent(display, code, True, 0);
    XTestFakeKeyEvent(display, code, False, 20);
    if (control) XTestFakeKeyEvent(display, ctrl, False, 0);
    XFlush(display);
    XCloseDisplay(display);
    return code != 0;
}
