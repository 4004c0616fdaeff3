#include "tests/support/FakePlatform.h"

#include <algorithm>

namespace kestrune::testing {

using platform::Point;
using platform::Rect;
using platform::Size;
using platform::WindowId;

FakePlatform::FakePlatform() = default;

// Hosts are not told anything here: by the time a test's platform goes away its hosts may be gone.
FakePlatform::~FakePlatform() = default;

FakeWindow* FakePlatform::Get(WindowId window) {
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : &it->second;
}

const FakeWindow* FakePlatform::Get(WindowId window) const {
    auto it = windows_.find(window);
    return it == windows_.end() ? nullptr : &it->second;
}

const FakeWindow* FakePlatform::Find(WindowId window) const { return Get(window); }

std::vector<WindowId>* FakePlatform::SiblingList(const FakeWindow& w) {
    if (w.topLevel) return &topLevels_;
    FakeWindow* parent = Get(w.parent);
    return parent ? &parent->children : nullptr;
}

void FakePlatform::Unlink(FakeWindow& w) {
    if (std::vector<WindowId>* list = SiblingList(w)) list->erase(std::remove(list->begin(), list->end(), w.id), list->end());
}

// ---- windows

WindowId FakePlatform::CreateTopLevel(const platform::TopLevelParams& params, platform::WindowHost* host) {
    FakeWindow w;
    w.id = nextId_++;
    w.topLevel = true;
    w.owner = params.owner;
    w.outer = params.outer;
    w.restoreRect = params.outer;
    w.style = params.style;
    w.title = params.title;
    w.enabled = !params.disabled;
    w.topmost = params.topmost;
    w.skipTaskbar = params.skipTaskbar;
    w.host = host;
    topLevels_.insert(topLevels_.begin(), w.id);
    WindowId id = w.id;
    windows_.emplace(id, std::move(w));
    return id;
}

WindowId FakePlatform::CreateOwnerWindow() {
    platform::TopLevelParams params;
    params.skipTaskbar = true;
    WindowId id = CreateTopLevel(params, nullptr);
    Get(id)->ownerWindow = true;
    return id;
}

WindowId FakePlatform::CreateChild(WindowId parent, const Rect& rect, platform::WindowHost* host) {
    FakeWindow* p = Get(parent);
    if (p == nullptr) return 0;
    FakeWindow w;
    w.id = nextId_++;
    w.parent = parent;
    w.outer = rect;
    w.restoreRect = rect;
    w.host = host;
    p->children.insert(p->children.begin(), w.id);
    WindowId id = w.id;
    windows_.emplace(id, std::move(w));
    return id;
}

void FakePlatform::Destroy(WindowId window) {
    if (!Exists(window)) return;
    // Deepest first, front to back among siblings.
    std::vector<WindowId> order;
    std::function<void(WindowId)> collect = [&](WindowId id) {
        const FakeWindow* w = Get(id);
        if (w == nullptr) return;
        for (WindowId child : w->children) collect(child);
        order.push_back(id);
    };
    collect(window);
    for (WindowId id : order) {
        FakeWindow* w = Get(id);
        if (w == nullptr) continue;  // a host destroyed it meanwhile
        if (w->proc != nullptr) {
            platform::WindowProc proc = w->proc;
            proc(id, platform::kMessageDestroy, 0, 0);
            w = Get(id);
            if (w == nullptr) continue;
        }
        platform::WindowHost* host = w->host;
        Unlink(*w);
        windows_.erase(id);
        if (focus_ == id) focus_ = 0;
        if (active_ == id) active_ = 0;
        if (capture_ == id) capture_ = 0;
        destroyOrder_.push_back(id);
        if (host != nullptr) host->Destroyed();
    }
}

bool FakePlatform::Exists(WindowId window) const { return window != 0 && windows_.count(window) != 0; }

WindowId FakePlatform::GetParent(WindowId window) const {
    const FakeWindow* w = Get(window);
    if (w == nullptr) return 0;
    return w->topLevel ? w->owner : w->parent;
}

void FakePlatform::SetParent(WindowId child, WindowId newParent) {
    FakeWindow* w = Get(child);
    FakeWindow* p = Get(newParent);
    if (w == nullptr || p == nullptr || child == newParent) return;
    // Refuse cycles: the new parent may not be the child itself or one of its descendants.
    for (WindowId up = newParent; up != 0;) {
        if (up == child) return;
        const FakeWindow* u = Get(up);
        up = (u && !u->topLevel) ? u->parent : 0;
    }
    Unlink(*w);
    w->topLevel = false;
    w->owner = 0;
    w->parent = newParent;
    p->children.insert(p->children.begin(), child);
}

WindowId FakePlatform::FirstChild(WindowId window) const {
    const FakeWindow* w = Get(window);
    return (w == nullptr || w->children.empty()) ? 0 : w->children.front();
}

void FakePlatform::PlaceBehind(WindowId window, WindowId sibling) {
    FakeWindow* w = Get(window);
    FakeWindow* s = Get(sibling);
    if (w == nullptr || s == nullptr || window == sibling) return;
    std::vector<WindowId>* list = SiblingList(*w);
    if (list == nullptr || list != SiblingList(*s)) return;
    list->erase(std::remove(list->begin(), list->end(), window), list->end());
    auto at = std::find(list->begin(), list->end(), sibling);
    list->insert(at + 1, window);
}

void FakePlatform::PlaceFront(WindowId window) {
    FakeWindow* w = Get(window);
    if (w == nullptr) return;
    std::vector<WindowId>* list = SiblingList(*w);
    if (list == nullptr) return;
    list->erase(std::remove(list->begin(), list->end(), window), list->end());
    list->insert(list->begin(), window);
}

Rect FakePlatform::GetOuterRect(WindowId window) const {
    const FakeWindow* w = Get(window);
    return w ? w->outer : Rect{};
}

Point FakePlatform::ClientInset(const FakeWindow& w) const {
    if (!w.topLevel || !w.style.frame) return {};
    return {frameBorder_, frameBorder_ + (w.style.caption ? captionHeight_ : 0)};
}

Size FakePlatform::GetClientSize(WindowId window) const {
    const FakeWindow* w = Get(window);
    if (w == nullptr) return {};
    int width = w->outer.Width();
    int height = w->outer.Height();
    if (w->topLevel && w->style.frame) {
        width -= 2 * frameBorder_;
        height -= 2 * frameBorder_ + (w->style.caption ? captionHeight_ : 0);
    }
    return {std::max(width, 0), std::max(height, 0)};
}

Point FakePlatform::ClientOrigin(const FakeWindow& w) const {
    Point inset = ClientInset(w);
    Point origin{w.outer.left + inset.x, w.outer.top + inset.y};
    if (!w.topLevel) {
        if (const FakeWindow* p = Get(w.parent)) {
            Point po = ClientOrigin(*p);
            origin.x += po.x;
            origin.y += po.y;
        }
    }
    return origin;
}

Point FakePlatform::ClientToScreen(WindowId window, Point p) const {
    const FakeWindow* w = Get(window);
    if (w == nullptr) return p;
    Point o = ClientOrigin(*w);
    return {p.x + o.x, p.y + o.y};
}

void FakePlatform::CallMoved(WindowId window) {
    if (FakeWindow* w = Get(window); w && w->host) w->host->Moved();
}

void FakePlatform::CallResized(WindowId window) {
    if (FakeWindow* w = Get(window); w && w->host) w->host->Resized();
}

void FakePlatform::Move(WindowId window, Point topLeft) {
    FakeWindow* w = Get(window);
    if (w == nullptr || (w->outer.left == topLeft.x && w->outer.top == topLeft.y)) return;
    w->outer = Rect::FromXYWH(topLeft.x, topLeft.y, w->outer.Width(), w->outer.Height());
    CallMoved(window);
}

void FakePlatform::Resize(WindowId window, Size outer) {
    FakeWindow* w = Get(window);
    if (w == nullptr) return;
    outer.width = std::max(outer.width, 0);
    outer.height = std::max(outer.height, 0);
    if (w->outer.Width() == outer.width && w->outer.Height() == outer.height) return;
    w->outer = Rect::FromXYWH(w->outer.left, w->outer.top, outer.width, outer.height);
    CallResized(window);
}

void FakePlatform::Show(WindowId window, platform::ShowCommand command) {
    using platform::ShowCommand;
    FakeWindow* w = Get(window);
    if (w == nullptr) return;
    w->showCommands.push_back(command);
    switch (command) {
    case ShowCommand::Hide:
        w->visible = false;
        return;
    case ShowCommand::NoActivate:
        w->visible = true;
        return;
    case ShowCommand::Normal:
    case ShowCommand::Restore: {
        w->visible = true;
        bool changed = false;
        if (w->minimized) {
            w->minimized = false;
            changed = true;
        } else if (w->maximized) {
            w->maximized = false;
            w->outer = w->restoreRect;
            changed = true;
        }
        if (changed) CallResized(window);
        if (Exists(window) && command == ShowCommand::Normal && Get(window)->topLevel) Activate(window);
        return;
    }
    case ShowCommand::Minimized:
        w->visible = true;
        if (w->minimized) return;
        w->minimized = true;
        CallResized(window);
        return;
    case ShowCommand::Maximized: {
        w->visible = true;
        bool wasMinimized = w->minimized;
        w->minimized = false;
        if (!w->maximized) {
            w->restoreRect = w->outer;
            w->maximized = true;
            w->outer = WorkAreaNear(window);
            CallResized(window);
        } else if (wasMinimized) {
            CallResized(window);
        }
        if (Exists(window) && Get(window)->topLevel) Activate(window);
        return;
    }
    }
}

bool FakePlatform::IsVisible(WindowId window) const {
    const FakeWindow* w = Get(window);
    return w && w->visible;
}

bool FakePlatform::IsMinimized(WindowId window) const {
    const FakeWindow* w = Get(window);
    return w && w->minimized;
}

bool FakePlatform::IsMaximized(WindowId window) const {
    const FakeWindow* w = Get(window);
    return w && w->maximized;
}

void FakePlatform::Enable(WindowId window, bool enabled) {
    if (FakeWindow* w = Get(window)) w->enabled = enabled;
}

bool FakePlatform::IsEnabled(WindowId window) const {
    const FakeWindow* w = Get(window);
    return w && w->enabled;
}

WindowId FakePlatform::TopLevelOf(WindowId window) const {
    const FakeWindow* w = Get(window);
    while (w && !w->topLevel) w = Get(w->parent);
    return w ? w->id : 0;
}

// Activation brings the top-level to the front and gives it the focus unless the focus is already
// inside it, as a window manager does.
void FakePlatform::Activate(WindowId window) {
    WindowId top = TopLevelOf(window);
    if (top == 0) return;
    active_ = top;
    PlaceFront(top);
    if (TopLevelOf(focus_) != top) SetFocus(top);
}

void FakePlatform::SetFocus(WindowId window) {
    FakeWindow* w = Get(window);
    if (w == nullptr || focus_ == window) return;
    focus_ = window;
    if (w->host) w->host->FocusIn();
}

WindowId FakePlatform::GetFocus() const { return focus_; }

void FakePlatform::SetAccessibility(WindowId window, const platform::Accessibility& accessibility) {
    if (FakeWindow* w = Get(window)) w->accessibility = accessibility;
}

void FakePlatform::SetTitle(WindowId window, const std::string& title) {
    if (FakeWindow* w = Get(window)) w->title = title;
}

void FakePlatform::SetFrameStyle(WindowId window, const platform::FrameStyle& style) {
    if (FakeWindow* w = Get(window)) w->style = style;
}

void FakePlatform::SetTopmost(WindowId window, bool topmost) {
    if (FakeWindow* w = Get(window)) w->topmost = topmost;
}

void FakePlatform::SetIcons(WindowId window, const platform::Bitmap* big, const platform::Bitmap* small) {
    FakeWindow* w = Get(window);
    if (w == nullptr) return;
    w->bigIcon = big ? std::optional<platform::Bitmap>(*big) : std::nullopt;
    w->smallIcon = small ? std::optional<platform::Bitmap>(*small) : std::nullopt;
    ++w->iconChanges;
}

void FakePlatform::SetShape(WindowId window, const platform::Region* region) {
    FakeWindow* w = Get(window);
    if (w == nullptr) return;
    w->shape = region ? std::optional<platform::Region>(*region) : std::nullopt;
    ++w->shapeChanges;
}

void FakePlatform::Invalidate(WindowId window) {
    if (FakeWindow* w = Get(window)) ++w->invalidations;
}

void FakePlatform::Repaint(WindowId window) {
    FakeWindow* w = Get(window);
    if (w == nullptr) return;
    ++w->repaints;
    Paint(window);
}

// ---- input

void FakePlatform::BeginMoveDrag(WindowId topLevel, const platform::MouseEvent& press) {
    moveDrags_.push_back({topLevel, press});
}

void FakePlatform::SetCapture(WindowId window) {
    if (Exists(window)) capture_ = window;
}

void FakePlatform::ReleaseCapture() { capture_ = 0; }

WindowId FakePlatform::GetCapture() const { return capture_; }

WindowId FakePlatform::HitChild(WindowId window, Point clientPoint) const {
    const FakeWindow* w = Get(window);
    for (WindowId childId : w->children) {
        const FakeWindow* c = Get(childId);
        if (c == nullptr || !c->visible || !c->outer.Contains(clientPoint)) continue;
        const Point inChild{clientPoint.x - c->outer.left, clientPoint.y - c->outer.top};
        if (c->shape && !c->shape->Contains(inChild)) continue;  // cut away by its outline
        return HitChild(childId, inChild);
    }
    return window;
}

WindowId FakePlatform::WindowFromScreenPoint(Point screen) const {
    for (const auto& [number, rect] : foreignWindows_)
        if (rect.Contains(screen)) return platform::kForeignWindow;
    // Topmost windows are above all others; within each group the z-order decides.
    for (int pass = 0; pass < 2; ++pass) {
        for (WindowId id : topLevels_) {
            const FakeWindow* w = Get(id);
            if (w == nullptr || w->topmost != (pass == 0)) continue;
            if (!w->visible || w->minimized || w->ownerWindow || !w->outer.Contains(screen)) continue;
            Point inOuter{screen.x - w->outer.left, screen.y - w->outer.top};
            if (w->shape && !w->shape->Contains(inOuter)) continue;
            Point inset = ClientInset(*w);
            Point client{inOuter.x - inset.x, inOuter.y - inset.y};
            Size cs = GetClientSize(id);
            if (!Rect::FromXYWH(0, 0, cs.width, cs.height).Contains(client)) return id;  // on the frame
            return HitChild(id, client);
        }
    }
    return 0;
}

platform::CursorId FakePlatform::LoadSystemCursor(int code) {
    platform::CursorId id = nextCursor_++;
    FakeCursor c;
    c.systemCode = code;
    cursors_.emplace(id, c);
    return id;
}

platform::CursorId FakePlatform::CreateCursor(const platform::Bitmap& image, Point hotspot) {
    platform::CursorId id = nextCursor_++;
    FakeCursor c;
    c.hotspot = hotspot;
    c.width = image.Width();
    c.height = image.Height();
    cursors_.emplace(id, c);
    return id;
}

void FakePlatform::DestroyCursor(platform::CursorId cursor) {
    auto it = cursors_.find(cursor);
    if (it != cursors_.end()) it->second.destroyed = true;
}

void FakePlatform::SetWindowCursor(WindowId window, platform::CursorId cursor) {
    if (FakeWindow* w = Get(window)) w->cursor = cursor;
}

const FakeCursor* FakePlatform::Cursor(platform::CursorId id) const {
    auto it = cursors_.find(id);
    return it == cursors_.end() ? nullptr : &it->second;
}

platform::CursorId FakePlatform::WindowCursor(WindowId window) const {
    const FakeWindow* w = Get(window);
    return w ? w->cursor : 0;
}

std::size_t FakePlatform::LiveCursorCount() const {
    std::size_t n = 0;
    for (const auto& [id, c] : cursors_) n += c.destroyed ? 0 : 1;
    return n;
}

// ---- procedure slot

std::intptr_t FakePlatform::DefaultProc(WindowId, std::uint32_t, std::intptr_t, std::intptr_t) { return 0; }

platform::WindowProc FakePlatform::SetWindowProc(WindowId window, platform::WindowProc proc) {
    FakeWindow* w = Get(window);
    if (w == nullptr) return nullptr;
    platform::WindowProc previous = w->proc ? w->proc : &FakePlatform::DefaultProc;
    w->proc = proc;
    return previous;
}

std::intptr_t FakePlatform::CallWindowProc(platform::WindowProc previous, WindowId window, std::uint32_t message,
                                           std::intptr_t wParam, std::intptr_t lParam) {
    if (previous == nullptr) return 0;
    return previous(window, message, wParam, lParam);
}

// ---- loop

void FakePlatform::Post(WindowId window, std::uint32_t code) { posted_.push_back({window, code}); }

bool FakePlatform::DispatchOne() {
    if (posted_.empty()) return false;
    PostedMessage m = posted_.front();
    posted_.pop_front();
    FakeWindow* w = Get(m.window);
    if (w == nullptr || w->host == nullptr) return false;  // gone meanwhile: dropped
    w->host->Posted(m.code);
    return true;
}

int FakePlatform::DeliverPosted() {
    int delivered = 0;
    while (!posted_.empty())
        if (DispatchOne()) ++delivered;
    return delivered;
}

bool FakePlatform::RunLoop(const std::function<bool()>& keepRunning) {
    ++loopDepth_;
    bool quit = false;
    for (;;) {
        if (quitPending_) {
            quitPending_ = false;
            quit = true;
            break;
        }
        if (keepRunning && !keepRunning()) break;
        if (!posted_.empty()) {
            DispatchOne();
            continue;
        }
        if (idle_.empty()) break;  // nothing can happen any more
        std::function<void()> action = std::move(idle_.front());
        idle_.pop_front();
        action();
    }
    --loopDepth_;
    return quit;
}

void FakePlatform::PostQuit(int exitCode) {
    quitPending_ = true;
    ++quitsPosted_;
    lastQuitCode_ = exitCode;
}

platform::TimerId FakePlatform::StartTimer(int periodMs, std::function<void()> routine) {
    int period = std::max(periodMs, 1);
    platform::TimerId id = nextTimer_++;
    timers_.emplace(id, Timer{period, now_ + period, std::move(routine)});
    return id;
}

void FakePlatform::KillTimer(platform::TimerId timer) { timers_.erase(timer); }

int FakePlatform::TimerPeriod(platform::TimerId id) const {
    auto it = timers_.find(id);
    return it == timers_.end() ? 0 : it->second.period;
}

void FakePlatform::AdvanceTime(int ms) {
    const std::int64_t target = now_ + std::max(ms, 0);
    for (;;) {
        auto next = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end(); ++it)
            if (it->second.due <= target && (next == timers_.end() || it->second.due < next->second.due)) next = it;
        if (next == timers_.end()) break;
        now_ = next->second.due;
        next->second.due += next->second.period;
        std::function<void()> routine = next->second.routine;  // the routine may kill its own timer
        routine();
    }
    now_ = target;
}

// ---- screen and system

Size FakePlatform::PrimaryScreenSize() const { return screen_; }

Rect FakePlatform::WorkAreaNear(WindowId) const {
    if (workArea_) return *workArea_;
    return {0, 0, screen_.width, std::max(screen_.height - 40, 0)};
}

void FakePlatform::ShowErrorBox(const std::string& caption, const std::string& text) {
    errorBoxes_.push_back({caption, text});
}

std::unique_ptr<platform::WebView> FakePlatform::CreateWebView(WindowId parent, const Rect& rect,
                                                               platform::WebViewHost* host) {
    if (!Exists(parent)) return nullptr;
    return std::make_unique<FakeWebView>(*this, parent, rect, host);
}

FakeWebView* FakePlatform::WebViewFor(WindowId viewWindow) const {
    for (FakeWebView* v : webViews_)
        if (v->Window() == viewWindow) return v;
    return nullptr;
}

std::vector<WindowId> FakePlatform::Children(WindowId window) const {
    const FakeWindow* w = Get(window);
    return w ? w->children : std::vector<WindowId>{};
}

// ---- test helpers

platform::MouseEvent FakePlatform::MakeMouse(WindowId target, platform::MouseAction action,
                                             platform::MouseButton button, Point client, bool leftDown) const {
    platform::MouseEvent e;
    e.action = action;
    e.button = button;
    e.client = client;
    e.screen = ClientToScreen(target, client);
    e.leftDown = leftDown;
    e.time = static_cast<std::uint32_t>(now_);
    return e;
}

bool FakePlatform::SendMouse(WindowId target, const platform::MouseEvent& event) {
    WindowId top = TopLevelOf(target);
    if (top == 0) return false;
    if (FakeWindow* t = Get(top); t->host && t->host->PreTranslateMouse(target, event)) return true;
    if (FakeWindow* w = Get(target); w && w->host) w->host->Mouse(event);
    return false;
}

int FakePlatform::OpenForeignWindow(const Rect& screen) {
    const int number = nextForeign_++;
    foreignWindows_[number] = screen;
    return number;
}

void FakePlatform::CloseForeignWindow(int foreign) { foreignWindows_.erase(foreign); }

void FakePlatform::RequestClose(WindowId window) {
    if (FakeWindow* w = Get(window); w && w->host) w->host->CloseRequested();
}

platform::Bitmap FakePlatform::Paint(WindowId window) {
    Size size = GetClientSize(window);
    platform::Bitmap bitmap(size.width, size.height);
    FakeWindow* w = Get(window);
    if (w && w->host && !bitmap.Empty()) w->host->Paint(bitmap.View(), Rect::FromXYWH(0, 0, size.width, size.height));
    return bitmap;
}

// ---- the web view

FakeWebView::FakeWebView(FakePlatform& platform, WindowId parent, const Rect& rect, platform::WebViewHost* host)
    : platform_(platform), host_(host) {
    view_ = platform_.CreateChild(parent, rect, nullptr);
    platform_.Show(view_, platform::ShowCommand::NoActivate);
    document_ = platform_.CreateChild(view_, Rect::FromXYWH(0, 0, rect.Width(), rect.Height()), nullptr);
    platform_.Show(document_, platform::ShowCommand::NoActivate);
    ReplacePage();
    platform_.webViews_.push_back(this);
}

FakeWebView::~FakeWebView() {
    auto& list = platform_.webViews_;
    list.erase(std::remove(list.begin(), list.end(), this), list.end());
    platform_.Destroy(view_);
}

WindowId FakeWebView::ReplacePage() {
    if (page_ != 0) platform_.Destroy(page_);
    page_ = 0;
    if (!platform_.Exists(document_)) return 0;
    Size size = platform_.GetClientSize(document_);
    page_ = platform_.CreateChild(document_, Rect::FromXYWH(0, 0, size.width, size.height), nullptr);
    platform_.Show(page_, platform::ShowCommand::NoActivate);
    return page_;
}

std::intptr_t FakeWebView::DeliverToPage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) {
    const FakeWindow* page = platform_.Find(page_);
    if (page == nullptr || page->proc == nullptr) return 0;
    return page->proc(page_, message, wParam, lParam);
}

bool FakeWebView::SimulateNavigation(const std::string& url, const std::string& title) {
    if (!host_->BeforeNavigate(url)) return false;
    ReplacePage();
    locationUrl_ = url;
    locationName_ = title.empty() ? url : title;
    host_->NavigateComplete(url);
    if (!title.empty()) host_->TitleChange(title);
    host_->DocumentComplete(url);
    return true;
}

}  // namespace kestrune::testing
