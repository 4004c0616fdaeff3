#include "platform/SystemServices.h"

namespace kestrune::platform {

namespace {
SystemServices g_none;
SystemServices* g_installed = nullptr;
}  // namespace

std::string_view RegistryRootName(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::ClassesRoot: return "HKEY_CLASSES_ROOT";
        case RegistryRoot::CurrentConfig: return "HKEY_CURRENT_CONFIG";
        case RegistryRoot::CurrentUser: return "HKEY_CURRENT_USER";
        case RegistryRoot::LocalMachine: return "HKEY_LOCAL_MACHINE";
        case RegistryRoot::Users: return "HKEY_USERS";
    }
    return {};
}

SystemServices& System() { return g_installed != nullptr ? *g_installed : g_none; }
void InstallSystemServices(SystemServices* services) { g_installed = services; }

}  // namespace kestrune::platform
