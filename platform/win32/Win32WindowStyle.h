// The window styles a frame description gives on Win32.
#pragma once

#include <windows.h>
// The seam has a member of this name; the wide function is always called by its own name here.
#undef CallWindowProc

#include "platform/Platform.h"

namespace kestrune::platform::win32 {

struct WindowStyles {
    DWORD style = 0;
    DWORD exStyle = 0;
};

// The style bits that StylesFor decides; SetFrameStyle replaces exactly these and keeps the rest
// (visible, disabled, minimised, maximised, clipping).
inline constexpr DWORD kFrameStyleMask =
    WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
inline constexpr DWORD kFrameExStyleMask = WS_EX_TOOLWINDOW | WS_EX_CLIENTEDGE | WS_EX_WINDOWEDGE | WS_EX_DLGMODALFRAME;

// A top-level window's styles. No frame: a pop-up without caption or border (the boxes and the
// system menu only as given; the program minimises it itself). A frame: the dialog frame in any case, the caption only when asked for, a thick frame when
// resizable, the boxes and system menu as given, a narrow caption or a sunken client edge.
// Every top-level window clips its children.
WindowStyles StylesFor(const FrameStyle& frame);

}  // namespace kestrune::platform::win32
