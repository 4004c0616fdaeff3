// The procedure slot of a window made by someone else (the page windows below a browser control):
// a neutral WindowProc replaces the window's procedure, and messages it does not swallow go on to
// the procedure it replaced.
//
// The slot is replaced and called through the wide functions. The page window is a Unicode window;
// an ANSI procedure put in its slot would get typed text converted through the ANSI code page, and
// every character outside that code page would reach the page as "?".
#pragma once

#include <windows.h>
// The seam has a member of this name; the wide function is always called by its own name here.
#undef CallWindowProc

#include <cstdint>

#include "platform/Platform.h"

namespace kestrune::platform::win32 {

// Puts `proc` in the procedure slot of `window` (a window of this thread) and returns the procedure
// it replaced, to be passed to CallReplacedWindowProc. nullptr, with nothing changed, when the window
// is not one of this thread's, `proc` is nullptr or the slot cannot be written.
WindowProc ReplaceWindowProc(HWND window, WindowProc proc);

// Passes a message on to a procedure that ReplaceWindowProc returned.
std::intptr_t CallReplacedWindowProc(WindowProc previous, HWND window, std::uint32_t message, std::intptr_t wParam,
                                     std::intptr_t lParam);

// The user32 functions of the slot, of the page-window walk and of thread timers, resolved by name
// from the system's own user32 on first use and kept for the run. A function that cannot be resolved
// is the fatal error "无法找到指定DLL库文件“user32”中的输出命令“<name>”" (see SystemLibrary.h).
struct User32Functions {
    HWND(WINAPI* findWindowEx)(HWND, HWND, LPCWSTR, LPCWSTR) = nullptr;
    LONG_PTR(WINAPI* setWindowLongPtr)(HWND, int, LONG_PTR) = nullptr;
    LRESULT(WINAPI* callWindowProc)(WNDPROC, HWND, UINT, WPARAM, LPARAM) = nullptr;
    UINT_PTR(WINAPI* setTimer)(HWND, UINT_PTR, UINT, TIMERPROC) = nullptr;
    BOOL(WINAPI* killTimer)(HWND, UINT_PTR) = nullptr;
    bool complete = false;  // all five found
};
const User32Functions& SystemUser32();

}  // namespace kestrune::platform::win32
