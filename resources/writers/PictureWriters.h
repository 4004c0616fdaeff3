// PNG and GIF files written by the libraries made for them (libpng, giflib), for the programs that
// run on the build machine: the artwork generator, the fuzz seed maker and the picture-fixture
// writer. The launcher itself never writes a picture.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace kestrune::resources {

using Bytes = std::vector<std::uint8_t>;

// An 8-bit RGBA PNG of `rgba` (width x height straight-alpha pixels, rows top-down), with a tEXt
// chunk per `text` entry and an iTXt chunk per `intlText` entry. Throws std::runtime_error when
// libpng refuses.
Bytes WritePngRgba(const Bytes& rgba, int width, int height,
                   const std::vector<std::pair<std::string, std::string>>& text = {},
                   const std::vector<std::pair<std::string, std::string>>& intlText = {});

// One image of a GIF file.
struct GifFrame {
    int left = 0, top = 0, width = 0, height = 0;
    Bytes indices;              // width x height palette indices, rows top-down
    Bytes localPalette;         // RGB triples; empty: the global palette
    bool interlaced = false;
    int transparentIndex = -1;  // >= 0: a graphic control block marks it transparent
};

// A GIF89a file: the logical screen, the global palette (RGB triples; its entry count a power of
// two from 2 to 256, which also sets the smallest LZW code size) and the images in order. Throws
// std::runtime_error when giflib refuses.
Bytes WriteGif(int screenWidth, int screenHeight, const Bytes& globalPalette, const std::vector<GifFrame>& frames);

// The usual case: one image filling the screen, on the global palette.
Bytes WriteGif(const Bytes& indices, int width, int height, const Bytes& palette, bool interlaced = false,
               int transparentIndex = -1);

}  // namespace kestrune::resources
