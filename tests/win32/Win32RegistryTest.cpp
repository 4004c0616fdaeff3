// The registry services on the real (Wine's) registry: values as the registry functions see them,
// the browser-mode values in the prefix's user.reg, value names outside every ANSI code page, the
// default value, the root key itself, and roots outside the five.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "Win32TestSupport.h"
#include "platform/SystemServices.h"
#include "platform/win32/Win32SystemServices.h"
#include "services/BrowserEmulation.h"
#include "services/Path.h"
#include "services/Registry.h"

namespace kestrune {
namespace {

using namespace win32_test;
using platform::RegistryData;
using platform::RegistryRoot;

const std::wstring kEmulationKey =
    L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
const std::wstring kGpuKey = L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_GPU_RENDERING";

class Win32Registry : public ::testing::Test {
protected:
    void SetUp() override { platform::InstallSystemServices(services_.get()); }
    void TearDown() override { platform::InstallSystemServices(nullptr); }
    void DeleteFeatureValues(const std::string& name) {
        for (const std::wstring& key : {kEmulationKey, kGpuKey}) {
            ::RegDeleteKeyValueW(HKEY_CURRENT_USER, key.c_str(), Widen(name).c_str());
        }
    }

    std::unique_ptr<platform::SystemServices> services_ = platform::win32::CreateWin32SystemServices();
    ScratchKey key_;
};

TEST_F(Win32Registry, ValuesAreStoredAsTheRegistryKeepsThem) {
    const std::string key = key_.path() + "\\A\\B";  // A and B do not exist yet
    ASSERT_TRUE(services::WriteRegistryItem(3, key + "\\level", forms::Value{std::int32_t{9000}}));
    EXPECT_EQ(DwordOf(QueryRaw(HKEY_CURRENT_USER, Widen(key), L"level")), 9000u);

    // Texts are UTF-16 with their terminator in the registry, and come back as they went in.
    const std::string text = "C:\\游戏\\Kestrune微端";
    ASSERT_TRUE(services::WriteRegistryItem(3, key + "\\dir", forms::Value{text}));
    const auto raw = QueryRaw(HKEY_CURRENT_USER, Widen(key), L"dir");
    ASSERT_TRUE(raw);
    EXPECT_EQ(raw->type, static_cast<DWORD>(REG_SZ));
    const std::wstring expected = L"C:\\\u6e38\u620f\\Kestrune\u5fae\u7aef";
    ASSERT_EQ(raw->bytes.size(), (expected.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(raw->bytes.data())), expected);
    EXPECT_EQ(services::ReadRegistryItem(3, key + "\\dir"), RegistryData::Text(text));

    // Byte blocks keep every byte, zeros and backslashes included.
    const forms::Bytes block{0, 0x5C, 0xFF};
    ASSERT_TRUE(services::WriteRegistryItem(3, key + "\\raw", forms::Value{block}));
    const auto rawBlock = QueryRaw(HKEY_CURRENT_USER, Widen(key), L"raw");
    ASSERT_TRUE(rawBlock);
    EXPECT_EQ(rawBlock->type, static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(rawBlock->bytes, (std::vector<BYTE>{0, 0x5C, 0xFF}));

    // A logical writes nothing.
    EXPECT_FALSE(services::WriteRegistryItem(3, key + "\\flag", forms::Value{forms::Logical{true}}));
    EXPECT_FALSE(QueryRaw(HKEY_CURRENT_USER, Widen(key), L"flag"));
    EXPECT_FALSE(services::ReadRegistryItem(3, key + "\\absent").has_value());
    EXPECT_FALSE(services::ReadRegistryItem(3, key_.path() + "\\NoSuchKey\\v").has_value());
}

TEST_F(Win32Registry, TrailingBackslashSetsTheDefaultValueAndNoBackslashTheRootItself) {
    ASSERT_TRUE(services::WriteRegistryItem(3, key_.path() + "\\", forms::Value{std::string("dflt")}));
    const auto dflt = QueryRaw(HKEY_CURRENT_USER, Widen(key_.path()), L"");
    ASSERT_TRUE(dflt);
    EXPECT_EQ(dflt->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(dflt->bytes.data())), L"dflt");

    const std::string top = UniqueName("kestrune-top");
    ASSERT_TRUE(services::WriteRegistryItem(3, top, forms::Value{std::int32_t{5}}));
    EXPECT_EQ(DwordOf(QueryRaw(HKEY_CURRENT_USER, L"", Widen(top))), 5u);
    EXPECT_EQ(services::ReadRegistryItem(3, top), RegistryData::Dword(5));
    ::RegDeleteValueW(HKEY_CURRENT_USER, Widen(top).c_str());
}

TEST_F(Win32Registry, RootsOutsideTheFiveAndZeroBytesWriteNothing) {
    const std::string name = UniqueName("v");
    for (int root : {0, 6, -1}) {
        EXPECT_FALSE(services_->SetRegistryValue(static_cast<RegistryRoot>(root), key_.path(), name,
                                                 RegistryData::Dword(1)))
            << root;
        EXPECT_FALSE(services_->QueryRegistryValue(static_cast<RegistryRoot>(root), key_.path(), name)) << root;
    }
    EXPECT_FALSE(QueryRaw(HKEY_CURRENT_USER, Widen(key_.path()), Widen(name)));
    // A name cut at a zero would write another value than the one asked for.
    EXPECT_FALSE(services_->SetRegistryValue(RegistryRoot::CurrentUser, key_.path(), std::string("v\0w", 3),
                                             RegistryData::Dword(1)));
    EXPECT_FALSE(QueryRaw(HKEY_CURRENT_USER, Widen(key_.path()), L"v"));
    EXPECT_FALSE(services_->SetRegistryValue(RegistryRoot::CurrentUser, key_.path() + std::string("\0x", 2), "v",
                                             RegistryData::Dword(1)));
    // Codes of the registry service: 1-5 are the predefined keys; any other code is the current user.
    EXPECT_EQ(platform::win32::PredefinedKey(services::RootFromCode(4)), HKEY_LOCAL_MACHINE);
    EXPECT_EQ(platform::win32::PredefinedKey(services::RootFromCode(1)), HKEY_CLASSES_ROOT);
    ASSERT_TRUE(services::WriteRegistryItem(9, key_.path() + "\\" + name, forms::Value{std::int32_t{9}}));
    EXPECT_EQ(DwordOf(QueryRaw(HKEY_CURRENT_USER, Widen(key_.path()), Widen(name))), 9u);
}

// The prefix's user.reg, where Wine keeps the current user's hive; empty outside Wine.
std::string UserRegPath() {
    const char* prefix = std::getenv("WINEPREFIX");
    if (prefix == nullptr || prefix[0] != '/') return {};
    std::string path = std::string("Z:") + prefix + "/user.reg";
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

TEST_F(Win32Registry, BrowserModeValuesReachTheUsersHive) {
    const std::string exe = UniqueName("kestrune-hive") + ".exe";
    services::InitExecutablePath("C:\\Games\\Kestrune\\" + exe);
    services::ApplyBrowserEmulation(1);
    EXPECT_EQ(DwordOf(QueryRaw(HKEY_CURRENT_USER, kEmulationKey, Widen(exe))), 8000u);
    EXPECT_EQ(DwordOf(QueryRaw(HKEY_CURRENT_USER, kGpuKey, Widen(exe))), 8000u);
    EXPECT_EQ(services::ReadBrowserEmulation(exe).emulationLevel, 8000);

    const std::string userReg = UserRegPath();
    if (userReg.empty()) {
        DeleteFeatureValues(exe);
        GTEST_SKIP() << "not under Wine: no user.reg";
    }
    // The server writes its hives out on its own schedule (every 30 seconds or so).
    const std::string line = "\"" + exe + "\"=dword:00001f40";
    std::string text;
    for (int waited = 0; waited < 90; ++waited) {
        text = ReadFileBytes(userReg);
        if (text.find(line) != std::string::npos) break;
        ::Sleep(1000);
    }
    const std::size_t emulation = text.find("[Software\\\\Microsoft\\\\Internet Explorer\\\\Main\\\\FeatureControl\\\\"
                                            "FEATURE_BROWSER_EMULATION]");
    const std::size_t gpu =
        text.find("[Software\\\\Microsoft\\\\Internet Explorer\\\\Main\\\\FeatureControl\\\\FEATURE_GPU_RENDERING]");
    ASSERT_NE(emulation, std::string::npos);
    ASSERT_NE(gpu, std::string::npos);
    // Each key's section holds the value: the first occurrence after the section's header, before
    // the next section.
    for (std::size_t section : {emulation, gpu}) {
        const std::size_t next = text.find("\n[", section + 1);
        const std::size_t at = text.find(line, section);
        EXPECT_TRUE(at != std::string::npos && at < next) << "section at " << section;
    }
    DeleteFeatureValues(exe);
}

TEST_F(Win32Registry, AProgramNamedInChineseGetsItsExactNameAsValueName) {
    ScratchFolder folder;
    const std::string exe = "启动器测试" + std::to_string(::GetCurrentProcessId()) + ".exe";
    const std::string copy = folder / exe;
    const std::string writer = ProgramFolder() + "\\kestrune_win32_emulation_writer.exe";
    ASSERT_TRUE(::CopyFileW(Widen(writer).c_str(), Widen(copy).c_str(), FALSE)) << writer;

    std::wstring command = L"\"" + Widen(copy) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                 &process));
    ASSERT_EQ(::WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    EXPECT_EQ(exitCode, 0u);

    EXPECT_EQ(DwordOf(QueryRaw(HKEY_CURRENT_USER, kEmulationKey, Widen(exe))), 8000u);
    EXPECT_EQ(DwordOf(QueryRaw(HKEY_CURRENT_USER, kGpuKey, Widen(exe))), 8000u);
    // Read back through the service under the same name.
    EXPECT_EQ(services::ReadBrowserEmulation(exe).emulationLevel, 8000);
    DeleteFeatureValues(exe);
}

}  // namespace
}  // namespace kestrune
