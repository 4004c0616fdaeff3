// Picture detection, decoding and flattening on files built in memory (and two GIFs written by an
// independent encoder, kept here as bytes).
#include <gtest/gtest.h>

#include <random>

#include "tests/unit/picture/PictureFiles.h"
#include "tests/support/TestPng.h"
#include "tests/unit/picture/PictureFixtures.h"
#include "picture/Decoders.h"
#include "picture/Picture.h"

namespace {

using kestrune::platform::Bitmap;
using kestrune::platform::Colour;
using kestrune::platform::MakeColour;
using namespace kestrune::ui;
using picture_test::Bytes;
namespace res = kestrune::resources;

// 13 x 11, colour (x * 7 + y * 13) % 16 of kPatternPalette; plain and interlaced.
const std::uint8_t kPatternGif[] = {71,73,70,56,57,97,13,0,11,0,243,0,0,224,45,6,240,30,43,144,120,77,160,105,114,112,150,3,0,255,0,16,240,37,32,225,74,48,210,111,128,135,40,176,90,151,192,75,188,208,60,225,80,180,185,64,195,148,96,165,222,33,249,4,0,0,0,0,0,44,0,0,0,0,13,0,11,0,0,4,50,176,16,208,22,26,38,133,199,92,87,135,32,81,22,134,105,156,3,138,211,84,93,217,246,169,225,248,158,113,186,218,36,140,126,135,157,171,20,251,209,88,164,91,14,40,168,13,125,155,8,0,59};
const std::uint8_t kPatternGifInterlaced[] = {71,73,70,56,57,97,13,0,11,0,243,0,0,224,45,6,240,30,43,144,120,77,160,105,114,112,150,3,0,255,0,16,240,37,32,225,74,48,210,111,128,135,40,176,90,151,192,75,188,208,60,225,80,180,185,64,195,148,96,165,222,33,249,4,0,0,0,0,0,44,0,0,0,0,13,0,11,0,64,4,51,176,16,208,22,26,38,133,199,156,230,142,114,8,18,181,132,99,89,93,25,246,117,34,57,153,236,139,166,211,234,110,48,78,99,57,203,14,164,200,240,80,50,74,76,37,52,234,140,196,81,4,0,59};

Colour PatternColour(int x, int y) {
    const int i = (x * 7 + y * 13) % 16;
    return MakeColour(static_cast<std::uint8_t>(i * 16), static_cast<std::uint8_t>(255 - i * 15),
                      static_cast<std::uint8_t>((i * 37) % 256));
}

Bytes Png(const Bytes& rgba, int w, int h) { return test_support::WritePng(rgba, w, h); }

Bitmap Flatten(const Bytes& file, Colour matte) {
    auto bitmap = DecodePictureToBitmap(file, matte);
    EXPECT_TRUE(bitmap.has_value());
    return bitmap ? *bitmap : Bitmap();
}

TEST(PictureDetection, RecognisesEachSignatureAndNothingShorterThanEightBytes) {
    auto kind = [](Bytes b) {
        b.resize(std::max<std::size_t>(b.size(), 8), 0x55);
        return DetectPictureFormat(b);
    };
    EXPECT_EQ(kind({'B', 'M'}), kPictureBmp);
    EXPECT_EQ(kind({0xFF, 0xD8}), kPictureJpeg);
    EXPECT_EQ(kind({0x89, 'P', 'N', 'G'}), kPicturePng);
    EXPECT_EQ(kind({0, 0, 1, 0, 1, 0}), kPictureIcon);
    EXPECT_EQ(kind({0, 0, 2, 0, 3, 0}), kPictureCursor);
    EXPECT_EQ(kind({0, 0, 1, 0, 0, 0}), kPictureNone);  // no images
    EXPECT_EQ(kind({'G', 'I', 'F', '8', '7', 'a'}), kPictureGif);
    EXPECT_EQ(kind({'G', 'I', 'F', '8', '9', 'a'}), kPictureGif);
    EXPECT_EQ(kind({'G', 'I', 'F', '8', '8', 'a'}), kPictureNone);
    EXPECT_EQ(kind({0x0A, 5, 1, 8}), kPicturePcx8);
    EXPECT_EQ(kind({0x0A, 3, 1, 1}), kPicturePcx1);
    EXPECT_EQ(kind({0x0A, 6, 1, 8}), kPictureNone);

    const Bytes png = Png(Bytes(4, 0), 1, 1);
    EXPECT_EQ(DetectPictureFormat(std::span(png).first(7)), kPictureNone);
    EXPECT_FALSE(DecodePicture(std::span(png).first(5)).has_value());
    EXPECT_FALSE(DecodePicture(std::span(png).first(7)).has_value());
    EXPECT_FALSE(DecodePicture(std::span(png).first(8)).has_value());  // the signature and nothing else
    EXPECT_FALSE(DecodePicture({}).has_value());
}

TEST(PngDecoding, GivesStraightBgraRowsTopDown) {
    const Bytes rgba = {10, 20, 30, 255, 40, 50, 60, 128, 70, 80, 90, 0, 1, 2, 3, 4};
    const auto picture = DecodePicture(Png(rgba, 2, 2));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->kind, kPicturePng);
    EXPECT_EQ(picture->width, 2);
    EXPECT_EQ(picture->height, 2);
    const Bytes expected = {30, 20, 10, 255, 60, 50, 40, 128, 90, 80, 70, 0, 3, 2, 1, 4};
    EXPECT_EQ(picture->pixels, expected);
}

TEST(PngDecoding, DamagedOrTruncatedFilesGiveNone) {
    Bytes rgba(16 * 16 * 4);
    for (std::size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<std::uint8_t>(i * 7);
    const Bytes good = Png(rgba, 16, 16);
    ASSERT_TRUE(DecodePicture(good));
    for (std::size_t cut : {std::size_t{20}, std::size_t{40}, good.size() / 2, good.size() - 13})
        EXPECT_FALSE(DecodePicture(std::span(good).first(cut))) << "cut at " << cut;
    Bytes damaged = good;
    damaged[damaged.size() / 2] ^= 0x5A;  // inside IDAT: the chunk's check sum no longer matches
    EXPECT_FALSE(DecodePicture(damaged));
}

TEST(PngDecoding, AChunkLongerThanTheFileIsRefusedBeforeDecoding) {
    const Bytes good = Png(Bytes(4 * 4 * 4, 0x80), 4, 4);
    EXPECT_TRUE(detail::PngChunksFit(good));
    // An ancillary chunk declaring 1.8 GB just before IEND: the library would allocate that much.
    Bytes huge(good.begin(), good.end() - 12);
    for (std::uint8_t b : {0x6E, 0x00, 0x00, 0x0E}) huge.push_back(b);
    for (char c : std::string("iTXtTitle")) huge.push_back(static_cast<std::uint8_t>(c));
    huge.insert(huge.end(), good.end() - 12, good.end());
    EXPECT_FALSE(detail::PngChunksFit(huge));
    EXPECT_FALSE(DecodePicture(huge));
    // A chunk cut inside its data claims more than is there, wherever the file stops.
    EXPECT_FALSE(detail::PngChunksFit(std::span(good).first(good.size() - 12 - 5)));
    Bytes hugeWithoutEnd(huge.begin(), huge.end() - 12);
    EXPECT_FALSE(detail::PngChunksFit(hugeWithoutEnd));
    EXPECT_FALSE(DecodePicture(hugeWithoutEnd));
}

TEST(PngDecoding, AFileWithoutIendIsTheDecodersToJudge) {
    Bytes rgba(8 * 8 * 4);
    for (std::size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<std::uint8_t>(i * 13 + 1);
    const Bytes good = Png(rgba, 8, 8);
    const auto whole = DecodePicture(good);
    ASSERT_TRUE(whole);
    // Without IEND, or with only part of its header, every pixel is still there.
    for (std::size_t drop : {std::size_t{12}, std::size_t{6}}) {
        const Bytes cut(good.begin(), good.end() - static_cast<std::ptrdiff_t>(drop));
        EXPECT_TRUE(detail::PngChunksFit(cut)) << drop;
        const auto decoded = DecodePicture(cut);
        ASSERT_TRUE(decoded) << "without the last " << drop << " bytes";
        EXPECT_EQ(decoded->pixels, whole->pixels);
    }
    // The image data itself missing: the decoder refuses it.
    EXPECT_FALSE(DecodePicture(std::span(good).first(33)));
}

TEST(Flattening, BlendsTruncatingTowardZero) {
    // Black at alpha 128 and at alpha 1 over white; white over white at every alpha.
    Bytes rgba = {0, 0, 0, 128, 0, 0, 0, 1};
    for (int a = 0; a < 256; ++a) rgba.insert(rgba.end(), {255, 255, 255, static_cast<std::uint8_t>(a)});
    const Bitmap flat = Flatten(Png(rgba, 258, 1), 0xFFFFFF);
    EXPECT_EQ(flat.View().ColourAt(0, 0), MakeColour(126, 126, 126));
    EXPECT_EQ(flat.View().ColourAt(1, 0), MakeColour(253, 253, 253));
    for (int a = 0; a < 256; ++a) EXPECT_EQ(flat.View().ColourAt(2 + a, 0), 0xFFFFFFu) << "alpha " << a;
    for (int x = 0; x < flat.Width(); ++x) EXPECT_EQ(flat.Data()[x * 4 + 3], 255);  // opaque
}

TEST(Flattening, TransparentPixelsBecomeExactlyTheMatteAndOpaqueOnesStay) {
    const Bytes rgba = {200, 100, 50, 0, 0, 0, 0, 0, 255, 255, 255, 0, 200, 100, 50, 255, 1, 2, 3, 255};
    const Bytes file = Png(rgba, 5, 1);
    for (Colour matte : {0xFFFFFFu, 0xF0F0F0u, 0x123456u, 0u}) {
        const Bitmap flat = Flatten(file, matte);
        for (int x = 0; x < 3; ++x) EXPECT_EQ(flat.View().ColourAt(x, 0), matte);
        EXPECT_EQ(flat.View().ColourAt(3, 0), MakeColour(200, 100, 50));
        EXPECT_EQ(flat.View().ColourAt(4, 0), MakeColour(1, 2, 3));
    }
    // Each channel blends with the matte's channel of the same colour.
    const Bitmap half = Flatten(Png({0, 0, 0, 128}, 1, 1), 0x0000FF);  // red matte
    EXPECT_EQ(half.View().ColourAt(0, 0), MakeColour(126, 0, 0));
    EXPECT_EQ(detail::BlendChannel(0, 255, 128), 126);
    EXPECT_EQ(detail::BlendChannel(0, 255, 1), 253);
}

// Rows of runs of every kind and length around the 4- and 16-pixel steps and the shortest run kept
// apart: opaque, transparent, partly transparent, alternating, and random alpha.
Bytes RunsPicture(int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes rgba;
    for (int y = 0; y < h; ++y) {
        int x = 0;
        while (x < w) {
            const int kind = static_cast<int>(rng() % 5);
            const int length = 1 + static_cast<int>(rng() % 70);
            for (int i = 0; i < length && x < w; ++i, ++x) {
                std::uint8_t a = 0;
                switch (kind) {
                    case 0: a = 255; break;
                    case 1: a = 0; break;
                    case 2: a = static_cast<std::uint8_t>(1 + rng() % 254); break;
                    case 3: a = (i & 1) ? 255 : 0; break;
                    default: a = static_cast<std::uint8_t>(rng()); break;
                }
                rgba.insert(rgba.end(), {static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()),
                                         static_cast<std::uint8_t>(rng()), a});
            }
        }
    }
    return rgba;
}

// The flattening rule pixel by pixel.
Colour Flattened(const Bytes& rgba, int w, int x, int y, Colour matte) {
    const std::uint8_t* p = rgba.data() + (static_cast<std::size_t>(y) * w + x) * 4;
    if (p[3] == 255) return MakeColour(p[0], p[1], p[2]);
    if (p[3] == 0) return matte;
    return MakeColour(detail::BlendChannel(p[0], kestrune::platform::RedOf(matte), p[3]),
                      detail::BlendChannel(p[1], kestrune::platform::GreenOf(matte), p[3]),
                      detail::BlendChannel(p[2], kestrune::platform::BlueOf(matte), p[3]));
}

TEST(Flattening, EveryPathGivesTheRuleAtAnyOffsetWithOrWithoutTheRunIndex) {
    constexpr int w = 203, h = 9;
    const Bytes rgba = RunsPicture(w, h, 7);
    const auto picture = DecodePicture(Png(rgba, w, h));
    ASSERT_TRUE(picture);
    const AlphaRuns runs = AlphaRuns::Of(*picture);
    ASSERT_EQ(runs.rowStart.size(), static_cast<std::size_t>(h) + 1);
    for (Colour matte : {0xF0F0F0u, 0x123456u}) {
        const auto bitmap = MakeDrawableBitmap(*picture, matte);
        ASSERT_TRUE(bitmap);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) ASSERT_EQ(bitmap->View().ColourAt(x, y), Flattened(rgba, w, x, y, matte));
        for (const AlphaRuns* index : {static_cast<const AlphaRuns*>(nullptr), &runs}) {
            const PictureFlattener flat(*picture, matte, index);
            ASSERT_TRUE(flat.Valid());
            // Drawn shifted and clipped so that rows start and end inside runs.
            Bitmap target(w + 20, h + 4);
            const kestrune::platform::Rect clip{13, 1, w - 3, h + 2};
            flat.Draw(target.View(), 5, 2, clip);
            for (int ty = 0; ty < target.Height(); ++ty)
                for (int tx = 0; tx < target.Width(); ++tx) {
                    const bool inside = tx >= clip.left && tx < clip.right && ty >= clip.top && ty < clip.bottom &&
                                        tx - 5 < w && ty - 2 < h && ty >= 2;
                    const Colour expected = inside ? Flattened(rgba, w, tx - 5, ty - 2, matte) : 0u;
                    ASSERT_EQ(target.View().ColourAt(tx, ty), expected) << tx << "," << ty;
                }
        }
    }
}

TEST(Flattening, RunIndexKeepsLongRunsApartAndNoneForRestlessAlpha) {
    // One row: 40 opaque, 5 transparent, 40 transparent, 3 half, 31 opaque (too short: mixed).
    Bytes rgba;
    auto add = [&](int n, std::uint8_t a) {
        for (int i = 0; i < n; ++i) rgba.insert(rgba.end(), {9, 9, 9, a});
    };
    add(40, 255);
    add(45, 0);
    add(3, 128);
    add(31, 255);
    const auto picture = DecodePicture(Png(rgba, 119, 1));
    ASSERT_TRUE(picture);
    const AlphaRuns runs = AlphaRuns::Of(*picture);
    ASSERT_EQ(runs.runs.size(), 3u);
    EXPECT_EQ(runs.runs[0].kind, AlphaRuns::kOpaque);
    EXPECT_EQ(runs.runs[0].length, 40);
    EXPECT_EQ(runs.runs[1].kind, AlphaRuns::kClear);
    EXPECT_EQ(runs.runs[1].start, 40);
    EXPECT_EQ(runs.runs[1].length, 45);
    EXPECT_EQ(runs.runs[2].kind, AlphaRuns::kMixed);
    EXPECT_EQ(runs.runs[2].length, 34);

    // Opaque and transparent by turns every 32 pixels everywhere: the index would cost more than
    // it saves.
    Bytes restless;
    for (int i = 0; i < 64 * 64; ++i)
        restless.insert(restless.end(), {1, 2, 3, static_cast<std::uint8_t>((i / 32) & 1 ? 255 : 0)});
    const auto noisy = DecodePicture(Png(restless, 64, 64));
    ASSERT_TRUE(noisy);
    const AlphaRuns none = AlphaRuns::Of(*noisy);
    EXPECT_TRUE(none.runs.empty());
    EXPECT_TRUE(none.rowStart.empty());
    // Pictures without alpha keep no index either.
    EXPECT_TRUE(AlphaRuns::Of(*DecodePicture(kPatternGif)).rowStart.empty());
}

TEST(GifDecoding, IndependentEncoderPlainAndInterlacedGiveThePattern) {
    for (std::span<const std::uint8_t> file : {std::span<const std::uint8_t>(kPatternGif),
                                               std::span<const std::uint8_t>(kPatternGifInterlaced)}) {
        const auto bitmap = DecodePictureToBitmap(file, 0xFFFFFF);
        ASSERT_TRUE(bitmap);
        ASSERT_EQ(bitmap->Width(), 13);
        ASSERT_EQ(bitmap->Height(), 11);
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < 13; ++x) ASSERT_EQ(bitmap->View().ColourAt(x, y), PatternColour(x, y)) << x << "," << y;
    }
}

// The first image as giflib's decoder reads it: the logical screen as the picture's size, the image's
// indices in rows padded to four bytes, and the palette that image uses (its own, or the global one).
void ExpectReadAsGiflibReads(const picture_test::Fixture& fixture) {
    SCOPED_TRACE(fixture.name);
    const auto reading = picture_test::ParseGifReading(fixture.decoded);
    ASSERT_TRUE(reading);
    const auto picture = DecodePicture(fixture.file);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->kind, kPictureGif);
    EXPECT_EQ(picture->width, reading->screenWidth);
    EXPECT_EQ(picture->height, reading->screenHeight);
    const Bytes& px = picture->pixels;
    const std::size_t stride = detail::IndexedStride(reading->width);
    ASSERT_EQ(px.size(), detail::kIndexedRowsOffset + stride * static_cast<std::size_t>(reading->height));
    EXPECT_EQ(detail::ReadS32(px.data() + 4), reading->width);
    EXPECT_EQ(detail::ReadS32(px.data() + 8), -reading->height);  // top-down
    const std::uint8_t* pal = px.data() + detail::kIndexedHeaderSize;
    for (std::size_t i = 0; i * 3 < reading->palette.size(); ++i) {
        ASSERT_EQ(pal[i * 4], reading->palette[i * 3 + 2]) << "entry " << i;  // blue first
        ASSERT_EQ(pal[i * 4 + 1], reading->palette[i * 3 + 1]) << "entry " << i;
        ASSERT_EQ(pal[i * 4 + 2], reading->palette[i * 3]) << "entry " << i;
    }
    for (int y = 0; y < reading->height; ++y)
        for (int x = 0; x < reading->width; ++x)
            ASSERT_EQ(px[detail::kIndexedRowsOffset + y * stride + x], reading->indices[y * reading->width + x])
                << x << "," << y;
}

TEST(GifDecoding, ReadsEveryFileGiflibWroteAsGiflibReadsIt) {
    // Interlaced and plain at every height to 19, every smallest code size from 2 to 8 over noise that
    // fills and clears the code table, a local palette, a transparent index, several images with
    // their own palettes and places, and an image smaller than its screen.
    const auto fixtures = picture_test::GifFixtures();
    ASSERT_EQ(fixtures.size(), 51u);
    for (const auto& fixture : fixtures) ExpectReadAsGiflibReads(fixture);
}

TEST(GifDecoding, IndexedLayoutHeader) {
    const auto picture = DecodePicture(picture_test::GifFixture("GifPlainH2").file);  // 7 x 2, 16 colours
    ASSERT_TRUE(picture);
    const Bytes& px = picture->pixels;
    ASSERT_EQ(px.size(), detail::kIndexedRowsOffset + 8 * 2);  // rows padded from 7 to 8
    EXPECT_EQ(detail::ReadU32(px.data()), 40u);
    EXPECT_EQ(detail::ReadU16(px.data() + 12), 1);
    EXPECT_EQ(detail::ReadU16(px.data() + 14), 8);
    EXPECT_EQ(detail::ReadU32(px.data() + 16), 0u);
    EXPECT_EQ(detail::ReadU32(px.data() + 32), 256u);
    EXPECT_EQ(detail::ReadU32(px.data() + 36), 256u);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(px[detail::kIndexedHeaderSize + i * 4 + 3], 0);
}

TEST(GifDecoding, InterlacedEqualsPlainForEveryHeight) {
    for (int h = 1; h <= 19; ++h) {
        const auto plain = DecodePicture(picture_test::GifFixture("GifPlainH" + std::to_string(h)).file);
        const auto woven = DecodePicture(picture_test::GifFixture("GifInterlacedH" + std::to_string(h)).file);
        ASSERT_TRUE(plain && woven) << "height " << h;
        EXPECT_EQ(plain->pixels, woven->pixels) << "height " << h;
    }
}

TEST(GifDecoding, TransparentIndexKeepsItsColourAndLocalTablesWin) {
    // 3 x 2 of {0, 1, 1, 0, 2, 3}, index 1 (40, 50, 60) marked transparent.
    const Bitmap bitmap = Flatten(picture_test::GifFixture("GifTransparent").file, 0xFFFFFF);
    EXPECT_EQ(bitmap.View().ColourAt(1, 0), MakeColour(40, 50, 60));
    EXPECT_EQ(bitmap.View().ColourAt(2, 1), MakeColour(200, 100, 50));

    const auto fixture = picture_test::GifFixture("GifLocalPalette");
    const auto reading = picture_test::ParseGifReading(fixture.decoded);
    ASSERT_TRUE(reading);
    ASSERT_EQ(reading->palette.size(), 8u * 3);  // the image's own 8 entries, not the global 4
    const Bitmap local = Flatten(fixture.file, 0xFFFFFF);
    for (int x = 0; x < 6; ++x) {
        const std::size_t i = reading->indices[static_cast<std::size_t>(x)];
        EXPECT_EQ(local.View().ColourAt(x, 0),
                  MakeColour(reading->palette[i * 3], reading->palette[i * 3 + 1], reading->palette[i * 3 + 2]));
    }
}

TEST(GifDecoding, ImageSmallerThanTheScreenSitsTopLeftOnBlack) {
    // A 5 x 4 screen, and one 2 x 2 image of index 1 (200, 100, 50) placed at (2, 1).
    const auto picture = DecodePicture(picture_test::GifFixture("GifSmallerThanScreen").file);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 5);  // the logical screen
    EXPECT_EQ(picture->height, 4);
    const auto bitmap = MakeDrawableBitmap(*picture, 0xFFFFFF);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->View().ColourAt(1, 1), MakeColour(200, 100, 50));
    EXPECT_EQ(bitmap->View().ColourAt(4, 3), 0u);
}

// A GIF header with a 2-entry global table, followed by `blocks`.
Bytes GifWith(const Bytes& blocks) {
    Bytes b = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255};
    b.insert(b.end(), blocks.begin(), blocks.end());
    return b;
}

TEST(GifDecoding, StructuralFaultsGiveNone) {
    Bytes image = {0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0, 2};  // a valid 2 x 2 image
    const Bytes codes = {0x44, 0x02, 0x05};  // clear, 0, 1, 1, 0, end: 3-bit codes, then 4-bit ones
    image.push_back(static_cast<std::uint8_t>(codes.size()));
    image.insert(image.end(), codes.begin(), codes.end());
    image.insert(image.end(), {0, 0x3B});
    ASSERT_TRUE(DecodePicture(GifWith(image)));

    // Extensions but no image before the trailer; a zero byte; the end of the data.
    EXPECT_FALSE(DecodePicture(GifWith({0x21, 0xF9, 4, 1, 0, 0, 1, 0, 0x21, 0xFE, 2, 'h', 'i', 0, 0x3B})));
    EXPECT_FALSE(DecodePicture(GifWith({0x21, 0xFF, 3, 'a', 'b', 'c', 0, 0x00, 0x2C})));
    EXPECT_FALSE(DecodePicture(GifWith({0x21, 0x01, 1, 0, 0})));
    // An unknown extension label, an unknown block, a sub-block running past the data.
    Bytes unknown = {0x21, 0x77, 1, 0, 0};
    unknown.insert(unknown.end(), image.begin(), image.end());
    EXPECT_FALSE(DecodePicture(GifWith(unknown)));
    Bytes stray = {0x42};
    stray.insert(stray.end(), image.begin(), image.end());
    EXPECT_FALSE(DecodePicture(GifWith(stray)));
    EXPECT_FALSE(DecodePicture(GifWith({0x21, 0xFE, 200, 'x', 'y'})));
    // A global table reaching the end of the data.
    EXPECT_FALSE(DecodePicture(Bytes{'G', 'I', 'F', '8', '9', 'a', 2, 0, 2, 0, 0x81, 0, 0, 1, 2, 3, 4, 5, 6, 7}));
    // A code above the next free code right after a clear code.
    EXPECT_FALSE(DecodePicture(GifWith({0x2C, 0, 0, 0, 0, 2, 0, 2, 0, 0, 2, 1, 0x7C, 0, 0x3B})));
    // Truncated anywhere inside the image data.
    const Bytes big = picture_test::GifFixture("GifNoise40").file;  // 40 x 40 noise over 256 colours
    ASSERT_TRUE(DecodePicture(big));
    for (std::size_t cut = 13 + 768; cut < big.size() - 2; cut += 97)
        EXPECT_FALSE(DecodePicture(std::span(big).first(cut))) << "cut at " << cut;
}

TEST(JpegDecoding, GreyscaleGivesThreeEqualChannelsBottomUp) {
    // 16 x 16 grey, rows 0-7 at 40 and 8-15 at 220, quality 100.
    const int w = 16, h = 16;
    const auto picture = DecodePicture(picture_test::FixtureFile("JpegGreyBands"));
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->kind, kPictureJpeg);
    ASSERT_EQ(picture->pixels.size(), static_cast<std::size_t>(w * h * 3));
    for (std::size_t i = 0; i < picture->pixels.size(); i += 3) {
        ASSERT_EQ(picture->pixels[i], picture->pixels[i + 1]);
        ASSERT_EQ(picture->pixels[i], picture->pixels[i + 2]);
    }
    // The first stored row is the picture's last (light) row.
    EXPECT_NEAR(picture->pixels[0], 220, 6);
    EXPECT_NEAR(picture->pixels[(h - 1) * w * 3], 40, 6);
}

TEST(JpegDecoding, ColourComesOutBlueGreenRed) {
    // 16 x 16 of red 250, green 10, blue 10, quality 100.
    const Bytes file = picture_test::FixtureFile("JpegRed");
    const auto picture = DecodePicture(file);
    ASSERT_TRUE(picture);
    EXPECT_LT(picture->pixels[0], 40);   // blue
    EXPECT_GT(picture->pixels[2], 220);  // red
    const Bitmap bitmap = Flatten(file, 0xFFFFFF);
    EXPECT_GT(kestrune::platform::RedOf(bitmap.View().ColourAt(3, 3)), 220);

    EXPECT_FALSE(DecodePicture(std::span(file).first(24)));  // ends inside the headers
    // Ends inside the scan data: the library would pad it out; a short file gives none.
    const Bytes big = picture_test::FixtureFile("JpegNoise");  // 64 x 64 of noise, quality 90
    ASSERT_TRUE(DecodePicture(big));
    EXPECT_FALSE(DecodePicture(std::span(big).first(big.size() * 7 / 10)));
    EXPECT_FALSE(DecodePicture(std::span(big).first(big.size() - 2)));  // only the end marker missing
    Bytes damaged = file;
    for (std::size_t i = 2; i < 60 && i < damaged.size(); ++i) damaged[i] = 0xFF;
    EXPECT_FALSE(DecodePicture(damaged));
}

TEST(JpegDecoding, TheEndMarkerIsFoundOnlyInCompleteFiles) {
    for (const char* name : {"JpegGreyBands", "JpegRed", "JpegNoise", "JpegSubsampled", "JpegProgressive"}) {
        const Bytes file = picture_test::FixtureFile(name);
        ASSERT_FALSE(file.empty()) << name;
        EXPECT_TRUE(detail::JpegReachesEnd(file)) << name;
        Bytes trailing = file;
        trailing.insert(trailing.end(), {0, 1, 2});  // bytes after the end marker are not read
        EXPECT_TRUE(detail::JpegReachesEnd(trailing)) << name;
        for (std::size_t cut : {std::size_t{4}, std::size_t{24}, file.size() / 2, file.size() - 2, file.size() - 1})
            EXPECT_FALSE(detail::JpegReachesEnd(std::span(file).first(cut))) << name << " cut at " << cut;
    }
    // A segment whose length runs past the file, and data that does not start a JPEG.
    EXPECT_FALSE(detail::JpegReachesEnd(Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0x7F, 0xFF, 0, 0, 0xFF, 0xD9}));
    EXPECT_FALSE(detail::JpegReachesEnd(Bytes{0xFF, 0xD9, 0xFF, 0xD8}));
    EXPECT_TRUE(detail::JpegReachesEnd(Bytes{0xFF, 0xD8, 0xFF, 0xFF, 0xD9}));  // a fill byte before the marker
}

TEST(BmpDecoding, TwentyFourBitsBothRowOrders) {
    const Bytes rgb = {255, 0, 0, 0, 255, 0, 0, 0, 255, 10, 20, 30, 40, 50, 60, 70, 80, 90};  // 3 x 2 top-down
    for (bool topDown : {false, true}) {
        const Bytes file = picture_test::MakeBmp(3, 2, 24, rgb, {}, topDown);
        const auto picture = DecodePicture(file);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->kind, kPictureBmp);
        EXPECT_EQ(picture->pixels.size(), 18u);  // no row padding in the decoded layout
        const Bitmap bitmap = Flatten(file, 0);
        EXPECT_EQ(bitmap.View().ColourAt(0, 0), MakeColour(255, 0, 0));
        EXPECT_EQ(bitmap.View().ColourAt(2, 0), MakeColour(0, 0, 255));
        EXPECT_EQ(bitmap.View().ColourAt(1, 1), MakeColour(40, 50, 60));
    }
}

TEST(BmpDecoding, PaletteAndFaults) {
    const Bytes palette = {0, 0, 0, 0, 255, 128, 64, 0};  // black, (64, 128, 255)
    const Bytes file = picture_test::MakeBmp(2, 2, 8, {0, 1, 1, 0}, palette);
    const Bitmap bitmap = Flatten(file, 0);
    EXPECT_EQ(bitmap.View().ColourAt(1, 0), MakeColour(64, 128, 255));
    EXPECT_EQ(bitmap.View().ColourAt(1, 1), 0u);

    EXPECT_FALSE(DecodePicture(picture_test::MakeBmp(2, 2, 8, {0, 1, 1, 0}, palette, false, 1)));  // RLE 8
    EXPECT_FALSE(DecodePicture(picture_test::MakeBmp(2, 2, 24, Bytes(12, 0), {}, false, 2)));      // RLE 4
    EXPECT_FALSE(DecodePicture(std::span(file).first(file.size() - 1)));  // short pixel data
    Bytes palettePastOffset = file;
    palettePastOffset[10] = 56;  // pixel data said to start inside the palette
    EXPECT_FALSE(DecodePicture(palettePastOffset));
}

TEST(IconDecoding, IconAndCursorFilesGiveTheirImage) {
    Bytes bgra(32 * 32 * 4, 0);  // transparent, left half opaque
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 16; ++x) {
            std::uint8_t* p = bgra.data() + (y * 32 + x) * 4;
            p[0] = 200, p[1] = 100, p[2] = 50, p[3] = 255;
        }
    const Bytes icon = res::EncodeIconFile(bgra, 32, 32);
    const Bytes cursor = res::EncodeIconFile(bgra, 32, 32, true, 3, 4);
    EXPECT_EQ(DetectPictureFormat(icon), kPictureIcon);
    EXPECT_EQ(DetectPictureFormat(cursor), kPictureCursor);
    for (const Bytes* file : {&icon, &cursor}) {
        const auto picture = DecodePicture(*file);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->width, 32);
        EXPECT_EQ(picture->height, 32);
        EXPECT_TRUE(picture->pixels.empty());
        // Drawn over white, whatever the matte asked for.
        const Bitmap bitmap = Flatten(*file, 0x000000);
        EXPECT_EQ(bitmap.View().ColourAt(3, 5), MakeColour(50, 100, 200));
        EXPECT_EQ(bitmap.View().ColourAt(20, 5), 0xFFFFFFu);
    }
    EXPECT_FALSE(DecodePicture(std::span(icon).first(icon.size() - 100)));
}

}  // namespace
