// Icon and cursor files holding one 32-bit image with its AND mask, as the artwork generator draws
// them and tests build them. (A container of an uncompressed bitmap: PNG and GIF files come from
// their libraries, resources/writers/.)
#pragma once

#include <cstdint>
#include <vector>

namespace kestrune::resources {

using Bytes = std::vector<std::uint8_t>;

// An icon (or, with `cursor`, a cursor with the hotspot) file holding one 32-bit image with its
// AND mask (bit set where alpha is 0). `bgra`: rows top-down, 4 bytes each; at most 256 x 256.
Bytes EncodeIconFile(const Bytes& bgra, int width, int height, bool cursor = false, int hotspotX = 0,
                     int hotspotY = 0);

}  // namespace kestrune::resources
