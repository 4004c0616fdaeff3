#include "platform/linux/XdgFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace kestrune::platform {

namespace {

// A variable's value when it is an absolute path: the specification ignores relative ones.
const char* AbsoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? value : nullptr;
}

std::string UnderHome(const char* relative) {
    const std::string home = HomeDirectory();
    return home.empty() ? std::string() : home + relative;
}

}  // namespace

std::string HomeDirectory() {
    if (const char* home = AbsoluteVariable("HOME")) return home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* result = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result != nullptr &&
        result->pw_dir != nullptr && result->pw_dir[0] == '/') {
        return result->pw_dir;
    }
    return {};
}

std::string ConfigHome() {
    if (const char* config = AbsoluteVariable("XDG_CONFIG_HOME")) return config;
    return UnderHome("/.config");
}

std::string DataHome() {
    if (const char* data = AbsoluteVariable("XDG_DATA_HOME")) return data;
    return UnderHome("/.local/share");
}

}  // namespace kestrune::platform
