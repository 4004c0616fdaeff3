// The launcher's logic around its two browser boxes: the hand-off from the login page to the game
// window, hooking the pages, and the game window's layout.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kestrune::app {

std::optional<std::int32_t> OnLoginBrowserEvent(std::span<const std::int32_t> args);
std::optional<std::int32_t> HookLoginBrowser(std::span<const std::int32_t> args);
std::optional<std::int32_t> OnGameWindowCreated(std::span<const std::int32_t> args);
std::optional<std::int32_t> OnGameWindowResized(std::span<const std::int32_t> args);
std::optional<std::int32_t> HookGameBrowser(std::span<const std::int32_t> args);
// Bound to the game browser's about-to-navigate event: ends without a value.
std::optional<std::int32_t> OnGameBrowserNavigate(std::span<const std::int32_t> args);
// Exit routine.
void FreeGameUrl();

// The address captured at the last hand-off (empty before the first).
const std::string& GameUrl();

}  // namespace kestrune::app
