// JPEG through libjpeg, with an error manager that returns control here instead of exiting.
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

#include "picture/Decoders.h"

namespace kestrune::ui::detail {

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    bool truncated = false;
};

[[noreturn]] void ErrorExit(j_common_ptr info) {
    ErrorManager* manager = reinterpret_cast<ErrorManager*>(info->err);
    std::longjmp(manager->jump, 1);
}

void SilentMessage(j_common_ptr) {}

// The library pads data that ends early with an end marker and goes on, warning only; such a file
// is short, so the decoder gives none for it, as for any other damage.
void NoteWarning(j_common_ptr info, int level) {
    if (level >= 0) return;  // trace messages
    ErrorManager* manager = reinterpret_cast<ErrorManager*>(info->err);
    if (info->err->msg_code == JWRN_JPEG_EOF) manager->truncated = true;
}

// Decompresses into `rgb` (top-down R, G, B); no C++ object is created between setjmp and the
// library calls that may jump back.
bool Decompress(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& rgb, std::uint32_t& width,
                std::uint32_t& height) {
    jpeg_decompress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = ErrorExit;
    errors.base.output_message = SilentMessage;
    errors.base.emit_message = NoteWarning;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_start_decompress(&info);
    const int components = info.output_components;
    if ((components != 3 && components != 1) || !DimensionsAcceptable(info.output_width, info.output_height)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    width = info.output_width;
    height = info.output_height;
    rgb.resize(static_cast<std::size_t>(width) * height * 3);
    std::vector<std::uint8_t>& scan = rgb;  // greyscale rows are read into place, then spread
    while (info.output_scanline < info.output_height) {
        std::uint8_t* row = scan.data() + static_cast<std::size_t>(info.output_scanline) * width * 3;
        JSAMPROW rows[1] = {row};
        if (jpeg_read_scanlines(&info, rows, 1) != 1) break;
        if (components == 1) {
            for (std::uint32_t x = width; x-- > 0;) row[x * 3] = row[x * 3 + 1] = row[x * 3 + 2] = row[x];
        }
    }
    const bool complete = info.output_scanline == info.output_height && !errors.truncated;
    if (complete) jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return complete;
}

}  // namespace

std::optional<DecodedPicture> DecodeJpeg(std::span<const std::uint8_t> bytes) {
    std::vector<std::uint8_t> rgb;
    std::uint32_t w = 0, h = 0;
    if (!Decompress(bytes, rgb, w, h)) return std::nullopt;
    DecodedPicture picture;
    picture.kind = kPictureJpeg;
    picture.width = static_cast<int>(w);
    picture.height = static_cast<int>(h);
    picture.pixels.resize(rgb.size());
    const std::size_t rowBytes = static_cast<std::size_t>(w) * 3;
    for (std::uint32_t y = 0; y < h; ++y) {
        const std::uint8_t* s = rgb.data() + static_cast<std::size_t>(y) * rowBytes;
        std::uint8_t* d = picture.pixels.data() + static_cast<std::size_t>(h - 1 - y) * rowBytes;
        for (std::uint32_t x = 0; x < w; ++x) {
            d[x * 3] = s[x * 3 + 2];
            d[x * 3 + 1] = s[x * 3 + 1];
            d[x * 3 + 2] = s[x * 3];
        }
    }
    return picture;
}

}  // namespace kestrune::ui::detail
