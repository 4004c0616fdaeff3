#include "forms/PointerData.h"

#include <array>

namespace kestrune::forms {

int ResolvePointerCode(std::span<const std::uint8_t> data) {
    if (data.empty()) return 0;
    std::int32_t code = data[0];
    if (data.size() >= 4)  // little-endian, as stored
        code = static_cast<std::int32_t>(static_cast<std::uint32_t>(data[0]) | (static_cast<std::uint32_t>(data[1]) << 8) |
                                         (static_cast<std::uint32_t>(data[2]) << 16) |
                                         (static_cast<std::uint32_t>(data[3]) << 24));
    // none, arrow, cross, I-beam, wait, help, app-starting, no, size-all, NE-SW, N-S, NW-SE, W-E, up, hand
    static constexpr std::array<int, 15> kTable = {0,     32512, 32515, 32513, 32514, 32651, 32650, 32648,
                                                   32646, 32643, 32645, 32642, 32644, 32516, 32649};
    if (code >= 0 && code < static_cast<std::int32_t>(kTable.size())) return kTable[static_cast<std::size_t>(code)];
    return code;
}

}  // namespace kestrune::forms
