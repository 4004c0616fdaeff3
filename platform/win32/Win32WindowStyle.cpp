#include "platform/win32/Win32WindowStyle.h"

namespace kestrune::platform::win32 {

WindowStyles StylesFor(const FrameStyle& frame) {
    WindowStyles s;
    s.style = WS_CLIPCHILDREN;
    if (!frame.frame) {
        s.style |= WS_POPUP;
        if (frame.systemMenu) s.style |= WS_SYSMENU;
        if (frame.maximizeBox) s.style |= WS_MAXIMIZEBOX;
        if (frame.minimizeBox) s.style |= WS_MINIMIZEBOX;
        return s;
    }
    s.style |= WS_DLGFRAME;
    if (frame.caption) s.style |= WS_CAPTION;
    if (frame.caption && frame.systemMenu) s.style |= WS_SYSMENU;
    if (frame.resizable) s.style |= WS_THICKFRAME;
    if (frame.maximizeBox) s.style |= WS_MAXIMIZEBOX;
    if (frame.minimizeBox) s.style |= WS_MINIMIZEBOX;
    if (frame.toolWindow) s.exStyle |= WS_EX_TOOLWINDOW;
    if (frame.clientEdge) s.exStyle |= WS_EX_CLIENTEDGE;
    return s;
}

}  // namespace kestrune::platform::win32
