// The system browser control in a window of this thread, against a loopback server: what the control
// reports and does under Wine (no page rendering there): the before-navigate notification with the
// address, cancelling it (no request reaches the server), loading begun and complete, command states
// and status texts; its window in place below the box; the settings it keeps.
#include "LoopbackServer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32/BrowserControl.h"
#include "platform/win32/OleApartment.h"
#include "platform/win32/WindowHandle.h"

namespace kestrune::platform::win32 {
namespace {

struct RecordingHost : WebViewHost {
    bool BeforeNavigate(const std::string& url) override {
        log.push_back("before " + url);
        return allowNavigation;
    }
    void NavigateComplete(const std::string& url) override { log.push_back("committed " + url); }
    void DocumentComplete(const std::string& url) override { log.push_back("ready " + url); }
    void DownloadBegin() override { log.push_back("download begin"); }
    void DownloadComplete() override { log.push_back("download complete"); }
    void ProgressChange(int, int) override { log.push_back("progress"); }
    void StatusTextChange(const std::string&) override { log.push_back("status"); }
    void TitleChange(const std::string& title) override { log.push_back("title " + title); }
    void CommandStateChange(int command, bool) override { log.push_back("command " + std::to_string(command)); }
    bool NewWindow(const std::string& url) override {
        log.push_back("new window " + url);
        return false;
    }
    bool Logged(const std::string& entry) const { return std::find(log.begin(), log.end(), entry) != log.end(); }
    std::vector<std::string> log;
    bool allowNavigation = true;
};

// Dispatches this thread's messages until `done` holds or `timeoutMs` have passed; returns `done()`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > timeoutMs) return false;
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

class BrowserControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ole.ok());
        ASSERT_NE(server.Port(), 0);
        box = ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | WS_VISIBLE, 40, 40, 700, 560,
                                nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(box, nullptr);
    }
    void TearDown() override {
        view.reset();
        if (box != nullptr) ::DestroyWindow(box);
    }
    void Open(const Rect& rect = Rect{0, 0, 640, 480}) {
        view = CreateBrowserControl(box, rect, &host);
        ASSERT_NE(view, nullptr);
    }
    bool Requested(const std::string& target) const {
        const auto requests = server.Requests();
        return std::find(requests.begin(), requests.end(), target) != requests.end();
    }

    OleApartment ole;
    tests::LoopbackServer server;
    RecordingHost host;
    HWND box = nullptr;
    std::unique_ptr<WebView> view;
};

TEST_F(BrowserControlTest, ItsOwnWindowIsTheBoxsChildWithTheControlsIdCoveringTheGivenRectangle) {
    Open(Rect{0, 0, 640, 480});
    HWND window = HwndOf(view->Window());
    ASSERT_TRUE(::IsWindow(window));
    EXPECT_EQ(::GetAncestor(window, GA_PARENT), box);
    EXPECT_EQ(::GetWindow(box, GW_CHILD), window);
    EXPECT_EQ(::GetWindowLongPtrW(window, GWLP_ID), kBrowserWindowId);
    EXPECT_TRUE(::IsWindowVisible(window));
    EXPECT_TRUE((::GetWindowLongPtrW(window, GWL_STYLE) & WS_CHILD) != 0);
    RECT r{};
    ::GetWindowRect(window, &r);
    ::MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right - r.left, 640);
    EXPECT_EQ(r.bottom - r.top, 480);
    EXPECT_EQ(ClassOf(window), L"Shell Embedding");

    view.reset();
    EXPECT_FALSE(::IsWindow(window));
}

TEST_F(BrowserControlTest, ANavigationIsAnnouncedWithItsAddressThenLoaded) {
    Open();
    const std::string url = server.Url("/page.html?user=%E5%BE%AE&x=1");
    view->Navigate(url);
    ASSERT_TRUE(PumpUntil([&] { return host.Logged("download complete") && Requested("/page.html?user=%E5%BE%AE&x=1"); },
                          15000))
        << ::testing::PrintToString(host.log);
    ASSERT_FALSE(host.log.empty());
    EXPECT_EQ(host.log.front(), "before " + url);
    EXPECT_TRUE(host.Logged("download begin"));
    EXPECT_TRUE(host.Logged("command 1"));  // forward
    EXPECT_TRUE(host.Logged("command 2"));  // back
    EXPECT_TRUE(host.Logged("status"));
    EXPECT_LT(std::find(host.log.begin(), host.log.end(), "download begin"),
              std::find(host.log.begin(), host.log.end(), "download complete"));
    EXPECT_EQ(view->LocationUrl(), url);
}

TEST_F(BrowserControlTest, ACancelledNavigationNeverReachesTheServer) {
    Open();
    host.allowNavigation = false;
    const std::string url = server.Url("/play.html?client=1");
    view->Navigate(url);
    PumpUntil([] { return false; }, 2000);
    EXPECT_TRUE(server.Requests().empty()) << ::testing::PrintToString(server.Requests());
    EXPECT_EQ(host.log, std::vector<std::string>{"before " + url});
    EXPECT_EQ(view->LocationUrl(), "");

    // The next navigation, let go, does reach it.
    host.allowNavigation = true;
    view->Navigate(server.Url("/after.html"));
    EXPECT_TRUE(PumpUntil([&] { return Requested("/after.html"); }, 15000));
    EXPECT_FALSE(Requested("/play.html?client=1"));
}

TEST_F(BrowserControlTest, ItsDocumentViewFollowsWhenTheBoxResizesItsWindow) {
    Open();
    view->Navigate(server.Url("/resize.html"));
    HWND window = HwndOf(view->Window());
    ASSERT_TRUE(PumpUntil([&] { return ::GetWindow(window, GW_CHILD) != nullptr; }, 10000));
    HWND document = ::GetWindow(window, GW_CHILD);
    // As the box does when its own size changes: the control's window only, without re-ordering.
    ::SetWindowPos(window, nullptr, 0, 0, 333, 222, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpUntil([] { return false; }, 200);
    RECT r{};
    ::GetWindowRect(document, &r);
    EXPECT_EQ(r.right - r.left, 333);
    EXPECT_EQ(r.bottom - r.top, 222);
}

TEST_F(BrowserControlTest, SilentAndOfflineAreTheControlsOwnSettings) {
    Open();
    view->SetSilent(true);
    EXPECT_TRUE(view->Silent());
    view->SetSilent(false);
    EXPECT_FALSE(view->Silent());
    view->SetOffline(true);
    EXPECT_TRUE(view->Offline());
    view->SetOffline(false);
    EXPECT_FALSE(view->Offline());
    view->SetTextZoom(7);  // clamped; the control without a document may refuse it, never fails the view
    view->SetMode(WebViewMode{8000, false});
    EXPECT_EQ(view->LocationName(), "");
}

TEST_F(BrowserControlTest, AViewThatIsGoneTellsItsHostNothingMore) {
    Open();
    view->Navigate(server.Url("/gone.html"));
    const std::size_t heard = host.log.size();
    view.reset();
    PumpUntil([] { return false; }, 1500);
    EXPECT_EQ(host.log.size(), heard);
}

TEST(BrowserControlCreation, NeedsAHostAndAWindow) {
    OleApartment ole;
    RecordingHost host;
    EXPECT_EQ(CreateBrowserControl(nullptr, Rect{0, 0, 10, 10}, &host), nullptr);
    HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(CreateBrowserControl(window, Rect{0, 0, 10, 10}, nullptr), nullptr);
    ::DestroyWindow(window);
}

}  // namespace
}  // namespace kestrune::platform::win32
