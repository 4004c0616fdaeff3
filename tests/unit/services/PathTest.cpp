#include <gtest/gtest.h>

#include <string>

#include "services/CodePage.h"
#include "services/Path.h"

namespace kestrune::services {
namespace {

TEST(SplitAtLastSeparator, SplitsAtTheLastWholeSeparator) {
    auto parts = SplitAtLastSeparator("C:\\Games\\a.exe", '\\', CodePage::Gbk);
    EXPECT_EQ(parts.directory, "C:\\Games");
    EXPECT_EQ(parts.fileName, "a.exe");

    parts = SplitAtLastSeparator("D:\\a.exe", '\\', CodePage::Gbk);
    EXPECT_EQ(parts.directory, "D:");
    EXPECT_EQ(parts.fileName, "a.exe");

    parts = SplitAtLastSeparator("a.exe", '\\', CodePage::Gbk);
    EXPECT_EQ(parts.directory, "");
    EXPECT_EQ(parts.fileName, "a.exe");

    parts = SplitAtLastSeparator("C:\\dir\\", '\\', CodePage::Gbk);
    EXPECT_EQ(parts.directory, "C:\\dir");
    EXPECT_EQ(parts.fileName, "");
}

TEST(SplitAtLastSeparator, GbkSecondByte5CIsNotASeparator) {
    // 0x95 0x5C is one GBK character whose second byte is the backslash.
    const std::string path = "C:\\\x95\x5C";  // C:\<one double-byte character>
    auto parts = SplitAtLastSeparator(path, '\\', CodePage::Gbk);
    EXPECT_EQ(parts.directory, "C:");
    EXPECT_EQ(parts.fileName, "\x95\x5C");

    const std::string nested = "C:\\\x95\x5C\\a.exe";
    parts = SplitAtLastSeparator(nested, '\\', CodePage::Gbk);
    EXPECT_EQ(parts.directory, "C:\\\x95\x5C");
    EXPECT_EQ(parts.fileName, "a.exe");

    // No whole separator at all: the whole text is the file name.
    parts = SplitAtLastSeparator("\x95\x5C" "b", '\\', CodePage::Gbk);
    EXPECT_EQ(parts.directory, "");
    EXPECT_EQ(parts.fileName, "\x95\x5C" "b");
}

TEST(SplitAtLastSeparator, SlashPathsInUtf8) {
    auto parts = SplitAtLastSeparator("/opt/游戏/kestrune", '/', CodePage::Utf8);
    EXPECT_EQ(parts.directory, "/opt/游戏");
    EXPECT_EQ(parts.fileName, "kestrune");
    // An executable at the root: the run directory is empty, and joining gives the path back.
    parts = SplitAtLastSeparator("/kestrune", '/', CodePage::Utf8);
    EXPECT_EQ(parts.directory, "");
    EXPECT_EQ(parts.fileName, "kestrune");
    EXPECT_EQ(parts.directory + "/" + parts.fileName, "/kestrune");
}

TEST(ExecutablePath, RunDirectoryAndFileNameAreKeptFromStartUp) {
    InitExecutablePath(std::string(1, kPathSeparator) + "kestrune.bin");
    EXPECT_EQ(GetRunDirectory(), "");
    EXPECT_EQ(GetExeFileName(), "kestrune.bin");

    const std::string dir = std::string(1, kPathSeparator) + "opt" + kPathSeparator + "k";
    InitExecutablePath(dir + kPathSeparator + "kestrune");
    EXPECT_EQ(GetRunDirectory(), dir);
    EXPECT_EQ(GetExeFileName(), "kestrune");

    InitExecutablePath("kestrune");
    EXPECT_EQ(GetRunDirectory(), "");
    EXPECT_EQ(GetExeFileName(), "kestrune");
}

TEST(CodePage, CharacterLengths) {
    EXPECT_EQ(CharacterLength("\xB0" "a", 0, CodePage::Gbk), 2u);
    EXPECT_EQ(CharacterLength("\xB0", 0, CodePage::Gbk), 1u);  // lead at the very end
    EXPECT_EQ(CharacterLength("\xE4\xB8\xAD", 0, CodePage::Utf8), 3u);
    EXPECT_EQ(CharacterLength("\xE4\xB8", 0, CodePage::Utf8), 1u);   // truncated
    EXPECT_EQ(CharacterLength("\xE4" "ab", 0, CodePage::Utf8), 1u);  // not continued
    EXPECT_EQ(FindLastCharacter("a\\b\x95\\", '\\', CodePage::Gbk), 1u);
    EXPECT_EQ(FindLastCharacter("a\\b\x95\\", '\\', CodePage::Utf8), 4u);
}

}  // namespace
}  // namespace kestrune::services
