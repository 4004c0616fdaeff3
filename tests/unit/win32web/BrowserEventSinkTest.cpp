// The browser control's notifications as the control delivers them: IDispatch::Invoke on the event
// sink with the dispatch id and the argument list laid out as the control lays it out (last argument
// first, addresses as references to variants, Cancel as a reference to a VARIANT_BOOL).
#include <gtest/gtest.h>

#include <ole2.h>
#include <exdisp.h>
#include <exdispid.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "platform/win32/Bstr.h"
#include "platform/win32/BrowserEventSink.h"
#include "platform/win32/UserBrowser.h"
#include "tests/unit/win32web/ControlEvents.h"

namespace kestrune::platform::win32 {
namespace {

class BrowserEventSinkTest : public ::testing::Test, protected ControlEvents {
protected:
    IDispatch* Target() override { return sink.Get(); }

    RecordingHost host;
    std::vector<std::string> opened;
    std::vector<bool> openedByUser;
    ComPtr<BrowserEventSink> sink = BrowserEventSink::Create(&host, [this](const std::string& url, bool byUser) {
        opened.push_back(url);
        openedByUser.push_back(byUser);
    });
};

TEST_F(BrowserEventSinkTest, AnswersAsTheBrowserEventsInterface) {
    ComPtr<IDispatch> events;
    ASSERT_EQ(sink->QueryInterface(DIID_DWebBrowserEvents2, events.PutVoid()), S_OK);
    EXPECT_EQ(static_cast<void*>(events.Get()), static_cast<void*>(static_cast<IDispatch*>(sink.Get())));
    ComPtr<IWebBrowser2> other;
    EXPECT_EQ(sink->QueryInterface(IID_IWebBrowser2, other.PutVoid()), E_NOINTERFACE);
    EXPECT_FALSE(other);
}

TEST_F(BrowserEventSinkTest, BeforeNavigateCarriesTheAddressAndCancelsExactlyWhenTheHostRefuses) {
    EXPECT_EQ(BeforeNavigate("http://127.0.0.1:8080/login.html?user=微端&client=1"), VARIANT_FALSE);
    host.allowNavigation = false;
    EXPECT_EQ(BeforeNavigate("http://127.0.0.1:8080/frame.html"), VARIANT_TRUE);
    EXPECT_EQ(host.log, (std::vector<std::string>{"before http://127.0.0.1:8080/login.html?user=微端&client=1",
                                                  "before http://127.0.0.1:8080/frame.html"}));
}

TEST_F(BrowserEventSinkTest, AViewThatGoesWhileItsHostDecidesCancelsAndHearsNothingMore) {
    host.onBeforeNavigate = [this] { sink->Detach(); };
    EXPECT_EQ(BeforeNavigate("http://127.0.0.1/next.html"), VARIANT_TRUE);
    Arguments none({});
    EXPECT_EQ(Invoke(DISPID_DOWNLOADBEGIN, none), S_OK);
    EXPECT_EQ(host.log, std::vector<std::string>{"before http://127.0.0.1/next.html"});
}

TEST_F(BrowserEventSinkTest, CommitAndReadyCarryTheirAddresses) {
    Bstr first("http://127.0.0.1/a.html"), second("http://127.0.0.1/b.html");
    VARIANT a = Text(first.Get()), b = Text(second.Get());
    Arguments committed({Dispatch(nullptr), Ref(&a)});
    Arguments ready({Dispatch(nullptr), Ref(&b)});
    Invoke(DISPID_NAVIGATECOMPLETE2, committed);
    Invoke(DISPID_DOCUMENTCOMPLETE, ready);
    EXPECT_EQ(host.log, (std::vector<std::string>{"committed http://127.0.0.1/a.html", "ready http://127.0.0.1/b.html"}));
}

TEST_F(BrowserEventSinkTest, LoadingStatusTitleAndCommandNotificationsKeepTheirArgumentsInOrder) {
    Arguments none({});
    Invoke(DISPID_DOWNLOADBEGIN, none);
    Arguments progress({Long(30), Long(120)});
    Invoke(DISPID_PROGRESSCHANGE, progress);
    Bstr statusText("链接 http://127.0.0.1/x"), titleText("Kestrune微端");
    Arguments status({Text(statusText.Get())});
    Invoke(DISPID_STATUSTEXTCHANGE, status);
    Arguments title({Text(titleText.Get())});
    Invoke(DISPID_TITLECHANGE, title);
    Arguments back({Long(2), Bool(true)});
    Invoke(DISPID_COMMANDSTATECHANGE, back);
    Arguments update({Long(-1), Bool(false)});
    Invoke(DISPID_COMMANDSTATECHANGE, update);
    Invoke(DISPID_DOWNLOADCOMPLETE, none);
    EXPECT_EQ(host.log, (std::vector<std::string>{"download begin", "progress 30/120", "status 链接 http://127.0.0.1/x",
                                                  "title Kestrune微端", "command 2 on", "command -1 off",
                                                  "download complete"}));
}

TEST_F(BrowserEventSinkTest, MalformedOrUnknownNotificationsReachNoHost) {
    Arguments one({Long(1)});
    EXPECT_EQ(Invoke(DISPID_PROGRESSCHANGE, one), S_OK);
    EXPECT_EQ(Invoke(DISPID_NAVIGATECOMPLETE2, one), S_OK);
    Arguments noCancel({Dispatch(nullptr), Long(0), Long(0), Long(0), Long(0), Long(0), Long(0)});
    EXPECT_EQ(Invoke(DISPID_BEFORENAVIGATE2, noCancel), S_OK);
    Arguments none({});
    EXPECT_EQ(Invoke(DISPID_ONQUIT, none), S_OK);
    EXPECT_EQ(sink->Invoke(DISPID_DOWNLOADBEGIN, IID_IDispatch, 0, DISPATCH_METHOD, none.Get(), nullptr, nullptr, nullptr),
              DISP_E_UNKNOWNINTERFACE);
    EXPECT_TRUE(host.log.empty());
}

TEST_F(BrowserEventSinkTest, ARequestAnnouncedTwiceAsksTheHostOnceAndHandsItOverWithTheGestureFlag) {
    EXPECT_EQ(NewWindow2(), VARIANT_FALSE);  // the address follows in the second announcement
    EXPECT_EQ(NewWindow3("http://127.0.0.1/popup.html"), VARIANT_TRUE);  // the control makes no window
    EXPECT_EQ(host.log, std::vector<std::string>{"new window "});
    EXPECT_EQ(opened, std::vector<std::string>{"http://127.0.0.1/popup.html"});

    // Announced only with its address, the host is asked with it; a script's request says so.
    host.log.clear();
    EXPECT_EQ(NewWindow3("HTTPS://127.0.0.1/other.html", NWMF_FIRST), VARIANT_TRUE);
    EXPECT_EQ(host.log, std::vector<std::string>{"new window HTTPS://127.0.0.1/other.html"});
    EXPECT_EQ(openedByUser, (std::vector<bool>{true, false}));
}

TEST_F(BrowserEventSinkTest, ARefusedNewWindowIsCancelledInBothAnnouncementsAndOpensNothing) {
    host.allowNewWindow = false;
    EXPECT_EQ(NewWindow2(), VARIANT_TRUE);
    EXPECT_EQ(NewWindow3("http://127.0.0.1/popup.html"), VARIANT_TRUE);
    EXPECT_EQ(host.log, std::vector<std::string>{"new window "});
    EXPECT_TRUE(opened.empty());
    // A new request after something else happened is asked about again.
    Arguments none({});
    Invoke(DISPID_DOWNLOADBEGIN, none);
    host.allowNewWindow = true;
    EXPECT_EQ(NewWindow3("http://127.0.0.1/again.html"), VARIANT_TRUE);
    EXPECT_EQ(host.log.back(), "new window http://127.0.0.1/again.html");
}

// Through the process's external-launch rule, as the control's own sink uses it: nothing the control
// announces ever opens a window of its own, and only web addresses reach the shell, one per gesture.
TEST_F(BrowserEventSinkTest, NewWindowsGoThroughTheSharedRuleAndNoneIsLeftToTheControl) {
    static std::vector<std::string> launched;
    launched.clear();
    ExternalLaunchRule rule;
    ComPtr<BrowserEventSink> real = BrowserEventSink::Create(&host, [&rule](const std::string& url, bool byUser) {
        OpenInUserBrowser(url, byUser, rule, [](const std::string& address) { launched.push_back(address); });
    });
    sink = real;
    rule.NoteGesture();
    for (const char* notWeb : {"javascript:alert(1)", "file:///C:/windows/system32/calc.exe", "about:blank",
                               "httpx://127.0.0.1/", "ms-settings:privacy"})
        EXPECT_EQ(NewWindow3(notWeb), VARIANT_TRUE) << notWeb;  // cancelled, or the control opens a browser
    EXPECT_TRUE(launched.empty());
    EXPECT_EQ(NewWindow3("https://127.0.0.1/news.html"), VARIANT_TRUE);
    EXPECT_EQ(NewWindow3("https://127.0.0.1/again.html"), VARIANT_TRUE);  // same click
    EXPECT_EQ(launched, std::vector<std::string>{"https://127.0.0.1/news.html"});
    // A script looping over window.open() without a click gets nothing.
    for (int i = 0; i < 50; ++i) EXPECT_EQ(NewWindow3("https://127.0.0.1/flood", NWMF_FIRST), VARIANT_TRUE);
    EXPECT_EQ(launched.size(), 1u);
}

TEST_F(BrowserEventSinkTest, AFileDownloadIsCancelledAndItsAddressHandedToTheUsersBrowserOnce) {
    auto fileDownload = [&](bool shownByTheControl) {
        VARIANT_BOOL cancel = VARIANT_FALSE;
        Arguments args({Bool(shownByTheControl), BoolRef(&cancel)});
        EXPECT_EQ(Invoke(DISPID_FILEDOWNLOAD, args), S_OK);
        return cancel;
    };
    BeforeNavigate("http://127.0.0.1/report.pdf");
    EXPECT_EQ(fileDownload(false), VARIANT_TRUE);
    EXPECT_EQ(opened, std::vector<std::string>{"http://127.0.0.1/report.pdf"});
    EXPECT_EQ(openedByUser, std::vector<bool>{true});
    // A second announcement hands nothing over again; a document the control shows goes ahead.
    EXPECT_EQ(fileDownload(false), VARIANT_TRUE);
    BeforeNavigate("http://127.0.0.1/page.html");
    EXPECT_EQ(fileDownload(true), VARIANT_FALSE);
    EXPECT_EQ(fileDownload(false), VARIANT_TRUE);
    // A navigation the host cancelled is not the download's address either.
    host.allowNavigation = false;
    BeforeNavigate("http://127.0.0.1/refused.zip");
    EXPECT_EQ(fileDownload(false), VARIANT_TRUE);
    EXPECT_EQ(opened, std::vector<std::string>{"http://127.0.0.1/report.pdf"});
}

TEST_F(BrowserEventSinkTest, APagesWindowCloseNeverEndsTheBox) {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    Arguments args({Bool(false), BoolRef(&cancel)});
    EXPECT_EQ(Invoke(DISPID_WINDOWCLOSING, args), S_OK);
    EXPECT_EQ(cancel, VARIANT_TRUE);
}

TEST_F(BrowserEventSinkTest, WorkForAfterANotificationWaitsUntilTheOutermostOneHasReturned) {
    std::vector<std::string> order;
    host.onBeforeNavigate = [&] {
        sink->WhenIdle([&] { order.push_back("released"); });
        order.push_back("handler done");
    };
    EXPECT_FALSE(sink->Dispatching());
    BeforeNavigate("http://127.0.0.1/game.html?client=1");
    // The control may still read Cancel when Invoke returns: the work waits for the loop.
    EXPECT_EQ(order, (std::vector<std::string>{"handler done"}));
    PumpUntil([&] { return order.size() >= 2; });
    EXPECT_EQ(order, (std::vector<std::string>{"handler done", "released"}));
    sink->WhenIdle([&] { order.push_back("at once"); });
    EXPECT_EQ(order.back(), "at once");
}

TEST_F(BrowserEventSinkTest, OnlyTheTopPagesFailureToReachItsServerReplacesTheControlsErrorPage) {
    StandInObject control, frame;
    std::vector<std::string> unreachable;
    sink->WatchTopFrameErrors(&control, [&](const std::string& url, LoadFailure why) {
        unreachable.push_back(url + (why == LoadFailure::kInsecure  ? " insecure"
                                     : why == LoadFailure::kStopped ? " stopped"
                                                                    : ""));
        return why != LoadFailure::kStopped;  // as a box that shows a page: a stopped load leaves it
    });

    EXPECT_EQ(NavigateError(&control, "http://127.0.0.1:1/login.html", static_cast<long>(0x800C0005)),  // INET_E_RESOURCE_NOT_FOUND
              VARIANT_TRUE);
    EXPECT_EQ(unreachable, std::vector<std::string>{"http://127.0.0.1:1/login.html"});
    // A certificate refused: the same, said as such.
    EXPECT_EQ(NavigateError(&control, "https://127.0.0.1:1/login.html", static_cast<long>(INET_E_INVALID_CERTIFICATE)),
              VARIANT_TRUE);
    EXPECT_EQ(unreachable.back(), "https://127.0.0.1:1/login.html insecure");
    unreachable.pop_back();

    // A frame, an answer of the server's (HTTP 404), a stopped load: the control's own way stands.
    EXPECT_EQ(NavigateError(&frame, "http://127.0.0.1:1/ad.html", static_cast<long>(0x800C0005)), VARIANT_FALSE);
    EXPECT_EQ(NavigateError(&control, "http://127.0.0.1/missing.html", 404), VARIANT_FALSE);
    EXPECT_EQ(NavigateError(&control, "http://127.0.0.1/stopped.html", E_ABORT), VARIANT_FALSE);
    // The stopped load is still told of: a box it left blank gets the built-in page.
    EXPECT_EQ(unreachable.back(), "http://127.0.0.1/stopped.html stopped");
    unreachable.pop_back();
    EXPECT_EQ(NavigateError(&control, "about:blank", static_cast<long>(0x800C0010)), VARIANT_FALSE);  // no viewer for it
    // Not a server's address: retrying cannot bring it back, so the control's own page is left to it.
    EXPECT_EQ(NavigateError(&control, "file:///C:/missing.html", static_cast<long>(0x800C0005)), VARIANT_FALSE);
    EXPECT_EQ(NavigateError(nullptr, "http://127.0.0.1:1/login.html", static_cast<long>(0x800C0005)), VARIANT_FALSE);
    sink->Detach();
    EXPECT_EQ(NavigateError(&control, "http://127.0.0.1:1/login.html", static_cast<long>(0x800C0005)), VARIANT_FALSE);
    EXPECT_EQ(unreachable.size(), 1u);
    EXPECT_TRUE(host.log.empty());
}

}  // namespace
}  // namespace kestrune::platform::win32
