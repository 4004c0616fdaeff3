// The web view and the procedure slot are the browser control's (BrowserControl.*, ProcedureSlot.*);
// the platform forwards to them. A build without those files has no web view and no slot.
#include "platform/WebView.h"
#include "platform/win32/Win32PlatformImpl.h"

#if __has_include("platform/win32/BrowserControl.h")
#include "platform/win32/BrowserControl.h"
#define KESTRUNE_HAVE_BROWSER_CONTROL 1
#endif
#if __has_include("platform/win32/ProcedureSlot.h")
#include "platform/win32/ProcedureSlot.h"
#define KESTRUNE_HAVE_PROCEDURE_SLOT 1
#endif

namespace kestrune::platform::win32 {

std::unique_ptr<WebView> Win32PlatformImpl::CreateWebView(WindowId parent, const Rect& rect, WebViewHost* host) {
    const Window* p = Find(HwndOf(parent));
    if (p == nullptr || p->kind == Kind::Owner) return nullptr;
#ifdef KESTRUNE_HAVE_BROWSER_CONTROL
    return CreateBrowserControl(p->hwnd, rect, host);
#else
    (void)rect;
    (void)host;
    return nullptr;
#endif
}

WindowProc Win32PlatformImpl::SetWindowProc(WindowId window, WindowProc proc) {
    HWND hwnd = HwndOf(window);
    // Only foreign windows (the page windows below a web view) have a replaceable slot.
    if (!OnOurThread(hwnd) || Find(hwnd) != nullptr || proc == nullptr) return nullptr;
#ifdef KESTRUNE_HAVE_PROCEDURE_SLOT
    return ReplaceWindowProc(hwnd, proc);
#else
    return nullptr;
#endif
}

std::intptr_t Win32PlatformImpl::CallWindowProc(WindowProc previous, WindowId window, std::uint32_t message,
                                                std::intptr_t wParam, std::intptr_t lParam) {
#ifdef KESTRUNE_HAVE_PROCEDURE_SLOT
    return CallReplacedWindowProc(previous, HwndOf(window), message, wParam, lParam);
#else
    (void)previous;
    (void)window;
    (void)message;
    (void)wParam;
    (void)lParam;
    return 0;
#endif
}

}  // namespace kestrune::platform::win32
