// The program's allocator: an allocation the heap cannot satisfy ends in the out-of-memory error
// box and exit code -1, and ordinary allocations still work.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "forms/Fatal.h"
#include "tests/support/ExitStatus.h"
#include "tests/support/FakePlatform.h"

namespace kestrune::forms {
namespace {

testing::FakePlatform* g_fake = nullptr;

[[noreturn]] void ReportAndExit(int exitCode, bool runExitRoutines) {
    // The death test's only channel back is its output.
    const auto& boxes = g_fake->ErrorBoxes();
    if (!boxes.empty()) std::fprintf(stderr, "[%s] %s", boxes.back().caption.c_str(), boxes.back().text.c_str());
    std::fprintf(stderr, "routines=%d\n", runExitRoutines ? 1 : 0);
    std::fflush(stderr);
    std::_Exit(exitCode);
}

TEST(AllocationFailure, OrdinaryAllocationsWork) {
    std::vector<std::string> texts(1000, std::string(100, 'x'));
    auto block = std::make_unique<std::uint8_t[]>(1 << 20);
    block[(1 << 20) - 1] = 7;
    EXPECT_EQ(texts[999].size(), 100u);
    EXPECT_EQ(block[(1 << 20) - 1], 7);
}

TEST(AllocationFailureDeathTest, AnImpossibleAllocationIsTheFatalOutOfMemoryError) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(
        {
            testing::ScopedFakePlatform fake;
            g_fake = &fake.Get();
            SetFatalExit(&ReportAndExit);
            volatile std::size_t huge = std::numeric_limits<std::size_t>::max() / 2;
            char* p = new char[huge];
            p[0] = 1;  // never reached
        },
        ::testing::ExitedWithCode(testing_support::kExitStatusMinusOne),
        "\\[错误\\] 运行时出错!\r\n\r\n错误信息：分配 " + std::to_string(std::numeric_limits<std::size_t>::max() / 2) +
            " 字节内存失败!\r\nroutines=0");
}

}  // namespace
}  // namespace kestrune::forms
