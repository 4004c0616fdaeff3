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
#include <oleacc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/BuiltinDefinitions.h"
#include "app/FormIds.h"
#include "app/UnitClasses.h"
#include "browser/BrowserHook.h"
#include "app/HandOff.h"
#include "browser/HtmlViewer.h"
#include "forms/Fatal.h"
#include "forms/Loader.h"
#include "forms/Runtime.h"
#include "platform/win32/Bstr.h"
#include "platform/win32/BrowserControl.h"
#include "platform/win32/OleApartment.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WindowHandle.h"

namespace kestrune {
namespace {

using platform::win32::Bstr;
using platform::win32::ComPtr;

HWND HandleOf(std::uint32_t formId, std::uint32_t unitId) {
    return platform::win32::HwndOf(forms::GetUnitHandle(formId, unitId));
}

RECT WindowRectOf(HWND window) {
    RECT r{};
    ::GetWindowRect(window, &r);
    return r;
}

// What the test sees while the game window is open.
struct WhileOpen {
    bool done = false;
    bool seen = false;
    bool maximized = false;
    bool loginEnabled = true;
    std::wstring title;
    RECT game{}, box{};
    SIZE boxClient{}, controlWindow{}, documentView{};
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
        // IEnumConnections::Next is documented to hand out each sink with a reference the caller
        // releases; the control of Wine 8.0 hands it out without one. Releasing a reference that was
        // never given would leave the sink one short, freed by the control's Unadvise while the view
        // still holds it. So the sink is enumerated twice, and what one enumeration adds to its count
        // (the sink's own count, exact) tells how many references the two handed out.
        IUnknown* advised = AdvisedSink(*point.Get());
        ASSERT_NE(advised, nullptr);
        const ULONG before = ReferencesOf(advised);
        ASSERT_EQ(AdvisedSink(*point.Get()), advised);
        const ULONG given = ReferencesOf(advised) - before;
        ASSERT_LE(given, 1u);
        sink = ComPtr<IUnknown>::Retain(advised).As<IDispatch>();
        ASSERT_TRUE(sink);
        for (ULONG i = 0; i < 2 * given; ++i) advised->Release();
    }

    // The one sink advised on `point`, as its enumeration hands it out (with or without a reference).
    static IUnknown* AdvisedSink(IConnectionPoint& point) {
        ComPtr<IEnumConnections> connections;
        if (point.EnumConnections(connections.Put()) != S_OK || !connections) return nullptr;
        CONNECTDATA data{};
        ULONG fetched = 0;
        return connections->Next(1, &data, &fetched) == S_OK && fetched == 1 ? data.pUnk : nullptr;
    }
    // The reference count of `object` (exact for the launcher's own sink).
    static ULONG ReferencesOf(IUnknown* object) {
        object->AddRef();
        return object->Release();
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

    void WatchGameWindow(const std::string& target, WhileOpen& open);

    platform::win32::OleApartment ole;
    tests::LoopbackServer server;
    std::unique_ptr<platform::Platform> pf;
    platform::TimerId watcher = 0;
    HWND loginWindow = nullptr;
    ComPtr<IUnknown> control;
    ComPtr<IDispatch> sink;
};

TEST_F(HandOffWin32Test, AnAddressWithoutTheMarkerGoesAheadInTheLoginBox) {
    EXPECT_EQ(DeliverBeforeNavigate(server.Url("/news.html?client=2")), VARIANT_FALSE);
    EXPECT_EQ(HandleOf(app::kGameWindow, app::kGameWindowUnit), nullptr);
    EXPECT_TRUE(::IsWindowEnabled(loginWindow));
    EXPECT_TRUE(app::GameUrl().empty());
}

// Watches for the game window from a timer (it runs inside the game window's modal loop), records
// what it sees once the game box has asked for `target`, then closes the window as the user would.
void HandOffWin32Test::WatchGameWindow(const std::string& target, WhileOpen& open) {
    const DWORD start = ::GetTickCount();
    watcher = pf->StartTimer(50, [this, target, start, &open] {
        HWND game = HandleOf(app::kGameWindow, app::kGameWindowUnit);
        HWND box = HandleOf(app::kGameWindow, app::kGameBrowser);
        const bool ready = game != nullptr && ::IsWindowVisible(game) && box != nullptr && Requests(target) == 1;
        if (!ready && ::GetTickCount() - start < 15000) return;
        pf->KillTimer(watcher);
        open.done = true;
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
        HWND browserWindow = ::GetWindow(box, GW_CHILD);
        const RECT inner = WindowRectOf(browserWindow);
        open.controlWindow = {inner.right - inner.left, inner.bottom - inner.top};
        if (HWND view = ::GetWindow(browserWindow, GW_CHILD)) {
            const RECT document = WindowRectOf(view);
            open.documentView = {document.right - document.left, document.bottom - document.top};
        }
        ::PostMessageW(game, WM_CLOSE, 0, 0);
    });
}

void ExpectGameWindowOpenAndLaidOut(const WhileOpen& open) {
    ASSERT_TRUE(open.seen);
    EXPECT_TRUE(open.maximized);
    EXPECT_FALSE(open.loginEnabled);
    EXPECT_EQ(open.title, L"Kestrune微端");
    EXPECT_EQ(open.box.right - open.box.left, open.game.right - open.game.left);
    EXPECT_EQ(open.box.bottom - open.box.top, open.game.bottom - open.game.top - 32);
    EXPECT_EQ(open.controlWindow.cx, open.boxClient.cx);  // the control fills its box
    EXPECT_EQ(open.controlWindow.cy, open.boxClient.cy);
    // The control lays out its own document view in its window, resized as the box was.
    EXPECT_EQ(open.documentView.cx, open.boxClient.cx);
    EXPECT_EQ(open.documentView.cy, open.boxClient.cy);
}

TEST_F(HandOffWin32Test, TheMarkedAddressOpensTheGameWindowModallyAndTheLoginNavigationIsCancelled) {
    const std::string target = "/play.html?user=7&client=1&lang=zh";
    const std::string play = server.Url(target);
    // The title is read back under the code page the test was started for (936 and 1252).
    if (const char* expected = std::getenv("KESTRUNE_EXPECT_ACP")) {
        EXPECT_EQ(::GetACP(), static_cast<UINT>(std::atoi(expected)));
    }
    WhileOpen open;
    WatchGameWindow(target, open);

    EXPECT_EQ(DeliverBeforeNavigate(play), VARIANT_TRUE);  // returns once the game window is closed
    ExpectGameWindowOpenAndLaidOut(open);

    EXPECT_EQ(HandleOf(app::kGameWindow, app::kGameWindowUnit), nullptr);
    EXPECT_TRUE(::IsWindowEnabled(loginWindow));
    EXPECT_EQ(app::GameUrl(), play);
    // Only the game box asked for the game address; the login box stays where it was.
    RunFor(500, [] { return false; });
    EXPECT_EQ(Requests(target), 1);
    EXPECT_EQ(Requests("/login.html"), 1);
}

TEST_F(HandOffWin32Test, TheLoginBoxNavigatedForRealToTheGameAddressHandsOffAndStaysOnItsPage) {
    // The control itself raises the before-navigate notification here; the box raises event 0 with
    // the address, whose handler finds the marker in it.
    const std::string target = "/enter.html?client=1";
    WhileOpen open;
    WatchGameWindow(target, open);
    forms::WriteProperty(app::kLoginWindow, app::kLoginBrowser, 11, server.Url(target));
    ASSERT_TRUE(RunFor(20000, [&] { return open.done && HandleOf(app::kGameWindow, app::kGameWindowUnit) == nullptr; }));
    ExpectGameWindowOpenAndLaidOut(open);
    EXPECT_TRUE(::IsWindowEnabled(loginWindow));
    EXPECT_EQ(app::GameUrl(), server.Url(target));
    RunFor(500, [] { return false; });
    EXPECT_EQ(Requests(target), 1);  // the game box's; the login box's own was cancelled
    EXPECT_EQ(forms::AsText(forms::ReadProperty(app::kLoginWindow, app::kLoginBrowser, 11)), server.Url("/login.html"));
}

// The control's own window in the login box, and whether the keyboard focus is in it.
HWND LoginControlWindow() { return ::GetWindow(HandleOf(app::kLoginWindow, app::kLoginBrowser), GW_CHILD); }
bool FocusInLoginPage() {
    HWND control = LoginControlWindow();
    HWND focus = ::GetFocus();
    return control != nullptr && focus != nullptr && (focus == control || ::IsChild(control, focus));
}

TEST_F(HandOffWin32Test, TheLoginWindowComesBackActiveWithTheFocusInItsPage) {
    ASSERT_TRUE(RunFor(5000, FocusInLoginPage)) << "the page has no focus once the window is shown";

    // The game window closes: the login window, not another program, is active again.
    const std::string target = "/play.html?client=1&focus=1";
    WhileOpen open;
    WatchGameWindow(target, open);
    EXPECT_EQ(DeliverBeforeNavigate(server.Url(target)), VARIANT_TRUE);
    ASSERT_TRUE(open.seen);
    EXPECT_TRUE(RunFor(3000, [&] { return ::GetForegroundWindow() == loginWindow && FocusInLoginPage(); }))
        << "foreground " << ::GetForegroundWindow() << ", focus " << ::GetFocus();

    // Another program's window takes the activation and gives it back (Alt+Tab there and back).
    HWND other = ::CreateWindowExW(0, L"STATIC", L"another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300, 200,
                                   nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    ::SetForegroundWindow(other);
    ASSERT_TRUE(RunFor(3000, [&] { return ::GetForegroundWindow() == other; }));
    EXPECT_FALSE(FocusInLoginPage());
    ::SetForegroundWindow(loginWindow);
    EXPECT_TRUE(RunFor(3000, [&] { return ::GetForegroundWindow() == loginWindow && FocusInLoginPage(); }))
        << "focus " << ::GetFocus();
    ::DestroyWindow(other);
}

// What a screen reader reads from `window`'s object `objectId`: its name and role, and the
// default action's name.
struct ReadAloud {
    std::wstring name;
    LONG role = 0;
    std::wstring action;
};
ComPtr<IAccessible> AccessibleOf(HWND window, LONG objectId) {
    ComPtr<IAccessible> object;
    if (FAILED(::AccessibleObjectFromWindow(window, static_cast<DWORD>(objectId), IID_IAccessible, object.PutVoid())))
        object.Reset();
    return object;
}
ReadAloud Read(IAccessible& object) {
    VARIANT self;
    ::VariantInit(&self);
    V_VT(&self) = VT_I4;
    V_I4(&self) = CHILDID_SELF;
    ReadAloud read;
    BSTR text = nullptr;
    if (object.get_accName(self, &text) == S_OK && text != nullptr) read.name = text;
    ::SysFreeString(text);
    text = nullptr;
    if (object.get_accDefaultAction(self, &text) == S_OK && text != nullptr) read.action = text;
    ::SysFreeString(text);
    VARIANT role;
    ::VariantInit(&role);
    if (object.get_accRole(self, &role) == S_OK && V_VT(&role) == VT_I4) read.role = V_I4(&role);
    ::VariantClear(&role);
    return read;
}

TEST_F(HandOffWin32Test, ThePictureButtonsArePushButtonsThatAScreenReaderFindsAndPresses) {
    using platform::win32::Widen;
    for (auto [unit, name] : {std::pair{app::kCloseButton, "关闭"}, std::pair{app::kMinimizeButton, "最小化"}}) {
        ComPtr<IAccessible> object = AccessibleOf(HandleOf(app::kLoginWindow, unit), OBJID_CLIENT);
        ASSERT_TRUE(object) << name;
        const ReadAloud read = Read(*object.Get());
        EXPECT_EQ(read.name, Widen(name));
        EXPECT_EQ(read.role, ROLE_SYSTEM_PUSHBUTTON) << name;
        EXPECT_EQ(read.action, L"Press") << name;
        HWND window = nullptr;
        EXPECT_EQ(::WindowFromAccessibleObject(object.Get(), &window), S_OK);
        EXPECT_EQ(window, HandleOf(app::kLoginWindow, unit));
    }
    // The frame around the page is no button; the window is named though it shows no title.
    ComPtr<IAccessible> frame = AccessibleOf(HandleOf(app::kLoginWindow, app::kLoginShapeBox), OBJID_CLIENT);
    ASSERT_TRUE(frame);
    EXPECT_NE(Read(*frame.Get()).role, ROLE_SYSTEM_PUSHBUTTON);
    EXPECT_EQ(::GetWindowTextLengthW(loginWindow), 0);
    for (LONG objectId : {OBJID_WINDOW, OBJID_CLIENT}) {
        ComPtr<IAccessible> window = AccessibleOf(loginWindow, objectId);
        ASSERT_TRUE(window);
        EXPECT_EQ(Read(*window.Get()).name, L"Kestrune");
    }

    // Listed among the window's children, as a client walking the tree finds them.
    ComPtr<IAccessible> client = AccessibleOf(loginWindow, OBJID_CLIENT);
    ASSERT_TRUE(client);
    LONG count = 0;
    ASSERT_EQ(client->get_accChildCount(&count), S_OK);
    ASSERT_GT(count, 0);
    std::vector<VARIANT> children(static_cast<std::size_t>(count));
    LONG got = 0;
    ASSERT_TRUE(SUCCEEDED(::AccessibleChildren(client.Get(), 0, count, children.data(), &got)));
    bool closeListed = false;
    for (LONG i = 0; i < got; ++i) {
        if (V_VT(&children[i]) == VT_DISPATCH && V_DISPATCH(&children[i]) != nullptr) {
            ComPtr<IAccessible> child = ComPtr<IDispatch>::Retain(V_DISPATCH(&children[i])).As<IAccessible>();
            HWND window = nullptr;
            if (child && ::WindowFromAccessibleObject(child.Get(), &window) == S_OK &&
                window == HandleOf(app::kLoginWindow, app::kCloseButton))
                closeListed = true;
        }
        ::VariantClear(&children[i]);
    }
    EXPECT_TRUE(closeListed) << got << " children listed";

    // Pressed, the minimise button does what its click does, once the client's call has returned.
    ComPtr<IAccessible> minimise = AccessibleOf(HandleOf(app::kLoginWindow, app::kMinimizeButton), OBJID_CLIENT);
    ASSERT_TRUE(minimise);
    VARIANT self;
    ::VariantInit(&self);
    V_VT(&self) = VT_I4;
    V_I4(&self) = CHILDID_SELF;
    EXPECT_EQ(minimise->accDoDefaultAction(self), S_OK);
    EXPECT_FALSE(::IsIconic(loginWindow));
    EXPECT_TRUE(RunFor(3000, [&] { return ::IsIconic(loginWindow) != FALSE; }));
    // Not pressed while its window is disabled (a modal window is open), nor when it is itself.
    ::ShowWindow(loginWindow, SW_RESTORE);
    for (HWND disabled : {loginWindow, HandleOf(app::kLoginWindow, app::kMinimizeButton)}) {
        ::EnableWindow(disabled, FALSE);
        EXPECT_NE(minimise->accDoDefaultAction(self), S_OK);
        RunFor(300, [] { return false; });
        EXPECT_FALSE(::IsIconic(loginWindow));
        ::EnableWindow(disabled, TRUE);
    }
}

// Window enumeration callbacks are stdcall in the 32-bit build, which a lambda cannot be.
BOOL CALLBACK CountWindow(HWND, LPARAM counter) {
    ++*reinterpret_cast<int*>(counter);
    return TRUE;
}

BOOL CALLBACK CountWindowAndChildren(HWND top, LPARAM counter) {
    ++*reinterpret_cast<int*>(counter);
    ::EnumChildWindows(top, &CountWindow, counter);
    return TRUE;
}

// Every hand-off makes and ends a game window, its box and a browser control: a hundred of them leave
// the process with the windows and drawing objects it had after the first.
TEST_F(HandOffWin32Test, AHundredHandOffsLeaveNoWindowsOrDrawingObjectsBehind) {
    auto handOff = [&](int n) {
        const std::string target = "/play.html?client=1&round=" + std::to_string(n);
        WhileOpen open;
        WatchGameWindow(target, open);
        EXPECT_EQ(DeliverBeforeNavigate(server.Url(target)), VARIANT_TRUE);
        EXPECT_TRUE(open.seen) << "round " << n;
        RunFor(50, [] { return false; });  // deferred releases run from the loop
    };
    auto windows = [] {
        int count = 0;
        ::EnumThreadWindows(::GetCurrentThreadId(), &CountWindowAndChildren, reinterpret_cast<LPARAM>(&count));
        return count;
    };
    handOff(0);
    const DWORD gdi = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD user = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    const int before = windows();
    for (int n = 1; n <= 100 && !HasFatalFailure(); ++n) handOff(n);
    EXPECT_EQ(windows(), before);
    // Systems that count them (Wine does not: both read 0 there) must count the same again.
    EXPECT_LE(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS), gdi + 5);
    EXPECT_LE(::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS), user + 5);
    std::printf("after 100 hand-offs: %d windows (%d before); GDI %lu -> %lu, USER %lu -> %lu\n", windows(), before,
                static_cast<unsigned long>(gdi),
                static_cast<unsigned long>(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS)),
                static_cast<unsigned long>(user),
                static_cast<unsigned long>(::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS)));
}

}  // namespace
}  // namespace kestrune
