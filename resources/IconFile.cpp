#include "resources/IconFile.h"

#include <stdexcept>

namespace kestrune::resources {

namespace {

void PutU16LE(Bytes& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void PutU32LE(Bytes& out, std::uint32_t v) {
    PutU16LE(out, v & 0xFFFF);
    PutU16LE(out, v >> 16);
}

}  // namespace

Bytes EncodeIconFile(const Bytes& bgra, int width, int height, bool cursor, int hotspotX, int hotspotY) {
    if (width <= 0 || height <= 0 || width > 256 || height > 256 ||
        bgra.size() != static_cast<std::size_t>(width) * height * 4)
        throw std::invalid_argument("EncodeIconFile: size mismatch");
    const std::size_t maskRow = ((static_cast<std::size_t>(width) + 31) / 32) * 4;
    const std::size_t colourBytes = static_cast<std::size_t>(width) * height * 4;
    const std::size_t imageBytes = 40 + colourBytes + maskRow * height;
    Bytes out;
    PutU16LE(out, 0);
    PutU16LE(out, cursor ? 2 : 1);
    PutU16LE(out, 1);
    out.push_back(static_cast<std::uint8_t>(width == 256 ? 0 : width));
    out.push_back(static_cast<std::uint8_t>(height == 256 ? 0 : height));
    out.push_back(0);  // colour count: more than 256
    out.push_back(0);
    PutU16LE(out, cursor ? static_cast<unsigned>(hotspotX) : 1);   // planes, or the hotspot's x
    PutU16LE(out, cursor ? static_cast<unsigned>(hotspotY) : 32);  // bits, or the hotspot's y
    PutU32LE(out, static_cast<std::uint32_t>(imageBytes));
    PutU32LE(out, 22);
    PutU32LE(out, 40);
    PutU32LE(out, static_cast<std::uint32_t>(width));
    PutU32LE(out, static_cast<std::uint32_t>(height * 2));
    PutU16LE(out, 1);
    PutU16LE(out, 32);
    PutU32LE(out, 0);
    PutU32LE(out, static_cast<std::uint32_t>(colourBytes + maskRow * height));
    for (int i = 0; i < 4; ++i) PutU32LE(out, 0);
    for (int y = height - 1; y >= 0; --y) {
        const auto row = bgra.begin() + static_cast<std::ptrdiff_t>(y) * width * 4;
        out.insert(out.end(), row, row + width * 4);
    }
    for (int y = height - 1; y >= 0; --y) {
        Bytes mask(maskRow, 0);
        for (int x = 0; x < width; ++x)
            if (bgra[(static_cast<std::size_t>(y) * width + x) * 4 + 3] == 0)
                mask[static_cast<std::size_t>(x) / 8] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
        out.insert(out.end(), mask.begin(), mask.end());
    }
    return out;
}

}  // namespace kestrune::resources
