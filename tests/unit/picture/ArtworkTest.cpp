// The built-in artwork decodes through the program's own decoders and keeps the layout rules the
// login window relies on.
#include <gtest/gtest.h>

#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "resources/Artwork.h"
#include "tests/unit/picture/PictureFixtures.h"
#include "picture/Decoders.h"
#include "picture/Picture.h"
#include "picture/Skin.h"

namespace {

using kestrune::platform::Rect;
using namespace kestrune::ui;
namespace res = kestrune::resources;

std::uint32_t BigEndian(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

TEST(Artwork, SkinIsAnRgbaPngWithTheExpectedChunks) {
    const auto png = res::LoginBackgroundPicture();
    ASSERT_GT(png.size(), 33u);
    std::vector<std::string> chunks;
    for (std::size_t pos = 8; pos + 12 <= png.size();) {
        const std::uint32_t length = BigEndian(png.data() + pos);
        chunks.emplace_back(reinterpret_cast<const char*>(png.data() + pos + 4), 4);
        if (chunks.size() == 1) {
            EXPECT_EQ(BigEndian(png.data() + pos + 8), 1242u);
            EXPECT_EQ(BigEndian(png.data() + pos + 12), 859u);
            EXPECT_EQ(png[pos + 16], 8);  // bits per channel
            EXPECT_EQ(png[pos + 17], 6);  // RGBA
            EXPECT_EQ(png[pos + 20], 0);  // not interlaced
        }
        pos += 12 + length;
    }
    EXPECT_EQ(chunks, (std::vector<std::string>{"IHDR", "tEXt", "iTXt", "IDAT", "IEND"}));
}

// The drawn pictures decode to exactly the pixels they had before their files were written by libpng
// and giflib (recorded from the files the project's own writers made): a new writer changes the
// files' bytes, never the pictures.
TEST(Artwork, DecodedPixelsAreUnchangedByTheWriters) {
    struct Expected {
        const char* name;
        std::span<const std::uint8_t> file;
        int width, height;
        std::size_t size;
        std::uint64_t hash;
    };
    const Expected pictures[] = {
        {"login background", res::LoginBackgroundPicture(), 1242, 859, 4267512, 0x5eb5a734a7de0393ull},
        {"minimise", res::MinimizePicture(), 24, 23, 1616, 0xc7b16c0dbf3bf028ull},
        {"close", res::ClosePicture(), 23, 23, 1616, 0xaea5ab8fba92dfa0ull},
        {"program icon", res::ProgramIconPng(), 64, 64, 16384, 0xa0a0c6169d48f409ull},
        {"large program icon", res::FixtureLargeProgramIcon(), 256, 256, 262144, 0x26a27ca3e4dee5d8ull},
    };
    for (const Expected& e : pictures) {
        const auto picture = DecodePicture(e.file);
        ASSERT_TRUE(picture) << e.name;
        EXPECT_EQ(picture->width, e.width) << e.name;
        EXPECT_EQ(picture->height, e.height) << e.name;
        EXPECT_EQ(picture->pixels.size(), e.size) << e.name;
        EXPECT_EQ(picture_test::Fnv1a(picture->pixels), e.hash) << e.name;
    }
}

TEST(Artwork, SkinLayoutKeepsTheFrameAndButtonsInsideAndCutsTheRest) {
    const auto picture = DecodePicture(res::LoginBackgroundPicture());
    ASSERT_TRUE(picture);
    ASSERT_EQ(picture->kind, kPicturePng);
    ASSERT_EQ(picture->width, 1242);
    ASSERT_EQ(picture->height, 859);
    const auto alpha = [&](int x, int y) { return picture->pixels[(static_cast<std::size_t>(y) * 1242 + x) * 4 + 3]; };

    int transparent = 0, opaque = 0, partial = 0, opaqueWhite = 0;
    for (std::size_t i = 0; i < picture->pixels.size(); i += 4) {
        const std::uint8_t* p = picture->pixels.data() + i;
        if (p[3] == 0) {
            ++transparent;
            EXPECT_TRUE((p[0] == 0 && p[1] == 0 && p[2] == 0) || (p[0] == 255 && p[1] == 255 && p[2] == 255));
        } else if (p[3] == 255) {
            ++opaque;
            opaqueWhite += p[0] == 255 && p[1] == 255 && p[2] == 255;
        } else {
            ++partial;
        }
    }
    EXPECT_GT(transparent, 0);
    EXPECT_GT(partial, 1000);  // soft edges
    EXPECT_GT(opaqueWhite, 0);  // the emblem's see-through heart
    EXPECT_LT(opaqueWhite, 200);

    // Cut on pure white after flattening onto white, as the login window's creation does.
    const auto flat = DecodePictureToBitmap(res::LoginBackgroundPicture(), 0xFFFFFF);
    ASSERT_TRUE(flat);
    const auto region = BuildRegionFromBitmap(*flat, 0xFFFFFF);
    ASSERT_TRUE(region);
    const auto solidInside = [&](const Rect& r) {
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                if (alpha(x, y) != 255 || flat->View().ColourAt(x, y) == 0xFFFFFFu || !region->Contains({x, y}))
                    return false;
        return true;
    };
    EXPECT_TRUE(solidInside(Rect{456, 361, 1041, 686}));   // the shape box and the page inside it
    EXPECT_TRUE(solidInside(Rect::FromXYWH(1034, 312, 23, 23)));  // close button
    EXPECT_TRUE(solidInside(Rect::FromXYWH(1063, 335, 24, 23)));  // minimise button
    for (const auto& corner : {kestrune::platform::Point{0, 0}, {1241, 0}, {0, 858}, {1241, 858}})
        EXPECT_FALSE(region->Contains(corner));
    // Every opaque white pixel is a hole.
    for (int y = 0; y < 859; ++y)
        for (int x = 0; x < 1242; ++x)
            if (alpha(x, y) == 255 && flat->View().ColourAt(x, y) == 0xFFFFFFu) {
                ASSERT_FALSE(region->Contains({x, y}));
            }
}

TEST(Artwork, ButtonFacesAreGifsWithFullGlobalTables) {
    struct Face {
        std::span<const std::uint8_t> bytes;
        int width, height;
    };
    for (const Face& face : {Face{res::MinimizePicture(), 24, 23}, Face{res::ClosePicture(), 23, 23}}) {
        ASSERT_GT(face.bytes.size(), 13u);
        EXPECT_EQ(std::string(face.bytes.begin(), face.bytes.begin() + 6), "GIF89a");
        EXPECT_EQ(face.bytes[10] & 0x87, 0x87);  // global table of 2^8 entries
        const auto picture = DecodePicture(face.bytes);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->kind, kPictureGif);
        EXPECT_EQ(picture->width, face.width);
        EXPECT_EQ(picture->height, face.height);
        const auto bitmap = DecodePictureToBitmap(face.bytes, 0xF0F0F0);
        ASSERT_TRUE(bitmap);
        EXPECT_EQ(bitmap->Width(), face.width);
    }
}

TEST(Artwork, IconAndPointerFiles) {
    const auto icon = res::GameWindowIcon();
    EXPECT_EQ(DetectPictureFormat(icon), kPictureIcon);
    EXPECT_EQ(detail::ReadU16(icon.data() + 4), 1);  // one image
    EXPECT_EQ(detail::ReadU16(icon.data() + 6 + 4), 1);   // planes
    EXPECT_EQ(detail::ReadU16(icon.data() + 6 + 6), 32);  // bits per pixel
    auto picture = DecodePicture(icon);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 64);
    EXPECT_EQ(picture->height, 64);
    EXPECT_EQ(picture->icon.Data()[(32 * 64 + 32) * 4 + 3], 255);  // opaque middle
    EXPECT_EQ(picture->icon.Data()[3], 0);                         // transparent corner

    const auto cursor = res::HandCursor();
    EXPECT_EQ(DetectPictureFormat(cursor), kPictureCursor);
    picture = DecodePicture(cursor);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width, 32);
    EXPECT_EQ(picture->height, 32);
    // The hotspot lies on the fingertip.
    const std::uint16_t hx = detail::ReadU16(cursor.data() + 10), hy = detail::ReadU16(cursor.data() + 12);
    EXPECT_GT(picture->icon.Data()[(static_cast<std::size_t>(hy + 1) * 32 + hx) * 4 + 3], 128);
}

// The icon theme's large program icon is the same drawing as the 64-pixel one: averaged down over
// 4 x 4 blocks it matches it closely, colour and coverage alike.
TEST(Artwork, LargeProgramIconIsTheSameDrawingAtFourTimesTheSize) {
    const auto large = DecodePicture(res::FixtureLargeProgramIcon());
    const auto small = DecodePicture(res::ProgramIconPng());
    ASSERT_TRUE(large && small);
    ASSERT_EQ(large->kind, kPicturePng);
    EXPECT_EQ(large->width, 256);
    EXPECT_EQ(large->height, 256);
    ASSERT_EQ(small->width, 64);
    int worst = 0;
    long total = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            for (int c = 0; c < 4; ++c) {
                // Colour channels weighted by coverage, so transparent pixels count for nothing.
                long sum = 0;
                for (int dy = 0; dy < 4; ++dy)
                    for (int dx = 0; dx < 4; ++dx) {
                        const std::uint8_t* p = large->pixels.data() + ((y * 4 + dy) * 256 + x * 4 + dx) * 4;
                        sum += c == 3 ? p[3] : p[c] * p[3] / 255;
                    }
                const std::uint8_t* q = small->pixels.data() + (y * 64 + x) * 4;
                const int expected = c == 3 ? q[3] : q[c] * q[3] / 255;
                const int difference = std::abs(static_cast<int>(sum / 16) - expected);
                worst = std::max(worst, difference);
                total += difference;
            }
    EXPECT_LT(total / (64 * 64 * 4), 5);  // on average within a few levels
    EXPECT_LT(worst, 80);                 // fine lines stay thin when larger: some difference there
}

}  // namespace
