// The GTK web view inside a real window: notifications for pages and their frames, the page window
// replaced per document, cancelled navigations, new-window requests from links and scripts (only
// web addresses, and only a few, reach the default browser), what Silent keeps from appearing, the
// text size, a real right-click that the page's procedure chain swallows (the page sees the press,
// never the release or a context menu), and how pages come back: after the content process died,
// from an unreachable server, with F5; and the viewport a first page sees.
//
// Two local servers: the demo login site, and this directory's site/ with the test pages. The
// user's default browser is, for this process, a recorder script that notes each address it is
// asked to open (an XDG mimeapps.list of its own).
#include <arpa/inet.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <webkit2/webkit2.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/PageRecovery.h"
#include "platform/Platform.h"
#include "platform/WebView.h"
#include "platform/gtk/GtkEventOrder.h"
#include "platform/gtk/GtkWindowTable.h"
#include "platform/gtk/GtkPlatform.h"
#include "platform/gtk/GtkWebView.h"
#include "tests/gui/DemoServerProcess.h"

bool FakeClick(int screenX, int screenY, unsigned button);  // FakeClick.cpp
bool FakeKey(unsigned long keysym, bool control);          // FakeClick.cpp

namespace kestrune::platform {
namespace {

using kestrune::testing::FreePort;
using kestrune::testing::StartDemoServer;
using kestrune::testing::StopServer;

// Where the two sites are served (free loopback ports, chosen when the suite starts).
std::string g_base, g_testBase;

class RecordingHost : public WebViewHost {
public:
    // The address notifications in the order they came: 'B' before navigate, 'C' navigation
    // committed, 'R' document ready.
    using Entry = std::pair<char, std::string>;

    bool BeforeNavigate(const std::string& url) override {
        before.push_back(url);
        log.emplace_back('B', url);
        return url.find("client=1") == std::string::npos;
    }
    void NavigateComplete(const std::string& url) override {
        committed.push_back(url);
        log.emplace_back('C', url);
    }
    void DocumentComplete(const std::string& url) override {
        ready.push_back(url);
        log.emplace_back('R', url);
    }
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
        return allowNewWindow;
    }

    // Where in the log the notification `kind` for `url` is; -1 if it never came.
    int Index(char kind, const std::string& url) const {
        const auto it = std::find(log.begin(), log.end(), Entry{kind, url});
        return it == log.end() ? -1 : static_cast<int>(it - log.begin());
    }
    int Count(char kind, const std::string& url) const {
        return static_cast<int>(std::count(log.begin(), log.end(), Entry{kind, url}));
    }

    std::vector<std::string> before, committed, ready, titles, newWindows;
    std::vector<Entry> log;
    int begins = 0, completes = 0, lastProgress = -1, lastMax = -1;
    bool canGoBack = false;
    bool allowNewWindow = false;
};

std::string StartServer(const char* root, pid_t& pid, int fixedPort = 0) {
    return StartDemoServer(KESTRUNE_DEMO_SERVER, root, pid, fixedPort);
}

// The web content processes below this one (the engine may start them through a helper).
std::vector<pid_t> WebContentProcesses() {
    std::vector<pid_t> found;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return found;
    for (dirent* entry; (entry = readdir(proc)) != nullptr;) {
        const pid_t pid = static_cast<pid_t>(std::atoi(entry->d_name));
        if (pid <= 0) continue;
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
        const auto open = text.find('('), close = text.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        if (text.substr(open + 1, close - open - 1) != "WebKitWebProces") continue;
        if (close + 2 < text.size() && text[close + 2] == 'Z') continue;
        // Walk up the parents to this process.
        for (pid_t up = pid; up > 1;) {
            std::ifstream upStat("/proc/" + std::to_string(up) + "/stat");
            std::string upText((std::istreambuf_iterator<char>(upStat)), std::istreambuf_iterator<char>());
            const auto end = upText.rfind(')');
            if (end == std::string::npos) break;
            char state = 0;
            int parent = 0;
            if (std::sscanf(upText.c_str() + end + 1, " %c %d", &state, &parent) != 2) break;
            if (parent == getpid()) {
                found.push_back(pid);
                break;
            }
            up = parent;
        }
    }
    closedir(proc);
    return found;
}

void WriteFile(const std::filesystem::path& path, const std::string& text) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

void CollectDialogs(GtkWidget* widget, gpointer out) {
    if (GTK_IS_DIALOG(widget) || std::string(G_OBJECT_TYPE_NAME(widget)).find("Dialog") != std::string::npos)
        static_cast<std::vector<GtkWidget*>*>(out)->push_back(widget);
    if (GTK_IS_CONTAINER(widget)) gtk_container_forall(GTK_CONTAINER(widget), &CollectDialogs, out);
}

// Every dialog of this process that is on show: dialog windows, and the dialogs the web view draws
// inside itself (widgets of its own whose type names say so).
std::vector<GtkWidget*> VisibleDialogs() {
    std::vector<GtkWidget*> all;
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* item = toplevels; item != nullptr; item = item->next)
        if (gtk_widget_get_visible(GTK_WIDGET(item->data))) CollectDialogs(GTK_WIDGET(item->data), &all);
    g_list_free(toplevels);
    std::vector<GtkWidget*> shown;
    for (GtkWidget* widget : all)
        if (gtk_widget_get_visible(widget)) shown.push_back(widget);
    return shown;
}

std::vector<std::uint32_t> g_pageMessages;
std::intptr_t SwallowingProc(WindowId, std::uint32_t message, std::intptr_t, std::intptr_t) {
    g_pageMessages.push_back(message);
    return message == kMessageRightButtonUp || message == kMessageContextMenu ? 1 : 0;
}

class WebViewGuiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The default browser, before GIO first reads where applications are configured.
        char pattern[] = "/tmp/kestrune-browser-gui-XXXXXX";
        const char* made = mkdtemp(pattern);
        ASSERT_NE(made, nullptr);
        home_ = made;
        const std::filesystem::path recorder = home_ / "recorder.sh";
        WriteFile(recorder, "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + OpenedFile().string() + "'\n");
        chmod(recorder.c_str(), 0755);
        WriteFile(home_ / "data/applications/kestrune-test-browser.desktop",
                  "[Desktop Entry]\nType=Application\nName=Recorder\nExec=" + recorder.string() + " %u\nMimeType=" +
                      kHandledTypes + "\n");
        // The recorder stands in for every program a page might try to reach through the desktop.
        std::string defaults = "[Default Applications]\n";
        for (std::string types = kHandledTypes; !types.empty();) {
            const auto end = types.find(';');
            defaults += types.substr(0, end) + "=kestrune-test-browser.desktop\n";
            types.erase(0, end == std::string::npos ? types.size() : end + 1);
        }
        WriteFile(home_ / "config/mimeapps.list", defaults);
        // Where a download would land, inside the test's own folder.
        std::filesystem::create_directories(home_ / "Downloads");
        WriteFile(home_ / "config/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"" + (home_ / "Downloads").string() + "\"\n");
        // The user's own data folder stays: the web processes keep writing there after the suite.
        const char* dataDirs = std::getenv("XDG_DATA_DIRS");
        const std::string systemDirs = dataDirs != nullptr && *dataDirs != '\0' ? dataDirs : "/usr/local/share:/usr/share";
        setenv("XDG_DATA_DIRS", ((home_ / "data").string() + ":" + systemDirs).c_str(), 1);
        setenv("XDG_CONFIG_HOME", (home_ / "config").c_str(), 1);

        g_base = StartServer(KESTRUNE_DEMO_SITE, server_);
        ASSERT_FALSE(g_base.empty()) << "no demo server";
        g_testBase = StartServer(KESTRUNE_TEST_SITE, testServer_);
        ASSERT_FALSE(g_testBase.empty()) << "no test page server";
        int argc = 1;
        static char name[] = "kestrune_browser_gui_tests";
        static char* args[] = {name, nullptr};
        char** argv = args;
        platform_ = gtk::CreateGtkPlatform(&argc, &argv).release();
        if (platform_ != nullptr) Install(platform_);
    }
    static void TearDownTestSuite() {
        StopServer(server_);
        StopServer(testServer_);
        if (!home_.empty()) std::filesystem::remove_all(home_);
    }

    static constexpr const char* kHandledTypes =
        "x-scheme-handler/http;x-scheme-handler/https;x-scheme-handler/file;inode/directory;"
        "x-scheme-handler/smb;x-scheme-handler/x-test-scheme;x-scheme-handler/javascript;"
        "x-scheme-handler/data;text/html";

    static std::filesystem::path OpenedFile() { return home_ / "opened.txt"; }
    static void ForgetOpened() { std::filesystem::remove(OpenedFile()); }
    // Launches of the default browser are limited per ten seconds for the whole process: a test that
    // counts them starts once the previous test's launches are out of that window.
    void AwaitLaunchWindow() {
        const auto since =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - lastLaunches_);
        const auto wait = std::chrono::milliseconds(10300) - since;
        if (wait.count() > 0) RunUntil([] { return false; }, static_cast<int>(wait.count()));
        ForgetOpened();
    }
    static void NoteLaunches() { lastLaunches_ = std::chrono::steady_clock::now(); }
    // The addresses the default browser was asked to open, in the order it noted them.
    static std::vector<std::string> Opened() {
        std::vector<std::string> lines;
        std::ifstream in(OpenedFile());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
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
    void Click(Point client, unsigned button = 1) {
        const Point screen = platform_->ClientToScreen(box_, client);
        ASSERT_TRUE(FakeClick(screen.x, screen.y, button));
    }
    void RightClick(Point client) { Click(client, 3); }
    bool TitleIs(const std::string& title) const { return view_->LocationName() == title; }

    static inline std::chrono::steady_clock::time_point lastLaunches_{};
    static inline pid_t server_ = -1;
    static inline pid_t testServer_ = -1;
    static inline std::filesystem::path home_;
    static inline Platform* platform_ = nullptr;
    WindowId top_ = 0, box_ = 0;
    RecordingHost host_;
    std::unique_ptr<WebView> view_;
};

TEST_F(WebViewGuiTest, LoginPageAndFrameReportTheirLoads) {
    EXPECT_EQ(platform_->FirstChild(box_), view_->Window());
    view_->Navigate(g_base + "login.html");
    ASSERT_TRUE(RunUntil([&] { return Ready(g_base + "login.html") && Ready(g_base + "frame.html"); }));
    EXPECT_EQ(host_.before.front(), g_base + "login.html");
    EXPECT_NE(std::find(host_.before.begin(), host_.before.end(), g_base + "frame.html"), host_.before.end());
    EXPECT_EQ(host_.committed.front(), g_base + "login.html");
    EXPECT_NE(std::find(host_.committed.begin(), host_.committed.end(), g_base + "frame.html"), host_.committed.end());
    EXPECT_GE(host_.begins, 1);
    EXPECT_GE(host_.completes, 1);
    EXPECT_EQ(host_.lastMax, 100);
    EXPECT_EQ(view_->LocationUrl(), g_base + "login.html");
    EXPECT_TRUE(RunUntil([&] { return TitleIs("Kestrune login"); }));
    EXPECT_NE(Page(), 0u);
}

TEST_F(WebViewGuiTest, NewDocumentReplacesPageWindowAndCancelKeepsThePage) {
    view_->Navigate(g_base + "login.html");
    ASSERT_TRUE(RunUntil([&] { return Ready(g_base + "login.html"); }));
    const WindowId firstPage = Page();
    ASSERT_NE(firstPage, 0u);
    g_pageMessages.clear();
    platform_->SetWindowProc(firstPage, &SwallowingProc);

    view_->Navigate(g_base + "plain.html");
    ASSERT_TRUE(RunUntil([&] { return Ready(g_base + "plain.html"); }));
    EXPECT_FALSE(platform_->Exists(firstPage));
    EXPECT_NE(Page(), 0u);
    EXPECT_NE(Page(), firstPage);
    EXPECT_EQ(g_pageMessages, std::vector<std::uint32_t>{kMessageDestroy});
    EXPECT_TRUE(RunUntil([&] { return host_.canGoBack; }));

    const int beginsBefore = host_.begins;
    view_->Navigate(g_base + "game.html?client=1");
    ASSERT_TRUE(RunUntil([&] { return host_.before.back().find("client=1") != std::string::npos; }));
    // Nothing more is expected: give a navigation that went ahead wrongly the time to start.
    RunUntil([] { return false; }, 1000);
    EXPECT_EQ(host_.begins, beginsBefore);
    EXPECT_EQ(std::count(host_.committed.begin(), host_.committed.end(), g_base + "game.html?client=1"), 0);
    EXPECT_EQ(view_->LocationUrl(), g_base + "plain.html");
}

TEST_F(WebViewGuiTest, RightClickSwallowedByPageChainReachesPageOnlyAsPress) {
    view_->Navigate(g_base + "login.html");
    ASSERT_TRUE(RunUntil([&] { return Ready(g_base + "login.html"); }));
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

TEST_F(WebViewGuiTest, NavigationsInsideFramesRaiseBeforeCommitAndReadyWithTheFrameAddress) {
    const std::string page = g_testBase + "frames.html";
    const std::string first = g_testBase + "inner.html";
    const std::string second = g_testBase + "inner.html?second";  // the frame moves itself on
    view_->Navigate(page);
    ASSERT_TRUE(RunUntil([&] { return Ready(page) && Ready(second); }));
    for (const std::string& frame : {first, second}) {
        SCOPED_TRACE(frame);
        EXPECT_EQ(host_.Count('B', frame), 1);
        EXPECT_EQ(host_.Count('C', frame), 1);
        EXPECT_EQ(host_.Count('R', frame), 1);
        EXPECT_LT(host_.Index('B', frame), host_.Index('C', frame));
        EXPECT_LT(host_.Index('C', frame), host_.Index('R', frame));
    }
    EXPECT_LT(host_.Index('R', first), host_.Index('B', second));
    // Nothing else is reported: not the frames' initial empty documents either.
    for (const auto& [kind, url] : host_.log)
        EXPECT_TRUE(url == page || url == first || url == second) << kind << ' ' << url;
    // The page itself committed once; frames never pass for it.
    EXPECT_EQ(host_.committed.front(), page);
    EXPECT_EQ(host_.Count('C', page), 1);
    EXPECT_EQ(view_->LocationUrl(), page);
}

TEST_F(WebViewGuiTest, NewWindowRequestsOfLinksAndScriptsAreRaisedOnceAndOpenInTheDefaultBrowserUnlessCancelled) {
    const std::string page = g_testBase + "newwindow.html";
    const std::string viaLink = g_testBase + "opened.html?via=link";
    const std::string viaScript = g_testBase + "opened.html?via=script";
    const Point link{300, 75}, script{300, 225};
    AwaitLaunchWindow();
    view_->Navigate(page);
    ASSERT_TRUE(RunUntil([&] { return Ready(page); }));

    // Cancelled: nothing opens.
    host_.allowNewWindow = false;
    Click(link);
    ASSERT_TRUE(RunUntil([&] { return !host_.newWindows.empty(); }));
    Click(script);
    ASSERT_TRUE(RunUntil([&] { return TitleIs("script 1 null"); })) << view_->LocationName();
    EXPECT_EQ(host_.newWindows, (std::vector<std::string>{viaLink, viaScript}));

    // Not cancelled: the address goes to the user's default browser; the page still gets no window.
    host_.allowNewWindow = true;
    Click(link);
    ASSERT_TRUE(RunUntil([&] { return host_.newWindows.size() >= 3; }));
    Click(script);
    ASSERT_TRUE(RunUntil([&] { return TitleIs("script 2 null"); })) << view_->LocationName();
    ASSERT_TRUE(RunUntil([&] { return Opened().size() >= 2; })) << Opened().size();
    EXPECT_EQ(host_.newWindows, (std::vector<std::string>{viaLink, viaScript, viaLink, viaScript}));
    std::vector<std::string> opened = Opened();
    std::sort(opened.begin(), opened.end());
    EXPECT_EQ(opened, (std::vector<std::string>{viaLink, viaScript}));

    // The view itself stayed where it was.
    EXPECT_EQ(host_.Count('B', viaLink) + host_.Count('B', viaScript), 0);
    EXPECT_EQ(view_->LocationUrl(), page);
    NoteLaunches();
}

// Sets an environment variable for the scope (unset when `value` is null), then puts it back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        had_ = old != nullptr;
        if (had_) old_ = old;
        if (value != nullptr) setenv(name, value, 1);
        else unsetenv(name);
    }
    ~ScopedEnv() {
        if (had_) setenv(name_.c_str(), old_.c_str(), 1);
        else unsetenv(name_.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_, old_;
    bool had_ = false;
};

TEST_F(WebViewGuiTest, ASlowDesktopSessionDoesNotHoldUpTheLoopWhileTheDefaultBrowserOpens) {
    const std::string page = g_testBase + "newwindow.html";
    const std::string viaLink = g_testBase + "opened.html?via=link";
    AwaitLaunchWindow();
    view_->Navigate(page);
    ASSERT_TRUE(RunUntil([&] { return Ready(page); }));

    // No session bus anywhere, and the program that would start one takes seconds before it fails.
    const std::filesystem::path slow = home_ / "slow-session";
    const std::filesystem::path asked = slow / "asked";
    std::filesystem::remove(asked);
    WriteFile(slow / "dbus-launch", "#!/bin/sh\n: >> '" + asked.string() + "'\nsleep 4\nexit 1\n");
    chmod((slow / "dbus-launch").c_str(), 0755);
    const char* path = std::getenv("PATH");
    const ScopedEnv searched("PATH", (slow.string() + ":" + (path != nullptr ? path : "/usr/bin:/bin")).c_str());
    const ScopedEnv noBus("DBUS_SESSION_BUS_ADDRESS", nullptr);
    const ScopedEnv noRuntimeBus("XDG_RUNTIME_DIR", slow.c_str());

    // The loop's longest pause from the click until the browser has the address.
    auto last = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration longest{};
    const TimerId ticker = platform_->StartTimer(20, [&] {
        const auto now = std::chrono::steady_clock::now();
        longest = std::max(longest, now - last);
        last = now;
    });
    host_.allowNewWindow = true;
    Click({300, 75});
    const bool opened = RunUntil([&] { return !Opened().empty(); });
    platform_->KillTimer(ticker);
    NoteLaunches();
    ASSERT_TRUE(std::filesystem::exists(asked)) << "the launch never looked for a session bus";
    ASSERT_TRUE(opened);
    EXPECT_EQ(Opened(), std::vector<std::string>{viaLink});
    EXPECT_EQ(host_.newWindows, std::vector<std::string>{viaLink});
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(longest).count(), 1000);
}

TEST_F(WebViewGuiTest, APageInADisabledWindowGetsNoClickFromTheMomentItIsDisabled) {
    const std::string page = g_testBase + "newwindow.html";
    const Point link{300, 75};
    host_.allowNewWindow = false;
    view_->Navigate(page);
    ASSERT_TRUE(RunUntil([&] { return Ready(page); }));
    // The click is already waiting for the program when its window is disabled (as when the game
    // window opens in dialog mode): the page must not get it.
    Click(link);
    g_usleep(100 * 1000);
    platform_->Enable(top_, false);
    RunUntil([] { return false; }, 400);
    EXPECT_TRUE(host_.newWindows.empty());
    platform_->Enable(top_, true);
    Click(link);
    EXPECT_TRUE(RunUntil([&] { return !host_.newWindows.empty(); }));
}

TEST_F(WebViewGuiTest, SilentAnswersScriptDialogsWithoutShowingThem) {
    ASSERT_TRUE(view_->Silent());
    view_->Navigate(g_testBase + "dialogs.html");
    // The page's script goes on past each dialog: an alert dismissed, a confirmation answered
    // "no", a prompt answered with nothing.
    ASSERT_TRUE(RunUntil([&] { return TitleIs("answered false null"); })) << view_->LocationName();
    EXPECT_TRUE(VisibleDialogs().empty());

    // Not silent, the same script stops at its alert, which is on show.
    view_->SetSilent(false);
    view_->Navigate(g_testBase + "dialogs.html?shown");
    ASSERT_TRUE(RunUntil([&] { return !VisibleDialogs().empty(); }));
    EXPECT_NE(view_->LocationName().rfind("answered", 0), 0u) << view_->LocationName();
}

TEST_F(WebViewGuiTest, SilentKeepsTheColourChooserClosed) {
    const std::string page = g_testBase + "colour.html";
    const Point input{300, 150};
    view_->Navigate(page);
    ASSERT_TRUE(RunUntil([&] { return Ready(page); }));

    // The page counts the click after the click's default action has asked for the chooser.
    Click(input);
    ASSERT_TRUE(RunUntil([&] { return TitleIs("clicked 1"); })) << view_->LocationName();
    EXPECT_TRUE(VisibleDialogs().empty());

    // Not silent, the click opens it. (An input that has asked once counts its chooser as open
    // for as long as its document lives, so a new document asks.)
    view_->SetSilent(false);
    view_->Navigate(page + "?again");
    ASSERT_TRUE(RunUntil([&] { return Ready(page + "?again"); }));
    Click(input);
    ASSERT_TRUE(RunUntil([&] { return TitleIs("clicked 1"); })) << view_->LocationName();
    GtkWidget* chooser = nullptr;
    ASSERT_TRUE(RunUntil([&] {
        for (GtkWidget* dialog : VisibleDialogs())
            if (GTK_IS_COLOR_CHOOSER_DIALOG(dialog)) chooser = dialog;
        return chooser != nullptr;
    }));
    gtk_dialog_response(GTK_DIALOG(chooser), GTK_RESPONSE_CANCEL);
    EXPECT_TRUE(RunUntil([&] { return VisibleDialogs().empty(); }));
}

TEST_F(WebViewGuiTest, FontSizeScalesTheTextOfThePage) {
    const std::string page = g_testBase + "text.html";
    view_->Navigate(page);
    ASSERT_TRUE(RunUntil([&] { return TitleIs("height 100"); })) << view_->LocationName();
    // Each step changes the size, so that every one is seen; out-of-range levels are clamped.
    for (const int level : {4, 2, 7, -3, 1, 3, 0}) {
        const long expected = std::lround(100 * gtk::TextZoomFactor(level));
        view_->SetTextZoom(level);
        EXPECT_TRUE(RunUntil([&] { return TitleIs("height " + std::to_string(expected)); }))
            << "level " << level << ": " << view_->LocationName();
    }
    EXPECT_LT(gtk::TextZoomFactor(0), gtk::TextZoomFactor(1));
    EXPECT_LT(gtk::TextZoomFactor(1), gtk::TextZoomFactor(2));
    EXPECT_EQ(gtk::TextZoomFactor(2), 1.0);
    EXPECT_LT(gtk::TextZoomFactor(2), gtk::TextZoomFactor(3));
    EXPECT_LT(gtk::TextZoomFactor(3), gtk::TextZoomFactor(4));
}

TEST_F(WebViewGuiTest, OnlyWebAddressesGoToTheDefaultBrowser) {
    AwaitLaunchWindow();
    const std::string page = g_testBase + "schemes.html";
    const std::string https = "https://" + g_testBase.substr(7) + "opened.html?via=https";  // 127.0.0.1:port
    view_->Navigate(page);
    ASSERT_TRUE(RunUntil([&] { return Ready(page); }));
    host_.allowNewWindow = true;
    // One click per address, each a gesture of its own (the strips are 54 pixels apart).
    for (int strip = 0; strip < 7; ++strip) {
        const std::size_t before = host_.newWindows.size();
        Click({300, 25 + 54 * strip});
        RunUntil([&] { return host_.newWindows.size() > before; }, 1500);
    }
    RunUntil([] { return false; }, 1500);  // time for a wrongly started program to note its address
    NoteLaunches();
    EXPECT_EQ(Opened(), std::vector<std::string>{https});
    // The page's handler heard of each request the engine let through, first among them the web one.
    ASSERT_FALSE(host_.newWindows.empty());
    EXPECT_EQ(host_.newWindows.front(), https);
    for (const char* reached : {"smb://127.0.0.1/share", "x-test-scheme:run"})
        EXPECT_NE(std::find(host_.newWindows.begin(), host_.newWindows.end(), reached), host_.newWindows.end())
            << reached;
    EXPECT_EQ(view_->LocationUrl(), page);
}

// Every file under `folder` whose name is `name`.
std::vector<std::filesystem::path> FilesNamed(const std::filesystem::path& folder, const std::string& name) {
    std::vector<std::filesystem::path> found;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        if (it->path().filename() == name) found.push_back(it->path());
    return found;
}

TEST_F(WebViewGuiTest, DownloadsSaveNothingAndGoToTheDefaultBrowser) {
    AwaitLaunchWindow();
    const std::string page = g_testBase + "downloads.html";
    view_->Navigate(page);
    ASSERT_TRUE(RunUntil([&] { return Ready(page); }));
    Click({300, 75});    // the download attribute
    ASSERT_TRUE(RunUntil([&] { return Opened().size() >= 1; })) << "the first download was not handed over";
    Click({300, 225});   // a type the view cannot show
    ASSERT_TRUE(RunUntil([&] { return Opened().size() >= 2; })) << "the second download was not handed over";
    RunUntil([] { return false; }, 1000);  // time for a wrongly started download to write its file
    NoteLaunches();
    EXPECT_EQ(Opened(), (std::vector<std::string>{g_testBase + "opened.html?via=download", g_testBase + "payload.bin"}));
    for (const char* name : {"saved.html", "payload.bin", "opened.html"})
        EXPECT_EQ(FilesNamed(home_, name), std::vector<std::filesystem::path>{}) << name;
    EXPECT_EQ(view_->LocationUrl(), page);
}

// The same attachment link, clicked again and again: each click's download saves nothing and goes to
// the default browser, until the gate's three in ten seconds are used up; the fourth is refused and
// the refusal logged.
TEST_F(WebViewGuiTest, AnAttachmentClickedAgainIsHandedOverUntilTheGateRefusesAndLogs) {
    AwaitLaunchWindow();
    const std::string page = g_testBase + "attachment.html";
    const std::string attachment = g_testBase + "attachments/report.html";
    view_->Navigate(page);
    ASSERT_TRUE(RunUntil([&] { return Ready(page); }));
    // What the launcher logs (through GLib's printerr) while the link is clicked.
    static std::string log;
    log.clear();
    const GPrintFunc previous = g_set_printerr_handler([](const gchar* text) { log += text; });
    for (std::size_t click = 1; click <= 4; ++click) {
        Click({300, 190});
        if (click <= 3) {
            ASSERT_TRUE(RunUntil([&] { return Opened().size() >= click; })) << "click " << click << " not handed over";
        }
    }
    RunUntil([] { return false; }, 1500);  // the refusals are logged once a second
    NoteLaunches();
    g_set_printerr_handler(previous);
    EXPECT_EQ(Opened(), std::vector<std::string>(3, attachment));
    EXPECT_NE(log.find("1 request(s) to open the user's browser refused"), std::string::npos) << log;
    EXPECT_EQ(FilesNamed(home_, "report.html"), std::vector<std::filesystem::path>{});
    EXPECT_EQ(view_->LocationUrl(), page);
    EXPECT_FALSE(TitleIs(kStoppedPageTitle));  // a page that stays shown is no blank box
}

// A box whose own address turns out to be a download has nothing to show: the built-in page stands
// in, and F5 asks for the address again. A navigation the host refuses leaves the box as it was.
TEST_F(WebViewGuiTest, ABoxLeftBlankByAStoppedLoadShowsTheBuiltInPageAndF5AsksAgain) {
    const std::string refused = g_testBase + "plain.html?client=1";
    view_->Navigate(refused);
    RunUntil([] { return false; }, 1000);
    EXPECT_EQ(host_.Count('B', refused), 1);
    EXPECT_EQ(view_->LocationUrl(), "");
    EXPECT_FALSE(TitleIs(kStoppedPageTitle));

    AwaitLaunchWindow();
    const std::string attachment = g_testBase + "attachments/report.html";
    view_->Navigate(attachment);
    ASSERT_TRUE(RunUntil([&] { return TitleIs(kStoppedPageTitle); })) << view_->LocationName();
    EXPECT_EQ(view_->LocationUrl(), attachment);
    EXPECT_EQ(host_.Count('B', attachment), 1);
    RunUntil([] { return false; }, 300);
    Click({300, 200});  // the view takes the focus
    RunUntil([] { return false; }, 200);
    ASSERT_TRUE(FakeKey(0xffc2 /* F5 */, false));
    ASSERT_TRUE(RunUntil([&] { return host_.Count('B', attachment) == 2; }));
    EXPECT_TRUE(RunUntil([&] { return TitleIs(kStoppedPageTitle); }));
    NoteLaunches();
    EXPECT_EQ(FilesNamed(home_, "report.html"), std::vector<std::filesystem::path>{});
}

TEST_F(WebViewGuiTest, ScriptAskingForAThousandWindowsPerClickGetsOnePerClickAndThreeInTenSeconds) {
    AwaitLaunchWindow();
    const std::string page = g_testBase + "flood.html";
    view_->Navigate(page);
    ASSERT_TRUE(RunUntil([&] { return Ready(page); }));
    host_.allowNewWindow = true;
    for (int click = 1; click <= 4; ++click) {
        Click({300, 190});
        ASSERT_TRUE(RunUntil([&] { return TitleIs("flood " + std::to_string(click)); })) << view_->LocationName();
    }
    RunUntil([] { return false; }, 1500);
    NoteLaunches();
    std::vector<std::string> opened = Opened();
    std::sort(opened.begin(), opened.end());
    EXPECT_EQ(opened, (std::vector<std::string>{g_testBase + "opened.html?click=1&n=0",
                                                g_testBase + "opened.html?click=2&n=0",
                                                g_testBase + "opened.html?click=3&n=0"}));
    EXPECT_GE(host_.newWindows.size(), 4u);  // the page's handler still hears of every request
}

TEST_F(WebViewGuiTest, KilledContentProcessReloadsThePageThreeTimesAMinuteThenShowsTheErrorPage) {
    const std::string page = g_base + "login.html";
    view_->Navigate(page);
    ASSERT_TRUE(RunUntil([&] { return Ready(page); }));
    for (int kill = 1; kill <= 4; ++kill) {
        SCOPED_TRACE(kill);
        std::vector<pid_t> processes;
        ASSERT_TRUE(RunUntil([&] { return !(processes = WebContentProcesses()).empty(); }, 5000));
        const int before = host_.Count('B', page), readyBefore = host_.Count('R', page);
        for (pid_t pid : processes) ::kill(pid, SIGKILL);
        if (kill <= 3) {
            // A fresh request, and the page's document-ready again.
            ASSERT_TRUE(RunUntil([&] { return host_.Count('R', page) > readyBefore; }));
            EXPECT_EQ(host_.Count('B', page), before + 1);
            EXPECT_EQ(view_->LocationUrl(), page);
            EXPECT_TRUE(RunUntil([&] { return TitleIs("Kestrune login"); }));
        } else {
            ASSERT_TRUE(RunUntil([&] { return TitleIs(kUnreachablePageTitle); })) << view_->LocationName();
            EXPECT_EQ(host_.Count('B', page), before);
            EXPECT_EQ(view_->LocationUrl(), page);
        }
    }
}

TEST_F(WebViewGuiTest, UnreachableServerShowsTheErrorPageAndIsReachedOnceItListens) {
    const int port = FreePort();
    ASSERT_NE(port, 0);
    const std::string page = "http://127.0.0.1:" + std::to_string(port) + "/login.html";
    view_->Navigate(page);
    ASSERT_TRUE(RunUntil([&] { return TitleIs(kUnreachablePageTitle); })) << view_->LocationName();
    RunUntil([] { return false; }, 300);
    // The failed load reports what a load reports; the error page's own load adds nothing.
    EXPECT_EQ(host_.log, (std::vector<RecordingHost::Entry>{{'B', page}, {'R', page}}));
    EXPECT_EQ(host_.begins, 1);
    EXPECT_EQ(host_.completes, 1);
    EXPECT_TRUE(host_.titles.empty());
    EXPECT_EQ(view_->LocationUrl(), page);

    // Its retry button tries again at once (and fails again: nothing listens yet).
    auto* webView = WEBKIT_WEB_VIEW(gtk::WidgetOf(view_->Window()));
    webkit_web_view_evaluate_javascript(webView, "document.getElementById('retry').click()", -1, nullptr, nullptr,
                                        nullptr, nullptr, nullptr);
    ASSERT_TRUE(RunUntil([&] { return host_.Count('R', page) == 2; }));
    EXPECT_EQ(host_.Count('B', page), 2);
    EXPECT_TRUE(RunUntil([&] { return TitleIs(kUnreachablePageTitle); }));

    // A server that comes up later is reached without a click (the first retry is 15 s after the
    // last failure).
    pid_t late = -1;
    ASSERT_FALSE(StartServer(KESTRUNE_DEMO_SITE, late, port).empty());
    const bool reached = RunUntil([&] { return host_.Count('C', page) == 1 && TitleIs("Kestrune login"); }, 25000);
    StopServer(late);
    EXPECT_TRUE(reached) << view_->LocationName();
    EXPECT_EQ(host_.Count('B', page), 3);
}

TEST_F(WebViewGuiTest, ErrorPageRetriesAtOnceWhenTheNetworkComesBack) {
    const int port = FreePort();
    ASSERT_NE(port, 0);
    const std::string page = "http://127.0.0.1:" + std::to_string(port) + "/plain.html";
    view_->Navigate(page);
    ASSERT_TRUE(RunUntil([&] { return TitleIs(kUnreachablePageTitle); })) << view_->LocationName();
    pid_t late = -1;
    ASSERT_FALSE(StartServer(KESTRUNE_DEMO_SITE, late, port).empty());
    // What the system's network monitor says when a connection comes up; the timed retry is 15 s off.
    const auto asked = std::chrono::steady_clock::now();
    g_signal_emit_by_name(g_network_monitor_get_default(), "network-changed", TRUE);
    const bool reached = RunUntil([&] { return host_.Count('C', page) == 1; }, 5000);
    StopServer(late);
    EXPECT_TRUE(reached) << view_->LocationName();
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(5));
    // A monitor saying the network went away changes nothing.
    g_signal_emit_by_name(g_network_monitor_get_default(), "network-changed", FALSE);
    RunUntil([] { return false; }, 300);
    EXPECT_EQ(host_.Count('B', page), 2);
}

TEST_F(WebViewGuiTest, F5AndControlRLoadThePageAgain) {
    const std::string page = g_base + "plain.html";
    view_->Navigate(page);
    ASSERT_TRUE(RunUntil([&] { return Ready(page); }));
    RunUntil([] { return false; }, 200);
    Click({300, 200});  // the view takes the focus
    RunUntil([] { return false; }, 200);
    ASSERT_TRUE(FakeKey(0xffc2 /* F5 */, false));
    ASSERT_TRUE(RunUntil([&] { return host_.Count('R', page) == 2; }));
    EXPECT_EQ(host_.Count('B', page), 2);
    EXPECT_EQ(host_.Count('C', page), 2);
    ASSERT_TRUE(FakeKey('r', true));
    ASSERT_TRUE(RunUntil([&] { return host_.Count('R', page) == 3; }));
    EXPECT_EQ(host_.Count('B', page), 3);
}

// A window that keeps its box and the view in it at its client size, as the game window does.
class FollowingWindow : public WindowHost {
public:
    // A resizable framed window, still hidden, with its box shown and a view in the box reporting to
    // `pageHost`.
    std::unique_ptr<WebView> Open(const std::string& title, WebViewHost* pageHost) {
        TopLevelParams params;
        params.title = title;
        params.style.frame = params.style.caption = params.style.resizable = params.style.maximizeBox = true;
        params.outer = Rect::FromXYWH(60, 60, 500, 300);
        top = Current().CreateTopLevel(params, this);
        box = Current().CreateChild(top, Rect{0, 0, 480, 260}, nullptr);
        Current().Show(box, ShowCommand::NoActivate);
        std::unique_ptr<WebView> made = Current().CreateWebView(box, Rect{0, 0, 480, 260}, pageHost);
        if (made) view = made->Window();
        return made;
    }
    void Resized() override {
        if (!Current().Exists(top)) return;
        const Size client = Current().GetClientSize(top);
        for (WindowId w : {box, view})
            if (w != 0 && Current().Exists(w)) Current().Resize(w, client);
    }
    WindowId top = 0, box = 0, view = 0;
};

TEST_F(WebViewGuiTest, FirstPageOfAViewMadeBeforeItsWindowShowsSeesTheFinalViewport) {
    const std::string page = g_testBase + "viewport.html";
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        FollowingWindow host;
        RecordingHost pageHost;
        std::unique_ptr<WebView> view = host.Open("viewport", &pageHost);
        ASSERT_TRUE(view);
        // Asked for while the window is still hidden, like the pages of windows being loaded, with
        // the rest of the window's creation taking a moment (longer, at times, than the page).
        view->Navigate(page);
        RunUntil([] { return false; }, 40 * (round % 5));
        platform_->Show(host.top, ShowCommand::Maximized);
        ASSERT_TRUE(RunUntil([&] { return view->LocationName().rfind("first ", 0) == 0; })) << view->LocationName();
        RunUntil([] { return false; }, 300);
        const Rect box = platform_->GetOuterRect(host.box);
        const std::string size = std::to_string(box.Width()) + "x" + std::to_string(box.Height());
        EXPECT_EQ(view->LocationName(), "first " + size + " load " + size);
        EXPECT_TRUE(platform_->IsMaximized(host.top));
        view.reset();
        platform_->Destroy(host.top);
    }
}

// Serves one page on a loopback port of its own from a thread of its own and counts the requests
// for it, so a test can see a request arrive while the loop that made it is busy elsewhere.
class CountingPageServer {
public:
    explicit CountingPageServer(std::string page) : page_(std::move(page)) {
        listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(listener_, 8) != 0 || getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        base_ = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/";
        thread_ = std::thread([this] { Serve(); });
    }
    ~CountingPageServer() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (listener_ >= 0) close(listener_);
    }
    CountingPageServer(const CountingPageServer&) = delete;
    CountingPageServer& operator=(const CountingPageServer&) = delete;

    const std::string& Base() const { return base_; }
    int PageRequests() const { return requests_; }

private:
    void Serve() {
        while (!stop_) {
            pollfd waiting{listener_, POLLIN, 0};
            if (poll(&waiting, 1, 50) <= 0) continue;
            const int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (connection < 0) continue;
            std::string request;
            char chunk[2048];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const ssize_t got = recv(connection, chunk, sizeof chunk, 0);
                if (got <= 0) break;
                request.append(chunk, static_cast<std::size_t>(got));
            }
            const bool page = request.rfind("GET /page.html", 0) == 0;
            if (page) ++requests_;
            const std::string body = page ? page_ : "";
            const std::string reply = std::string(page ? "HTTP/1.1 200 OK\r\n" : "HTTP/1.1 404 Not Found\r\n") +
                                      "Content-Type: text/html; charset=utf-8\r\nContent-Length: " +
                                      std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
            for (std::size_t sent = 0; sent < reply.size();) {
                const ssize_t n = send(connection, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) break;
                sent += static_cast<std::size_t>(n);
            }
            close(connection);
        }
    }

    std::string page_;
    std::string base_;
    int listener_ = -1;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
};

// The request of a first page goes out at once, while its window is still hidden; its document (so
// every script of it) waits until the view is on screen at its final size.
TEST_F(WebViewGuiTest, FirstPageIsAskedForAtOnceAndLetInAtTheFinalSize) {
    std::ifstream source(std::string(KESTRUNE_TEST_SITE) + "/viewport.html");
    CountingPageServer server(std::string((std::istreambuf_iterator<char>(source)), std::istreambuf_iterator<char>()));
    ASSERT_FALSE(server.Base().empty());
    const std::string page = server.Base() + "page.html";
    FollowingWindow host;
    RecordingHost pageHost;
    std::unique_ptr<WebView> view = host.Open("early request", &pageHost);
    ASSERT_TRUE(view);
    view->Navigate(page);
    EXPECT_TRUE(RunUntil([&] { return server.PageRequests() == 1; }, 5000));
    RunUntil([] { return false; }, 300);
    EXPECT_EQ(pageHost.Index('B', page), 0);
    EXPECT_TRUE(pageHost.committed.empty());
    EXPECT_EQ(view->LocationName(), "");
    EXPECT_EQ(view->LocationUrl(), page);

    platform_->Show(host.top, ShowCommand::Maximized);
    ASSERT_TRUE(RunUntil([&] { return view->LocationName().rfind("first ", 0) == 0; })) << view->LocationName();
    const Rect box = platform_->GetOuterRect(host.box);
    const std::string size = std::to_string(box.Width()) + "x" + std::to_string(box.Height());
    EXPECT_EQ(view->LocationName(), "first " + size + " load " + size);
    EXPECT_EQ(server.PageRequests(), 1);
    EXPECT_EQ(pageHost.Count('C', page), 1);
    EXPECT_EQ(pageHost.Count('R', page), 1);
    view.reset();
    platform_->Destroy(host.top);
}

// A window whose view was prepared for `address` before it was made, as the game window's is.
struct PreparedWindow {
    PreparedWindow(const std::string& address, const std::string& title) {
        Current().PrepareWebView(address, {});
        view = host.Open(title, &pageHost);
    }
    ~PreparedWindow() {
        view.reset();
        Current().Destroy(host.top);
    }
    FollowingWindow host;
    RecordingHost pageHost;
    std::unique_ptr<WebView> view;
};

// A view made ahead of its window (the game window's, at the hand-off) starts on its page at once,
// but nothing is requested before its host has allowed the navigation, asked from the loop after
// the host's first Navigate; a view sent elsewhere, or never made, asks for the prepared page never.
TEST_F(WebViewGuiTest, APreparedPageIsRequestedOnlyOnceItsHostHasAllowedIt) {
    std::ifstream source(std::string(KESTRUNE_TEST_SITE) + "/viewport.html");
    CountingPageServer server(std::string((std::istreambuf_iterator<char>(source)), std::istreambuf_iterator<char>()));
    ASSERT_FALSE(server.Base().empty());
    const std::string refused = server.Base() + "page.html?client=1";  // the recording host refuses it
    const std::string page = server.Base() + "page.html";

    // Never made: dropped once the loop is idle.
    platform_->PrepareWebView(page, {});
    RunUntil([] { return false; }, 300);
    EXPECT_EQ(server.PageRequests(), 0);

    // Made, and refused by its host: the question comes once, not before Navigate nor inside it.
    {
        PreparedWindow window(refused, "prepared refused");
        ASSERT_TRUE(window.view);
        RunUntil([] { return false; }, 300);
        EXPECT_TRUE(window.pageHost.before.empty());
        EXPECT_EQ(window.view->LocationUrl(), "");  // not sent anywhere yet
        window.view->Navigate(refused);
        EXPECT_TRUE(window.pageHost.before.empty());
        EXPECT_TRUE(RunUntil([&] { return !window.pageHost.before.empty(); }, 5000));
        RunUntil([] { return false; }, 300);
        EXPECT_EQ(window.pageHost.before, std::vector<std::string>{refused});
        EXPECT_EQ(server.PageRequests(), 0);
    }

    // Made and sent elsewhere: only that address is asked about and requested.
    {
        PreparedWindow window(page + "?prepared", "prepared elsewhere");
        ASSERT_TRUE(window.view);
        window.view->Navigate(page);
        EXPECT_TRUE(RunUntil([&] { return server.PageRequests() == 1; }, 5000));
        RunUntil([] { return false; }, 300);
        EXPECT_EQ(window.pageHost.before, std::vector<std::string>{page});
        EXPECT_EQ(server.PageRequests(), 1);
    }

    // Holds last long enough here that only the engine's question, or the view's end, ends them.
    gtk::SetWindowEventHoldLapse(10000);
    // Made, sent there, and gone before the engine asked: window events no longer wait.
    {
        PreparedWindow window(page + "?gone", "prepared gone");
        ASSERT_TRUE(window.view);
        window.view->Navigate(page + "?gone");
        EXPECT_TRUE(gtk::WindowEventsBehindEngine());
        window.view.reset();
        EXPECT_FALSE(gtk::WindowEventsBehindEngine());
    }
    RunUntil([] { return false; }, 300);
    const int requestsBefore = server.PageRequests();

    // Made and sent there: requested once, and let in at the final size like any first page.
    {
        const std::string game = page + "?game";
        PreparedWindow window(game, "prepared");
        ASSERT_TRUE(window.view);
        window.view->Navigate(game);
        // Until the engine's question comes, window events wait behind its messages; no longer.
        EXPECT_TRUE(gtk::WindowEventsBehindEngine());
        EXPECT_TRUE(RunUntil([&] { return server.PageRequests() == requestsBefore + 1; }, 5000));
        EXPECT_FALSE(gtk::WindowEventsBehindEngine());
        gtk::SetWindowEventHoldLapse(100);
        platform_->Show(window.host.top, ShowCommand::Maximized);
        ASSERT_TRUE(RunUntil([&] { return window.view->LocationName().rfind("first ", 0) == 0; }))
            << window.view->LocationName();
        const Rect box = platform_->GetOuterRect(window.host.box);
        const std::string size = std::to_string(box.Width()) + "x" + std::to_string(box.Height());
        EXPECT_EQ(window.view->LocationName(), "first " + size + " load " + size);
        EXPECT_EQ(window.pageHost.before, std::vector<std::string>{game});
        EXPECT_EQ(server.PageRequests(), requestsBefore + 1);
        EXPECT_EQ(window.pageHost.Count('R', game), 1);
    }
}

// A question that never comes does not keep window events behind the engine: the hold lapses.
TEST_F(WebViewGuiTest, WindowEventsWaitBehindTheEngineOnlyBriefly) {
    FollowingWindow host;
    RecordingHost pageHost;
    std::unique_ptr<WebView> view = host.Open("hold", &pageHost);
    platform_->Show(host.top, ShowCommand::Normal);
    ASSERT_TRUE(RunUntil([&] { return platform_->IsVisible(host.top); }));
    RunUntil([] { return false; }, 100);  // its events delivered: their source is known

    const gtk::WindowEventHold lapsed = gtk::HoldWindowEventsForEngine();
    EXPECT_TRUE(gtk::WindowEventsBehindEngine());
    EXPECT_TRUE(RunUntil([] { return !gtk::WindowEventsBehindEngine(); }, 1000));
    // A late release of a lapsed hold must not end a hold taken since.
    const gtk::WindowEventHold later = gtk::HoldWindowEventsForEngine();
    gtk::ReleaseWindowEventsForEngine(lapsed);
    EXPECT_TRUE(gtk::WindowEventsBehindEngine());
    const gtk::WindowEventHold another = gtk::HoldWindowEventsForEngine();
    gtk::ReleaseWindowEventsForEngine(later);
    EXPECT_TRUE(gtk::WindowEventsBehindEngine());
    gtk::ReleaseWindowEventsForEngine(another);
    EXPECT_FALSE(gtk::WindowEventsBehindEngine());
    view.reset();
    platform_->Destroy(host.top);
}

}  // namespace
}  // namespace kestrune::platform
