#include <gtest/gtest.h>

#include <string>

#include "services/TextSearch.h"

namespace kestrune::services {
namespace {

constexpr CodePage kGbk = CodePage::Gbk;
constexpr CodePage kUtf8 = CodePage::Utf8;

TEST(FindText, StartPositionsCountFromOneAndResultsFromTheWholeText) {
    for (CodePage cp : {kGbk, kUtf8}) {
        EXPECT_EQ(FindText("abcabc", "c", std::nullopt, false, cp), 3);
        EXPECT_EQ(FindText("abcabc", "c", 1, false, cp), 3);
        EXPECT_EQ(FindText("abcabc", "c", 3, false, cp), 3);
        EXPECT_EQ(FindText("abcabc", "c", 4, false, cp), 6);
        EXPECT_EQ(FindText("abcabc", "c", 6, false, cp), 6);
        EXPECT_EQ(FindText("abcabc", "c", 7, false, cp), -1);
        EXPECT_EQ(FindText("abcabc", "c", 1000, false, cp), -1);
        // A start below 1 means the beginning.
        EXPECT_EQ(FindText("abcabc", "a", 0, false, cp), 1);
        EXPECT_EQ(FindText("abcabc", "a", -5, false, cp), 1);
        EXPECT_EQ(FindText("abcabc", "a", INT32_MIN, false, cp), 1);
        EXPECT_EQ(FindText("abcabc", "abc", 2, false, cp), 4);
        EXPECT_EQ(FindText("abcabc", "abcd", std::nullopt, false, cp), -1);
        EXPECT_EQ(FindText("ab", "abc", std::nullopt, false, cp), -1);
    }
}

TEST(FindText, EmptySoughtTextIsFoundAtOneWhileAnyTextRemains) {
    EXPECT_EQ(FindText("abc", "", std::nullopt, false), 1);
    EXPECT_EQ(FindText("abc", "", 3, false), 1);
    EXPECT_EQ(FindText("abc", "", 4, false), -1);
    EXPECT_EQ(FindText("", "", std::nullopt, false), -1);
    EXPECT_EQ(FindText("", "a", std::nullopt, false), -1);
}

TEST(FindText, IgnoreCaseFoldsAsciiLettersOnly) {
    EXPECT_EQ(FindText("ABC", "b", std::nullopt, true), 2);
    EXPECT_EQ(FindText("ABC", "b", std::nullopt, false), -1);
    EXPECT_EQ(FindText("abc", "BC", std::nullopt, true), 2);
    // '[' (0x5B) and '{' (0x7B) are 32 apart but are not letters.
    EXPECT_EQ(FindText("[", "{", std::nullopt, true), -1);
    // Bytes above 0x7F are compared as they are: 0xC1 is not the upper case of 0xE1.
    EXPECT_EQ(FindText("\xE1", "\xC1", std::nullopt, true, kGbk), -1);
}

TEST(FindText, GbkMatchesNeverStartOnASecondByte) {
    // 0xB0 0x61 is one double-byte character whose second byte is the letter a.
    const std::string text = "\xB0" "a" "a";
    EXPECT_EQ(FindText(text, "a", std::nullopt, false, kGbk), 3);
    // The same bytes read as UTF-8: 0xB0 is a stray byte of its own, so the first a is found.
    EXPECT_EQ(FindText(text, "a", std::nullopt, false, kUtf8), 2);
    // The fold reaches the second byte of a double-byte character.
    EXPECT_EQ(FindText("\xB0" "A", "\xB0" "a", std::nullopt, true, kGbk), 1);
    EXPECT_EQ(FindText("\xB0" "A", "\xB0" "a", std::nullopt, false, kGbk), -1);
    // A double-byte sought text inside GBK text: 中 is D6 D0, 文 is CE C4.
    const std::string words = "x\xD6\xD0\xCE\xC4";
    EXPECT_EQ(FindText(words, "\xCE\xC4", std::nullopt, false, kGbk), 4);
    // D0 CE straddles two characters and is not a character of the text.
    EXPECT_EQ(FindText(words, "\xD0\xCE", std::nullopt, false, kGbk), -1);
}

TEST(FindText, StartIsAByteOffsetCountedFromTheStartNotACharacterBoundary) {
    // Starting on the second byte of B0 61 makes that byte the search point, so it can match.
    const std::string text = "\xB0" "a";
    EXPECT_EQ(FindText(text, "a", 2, false, kGbk), 2);
    EXPECT_EQ(FindText(text, "a", 1, false, kGbk), -1);
}

TEST(FindText, GbkLeadByteBeforeTheEndStopsTheSearch) {
    // A lone lead byte at the very end of the text: the search gives up there.
    EXPECT_EQ(FindText("a\xB0", "b", std::nullopt, false, kGbk), -1);
    EXPECT_EQ(FindText("a\xB0", "\xB0", std::nullopt, false, kGbk), 2);
}

TEST(FindText, Utf8MatchesStartOnCharacters) {
    // 中 is E4 B8 AD: its last byte, sought on its own, only matches the stray AD after it.
    const std::string text = "\xE4\xB8\xAD" "\xAD";
    EXPECT_EQ(FindText(text, "\xAD", std::nullopt, false, kUtf8), 4);
    EXPECT_EQ(FindText("\xE4\xB8\xAD\xE6\x96\x87", "\xE6\x96\x87", std::nullopt, false, kUtf8), 4);
    // A truncated sequence counts byte by byte, so nothing after it is skipped.
    EXPECT_EQ(FindText("\xE4" "ab", "a", std::nullopt, false, kUtf8), 2);
}

TEST(FindText, ClientMarkerInAnAddress) {
    EXPECT_GT(FindText("http://example.test/play?client=1&x=2", "client=1", std::nullopt, false), 0);
    EXPECT_EQ(FindText("http://example.test/play?client=2", "client=1", std::nullopt, false), -1);
    EXPECT_EQ(FindText("http://example.test/play?CLIENT=1", "client=1", std::nullopt, false), -1);
}

TEST(FindText, TextsEndAtTheirFirstZeroByte) {
    const std::string text("ab\0c", 4);
    EXPECT_EQ(FindText(text, "c", std::nullopt, false), -1);
    EXPECT_EQ(FindText("abc", std::string("b\0z", 3), std::nullopt, false), 2);
}

}  // namespace
}  // namespace kestrune::services
