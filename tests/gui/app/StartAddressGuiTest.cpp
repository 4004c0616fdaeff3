// The launcher's login window, loaded from its built-in definition with a stored address that holds
// "client=1", against the demo site: the navigation to that address belongs to the window's load, so
// it opens no game window, however late the engine asks about it. Where the page does not draw, the
// browser box is white (checked from screen pixels with the view hidden).
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/BuiltinDefinitions.h"
#include "app/FormIds.h"
#include "app/ProcessState.h"
#include "app/Program.h"
#include "app/UnitClasses.h"
#include "app/HandOff.h"
#include "browser/HtmlViewer.h"
#include "forms/Loader.h"
#include "forms/Runtime.h"
#include "platform/Platform.h"
#include "platform/SystemServices.h"
#include "platform/gtk/GtkPlatform.h"
#include "platform/linux/LinuxSystemServices.h"
#include "tests/gui/DemoServerProcess.h"
#include "tests/gui/platform/XProbe.h"
#include "tests/support/TempFolder.h"

namespace kestrune {
namespace {

TEST(StartAddress, LoginAddressHoldingTheMarkerOpensNoGameWindowAtStart) {
    const testing::TempFolder temp("start-address");
    ASSERT_TRUE(temp.Made());
    const std::filesystem::path home = temp.Path();
    std::filesystem::create_directories(home / "Desktop");
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
    unsetenv("XDG_DESKTOP_DIR");

    pid_t server = -1;
    const std::string base = testing::StartDemoServer(KESTRUNE_DEMO_SERVER, KESTRUNE_DEMO_SITE, server);
    ASSERT_FALSE(base.empty());
    const std::string address = base + "game.html?user=player&client=1&session=42";

    auto services = platform::CreateLinuxSystemServices();
    platform::InstallSystemServices(services.get());
    int argc = 1;
    static char name[] = "kestrune_start_address_tests";
    static char* args[] = {name, nullptr};
    char** argv = args;
    platform::Platform* os = platform::gtk::CreateGtkPlatform(&argc, &argv).release();
    ASSERT_NE(os, nullptr);
    platform::Install(os);

    app::InstallFatalExit();
    app::RegisterBuiltinClasses();
    app::RegisterBuiltinDefinitions();
    ASSERT_TRUE(app::InitExecutableLocation());
    forms::WindowDefinition login = app::LoginWindowDefinition();
    for (forms::UnitDefinition& unit : login.units)
        if (unit.unitId == app::kLoginBrowser)
            unit.propertyBlock = browser::SerializeHtmlViewerData({2, false, true, address});
    forms::RegisterDefinition(login);
    forms::SetOwnerWindow(os->CreateOwnerWindow());

    // A game window, should one open, runs its own loop: close it from a timer and remember it.
    bool gameWindowOpened = false;
    bool timedOut = false;
    int ticks = 0;
    const platform::TimerId watch = os->StartTimer(50, [&] {
        if (forms::FindWindowObject(app::kGameWindow) != nullptr) {
            gameWindowOpened = true;
            forms::DestroyUnit(app::kGameWindow, app::kGameWindowUnit);
        }
        if (++ticks > 300) timedOut = true;
    });
    ASSERT_TRUE(forms::LoadWindow(app::kLoginWindow, 0, false));
    auto caption = [] {
        return forms::AsText(forms::ReadProperty(app::kLoginWindow, app::kLoginBrowser, 8 + browser::kHtmlCaption));
    };
    os->RunLoop([&] { return caption() != "Kestrune game" && !timedOut; });
    const int shownAt = ticks;
    os->RunLoop([&] { return ticks < shownAt + 20 && !timedOut; });  // a late hand-off gets a second
    os->KillTimer(watch);

    EXPECT_EQ(caption(), "Kestrune game");
    EXPECT_EQ(forms::AsText(forms::ReadProperty(app::kLoginWindow, app::kLoginBrowser, 8 + browser::kHtmlUrl)),
              address);
    EXPECT_FALSE(gameWindowOpened);
    EXPECT_TRUE(app::GameUrl().empty());

    // Where the page does not draw, the box shows white: with the view hidden, the box's own pixels.
    auto* viewer = dynamic_cast<browser::HtmlViewer*>(forms::FindUnitObject(app::kLoginWindow, app::kLoginBrowser));
    ASSERT_NE(viewer, nullptr);
    ASSERT_NE(viewer->View(), nullptr);
    ASSERT_TRUE(probe::Open());
    const platform::WindowId box = viewer->Handle();
    const platform::Size boxSize = os->GetClientSize(box);
    os->Show(viewer->View()->Window(), platform::ShowCommand::Hide);
    os->Invalidate(box);
    int waited = 0;
    const platform::TimerId wait = os->StartTimer(50, [&] { ++waited; });
    os->RunLoop([&] { return waited < 10; });
    os->KillTimer(wait);
    for (const platform::Point at : {platform::Point{boxSize.width / 2, boxSize.height / 2}, platform::Point{20, 20},
                                     platform::Point{boxSize.width - 40, boxSize.height - 40}}) {
        const platform::Point screen = os->ClientToScreen(box, at);
        EXPECT_EQ(probe::Pixel(screen.x, screen.y), 0xFFFFFFu) << at.x << "," << at.y;
    }
    os->Show(viewer->View()->Window(), platform::ShowCommand::NoActivate);

    forms::DestroyUnit(app::kLoginWindow, app::kLoginWindowUnit, true);
    testing::StopServer(server);
}

}  // namespace
}  // namespace kestrune
