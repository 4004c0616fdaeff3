// GLib's URI parser as the splitter of the external-address rule (platform/ExternalBrowser.h): a
// strict RFC 3986 parse of an absolute address with GUri; nothing when GLib refuses it.
#include <glib.h>

#include "platform/ExternalBrowser.h"

namespace kestrune::platform {

std::optional<UriParts> SplitUriWithSystemParser(const std::string& address) {
    GUri* uri = g_uri_parse(address.c_str(), G_URI_FLAGS_NONE, nullptr);
    if (uri == nullptr) return std::nullopt;
    UriParts parts;
    if (const char* scheme = g_uri_get_scheme(uri)) parts.scheme = scheme;  // GLib gives it in lower case
    if (const char* host = g_uri_get_host(uri)) parts.host = host;
    g_uri_unref(uri);
    return parts;
}

}  // namespace kestrune::platform
