// The object a page reaches as window.external: one method, named by the page's own retry button
// (kRetryBridgeName), that asks the box to load the unreachable address again. Any page can call it;
// it does something only while the launcher's own page for an unreachable server is shown.
#pragma once

#include <oaidl.h>

#include <functional>

#include "platform/win32/ComPtr.h"

namespace kestrune::platform::win32 {

// COM interfaces have no virtual destructor; the object deletes itself in Release, as its own class.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class ScriptBridge final : public IDispatch {
public:
    static ComPtr<ScriptBridge> Create(std::function<void()> retry);
    // The box is going: calls from pages still holding the object do nothing.
    void Forget() { retry_ = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argumentError) override;

private:
    explicit ScriptBridge(std::function<void()> retry) : retry_(std::move(retry)) {}
    virtual ~ScriptBridge() = default;

    ULONG references_ = 1;
    std::function<void()> retry_;
};
#pragma GCC diagnostic pop

}  // namespace kestrune::platform::win32
