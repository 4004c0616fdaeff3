// Loading the built-in login window prepares the machine: browser emulation values in the user's
// hive, the window's skin outline, and the desktop link, written through the Linux services into
// a temporary home.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "app/BuiltinDefinitions.h"
#include "app/FormIds.h"
#include "app/UnitClasses.h"
#include "forms/Fatal.h"
#include "forms/Runtime.h"
#include "platform/SystemServices.h"
#include "platform/linux/LinuxSystemServices.h"
#include "services/Path.h"
#include "services/Registry.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/FileContents.h"
#include "tests/support/TempFolder.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;

using kestrune::testing::ReadFile;

// The Linux services with the desktop folder moved into the test's directory (the XDG folders are
// fixed for the whole process once read).
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
    std::unique_ptr<platform::SystemServices> real_ = platform::CreateLinuxSystemServices();
};

class MachinePreparation : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp_.Made());
        if (const char* old = std::getenv("XDG_CONFIG_HOME")) oldConfig_ = old;
        ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
        desktop_ = root_ / "Desktop";
        fs::create_directories(desktop_);
        system_.desktop = desktop_.string();
        platform::InstallSystemServices(&system_);
        services::InitExecutablePath("/opt/kestrune/kestrune");

        forms::ResetRuntimeForTests();
        app::RegisterBuiltinClasses();
        app::RegisterBuiltinDefinitions();
    }
    void TearDown() override {
        if (forms::IsWindowLoaded(app::kLoginWindow)) forms::DestroyUnit(app::kLoginWindow, app::kLoginWindowUnit, true);
        forms::ResetRuntimeForTests();
        platform::InstallSystemServices(nullptr);
        if (oldConfig_) {
            ::setenv("XDG_CONFIG_HOME", oldConfig_->c_str(), 1);
        } else {
            ::unsetenv("XDG_CONFIG_HOME");
        }
    }
    bool LoadLogin() { return forms::LoadWindow(app::kLoginWindow, 0, false); }
    std::optional<std::uint32_t> Stored(const char* key) {
        auto data = services::ReadRegistryItem(3, std::string(key) + "kestrune");
        if (!data) return std::nullopt;
        return data->AsDword();
    }

    kestrune::testing::TempFolder temp_{"prep"};
    const fs::path root_ = temp_.Path();
    fs::path desktop_;
    std::optional<std::string> oldConfig_;
    TestSystem system_;
    testing::ScopedFakePlatform fake_;
};

constexpr char kEmulation[] = "Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION\\";
constexpr char kGpu[] = "Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_GPU_RENDERING\\";

TEST_F(MachinePreparation, LoginWindowWritesTheValuesShapesItselfAndLinksTheDesktop) {
    ASSERT_TRUE(LoadLogin());
    EXPECT_EQ(Stored(kEmulation), 8000u);
    EXPECT_EQ(Stored(kGpu), 8000u);

    const testing::FakeWindow* window = fake_->Find(forms::GetUnitHandle(app::kLoginWindow, app::kLoginWindowUnit));
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->shape.has_value());

    const fs::path link = desktop_ / "Kestrune.desktop";
    ASSERT_TRUE(fs::is_regular_file(link));
    const std::string text = ReadFile(link);
    EXPECT_NE(text.find("Exec=\"/opt/kestrune/kestrune\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Type=Application\n"), std::string::npos) << text;
    EXPECT_EQ(system_.linksWritten, 1);
}

TEST_F(MachinePreparation, LinkIsRecreatedAtEveryStartWithTheCurrentLocation) {
    { std::ofstream(desktop_ / "Kestrune.desktop") << "stale"; }
    services::InitExecutablePath("/srv/moved/kestrune");
    ASSERT_TRUE(LoadLogin());
    EXPECT_NE(ReadFile(desktop_ / "Kestrune.desktop").find("Exec=\"/srv/moved/kestrune\""), std::string::npos);
}

TEST_F(MachinePreparation, UsersOwnLinkFileStopsTheLink) {
    { std::ofstream(desktop_ / "我的快捷方式.desktop") << "mine"; }
    ASSERT_TRUE(LoadLogin());
    EXPECT_EQ(system_.linksWritten, 0);
    EXPECT_FALSE(fs::exists(desktop_ / "Kestrune.desktop"));
    EXPECT_EQ(ReadFile(desktop_ / "我的快捷方式.desktop"), "mine");
    // The values are written all the same.
    EXPECT_EQ(Stored(kEmulation), 8000u);
}

TEST_F(MachinePreparation, NoDesktopFolderMeansNoLink) {
    system_.desktop.clear();
    ASSERT_TRUE(LoadLogin());
    EXPECT_EQ(system_.linksWritten, 0);
    EXPECT_EQ(Stored(kGpu), 8000u);
}

TEST_F(MachinePreparation, UnwritableHiveDoesNotStopTheStart) {
    fs::create_directories(root_ / "config" / "kestrune" / "registry");
    const std::string broken = "not a hive";
    { std::ofstream(root_ / "config" / "kestrune" / "registry" / "HKEY_CURRENT_USER.reg") << broken; }
    ASSERT_TRUE(LoadLogin());
    EXPECT_EQ(ReadFile(root_ / "config" / "kestrune" / "registry" / "HKEY_CURRENT_USER.reg"), broken);
    EXPECT_TRUE(fs::exists(desktop_ / "Kestrune.desktop"));
    EXPECT_TRUE(forms::IsWindowLoaded(app::kLoginWindow));
}

}  // namespace
}  // namespace kestrune
