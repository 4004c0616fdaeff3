// The browser control's notifications as the control delivers them to its event sink: the
// dispatch id and the argument list laid out as the control lays it out (last argument first,
// addresses as references to variants, Cancel as a reference to a VARIANT_BOOL); and a host that
// records what reaches it.
#pragma once

#include <gtest/gtest.h>

#include <ole2.h>
#include <exdisp.h>
#include <exdispid.h>
#include <shobjidl.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/WebView.h"
#include "platform/win32/Bstr.h"

namespace kestrune::platform::win32 {

struct RecordingHost : WebViewHost {
    bool BeforeNavigate(const std::string& url) override {
        log.push_back("before " + url);
        if (onBeforeNavigate) onBeforeNavigate();
        return allowNavigation;
    }
    void NavigateComplete(const std::string& url) override { log.push_back("committed " + url); }
    void DocumentComplete(const std::string& url) override { log.push_back("ready " + url); }
    void DownloadBegin() override { log.push_back("download begin"); }
    void DownloadComplete() override { log.push_back("download complete"); }
    void ProgressChange(int progress, int progressMax) override {
        log.push_back("progress " + std::to_string(progress) + "/" + std::to_string(progressMax));
    }
    void StatusTextChange(const std::string& text) override { log.push_back("status " + text); }
    void TitleChange(const std::string& title) override { log.push_back("title " + title); }
    void CommandStateChange(int command, bool enabled) override {
        log.push_back("command " + std::to_string(command) + (enabled ? " on" : " off"));
    }
    bool NewWindow(const std::string& url) override {
        log.push_back("new window " + url);
        return allowNewWindow;
    }
    std::vector<std::string> log;
    bool allowNavigation = true;
    bool allowNewWindow = true;
    std::function<void()> onBeforeNavigate;
};

// Arguments given in declaration order; laid out last first, as the control passes them.
class Arguments {
public:
    explicit Arguments(std::vector<VARIANT> declared) : slots_(declared.rbegin(), declared.rend()) {
        params_.rgvarg = slots_.data();
        params_.cArgs = static_cast<UINT>(slots_.size());
        params_.rgdispidNamedArgs = nullptr;
        params_.cNamedArgs = 0;
    }
    DISPPARAMS* Get() { return &params_; }

private:
    std::vector<VARIANT> slots_;
    DISPPARAMS params_{};
};

inline VARIANT Dispatch(IDispatch* object) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = object;
    return v;
}
inline VARIANT Ref(VARIANT* target) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&v) = target;
    return v;
}
inline VARIANT BoolRef(VARIANT_BOOL* target) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BYREF | VT_BOOL;
    V_BOOLREF(&v) = target;
    return v;
}
inline VARIANT Text(BSTR text) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text;
    return v;
}
inline VARIANT Long(long value) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}
inline VARIANT Bool(bool value) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

// An object that only has an identity: the control, or one of its frames, as its notifications name
// them. Not reference counted; it lives on the test's stack.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
struct StandInObject : IDispatch {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IDispatch)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IDispatch*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
};
#pragma GCC diagnostic pop

// Sends the control's notifications to an event sink.
class ControlEvents {
public:
    virtual ~ControlEvents() = default;
    virtual IDispatch* Target() = 0;

    HRESULT Invoke(DISPID id, Arguments& args) {
        return Target()->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, args.Get(), nullptr, nullptr, nullptr);
    }
    // BeforeNavigate2 for `address`; returns the Cancel the control would read.
    VARIANT_BOOL BeforeNavigate(const std::string& address) {
        Bstr url(address);
        VARIANT urlValue = Text(url.Get());
        VARIANT flags = Long(0), target = Text(nullptr), postData, headers = Text(nullptr);
        ::VariantInit(&postData);
        VARIANT_BOOL cancel = VARIANT_FALSE;
        Arguments args({Dispatch(nullptr), Ref(&urlValue), Ref(&flags), Ref(&target), Ref(&postData), Ref(&headers),
                        BoolRef(&cancel)});
        EXPECT_EQ(Invoke(DISPID_BEFORENAVIGATE2, args), S_OK);
        return cancel;
    }
    // NewWindow3 for `address`; returns the Cancel the control would read.
    VARIANT_BOOL NewWindow3(const std::string& address, long flags = NWMF_USERINITED | NWMF_FIRST) {
        VARIANT_BOOL cancel = VARIANT_FALSE;
        Bstr url(address), context("http://127.0.0.1/login.html");
        IDispatch* window = nullptr;
        VARIANT windowRef;
        ::VariantInit(&windowRef);
        V_VT(&windowRef) = VT_BYREF | VT_DISPATCH;
        V_DISPATCHREF(&windowRef) = &window;
        Arguments args({windowRef, BoolRef(&cancel), Long(flags), Text(context.Get()), Text(url.Get())});
        EXPECT_EQ(Invoke(DISPID_NEWWINDOW3, args), S_OK);
        return cancel;
    }
    VARIANT_BOOL NewWindow2() {
        IDispatch* window = nullptr;
        VARIANT windowRef;
        ::VariantInit(&windowRef);
        V_VT(&windowRef) = VT_BYREF | VT_DISPATCH;
        V_DISPATCHREF(&windowRef) = &window;
        VARIANT_BOOL cancel = VARIANT_FALSE;
        Arguments args({windowRef, BoolRef(&cancel)});
        EXPECT_EQ(Invoke(DISPID_NEWWINDOW2, args), S_OK);
        return cancel;
    }

    // NavigateError of `frame` for `address` with `status`; returns the Cancel the control would read.
    VARIANT_BOOL NavigateError(IDispatch* frame, const std::string& address, long status) {
        Bstr url(address), target("");
        VARIANT urlValue = Text(url.Get()), targetValue = Text(target.Get()), statusValue = Long(status);
        VARIANT_BOOL cancel = VARIANT_FALSE;
        Arguments args({Dispatch(frame), Ref(&urlValue), Ref(&targetValue), Ref(&statusValue), BoolRef(&cancel)});
        EXPECT_EQ(Invoke(DISPID_NAVIGATEERROR, args), S_OK);
        return cancel;
    }
    // NavigateComplete2 or DocumentComplete (`id`) of the top frame for `address`.
    void Completed(DISPID id, IDispatch* frame, const std::string& address) {
        Bstr url(address);
        VARIANT urlValue = Text(url.Get());
        Arguments args({Dispatch(frame), Ref(&urlValue)});
        EXPECT_EQ(Invoke(id, args), S_OK);
    }
    void Simple(DISPID id) {
        Arguments none({});
        EXPECT_EQ(Invoke(id, none), S_OK);
    }
};

// Runs the thread's message loop until `done` or `ms` milliseconds have passed; gives `done()`.
inline bool PumpUntil(const std::function<bool()>& done, DWORD ms = 2000) {
    const DWORD start = ::GetTickCount();
    while (!done() && ::GetTickCount() - start < ms) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        ::Sleep(1);
    }
    return done();
}

}  // namespace kestrune::platform::win32
