#include "platform/win32/SilentAuthentication.h"

namespace kestrune::platform::win32 {

ComPtr<SilentAuthentication> SilentAuthentication::Create() {
    return ComPtr<SilentAuthentication>::Adopt(new SilentAuthentication());
}

HRESULT SilentAuthentication::QueryInterface(REFIID riid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IAuthenticate)) return E_NOINTERFACE;
    *object = static_cast<IAuthenticate*>(this);
    AddRef();
    return S_OK;
}

ULONG SilentAuthentication::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

HRESULT SilentAuthentication::Authenticate(HWND* window, LPWSTR* user, LPWSTR* password) {
    if (window == nullptr || user == nullptr || password == nullptr) return E_INVALIDARG;
    *window = nullptr;
    *user = nullptr;
    *password = nullptr;
    return E_ACCESSDENIED;
}

}  // namespace kestrune::platform::win32
