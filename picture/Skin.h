// The window skin: background picture painting by picture mode, and picture-shaped outlines.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/Platform.h"
#include "platform/Region.h"
#include "picture/Picture.h"

namespace kestrune::ui {

enum PictureMode : int { kPictureTopLeft = 0, kPictureTiled = 1, kPictureCentred = 2, kPictureStretched = 3 };

// What PaintBackground needs of a window; the window unit owns one per instance.
struct Skin {
    std::vector<std::uint8_t> backPicture;     // complete picture file; empty: none
    std::optional<DecodedPicture> cache;       // decoded at the first paint, dropped when backPicture changes
    AlphaRuns cacheRuns;                       // the cache's opaque and transparent runs, made with it
    int pictureMode = kPictureTiled;
    platform::Colour backColour = 0;           // effective (marker already resolved)

    // Number of decodes PaintBackground has attempted (a failed decode is retried at the next paint).
    int decodeCount = 0;
    // Scaled modes only: the cache flattened onto `flattenedMatte`, reused while the cache and the
    // matte stay the same. Drawing at natural size flattens the cache straight into the target and
    // keeps no second copy of the picture.
    std::optional<platform::Bitmap> flattened;
    platform::Colour flattenedMatte = 0;
    const void* flattenedSource = nullptr;

    void SetPicture(std::vector<std::uint8_t> bytes) {
        backPicture = std::move(bytes);
        cache.reset();
        cacheRuns = {};
        flattened.reset();
        flattenedSource = nullptr;
    }
};

// The skin that paints `window`'s background. Shaping the window with its own background picture
// then decodes the picture into the skin's cache (where painting finds it) instead of a second time.
// The skin must stay alive until it is detached.
void AttachSkin(platform::WindowId window, Skin* skin);
void DetachSkin(platform::WindowId window, const Skin* skin);  // only if `skin` is the one attached

// Paints the background of a client area of `target`'s size inside `rect`.
void PaintBackground(Skin& skin, const platform::PixelView& target, const platform::Rect& rect);

// Colour-keyed outline: every run of pixels that differ from `key` in red, green or blue.
std::optional<platform::Region> BuildRegionFromBitmap(const platform::Bitmap& bitmap, platform::Colour key);

// Cuts a top-level window to the non-key pixels of a picture (bytes, or a file named by text).
bool SetShapeFromPicture(platform::WindowId window, std::span<const std::uint8_t> picture,
                         platform::Colour key = 0xFFFFFF);
bool SetShapeFromPictureFile(platform::WindowId window, const std::string& fileName,
                             platform::Colour key = 0xFFFFFF);

}  // namespace kestrune::ui
