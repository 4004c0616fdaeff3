#include "platform/win32/BrowserControl.h"

#include <ole2.h>
#include <exdisp.h>
#include <idispids.h>
#include <ocidl.h>

#include <mshtml.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/win32/Bstr.h"
#include "platform/win32/BrowserControlSite.h"
#include "platform/win32/BrowserEventSink.h"
#include "platform/win32/ComPtr.h"
#include "platform/win32/NetworkWatch.h"
#include "platform/win32/RecoveringHost.h"
#include "platform/win32/ThreadTimer.h"
#include "platform/win32/UserBrowser.h"
#include "platform/win32/WideText.h"
#include "platform/win32/WindowHandle.h"

namespace kestrune::platform::win32 {

namespace {

// An owned VARIANT, cleared when it goes.
struct Variant {
    VARIANT value;
    Variant() { ::VariantInit(&value); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    ~Variant() { ::VariantClear(&value); }
};

// What closing the control takes: released in the order the control expects, once.
struct ControlParts {
    ComPtr<IOleObject> object;
    ComPtr<IWebBrowser2> browser;
    ComPtr<IOleInPlaceObject> inPlace;
    ComPtr<BrowserControlSite> site;
    ComPtr<BrowserEventSink> sink;
    ComPtr<IConnectionPoint> events;
    DWORD cookie = 0;
    HWND window = nullptr;

    void Close();
};

class BrowserControl;
// The controls alive on this thread, for the loop (keys), activation and focus.
std::vector<BrowserControl*>& LiveControls() {
    static std::vector<BrowserControl*> controls;
    return controls;
}

class BrowserControl final : public WebView, private RecoveringHost::Page {
public:
    BrowserControl() { LiveControls().push_back(this); }
    ~BrowserControl() override;
    BrowserControl(const BrowserControl&) = delete;
    BrowserControl& operator=(const BrowserControl&) = delete;

    bool Open(HWND parent, const Rect& rect, WebViewHost* host);

    WindowId Window() const override { return IdOf(parts_.window); }
    void Navigate(const std::string& url) override;
    std::string LocationUrl() const override {
        Bstr url;
        return parts_.browser && SUCCEEDED(parts_.browser->get_LocationURL(url.Put())) ? url.Utf8() : std::string();
    }
    std::string LocationName() const override {
        Bstr name;
        return parts_.browser && SUCCEEDED(parts_.browser->get_LocationName(name.Put())) ? name.Utf8() : std::string();
    }
    void SetOffline(bool offline) override {
        parts_.site->SetAmbientOffline(offline);
        if (parts_.browser) parts_.browser->put_Offline(offline ? VARIANT_TRUE : VARIANT_FALSE);
        AmbientChanged(DISPID_AMBIENT_OFFLINEIFNOTCONNECTED);
    }
    bool Offline() const override {
        VARIANT_BOOL offline = VARIANT_FALSE;
        return parts_.browser && SUCCEEDED(parts_.browser->get_Offline(&offline)) && offline == VARIANT_TRUE;
    }
    void SetSilent(bool silent) override {
        parts_.site->SetAmbientSilent(silent);
        if (parts_.browser) parts_.browser->put_Silent(silent ? VARIANT_TRUE : VARIANT_FALSE);
        AmbientChanged(DISPID_AMBIENT_SILENT);
    }
    bool Silent() const override {
        VARIANT_BOOL silent = VARIANT_FALSE;
        return parts_.browser && SUCCEEDED(parts_.browser->get_Silent(&silent)) && silent == VARIANT_TRUE;
    }
    // The control's text size, 0 smallest to 4 largest, without asking the user.
    void SetTextZoom(int level) override {
        if (!parts_.browser) return;
        Variant in;
        V_VT(&in.value) = VT_I4;
        V_I4(&in.value) = std::clamp(level, 0, 4);
        parts_.browser->ExecWB(OLECMDID_ZOOM, OLECMDEXECOPT_DONTPROMPTUSER, &in.value, nullptr);
    }
    void SetMode(const WebViewMode&) override {}
    void Focus() override { FocusPage(); }

    ComPtr<IUnknown> Object() const { return parts_.object ? parts_.object.As<IUnknown>() : ComPtr<IUnknown>(); }

    // Moved by the container: the object is told its new rectangle, and it moves its window.
    void Place(const Rect& rect) override {
        const RECT position{rect.left, rect.top, rect.right, rect.bottom};
        if (parts_.site) parts_.site->SetPosition(position);
        if (parts_.inPlace && SUCCEEDED(parts_.inPlace->SetObjectRects(&position, &position))) return;
        WebView::Place(rect);
    }

    HWND NativeWindow() const { return parts_.window; }
    // True when `hwnd` is the control's window or one below it.
    bool Holds(HWND hwnd) const {
        return parts_.window != nullptr && hwnd != nullptr && (hwnd == parts_.window || ::IsChild(parts_.window, hwnd));
    }
    ComPtr<IOleInPlaceActiveObject> ActiveObject() const {
        return parts_.site ? parts_.site->ActiveObject() : ComPtr<IOleInPlaceActiveObject>();
    }
    // The page takes the keyboard focus: the control is made UI-active, which focuses its document.
    // False when the focus did not end up in the control.
    bool FocusPage() {
        if (!parts_.object || !parts_.site || parts_.window == nullptr) return false;
        RECT position = parts_.site->Position();
        HWND window = parts_.window;
        // Held for the call: the page's focus handlers run inside it and may close the box.
        const ComPtr<IOleObject> object = parts_.object;
        const ComPtr<BrowserControlSite> site = parts_.site;
        object->DoVerb(OLEIVERB_UIACTIVATE, nullptr, static_cast<IOleClientSite*>(site.Get()), 0, ::GetParent(window),
                       &position);
        if (!IsLive(this) || !::IsWindow(window)) return false;
        // UI activation need not move the focus (an object that is UI-active already keeps it where it
        // is, and one without a document has nothing to focus): the document's own window takes it
        // then, or, with no document yet, the innermost window the control has.
        if (!Holds(::GetFocus())) {
            HWND target = DocumentWindow();
            if (target == nullptr) {
                target = window;
                while (HWND child = ::GetWindow(target, GW_CHILD)) target = child;
            }
            ::SetFocus(target);
        }
        return IsLive(this) && Holds(::GetFocus());
    }
    // The window of the current document (its IOleWindow), or nullptr.
    HWND DocumentWindow() const {
        if (!parts_.browser) return nullptr;
        ComPtr<IDispatch> document;
        if (FAILED(parts_.browser->get_Document(document.Put())) || !document) return nullptr;
        HWND window = nullptr;
        ComPtr<IOleWindow> ole = document.As<IOleWindow>();
        return ole && SUCCEEDED(ole->GetWindow(&window)) && Holds(window) ? window : nullptr;
    }
    static bool IsLive(const BrowserControl* control) {
        const auto& live = LiveControls();
        return std::find(live.begin(), live.end(), control) != live.end();
    }
    bool FocusInEditableField() const;

private:
    void AmbientChanged(DISPID property) {
        if (ComPtr<IOleControl> control = parts_.object.As<IOleControl>()) control->OnAmbientPropertyChange(property);
    }
    // ---- RecoveringHost::Page
    void Load(const std::string& url) override;
    bool Write(const std::string& html) override;
    void WatchNetwork() override;

    // Everything the control is made of, handed over whole when it is released.
    ControlParts parts_;
    ThreadTimer retryTimer_;
    // Between the control's notifications and the box's host; shared so that work posted to the loop
    // can tell it is gone.
    std::shared_ptr<RecoveringHost> recovering_;
    std::unique_ptr<NetworkWatch> network_;
};

bool BrowserControl::Open(HWND parent, const Rect& rect, WebViewHost* host) {
    RECT position{rect.left, rect.top, rect.right, rect.bottom};
    parts_.site = BrowserControlSite::Create(parent, position);
    if (FAILED(::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject, parts_.object.PutVoid())))
        return false;
    if (FAILED(parts_.object->SetClientSite(static_cast<IOleClientSite*>(parts_.site.Get())))) return false;
    parts_.browser = parts_.object.As<IWebBrowser2>();
    if (!parts_.browser) return false;
    // A file dropped on the box never becomes its page (a page's own drop zone is the page's).
    parts_.browser->put_RegisterAsDropTarget(VARIANT_FALSE);

    // Subscribed before the control is shown, so nothing it reports from then on is missed.
    recovering_ = std::make_shared<RecoveringHost>(host, static_cast<RecoveringHost::Page*>(this), &retryTimer_);
    parts_.sink = BrowserEventSink::Create(recovering_.get(), [](const std::string& url, bool userInitiated) {
        OpenInUserBrowser(url, userInitiated);
    });
    // Called only while the sink is attached, that is while this control lives.
    parts_.sink->WatchTopFrameErrors(parts_.object.Get(), [this](const std::string& url, LoadFailure why) {
        if (!recovering_->StandsIn(url, why)) return false;
        parts_.sink->WhenIdle(recovering_->ShowLater(url, why));
        return true;
    });
    parts_.site->SetRetry([this] { return recovering_->Reload(LocationUrl()); });
    if (auto container = parts_.object.As<IConnectionPointContainer>()) {
        if (SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, parts_.events.Put())) &&
            FAILED(parts_.events->Advise(static_cast<IDispatch*>(parts_.sink.Get()), &parts_.cookie)))
            parts_.events.Reset();
    }
    if (!parts_.events) return false;

    if (FAILED(parts_.object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, static_cast<IOleClientSite*>(parts_.site.Get()), 0, parent,
                               &position)))
        return false;
    parts_.inPlace = parts_.object.As<IOleInPlaceObject>();
    if (!parts_.inPlace || FAILED(parts_.inPlace->GetWindow(&parts_.window)) || parts_.window == nullptr) return false;
    parts_.site->SetInPlaceObject(parts_.inPlace.Get());
    parts_.site->SetEditableFocusQuery([this] { return FocusInEditableField(); });
    parts_.inPlace->SetObjectRects(&position, &position);
    ::SetWindowLongPtrW(parts_.window, GWLP_ID, kBrowserWindowId);
    if (!::IsWindowVisible(parts_.window)) ::ShowWindow(parts_.window, SW_SHOWNA);
    return true;
}

void BrowserControl::Navigate(const std::string& url) {
    if (recovering_) recovering_->Navigating(url);
    Load(url);
}

void BrowserControl::Load(const std::string& url) {
    if (!parts_.browser) return;
    Bstr address(url);
    Variant flags, target, postData, headers;
    V_VT(&flags.value) = VT_I4;
    // Neither the blank document of the built-in page nor a retry leaves an entry in the history.
    V_I4(&flags.value) = recovering_ && recovering_->ShowingBuiltInPage() ? navNoHistory : 0;
    V_VT(&target.value) = VT_BSTR;
    V_BSTR(&target.value) = nullptr;
    V_VT(&headers.value) = VT_BSTR;
    V_BSTR(&headers.value) = nullptr;
    parts_.browser->Navigate(address.Get(), &flags.value, &target.value, &postData.value, &headers.value);
}

BrowserControl::~BrowserControl() {
    auto& live = LiveControls();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    if (parts_.site) {
        parts_.site->SetEditableFocusQuery(nullptr);
        parts_.site->SetRetry(nullptr);
    }
    if (parts_.sink) parts_.sink->Detach();  // nothing reaches the host from here on
    auto parts = std::make_shared<ControlParts>(std::move(parts_));
    // Destroyed from inside one of its own notifications (the login box during the hand-off's nested
    // loop, say), the control is released only once that notification has returned to it.
    if (parts->sink)
        parts->sink->WhenIdle([parts] { parts->Close(); });
    else
        parts->Close();
}

// Into the blank document the control shows: UTF-8 with its byte-order mark, so that the document
// is read as UTF-8 whatever the system's code page.
bool BrowserControl::Write(const std::string& html) {
    if (!parts_.browser) return false;
    ComPtr<IDispatch> document;
    if (FAILED(parts_.browser->get_Document(document.Put())) || !document) return false;
    ComPtr<IPersistStreamInit> persist = document.As<IPersistStreamInit>();
    if (!persist) return false;
    static constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
    const SIZE_T size = sizeof kByteOrderMark - 1 + html.size();
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, size);
    if (memory == nullptr) return false;
    if (void* bytes = ::GlobalLock(memory)) {
        std::memcpy(bytes, kByteOrderMark, sizeof kByteOrderMark - 1);
        std::memcpy(static_cast<char*>(bytes) + sizeof kByteOrderMark - 1, html.data(), html.size());
        ::GlobalUnlock(memory);
    } else {
        ::GlobalFree(memory);
        return false;
    }
    ComPtr<IStream> stream;
    if (FAILED(::CreateStreamOnHGlobal(memory, TRUE, stream.Put()))) {
        ::GlobalFree(memory);
        return false;
    }
    // The block may be larger than asked for; its rounding is no part of the page.
    ULARGE_INTEGER length;
    length.QuadPart = size;
    if (FAILED(stream->SetSize(length))) return false;
    return SUCCEEDED(persist->InitNew()) && SUCCEEDED(persist->Load(stream.Get()));
}

void BrowserControl::WatchNetwork() {
    if (network_) return;
    network_ = NetworkWatch::Start([recovering = std::weak_ptr<RecoveringHost>(recovering_)] {
        if (auto alive = recovering.lock()) alive->NetworkAvailable();
    });
}

void ControlParts::Close() {
    if (events && cookie != 0) events->Unadvise(cookie);
    events.Reset();
    if (site) site->SetInPlaceObject(nullptr);
    if (inPlace) inPlace->InPlaceDeactivate();
    inPlace.Reset();
    browser.Reset();
    if (object) {
        object->Close(OLECLOSE_NOSAVE);
        object->SetClientSite(nullptr);
    }
    object.Reset();
    if (site) site->Detach();
    site.Reset();
    sink.Reset();
    if (window != nullptr && ::IsWindow(window)) ::DestroyWindow(window);
    window = nullptr;
}

// HTML names compared as the system compares identifiers: ordinal, ignoring case.
bool SameIgnoringCase(const Bstr& text, const wchar_t* name) {
    return text.Get() != nullptr && ::CompareStringOrdinal(text.Get(), -1, name, -1, TRUE) == CSTR_EQUAL;
}

// Text fields take Backspace as an editing key; everywhere else it would go back in history.
bool BrowserControl::FocusInEditableField() const {
    if (!parts_.browser) return false;
    ComPtr<IDispatch> document;
    if (FAILED(parts_.browser->get_Document(document.Put())) || !document) return false;
    ComPtr<IHTMLDocument2> html = document.As<IHTMLDocument2>();
    ComPtr<IHTMLElement> active;
    if (!html || FAILED(html->get_activeElement(active.Put())) || !active) return false;
    if (ComPtr<IHTMLElement3> element3 = active.As<IHTMLElement3>()) {
        VARIANT_BOOL editable = VARIANT_FALSE;
        if (SUCCEEDED(element3->get_isContentEditable(&editable)) && editable == VARIANT_TRUE) return true;
    }
    Bstr tag;
    if (FAILED(active->get_tagName(tag.Put()))) return false;
    if (SameIgnoringCase(tag, L"TEXTAREA")) return true;
    if (!SameIgnoringCase(tag, L"INPUT")) return false;
    ComPtr<IHTMLInputElement> input = active.As<IHTMLInputElement>();
    Bstr type;
    if (!input || FAILED(input->get_type(type.Put()))) return true;
    for (const wchar_t* notText : {L"button", L"submit", L"reset", L"checkbox", L"radio", L"image", L"file", L"hidden"})
        if (SameIgnoringCase(type, notText)) return false;
    return true;
}

BrowserControl* ControlHolding(HWND hwnd) {
    for (BrowserControl* control : LiveControls())
        if (control->Holds(hwnd)) return control;
    return nullptr;
}

}  // namespace

ComPtr<IUnknown> BrowserControlObject(const WebView& view) {
    const auto* control = dynamic_cast<const BrowserControl*>(&view);
    return control != nullptr ? control->Object() : ComPtr<IUnknown>();
}

bool TranslateBrowserAccelerator(MSG& message) {
    BrowserControl* control = ControlHolding(message.hwnd);
    if (control == nullptr) return false;
    // Held for the call: the key may reload the page or close the box meanwhile.
    const ComPtr<IOleInPlaceActiveObject> active = control->ActiveObject();
    if (!active) return false;
    if (active->TranslateAccelerator(&message) == S_OK) return true;
    // A Tab the control hands back has left the page's last element (Shift+Tab: its first). The
    // launcher has nothing else a key could reach, so the page gets it once more and, with no
    // element focused, starts again from its first (last). Either way the key is not dispatched: a
    // stray tab character would reach the page.
    if (!IsPlainTab(message)) return false;
    MSG again = message;
    active->TranslateAccelerator(&again);
    return true;
}

bool IsPlainTab(const MSG& message, SHORT(WINAPI* keyState)(int)) {
    return message.message == WM_KEYDOWN && message.wParam == VK_TAB && (keyState(VK_CONTROL) & 0x8000) == 0 &&
           (keyState(VK_MENU) & 0x8000) == 0;
}

bool IsRefusedBrowserHistoryButton(const MSG& message) {
    switch (message.message) {
    case WM_XBUTTONDOWN:
    case WM_XBUTTONUP:
    case WM_XBUTTONDBLCLK:
    case WM_NCXBUTTONDOWN:
    case WM_NCXBUTTONUP:
    case WM_NCXBUTTONDBLCLK:
        break;
    default:
        return false;
    }
    return ControlHolding(message.hwnd) != nullptr;
}

void FrameWindowActivated(HWND topLevel, bool active) {
    std::vector<ComPtr<IOleInPlaceActiveObject>> objects;
    for (BrowserControl* control : LiveControls())
        if (control->NativeWindow() != nullptr && ::GetAncestor(control->NativeWindow(), GA_ROOT) == topLevel)
            if (auto object = control->ActiveObject()) objects.push_back(object);
    for (auto& object : objects) object->OnFrameWindowActivate(active ? TRUE : FALSE);
}

std::unique_ptr<WebView> CreateBrowserControl(HWND parent, const Rect& rect, WebViewHost* host) {
    if (host == nullptr || !::IsWindow(parent)) return nullptr;
    auto control = std::make_unique<BrowserControl>();
    if (!control->Open(parent, rect, host)) return nullptr;  // the destructor undoes what was done
    return control;
}

}  // namespace kestrune::platform::win32
