#include <gtest/gtest.h>

#include "browser/BrowserHook.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/NullWebViewHost.h"

namespace kestrune::browser {
namespace {

using platform::kMessageContextMenu;
using platform::kMessageRightButtonDown;
using platform::kMessageRightButtonUp;

using NullHost = testing::NullWebViewHost;

// Records what reaches the procedure below the hook.
std::vector<std::uint32_t>& Seen() {
    static std::vector<std::uint32_t> seen;
    return seen;
}
std::intptr_t RecordingProc(platform::WindowId, std::uint32_t message, std::intptr_t, std::intptr_t) {
    Seen().push_back(message);
    return 7;
}

struct Box {
    platform::WindowId host = 0;
    std::unique_ptr<platform::WebView> view;
    testing::FakeWebView* fake = nullptr;
};

class BrowserHookTest : public ::testing::Test {
protected:
    void SetUp() override {
        Seen().clear();
        top_ = fake_->CreateTopLevel({}, nullptr);
    }
    void TearDown() override { ResetBrowserHooks(); }

    Box MakeBox() {
        Box box;
        box.host = fake_->CreateChild(top_, platform::Rect{0, 0, 200, 100}, nullptr);
        box.view = fake_->CreateWebView(box.host, platform::Rect{0, 0, 200, 100}, &host_);
        box.fake = fake_->WebViewFor(box.view->Window());
        return box;
    }

    testing::ScopedFakePlatform fake_;
    NullHost host_;
    platform::WindowId top_ = 0;
};

TEST_F(BrowserHookTest, FindsPageThreeLevelsDownAndNothingWithoutIt) {
    Box box = MakeBox();
    EXPECT_EQ(FindPageWindow(box.host), box.fake->PageWindow());
    EXPECT_EQ(FindPageWindow(box.fake->PageWindow()), 0u);
    EXPECT_EQ(FindPageWindow(0), 0u);
    EXPECT_FALSE(InstallBrowserHook(0));
    EXPECT_FALSE(InstallBrowserHook(box.fake->DocumentWindow()));  // only two levels below it
}

TEST_F(BrowserHookTest, InstallTwiceForSameHostHooksOnceAndSwallowsOnlyReleaseAndMenu) {
    Box box = MakeBox();
    EXPECT_TRUE(InstallBrowserHook(box.host));
    EXPECT_FALSE(InstallBrowserHook(box.host));
    auto slot = HookSlotFor(box.host);
    ASSERT_TRUE(slot);
    EXPECT_TRUE(slot->hooked);
    EXPECT_EQ(slot->page, box.fake->PageWindow());

    EXPECT_EQ(box.fake->DeliverToPage(kMessageContextMenu), 1);
    EXPECT_EQ(box.fake->DeliverToPage(kMessageRightButtonUp), 1);
    EXPECT_EQ(box.fake->DeliverToPage(kMessageRightButtonDown), 0);  // passed on to the default proc
}

TEST_F(BrowserHookTest, PassesOtherMessagesToTheReplacedProcedure) {
    Box box = MakeBox();
    fake_->SetWindowProc(box.fake->PageWindow(), &RecordingProc);
    ASSERT_TRUE(InstallBrowserHook(box.host));
    EXPECT_EQ(box.fake->DeliverToPage(kMessageRightButtonDown), 7);
    EXPECT_EQ(box.fake->DeliverToPage(kMessageRightButtonUp), 1);
    EXPECT_EQ(box.fake->DeliverToPage(0x0200), 7);
    EXPECT_EQ(Seen(), (std::vector<std::uint32_t>{kMessageRightButtonDown, 0x0200}));
}

TEST_F(BrowserHookTest, DestroyedPageIsRehookedByTimerWithin100ms) {
    Box box = MakeBox();
    ASSERT_TRUE(InstallBrowserHook(box.host));
    const platform::WindowId oldPage = box.fake->PageWindow();
    const platform::WindowId newPage = box.fake->ReplacePage();
    ASSERT_NE(oldPage, newPage);
    auto slot = HookSlotFor(box.host);
    ASSERT_TRUE(slot);
    EXPECT_FALSE(slot->hooked);
    ASSERT_NE(slot->timerId, 0u);
    EXPECT_EQ(fake_->TimerPeriod(slot->timerId), 100);
    EXPECT_EQ(box.fake->DeliverToPage(kMessageContextMenu), 0);  // the gap before the timer

    fake_->AdvanceTime(99);
    EXPECT_FALSE(HookSlotFor(box.host)->hooked);
    fake_->AdvanceTime(1);
    slot = HookSlotFor(box.host);
    EXPECT_TRUE(slot->hooked);
    EXPECT_EQ(slot->page, newPage);
    EXPECT_EQ(slot->timerId, 0u);
    EXPECT_EQ(fake_->ActiveTimers(), 0u);
    EXPECT_EQ(box.fake->DeliverToPage(kMessageContextMenu), 1);
}

TEST_F(BrowserHookTest, TimerKeepsTryingWhileNoPageAndStopsWhenInstallHooksFirst) {
    Box box = MakeBox();
    ASSERT_TRUE(InstallBrowserHook(box.host));
    box.fake->ReplacePage();
    const platform::TimerId timer = HookSlotFor(box.host)->timerId;
    ASSERT_NE(timer, 0u);
    EXPECT_TRUE(InstallBrowserHook(box.host));  // the document-ready path gets there first
    EXPECT_FALSE(fake_->TimerActive(timer));
    EXPECT_EQ(HookSlotFor(box.host)->timerId, 0u);
}

TEST_F(BrowserHookTest, EachBoxHasItsOwnSlot) {
    Box login = MakeBox();
    Box game = MakeBox();
    EXPECT_TRUE(InstallBrowserHook(login.host));
    EXPECT_TRUE(InstallBrowserHook(game.host));  // login being hooked does not stop the game page
    EXPECT_EQ(login.fake->DeliverToPage(kMessageRightButtonUp), 1);
    EXPECT_EQ(game.fake->DeliverToPage(kMessageRightButtonUp), 1);

    // A new login document re-hooks the login page only; the game page stays hooked meanwhile.
    login.fake->ReplacePage();
    EXPECT_TRUE(HookSlotFor(game.host)->hooked);
    EXPECT_FALSE(HookSlotFor(login.host)->hooked);
    fake_->AdvanceTime(100);
    EXPECT_TRUE(HookSlotFor(login.host)->hooked);
    EXPECT_EQ(HookSlotFor(login.host)->page, login.fake->PageWindow());
    EXPECT_EQ(login.fake->DeliverToPage(kMessageContextMenu), 1);
    EXPECT_EQ(game.fake->DeliverToPage(kMessageContextMenu), 1);
}

TEST_F(BrowserHookTest, GoneBoxStopsItsTimer) {
    Box box = MakeBox();
    ASSERT_TRUE(InstallBrowserHook(box.host));
    const platform::WindowId host = box.host;
    box.view.reset();
    fake_->Destroy(host);
    auto slot = HookSlotFor(host);
    if (slot) {
        EXPECT_FALSE(slot->hooked);
        fake_->AdvanceTime(100);
    }
    EXPECT_FALSE(HookSlotFor(host));
    EXPECT_EQ(fake_->ActiveTimers(), 0u);
}

}  // namespace
}  // namespace kestrune::browser
