// The colour-keyed region builder, background painting by picture mode, and window shaping.
#include <gtest/gtest.h>

#include "resources/Artwork.h"
#include "resources/IconFile.h"
#include "tests/support/TestPng.h"
#include "tests/support/FakePlatform.h"
#include "picture/Skin.h"

namespace {

using kestrune::platform::Bitmap;
using kestrune::platform::Colour;
using kestrune::platform::MakeColour;
using kestrune::platform::Rect;
using kestrune::platform::Region;
using namespace kestrune::ui;
using Bytes = std::vector<std::uint8_t>;

constexpr Colour kWhite = 0xFFFFFF;

// A bitmap from rows of characters: '#' black, '.' white, 'r' red.
Bitmap FromRows(const std::vector<std::string>& rows) {
    Bitmap b(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x) {
            const char c = rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
            b.View().SetColour(x, y, c == '#' ? 0 : c == 'r' ? 0x0000FF : kWhite);
        }
    return b;
}

// An RGBA PNG of w x h in one colour (0x00BBGGRR) and alpha.
Bytes SolidPng(int w, int h, Colour c, std::uint8_t alpha = 255) {
    Bytes rgba;
    for (int i = 0; i < w * h; ++i)
        rgba.insert(rgba.end(), {kestrune::platform::RedOf(c), kestrune::platform::GreenOf(c),
                                 kestrune::platform::BlueOf(c), alpha});
    return test_support::WritePng(rgba, w, h);
}

// A PNG whose pixel (x, y) is red x * 10, green y * 10, opaque.
Bytes GradientPng(int w, int h) {
    Bytes rgba;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            rgba.insert(rgba.end(), {static_cast<std::uint8_t>(x * 10), static_cast<std::uint8_t>(y * 10), 7, 255});
    return test_support::WritePng(rgba, w, h);
}

TEST(RegionBuilder, OneRectanglePerRunOfNonKeyPixels) {
    const Bitmap b = FromRows({
        "##..#",
        ".....",
        "#.r.#",
    });
    const auto region = BuildRegionFromBitmap(b, kWhite);
    ASSERT_TRUE(region);
    const std::vector<Rect> expected = {{0, 0, 2, 1}, {4, 0, 5, 1}, {0, 2, 1, 3}, {2, 2, 3, 3}, {4, 2, 5, 3}};
    EXPECT_EQ(region->Rects(), expected);
    // Keyed on black instead: the white and red runs remain.
    const auto inverse = BuildRegionFromBitmap(b, 0);
    ASSERT_TRUE(inverse);
    const std::vector<Rect> inverseExpected = {{2, 0, 4, 1}, {0, 1, 5, 2}, {1, 2, 4, 3}};
    EXPECT_EQ(inverse->Rects(), inverseExpected);
}

TEST(RegionBuilder, ComparesColourBytesOnlyAndAllKeyGivesAnEmptyRegion) {
    Bitmap b = FromRows({"...", "...", "..."});
    for (std::size_t i = 3; i < b.Pixels().size(); i += 4) b.Pixels()[i] = static_cast<std::uint8_t>(i);  // alpha noise
    const auto region = BuildRegionFromBitmap(b, kWhite);
    ASSERT_TRUE(region);
    EXPECT_TRUE(region->Empty());
    b.View().SetColour(1, 1, 0xFEFFFF);  // one step off white is not the key
    EXPECT_EQ(BuildRegionFromBitmap(b, kWhite)->Rects(), (std::vector<Rect>{{1, 1, 2, 2}}));
}

TEST(RegionBuilder, PictureWithoutProbePixelKeysOnWhite) {
    const Bitmap b = FromRows({"#.#."});  // 4 x 1: no pixel at (1, 1)
    const auto region = BuildRegionFromBitmap(b, 0x000000);  // asked for black
    ASSERT_TRUE(region);
    EXPECT_EQ(region->Rects(), (std::vector<Rect>{{0, 0, 1, 1}, {2, 0, 3, 1}}));
}

TEST(RegionBuilder, ManyRunsAreBatchedWithoutLosingOrReorderingAny) {
    // 7 runs per row over 1000 rows: 7000 rectangles, more than three batches of 2000.
    Bitmap b(14, 1000);
    for (int y = 0; y < 1000; ++y)
        for (int x = 0; x < 14; ++x) b.View().SetColour(x, y, (x % 2 == 0) ? 0x102030 : kWhite);
    const auto region = BuildRegionFromBitmap(b, kWhite);
    ASSERT_TRUE(region);
    ASSERT_EQ(region->Rects().size(), 7000u);
    for (int y = 0; y < 1000; ++y)
        for (int i = 0; i < 7; ++i)
            ASSERT_EQ(region->Rects()[static_cast<std::size_t>(y * 7 + i)], (Rect{2 * i, y, 2 * i + 1, y + 1}));
    EXPECT_EQ(region->Bounds(), (Rect{0, 0, 13, 1000}));
}

class PaintBackgroundTest : public ::testing::Test {
protected:
    static constexpr Colour kSentinel = 0x00ABCDEF;
    Bitmap target{30, 20};
    void SetUp() override {
        for (int y = 0; y < target.Height(); ++y)
            for (int x = 0; x < target.Width(); ++x) target.View().SetColour(x, y, kSentinel);
    }
    Colour At(int x, int y) const { return target.View().ColourAt(x, y); }
    static Colour Gradient(int x, int y) { return MakeColour(static_cast<std::uint8_t>(x * 10), static_cast<std::uint8_t>(y * 10), 7); }
};

TEST_F(PaintBackgroundTest, TopLeftDrawsOnceAndFillsTheRest) {
    Skin skin;
    skin.SetPicture(GradientPng(4, 3));
    skin.pictureMode = kPictureTopLeft;
    skin.backColour = 0x0000FF;
    PaintBackground(skin, target.View(), Rect{0, 0, 30, 20});
    EXPECT_EQ(At(3, 2), Gradient(3, 2));
    EXPECT_EQ(At(4, 0), 0x0000FFu);
    EXPECT_EQ(At(0, 3), 0x0000FFu);
    EXPECT_EQ(At(29, 19), 0x0000FFu);
}

TEST_F(PaintBackgroundTest, TiledRepeatsAndTouchesOnlyThePaintedRectangle) {
    Skin skin;
    skin.SetPicture(GradientPng(4, 3));
    skin.pictureMode = kPictureTiled;
    PaintBackground(skin, target.View(), Rect{5, 4, 13, 8});
    EXPECT_EQ(At(5, 4), Gradient(1, 1));
    EXPECT_EQ(At(12, 7), Gradient(0, 1));
    EXPECT_EQ(At(4, 4), kSentinel);
    EXPECT_EQ(At(13, 7), kSentinel);
    EXPECT_EQ(At(8, 8), kSentinel);
    PaintBackground(skin, target.View(), Rect{0, 0, 30, 20});
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) ASSERT_EQ(At(x, y), Gradient(x % 4, y % 3));  // nothing filled
}

TEST_F(PaintBackgroundTest, CentredSmallPictureAtNaturalSize) {
    Skin skin;
    skin.SetPicture(GradientPng(4, 3));
    skin.pictureMode = kPictureCentred;
    skin.backColour = 0x00FF00;
    PaintBackground(skin, target.View(), Rect{0, 0, 30, 20});
    // left (30 - 4) / 2 = 13, top (20 - 3) / 2 = 8
    EXPECT_EQ(At(13, 8), Gradient(0, 0));
    EXPECT_EQ(At(16, 10), Gradient(3, 2));
    EXPECT_EQ(At(12, 8), 0x00FF00u);
    EXPECT_EQ(At(13, 11), 0x00FF00u);
}

TEST_F(PaintBackgroundTest, CentredLargePictureShrinksKeepingItsShape) {
    Skin skin;
    skin.SetPicture(SolidPng(60, 10, 0x0000FF));
    skin.pictureMode = kPictureCentred;
    skin.backColour = 0x00FF00;
    PaintBackground(skin, target.View(), Rect{0, 0, 30, 20});
    // Box: width 30 (picture wider), height 10 at top 5; scale 0.5 gives 30 x 5 at top 5 + 2 = 7.
    EXPECT_EQ(At(0, 6), 0x00FF00u);
    EXPECT_EQ(At(0, 7), 0x0000FFu);
    EXPECT_EQ(At(29, 11), 0x0000FFu);
    EXPECT_EQ(At(29, 12), 0x00FF00u);
}

TEST_F(PaintBackgroundTest, StretchedCoversEverything) {
    Skin skin;
    skin.SetPicture(SolidPng(3, 2, 0x336699));
    skin.pictureMode = kPictureStretched;
    PaintBackground(skin, target.View(), Rect{0, 0, 30, 20});
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) ASSERT_EQ(At(x, y), 0x336699u);
}

TEST_F(PaintBackgroundTest, TransparencyShowsTheBackgroundColour) {
    Skin skin;
    skin.SetPicture(SolidPng(30, 20, 0x000000, 0));
    skin.backColour = 0xF0F0F0;
    PaintBackground(skin, target.View(), Rect{0, 0, 30, 20});
    EXPECT_EQ(At(7, 7), 0xF0F0F0u);
}

TEST_F(PaintBackgroundTest, DecodesOnceAndRetriesAFailedDecodeAtTheNextPaint) {
    Skin skin;
    skin.SetPicture(GradientPng(4, 3));
    for (int i = 0; i < 5; ++i) PaintBackground(skin, target.View(), Rect{0, 0, 30, 20});
    EXPECT_EQ(skin.decodeCount, 1);
    skin.backColour = 0x010203;  // a new matte re-flattens the cached pixels, no decode
    PaintBackground(skin, target.View(), Rect{0, 0, 30, 20});
    EXPECT_EQ(skin.decodeCount, 1);

    Skin broken;
    broken.SetPicture({'G', 'I', 'F', '8', '9', 'a', 1, 2, 3, 4, 5});
    broken.backColour = 0x445566;
    PaintBackground(broken, target.View(), Rect{0, 0, 30, 20});
    PaintBackground(broken, target.View(), Rect{0, 0, 30, 20});
    EXPECT_EQ(broken.decodeCount, 2);
    EXPECT_EQ(At(0, 0), 0x445566u);  // treated as absent: filled
    EXPECT_EQ(At(29, 19), 0x445566u);

    broken.SetPicture(GradientPng(4, 3));  // a new picture replaces the cache
    PaintBackground(broken, target.View(), Rect{0, 0, 30, 20});
    EXPECT_EQ(broken.decodeCount, 3);
    EXPECT_EQ(At(5, 4), Gradient(1, 1));
}

TEST(SetShapeFromPicture, CutsTheWindowAndKeepsTheOldOutlineOnFailure) {
    kestrune::testing::ScopedFakePlatform fake;
    kestrune::platform::TopLevelParams params;
    params.outer = Rect{0, 0, 40, 30};
    const auto window = fake->CreateTopLevel(params, nullptr);

    // Opaque black except a transparent column: the transparent pixels flatten onto the key.
    Bytes rgba;
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) rgba.insert(rgba.end(), {0, 0, 0, static_cast<std::uint8_t>(x == 2 ? 0 : 255)});
    ASSERT_TRUE(SetShapeFromPicture(window, test_support::WritePng(rgba, 4, 3)));
    const auto* w = fake->Find(window);
    ASSERT_TRUE(w->shape);
    EXPECT_TRUE(w->shape->Contains({1, 1}));
    EXPECT_FALSE(w->shape->Contains({2, 1}));
    EXPECT_TRUE(w->shape->Contains({3, 2}));
    EXPECT_FALSE(w->shape->Contains({4, 0}));  // beyond the picture
    const int changes = w->shapeChanges;

    EXPECT_FALSE(SetShapeFromPicture(window, {}));
    EXPECT_FALSE(SetShapeFromPicture(window, Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_FALSE(SetShapeFromPictureFile(window, ""));
    EXPECT_FALSE(SetShapeFromPictureFile(window, "/nonexistent/skin.png"));
    EXPECT_EQ(w->shapeChanges, changes);
    EXPECT_TRUE(w->shape->Contains({1, 1}));
}

TEST(SetShapeFromPicture, TheWindowsOwnBackgroundPictureIsDecodedOnceForOutlineAndPainting) {
    kestrune::testing::ScopedFakePlatform fake;
    kestrune::platform::TopLevelParams params;
    params.outer = Rect{0, 0, 40, 30};
    const auto window = fake->CreateTopLevel(params, nullptr);
    Bytes rgba;
    for (int i = 0; i < 4 * 3; ++i) rgba.insert(rgba.end(), {0, 0, 0, static_cast<std::uint8_t>(i == 5 ? 0 : 255)});
    const Bytes own = test_support::WritePng(rgba, 4, 3);

    Skin skin;
    skin.SetPicture(own);
    AttachSkin(window, &skin);
    // Another picture leaves the skin alone.
    ASSERT_TRUE(SetShapeFromPicture(window, SolidPng(4, 3, 0x000000)));
    EXPECT_EQ(skin.decodeCount, 0);
    EXPECT_FALSE(skin.cache);
    // Its own picture fills the cache, and painting uses it.
    ASSERT_TRUE(SetShapeFromPicture(window, own));
    EXPECT_FALSE(fake->Find(window)->shape->Contains({1, 1}));
    EXPECT_TRUE(fake->Find(window)->shape->Contains({2, 1}));
    EXPECT_EQ(skin.decodeCount, 1);
    ASSERT_TRUE(skin.cache);
    Bitmap target(40, 30);
    PaintBackground(skin, target.View(), Rect{0, 0, 40, 30});
    ASSERT_TRUE(SetShapeFromPicture(window, own));
    EXPECT_EQ(skin.decodeCount, 1);
    EXPECT_EQ(target.View().ColourAt(2, 1), 0u);

    // Once detached (the window is gone) the skin is never reached.
    DetachSkin(window, &skin);
    skin.SetPicture(own);
    ASSERT_TRUE(SetShapeFromPicture(window, own));
    EXPECT_EQ(skin.decodeCount, 1);
    EXPECT_FALSE(skin.cache);
}

TEST(SetShapeFromPicture, GivesTheOutlineOfTheWholeFlattenedBitmap) {
    kestrune::testing::ScopedFakePlatform fake;
    kestrune::platform::TopLevelParams params;
    params.outer = Rect{0, 0, 1250, 870};
    const auto window = fake->CreateTopLevel(params, nullptr);
    // The skin on its key, and a partly transparent icon, which flattens onto white whatever the key.
    Bytes iconPixels;
    for (int i = 0; i < 16 * 16; ++i)
        iconPixels.insert(iconPixels.end(), {0, 0, 0, static_cast<std::uint8_t>(i % 16 < 8 ? 0 : 200)});
    const Bytes icon = kestrune::resources::EncodeIconFile(iconPixels, 16, 16);
    const std::span<const std::uint8_t> skin = kestrune::resources::LoginBackgroundPicture();
    struct Case {
        std::span<const std::uint8_t> bytes;
        Colour key;
    };
    for (const Case& c : {Case{skin, kWhite}, Case{skin, 0x000000}, Case{icon, 0x000000}, Case{icon, kWhite}}) {
        ASSERT_TRUE(SetShapeFromPicture(window, c.bytes, c.key));
        const bool isIcon = c.bytes.data() == icon.data();
        const auto bitmap = DecodePictureToBitmap(c.bytes, isIcon ? kWhite : c.key);
        ASSERT_TRUE(bitmap);
        const auto expected = BuildRegionFromBitmap(*bitmap, c.key);
        ASSERT_TRUE(expected);
        EXPECT_EQ(fake->Find(window)->shape->Rects(), expected->Rects());
    }
}

}  // namespace
