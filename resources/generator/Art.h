// The built-in artwork, drawn in code: each function returns a complete picture file.
#pragma once

#include <cstdint>
#include <vector>

namespace kestrune::artwork {

using Bytes = std::vector<std::uint8_t>;

// Where the window places things on the skin (window client coordinates = picture coordinates).
inline constexpr int kSkinWidth = 1242;
inline constexpr int kSkinHeight = 859;
inline constexpr int kFrameLeft = 456, kFrameTop = 361, kFrameRight = 1041, kFrameBottom = 686;  // shape box
inline constexpr int kCloseLeft = 1034, kCloseTop = 312, kCloseSize = 23;
inline constexpr int kMinimizeLeft = 1063, kMinimizeTop = 335, kMinimizeWidth = 24, kMinimizeHeight = 23;

Bytes DrawLoginSkinPng();  // 1242 x 859 RGBA PNG
Bytes DrawCloseGif();      // 23 x 23 GIF89a, 256-entry global table
Bytes DrawMinimizeGif();   // 24 x 23 GIF89a, 256-entry global table
Bytes DrawGameIcon();      // icon file, one 64 x 64 32-bit image
// The same picture as a `size` x `size` RGBA PNG file, for the desktop's launchers and the icon theme.
Bytes DrawProgramIconPng(int size = 64);
Bytes DrawHandCursor();    // cursor file, one 32 x 32 32-bit image, hotspot at the fingertip

}  // namespace kestrune::artwork
