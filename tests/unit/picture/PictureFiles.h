// Small picture files built in memory for the decoder tests (JPEG files come from
// JpegFiles.h, on the build machine).
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "resources/IconFile.h"

namespace picture_test {

using Bytes = std::vector<std::uint8_t>;

inline void PutU16(Bytes& b, unsigned v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void PutU32(Bytes& b, std::uint32_t v) {
    PutU16(b, v & 0xFFFF);
    PutU16(b, v >> 16);
}

// A BMP file. `rgb` holds width x height pixels top-down (3 bytes each) for 24 bits; for 8 bits
// `rgb` holds indices (1 byte each) and `palette` 4-byte entries (blue, green, red, 0).
inline Bytes MakeBmp(int width, int height, int bits, const Bytes& pixels, const Bytes& palette = {},
                     bool topDown = false, std::uint32_t compression = 0) {
    const std::size_t rowBytes = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
    const std::uint32_t offset = 54 + static_cast<std::uint32_t>(palette.size());
    Bytes b = {'B', 'M'};
    PutU32(b, offset + static_cast<std::uint32_t>(rowBytes * height));
    PutU32(b, 0);
    PutU32(b, offset);
    PutU32(b, 40);
    PutU32(b, static_cast<std::uint32_t>(width));
    PutU32(b, static_cast<std::uint32_t>(topDown ? -height : height));
    PutU16(b, 1);
    PutU16(b, static_cast<unsigned>(bits));
    PutU32(b, compression);
    PutU32(b, static_cast<std::uint32_t>(rowBytes * height));
    PutU32(b, 2835);
    PutU32(b, 2835);
    PutU32(b, static_cast<std::uint32_t>(palette.size() / 4));
    PutU32(b, 0);
    b.insert(b.end(), palette.begin(), palette.end());
    const int bpp = bits / 8;
    for (int i = 0; i < height; ++i) {
        const int y = topDown ? i : height - 1 - i;  // file order
        Bytes row(rowBytes, 0);
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* s = pixels.data() + (static_cast<std::size_t>(y) * width + x) * bpp;
            if (bits == 24) {
                row[x * 3] = s[2];  // blue
                row[x * 3 + 1] = s[1];
                row[x * 3 + 2] = s[0];
            } else {
                row[static_cast<std::size_t>(x)] = s[0];
            }
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    return b;
}

}  // namespace picture_test
