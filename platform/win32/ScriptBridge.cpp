#include "platform/win32/ScriptBridge.h"

#include "platform/PageRecovery.h"
#include "platform/win32/WideText.h"

namespace kestrune::platform::win32 {

namespace {
constexpr DISPID kRetryId = 1;
}

ComPtr<ScriptBridge> ScriptBridge::Create(std::function<void()> retry) {
    return ComPtr<ScriptBridge>::Adopt(new ScriptBridge(std::move(retry)));
}

HRESULT ScriptBridge::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
        *object = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG ScriptBridge::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

HRESULT ScriptBridge::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT ScriptBridge::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
}

// Script names are matched as script engines match them here: exactly.
HRESULT ScriptBridge::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (names == nullptr || ids == nullptr) return E_POINTER;
    static const std::wstring retry = Widen(kRetryBridgeName);
    HRESULT answer = S_OK;
    for (UINT i = 0; i < count; ++i) {
        const bool known = i == 0 && names[i] != nullptr && retry == names[i];
        ids[i] = known ? kRetryId : DISPID_UNKNOWN;
        if (!known) answer = DISP_E_UNKNOWNNAME;
    }
    return answer;
}

HRESULT ScriptBridge::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) {
    if (result != nullptr) ::VariantInit(result);
    if (id != kRetryId) return DISP_E_MEMBERNOTFOUND;
    if ((flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
    // Copied: the retry may replace the document, and with it drop the page's reference to us.
    const std::function<void()> retry = retry_;
    const ComPtr<ScriptBridge> keep = ComPtr<ScriptBridge>::Retain(this);
    if (retry) retry();
    return S_OK;
}

}  // namespace kestrune::platform::win32
