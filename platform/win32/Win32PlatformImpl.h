// The Win32 backend's own state: the table of the program's windows and the Platform
// implementation. Only the files of platform/win32/ that make up the windowing backend include this.
//
// Window ids are the window handles themselves (platform/win32/WindowHandle.h). The table holds what the system does not keep for
// us (host, backing store, outline, pointer); everything the system does keep (geometry, show
// state, enabled state, parents and z-order) is asked from it, so foreign windows of our thread
// (the browser control's) work with the same calls.
#pragma once

#include <windows.h>
// The seam has a member of this name; the wide function is always called by its own name here.
#undef CallWindowProc

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/Platform.h"
#include "platform/win32/Win32Gdi.h"
#include "platform/win32/WindowHandle.h"

namespace kestrune::platform::win32 {

enum class Kind { TopLevel, Owner, Child };

struct Window {
    HWND hwnd = nullptr;
    Kind kind = Kind::Child;
    WindowHost* host = nullptr;
    FrameStyle style;
    bool creating = true;          // no host calls until the creating call has returned
    bool toolForTaskbar = false;   // a tool window only to keep it out of the taskbar (no owner)
    bool trackingLeave = false;    // TrackMouseEvent asked for the next WM_MOUSELEAVE
    std::optional<Region> shape;
    CursorId cursor = 0;
    IconHandle bigIcon, smallIcon;
    DibSection backing;            // the client area as last painted
    Rect invalid;                  // part of the backing store the host still has to paint
    HWND lastFocus = nullptr;      // a top-level window's focused descendant when it was deactivated
    Accessibility accessibility;   // what assistive technology is told beyond the system's defaults
    // What the host was last told, to report real changes only.
    Rect lastRect;
    Size lastClient;
    bool lastMinimized = false;
    bool lastMaximized = false;
};

inline constexpr const wchar_t* kTopLevelClass = L"KestruneWindow";
inline constexpr const wchar_t* kChildClass = L"KestruneChild";
inline constexpr const wchar_t* kOwnerClass = L"KestruneOwner";

// The private message that carries Platform::Post codes (wParam) to a window's host.
inline constexpr UINT kPostedMessage = WM_APP + 0x101;

class Win32PlatformImpl final : public Platform {
public:
    explicit Win32PlatformImpl(HINSTANCE instance);
    ~Win32PlatformImpl() override;
    bool RegisterClasses();

    // ---- Platform
    WindowId CreateTopLevel(const TopLevelParams& params, WindowHost* host) override;
    WindowId CreateOwnerWindow() override;
    WindowId CreateChild(WindowId parent, const Rect& rect, WindowHost* host) override;
    void Destroy(WindowId window) override;
    bool Exists(WindowId window) const override;
    WindowId GetParent(WindowId window) const override;
    void SetParent(WindowId child, WindowId newParent) override;
    WindowId FirstChild(WindowId window) const override;
    void PlaceBehind(WindowId window, WindowId sibling) override;
    void PlaceFront(WindowId window) override;
    Rect GetOuterRect(WindowId window) const override;
    Size GetClientSize(WindowId window) const override;
    Point ClientToScreen(WindowId window, Point p) const override;
    void Move(WindowId window, Point topLeft) override;
    void Resize(WindowId window, Size outer) override;
    void Show(WindowId window, ShowCommand command) override;
    bool IsVisible(WindowId window) const override;
    bool IsMinimized(WindowId window) const override;
    bool IsMaximized(WindowId window) const override;
    void Enable(WindowId window, bool enabled) override;
    bool IsEnabled(WindowId window) const override;
    void Activate(WindowId window) override;
    void SetFocus(WindowId window) override;
    WindowId GetFocus() const override;
    void SetTitle(WindowId window, const std::string& title) override;
    void SetAccessibility(WindowId window, const Accessibility& accessibility) override;
    void SetFrameStyle(WindowId window, const FrameStyle& style) override;
    void SetTopmost(WindowId window, bool topmost) override;
    void SetIcons(WindowId window, const Bitmap* big, const Bitmap* small) override;
    void SetShape(WindowId window, const Region* region) override;
    void Invalidate(WindowId window) override;
    void Repaint(WindowId window) override;
    void BeginMoveDrag(WindowId topLevel, const MouseEvent& press) override;
    void SetCapture(WindowId window) override;
    void ReleaseCapture() override;
    WindowId GetCapture() const override;
    WindowId WindowFromScreenPoint(Point screen) const override;
    CursorId LoadSystemCursor(int code) override;
    CursorId CreateCursor(const Bitmap& image, Point hotspot) override;
    void DestroyCursor(CursorId cursor) override;
    void SetWindowCursor(WindowId window, CursorId cursor) override;
    WindowProc SetWindowProc(WindowId window, WindowProc proc) override;
    std::intptr_t CallWindowProc(WindowProc previous, WindowId window, std::uint32_t message,
                                 std::intptr_t wParam, std::intptr_t lParam) override;
    void Post(WindowId window, std::uint32_t code) override;
    bool RunLoop(const std::function<bool()>& keepRunning) override;
    void PostQuit(int exitCode) override;
    TimerId StartTimer(int periodMs, std::function<void()> routine) override;
    void KillTimer(TimerId timer) override;
    Size PrimaryScreenSize() const override;
    Rect WorkAreaNear(WindowId window) const override;
    int DisplayBitsPerPixel() const override;
    Colour ButtonFaceColour() const override;
    void ShowErrorBox(const std::string& caption, const std::string& text) override;
    std::unique_ptr<WebView> CreateWebView(WindowId parent, const Rect& rect, WebViewHost* host) override;
    // Nothing is made ahead: the control is made with its window and sent on its way there.
    void PrepareWebView(const std::string&, const WebViewMode&) override {}

    // ---- backend-internal
    static Win32PlatformImpl* Instance() { return instance_; }
    Window* Find(HWND hwnd);
    const Window* Find(HWND hwnd) const;
    // A window of this thread (ours or a foreign one such as the browser control's).
    static bool OnOurThread(HWND hwnd);
    HWND TopLevelOf(HWND hwnd) const;
    HINSTANCE Module() const { return instance_module_; }
    int QuitCode() const { return quitCode_; }

    // The window procedure of every window of ours.
    LRESULT Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // Win32Paint.cpp
    void OnPaint(Window& w);
    // Win32Input.cpp
    bool OnMouseMessage(Window& w, UINT message, WPARAM wParam, LPARAM lParam);
    // The result of WM_SETCURSOR, or nothing for the default handling.
    std::optional<LRESULT> OnSetCursor(Window& w, WPARAM wParam, LPARAM lParam);
    bool OnActivate(Window& w, WPARAM wParam);
    // Win32Windows.cpp
    void ReportGeometry(Window& w);
    void ApplyShape(Window& w);
    void ApplyDefaultIcons(Window& w);

private:
    void AdoptCreatingWindow(HWND hwnd);
    WindowId CreateWindowEntry(Kind kind, DWORD exStyle, const wchar_t* className, const std::wstring& title,
                               DWORD style, const Rect& rect, HWND parent, WindowHost* host, const FrameStyle& frame);

    static Win32PlatformImpl* instance_;

    HINSTANCE instance_module_;
    ATOM topClass_ = 0, childClass_ = 0, ownerClass_ = 0;
    std::map<HWND, std::unique_ptr<Window>> windows_;
    Window* creating_ = nullptr;  // entry of the window CreateWindowExW is making, until WM_NCCREATE
    int quitCode_ = 0;

    friend struct LoopAccess;
    std::map<TimerId, std::shared_ptr<std::function<void()>>> timers_;

    struct Cursor {
        HCURSOR handle = nullptr;
        IconHandle owned;  // made by CreateCursor; system pointers are shared and never destroyed
        int systemCode = 0;
    };
    std::map<CursorId, Cursor> cursors_;
    std::map<int, CursorId> systemCursors_;
    CursorId nextCursor_ = 1;
    IconHandle defaultBigIcon_, defaultSmallIcon_;
};

}  // namespace kestrune::platform::win32
