// Preparing the machine before the login page shows: browser emulation values and the desktop link.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace kestrune::app {

void ApplyBrowserEmulation(int level);
// Creation handler of LoginWindow.
std::optional<std::int32_t> OnLoginWindowCreated(std::span<const std::int32_t> args);

}  // namespace kestrune::app
