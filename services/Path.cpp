#include "services/Path.h"

namespace kestrune::services {

namespace {
PathParts g_executable;
}

PathParts SplitAtLastSeparator(std::string_view path, char separator, CodePage codePage) {
    const std::size_t at = FindLastCharacter(path, separator, codePage);
    if (at == std::string_view::npos) return {std::string(), std::string(path)};
    return {std::string(path.substr(0, at)), std::string(path.substr(at + 1))};
}

void InitExecutablePath(const std::string& fullPath) { g_executable = SplitAtLastSeparator(fullPath); }

std::string GetRunDirectory() { return g_executable.directory; }
std::string GetExeFileName() { return g_executable.fileName; }

}  // namespace kestrune::services
