#include <gtest/gtest.h>

#include "platform/Geometry.h"

using kestrune::platform::Rect;

TEST(Geometry, IntersectionIsEmptyForTouchingRectangles) {
    Rect a = Rect::FromXYWH(0, 0, 10, 10);
    Rect b = Rect::FromXYWH(10, 0, 10, 10);
    EXPECT_FALSE(a.Intersects(b));
    EXPECT_TRUE(a.Intersect(b).Empty());
    EXPECT_EQ(a.Intersect(Rect::FromXYWH(5, 5, 10, 10)), (Rect{5, 5, 10, 10}));
}
