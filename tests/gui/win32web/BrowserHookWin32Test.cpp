// The context-menu hook on Windows, on the real window chain: a box made by the Win32 platform, the
// browser control below it (its own window and, once it has a document, its document view window),
// and below that a window of the page window's class standing in for the page window, which the
// control makes only when it can render (not under Wine). The hook finds it by the real three-step
// walk and replaces its procedure through the real slot; messages come through the message loop.
#include "LoopbackServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "browser/BrowserHook.h"
#include "platform/WebView.h"
#include "platform/win32/OleApartment.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/WindowHandle.h"
#include "tests/support/NullWebViewHost.h"

namespace kestrune::browser {
namespace {

using platform::WindowId;

constexpr wchar_t kPageClass[] = L"Internet Explorer_Server";

struct PageLog {
    HWND window;
    UINT message;
    WPARAM wParam;
};
std::vector<PageLog> g_pageLog;

LRESULT CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_RBUTTONDOWN || message == WM_RBUTTONUP || message == WM_CONTEXTMENU || message == WM_CHAR ||
        message == WM_DESTROY || message == WM_NCDESTROY)
        g_pageLog.push_back({window, message, wParam});
    return ::DefWindowProcW(window, message, wParam, lParam);
}

HWND AsHwnd(WindowId id) { return platform::win32::HwndOf(id); }
WindowId AsId(HWND hwnd) { return platform::win32::IdOf(hwnd); }


class BrowserHookWin32Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ole.ok());
        ASSERT_NE(server.Port(), 0);
        WNDCLASSEXW cls{};
        cls.cbSize = sizeof(cls);
        cls.lpfnWndProc = &PageProc;
        cls.hInstance = ::GetModuleHandleW(nullptr);
        cls.lpszClassName = kPageClass;
        if (::RegisterClassExW(&cls) == 0) {
            ASSERT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
        }
        g_pageLog.clear();

        pf = platform::win32::CreateWin32Platform(::GetModuleHandleW(nullptr));
        ASSERT_NE(pf, nullptr);
        platform::Install(pf.get());
        platform::TopLevelParams params;
        params.title = "hook";
        params.style.frame = params.style.caption = true;
        params.outer = platform::Rect::FromXYWH(60, 60, 900, 600);
        top = pf->CreateTopLevel(params, &topHost);
        ASSERT_NE(top, 0u);
        pf->Show(top, platform::ShowCommand::Normal);
        // Two boxes, as the login and game windows each have one.
        for (int i = 0; i < 2; ++i) {
            const WindowId box = pf->CreateChild(top, platform::Rect::FromXYWH(10 + 440 * i, 10, 420, 500), &boxHost);
            ASSERT_NE(box, 0u);
            pf->Show(box, platform::ShowCommand::Normal);
            auto view = pf->CreateWebView(box, platform::Rect{0, 0, 420, 500}, &webHost);
            ASSERT_NE(view, nullptr);
            view->Navigate(server.Url("/page" + std::to_string(i) + ".html"));
            boxes.push_back(box);
            views.push_back(std::move(view));
        }
        // The control makes its document view window as its first document starts.
        ASSERT_TRUE(RunFor(5000, [&] { return DocumentView(0) != nullptr && DocumentView(1) != nullptr; }));
    }
    void TearDown() override {
        ResetBrowserHooks();
        views.clear();
        if (pf && top != 0) pf->Destroy(top);
        platform::Install(nullptr);
    }

    HWND DocumentView(std::size_t box) const {
        HWND control = ::GetWindow(AsHwnd(boxes[box]), GW_CHILD);
        return control != nullptr ? ::GetWindow(control, GW_CHILD) : nullptr;
    }
    HWND MakePage(std::size_t box) {
        HWND view = DocumentView(box);
        RECT r{};
        ::GetClientRect(view, &r);
        return ::CreateWindowExW(0, kPageClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, r.right, r.bottom, view, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    }
    // Runs the platform's loop until `done` holds or `timeoutMs` pass; returns `done()`.
    bool RunFor(DWORD timeoutMs, const std::function<bool()>& done) {
        const DWORD start = ::GetTickCount();
        const platform::TimerId tick = pf->StartTimer(20, [] {});
        pf->RunLoop([&] { return !done() && ::GetTickCount() - start < timeoutMs; });
        pf->KillTimer(tick);
        return done();
    }
    // A right click and a context-menu key on `page`, posted as the system posts them, then dispatched.
    void RightClickAndMenuKey(HWND page) {
        ::PostMessageW(page, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 20));
        ::PostMessageW(page, WM_RBUTTONUP, 0, MAKELPARAM(20, 20));
        ::PostMessageW(page, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(page), MAKELPARAM(-1, -1));
        ::PostMessageW(page, WM_CHAR, 0x5FAE, 1);
        // The typed character was posted last: once it is in, everything before it has been handled.
        // (Under a loaded Wine a first dispatch can come late; what a test checks is what arrives.)
        RunFor(3000, [&] {
            for (const PageLog& entry : g_pageLog)
                if (entry.window == page && entry.message == WM_CHAR) return true;
            return false;
        });
        // And whatever the page's own handling posts in turn.
        RunFor(300, [] { return false; });
    }
    std::vector<UINT> MessagesOf(HWND page) const {
        std::vector<UINT> out;
        for (const PageLog& entry : g_pageLog)
            if (entry.window == page) out.push_back(entry.message);
        return out;
    }

    platform::win32::OleApartment ole;
    tests::LoopbackServer server;
    std::unique_ptr<platform::Platform> pf;
    platform::WindowHost topHost, boxHost;
    testing::NullWebViewHost webHost{false};
    WindowId top = 0;
    std::vector<WindowId> boxes;
    std::vector<std::unique_ptr<platform::WebView>> views;
};

TEST_F(BrowserHookWin32Test, ThreeFirstChildStepsFromEachBoxReachItsPageWindow) {
    EXPECT_EQ(FindPageWindow(boxes[0]), 0u);  // no page window yet (none under Wine)
    HWND pages[2] = {MakePage(0), MakePage(1)};
    ASSERT_NE(pages[0], nullptr);
    ASSERT_NE(pages[1], nullptr);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(pf->FirstChild(boxes[i]), views[i]->Window());
        EXPECT_EQ(FindPageWindow(boxes[i]), AsId(pages[i]));
    }
}

TEST_F(BrowserHookWin32Test, OnThePageOfEachBoxOnlyTheRightButtonPressReachesThePage) {
    HWND pages[2] = {MakePage(0), MakePage(1)};
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(InstallBrowserHook(boxes[i]));
        EXPECT_FALSE(InstallBrowserHook(boxes[i]));  // once per slot
    }
    for (HWND page : pages) {
        RightClickAndMenuKey(page);
        // Typed text goes on through the wide slot as it was typed.
        EXPECT_EQ(MessagesOf(page), (std::vector<UINT>{WM_RBUTTONDOWN, WM_CHAR}));
    }
    ASSERT_EQ(g_pageLog.size(), 4u);
    EXPECT_EQ(g_pageLog[1].wParam, static_cast<WPARAM>(0x5FAE));
}

TEST_F(BrowserHookWin32Test, WithoutTheHookThePageGetsEverything) {
    HWND page = MakePage(0);
    RightClickAndMenuKey(page);
    // The release reaches the page, whose default handling asks for the context menu once more.
    const std::vector<UINT> got = MessagesOf(page);
    EXPECT_EQ(std::count(got.begin(), got.end(), static_cast<UINT>(WM_RBUTTONUP)), 1);
    EXPECT_GE(std::count(got.begin(), got.end(), static_cast<UINT>(WM_CONTEXTMENU)), 1);
}

TEST_F(BrowserHookWin32Test, AReplacedPageWindowIsHookedByTheTimerWithinAFewPeriods) {
    HWND first = MakePage(0);
    ASSERT_TRUE(InstallBrowserHook(boxes[0]));
    ::DestroyWindow(first);  // the control moving to a new document
    // Both passed on: the page's own procedure ends the window's life as it was written to.
    EXPECT_EQ(MessagesOf(first), (std::vector<UINT>{WM_DESTROY, WM_NCDESTROY}));
    const auto slot = HookSlotFor(boxes[0]);
    ASSERT_TRUE(slot.has_value());
    EXPECT_FALSE(slot->hooked);
    EXPECT_NE(slot->timerId, 0u);

    HWND second = MakePage(0);
    const DWORD start = ::GetTickCount();
    ASSERT_TRUE(RunFor(2000, [&] { return IsPageHooked(AsId(second)); }));
    EXPECT_LT(::GetTickCount() - start, 1000u);
    EXPECT_EQ(HookSlotFor(boxes[0])->timerId, 0u);  // its work done, the timer stopped
    RightClickAndMenuKey(second);
    EXPECT_EQ(MessagesOf(second), (std::vector<UINT>{WM_RBUTTONDOWN, WM_CHAR}));
}

TEST_F(BrowserHookWin32Test, ANewLivePageOfAHookedBoxIsHookedTooAndAGoneBoxLeavesNoSlot) {
    HWND old = MakePage(0);
    ASSERT_TRUE(InstallBrowserHook(boxes[0]));
    // The control shows a new document in a new page window while it keeps the old one, first.
    HWND view = DocumentView(0);
    RECT r{};
    ::GetClientRect(view, &r);
    HWND fresh = ::CreateWindowExW(0, kPageClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, r.right, r.bottom, view, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
    ::SetWindowPos(fresh, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ASSERT_EQ(FindPageWindow(boxes[0]), AsId(fresh));
    EXPECT_TRUE(InstallBrowserHook(boxes[0]));
    EXPECT_TRUE(IsPageHooked(AsId(old)));
    EXPECT_TRUE(IsPageHooked(AsId(fresh)));
    RightClickAndMenuKey(old);
    RightClickAndMenuKey(fresh);
    EXPECT_EQ(MessagesOf(old), (std::vector<UINT>{WM_RBUTTONDOWN, WM_CHAR}));
    EXPECT_EQ(MessagesOf(fresh), (std::vector<UINT>{WM_RBUTTONDOWN, WM_CHAR}));

    // The second box goes before its page was ever hooked: its slot goes with it.
    EXPECT_FALSE(InstallBrowserHook(boxes[1]));  // no page window yet
    ASSERT_TRUE(HookSlotFor(boxes[1]).has_value());
    views[1].reset();
    pf->Destroy(boxes[1]);
    InstallBrowserHook(boxes[0]);  // any later hook call tidies up
    EXPECT_FALSE(HookSlotFor(boxes[1]).has_value());
}

// A box's host lets its view go when the platform says the box is being destroyed.
struct ClosingBoxHost : platform::WindowHost {
    void Destroying() override {
        HWND control = view != nullptr ? AsHwnd(view->Window()) : nullptr;
        controlAliveAtClose = control != nullptr && ::IsWindow(control) && ::IsWindow(::GetWindow(control, GW_CHILD));
        view.reset();
    }
    std::unique_ptr<platform::WebView> view;
    bool controlAliveAtClose = false;
};

TEST_F(BrowserHookWin32Test, TheControlIsClosedWhileItsWindowsStillExist) {
    ClosingBoxHost host;
    const WindowId box = pf->CreateChild(top, platform::Rect::FromXYWH(10, 10, 300, 200), &host);
    ASSERT_NE(box, 0u);
    host.view = pf->CreateWebView(box, platform::Rect{0, 0, 300, 200}, &webHost);
    ASSERT_NE(host.view, nullptr);
    host.view->Navigate(server.Url("/closing.html"));
    ASSERT_TRUE(RunFor(5000, [&] { return ::GetWindow(::GetWindow(AsHwnd(box), GW_CHILD), GW_CHILD) != nullptr; }));
    pf->Destroy(box);
    EXPECT_TRUE(host.controlAliveAtClose);
    EXPECT_EQ(host.view, nullptr);
}

}  // namespace
}  // namespace kestrune::browser
