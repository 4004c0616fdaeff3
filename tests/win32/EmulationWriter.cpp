// Child program of the registry tests: writes the browser-mode values named after its own file
// name, as start-up does, and exits 0 when both are stored.
#include "platform/SystemServices.h"
#include "platform/win32/Win32SystemServices.h"
#include "services/BrowserEmulation.h"
#include "services/Path.h"

int main() {
    auto system = kestrune::platform::win32::CreateWin32SystemServices();
    kestrune::platform::InstallSystemServices(system.get());
    const std::string path = system->ExecutablePath();
    if (path.empty()) return 2;
    kestrune::services::InitExecutablePath(path);
    kestrune::services::ApplyBrowserEmulation(1);
    const auto mode = kestrune::services::ReadBrowserEmulation(kestrune::services::GetExeFileName());
    return mode.emulationLevel == 8000 ? 0 : 1;
}
