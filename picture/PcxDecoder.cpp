// PCX files, run-length encoded, into the indexed layout.
#include <vector>

#include "picture/Decoders.h"

namespace kestrune::ui::detail {

// PCX, 8 bits with the 256-colour palette at the end (kind 6) or 1 bit black and white (kind 7),
// one plane, run-length encoded; both come out in the indexed layout. Other layouts give none.
std::optional<DecodedPicture> DecodePcx(std::span<const std::uint8_t> bytes, int kind) {
    const std::size_t n = bytes.size();
    if (n < 128) return std::nullopt;
    const std::uint8_t* b = bytes.data();
    const unsigned bits = b[3];
    const unsigned planes = b[65];
    const std::size_t lineBytes = ReadU16(b + 66);
    const int xmin = ReadU16(b + 4), ymin = ReadU16(b + 6), xmax = ReadU16(b + 8), ymax = ReadU16(b + 10);
    if (b[2] != 1 || planes != 1 || xmax < xmin || ymax < ymin) return std::nullopt;
    if ((kind == kPicturePcx8 && bits != 8) || (kind == kPicturePcx1 && bits != 1)) return std::nullopt;
    const std::uint32_t w = static_cast<std::uint32_t>(xmax - xmin + 1), h = static_cast<std::uint32_t>(ymax - ymin + 1);
    if (!DimensionsAcceptable(w, h)) return std::nullopt;
    if (lineBytes < (bits == 8 ? w : (w + 7) / 8)) return std::nullopt;
    std::size_t end = n;
    if (kind == kPicturePcx8) {
        if (n < 128 + 769 || b[n - 769] != 0x0C) return std::nullopt;
        end = n - 769;
    }

    DecodedPicture picture;
    picture.kind = kind;
    picture.width = static_cast<int>(w);
    picture.height = static_cast<int>(h);
    const std::size_t stride = IndexedStride(w);
    picture.pixels.assign(kIndexedRowsOffset + stride * h, 0);
    std::uint8_t* out = picture.pixels.data();
    WriteIndexedHeader(out, w, h);
    std::uint8_t* palette = out + kIndexedHeaderSize;
    if (kind == kPicturePcx8) {
        const std::uint8_t* table = b + n - 768;
        for (int i = 0; i < 256; ++i) {
            palette[i * 4] = table[i * 3 + 2];
            palette[i * 4 + 1] = table[i * 3 + 1];
            palette[i * 4 + 2] = table[i * 3];
        }
    } else {
        palette[4] = palette[5] = palette[6] = 255;
    }

    std::vector<std::uint8_t> line(lineBytes);
    std::size_t pos = 128;
    std::size_t run = 0;
    std::uint8_t value = 0;
    for (std::uint32_t y = 0; y < h; ++y) {
        for (std::size_t i = 0; i < lineBytes; ++i) {
            if (run == 0) {
                if (pos >= end) return std::nullopt;
                const std::uint8_t c = b[pos++];
                if ((c & 0xC0) == 0xC0) {
                    if (pos >= end) return std::nullopt;
                    run = c & 0x3F;
                    value = b[pos++];
                } else {
                    run = 1;
                    value = c;
                }
                if (run == 0) {
                    --i;
                    continue;
                }
            }
            line[i] = value;
            --run;
        }
        std::uint8_t* row = out + kIndexedRowsOffset + stride * y;
        for (std::uint32_t x = 0; x < w; ++x)
            row[x] = bits == 8 ? line[x] : static_cast<std::uint8_t>((line[x / 8] >> (7 - (x & 7))) & 1);
    }
    return picture;
}

}  // namespace kestrune::ui::detail
