// Writes a seed corpus for the picture fuzz target: small valid files of every format.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "resources/IconFile.h"
#include "resources/writers/PictureWriters.h"
#include "tests/unit/picture/JpegFiles.h"
#include "tests/unit/picture/PictureFiles.h"

namespace {

using kestrune::resources::Bytes;

void Write(const std::string& dir, const std::string& name, const Bytes& bytes) {
    std::ofstream out(dir + "/" + name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

using picture_test::PutU16;
using picture_test::PutU32;

Bytes Bmp(int w, int h, int bits) {
    const std::size_t row = ((static_cast<std::size_t>(w) * bits + 31) / 32) * 4;
    const std::uint32_t palette = bits <= 8 ? (1u << bits) * 4 : 0;
    Bytes b = {'B', 'M'};
    PutU32(b, static_cast<std::uint32_t>(54 + palette + row * h));
    PutU32(b, 0);
    PutU32(b, 54 + palette);
    PutU32(b, 40);
    PutU32(b, static_cast<std::uint32_t>(w));
    PutU32(b, static_cast<std::uint32_t>(h));
    PutU16(b, 1);
    PutU16(b, static_cast<unsigned>(bits));
    for (int i = 0; i < 6; ++i) PutU32(b, 0);
    for (std::uint32_t i = 0; i < palette; ++i) b.push_back(static_cast<std::uint8_t>(i * 37));
    for (std::size_t i = 0; i < row * h; ++i) b.push_back(static_cast<std::uint8_t>(i * 13));
    return b;
}

Bytes Jpeg(int w, int h, int components) {
    Bytes samples(static_cast<std::size_t>(w) * h * components);
    const std::size_t row = static_cast<std::size_t>(w) * components;
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::uint8_t>(i % row * 9 + i / row * 5);
    return picture_test::MakeJpeg(w, h, components, samples);
}

// PCX, one plane, run-length encoded; 8 bits with the 256-colour palette, or 1 bit.
Bytes Pcx(int w, int h, int bits) {
    Bytes b(128, 0);
    b[0] = 0x0A;
    b[1] = 5;
    b[2] = 1;
    b[3] = static_cast<std::uint8_t>(bits);
    b[8] = static_cast<std::uint8_t>(w - 1);
    b[10] = static_cast<std::uint8_t>(h - 1);
    b[65] = 1;
    const int line = bits == 8 ? w : (w + 7) / 8;
    b[66] = static_cast<std::uint8_t>(line);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < line; ++x) {
            b.push_back(0xC2);  // a run of two
            b.push_back(static_cast<std::uint8_t>(x * 3 + y));
            ++x;
        }
    if (bits == 8) {
        b.push_back(0x0C);
        for (int i = 0; i < 768; ++i) b.push_back(static_cast<std::uint8_t>(i));
    }
    return b;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus dir>\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    namespace res = kestrune::resources;
    Bytes rgba;
    for (int i = 0; i < 6 * 5; ++i) rgba.insert(rgba.end(), {static_cast<std::uint8_t>(i * 8), 40, 200, static_cast<std::uint8_t>(i * 9)});
    Write(dir, "small.png", res::WritePngRgba(rgba, 6, 5, {{"Comment", "seed"}}, {{"Title", "seed"}}));
    Bytes indices;
    for (int i = 0; i < 9 * 7; ++i) indices.push_back(static_cast<std::uint8_t>((i * 5) % 16));
    Bytes palette;
    for (int i = 0; i < 16; ++i) palette.insert(palette.end(), {static_cast<std::uint8_t>(i * 16), 0, static_cast<std::uint8_t>(255 - i)});
    Write(dir, "plain.gif", res::WriteGif(indices, 9, 7, palette));
    Write(dir, "interlaced.gif", res::WriteGif(indices, 9, 7, palette, true, 3));
    res::GifFrame local;
    local.left = 1;
    local.top = 2;
    local.width = 9;
    local.height = 7;
    local.indices = indices;
    local.localPalette = palette;
    Write(dir, "local.gif", res::WriteGif(12, 10, {}, {local}));
    Write(dir, "rgb24.bmp", Bmp(5, 3, 24));
    Write(dir, "rgb32.bmp", Bmp(4, 2, 32));
    Write(dir, "indexed8.bmp", Bmp(5, 3, 8));
    Write(dir, "indexed4.bmp", Bmp(7, 2, 4));
    Write(dir, "mono.bmp", Bmp(9, 2, 1));
    Write(dir, "grey.jpg", Jpeg(9, 7, 1));
    Write(dir, "colour.jpg", Jpeg(17, 9, 3));
    Bytes bgra(16 * 16 * 4);
    for (std::size_t i = 0; i < bgra.size(); ++i) bgra[i] = static_cast<std::uint8_t>(i * 3);
    Write(dir, "small.ico", res::EncodeIconFile(bgra, 16, 16));
    Write(dir, "small.cur", res::EncodeIconFile(bgra, 16, 16, true, 2, 3));
    Write(dir, "eight.pcx", Pcx(6, 4, 8));
    Write(dir, "one.pcx", Pcx(16, 3, 1));
    return 0;
}
