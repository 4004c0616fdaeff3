#include "platform/SystemServices.h"

namespace kestrune::platform {

namespace {
SystemServices g_none;
SystemServices* g_installed = nullptr;
}  // namespace

SystemServices& System() { return g_installed != nullptr ? *g_installed : g_none; }
void InstallSystemServices(SystemServices* services) { g_installed = services; }

}  // namespace kestrune::platform
