// A box whose server is down, on Windows: the control's notifications as it sends them, through the
// real event sink into the recovering host, with a recording page in place of the control's document
// and a timer the test fires.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/PageRecovery.h"
#include "platform/win32/BrowserEventSink.h"
#include "platform/win32/RecoveringHost.h"
#include "tests/unit/win32web/ControlEvents.h"

namespace kestrune::platform::win32 {
namespace {

using namespace std::chrono_literals;

constexpr long kCannotConnect = static_cast<long>(0x800C0005);  // INET_E_RESOURCE_NOT_FOUND
constexpr const char* kLogin = "http://127.0.0.1:1/login.html";

struct RecordingPage : RecoveringHost::Page {
    void Load(const std::string& url) override { loads.push_back(url); }
    bool Write(const std::string& html) override {
        written.push_back(html);
        return true;
    }
    void WatchNetwork() override { ++watches; }
    std::vector<std::string> loads;
    std::vector<std::string> written;
    int watches = 0;
};

struct ManualTimer : RetryTimer {
    void Start(std::chrono::milliseconds wait, std::function<void()> due) override {
        waits.push_back(wait);
        due_ = std::move(due);
    }
    void Stop() override { due_ = nullptr; }
    bool Running() const { return static_cast<bool>(due_); }
    void Fire() {
        auto due = std::move(due_);
        due_ = nullptr;
        due();
    }
    std::vector<std::chrono::milliseconds> waits;

private:
    std::function<void()> due_;
};

class RecoveringHostTest : public ::testing::Test, protected ControlEvents {
protected:
    RecoveringHostTest() {
        // As the control wires it: the built-in page waits until the notification has returned.
        sink->WatchTopFrameErrors(&control, [this](const std::string& url, LoadFailure why) {
            if (!recovering->StandsIn(url, why)) return false;
            sink->WhenIdle(recovering->ShowLater(url, why));
            return true;
        });
    }
    IDispatch* Target() override { return sink.Get(); }

    // The server cannot be reached: the control's error page is refused and the blank document is loaded.
    void FailToReach(const std::string& address, long status = kCannotConnect) {
        const std::size_t loads = page.loads.size();
        EXPECT_EQ(NavigateError(&control, address, status), VARIANT_TRUE);
        ASSERT_TRUE(PumpUntil([&] { return page.loads.size() > loads; }));
        EXPECT_EQ(page.loads.back(), kBlankAddress);
    }
    // The control loads the blank document the way it loads any address.
    void ShowBlankDocument() {
        EXPECT_EQ(BeforeNavigate(kBlankAddress), VARIANT_FALSE);
        Simple(DISPID_DOWNLOADBEGIN);
        Completed(DISPID_NAVIGATECOMPLETE2, &control, kBlankAddress);
        Simple(DISPID_DOWNLOADCOMPLETE);
        Completed(DISPID_DOCUMENTCOMPLETE, &control, kBlankAddress);
    }

    StandInObject control;  // the control's object, as the sink knows it
    RecordingHost host;
    RecordingPage page;
    ManualTimer timer;
    std::shared_ptr<RecoveringHost> recovering = std::make_shared<RecoveringHost>(&host, &page, &timer);
    ComPtr<BrowserEventSink> sink = BrowserEventSink::Create(recovering.get(), nullptr);
};

TEST_F(RecoveringHostTest, TheBuiltInPageReplacesTheErrorAndItsOwnLoadReachesNoHost) {
    FailToReach(kLogin);
    ShowBlankDocument();
    ASSERT_EQ(page.written.size(), 1u);
    EXPECT_EQ(page.written[0], FailurePageHtml(kLogin, LoadFailure::kUnreachable));
    EXPECT_TRUE(host.log.empty());
    EXPECT_TRUE(recovering->ShowingBuiltInPage());
    EXPECT_EQ(page.watches, 1);
    // What the written document reports (its title, say) is not the server's page either.
    Bstr title(kUnreachablePageTitle);
    Arguments titleArgs({Text(title.Get())});
    Invoke(DISPID_TITLECHANGE, titleArgs);
    EXPECT_TRUE(host.log.empty());
}

TEST_F(RecoveringHostTest, RetriesWaitFifteenSecondsDoublingAndTheUsersRetryStartsThemAgain) {
    FailToReach(kLogin);
    ShowBlankDocument();
    ASSERT_TRUE(timer.Running());
    timer.Fire();
    EXPECT_EQ(page.loads.back(), kLogin);
    // The retry is the server's load again: the host hears of it.
    EXPECT_EQ(BeforeNavigate(kLogin), VARIANT_FALSE);
    EXPECT_EQ(host.log, std::vector<std::string>{std::string("before ") + kLogin});
    FailToReach(kLogin);
    ShowBlankDocument();
    FailToReach(kLogin);  // the network came back, say, while the retry was due
    ShowBlankDocument();
    EXPECT_EQ(timer.waits, (std::vector<std::chrono::milliseconds>{15s, 30s, 60s}));

    // The reload key and the page's retry button ask as the user.
    EXPECT_TRUE(recovering->Retry(true));
    EXPECT_FALSE(timer.Running());
    EXPECT_EQ(page.loads.back(), kLogin);
    FailToReach(kLogin);
    EXPECT_EQ(timer.waits.back(), 15s);
}

TEST_F(RecoveringHostTest, ARefusedCertificateShowsItsOwnPageAndIsRetriedOnlyByThePlayerOrTheNetwork) {
    const std::string secure = "https://game.example/login.html";
    FailToReach(secure, static_cast<long>(INET_E_INVALID_CERTIFICATE));
    ShowBlankDocument();
    ASSERT_EQ(page.written.size(), 1u);
    EXPECT_EQ(page.written[0], FailurePageHtml(secure, LoadFailure::kInsecure));
    EXPECT_FALSE(timer.Running());
    EXPECT_TRUE(timer.waits.empty());
    recovering->NetworkAvailable();
    EXPECT_EQ(page.loads.back(), secure);
    FailToReach(secure, static_cast<long>(INET_E_SECURITY_PROBLEM));
    ShowBlankDocument();
    EXPECT_FALSE(timer.Running());
    EXPECT_TRUE(recovering->Retry(true));
    EXPECT_EQ(page.loads.back(), secure);
    // Unreachable the next time: the timer retries as usual.
    FailToReach(secure);
    EXPECT_TRUE(timer.Running());
}

TEST_F(RecoveringHostTest, TheServersPageEndsTheRecoveryAndIsReportedAsAlways) {
    FailToReach(kLogin);
    ShowBlankDocument();
    timer.Fire();
    host.log.clear();
    BeforeNavigate(kLogin);
    Completed(DISPID_NAVIGATECOMPLETE2, &control, kLogin);
    Completed(DISPID_DOCUMENTCOMPLETE, &control, kLogin);
    EXPECT_EQ(host.log, (std::vector<std::string>{std::string("before ") + kLogin, std::string("committed ") + kLogin,
                                                  std::string("ready ") + kLogin}));
    EXPECT_FALSE(recovering->ShowingBuiltInPage());
    EXPECT_FALSE(timer.Running());
    EXPECT_FALSE(recovering->Retry(true));  // F5 on the server's page is the control's own reload
    // A later failure starts from the first wait.
    FailToReach(kLogin);
    EXPECT_EQ(timer.waits.back(), 15s);
}

TEST_F(RecoveringHostTest, TheNetworkComingBackRetriesOnlyOnceThePageIsShown) {
    FailToReach(kLogin);
    recovering->NetworkAvailable();  // the blank document is still on its way
    EXPECT_EQ(page.loads.back(), kBlankAddress);
    ShowBlankDocument();
    recovering->NetworkAvailable();
    EXPECT_EQ(page.loads.back(), kLogin);
    EXPECT_FALSE(timer.Running());
}

TEST_F(RecoveringHostTest, OnlyAServersAddressIsRetried) {
    // The blank document itself failing (a control without a page engine) must not start a loop.
    for (const char* address : {kBlankAddress, "res://ieframe.dll/navcancl.htm", "file:///C:/x.html"}) {
        recovering->Unreachable(address);
        EXPECT_TRUE(page.loads.empty()) << address;
    }
    EXPECT_FALSE(recovering->ShowingBuiltInPage());
    recovering->Unreachable("HTTPS://127.0.0.1:1/login.html");
    EXPECT_EQ(page.loads, std::vector<std::string>{kBlankAddress});
}

TEST_F(RecoveringHostTest, AnAddressAskedForBeforeTheBuiltInPageAppearsStands) {
    EXPECT_EQ(NavigateError(&control, kLogin, kCannotConnect), VARIANT_TRUE);
    recovering->Navigating("http://127.0.0.1/other.html");  // the box is sent elsewhere before the failure's work ran
    PumpUntil([] { return false; }, 60);
    EXPECT_TRUE(page.loads.empty());
    EXPECT_FALSE(recovering->ShowingBuiltInPage());
}

TEST_F(RecoveringHostTest, TheBlankDocumentFinishingLateIsNotTakenForTheServersPage) {
    FailToReach(kLogin);
    EXPECT_EQ(BeforeNavigate(kBlankAddress), VARIANT_FALSE);
    recovering->NetworkAvailable();  // no retry while the blank document is on its way
    EXPECT_EQ(page.loads.back(), kBlankAddress);
    EXPECT_TRUE(recovering->Retry(true));  // the user presses F5 meanwhile
    Completed(DISPID_NAVIGATECOMPLETE2, &control, kBlankAddress);
    EXPECT_TRUE(host.log.empty());
    EXPECT_TRUE(recovering->ShowingBuiltInPage());
    EXPECT_EQ(BeforeNavigate(kLogin), VARIANT_FALSE);
    EXPECT_EQ(host.log, std::vector<std::string>{std::string("before ") + kLogin});
}

TEST_F(RecoveringHostTest, AnotherAddressTakesOver) {
    FailToReach(kLogin);
    ShowBlankDocument();
    recovering->Navigating("http://127.0.0.1/other.html");
    EXPECT_FALSE(timer.Running());
    EXPECT_FALSE(recovering->ShowingBuiltInPage());
    recovering->NetworkAvailable();
    EXPECT_EQ(page.loads.back(), kBlankAddress);  // nothing retried
    EXPECT_EQ(BeforeNavigate("http://127.0.0.1/other.html"), VARIANT_FALSE);
    EXPECT_EQ(host.log, std::vector<std::string>{"before http://127.0.0.1/other.html"});
}

TEST_F(RecoveringHostTest, AStoppedLoadLeavesAShownPageAsItWas) {
    recovering->Navigating(kLogin);
    Completed(DISPID_NAVIGATECOMPLETE2, &control, kLogin);
    EXPECT_EQ(NavigateError(&control, "http://127.0.0.1:1/next.html", E_ABORT), VARIANT_FALSE);
    PumpUntil([] { return false; }, 200);
    EXPECT_TRUE(page.loads.empty());
    EXPECT_FALSE(recovering->ShowingBuiltInPage());
}

// A box asked for an address that turns out to be a download, before it ever showed a page: the
// built-in page stands in for the box's address, with no retry of its own, and F5 asks again.
TEST_F(RecoveringHostTest, ADownloadCancelledInABoxThatNeverShowedAPageBringsTheBuiltInPage) {
    const std::string report = "http://127.0.0.1:1/report.zip";
    recovering->Navigating(report);
    EXPECT_EQ(BeforeNavigate(report), VARIANT_FALSE);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    Arguments download({Bool(false), BoolRef(&cancel)});
    EXPECT_EQ(Invoke(DISPID_FILEDOWNLOAD, download), S_OK);
    EXPECT_EQ(cancel, VARIANT_TRUE);
    ASSERT_TRUE(PumpUntil([&] { return !page.loads.empty(); }));
    EXPECT_EQ(page.loads, std::vector<std::string>{kBlankAddress});
    EXPECT_FALSE(timer.Running());
    ShowBlankDocument();
    ASSERT_EQ(page.written.size(), 1u);
    EXPECT_EQ(page.written[0], FailurePageHtml(report, LoadFailure::kStopped));
    // The network coming back does not fetch the download again; the player's retry does.
    recovering->NetworkAvailable();
    EXPECT_EQ(page.loads, std::vector<std::string>{kBlankAddress});
    EXPECT_TRUE(recovering->Reload(kBlankAddress));
    EXPECT_EQ(page.loads.back(), report);
}

TEST_F(RecoveringHostTest, AStoppedLoadOfTheBoxsOwnAddressInABlankBoxRefusesTheControlsPage) {
    recovering->Navigating(kLogin);
    EXPECT_EQ(NavigateError(&control, kLogin, E_ABORT), VARIANT_TRUE);
    ASSERT_TRUE(PumpUntil([&] { return !page.loads.empty(); }));
    EXPECT_EQ(page.loads, std::vector<std::string>{kBlankAddress});
    ShowBlankDocument();
    ASSERT_EQ(page.written.size(), 1u);
    EXPECT_EQ(page.written[0], FailurePageHtml(kLogin, LoadFailure::kStopped));
}

TEST_F(RecoveringHostTest, AStoppedLoadTheBoxHasMovedOnFromIsLeftAlone) {
    recovering->Navigating("http://127.0.0.1:1/first.html");
    recovering->Navigating(kLogin);
    EXPECT_EQ(NavigateError(&control, "http://127.0.0.1:1/first.html", E_ABORT), VARIANT_FALSE);
    PumpUntil([] { return false; }, 200);
    EXPECT_TRUE(page.loads.empty());
    EXPECT_FALSE(recovering->ShowingBuiltInPage());
}

TEST_F(RecoveringHostTest, TheReloadKeysInABoxThatNeverShowedAPageLoadItsAddress) {
    EXPECT_FALSE(recovering->Reload(""));  // nothing asked for: the control does what it does
    recovering->Navigating(kLogin);
    EXPECT_TRUE(recovering->Reload(""));
    EXPECT_EQ(page.loads, std::vector<std::string>{kLogin});
    Completed(DISPID_NAVIGATECOMPLETE2, &control, kLogin);
    EXPECT_FALSE(recovering->Reload(kLogin));  // a page is shown: the control reloads it itself
    EXPECT_EQ(page.loads.size(), 1u);
}

}  // namespace
}  // namespace kestrune::platform::win32
