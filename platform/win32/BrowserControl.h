// The web view of the Win32 backend: the system web browser control, sited in the box window as an
// embedded OLE control and driven through IWebBrowser2. Its own window ("Shell Embedding", child id
// 0xE900) is the view's window; below it the control keeps its document view window and, below that,
// the page window of the current document, which it replaces as it moves between documents.
//
// The control reads the browser-mode values of the registry itself when it starts in the process,
// so the view's mode setter has nothing to do here.
#pragma once

#include <windows.h>
// The seam has a member of this name; the wide function is always called by its own name here.
#undef CallWindowProc

#include <memory>

#include "platform/WebView.h"
#include "platform/win32/ComPtr.h"

namespace kestrune::platform::win32 {

// The child-window id of the control's own window.
inline constexpr int kBrowserWindowId = 0xE900;

// A control covering `rect` (client coordinates of `parent`), shown, notifying `host`; nullptr when the
// control cannot be created or activated. COM must be initialised on this thread (OleApartment).
std::unique_ptr<WebView> CreateBrowserControl(HWND parent, const Rect& rect, WebViewHost* host);

// The control object behind a view that CreateBrowserControl made (empty for any other view), for
// code that reaches it the way the system does, through its own interfaces and connection points.
ComPtr<IUnknown> BrowserControlObject(const WebView& view);

// The loop's part of the in-place contract: a key message for a control's window (or one below it)
// is offered to the control's active object first. True when the object took it; the loop then
// neither translates nor dispatches it.
bool TranslateBrowserAccelerator(MSG& message);
// A Tab or Shift+Tab press with neither Control nor Alt held (the keys that move between a page's
// elements); `keyState` is GetKeyState or a test's stand-in.
bool IsPlainTab(const MSG& message, SHORT(WINAPI* keyState)(int) = &::GetKeyState);
// The mouse's back and forward buttons over a control's windows: the control would move through its
// history, which the launcher's pages never do. True for such a message; the loop drops it.
bool IsRefusedBrowserHistoryButton(const MSG& message);
// `topLevel` was activated or deactivated: the active objects of the controls in it are told.
void FrameWindowActivated(HWND topLevel, bool active);

}  // namespace kestrune::platform::win32
