// Picture decoding: complete image files held in memory become decoded pictures and, flattened
// onto a matte colour, opaque bitmaps.
#pragma once

#include <cstddef>
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
// Where a picture with alpha (PNG, icon, cursor) is wholly opaque or wholly transparent, row by row:
// long runs that flattening copies or fills whole. It does not depend on the matte, so it is worked
// out once per decoded picture. Empty for other kinds, and for pictures whose alpha changes too often
// for runs to pay.
struct AlphaRuns {
    enum Kind : std::uint8_t { kMixed, kOpaque, kClear };
    struct Run {
        int start = 0;
        int length = 0;
        Kind kind = kMixed;
    };
    std::vector<std::uint32_t> rowStart;  // row y's runs are runs[rowStart[y]] .. runs[rowStart[y + 1] - 1]
    std::vector<Run> runs;                // each row covered left to right, without gaps

    static AlphaRuns Of(const DecodedPicture& picture);
};

// A decoded picture as opaque pixels, its transparency flattened onto a matte colour, produced row by
// row straight into a target: drawing at natural size needs no bitmap of its own.
class PictureFlattener {
public:
    // `picture` (and `runs`, its alpha runs when known) must outlive the flattener.
    PictureFlattener(const DecodedPicture& picture, platform::Colour matte, const AlphaRuns* runs = nullptr);
    // False when the picture cannot be drawn (no pixels, or pixels that do not fit its header).
    bool Valid() const { return valid_; }
    // Writes `count` pixels of row `y` from column `x` on (all inside the picture) to `out`.
    void Row(int y, int x, int count, std::uint8_t* out) const;
    // Draws the picture at natural size with its top-left corner at (x, y), clipped to `clip`.
    void Draw(const platform::PixelView& target, int x, int y, const platform::Rect& clip) const;

private:
    void PrepareBlend(platform::Colour matte);
    void Mixed(const std::uint8_t* in, std::uint8_t* out, int count) const;
    void FourPixels(const std::uint8_t* in, std::uint8_t* out) const;
    void FillMatte(std::uint8_t* out, int count) const;
    void BlendPixel(std::uint32_t pixel, std::uint8_t* out) const;

    const DecodedPicture& picture_;
    const AlphaRuns* runs_ = nullptr;
    bool valid_ = false;
    const std::uint8_t* rows_ = nullptr;
    std::size_t stride_ = 0;
    const std::uint8_t* palette_ = nullptr;  // indexed kinds
    int imageWidth_ = 0, imageHeight_ = 0;   // indexed kinds: the image inside the logical screen
    std::uint32_t matteWord_ = 0;
    double factor_[256] = {}, shareB_[256] = {}, shareG_[256] = {}, shareR_[256] = {};
};

// Flattens transparency onto `matte` (0x00BBGGRR) and gives an opaque bitmap of the picture's size.
std::optional<platform::Bitmap> MakeDrawableBitmap(const DecodedPicture& picture, platform::Colour matte);
std::optional<platform::Bitmap> DecodePictureToBitmap(std::span<const std::uint8_t> bytes,
                                                      platform::Colour matte = 0xFFFFFF);
// Copies `picture` into `target` at (x, y) scaled to w x h (-1: the picture's own), clipped to `clip`.
void DrawPicture(const platform::PixelView& target, const platform::Bitmap& picture, int x, int y, int w, int h,
                 const platform::Rect& clip);

}  // namespace kestrune::ui
