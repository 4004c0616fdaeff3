// The GTK backend with real windows under openbox: what a user sees (screen pixels) and does (XTEST
// input), against what the seam reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "XProbe.h"
#include "platform/Platform.h"
#include "platform/gtk/GtkPlatform.h"
#include "tests/support/RecordingWindowHost.h"
#include "tests/support/SeamContract.h"

namespace kestrune::platform {

namespace {

constexpr Colour kRed = 0x000000FF;
constexpr Colour kGreen = 0x0000FF00;
constexpr Colour kBlue = 0x00FF0000;
constexpr Colour kYellow = 0x0000FFFF;
constexpr Colour kWhite = 0x00FFFFFF;

using Host = testing::RecordingWindowHost;

// A window of another X client: a connection of the test's own, unknown to the backend, mapped over
// a screen rectangle in one colour until destroyed. (Defined at the end of the file, after the X
// headers, whose macros would clash with names used here.)
class ForeignWindow {
public:
    ForeignWindow(const Rect& rect, Colour colour);
    ~ForeignWindow();
    ForeignWindow(const ForeignWindow&) = delete;
    ForeignWindow& operator=(const ForeignWindow&) = delete;
    bool Opened() const { return window_ != 0; }

private:
    void* display_ = nullptr;
    unsigned long window_ = 0;
};

class PlatformGuiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        int argc = 1;
        static char name[] = "kestrune_platform_gui_tests";
        static char* args[] = {name, nullptr};
        char** argv = args;
        platform_ = gtk::CreateGtkPlatform(&argc, &argv).release();
        if (platform_ != nullptr) Install(platform_);
        probe::Open();
    }

    void SetUp() override { ASSERT_NE(platform_, nullptr) << "no display"; }
    void TearDown() override {
        for (WindowId w : created_) platform_->Destroy(w);
        RunFor(30);
    }

    WindowId Top(const Rect& outer, Host* host, FrameStyle style = {}, const std::string& title = "platform test") {
        TopLevelParams params;
        params.title = title;
        params.style = style;
        params.outer = outer;
        const WindowId w = platform_->CreateTopLevel(params, host);
        created_.push_back(w);
        return w;
    }
    static FrameStyle Framed(bool resizable = false) {
        FrameStyle s;
        s.frame = s.caption = s.systemMenu = true;
        s.resizable = s.maximizeBox = s.minimizeBox = resizable;
        return s;
    }

    // Runs the loop until `done` or about `ms` milliseconds have passed.
    template <typename F>
    static bool RunUntil(F done, int ms = 3000) {
        bool timedOut = false;
        const TimerId timer = platform_->StartTimer(ms, [&] { timedOut = true; });
        const TimerId tick = platform_->StartTimer(10, [] {});  // re-tests `done` while nothing happens
        platform_->RunLoop([&] { return !done() && !timedOut; });
        platform_->KillTimer(timer);
        platform_->KillTimer(tick);
        return done();
    }
    static void RunFor(int ms) { RunUntil([] { return false; }, ms); }
    static testing::SeamUnderTest Seam() { return {*platform_, [] { RunFor(100); }}; }
    static bool WaitForPixel(Point p, Colour c, int ms = 3000) {
        return RunUntil([&] { return probe::Pixel(p.x, p.y) == c; }, ms);
    }
    static Point Screen(WindowId w, Point client) { return platform_->ClientToScreen(w, client); }

    // Hosts outlive the windows, which TearDown destroys.
    Host& NewHost(Colour colour) { return *hosts_.emplace_back(std::make_unique<Host>(colour)); }

    static inline Platform* platform_ = nullptr;
    std::vector<WindowId> created_;
    std::vector<std::unique_ptr<Host>> hosts_;
};

// ---- geometry and frames

KESTRUNE_SEAM_CONTRACT_TESTS(PlatformGuiTest)

TEST_F(PlatformGuiTest, UndecoratedWindowIsItsClientAreaExactlyWhereAskedAndKeepsHiddenMoves) {
    Host& host = NewHost(kRed);
    const Rect asked = Rect::FromXYWH(200, 150, 300, 200);
    const WindowId w = Top(asked, &host);
    EXPECT_EQ(platform_->GetOuterRect(w), asked);
    EXPECT_EQ(platform_->GetClientSize(w), (Size{300, 200}));
    platform_->Show(w, ShowCommand::NoActivate);
    ASSERT_TRUE(WaitForPixel({200, 150}, kRed));
    EXPECT_TRUE(WaitForPixel({499, 349}, kRed));
    EXPECT_NE(probe::Pixel(199, 150), kRed);
    EXPECT_NE(probe::Pixel(500, 349), kRed);
    RunFor(100);
    EXPECT_EQ(platform_->GetOuterRect(w), asked);
    EXPECT_EQ(Screen(w, {0, 0}), (Point{200, 150}));
    EXPECT_EQ(host.moves, 0);  // mapping is no move, not even for a moment
    EXPECT_EQ(host.resizes, 0);

    // Moved and resized while hidden: shown again exactly there.
    platform_->Show(w, ShowCommand::Hide);
    ASSERT_TRUE(WaitForPixel({250, 200}, probe::Pixel(1900, 1000)));
    platform_->Move(w, {700, 400});
    platform_->Resize(w, {120, 90});
    EXPECT_EQ(host.moves, 1);
    EXPECT_EQ(host.resizes, 1);
    platform_->Show(w, ShowCommand::NoActivate);
    ASSERT_TRUE(WaitForPixel({700, 400}, kRed));
    EXPECT_TRUE(WaitForPixel({819, 489}, kRed));
    EXPECT_NE(probe::Pixel(820, 489), kRed);
    EXPECT_NE(probe::Pixel(819, 490), kRed);
    RunFor(100);
    EXPECT_EQ(platform_->GetOuterRect(w), Rect::FromXYWH(700, 400, 120, 90));
}

TEST_F(PlatformGuiTest, DecoratedWindowOuterRectangleHoldsTheFrame) {
    Host& host = NewHost(kGreen);
    const Rect asked = Rect::FromXYWH(300, 200, 400, 300);
    const WindowId w = Top(asked, &host, Framed(), "decorated window");
    // Known before the window is mapped: the window manager was asked for its frame.
    EXPECT_EQ(platform_->GetOuterRect(w), asked);
    const Size client = platform_->GetClientSize(w);
    EXPECT_LT(client.width, 400);
    EXPECT_LT(client.height, 300);
    EXPECT_GT(client.width, 300);
    platform_->Show(w, ShowCommand::NoActivate);
    const Point origin = Screen(w, {0, 0});
    ASSERT_TRUE(WaitForPixel(origin, kGreen));
    RunFor(100);
    EXPECT_EQ(platform_->GetOuterRect(w), asked);
    EXPECT_EQ(platform_->GetClientSize(w), client);
    // The client area ends where the frame begins: the pixel just inside is ours, the frame's is not.
    EXPECT_EQ(probe::Pixel(origin.x + client.width - 1, origin.y + client.height - 1), kGreen);
    EXPECT_NE(probe::Pixel(origin.x - 1, origin.y - 1), kGreen);
    EXPECT_GT(origin.y, asked.top);  // below the caption
    // The frame is drawn inside the outer rectangle, not outside it.
    EXPECT_NE(probe::Pixel(asked.left, asked.top), probe::Pixel(asked.left - 1, asked.top - 1));
}

TEST_F(PlatformGuiTest, FrameOfANewStyleIsKnownToEveryReaderBeforeTheWindowShows) {
    // Styles no other test uses, so the window manager is asked about each of them afresh. What a
    // hidden window reports is what it shows with.
    FrameStyle tool = Framed();
    tool.toolWindow = true;
    FrameStyle edged = Framed(true);
    edged.clientEdge = true;
    int x = 200;
    for (const FrameStyle& style : {tool, edged}) {
        SCOPED_TRACE(style.toolWindow ? "tool window" : "client edge");
        Host& host = NewHost(kYellow);
        const Rect asked = Rect::FromXYWH(x, 750, 260, 180);
        x += 400;
        const WindowId w = Top(asked, &host, style, "new style");
        const Point origin = Screen(w, {0, 0});
        const Size client = platform_->GetClientSize(w);
        EXPECT_GT(origin.y, asked.top);
        EXPECT_LT(client.height, asked.Height());
        platform_->Show(w, ShowCommand::NoActivate);
        ASSERT_TRUE(WaitForPixel(origin, kYellow));
        RunFor(100);
        EXPECT_EQ(platform_->GetOuterRect(w), asked);
        EXPECT_EQ(Screen(w, {0, 0}), origin);
        EXPECT_EQ(platform_->GetClientSize(w), client);
        EXPECT_EQ(probe::Pixel(origin.x + client.width - 1, origin.y + client.height - 1), kYellow);
        EXPECT_NE(probe::Pixel(origin.x - 1, origin.y - 1), kYellow);
    }
}

TEST_F(PlatformGuiTest, NewFrameStyleKeepsTheOuterRectangle) {
    Host& host = NewHost(kBlue);
    const Rect asked = Rect::FromXYWH(1000, 400, 300, 200);
    const WindowId w = Top(asked, &host, {}, "restyled window");
    platform_->Show(w, ShowCommand::NoActivate);
    ASSERT_TRUE(WaitForPixel({1000, 400}, kBlue));
    platform_->SetFrameStyle(w, Framed());
    EXPECT_EQ(platform_->GetOuterRect(w), asked);
    const Size framed = platform_->GetClientSize(w);
    EXPECT_LT(framed.height, 200);
    ASSERT_TRUE(RunUntil([&] { return probe::Pixel(1000, 400) != kBlue; }));
    RunFor(150);
    EXPECT_EQ(platform_->GetOuterRect(w), asked);
    EXPECT_EQ(platform_->GetClientSize(w), framed);
    EXPECT_TRUE(WaitForPixel(Screen(w, {0, 0}), kBlue));
    platform_->SetFrameStyle(w, {});
    EXPECT_EQ(platform_->GetClientSize(w), (Size{300, 200}));
    ASSERT_TRUE(WaitForPixel({1000, 400}, kBlue));
    RunFor(150);
    EXPECT_EQ(platform_->GetOuterRect(w), asked);
    EXPECT_EQ(Screen(w, {0, 0}), (Point{1000, 400}));
}

// ---- outlines and input through them

TEST_F(PlatformGuiTest, OutlineHoleShowsAndPassesClicksToTheWindowBehind) {
    Host& backHost = NewHost(kGreen);
    Host& frontHost = NewHost(kBlue);
    const Rect outer = Rect::FromXYWH(100, 500, 300, 200);
    const WindowId back = Top(outer, &backHost);
    const WindowId front = Top(outer, &frontHost);
    // Everything but a 100x100 hole at (100,50) of the outer rectangle; set before the first map.
    const Region shape({Rect{0, 0, 300, 50}, Rect{0, 50, 100, 150}, Rect{200, 50, 300, 150}, Rect{0, 150, 300, 200}});
    platform_->SetShape(front, &shape);
    platform_->Show(back, ShowCommand::NoActivate);
    ASSERT_TRUE(WaitForPixel({150, 520}, kGreen));
    platform_->Show(front, ShowCommand::NoActivate);
    ASSERT_TRUE(WaitForPixel({150, 520}, kBlue));
    EXPECT_EQ(probe::Pixel(250, 600), kGreen);  // the hole
    EXPECT_EQ(platform_->WindowFromScreenPoint({250, 600}), back);
    EXPECT_EQ(platform_->WindowFromScreenPoint({150, 520}), front);
    EXPECT_EQ(platform_->WindowFromScreenPoint({1500, 1000}), 0u);

    // The click on the front window first: a click raises the window it lands in.
    probe::Click(150, 520);
    ASSERT_TRUE(RunUntil([&] { return frontHost.Count(MouseAction::Release) == 1; }));
    EXPECT_EQ(backHost.Count(MouseAction::Press), 0);

    probe::Click(250, 600);
    ASSERT_TRUE(RunUntil([&] { return backHost.Count(MouseAction::Release) == 1; }))
        << "front got " << frontHost.mouse.size() << " events, back " << backHost.mouse.size();
    EXPECT_EQ(frontHost.Count(MouseAction::Press), 1);  // only the first click
    const auto press = std::find_if(backHost.mouse.begin(), backHost.mouse.end(),
                                    [](const MouseEvent& e) { return e.action == MouseAction::Press; });
    ASSERT_NE(press, backHost.mouse.end());
    EXPECT_EQ(press->client, (Point{150, 100}));
    EXPECT_EQ(press->screen, (Point{250, 600}));
    EXPECT_TRUE(press->leftDown);

    // The click raised the back window; brought to the front again without its outline, the front
    // window is whole.
    EXPECT_TRUE(WaitForPixel({150, 520}, kGreen));
    platform_->PlaceFront(front);
    platform_->SetShape(front, nullptr);
    EXPECT_TRUE(WaitForPixel({250, 600}, kBlue));
    platform_->PlaceBehind(front, back);
    EXPECT_TRUE(WaitForPixel({250, 600}, kGreen));
}

TEST_F(PlatformGuiTest, AnotherProgramsWindowInFrontIsForeignWhereNothingIsNoWindow) {
    Host& host = NewHost(kGreen);
    const WindowId w = Top(Rect::FromXYWH(500, 300, 400, 300), &host);
    platform_->Show(w, ShowCommand::NoActivate);
    const Point covered{600, 400}, beside{850, 550}, nothing{1900, 1000};
    ASSERT_TRUE(WaitForPixel(covered, kGreen));
    EXPECT_EQ(platform_->WindowFromScreenPoint(covered), w);
    EXPECT_EQ(platform_->WindowFromScreenPoint(nothing), 0u);
    {
        const ForeignWindow other(Rect::FromXYWH(550, 350, 150, 100), kYellow);
        ASSERT_TRUE(other.Opened());
        ASSERT_TRUE(WaitForPixel(covered, kYellow));
        // Once the window manager stacks it above ours, the point is the other program's.
        EXPECT_TRUE(RunUntil([&] { return platform_->WindowFromScreenPoint(covered) == kForeignWindow; }))
            << "answered " << platform_->WindowFromScreenPoint(covered);
        EXPECT_EQ(platform_->WindowFromScreenPoint(beside), w);
        EXPECT_EQ(platform_->WindowFromScreenPoint(nothing), 0u);
    }
    ASSERT_TRUE(WaitForPixel(covered, kGreen));
    EXPECT_TRUE(RunUntil([&] { return platform_->WindowFromScreenPoint(covered) == w; }));
}

TEST_F(PlatformGuiTest, MoveDragFollowsThePointer) {
    Host& host = NewHost(kYellow);
    const WindowId w = Top(Rect::FromXYWH(600, 600, 200, 100), &host);
    host.onMouse = [&](const MouseEvent& e) {
        if (e.action == MouseAction::Press) platform_->BeginMoveDrag(w, e);
    };
    platform_->Show(w, ShowCommand::Normal);
    ASSERT_TRUE(WaitForPixel({610, 610}, kYellow));
    probe::MoveTo(620, 620);
    probe::Press(1);
    ASSERT_TRUE(RunUntil([&] { return host.Count(MouseAction::Press) == 1; }));
    RunFor(50);
    for (int step = 1; step <= 10; ++step) {
        probe::MoveTo(620 + step * 15, 620 + step * 8);
        RunFor(15);
    }
    probe::Release(1);
    ASSERT_TRUE(RunUntil([&] { return platform_->GetOuterRect(w).left == 750; }));
    EXPECT_EQ(platform_->GetOuterRect(w), Rect::FromXYWH(750, 680, 200, 100));
    EXPECT_GE(host.moves, 1);
    EXPECT_TRUE(WaitForPixel({760, 690}, kYellow));
}

// ---- window-manager hints

TEST_F(PlatformGuiTest, OwnedTaskbarlessWindowCarriesItsHints) {
    const WindowId owner = platform_->CreateOwnerWindow();
    created_.push_back(owner);
    Host& host = NewHost(kWhite);
    Host& plainHost = NewHost(kWhite);
    TopLevelParams params;
    params.title = "owned hinted window";
    params.outer = Rect::FromXYWH(50, 50, 100, 80);
    params.owner = owner;
    params.skipTaskbar = true;
    params.topmost = true;
    const WindowId w = platform_->CreateTopLevel(params, &host);
    created_.push_back(w);
    const WindowId plain = Top(Rect::FromXYWH(200, 50, 100, 80), &plainHost, {}, "plain hinted window");
    EXPECT_EQ(platform_->GetParent(w), owner);
    platform_->Show(w, ShowCommand::NoActivate);
    platform_->Show(plain, ShowCommand::NoActivate);
    ASSERT_TRUE(WaitForPixel({60, 60}, kWhite));
    ASSERT_TRUE(WaitForPixel({210, 60}, kWhite));
    RunFor(50);

    const unsigned long xid = probe::FindWindowByTitle("owned hinted window");
    const unsigned long plainXid = probe::FindWindowByTitle("plain hinted window");
    ASSERT_NE(xid, 0u);
    ASSERT_NE(plainXid, 0u);
    const std::string props = probe::Run("xprop -id " + std::to_string(xid) + " _NET_WM_STATE WM_TRANSIENT_FOR");
    EXPECT_NE(props.find("_NET_WM_STATE_SKIP_TASKBAR"), std::string::npos) << props;
    EXPECT_NE(props.find("_NET_WM_STATE_SKIP_PAGER"), std::string::npos) << props;
    EXPECT_NE(props.find("_NET_WM_STATE_ABOVE"), std::string::npos) << props;
    EXPECT_NE(props.find("WM_TRANSIENT_FOR(WINDOW): window id #"), std::string::npos) << props;
    const std::string plainProps =
        probe::Run("xprop -id " + std::to_string(plainXid) + " _NET_WM_STATE WM_TRANSIENT_FOR");
    EXPECT_EQ(plainProps.find("SKIP_TASKBAR"), std::string::npos) << plainProps;
    EXPECT_EQ(plainProps.find("window id #"), std::string::npos) << plainProps;
}

TEST_F(PlatformGuiTest, WindowManagerCloseOnlyAsksTheHost) {
    Host& host = NewHost(kWhite);
    const WindowId w = Top(Rect::FromXYWH(400, 50, 200, 100), &host, Framed(), "close request window");
    platform_->Show(w, ShowCommand::NoActivate);
    ASSERT_TRUE(WaitForPixel(Screen(w, {5, 5}), kWhite));
    probe::Run("wmctrl -c 'close request window'");
    ASSERT_TRUE(RunUntil([&] { return host.closes == 1; }));
    RunFor(100);
    EXPECT_TRUE(platform_->Exists(w));
    EXPECT_EQ(host.destroyed, 0);
    EXPECT_EQ(probe::Pixel(Screen(w, {5, 5}).x, Screen(w, {5, 5}).y), kWhite);
}

// ---- show states

TEST_F(PlatformGuiTest, MaximiseFillsTheWorkAreaAndRestoreGoesBack) {
    Host& host = NewHost(kBlue);
    const Rect asked = Rect::FromXYWH(300, 300, 500, 400);
    const WindowId w = Top(asked, &host, Framed(true), "maximise window");
    platform_->Show(w, ShowCommand::Normal);
    ASSERT_TRUE(WaitForPixel(Screen(w, {10, 10}), kBlue));
    RunFor(50);
    const int resizesBefore = host.resizes;
    platform_->Show(w, ShowCommand::Maximized);
    EXPECT_TRUE(platform_->IsMaximized(w));
    const Rect work = platform_->WorkAreaNear(w);
    EXPECT_EQ(work, Rect::FromXYWH(0, 0, 1920, 1080));  // no panels in this session
    ASSERT_TRUE(RunUntil([&] { return platform_->GetOuterRect(w) == work; })) << platform_->GetOuterRect(w);
    EXPECT_GT(host.resizes, resizesBefore);
    EXPECT_TRUE(WaitForPixel(Screen(w, {platform_->GetClientSize(w).width - 1, 10}), kBlue));

    platform_->Show(w, ShowCommand::Restore);
    EXPECT_FALSE(platform_->IsMaximized(w));
    ASSERT_TRUE(RunUntil([&] { return platform_->GetOuterRect(w) == asked; })) << platform_->GetOuterRect(w);
    EXPECT_FALSE(platform_->IsMaximized(w));
}

TEST_F(PlatformGuiTest, FixedSizeWindowStillMaximisesWhenToldAndGetsItsSizeBack) {
    Host& host = NewHost(kGreen);
    const Rect asked = Rect::FromXYWH(200, 200, 300, 200);
    const WindowId w = Top(asked, &host, Framed(false), "fixed size window");
    platform_->Show(w, ShowCommand::Normal);
    ASSERT_TRUE(WaitForPixel(Screen(w, {10, 10}), kGreen));
    // As the window unit maximises: the state, then the work area's place and size on top.
    platform_->Show(w, ShowCommand::Maximized);
    const Rect work = platform_->WorkAreaNear(w);
    platform_->Move(w, {work.left, work.top});
    platform_->Resize(w, {work.Width(), work.Height()});
    ASSERT_TRUE(RunUntil([&] { return platform_->GetOuterRect(w) == work; })) << platform_->GetOuterRect(w);
    RunFor(100);
    EXPECT_TRUE(platform_->IsMaximized(w));
    platform_->Show(w, ShowCommand::Restore);
    ASSERT_TRUE(RunUntil([&] { return platform_->GetOuterRect(w) == asked; })) << platform_->GetOuterRect(w);
    // Fixed again: a resize request from outside the program is refused.
    const std::string id = std::to_string(probe::FindWindowByTitle("fixed size window"));
    probe::Run("xdotool windowsize " + id + " 600 500");
    RunFor(150);
    EXPECT_EQ(platform_->GetOuterRect(w), asked);
    // The program itself may resize it.
    platform_->Resize(w, {350, 250});
    RunFor(150);
    EXPECT_EQ(platform_->GetOuterRect(w), Rect::FromXYWH(200, 200, 350, 250));
}

TEST_F(PlatformGuiTest, MinimiseHidesUntilRestored) {
    Host& host = NewHost(kRed);
    const WindowId w = Top(Rect::FromXYWH(1000, 100, 200, 150), &host, Framed(true), "minimise window");
    platform_->Show(w, ShowCommand::Normal);
    const Point inside = Screen(w, {20, 20});
    ASSERT_TRUE(WaitForPixel(inside, kRed));
    const Colour desktop = probe::Pixel(1900, 1000);
    platform_->Show(w, ShowCommand::Minimized);
    EXPECT_TRUE(platform_->IsMinimized(w));
    EXPECT_TRUE(platform_->IsVisible(w));
    ASSERT_TRUE(WaitForPixel(inside, desktop));
    RunFor(50);
    EXPECT_TRUE(platform_->IsMinimized(w));  // the window manager agrees
    const std::string state = probe::Run("xprop -id " + std::to_string(probe::FindWindowByTitle("minimise window")) +
                                         " _NET_WM_STATE");
    EXPECT_NE(state.find("_NET_WM_STATE_HIDDEN"), std::string::npos) << state;
    EXPECT_EQ(platform_->WindowFromScreenPoint(inside), 0u);

    platform_->Show(w, ShowCommand::Restore);
    EXPECT_FALSE(platform_->IsMinimized(w));
    ASSERT_TRUE(WaitForPixel(inside, kRed));
    RunFor(50);
    EXPECT_FALSE(platform_->IsMinimized(w));
    EXPECT_EQ(platform_->WindowFromScreenPoint(inside), w);
}

// ---- the loop

TEST_F(PlatformGuiTest, NestedLoopsPostedMessagesAndTimers) {
    Host& host = NewHost(kWhite);
    const WindowId w = Top(Rect::FromXYWH(10, 10, 50, 50), &host);
    std::vector<std::string> trace;
    int ticks = 0;
    TimerId timer = 0;
    bool innerQuit = false;
    host.onPosted = [&](std::uint32_t code) {
        trace.push_back("posted " + std::to_string(code));
        if (code != 1) return;
        // A nested loop inside a posted message: later posts and timers still arrive in it.
        platform_->Post(w, 2);
        timer = platform_->StartTimer(5, [&] {
            if (++ticks == 3) platform_->PostQuit(7);
        });
        innerQuit = platform_->RunLoop([] { return true; });
        trace.push_back("inner loop ended");
        platform_->KillTimer(timer);
        if (innerQuit) platform_->PostQuit(7);  // the quit belongs to the outer loop as well
    };
    platform_->Post(w, 1);
    const bool outerQuit = platform_->RunLoop([] { return true; });
    EXPECT_TRUE(innerQuit);
    EXPECT_TRUE(outerQuit);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(trace, (std::vector<std::string>{"posted 1", "posted 2", "inner loop ended"}));

    // A killed timer stays quiet; a message to a window destroyed meanwhile is dropped.
    RunFor(40);
    EXPECT_EQ(ticks, 3);
    platform_->Post(w, 3);
    platform_->Destroy(w);
    EXPECT_EQ(host.destroyed, 1);
    RunFor(30);
    EXPECT_EQ(host.posted, (std::vector<std::uint32_t>{1, 2}));

    // keepRunning ends a loop without a quit.
    int count = 0;
    const TimerId t = platform_->StartTimer(5, [&] { ++count; });
    EXPECT_FALSE(platform_->RunLoop([&] { return count < 4; }));
    platform_->KillTimer(t);
    EXPECT_EQ(count, 4);
    EXPECT_EQ(platform_->StartTimer(5, nullptr), 0u);
}

TEST_F(PlatformGuiTest, TimerKeepsFiringInsideALoopItsOwnRoutineRuns) {
    int ticks = 0;
    int depthAtTick = 0;
    TimerId timer = 0;
    timer = platform_->StartTimer(5, [&] {
        ++ticks;
        if (ticks == 1) {
            // A modal loop opened from the timer (as a dialog would be): the timer goes on in it.
            platform_->RunLoop([&] { return ticks < 3; });
            depthAtTick = ticks;
            platform_->KillTimer(timer);  // from inside its own routine
        }
    });
    EXPECT_TRUE(RunUntil([&] { return depthAtTick != 0; }, 1000));
    EXPECT_EQ(depthAtTick, 3);
    RunFor(40);
    EXPECT_EQ(ticks, 3);
}

// ---- child windows

TEST_F(PlatformGuiTest, ChildWindowsAreClippedByTheirParentAndStackAsTold) {
    Host& topHost = NewHost(kWhite);
    Host& aHost = NewHost(kRed);
    Host& bHost = NewHost(kBlue);
    Host& cHost = NewHost(kGreen);
    Host& grandHost = NewHost(kYellow);
    const WindowId top = Top(Rect::FromXYWH(1300, 500, 300, 300), &topHost);
    const WindowId a = platform_->CreateChild(top, Rect::FromXYWH(50, 50, 100, 100), &aHost);
    const WindowId b = platform_->CreateChild(top, Rect::FromXYWH(100, 100, 100, 100), &bHost);
    const WindowId c = platform_->CreateChild(top, Rect::FromXYWH(250, 250, 100, 100), &cHost);
    const WindowId grand = platform_->CreateChild(a, Rect::FromXYWH(80, 80, 50, 50), &grandHost);
    EXPECT_EQ(platform_->FirstChild(top), c);  // the newest is in front
    EXPECT_FALSE(platform_->IsVisible(a));
    platform_->Show(top, ShowCommand::NoActivate);
    auto at = [&](int x, int y) { return Screen(top, {x, y}); };
    ASSERT_TRUE(WaitForPixel(at(60, 60), kWhite));  // children start hidden
    for (WindowId child : {a, b, c, grand}) platform_->Show(child, ShowCommand::NoActivate);
    ASSERT_TRUE(WaitForPixel(at(60, 60), kRed));
    EXPECT_TRUE(WaitForPixel(at(120, 120), kBlue));  // b over a
    EXPECT_EQ(probe::Pixel(at(290, 290).x, at(290, 290).y), kGreen);
    EXPECT_NE(probe::Pixel(at(310, 310).x, at(310, 310).y), kGreen);  // c outside its parent: clipped
    EXPECT_EQ(probe::Pixel(at(135, 135).x, at(135, 135).y), kBlue);  // grandchild clipped by a (and under b)
    EXPECT_EQ(platform_->WindowFromScreenPoint(at(120, 120)), b);
    EXPECT_EQ(platform_->WindowFromScreenPoint(at(60, 60)), a);
    EXPECT_EQ(platform_->WindowFromScreenPoint(at(10, 10)), top);

    platform_->PlaceBehind(b, a);
    EXPECT_TRUE(WaitForPixel(at(135, 135), kYellow));  // a (with its child) now over b
    EXPECT_EQ(probe::Pixel(at(155, 155).x, at(155, 155).y), kBlue);
    EXPECT_EQ(platform_->WindowFromScreenPoint(at(135, 135)), grand);
    platform_->PlaceFront(b);
    EXPECT_TRUE(WaitForPixel(at(135, 135), kBlue));
    EXPECT_EQ(platform_->FirstChild(top), b);

    // A new parent keeps left and top, now in the new parent's coordinates (so c leaves a's area).
    platform_->SetParent(c, a);
    EXPECT_EQ(platform_->GetParent(c), a);
    EXPECT_TRUE(WaitForPixel(at(290, 290), kWhite));
    EXPECT_EQ(platform_->GetOuterRect(c), Rect::FromXYWH(250, 250, 100, 100));

    // Invalidate repaints with what the host draws now.
    aHost.colour = kGreen;
    platform_->Invalidate(a);
    EXPECT_TRUE(WaitForPixel(at(60, 60), kGreen));
    aHost.colour = kWhite;
    const int paints = aHost.paints;
    platform_->Repaint(a);
    EXPECT_EQ(aHost.paints, paints + 1);
    EXPECT_TRUE(WaitForPixel(at(60, 60), kWhite));

    platform_->Destroy(a);
    EXPECT_EQ(grandHost.destroyed, 1);
    EXPECT_EQ(cHost.destroyed, 1);
    EXPECT_FALSE(platform_->Exists(grand));
    EXPECT_TRUE(WaitForPixel(at(60, 60), kWhite));
}

// ---- mouse routing

TEST_F(PlatformGuiTest, MouseGoesThroughTheTopLevelFirstAndFollowsTheCapture) {
    Host& topHost = NewHost(kWhite);
    Host& childHost = NewHost(kRed);
    const WindowId top = Top(Rect::FromXYWH(100, 850, 300, 200), &topHost);
    const WindowId child = platform_->CreateChild(top, Rect::FromXYWH(100, 50, 100, 100), &childHost);
    platform_->Show(child, ShowCommand::NoActivate);
    platform_->Show(top, ShowCommand::Normal);
    ASSERT_TRUE(WaitForPixel({250, 950}, kRed));

    probe::Click(210, 910);  // child client (10, 10)
    ASSERT_TRUE(RunUntil([&] { return childHost.Count(MouseAction::Release) == 1; }));
    ASSERT_FALSE(topHost.pre.empty());
    EXPECT_EQ(topHost.pre.back().first, child);
    EXPECT_EQ(topHost.Count(MouseAction::Press), 0);
    const MouseEvent& release = childHost.mouse.back();
    EXPECT_EQ(release.client, (Point{10, 10}));
    EXPECT_EQ(release.screen, (Point{210, 910}));
    EXPECT_FALSE(release.leftDown);
    EXPECT_NE(release.time, 0u);

    // Moving off the child is a leave for the child (and not for the top-level it moves into).
    probe::MoveTo(150, 900);
    ASSERT_TRUE(RunUntil([&] { return childHost.Count(MouseAction::Leave, MouseButton::None) == 1; }));
    EXPECT_EQ(topHost.Count(MouseAction::Leave, MouseButton::None), 0);
    ASSERT_TRUE(RunUntil([&] { return !topHost.mouse.empty() && topHost.mouse.back().action == MouseAction::Move; }));
    EXPECT_EQ(topHost.mouse.back().client, (Point{50, 50}));
    probe::MoveTo(210, 910);

    // A second press close in time and place is a double press.
    probe::Click(210, 910);
    ASSERT_TRUE(RunUntil([&] { return childHost.Count(MouseAction::Release) == 2; }));
    EXPECT_EQ(childHost.Count(MouseAction::Press), 1);
    EXPECT_EQ(childHost.Count(MouseAction::DoublePress), 1);

    // The top-level may swallow: the child then sees nothing.
    topHost.swallow = true;
    const std::size_t before = childHost.mouse.size();
    probe::Click(220, 920, 3);
    ASSERT_TRUE(RunUntil([&] {
        return std::any_of(topHost.pre.begin(), topHost.pre.end(), [](const auto& p) {
            return p.second.action == MouseAction::Release && p.second.button == MouseButton::Right;
        });
    }));
    EXPECT_EQ(childHost.mouse.size(), before);
    topHost.swallow = false;

    // Captured: moves and the release outside the window still come to the child, in its coordinates.
    probe::MoveTo(220, 920);
    probe::Press(1);
    ASSERT_TRUE(RunUntil([&] { return childHost.Count(MouseAction::Press) == 2; }));
    platform_->SetCapture(child);
    EXPECT_EQ(platform_->GetCapture(), child);
    probe::MoveTo(700, 700);
    ASSERT_TRUE(RunUntil([&] { return !childHost.mouse.empty() && childHost.mouse.back().screen == Point{700, 700}; }));
    EXPECT_EQ(childHost.mouse.back().client, (Point{500, -200}));
    EXPECT_TRUE(childHost.mouse.back().leftDown);
    probe::Release(1);
    ASSERT_TRUE(RunUntil([&] { return childHost.Count(MouseAction::Release) == 3; }));
    EXPECT_EQ(childHost.mouse.back().client, (Point{500, -200}));
    platform_->ReleaseCapture();
    EXPECT_EQ(platform_->GetCapture(), 0u);

    // A disabled top-level ignores input, its children included, from the moment it is disabled:
    // a click the server has already sent on is dropped as well.
    const std::size_t disabledBefore = childHost.mouse.size() + topHost.pre.size();
    probe::Click(210, 910);
    platform_->Enable(top, false);
    EXPECT_FALSE(platform_->IsEnabled(top));
    RunFor(150);
    EXPECT_EQ(childHost.mouse.size() + topHost.pre.size(), disabledBefore);
    probe::Click(210, 910);
    RunFor(150);
    EXPECT_EQ(childHost.mouse.size() + topHost.pre.size(), disabledBefore);
    platform_->Enable(top, true);
    probe::Click(210, 910);
    EXPECT_TRUE(RunUntil([&] { return childHost.Count(MouseAction::Release) == 4; }));
}

// ---- pointers

TEST_F(PlatformGuiTest, EachWindowShowsItsOwnPointer) {
    Host& topHost = NewHost(kWhite);
    Host& childHost = NewHost(kRed);
    const WindowId top = Top(Rect::FromXYWH(1300, 100, 300, 200), &topHost);
    const WindowId child = platform_->CreateChild(top, Rect::FromXYWH(150, 0, 150, 200), &childHost);
    const CursorId hand = platform_->LoadSystemCursor(32649);
    ASSERT_NE(hand, 0u);
    EXPECT_EQ(platform_->LoadSystemCursor(32649), hand);  // one shared pointer per code
    EXPECT_EQ(platform_->LoadSystemCursor(12345), 0u);
    Bitmap image(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) image.View().SetColour(x, y, kRed);
    const CursorId own = platform_->CreateCursor(image, {3, 5});
    ASSERT_NE(own, 0u);
    platform_->SetWindowCursor(top, hand);
    platform_->Show(child, ShowCommand::NoActivate);
    platform_->Show(top, ShowCommand::NoActivate);
    ASSERT_TRUE(WaitForPixel({1500, 150}, kRed));

    auto cursorAt = [&](int x, int y) {
        probe::MoveTo(x, y);
        RunFor(60);
        return probe::CurrentCursor();
    };
    const probe::CursorImage overTop = cursorAt(1350, 150);
    const probe::CursorImage overChild = cursorAt(1500, 150);  // no pointer of its own: the arrow
    EXPECT_NE(overTop, overChild);
    platform_->SetWindowCursor(child, own);
    const probe::CursorImage custom = cursorAt(1501, 151);
    EXPECT_EQ(custom.width, 16);
    EXPECT_EQ(custom.height, 16);
    EXPECT_EQ(custom.xhot, 3);
    EXPECT_EQ(custom.yhot, 5);
    ASSERT_FALSE(custom.pixels.empty());
    EXPECT_EQ(custom.pixels[0], 0xFFFF0000u);
    platform_->SetWindowCursor(top, 0);
    EXPECT_EQ(cursorAt(1351, 151), overChild);  // the arrow again
    platform_->DestroyCursor(own);
    EXPECT_EQ(cursorAt(1502, 152), overChild);
    platform_->DestroyCursor(hand);  // shared: stays usable
    platform_->SetWindowCursor(top, hand);
    EXPECT_EQ(cursorAt(1352, 152), overTop);
}

// ---- titles, icons, focus

TEST_F(PlatformGuiTest, TitleAndIconsReachTheWindowManager) {
    Host& host = NewHost(kWhite);
    const WindowId w = Top(Rect::FromXYWH(800, 800, 120, 80), &host, Framed(), "first title");
    platform_->SetTitle(w, "\xe7\x99\xbb\xe5\xbd\x95 login");  // UTF-8
    Bitmap big(32, 32), small(16, 16);
    platform_->SetIcons(w, &big, &small);
    platform_->Show(w, ShowCommand::NoActivate);
    ASSERT_TRUE(WaitForPixel(Screen(w, {5, 5}), kWhite));
    const unsigned long xid = probe::FindWindowByTitle("\xe7\x99\xbb\xe5\xbd\x95 login");
    ASSERT_NE(xid, 0u);
    const std::string props = probe::Run("xprop -id " + std::to_string(xid) + " _NET_WM_ICON | grep 'Icon ('");
    EXPECT_NE(props.find("32 x 32"), std::string::npos) << props;
    EXPECT_NE(props.find("16 x 16"), std::string::npos) << props;
    platform_->SetTitle(w, std::string("bad \xff byte"));  // invalid UTF-8 is mended, not dropped
    EXPECT_TRUE(RunUntil([&] {
        const std::string name = probe::Utf8Property(xid, "_NET_WM_NAME");
        return name.rfind("bad ", 0) == 0 && name.find("byte") != std::string::npos;
    }));
}

TEST_F(PlatformGuiTest, RepaintsKeepWhatTheHostLeavesAloneAndUncoveringPaintsNothing) {
    // After its first paint the host paints only the left half of what it is asked to.
    struct HalfHost : Host {
        void Paint(const PixelView& target, const Rect& dirty) override {
            Rect r = dirty.Intersect({0, 0, target.width, target.height});
            if (paints > 0) r.right = std::min(r.right, target.width / 2);
            ++paints;
            for (int y = r.top; y < r.bottom; ++y)
                for (int x = r.left; x < r.right; ++x) target.SetColour(x, y, colour);
        }
    };
    auto& topHost = static_cast<HalfHost&>(*hosts_.emplace_back(std::make_unique<HalfHost>()));
    auto& childHost = static_cast<HalfHost&>(*hosts_.emplace_back(std::make_unique<HalfHost>()));
    topHost.colour = kRed;
    childHost.colour = kBlue;
    const WindowId top = Top(Rect::FromXYWH(1300, 100, 400, 300), &topHost);
    const WindowId child = platform_->CreateChild(top, Rect::FromXYWH(200, 200, 100, 60), &childHost);
    platform_->Show(child, ShowCommand::NoActivate);
    platform_->Show(top, ShowCommand::NoActivate);
    ASSERT_TRUE(WaitForPixel({1350, 150}, kRed));
    ASSERT_TRUE(WaitForPixel({1580, 330}, kBlue));

    topHost.colour = kGreen;
    platform_->Invalidate(top);
    EXPECT_TRUE(WaitForPixel({1350, 150}, kGreen));
    EXPECT_EQ(probe::Pixel(1650, 150), kRed);  // the half the host left alone
    childHost.colour = kYellow;
    platform_->Repaint(child);
    EXPECT_TRUE(WaitForPixel({1510, 310}, kYellow));
    EXPECT_EQ(probe::Pixel(1580, 330), kBlue);

    // Covered and uncovered by another program's window: shown again without the hosts painting.
    const int topPaints = topHost.paints, childPaints = childHost.paints;
    {
        const ForeignWindow other(Rect::FromXYWH(1300, 100, 400, 300), kWhite);
        ASSERT_TRUE(other.Opened());
        ASSERT_TRUE(WaitForPixel({1650, 150}, kWhite));
    }
    EXPECT_TRUE(WaitForPixel({1650, 150}, kRed));
    EXPECT_EQ(probe::Pixel(1350, 150), kGreen);
    EXPECT_EQ(probe::Pixel(1510, 310), kYellow);
    EXPECT_EQ(probe::Pixel(1580, 330), kBlue);
    EXPECT_EQ(topHost.paints, topPaints);
    EXPECT_EQ(childHost.paints, childPaints);
    platform_->Destroy(top);
}

TEST_F(PlatformGuiTest, WhatAChildCoversIsPaintedOnlyOnceItShows) {
    // Notes every rectangle it is asked to paint.
    struct NotingHost : Host {
        void Paint(const PixelView& target, const Rect& dirty) override {
            asked.push_back(dirty);
            Host::Paint(target, dirty);
        }
        bool Touched(const Rect& r) const {
            return std::any_of(asked.begin(), asked.end(), [&](const Rect& a) { return !a.Intersect(r).Empty(); });
        }
        std::vector<Rect> asked;
    };
    auto& topHost = static_cast<NotingHost&>(*hosts_.emplace_back(std::make_unique<NotingHost>()));
    Host& childHost = NewHost(kBlue);
    topHost.colour = kRed;
    const Rect covered{0, 0, 400, 260};
    const WindowId top = Top(Rect::FromXYWH(1300, 500, 400, 300), &topHost);
    const WindowId child = platform_->CreateChild(top, covered, &childHost);
    platform_->Show(child, ShowCommand::NoActivate);
    platform_->Show(top, ShowCommand::NoActivate);
    auto at = [&](int x, int y) { return Screen(top, {x, y}); };
    ASSERT_TRUE(WaitForPixel(at(50, 280), kRed));
    ASSERT_TRUE(WaitForPixel(at(50, 100), kBlue));
    EXPECT_FALSE(topHost.Touched(covered));
    platform_->Invalidate(top);
    RunFor(100);
    EXPECT_FALSE(topHost.Touched(covered));
    EXPECT_EQ(probe::Pixel(at(50, 280).x, at(50, 280).y), kRed);

    // Each way of uncovering shows the parent's own picture there.
    platform_->Move(child, {100, 0});
    EXPECT_TRUE(WaitForPixel(at(50, 100), kRed));
    EXPECT_TRUE(WaitForPixel(at(150, 100), kBlue));
    const Region leftHalf({Rect{0, 0, 150, 260}});  // in the child's coordinates
    const Rect outsideOutline{250, 0, 400, 260};
    ASSERT_FALSE(topHost.Touched(outsideOutline));
    platform_->SetShape(child, &leftHalf);
    EXPECT_TRUE(RunUntil([&] { return topHost.Touched(outsideOutline); }));
    EXPECT_EQ(probe::Pixel(at(150, 100).x, at(150, 100).y), kBlue);
    platform_->Resize(child, {100, 100});
    EXPECT_TRUE(WaitForPixel(at(150, 200), kRed));
    EXPECT_EQ(probe::Pixel(at(150, 50).x, at(150, 50).y), kBlue);
    platform_->Show(child, ShowCommand::Hide);
    EXPECT_TRUE(WaitForPixel(at(150, 50), kRed));
    platform_->Show(child, ShowCommand::NoActivate);
    EXPECT_TRUE(WaitForPixel(at(150, 50), kBlue));
    platform_->Destroy(child);
    EXPECT_TRUE(WaitForPixel(at(150, 50), kRed));
    platform_->Destroy(top);
}

TEST_F(PlatformGuiTest, FocusMovesToTheWindowGivenIt) {
    struct FocusHost : Host {
        void FocusIn() override { ++focusIns; }
        int focusIns = 0;
    };
    auto& topHost = static_cast<FocusHost&>(*hosts_.emplace_back(std::make_unique<FocusHost>()));
    auto& childHost = static_cast<FocusHost&>(*hosts_.emplace_back(std::make_unique<FocusHost>()));
    const WindowId top = Top(Rect::FromXYWH(500, 800, 200, 100), &topHost);
    const WindowId child = platform_->CreateChild(top, Rect::FromXYWH(10, 10, 50, 50), &childHost);
    platform_->Show(child, ShowCommand::NoActivate);
    platform_->Show(top, ShowCommand::Normal);
    ASSERT_TRUE(RunUntil([&] { return platform_->GetFocus() == top; }));
    EXPECT_GE(topHost.focusIns, 1);
    platform_->SetFocus(child);
    EXPECT_EQ(platform_->GetFocus(), child);
    EXPECT_EQ(childHost.focusIns, 1);
    RunFor(50);
    EXPECT_EQ(platform_->GetFocus(), child);
    EXPECT_EQ(childHost.focusIns, 1);
    platform_->Destroy(child);
    EXPECT_EQ(platform_->GetFocus(), 0u);
}

// ---- system

TEST_F(PlatformGuiTest, ScreenFacts) {
    EXPECT_EQ(platform_->PrimaryScreenSize(), (Size{1920, 1080}));
    EXPECT_EQ(platform_->DisplayBitsPerPixel(), 32);  // depth 24 is stored in 32-bit pixels
    EXPECT_EQ(platform_->WorkAreaNear(0), Rect::FromXYWH(0, 0, 1920, 1080));
}

TEST_F(PlatformGuiTest, WorkAreaFollowsTheWindowManagersChanges) {
    // As a panel would make the window manager do: the work area shrinks, and later grows back.
    const std::string listed = probe::Run("xprop -root _NET_WORKAREA");
    const std::size_t equals = listed.find("= ");
    ASSERT_NE(equals, std::string::npos) << listed;
    std::string original = listed.substr(equals + 2);
    while (!original.empty() && original.back() == '\n') original.pop_back();
    ASSERT_EQ(platform_->WorkAreaNear(0), Rect::FromXYWH(0, 0, 1920, 1080));
    probe::Run("xprop -root -f _NET_WORKAREA 32c -set _NET_WORKAREA '0, 0, 1920, 1040'");
    EXPECT_TRUE(RunUntil([&] { return platform_->WorkAreaNear(0) == Rect::FromXYWH(0, 0, 1920, 1040); }))
        << platform_->WorkAreaNear(0);
    probe::Run("xprop -root -f _NET_WORKAREA 32c -set _NET_WORKAREA '" + original + "'");
    EXPECT_TRUE(RunUntil([&] { return platform_->WorkAreaNear(0) == Rect::FromXYWH(0, 0, 1920, 1080); }))
        << platform_->WorkAreaNear(0);
}

TEST_F(PlatformGuiTest, ErrorBoxIsModalWithItsCaptionAndReturnsWhenClosed) {
    bool seen = false;
    // Asked again on every tick while the box is there: the window manager may not list it yet
    // when it first appears, and then the first close request goes nowhere.
    const TimerId t = platform_->StartTimer(50, [&] {
        if (probe::FindWindowByTitle("Error caption") == 0) return;
        seen = true;
        probe::Run("wmctrl -c 'Error caption'");
    });
    platform_->ShowErrorBox("Error caption", "Something failed");
    platform_->KillTimer(t);
    EXPECT_TRUE(seen);
    RunFor(50);
    EXPECT_EQ(probe::FindWindowByTitle("Error caption"), 0u);
}

TEST_F(PlatformGuiTest, QuitPostedWhileAnErrorBoxIsUpClosesItAndReachesTheLoop) {
    bool shown = false;
    const TimerId t = platform_->StartTimer(50, [&] {
        if (!shown && probe::FindWindowByTitle("Quit caption") != 0) {
            shown = true;
            platform_->PostQuit(3);
        }
    });
    platform_->ShowErrorBox("Quit caption", "The program is ending");
    platform_->KillTimer(t);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(platform_->RunLoop([] { return true; }));  // the quit is still there for the loop
    RunFor(50);
    EXPECT_EQ(probe::FindWindowByTitle("Quit caption"), 0u);
}

}  // namespace
}  // namespace kestrune::platform

// ---- the other X client (here, after every use of names the X headers turn into macros)

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace kestrune::platform {
namespace {

ForeignWindow::ForeignWindow(const Rect& rect, Colour colour) {
    Display* dpy = XOpenDisplay(nullptr);
    if (dpy == nullptr) return;
    display_ = dpy;
    const int screen = DefaultScreen(dpy);
    // A 24-bit true-colour screen: the pixel value is 0xRRGGBB.
    const unsigned long pixel = (static_cast<unsigned long>(RedOf(colour)) << 16) |
                                (static_cast<unsigned long>(GreenOf(colour)) << 8) | BlueOf(colour);
    window_ = XCreateSimpleWindow(dpy, RootWindow(dpy, screen), rect.left, rect.top,
                                  static_cast<unsigned>(rect.Width()), static_cast<unsigned>(rect.Height()), 0, 0,
                                  pixel);
    XSizeHints hints{};
    hints.flags = USPosition | USSize;  // placed where asked, not where the window manager likes
    hints.x = rect.left;
    hints.y = rect.top;
    hints.width = rect.Width();
    hints.height = rect.Height();
    XSetWMNormalHints(dpy, window_, &hints);
    XStoreName(dpy, window_, "another program");
    XMapRaised(dpy, window_);
    XFlush(dpy);
}

ForeignWindow::~ForeignWindow() {
    auto* dpy = static_cast<Display*>(display_);
    if (dpy == nullptr) return;
    if (window_ != 0) XDestroyWindow(dpy, window_);
    XCloseDisplay(dpy);
}

}  // namespace
}  // namespace kestrune::platform
