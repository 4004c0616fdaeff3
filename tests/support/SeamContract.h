// What every implementation of the platform seam does alike, whatever draws the windows: the GTK
// backend, the Win32 backend and the in-memory platform each run these from their own suite
// (KESTRUNE_SEAM_CONTRACT_TESTS), with their own way of letting the loop deliver what is pending.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "tests/support/RecordingWindowHost.h"

namespace kestrune::testing {

struct SeamUnderTest {
    platform::Platform& os;
    std::function<void()> deliverPending;  // runs the loop until what was posted has arrived
};

// Children stack newest in front and move as told; a child moved to another parent keeps its place
// within it.
inline void CheckChildOrder(const SeamUnderTest& seam) {
    platform::Platform& os = seam.os;
    platform::TopLevelParams params;
    params.outer = platform::Rect::FromXYWH(40, 40, 200, 200);
    RecordingWindowHost topHost, boxHost, aHost, bHost;
    const platform::WindowId top = os.CreateTopLevel(params, &topHost);
    const platform::WindowId box = os.CreateChild(top, platform::Rect::FromXYWH(10, 10, 100, 100), &boxHost);
    const platform::WindowId a = os.CreateChild(top, platform::Rect::FromXYWH(5, 6, 10, 10), &aHost);
    const platform::WindowId b = os.CreateChild(top, platform::Rect::FromXYWH(1, 1, 10, 10), &bHost);
    EXPECT_EQ(os.FirstChild(top), b);  // the newest in front
    os.PlaceBehind(b, box);
    EXPECT_EQ(os.FirstChild(top), a);
    os.PlaceFront(box);
    EXPECT_EQ(os.FirstChild(top), box);

    os.SetParent(a, box);
    EXPECT_EQ(os.GetParent(a), box);
    EXPECT_EQ(os.FirstChild(box), a);
    EXPECT_EQ(os.GetOuterRect(a), platform::Rect::FromXYWH(5, 6, 10, 10));
    const platform::Point origin = os.ClientToScreen(box, {0, 0});
    EXPECT_EQ(os.ClientToScreen(a, {0, 0}), (platform::Point{origin.x + 5, origin.y + 6}));
    os.Destroy(top);
}

// A window goes with its children, the children first, and each host hears of its end once.
inline void CheckDestroyOrder(const SeamUnderTest& seam) {
    platform::Platform& os = seam.os;
    std::vector<std::string> log;
    platform::TopLevelParams params;
    params.outer = platform::Rect::FromXYWH(40, 40, 100, 100);
    RecordingWindowHost topHost, childHost, grandHost;
    const platform::WindowId top = os.CreateTopLevel(params, &topHost);
    const platform::WindowId child = os.CreateChild(top, platform::Rect::FromXYWH(0, 0, 50, 50), &childHost);
    const platform::WindowId grand = os.CreateChild(child, platform::Rect::FromXYWH(0, 0, 20, 20), &grandHost);
    topHost.onDestroyed = [&] { log.push_back(std::string("top") + (os.Exists(child) ? ":child-left" : "")); };
    childHost.onDestroyed = [&] { log.push_back(std::string("child") + (os.Exists(grand) ? ":grand-left" : "")); };
    grandHost.onDestroyed = [&] { log.push_back("grand"); };
    os.Destroy(top);
    seam.deliverPending();
    EXPECT_EQ(log, (std::vector<std::string>{"grand", "child", "top"}));
    EXPECT_EQ(topHost.destroyed + childHost.destroyed + grandHost.destroyed, 3);
    for (platform::WindowId w : {top, child, grand}) EXPECT_FALSE(os.Exists(w));
}

// Posted codes arrive in order; those for a window destroyed meanwhile never do. A loop ends when
// told to, without a quit.
inline void CheckPostedMessages(const SeamUnderTest& seam) {
    platform::Platform& os = seam.os;
    platform::TopLevelParams params;
    params.outer = platform::Rect::FromXYWH(40, 40, 60, 60);
    RecordingWindowHost aHost, bHost;
    const platform::WindowId a = os.CreateTopLevel(params, &aHost);
    const platform::WindowId b = os.CreateTopLevel(params, &bHost);
    os.Post(a, 1);
    os.Post(b, 2);
    os.Post(a, 3);
    os.Destroy(b);
    seam.deliverPending();
    EXPECT_EQ(aHost.posted, (std::vector<std::uint32_t>{1, 3}));
    EXPECT_TRUE(bHost.posted.empty());

    os.Post(a, 4);
    os.Post(a, 5);
    EXPECT_FALSE(os.RunLoop([&] { return aHost.posted.size() < 3; }));
    EXPECT_EQ(aHost.posted, (std::vector<std::uint32_t>{1, 3, 4}));
    seam.deliverPending();
    EXPECT_EQ(aHost.posted, (std::vector<std::uint32_t>{1, 3, 4, 5}));
    os.Destroy(a);
}

}  // namespace kestrune::testing

// The contract's cases as tests of `Fixture`, which provides `kestrune::testing::SeamUnderTest Seam()`.
#define KESTRUNE_SEAM_CONTRACT_TESTS(Fixture)                                                       \
    TEST_F(Fixture, SeamContractChildrenStackAndMoveAsTold) { kestrune::testing::CheckChildOrder(Seam()); } \
    TEST_F(Fixture, SeamContractDestroyGoesChildrenFirst) { kestrune::testing::CheckDestroyOrder(Seam()); } \
    TEST_F(Fixture, SeamContractPostedCodesArriveInOrderUnlessTheirWindowWent) {                   \
        kestrune::testing::CheckPostedMessages(Seam());                                             \
    }
