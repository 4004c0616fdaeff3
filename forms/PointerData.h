// Mouse pointer data of a unit: a 4-byte code (or a cursor file) resolved to a pointer.
#pragma once

#include <cstdint>
#include <span>

namespace kestrune::forms {

inline constexpr int kPointerHand = 32649;

// The standard pointer code the data names: codes 0..14 go through the table (0 none, 14 the hand
// 32649), other codes stand for themselves. A block shorter than 4 bytes uses its first byte; an
// empty block is 0.
int ResolvePointerCode(std::span<const std::uint8_t> data);

}  // namespace kestrune::forms
