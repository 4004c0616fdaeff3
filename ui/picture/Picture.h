// Picture decoding: complete image files held in memory become decoded pictures and, flattened
// onto a matte colour, opaque bitmaps.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/Geometry.h"

namespace kestrune::ui {

enum PictureKind : int {
    kPictureNone = 0,
    kPictureJpeg = 1,
    kPictureBmp = 2,
    kPictureIcon = 3,
    kPictureCursor = 4,
    kPictureGif = 5,
    kPicturePcx8 = 6,
    kPicturePcx1 = 7,
    kPicturePng = 8,
};

struct DecodedPicture {
    int kind = kPictureNone;
    int width = 0;
    int height = 0;
    // Kinds 1, 2: BGR rows bottom-up; kind 8: BGRA top-down, alpha not premultiplied;
    // kind 5: 40-byte header, 256 x 4-byte palette, padded 8-bit rows (top-down). Empty for 3, 4.
    std::vector<std::uint8_t> pixels;
    // Kinds 3, 4: the chosen image as opaque-by-convention BGRA with its alpha kept.
    platform::Bitmap icon;
    // Kind 4: the chosen image's hotspot, as its directory entry gives it.
    platform::Point hotspot;
};

int DetectPictureFormat(std::span<const std::uint8_t> bytes);
std::optional<DecodedPicture> DecodePicture(std::span<const std::uint8_t> bytes);
// Flattens transparency onto `matte` (0x00BBGGRR) and gives an opaque bitmap of the picture's size.
std::optional<platform::Bitmap> MakeDrawableBitmap(const DecodedPicture& picture, platform::Colour matte);
std::optional<platform::Bitmap> DecodePictureToBitmap(std::span<const std::uint8_t> bytes,
                                                      platform::Colour matte = 0xFFFFFF);
// Copies `picture` into `target` at (x, y) scaled to w x h (-1: the picture's own), clipped to `clip`.
void DrawPicture(const platform::PixelView& target, const platform::Bitmap& picture, int x, int y, int w, int h,
                 const platform::Rect& clip);

}  // namespace kestrune::ui
