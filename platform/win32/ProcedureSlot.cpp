#include "platform/win32/ProcedureSlot.h"

#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/win32/SystemLibrary.h"
#include "platform/win32/WindowHandle.h"

namespace kestrune::platform::win32 {

namespace {

template <typename Function>
void Resolve(Function& target, const char* name) {
    target = reinterpret_cast<Function>(reinterpret_cast<void*>(ResolveSystemFunction("user32", name)));
}

// One replacement on a window: the neutral procedure and the native one it replaced. A window may be
// replaced more than once; the last replacement runs first.
struct Level {
    WindowProc proc;
    WNDPROC replaced;
};

// Replaced windows of this thread, and the replacements running now, innermost last (a procedure may
// pass a message on, and a message may be sent to the window while another is being handled).
std::unordered_map<HWND, std::vector<Level>>& Replaced() {
    static std::unordered_map<HWND, std::vector<Level>> windows;
    return windows;
}
std::unordered_set<HWND>& Destroyed() {
    static std::unordered_set<HWND> windows;
    return windows;
}
struct Frame {
    HWND window;
    std::size_t level;
    UINT message;
    bool passedOn;  // the level handed the message to the native procedure it replaced
};
std::vector<Frame>& Running() {
    static std::vector<Frame> frames;
    return frames;
}

LRESULT RunLevel(HWND window, std::size_t level, UINT message, WPARAM wParam, LPARAM lParam);

constexpr std::size_t kNoFrame = static_cast<std::size_t>(-1);

// Index of the innermost running frame of a window, or kNoFrame.
std::size_t InnermostFrame(HWND window) {
    for (std::size_t i = Running().size(); i-- > 0;)
        if (Running()[i].window == window) return i;
    return kNoFrame;
}

// The native procedure every replaced window gets. A new message runs the window's last replacement;
// a message coming back through a procedure that someone else put in between two replacements runs
// the replacement below the one that passed it on (below the first one is the window's own
// procedure, which never comes back here, so the same message there is a new one).
LRESULT CALLBACK SlotProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto it = Replaced().find(window);
    if (it == Replaced().end() || it->second.empty()) return ::DefWindowProcW(window, message, wParam, lParam);
    std::size_t level = it->second.size() - 1;
    if (const std::size_t inner = InnermostFrame(window); inner != kNoFrame && Running()[inner].passedOn &&
                                                          Running()[inner].message == message &&
                                                          Running()[inner].level > 0)
        level = Running()[inner].level - 1;
    const LRESULT result = RunLevel(window, level, message, wParam, lParam);
    // WM_NCDESTROY is the last message a window gets: it is forgotten once none of its replacements
    // runs any more (the window may be destroyed from inside one of them).
    if (message == WM_NCDESTROY) Destroyed().insert(window);
    if (Destroyed().count(window) != 0 && InnermostFrame(window) == kNoFrame) {
        Replaced().erase(window);
        Destroyed().erase(window);
    }
    return result;
}

LRESULT RunLevel(HWND window, std::size_t level, UINT message, WPARAM wParam, LPARAM lParam) {
    const WindowProc proc = Replaced()[window][level].proc;
    Running().push_back({window, level, message, false});
    struct Pop {
        ~Pop() { Running().pop_back(); }
    } pop;
    return static_cast<LRESULT>(proc(IdOf(window), message, static_cast<std::intptr_t>(wParam),
                                     static_cast<std::intptr_t>(lParam)));
}

}  // namespace

const User32Functions& SystemUser32() {
    static const User32Functions functions = [] {
        User32Functions f;
        Resolve(f.findWindowEx, "FindWindowExW");
#ifdef _WIN64
        Resolve(f.setWindowLongPtr, "SetWindowLongPtrW");
#else
        Resolve(f.setWindowLongPtr, "SetWindowLongW");
#endif
        Resolve(f.callWindowProc, "CallWindowProcW");
        Resolve(f.setTimer, "SetTimer");
        Resolve(f.killTimer, "KillTimer");
        f.complete = f.findWindowEx != nullptr && f.setWindowLongPtr != nullptr && f.callWindowProc != nullptr &&
                     f.setTimer != nullptr && f.killTimer != nullptr;
        return f;
    }();
    return functions;
}

WindowProc ReplaceWindowProc(HWND window, WindowProc proc) {
    if (proc == nullptr || !::IsWindow(window) || ::GetWindowThreadProcessId(window, nullptr) != ::GetCurrentThreadId())
        return nullptr;
    const User32Functions& user32 = SystemUser32();
    if (user32.setWindowLongPtr == nullptr) return nullptr;

    std::vector<Level>& levels = Replaced()[window];
    ::SetLastError(ERROR_SUCCESS);
    const LONG_PTR replaced = user32.setWindowLongPtr(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SlotProc));
    if (replaced == 0 && ::GetLastError() != ERROR_SUCCESS) {
        if (levels.empty()) Replaced().erase(window);
        return nullptr;
    }
    levels.push_back({proc, reinterpret_cast<WNDPROC>(replaced)});
    // The neutral handle of the replaced procedure is the native one; only CallReplacedWindowProc calls it.
    return reinterpret_cast<WindowProc>(reinterpret_cast<void*>(replaced));
}

std::intptr_t CallReplacedWindowProc(WindowProc previous, HWND window, std::uint32_t message, std::intptr_t wParam,
                                     std::intptr_t lParam) {
    if (previous == nullptr) return 0;
    const auto native = reinterpret_cast<WNDPROC>(reinterpret_cast<void*>(previous));
    const std::size_t inner = InnermostFrame(window);
    if (native == &SlotProc) {
        // What was replaced is an earlier replacement on this window: run the one below the running one.
        if (inner != kNoFrame && Running()[inner].level > 0)
            return RunLevel(window, Running()[inner].level - 1, message, static_cast<WPARAM>(wParam),
                            static_cast<LPARAM>(lParam));
        return ::DefWindowProcW(window, message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
    }
    const User32Functions& user32 = SystemUser32();
    if (user32.callWindowProc == nullptr) return 0;
    if (inner == kNoFrame)
        return user32.callWindowProc(native, window, message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
    // Marked while the native procedure runs, in case it hands the message back to this slot.
    const Frame saved = Running()[inner];
    Running()[inner].passedOn = true;
    Running()[inner].message = message;
    const LRESULT result =
        user32.callWindowProc(native, window, message, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
    Running()[inner] = saved;
    return result;
}

}  // namespace kestrune::platform::win32
