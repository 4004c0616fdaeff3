// Start-up's executable location against the real file system: the run directory becomes the
// current directory whatever directory the program was started from.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>

#include "app/ProcessState.h"
#include "platform/SystemServices.h"
#include "platform/linux/LinuxSystemServices.h"
#include "tests/support/TempFolder.h"

namespace kestrune {
namespace {

namespace fs = std::filesystem;

class ProcessState : public ::testing::Test {
protected:
    void SetUp() override {
        before_ = fs::current_path();
        ASSERT_TRUE(temp_.Made());
        root_ = fs::canonical(temp_.Path());
        platform::InstallSystemServices(services_.get());
    }
    void TearDown() override {
        fs::current_path(before_);
        platform::InstallSystemServices(nullptr);
    }
    kestrune::testing::TempFolder temp_{"state"};
    fs::path before_, root_;
    std::unique_ptr<platform::SystemServices> services_ = platform::CreateLinuxSystemServices();
};

TEST_F(ProcessState, RunDirectoryBecomesTheCurrentDirectory) {
    fs::create_directories(root_ / "games" / "k");
    fs::current_path(root_);  // started from elsewhere, as from a link with another working directory
    ASSERT_TRUE(app::InitExecutableLocation((root_ / "games" / "k" / "kestrune").string()));
    EXPECT_EQ(fs::current_path(), root_ / "games" / "k");
    EXPECT_EQ(app::RunDirectory(), (root_ / "games" / "k").string());
    EXPECT_EQ(app::ExeFileName(), "kestrune");
}

TEST_F(ProcessState, ExecutableAtTheRoot) {
    ASSERT_TRUE(app::InitExecutableLocation("/kestrune"));
    EXPECT_EQ(app::RunDirectory(), "");
    EXPECT_EQ(app::ExeFileName(), "kestrune");
    EXPECT_EQ(fs::current_path(), fs::path("/"));
    EXPECT_EQ(app::RunDirectory() + "/" + app::ExeFileName(), "/kestrune");
}

TEST_F(ProcessState, UnusableLocationsReportFalse) {
    fs::current_path(root_);
    EXPECT_FALSE(app::InitExecutableLocation((root_ / "missing" / "kestrune").string()));
    EXPECT_EQ(app::ExeFileName(), "kestrune");  // the names are kept all the same
    EXPECT_FALSE(app::InitExecutableLocation("kestrune"));
    EXPECT_FALSE(app::InitExecutableLocation(""));
    EXPECT_EQ(fs::current_path(), root_);
}

TEST_F(ProcessState, TheSystemsAnswerIsThisExecutable) {
    ASSERT_TRUE(app::InitExecutableLocation());
    EXPECT_EQ(app::ExeFileName(), "kestrune_startup_tests");
    EXPECT_EQ(fs::current_path(), fs::canonical("/proc/self/exe").parent_path());
}

}  // namespace
}  // namespace kestrune
