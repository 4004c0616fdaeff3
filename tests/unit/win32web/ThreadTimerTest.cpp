// The retry timer and the network watch of the Windows browser box, on the thread's own message loop.
#include <gtest/gtest.h>

#include <ole2.h>
#include <netlistmgr.h>

#include "platform/win32/NetworkWatch.h"
#include "platform/win32/OleApartment.h"
#include "platform/win32/ThreadTimer.h"
#include "tests/unit/win32web/ControlEvents.h"

namespace kestrune::platform::win32 {
namespace {

using namespace std::chrono_literals;

TEST(ThreadTimer, FiresOnceFromTheLoopAndNeverAfterItIsStoppedOrGone) {
    int fired = 0;
    ThreadTimer timer;
    timer.Start(20ms, [&] { ++fired; });
    EXPECT_TRUE(timer.Running());
    EXPECT_EQ(fired, 0);  // not from inside Start
    EXPECT_TRUE(PumpUntil([&] { return fired > 0; }));
    EXPECT_FALSE(timer.Running());
    PumpUntil([] { return false; }, 80);
    EXPECT_EQ(fired, 1);

    // Started again, the new wait replaces the old one.
    std::vector<int> which;
    timer.Start(10ms, [&] { which.push_back(1); });
    timer.Start(30ms, [&] { which.push_back(2); });
    EXPECT_TRUE(PumpUntil([&] { return !which.empty(); }));
    PumpUntil([] { return false; }, 60);
    EXPECT_EQ(which, std::vector<int>{2});

    timer.Start(10ms, [&] { ++fired; });
    timer.Stop();
    {
        ThreadTimer gone;
        gone.Start(10ms, [&] { ++fired; });
    }
    PumpUntil([] { return false; }, 80);
    EXPECT_EQ(fired, 1);

    // A callback may start its own timer again (the next retry's wait).
    int rounds = 0;
    std::function<void()> again = [&] {
        if (++rounds < 3) timer.Start(5ms, again);
    };
    timer.Start(5ms, again);
    EXPECT_TRUE(PumpUntil([&] { return rounds == 3; }));
}

TEST(NetworkWatch, ConnectedMeansALocalNetworkOrTheInternet) {
    EXPECT_FALSE(IsConnected(NLM_CONNECTIVITY_DISCONNECTED));
    EXPECT_FALSE(IsConnected(NLM_CONNECTIVITY_IPV4_NOTRAFFIC | NLM_CONNECTIVITY_IPV6_NOTRAFFIC));
    EXPECT_TRUE(IsConnected(NLM_CONNECTIVITY_IPV4_INTERNET));
    EXPECT_TRUE(IsConnected(NLM_CONNECTIVITY_IPV6_LOCALNETWORK | NLM_CONNECTIVITY_IPV4_NOTRAFFIC));
    EXPECT_TRUE(IsConnected(NLM_CONNECTIVITY_IPV4_SUBNET));
}

TEST(NetworkWatch, SubscribesToTheSystemsConnectivityEvents) {
    OleApartment apartment;
    auto watch = NetworkWatch::Start([] {});
    EXPECT_NE(watch, nullptr);
    watch.reset();  // unsubscribes without a call
}

}  // namespace
}  // namespace kestrune::platform::win32
