// The hand-off with the built-in definitions and the real forms runtime on the in-memory platform: the
// login page's navigation to a marked address opens the game window modally, whose creation lays out
// its browser box and sends it to the captured address; the login navigation is cancelled.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/BuiltinDefinitions.h"
#include "app/FormIds.h"
#include "app/HandOff.h"
#include "app/UnitClasses.h"
#include "browser/BrowserHook.h"
#include "forms/Fatal.h"
#include "forms/Runtime.h"
#include "platform/SystemServices.h"
#include "services/BrowserEmulation.h"
#include "services/Path.h"
#include "services/Registry.h"
#include "tests/support/FakePlatform.h"

namespace kestrune::app {
namespace {

// The registry store in memory: the hive text of the current user's root.
class MemoryHives : public platform::SystemServices {
public:
    bool SetRegistryValue(platform::RegistryRoot root, const std::string& keyPath, const std::string& valueName,
                          const platform::RegistryData& data) override {
        if (root != platform::RegistryRoot::CurrentUser) return false;
        auto next = services::SetValueInHiveText(hive, root, keyPath, valueName, data);
        if (!next) return false;
        hive = std::move(next);
        return true;
    }
    std::optional<platform::RegistryData> QueryRegistryValue(platform::RegistryRoot root, const std::string& keyPath,
                                                             const std::string& valueName) override {
        if (root != platform::RegistryRoot::CurrentUser || !hive) return std::nullopt;
        return services::FindValueInHiveText(*hive, root, keyPath, valueName);
    }
    std::optional<std::string> hive;
};

class HandOffTest : public ::testing::Test {
protected:
    void SetUp() override {
        forms::ResetRuntimeForTests();
        platform::InstallSystemServices(&hives_);
#ifdef _WIN32
        services::InitExecutablePath("C:\\Games\\Kestrune\\kestrune-launcher");
#else
        services::InitExecutablePath("/opt/kestrune/kestrune-launcher");
#endif
        FreeGameUrl();
        RegisterBuiltinClasses();
        RegisterBuiltinDefinitions();
        ASSERT_TRUE(forms::LoadWindow(kLoginWindow, 0, false));
        ASSERT_EQ(fake_->WebViews().size(), 1u);
        // The box's stored address, asked for while the window loaded, reaches no handler.
        ASSERT_TRUE(LoginView()->FireBeforeNavigate("http://h/login.html"));
    }
    void TearDown() override {
        browser::ResetBrowserHooks();
        forms::ResetRuntimeForTests();
        platform::InstallSystemServices(nullptr);
    }

    testing::FakeWebView* LoginView() { return fake_->WebViews()[0]; }
    testing::FakeWebView* GameView() { return fake_->WebViews().size() > 1 ? fake_->WebViews()[1] : nullptr; }
    static std::int32_t Property(std::uint32_t form, std::uint32_t unit, int index) {
        return forms::AsInt(forms::ReadProperty(form, unit, index));
    }
    // The login page is about to go to `url`: whether the navigation goes ahead. While the game window
    // is open (modally), `whileOpen` runs, and the window is then closed.
    bool LoginNavigates(const std::string& url, std::function<void()> whileOpen = nullptr) {
        fake_->OnIdle([this, whileOpen = std::move(whileOpen)] {
            if (forms::GetUnitHandle(kGameWindow, kGameWindowUnit) == 0) return;  // none opened
            ++gameWindowsSeen_;
            if (whileOpen) whileOpen();
            forms::DestroyUnit(kGameWindow, kGameWindowUnit, true);
        });
        const bool allowed = LoginView()->FireBeforeNavigate(url);
        if (allowed) fake_->RunLoop(nullptr);  // no window to act on: the idle action does nothing
        return allowed;
    }

    MemoryHives hives_;
    testing::ScopedFakePlatform fake_;
    int gameWindowsSeen_ = 0;
};

TEST_F(HandOffTest, AddressWithoutMarkerProceedsAndHooksTheLoginPage) {
    for (const char* url : {"http://h/login2.html", "http://h/?CLIENT=1", "http://h/?client=2", ""})
        EXPECT_TRUE(LoginNavigates(url)) << url;
    EXPECT_EQ(GameView(), nullptr);
    EXPECT_EQ(GameUrl(), "");
    auto slot = browser::HookSlotFor(forms::GetUnitHandle(kLoginWindow, kLoginBrowser));
    ASSERT_TRUE(slot);
    EXPECT_TRUE(slot->hooked);
}

TEST_F(HandOffTest, MarkerAnywhereOpensGameWindowAndCancels) {
    const std::vector<std::string> loginNavigations = LoginView()->Navigations();
    for (const char* url : {"http://h/game?user=a&client=1&session=9", "http://h/game?client=10", "client=1"}) {
        EXPECT_FALSE(LoginNavigates(url)) << url;
        EXPECT_EQ(GameUrl(), url);
    }
    EXPECT_EQ(gameWindowsSeen_, 3);
    EXPECT_EQ(LoginView()->Navigations(), loginNavigations);  // the login box was sent nowhere new
    EXPECT_EQ(forms::GetUnitHandle(kGameWindow, kGameWindowUnit), 0u);
}

TEST_F(HandOffTest, GameWindowCreationLaysOutBrowserAndNavigatesToCapturedAddress) {
    const std::string play = "http://h/game?client=1";
    bool checked = false;
    EXPECT_FALSE(LoginNavigates(play, [&] {
        checked = true;
        ASSERT_NE(GameView(), nullptr);
        // Its page was prepared before the window was made, and the box then went there.
        EXPECT_EQ(fake_->PreparedWebViews(), std::vector<std::string>{play});
        EXPECT_EQ(GameView()->Navigations(), std::vector<std::string>{play});
        // The game window's creation wrote the emulation values for this executable again.
        EXPECT_EQ(services::ReadBrowserEmulation("kestrune-launcher").emulationLevel, 8000);
        const std::int32_t width = Property(kGameWindow, kGameWindowUnit, forms::kPropWidth);
        const std::int32_t height = Property(kGameWindow, kGameWindowUnit, forms::kPropHeight);
        EXPECT_EQ(Property(kGameWindow, kGameBrowser, forms::kPropWidth), width);
        EXPECT_EQ(Property(kGameWindow, kGameBrowser, forms::kPropHeight), height - 32);

        // Resizing keeps the rule and never renavigates.
        forms::WriteProperty(kGameWindow, kGameWindowUnit, forms::kPropWidth, width - 100);
        forms::WriteProperty(kGameWindow, kGameWindowUnit, forms::kPropHeight, height - 200);
        const std::int32_t newWidth = Property(kGameWindow, kGameWindowUnit, forms::kPropWidth);
        const std::int32_t newHeight = Property(kGameWindow, kGameWindowUnit, forms::kPropHeight);
        EXPECT_NE(newHeight, height);
        EXPECT_EQ(Property(kGameWindow, kGameBrowser, forms::kPropWidth), newWidth);
        EXPECT_EQ(Property(kGameWindow, kGameBrowser, forms::kPropHeight), newHeight - 32);
        EXPECT_EQ(GameView()->Navigations().size(), 1u);
        // Lower than the allowance: no height is left for the box.
        forms::WriteProperty(kGameWindow, kGameWindowUnit, forms::kPropHeight, 20);
        ASSERT_LT(Property(kGameWindow, kGameWindowUnit, forms::kPropHeight), 32);
        EXPECT_EQ(Property(kGameWindow, kGameBrowser, forms::kPropHeight), 0);
        // The game page's own navigations go ahead (its handler ends without a value).
        EXPECT_TRUE(GameView()->FireBeforeNavigate(play));  // the stored address, asked while loading
        EXPECT_TRUE(GameView()->FireBeforeNavigate("http://h/game/next.html"));
    }));
    EXPECT_TRUE(checked);
}

TEST_F(HandOffTest, SecondHandOffWhileOpenReplacesGameUrlButDoesNotRenavigate) {
    bool inner = true;
    EXPECT_FALSE(LoginNavigates("http://h/first?client=1", [&] {
        inner = LoginView()->FireBeforeNavigate("http://h/frame?client=1&again=1");
        ASSERT_NE(GameView(), nullptr);
        EXPECT_EQ(GameView()->Navigations(), std::vector<std::string>{"http://h/first?client=1"});
        EXPECT_EQ(fake_->WebViews().size(), 2u);  // no second game window
        EXPECT_EQ(fake_->PreparedWebViews(), std::vector<std::string>{"http://h/first?client=1"});  // nor its page
    }));
    EXPECT_FALSE(inner);
    EXPECT_EQ(gameWindowsSeen_, 1);
    EXPECT_EQ(GameUrl(), "http://h/frame?client=1&again=1");  // kept after the window closed
    FreeGameUrl();
    EXPECT_EQ(GameUrl(), "");
}

TEST_F(HandOffTest, DocumentReadyHandlersHookTheirOwnBoxes) {
    // The login page's document-ready hooks it, before any navigation could have.
    const platform::WindowId loginBox = forms::GetUnitHandle(kLoginWindow, kLoginBrowser);
    auto before = browser::HookSlotFor(loginBox);
    EXPECT_TRUE(!before || !before->hooked);
    LoginView()->FireDocumentComplete("http://h/login.html");
    auto login = browser::HookSlotFor(loginBox);
    ASSERT_TRUE(login);
    EXPECT_TRUE(login->hooked);

    EXPECT_FALSE(LoginNavigates("http://h/game?client=1", [&] {
        ASSERT_NE(GameView(), nullptr);
        GameView()->FireDocumentComplete("http://h/game?client=1");
        auto game = browser::HookSlotFor(forms::GetUnitHandle(kGameWindow, kGameBrowser));
        ASSERT_TRUE(game);
        EXPECT_TRUE(game->hooked);
    }));
}

}  // namespace
}  // namespace kestrune::app
