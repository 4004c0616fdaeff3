// The program's built-in artwork: picture files drawn by the artwork generator at build time and
// embedded whole. Each span stays valid for the whole run.
#pragma once

#include <cstdint>
#include <span>

namespace kestrune::resources {

// Login window background: PNG, RGBA 8 bits per channel, 1242 x 859; transparent (and only there
// pure white after flattening onto white) where the window is cut away.
std::span<const std::uint8_t> LoginBackgroundPicture();
// Picture button faces: GIF89a with a 256-entry global colour table.
std::span<const std::uint8_t> MinimizePicture();  // 24 x 23
std::span<const std::uint8_t> ClosePicture();     // 23 x 23
// Game window icon: icon file with one 64 x 64 image at 32 bits per pixel.
std::span<const std::uint8_t> GameWindowIcon();
// The same picture as a 64 x 64 RGBA PNG file: the icon of the program's desktop launchers.
std::span<const std::uint8_t> ProgramIconPng();
// The program's own hand pointer: cursor file with one 32 x 32 image at 32 bits per pixel.
std::span<const std::uint8_t> HandCursor();

}  // namespace kestrune::resources
