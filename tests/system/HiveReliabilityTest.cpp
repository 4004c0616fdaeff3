// Whole-process tests of the file-backed registry hives: concurrent writers, writers killed at
// random points, malformed hives, and the values start-up writes.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "services/RegistryHive.h"
#include "tests/support/FileContents.h"
#include "tests/support/TempFolder.h"

namespace {

namespace fs = std::filesystem;
using kestrune::services::RegistryData;
using kestrune::services::RegistryHive;

constexpr char kStressKey[] = "HKEY_CURRENT_USER\\Software\\Kestrune\\Stress";
constexpr char kEmulationKey[] =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
constexpr char kGpuKey[] =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_GPU_RENDERING";

using kestrune::testing::ReadFile;

struct Child {
    pid_t pid = -1;
    int out = -1;  // read end of the child's standard output
    int in = -1;   // write end of its standard input
};

// Starts `program args...` with XDG_CONFIG_HOME set to `config`; its standard input is a pipe only
// when `withInput`, otherwise it reads an empty input.
Child Spawn(const std::string& program, const std::vector<std::string>& args, const fs::path& config,
            bool withInput = false) {
    int pipeFds[2];
    int inFds[2];
    if (::pipe(pipeFds) != 0) return {};
    if (::pipe(inFds) != 0) return {};
    if (!withInput) {
        ::close(inFds[1]);
        inFds[1] = -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::dup2(inFds[0], STDIN_FILENO);
        for (int fd : {pipeFds[0], pipeFds[1], inFds[0], inFds[1]}) {
            if (fd >= 0) ::close(fd);
        }
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    ::close(inFds[0]);
    return {pid, pipeFds[0], inFds[1]};
}

std::string ReadAll(int fd) {
    std::string out;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return out;
}

// Waits for the child; its exit code, or 128 + signal.
int Wait(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<std::string> TemporaryFiles(const fs::path& dir) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".tmp.") != std::string::npos) found.push_back(name);
    }
    return found;
}

class HiveReliability : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp_.Made());
        config_ = root_ / "config";
        hiveDir_ = config_ / "kestrune" / "registry";
        hive_ = hiveDir_ / "HKEY_CURRENT_USER.reg";
    }
    int RunWriter(const std::vector<std::string>& args, std::string* out = nullptr) {
        Child child = Spawn(KESTRUNE_HIVE_WRITER, args, config_);
        if (child.pid < 0) return -1;
        std::string text = ReadAll(child.out);
        if (out != nullptr) *out = text;
        return Wait(child.pid);
    }

    kestrune::testing::TempFolder temp_{"system"};
    const fs::path root_ = temp_.Path();
    fs::path config_, hiveDir_, hive_;
};

TEST_F(HiveReliability, TwoProcessesWritingAtOnceLoseNothing) {
    constexpr int kCount = 500;
    Child a = Spawn(KESTRUNE_HIVE_WRITER, {"write", "a", std::to_string(kCount)}, config_);
    Child b = Spawn(KESTRUNE_HIVE_WRITER, {"write", "b", std::to_string(kCount)}, config_);
    ASSERT_GT(a.pid, 0);
    ASSERT_GT(b.pid, 0);
    // Both pipes are drained together so that neither writer can stall on a full pipe.
    std::string outA, outB;
    std::thread readA([&] { outA = ReadAll(a.out); });
    outB = ReadAll(b.out);
    readA.join();
    EXPECT_EQ(Wait(a.pid), 0);
    EXPECT_EQ(Wait(b.pid), 0);
    EXPECT_EQ(Lines(outA).size(), static_cast<std::size_t>(kCount));
    EXPECT_EQ(Lines(outB).size(), static_cast<std::size_t>(kCount));

    auto hive = RegistryHive::Parse(ReadFile(hive_));
    ASSERT_TRUE(hive.has_value());
    const auto* values = hive->Values(kStressKey);
    ASSERT_NE(values, nullptr);
    EXPECT_EQ(values->size(), 2u * kCount);
    int missing = 0;
    for (const char* prefix : {"a", "b"}) {
        for (int i = 0; i < kCount; ++i) {
            const RegistryData* data = hive->FindValue(kStressKey, prefix + std::to_string(i));
            if (data == nullptr || data->AsDword() != static_cast<std::uint32_t>(i)) ++missing;
        }
    }
    EXPECT_EQ(missing, 0);
    EXPECT_TRUE(TemporaryFiles(hiveDir_).empty());
}

TEST_F(HiveReliability, WritersKilledAtRandomPointsNeverLeaveATornHive) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delayUs(0, 60000);

    std::set<std::string> stored;  // every name a writer reported as stored
    constexpr int kRounds = 40;
    int roundsWithFile = 0;
    for (int round = 0; round < kRounds; ++round) {
        Child child = Spawn(KESTRUNE_HIVE_WRITER, {"loop", "r" + std::to_string(round) + "_"}, config_);
        ASSERT_GT(child.pid, 0);
        std::string out;
        std::thread reader([&] { out = ReadAll(child.out); });
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        ::kill(child.pid, SIGKILL);
        const int status = Wait(child.pid);
        reader.join();
        ASSERT_EQ(status, 128 + SIGKILL) << "the writer ended by itself in round " << round;
        for (const auto& name : Lines(out)) stored.insert(name);

        if (!fs::exists(hive_)) {
            ASSERT_TRUE(stored.empty()) << "values were reported stored but no hive exists";
            continue;
        }
        ++roundsWithFile;
        const std::string text = ReadFile(hive_);
        auto hive = RegistryHive::Parse(text);
        ASSERT_TRUE(hive.has_value()) << "round " << round << ": the hive does not parse (" << text.size()
                                      << " bytes)";
        for (const auto& name : stored) {
            ASSERT_NE(hive->FindValue(kStressKey, name), nullptr) << "round " << round << ": lost " << name;
        }
    }
    EXPECT_GT(roundsWithFile, kRounds / 2);
    EXPECT_GT(stored.size(), static_cast<std::size_t>(kRounds));

    // The next writer clears what killed writers left behind and keeps every value.
    std::string out;
    ASSERT_EQ(RunWriter({"write", "final", "1"}, &out), 0);
    EXPECT_TRUE(TemporaryFiles(hiveDir_).empty());
    auto hive = RegistryHive::Parse(ReadFile(hive_));
    ASSERT_TRUE(hive.has_value());
    // A writer may have been killed between storing a value and reporting it: at most one per round.
    const std::size_t count = hive->Values(kStressKey)->size();
    EXPECT_GE(count, stored.size() + 1);
    EXPECT_LE(count, stored.size() + 1 + kRounds);
}

TEST_F(HiveReliability, MalformedHiveIsLeftByteForByteAndTheWriteFails) {
    fs::create_directories(hiveDir_);
    const std::string malformed =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kestrune\\Stress]\r\n"
        "\"kept\"=dword:00000001\r\n\"torn\"=\"no closing quote\r\n";
    for (const std::string& text : {malformed, std::string("\xFF\xFE garbage\0\x01", 13), std::string()}) {
        { std::ofstream(hive_, std::ios::binary) << text; }
        std::string out;
        EXPECT_EQ(RunWriter({"write", "m", "3"}, &out), 1);
        EXPECT_EQ(out, "");
        EXPECT_EQ(ReadFile(hive_), text);
        EXPECT_TRUE(TemporaryFiles(hiveDir_).empty());
    }
}

TEST(ExecutablePath, AProgramReplacedWhileRunningKeepsItsPlace) {
    const kestrune::testing::TempFolder temp("exe");
    ASSERT_TRUE(temp.Made());
    const fs::path dir = temp.Path();
    const fs::path exe = dir / "kestrune";
    fs::copy_file(KESTRUNE_HIVE_WRITER, exe);
    Child child = Spawn(exe.string(), {"where"}, dir, true);
    ASSERT_GT(child.pid, 0);
    std::string ready;
    for (char c = 0; c != '\n' && ::read(child.out, &c, 1) == 1;) ready += c;
    ASSERT_EQ(ready, "ready\n");
    // An update puts a new file in its place while the old one runs.
    fs::remove(exe);
    ASSERT_EQ(::write(child.in, "x", 1), 1);
    ::close(child.in);
    const std::string out = ReadAll(child.out);
    EXPECT_EQ(Wait(child.pid), 0);
    EXPECT_EQ(out, exe.string() + "\n");
}

TEST_F(HiveReliability, FirstStartWritesBothValuesAndARenamedExecutableAddsAPair) {
    const fs::path bin = root_ / "bin";
    fs::create_directories(bin);
    const fs::path first = bin / "kestrune";
    fs::copy_file(KESTRUNE_HIVE_WRITER, first);
    ASSERT_FALSE(fs::exists(config_));

    Child child = Spawn(first.string(), {"start"}, config_);
    ReadAll(child.out);
    ASSERT_EQ(Wait(child.pid), 0);
    std::string text = ReadFile(hive_);
    for (const char* key : {kEmulationKey, kGpuKey}) {
        const std::string section = std::string("[") + key + "]\r\n\"kestrune\"=dword:00001f40\r\n";
        EXPECT_NE(text.find(section), std::string::npos) << text;
    }
    auto hive = RegistryHive::Parse(text);
    ASSERT_TRUE(hive.has_value());
    EXPECT_EQ(hive->Values(kEmulationKey)->size(), 1u);
    EXPECT_EQ(hive->Values(kGpuKey)->size(), 1u);

    const fs::path renamed = bin / "kestrune-2.bin";
    fs::rename(first, renamed);
    for (int run = 0; run < 2; ++run) {  // a second start under the new name adds nothing more
        child = Spawn(renamed.string(), {"start"}, config_);
        ReadAll(child.out);
        ASSERT_EQ(Wait(child.pid), 0);
    }
    hive = RegistryHive::Parse(ReadFile(hive_));
    ASSERT_TRUE(hive.has_value());
    for (const char* key : {kEmulationKey, kGpuKey}) {
        ASSERT_EQ(hive->Values(key)->size(), 2u) << key;
        EXPECT_EQ(hive->FindValue(key, "kestrune")->AsDword(), 8000u);
        EXPECT_EQ(hive->FindValue(key, "kestrune-2.bin")->AsDword(), 8000u);
    }
}

}  // namespace
