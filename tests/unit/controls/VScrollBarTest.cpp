// The vertical scroll bar class: its property block, written values kept in range, the thumb.
#include <gtest/gtest.h>

#include "tests/support/FakePlatform.h"
#include "ui/controls/VScrollBar.h"

namespace kestrune::ui {
namespace {

TEST(VScrollBar, BlockDefaultsAndFaults) {
    const auto defaults = DecodeScrollBarProperties({});
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->minimum, 1);
    EXPECT_EQ(defaults->maximum, 100);
    EXPECT_EQ(defaults->pageStep, 10);
    EXPECT_TRUE(defaults->followThumb);

    ScrollBarProperties p;
    p.minimum = 5;
    p.maximum = 50;
    p.position = 20;
    p.followThumb = false;
    forms::Bytes block = EncodeScrollBarProperties(p);
    const auto back = DecodeScrollBarProperties(block);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->minimum, 5);
    EXPECT_EQ(back->position, 20);
    EXPECT_FALSE(back->followThumb);

    block.pop_back();  // ends inside the last value
    EXPECT_FALSE(DecodeScrollBarProperties(block));
    block = EncodeScrollBarProperties(p);
    block[0] = 2;  // a newer format
    EXPECT_FALSE(DecodeScrollBarProperties(block));
}

TEST(VScrollBar, WrittenValuesStayInRange) {
    testing::ScopedFakePlatform fake;
    const platform::WindowId parent = fake->CreateTopLevel({}, nullptr);
    forms::CreateArgs args;
    args.parent = parent;
    args.width = 16;
    args.height = 200;
    auto bar = VScrollBar::Create(args);
    ASSERT_TRUE(bar);

    bar->PropertyChanged(0, std::int32_t{-4});
    bar->PropertyChanged(1, std::int32_t{40000});
    bar->PropertyChanged(2, std::int32_t{0});
    bar->PropertyChanged(3, std::int32_t{99999});
    EXPECT_EQ(bar->Properties().minimum, 1);
    EXPECT_EQ(bar->Properties().maximum, 32767);
    EXPECT_EQ(bar->Properties().pageStep, 1);
    EXPECT_EQ(bar->Properties().lineStep, 32767);

    // The position follows the range, whichever way round minimum and maximum are.
    bar->PropertyChanged(1, std::int32_t{10});
    bar->PropertyChanged(0, std::int32_t{30});
    bar->PropertyChanged(4, std::int32_t{50});
    EXPECT_EQ(bar->Properties().position, 30);
    bar->PropertyChanged(4, std::int32_t{2});
    EXPECT_EQ(bar->Properties().position, 10);

    // The thumb sits at the top for the low end and at the bottom for the high end.
    ScrollBarProperties p;
    p.position = p.minimum;
    const ThumbSpan top = ComputeThumb(p, 16, 200);
    EXPECT_EQ(top.top, 16);
    p.position = p.maximum;
    const ThumbSpan bottom = ComputeThumb(p, 16, 200);
    EXPECT_EQ(bottom.bottom, 200 - 16);
    EXPECT_EQ(bottom.bottom - bottom.top, top.bottom - top.top);
}

}  // namespace
}  // namespace kestrune::ui
