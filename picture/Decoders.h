// Per-format decoders behind DecodePicture, and small helpers they share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "picture/Picture.h"

namespace kestrune::ui::detail {

// Largest picture any decoder accepts, in pixels (and per side).
inline constexpr std::uint64_t kMaxPixels = 64ull * 1024 * 1024;
inline constexpr std::uint32_t kMaxSide = 65535;

inline bool DimensionsAcceptable(std::uint64_t width, std::uint64_t height) {
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide && width * height <= kMaxPixels;
}

inline std::uint16_t ReadU16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t ReadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::int32_t ReadS32(const std::uint8_t* p) { return static_cast<std::int32_t>(ReadU32(p)); }
inline void WriteU32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// Layout of the indexed (GIF/PCX) pixel buffer: header, palette, padded rows.
inline constexpr std::size_t kIndexedHeaderSize = 40;
inline constexpr std::size_t kIndexedPaletteSize = 256 * 4;
inline constexpr std::size_t kIndexedRowsOffset = kIndexedHeaderSize + kIndexedPaletteSize;
inline std::size_t IndexedStride(std::uint32_t width) { return ((static_cast<std::size_t>(width) - 1) | 3) + 1; }
// Writes the 40-byte header of an 8-bit top-down indexed picture of width x height.
void WriteIndexedHeader(std::uint8_t* out, std::uint32_t width, std::uint32_t height);

std::optional<DecodedPicture> DecodePng(std::span<const std::uint8_t> bytes);
// Whether no chunk of a PNG file up to IEND claims more bytes than follow it (checked before
// decoding, so that a damaged length cannot make the decoder allocate it). A file that ends
// without IEND passes.
bool PngChunksFit(std::span<const std::uint8_t> bytes);
std::optional<DecodedPicture> DecodeJpeg(std::span<const std::uint8_t> bytes);
// Whether a JPEG file's segments and scans lead to its end-of-image marker within its bytes: a file
// that ends before it is short, whatever a decoder would pad it out with.
bool JpegReachesEnd(std::span<const std::uint8_t> bytes);
std::optional<DecodedPicture> DecodeGif(std::span<const std::uint8_t> bytes);
std::optional<DecodedPicture> DecodeBmp(std::span<const std::uint8_t> bytes);
std::optional<DecodedPicture> DecodeIcon(std::span<const std::uint8_t> bytes, int kind);
std::optional<DecodedPicture> DecodePcx(std::span<const std::uint8_t> bytes, int kind);

// Decodes a device-independent bitmap (information header onwards, as stored in icon files) into a
// top-down BGRA bitmap; `rows` is the number of colour rows (the header's height is ignored).
// A 32-bit image keeps its alpha unless all of it is 0; otherwise the AND mask that follows the
// colour rows gives alpha 0 (bit set) or 255.
std::optional<platform::Bitmap> DecodeIconDib(std::span<const std::uint8_t> dib);

// Blends one channel over the matte exactly as the flattening rule says.
inline std::uint8_t BlendChannel(std::uint8_t c, std::uint8_t m, std::uint8_t a) {
    const float f = static_cast<float>(a) * 0.003921569f;
    double v = static_cast<double>(c) * f + static_cast<double>(m) * (1.0 - f);
    if (v < 0.0) v = 0.0;
    if (v > 255.0) v = 255.0;
    return static_cast<std::uint8_t>(static_cast<int>(v));
}

}  // namespace kestrune::ui::detail
