// The in-memory platform's own logic: z-order, destruction order, the loop and virtual time.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/FakePlatform.h"
#include "tests/support/NullWebViewHost.h"
#include "tests/support/SeamContract.h"

namespace {

namespace platform = kestrune::platform;
using kestrune::testing::FakePlatform;
using kestrune::testing::FakeWebView;
using kestrune::testing::ScopedFakePlatform;
using platform::Rect;
using platform::WindowId;

struct RecordingHost : platform::WindowHost {
    RecordingHost(FakePlatform& p, std::vector<std::string>& l, std::string n)
        : fake(p), log(l), name(std::move(n)) {}
    void Destroyed() override { log.push_back(name + (fake.Exists(self) ? ":exists" : ":gone")); }
    void Moved() override { log.push_back(name + ":moved"); }
    void Resized() override { log.push_back(name + ":resized"); }
    void Posted(std::uint32_t code) override { log.push_back(name + ":posted" + std::to_string(code)); }
    bool PreTranslateMouse(WindowId, const platform::MouseEvent&) override {
        log.push_back(name + ":pre");
        return swallow;
    }
    void Mouse(const platform::MouseEvent&) override { log.push_back(name + ":mouse"); }
    FakePlatform& fake;
    std::vector<std::string>& log;
    std::string name;
    WindowId self = 0;
    bool swallow = false;
};

class FakeSeam : public ::testing::Test {
protected:
    kestrune::testing::SeamUnderTest Seam() { return {*fake_, [this] { fake_->RunLoop([] { return true; }); }}; }
    ScopedFakePlatform fake_;
};
KESTRUNE_SEAM_CONTRACT_TESTS(FakeSeam)

TEST(FakePlatform, ChildrenOrderFrontToBackAndReparentKeepsPosition) {
    FakePlatform fake;
    WindowId top = fake.CreateTopLevel({}, nullptr);
    WindowId box = fake.CreateChild(top, Rect::FromXYWH(10, 10, 100, 100), nullptr);
    WindowId a = fake.CreateChild(top, Rect::FromXYWH(5, 6, 10, 10), nullptr);
    WindowId b = fake.CreateChild(top, Rect::FromXYWH(1, 1, 10, 10), nullptr);
    EXPECT_EQ(fake.Children(top), (std::vector<WindowId>{b, a, box}));  // newest in front
    fake.PlaceBehind(b, box);
    EXPECT_EQ(fake.Children(top), (std::vector<WindowId>{a, box, b}));
    fake.PlaceFront(box);
    EXPECT_EQ(fake.FirstChild(top), box);

    fake.SetParent(a, box);
    EXPECT_EQ(fake.GetParent(a), box);
    EXPECT_EQ(fake.Children(top), (std::vector<WindowId>{box, b}));
    EXPECT_EQ(fake.GetOuterRect(a), Rect::FromXYWH(5, 6, 10, 10));
    EXPECT_EQ(fake.ClientToScreen(a, {0, 0}), (platform::Point{15, 16}));
    fake.SetParent(box, a);  // a cycle is refused
    EXPECT_EQ(fake.GetParent(box), top);
    // Siblings of different parents are not re-ordered against each other.
    fake.PlaceBehind(a, b);
    EXPECT_EQ(fake.Children(box), (std::vector<WindowId>{a}));
}

TEST(FakePlatform, FramedClientAreaAndMaximise) {
    FakePlatform fake;
    std::vector<std::string> log;
    RecordingHost host(fake, log, "w");
    platform::TopLevelParams params;
    params.style.frame = true;
    params.style.caption = true;
    params.outer = Rect::FromXYWH(100, 100, 300, 200);
    WindowId w = fake.CreateTopLevel(params, &host);
    EXPECT_EQ(fake.GetClientSize(w), (platform::Size{284, 154}));
    EXPECT_EQ(fake.ClientToScreen(w, {0, 0}), (platform::Point{108, 138}));

    fake.Move(w, {100, 100});  // no change: no notification
    fake.Move(w, {50, 60});
    fake.Resize(w, {320, 200});
    fake.Show(w, platform::ShowCommand::Maximized);
    EXPECT_EQ(fake.GetOuterRect(w), (Rect{0, 0, 1920, 1040}));
    EXPECT_TRUE(fake.IsMaximized(w));
    fake.Show(w, platform::ShowCommand::Restore);
    EXPECT_EQ(fake.GetOuterRect(w), Rect::FromXYWH(50, 60, 320, 200));
    fake.Show(w, platform::ShowCommand::Minimized);
    EXPECT_TRUE(fake.IsMinimized(w));
    EXPECT_EQ(log, (std::vector<std::string>{"w:moved", "w:resized", "w:resized", "w:resized", "w:resized"}));
}

TEST(FakePlatform, DestroyGoesChildrenFirstAndProcSeesDestroyWhileAlive) {
    FakePlatform fake;
    std::vector<std::string> log;
    RecordingHost topHost(fake, log, "top"), childHost(fake, log, "child"), grandHost(fake, log, "grand");
    WindowId top = fake.CreateTopLevel({}, &topHost);
    WindowId child = fake.CreateChild(top, Rect::FromXYWH(0, 0, 10, 10), &childHost);
    WindowId grand = fake.CreateChild(child, Rect::FromXYWH(0, 0, 5, 5), &grandHost);
    topHost.self = top;
    childHost.self = child;
    grandHost.self = grand;

    static std::vector<std::string>* procLog;
    static FakePlatform* procFake;
    procLog = &log;
    procFake = &fake;
    static platform::WindowProc previous;
    previous = fake.SetWindowProc(grand, [](WindowId id, std::uint32_t msg, std::intptr_t w, std::intptr_t l) -> std::intptr_t {
        if (msg == platform::kMessageDestroy)
            procLog->push_back(std::string("proc:destroy") + (procFake->Exists(id) ? ":exists" : ":gone"));
        return procFake->CallWindowProc(previous, id, msg, w, l);
    });
    ASSERT_NE(previous, nullptr);
    fake.SetFocus(grand);
    fake.SetCapture(child);

    fake.Destroy(top);
    EXPECT_EQ(log, (std::vector<std::string>{"proc:destroy:exists", "grand:gone", "child:gone", "top:gone"}));
    EXPECT_EQ(fake.LiveWindowCount(), 0u);
    EXPECT_EQ(fake.GetFocus(), 0u);
    EXPECT_EQ(fake.GetCapture(), 0u);
    EXPECT_TRUE(fake.TopLevels().empty());
    // Ids are not reused.
    EXPECT_GT(fake.CreateTopLevel({}, nullptr), grand);
}

TEST(FakePlatform, HitTestingRespectsTopmostShapeAndChildren) {
    FakePlatform fake;
    platform::TopLevelParams params;
    params.outer = Rect::FromXYWH(0, 0, 100, 100);
    WindowId under = fake.CreateTopLevel(params, nullptr);
    WindowId topmost = fake.CreateTopLevel(params, nullptr);
    WindowId front = fake.CreateTopLevel(params, nullptr);
    fake.SetTopmost(topmost, true);
    for (WindowId w : {under, topmost, front}) fake.Show(w, platform::ShowCommand::NoActivate);
    WindowId child = fake.CreateChild(under, Rect::FromXYWH(10, 10, 20, 20), nullptr);
    fake.Show(child, platform::ShowCommand::NoActivate);

    EXPECT_EQ(fake.WindowFromScreenPoint({15, 15}), topmost);  // topmost beats the frontmost normal window
    platform::Region left({Rect{0, 0, 50, 100}});
    fake.SetShape(topmost, &left);
    EXPECT_EQ(fake.WindowFromScreenPoint({60, 15}), front);  // outside the outline
    fake.Show(front, platform::ShowCommand::Hide);
    EXPECT_EQ(fake.WindowFromScreenPoint({60, 15}), under);
    fake.SetShape(topmost, nullptr);
    fake.Show(topmost, platform::ShowCommand::Hide);
    EXPECT_EQ(fake.WindowFromScreenPoint({15, 15}), child);
    EXPECT_EQ(fake.WindowFromScreenPoint({500, 500}), 0u);
}

TEST(FakePlatform, LoopDropsMessagesOfDestroyedWindowsAndNeverBlocks) {
    ScopedFakePlatform scoped;
    FakePlatform& fake = *scoped;
    EXPECT_EQ(&platform::Current(), &fake);
    std::vector<std::string> log;
    RecordingHost a(fake, log, "a"), b(fake, log, "b");
    WindowId wa = fake.CreateTopLevel({}, &a);
    WindowId wb = fake.CreateTopLevel({}, &b);
    fake.Post(wa, 1);
    fake.Post(wb, 2);
    fake.Post(wa, 3);
    fake.Destroy(wb);
    log.clear();
    EXPECT_FALSE(fake.RunLoop([] { return true; }));  // queue drained, nothing else can happen
    EXPECT_EQ(log, (std::vector<std::string>{"a:posted1", "a:posted3"}));

    // An idle action stands in for the user; a quit ends the loop with true.
    fake.OnIdle([&] { fake.Post(wa, 4); });
    fake.OnIdle([&] { fake.PostQuit(7); });
    log.clear();
    EXPECT_TRUE(fake.RunLoop([] { return true; }));
    EXPECT_EQ(log, (std::vector<std::string>{"a:posted4"}));
    EXPECT_EQ(fake.LastQuitCode(), 7);

    // keepRunning is tested between events.
    fake.Post(wa, 5);
    fake.Post(wa, 6);
    log.clear();
    EXPECT_FALSE(fake.RunLoop([&] { return log.empty(); }));
    EXPECT_EQ(log, (std::vector<std::string>{"a:posted5"}));
    EXPECT_EQ(fake.PendingPosts(), 1u);
}

TEST(FakePlatform, TimersFireInDueOrderOnVirtualTime) {
    FakePlatform fake;
    std::vector<std::string> log;
    platform::TimerId fast = 0;
    fast = fake.StartTimer(30, [&] {
        log.push_back("fast@" + std::to_string(fake.Now()));
        if (fake.Now() >= 60) fake.KillTimer(fast);
    });
    fake.StartTimer(50, [&] { log.push_back("slow@" + std::to_string(fake.Now())); });
    fake.AdvanceTime(29);
    EXPECT_TRUE(log.empty());
    fake.AdvanceTime(81);  // to 110
    EXPECT_EQ(log, (std::vector<std::string>{"fast@30", "slow@50", "fast@60", "slow@100"}));
    EXPECT_FALSE(fake.TimerActive(fast));
    EXPECT_EQ(fake.Now(), 110);
}

TEST(FakePlatform, MouseGoesThroughTheTopLevelFirst) {
    FakePlatform fake;
    std::vector<std::string> log;
    RecordingHost top(fake, log, "top"), child(fake, log, "child");
    WindowId t = fake.CreateTopLevel({}, &top);
    WindowId c = fake.CreateChild(t, Rect::FromXYWH(0, 0, 10, 10), &child);
    auto e = fake.MakeMouse(c, platform::MouseAction::Press, platform::MouseButton::Left, {1, 1}, true);
    EXPECT_FALSE(fake.SendMouse(c, e));
    top.swallow = true;
    EXPECT_TRUE(fake.SendMouse(c, e));
    EXPECT_EQ(log, (std::vector<std::string>{"top:pre", "child:mouse", "top:pre"}));
}

// Refuses addresses holding "blocked" and keeps the committed ones.
struct NullWebHost : kestrune::testing::NullWebViewHost {
    NullWebHost() : NullWebViewHost(false) {}
    bool BeforeNavigate(const std::string& url) override { return url.find("blocked") == std::string::npos; }
    void NavigateComplete(const std::string& url) override { completed.push_back(url); }
    std::vector<std::string> completed;
};

int g_pageDestroys = 0;
std::intptr_t PageProc(WindowId, std::uint32_t message, std::intptr_t, std::intptr_t) {
    if (message == platform::kMessageDestroy) ++g_pageDestroys;
    return message == platform::kMessageContextMenu ? 1 : 0;
}

TEST(FakePlatform, WebViewPageWindowIsReplacedOnNavigation) {
    FakePlatform fake;
    NullWebHost host;
    WindowId top = fake.CreateTopLevel({}, nullptr);
    auto view = fake.CreateWebView(top, Rect::FromXYWH(0, 0, 200, 100), &host);
    auto* fv = static_cast<FakeWebView*>(view.get());
    EXPECT_EQ(fake.GetParent(fv->Window()), top);
    EXPECT_EQ(fake.FirstChild(fv->Window()), fv->DocumentWindow());
    WindowId page = fake.FirstChild(fv->DocumentWindow());
    ASSERT_NE(page, 0u);
    fake.SetWindowProc(page, &PageProc);
    g_pageDestroys = 0;
    EXPECT_EQ(fv->DeliverToPage(platform::kMessageContextMenu), 1);

    EXPECT_FALSE(fv->SimulateNavigation("http://x/blocked"));
    EXPECT_TRUE(fake.Exists(page));
    EXPECT_TRUE(fv->SimulateNavigation("http://x/ok"));
    EXPECT_FALSE(fake.Exists(page));
    EXPECT_EQ(g_pageDestroys, 1);
    EXPECT_NE(fv->PageWindow(), page);
    EXPECT_EQ(fv->DeliverToPage(platform::kMessageContextMenu), 0);  // new page, no procedure yet
    EXPECT_EQ(fv->LocationUrl(), "http://x/ok");
    EXPECT_EQ(host.completed, (std::vector<std::string>{"http://x/ok"}));
    EXPECT_EQ(fake.WebViews().size(), 1u);
    view.reset();
    EXPECT_TRUE(fake.WebViews().empty());
    EXPECT_EQ(fake.Children(top).size(), 0u);
}

}  // namespace
