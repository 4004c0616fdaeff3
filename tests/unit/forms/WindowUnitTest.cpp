// The window class's run-time behaviour against the in-memory platform: writing Position and the
// user's close request with its two refusable events.
#include <gtest/gtest.h>

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "forms/Events.h"
#include "forms/Fatal.h"
#include "forms/Loader.h"
#include "forms/Runtime.h"
#include "tests/support/FakePlatform.h"
#include "ui/window/WindowProperties.h"
#include "ui/window/WindowUnit.h"

namespace kestrune::forms {
namespace {

constexpr std::uint32_t kForm = 0x52000030;
constexpr std::uint32_t kWin = 0x06000030;
constexpr int kPosition = 8 + ui::kWinPosition;

std::vector<std::string> g_log;
std::optional<std::int32_t> g_firstQueryAnswer, g_queryAnswer;

std::optional<std::int32_t> FirstQuery(std::span<const std::int32_t>) {
    g_log.push_back("query 12");
    return g_firstQueryAnswer;
}
std::optional<std::int32_t> Query(std::span<const std::int32_t>) {
    g_log.push_back("query 1");
    return g_queryAnswer;
}

WindowDefinition Definition(bool visible) {
    ui::WindowProperties p;
    p.border = 1;
    p.title = "plain";
    UnitDefinition u;
    u.unitId = kWin;
    u.classCode = kClassWindow;
    u.left = 100;
    u.top = 50;
    u.width = 400;
    u.height = 300;
    u.flags = visible ? kFlagVisible : 0;
    u.propertyBlock = ui::EncodeWindowProperties(p);
    u.events = {{12, &FirstQuery}, {1, &Query}};
    WindowDefinition d;
    d.formId = kForm;
    d.units = {u};
    return d;
}

class WindowUnitTest : public ::testing::Test {
protected:
    void Load(bool visible) {
        ResetRuntimeForTests();
        ui::RegisterWindowClass();
        RegisterDefinition(Definition(visible));
        SetOwnerWindow(fake_->CreateOwnerWindow());
        fake_->SetPrimaryScreenSize({1024, 768});
        fake_->SetWorkArea(platform::Rect::FromXYWH(0, 0, 1024, 740));
        g_log.clear();
        g_firstQueryAnswer.reset();
        g_queryAnswer.reset();
        ASSERT_TRUE(LoadWindow(kForm, 0, false));
        win_ = GetUnitHandle(kForm, kWin);
        ASSERT_NE(win_, 0u);
    }
    void TearDown() override { ResetRuntimeForTests(); }

    testing::ScopedFakePlatform fake_;
    platform::WindowId win_ = 0;
};

TEST_F(WindowUnitTest, PositionOnAHiddenWindowIsOnlyStored) {
    Load(false);
    WriteProperty(kForm, kWin, kPosition, std::int32_t{2});
    // Reading gives the window's state, which the write has not changed.
    EXPECT_EQ(AsInt(ReadProperty(kForm, kWin, kPosition)), 0);
    EXPECT_FALSE(fake_->IsVisible(win_));
    EXPECT_FALSE(fake_->IsMinimized(win_));
    WriteProperty(kForm, kWin, kPosition, std::int32_t{3});
    EXPECT_FALSE(fake_->IsMaximized(win_));
    EXPECT_FALSE(fake_->IsVisible(win_));
}

TEST_F(WindowUnitTest, PositionOnAShownWindowMinimisesMaximisesCentresAndRestores) {
    Load(true);
    WriteProperty(kForm, kWin, kPosition, std::int32_t{2});
    EXPECT_TRUE(fake_->IsMinimized(win_));
    WriteProperty(kForm, kWin, kPosition, std::int32_t{0});
    EXPECT_FALSE(fake_->IsMinimized(win_));
    EXPECT_EQ(fake_->GetOuterRect(win_), platform::Rect::FromXYWH(100, 50, 400, 300));

    WriteProperty(kForm, kWin, kPosition, std::int32_t{9});  // clamped to 3
    EXPECT_TRUE(fake_->IsMaximized(win_));
    EXPECT_EQ(AsInt(ReadProperty(kForm, kWin, kPosition)), 3);
    EXPECT_EQ(fake_->GetOuterRect(win_), platform::Rect::FromXYWH(0, 0, 1024, 740));

    // Centring restores first and keeps the size.
    WriteProperty(kForm, kWin, kPosition, std::int32_t{1});
    EXPECT_FALSE(fake_->IsMaximized(win_));
    EXPECT_EQ(fake_->GetOuterRect(win_), platform::Rect::FromXYWH((1024 - 400) / 2, (768 - 300) / 2, 400, 300));
    WriteProperty(kForm, kWin, kPosition, std::int32_t{2});
    EXPECT_EQ(AsInt(ReadProperty(kForm, kWin, kPosition)), 2);
    WriteProperty(kForm, kWin, kPosition, std::int32_t{-3});  // clamped to 0: shown normally
    EXPECT_FALSE(fake_->IsMinimized(win_));
    EXPECT_EQ(AsInt(ReadProperty(kForm, kWin, kPosition)), 0);
}

TEST_F(WindowUnitTest, UserCloseAsksBothEventsAndEitherCanRefuse) {
    Load(true);
    g_firstQueryAnswer = 0;  // logical false: refused at the first question
    fake_->RequestClose(win_);
    EXPECT_EQ(g_log, (std::vector<std::string>{"query 12"}));
    EXPECT_TRUE(IsWindowLoaded(kForm));

    g_log.clear();
    g_firstQueryAnswer = 1;
    g_queryAnswer = 0;
    fake_->RequestClose(win_);
    EXPECT_EQ(g_log, (std::vector<std::string>{"query 12", "query 1"}));
    EXPECT_TRUE(fake_->Exists(win_));

    // No value and true both let the close go ahead.
    g_log.clear();
    g_firstQueryAnswer.reset();
    g_queryAnswer = 1;
    fake_->RequestClose(win_);
    EXPECT_EQ(g_log, (std::vector<std::string>{"query 12", "query 1"}));
    EXPECT_FALSE(fake_->Exists(win_));
    EXPECT_FALSE(IsWindowLoaded(kForm));
}

}  // namespace
}  // namespace kestrune::forms
