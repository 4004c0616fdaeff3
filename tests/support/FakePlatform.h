// An in-memory platform for display-free unit tests.
//
// FakePlatform implements every method of platform::Platform over a window table and behaves like a
// window manager would where the core can observe it: Move/Resize/Show call the host's Moved() and
// Resized(), Destroy destroys children first, focus changes call FocusIn(), posted messages wait in a
// queue. Nothing is drawn and nothing happens on its own: time is virtual (AdvanceTime), and input,
// close requests and web-view notifications are produced by the test through the helpers below.
//
// Loop semantics (RunLoop):
//   - between events it first checks for a posted quit (consumed, returns true), then keepRunning()
//     (false: returns false), then dispatches the oldest posted message;
//   - when the queue is empty it runs the next action queued with OnIdle() (a test's stand-in for
//     the user acting while a modal loop runs); when there is none either, nothing else can happen,
//     so it returns false instead of blocking. A test therefore never hangs in a loop.
//   - timers never fire by themselves; call AdvanceTime (for example from an OnIdle action).
//
// Frames: a top-level window whose style has `frame` has a border of FrameBorder() pixels on every
// side and, with `caption`, a caption of CaptionHeight() pixels above the client area; the client size
// is the outer size minus these. Frameless top-levels and children have client size = outer size.
//
// Destroy(id): collects the window and its descendants, then for each, deepest first: a replaced
// procedure gets kMessageDestroy while the window still exists (as a real window procedure would), the
// window leaves the table (Exists() is false from here), then its host gets Destroyed(). Owned top-level
// windows are not destroyed with their owner.
//
// Tests that also use gtest should not write `using namespace kestrune;`: kestrune::testing and
// ::testing would then be ambiguous. Name the classes as kestrune::testing::FakePlatform etc.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Platform.h"
#include "platform/WebView.h"

namespace kestrune::testing {

class FakeWebView;

// What the fake knows about one window; exposed read-only to tests.
struct FakeWindow {
    platform::WindowId id = 0;
    bool topLevel = false;
    bool ownerWindow = false;            // made by CreateOwnerWindow
    platform::WindowId parent = 0;       // children only
    platform::WindowId owner = 0;        // top-levels only
    std::vector<platform::WindowId> children;  // front to back
    platform::Rect outer;                // top-level: screen; child: parent client coordinates
    platform::Rect restoreRect;          // outer rectangle before maximising
    platform::FrameStyle style;
    std::string title;
    platform::Accessibility accessibility;
    bool visible = false;
    bool enabled = true;
    bool minimized = false;
    bool maximized = false;
    bool topmost = false;
    bool skipTaskbar = false;
    std::optional<platform::Region> shape;
    int shapeChanges = 0;
    std::optional<platform::Bitmap> bigIcon;
    std::optional<platform::Bitmap> smallIcon;
    int iconChanges = 0;
    platform::CursorId cursor = 0;
    platform::WindowHost* host = nullptr;
    platform::WindowProc proc = nullptr;  // nullptr: never replaced
    int invalidations = 0;
    int repaints = 0;
    std::vector<platform::ShowCommand> showCommands;  // every Show call, in order
};

struct FakeCursor {
    int systemCode = 0;          // 0 for a cursor made from an image
    platform::Point hotspot;     // images only
    int width = 0, height = 0;   // images only
    bool destroyed = false;
};

struct MoveDragCall {
    platform::WindowId window = 0;
    platform::MouseEvent press;
};

struct ErrorBoxCall {
    std::string caption;
    std::string text;
};

class FakePlatform : public platform::Platform {
public:
    FakePlatform();
    ~FakePlatform() override;

    // ---- platform::Platform
    platform::WindowId CreateTopLevel(const platform::TopLevelParams& params, platform::WindowHost* host) override;
    platform::WindowId CreateOwnerWindow() override;
    platform::WindowId CreateChild(platform::WindowId parent, const platform::Rect& rect,
                                   platform::WindowHost* host) override;
    void Destroy(platform::WindowId window) override;
    bool Exists(platform::WindowId window) const override;

    platform::WindowId GetParent(platform::WindowId window) const override;
    void SetParent(platform::WindowId child, platform::WindowId newParent) override;
    platform::WindowId FirstChild(platform::WindowId window) const override;
    void PlaceBehind(platform::WindowId window, platform::WindowId sibling) override;
    void PlaceFront(platform::WindowId window) override;

    platform::Rect GetOuterRect(platform::WindowId window) const override;
    platform::Size GetClientSize(platform::WindowId window) const override;
    platform::Point ClientToScreen(platform::WindowId window, platform::Point p) const override;
    void Move(platform::WindowId window, platform::Point topLeft) override;
    void Resize(platform::WindowId window, platform::Size outer) override;

    void Show(platform::WindowId window, platform::ShowCommand command) override;
    bool IsVisible(platform::WindowId window) const override;
    bool IsMinimized(platform::WindowId window) const override;
    bool IsMaximized(platform::WindowId window) const override;
    void Enable(platform::WindowId window, bool enabled) override;
    bool IsEnabled(platform::WindowId window) const override;
    void Activate(platform::WindowId window) override;
    void SetFocus(platform::WindowId window) override;
    platform::WindowId GetFocus() const override;

    void SetTitle(platform::WindowId window, const std::string& title) override;
    void SetAccessibility(platform::WindowId window, const platform::Accessibility& accessibility) override;
    void SetFrameStyle(platform::WindowId window, const platform::FrameStyle& style) override;
    void SetTopmost(platform::WindowId window, bool topmost) override;
    void SetIcons(platform::WindowId window, const platform::Bitmap* big, const platform::Bitmap* small) override;
    void SetShape(platform::WindowId window, const platform::Region* region) override;
    void Invalidate(platform::WindowId window) override;
    void Repaint(platform::WindowId window) override;

    void BeginMoveDrag(platform::WindowId topLevel, const platform::MouseEvent& press) override;
    void SetCapture(platform::WindowId window) override;
    void ReleaseCapture() override;
    platform::WindowId GetCapture() const override;
    platform::WindowId WindowFromScreenPoint(platform::Point screen) const override;
    platform::CursorId LoadSystemCursor(int code) override;
    platform::CursorId CreateCursor(const platform::Bitmap& image, platform::Point hotspot) override;
    void DestroyCursor(platform::CursorId cursor) override;
    void SetWindowCursor(platform::WindowId window, platform::CursorId cursor) override;

    // Any existing window has a procedure slot here. The first replacement returns DefaultProc
    // (which returns 0), so a replacing procedure can always pass messages on.
    platform::WindowProc SetWindowProc(platform::WindowId window, platform::WindowProc proc) override;
    std::intptr_t CallWindowProc(platform::WindowProc previous, platform::WindowId window, std::uint32_t message,
                                 std::intptr_t wParam, std::intptr_t lParam) override;

    void Post(platform::WindowId window, std::uint32_t code) override;
    bool RunLoop(const std::function<bool()>& keepRunning) override;
    void PostQuit(int exitCode) override;
    platform::TimerId StartTimer(int periodMs, std::function<void()> routine) override;
    void KillTimer(platform::TimerId timer) override;

    platform::Size PrimaryScreenSize() const override;
    platform::Rect WorkAreaNear(platform::WindowId window) const override;
    int DisplayBitsPerPixel() const override { return 32; }
    platform::Colour ButtonFaceColour() const override { return 0x00F0F0F0u; }
    void ShowErrorBox(const std::string& caption, const std::string& text) override;

    std::unique_ptr<platform::WebView> CreateWebView(platform::WindowId parent, const platform::Rect& rect,
                                                     platform::WebViewHost* host) override;
    void PrepareWebView(const std::string& url, const platform::WebViewMode& mode) override {
        prepared_.push_back(url);
        preparedModes_.push_back(mode);
        windowsAtPreparation_.push_back(windows_.size());
    }
    // The addresses web views were prepared for, in order; the mode each was prepared in, and how
    // many windows existed then.
    const std::vector<std::string>& PreparedWebViews() const { return prepared_; }
    const std::vector<platform::WebViewMode>& PreparedModes() const { return preparedModes_; }
    const std::vector<std::size_t>& WindowsAtPreparation() const { return windowsAtPreparation_; }

    // ---- the default window procedure (returns 0 for everything)
    static std::intptr_t DefaultProc(platform::WindowId window, std::uint32_t message, std::intptr_t wParam,
                                     std::intptr_t lParam);

    // ---- configuration
    void SetFrameMetrics(int border, int caption) { frameBorder_ = border; captionHeight_ = caption; }
    int FrameBorder() const { return frameBorder_; }
    int CaptionHeight() const { return captionHeight_; }
    void SetPrimaryScreenSize(platform::Size size) { screen_ = size; }
    // Overrides the work area (default: the screen minus a 40-pixel panel at the bottom).
    void SetWorkArea(const platform::Rect& area) { workArea_ = area; }

    // ---- input and user actions
    // Delivers a mouse event as the backend would: first the target's top-level host PreTranslateMouse,
    // then, unless that swallowed it (or destroyed the target), the target host's Mouse. Returns true
    // when the event was swallowed.
    bool SendMouse(platform::WindowId target, const platform::MouseEvent& event);
    // A mouse event at a point of the target's client area (screen point filled in).
    platform::MouseEvent MakeMouse(platform::WindowId target, platform::MouseAction action, platform::MouseButton button,
                                   platform::Point client, bool leftDown = false) const;
    void RequestClose(platform::WindowId window);  // the host's CloseRequested()
    // Another program's window, in front of all of ours, over a screen rectangle: the hit test answers
    // kForeignWindow inside it until it is closed. Returns a number for CloseForeignWindow.
    int OpenForeignWindow(const platform::Rect& screen);
    void CloseForeignWindow(int foreign);
    // Paints the client area through the host into a fresh client-size bitmap (full dirty rectangle).
    platform::Bitmap Paint(platform::WindowId window);

    // ---- loop and time
    // Delivers posted messages until the queue is empty; returns how many reached a host.
    int DeliverPosted();
    std::size_t PendingPosts() const { return posted_.size(); }
    void OnIdle(std::function<void()> action) { idle_.push_back(std::move(action)); }
    // Advances virtual time, firing due timers in order of their due time (ties: the older timer).
    void AdvanceTime(int ms);
    std::int64_t Now() const { return now_; }
    std::size_t ActiveTimers() const { return timers_.size(); }
    bool TimerActive(platform::TimerId id) const { return timers_.count(id) != 0; }
    int TimerPeriod(platform::TimerId id) const;
    int QuitsPosted() const { return quitsPosted_; }
    std::optional<int> LastQuitCode() const { return lastQuitCode_; }
    int LoopDepth() const { return loopDepth_; }

    // ---- what was recorded
    const FakeWindow* Find(platform::WindowId window) const;
    std::vector<platform::WindowId> TopLevels() const { return topLevels_; }  // front to back
    std::vector<platform::WindowId> Children(platform::WindowId window) const;
    platform::WindowId TopLevelOf(platform::WindowId window) const;
    platform::WindowId ActiveWindow() const { return active_; }
    std::size_t LiveWindowCount() const { return windows_.size(); }
    platform::WindowId LastCreated() const { return nextId_ - 1; }
    // Ids of windows in the order Destroyed() was (or would have been) called.
    const std::vector<platform::WindowId>& DestroyOrder() const { return destroyOrder_; }
    const std::vector<MoveDragCall>& MoveDrags() const { return moveDrags_; }
    const std::vector<ErrorBoxCall>& ErrorBoxes() const { return errorBoxes_; }
    const FakeCursor* Cursor(platform::CursorId id) const;
    platform::CursorId WindowCursor(platform::WindowId window) const;
    std::size_t LiveCursorCount() const;
    const std::vector<FakeWebView*>& WebViews() const { return webViews_; }
    FakeWebView* WebViewFor(platform::WindowId viewWindow) const;

private:
    friend class FakeWebView;
    struct PostedMessage {
        platform::WindowId window;
        std::uint32_t code;
    };
    struct Timer {
        int period;
        std::int64_t due;
        std::function<void()> routine;
    };

    FakeWindow* Get(platform::WindowId window);
    const FakeWindow* Get(platform::WindowId window) const;
    std::vector<platform::WindowId>* SiblingList(const FakeWindow& w);
    void Unlink(FakeWindow& w);
    platform::Point ClientOrigin(const FakeWindow& w) const;  // client top-left in screen coordinates
    platform::Point ClientInset(const FakeWindow& w) const;   // client top-left in outer coordinates
    platform::WindowId HitChild(platform::WindowId window, platform::Point clientPoint) const;
    void CallMoved(platform::WindowId window);
    void CallResized(platform::WindowId window);
    bool DispatchOne();

    std::map<platform::WindowId, FakeWindow> windows_;
    std::vector<platform::WindowId> topLevels_;  // front to back
    platform::WindowId nextId_ = 1;
    platform::WindowId focus_ = 0;
    platform::WindowId active_ = 0;
    platform::WindowId capture_ = 0;
    std::vector<platform::WindowId> destroyOrder_;

    std::map<platform::CursorId, FakeCursor> cursors_;
    platform::CursorId nextCursor_ = 1;

    std::deque<PostedMessage> posted_;
    std::deque<std::function<void()>> idle_;
    bool quitPending_ = false;
    int quitsPosted_ = 0;
    std::optional<int> lastQuitCode_;
    int loopDepth_ = 0;

    std::map<platform::TimerId, Timer> timers_;
    platform::TimerId nextTimer_ = 1;
    std::int64_t now_ = 0;

    int frameBorder_ = 8;
    int captionHeight_ = 30;
    platform::Size screen_{1920, 1080};
    std::optional<platform::Rect> workArea_;

    std::vector<MoveDragCall> moveDrags_;
    std::vector<ErrorBoxCall> errorBoxes_;
    std::vector<FakeWebView*> webViews_;
    std::vector<std::string> prepared_;
    std::vector<platform::WebViewMode> preparedModes_;
    std::vector<std::size_t> windowsAtPreparation_;
    std::map<int, platform::Rect> foreignWindows_;
    int nextForeign_ = 1;
};

// The web view of the fake: three nested child windows (view, document view, page), everything else
// recorded. The Fire* helpers deliver notifications to the host as the engine would.
class FakeWebView : public platform::WebView {
public:
    FakeWebView(FakePlatform& platform, platform::WindowId parent, const platform::Rect& rect,
                platform::WebViewHost* host);
    ~FakeWebView() override;

    platform::WindowId Window() const override { return view_; }
    void Navigate(const std::string& url) override { navigations_.push_back(url); }
    std::string LocationUrl() const override { return locationUrl_; }
    std::string LocationName() const override { return locationName_; }
    void SetOffline(bool offline) override { offline_ = offline; }
    bool Offline() const override { return offline_; }
    void SetSilent(bool silent) override { silent_ = silent; }
    bool Silent() const override { return silent_; }
    void SetTextZoom(int level) override { zoom_ = level; zoomCalls_.push_back(level); }
    void SetMode(const platform::WebViewMode& mode) override { mode_ = mode; modeSet_ = true; }

    // ---- test helpers
    platform::WindowId DocumentWindow() const { return document_; }
    platform::WindowId PageWindow() const { return page_; }
    platform::WebViewHost* Host() const { return host_; }
    // Destroys the page window (its procedure chain gets kMessageDestroy) and creates a new one.
    platform::WindowId ReplacePage();
    // Sends a message through the page window's procedure chain; returns its result.
    std::intptr_t DeliverToPage(std::uint32_t message, std::intptr_t wParam = 0, std::intptr_t lParam = 0);
    void SetLocation(const std::string& url, const std::string& name) { locationUrl_ = url; locationName_ = name; }

    bool FireBeforeNavigate(const std::string& url) { return host_->BeforeNavigate(url); }
    void FireNavigateComplete(const std::string& url) { host_->NavigateComplete(url); }
    void FireDocumentComplete(const std::string& url) { host_->DocumentComplete(url); }
    void FireDownloadBegin() { host_->DownloadBegin(); }
    void FireDownloadComplete() { host_->DownloadComplete(); }
    void FireProgressChange(int progress, int progressMax) { host_->ProgressChange(progress, progressMax); }
    void FireStatusTextChange(const std::string& text) { host_->StatusTextChange(text); }
    void FireTitleChange(const std::string& title) { host_->TitleChange(title); }
    void FireCommandStateChange(int command, bool enabled) { host_->CommandStateChange(command, enabled); }
    bool FireNewWindow(const std::string& url) { return host_->NewWindow(url); }
    // A whole navigation as the engine reports it: BeforeNavigate; when allowed, a new page window,
    // the location, NavigateComplete and DocumentComplete. Returns whether it was allowed.
    bool SimulateNavigation(const std::string& url, const std::string& title = std::string());

    const std::vector<std::string>& Navigations() const { return navigations_; }
    int Zoom() const { return zoom_; }
    const std::vector<int>& ZoomCalls() const { return zoomCalls_; }
    const platform::WebViewMode& Mode() const { return mode_; }
    bool ModeSet() const { return modeSet_; }

private:
    FakePlatform& platform_;
    platform::WebViewHost* host_;
    platform::WindowId view_ = 0;
    platform::WindowId document_ = 0;
    platform::WindowId page_ = 0;
    std::vector<std::string> navigations_;
    std::string locationUrl_;
    std::string locationName_;
    bool offline_ = false;
    bool silent_ = false;
    int zoom_ = 2;
    std::vector<int> zoomCalls_;
    platform::WebViewMode mode_;
    bool modeSet_ = false;
};

// Installs a FakePlatform as the current platform for the scope's lifetime.
class ScopedFakePlatform {
public:
    ScopedFakePlatform() { platform::Install(&fake_); }
    ~ScopedFakePlatform() { platform::Install(nullptr); }
    ScopedFakePlatform(const ScopedFakePlatform&) = delete;
    ScopedFakePlatform& operator=(const ScopedFakePlatform&) = delete;

    FakePlatform& operator*() { return fake_; }
    FakePlatform* operator->() { return &fake_; }
    FakePlatform& Get() { return fake_; }

private:
    FakePlatform fake_;
};

}  // namespace kestrune::testing
