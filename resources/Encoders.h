// Writers for the picture files the artwork generator produces: PNG (RGBA, one IDAT), GIF89a with
// LZW, and icon/cursor files with one 32-bit image. Tests use them to build inputs too.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kestrune::resources {

using Bytes = std::vector<std::uint8_t>;

// `rgba`: width x height pixels, rows top-down, 4 bytes each (straight alpha). Chunks: IHDR, one
// tEXt per `text` entry, one iTXt per `intlText` entry, one IDAT, IEND.
Bytes EncodePngRgba(const Bytes& rgba, int width, int height,
                    const std::vector<std::pair<std::string, std::string>>& text = {},
                    const std::vector<std::pair<std::string, std::string>>& intlText = {});

struct GifOptions {
    bool interlaced = false;
    int transparentIndex = -1;  // >= 0: a graphic control block marks this index transparent
    int screenWidth = 0;        // logical screen; 0: the image's size
    int screenHeight = 0;
    int left = 0;
    int top = 0;
    bool localTable = false;    // the palette goes into the image descriptor instead of the header
    int minCodeSize = 8;
};

// `indices`: width x height palette indices, rows top-down. `paletteRgb`: 3 bytes per entry, the
// entry count a power of two from 2 to 256.
Bytes EncodeGif(const Bytes& indices, int width, int height, const Bytes& paletteRgb, const GifOptions& options = {});

// The LZW code stream (without sub-block framing) of `indices` with the given minimum code size.
Bytes LzwEncode(const Bytes& indices, int minCodeSize);

// An icon (or, with `cursor`, a cursor with the hotspot) file holding one 32-bit image with its
// AND mask (bit set where alpha is 0). `bgra`: rows top-down, 4 bytes each.
Bytes EncodeIconFile(const Bytes& bgra, int width, int height, bool cursor = false, int hotspotX = 0,
                     int hotspotY = 0);

}  // namespace kestrune::resources
