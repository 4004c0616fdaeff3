// The login hand-off on Windows, with the built-in windows on the Win32 platform and the real browser
// control: the login box is pointed at a loopback server, and the navigation to the game address is
// delivered the way the control delivers it, through the event sink advised on the control's
// connection point (Invoke with the before-navigate id and the control's argument list). The game
// window then runs its modal loop inside that call, as it does when the control raises the event.
#include "LoopbackServer.h"

#include <gtest/gtest.h>

#include <ocidl.h>
#include <exdisp.h>
#include <exdispid.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

#include "app/BuiltinDefinitions.h"
#include "app/FormIds.h"
#include "app/UnitClasses.h"
#include "browser/BrowserHook.h"
#include "browser/HandOff.h"
#include "browser/HtmlViewer.h"
#include "forms/Fatal.h"
#include "forms/Loader.h"
#include "forms/Runtime.h"
#include "platform/win32/Bstr.h"
#include "platform/win32/BrowserControl.h"
#include "platform/win32/OleApartment.h"
#include "platform/win32/Win32Platform.h"

namespace kestrune {
namespace {

using platform::win32::Bstr;
using platform::win32::ComPtr;

HWND HandleOf(std::uint32_t formId, std::uint32_t unitId) {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(forms::GetUnitHandle(formId, unitId)));
}

RECT WindowRectOf(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return r;
}

// What the test sees while the game window is open.
struct WhileOpen {
    bool seen = false;
    bool maximized = false;
    bool loginEnabled = true;
    std::wstring title;
    RECT game{}, box{};
    SIZE boxClient{}, controlWindow{};
};

class HandOffWin32Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ole.ok());
        ASSERT_NE(server.Port(), 0);
        pf = platform::win32::CreateWin32Platform(::GetModuleHandleW(nullptr));
        ASSERT_NE(pf, nullptr);
        platform::Install(pf.get());

        app::RegisterBuiltinClasses();
        forms::WindowDefinition login = app::LoginWindowDefinition();
        for (forms::UnitDefinition& unit : login.units) {
            if (unit.unitId != app::kLoginBrowser) continue;
            auto data = browser::ParseHtmlViewerData(unit.propertyBlock);
            ASSERT_TRUE(data.has_value());
            data->address = server.Url("/login.html");
            unit.propertyBlock = browser::SerializeHtmlViewerData(*data);
        }
        forms::RegisterDefinition(login);
        forms::RegisterDefinition(app::GameWindowDefinition());
        forms::SetOwnerWindow(pf->CreateOwnerWindow());
        ASSERT_TRUE(forms::LoadWindow(app::kLoginWindow, 0, false));
        loginWindow = HandleOf(app::kLoginWindow, app::kLoginWindowUnit);
        ASSERT_NE(loginWindow, nullptr);
        ASSERT_TRUE(RunFor(10000, [&] { return Requests("/login.html") == 1; }));

        // The sink the control calls: the one advised on its connection point.
        auto* viewer = dynamic_cast<browser::HtmlViewer*>(forms::FindUnitObject(app::kLoginWindow, app::kLoginBrowser));
        ASSERT_NE(viewer, nullptr);
        ASSERT_NE(viewer->View(), nullptr);
        control = platform::win32::BrowserControlObject(*viewer->View());
        ASSERT_TRUE(control);
        auto container = control.As<IConnectionPointContainer>();
        ASSERT_TRUE(container);
        ComPtr<IConnectionPoint> point;
        ASSERT_EQ(container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Put()), S_OK);
        ComPtr<IEnumConnections> connections;
        ASSERT_EQ(point->EnumConnections(connections.Put()), S_OK);
        CONNECTDATA data{};
        ULONG fetched = 0;
        ASSERT_EQ(connections->Next(1, &data, &fetched), S_OK);
        ASSERT_EQ(fetched, 1u);
        ComPtr<IUnknown> advised = ComPtr<IUnknown>::Adopt(data.pUnk);
        sink = advised.As<IDispatch>();
        ASSERT_TRUE(sink);
    }

    void TearDown() override {
        sink.Reset();
        control.Reset();
        if (loginWindow != nullptr && ::IsWindow(loginWindow)) ::DestroyWindow(loginWindow);
        browser::ResetBrowserHooks();
        if (forms::OwnerWindow() != 0) pf->Destroy(forms::OwnerWindow());
        forms::ResetRuntimeForTests();
        platform::Install(nullptr);
    }

    int Requests(const std::string& target) const {
        const auto requests = server.Requests();
        return static_cast<int>(std::count(requests.begin(), requests.end(), target));
    }
    bool RunFor(DWORD timeoutMs, const std::function<bool()>& done) {
        const DWORD start = ::GetTickCount();
        const platform::TimerId tick = pf->StartTimer(20, [] {});
        pf->RunLoop([&] { return !done() && ::GetTickCount() - start < timeoutMs; });
        pf->KillTimer(tick);
        return done();
    }

    // BeforeNavigate2 for `address` as the control raises it for its page; returns Cancel.
    VARIANT_BOOL DeliverBeforeNavigate(const std::string& address) {
        Bstr url(address);
        VARIANT urlValue, flags, target, postData, headers;
        for (VARIANT* v : {&urlValue, &flags, &target, &postData, &headers}) ::VariantInit(v);
        V_VT(&urlValue) = VT_BSTR;
        V_BSTR(&urlValue) = url.Get();
        V_VT(&flags) = VT_I4;
        V_I4(&flags) = 0;
        V_VT(&target) = VT_BSTR;
        V_BSTR(&target) = nullptr;
        V_VT(&headers) = VT_BSTR;
        V_BSTR(&headers) = nullptr;
        VARIANT_BOOL cancel = VARIANT_FALSE;
        ComPtr<IDispatch> frame = control.As<IDispatch>();
        VARIANT args[7];
        for (VARIANT& v : args) ::VariantInit(&v);
        // Last argument first.
        V_VT(&args[0]) = VT_BYREF | VT_BOOL;
        V_BOOLREF(&args[0]) = &cancel;
        VARIANT* byReference[] = {&headers, &postData, &target, &flags, &urlValue};
        for (int i = 0; i < 5; ++i) {
            V_VT(&args[1 + i]) = VT_BYREF | VT_VARIANT;
            V_VARIANTREF(&args[1 + i]) = byReference[i];
        }
        V_VT(&args[6]) = VT_DISPATCH;
        V_DISPATCH(&args[6]) = frame.Get();
        DISPPARAMS params{args, nullptr, 7, 0};
        EXPECT_EQ(sink->Invoke(DISPID_BEFORENAVIGATE2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr,
                               nullptr, nullptr),
                  S_OK);
        return cancel;
    }

    platform::win32::OleApartment ole;
    tests::LoopbackServer server;
    std::unique_ptr<platform::Platform> pf;
    HWND loginWindow = nullptr;
    ComPtr<IUnknown> control;
    ComPtr<IDispatch> sink;
};

TEST_F(HandOffWin32Test, AnAddressWithoutTheMarkerGoesAheadInTheLoginBox) {
    EXPECT_EQ(DeliverBeforeNavigate(server.Url("/news.html?client=2")), VARIANT_FALSE);
    EXPECT_EQ(HandleOf(app::kGameWindow, app::kGameWindowUnit), nullptr);
    EXPECT_TRUE(::IsWindowEnabled(loginWindow));
    EXPECT_TRUE(browser::GameUrl().empty());
}

TEST_F(HandOffWin32Test, TheMarkedAddressOpensTheGameWindowModallyAndTheLoginNavigationIsCancelled) {
    const std::string play = server.Url("/play.html?user=7&client=1&lang=zh");
    RecordProperty("code_page", static_cast<int>(::GetACP()));  // the title is read back under 936 and 1252
    WhileOpen open;
    const DWORD start = ::GetTickCount();
    // Runs inside the game window's modal loop: looks, then closes it as the user would.
    platform::TimerId watcher = 0;
    watcher = pf->StartTimer(50, [&] {
        HWND game = HandleOf(app::kGameWindow, app::kGameWindowUnit);
        HWND box = HandleOf(app::kGameWindow, app::kGameBrowser);
        const bool ready = game != nullptr && ::IsWindowVisible(game) && box != nullptr &&
                           Requests("/play.html?user=7&client=1&lang=zh") == 1;
        if (!ready && ::GetTickCount() - start < 15000) return;
        pf->KillTimer(watcher);
        if (game == nullptr) return;
        open.seen = ready;
        open.maximized = ::IsZoomed(game) != FALSE;
        open.loginEnabled = ::IsWindowEnabled(loginWindow) != FALSE;
        wchar_t title[64] = {};
        ::GetWindowTextW(game, title, 64);
        open.title = title;
        open.game = WindowRectOf(game);
        open.box = WindowRectOf(box);
        RECT client{};
        ::GetClientRect(box, &client);
        open.boxClient = {client.right, client.bottom};
        const RECT inner = WindowRectOf(::GetWindow(box, GW_CHILD));
        open.controlWindow = {inner.right - inner.left, inner.bottom - inner.top};
        ::PostMessageW(game, WM_CLOSE, 0, 0);
    });

    EXPECT_EQ(DeliverBeforeNavigate(play), VARIANT_TRUE);  // returns once the game window is closed

    ASSERT_TRUE(open.seen);
    EXPECT_TRUE(open.maximized);
    EXPECT_FALSE(open.loginEnabled);
    EXPECT_EQ(open.title, L"Kestrune微端");
    EXPECT_EQ(open.box.right - open.box.left, open.game.right - open.game.left);
    EXPECT_EQ(open.box.bottom - open.box.top, open.game.bottom - open.game.top - 32);
    EXPECT_EQ(open.controlWindow.cx, open.boxClient.cx);  // the control fills its box
    EXPECT_EQ(open.controlWindow.cy, open.boxClient.cy);

    EXPECT_EQ(HandleOf(app::kGameWindow, app::kGameWindowUnit), nullptr);
    EXPECT_TRUE(::IsWindowEnabled(loginWindow));
    EXPECT_EQ(browser::GameUrl(), play);
    // Only the game box asked for the game address; the login box stays where it was.
    RunFor(500, [] { return false; });
    EXPECT_EQ(Requests("/play.html?user=7&client=1&lang=zh"), 1);
    EXPECT_EQ(Requests("/login.html"), 1);
}

}  // namespace
}  // namespace kestrune
