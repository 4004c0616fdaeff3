// The browser control's notifications (its DWebBrowserEvents2 dispatch interface, advised through
// the control's connection point) turned into the web view host's ten notifications.
#pragma once

#include <ole2.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/PageRecovery.h"
#include "platform/WebView.h"
#include "platform/win32/ComPtr.h"

namespace kestrune::platform::win32 {

// COM interfaces have no virtual destructor; the object deletes itself in Release, as its own class.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class BrowserEventSink final : public IDispatch {
public:
    // Takes an address the host let open in a new window (to the user's browser, by the shared
    // rule); `userInitiated` is the control's word that a click or key of the user's asked for it.
    // The control itself never makes a window.
    using Opener = std::function<void(const std::string& url, bool userInitiated)>;

    static ComPtr<BrowserEventSink> Create(WebViewHost* host, Opener openNewWindow);

    // Takes the server address the top-level page could not reach, or that stopped loading (kStopped:
    // a stopped navigation, a download cancelled), and says whether the box's built-in page will stand
    // in for it; the control's own error page is then cancelled. Called inside the control's
    // notification: anything that navigates waits for WhenIdle.
    using Unreachable = std::function<bool(const std::string& url, LoadFailure why)>;
    // `topFrame`: the control's object, compared by identity only (a frame's failure stays in it).
    void WatchTopFrameErrors(IUnknown* topFrame, Unreachable unreachable);

    // The host is not called any more after this (its view is going). A notification arriving later
    // is answered as if nobody were listening; a navigation or new window pending is cancelled.
    void Detach() { host_ = nullptr; }
    bool Attached() const { return host_ != nullptr; }
    // True while one of the control's notifications is being handled (a handler may run a nested loop).
    bool Dispatching() const { return depth_ > 0; }
    // Runs `work` from the message loop once the outermost notification being handled has returned
    // to the control (which may still read its Cancel argument after the handler); at once when none
    // is being handled.
    void WhenIdle(std::function<void()> work);

    // ---- IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // ---- IDispatch: only Invoke does anything; the control calls it by dispatch id.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

private:
    BrowserEventSink(WebViewHost* host, Opener openNewWindow) : host_(host), openNewWindow_(std::move(openNewWindow)) {}
    virtual ~BrowserEventSink() = default;

    void Dispatch(DISPID id, const DISPPARAMS& params);
    // A new-window request: asks the host (once per request) and answers the control's Cancel.
    void NewWindowRequest(VARIANT_BOOL* cancel, const std::string& url, bool urlKnown, bool userInitiated);

    bool IsTopFrame(const VARIANT* frame) const;
    void NavigateError(const DISPPARAMS& params);
    void FileDownload(const DISPPARAMS& params);

    ULONG references_ = 1;
    int depth_ = 0;
    std::vector<std::function<void()>> whenIdle_;
    WebViewHost* host_;
    Opener openNewWindow_;
    IUnknown* topFrame_ = nullptr;  // identity only: never called
    Unreachable unreachable_;
    // The control announces one request twice, first without its address (NewWindow2) and then with
    // it (NewWindow3): the host's answer to the first is kept for the second.
    bool newWindowAnswered_ = false;
    bool newWindowAllowed_ = false;
    std::string lastNavigation_;  // the address of the last navigation the host let go ahead
};
#pragma GCC diagnostic pop

// What a navigation error's status code (an HRESULT, or the HTTP status the server answered with)
// says of the server: not reached (a failure of the connection), not trusted (its certificate), or
// nothing known (kStopped: any other failure, a stopped load among them); nothing for an answer of
// the server's, which has a page of its own.
std::optional<LoadFailure> ServerFailureOf(long status);

}  // namespace kestrune::platform::win32
