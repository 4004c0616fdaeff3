#include "resources/writers/PictureWriters.h"

#include <gif_lib.h>
#include <png.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace kestrune::resources {

namespace {

void AppendPng(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

int AppendGif(GifFileType* gif, const GifByteType* data, int length) {
    auto* out = static_cast<Bytes*>(gif->UserData);
    out->insert(out->end(), data, data + length);
    return length;
}

// A colour map of `rgb`'s entries; giflib wants a power of two, which the callers give.
ColorMapObject* MakeColourMap(const Bytes& rgb) {
    const int count = static_cast<int>(rgb.size() / 3);
    std::vector<GifColorType> colours(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        colours[static_cast<std::size_t>(i)] = {rgb[i * 3u], rgb[i * 3u + 1], rgb[i * 3u + 2]};
    ColorMapObject* map = GifMakeMapObject(count, colours.data());
    if (map == nullptr) throw std::runtime_error("WriteGif: a palette needs 2, 4, ..., 256 entries");
    return map;
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        EGifCloseFile(gif, &error);
    }
};

}  // namespace

Bytes WritePngRgba(const Bytes& rgba, int width, int height,
                   const std::vector<std::pair<std::string, std::string>>& text,
                   const std::vector<std::pair<std::string, std::string>>& intlText) {
    if (width <= 0 || height <= 0 || rgba.size() != static_cast<std::size_t>(width) * height * 4)
        throw std::invalid_argument("WritePngRgba: size mismatch");
    // Everything with a destructor is made before setjmp: a longjmp out of libpng must not skip one.
    std::vector<png_text> chunks;
    for (const auto& [key, value] : text) {
        png_text t{};
        t.compression = PNG_TEXT_COMPRESSION_NONE;
        t.key = const_cast<char*>(key.c_str());
        t.text = const_cast<char*>(value.c_str());
        t.text_length = value.size();
        chunks.push_back(t);
    }
    for (const auto& [key, value] : intlText) {
        png_text t{};
        t.compression = PNG_ITXT_COMPRESSION_NONE;
        t.key = const_cast<char*>(key.c_str());
        t.text = const_cast<char*>(value.c_str());
        t.itxt_length = value.size();
        t.lang = const_cast<char*>("");
        t.lang_key = const_cast<char*>("");
        chunks.push_back(t);
    }
    Bytes out;
    out.reserve(rgba.size() / 4 + 1024);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("WritePngRgba: libpng refused the picture");
    }
    png_set_write_fn(png, &out, AppendPng, nullptr);
    // All the image data in one IDAT chunk, as readers that look at the chunk list expect.
    png_set_compression_buffer_size(png, std::min<std::size_t>(rgba.size() + 4096, std::size_t{1} << 26));
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!chunks.empty()) png_set_text(png, info, chunks.data(), static_cast<int>(chunks.size()));
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, rgba.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

Bytes WriteGif(int screenWidth, int screenHeight, const Bytes& globalPalette, const std::vector<GifFrame>& frames) {
    Bytes out;
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(EGifOpen(&out, AppendGif, &error));
    if (!gif) throw std::runtime_error("WriteGif: giflib cannot start a file");
    EGifSetGifVersion(gif.get(), true);  // GIF89a: graphic control blocks
    ColorMapObject* global = globalPalette.empty() ? nullptr : MakeColourMap(globalPalette);
    const int screenBits = global != nullptr ? global->BitsPerPixel : 8;
    const int put = EGifPutScreenDesc(gif.get(), screenWidth, screenHeight, screenBits, 0, global);
    GifFreeMapObject(global);
    if (put != GIF_OK) throw std::runtime_error("WriteGif: giflib refused the screen");
    for (const GifFrame& frame : frames) {
        if (frame.width <= 0 || frame.height <= 0 ||
            frame.indices.size() != static_cast<std::size_t>(frame.width) * frame.height)
            throw std::invalid_argument("WriteGif: an image's indices do not match its size");
        if (frame.transparentIndex >= 0) {
            GraphicsControlBlock control{};
            control.DisposalMode = DISPOSAL_UNSPECIFIED;
            control.TransparentColor = frame.transparentIndex;
            GifByteType extension[4];
            const std::size_t length = EGifGCBToExtension(&control, extension);
            if (EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) != GIF_OK)
                throw std::runtime_error("WriteGif: giflib refused a graphic control block");
        }
        ColorMapObject* local = frame.localPalette.empty() ? nullptr : MakeColourMap(frame.localPalette);
        const int described = EGifPutImageDesc(gif.get(), frame.left, frame.top, frame.width, frame.height,
                                               frame.interlaced, local);
        GifFreeMapObject(local);
        if (described != GIF_OK) throw std::runtime_error("WriteGif: giflib refused an image");
        // Rows go in the order they are stored: for an interlaced image, the four passes.
        std::vector<int> order;
        if (frame.interlaced) {
            for (const auto& [start, step] : {std::pair{0, 8}, std::pair{4, 8}, std::pair{2, 4}, std::pair{1, 2}})
                for (int y = start; y < frame.height; y += step) order.push_back(y);
        } else {
            for (int y = 0; y < frame.height; ++y) order.push_back(y);
        }
        // giflib masks each row in place, and would quietly cut an index the palette has no entry for.
        const std::size_t entries = (frame.localPalette.empty() ? globalPalette.size() : frame.localPalette.size()) / 3;
        std::vector<GifPixelType> row(static_cast<std::size_t>(frame.width));
        for (int y : order) {
            const auto first = frame.indices.begin() + static_cast<std::ptrdiff_t>(y) * frame.width;
            std::copy(first, first + frame.width, row.begin());
            if (entries != 0 && std::any_of(row.begin(), row.end(), [&](GifPixelType i) { return i >= entries; }))
                throw std::invalid_argument("WriteGif: an index beyond the palette");
            if (EGifPutLine(gif.get(), row.data(), frame.width) != GIF_OK)
                throw std::runtime_error("WriteGif: giflib refused the image data");
        }
    }
    GifFileType* raw = gif.release();
    if (EGifCloseFile(raw, &error) != GIF_OK) throw std::runtime_error("WriteGif: giflib could not end the file");
    return out;
}

Bytes WriteGif(const Bytes& indices, int width, int height, const Bytes& palette, bool interlaced,
               int transparentIndex) {
    GifFrame frame;
    frame.width = width;
    frame.height = height;
    frame.indices = indices;
    frame.interlaced = interlaced;
    frame.transparentIndex = transparentIndex;
    return WriteGif(width, height, palette, {frame});
}

}  // namespace kestrune::resources
