#include "picture/Skin.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>

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

std::map<platform::WindowId, Skin*>& AttachedSkins() {
    static std::map<platform::WindowId, Skin*> skins;
    return skins;
}

// The decoded picture, decoding it unless cached. A failed decode leaves the cache empty.
const DecodedPicture* CachedPicture(Skin& skin) {
    if (!skin.cache) {
        skin.flattened.reset();
        skin.flattenedSource = nullptr;
        ++skin.decodeCount;
        skin.cache = DecodePicture(skin.backPicture);
        skin.cacheRuns = skin.cache ? AlphaRuns::Of(*skin.cache) : AlphaRuns{};
    }
    return skin.cache ? &*skin.cache : nullptr;
}

// The cache flattened onto the background colour as a bitmap of its own, for scaled drawing only
// (drawing at natural size flattens straight into the target); reused while cache and matte stay.
const Bitmap* ScalingSource(Skin& skin) {
    const DecodedPicture& cache = *skin.cache;
    const void* source = cache.pixels.empty() ? static_cast<const void*>(cache.icon.Data())
                                              : static_cast<const void*>(cache.pixels.data());
    if (skin.flattened && skin.flattenedMatte == skin.backColour && skin.flattenedSource == source &&
        skin.flattened->Width() == cache.width && skin.flattened->Height() == cache.height)
        return &*skin.flattened;
    skin.flattened = MakeDrawableBitmap(cache, skin.backColour);
    skin.flattenedMatte = skin.backColour;
    skin.flattenedSource = source;
    return skin.flattened ? &*skin.flattened : nullptr;
}

}  // namespace

void AttachSkin(platform::WindowId window, Skin* skin) {
    if (window == 0) return;
    if (skin == nullptr) AttachedSkins().erase(window);
    else AttachedSkins()[window] = skin;
}

void DetachSkin(platform::WindowId window, const Skin* skin) {
    auto& skins = AttachedSkins();
    if (const auto it = skins.find(window); it != skins.end() && it->second == skin) skins.erase(it);
}

void PaintBackground(Skin& skin, const PixelView& target, const Rect& rect) {
    if (!target.Valid()) return;
    const int W = target.width, H = target.height;
    const Rect painted = rect.Intersect(Rect{0, 0, W, H});
    if (painted.Empty()) return;

    const DecodedPicture* decoded = skin.backPicture.empty() ? nullptr : CachedPicture(skin);
    const std::optional<PictureFlattener> flat =
        decoded != nullptr ? std::make_optional<PictureFlattener>(*decoded, skin.backColour, &skin.cacheRuns) : std::nullopt;
    if (!flat || !flat->Valid()) {
        FillRect(target, painted, skin.backColour);
        return;
    }
    const int w = decoded->width, h = decoded->height;
    // Drawn at natural size the picture needs no bitmap of its own: drop one a scaled mode left.
    auto drawNatural = [&](int x, int y) {
        skin.flattened.reset();
        flat->Draw(target, x, y, painted);
    };
    auto drawScaled = [&](int x, int y, int dw, int dh) {
        if (const Bitmap* picture = ScalingSource(skin)) DrawPicture(target, *picture, x, y, dw, dh, painted);
    };
    switch (skin.pictureMode) {
        case kPictureTopLeft:
            drawNatural(0, 0);
            FillAround(target, painted, Rect{0, 0, w, h}, skin.backColour);
            break;
        case kPictureTiled:
            for (int y = 0; y < H; y += h) {
                if (y + h <= painted.top || y >= painted.bottom) continue;
                for (int x = 0; x < W; x += w) {
                    if (Rect{x, y, x + w, y + h}.Intersects(painted)) drawNatural(x, y);
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
            if (drawnW == w && drawnH == h) drawNatural(left, top);
            else if (drawnW > 0 && drawnH > 0) drawScaled(left, top, drawnW, drawnH);
            FillAround(target, painted, Rect::FromXYWH(left, top, drawnW, drawnH), skin.backColour);
            break;
        }
        case kPictureStretched:
            if (W == w && H == h) drawNatural(0, 0);
            else drawScaled(0, 0, W, H);
            break;
        default:
            FillRect(target, painted, skin.backColour);
            break;
    }
}

namespace {

struct Key {
    std::uint8_t b = 255, g = 255, r = 255;
};

// The key as a W x H bitmap's pixel format holds it: stored into a pixel of the format and read
// back. A bitmap smaller than 2 x 2 has no probe pixel: white then.
Key EffectiveKey(int W, int H, const std::uint8_t* probePixel, Colour key) {
    if (W < 2 || H < 2) return {};
    std::uint8_t probe[4];
    std::memcpy(probe, probePixel, 4);
    const PixelView view{probe, 1, 1, 4};
    view.SetColour(0, 0, key);
    return {probe[0], probe[1], probe[2]};
}

// One rectangle per run of non-key pixels in each row, batched: `row(y)` gives row y's W pixels.
template <typename RowSource>
std::optional<Region> BuildRegionFromRows(int W, int H, Key key, RowSource&& row) {
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
        const std::uint8_t* pixels = row(y);
        int x = 0;
        while (x < W) {
            const int x0 = x;
            while (x < W) {
                const std::uint8_t* p = pixels + static_cast<std::size_t>(x) * 4;
                if (p[0] == key.b && p[1] == key.g && p[2] == key.r) break;
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

}  // namespace

std::optional<Region> BuildRegionFromBitmap(const Bitmap& bitmap, Colour key) {
    const int W = bitmap.Width(), H = bitmap.Height();
    if (W <= 0 || H <= 0) return std::nullopt;
    const Key effective = EffectiveKey(W, H, bitmap.Data() + (static_cast<std::size_t>(W) + 1) * 4, key);
    return BuildRegionFromRows(W, H, effective, [&](int y) {
        return bitmap.Data() + static_cast<std::size_t>(y) * W * 4;
    });
}

bool SetShapeFromPicture(platform::WindowId window, std::span<const std::uint8_t> picture, Colour key) {
    if (picture.empty()) return false;
    // The window's own background picture is decoded once, into its skin's cache, for this outline
    // and for painting; any other picture only for the outline.
    std::optional<DecodedPicture> own;
    const DecodedPicture* decoded = nullptr;
    const auto attached = AttachedSkins().find(window);
    Skin* skin = attached != AttachedSkins().end() ? attached->second : nullptr;
    if (skin != nullptr && std::ranges::equal(skin->backPicture, picture)) {
        decoded = CachedPicture(*skin);
    } else {
        own = DecodePicture(picture);
        decoded = own ? &*own : nullptr;
    }
    if (decoded == nullptr) return false;
    // Flattened onto the key (an icon or cursor onto white, whatever the key) one row at a time, as
    // the region builder reads it: the same outline as from a whole flattened bitmap, without one.
    const bool icon = decoded->kind == kPictureIcon || decoded->kind == kPictureCursor;
    const PictureFlattener flat(*decoded, icon ? Colour{0xFFFFFF} : key);
    if (!flat.Valid()) return false;
    const int W = decoded->width;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(W) * 4);
    Key effective;
    if (decoded->height >= 2 && W >= 2) {
        flat.Row(1, 1, 1, row.data());
        effective = EffectiveKey(W, decoded->height, row.data(), key);
    }
    const std::optional<Region> region = BuildRegionFromRows(W, decoded->height, effective, [&](int y) {
        flat.Row(y, 0, W, row.data());
        return static_cast<const std::uint8_t*>(row.data());
    });
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
