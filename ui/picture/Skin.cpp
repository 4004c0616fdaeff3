#include "ui/picture/Skin.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace kestrune::ui {

using platform::Bitmap;
using platform::Colour;
using platform::PixelView;
using platform::Rect;
using platform::Region;

namespace {

void FillRect(const PixelView& target, const Rect& rect, Colour colour) {
    const Rect r = rect.Intersect(Rect{0, 0, target.width, target.height});
    if (r.Empty()) return;
    const std::uint8_t px[4] = {platform::BlueOf(colour), platform::GreenOf(colour), platform::RedOf(colour), 0xFF};
    std::uint8_t* first = target.At(r.left, r.top);
    for (int x = 0; x < r.Width(); ++x) std::memcpy(first + x * 4, px, 4);
    const std::size_t bytes = static_cast<std::size_t>(r.Width()) * 4;
    for (int y = r.top + 1; y < r.bottom; ++y) std::memcpy(target.At(r.left, y), first, bytes);
}

// Fills `rect` except where it overlaps `hole`.
void FillAround(const PixelView& target, const Rect& rect, const Rect& hole, Colour colour) {
    const Rect h = rect.Intersect(hole);
    if (h.Empty()) {
        FillRect(target, rect, colour);
        return;
    }
    FillRect(target, Rect{rect.left, rect.top, rect.right, h.top}, colour);
    FillRect(target, Rect{rect.left, h.bottom, rect.right, rect.bottom}, colour);
    FillRect(target, Rect{rect.left, h.top, h.left, h.bottom}, colour);
    FillRect(target, Rect{h.right, h.top, rect.right, h.bottom}, colour);
}

const Bitmap* FlattenedPicture(Skin& skin) {
    if (!skin.cache) {
        skin.flattened.reset();
        skin.flattenedSource = nullptr;
        ++skin.decodeCount;
        skin.cache = DecodePicture(skin.backPicture);
        if (!skin.cache) return nullptr;
    }
    const void* source = skin.cache->pixels.empty() ? static_cast<const void*>(skin.cache->icon.Data())
                                                    : static_cast<const void*>(skin.cache->pixels.data());
    if (skin.flattened && skin.flattenedMatte == skin.backColour && skin.flattenedSource == source &&
        skin.flattened->Width() == skin.cache->width && skin.flattened->Height() == skin.cache->height)
        return &*skin.flattened;
    skin.flattened = MakeDrawableBitmap(*skin.cache, skin.backColour);
    skin.flattenedMatte = skin.backColour;
    skin.flattenedSource = source;
    return skin.flattened ? &*skin.flattened : nullptr;
}

}  // namespace

void PaintBackground(Skin& skin, const PixelView& target, const Rect& rect) {
    if (!target.Valid()) return;
    const int W = target.width, H = target.height;
    const Rect painted = rect.Intersect(Rect{0, 0, W, H});
    if (painted.Empty()) return;

    const Bitmap* picture = skin.backPicture.empty() ? nullptr : FlattenedPicture(skin);
    if (picture == nullptr) {
        FillRect(target, painted, skin.backColour);
        return;
    }
    const int w = picture->Width(), h = picture->Height();
    switch (skin.pictureMode) {
        case kPictureTopLeft:
            DrawPicture(target, *picture, 0, 0, -1, -1, painted);
            FillAround(target, painted, Rect{0, 0, w, h}, skin.backColour);
            break;
        case kPictureTiled:
            for (int y = 0; y < H; y += h) {
                if (y + h <= painted.top || y >= painted.bottom) continue;
                for (int x = 0; x < W; x += w) {
                    if (Rect{x, y, x + w, y + h}.Intersects(painted)) DrawPicture(target, *picture, x, y, -1, -1, painted);
                }
            }
            break;
        case kPictureCentred: {
            int left = 0, top = 0, boxW = W, boxH = H;
            if (w <= W) {
                left = (W - w) / 2;
                boxW = w;
            }
            if (h <= H) {
                top = (H - h) / 2;
                boxH = h;
            }
            int drawnW = w, drawnH = h;
            if (w > boxW || h > boxH) {
                const double scale = std::min(static_cast<double>(boxW) / w, static_cast<double>(boxH) / h);
                drawnW = static_cast<int>(w * scale);
                drawnH = static_cast<int>(h * scale);
                left += (boxW - drawnW) / 2;
                top += (boxH - drawnH) / 2;
            }
            if (drawnW > 0 && drawnH > 0) DrawPicture(target, *picture, left, top, drawnW, drawnH, painted);
            FillAround(target, painted, Rect::FromXYWH(left, top, drawnW, drawnH), skin.backColour);
            break;
        }
        case kPictureStretched:
            DrawPicture(target, *picture, 0, 0, W, H, painted);
            break;
        default:
            FillRect(target, painted, skin.backColour);
            break;
    }
}

std::optional<Region> BuildRegionFromBitmap(const Bitmap& bitmap, Colour key) {
    const int W = bitmap.Width(), H = bitmap.Height();
    if (W <= 0 || H <= 0) return std::nullopt;

    // The key as this pixel format holds it: store it into a pixel of the format and read it back.
    std::uint8_t keyB = 255, keyG = 255, keyR = 255;
    if (W >= 2 && H >= 2) {
        std::uint8_t probe[4];
        std::memcpy(probe, bitmap.Data() + (static_cast<std::size_t>(W) + 1) * 4, 4);
        const PixelView view{probe, 1, 1, 4};
        view.SetColour(0, 0, key);
        keyB = probe[0];
        keyG = probe[1];
        keyR = probe[2];
    }

    constexpr std::size_t kGrowth = 100;
    constexpr std::size_t kBatch = 2000;
    std::optional<Region> result;
    std::vector<Rect> buffer;
    buffer.reserve(kGrowth);
    auto flush = [&] {
        Region batch(std::move(buffer));
        if (!result) result = std::move(batch);
        else result->AppendDisjoint(batch);
        buffer = std::vector<Rect>();
        buffer.reserve(kGrowth);
    };

    for (int y = 0; y < H; ++y) {
        const std::uint8_t* row = bitmap.Data() + static_cast<std::size_t>(y) * W * 4;
        int x = 0;
        while (x < W) {
            const int x0 = x;
            while (x < W) {
                const std::uint8_t* p = row + static_cast<std::size_t>(x) * 4;
                if (p[0] == keyB && p[1] == keyG && p[2] == keyR) break;
                ++x;
            }
            if (x > x0) {
                if (buffer.size() == buffer.capacity()) buffer.reserve(buffer.capacity() + kGrowth);
                buffer.push_back(Rect{x0, y, x, y + 1});
                if (buffer.size() == kBatch) flush();
            }
            ++x;
        }
    }
    flush();
    return result;
}

bool SetShapeFromPicture(platform::WindowId window, std::span<const std::uint8_t> picture, Colour key) {
    if (picture.empty()) return false;
    const std::optional<Bitmap> bitmap = DecodePictureToBitmap(picture, key);
    if (!bitmap) return false;
    const std::optional<Region> region = BuildRegionFromBitmap(*bitmap, key);
    if (!region) return false;
    platform::Current().SetShape(window, &*region);
    return true;
}

bool SetShapeFromPictureFile(platform::WindowId window, const std::string& fileName, Colour key) {
    if (fileName.empty()) return false;
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return false;
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return false;
    return SetShapeFromPicture(window, bytes, key);
}

}  // namespace kestrune::ui
