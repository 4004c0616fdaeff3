// Decoded pictures flattened onto a matte colour into drawable bitmaps, and drawn.
#include "picture/Picture.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "picture/Decoders.h"

namespace kestrune::ui {

using platform::Bitmap;
using platform::Colour;
using platform::PixelView;
using platform::Rect;

static_assert(std::endian::native == std::endian::little, "pixels are read as 32-bit words 0xAARRGGBB");

PictureFlattener::PictureFlattener(const DecodedPicture& picture, Colour matte, const AlphaRuns* runs)
    : picture_(picture) {
    if (picture.kind == kPictureNone || picture.width <= 0 || picture.height <= 0) return;
    if (!detail::DimensionsAcceptable(static_cast<std::uint32_t>(picture.width),
                                      static_cast<std::uint32_t>(picture.height)))
        return;
    const std::size_t w = static_cast<std::size_t>(picture.width), h = static_cast<std::size_t>(picture.height);
    switch (picture.kind) {
        case kPicturePng:
            if (picture.pixels.size() < w * 4 * h) return;
            rows_ = picture.pixels.data();
            stride_ = w * 4;
            PrepareBlend(matte);
            break;
        case kPictureIcon:
        case kPictureCursor: {
            // Icons are drawn with their alpha: the drawable form is the icon flattened onto the matte.
            const Bitmap& icon = picture.icon;
            if (icon.Empty() || icon.Width() != picture.width || icon.Height() != picture.height) return;
            rows_ = icon.Data();
            stride_ = w * 4;
            PrepareBlend(matte);
            break;
        }
        case kPictureJpeg:
        case kPictureBmp:
            if (picture.pixels.size() < w * h * 3) return;
            rows_ = picture.pixels.data();
            stride_ = w * 3;
            break;
        case kPictureGif:
        case kPicturePcx8:
        case kPicturePcx1: {
            // The image (of the header's size) lies at (0, 0) of the picture (the logical screen);
            // what it does not cover is black.
            const auto& px = picture.pixels;
            if (px.size() < detail::kIndexedRowsOffset) return;
            const std::int32_t iw = detail::ReadS32(px.data() + 4);
            const std::int32_t ihRaw = detail::ReadS32(px.data() + 8);
            if (iw <= 0 || ihRaw >= 0 || ihRaw == INT32_MIN) return;
            const std::int32_t ih = -ihRaw;
            if (!detail::DimensionsAcceptable(static_cast<std::uint32_t>(iw), static_cast<std::uint32_t>(ih))) return;
            stride_ = detail::IndexedStride(static_cast<std::uint32_t>(iw));
            if (px.size() < detail::kIndexedRowsOffset + stride_ * static_cast<std::size_t>(ih)) return;
            palette_ = px.data() + detail::kIndexedHeaderSize;
            rows_ = px.data() + detail::kIndexedRowsOffset;
            imageWidth_ = std::min(iw, picture.width);
            imageHeight_ = std::min(ih, picture.height);
            break;
        }
        default: return;
    }
    // An index of another picture (of another height) is not used.
    if (runs != nullptr && (picture.kind == kPicturePng || picture.kind == kPictureIcon || picture.kind == kPictureCursor) &&
        runs->rowStart.size() == h + 1)
        runs_ = runs;
    valid_ = true;
}

// The matte's share depends only on alpha: computed once per alpha value, with the same operations
// (and so the same rounding) as BlendChannel.
void PictureFlattener::PrepareBlend(Colour matte) {
    const std::uint8_t mb = platform::BlueOf(matte), mg = platform::GreenOf(matte), mr = platform::RedOf(matte);
    for (int a = 0; a < 256; ++a) {
        const float f = static_cast<float>(a) * 0.003921569f;
        factor_[a] = f;
        shareB_[a] = static_cast<double>(mb) * (1.0 - f);
        shareG_[a] = static_cast<double>(mg) * (1.0 - f);
        shareR_[a] = static_cast<double>(mr) * (1.0 - f);
    }
    // Alpha 0 blends to exactly the matte (c * 0 + m * 1).
    matteWord_ = 0xFF000000u | (std::uint32_t{mr} << 16) | (std::uint32_t{mg} << 8) | mb;
}

namespace {

std::uint8_t ClampTrunc(double v) {
    if (v < 0.0) v = 0.0;
    if (v > 255.0) v = 255.0;
    return static_cast<std::uint8_t>(static_cast<int>(v));
}

const std::uint8_t* AlphaPixels(const DecodedPicture& picture) {
    if (picture.kind == kPicturePng) return picture.pixels.data();
    if (picture.kind == kPictureIcon || picture.kind == kPictureCursor) return picture.icon.Data();
    return nullptr;
}

}  // namespace

// Runs shorter than this stay part of the mixed stretch around them: copying or filling them on
// their own would not pay for keeping them apart.
constexpr int kShortestRun = 32;

AlphaRuns AlphaRuns::Of(const DecodedPicture& picture) {
    AlphaRuns index;
    const std::uint8_t* pixels = AlphaPixels(picture);
    const int w = picture.width, h = picture.height;
    if (pixels == nullptr || w <= 0 || h <= 0) return index;
    const std::size_t stride = static_cast<std::size_t>(w) * 4;
    if ((picture.kind == kPicturePng ? picture.pixels.size() : picture.icon.Pixels().size()) < stride * h)
        return index;
    // A picture with too many runs keeps no index: flattening it pixel by pixel costs no more.
    const std::size_t limit = static_cast<std::size_t>(w) * h / 64 + 16;
    index.rowStart.reserve(static_cast<std::size_t>(h) + 1);
    for (int y = 0; y < h; ++y) {
        index.rowStart.push_back(static_cast<std::uint32_t>(index.runs.size()));
        const std::uint8_t* row = pixels + static_cast<std::size_t>(y) * stride;
        int mixedFrom = 0;
        for (int x = 0; x < w;) {
            const std::uint8_t a = row[static_cast<std::size_t>(x) * 4 + 3];
            int end = x + 1;
            if (a == 255 || a == 0) {
                while (end < w && row[static_cast<std::size_t>(end) * 4 + 3] == a) ++end;
            }
            if ((a == 255 || a == 0) && end - x >= kShortestRun) {
                if (x > mixedFrom) index.runs.push_back({mixedFrom, x - mixedFrom, kMixed});
                index.runs.push_back({x, end - x, a == 255 ? kOpaque : kClear});
                mixedFrom = end;
            }
            x = end;
        }
        if (w > mixedFrom) index.runs.push_back({mixedFrom, w - mixedFrom, kMixed});
        if (index.runs.size() > limit) return {};
    }
    index.rowStart.push_back(static_cast<std::uint32_t>(index.runs.size()));
    return index;
}

void PictureFlattener::Row(int y, int x, int count, std::uint8_t* out) const {
    switch (picture_.kind) {
        case kPicturePng:
        case kPictureIcon:
        case kPictureCursor: {
            const std::uint8_t* row = rows_ + static_cast<std::size_t>(y) * stride_;
            if (runs_ == nullptr) {
                Mixed(row + static_cast<std::size_t>(x) * 4, out, count);
                break;
            }
            // Opaque runs are copied and transparent ones filled with the matte, whole.
            const int end = x + count;
            for (std::uint32_t r = runs_->rowStart[y]; r < runs_->rowStart[y + 1]; ++r) {
                const AlphaRuns::Run& run = runs_->runs[r];
                const int from = std::max(run.start, x), to = std::min(run.start + run.length, end);
                if (from >= to) continue;
                const std::uint8_t* s = row + static_cast<std::size_t>(from) * 4;
                std::uint8_t* d = out + static_cast<std::size_t>(from - x) * 4;
                if (run.kind == AlphaRuns::kOpaque) std::memcpy(d, s, static_cast<std::size_t>(to - from) * 4);
                else if (run.kind == AlphaRuns::kClear) FillMatte(d, to - from);
                else Mixed(s, d, to - from);
            }
            break;
        }
        case kPictureJpeg:
        case kPictureBmp: {
            // Bottom-up rows.
            const std::uint8_t* s = rows_ + static_cast<std::size_t>(picture_.height - 1 - y) * stride_ +
                                    static_cast<std::size_t>(x) * 3;
            for (int i = 0; i < count; ++i, s += 3, out += 4) {
                out[0] = s[0];
                out[1] = s[1];
                out[2] = s[2];
                out[3] = 255;
            }
            break;
        }
        default: {
            const std::uint32_t black = 0xFF000000u;
            int i = 0;
            if (y < imageHeight_) {
                const std::uint8_t* s = rows_ + static_cast<std::size_t>(y) * stride_;
                for (; i < count && x + i < imageWidth_; ++i, out += 4) {
                    const std::uint8_t* c = palette_ + static_cast<std::size_t>(s[x + i]) * 4;
                    out[0] = c[0];
                    out[1] = c[1];
                    out[2] = c[2];
                    out[3] = 255;
                }
            }
            for (; i < count; ++i, out += 4) std::memcpy(out, &black, 4);
            break;
        }
    }
}

// Any pixels: sixteen (a cache line) or four at a time where all of them are opaque or all
// transparent, else one by one.
void PictureFlattener::Mixed(const std::uint8_t* s, std::uint8_t* out, int count) const {
    constexpr std::uint64_t kAlphas = 0xFF000000FF000000ull;  // the alpha bytes of two pixels
    int i = 0;
    for (; i + 16 <= count; i += 16, s += 64, out += 64) {
        std::uint64_t q[8];
        std::memcpy(q, s, 64);
        const std::uint64_t all = q[0] & q[1] & q[2] & q[3] & q[4] & q[5] & q[6] & q[7];
        const std::uint64_t any = q[0] | q[1] | q[2] | q[3] | q[4] | q[5] | q[6] | q[7];
        if ((all & kAlphas) == kAlphas) {
            std::memcpy(out, q, 64);
            continue;
        }
        if ((any & kAlphas) == 0) {
            FillMatte(out, 16);
            continue;
        }
        for (int k = 0; k < 16; k += 4) FourPixels(s + k * 4, out + k * 4);
    }
    for (; i + 4 <= count; i += 4, s += 16, out += 16) FourPixels(s, out);
    for (; i < count; ++i, s += 4, out += 4) {
        std::uint32_t p;
        std::memcpy(&p, s, 4);
        BlendPixel(p, out);
    }
}

void PictureFlattener::FourPixels(const std::uint8_t* s, std::uint8_t* out) const {
    std::uint32_t p[4];
    std::memcpy(p, s, 16);
    if ((p[0] & p[1] & p[2] & p[3]) >= 0xFF000000u) {
        std::memcpy(out, p, 16);
    } else if (((p[0] | p[1] | p[2] | p[3]) >> 24) == 0) {
        FillMatte(out, 4);
    } else {
        for (int k = 0; k < 4; ++k) BlendPixel(p[k], out + k * 4);
    }
}

// The first pixel, then copies of what is filled so far, doubling each time.
void PictureFlattener::FillMatte(std::uint8_t* out, int count) const {
    if (count <= 0) return;
    const std::size_t total = static_cast<std::size_t>(count) * 4;
    std::memcpy(out, &matteWord_, 4);
    for (std::size_t done = 4; done < total;) {
        const std::size_t n = std::min(done, total - done);
        std::memcpy(out + done, out, n);
        done += n;
    }
}

void PictureFlattener::BlendPixel(std::uint32_t p, std::uint8_t* out) const {
    const std::uint32_t a = p >> 24;
    if (a == 255) {
        std::memcpy(out, &p, 4);
    } else if (a == 0) {
        std::memcpy(out, &matteWord_, 4);
    } else {
        const double f = factor_[a];
        out[0] = ClampTrunc(static_cast<double>(p & 0xFF) * f + shareB_[a]);
        out[1] = ClampTrunc(static_cast<double>((p >> 8) & 0xFF) * f + shareG_[a]);
        out[2] = ClampTrunc(static_cast<double>((p >> 16) & 0xFF) * f + shareR_[a]);
        out[3] = 255;
    }
}

void PictureFlattener::Draw(const PixelView& target, int x, int y, const Rect& clip) const {
    if (!valid_ || !target.Valid()) return;
    const Rect dest = Rect{x, y, x + picture_.width, y + picture_.height}
                          .Intersect(clip)
                          .Intersect(Rect{0, 0, target.width, target.height});
    if (dest.Empty()) return;
    for (int ty = dest.top; ty < dest.bottom; ++ty) Row(ty - y, dest.left - x, dest.Width(), target.At(dest.left, ty));
}

std::optional<Bitmap> MakeDrawableBitmap(const DecodedPicture& picture, Colour matte) {
    const PictureFlattener flattener(picture, matte);
    if (!flattener.Valid()) return std::nullopt;
    Bitmap out(picture.width, picture.height);
    flattener.Draw(out.View(), 0, 0, Rect{0, 0, picture.width, picture.height});
    return out;
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
