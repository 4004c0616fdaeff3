// Loading the built-in login window with the Windows services: the browser-mode values under the
// executable's name in the real registry, and "Kestrune.lnk" on the desktop (a scratch folder here)
// pointing at the executable, unless "我的快捷方式.lnk" is there.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>

#include "Win32TestSupport.h"
#include "app/BuiltinDefinitions.h"
#include "app/FormIds.h"
#include "app/UnitClasses.h"
#include "forms/Fatal.h"
#include "forms/Runtime.h"
#include "platform/SystemServices.h"
#include "platform/win32/Win32SystemServices.h"
#include "services/BrowserEmulation.h"
#include "services/Path.h"
#include "tests/support/FakePlatform.h"

namespace kestrune {
namespace {

using namespace win32_test;

// The Windows services with the desktop moved into the test's folder.
class TestSystem : public platform::SystemServices {
public:
    std::string ExecutablePath() override { return real_->ExecutablePath(); }
    bool SetCurrentDirectory(const std::string& path) override { return real_->SetCurrentDirectory(path); }
    bool FindFirstExists(const std::string& path) override { return real_->FindFirstExists(path); }
    std::string SpecialFolderPath(platform::SpecialFolder folder) override {
        if (folder == platform::SpecialFolder::Desktop) return desktop;
        return real_->SpecialFolderPath(folder);
    }
    bool SetRegistryValue(platform::RegistryRoot root, const std::string& keyPath, const std::string& valueName,
                          const platform::RegistryData& data) override {
        return real_->SetRegistryValue(root, keyPath, valueName, data);
    }
    std::optional<platform::RegistryData> QueryRegistryValue(platform::RegistryRoot root, const std::string& keyPath,
                                                             const std::string& valueName) override {
        return real_->QueryRegistryValue(root, keyPath, valueName);
    }
    bool WriteLink(const std::string& file, const platform::LinkSpec& link) override {
        ++linksWritten;
        return real_->WriteLink(file, link);
    }

    std::string desktop;
    int linksWritten = 0;

private:
    std::unique_ptr<platform::SystemServices> real_ = platform::win32::CreateWin32SystemServices();
};

class Win32MachinePreparation : public ::testing::Test {
protected:
    void SetUp() override {
        system_.desktop = desktop_.path();
        platform::InstallSystemServices(&system_);
        exe_ = UniqueName("kestrune-prep") + ".exe";
        services::InitExecutablePath(games_.path() + "\\" + exe_);
        forms::ResetRuntimeForTests();
        app::RegisterBuiltinClasses();
        app::RegisterBuiltinDefinitions();
    }
    void TearDown() override {
        if (forms::IsWindowLoaded(app::kLoginWindow)) forms::DestroyUnit(app::kLoginWindow, app::kLoginWindowUnit, true);
        forms::ResetRuntimeForTests();
        platform::InstallSystemServices(nullptr);
        for (const wchar_t* key : {L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION",
                                   L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_GPU_RENDERING"}) {
            ::RegDeleteKeyValueW(HKEY_CURRENT_USER, key, Widen(exe_).c_str());
        }
    }
    bool LoadLogin() { return forms::LoadWindow(app::kLoginWindow, 0, false); }

    ScratchFolder desktop_{"kestrune-desktop"};
    ScratchFolder games_{"kestrune-games"};
    std::string exe_;
    TestSystem system_;
    testing::ScopedFakePlatform fake_;
};

TEST_F(Win32MachinePreparation, ValuesAndTheDesktopLinkToTheExecutable) {
    ASSERT_TRUE(LoadLogin());
    const auto mode = services::ReadBrowserEmulation(exe_);
    EXPECT_EQ(mode.emulationLevel, 8000);
    EXPECT_EQ(DwordOf(QueryRaw(HKEY_CURRENT_USER,
                               L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_GPU_RENDERING",
                               Widen(exe_))),
              8000u);
    const auto link = platform::win32::ReadLink(desktop_ / "Kestrune.lnk");
    ASSERT_TRUE(link);
    EXPECT_EQ(link->target, games_.path() + "\\" + exe_);
    EXPECT_FALSE(link->arguments.has_value());
    EXPECT_EQ(system_.linksWritten, 1);
}

TEST_F(Win32MachinePreparation, TheUsersOwnLinkStopsTheLink) {
    WriteFileBytes(desktop_ / "我的快捷方式.lnk", "mine");
    ASSERT_TRUE(LoadLogin());
    EXPECT_EQ(system_.linksWritten, 0);
    EXPECT_FALSE(FileExistsW(desktop_ / "Kestrune.lnk"));
    EXPECT_EQ(ReadFileBytes(desktop_ / "我的快捷方式.lnk"), "mine");
    EXPECT_EQ(services::ReadBrowserEmulation(exe_).emulationLevel, 8000);
}

TEST_F(Win32MachinePreparation, TheLinkIsReplacedWithTheCurrentLocation) {
    WriteFileBytes(desktop_ / "Kestrune.lnk", "stale");
    services::InitExecutablePath(desktop_.path() + "\\moved\\" + exe_);
    ASSERT_TRUE(LoadLogin());
    const auto link = platform::win32::ReadLink(desktop_ / "Kestrune.lnk");
    ASSERT_TRUE(link);
    EXPECT_EQ(link->target, desktop_.path() + "\\moved\\" + exe_);
}

}  // namespace
}  // namespace kestrune
