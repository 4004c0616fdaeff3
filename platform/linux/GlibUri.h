// GLib's URI parser as the splitter of the external-address rule (platform/ExternalBrowser.h).
#pragma once

#include <optional>
#include <string>

#include "platform/ExternalBrowser.h"

namespace kestrune::platform {

// Strict RFC 3986 parse of an absolute address with GUri; nothing when GLib refuses it.
std::optional<UriParts> SplitUriWithGlib(const std::string& address);

}  // namespace kestrune::platform
