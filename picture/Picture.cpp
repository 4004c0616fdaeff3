// Picture files: which format a file is, and the decoder that reads it.
#include "picture/Picture.h"

#include <cstring>

#include "picture/Decoders.h"

namespace kestrune::ui {

int DetectPictureFormat(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 8) return kPictureNone;
    const std::uint8_t* b = bytes.data();
    if (b[0] == 'B' && b[1] == 'M') return kPictureBmp;
    if (b[0] == 0xFF && b[1] == 0xD8) return kPictureJpeg;
    if (b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G') return kPicturePng;
    const std::uint16_t reserved = detail::ReadU16(b), type = detail::ReadU16(b + 2), count = detail::ReadU16(b + 4);
    if (reserved == 0 && type == 1 && count > 0) return kPictureIcon;
    if (reserved == 0 && type == 2 && count > 0) return kPictureCursor;
    if (std::memcmp(b, "GIF87a", 6) == 0 || std::memcmp(b, "GIF89a", 6) == 0) return kPictureGif;
    if (b[0] == 0x0A && b[1] <= 5 && b[2] == 1 && b[3] == 8) return kPicturePcx8;
    if (b[0] == 0x0A && b[1] == 3 && b[2] == 1 && b[3] == 1) return kPicturePcx1;
    return kPictureNone;
}

std::optional<DecodedPicture> DecodePicture(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return std::nullopt;
    switch (DetectPictureFormat(bytes)) {
        case kPicturePng: return detail::DecodePng(bytes);
        case kPictureJpeg: return detail::DecodeJpeg(bytes);
        case kPictureGif: return detail::DecodeGif(bytes);
        case kPictureBmp: return detail::DecodeBmp(bytes);
        case kPictureIcon: return detail::DecodeIcon(bytes, kPictureIcon);
        case kPictureCursor: return detail::DecodeIcon(bytes, kPictureCursor);
        case kPicturePcx8: return detail::DecodePcx(bytes, kPicturePcx8);
        case kPicturePcx1: return detail::DecodePcx(bytes, kPicturePcx1);
        default: return std::nullopt;
    }
}

namespace detail {

// Whether every chunk up to IEND lies within the file. The library allocates a chunk's declared
// length before it reads the data, so a damaged length alone could ask for gigabytes.
bool PngChunksFit(std::span<const std::uint8_t> bytes) {
    std::size_t at = 8;  // after the signature
    while (bytes.size() - at >= 12) {
        const std::uint32_t length = (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
                                     (std::uint32_t{bytes[at + 2]} << 8) | std::uint32_t{bytes[at + 3]};
        if (length > bytes.size() - at - 12) return false;
        if (std::memcmp(bytes.data() + at + 4, "IEND", 4) == 0) return true;
        at += 12 + std::size_t{length};
    }
    // No IEND, and no chunk that claims more than is there: whether that is a picture is the
    // decoder's to say.
    return true;
}

bool JpegReachesEnd(std::span<const std::uint8_t> bytes) {
    const std::size_t n = bytes.size();
    if (n < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) return false;
    std::size_t at = 2;
    while (at + 1 < n) {
        if (bytes[at] != 0xFF) return false;  // a marker must come here
        const std::uint8_t marker = bytes[at + 1];
        if (marker == 0xFF) {  // fill byte before a marker
            ++at;
            continue;
        }
        if (marker == 0xD9) return true;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // markers without a length
            at += 2;
            continue;
        }
        if (at + 3 >= n) return false;
        const std::size_t length = (std::size_t{bytes[at + 2]} << 8) | bytes[at + 3];
        if (length < 2 || length > n - at - 2) return false;
        at += 2 + length;
        if (marker != 0xDA) continue;
        // Entropy-coded data of the scan runs to the next marker that is neither a stuffed zero nor
        // a restart marker.
        while (at + 1 < n) {
            if (bytes[at] != 0xFF) {
                ++at;
            } else if (bytes[at + 1] == 0x00 || (bytes[at + 1] >= 0xD0 && bytes[at + 1] <= 0xD7)) {
                at += 2;
            } else if (bytes[at + 1] == 0xFF) {
                ++at;
            } else {
                break;
            }
        }
    }
    return false;
}

void WriteIndexedHeader(std::uint8_t* out, std::uint32_t width, std::uint32_t height) {
    std::memset(out, 0, kIndexedHeaderSize);
    WriteU32(out, 40);
    WriteU32(out + 4, width);
    WriteU32(out + 8, static_cast<std::uint32_t>(-static_cast<std::int32_t>(height)));
    out[12] = 1;   // planes
    out[14] = 8;   // bits per pixel
    WriteU32(out + 20, static_cast<std::uint32_t>(IndexedStride(width) * height));
    WriteU32(out + 32, 256);  // colours used
    WriteU32(out + 36, 256);  // colours important
}

}  // namespace detail

}  // namespace kestrune::ui
