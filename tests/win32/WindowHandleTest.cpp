// Window handles crossing the seam as 32-bit ids, in the shipped 32-bit build and in the 64-bit test
// build alike. (Real windows cross it in every GUI test of the Windows suite.)
#include <gtest/gtest.h>

#include <cstdint>

#include "platform/win32/WindowHandle.h"

namespace kestrune::platform::win32 {
namespace {

TEST(WindowHandle, IdsKeepTheLow32BitsAndHandlesComeBackSignExtended) {
    // A handle with its 32nd bit set is the case that zero extension would get wrong.
    const std::uint32_t high = 0x80001234u;
    HWND rebuilt = HwndOf(high);
    EXPECT_EQ(IdOf(rebuilt), high);
    if (sizeof(void*) == 8) {
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(rebuilt), static_cast<std::uintptr_t>(0xFFFFFFFF80001234ull));
    } else {
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(rebuilt), static_cast<std::uintptr_t>(high));
    }
    EXPECT_EQ(HwndOf(0x00010002u), reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x00010002u)));
}

}  // namespace
}  // namespace kestrune::platform::win32
