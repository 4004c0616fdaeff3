// The container side as the browser control sees it: the interfaces it asks the site for, the two
// ambient properties read by the real control when it is sited, the window it is activated in, and
// the document host's answers that keep the control's own look and leave the context menu alone.
#include <gtest/gtest.h>

#include <exdisp.h>
#include <idispids.h>
#include <olectl.h>

#include "platform/win32/BrowserControlSite.h"
#include "platform/win32/OleApartment.h"

namespace kestrune::platform::win32 {
namespace {

VARIANT Ambient(BrowserControlSite& site, DISPID id, HRESULT& hr) {
    VARIANT result;
    ::VariantInit(&result);
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    hr = static_cast<IDispatch&>(site).Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result,
                                             nullptr, nullptr);
    return result;
}

TEST(BrowserControlSite, AnswersForEveryInterfaceTheControlAsksFor) {
    auto site = BrowserControlSite::Create(nullptr, RECT{0, 0, 10, 10});
    for (const IID* iid : {&IID_IUnknown, &IID_IOleClientSite, &IID_IOleWindow, &IID_IOleInPlaceSite,
                           &IID_IOleInPlaceUIWindow, &IID_IOleInPlaceFrame, &IID_IDispatch, &IID_IDocHostUIHandler}) {
        ComPtr<IUnknown> object;
        EXPECT_EQ(site->QueryInterface(*iid, object.PutVoid()), S_OK);
        EXPECT_TRUE(object);
    }
    ComPtr<IUnknown> none;
    EXPECT_EQ(site->QueryInterface(IID_IWebBrowser2, none.PutVoid()), E_NOINTERFACE);
    // One object: every interface leads back to the same identity.
    ComPtr<IUnknown> viaFrame, identity;
    site->QueryInterface(IID_IOleInPlaceFrame, viaFrame.PutVoid());
    viaFrame->QueryInterface(IID_IUnknown, identity.PutVoid());
    EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(static_cast<IOleClientSite*>(site.Get())));
}

TEST(BrowserControlSite, AmbientSilentAndOfflineAreAnsweredAndNothingElse) {
    auto site = BrowserControlSite::Create(nullptr, RECT{0, 0, 10, 10});
    HRESULT hr;
    VARIANT silent = Ambient(*site.Get(), DISPID_AMBIENT_SILENT, hr);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(V_VT(&silent), VT_BOOL);
    EXPECT_EQ(V_BOOL(&silent), VARIANT_FALSE);
    site->SetAmbientSilent(true);
    site->SetAmbientOffline(true);
    EXPECT_EQ(V_BOOL(&(silent = Ambient(*site.Get(), DISPID_AMBIENT_SILENT, hr))), VARIANT_TRUE);
    VARIANT offline = Ambient(*site.Get(), DISPID_AMBIENT_OFFLINEIFNOTCONNECTED, hr);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(V_BOOL(&offline), VARIANT_TRUE);
    Ambient(*site.Get(), DISPID_AMBIENT_USERMODE, hr);
    EXPECT_EQ(hr, DISP_E_MEMBERNOTFOUND);  // the control's own default
}

TEST(BrowserControlSite, TheRealControlTakesSilentAndOfflineFromTheSite) {
    OleApartment ole;
    ASSERT_TRUE(ole.ok());
    auto site = BrowserControlSite::Create(nullptr, RECT{0, 0, 10, 10});
    site->SetAmbientSilent(true);
    site->SetAmbientOffline(true);
    ComPtr<IOleObject> control;
    ASSERT_EQ(::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, control.PutVoid()), S_OK);
    ASSERT_EQ(control->SetClientSite(static_cast<IOleClientSite*>(site.Get())), S_OK);
    auto browser = control.As<IWebBrowser2>();
    ASSERT_TRUE(browser);
    VARIANT_BOOL silent = VARIANT_FALSE, offline = VARIANT_FALSE;
    browser->get_Silent(&silent);
    browser->get_Offline(&offline);
    EXPECT_EQ(silent, VARIANT_TRUE);
    EXPECT_EQ(offline, VARIANT_TRUE);

    // Told of a change, it reads the site again.
    site->SetAmbientSilent(false);
    control.As<IOleControl>()->OnAmbientPropertyChange(DISPID_AMBIENT_SILENT);
    browser->get_Silent(&silent);
    EXPECT_EQ(silent, VARIANT_FALSE);
    control->SetClientSite(nullptr);
}

TEST(BrowserControlSite, TheBoxIsTheWindowOfActivationAndTheDocumentHostChangesNothing) {
    HWND top = ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    HWND box = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 200, 100, top, nullptr, nullptr, nullptr);
    auto site = BrowserControlSite::Create(box, RECT{0, 0, 200, 100});
    HWND window = nullptr;
    EXPECT_EQ(static_cast<IOleInPlaceSite*>(site.Get())->GetWindow(&window), S_OK);
    EXPECT_EQ(window, box);
    IOleInPlaceFrame* frame = nullptr;
    IOleInPlaceUIWindow* document = nullptr;
    RECT position{}, clip{};
    OLEINPLACEFRAMEINFO info{};
    info.cb = sizeof(info);
    ASSERT_EQ(site->GetWindowContext(&frame, &document, &position, &clip, &info), S_OK);
    EXPECT_EQ(frame, static_cast<IOleInPlaceFrame*>(site.Get()));
    EXPECT_EQ(document, nullptr);
    EXPECT_EQ(position.right, 200);
    EXPECT_EQ(position.bottom, 100);
    EXPECT_EQ(info.hwndFrame, top);
    frame->Release();

    EXPECT_EQ(site->ShowContextMenu(0, nullptr, nullptr, nullptr), S_OK);  // shown by nobody: no menu of the control
    DOCHOSTUIINFO host{};
    host.cbSize = sizeof(host);
    host.dwFlags = 0xFFFF;
    EXPECT_EQ(site->GetHostInfo(&host), S_OK);
    EXPECT_EQ(host.dwFlags, static_cast<DWORD>(DOCHOSTUIFLAG_ENABLE_REDIRECT_NOTIFICATION));  // nothing of the look
    EXPECT_EQ(host.dwDoubleClick, static_cast<DWORD>(DOCHOSTUIDBLCLK_DEFAULT));

    site->Detach();
    EXPECT_EQ(static_cast<IOleInPlaceSite*>(site.Get())->GetWindow(&window), E_FAIL);
    EXPECT_EQ(site->CanInPlaceActivate(), S_FALSE);
    ::DestroyWindow(top);
}

}  // namespace
}  // namespace kestrune::platform::win32
