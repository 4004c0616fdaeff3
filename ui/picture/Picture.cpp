#include "ui/picture/Picture.h"

#include <algorithm>
#include <cstring>

#include "ui/picture/Decoders.h"

namespace kestrune::ui {

using platform::Bitmap;
using platform::Colour;
using platform::PixelView;
using platform::Rect;

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

Bitmap FlattenBgra(const std::uint8_t* pixels, int width, int height, std::size_t stride, Colour matte) {
    Bitmap out(width, height);
    const std::uint8_t mb = platform::BlueOf(matte), mg = platform::GreenOf(matte), mr = platform::RedOf(matte);
    // The matte's share depends only on alpha: compute it once per alpha value, with the same
    // operations (and so the same rounding) as BlendChannel.
    double factor[256], shareB[256], shareG[256], shareR[256];
    for (int a = 0; a < 256; ++a) {
        const float f = static_cast<float>(a) * 0.003921569f;
        factor[a] = f;
        shareB[a] = static_cast<double>(mb) * (1.0 - f);
        shareG[a] = static_cast<double>(mg) * (1.0 - f);
        shareR[a] = static_cast<double>(mr) * (1.0 - f);
    }
    auto clampTrunc = [](double v) -> std::uint8_t {
        if (v < 0.0) v = 0.0;
        if (v > 255.0) v = 255.0;
        return static_cast<std::uint8_t>(static_cast<int>(v));
    };
    // Alpha 0 blends to exactly the matte (c * 0 + m * 1), so those pixels are stored directly.
    const std::uint8_t matteBytes[4] = {mb, mg, mr, 255};
    std::uint8_t* dst = out.Data();
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* s = pixels + static_cast<std::size_t>(y) * stride;
        for (int x = 0; x < width; ++x, s += 4, dst += 4) {
            const std::uint8_t a = s[3];
            if (a == 255) {
                dst[0] = s[0];
                dst[1] = s[1];
                dst[2] = s[2];
            } else if (a == 0) {
                std::memcpy(dst, matteBytes, 4);
                continue;
            } else {
                const double f = factor[a];
                dst[0] = clampTrunc(static_cast<double>(s[0]) * f + shareB[a]);
                dst[1] = clampTrunc(static_cast<double>(s[1]) * f + shareG[a]);
                dst[2] = clampTrunc(static_cast<double>(s[2]) * f + shareR[a]);
            }
            dst[3] = 255;
        }
    }
    return out;
}

}  // namespace detail

namespace {

std::optional<Bitmap> FromBottomUpBgr(const DecodedPicture& picture) {
    const std::size_t w = static_cast<std::size_t>(picture.width), h = static_cast<std::size_t>(picture.height);
    if (picture.pixels.size() < w * h * 3) return std::nullopt;
    Bitmap out(picture.width, picture.height);
    for (std::size_t y = 0; y < h; ++y) {
        const std::uint8_t* s = picture.pixels.data() + (h - 1 - y) * w * 3;
        std::uint8_t* d = out.Data() + y * w * 4;
        for (std::size_t x = 0; x < w; ++x, s += 3, d += 4) {
            d[0] = s[0];
            d[1] = s[1];
            d[2] = s[2];
            d[3] = 255;
        }
    }
    return out;
}

// The indexed layout: the image (of the header's size) goes at (0, 0) of a bitmap of the
// picture's (logical screen) size; what the image does not cover stays black.
std::optional<Bitmap> FromIndexed(const DecodedPicture& picture) {
    const auto& px = picture.pixels;
    if (px.size() < detail::kIndexedRowsOffset) return std::nullopt;
    const std::int32_t iw = detail::ReadS32(px.data() + 4);
    const std::int32_t ihRaw = detail::ReadS32(px.data() + 8);
    if (iw <= 0 || ihRaw >= 0 || ihRaw == INT32_MIN) return std::nullopt;
    const std::int32_t ih = -ihRaw;
    if (!detail::DimensionsAcceptable(static_cast<std::uint32_t>(iw), static_cast<std::uint32_t>(ih)))
        return std::nullopt;
    const std::size_t stride = detail::IndexedStride(static_cast<std::uint32_t>(iw));
    if (px.size() < detail::kIndexedRowsOffset + stride * static_cast<std::size_t>(ih)) return std::nullopt;
    const std::uint8_t* palette = px.data() + detail::kIndexedHeaderSize;
    Bitmap out(picture.width, picture.height);
    std::uint8_t* base = out.Data();
    for (std::size_t i = 3; i < out.Pixels().size(); i += 4) base[i] = 255;
    const int cw = std::min(iw, picture.width), ch = std::min(ih, picture.height);
    for (int y = 0; y < ch; ++y) {
        const std::uint8_t* s = px.data() + detail::kIndexedRowsOffset + static_cast<std::size_t>(y) * stride;
        std::uint8_t* d = base + static_cast<std::size_t>(y) * picture.width * 4;
        for (int x = 0; x < cw; ++x, d += 4) {
            const std::uint8_t* c = palette + static_cast<std::size_t>(s[x]) * 4;
            d[0] = c[0];
            d[1] = c[1];
            d[2] = c[2];
        }
    }
    return out;
}

}  // namespace

std::optional<Bitmap> MakeDrawableBitmap(const DecodedPicture& picture, Colour matte) {
    if (picture.kind == kPictureNone || picture.width <= 0 || picture.height <= 0) return std::nullopt;
    if (!detail::DimensionsAcceptable(static_cast<std::uint32_t>(picture.width),
                                      static_cast<std::uint32_t>(picture.height)))
        return std::nullopt;
    switch (picture.kind) {
        case kPicturePng: {
            const std::size_t stride = static_cast<std::size_t>(picture.width) * 4;
            if (picture.pixels.size() < stride * static_cast<std::size_t>(picture.height)) return std::nullopt;
            return detail::FlattenBgra(picture.pixels.data(), picture.width, picture.height, stride, matte);
        }
        case kPictureJpeg:
        case kPictureBmp: return FromBottomUpBgr(picture);
        case kPictureGif:
        case kPicturePcx8:
        case kPicturePcx1: return FromIndexed(picture);
        case kPictureIcon:
        case kPictureCursor: {
            // Icons are drawn with their alpha: the bitmap form is the icon flattened onto the matte.
            const Bitmap& icon = picture.icon;
            if (icon.Empty() || icon.Width() != picture.width || icon.Height() != picture.height) return std::nullopt;
            return detail::FlattenBgra(icon.Data(), icon.Width(), icon.Height(),
                                       static_cast<std::size_t>(icon.Width()) * 4, matte);
        }
        default: return std::nullopt;
    }
}

std::optional<Bitmap> DecodePictureToBitmap(std::span<const std::uint8_t> bytes, Colour matte) {
    const std::optional<DecodedPicture> picture = DecodePicture(bytes);
    if (!picture) return std::nullopt;
    // An icon or cursor is drawn over a white bitmap whatever the matte.
    if (picture->kind == kPictureIcon || picture->kind == kPictureCursor)
        return MakeDrawableBitmap(*picture, 0xFFFFFF);
    return MakeDrawableBitmap(*picture, matte);
}

void DrawPicture(const PixelView& target, const Bitmap& picture, int x, int y, int w, int h, const Rect& clip) {
    if (!target.Valid() || picture.Empty()) return;
    const int sw = picture.Width(), sh = picture.Height();
    if (w == -1) w = sw;
    if (h == -1) h = sh;
    if (w <= 0 || h <= 0) return;
    const Rect dest = Rect{x, y, x + w, y + h}
                          .Intersect(clip)
                          .Intersect(Rect{0, 0, target.width, target.height});
    if (dest.Empty()) return;

    if (w == sw && h == sh) {
        const std::size_t bytes = static_cast<std::size_t>(dest.Width()) * 4;
        for (int ty = dest.top; ty < dest.bottom; ++ty) {
            const std::uint8_t* s = picture.Data() + (static_cast<std::size_t>(ty - y) * sw + (dest.left - x)) * 4;
            std::memcpy(target.At(dest.left, ty), s, bytes);
        }
        return;
    }

    // Scaled: every target pixel averages the source box it covers (at least one source pixel),
    // which is a box filter when shrinking and nearest-neighbour when enlarging.
    auto span = [](int d, int dsize, int ssize, int& s0, int& s1) {
        s0 = static_cast<int>(static_cast<std::int64_t>(d) * ssize / dsize);
        s1 = static_cast<int>(static_cast<std::int64_t>(d + 1) * ssize / dsize);
        if (s1 <= s0) s1 = s0 + 1;
        if (s1 > ssize) s1 = ssize;
        if (s0 >= s1) s0 = s1 - 1;
    };
    std::vector<int> col0(static_cast<std::size_t>(dest.Width())), col1(col0.size());
    for (int tx = dest.left; tx < dest.right; ++tx)
        span(tx - x, w, sw, col0[static_cast<std::size_t>(tx - dest.left)], col1[static_cast<std::size_t>(tx - dest.left)]);
    for (int ty = dest.top; ty < dest.bottom; ++ty) {
        int r0 = 0, r1 = 0;
        span(ty - y, h, sh, r0, r1);
        std::uint8_t* d = target.At(dest.left, ty);
        for (std::size_t i = 0; i < col0.size(); ++i, d += 4) {
            const int c0 = col0[i], c1 = col1[i];
            if (c1 - c0 == 1 && r1 - r0 == 1) {
                const std::uint8_t* s = picture.Data() + (static_cast<std::size_t>(r0) * sw + c0) * 4;
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
                d[3] = 255;
                continue;
            }
            std::uint64_t sb = 0, sg = 0, sr = 0;
            for (int sy = r0; sy < r1; ++sy) {
                const std::uint8_t* s = picture.Data() + (static_cast<std::size_t>(sy) * sw + c0) * 4;
                for (int sx = c0; sx < c1; ++sx, s += 4) {
                    sb += s[0];
                    sg += s[1];
                    sr += s[2];
                }
            }
            const std::uint64_t n = static_cast<std::uint64_t>(c1 - c0) * static_cast<std::uint64_t>(r1 - r0);
            d[0] = static_cast<std::uint8_t>((sb + n / 2) / n);
            d[1] = static_cast<std::uint8_t>((sg + n / 2) / n);
            d[2] = static_cast<std::uint8_t>((sr + n / 2) / n);
            d[3] = 255;
        }
    }
}

}  // namespace kestrune::ui
