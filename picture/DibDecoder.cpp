// Device-independent bitmaps: BMP files and the images inside icon and cursor files.
#include <cstring>
#include <cstdlib>

#include "picture/Decoders.h"

namespace kestrune::ui::detail {

namespace {

struct DibInfo {
    std::uint32_t headerSize = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t bits = 0;
    std::uint32_t compression = 0;
    std::uint32_t coloursUsed = 0;
};

bool ReadDibInfo(std::span<const std::uint8_t> dib, DibInfo& info) {
    if (dib.size() < 40) return false;
    const std::uint8_t* p = dib.data();
    info.headerSize = ReadU32(p);
    info.width = ReadS32(p + 4);
    info.height = ReadS32(p + 8);
    info.bits = ReadU16(p + 14);
    info.compression = ReadU32(p + 16);
    info.coloursUsed = ReadU32(p + 32);
    if (info.headerSize < 40 || info.headerSize > dib.size()) return false;
    if (info.compression != 0) return false;
    if (info.bits != 1 && info.bits != 4 && info.bits != 8 && info.bits != 24 && info.bits != 32) return false;
    if (info.width == INT32_MIN || info.height == INT32_MIN) return false;
    return true;
}

// Number of 4-byte palette entries that follow the header.
std::size_t PaletteEntries(const DibInfo& info) {
    if (info.bits > 8) return 0;
    return info.coloursUsed != 0 ? info.coloursUsed : (std::size_t{1} << info.bits);
}

std::size_t RowBytes(std::uint32_t width, unsigned bits) {
    return ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
}

// Unpacks one row of `bits`-deep pixels into BGRA (alpha from the data for 32 bits, else 255).
// Indices beyond the palette give black.
void UnpackRow(const std::uint8_t* src, unsigned bits, std::uint32_t width, const std::uint8_t* palette,
               std::size_t paletteEntries, std::uint8_t* dst) {
    for (std::uint32_t x = 0; x < width; ++x, dst += 4) {
        switch (bits) {
            case 32:
                std::memcpy(dst, src + x * 4, 4);
                continue;
            case 24:
                dst[0] = src[x * 3];
                dst[1] = src[x * 3 + 1];
                dst[2] = src[x * 3 + 2];
                dst[3] = 255;
                continue;
            default: break;
        }
        std::size_t index = 0;
        if (bits == 8) index = src[x];
        else if (bits == 4) index = (src[x / 2] >> ((x & 1) ? 0 : 4)) & 0x0F;
        else index = (src[x / 8] >> (7 - (x & 7))) & 1;
        if (index < paletteEntries) {
            dst[0] = palette[index * 4];
            dst[1] = palette[index * 4 + 1];
            dst[2] = palette[index * 4 + 2];
        } else {
            dst[0] = dst[1] = dst[2] = 0;
        }
        dst[3] = 255;
    }
}

}  // namespace

std::optional<DecodedPicture> DecodeBmp(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
    const std::uint32_t dataOffset = ReadU32(bytes.data() + 10);
    DibInfo info;
    if (!ReadDibInfo(bytes.subspan(14), info)) return std::nullopt;
    const std::uint32_t w = static_cast<std::uint32_t>(std::abs(info.width));
    const std::uint32_t h = static_cast<std::uint32_t>(std::abs(info.height));
    if (!DimensionsAcceptable(w, h)) return std::nullopt;
    const std::size_t entries = PaletteEntries(info);
    if (entries > 256) return std::nullopt;
    const std::size_t paletteStart = 14 + static_cast<std::size_t>(info.headerSize);
    const std::size_t paletteEnd = paletteStart + entries * 4;
    if (paletteEnd > dataOffset || paletteEnd > bytes.size()) return std::nullopt;
    const std::size_t rowBytes = RowBytes(w, info.bits);
    if (dataOffset > bytes.size() || rowBytes * h > bytes.size() - dataOffset) return std::nullopt;

    DecodedPicture picture;
    picture.kind = kPictureBmp;
    picture.width = static_cast<int>(w);
    picture.height = static_cast<int>(h);
    picture.pixels.resize(static_cast<std::size_t>(w) * h * 3);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(w) * 4);
    // A negative height stores the top row first; the output is always bottom-up.
    const bool topDown = info.height < 0;
    for (std::uint32_t i = 0; i < h; ++i) {
        UnpackRow(bytes.data() + dataOffset + rowBytes * i, info.bits, w, bytes.data() + paletteStart, entries,
                  row.data());
        const std::uint32_t outRow = topDown ? h - 1 - i : i;
        std::uint8_t* d = picture.pixels.data() + static_cast<std::size_t>(outRow) * w * 3;
        for (std::uint32_t x = 0; x < w; ++x) {
            d[x * 3] = row[x * 4];
            d[x * 3 + 1] = row[x * 4 + 1];
            d[x * 3 + 2] = row[x * 4 + 2];
        }
    }
    return picture;
}

std::optional<platform::Bitmap> DecodeIconDib(std::span<const std::uint8_t> dib) {
    DibInfo info;
    if (!ReadDibInfo(dib, info)) return std::nullopt;
    // The stored height covers the colour rows and the mask rows.
    const std::uint32_t w = static_cast<std::uint32_t>(std::abs(info.width));
    const std::uint32_t h = static_cast<std::uint32_t>(std::abs(info.height)) / 2;
    if (!DimensionsAcceptable(w, h)) return std::nullopt;
    const std::size_t entries = PaletteEntries(info);
    if (entries > 256) return std::nullopt;
    const std::size_t paletteStart = info.headerSize;
    const std::size_t colourStart = paletteStart + entries * 4;
    const std::size_t colourBytes = RowBytes(w, info.bits);
    const std::size_t maskBytes = RowBytes(w, 1);
    if (colourStart > dib.size() || (colourBytes + maskBytes) * h > dib.size() - colourStart) return std::nullopt;
    const std::size_t maskStart = colourStart + colourBytes * h;

    platform::Bitmap icon(static_cast<int>(w), static_cast<int>(h));
    bool anyAlpha = false;
    for (std::uint32_t i = 0; i < h; ++i) {
        std::uint8_t* d = icon.Data() + static_cast<std::size_t>(h - 1 - i) * w * 4;
        UnpackRow(dib.data() + colourStart + colourBytes * i, info.bits, w, dib.data() + paletteStart, entries, d);
        if (info.bits == 32)
            for (std::uint32_t x = 0; x < w && !anyAlpha; ++x) anyAlpha = d[x * 4 + 3] != 0;
    }
    if (!anyAlpha) {
        for (std::uint32_t i = 0; i < h; ++i) {
            const std::uint8_t* m = dib.data() + maskStart + maskBytes * i;
            std::uint8_t* d = icon.Data() + static_cast<std::size_t>(h - 1 - i) * w * 4;
            for (std::uint32_t x = 0; x < w; ++x) d[x * 4 + 3] = ((m[x / 8] >> (7 - (x & 7))) & 1) ? 0 : 255;
        }
    }
    return icon;
}

std::optional<DecodedPicture> DecodeIcon(std::span<const std::uint8_t> bytes, int kind) {
    if (bytes.size() < 6) return std::nullopt;
    const std::size_t count = ReadU16(bytes.data() + 4);
    if (count == 0 || 6 + 16 * count > bytes.size()) return std::nullopt;
    std::size_t chosen = count - 1;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* e = bytes.data() + 6 + 16 * i;
        if (e[0] == 32 && e[2] > 15) {
            chosen = i;
            break;
        }
    }
    const std::uint8_t* e = bytes.data() + 6 + 16 * chosen;
    const std::size_t size = ReadU32(e + 8), offset = ReadU32(e + 12);
    if (offset > bytes.size() || size > bytes.size() - offset || size < 8) return std::nullopt;
    const std::span<const std::uint8_t> image = bytes.subspan(offset, size);

    DecodedPicture picture;
    picture.kind = kind;
    if (kind == kPictureCursor) picture.hotspot = {ReadU16(e + 4), ReadU16(e + 6)};
    static constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (std::memcmp(image.data(), kPngSignature, 8) == 0) {
        std::optional<DecodedPicture> png = DecodePng(image);
        if (!png) return std::nullopt;
        picture.icon.Reset(png->width, png->height);
        std::memcpy(picture.icon.Data(), png->pixels.data(), picture.icon.Pixels().size());
    } else {
        std::optional<platform::Bitmap> dib = DecodeIconDib(image);
        if (!dib) return std::nullopt;
        picture.icon = std::move(*dib);
    }
    picture.width = picture.icon.Width();
    picture.height = picture.icon.Height();
    return picture;
}

}  // namespace kestrune::ui::detail
