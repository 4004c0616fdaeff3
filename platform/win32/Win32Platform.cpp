// The Win32 backend: window classes, the window procedure that routes messages to the hosts, the
// screen and the error box. Windows, painting, input and the loop are in the other Win32*.cpp files.
#include "platform/win32/Win32Platform.h"

#include "platform/win32/AccessibleWindow.h"
#include "platform/win32/BrowserControl.h"
#include "platform/win32/Win32PlatformImpl.h"
#include "platform/win32/WideText.h"

namespace kestrune::platform::win32 {

Win32PlatformImpl* Win32PlatformImpl::instance_ = nullptr;

namespace {

LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (Win32PlatformImpl* impl = Win32PlatformImpl::Instance()) return impl->Procedure(hwnd, message, wParam, lParam);
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

ATOM Register(HINSTANCE instance, const wchar_t* name, UINT classStyle) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = classStyle;
    wc.lpfnWndProc = &WindowProcedure;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    // Hollow: nothing is erased, the backing store covers the whole client area.
    wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(HOLLOW_BRUSH));
    wc.lpszClassName = name;
    return ::RegisterClassExW(&wc);
}

}  // namespace

std::unique_ptr<Platform> CreateWin32Platform(HINSTANCE instance) {
    if (Win32PlatformImpl::Instance() != nullptr) return nullptr;
    auto impl = std::make_unique<Win32PlatformImpl>(instance);
    if (!impl->RegisterClasses()) return nullptr;
    return impl;
}

Win32PlatformImpl::Win32PlatformImpl(HINSTANCE instance) : instance_module_(instance) { instance_ = this; }

// Hosts are not told anything here: by the time the platform goes, its hosts may be gone.
Win32PlatformImpl::~Win32PlatformImpl() {
    for (auto& [id, routine] : timers_) ::KillTimer(nullptr, id);
    timers_.clear();
    std::vector<HWND> tops;
    for (auto& [hwnd, w] : windows_) {
        w->host = nullptr;
        if (w->kind != Kind::Child) tops.push_back(hwnd);
    }
    for (HWND hwnd : tops)
        if (::IsWindow(hwnd)) ::DestroyWindow(hwnd);
    windows_.clear();
    cursors_.clear();
    if (topClass_ != 0) ::UnregisterClassW(kTopLevelClass, instance_module_);
    if (childClass_ != 0) ::UnregisterClassW(kChildClass, instance_module_);
    if (ownerClass_ != 0) ::UnregisterClassW(kOwnerClass, instance_module_);
    instance_ = nullptr;
}

bool Win32PlatformImpl::RegisterClasses() {
    topClass_ = Register(instance_module_, kTopLevelClass, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS);
    childClass_ = Register(instance_module_, kChildClass, CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS);
    ownerClass_ = Register(instance_module_, kOwnerClass, 0);
    return topClass_ != 0 && childClass_ != 0 && ownerClass_ != 0;
}

Window* Win32PlatformImpl::Find(HWND hwnd) {
    auto it = windows_.find(hwnd);
    return it != windows_.end() ? it->second.get() : nullptr;
}

const Window* Win32PlatformImpl::Find(HWND hwnd) const {
    auto it = windows_.find(hwnd);
    return it != windows_.end() ? it->second.get() : nullptr;
}

bool Win32PlatformImpl::OnOurThread(HWND hwnd) {
    return hwnd != nullptr && ::IsWindow(hwnd) && ::GetWindowThreadProcessId(hwnd, nullptr) == ::GetCurrentThreadId();
}

HWND Win32PlatformImpl::TopLevelOf(HWND hwnd) const {
    if (!OnOurThread(hwnd)) return nullptr;
    HWND root = ::GetAncestor(hwnd, GA_ROOT);
    return root != nullptr ? root : hwnd;
}

// ---- the window procedure

LRESULT Win32PlatformImpl::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Window* w = Find(hwnd);
    if (w == nullptr && message == WM_NCCREATE) {
        AdoptCreatingWindow(hwnd);
        w = Find(hwnd);
    }
    if (w == nullptr) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_PAINT:
        OnPaint(*w);
        return 0;
    case WM_ERASEBKGND:
        return 1;  // the backing store covers everything
    case WM_CLOSE:
        // The host decides; the system never closes a window of ours by itself.
        if (w->host != nullptr && !w->creating) w->host->CloseRequested();
        return 0;
    case WM_WINDOWPOSCHANGED: {
        const LRESULT result = ::DefWindowProcW(hwnd, message, wParam, lParam);
        if (Window* again = Find(hwnd)) ReportGeometry(*again);
        return result;
    }
    case WM_SETFOCUS:
        // A top-level window restored from the taskbar gets the focus itself, after its activation
        // (while minimised) could not place it: it goes back where it was.
        if (w->kind == Kind::TopLevel && w->lastFocus != nullptr && ::IsWindow(w->lastFocus) &&
            ::IsChild(hwnd, w->lastFocus) && !::IsIconic(hwnd)) {
            ::SetFocus(w->lastFocus);
            return 0;
        }
        if (w->host != nullptr && !w->creating) w->host->FocusIn();
        return 0;
    case WM_SETCURSOR:
        if (const std::optional<LRESULT> result = OnSetCursor(*w, wParam, lParam)) return *result;
        break;
    case WM_NCLBUTTONDOWN:
        // A caption press that a drag-anywhere press posted: by the time it is dispatched the button
        // may be up again (a quick click). A move started then would follow the pointer until the
        // next click wherever the window manager runs the move, so there is no move without the button.
        if (wParam == HTCAPTION && w->kind == Kind::TopLevel &&
            (::GetAsyncKeyState(::GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON) & 0x8000) == 0)
            return 0;
        break;
    case kPostedMessage:
        if (w->host != nullptr) w->host->Posted(static_cast<std::uint32_t>(wParam));
        return 0;
    case kAccessibleActionMessage:
        if (w->host != nullptr && !w->creating && TakesInput(hwnd)) w->host->AccessibleAction();
        return 0;
    case WM_GETOBJECT:
        if (const std::optional<LRESULT> answer = AnswerGetObject(hwnd, w->accessibility, wParam, lParam)) return *answer;
        break;
    case WM_ACTIVATE:
        if (w->kind == Kind::TopLevel && OnActivate(*w, wParam)) return 0;
        break;
    case WM_DESTROY:
        // Child windows still exist here; an embedded object is closed now (its host lets it go).
        if (w->host != nullptr) w->host->Destroying();
        return 0;
    case WM_NCDESTROY: {
        // Children get theirs before their parent: hosts hear of it children first.
        std::unique_ptr<Window> gone = std::move(windows_[hwnd]);
        windows_.erase(hwnd);
        if (::GetCapture() == hwnd) ::ReleaseCapture();
        if (gone->host != nullptr) gone->host->Destroyed();
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    default:
        if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) {
            if (OnMouseMessage(*w, message, wParam, lParam)) return 0;
        } else if (message == WM_MOUSELEAVE) {
            OnMouseMessage(*w, message, wParam, lParam);
            return 0;
        }
        break;
    }
    return ::DefWindowProcW(hwnd, message, wParam, lParam);
}

// Deactivated, a window remembers where its focus was; activated again, the focus goes back there.
// The first time, the system's default puts it on the top-level window itself, whose host passes it
// on to the window's first tab stop (the page of its browser box).
bool Win32PlatformImpl::OnActivate(Window& w, WPARAM wParam) {
    const bool active = LOWORD(wParam) != WA_INACTIVE;
    FrameWindowActivated(w.hwnd, active);
    if (!active) {
        HWND focus = ::GetFocus();
        w.lastFocus = focus != nullptr && ::IsChild(w.hwnd, focus) ? focus : nullptr;
        return false;
    }
    if (HIWORD(wParam) != 0) return false;  // activated while minimised: nothing takes the focus yet
    if (w.lastFocus != nullptr && ::IsWindow(w.lastFocus) && ::IsChild(w.hwnd, w.lastFocus)) {
        ::SetFocus(w.lastFocus);
        return true;
    }
    w.lastFocus = nullptr;
    return false;
}

// ---- screen and system

Size Win32PlatformImpl::PrimaryScreenSize() const {
    return {::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}

Rect Win32PlatformImpl::WorkAreaNear(WindowId window) const {
    HWND hwnd = HwndOf(window);
    HMONITOR monitor = OnOurThread(hwnd) ? ::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST)
                                         : ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (monitor != nullptr && ::GetMonitorInfoW(monitor, &info))
        return {info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom};
    RECT area{};
    if (::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) return {area.left, area.top, area.right, area.bottom};
    const Size screen = PrimaryScreenSize();
    return {0, 0, screen.width, screen.height};
}

int Win32PlatformImpl::DisplayBitsPerPixel() const {
    ScreenDc screen;
    return ::GetDeviceCaps(screen.Get(), BITSPIXEL) * ::GetDeviceCaps(screen.Get(), PLANES);
}

// The system colour is 0x00BBGGRR already, the program's own colour layout.
Colour Win32PlatformImpl::ButtonFaceColour() const { return static_cast<Colour>(::GetSysColor(COLOR_BTNFACE)); }

void Win32PlatformImpl::ShowErrorBox(const std::string& caption, const std::string& text) {
    ::MessageBoxW(nullptr, Widen(text).c_str(), Widen(caption).c_str(), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

}  // namespace kestrune::platform::win32
