// The web view and the procedure slot are the browser control's (BrowserControl.*, ProcedureSlot.*);
// the platform forwards to them.
#include "platform/WebView.h"
#include "platform/win32/BrowserControl.h"
#include "platform/win32/ProcedureSlot.h"
#include "platform/win32/Win32PlatformImpl.h"

namespace kestrune::platform::win32 {

std::unique_ptr<WebView> Win32PlatformImpl::CreateWebView(WindowId parent, const Rect& rect, WebViewHost* host) {
    const Window* p = Find(HwndOf(parent));
    if (p == nullptr || p->kind == Kind::Owner) return nullptr;
    return CreateBrowserControl(p->hwnd, rect, host);
}

WindowProc Win32PlatformImpl::SetWindowProc(WindowId window, WindowProc proc) {
    HWND hwnd = HwndOf(window);
    // Only foreign windows (the page windows below a web view) have a replaceable slot.
    if (!OnOurThread(hwnd) || Find(hwnd) != nullptr || proc == nullptr) return nullptr;
    return ReplaceWindowProc(hwnd, proc);
}

std::intptr_t Win32PlatformImpl::CallWindowProc(WindowProc previous, WindowId window, std::uint32_t message,
                                                std::intptr_t wParam, std::intptr_t lParam) {
    return CallReplacedWindowProc(previous, HwndOf(window), message, wParam, lParam);
}

}  // namespace kestrune::platform::win32
