// The hand-off handlers against a scripted runtime: properties live in a table, LoadWindow of the
// game window runs its creation and size handlers and then whatever the test does while the modal
// window is open.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <utility>

#include "app/FormIds.h"
#include "browser/BrowserHook.h"
#include "browser/HandOff.h"
#include "forms/Runtime.h"
#include "platform/SystemServices.h"
#include "services/BrowserEmulation.h"
#include "services/Path.h"
#include "services/Registry.h"
#include "tests/support/FakePlatform.h"

namespace {

using Key = std::tuple<std::uint32_t, std::uint32_t, int>;
std::map<Key, kestrune::forms::Value> g_props;
std::vector<std::pair<Key, kestrune::forms::Value>> g_writes;
std::map<std::pair<std::uint32_t, std::uint32_t>, kestrune::platform::WindowId> g_handles;
// The registry store in memory: the hive text of the current user's root.
class MemoryHives : public kestrune::platform::SystemServices {
public:
    bool SetRegistryValue(kestrune::platform::RegistryRoot root, const std::string& keyPath,
                          const std::string& valueName, const kestrune::platform::RegistryData& data) override {
        if (root != kestrune::platform::RegistryRoot::CurrentUser) return false;
        auto next = kestrune::services::SetValueInHiveText(hive, root, keyPath, valueName, data);
        if (!next) return false;
        hive = std::move(next);
        return true;
    }
    std::optional<kestrune::platform::RegistryData> QueryRegistryValue(kestrune::platform::RegistryRoot root,
                                                                       const std::string& keyPath,
                                                                       const std::string& valueName) override {
        if (root != kestrune::platform::RegistryRoot::CurrentUser || !hive) return std::nullopt;
        return kestrune::services::FindValueInHiveText(*hive, root, keyPath, valueName);
    }
    std::optional<std::string> hive;
};
int g_loads = 0;
bool g_gameOpen = false;
std::function<void()> g_whileOpen;

}  // namespace

namespace kestrune::forms {
Value ReadProperty(std::uint32_t formId, std::uint32_t unitId, int index) {
    auto it = g_props.find({formId, unitId, index});
    return it != g_props.end() ? it->second : Value(std::string());
}
void WriteProperty(std::uint32_t formId, std::uint32_t unitId, int index, const Value& value) {
    g_writes.push_back({{formId, unitId, index}, value});
    g_props[{formId, unitId, index}] = value;
}
platform::WindowId GetUnitHandle(std::uint32_t formId, std::uint32_t unitId) {
    auto it = g_handles.find({formId, unitId});
    return it != g_handles.end() ? it->second : 0;
}
bool LoadWindow(std::uint32_t formId, platform::WindowId owner, bool dialogMode) {
    EXPECT_EQ(formId, app::kGameWindow);
    EXPECT_EQ(owner, 0u);
    EXPECT_TRUE(dialogMode);
    ++g_loads;
    if (g_gameOpen) return true;  // brought forward, no second modal loop
    g_gameOpen = true;
    browser::OnGameWindowCreated({});
    browser::OnGameWindowResized({});
    if (g_whileOpen) std::exchange(g_whileOpen, nullptr)();
    g_gameOpen = false;
    return true;
}
}  // namespace kestrune::forms

namespace kestrune::browser {
namespace {

class NullHost : public platform::WebViewHost {
public:
    bool BeforeNavigate(const std::string&) override { return true; }
    void NavigateComplete(const std::string&) override {}
    void DocumentComplete(const std::string&) override {}
    void DownloadBegin() override {}
    void DownloadComplete() override {}
    void ProgressChange(int, int) override {}
    void StatusTextChange(const std::string&) override {}
    void TitleChange(const std::string&) override {}
    void CommandStateChange(int, bool) override {}
    bool NewWindow(const std::string&) override { return true; }
};

class HandOffTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_props.clear();
        g_writes.clear();
        g_handles.clear();
        platform::InstallSystemServices(&hives_);
#ifdef _WIN32
        services::InitExecutablePath("C:\\Games\\Kestrune\\kestrune-launcher");
#else
        services::InitExecutablePath("/opt/kestrune/kestrune-launcher");
#endif
        g_loads = 0;
        g_gameOpen = false;
        g_whileOpen = nullptr;
        FreeGameUrl();
        const platform::WindowId top = fake_->CreateTopLevel({}, nullptr);
        loginBox_ = fake_->CreateChild(top, platform::Rect{0, 0, 100, 100}, nullptr);
        loginView_ = fake_->CreateWebView(loginBox_, platform::Rect{0, 0, 100, 100}, &host_);
        g_handles[{app::kLoginWindow, app::kLoginBrowser}] = loginBox_;
        g_props[{app::kGameWindow, app::kGameWindowUnit, forms::kPropWidth}] = 1296;
        g_props[{app::kGameWindow, app::kGameWindowUnit, forms::kPropHeight}] = 1001;
    }
    void TearDown() override {
        ResetBrowserHooks();
        platform::InstallSystemServices(nullptr);
    }

    static void LoginAboutToOpen(const std::string& url) {
        g_props[{app::kLoginWindow, app::kLoginBrowser, 11}] = url;
    }
    static std::vector<forms::Value> GameWrites(int index) {
        std::vector<forms::Value> out;
        for (const auto& [key, value] : g_writes)
            if (key == Key{app::kGameWindow, app::kGameBrowser, index}) out.push_back(value);
        return out;
    }

    MemoryHives hives_;
    testing::ScopedFakePlatform fake_;
    NullHost host_;
    platform::WindowId loginBox_ = 0;
    std::unique_ptr<platform::WebView> loginView_;
};

TEST_F(HandOffTest, AddressWithoutMarkerProceedsAndHooksTheLoginPage) {
    for (const char* url : {"http://h/login2.html", "http://h/?CLIENT=1", "http://h/?client=2", ""}) {
        LoginAboutToOpen(url);
        EXPECT_EQ(OnLoginBrowserEvent({}), std::nullopt) << url;
    }
    EXPECT_EQ(g_loads, 0);
    EXPECT_EQ(GameUrl(), "");
    auto slot = HookSlotFor(loginBox_);
    ASSERT_TRUE(slot);
    EXPECT_TRUE(slot->hooked);
}

TEST_F(HandOffTest, MarkerAnywhereOpensGameWindowAndCancels) {
    for (const char* url : {"http://h/game?user=a&client=1&session=9", "http://h/game?client=10", "client=1"}) {
        LoginAboutToOpen(url);
        EXPECT_EQ(OnLoginBrowserEvent({}), std::optional<std::int32_t>(0)) << url;
        EXPECT_EQ(GameUrl(), url);
    }
    EXPECT_EQ(g_loads, 3);
}

TEST_F(HandOffTest, GameWindowCreationLaysOutBrowserAndNavigatesToCapturedAddress) {
    LoginAboutToOpen("http://h/game?client=1");
    ASSERT_EQ(OnLoginBrowserEvent({}), std::optional<std::int32_t>(0));
    // The game window's creation wrote the emulation values for this executable again.
    const platform::WebViewMode mode = services::ReadBrowserEmulation("kestrune-launcher");
    EXPECT_EQ(mode.emulationLevel, 8000);
    EXPECT_EQ(GameWrites(forms::kPropWidth), (std::vector<forms::Value>{1296, 1296}));  // created, resized
    EXPECT_EQ(GameWrites(forms::kPropHeight), (std::vector<forms::Value>{969, 969}));
    EXPECT_EQ(GameWrites(11), std::vector<forms::Value>{std::string("http://h/game?client=1")});

    // Resizing keeps the rule and never renavigates; a height below 32 truncates toward zero.
    g_props[{app::kGameWindow, app::kGameWindowUnit, forms::kPropHeight}] = 20;
    g_writes.clear();
    OnGameWindowResized({});
    EXPECT_EQ(GameWrites(forms::kPropHeight), std::vector<forms::Value>{-12});
    EXPECT_TRUE(GameWrites(11).empty());
}

TEST_F(HandOffTest, SecondHandOffWhileOpenReplacesGameUrlButDoesNotRenavigate) {
    LoginAboutToOpen("http://h/first?client=1");
    std::optional<std::int32_t> inner;
    g_whileOpen = [&] {
        LoginAboutToOpen("http://h/frame?client=1&again=1");
        inner = OnLoginBrowserEvent({});
    };
    EXPECT_EQ(OnLoginBrowserEvent({}), std::optional<std::int32_t>(0));
    EXPECT_EQ(inner, std::optional<std::int32_t>(0));
    EXPECT_EQ(g_loads, 2);
    EXPECT_EQ(GameUrl(), "http://h/frame?client=1&again=1");  // kept after the window closed
    EXPECT_EQ(GameWrites(11), std::vector<forms::Value>{std::string("http://h/first?client=1")});
    FreeGameUrl();
    EXPECT_EQ(GameUrl(), "");
}

TEST_F(HandOffTest, DocumentReadyHandlersHookTheirOwnBoxes) {
    const platform::WindowId top = fake_->CreateTopLevel({}, nullptr);
    const platform::WindowId gameBox = fake_->CreateChild(top, platform::Rect{0, 0, 100, 100}, nullptr);
    auto gameView = fake_->CreateWebView(gameBox, platform::Rect{0, 0, 100, 100}, &host_);
    g_handles[{app::kGameWindow, app::kGameBrowser}] = gameBox;
    EXPECT_EQ(HookLoginBrowser({}), std::nullopt);
    EXPECT_EQ(HookGameBrowser({}), std::nullopt);
    EXPECT_TRUE(HookSlotFor(loginBox_)->hooked);
    EXPECT_TRUE(HookSlotFor(gameBox)->hooked);
    EXPECT_EQ(OnGameBrowserNavigate({}), std::nullopt);
}

}  // namespace
}  // namespace kestrune::browser
