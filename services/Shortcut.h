// Link files that start a program: the platform's shell link (".desktop" entries here).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrune::services {

#ifdef _WIN32
inline constexpr std::string_view kLinkExtension = ".lnk";
#else
inline constexpr std::string_view kLinkExtension = ".desktop";
#endif

// The file a link is saved to: the link extension is appended when the name holds no full stop
// anywhere (a full stop in a folder name counts); otherwise the name is used unchanged.
std::string LinkFileName(std::string_view file);

// Creates (or replaces) a link to `target`. Omitted optional arguments are left unset. True exactly
// when the link file was saved.
bool CreateShortcut(const std::string& file, const std::string& target,
                    const std::optional<std::string>& description = std::nullopt,
                    const std::optional<std::string>& arguments = std::nullopt,
                    const std::optional<std::string>& workingDirectory = std::nullopt);

}  // namespace kestrune::services
