#include <gtest/gtest.h>

#include "platform/ExternalBrowser.h"

using kestrune::platform::LaunchGate;
using namespace std::chrono_literals;

TEST(LaunchGate, OneLaunchPerGestureAndNoneWithout) {
    LaunchGate gate;
    const auto t = LaunchGate::Clock::time_point{} + 100s;
    EXPECT_FALSE(gate.Admit(0, t));
    EXPECT_TRUE(gate.Admit(7, t));
    for (int i = 0; i < 999; ++i) EXPECT_FALSE(gate.Admit(7, t + 1ms));
    EXPECT_FALSE(gate.Admit(6, t + 2ms));  // an older gesture does not come back
    EXPECT_TRUE(gate.Admit(8, t + 3ms));
    EXPECT_EQ(gate.Refused(), 1001u);
}

TEST(LaunchGate, AtMostThreeInAnyTenSeconds) {
    LaunchGate gate;
    const auto t = LaunchGate::Clock::time_point{} + 100s;
    EXPECT_TRUE(gate.Admit(1, t));
    EXPECT_TRUE(gate.Admit(2, t + 1s));
    EXPECT_TRUE(gate.Admit(3, t + 2s));
    EXPECT_FALSE(gate.Admit(4, t + 9s));
    EXPECT_FALSE(gate.Admit(5, t + 9999ms));
    EXPECT_TRUE(gate.Admit(6, t + 10s));     // the first launch has left the window
    EXPECT_FALSE(gate.Admit(7, t + 10500ms));
    EXPECT_TRUE(gate.Admit(8, t + 11s));
    EXPECT_EQ(gate.Refused(), 3u);
}
