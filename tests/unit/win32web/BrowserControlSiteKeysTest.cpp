// The container's answers to the browser control: keys it refuses, the active object it keeps, and
// the context menu it never lets the control show.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/BrowserControl.h"
#include "platform/win32/BrowserControlSite.h"

namespace kestrune::platform::win32 {
namespace {

SHORT g_down[256];
SHORT WINAPI FakeKeyState(int key) { return g_down[key & 0xFF]; }

MSG Key(WPARAM key, UINT message = WM_KEYDOWN) {
    MSG msg{};
    msg.message = message;
    msg.wParam = key;
    return msg;
}

bool Refused(WPARAM key, std::initializer_list<int> held = {}, bool inField = false, UINT message = WM_KEYDOWN) {
    for (SHORT& state : g_down) state = 0;
    for (int vk : held) g_down[vk] = static_cast<SHORT>(0x8000);
    return IsRefusedBrowserShortcut(Key(key, message), inField, &FakeKeyState);
}

bool PlainTab(WPARAM key, std::initializer_list<int> held = {}, UINT message = WM_KEYDOWN) {
    for (SHORT& state : g_down) state = 0;
    for (int vk : held) g_down[vk] = static_cast<SHORT>(0x8000);
    return IsPlainTab(Key(key, message), &FakeKeyState);
}

// The presses the loop gives back to the page when they have left its last (or first) element.
TEST(BrowserShortcuts, OnlyTabAndShiftTabPressesMoveBetweenThePagesElements) {
    EXPECT_TRUE(PlainTab(VK_TAB));
    EXPECT_TRUE(PlainTab(VK_TAB, {VK_SHIFT}));
    EXPECT_FALSE(PlainTab(VK_TAB, {VK_CONTROL}));  // Ctrl+Tab, Alt+Tab belong to others
    EXPECT_FALSE(PlainTab(VK_TAB, {VK_MENU}));
    EXPECT_FALSE(PlainTab(VK_TAB, {}, WM_KEYUP));
    EXPECT_FALSE(PlainTab(VK_TAB, {}, WM_CHAR));
    EXPECT_FALSE(PlainTab(VK_RETURN));
}

TEST(BrowserShortcuts, ThoseThatLeaveTheLauncherOrThePageAreRefusedAndEditingKeysAreNot) {
    for (WPARAM letter : {'N', 'O', 'P', 'L', 'F'}) {
        EXPECT_TRUE(Refused(letter, {VK_CONTROL})) << static_cast<char>(letter);
        EXPECT_FALSE(Refused(letter)) << "typing " << static_cast<char>(letter);
    }
    EXPECT_TRUE(Refused(VK_F11));
    EXPECT_TRUE(Refused(VK_LEFT, {VK_MENU}, false, WM_SYSKEYDOWN));
    EXPECT_TRUE(Refused(VK_RIGHT, {VK_MENU}, true, WM_SYSKEYDOWN));
    EXPECT_TRUE(Refused(VK_BROWSER_BACK));
    // Backspace goes back in history outside a field only.
    EXPECT_TRUE(Refused(VK_BACK));
    EXPECT_FALSE(Refused(VK_BACK, {}, true));
    // Reload, Tab, the arrows, the clipboard and select-all stay the page's.
    EXPECT_FALSE(Refused(VK_F5));
    EXPECT_FALSE(Refused('R', {VK_CONTROL}));
    EXPECT_FALSE(Refused(VK_TAB));
    EXPECT_FALSE(Refused(VK_TAB, {VK_SHIFT}));
    EXPECT_FALSE(Refused(VK_LEFT));
    EXPECT_FALSE(Refused(VK_DELETE, {}, true));
    for (WPARAM letter : {'A', 'C', 'V', 'X', 'Z'}) EXPECT_FALSE(Refused(letter, {VK_CONTROL})) << static_cast<char>(letter);
    // Key releases and characters are not shortcuts.
    EXPECT_FALSE(Refused('N', {VK_CONTROL}, false, WM_KEYUP));
    EXPECT_FALSE(Refused(VK_BACK, {}, false, WM_CHAR));
}

// A stand-in for the control's active object.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
struct CountingActiveObject : IOleInPlaceActiveObject {
    ULONG references = 1;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }
};
#pragma GCC diagnostic pop

TEST(BrowserControlSiteKeys, KeepsTheActiveObjectUntilTheControlNamesAnotherAndShowsNoContextMenu) {
    CountingActiveObject active;
    {
        ComPtr<BrowserControlSite> site = BrowserControlSite::Create(nullptr, RECT{0, 0, 10, 10});
        ComPtr<IOleInPlaceFrame> frame = site.As<IOleInPlaceFrame>();
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->SetActiveObject(&active, L"page"), S_OK);
        EXPECT_EQ(site->ActiveObject().Get(), &active);
        EXPECT_EQ(active.references, 2u);  // the site's own reference
        EXPECT_EQ(frame->SetActiveObject(nullptr, nullptr), S_OK);
        EXPECT_FALSE(site->ActiveObject());
        EXPECT_EQ(active.references, 1u);
        frame->SetActiveObject(&active, nullptr);

        // S_OK: the host showed it (it shows nothing), so the control shows none of its own.
        ComPtr<IDocHostUIHandler> handler = site.As<IDocHostUIHandler>();
        ASSERT_TRUE(handler);
        POINT at{5, 5};
        EXPECT_EQ(handler->ShowContextMenu(CONTEXT_MENU_DEFAULT, &at, nullptr, nullptr), S_OK);
        // The control offers its keys to the host: F11 is taken (S_OK), Tab left to the page.
        MSG fullScreen = Key(VK_F11);
        MSG tab = Key(VK_TAB);
        EXPECT_EQ(handler->TranslateAccelerator(&fullScreen, nullptr, 0), S_OK);
        EXPECT_EQ(handler->TranslateAccelerator(&tab, nullptr, 0), S_FALSE);
    }
    EXPECT_EQ(active.references, 1u);  // the site let it go with itself
}

TEST(BrowserControlSiteKeys, ReloadKeysAndThePagesRetryButtonRetryAnAddressThatCouldNotBeReached) {
    // The site only hands its box's handle on; no window is needed for what is tested here.
    HWND box = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
    ComPtr<BrowserControlSite> site = BrowserControlSite::Create(box, RECT{0, 0, 10, 10});
    bool showingBuiltInPage = false;
    int retries = 0;
    site->SetRetry([&] {
        ++retries;
        return showingBuiltInPage;
    });
    ComPtr<IDocHostUIHandler> handler = site.As<IDocHostUIHandler>();
    MSG reload = Key(VK_F5);
    EXPECT_EQ(handler->TranslateAccelerator(&reload, nullptr, 0), S_FALSE);  // the server's page: the control reloads
    showingBuiltInPage = true;
    EXPECT_EQ(handler->TranslateAccelerator(&reload, nullptr, 0), S_OK);
    EXPECT_EQ(retries, 2);

    // window.external.kestruneRetry(), as a script engine calls it: by name, then by id.
    ComPtr<IDispatch> external;
    ASSERT_EQ(handler->GetExternal(external.Put()), S_OK);
    ASSERT_TRUE(external);
    std::wstring name = L"kestruneRetry", other = L"navigate";
    LPOLESTR names[] = {name.data()};
    DISPID id = DISPID_UNKNOWN;
    ASSERT_EQ(external->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), S_OK);
    DISPPARAMS none{};
    EXPECT_EQ(external->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(retries, 3);
    names[0] = other.data();
    DISPID otherId = 0;
    EXPECT_EQ(external->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &otherId), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(otherId, DISPID_UNKNOWN);
    EXPECT_NE(external->Invoke(id + 1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);

    // A page that kept the object after the box went reaches nothing.
    site->Detach();
    site.Reset();
    EXPECT_EQ(external->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(retries, 3);
}

// A server asking for a password: through the service the control looks for on its site, a silent box
// offers no window and no credentials, so there is no dialog box and the server's own answer shows.
TEST(BrowserControlSiteServices, ASilentBoxRefusesHttpAuthenticationWithoutADialog) {
    HWND box = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
    ComPtr<BrowserControlSite> site = BrowserControlSite::Create(box, RECT{0, 0, 10, 10});
    ComPtr<IServiceProvider> services = site.As<IServiceProvider>();
    ASSERT_TRUE(services);
    ComPtr<IAuthenticate> authenticate;
    // Not silent: the control's own way (its dialog box) stands.
    EXPECT_EQ(services->QueryService(IID_IAuthenticate, IID_IAuthenticate, authenticate.PutVoid()), E_NOINTERFACE);
    EXPECT_FALSE(authenticate);

    site->SetAmbientSilent(true);
    ASSERT_EQ(services->QueryService(IID_IAuthenticate, IID_IAuthenticate, authenticate.PutVoid()), S_OK);
    ASSERT_TRUE(authenticate);
    HWND window = box;
    LPWSTR user = reinterpret_cast<LPWSTR>(static_cast<INT_PTR>(1)), password = user;
    EXPECT_EQ(authenticate->Authenticate(&window, &user, &password), E_ACCESSDENIED);
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(user, nullptr);
    EXPECT_EQ(password, nullptr);
    EXPECT_EQ(authenticate->Authenticate(nullptr, &user, &password), E_INVALIDARG);

    // Other services keep the control's defaults; a closed box offers nothing.
    ComPtr<IUnknown> other;
    EXPECT_EQ(services->QueryService(IID_IOleClientSite, IID_IUnknown, other.PutVoid()), E_NOINTERFACE);
    site->Detach();
    authenticate.Reset();
    EXPECT_EQ(services->QueryService(IID_IAuthenticate, IID_IAuthenticate, authenticate.PutVoid()), E_NOINTERFACE);
}

}  // namespace
}  // namespace kestrune::platform::win32
