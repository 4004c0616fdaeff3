#include "resources/Encoders.h"

#include <zlib.h>

#include <cstdlib>
#include <stdexcept>

namespace kestrune::resources {

namespace {

void PutU32BE(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 24));
    out.push_back(static_cast<std::uint8_t>(v >> 16));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}
void PutU16LE(Bytes& out, unsigned v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void PutU32LE(Bytes& out, std::uint32_t v) {
    PutU16LE(out, v & 0xFFFF);
    PutU16LE(out, v >> 16);
}

void PutChunk(Bytes& out, const char type[5], const Bytes& data) {
    PutU32BE(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    const uLong crc = crc32(0L, out.data() + start, static_cast<uInt>(out.size() - start));
    PutU32BE(out, static_cast<std::uint32_t>(crc));
}

int Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

}  // namespace

Bytes EncodePngRgba(const Bytes& rgba, int width, int height,
                    const std::vector<std::pair<std::string, std::string>>& text,
                    const std::vector<std::pair<std::string, std::string>>& intlText) {
    if (width <= 0 || height <= 0 || rgba.size() != static_cast<std::size_t>(width) * height * 4)
        throw std::invalid_argument("EncodePngRgba: size mismatch");
    Bytes out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes ihdr;
    PutU32BE(ihdr, static_cast<std::uint32_t>(width));
    PutU32BE(ihdr, static_cast<std::uint32_t>(height));
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, adaptive filters, not interlaced
    PutChunk(out, "IHDR", ihdr);
    for (const auto& [key, value] : text) {
        Bytes data(key.begin(), key.end());
        data.push_back(0);
        data.insert(data.end(), value.begin(), value.end());
        PutChunk(out, "tEXt", data);
    }
    for (const auto& [key, value] : intlText) {
        Bytes data(key.begin(), key.end());
        data.insert(data.end(), {0, 0, 0, 0, 0});  // not compressed, method 0, no language, no translation
        data.insert(data.end(), value.begin(), value.end());
        PutChunk(out, "iTXt", data);
    }

    // Each row takes the filter with the smallest sum of absolute residuals.
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    Bytes filtered;
    filtered.reserve((rowBytes + 1) * height);
    Bytes candidate[5];
    for (auto& c : candidate) c.resize(rowBytes);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = rgba.data() + rowBytes * y;
        const std::uint8_t* up = y > 0 ? row - rowBytes : nullptr;
        for (std::size_t i = 0; i < rowBytes; ++i) {
            const int a = i >= 4 ? row[i - 4] : 0;
            const int b = up ? up[i] : 0;
            const int c = (up && i >= 4) ? up[i - 4] : 0;
            candidate[0][i] = row[i];
            candidate[1][i] = static_cast<std::uint8_t>(row[i] - a);
            candidate[2][i] = static_cast<std::uint8_t>(row[i] - b);
            candidate[3][i] = static_cast<std::uint8_t>(row[i] - ((a + b) >> 1));
            candidate[4][i] = static_cast<std::uint8_t>(row[i] - Paeth(a, b, c));
        }
        int best = 0;
        std::uint64_t bestSum = UINT64_MAX;
        for (int f = 0; f < 5; ++f) {
            std::uint64_t sum = 0;
            for (std::uint8_t v : candidate[f]) sum += v < 128 ? v : 256 - v;
            if (sum < bestSum) {
                bestSum = sum;
                best = f;
            }
        }
        filtered.push_back(static_cast<std::uint8_t>(best));
        filtered.insert(filtered.end(), candidate[best].begin(), candidate[best].end());
    }
    uLongf packedSize = compressBound(static_cast<uLong>(filtered.size()));
    Bytes packed(packedSize);
    if (compress2(packed.data(), &packedSize, filtered.data(), static_cast<uLong>(filtered.size()), 9) != Z_OK)
        throw std::runtime_error("EncodePngRgba: deflate failed");
    packed.resize(packedSize);
    PutChunk(out, "IDAT", packed);
    PutChunk(out, "IEND", {});
    return out;
}

Bytes LzwEncode(const Bytes& indices, int minCodeSize) {
    const int clear = 1 << minCodeSize, end = clear + 1;
    Bytes out;
    std::uint32_t bits = 0;
    int bitCount = 0;
    int width = minCodeSize + 1;
    auto put = [&](int code) {
        bits |= static_cast<std::uint32_t>(code) << bitCount;
        bitCount += width;
        while (bitCount >= 8) {
            out.push_back(static_cast<std::uint8_t>(bits));
            bits >>= 8;
            bitCount -= 8;
        }
    };
    // dictionary[prefix * 256 + byte] = code, or 0 for none (no code below clear + 2 is ever stored)
    std::vector<std::uint16_t> dictionary(4096 * 256, 0);
    int next = clear + 2;
    put(clear);
    if (!indices.empty()) {
        int current = indices[0];
        for (std::size_t i = 1; i < indices.size(); ++i) {
            const int pixel = indices[i];
            const std::size_t key = static_cast<std::size_t>(current) * 256 + static_cast<std::size_t>(pixel);
            if (dictionary[key] != 0) {
                current = dictionary[key];
                continue;
            }
            put(current);
            if (next < 4096) {
                dictionary[key] = static_cast<std::uint16_t>(next++);
                // The decoder defines each code one step later, so widen one code later too.
                if (next == (1 << width) + 1 && width < 12) ++width;
            } else {
                put(clear);
                std::fill(dictionary.begin(), dictionary.end(), 0);
                next = clear + 2;
                width = minCodeSize + 1;
            }
            current = pixel;
        }
        put(current);
        // After the last code, the decoder adds one more definition and may widen before `end`.
        if (next < 4096 && next == (1 << width) && width < 12) ++width;
    }
    put(end);
    if (bitCount > 0) out.push_back(static_cast<std::uint8_t>(bits));
    return out;
}

Bytes EncodeGif(const Bytes& indices, int width, int height, const Bytes& paletteRgb, const GifOptions& options) {
    const std::size_t entries = paletteRgb.size() / 3;
    int sizeBits = 0;
    while ((std::size_t{2} << sizeBits) < entries) ++sizeBits;
    if (entries < 2 || entries > 256 || (std::size_t{2} << sizeBits) != entries || paletteRgb.size() % 3 != 0)
        throw std::invalid_argument("EncodeGif: palette must have 2..256 entries, a power of two");
    if (width <= 0 || height <= 0 || indices.size() != static_cast<std::size_t>(width) * height)
        throw std::invalid_argument("EncodeGif: size mismatch");
    Bytes out = {'G', 'I', 'F', '8', '9', 'a'};
    PutU16LE(out, static_cast<unsigned>(options.screenWidth > 0 ? options.screenWidth : width));
    PutU16LE(out, static_cast<unsigned>(options.screenHeight > 0 ? options.screenHeight : height));
    const std::uint8_t tableFlags = static_cast<std::uint8_t>(0x70 | sizeBits);  // colour resolution 8 bits
    out.push_back(options.localTable ? 0x70 : static_cast<std::uint8_t>(0x80 | tableFlags));
    out.push_back(0);  // background index
    out.push_back(0);  // aspect
    if (!options.localTable) out.insert(out.end(), paletteRgb.begin(), paletteRgb.end());
    if (options.transparentIndex >= 0) {
        out.insert(out.end(), {0x21, 0xF9, 4, 0x01, 0, 0, static_cast<std::uint8_t>(options.transparentIndex), 0});
    }
    const std::string comment = "Kestrune";
    out.insert(out.end(), {0x21, 0xFE, static_cast<std::uint8_t>(comment.size())});
    out.insert(out.end(), comment.begin(), comment.end());
    out.push_back(0);

    out.push_back(0x2C);
    PutU16LE(out, static_cast<unsigned>(options.left));
    PutU16LE(out, static_cast<unsigned>(options.top));
    PutU16LE(out, static_cast<unsigned>(width));
    PutU16LE(out, static_cast<unsigned>(height));
    std::uint8_t imageFlags = options.interlaced ? 0x40 : 0;
    if (options.localTable) imageFlags = static_cast<std::uint8_t>(imageFlags | 0x80 | sizeBits);
    out.push_back(imageFlags);
    if (options.localTable) out.insert(out.end(), paletteRgb.begin(), paletteRgb.end());

    Bytes ordered;
    if (options.interlaced) {
        ordered.reserve(indices.size());
        static constexpr int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = kStart[pass]; y < height; y += kStep[pass])
                ordered.insert(ordered.end(), indices.begin() + static_cast<std::ptrdiff_t>(y) * width,
                               indices.begin() + static_cast<std::ptrdiff_t>(y + 1) * width);
    }
    const Bytes codes = LzwEncode(options.interlaced ? ordered : indices, options.minCodeSize);
    out.push_back(static_cast<std::uint8_t>(options.minCodeSize));
    for (std::size_t i = 0; i < codes.size(); i += 255) {
        const std::size_t n = std::min<std::size_t>(255, codes.size() - i);
        out.push_back(static_cast<std::uint8_t>(n));
        out.insert(out.end(), codes.begin() + static_cast<std::ptrdiff_t>(i),
                   codes.begin() + static_cast<std::ptrdiff_t>(i + n));
    }
    out.push_back(0);
    out.push_back(0x3B);
    return out;
}

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
