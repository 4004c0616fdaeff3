#include "platform/win32/BrowserEventSink.h"

#include <exdisp.h>
#include <exdispid.h>
#include <shobjidl.h>
#include <urlmon.h>

#include "platform/PageRecovery.h"
#include "platform/win32/Bstr.h"

namespace kestrune::platform::win32 {

namespace {

// The control passes the arguments of a notification last first: argument i of n is rgvarg[n - 1 - i].
const VARIANT* Argument(const DISPPARAMS& params, UINT index, UINT count) {
    if (params.cArgs != count || params.rgvarg == nullptr) return nullptr;
    return &params.rgvarg[count - 1 - index];
}

// Arguments given by reference to a variant (the addresses, for one) are read through it.
const VARIANT* Dereferenced(const VARIANT* value) {
    while (value != nullptr && V_VT(value) == (VT_BYREF | VT_VARIANT)) value = V_VARIANTREF(value);
    return value;
}

std::string TextOf(const VARIANT* value) {
    value = Dereferenced(value);
    if (value == nullptr) return {};
    if (V_VT(value) == VT_BSTR) return Bstr::ToUtf8(V_BSTR(value));
    if (V_VT(value) == (VT_BYREF | VT_BSTR)) return V_BSTRREF(value) != nullptr ? Bstr::ToUtf8(*V_BSTRREF(value)) : std::string();
    VARIANT converted;
    ::VariantInit(&converted);
    std::string text;
    if (SUCCEEDED(::VariantChangeType(&converted, const_cast<VARIANT*>(value), 0, VT_BSTR))) text = Bstr::ToUtf8(V_BSTR(&converted));
    ::VariantClear(&converted);
    return text;
}

long LongOf(const VARIANT* value) {
    value = Dereferenced(value);
    if (value == nullptr) return 0;
    if (V_VT(value) == VT_I4) return V_I4(value);
    VARIANT converted;
    ::VariantInit(&converted);
    long number = 0;
    if (SUCCEEDED(::VariantChangeType(&converted, const_cast<VARIANT*>(value), 0, VT_I4))) number = V_I4(&converted);
    ::VariantClear(&converted);
    return number;
}

bool BoolOf(const VARIANT* value) { return LongOf(value) != 0; }

// The Cancel argument: a VARIANT_BOOL the control reads once the notification returns.
VARIANT_BOOL* CancelOf(const VARIANT* value) {
    value = Dereferenced(value);
    return value != nullptr && V_VT(value) == (VT_BYREF | VT_BOOL) ? V_BOOLREF(value) : nullptr;
}

void SetCancel(VARIANT_BOOL* cancel, bool cancelled) {
    if (cancel != nullptr && cancelled) *cancel = VARIANT_TRUE;
}

// Work for the loop: a one-shot thread timer runs it once the control's call has unwound.
std::vector<std::function<void()>>& LoopWork() {
    static std::vector<std::function<void()>> work;
    return work;
}

VOID CALLBACK RunLoopWork(HWND, UINT, UINT_PTR timer, DWORD) {
    ::KillTimer(nullptr, timer);
    auto work = std::move(LoopWork());
    LoopWork().clear();
    for (auto& item : work) item();
}

void PostToLoop(std::function<void()> work) {
    LoopWork().push_back(std::move(work));
    if (LoopWork().size() == 1 && ::SetTimer(nullptr, 0, 0, &RunLoopWork) == 0) RunLoopWork(nullptr, 0, 0, 0);
}

}  // namespace

ComPtr<BrowserEventSink> BrowserEventSink::Create(WebViewHost* host, Opener openNewWindow) {
    return ComPtr<BrowserEventSink>::Adopt(new BrowserEventSink(host, std::move(openNewWindow)));
}

HRESULT BrowserEventSink::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, DIID_DWebBrowserEvents2)) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG BrowserEventSink::AddRef() { return ++references_; }

ULONG BrowserEventSink::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

HRESULT BrowserEventSink::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT BrowserEventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
}

HRESULT BrowserEventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT BrowserEventSink::Invoke(DISPID id, REFIID riid, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                                 UINT*) {
    if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (result != nullptr) ::VariantInit(result);
    if (params == nullptr) return E_INVALIDARG;
    // A handler may end the view (and with it the last reference the control holds) meanwhile.
    const ComPtr<BrowserEventSink> keep = [this] {
        AddRef();
        return ComPtr<BrowserEventSink>::Adopt(this);
    }();
    ++depth_;
    Dispatch(id, *params);
    if (--depth_ == 0 && !whenIdle_.empty()) {
        for (auto& item : whenIdle_) PostToLoop(std::move(item));
        whenIdle_.clear();
    }
    return S_OK;
}

void BrowserEventSink::WhenIdle(std::function<void()> work) {
    if (depth_ == 0)
        work();
    else
        whenIdle_.push_back(std::move(work));
}

void BrowserEventSink::Dispatch(DISPID id, const DISPPARAMS& params) {
    // Only the second announcement of a new-window request follows the first; anything else ends it.
    if (id != DISPID_NEWWINDOW2 && id != DISPID_NEWWINDOW3) newWindowAnswered_ = false;
    switch (id) {
    case DISPID_BEFORENAVIGATE2: {  // (frame, address, flags, target frame, post data, headers, cancel)
        VARIANT_BOOL* cancel = CancelOf(Argument(params, 6, 7));
        if (cancel == nullptr) return;
        const std::string url = TextOf(Argument(params, 1, 7));
        const bool allowed = host_ != nullptr && host_->BeforeNavigate(url);
        // A view that went while its host decided has nobody left to show the page to.
        SetCancel(cancel, !allowed || host_ == nullptr);
        // A download names no address of its own: it is the navigation that went ahead last.
        lastNavigation_ = allowed && host_ != nullptr ? url : std::string();
        return;
    }
    case DISPID_FILEDOWNLOAD:  // (the control will show it itself, cancel)
        FileDownload(params);
        return;
    case DISPID_NAVIGATECOMPLETE2:  // (frame, address)
        if (params.cArgs == 2 && host_ != nullptr) host_->NavigateComplete(TextOf(Argument(params, 1, 2)));
        return;
    case DISPID_DOCUMENTCOMPLETE:  // (frame, address)
        if (params.cArgs == 2 && host_ != nullptr) host_->DocumentComplete(TextOf(Argument(params, 1, 2)));
        return;
    case DISPID_DOWNLOADBEGIN:
        if (host_ != nullptr) host_->DownloadBegin();
        return;
    case DISPID_DOWNLOADCOMPLETE:
        if (host_ != nullptr) host_->DownloadComplete();
        return;
    case DISPID_PROGRESSCHANGE:  // (progress, maximum)
        if (params.cArgs == 2 && host_ != nullptr)
            host_->ProgressChange(static_cast<int>(LongOf(Argument(params, 0, 2))),
                                  static_cast<int>(LongOf(Argument(params, 1, 2))));
        return;
    case DISPID_STATUSTEXTCHANGE:  // (text)
        if (params.cArgs == 1 && host_ != nullptr) host_->StatusTextChange(TextOf(Argument(params, 0, 1)));
        return;
    case DISPID_TITLECHANGE:  // (text)
        if (params.cArgs == 1 && host_ != nullptr) host_->TitleChange(TextOf(Argument(params, 0, 1)));
        return;
    case DISPID_COMMANDSTATECHANGE:  // (command, enabled)
        if (params.cArgs == 2 && host_ != nullptr)
            host_->CommandStateChange(static_cast<int>(LongOf(Argument(params, 0, 2))), BoolOf(Argument(params, 1, 2)));
        return;
    case DISPID_NEWWINDOW2:  // (new window object, cancel)
        if (VARIANT_BOOL* cancel = CancelOf(Argument(params, 1, 2))) NewWindowRequest(cancel, {}, false, false);
        return;
    case DISPID_NEWWINDOW3:  // (new window object, cancel, flags, address of the page asking, address)
        if (VARIANT_BOOL* cancel = CancelOf(Argument(params, 1, 5)))
            NewWindowRequest(cancel, TextOf(Argument(params, 4, 5)), true,
                             (static_cast<unsigned long>(LongOf(Argument(params, 2, 5))) & NWMF_USERINITED) != 0);
        return;
    case DISPID_NAVIGATEERROR:
        NavigateError(params);
        return;
    case DISPID_WINDOWCLOSING:  // (is a child window, cancel): a page's window.close() never ends the box
        SetCancel(CancelOf(Argument(params, 1, 2)), true);
        return;
    default:
        return;  // property change, quit, visibility and the rest: nothing to tell
    }
}

// A file the control would save (an attachment, a type it cannot show): the launcher saves nothing
// into the player's folders, so it is cancelled and its address goes to the user's own browser, by
// the same rule as a new window. A document the control shows itself goes ahead.
void BrowserEventSink::FileDownload(const DISPPARAMS& params) {
    VARIANT_BOOL* cancel = CancelOf(Argument(params, 1, 2));
    if (cancel == nullptr) return;
    std::string address = std::move(lastNavigation_);
    lastNavigation_.clear();
    if (params.cArgs == 2 && BoolOf(Argument(params, 0, 2))) return;
    SetCancel(cancel, true);
    if (host_ != nullptr && !address.empty() && openNewWindow_) openNewWindow_(address, true);
    // A box whose own page this was is left with nothing to show.
    if (host_ != nullptr && unreachable_) {
        const Unreachable unreachable = unreachable_;
        unreachable(address, LoadFailure::kStopped);
    }
}

void BrowserEventSink::WatchTopFrameErrors(IUnknown* topFrame, Unreachable unreachable) {
    topFrame_ = nullptr;
    ComPtr<IUnknown> identity;
    if (topFrame != nullptr && SUCCEEDED(topFrame->QueryInterface(IID_IUnknown, identity.PutVoid())))
        topFrame_ = identity.Get();  // alive as long as the control, which outlives this sink's use
    unreachable_ = std::move(unreachable);
}

bool BrowserEventSink::IsTopFrame(const VARIANT* frame) const {
    frame = Dereferenced(frame);
    if (topFrame_ == nullptr || frame == nullptr || V_VT(frame) != VT_DISPATCH || V_DISPATCH(frame) == nullptr)
        return false;
    ComPtr<IUnknown> identity;
    return SUCCEEDED(V_DISPATCH(frame)->QueryInterface(IID_IUnknown, identity.PutVoid())) && identity.Get() == topFrame_;
}

// (frame, address, target frame name, status code, cancel)
void BrowserEventSink::NavigateError(const DISPPARAMS& params) {
    VARIANT_BOOL* cancel = CancelOf(Argument(params, 4, 5));
    if (cancel == nullptr || host_ == nullptr || !unreachable_) return;
    if (!IsTopFrame(Argument(params, 0, 5))) return;
    const std::optional<LoadFailure> failure = ServerFailureOf(LongOf(Argument(params, 3, 5)));
    if (!failure) return;
    const std::string url = TextOf(Argument(params, 1, 5));
    if (!IsServerAddress(url)) return;  // nothing of the launcher's replaces the control's page for it
    const Unreachable unreachable = unreachable_;  // the handler may end the view
    // No error page of the control's own where the built-in page comes; a stopped load that leaves a
    // page shown keeps the control's way.
    if (unreachable(url, *failure)) SetCancel(cancel, true);
}

std::optional<LoadFailure> ServerFailureOf(long status) {
    // The failures of the connection and of its security. Not among them: an HTTP status (the server
    // answered, and its page stands), a stopped load, and content the control has no viewer for.
    switch (static_cast<HRESULT>(status)) {
    case INET_E_SECURITY_PROBLEM:
    case INET_E_INVALID_CERTIFICATE:
        return LoadFailure::kInsecure;
    case INET_E_NO_SESSION:
    case INET_E_CANNOT_CONNECT:
    case INET_E_RESOURCE_NOT_FOUND:
    case INET_E_OBJECT_NOT_FOUND:
    case INET_E_DATA_NOT_AVAILABLE:
    case INET_E_DOWNLOAD_FAILURE:
    case INET_E_CONNECTION_TIMEOUT:
    case INET_E_REDIRECT_FAILED:
        return LoadFailure::kUnreachable;
    case INET_E_AUTHENTICATION_REQUIRED:  // the server answered; it only wants what a silent box withholds
        return std::nullopt;
    default:
        return FAILED(static_cast<HRESULT>(status)) ? std::optional(LoadFailure::kStopped) : std::nullopt;
    }
}

void BrowserEventSink::NewWindowRequest(VARIANT_BOOL* cancel, const std::string& url, bool urlKnown,
                                        bool userInitiated) {
    bool allowed;
    if (urlKnown && newWindowAnswered_) {
        allowed = newWindowAllowed_;  // the host was asked when the request was first announced
    } else {
        allowed = host_ != nullptr && host_->NewWindow(url);
        allowed = allowed && host_ != nullptr;
    }
    newWindowAnswered_ = !urlKnown;
    newWindowAllowed_ = allowed;
    // The first announcement has no address yet: a request the host lets go waits for the second.
    if (!urlKnown && allowed) return;
    // Left alone, the control would open the address in a stand-alone browser window outside the
    // launcher, whatever its scheme: every request is cancelled, and a permitted one is handed over.
    SetCancel(cancel, true);
    if (allowed && urlKnown && openNewWindow_) openNewWindow_(url, userInitiated);
}

}  // namespace kestrune::platform::win32
