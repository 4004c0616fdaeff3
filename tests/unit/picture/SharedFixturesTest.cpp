// Both builds decode the shared PNG and JPEG files into exactly what the libpng and libjpeg decoders
// give: same kind, size and every byte of every pixel, and the same refusals. The Windows build
// decodes them with WIC, so this is where the two decoders are held to one result.
//
// Two differences of the imaging component cannot be avoided, and are checked for what they are:
// - JPEG files with subsampled colour (half the colour resolution, the encoders' default): WIC
//   widens the colour samples differently from libjpeg's interpolation, so colours differ near
//   colour edges while the brightness of every pixel stays within a few levels.
// - 16-bit PNG files without gamma information: libpng reads their samples as linear light and
//   encodes them for the screen (sRGB); WIC keeps their high bytes, which are never brighter.
// The program's own pictures (8-bit PNG, GIF) have neither. A real Windows may differ from Wine in
// more JPEG rounding; what is checked is Wine's imaging component.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "resources/Artwork.h"
#include "tests/unit/picture/PictureFixtures.h"
#include "picture/Picture.h"

namespace {

using namespace picture_test;

#ifdef _WIN32
constexpr bool kImagingComponent = true;
#else
constexpr bool kImagingComponent = false;
#endif

double Luma(const std::uint8_t* bgr) { return 0.114 * bgr[0] + 0.587 * bgr[1] + 0.299 * bgr[2]; }

// Subsampled colour: same brightness within a few levels everywhere, nearly equal on average.
void ExpectSameBrightness(const std::vector<std::uint8_t>& got, const std::vector<std::uint8_t>& want) {
    ASSERT_EQ(got.size(), want.size());
    double total = 0, most = 0;
    for (std::size_t i = 0; i + 2 < got.size(); i += 3) {
        const double d = std::abs(Luma(&got[i]) - Luma(&want[i]));
        total += d;
        most = std::max(most, d);
    }
    EXPECT_LE(most, 16.0);
    EXPECT_LE(total / static_cast<double>(got.size() / 3), 1.0);
}

// 16-bit samples: WIC's are the high bytes, libpng's the same light encoded for the screen, which
// is never darker; alpha is the same.
void ExpectLinearLightReadAsScreenValues(const std::vector<std::uint8_t>& got, const std::vector<std::uint8_t>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        if (i % 4 == 3) {
            EXPECT_EQ(got[i], want[i]) << "alpha of pixel " << i / 4;
        } else {
            EXPECT_LE(got[i], want[i]) << "byte " << i;
        }
    }
}
using kestrune::ui::DecodePicture;

std::string FirstDifference(const std::vector<std::uint8_t>& got, const std::vector<std::uint8_t>& want, int width,
                            int channels) {
    for (std::size_t i = 0; i < std::min(got.size(), want.size()); ++i) {
        if (got[i] != want[i]) {
            const std::size_t pixel = i / static_cast<std::size_t>(channels);
            return "byte " + std::to_string(i) + " (pixel " + std::to_string(pixel % width) + "," +
                   std::to_string(pixel / width) + ", channel " + std::to_string(i % channels) +
                   "): " + std::to_string(got[i]) + " instead of " + std::to_string(want[i]);
        }
    }
    return "sizes " + std::to_string(got.size()) + " and " + std::to_string(want.size());
}

TEST(SharedPictureFixtures, EveryFileDecodesExactlyAsTheReference) {
    const auto fixtures = AllFixtures();
    ASSERT_EQ(fixtures.size(), 13u);
    for (const Fixture& f : fixtures) {
        SCOPED_TRACE(f.name);
        const auto reference = ParseReference(f.decoded);
        ASSERT_TRUE(reference);
        const auto picture = DecodePicture(f.file);
        if (reference->kind == 0) {
            EXPECT_FALSE(picture.has_value());
            continue;
        }
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->kind, reference->kind);
        EXPECT_EQ(picture->width, reference->width);
        EXPECT_EQ(picture->height, reference->height);
        const int channels = picture->kind == kestrune::ui::kPicturePng ? 4 : 3;
        if (kImagingComponent && (f.name == "JpegNoise" || f.name == "JpegSubsampled")) {
            ExpectSameBrightness(picture->pixels, reference->pixels);
            continue;
        }
        if (kImagingComponent && f.name == "PngRgb16") {
            ExpectLinearLightReadAsScreenValues(picture->pixels, reference->pixels);
            continue;
        }
        EXPECT_TRUE(picture->pixels == reference->pixels)
            << FirstDifference(picture->pixels, reference->pixels, picture->width, channels);
    }
}

TEST(SharedPictureFixtures, TheReferencesAreWhatTheFilesHold) {
    // Guards the fixtures themselves: the kinds and sizes they were made with, a refused CMYK JPEG.
    const auto fixtures = AllFixtures();
    for (const Fixture& f : fixtures) {
        const auto reference = ParseReference(f.decoded);
        ASSERT_TRUE(reference) << f.name;
        const bool jpeg = f.name.rfind("Jpeg", 0) == 0;
        if (f.name == "JpegCmyk") {
            EXPECT_EQ(reference->kind, 0);
            continue;
        }
        EXPECT_EQ(reference->kind, jpeg ? kestrune::ui::kPictureJpeg : kestrune::ui::kPicturePng) << f.name;
        EXPECT_EQ(reference->pixels.size(),
                  static_cast<std::size_t>(reference->width) * reference->height * (jpeg ? 3 : 4))
            << f.name;
    }
}

TEST(SharedPictureFixtures, TheLoginSkinDecodesAsOnLinux) {
    const auto reference = ParseReference(kestrune::resources::FixtureLoginSkinDecoded());
    ASSERT_TRUE(reference);
    ASSERT_TRUE(reference->hashOnly);
    const auto picture = DecodePicture(kestrune::resources::LoginBackgroundPicture());
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 1242);
    EXPECT_EQ(picture->height, 859);
    EXPECT_EQ(reference->width, 1242);
    EXPECT_EQ(Fnv1a(picture->pixels), reference->hash);
}

}  // namespace
