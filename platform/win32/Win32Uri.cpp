// The system's URI object (CreateUri) as the splitter of the external-address rule
// (platform/ExternalBrowser.h): the address is parsed by the URI grammar, as the shell will read it,
// never by its prefix.
#include <windows.h>
#include <urlmon.h>

#include "platform/ExternalBrowser.h"
#include "platform/win32/Bstr.h"
#include "platform/win32/ComPtr.h"
#include "platform/win32/WideText.h"

namespace kestrune::platform {

std::optional<UriParts> SplitUriWithSystemParser(const std::string& address) {
    const std::wstring wide = win32::Widen(address);
    // An embedded NUL would end the text the parser sees early; such an address is no address.
    if (wide.find(L'\0') != std::wstring::npos) return std::nullopt;
    win32::ComPtr<IUri> uri;
    // No canonicalisation and no implied scheme: the parts are read as they were written.
    if (FAILED(::CreateUri(wide.c_str(), Uri_CREATE_NO_CANONICALIZE, 0, uri.Put())) || !uri) return std::nullopt;
    UriParts parts;
    win32::Bstr scheme;
    if (SUCCEEDED(uri->GetSchemeName(scheme.Put()))) parts.scheme = scheme.Utf8();
    DWORD hostType = Uri_HOST_UNKNOWN;
    win32::Bstr host;
    if (SUCCEEDED(uri->GetHostType(&hostType)) && hostType != Uri_HOST_UNKNOWN && uri->GetHost(host.Put()) == S_OK)
        parts.host = host.Utf8();
    return parts;
}

}  // namespace kestrune::platform
