// Top-level, owner and child windows: creation, styles, geometry, show states, focus, titles, icons
// and outlines. Geometry and states are the system's own; the table only remembers what the hosts
// were last told, so that they hear of real changes once.
#include <algorithm>

#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32PlatformImpl.h"
#include "platform/win32/Win32Region.h"
#include "platform/win32/Win32WindowStyle.h"
#include "platform/win32/WideText.h"

namespace kestrune::platform::win32 {

namespace {

bool IsChildStyle(HWND hwnd) { return (::GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) != 0; }

void MoveMenu(HWND hwnd, bool movable) {
    ::GetSystemMenu(hwnd, TRUE);  // back to the standard menu
    if (!movable)
        if (HMENU menu = ::GetSystemMenu(hwnd, FALSE)) ::DeleteMenu(menu, SC_MOVE, MF_BYCOMMAND);
}

}  // namespace

// Takes the entry of the window being created into the table: WM_NCCREATE is the first message
// that names its handle and reaches a host-owning window procedure.
void Win32PlatformImpl::AdoptCreatingWindow(HWND hwnd) {
    if (creating_ == nullptr || creating_->hwnd != nullptr) return;
    creating_->hwnd = hwnd;
    windows_[hwnd].reset(creating_);
}

WindowId Win32PlatformImpl::CreateWindowEntry(Kind kind, DWORD exStyle, const wchar_t* className,
                                              const std::wstring& title, DWORD style, const Rect& rect, HWND parent,
                                              WindowHost* host, const FrameStyle& frame) {
    auto entry = std::make_unique<Window>();
    entry->kind = kind;
    entry->host = host;
    entry->style = frame;
    entry->toolForTaskbar = kind == Kind::TopLevel && (exStyle & WS_EX_TOOLWINDOW) != 0 && !frame.toolWindow;
    Window* outer = creating_;
    creating_ = entry.release();
    Window* raw = creating_;
    HWND hwnd = ::CreateWindowExW(exStyle, className, title.c_str(), style, rect.left, rect.top,
                                  std::max(rect.Width(), 0), std::max(rect.Height(), 0), parent, nullptr,
                                  instance_module_, nullptr);
    creating_ = outer;
    if (raw->hwnd == nullptr) {  // never reached the table
        delete raw;
        return 0;
    }
    if (hwnd == nullptr) return 0;  // the table entry went with WM_NCDESTROY
    raw->lastRect = GetOuterRect(IdOf(hwnd));
    raw->lastClient = GetClientSize(IdOf(hwnd));
    raw->lastMinimized = ::IsIconic(hwnd) != FALSE;
    raw->lastMaximized = ::IsZoomed(hwnd) != FALSE;
    raw->creating = false;
    return IdOf(hwnd);
}

WindowId Win32PlatformImpl::CreateTopLevel(const TopLevelParams& params, WindowHost* host) {
    WindowStyles styles = StylesFor(params.style);
    if (params.disabled) styles.style |= WS_DISABLED;
    if (params.topmost) styles.exStyle |= WS_EX_TOPMOST;
    HWND owner = nullptr;
    if (const Window* o = Find(HwndOf(params.owner)); o != nullptr && o->kind != Kind::Child) owner = o->hwnd;
    // An owned window has no taskbar button; one without an owner that must have none is a tool window.
    if (params.skipTaskbar && owner == nullptr) styles.exStyle |= WS_EX_TOOLWINDOW;
    Rect outer = params.outer;
    outer.right = std::max(outer.right, outer.left);
    outer.bottom = std::max(outer.bottom, outer.top);
    const WindowId id = CreateWindowEntry(Kind::TopLevel, styles.exStyle, kTopLevelClass, Widen(params.title),
                                          styles.style, outer, owner, host, params.style);
    if (id == 0) return 0;
    HWND hwnd = HwndOf(id);
    if (!params.style.movable) MoveMenu(hwnd, false);
    if (Window* w = Find(hwnd)) ApplyDefaultIcons(*w);
    return id;
}

WindowId Win32PlatformImpl::CreateOwnerWindow() {
    return CreateWindowEntry(Kind::Owner, WS_EX_TOOLWINDOW, kOwnerClass, L"", WS_POPUP, Rect{}, nullptr, nullptr,
                             FrameStyle{});
}

WindowId Win32PlatformImpl::CreateChild(WindowId parent, const Rect& rect, WindowHost* host) {
    const Window* p = Find(HwndOf(parent));
    if (p == nullptr || p->kind == Kind::Owner) return 0;
    Rect r = rect;
    r.right = std::max(r.right, r.left);
    r.bottom = std::max(r.bottom, r.top);
    const WindowId child = CreateWindowEntry(Kind::Child, 0, kChildClass, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                             r, p->hwnd, host, FrameStyle{});
    // The system puts a new child behind its siblings; the seam has the newest in front.
    if (child != 0) PlaceFront(child);
    return child;
}

void Win32PlatformImpl::Destroy(WindowId window) {
    HWND hwnd = HwndOf(window);
    if (OnOurThread(hwnd)) ::DestroyWindow(hwnd);
}

bool Win32PlatformImpl::Exists(WindowId window) const { return OnOurThread(HwndOf(window)); }

// ---- family and order

WindowId Win32PlatformImpl::GetParent(WindowId window) const {
    HWND hwnd = HwndOf(window);
    if (!OnOurThread(hwnd)) return 0;
    HWND up = IsChildStyle(hwnd) ? ::GetAncestor(hwnd, GA_PARENT) : ::GetWindow(hwnd, GW_OWNER);
    return up != nullptr && up != ::GetDesktopWindow() ? IdOf(up) : 0;
}

void Win32PlatformImpl::SetParent(WindowId child, WindowId newParent) {
    HWND hwnd = HwndOf(child), parent = HwndOf(newParent);
    if (!OnOurThread(hwnd) || !OnOurThread(parent) || !IsChildStyle(hwnd)) return;
    const Rect r = GetOuterRect(child);
    ::SetParent(hwnd, parent);
    ::SetWindowPos(hwnd, nullptr, r.left, r.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

WindowId Win32PlatformImpl::FirstChild(WindowId window) const {
    HWND hwnd = HwndOf(window);
    return OnOurThread(hwnd) ? IdOf(::GetWindow(hwnd, GW_CHILD)) : 0;
}

void Win32PlatformImpl::PlaceBehind(WindowId window, WindowId sibling) {
    HWND hwnd = HwndOf(window), other = HwndOf(sibling);
    if (!OnOurThread(hwnd) || !OnOurThread(other) || hwnd == other) return;
    ::SetWindowPos(hwnd, other, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Win32PlatformImpl::PlaceFront(WindowId window) {
    HWND hwnd = HwndOf(window);
    if (!OnOurThread(hwnd)) return;
    ::SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

// ---- geometry

Rect Win32PlatformImpl::GetOuterRect(WindowId window) const {
    HWND hwnd = HwndOf(window);
    RECT r{};
    if (!OnOurThread(hwnd) || !::GetWindowRect(hwnd, &r)) return {};
    if (IsChildStyle(hwnd))
        if (HWND parent = ::GetAncestor(hwnd, GA_PARENT)) ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right, r.bottom};
}

Size Win32PlatformImpl::GetClientSize(WindowId window) const {
    HWND hwnd = HwndOf(window);
    RECT r{};
    if (!OnOurThread(hwnd) || !::GetClientRect(hwnd, &r)) return {};
    return {r.right - r.left, r.bottom - r.top};
}

Point Win32PlatformImpl::ClientToScreen(WindowId window, Point p) const {
    HWND hwnd = HwndOf(window);
    POINT pt{p.x, p.y};
    if (OnOurThread(hwnd)) ::ClientToScreen(hwnd, &pt);
    return {pt.x, pt.y};
}

void Win32PlatformImpl::Move(WindowId window, Point topLeft) {
    HWND hwnd = HwndOf(window);
    const Window* w = Find(hwnd);
    if (!OnOurThread(hwnd) || (w != nullptr && w->kind == Kind::Owner)) return;
    ::SetWindowPos(hwnd, nullptr, topLeft.x, topLeft.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32PlatformImpl::Resize(WindowId window, Size outer) {
    HWND hwnd = HwndOf(window);
    const Window* w = Find(hwnd);
    if (!OnOurThread(hwnd) || (w != nullptr && w->kind == Kind::Owner)) return;
    ::SetWindowPos(hwnd, nullptr, 0, 0, std::max(outer.width, 0), std::max(outer.height, 0),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// From WM_WINDOWPOSCHANGED: the host hears of a move and of any size or state change, once each.
void Win32PlatformImpl::ReportGeometry(Window& w) {
    HWND hwnd = w.hwnd;
    const Rect rect = GetOuterRect(IdOf(hwnd));
    const Size client = GetClientSize(IdOf(hwnd));
    const bool minimized = ::IsIconic(hwnd) != FALSE, maximized = ::IsZoomed(hwnd) != FALSE;
    const bool moved = rect.left != w.lastRect.left || rect.top != w.lastRect.top;
    const bool resized = rect.Width() != w.lastRect.Width() || rect.Height() != w.lastRect.Height() ||
                         client != w.lastClient || minimized != w.lastMinimized || maximized != w.lastMaximized;
    w.lastRect = rect;
    w.lastClient = client;
    w.lastMinimized = minimized;
    w.lastMaximized = maximized;
    if (w.creating || w.host == nullptr) return;
    if (moved) w.host->Moved();
    if (resized)
        if (Window* again = Find(hwnd); again != nullptr && again->host != nullptr) again->host->Resized();
}

// ---- styles

void Win32PlatformImpl::SetFrameStyle(WindowId window, const FrameStyle& style) {
    Window* w = Find(HwndOf(window));
    if (w == nullptr || w->kind != Kind::TopLevel) return;
    const bool movableChanged = w->style.movable != style.movable;
    w->style = style;
    const WindowStyles wanted = StylesFor(style);
    HWND hwnd = w->hwnd;
    const DWORD oldStyle = static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_STYLE));
    const DWORD oldEx = static_cast<DWORD>(::GetWindowLongW(hwnd, GWL_EXSTYLE));
    const DWORD newStyle = (oldStyle & ~(kFrameStyleMask | WS_DLGFRAME | WS_BORDER)) | wanted.style;
    // The tool window style the taskbar rule gave (no owner, no button) stays.
    const DWORD newEx =
        (oldEx & ~kFrameExStyleMask) | wanted.exStyle | (w->toolForTaskbar ? WS_EX_TOOLWINDOW : 0);
    if (newStyle != oldStyle) ::SetWindowLongW(hwnd, GWL_STYLE, static_cast<LONG>(newStyle));
    if (newEx != oldEx) ::SetWindowLongW(hwnd, GWL_EXSTYLE, static_cast<LONG>(newEx));
    // The outer rectangle stays; the client area takes what the new frame leaves.
    ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    if (movableChanged) MoveMenu(hwnd, style.movable);
}

void Win32PlatformImpl::SetTopmost(WindowId window, bool topmost) {
    Window* w = Find(HwndOf(window));
    if (w == nullptr || w->kind != Kind::TopLevel) return;
    ::SetWindowPos(w->hwnd, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Win32PlatformImpl::SetAccessibility(WindowId window, const Accessibility& accessibility) {
    HWND hwnd = HwndOf(window);
    Window* w = OnOurThread(hwnd) ? Find(hwnd) : nullptr;
    if (w == nullptr || w->kind == Kind::Owner) return;
    const bool renamed = w->accessibility.name != accessibility.name;
    w->accessibility = accessibility;
    if (!renamed) return;
    // Clients holding the old objects learn that the name changed.
    ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, hwnd, OBJID_CLIENT, CHILDID_SELF);
    if (w->kind == Kind::TopLevel) ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, hwnd, OBJID_WINDOW, CHILDID_SELF);
}

void Win32PlatformImpl::SetTitle(WindowId window, const std::string& title) {
    Window* w = Find(HwndOf(window));
    if (w == nullptr || w->kind == Kind::Child) return;
    ::SetWindowTextW(w->hwnd, Widen(title).c_str());
}

// The program icon of the executable's resources, for windows that have no icon of their own.
void Win32PlatformImpl::ApplyDefaultIcons(Window& w) {
    if (!defaultBigIcon_)
        defaultBigIcon_.Reset(static_cast<HICON>(::LoadImageW(instance_module_, MAKEINTRESOURCEW(kProgramIconResource),
                                                              IMAGE_ICON, ::GetSystemMetrics(SM_CXICON),
                                                              ::GetSystemMetrics(SM_CYICON), 0)));
    if (!defaultSmallIcon_)
        defaultSmallIcon_.Reset(static_cast<HICON>(::LoadImageW(instance_module_, MAKEINTRESOURCEW(kProgramIconResource),
                                                                IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                                ::GetSystemMetrics(SM_CYSMICON), 0)));
    ::SendMessageW(w.hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(defaultBigIcon_.Get()));
    ::SendMessageW(w.hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(defaultSmallIcon_.Get()));
    w.bigIcon.Reset();
    w.smallIcon.Reset();
}

void Win32PlatformImpl::SetIcons(WindowId window, const Bitmap* big, const Bitmap* small) {
    Window* w = Find(HwndOf(window));
    if (w == nullptr || w->kind == Kind::Child) return;
    IconHandle newBig = big != nullptr ? IconFromBitmap(*big, true) : IconHandle{};
    IconHandle newSmall = small != nullptr ? IconFromBitmap(*small, true) : IconHandle{};
    if (!newBig && !newSmall) {
        ApplyDefaultIcons(*w);
        return;
    }
    // The window lets go of the old icons before they are destroyed.
    ::SendMessageW(w->hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(newBig ? newBig.Get() : newSmall.Get()));
    ::SendMessageW(w->hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(newSmall ? newSmall.Get() : newBig.Get()));
    w->bigIcon = std::move(newBig);
    w->smallIcon = std::move(newSmall);
}

// ---- outlines

void Win32PlatformImpl::SetShape(WindowId window, const Region* region) {
    Window* w = Find(HwndOf(window));
    if (w == nullptr || w->kind == Kind::Owner) return;
    if (region != nullptr) w->shape = *region;
    else w->shape.reset();
    ApplyShape(*w);
}

// Outline coordinates are the outer rectangle's, which is what window regions use.
void Win32PlatformImpl::ApplyShape(Window& w) {
    if (!w.shape) {
        ::SetWindowRgn(w.hwnd, nullptr, TRUE);
        return;
    }
    RegionHandle region = MakeRegion(*w.shape);
    if (!region) return;
    // On success the system owns the region.
    if (::SetWindowRgn(w.hwnd, region.Get(), TRUE) != 0) region.Release();
}

// ---- show states

void Win32PlatformImpl::Show(WindowId window, ShowCommand command) {
    HWND hwnd = HwndOf(window);
    const Window* w = Find(hwnd);
    if (!OnOurThread(hwnd) || (w != nullptr && w->kind == Kind::Owner)) return;
    if (IsChildStyle(hwnd)) {
        const bool hide = command == ShowCommand::Hide;
        if (hide)
            if (HWND capture = ::GetCapture(); capture != nullptr && (capture == hwnd || ::IsChild(hwnd, capture)))
                ::ReleaseCapture();
        ::ShowWindow(hwnd, hide ? SW_HIDE : SW_SHOWNA);
        return;
    }
    int show = SW_SHOWNORMAL;
    switch (command) {
    case ShowCommand::Hide:
        if (HWND capture = ::GetCapture(); capture != nullptr && TopLevelOf(capture) == hwnd) ::ReleaseCapture();
        show = SW_HIDE;
        break;
    case ShowCommand::Normal: show = SW_SHOWNORMAL; break;
    case ShowCommand::NoActivate: show = ::IsWindowVisible(hwnd) ? SW_SHOWNA : SW_SHOWNOACTIVATE; break;
    case ShowCommand::Minimized: show = SW_MINIMIZE; break;  // the next top-level window is activated
    case ShowCommand::Maximized: show = SW_SHOWMAXIMIZED; break;
    case ShowCommand::Restore: show = SW_RESTORE; break;
    }
    ::ShowWindow(hwnd, show);
    if ((command == ShowCommand::Normal || command == ShowCommand::Maximized) && OnOurThread(hwnd)) Activate(window);
}

bool Win32PlatformImpl::IsVisible(WindowId window) const {
    HWND hwnd = HwndOf(window);
    return OnOurThread(hwnd) && (::GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
}

bool Win32PlatformImpl::IsMinimized(WindowId window) const {
    HWND hwnd = HwndOf(window);
    return OnOurThread(hwnd) && ::IsIconic(hwnd);
}

bool Win32PlatformImpl::IsMaximized(WindowId window) const {
    HWND hwnd = HwndOf(window);
    return OnOurThread(hwnd) && ::IsZoomed(hwnd);
}

void Win32PlatformImpl::Enable(WindowId window, bool enabled) {
    HWND hwnd = HwndOf(window);
    if (!OnOurThread(hwnd)) return;
    if (!enabled && ::GetCapture() == hwnd) ::ReleaseCapture();
    ::EnableWindow(hwnd, enabled ? TRUE : FALSE);
}

bool Win32PlatformImpl::IsEnabled(WindowId window) const {
    HWND hwnd = HwndOf(window);
    return OnOurThread(hwnd) && ::IsWindowEnabled(hwnd);
}

// ---- activation and focus

void Win32PlatformImpl::Activate(WindowId window) {
    HWND top = TopLevelOf(HwndOf(window));
    const Window* w = Find(top);
    if (w == nullptr || w->kind != Kind::TopLevel || !::IsWindowVisible(top)) return;
    ::SetForegroundWindow(top);
    ::SetActiveWindow(top);
    HWND focus = ::GetFocus();
    if (focus == nullptr || (focus != top && !::IsChild(top, focus))) ::SetFocus(top);
}

void Win32PlatformImpl::SetFocus(WindowId window) {
    HWND hwnd = HwndOf(window);
    const Window* w = Find(hwnd);
    if (!OnOurThread(hwnd) || (w != nullptr && w->kind == Kind::Owner)) return;
    ::SetFocus(hwnd);
}

WindowId Win32PlatformImpl::GetFocus() const { return IdOf(::GetFocus()); }

}  // namespace kestrune::platform::win32
