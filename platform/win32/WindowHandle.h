// Window handles and the seam's window ids. The seam carries a window as a 32-bit id (WindowId);
// this is the one place where a handle becomes an id and back.
//
// A user handle (HWND) is 32 bits wide in meaning on every Windows: a 64-bit process sees the same
// value sign-extended to 64 bits, so that 32- and 64-bit processes can pass handles to each other.
// The id keeps the low 32 bits, and the handle is rebuilt by sign extension, which gives back
// exactly the handle the system made in a 64-bit build as in the shipped 32-bit one.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/Platform.h"

namespace kestrune::platform::win32 {

inline WindowId IdOf(HWND hwnd) {
    return static_cast<WindowId>(reinterpret_cast<std::uintptr_t>(hwnd) & 0xFFFFFFFFu);
}

inline HWND HwndOf(WindowId id) {
    return reinterpret_cast<HWND>(static_cast<std::intptr_t>(static_cast<std::int32_t>(id)));
}

}  // namespace kestrune::platform::win32
