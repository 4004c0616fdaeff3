#include <gtest/gtest.h>

#include <string>

#include "FakeSystem.h"
#include "services/FileSystem.h"
#include "services/Path.h"
#include "services/Shortcut.h"
#include "services/SpecialFolder.h"

namespace kestrune::services {
namespace {

using platform::SpecialFolder;
using testing::FakeSystem;

const std::string kSep(1, kPathSeparator);

TEST(GetSpecialFolder, KnownCodesEndWithTheSeparatorOthersAreEmpty) {
    FakeSystem system;
    for (int code = 1; code <= 11; ++code) {
        system.folders[static_cast<SpecialFolder>(code)] = kSep + "f" + std::to_string(code);
    }
    system.folders[SpecialFolder::Temporary] = kSep + "tmp" + kSep;  // already ends with one
    for (int code = 1; code <= 10; ++code) {
        EXPECT_EQ(GetSpecialFolder(code), kSep + "f" + std::to_string(code) + kSep) << code;
    }
    EXPECT_EQ(GetSpecialFolder(11), kSep + "tmp" + kSep);
    EXPECT_EQ(GetSpecialFolder(0), "");
    EXPECT_EQ(GetSpecialFolder(12), "");
    EXPECT_EQ(GetSpecialFolder(-3), "");
}

TEST(GetSpecialFolder, UnknownFolderStaysEmpty) {
    FakeSystem system;
    EXPECT_EQ(GetSpecialFolder(3), "");
    EXPECT_EQ(GetSpecialFolder(2), "");
}

TEST(LinkFileName, ExtensionOnlyWhenNoFullStopAnywhere) {
    EXPECT_EQ(LinkFileName(kSep + "t" + kSep + "s"), kSep + "t" + kSep + "s" + std::string(kLinkExtension));
    EXPECT_EQ(LinkFileName(kSep + "t.d" + kSep + "s"), kSep + "t.d" + kSep + "s");
    EXPECT_EQ(LinkFileName("Kestrune.desktop"), "Kestrune.desktop");
    EXPECT_EQ(LinkFileName("a.b"), "a.b");
}

TEST(CreateShortcut, PassesTheLinkAndItsOptionalPartsToTheBackend) {
    FakeSystem system;
    ASSERT_TRUE(CreateShortcut(kSep + "t" + kSep + "s", kSep + "bin" + kSep + "k"));
    ASSERT_EQ(system.links.size(), 1u);
    EXPECT_EQ(system.links[0].first, kSep + "t" + kSep + "s" + std::string(kLinkExtension));
    EXPECT_EQ(system.links[0].second.target, kSep + "bin" + kSep + "k");
    EXPECT_FALSE(system.links[0].second.description.has_value());
    EXPECT_FALSE(system.links[0].second.arguments.has_value());
    EXPECT_FALSE(system.links[0].second.workingDirectory.has_value());

    ASSERT_TRUE(CreateShortcut(kSep + "t.d" + kSep + "s", "k", std::string("desc"), std::string("-x"),
                               std::string(kSep + "w")));
    ASSERT_EQ(system.links.size(), 2u);
    EXPECT_EQ(system.links[1].first, kSep + "t.d" + kSep + "s");
    EXPECT_EQ(system.links[1].second.description, "desc");
    EXPECT_EQ(system.links[1].second.arguments, "-x");
    EXPECT_EQ(system.links[1].second.workingDirectory, kSep + "w");

    system.linkResult = false;
    EXPECT_FALSE(CreateShortcut("x", "k"));
    EXPECT_FALSE(CreateShortcut("", "k"));
    EXPECT_EQ(system.links.size(), 3u);  // the empty file name never reached the backend
}

TEST(FileExists, EmptyOrZeroBytePathsAreFalseWithoutAskingTheSystem) {
    FakeSystem system;
    system.existing["present"] = true;
    EXPECT_TRUE(FileExists("present"));
    EXPECT_FALSE(FileExists("absent"));
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(FileExists(std::string("present\0x", 9)));
    EXPECT_EQ(system.queried, (std::vector<std::string>{"present", "absent"}));
}

}  // namespace
}  // namespace kestrune::services
