#include "services/Shortcut.h"

#include "platform/SystemServices.h"

namespace kestrune::services {

std::string LinkFileName(std::string_view file) {
    std::string name(file);
    if (name.find('.') == std::string::npos) name += kLinkExtension;
    return name;
}

bool CreateShortcut(const std::string& file, const std::string& target, const std::optional<std::string>& description,
                    const std::optional<std::string>& arguments,
                    const std::optional<std::string>& workingDirectory) {
    if (file.empty() || target.empty()) return false;
    platform::LinkSpec link;
    link.target = target;
    link.description = description;
    link.arguments = arguments;
    link.workingDirectory = workingDirectory;
    return platform::System().WriteLink(LinkFileName(file), link);
}

}  // namespace kestrune::services
