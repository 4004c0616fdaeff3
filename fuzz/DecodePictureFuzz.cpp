// libFuzzer target: any byte block through detection, decoding and flattening must give a picture
// or none, never read or write outside its buffers.
#include <cstddef>
#include <cstdint>
#include <span>

#include "picture/Picture.h"
#include "picture/Skin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    (void)kestrune::ui::DetectPictureFormat(bytes);
    const auto picture = kestrune::ui::DecodePicture(bytes);
    if (!picture) return 0;
    const auto bitmap = kestrune::ui::MakeDrawableBitmap(*picture, 0xF0F0F0);
    if (bitmap && bitmap->Width() <= 4096 && bitmap->Height() <= 4096) {
        (void)kestrune::ui::BuildRegionFromBitmap(*bitmap, 0xFFFFFF);
        kestrune::platform::Bitmap target(64, 48);
        kestrune::ui::DrawPicture(target.View(), *bitmap, -3, -2, 70, 20, kestrune::platform::Rect{0, 0, 64, 48});
    }
    return 0;
}
