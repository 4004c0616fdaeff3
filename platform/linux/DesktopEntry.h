// The text of a freedesktop desktop entry (Type=Application) for a link: its Exec line, quoted
// argument by argument as freedesktop.org's desktop-entry format asks, and the whole key file.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/SystemServices.h"

namespace kestrune::platform {

// One argument of a desktop entry's Exec line: always double-quoted, with '"', '`', '$' and '\'
// escaped by a backslash and '%' doubled. This is the Exec value before the key file's own string
// escaping (GKeyFile adds that when the entry is written).
std::string QuoteExecArgument(std::string_view argument);

// The Exec value for a link: the quoted target, then each argument of `arguments` (split like a
// shell command line) quoted on its own. nullopt when the arguments cannot be split.
std::optional<std::string> DesktopExecLine(const LinkSpec& link);

// The complete desktop entry text written for `link` saved as `file` (Name is the file's base name
// without ".desktop"). nullopt when the Exec line cannot be built.
std::optional<std::string> DesktopEntryText(const std::string& file, const LinkSpec& link);

}  // namespace kestrune::platform
