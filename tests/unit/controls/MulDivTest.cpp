// The canvas's exact 128-bit multiply-divide, which 32-bit targets have no integer type for.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "ui/controls/MulDiv.h"

namespace kestrune::ui {
namespace {

TEST(MulDivFloor, ProductsBeyondSixtyFourBits) {
    constexpr std::uint64_t kMax = ~std::uint64_t{0};
    EXPECT_EQ(MulDivFloor(3, 5, 2), 7u);
    EXPECT_EQ(MulDivFloor(0, kMax, 1), 0u);
    EXPECT_EQ(MulDivFloor(kMax, kMax, kMax), kMax);
    EXPECT_EQ(MulDivFloor(kMax, kMax - 1, kMax), kMax - 1);
    EXPECT_EQ(MulDivFloor(std::uint64_t{1} << 63, 4, 8), std::uint64_t{1} << 62);
    EXPECT_EQ(MulDivFloor(1000000000000000000u, 1000000000000000000u, 1000000000000000000u), 1000000000000000000u);
    // (2^32 - 1)^4 / (2^32 - 1)^2, the largest squares of 32-bit sizes.
    const std::uint64_t square = 0xFFFFFFFFull * 0xFFFFFFFFull;
    EXPECT_EQ(MulDivFloor(square, square, square), square);
    EXPECT_EQ(MulDivFloor(square, square - 1, square), square - 1);
    // Rounding is toward zero: 10^19 * 3 / 7 = 4285714285714285714.28...
    EXPECT_EQ(MulDivFloor(10000000000000000000u, 3, 7), 4285714285714285714u);
}

// A 128-bit product as high and low halves, by 16-bit digits (school multiplication).
struct Wide {
    std::uint64_t high = 0, low = 0;
    friend bool operator<(const Wide& x, const Wide& y) { return x.high != y.high ? x.high < y.high : x.low < y.low; }
    friend bool operator<=(const Wide& x, const Wide& y) { return !(y < x); }
};

Wide Product(std::uint64_t a, std::uint64_t b) {
    std::uint32_t digits[8] = {};
    for (int i = 0; i < 4; ++i) {
        std::uint64_t carry = 0;
        for (int j = 0; j < 4; ++j) {
            const std::uint64_t t = ((a >> (16 * i)) & 0xFFFF) * ((b >> (16 * j)) & 0xFFFF) + digits[i + j] + carry;
            digits[i + j] = static_cast<std::uint32_t>(t & 0xFFFF);
            carry = t >> 16;
        }
        for (int k = i + 4; carry != 0 && k < 8; ++k) {
            const std::uint64_t t = digits[k] + carry;
            digits[k] = static_cast<std::uint32_t>(t & 0xFFFF);
            carry = t >> 16;
        }
    }
    Wide w;
    for (int k = 0; k < 4; ++k) w.low |= static_cast<std::uint64_t>(digits[k]) << (16 * k);
    for (int k = 0; k < 4; ++k) w.high |= static_cast<std::uint64_t>(digits[k + 4]) << (16 * k);
    return w;
}

Wide Plus(Wide x, std::uint64_t y) {
    x.low += y;
    if (x.low < y) ++x.high;
    return x;
}

TEST(MulDivFloor, IsTheFloorOfTheExactQuotientForRandomOperands) {
    std::mt19937_64 rng(42);
    int checked = 0;
    for (int i = 0; i < 20000; ++i) {
        const std::uint64_t a = rng() >> (rng() % 64), b = rng() >> (rng() % 64);
        std::uint64_t d = rng() >> (rng() % 64);
        if (d == 0) d = 1;
        const Wide ab = Product(a, b);
        if (!(ab < Product(d, ~std::uint64_t{0}))) continue;  // the quotient would not fit
        const std::uint64_t q = MulDivFloor(a, b, d);
        // q * d <= a * b < q * d + d
        const Wide qd = Product(q, d);
        ASSERT_TRUE(qd <= ab) << a << " * " << b << " / " << d << " gave " << q;
        ASSERT_TRUE(ab < Plus(qd, d)) << a << " * " << b << " / " << d << " gave " << q;
        ++checked;
    }
    EXPECT_GT(checked, 10000);
}

}  // namespace
}  // namespace kestrune::ui
