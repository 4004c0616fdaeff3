// The GTK web view inside a real window: notifications for the demo login page and its frame, the
// page window replaced per document, cancelled navigations, and a real right-click that the page's
// procedure chain swallows (the page sees the press, never the release or a context menu).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "platform/WebView.h"
#include "platform/gtk/GtkPlatform.h"

bool FakeRightClick(int screenX, int screenY);  // FakeClick.cpp

namespace kestrune::platform {
namespace {

constexpr int kPort = 48131;
const std::string kBase = "http://127.0.0.1:" + std::to_string(kPort) + "/";

class RecordingHost : public WebViewHost {
public:
    bool BeforeNavigate(const std::string& url) override {
        before.push_back(url);
        return url.find("client=1") == std::string::npos;
    }
    void NavigateComplete(const std::string& url) override { committed.push_back(url); }
    void DocumentComplete(const std::string& url) override { ready.push_back(url); }
    void DownloadBegin() override { ++begins; }
    void DownloadComplete() override { ++completes; }
    void ProgressChange(int progress, int max) override { lastProgress = progress, lastMax = max; }
    void StatusTextChange(const std::string&) override {}
    void TitleChange(const std::string& title) override { titles.push_back(title); }
    void CommandStateChange(int command, bool enabled) override {
        if (command == 2) canGoBack = enabled;
    }
    bool NewWindow(const std::string& url) override {
        newWindows.push_back(url);
        return false;  // keep the test from opening the user's browser
    }

    std::vector<std::string> before, committed, ready, titles, newWindows;
    int begins = 0, completes = 0, lastProgress = -1, lastMax = -1;
    bool canGoBack = false;
};

std::vector<std::uint32_t> g_pageMessages;
std::intptr_t SwallowingProc(WindowId, std::uint32_t message, std::intptr_t, std::intptr_t) {
    g_pageMessages.push_back(message);
    return message == kMessageRightButtonUp || message == kMessageContextMenu ? 1 : 0;
}

class WebViewGuiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = fork();
        if (server_ == 0) {
            execl(KESTRUNE_DEMO_SERVER, KESTRUNE_DEMO_SERVER, "--port", std::to_string(kPort).c_str(), "--root",
                  KESTRUNE_DEMO_SITE, static_cast<char*>(nullptr));
            _exit(127);
        }
        usleep(300000);
        int argc = 1;
        static char name[] = "kestrune_browser_gui_tests";
        static char* args[] = {name, nullptr};
        char** argv = args;
        platform_ = gtk::CreateGtkPlatform(&argc, &argv).release();
        if (platform_ != nullptr) Install(platform_);
    }
    static void TearDownTestSuite() {
        if (server_ > 0) {
            kill(server_, SIGTERM);
            waitpid(server_, nullptr, 0);
        }
    }

    void SetUp() override {
        ASSERT_NE(platform_, nullptr) << "no display";
        TopLevelParams params;
        params.title = "browser gui test";
        params.outer = Rect::FromXYWH(40, 40, 640, 420);
        top_ = platform_->CreateTopLevel(params, nullptr);
        box_ = platform_->CreateChild(top_, Rect{0, 0, 600, 380}, nullptr);
        platform_->Show(box_, ShowCommand::NoActivate);
        platform_->Show(top_, ShowCommand::Normal);
        view_ = platform_->CreateWebView(box_, Rect{0, 0, 600, 380}, &host_);
        ASSERT_TRUE(view_);
        view_->SetSilent(true);
    }
    void TearDown() override {
        view_.reset();
        if (platform_ != nullptr) platform_->Destroy(top_);
    }

    // Runs the loop until `done` or about `ms` milliseconds have passed.
    template <typename F>
    bool RunUntil(F done, int ms = 15000) {
        bool timedOut = false;
        const TimerId timer = platform_->StartTimer(ms, [&] { timedOut = true; });
        platform_->RunLoop([&] { return !done() && !timedOut; });
        platform_->KillTimer(timer);
        return done();
    }
    bool Ready(const std::string& url) {
        for (const auto& u : host_.ready)
            if (u == url) return true;
        return false;
    }
    WindowId Page() const {
        WindowId w = box_;
        for (int i = 0; i < 3 && w != 0; ++i) w = platform_->FirstChild(w);
        return w;
    }
    void RightClick(Point client) {
        const Point screen = platform_->ClientToScreen(box_, client);
        ASSERT_TRUE(FakeRightClick(screen.x, screen.y));
    }

    static inline pid_t server_ = -1;
    static inline Platform* platform_ = nullptr;
    WindowId top_ = 0, box_ = 0;
    RecordingHost host_;
    std::unique_ptr<WebView> view_;
};

TEST_F(WebViewGuiTest, LoginPageAndFrameReportTheirLoads) {
    EXPECT_EQ(platform_->FirstChild(box_), view_->Window());
    view_->Navigate(kBase + "login.html");
    ASSERT_TRUE(RunUntil([&] { return Ready(kBase + "login.html") && Ready(kBase + "frame.html"); }));
    EXPECT_EQ(host_.before.front(), kBase + "login.html");
    EXPECT_NE(std::find(host_.before.begin(), host_.before.end(), kBase + "frame.html"), host_.before.end());
    EXPECT_EQ(host_.committed.front(), kBase + "login.html");
    EXPECT_GE(host_.begins, 1);
    EXPECT_GE(host_.completes, 1);
    EXPECT_EQ(host_.lastMax, 100);
    EXPECT_EQ(view_->LocationUrl(), kBase + "login.html");
    EXPECT_TRUE(RunUntil([&] { return view_->LocationName() == "Kestrune login"; }, 3000));
    EXPECT_NE(Page(), 0u);
}

TEST_F(WebViewGuiTest, NewDocumentReplacesPageWindowAndCancelKeepsThePage) {
    view_->Navigate(kBase + "login.html");
    ASSERT_TRUE(RunUntil([&] { return Ready(kBase + "login.html"); }));
    const WindowId firstPage = Page();
    ASSERT_NE(firstPage, 0u);
    g_pageMessages.clear();
    platform_->SetWindowProc(firstPage, &SwallowingProc);

    view_->Navigate(kBase + "plain.html");
    ASSERT_TRUE(RunUntil([&] { return Ready(kBase + "plain.html"); }));
    EXPECT_FALSE(platform_->Exists(firstPage));
    EXPECT_NE(Page(), 0u);
    EXPECT_NE(Page(), firstPage);
    EXPECT_EQ(g_pageMessages, std::vector<std::uint32_t>{kMessageDestroy});
    EXPECT_TRUE(RunUntil([&] { return host_.canGoBack; }, 3000));

    view_->Navigate(kBase + "game.html?client=1");
    RunUntil([&] { return host_.before.back().find("client=1") != std::string::npos; }, 3000);
    RunUntil([] { return false; }, 500);
    EXPECT_EQ(view_->LocationUrl(), kBase + "plain.html");
}

TEST_F(WebViewGuiTest, RightClickSwallowedByPageChainReachesPageOnlyAsPress) {
    view_->Navigate(kBase + "login.html");
    ASSERT_TRUE(RunUntil([&] { return Ready(kBase + "login.html"); }));
    RunUntil([] { return false; }, 300);  // let the first frame paint
    g_pageMessages.clear();
    platform_->SetWindowProc(Page(), &SwallowingProc);
    RightClick({300, 340});
    ASSERT_TRUE(RunUntil([&] { return view_->LocationName().find("mousedown:2") != std::string::npos; }, 5000))
        << view_->LocationName();
    RunUntil([] { return false; }, 500);
    const std::string title = view_->LocationName();
    EXPECT_EQ(title.find("mouseup"), std::string::npos) << title;
    EXPECT_EQ(title.find("contextmenu"), std::string::npos) << title;
    const std::set<std::uint32_t> seen(g_pageMessages.begin(), g_pageMessages.end());
    EXPECT_TRUE(seen.count(kMessageRightButtonDown));
    EXPECT_TRUE(seen.count(kMessageRightButtonUp));
}

}  // namespace
}  // namespace kestrune::platform
