// Creation of the Win32 backend of the windowing seam.
#pragma once

#include <windows.h>
// The seam has a member of this name; the wide function is always called by its own name here.
#undef CallWindowProc

#include <memory>

#include "platform/Platform.h"
#include "resources/windows/ResourceIds.h"

namespace kestrune::platform::win32 {

// Registers the program's window classes on `instance` (the module whose resources hold the
// program icon and the hand pointer) and returns the platform; nullptr when a class cannot be
// registered. Only one may exist at a time; it runs on the thread that creates it.
std::unique_ptr<Platform> CreateWin32Platform(HINSTANCE instance);

// Resource numbers of the executable's own icon and hand pointer.
inline constexpr int kProgramIconResource = KESTRUNE_IDI_PROGRAM;
inline constexpr int kHandCursorResource = KESTRUNE_IDC_HAND;

}  // namespace kestrune::platform::win32
