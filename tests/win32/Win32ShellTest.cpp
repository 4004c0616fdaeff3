// Links, special folders, file existence, the executable's path and the current directory through
// the Windows services, with Chinese names throughout.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <memory>
#include <string>

#include "Win32TestSupport.h"
#include "platform/SystemServices.h"
#include "platform/win32/Win32SystemServices.h"
#include "services/FileSystem.h"
#include "services/Shortcut.h"
#include "services/SpecialFolder.h"

namespace kestrune {
namespace {

using namespace win32_test;
using platform::LinkSpec;
using platform::SpecialFolder;

class Win32Shell : public ::testing::Test {
protected:
    void SetUp() override { platform::InstallSystemServices(services_.get()); }
    void TearDown() override { platform::InstallSystemServices(nullptr); }

    std::unique_ptr<platform::SystemServices> services_ = platform::win32::CreateWin32SystemServices();
    ScratchFolder folder_{"kestrune-shell"};
};

TEST_F(Win32Shell, ALinkKeepsAllFiveFields) {
    // The target exists, as the program's own does: the shell records the file it found.
    ASSERT_TRUE(::CreateDirectoryW(Widen(folder_ / "游戏").c_str(), nullptr));
    const std::string target = folder_ / "游戏\\kestrune.exe";
    WriteFileBytes(target, "MZ");
    const std::string file = folder_ / "快捷方式";
    ASSERT_TRUE(services::CreateShortcut(file, target, std::string("Kestrune微端"), std::string("-a \"b c\""),
                                         folder_ / "游戏"));
    ASSERT_TRUE(FileExistsW(file + ".lnk"));  // no full stop anywhere: ".lnk" is appended
    const auto read = platform::win32::ReadLink(file + ".lnk");
    ASSERT_TRUE(read);
    EXPECT_EQ(read->target, target);
    EXPECT_EQ(read->description, std::optional<std::string>("Kestrune微端"));
    EXPECT_EQ(read->arguments, std::optional<std::string>("-a \"b c\""));
    EXPECT_EQ(read->workingDirectory, std::optional<std::string>(folder_ / "游戏"));
    EXPECT_FALSE(read->icon.has_value());

    // The icon field, through the seam.
    LinkSpec withIcon;
    withIcon.target = target;
    withIcon.icon = folder_ / "图标.ico";
    ASSERT_TRUE(services_->WriteLink(folder_ / "icon.lnk", withIcon));
    const auto iconRead = platform::win32::ReadLink(folder_ / "icon.lnk");
    ASSERT_TRUE(iconRead);
    EXPECT_EQ(iconRead->icon, withIcon.icon);
    EXPECT_FALSE(iconRead->description.has_value());

    // Omitted fields stay unset; an existing link is replaced.
    ASSERT_TRUE(services::CreateShortcut(file, folder_ / "other.exe"));
    const auto replaced = platform::win32::ReadLink(file + ".lnk");
    ASSERT_TRUE(replaced);
    EXPECT_EQ(replaced->target, folder_ / "other.exe");
    EXPECT_FALSE(replaced->description.has_value());
    EXPECT_FALSE(replaced->arguments.has_value());
    EXPECT_FALSE(replaced->workingDirectory.has_value());
}

TEST_F(Win32Shell, LinkNamesAreUsedAsTheyStand) {
    // A full stop in a folder name: the name is used unchanged, no ".lnk" added.
    const std::string dotted = folder_ / "t.d";
    ASSERT_TRUE(::CreateDirectoryW(Widen(dotted).c_str(), nullptr));
    ASSERT_TRUE(services::CreateShortcut(dotted + "\\s", "C:\\windows\\notepad.exe"));
    EXPECT_TRUE(FileExistsW(dotted + "\\s"));
    EXPECT_FALSE(FileExistsW(dotted + "\\s.lnk"));
    // The doubled separator of the desktop link's path is one to the file system.
    ASSERT_TRUE(services::CreateShortcut(folder_.path() + "\\\\Kestrune.lnk", "C:\\windows\\notepad.exe"));
    EXPECT_TRUE(FileExistsW(folder_ / "Kestrune.lnk"));
    // Nothing to save to, or nothing to point at.
    EXPECT_FALSE(services::CreateShortcut(folder_ / "missing\\s.lnk", "C:\\windows\\notepad.exe"));
    EXPECT_FALSE(services::CreateShortcut("", "C:\\windows\\notepad.exe"));
    EXPECT_FALSE(services::CreateShortcut(folder_ / "x.lnk", ""));
    EXPECT_FALSE(FileExistsW(folder_ / "x.lnk"));
}

TEST_F(Win32Shell, EverySpecialFolderIsKnownAndEndsWithTheSeparator) {
    for (int code = 1; code <= 11; ++code) {
        const std::string path = services::GetSpecialFolder(code);
        ASSERT_FALSE(path.empty()) << code;
        EXPECT_EQ(path.back(), '\\') << code << ": " << path;
        EXPECT_NE(path.find(':'), std::string::npos) << code << ": " << path;  // a drive path
    }
    EXPECT_EQ(services::GetSpecialFolder(0), "");
    EXPECT_EQ(services::GetSpecialFolder(12), "");
    // The desktop is the desktop directory the shell names, not the virtual desktop.
    wchar_t desktop[MAX_PATH + 1] = {};
    ASSERT_TRUE(SUCCEEDED(::SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop)));
    EXPECT_EQ(services::GetSpecialFolder(3), Narrow(desktop) + "\\");
    wchar_t windows[MAX_PATH + 1] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(services::GetSpecialFolder(9), Narrow(windows) + "\\");
}

TEST_F(Win32Shell, FileExistsTakesPatternsAndDirectories) {
    WriteFileBytes(folder_ / "我的快捷方式.lnk", "mine");
    EXPECT_TRUE(services::FileExists(folder_ / "我的快捷方式.lnk"));
    EXPECT_TRUE(services::FileExists(folder_.path()));                 // a directory
    EXPECT_TRUE(services::FileExists(folder_ / "我的*.lnk"));
    EXPECT_TRUE(services::FileExists(folder_ / "??????.lnk"));          // one ? per character
    EXPECT_FALSE(services::FileExists(folder_ / "?????.lnk"));
    EXPECT_FALSE(services::FileExists(folder_ / "*.desktop"));
    EXPECT_FALSE(services::FileExists(folder_ / "Kestrune.lnk"));
    EXPECT_FALSE(services::FileExists(""));
    EXPECT_FALSE(services::FileExists(folder_ / "我的快捷方式.lnk" + std::string("\0x", 2)));
}

TEST_F(Win32Shell, ExecutablePathAndCurrentDirectory) {
    const std::string exe = services_->ExecutablePath();
    EXPECT_EQ(exe, ProgramFolder() + "\\kestrune_win32_services_tests.exe");
    EXPECT_TRUE(FileExistsW(exe));

    wchar_t before[MAX_PATH + 1] = {};
    ::GetCurrentDirectoryW(MAX_PATH, before);
    const std::string chinese = folder_ / "运行目录";
    ASSERT_TRUE(::CreateDirectoryW(Widen(chinese).c_str(), nullptr));
    ASSERT_TRUE(services_->SetCurrentDirectory(chinese));
    wchar_t now[MAX_PATH + 1] = {};
    ::GetCurrentDirectoryW(MAX_PATH, now);
    EXPECT_EQ(Narrow(now), chinese);
    EXPECT_FALSE(services_->SetCurrentDirectory(folder_ / "missing"));
    EXPECT_FALSE(services_->SetCurrentDirectory(""));
    ::SetCurrentDirectoryW(before);
}

}  // namespace
}  // namespace kestrune
