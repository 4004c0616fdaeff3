// JPEG files written with libjpeg, for the programs that make test pictures on the build machine
// (the Windows build has no libjpeg; its tests get these files embedded).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <jpeglib.h>

namespace picture_test {

// A baseline JPEG of `components` (1 grey, 3 RGB, 4 CMYK) samples per pixel, rows top-down.
// `progressive` writes the scans of a progressive JPEG; `subsampled` (the encoder's default) halves the colour
// resolution both ways; without it every colour sample is kept.
inline std::vector<std::uint8_t> MakeJpeg(int width, int height, int components, const std::vector<std::uint8_t>& samples,
                                          int quality = 95, bool progressive = false, bool subsampled = true) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (components == 3 && !subsampled) {
        for (int c = 0; c < 3; ++c) info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    }
    if (progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples.data() + static_cast<std::size_t>(info.next_scanline) * width * components);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

}  // namespace picture_test
