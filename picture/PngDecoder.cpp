// PNG through libpng's simplified reading interface, into straight-alpha BGRA rows, top row first.
#include <png.h>

#include <cstring>

#include "picture/Decoders.h"

namespace kestrune::ui::detail {

std::optional<DecodedPicture> DecodePng(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < 8 || !PngChunksFit(bytes)) return std::nullopt;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
        png_image_free(&image);
        return std::nullopt;
    }
    image.format = PNG_FORMAT_BGRA;
    if (!DimensionsAcceptable(image.width, image.height)) {
        png_image_free(&image);
        return std::nullopt;
    }
    DecodedPicture picture;
    picture.kind = kPicturePng;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.pixels.resize(static_cast<std::size_t>(image.width) * image.height * 4);
    const int ok = png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr);
    png_image_free(&image);
    if (!ok) return std::nullopt;
    return picture;
}

}  // namespace kestrune::ui::detail
