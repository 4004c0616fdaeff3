// Kept apart from the tests: the Xlib headers' macros (None, Bool, Status) would break their code.
#include "XProbe.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace probe {

namespace {
Display* g_display = nullptr;

void Flush() { XSync(g_display, False); }

std::string Utf8Of(::Window window, const char* name) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string result;
    if (XGetWindowProperty(g_display, window, XInternAtom(g_display, name, False), 0, 4096, False,
                           XInternAtom(g_display, "UTF8_STRING", False), &type, &format, &count, &after,
                           &data) == Success && data != nullptr) {
        if (format == 8) result.assign(reinterpret_cast<const char*>(data), count);
        XFree(data);
    }
    return result;
}

unsigned long Search(::Window window, const std::string& title) {
    if (Utf8Of(window, "_NET_WM_NAME") == title) return window;
    char* name = nullptr;
    if (XFetchName(g_display, window, &name) && name != nullptr) {
        const bool match = title == name;
        XFree(name);
        if (match) return window;
    }
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(g_display, window, &root, &parent, &children, &count)) return 0;
    unsigned long found = 0;
    for (unsigned int i = 0; i < count && found == 0; ++i) found = Search(children[i], title);
    if (children != nullptr) XFree(children);
    return found;
}
}  // namespace

bool Open() {
    if (g_display == nullptr) g_display = XOpenDisplay(nullptr);
    return g_display != nullptr;
}

void MoveTo(int x, int y) {
    XTestFakeMotionEvent(g_display, -1, x, y, 0);
    Flush();
}

void Press(int button) {
    XTestFakeButtonEvent(g_display, static_cast<unsigned>(button), True, 0);
    Flush();
}

void Release(int button) {
    XTestFakeButtonEvent(g_display, static_cast<unsigned>(button), False, 0);
    Flush();
}

void Click(int x, int y, int button) {
    MoveTo(x, y);
    Press(button);
    Release(button);
}

std::uint32_t Pixel(int x, int y) {
    XImage* image = XGetImage(g_display, DefaultRootWindow(g_display), x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return 0xFFFFFFFFu;
    const unsigned long p = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    const std::uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    return r | (g << 8) | (b << 16);
}

std::string Utf8Property(unsigned long window, const char* name) { return Utf8Of(window, name); }

CursorImage CurrentCursor() {
    CursorImage result;
    XFixesCursorImage* image = XFixesGetCursorImage(g_display);
    if (image == nullptr) return result;
    result.width = image->width;
    result.height = image->height;
    result.xhot = image->xhot;
    result.yhot = image->yhot;
    for (int i = 0; i < image->width * image->height; ++i)
        result.pixels.push_back(static_cast<std::uint32_t>(image->pixels[i]));
    XFree(image);
    return result;
}

unsigned long FindWindowByTitle(const std::string& title) {
    return Search(DefaultRootWindow(g_display), title);
}

std::string Run(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
    pclose(pipe);
    return out;
}

}  // namespace probe
