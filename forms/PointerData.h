// Mouse pointer data of a unit: a 4-byte code (or a cursor file) resolved to a pointer.
#pragma once

#include <cstdint>
#include <span>

#include "platform/Platform.h"

namespace kestrune::forms {

inline constexpr int kPointerHand = 32649;

// The standard pointer code the data names: codes 0..14 go through the table (0 none, 14 the hand
// 32649), other codes stand for themselves. A block shorter than 4 bytes uses its first byte; an
// empty block is 0.
int ResolvePointerCode(std::span<const std::uint8_t> data);

// The cursor file the program carries for a standard code (the hand); the bytes must outlive every
// load. An empty file forgets it, so the system's pointer of that code is used again.
void SetProgramPointer(int code, std::span<const std::uint8_t> cursorFile);

// Loads the pointer the data names, or 0 for none: a block of more than 10 bytes is first tried as
// a whole cursor file, code -1 is followed by one; a code the program carries a cursor for takes
// that one, any other code the system's. The caller destroys what it gets.
platform::CursorId LoadPointer(platform::Platform& pf, std::span<const std::uint8_t> data);

}  // namespace kestrune::forms
