// UTF-8 <-> UTF-16 at the system boundary: exact code units for the program's Chinese texts,
// supplementary characters, kept zeros, replacement of malformed input, and the same results
// whatever ANSI code page the process runs with (run once per code page, KESTRUNE_EXPECT_ACP).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "platform/win32/WideText.h"

namespace kestrune::platform::win32 {
namespace {

TEST(WideText, RunsUnderTheExpectedAnsiCodePage) {
    const char* expected = std::getenv("KESTRUNE_EXPECT_ACP");
    if (expected == nullptr) GTEST_SKIP() << "no code page asked for";
    EXPECT_EQ(::GetACP(), static_cast<UINT>(std::atoi(expected)));
}

TEST(WideText, ChineseTextsBecomeTheirExactCodeUnitsAndBack) {
    const std::string title = "Kestrune微端", link = "我的快捷方式.lnk";
    EXPECT_EQ(Widen(title), std::wstring(L"Kestrune\u5fae\u7aef"));
    EXPECT_EQ(Widen(link), std::wstring(L"\u6211\u7684\u5feb\u6377\u65b9\u5f0f.lnk"));
    EXPECT_EQ(Narrow(Widen(title)), title);
    EXPECT_EQ(Narrow(Widen(link)), link);
    // A character outside the basic plane is a surrogate pair.
    const std::string emoji = "\xF0\x9F\x8E\xAE";  // U+1F3AE
    EXPECT_EQ(Widen(emoji), std::wstring(L"\xD83C\xDFAE"));
    EXPECT_EQ(Narrow(L"\xD83C\xDFAE"), emoji);
    // Zeros inside a text are characters like any other.
    EXPECT_EQ(Widen(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
    EXPECT_EQ(Narrow(std::wstring(L"a\0b", 3)), std::string("a\0b", 3));
    EXPECT_EQ(Widen(""), L"");
    EXPECT_EQ(Narrow(L""), "");
}

TEST(WideText, MalformedInputBecomesReplacementCharacters) {
    EXPECT_EQ(Widen("a\xFF" "b"), std::wstring(L"a\xFFFD" L"b"));
    EXPECT_EQ(Widen("\xE5\xBE"), std::wstring(L"\xFFFD"));  // a three-byte character cut short
    // GBK bytes are not UTF-8: they never become the Chinese characters they encode in GBK.
    EXPECT_NE(Widen("\xCE\xA2\xB6\xCB"), std::wstring(L"\u5fae\u7aef"));
    EXPECT_EQ(Narrow(std::wstring(L"x\xD800y")), "x\xEF\xBF\xBDy");  // an unpaired surrogate
}

TEST(WideText, TheAnsiCodePageTakesNoPartInTheConversion) {
    // What the ANSI functions would do with the title: only code page 936 keeps it.
    const std::wstring wide = Widen("Kestrune微端");
    char ansi[64] = {};
    BOOL lost = FALSE;
    const int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), static_cast<int>(wide.size()), ansi,
                                        sizeof ansi, nullptr, &lost);
    ASSERT_GT(n, 0);
    if (::GetACP() == 936) {
        EXPECT_FALSE(lost);
    }
    if (::GetACP() == 1252) {
        EXPECT_TRUE(lost);
    }
    // The wide path keeps it on every code page.
    EXPECT_EQ(Narrow(wide), "Kestrune微端");
}

}  // namespace
}  // namespace kestrune::platform::win32
