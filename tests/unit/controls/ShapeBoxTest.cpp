// The shape box: painting geometry pixel by pixel, properties and block, and drag-anywhere.
#include <gtest/gtest.h>

#include "forms/Fatal.h"
#include "forms/Loader.h"
#include "forms/Runtime.h"
#include "tests/support/FakePlatform.h"
#include "ui/controls/Canvas.h"
#include "ui/controls/ShapeBox.h"
#include "ui/window/WindowProperties.h"
#include "ui/window/WindowUnit.h"

namespace {

namespace forms = kestrune::forms;
namespace platform = kestrune::platform;
using kestrune::ui::ShapeBoxProperties;
using platform::Colour;
using platform::Rect;
using Bytes = std::vector<std::uint8_t>;

constexpr Colour kBack = 0x00203040, kLine = 0x000000FF, kFill = 0x0000FF00;
constexpr Colour kWhite = 0xFFFFFF, kBlack = 0;
constexpr Colour kFace = 0x00F0F0F0;

// Paints a box of w x h and gives the picture.
platform::Bitmap Paint(const ShapeBoxProperties& p, int w, int h) {
    platform::Bitmap b(w, h);
    kestrune::ui::PaintShapeBox(p, {w, h}, kFace, b.View(), Rect{0, 0, w, h});
    return b;
}

ShapeBoxProperties Props(int shape, int effect = 0, int style = 1, int width = 1, Colour fill = platform::kColourMarker) {
    ShapeBoxProperties p;
    p.backColor = kBack;
    p.shape = shape;
    p.borderEffect = effect;
    p.lineStyle = style;
    p.lineWidth = width;
    p.lineColor = kLine;
    p.fillColor = fill;
    return p;
}

TEST(ShapeBoxPaint, CircleInAWideBoxIsCentredWithItsLeftEdgeAtFifty) {
    const platform::Bitmap b = Paint(Props(3), 200, 100);
    const auto v = b.View();
    EXPECT_EQ(v.ColourAt(49, 50), kBack);
    EXPECT_EQ(v.ColourAt(50, 50), kLine);
    EXPECT_EQ(v.ColourAt(51, 50), kBack);  // single-pixel outline, no fill
    EXPECT_EQ(v.ColourAt(149, 50), kLine);
    EXPECT_EQ(v.ColourAt(150, 50), kBack);
    EXPECT_EQ(v.ColourAt(100, 0), kLine);
    EXPECT_EQ(v.ColourAt(100, 99), kLine);
    EXPECT_EQ(v.ColourAt(50, 5), kBack);  // outside the circle near the square's corner
    EXPECT_EQ(v.ColourAt(100, 50), kBack);
}

TEST(ShapeBoxPaint, FlatRectangleAlongTheEdgeWithAWidthInsideTheFrame) {
    auto v1 = Paint(Props(0), 20, 10);
    EXPECT_EQ(v1.View().ColourAt(0, 0), kLine);
    EXPECT_EQ(v1.View().ColourAt(19, 9), kLine);
    EXPECT_EQ(v1.View().ColourAt(1, 1), kBack);
    auto v3 = Paint(Props(0, 0, 1, 3, kFill), 20, 10);
    for (int x = 0; x < 3; ++x) EXPECT_EQ(v3.View().ColourAt(x, 5), kLine);
    EXPECT_EQ(v3.View().ColourAt(3, 5), kFill);
    EXPECT_EQ(v3.View().ColourAt(16, 5), kFill);
    EXPECT_EQ(v3.View().ColourAt(17, 5), kLine);
    EXPECT_EQ(v3.View().ColourAt(10, 2), kLine);
    EXPECT_EQ(v3.View().ColourAt(10, 3), kFill);
}

TEST(ShapeBoxPaint, ReliefPensAreSinglePixelWhateverTheLineWidth) {
    for (int effect : {1, 2}) {
        const Colour first = effect == 1 ? kWhite : kBlack, second = effect == 1 ? kBlack : kWhite;
        const auto b = Paint(Props(0, effect, 1, 5), 20, 10);
        const auto v = b.View();
        // Second pen: (0, 0)-(19, 9) outer top and left; first pen: (1, 1)-(20, 10) outer bottom and right.
        EXPECT_EQ(v.ColourAt(0, 5), second) << effect;
        EXPECT_EQ(v.ColourAt(1, 5), first) << effect;
        EXPECT_EQ(v.ColourAt(2, 5), kBack) << effect;
        EXPECT_EQ(v.ColourAt(18, 5), second) << effect;
        EXPECT_EQ(v.ColourAt(19, 5), first) << effect;
        EXPECT_EQ(v.ColourAt(10, 0), second) << effect;
        EXPECT_EQ(v.ColourAt(10, 1), first) << effect;
        EXPECT_EQ(v.ColourAt(10, 2), kBack) << effect;
        EXPECT_EQ(v.ColourAt(10, 8), second) << effect;
        EXPECT_EQ(v.ColourAt(10, 9), first) << effect;
    }
}

TEST(ShapeBoxPaint, ReliefLinesLieOnePixelApart) {
    const auto h = Paint(Props(6, 1), 20, 10);
    EXPECT_EQ(h.View().ColourAt(5, 0), kBlack);  // second pen
    EXPECT_EQ(h.View().ColourAt(5, 1), kWhite);  // first pen, one below
    EXPECT_EQ(h.View().ColourAt(5, 2), kBack);
    const auto v = Paint(Props(7, 2), 20, 10);
    EXPECT_EQ(v.View().ColourAt(0, 5), kWhite);
    EXPECT_EQ(v.View().ColourAt(1, 5), kBlack);
    EXPECT_EQ(v.View().ColourAt(2, 5), kBack);
}

TEST(ShapeBoxPaint, NoLineStyleDrawsNoOutlineButStillFills) {
    const auto b = Paint(Props(0, 0, 0, 1, kFill), 20, 10);
    const auto v = b.View();
    EXPECT_EQ(v.ColourAt(0, 0), kFill);
    EXPECT_EQ(v.ColourAt(18, 8), kFill);
    EXPECT_EQ(v.ColourAt(19, 5), kBack);  // the outline's column and row are not filled
    EXPECT_EQ(v.ColourAt(5, 9), kBack);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_NE(v.ColourAt(x, y), kLine);
    // Relief with no line style: nothing but the background.
    const auto r = Paint(Props(2, 1, 0), 20, 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) ASSERT_EQ(r.View().ColourAt(x, y), kBack);
}

TEST(ShapeBoxPaint, NoFillShowsTheBackgroundAndTheMarkerIsTheButtonFace) {
    ShapeBoxProperties p = Props(2);
    p.backColor = platform::kColourMarker;
    const auto b = Paint(p, 40, 20);
    EXPECT_EQ(b.View().ColourAt(20, 10), kFace);
    EXPECT_EQ(b.View().ColourAt(0, 0), kFace);
}

TEST(ShapeBoxPaint, TouchesOnlyTheClipRectangle) {
    platform::Bitmap b(20, 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) b.View().SetColour(x, y, 0x123456);
    kestrune::ui::PaintShapeBox(Props(0), {20, 10}, kFace, b.View(), Rect{5, 0, 10, 10});
    EXPECT_EQ(b.View().ColourAt(4, 0), 0x123456u);
    EXPECT_EQ(b.View().ColourAt(5, 0), kLine);
    EXPECT_EQ(b.View().ColourAt(10, 5), 0x123456u);
}

TEST(ShapeBoxPaint, RoundedCornersAreAFifthOfTheBox) {
    const auto b = Paint(Props(4), 100, 50);  // corners 20 x 10
    EXPECT_EQ(b.View().ColourAt(0, 0), kBack);
    EXPECT_EQ(b.View().ColourAt(0, 25), kLine);
    EXPECT_EQ(b.View().ColourAt(50, 0), kLine);
    // The top row of a 20 x 10 corner ellipse begins 6 pixels in, on both sides alike.
    EXPECT_EQ(b.View().ColourAt(6, 0), kLine);
    EXPECT_EQ(b.View().ColourAt(5, 0), kBack);
    EXPECT_EQ(b.View().ColourAt(93, 0), kLine);
    EXPECT_EQ(b.View().ColourAt(94, 0), kBack);
    EXPECT_EQ(b.View().ColourAt(5, 49), kBack);
    EXPECT_EQ(b.View().ColourAt(6, 49), kLine);
}

TEST(ShapeBoxPaint, StyledPensLeaveGaps) {
    const auto b = Paint(Props(6, 0, 3), 40, 4);  // dot: 3 on, 3 off along the top
    const auto v = b.View();
    EXPECT_EQ(v.ColourAt(0, 0), kLine);
    EXPECT_EQ(v.ColourAt(2, 0), kLine);
    EXPECT_EQ(v.ColourAt(3, 0), kBack);
    EXPECT_EQ(v.ColourAt(6, 0), kLine);
}

TEST(ShapeBoxProperties, ClampsAndRoundTrips) {
    ShapeBoxProperties p = Props(5, 2, 4, 7, kFill);
    const Bytes block = kestrune::ui::EncodeShapeBoxProperties(p);
    ASSERT_EQ(block.size(), 32u);
    EXPECT_EQ(*kestrune::ui::DecodeShapeBoxProperties(block), p);
    EXPECT_EQ(*kestrune::ui::DecodeShapeBoxProperties({}), ShapeBoxProperties{});
    Bytes v2 = block;
    v2[0] = 2;
    EXPECT_FALSE(kestrune::ui::DecodeShapeBoxProperties(v2));
    EXPECT_FALSE(kestrune::ui::DecodeShapeBoxProperties(std::span(block).first(28)));

    kestrune::ui::SetShapeBoxProperty(p, kestrune::ui::kShapeShape, 12);
    kestrune::ui::SetShapeBoxProperty(p, kestrune::ui::kShapeBorderEffect, -3);
    kestrune::ui::SetShapeBoxProperty(p, kestrune::ui::kShapeLineStyle, 9);
    kestrune::ui::SetShapeBoxProperty(p, kestrune::ui::kShapeLineWidth, -4);
    EXPECT_EQ(p.shape, 7);
    EXPECT_EQ(p.borderEffect, 0);
    EXPECT_EQ(p.lineStyle, 5);
    EXPECT_EQ(p.lineWidth, 0);
    EXPECT_FALSE(kestrune::ui::SetShapeBoxProperty(p, 7, 1));
}

constexpr std::uint32_t kForm = 0x52000201;
constexpr std::uint32_t kWin = 0x06000201;
constexpr std::uint32_t kBox = 0x16000202;

class ShapeBoxUnitTest : public ::testing::Test {
protected:
    void SetUp() override {
        forms::ResetRuntimeForTests();
        kestrune::ui::RegisterWindowClass();
        kestrune::ui::RegisterShapeBoxClass();
        forms::SetOwnerWindow(fake_->CreateOwnerWindow());
    }
    void TearDown() override { forms::ResetRuntimeForTests(); }

    bool Load(const Bytes& block) {
        kestrune::ui::WindowProperties wp;
        wp.border = 0;
        wp.dragAnywhere = true;
        forms::UnitDefinition win;
        win.unitId = kWin;
        win.classCode = forms::kClassWindow;
        win.width = 300;
        win.height = 200;
        win.flags = forms::kFlagVisible;
        win.propertyBlock = kestrune::ui::EncodeWindowProperties(wp);
        forms::UnitDefinition box;
        box.unitId = kBox;
        box.classCode = forms::kClassShapeBox;
        box.left = 20;
        box.top = 30;
        box.width = 100;
        box.height = 50;
        box.flags = forms::kFlagVisible;
        box.propertyBlock = block;
        forms::WindowDefinition d;
        d.formId = kForm;
        d.units = {win, box};
        forms::RegisterDefinition(d);
        return forms::LoadWindow(kForm, 0, false);
    }

    kestrune::testing::ScopedFakePlatform fake_;
};

TEST_F(ShapeBoxUnitTest, LoginFrameValuesPaintBlackAndAPressDragsTheWindow) {
    ShapeBoxProperties p;
    p.backColor = 0;
    ASSERT_TRUE(Load(kestrune::ui::EncodeShapeBoxProperties(p)));
    const platform::WindowId box = forms::GetUnitHandle(kForm, kBox);
    ASSERT_NE(box, 0u);
    const platform::Bitmap shown = fake_->Paint(box);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 100; ++x) ASSERT_EQ(shown.View().ColourAt(x, y), 0u);

    fake_->SendMouse(box, fake_->MakeMouse(box, platform::MouseAction::Press, platform::MouseButton::Left, {50, 4}, true));
    EXPECT_EQ(fake_->MoveDrags().size(), 1u);
}

TEST_F(ShapeBoxUnitTest, WrittenPropertiesAreClampedAndRepaint) {
    ASSERT_TRUE(Load({}));
    const platform::WindowId box = forms::GetUnitHandle(kForm, kBox);
    const int before = fake_->Find(box)->invalidations;
    forms::WriteProperty(kForm, kBox, 12, -5);
    EXPECT_EQ(forms::AsInt(forms::ReadProperty(kForm, kBox, 12)), 0);
    forms::WriteProperty(kForm, kBox, 9, 99);
    EXPECT_EQ(forms::AsInt(forms::ReadProperty(kForm, kBox, 9)), 7);
    EXPECT_GT(fake_->Find(box)->invalidations, before);
    EXPECT_EQ(static_cast<Colour>(forms::AsInt(forms::ReadProperty(kForm, kBox, 8))), platform::kColourMarker);
}

TEST_F(ShapeBoxUnitTest, VersionTwoBlockFailsTheLoad) {
    Bytes block = kestrune::ui::EncodeShapeBoxProperties({});
    block[0] = 2;
    EXPECT_FALSE(Load(block));
}

}  // namespace
