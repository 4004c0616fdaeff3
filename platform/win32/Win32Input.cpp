// Mouse input of the program's own windows, the capture, the move drag, hit testing from a screen
// point and pointers.
#include <windowsx.h>

#include <algorithm>

#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32PlatformImpl.h"

namespace kestrune::platform::win32 {

namespace {

bool EnabledChain(HWND hwnd) {
    for (HWND up = hwnd; up != nullptr; up = (::GetWindowLongW(up, GWL_STYLE) & WS_CHILD) ? ::GetAncestor(up, GA_PARENT) : nullptr)
        if (!::IsWindowEnabled(up)) return false;
    return true;
}

bool KnownSystemCursor(int code) {
    return (code >= 32512 && code <= 32516) || (code >= 32640 && code <= 32651 && code != 32647);
}

}  // namespace

// True when the message was handled (the host saw it, or it was deliberately dropped).
bool Win32PlatformImpl::OnMouseMessage(Window& w, UINT message, WPARAM wParam, LPARAM lParam) {
    MouseEvent event;
    switch (message) {
    case WM_LBUTTONDOWN: event = {MouseAction::Press, MouseButton::Left}; break;
    case WM_LBUTTONDBLCLK: event = {MouseAction::DoublePress, MouseButton::Left}; break;
    case WM_LBUTTONUP: event = {MouseAction::Release, MouseButton::Left}; break;
    case WM_RBUTTONDOWN: event = {MouseAction::Press, MouseButton::Right}; break;
    case WM_RBUTTONDBLCLK: event = {MouseAction::DoublePress, MouseButton::Right}; break;
    case WM_RBUTTONUP: event = {MouseAction::Release, MouseButton::Right}; break;
    case WM_MBUTTONDOWN: event = {MouseAction::Press, MouseButton::Middle}; break;
    case WM_MBUTTONDBLCLK: event = {MouseAction::DoublePress, MouseButton::Middle}; break;
    case WM_MBUTTONUP: event = {MouseAction::Release, MouseButton::Middle}; break;
    case WM_MOUSEMOVE: event = {MouseAction::Move, MouseButton::None}; break;
    case WM_MOUSELEAVE: event = {MouseAction::Leave, MouseButton::None}; break;
    default: return false;
    }
    HWND hwnd = w.hwnd;
    if (message == WM_MOUSEMOVE && !w.trackingLeave) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd, 0};
        w.trackingLeave = ::TrackMouseEvent(&track) != FALSE;
    }
    if (message == WM_MOUSELEAVE) {
        w.trackingLeave = false;
        if (::GetCapture() != nullptr) return true;  // a captured pointer has not left
        POINT pt{};
        ::GetCursorPos(&pt);
        event.screen = {pt.x, pt.y};
        ::ScreenToClient(hwnd, &pt);
        event.client = {pt.x, pt.y};
        event.leftDown = (::GetAsyncKeyState(::GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON) & 0x8000) != 0;
    } else {
        event.client = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        POINT pt{event.client.x, event.client.y};
        ::ClientToScreen(hwnd, &pt);
        event.screen = {pt.x, pt.y};
        event.leftDown = (wParam & MK_LBUTTON) != 0;
    }
    event.time = static_cast<std::uint32_t>(::GetMessageTime());
    // A disabled window, or one inside a disabled window, gets nothing (also while it holds the capture).
    if (!EnabledChain(hwnd)) return true;
    HWND top = TopLevelOf(hwnd);
    if (const Window* t = Find(top); t != nullptr && t->host != nullptr && t->kind == Kind::TopLevel)
        if (t->host->PreTranslateMouse(IdOf(hwnd), event)) return true;
    if (Window* again = Find(hwnd); again != nullptr && again->host != nullptr) again->host->Mouse(event);
    return true;
}

// ---- capture

void Win32PlatformImpl::SetCapture(WindowId window) {
    const Window* w = Find(HwndOf(window));
    if (w == nullptr || w->kind == Kind::Owner) return;
    ::SetCapture(w->hwnd);
}

void Win32PlatformImpl::ReleaseCapture() {
    if (OnOurThread(::GetCapture())) ::ReleaseCapture();
}

WindowId Win32PlatformImpl::GetCapture() const { return IdOf(::GetCapture()); }

// ---- move drag

// The system's own caption drag: a caption press posted to the window starts it once the press
// that asked for it has been handled, and it follows the pointer until the button is released.
void Win32PlatformImpl::BeginMoveDrag(WindowId topLevel, const MouseEvent& press) {
    const Window* w = Find(HwndOf(topLevel));
    if (w == nullptr || w->kind != Kind::TopLevel || !w->style.movable || !::IsWindowVisible(w->hwnd)) return;
    ::ReleaseCapture();  // the drag needs the pointer
    const LPARAM where = MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(press.screen.x)),
                                    static_cast<WORD>(static_cast<SHORT>(press.screen.y)));
    ::PostMessageW(w->hwnd, WM_NCLBUTTONDOWN, HTCAPTION, where);
}

// ---- hit testing

// The system's hit test looks through window regions and skips hidden windows.
WindowId Win32PlatformImpl::WindowFromScreenPoint(Point screen) const {
    HWND hwnd = ::WindowFromPoint(POINT{screen.x, screen.y});
    if (hwnd == nullptr || hwnd == ::GetDesktopWindow()) return 0;
    if (!OnOurThread(hwnd)) return kForeignWindow;
    return IdOf(hwnd);
}

// ---- pointers

CursorId Win32PlatformImpl::LoadSystemCursor(int code) {
    if (!KnownSystemCursor(code)) return 0;
    if (auto it = systemCursors_.find(code); it != systemCursors_.end()) return it->second;
    HCURSOR handle = nullptr;
    if (code == 32649)  // the hand is the program's own, from the executable's resources
        handle = ::LoadCursorW(instance_module_, MAKEINTRESOURCEW(kHandCursorResource));
    if (handle == nullptr) handle = ::LoadCursorW(nullptr, MAKEINTRESOURCEW(code));
    if (handle == nullptr) return 0;
    const CursorId id = nextCursor_++;
    Cursor& c = cursors_[id];
    c.handle = handle;
    c.systemCode = code;
    systemCursors_[code] = id;
    return id;
}

CursorId Win32PlatformImpl::CreateCursor(const Bitmap& image, Point hotspot) {
    IconHandle made = IconFromBitmap(image, false, hotspot);
    if (!made) return 0;
    const CursorId id = nextCursor_++;
    Cursor& c = cursors_[id];
    c.handle = made.Get();
    c.owned = std::move(made);
    return id;
}

// System pointers are shared and stay; a destroyed own pointer leaves its windows with the arrow.
void Win32PlatformImpl::DestroyCursor(CursorId cursor) {
    auto it = cursors_.find(cursor);
    if (it == cursors_.end() || it->second.systemCode != 0) return;
    for (auto& [hwnd, w] : windows_)
        if (w->cursor == cursor) w->cursor = 0;
    if (::GetCursor() == it->second.handle) ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    cursors_.erase(it);
}

void Win32PlatformImpl::SetWindowCursor(WindowId window, CursorId cursor) {
    Window* w = Find(HwndOf(window));
    if (w == nullptr || w->kind == Kind::Owner) return;
    if (cursor != 0 && cursors_.count(cursor) == 0) return;
    w->cursor = cursor;
    POINT pt{};
    if (::GetCursorPos(&pt) && ::WindowFromPoint(pt) == w->hwnd) {
        auto it = cursors_.find(cursor);
        ::SetCursor(it != cursors_.end() ? it->second.handle : ::LoadCursorW(nullptr, IDC_ARROW));
    }
}

// Without a pointer of its own a window shows the arrow, never its parent's pointer; a foreign child
// (the browser control's) chooses its own.
std::optional<LRESULT> Win32PlatformImpl::OnSetCursor(Window& w, WPARAM wParam, LPARAM lParam) {
    if (reinterpret_cast<HWND>(wParam) != w.hwnd) return FALSE;
    if (LOWORD(lParam) != HTCLIENT) return std::nullopt;
    auto it = cursors_.find(w.cursor);
    ::SetCursor(it != cursors_.end() ? it->second.handle : ::LoadCursorW(nullptr, IDC_ARROW));
    return TRUE;
}

}  // namespace kestrune::platform::win32
