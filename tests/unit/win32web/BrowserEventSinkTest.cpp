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

namespace kestrune::platform::win32 {
namespace {

struct RecordingHost : WebViewHost {
    bool BeforeNavigate(const std::string& url) override {
        log.push_back("before " + url);
        if (onBeforeNavigate) onBeforeNavigate();
        return allowNavigation;
    }
    void NavigateComplete(const std::string& url) override { log.push_back("committed " + url); }
    void DocumentComplete(const std::string& url) override { log.push_back("ready " + url); }
    void DownloadBegin() override { log.push_back("download begin"); }
    void DownloadComplete() override { log.push_back("download complete"); }
    void ProgressChange(int progress, int progressMax) override {
        log.push_back("progress " + std::to_string(progress) + "/" + std::to_string(progressMax));
    }
    void StatusTextChange(const std::string& text) override { log.push_back("status " + text); }
    void TitleChange(const std::string& title) override { log.push_back("title " + title); }
    void CommandStateChange(int command, bool enabled) override {
        log.push_back("command " + std::to_string(command) + (enabled ? " on" : " off"));
    }
    bool NewWindow(const std::string& url) override {
        log.push_back("new window " + url);
        return allowNewWindow;
    }
    std::vector<std::string> log;
    bool allowNavigation = true;
    bool allowNewWindow = true;
    std::function<void()> onBeforeNavigate;
};

// Arguments given in declaration order; laid out last first, as the control passes them.
class Arguments {
public:
    explicit Arguments(std::vector<VARIANT> declared) : slots_(declared.rbegin(), declared.rend()) {
        params_.rgvarg = slots_.data();
        params_.cArgs = static_cast<UINT>(slots_.size());
        params_.rgdispidNamedArgs = nullptr;
        params_.cNamedArgs = 0;
    }
    DISPPARAMS* Get() { return &params_; }

private:
    std::vector<VARIANT> slots_;
    DISPPARAMS params_{};
};

VARIANT Dispatch(IDispatch* object) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = object;
    return v;
}
VARIANT Ref(VARIANT* target) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&v) = target;
    return v;
}
VARIANT BoolRef(VARIANT_BOOL* target) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_BOOL;
    V_BOOLREF(&v) = target;
    return v;
}
VARIANT Text(BSTR text) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text;
    return v;
}
VARIANT Long(long value) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}
VARIANT Bool(bool value) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

class BrowserEventSinkTest : public ::testing::Test {
protected:
    HRESULT Invoke(DISPID id, Arguments& args) {
        return sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, args.Get(), nullptr, nullptr, nullptr);
    }
    // BeforeNavigate2 for `address`; returns the Cancel the control would read.
    VARIANT_BOOL BeforeNavigate(const std::string& address) {
        Bstr url(address);
        VARIANT urlValue = Text(url.Get());
        VARIANT flags = Long(0), target = Text(nullptr), postData, headers = Text(nullptr);
        ::VariantInit(&postData);
        VARIANT_BOOL cancel = VARIANT_FALSE;
        Arguments args({Dispatch(nullptr), Ref(&urlValue), Ref(&flags), Ref(&target), Ref(&postData), Ref(&headers),
                        BoolRef(&cancel)});
        EXPECT_EQ(Invoke(DISPID_BEFORENAVIGATE2, args), S_OK);
        return cancel;
    }
    // NewWindow3 for `address`; returns the Cancel the control would read.
    VARIANT_BOOL NewWindow3(const std::string& address, long flags = NWMF_USERINITED | NWMF_FIRST) {
        VARIANT_BOOL cancel = VARIANT_FALSE;
        Bstr url(address), context("http://127.0.0.1/login.html");
        IDispatch* window = nullptr;
        VARIANT windowRef;
        ::VariantInit(&windowRef);
        V_VT(&windowRef) = VT_BYREF | VT_DISPATCH;
        V_DISPATCHREF(&windowRef) = &window;
        Arguments args({windowRef, BoolRef(&cancel), Long(flags), Text(context.Get()), Text(url.Get())});
        EXPECT_EQ(Invoke(DISPID_NEWWINDOW3, args), S_OK);
        return cancel;
    }
    VARIANT_BOOL NewWindow2() {
        IDispatch* window = nullptr;
        VARIANT windowRef;
        ::VariantInit(&windowRef);
        V_VT(&windowRef) = VT_BYREF | VT_DISPATCH;
        V_DISPATCHREF(&windowRef) = &window;
        VARIANT_BOOL cancel = VARIANT_FALSE;
        Arguments args({windowRef, BoolRef(&cancel)});
        EXPECT_EQ(Invoke(DISPID_NEWWINDOW2, args), S_OK);
        return cancel;
    }

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
    EXPECT_EQ(Invoke(DISPID_NAVIGATEERROR, none), S_OK);
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
    const DWORD start = ::GetTickCount();
    while (order.size() < 2 && ::GetTickCount() - start < 2000) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        ::Sleep(1);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"handler done", "released"}));
    sink->WhenIdle([&] { order.push_back("at once"); });
    EXPECT_EQ(order.back(), "at once");
}

}  // namespace
}  // namespace kestrune::platform::win32
