// The program's life cycle with the built-in definitions against the in-memory platform: start-up,
// the login window as loaded, its two picture buttons, exit routines and the fatal end.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <tuple>

#include "app/BuiltinDefinitions.h"
#include "app/FormIds.h"
#include "app/Program.h"
#include "app/UnitClasses.h"
#include "app/HandOff.h"
#include "forms/Events.h"
#include "forms/Fatal.h"
#include "forms/Loader.h"
#include "forms/Runtime.h"
#include "platform/SystemServices.h"
#include "services/BrowserEmulation.h"
#include "services/Path.h"
#include "tests/support/ExitStatus.h"
#include "tests/support/FakePlatform.h"
#include "ui/window/WindowProperties.h"

namespace kestrune::app {
namespace {

std::vector<int> g_ran;
void RoutineA() { g_ran.push_back(1); }
void RoutineB() { g_ran.push_back(2); }
void RoutineSays() { std::fputs("exit routine ran\n", stderr); }

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        forms::ResetRuntimeForTests();
        ClearExitRoutines();
        g_ran.clear();
        RegisterBuiltinClasses();
        RegisterBuiltinDefinitions();
    }
    void TearDown() override {
        forms::ResetRuntimeForTests();
        ClearExitRoutines();
    }
    platform::WindowId Handle(std::uint32_t unit, std::uint32_t form = kLoginWindow) {
        return forms::GetUnitHandle(form, unit);
    }
    // A left click in the middle of a control, as the backend would deliver it.
    void Click(platform::WindowId control) {
        const platform::Size size = fake_->GetClientSize(control);
        const platform::Point mid{size.width / 2, size.height / 2};
        fake_->SendMouse(control, fake_->MakeMouse(control, platform::MouseAction::Press, platform::MouseButton::Left, mid, true));
        fake_->SendMouse(control,
                         fake_->MakeMouse(control, platform::MouseAction::Release, platform::MouseButton::Left, mid, false));
    }

    testing::ScopedFakePlatform fake_;
};

TEST_F(ProgramTest, ExitRoutinesRunOnceEachInRegistrationOrder) {
    RegisterExitRoutine(&RoutineA);
    RegisterExitRoutine(&RoutineB);
    RegisterExitRoutine(&RoutineA);
    EXPECT_EQ(ExitRoutines().size(), 2u);
    EXPECT_EQ(Shutdown(0), 0);
    EXPECT_EQ(g_ran, (std::vector<int>{1, 2}));
    EXPECT_TRUE(ExitRoutines().empty());
    EXPECT_TRUE(forms::EventsHeldBack());  // nothing reaches a handler once shutdown began
}

TEST_F(ProgramTest, LoginWindowStartsShapedCentredAndTheCloseButtonEndsTheProgram) {
    fake_->SetPrimaryScreenSize({1600, 1000});
    RegisterExitRoutine(&RoutineA);
    bool checked = false;
    fake_->OnIdle([&] {
        checked = true;
        const platform::WindowId win = Handle(kLoginWindowUnit);
        const testing::FakeWindow* w = fake_->Find(win);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->visible);
        EXPECT_TRUE(w->shape.has_value());  // cut to the skin before it was shown
        EXPECT_EQ(w->style.frame, false);
        EXPECT_FALSE(w->skipTaskbar);
        EXPECT_EQ(fake_->GetOuterRect(win), platform::Rect::FromXYWH((1600 - 1250) / 2, (1000 - 870) / 2, 1250, 870));
        // Minimise button in front, shape box at the back; the browser inside the shape box.
        const auto children = fake_->Children(win);
        EXPECT_EQ(children, (std::vector<platform::WindowId>{Handle(kMinimizeButton), Handle(kCloseButton),
                                                             Handle(kLoginShapeBox)}));
        EXPECT_EQ(fake_->GetParent(Handle(kLoginBrowser)), Handle(kLoginShapeBox));
        EXPECT_EQ(fake_->Cursor(fake_->WindowCursor(Handle(kCloseButton)))->systemCode, 32649);
        ASSERT_EQ(fake_->WebViews().size(), 1u);
        EXPECT_EQ(fake_->WebViews()[0]->Navigations(), std::vector<std::string>{KESTRUNE_LOGIN_URL});

        Click(Handle(kMinimizeButton));
        EXPECT_TRUE(fake_->IsMinimized(win));
        fake_->Show(win, platform::ShowCommand::Restore);

        Click(Handle(kCloseButton));
        EXPECT_TRUE(fake_->Exists(win));  // destruction waits until the click handling returned
    });
    EXPECT_EQ(RunStartupWindow(kLoginWindow), 0);
    EXPECT_TRUE(checked);
    EXPECT_FALSE(forms::IsWindowLoaded(kLoginWindow));
    EXPECT_EQ(fake_->QuitsPosted(), 1);
    EXPECT_EQ(g_ran, std::vector<int>{1});
    EXPECT_EQ(forms::OwnerWindow(), 0u);  // destroyed by the shutdown
}

// A fresh machine: an executable and an empty registry that keeps what is written.
class FreshMachine : public platform::SystemServices {
public:
    std::string ExecutablePath() override {
        return std::string("games") + services::kPathSeparator + "kestrune" + services::kPathSeparator + "kestrune.exe";
    }
    bool SetCurrentDirectory(const std::string&) override { return true; }
    bool SetRegistryValue(platform::RegistryRoot root, const std::string& keyPath, const std::string& valueName,
                          const platform::RegistryData& data) override {
        values[{root, keyPath, valueName}] = data;
        return true;
    }
    std::optional<platform::RegistryData> QueryRegistryValue(platform::RegistryRoot root, const std::string& keyPath,
                                                             const std::string& valueName) override {
        auto it = values.find({root, keyPath, valueName});
        if (it == values.end()) return std::nullopt;
        return it->second;
    }
    std::map<std::tuple<platform::RegistryRoot, std::string, std::string>, platform::RegistryData> values;
};

TEST_F(ProgramTest, TheFirstStartsLoginPageIsPreparedBeforeAnyWindowAndFindsTheBrowserModeValues) {
    // The login browser box is created before the login window's creation handler runs, and the
    // browser reads the values when it is created: start-up must have written them by then. The
    // engine starts on the login page before any window is built; the box takes that load over only
    // if it goes to the same address in the same mode.
    FreshMachine machine;
    platform::InstallSystemServices(&machine);
    bool checked = false;
    fake_->OnIdle([&] {
        checked = true;
        ASSERT_EQ(fake_->WebViews().size(), 1u);
        const kestrune::testing::FakeWebView& box = *fake_->WebViews()[0];
        EXPECT_TRUE(box.ModeSet());
        EXPECT_EQ(box.Mode().emulationLevel, 8000);
        EXPECT_EQ(services::ReadBrowserEmulation("kestrune.exe").emulationLevel, 8000);

        ASSERT_EQ(fake_->PreparedWebViews(), std::vector<std::string>{LoginPageAddress()});
        EXPECT_EQ(fake_->WindowsAtPreparation()[0], 0u);
        EXPECT_EQ(fake_->PreparedModes()[0].emulationLevel, 8000);
        ASSERT_FALSE(box.Navigations().empty());
        EXPECT_EQ(box.Navigations()[0], LoginPageAddress());
        forms::DestroyUnit(kLoginWindow, kLoginWindowUnit);
    });
    EXPECT_EQ(app::Run(), 0);
    EXPECT_TRUE(checked);
    platform::InstallSystemServices(nullptr);
}

TEST_F(ProgramTest, LoginWindowDefinitionCarriesTheTableValues) {
    const forms::WindowDefinition login = LoginWindowDefinition();
    ASSERT_EQ(login.units.size(), 5u);
    EXPECT_EQ(login.units[3].parent, kLoginShapeBox);
    EXPECT_EQ(login.units[4].children, std::vector<std::uint32_t>{kLoginBrowser});
    const auto props = ui::DecodeWindowProperties(login.units[0].propertyBlock);
    ASSERT_TRUE(props);
    EXPECT_EQ(props->border, 0);
    EXPECT_EQ(props->position, 1);
    EXPECT_TRUE(props->dragAnywhere);
    EXPECT_FALSE(props->backPicture.empty());

    const forms::WindowDefinition game = GameWindowDefinition();
    const auto gameProps = ui::DecodeWindowProperties(game.units[0].propertyBlock);
    ASSERT_TRUE(gameProps);
    EXPECT_EQ(gameProps->title, "Kestrune微端");
    EXPECT_EQ(gameProps->border, 1);
    EXPECT_EQ(gameProps->position, 3);
    EXPECT_TRUE(gameProps->maxButton && gameProps->minButton);
    EXPECT_FALSE(gameProps->icon.empty());
    // Before it is loaded the game browser reads the stored width.
    EXPECT_EQ(forms::AsInt(forms::ReadProperty(kGameWindow, kGameBrowser, forms::kPropWidth)), 864);
}

TEST_F(ProgramTest, LoginWindowIsNamedForAssistiveTechnologyAndHandsItsKeyboardToThePage) {
    ASSERT_TRUE(forms::LoadWindow(kLoginWindow, 0, false));
    const platform::WindowId win = Handle(kLoginWindowUnit);
    // Named without a title; its buttons are push buttons named by the definition, the frame around
    // the page is no control.
    EXPECT_EQ(fake_->Find(win)->title, "");
    EXPECT_EQ(fake_->Find(win)->accessibility.name, "Kestrune");
    const platform::Accessibility close = fake_->Find(Handle(kCloseButton))->accessibility;
    const platform::Accessibility minimise = fake_->Find(Handle(kMinimizeButton))->accessibility;
    EXPECT_EQ(std::tie(close.role, close.name), std::make_tuple(platform::AccessibleRole::PushButton, std::string("关闭")));
    EXPECT_EQ(std::tie(minimise.role, minimise.name),
              std::make_tuple(platform::AccessibleRole::PushButton, std::string("最小化")));
    EXPECT_EQ(fake_->Find(Handle(kLoginShapeBox))->accessibility.role, platform::AccessibleRole::Decoration);

    // The window itself getting the keyboard hands it to its page (the box is inside the shape box).
    ASSERT_EQ(fake_->WebViews().size(), 1u);
    fake_->SetFocus(win);
    EXPECT_EQ(fake_->GetFocus(), fake_->WebViews()[0]->Window());
    // Not while the box is hidden: then the window keeps it.
    forms::WriteProperty(kLoginWindow, kLoginBrowser, forms::kPropVisible, forms::Logical{false});
    fake_->SetFocus(win);
    EXPECT_EQ(fake_->GetFocus(), win);

    // A screen reader's press is a click, on an enabled button only.
    fake_->Find(Handle(kMinimizeButton))->host->AccessibleAction();
    EXPECT_TRUE(fake_->IsMinimized(win));
    fake_->Show(win, platform::ShowCommand::Restore);
    fake_->Enable(Handle(kMinimizeButton), false);
    fake_->Find(Handle(kMinimizeButton))->host->AccessibleAction();
    EXPECT_FALSE(fake_->IsMinimized(win));
}

TEST_F(ProgramTest, FullScreenGamePageCoversTheWindowAndGivesTheLayoutBackAfter) {
    ASSERT_TRUE(forms::LoadWindow(kGameWindow, 0, false));
    const platform::WindowId win = Handle(kGameWindowUnit, kGameWindow);
    const platform::WindowId box = Handle(kGameBrowser, kGameWindow);
    ASSERT_EQ(fake_->WebViews().size(), 1u);
    platform::WebViewHost* page = fake_->WebViews()[0]->Host();
    auto laidOut = [&] {
        const platform::Rect outer = fake_->GetOuterRect(win);
        return platform::Rect::FromXYWH(0, 0, outer.Width(), outer.Height() - 32);
    };
    fake_->Resize(win, {1000, 700});
    EXPECT_EQ(fake_->GetOuterRect(box), laidOut());

    page->FullScreenChanged(true);
    const platform::Size client = fake_->GetClientSize(win);
    EXPECT_EQ(fake_->GetOuterRect(box), platform::Rect::FromXYWH(0, 0, client.width, client.height));
    // The window grows to the screen: the box follows it, whatever the layout handler writes.
    fake_->Resize(win, {1920, 1080});
    const platform::Size full = fake_->GetClientSize(win);
    EXPECT_EQ(fake_->GetOuterRect(box), platform::Rect::FromXYWH(0, 0, full.width, full.height));
    EXPECT_EQ(fake_->GetOuterRect(fake_->WebViews()[0]->Window()), platform::Rect::FromXYWH(0, 0, full.width, full.height));

    page->FullScreenChanged(false);
    fake_->Resize(win, {1000, 700});
    EXPECT_EQ(fake_->GetOuterRect(box), laidOut());
    EXPECT_EQ(fake_->GetOuterRect(fake_->WebViews()[0]->Window()).Width(), 1000);
}

TEST_F(ProgramTest, MissingStartupWindowIsFatalWithExitCodeMinusOneAndNoExitRoutine) {
    EXPECT_THAT(
        [] {
            try {
                RunStartupWindow(0x52999999);
            } catch (const forms::FatalErrorRaised& e) {
                throw std::runtime_error(e.Text());
            }
        },
        ::testing::ThrowsMessage<std::runtime_error>(::testing::HasSubstr("错误信息：载入启动窗口失败\r\n")));

    forms::ResetRuntimeForTests();
    RegisterBuiltinClasses();
    EXPECT_EXIT(
        {
            InstallFatalExit();
            RegisterExitRoutine(&RoutineSays);
            RunStartupWindow(0x52999999);
        },
        ::testing::ExitedWithCode(testing_support::kExitStatusMinusOne),
        ::testing::Not(::testing::HasSubstr("exit routine ran")));
}

}  // namespace
}  // namespace kestrune::app
