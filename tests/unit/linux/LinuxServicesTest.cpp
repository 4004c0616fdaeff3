// The Linux backend of the system services against real files in a temporary directory.
#include <glib.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/SystemServices.h"
#include "platform/linux/DesktopEntry.h"
#include "platform/linux/LinuxSystemServices.h"
#include "services/FileSystem.h"
#include "services/Registry.h"
#include "services/Shortcut.h"
#include "services/SpecialFolder.h"
#include "tests/support/FileContents.h"
#include "tests/support/TempFolder.h"

extern char** environ;

namespace kestrune {
namespace {

namespace fs = std::filesystem;
using platform::RegistryRoot;

using kestrune::testing::ReadFile;
using kestrune::testing::WriteFile;

// Sets an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class LinuxServices : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp_.Made());
        config_.emplace("XDG_CONFIG_HOME", (root_ / "config").string());
        system_.emplace("KESTRUNE_SYSTEM_REGISTRY_DIR", (root_ / "system").string());
        services_ = platform::CreateLinuxSystemServices();
        platform::InstallSystemServices(services_.get());
    }
    void TearDown() override {
        platform::InstallSystemServices(nullptr);
        config_.reset();
        system_.reset();
    }
    fs::path UserHive() const { return root_ / "config" / "kestrune" / "registry" / "HKEY_CURRENT_USER.reg"; }

    kestrune::testing::TempFolder temp_{"linux"};
    const fs::path root_ = temp_.Path();
    std::optional<ScopedEnv> config_, system_;
    std::unique_ptr<platform::SystemServices> services_;
};

// ---- registry hives ----------------------------------------------------------------------------

TEST_F(LinuxServices, HiveFilesPerRoot) {
    EXPECT_EQ(platform::RegistryHiveFile(RegistryRoot::CurrentUser), UserHive().string());
    EXPECT_EQ(platform::RegistryHiveFile(RegistryRoot::CurrentConfig),
              (root_ / "config/kestrune/registry/HKEY_CURRENT_CONFIG.reg").string());
    EXPECT_EQ(platform::RegistryHiveFile(RegistryRoot::ClassesRoot), (root_ / "system/HKEY_CLASSES_ROOT.reg").string());
    EXPECT_EQ(platform::RegistryHiveFile(RegistryRoot::LocalMachine), (root_ / "system/HKEY_LOCAL_MACHINE.reg").string());
    EXPECT_EQ(platform::RegistryHiveFile(RegistryRoot::Users), (root_ / "system/HKEY_USERS.reg").string());
    {
        // A relative XDG_CONFIG_HOME is ignored, as the base directory rules say.
        ScopedEnv relative("XDG_CONFIG_HOME", std::string("relative/dir"));
        ScopedEnv home("HOME", (root_ / "home").string());
        EXPECT_EQ(platform::RegistryHiveFile(RegistryRoot::CurrentUser),
                  (root_ / "home/.config/kestrune/registry/HKEY_CURRENT_USER.reg").string());
    }
    ScopedEnv unset("KESTRUNE_SYSTEM_REGISTRY_DIR", std::nullopt);
    EXPECT_EQ(platform::RegistryHiveFile(RegistryRoot::LocalMachine), "/var/lib/kestrune/registry/HKEY_LOCAL_MACHINE.reg");
}

TEST_F(LinuxServices, WrittenHiveIsAnImportableRegFile) {
    EXPECT_FALSE(platform::ReadHiveFile(RegistryRoot::CurrentUser).has_value());
    ASSERT_TRUE(services::WriteRegistryItem(3, "Software\\K\\level", forms::Value{std::int32_t{8000}}));
    ASSERT_TRUE(services::WriteRegistryItem(3, "Software\\K\\dir", forms::Value{std::string("/opt/游戏")}));
    ASSERT_TRUE(services::WriteRegistryItem(3, "Software\\K\\raw", forms::Value{forms::Bytes{0, 0x5C, 0xFF}}));
    ASSERT_TRUE(services::WriteRegistryItem(3, "top", forms::Value{std::int32_t{1}}));
    EXPECT_EQ(ReadFile(UserHive()),
              "Windows Registry Editor Version 5.00\r\n"
              "\r\n[HKEY_CURRENT_USER]\r\n\"top\"=dword:00000001\r\n"
              "\r\n[HKEY_CURRENT_USER\\Software]\r\n"
              "\r\n[HKEY_CURRENT_USER\\Software\\K]\r\n"
              "\"level\"=dword:00001f40\r\n"
              "\"dir\"=\"/opt/游戏\"\r\n"
              "\"raw\"=hex:00,5c,ff\r\n");
    EXPECT_EQ(platform::ReadHiveFile(RegistryRoot::CurrentUser), ReadFile(UserHive()));
    EXPECT_EQ(services::ReadRegistryItem(3, "Software\\K\\raw"), services::RegistryData::Binary({0, 0x5C, 0xFF}));

    // Only the hive and its lock file are left; the user's hive is private.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(UserHive().parent_path())) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"HKEY_CURRENT_USER.reg", "HKEY_CURRENT_USER.reg.lock"}));
    EXPECT_EQ(fs::status(UserHive()).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(LinuxServices, RootsAreSeparateFiles) {
    ASSERT_TRUE(services::WriteRegistryItem(4, "Software\\K\\v", forms::Value{std::int32_t{4}}));
    ASSERT_TRUE(services::WriteRegistryItem(2, "System\\v", forms::Value{std::int32_t{2}}));
    EXPECT_FALSE(fs::exists(UserHive()));
    EXPECT_NE(ReadFile(root_ / "system/HKEY_LOCAL_MACHINE.reg").find("[HKEY_LOCAL_MACHINE\\Software\\K]"),
              std::string::npos);
    EXPECT_EQ(services::ReadRegistryItem(2, "System\\v"), services::RegistryData::Dword(2));
    EXPECT_FALSE(services::ReadRegistryItem(3, "System\\v").has_value());
}

TEST_F(LinuxServices, RootsOutsideTheFiveAndZeroBytesWriteNothing) {
    for (int root : {0, 6, -1}) {
        EXPECT_FALSE(services_->SetRegistryValue(static_cast<RegistryRoot>(root), "Software", "v",
                                                 services::RegistryData::Dword(1)))
            << root;
        EXPECT_FALSE(services_->QueryRegistryValue(static_cast<RegistryRoot>(root), "Software", "v")) << root;
    }
    EXPECT_FALSE(services_->SetRegistryValue(RegistryRoot::CurrentUser, "Software", std::string("v\0w", 3),
                                             services::RegistryData::Dword(1)));
    EXPECT_FALSE(services_->SetRegistryValue(RegistryRoot::CurrentUser, std::string("Soft\0ware", 9), "v",
                                             services::RegistryData::Dword(1)));
    EXPECT_FALSE(fs::exists(UserHive()));
    // The same value through the seam, as the registry services ask for it.
    ASSERT_TRUE(services_->SetRegistryValue(RegistryRoot::CurrentUser, "Software\\K", "", services::RegistryData::Text("d")));
    EXPECT_EQ(services_->QueryRegistryValue(RegistryRoot::CurrentUser, "software\\k", ""),
              services::RegistryData::Text("d"));
    EXPECT_NE(ReadFile(UserHive()).find("[HKEY_CURRENT_USER\\Software\\K]\r\n@=\"d\""), std::string::npos);
}

TEST_F(LinuxServices, UnwritableSystemDirectoryGivesFalse) {
    // A path below a regular file can be created by nobody, root included.
    WriteFile(root_ / "plain", "x");
    ScopedEnv blocked("KESTRUNE_SYSTEM_REGISTRY_DIR", (root_ / "plain" / "registry").string());
    for (int code : {1, 4, 5}) {
        EXPECT_FALSE(services::WriteRegistryItem(code, "Software\\v", forms::Value{std::int32_t{1}})) << code;
    }
    EXPECT_EQ(ReadFile(root_ / "plain"), "x");
    // The current user's hive is unaffected.
    EXPECT_TRUE(services::WriteRegistryItem(3, "Software\\v", forms::Value{std::int32_t{1}}));
}

TEST_F(LinuxServices, HivesThatCannotBeReadAreNeverReplaced) {
    fs::create_directories(UserHive().parent_path());
    const std::string bad = "Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\A]\r\n\"v\"=dword:xyz\r\n";
    WriteFile(UserHive(), bad);
    EXPECT_FALSE(services::WriteRegistryItem(3, "A\\w", forms::Value{std::int32_t{1}}));
    EXPECT_EQ(ReadFile(UserHive()), bad);
    EXPECT_FALSE(services::ReadRegistryItem(3, "A\\v").has_value());

    // A directory where the hive should be.
    fs::remove(UserHive());
    fs::create_directory(UserHive());
    EXPECT_FALSE(services::WriteRegistryItem(3, "A\\w", forms::Value{std::int32_t{1}}));
    EXPECT_TRUE(fs::is_directory(UserHive()));
    EXPECT_FALSE(platform::ReadHiveFile(RegistryRoot::CurrentUser).has_value());
}

TEST_F(LinuxServices, DecliningEditLeavesTheHiveAndLeftoverTemporariesAreCleared) {
    ASSERT_TRUE(services::WriteRegistryItem(3, "A\\v", forms::Value{std::int32_t{1}}));
    const std::string before = ReadFile(UserHive());
    EXPECT_FALSE(platform::UpdateHiveFile(RegistryRoot::CurrentUser, [](const std::optional<std::string>& current) {
        EXPECT_TRUE(current.has_value());
        return std::optional<std::string>();
    }));
    EXPECT_EQ(ReadFile(UserHive()), before);

    // What a writer killed before its rename leaves behind goes with the next update.
    const fs::path stale = UserHive().parent_path() / "HKEY_CURRENT_USER.reg.tmp.AbC123";
    WriteFile(stale, "half a hive");
    ASSERT_TRUE(services::WriteRegistryItem(3, "A\\w", forms::Value{std::int32_t{2}}));
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_EQ(services::ReadRegistryItem(3, "A\\v"), services::RegistryData::Dword(1));
}

TEST_F(LinuxServices, UpdateWaitsForTheLockHolder) {
    ASSERT_TRUE(services::WriteRegistryItem(3, "A\\v", forms::Value{std::int32_t{1}}));
    const std::string lockFile = UserHive().string() + ".lock";
    const int fd = ::open(lockFile.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    // A child process tries to update while this process holds the lock; it must not finish.
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fd);
        auto child = platform::CreateLinuxSystemServices();
        platform::InstallSystemServices(child.get());
        ::_exit(services::WriteRegistryItem(3, "A\\fromChild", forms::Value{std::int32_t{7}}) ? 0 : 1);
    }
    ASSERT_GT(pid, 0);
    int status = 0;
    ::usleep(300 * 1000);
    EXPECT_EQ(::waitpid(pid, &status, WNOHANG), 0) << "the update did not wait for the lock";
    ::flock(fd, LOCK_UN);
    ::close(fd);
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(services::ReadRegistryItem(3, "A\\fromChild"), services::RegistryData::Dword(7));
}

// ---- files and directories ---------------------------------------------------------------------

TEST_F(LinuxServices, FileExistsForFilesDirectoriesAndPatterns) {
    const fs::path dir = root_ / "files";
    fs::create_directories(dir / "sub");
    fs::create_directories(dir / "empty");
    WriteFile(dir / "a.txt", "");
    WriteFile(dir / "b1.log", "");
    WriteFile(dir / "x1", "");
    fs::create_symlink(dir / "nowhere", dir / "dangling");
    const std::string d = dir.string();

    EXPECT_TRUE(services::FileExists(d + "/a.txt"));
    EXPECT_TRUE(services::FileExists(d + "/sub"));
    EXPECT_TRUE(services::FileExists(d + "/sub/"));
    EXPECT_TRUE(services::FileExists(d + "//a.txt"));  // a doubled separator is one
    EXPECT_TRUE(services::FileExists(d + "/dangling"));  // the entry is there, its target is not
    EXPECT_FALSE(services::FileExists(d + "/A.TXT"));
    EXPECT_FALSE(services::FileExists(d + "/missing"));
    EXPECT_FALSE(services::FileExists(d + "/a.txt/more"));

    EXPECT_TRUE(services::FileExists(d + "/*.txt"));
    EXPECT_TRUE(services::FileExists(d + "/?.txt"));
    EXPECT_TRUE(services::FileExists(d + "/b?.*"));
    EXPECT_TRUE(services::FileExists(d + "/su*"));  // directories match too
    EXPECT_FALSE(services::FileExists(d + "/??.txt"));
    EXPECT_FALSE(services::FileExists(d + "/*.doc"));
    EXPECT_FALSE(services::FileExists(d + "/missing/*"));
    // Only '*' and '?' are pattern characters: brackets stand for themselves.
    EXPECT_FALSE(services::FileExists(d + "/x[1]*"));
    WriteFile(dir / "x[1]", "");
    EXPECT_TRUE(services::FileExists(d + "/x[1]*"));
    // Like a directory listing, an existing directory always holds its own entry.
    EXPECT_TRUE(services::FileExists(d + "/empty/*"));

    EXPECT_FALSE(services_->FindFirstExists(""));
    EXPECT_FALSE(services_->FindFirstExists(std::string("/tmp\0", 5)));
    EXPECT_FALSE(services_->FindFirstExists(std::string(5000, 'a')));  // too long for the system
}

TEST_F(LinuxServices, CurrentDirectoryAndExecutablePath) {
    const fs::path before = fs::current_path();
    EXPECT_TRUE(services_->SetCurrentDirectory(root_.string()));
    EXPECT_EQ(fs::current_path(), fs::canonical(root_));
    EXPECT_TRUE(services_->SetCurrentDirectory("/"));  // the run directory of an executable at the root
    EXPECT_EQ(fs::current_path(), fs::path("/"));
    EXPECT_FALSE(services_->SetCurrentDirectory(""));
    EXPECT_FALSE(services_->SetCurrentDirectory((root_ / "missing").string()));
    EXPECT_EQ(fs::current_path(), fs::path("/"));
    fs::current_path(before);

    const std::string exe = services_->ExecutablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.front(), '/');
    EXPECT_EQ(fs::path(exe).filename(), "kestrune_linux_tests");
    EXPECT_TRUE(fs::is_regular_file(exe));
}

// ---- desktop entries ---------------------------------------------------------------------------

struct Entry {
    std::map<std::string, std::string> values;
    bool ok = false;
};

Entry ParseEntry(const fs::path& file) {
    Entry entry;
    GKeyFile* keys = g_key_file_new();
    if (g_key_file_load_from_file(keys, file.c_str(), G_KEY_FILE_NONE, nullptr)) {
        entry.ok = true;
        gsize count = 0;
        gchar** names = g_key_file_get_keys(keys, "Desktop Entry", &count, nullptr);
        for (gsize i = 0; i < count; ++i) {
            gchar* value = g_key_file_get_string(keys, "Desktop Entry", names[i], nullptr);
            entry.values[names[i]] = value != nullptr ? value : "";
            g_free(value);
        }
        g_strfreev(names);
    }
    g_key_file_free(keys);
    return entry;
}

// Splits an Exec value back into its arguments: '%%' is a literal '%', the quoting is the shell's.
std::vector<std::string> ExecArguments(const std::string& exec) {
    std::string unpercent;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        unpercent += exec[i];
        if (exec[i] == '%' && i + 1 < exec.size() && exec[i + 1] == '%') ++i;
    }
    std::vector<std::string> args;
    gint argc = 0;
    gchar** argv = nullptr;
    if (g_shell_parse_argv(unpercent.c_str(), &argc, &argv, nullptr)) {
        for (gint i = 0; i < argc; ++i) args.emplace_back(argv[i]);
        g_strfreev(argv);
    }
    return args;
}

TEST_F(LinuxServices, ShortcutGetsTheExtensionOnlyWithoutAFullStop) {
    fs::create_directories(root_ / "t");
    fs::create_directories(root_ / "t.d");
    ASSERT_TRUE(services::CreateShortcut((root_ / "t" / "s").string(), "/opt/k/kestrune"));
    EXPECT_TRUE(fs::is_regular_file(root_ / "t" / "s.desktop"));
    EXPECT_FALSE(fs::exists(root_ / "t" / "s"));
    ASSERT_TRUE(services::CreateShortcut((root_ / "t.d" / "s").string(), "/opt/k/kestrune"));
    EXPECT_TRUE(fs::is_regular_file(root_ / "t.d" / "s"));
    EXPECT_FALSE(fs::exists(root_ / "t.d" / "s.desktop"));

    const Entry entry = ParseEntry(root_ / "t" / "s.desktop");
    ASSERT_TRUE(entry.ok);
    EXPECT_EQ(entry.values.at("Type"), "Application");
    EXPECT_EQ(entry.values.at("Name"), "s");
    EXPECT_EQ(entry.values.at("Exec"), "\"/opt/k/kestrune\"");
    EXPECT_EQ(entry.values.count("Path"), 0u);
    EXPECT_EQ(entry.values.count("Comment"), 0u);
    EXPECT_EQ(entry.values.count("Icon"), 0u);
    const auto perms = fs::status(root_ / "t" / "s.desktop").permissions() & fs::perms::all;
    EXPECT_EQ(perms, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                         fs::perms::others_read | fs::perms::others_exec);
}

TEST_F(LinuxServices, ShortcutOnTheDesktopWithOptionalParts) {
    const fs::path desktop = root_ / "Desktop";
    fs::create_directories(desktop);
    // The folder text ends with the separator and the name starts with one.
    const std::string file = desktop.string() + "/" + "/Kestrune.desktop";
    ASSERT_TRUE(services::CreateShortcut(file, "/opt/k/kestrune", std::string("Kestrune 启动"),
                                         std::string("--a \"b c\""), std::string("/opt/k work")));
    Entry entry = ParseEntry(desktop / "Kestrune.desktop");
    ASSERT_TRUE(entry.ok);
    EXPECT_EQ(entry.values.at("Name"), "Kestrune");
    EXPECT_EQ(entry.values.at("Comment"), "Kestrune 启动");
    EXPECT_EQ(entry.values.at("Path"), "/opt/k work");
    EXPECT_EQ(ExecArguments(entry.values.at("Exec")),
              (std::vector<std::string>{"/opt/k/kestrune", "--a", "b c"}));

    // Writing again replaces the entry whole.
    ASSERT_TRUE(services::CreateShortcut(file, "/elsewhere/kestrune"));
    entry = ParseEntry(desktop / "Kestrune.desktop");
    EXPECT_EQ(entry.values.at("Exec"), "\"/elsewhere/kestrune\"");
    EXPECT_EQ(entry.values.count("Path"), 0u);
    std::size_t files = 0;
    for (const auto& e : fs::directory_iterator(desktop)) files += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(files, 1u);

    const fs::path chinese = desktop / "我的快捷方式.desktop";
    ASSERT_TRUE(services::CreateShortcut(chinese.string(), "/opt/k/kestrune"));
    EXPECT_EQ(ParseEntry(chinese).values.at("Name"), "我的快捷方式");
}

TEST_F(LinuxServices, WritingWhatIsAlreadyThereKeepsTheFile) {
    auto inode = [](const fs::path& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? st.st_ino : ino_t{0};
    };
    // The hive: the same value again leaves the file itself alone; a new value replaces it.
    ASSERT_TRUE(services::WriteRegistryItem(3, "Software\\K\\level", forms::Value{std::int32_t{8000}}));
    const ino_t hive = inode(UserHive());
    const std::string text = ReadFile(UserHive());
    ASSERT_TRUE(services::WriteRegistryItem(3, "Software\\K\\level", forms::Value{std::int32_t{8000}}));
    EXPECT_EQ(inode(UserHive()), hive);
    EXPECT_EQ(ReadFile(UserHive()), text);
    ASSERT_TRUE(services::WriteRegistryItem(3, "Software\\K\\level", forms::Value{std::int32_t{11000}}));
    EXPECT_NE(ReadFile(UserHive()), text);
    EXPECT_EQ(services::ReadRegistryItem(3, "Software\\K\\level"), services::RegistryData::Dword(11000));

    // The desktop entry likewise, made executable again if someone took that away.
    const fs::path desktop = root_ / "Desktop";
    fs::create_directories(desktop);
    const fs::path link = desktop / "Kestrune.desktop";
    ASSERT_TRUE(services::CreateShortcut(link.string(), "/opt/k/kestrune"));
    const ino_t entry = inode(link);
    fs::permissions(link, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_TRUE(services::CreateShortcut(link.string(), "/opt/k/kestrune"));
    EXPECT_EQ(inode(link), entry);
    EXPECT_EQ(fs::status(link).permissions() & fs::perms::owner_exec, fs::perms::owner_exec);
    ASSERT_TRUE(services::CreateShortcut(link.string(), "/opt/k/other"));
    EXPECT_EQ(ParseEntry(link).values.at("Exec"), "\"/opt/k/other\"");
}

TEST_F(LinuxServices, LinkToTheProgramShowsTheProgramIcon) {
    const ScopedEnv data("XDG_DATA_HOME", (root_ / "data").string());
    const fs::path desktop = root_ / "Desktop";
    fs::create_directories(desktop);
    const std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', 1, 2, 3};
    services_->SetProgramIcon(png);
    const fs::path icon = root_ / "data" / "kestrune" / "kestrune.png";

    ASSERT_TRUE(services::CreateShortcut((desktop / "Kestrune").string(), services_->ExecutablePath()));
    EXPECT_EQ(ParseEntry(desktop / "Kestrune.desktop").values.at("Icon"), icon.string());
    std::ifstream in(icon, std::ios::binary);
    EXPECT_EQ(std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}), png);

    // A damaged icon file is put right at the next link; a link to another program gets no icon.
    { std::ofstream(icon, std::ios::binary | std::ios::trunc) << "x"; }
    ASSERT_TRUE(services::CreateShortcut((desktop / "Again").string(), services_->ExecutablePath()));
    EXPECT_EQ(fs::file_size(icon), png.size());
    ASSERT_TRUE(services::CreateShortcut((desktop / "Other").string(), "/opt/other/program"));
    EXPECT_EQ(ParseEntry(desktop / "Other.desktop").values.count("Icon"), 0u);
}

TEST_F(LinuxServices, ExecQuotesReservedCharacters) {
    EXPECT_EQ(platform::QuoteExecArgument("/opt/a b/k"), "\"/opt/a b/k\"");
    EXPECT_EQ(platform::QuoteExecArgument("a\"b`c$d\\e%f"), "\"a\\\"b\\`c\\$d\\\\e%%f\"");

    const std::string target = "/opt/my games/k$HOME \"x\" `y` 100% \\z;&|<>~#*?()'";
    fs::create_directories(root_ / "q");
    ASSERT_TRUE(services::CreateShortcut((root_ / "q" / "k").string(), target));
    const std::string text = ReadFile(root_ / "q" / "k.desktop");
    const Entry entry = ParseEntry(root_ / "q" / "k.desktop");
    ASSERT_TRUE(entry.ok) << text;
    // The key file escapes the backslashes of the Exec value once more.
    EXPECT_NE(text.find("Exec=/usr/bin/env \"/opt/my games/k\\\\$HOME"), std::string::npos) << text;
    // A program path holding '%' is started through env, so that GLib's loader finds a program.
    EXPECT_EQ(ExecArguments(entry.values.at("Exec")), (std::vector<std::string>{"/usr/bin/env", target}));
    ASSERT_TRUE(services::CreateShortcut((root_ / "q" / "plain").string(), "/opt/k/kestrune"));
    EXPECT_EQ(ExecArguments(ParseEntry(root_ / "q" / "plain.desktop").values.at("Exec")),
              std::vector<std::string>{"/opt/k/kestrune"});
}

// A program in a folder whose name holds '%': the entry passes the validator and GLib starts it, with
// the path and an argument holding '%' as they are.
TEST_F(LinuxServices, EntryOfAProgramWhosePathHoldsPercentStartsThroughGlib) {
    const bool haveGio = std::system("command -v gio >/dev/null 2>&1") == 0;
    const bool haveValidator = std::system("command -v desktop-file-validate >/dev/null 2>&1") == 0;
    if (!haveGio && !haveValidator) GTEST_SKIP() << "neither gio nor desktop-file-validate is installed";
    const fs::path folder = root_ / "100% games";
    fs::create_directories(folder);
    const fs::path program = folder / "k%sb";
    const fs::path ran = root_ / "ran.txt";
    {
        std::ofstream script(program);
        script << "#!/bin/sh\nprintf '%s|%s' \"$0\" \"$1\" > '" << ran.string() << "'\n";
    }
    fs::permissions(program, fs::perms::owner_all);
    const fs::path file = root_ / "p.desktop";
    ASSERT_TRUE(services::CreateShortcut(file.string(), program.string(), std::nullopt, std::string("50%%d")));
    const std::string quoted = "'" + file.string() + "'";
    if (haveValidator) {
        EXPECT_EQ(std::system(("desktop-file-validate " + quoted).c_str()), 0) << ReadFile(file);
    }
    if (haveGio) {
        ASSERT_EQ(std::system(("timeout 20 gio launch " + quoted).c_str()), 0) << ReadFile(file);
        for (int i = 0; i < 200 && !fs::exists(ran); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(25));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(ReadFile(ran), program.string() + "|50%%d");
    }
}

TEST_F(LinuxServices, ShortcutFailuresWriteNothing) {
    fs::create_directories(root_ / "d");
    EXPECT_FALSE(services::CreateShortcut((root_ / "missing" / "s").string(), "/opt/k"));
    EXPECT_FALSE(services::CreateShortcut((root_ / "d" / "s").string(), "/opt/k", std::nullopt,
                                          std::string("\"unbalanced")));
    EXPECT_FALSE(services::CreateShortcut((root_ / "d" / "s").string(), std::string("/opt/k\0x", 8)));
    EXPECT_FALSE(services_->WriteLink((root_ / "d").string() + "/", {"/opt/k"}));
    EXPECT_TRUE(fs::is_empty(root_ / "d"));
}

// ---- special folders ---------------------------------------------------------------------------

// The XDG directories are read once per process, so the folder mapping is checked in a child
// process that starts with its own environment (run only from LinuxServices.SpecialFolderMapping).
TEST(LinuxSpecialFoldersChild, DISABLED_Mapping) {
    const char* base = std::getenv("KESTRUNE_FOLDER_TEST_BASE");
    ASSERT_NE(base, nullptr);
    const std::string b = base;
    auto services = platform::CreateLinuxSystemServices();
    platform::InstallSystemServices(services.get());
    EXPECT_EQ(services::GetSpecialFolder(1), b + "/home/Papiere/");
    EXPECT_EQ(services::GetSpecialFolder(2), "");
    EXPECT_EQ(services::GetSpecialFolder(3), b + "/home/Schreibtisch/");
    EXPECT_EQ(services::GetSpecialFolder(4), b + "/data/fonts/");
    EXPECT_EQ(services::GetSpecialFolder(5), b + "/data/applications/");
    EXPECT_EQ(services::GetSpecialFolder(6), b + "/data/applications/");
    EXPECT_EQ(services::GetSpecialFolder(7), b + "/config/autostart/");
    EXPECT_EQ(services::GetSpecialFolder(8), b + "/data/");
    EXPECT_EQ(services::GetSpecialFolder(9), "/usr/");
    EXPECT_EQ(services::GetSpecialFolder(10), "/usr/bin/");
    EXPECT_EQ(services::GetSpecialFolder(11), b + "/tmp/");
    EXPECT_EQ(services::GetSpecialFolder(0), "");
    EXPECT_EQ(services::GetSpecialFolder(12), "");
    platform::InstallSystemServices(nullptr);
}

TEST_F(LinuxServices, SpecialFolderMapping) {
    fs::create_directories(root_ / "config");
    fs::create_directories(root_ / "tmp");
    WriteFile(root_ / "config" / "user-dirs.dirs",
              "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\nXDG_DOCUMENTS_DIR=\"$HOME/Papiere\"\n");
    const std::string exe = services_->ExecutablePath();
    std::vector<std::string> env = {
        "KESTRUNE_FOLDER_TEST_BASE=" + root_.string(), "HOME=" + (root_ / "home").string(),
        "XDG_CONFIG_HOME=" + (root_ / "config").string(), "XDG_DATA_HOME=" + (root_ / "data").string(),
        "TMPDIR=" + (root_ / "tmp").string(),
    };
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string filter = "--gtest_filter=LinuxSpecialFoldersChild.DISABLED_Mapping";
    std::string disabled = "--gtest_also_run_disabled_tests";
    char* argv[] = {const_cast<char*>(exe.c_str()), filter.data(), disabled.data(), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(::posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, envp.data()), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child's checks failed (see its output)";
}

}  // namespace
}  // namespace kestrune
