// What a silent box answers when a server asks for a password (HTTP authentication): no password and
// no window to ask for one in. The request then fails as refused, and the page shows the server's own
// answer to it (its 401 page) instead of a dialog box of the control's, or nothing.
//
// The control looks for this object through its client site's IServiceProvider, under the service
// IID_IAuthenticate; a box that is not silent offers none, and the control asks the user itself.
#pragma once

#include <urlmon.h>

#include "platform/win32/ComPtr.h"

namespace kestrune::platform::win32 {

// COM interfaces have no virtual destructor; the object deletes itself in Release, as its own class.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
class SilentAuthentication final : public IAuthenticate {
public:
    static ComPtr<SilentAuthentication> Create();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override;
    // No window (so no dialog box), no user name, no password: authentication refused.
    HRESULT STDMETHODCALLTYPE Authenticate(HWND* window, LPWSTR* user, LPWSTR* password) override;

private:
    SilentAuthentication() = default;
    virtual ~SilentAuthentication() = default;

    ULONG references_ = 1;
};
#pragma GCC diagnostic pop

}  // namespace kestrune::platform::win32
