// Exact products of two 64-bit values, for the canvas's integer geometry.
#pragma once

#include <cstdint>

namespace kestrune::ui {

// floor(a * b / d) for d > 0 and a result that fits in 64 bits, without a 128-bit integer type
// (32-bit targets have none): the 128-bit product is formed from 32-bit halves and divided bit by bit.
inline std::uint64_t MulDivFloor(std::uint64_t a, std::uint64_t b, std::uint64_t d) {
    const std::uint64_t aLow = a & 0xFFFFFFFFu, aHigh = a >> 32, bLow = b & 0xFFFFFFFFu, bHigh = b >> 32;
    const std::uint64_t lowLow = aLow * bLow, lowHigh = aLow * bHigh, highLow = aHigh * bLow;
    const std::uint64_t middle = (lowLow >> 32) + (lowHigh & 0xFFFFFFFFu) + (highLow & 0xFFFFFFFFu);
    const std::uint64_t low = (middle << 32) | (lowLow & 0xFFFFFFFFu);
    const std::uint64_t high = aHigh * bHigh + (lowHigh >> 32) + (highLow >> 32) + (middle >> 32);
    std::uint64_t quotient = 0, remainder = 0;
    for (int bit = 127; bit >= 0; --bit) {
        const bool carry = (remainder >> 63) != 0;
        const std::uint64_t next = bit >= 64 ? (high >> (bit - 64)) & 1u : (low >> bit) & 1u;
        remainder = (remainder << 1) | next;
        quotient <<= 1;
        if (carry || remainder >= d) {
            remainder -= d;
            quotient |= 1u;
        }
    }
    return quotient;
}

}  // namespace kestrune::ui
