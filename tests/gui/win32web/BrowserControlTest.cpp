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

// A recording stand-in for the control's active object, handed to the real control's frame through
// SetActiveObject as the control itself does.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
struct RecordingActiveObject : IOleInPlaceActiveObject {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg) override {
        keys.push_back(msg->wParam);
        return msg->wParam == static_cast<WPARAM>(takes) ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL active) override {
        activations.push_back(active != FALSE);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
    std::vector<WPARAM> keys;
    std::vector<bool> activations;
    int takes = VK_TAB;
};
#pragma GCC diagnostic pop

// The site the control was given, through the control's own interfaces.
ComPtr<IOleInPlaceFrame> FrameOf(const WebView& view) {
    ComPtr<IOleObject> object = BrowserControlObject(view).As<IOleObject>();
    ComPtr<IOleClientSite> site;
    if (!object || FAILED(object->GetClientSite(site.Put())) || !site) return {};
    return site.As<IOleInPlaceFrame>();
}

TEST_F(BrowserControlTest, KeysForThePageGoToTheActiveObjectFirstAndWhatItTakesIsNotDispatchedAgain) {
    Open();
    RecordingActiveObject active;
    ComPtr<IOleInPlaceFrame> frame = FrameOf(*view);
    ASSERT_TRUE(frame);
    ASSERT_EQ(frame->SetActiveObject(&active, nullptr), S_OK);
    HWND window = HwndOf(view->Window());
    HWND below = ::GetWindow(window, GW_CHILD);

    MSG tab{};
    tab.hwnd = below != nullptr ? below : window;
    tab.message = WM_KEYDOWN;
    tab.wParam = VK_TAB;
    EXPECT_TRUE(TranslateBrowserAccelerator(tab));  // taken: the loop skips it
    MSG letter = tab;
    letter.wParam = 'A';
    EXPECT_FALSE(TranslateBrowserAccelerator(letter));  // not taken: translated and dispatched as usual
    EXPECT_EQ(active.keys, (std::vector<WPARAM>{VK_TAB, 'A'}));
    // A key for a window outside the control is not offered to it.
    MSG outside = tab;
    outside.hwnd = box;
    EXPECT_FALSE(TranslateBrowserAccelerator(outside));
    EXPECT_EQ(active.keys.size(), 2u);

    // The mouse's back and forward buttons never reach the control; other buttons and other windows do.
    MSG back{};
    back.hwnd = tab.hwnd;
    back.message = WM_XBUTTONUP;
    back.wParam = MAKEWPARAM(0, XBUTTON1);
    EXPECT_TRUE(IsRefusedBrowserHistoryButton(back));
    back.message = WM_XBUTTONDOWN;
    EXPECT_TRUE(IsRefusedBrowserHistoryButton(back));
    MSG press = back;
    press.message = WM_LBUTTONDOWN;
    EXPECT_FALSE(IsRefusedBrowserHistoryButton(press));
    back.hwnd = box;
    EXPECT_FALSE(IsRefusedBrowserHistoryButton(back));

    // The frame's activation reaches the active object of the control in it.
    FrameWindowActivated(box, false);
    FrameWindowActivated(box, true);
    EXPECT_EQ(active.activations, (std::vector<bool>{false, true}));
    frame->SetActiveObject(nullptr, nullptr);
}

TEST_F(BrowserControlTest, MovingTheViewTellsTheInPlaceObjectItsNewRectangle) {
    Open(Rect{0, 0, 864, 420});
    view->Place(Rect{0, 0, 1920, 1048});
    HWND window = HwndOf(view->Window());
    RECT r{};
    ::GetWindowRect(window, &r);
    EXPECT_EQ(r.right - r.left, 1920);
    EXPECT_EQ(r.bottom - r.top, 1048);
    // The site answers the control with the rectangle it now has, not the one it was created with.
    ComPtr<IOleInPlaceSite> site = FrameOf(*view).As<IOleInPlaceSite>();
    ASSERT_TRUE(site);
    ComPtr<IOleInPlaceFrame> frame;
    ComPtr<IOleInPlaceUIWindow> document;
    RECT position{}, clip{};
    OLEINPLACEFRAMEINFO info{};
    info.cb = sizeof(info);
    ASSERT_EQ(site->GetWindowContext(frame.Put(), document.Put(), &position, &clip, &info), S_OK);
    EXPECT_EQ(position.right - position.left, 1920);
    EXPECT_EQ(position.bottom - position.top, 1048);
}

}  // namespace
}  // namespace kestrune::platform::win32
