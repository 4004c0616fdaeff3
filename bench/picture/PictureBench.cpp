// Decode, flatten, outline and full-window background paint of the built-in 1242 x 859 skin,
// each next to a baseline: GdkPixbuf decoding the same PNG, cairo compositing and tiling the same
// pixels, gdk_cairo_region_create_from_surface on the same silhouette.
#include <benchmark/benchmark.h>
#include <gdk/gdk.h>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstring>

#include "resources/Artwork.h"
#include "picture/Picture.h"
#include "picture/Skin.h"

namespace {

namespace ui = kestrune::ui;
using kestrune::platform::Bitmap;

constexpr kestrune::platform::Colour kButtonFace = 0xF0F0F0;
constexpr int kWindowWidth = 1250, kWindowHeight = 870;

std::span<const std::uint8_t> SkinBytes() { return kestrune::resources::LoginBackgroundPicture(); }

GdkPixbuf* PixbufFromSkin() {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("png", nullptr);
    gdk_pixbuf_loader_write(loader, SkinBytes().data(), SkinBytes().size(), nullptr);
    gdk_pixbuf_loader_close(loader, nullptr);
    GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader);
    if (pixbuf != nullptr) g_object_ref(pixbuf);
    g_object_unref(loader);
    return pixbuf;
}

// ---- decode

void BM_Decode_Kestrune(benchmark::State& state) {
    for (auto _ : state) {
        auto picture = ui::DecodePicture(SkinBytes());
        benchmark::DoNotOptimize(picture);
    }
}
BENCHMARK(BM_Decode_Kestrune)->Unit(benchmark::kMillisecond);

void BM_Decode_GdkPixbuf(benchmark::State& state) {
    for (auto _ : state) {
        GdkPixbuf* pixbuf = PixbufFromSkin();
        benchmark::DoNotOptimize(pixbuf);
        g_object_unref(pixbuf);
    }
}
BENCHMARK(BM_Decode_GdkPixbuf)->Unit(benchmark::kMillisecond);

// ---- flatten onto the button-face colour

void BM_Flatten_Kestrune(benchmark::State& state) {
    const auto picture = ui::DecodePicture(SkinBytes());
    for (auto _ : state) {
        auto bitmap = ui::MakeDrawableBitmap(*picture, kButtonFace);
        benchmark::DoNotOptimize(bitmap);
    }
}
BENCHMARK(BM_Flatten_Kestrune)->Unit(benchmark::kMillisecond);

void BM_Flatten_Cairo(benchmark::State& state) {
    GdkPixbuf* pixbuf = PixbufFromSkin();
    const int w = gdk_pixbuf_get_width(pixbuf), h = gdk_pixbuf_get_height(pixbuf);
    for (auto _ : state) {
        // A fresh opaque surface, filled with the matte, the picture composited over it.
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
        cairo_t* cr = cairo_create(surface);
        cairo_set_source_rgb(cr, 240 / 255.0, 240 / 255.0, 240 / 255.0);
        cairo_paint(cr);
        gdk_cairo_set_source_pixbuf(cr, pixbuf, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(surface);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(surface));
        cairo_surface_destroy(surface);
    }
    g_object_unref(pixbuf);
}
BENCHMARK(BM_Flatten_Cairo)->Unit(benchmark::kMillisecond);

// ---- colour-keyed outline

Bitmap SkinOnWhite() { return *ui::DecodePictureToBitmap(SkinBytes(), 0xFFFFFF); }

void BM_Region_Kestrune(benchmark::State& state) {
    const Bitmap bitmap = SkinOnWhite();
    std::size_t rects = 0;
    for (auto _ : state) {
        auto region = ui::BuildRegionFromBitmap(bitmap, 0xFFFFFF);
        rects = region->Rects().size();
        benchmark::DoNotOptimize(region);
    }
    state.counters["rects"] = static_cast<double>(rects);
}
BENCHMARK(BM_Region_Kestrune)->Unit(benchmark::kMillisecond);

void BM_Region_GdkCairo(benchmark::State& state) {
    // The same silhouette as an alpha mask: non-white pixels opaque, white ones transparent.
    const Bitmap bitmap = SkinOnWhite();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, bitmap.Width(), bitmap.Height());
    cairo_surface_flush(surface);
    std::uint8_t* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) {
            const std::uint8_t* s = bitmap.Data() + (static_cast<std::size_t>(y) * bitmap.Width() + x) * 4;
            const bool hole = s[0] == 255 && s[1] == 255 && s[2] == 255;
            std::uint32_t px = hole ? 0u : (0xFF000000u | (s[2] << 16) | (s[1] << 8) | s[0]);
            std::memcpy(data + static_cast<std::size_t>(y) * stride + x * 4, &px, 4);
        }
    cairo_surface_mark_dirty(surface);
    int rects = 0;
    for (auto _ : state) {
        cairo_region_t* region = gdk_cairo_region_create_from_surface(surface);
        rects = cairo_region_num_rectangles(region);
        benchmark::DoNotOptimize(region);
        cairo_region_destroy(region);
    }
    state.counters["rects"] = rects;
    cairo_surface_destroy(surface);
}
BENCHMARK(BM_Region_GdkCairo)->Unit(benchmark::kMillisecond);

// ---- full-window background paint, tiled, as the login window paints it

void BM_PaintBackground_Kestrune(benchmark::State& state) {
    ui::Skin skin;
    skin.SetPicture({SkinBytes().begin(), SkinBytes().end()});
    skin.pictureMode = ui::kPictureTiled;
    skin.backColour = kButtonFace;
    Bitmap target(kWindowWidth, kWindowHeight);
    const bool newMatte = state.range(0) != 0;
    int i = 0;
    for (auto _ : state) {
        // With a new matte every time, each paint re-flattens the cached pixels.
        if (newMatte) skin.backColour = kButtonFace ^ static_cast<std::uint32_t>(++i & 1);
        ui::PaintBackground(skin, target.View(), kestrune::platform::Rect{0, 0, kWindowWidth, kWindowHeight});
        benchmark::DoNotOptimize(target.Data());
    }
    state.counters["decodes"] = skin.decodeCount;
}
BENCHMARK(BM_PaintBackground_Kestrune)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_PaintBackground_Cairo(benchmark::State& state) {
    // Arg 0: the picture converted to a cairo surface once; 1: converted from the pixbuf at every paint.
    GdkPixbuf* pixbuf = PixbufFromSkin();
    cairo_surface_t* picture = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, gdk_pixbuf_get_width(pixbuf),
                                                          gdk_pixbuf_get_height(pixbuf));
    {
        cairo_t* cr = cairo_create(picture);
        gdk_cairo_set_source_pixbuf(cr, pixbuf, 0, 0);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cr);
        cairo_destroy(cr);
    }
    const bool convert = state.range(0) != 0;
    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWindowWidth, kWindowHeight);
    for (auto _ : state) {
        cairo_t* cr = cairo_create(target);
        cairo_set_source_rgb(cr, 240 / 255.0, 240 / 255.0, 240 / 255.0);
        cairo_paint(cr);
        if (convert) gdk_cairo_set_source_pixbuf(cr, pixbuf, 0, 0);
        else cairo_set_source_surface(cr, picture, 0, 0);
        cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_REPEAT);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(target);
        benchmark::DoNotOptimize(cairo_image_surface_get_data(target));
    }
    cairo_surface_destroy(target);
    cairo_surface_destroy(picture);
    g_object_unref(pixbuf);
}
BENCHMARK(BM_PaintBackground_Cairo)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
