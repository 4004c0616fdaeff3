// The message loop: nested loops, posted private messages, thread timers and the quit message.
#include <algorithm>

#include "platform/win32/BrowserControl.h"
#include "platform/win32/UserBrowser.h"
#include "platform/win32/Win32PlatformImpl.h"

namespace kestrune::platform::win32 {

struct LoopAccess {
    // Thread timers carry no window: the system calls this routine from the dispatch of WM_TIMER,
    // in whichever loop retrieved it (a nested one included).
    static VOID CALLBACK TimerRoutine(HWND, UINT, UINT_PTR id, DWORD) {
        Win32PlatformImpl* impl = Win32PlatformImpl::Instance();
        if (impl == nullptr) return;
        auto it = impl->timers_.find(static_cast<TimerId>(id));
        if (it == impl->timers_.end()) return;
        // A copy: the routine may kill its own timer.
        const std::shared_ptr<std::function<void()>> routine = it->second;
        (*routine)();
    }
};

namespace {

// A press or a first key stroke of the user's (a held key's repeats are not new gestures).
bool IsUserGesture(const MSG& msg) {
    switch (msg.message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_XBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
        return true;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        return (msg.lParam & (1L << 30)) == 0;
    default:
        return false;
    }
}

}  // namespace

void Win32PlatformImpl::Post(WindowId window, std::uint32_t code) {
    HWND hwnd = HwndOf(window);
    // A message to a window that is gone by the time the loop gets to it is dropped by the system.
    if (OnOurThread(hwnd)) ::PostMessageW(hwnd, kPostedMessage, code, 0);
}

// The quit message ends this level; a caller that owns an outer loop posts it again.
bool Win32PlatformImpl::RunLoop(const std::function<bool()>& keepRunning) {
    for (;;) {
        if (keepRunning && !keepRunning()) return false;
        MSG msg;
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            quitCode_ = static_cast<int>(msg.wParam);
            return true;
        }
        if (got == -1) return false;
        if (IsUserGesture(msg)) NoteUserGesture();
        // The browser control's active object has the first say over keys meant for its page (Tab,
        // the editing keys, its shortcuts); what it takes is not translated or dispatched again.
        if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST && TranslateBrowserAccelerator(msg)) continue;
        if (IsRefusedBrowserHistoryButton(msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

void Win32PlatformImpl::PostQuit(int exitCode) {
    quitCode_ = exitCode;
    ::PostQuitMessage(exitCode);
}

TimerId Win32PlatformImpl::StartTimer(int periodMs, std::function<void()> routine) {
    if (!routine) return 0;
    const UINT period = static_cast<UINT>(std::max(periodMs, 1));
    const UINT_PTR id = ::SetTimer(nullptr, 0, period, &LoopAccess::TimerRoutine);
    if (id == 0) return 0;
    timers_[static_cast<TimerId>(id)] = std::make_shared<std::function<void()>>(std::move(routine));
    return static_cast<TimerId>(id);
}

void Win32PlatformImpl::KillTimer(TimerId timer) {
    auto it = timers_.find(timer);
    if (it == timers_.end()) return;
    ::KillTimer(nullptr, timer);
    timers_.erase(it);
}

}  // namespace kestrune::platform::win32
