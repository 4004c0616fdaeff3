// Preparing the machine before the login page shows: browser emulation values (services/BrowserEmulation.h),
// the window's outline and the desktop link.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace kestrune::app {

// Creation handler of LoginWindow.
std::optional<std::int32_t> OnLoginWindowCreated(std::span<const std::int32_t> args);

}  // namespace kestrune::app
