#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "FakeSystem.h"
#include "services/BrowserEmulation.h"
#include "services/Path.h"
#include "services/Registry.h"
#include "services/RegistryHive.h"

namespace kestrune::services {
namespace {

using platform::RegistryRoot;
using testing::FakeSystem;

RegistryHive HiveOf(FakeSystem& system, RegistryRoot root) {
    auto parsed = RegistryHive::Parse(system.hives.at(root));
    EXPECT_TRUE(parsed.has_value()) << system.hives.at(root);
    return parsed ? *parsed : RegistryHive{};
}

TEST(RegistryRoots, CodesSelectRootsAndUnknownCodesMeanTheCurrentUser) {
    EXPECT_EQ(RootFromCode(1), RegistryRoot::ClassesRoot);
    EXPECT_EQ(RootFromCode(2), RegistryRoot::CurrentConfig);
    EXPECT_EQ(RootFromCode(3), RegistryRoot::CurrentUser);
    EXPECT_EQ(RootFromCode(4), RegistryRoot::LocalMachine);
    EXPECT_EQ(RootFromCode(5), RegistryRoot::Users);
    EXPECT_EQ(RootFromCode(0), RegistryRoot::CurrentUser);
    EXPECT_EQ(RootFromCode(6), RegistryRoot::CurrentUser);
    EXPECT_EQ(RootFromCode(-1), RegistryRoot::CurrentUser);
}

TEST(RegistryValuePaths, SplitAtTheLastWholeBackslash) {
    auto p = SplitValuePath("Software\\A\\B\\name", CodePage::Gbk);
    EXPECT_EQ(p.keyPath, "Software\\A\\B");
    EXPECT_EQ(p.valueName, "name");
    p = SplitValuePath("name", CodePage::Gbk);
    EXPECT_EQ(p.keyPath, "");
    EXPECT_EQ(p.valueName, "name");
    p = SplitValuePath("Software\\A\\", CodePage::Gbk);
    EXPECT_EQ(p.keyPath, "Software\\A");
    EXPECT_EQ(p.valueName, "");
    // The value name ends in the GBK character 0x95 0x5C; its second byte is not a separator.
    p = SplitValuePath("Software\\A\\x\x95\x5C", CodePage::Gbk);
    EXPECT_EQ(p.keyPath, "Software\\A");
    EXPECT_EQ(p.valueName, "x\x95\x5C");
}

TEST(WriteRegistryItem, IntegerCreatesMissingKeysAsDword) {
    FakeSystem system;
    ASSERT_TRUE(WriteRegistryItem(3, "Software\\A\\B\\name", forms::Value{std::int32_t{9000}}));
    const RegistryHive hive = HiveOf(system, RegistryRoot::CurrentUser);
    EXPECT_TRUE(hive.HasKey("HKEY_CURRENT_USER\\Software"));
    EXPECT_TRUE(hive.HasKey("HKEY_CURRENT_USER\\Software\\A"));
    const RegistryData* data = hive.FindValue("HKEY_CURRENT_USER\\Software\\A\\B", "name");
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->type, kRegDword);
    EXPECT_EQ(data->AsDword(), 9000u);
    EXPECT_NE(system.hives.at(RegistryRoot::CurrentUser).find("\"name\"=dword:00002328"), std::string::npos);
    // Read back through the service.
    EXPECT_EQ(ReadRegistryItem(3, "Software\\A\\B\\name"), RegistryData::Dword(9000));
    EXPECT_EQ(ReadRegistryItem(3, "software\\a\\b\\NAME"), RegistryData::Dword(9000));  // names fold case
    EXPECT_FALSE(ReadRegistryItem(3, "Software\\A\\B\\other").has_value());
}

TEST(WriteRegistryItem, PathWithoutBackslashWritesUnderTheRootItself) {
    FakeSystem system;
    ASSERT_TRUE(WriteRegistryItem(3, "top", forms::Value{std::int32_t{1}}));
    const RegistryHive hive = HiveOf(system, RegistryRoot::CurrentUser);
    ASSERT_NE(hive.FindValue("HKEY_CURRENT_USER", "top"), nullptr);
    EXPECT_EQ(hive.KeyPaths(), std::vector<std::string>{"HKEY_CURRENT_USER"});
}

TEST(WriteRegistryItem, TrailingBackslashNamesTheDefaultValue) {
    FakeSystem system;
    ASSERT_TRUE(WriteRegistryItem(3, "Software\\A\\", forms::Value{std::string("dflt")}));
    EXPECT_NE(system.hives.at(RegistryRoot::CurrentUser).find("@=\"dflt\""), std::string::npos);
}

TEST(WriteRegistryItem, LogicalWritesNothingAndFails) {
    FakeSystem system;
    EXPECT_FALSE(WriteRegistryItem(3, "Software\\A\\flag", forms::Value{forms::Logical{true}}));
    EXPECT_EQ(system.updates, 0);
    EXPECT_TRUE(system.hives.empty());
}

TEST(WriteRegistryItem, EachKindRoundTripsThroughTheHiveText) {
    FakeSystem system;
    const std::string text = "C:\\Games\\\"k\" 游戏";
    const forms::Bytes block{0x00, 0x01, 0xFE, 0xFF, 0x5C};
    ASSERT_TRUE(WriteRegistryItem(4, "Software\\K\\dword", forms::Value{std::int32_t{-2}}));
    ASSERT_TRUE(WriteRegistryItem(4, "Software\\K\\sz", forms::Value{text}));
    ASSERT_TRUE(WriteRegistryItem(4, "Software\\K\\bin", forms::Value{block}));
    ASSERT_TRUE(WriteRegistryItem(4, "Software\\K\\gbk", forms::Value{std::string("\xD6\xD0")}));
    ASSERT_TRUE(WriteRegistryItem(4, "Software\\K\\empty", forms::Value{forms::Bytes{}}));
    EXPECT_EQ(system.hives.count(RegistryRoot::CurrentUser), 0u);

    EXPECT_EQ(ReadRegistryItem(4, "Software\\K\\dword"), RegistryData::Dword(0xFFFFFFFEu));
    EXPECT_EQ(ReadRegistryItem(4, "Software\\K\\sz"), RegistryData::Text(text));
    EXPECT_EQ(ReadRegistryItem(4, "Software\\K\\bin"), RegistryData::Binary(block));
    EXPECT_EQ(ReadRegistryItem(4, "Software\\K\\gbk"), RegistryData::Text("\xD6\xD0"));
    EXPECT_EQ(ReadRegistryItem(4, "Software\\K\\empty"), RegistryData::Binary({}));

    // A text keeps its bytes up to the first zero and gets one terminator.
    ASSERT_TRUE(WriteRegistryItem(4, "Software\\K\\cut", forms::Value{std::string("ab\0cd", 5)}));
    EXPECT_EQ(ReadRegistryItem(4, "Software\\K\\cut"), RegistryData::Text("ab"));
    // Writing again replaces the value in place.
    ASSERT_TRUE(WriteRegistryItem(4, "Software\\K\\dword", forms::Value{std::string("now text")}));
    EXPECT_EQ(ReadRegistryItem(4, "Software\\K\\dword"), RegistryData::Text("now text"));
}

TEST(WriteRegistryItem, HiveTextIsTheEditorExportFormat) {
    FakeSystem system;
    ASSERT_TRUE(WriteRegistryItem(3, "Software\\K\\level", forms::Value{std::int32_t{8000}}));
    ASSERT_TRUE(WriteRegistryItem(3, "Software\\K\\path", forms::Value{std::string("C:\\a \"b\"")}));
    ASSERT_TRUE(WriteRegistryItem(3, "Software\\K\\bin", forms::Value{forms::Bytes{0x01, 0xAB}}));
    const std::string expected =
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n[HKEY_CURRENT_USER]\r\n"
        "\r\n[HKEY_CURRENT_USER\\Software]\r\n"
        "\r\n[HKEY_CURRENT_USER\\Software\\K]\r\n"
        "\"level\"=dword:00001f40\r\n"
        "\"path\"=\"C:\\\\a \\\"b\\\"\"\r\n"
        "\"bin\"=hex:01,ab\r\n";
    EXPECT_EQ(system.hives.at(RegistryRoot::CurrentUser), expected);
}

TEST(WriteRegistryItem, UnreadableHiveIsLeftAsItIs) {
    FakeSystem system;
    const std::string broken = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n\"x\"=bogus\r\n";
    system.hives[RegistryRoot::CurrentUser] = broken;
    EXPECT_FALSE(WriteRegistryItem(3, "A\\y", forms::Value{std::int32_t{1}}));
    EXPECT_EQ(system.hives.at(RegistryRoot::CurrentUser), broken);
}

TEST(WriteRegistryItem, InvalidKeyPathsAndFailingBackendsGiveFalse) {
    FakeSystem system;
    EXPECT_FALSE(WriteRegistryItem(3, "Software\\\\A\\x", forms::Value{std::int32_t{1}}));  // empty key name
    EXPECT_FALSE(WriteRegistryItem(3, "Software\\A\r\nB\\x", forms::Value{std::int32_t{1}}));
    EXPECT_FALSE(WriteRegistryItem(3, "Software\\A\\x\ny", forms::Value{std::int32_t{1}}));
    EXPECT_TRUE(system.hives.empty());
    system.readOnly[RegistryRoot::LocalMachine] = true;
    EXPECT_FALSE(WriteRegistryItem(4, "Software\\x", forms::Value{std::int32_t{1}}));
}

TEST(RegistryHive, ParsesWhatItWritesAndRejectsMalformedText) {
    RegistryHive hive;
    ASSERT_TRUE(hive.SetValue("HKEY_USERS\\S\\T", "long", RegistryData::Binary(forms::Bytes(100, 0x7F))));
    ASSERT_TRUE(hive.SetValue("HKEY_USERS\\S\\T", "multi", RegistryData{7, {'a', 0, 'b', 0, 0}}));
    ASSERT_TRUE(hive.SetValue("HKEY_USERS\\S\\T", "ctl", RegistryData::Text("line\tbreak")));
    ASSERT_TRUE(hive.SetValue("HKEY_USERS\\S", "q\"uote\\", RegistryData::Dword(1)));
    const std::string text = hive.Serialise();
    EXPECT_NE(text.find("hex:7f,7f"), std::string::npos);
    EXPECT_NE(text.find("\\\r\n  7f"), std::string::npos);  // long lists continue on the next line
    EXPECT_NE(text.find("\"multi\"=hex(7):61,00,62,00,00"), std::string::npos);
    EXPECT_NE(text.find("\"ctl\"=hex(1):"), std::string::npos);
    auto back = RegistryHive::Parse(text);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, hive);

    // LF line ends and comments are read as well.
    EXPECT_TRUE(RegistryHive::Parse("Windows Registry Editor Version 5.00\n; note\n[HKEY_USERS\\A]\n\"v\"=dword:1\n"));
    for (const char* bad : {
             "",
             "REGEDIT4\r\n",
             "Windows Registry Editor Version 5.00\r\n\"v\"=dword:1\r\n",              // value outside a key
             "Windows Registry Editor Version 5.00\r\n[HKEY_USERS\\A\r\n",             // unclosed key
             "Windows Registry Editor Version 5.00\r\n[-HKEY_USERS\\A]\r\n",           // deletion
             "Windows Registry Editor Version 5.00\r\n[HKEY_USERS\\\\A]\r\n",          // empty key name
             "Windows Registry Editor Version 5.00\r\n[HKEY_USERS\\A]\r\n\"v\"=dword:123456789\r\n",
             "Windows Registry Editor Version 5.00\r\n[HKEY_USERS\\A]\r\n\"v\"=hex:0g\r\n",
             "Windows Registry Editor Version 5.00\r\n[HKEY_USERS\\A]\r\n\"v\"=hex:01,\\\r\n",
             "Windows Registry Editor Version 5.00\r\n[HKEY_USERS\\A]\r\n\"v=\"x\"\r\n",
             "Windows Registry Editor Version 5.00\r\n[HKEY_USERS\\A]\r\n\"v\"=-\r\n",  // deletion
         }) {
        EXPECT_FALSE(RegistryHive::Parse(bad).has_value()) << bad;
    }
}

TEST(RegistryHive, KeyWithManyValuesKeepsFileOrderAndFindsEachByName) {
    // Values in an order no sorting gives back, names differing only in case and in their tails.
    constexpr int kCount = 5000;
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Big]\r\n";
    std::vector<std::string> names;
    for (int i = 0; i < kCount; ++i) {
        names.push_back("v" + std::to_string((i * 7919) % kCount) + (i % 2 ? "X" : "y"));
        text += "\"" + names.back() + "\"=dword:" + std::to_string(i % 10) + "\r\n";
    }
    std::string shouted = names[3];
    for (char& c : shouted) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    text += "\"" + shouted + "\"=dword:00000009\r\n";  // an earlier name in other case: replaces it
    auto hive = RegistryHive::Parse(text);
    ASSERT_TRUE(hive.has_value());
    const auto* values = hive->Values("hkey_current_user\\big");
    ASSERT_NE(values, nullptr);
    ASSERT_EQ(values->size(), static_cast<std::size_t>(kCount));
    for (int i = 0; i < kCount; ++i) {
        ASSERT_EQ((*values)[i].name, names[i]) << i;
        const RegistryData* found = hive->FindValue("HKEY_CURRENT_USER\\Big", names[i]);
        ASSERT_NE(found, nullptr) << names[i];
        EXPECT_EQ(found, &(*values)[i].data);
    }
    EXPECT_EQ((*values)[3], (RegistryValue{names[3], RegistryData::Dword(9)}));  // first spelling and place kept
    EXPECT_EQ(*hive->FindValue("HKEY_CURRENT_USER\\Big", shouted), RegistryData::Dword(9));
    EXPECT_EQ(hive->FindValue("HKEY_CURRENT_USER\\Big", names[3].substr(0, names[3].size() - 1)), nullptr);
    EXPECT_EQ(hive->FindValue("HKEY_CURRENT_USER\\Big", names[3] + "X"), nullptr);
    EXPECT_EQ(hive->FindValue("HKEY_CURRENT_USER\\Other", names[3]), nullptr);

    // Setting an existing name changes it in place; a new one goes last; both are found afterwards.
    ASSERT_TRUE(hive->SetValue("HKEY_CURRENT_USER\\Big", names[17], RegistryData::Text("t")));
    ASSERT_TRUE(hive->SetValue("HKEY_CURRENT_USER\\Big", "zz new", RegistryData::Dword(3)));
    values = hive->Values("HKEY_CURRENT_USER\\Big");
    ASSERT_EQ(values->size(), static_cast<std::size_t>(kCount + 1));
    EXPECT_EQ((*values)[17], (RegistryValue{names[17], RegistryData::Text("t")}));
    EXPECT_EQ(values->back(), (RegistryValue{"zz new", RegistryData::Dword(3)}));
    EXPECT_EQ(*hive->FindValue("HKEY_CURRENT_USER\\Big", "ZZ NEW"), RegistryData::Dword(3));

    // Written back in the same order, and a copy looks up through its own index.
    const RegistryHive copy = *hive;
    hive.reset();
    auto again = RegistryHive::Parse(copy.Serialise());
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(*again, copy);
    EXPECT_EQ(*copy.FindValue("HKEY_CURRENT_USER\\Big", names[17]), RegistryData::Text("t"));
    const std::string serialised = copy.Serialise();
    EXPECT_LT(serialised.find("\"" + names[0] + "\"="), serialised.find("\"" + names[1] + "\"="));
    EXPECT_LT(serialised.find("\"" + names[kCount - 1] + "\"="), serialised.find("\"zz new\"="));
}

TEST(BrowserEmulation, WritesBothValuesNamedAfterTheExecutable) {
    FakeSystem system;
    EXPECT_EQ(EmulationLevelFor(1), 8000);
    EXPECT_EQ(EmulationLevelFor(2), 9000);
    EXPECT_EQ(EmulationLevelFor(0), 9999);
    EXPECT_EQ(EmulationLevelFor(3), 9999);

    InitExecutablePath(std::string(1, kPathSeparator) + "games" + kPathSeparator + "kestrune.bin");
    ApplyBrowserEmulation(1);
    const std::string emulation = std::string(kBrowserEmulationKey) + "kestrune.bin";
    const std::string gpu = std::string(kGpuRenderingKey) + "kestrune.bin";
    EXPECT_EQ(ReadRegistryItem(3, emulation), RegistryData::Dword(8000));
    EXPECT_EQ(ReadRegistryItem(3, gpu), RegistryData::Dword(8000));
    EXPECT_EQ(ReadBrowserEmulation("kestrune.bin").emulationLevel, 8000);
    EXPECT_EQ(ReadBrowserEmulation("other.bin").emulationLevel, 0);
}

}  // namespace
}  // namespace kestrune::services
