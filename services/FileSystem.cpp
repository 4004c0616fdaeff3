#include "services/FileSystem.h"

#include "platform/SystemServices.h"

namespace kestrune::services {

bool FileExists(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) return false;
    return platform::System().FindFirstExists(path);
}

}  // namespace kestrune::services
