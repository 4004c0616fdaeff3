// Entry point on Windows (GUI subsystem, no console): library search restricted to the system
// directory, OLE for the GUI thread, the Win32 backend and the Windows system services, then the
// program itself. The exit code is the program's: 0, or -1 after a fatal error.
#include <windows.h>

#include <memory>
#include <string>

#include "app/Program.h"
#include "forms/Runtime.h"
#include "platform/Platform.h"
#include "platform/SystemServices.h"
#include "platform/win32/OleApartment.h"
#include "platform/win32/SystemLibrary.h"
#include "platform/win32/Win32DllSearch.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32SystemServices.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    namespace platform = kestrune::platform;
    // First of all, before anything loads a library by name.
    platform::win32::RestrictLibrarySearchToSystem();
    // A system function that cannot be resolved is the program's fatal runtime error.
    platform::win32::SetMissingFunctionHandler([](const std::string& message) { kestrune::forms::FatalError(message); });
    // Once for the thread, released last (after every window and browser control is gone).
    const platform::win32::OleApartment ole;

    std::unique_ptr<platform::SystemServices> services = platform::win32::CreateWin32SystemServices();
    platform::InstallSystemServices(services.get());
    std::unique_ptr<platform::Platform> backend = platform::win32::CreateWin32Platform(instance);
    if (!backend) return -1;
    platform::Install(backend.get());

    const int exitCode = kestrune::app::Run();

    platform::Install(nullptr);
    backend.reset();
    platform::InstallSystemServices(nullptr);
    return exitCode;
}
