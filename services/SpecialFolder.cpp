#include "services/SpecialFolder.h"

#include "platform/SystemServices.h"
#include "services/Path.h"

namespace kestrune::services {

std::string GetSpecialFolder(int code) {
    if (code < 1 || code > 11) return {};
    std::string path = platform::System().SpecialFolderPath(static_cast<platform::SpecialFolder>(code));
    // The last byte may be the second byte of a double-byte character, so look for a whole one.
    if (!path.empty() && FindLastCharacter(path, kPathSeparator, CurrentCodePage()) != path.size() - 1) {
        path += kPathSeparator;
    }
    return path;
}

}  // namespace kestrune::services
