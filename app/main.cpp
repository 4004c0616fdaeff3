// Entry point on Linux: the GTK backend and the Linux system services, then the program itself.
#include <memory>

#include "app/Program.h"
#include "platform/Platform.h"
#include "platform/SystemServices.h"
#include "platform/gtk/GtkPlatform.h"
#include "platform/linux/LinuxSystemServices.h"

int main(int argc, char** argv) {
    std::unique_ptr<kestrune::platform::SystemServices> services = kestrune::platform::CreateLinuxSystemServices();
    kestrune::platform::InstallSystemServices(services.get());
    std::unique_ptr<kestrune::platform::Platform> platform = kestrune::platform::gtk::CreateGtkPlatform(&argc, &argv);
    if (!platform) return -1;  // no display: GTK has said why
    kestrune::platform::Install(platform.get());

    const int exitCode = kestrune::app::Run();
    // The process ends here; the backend goes without tearing the toolkit down.
    kestrune::platform::Install(nullptr);
    static_cast<void>(platform.release());
    return exitCode;
}
