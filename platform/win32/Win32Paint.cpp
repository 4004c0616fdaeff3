// Painting: every window of ours keeps its client area in a 32-bit top-down DIB section. The host
// draws into it (as BGRA pixels) when the window was invalidated, and every WM_PAINT copies it to
// the screen, so exposures that change nothing cost no host painting.
#include <algorithm>

#include "platform/win32/Win32PlatformImpl.h"

namespace kestrune::platform::win32 {

namespace {

void Fill(const PixelView& view, Colour colour) {
    for (int y = 0; y < view.height; ++y)
        for (int x = 0; x < view.width; ++x) view.SetColour(x, y, colour);
}

// Makes sure the backing store has the client size; a new one is all to be painted.
bool EnsureBacking(Window& w, Size client, Colour background) {
    if (client.width <= 0 || client.height <= 0) return false;
    if (!w.backing.Empty() && w.backing.Width() == client.width && w.backing.Height() == client.height) return true;
    if (!w.backing.Create(client.width, client.height)) return false;
    Fill(w.backing.Pixels(), background);
    w.invalid = Rect{0, 0, client.width, client.height};
    return true;
}

void PaintHost(Window& w, const Rect& dirty) {
    if (dirty.Empty() || w.host == nullptr) return;
    ::GdiFlush();  // the section's bits are ours only once pending drawing into it is done
    w.host->Paint(w.backing.Pixels(), dirty);
}

}  // namespace

void Win32PlatformImpl::OnPaint(Window& w) {
    HWND hwnd = w.hwnd;
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd, &ps);
    if (dc == nullptr) return;
    const Size client = GetClientSize(IdOf(hwnd));
    if (EnsureBacking(w, client, ButtonFaceColour())) {
        if (!w.invalid.Empty()) {
            const Rect dirty = w.invalid.Intersect({0, 0, client.width, client.height});
            w.invalid = {};
            PaintHost(w, dirty);
        }
        // The host may have destroyed the window while painting.
        if (Window* again = Find(hwnd); again != nullptr && !again->backing.Empty()) {
            const RECT& r = ps.rcPaint;
            ::BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, again->backing.Dc(), r.left, r.top, SRCCOPY);
        }
    }
    ::EndPaint(hwnd, &ps);
}

void Win32PlatformImpl::Invalidate(WindowId window) {
    HWND hwnd = HwndOf(window);
    if (!OnOurThread(hwnd)) return;
    Window* w = Find(hwnd);
    if (w == nullptr) {  // a foreign window paints itself
        ::InvalidateRect(hwnd, nullptr, TRUE);
        return;
    }
    // The whole client area, whatever size it has by the time it is painted.
    w->invalid = Rect{0, 0, 1 << 16, 1 << 16};
    ::InvalidateRect(hwnd, nullptr, FALSE);
}

// Paints into the backing store and onto the screen now.
void Win32PlatformImpl::Repaint(WindowId window) {
    HWND hwnd = HwndOf(window);
    if (!OnOurThread(hwnd)) return;
    Window* w = Find(hwnd);
    if (w != nullptr && w->host != nullptr && EnsureBacking(*w, GetClientSize(window), ButtonFaceColour())) {
        w->invalid = {};
        PaintHost(*w, Rect{0, 0, w->backing.Width(), w->backing.Height()});
        if (Find(hwnd) == nullptr) return;
        ::InvalidateRect(hwnd, nullptr, FALSE);
    } else {
        Invalidate(window);
    }
    ::UpdateWindow(hwnd);
}

}  // namespace kestrune::platform::win32
