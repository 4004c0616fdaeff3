#include "platform/win32/BrowserControl.h"

#include <ole2.h>
#include <exdisp.h>
#include <idispids.h>
#include <ocidl.h>
#include <shellapi.h>

#include <algorithm>

#include "platform/win32/Bstr.h"
#include "platform/win32/BrowserControlSite.h"
#include "platform/win32/BrowserEventSink.h"
#include "platform/win32/ComPtr.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WindowHandle.h"

namespace kestrune::platform::win32 {

namespace {

void OpenInDefaultBrowser(const std::string& url) {
    ::ShellExecuteW(nullptr, L"open", Widen(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// An owned VARIANT, cleared when it goes.
struct Variant {
    VARIANT value;
    Variant() { ::VariantInit(&value); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { ::VariantClear(&value); }
};

class BrowserControl final : public WebView {
public:
    BrowserControl() = default;
    ~BrowserControl() override { Close(); }
    BrowserControl(const BrowserControl&) = delete;
    BrowserControl& operator=(const BrowserControl&) = delete;

    bool Open(HWND parent, const Rect& rect, WebViewHost* host);

    WindowId Window() const override { return IdOf(window_); }
    void Navigate(const std::string& url) override;
    std::string LocationUrl() const override {
        Bstr url;
        return browser_ && SUCCEEDED(browser_->get_LocationURL(url.Put())) ? url.Utf8() : std::string();
    }
    std::string LocationName() const override {
        Bstr name;
        return browser_ && SUCCEEDED(browser_->get_LocationName(name.Put())) ? name.Utf8() : std::string();
    }
    void SetOffline(bool offline) override {
        site_->SetAmbientOffline(offline);
        if (browser_) browser_->put_Offline(offline ? VARIANT_TRUE : VARIANT_FALSE);
        AmbientChanged(DISPID_AMBIENT_OFFLINEIFNOTCONNECTED);
    }
    bool Offline() const override {
        VARIANT_BOOL offline = VARIANT_FALSE;
        return browser_ && SUCCEEDED(browser_->get_Offline(&offline)) && offline == VARIANT_TRUE;
    }
    void SetSilent(bool silent) override {
        site_->SetAmbientSilent(silent);
        if (browser_) browser_->put_Silent(silent ? VARIANT_TRUE : VARIANT_FALSE);
        AmbientChanged(DISPID_AMBIENT_SILENT);
    }
    bool Silent() const override {
        VARIANT_BOOL silent = VARIANT_FALSE;
        return browser_ && SUCCEEDED(browser_->get_Silent(&silent)) && silent == VARIANT_TRUE;
    }
    // The control's text size, 0 smallest to 4 largest, without asking the user.
    void SetTextZoom(int level) override {
        if (!browser_) return;
        Variant in;
        V_VT(&in.value) = VT_I4;
        V_I4(&in.value) = std::clamp(level, 0, 4);
        browser_->ExecWB(OLECMDID_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, &in.value, nullptr);
    }
    void SetMode(const WebViewMode&) override {}

    ComPtr<IUnknown> Object() const { return object_ ? object_.As<IUnknown>() : ComPtr<IUnknown>(); }

private:
    void AmbientChanged(DISPID property) {
        if (ComPtr<IOleControl> control = object_.As<IOleControl>()) control->OnAmbientPropertyChange(property);
    }
    void Close();

    ComPtr<IOleObject> object_;
    ComPtr<IWebBrowser2> browser_;
    ComPtr<IOleInPlaceObject> inPlace_;
    ComPtr<BrowserControlSite> site_;
    ComPtr<BrowserEventSink> sink_;
    ComPtr<IConnectionPoint> events_;
    DWORD cookie_ = 0;
    HWND window_ = nullptr;
};

bool BrowserControl::Open(HWND parent, const Rect& rect, WebViewHost* host) {
    RECT position{rect.left, rect.top, rect.right, rect.bottom};
    site_ = BrowserControlSite::Create(parent, position);
    if (FAILED(::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, object_.PutVoid())))
        return false;
    if (FAILED(object_->SetClientSite(static_cast<IOleClientSite*>(site_.Get())))) return false;
    browser_ = object_.As<IWebBrowser2>();
    if (!browser_) return false;

    // Subscribed before the control is shown, so nothing it reports from then on is missed.
    sink_ = BrowserEventSink::Create(host, &OpenInDefaultBrowser);
    if (auto container = object_.As<IConnectionPointContainer>()) {
        if (SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, events_.Put())) &&
            FAILED(events_->Advise(static_cast<IDispatch*>(sink_.Get()), &cookie_)))
            events_.Reset();
    }
    if (!events_) return false;

    if (FAILED(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(site_.Get()), 0, parent,
                               &position)))
        return false;
    inPlace_ = object_.As<IOleInPlaceObject>();
    if (!inPlace_ || FAILED(inPlace_->GetWindow(&window_)) || window_ == nullptr) return false;
    site_->SetInPlaceObject(inPlace_.Get());
    inPlace_->SetObjectRects(&position, &position);
    ::SetWindowLongPtrW(window_, GWLP_ID, kBrowserWindowId);
    if (!::IsWindowVisible(window_)) ::ShowWindow(window_, SW_SHOWNA);
    return true;
}

void BrowserControl::Navigate(const std::string& url) {
    if (!browser_) return;
    Bstr address(url);
    Variant flags, target, postData, headers;
    V_VT(&flags.value) = VT_I4;
    V_I4(&flags.value) = 0;
    V_VT(&target.value) = VT_BSTR;
    V_BSTR(&target.value) = nullptr;
    V_VT(&headers.value) = VT_BSTR;
    V_BSTR(&headers.value) = nullptr;
    browser_->Navigate(address.Get(), &flags.value, &target.value, &postData.value, &headers.value);
}

void BrowserControl::Close() {
    if (sink_) sink_->Detach();  // nothing reaches the host from here on
    if (events_ && cookie_ != 0) events_->Unadvise(cookie_);
    events_.Reset();
    if (site_) site_->SetInPlaceObject(nullptr);
    if (inPlace_) inPlace_->InPlaceDeactivate();
    inPlace_.Reset();
    browser_.Reset();
    if (object_) {
        object_->Close(OLECLOSE_NOSAVE);
        object_->SetClientSite(nullptr);
    }
    object_.Reset();
    if (site_) site_->Detach();
    site_.Reset();
    sink_.Reset();
    if (window_ != nullptr && ::IsWindow(window_)) ::DestroyWindow(window_);
    window_ = nullptr;
}

}  // namespace

ComPtr<IUnknown> BrowserControlObject(const WebView& view) {
    const auto* control = dynamic_cast<const BrowserControl*>(&view);
    return control != nullptr ? control->Object() : ComPtr<IUnknown>();
}

std::unique_ptr<WebView> CreateBrowserControl(HWND parent, const Rect& rect, WebViewHost* host) {
    if (host == nullptr || !::IsWindow(parent)) return nullptr;
    auto control = std::make_unique<BrowserControl>();
    if (!control->Open(parent, rect, host)) return nullptr;  // the destructor undoes what was done
    return control;
}

}  // namespace kestrune::platform::win32
