// Preparing the machine before the login page shows: browser emulation values (services/BrowserEmulation.h),
// the window's outline and the desktop link.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace kestrune::app {

// Start-up, before the first window: writes the browser-mode values. The system browser reads them
// once, when the first browser box of the process is created, and the login window's browser box
// exists before the window's creation handler runs; written only from there, the very first start
// would run in the default mode.
void PrepareBrowserModes();

// Creation handler of LoginWindow.
std::optional<std::int32_t> OnLoginWindowCreated(std::span<const std::int32_t> args);

}  // namespace kestrune::app
