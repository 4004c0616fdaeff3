#include "app/HandOff.h"

#include <cmath>

#include "app/FormIds.h"
#include "browser/BrowserHook.h"
#include "browser/HtmlViewer.h"
#include "forms/Runtime.h"
#include "services/BrowserEmulation.h"
#include "services/TextSearch.h"
#include "platform/Trace.h"

namespace kestrune::app {

namespace {

constexpr const char* kHandOffMarker = "client=1";
constexpr double kGameBrowserHeightAllowance = 32.0;
constexpr int kPropUrl = 11;

std::string& GameUrlStorage() {
    static std::string url;
    return url;
}

void LayOutGameBrowser() {
    const std::int32_t width = forms::AsInt(forms::ReadProperty(kGameWindow, kGameWindowUnit, forms::kPropWidth));
    const std::int32_t height =
        forms::AsInt(forms::ReadProperty(kGameWindow, kGameWindowUnit, forms::kPropHeight));
    forms::WriteProperty(kGameWindow, kGameBrowser, forms::kPropWidth, width);
    const double browserHeight = std::trunc(static_cast<double>(height) - kGameBrowserHeightAllowance);
    forms::WriteProperty(kGameWindow, kGameBrowser, forms::kPropHeight, static_cast<std::int32_t>(browserHeight));
}

}  // namespace

std::optional<std::int32_t> OnLoginBrowserEvent(std::span<const std::int32_t> args) {
    (void)args;
    browser::InstallBrowserHook(forms::GetUnitHandle(kLoginWindow, kLoginBrowser));
    const std::string address = forms::AsText(forms::ReadProperty(kLoginWindow, kLoginBrowser, kPropUrl));
    if (services::FindText(address, kHandOffMarker, 1, false) < 1) return std::nullopt;

    platform::TraceStep("handoff-decided");
    GameUrlStorage() = address;
    // A game window not open yet is made next, its box sent to this address: the page is asked for
    // while the window is built.
    if (forms::GetUnitHandle(kGameWindow, kGameWindowUnit) == 0) browser::PrepareHtmlViewer(address);
    forms::LoadWindow(kGameWindow, 0, true);
    platform::TraceStep("game-window-shown");
    return 0;  // logical false: the login page stays where it was
}

std::optional<std::int32_t> HookLoginBrowser(std::span<const std::int32_t> args) {
    (void)args;
    browser::InstallBrowserHook(forms::GetUnitHandle(kLoginWindow, kLoginBrowser));
    return std::nullopt;
}

std::optional<std::int32_t> HookGameBrowser(std::span<const std::int32_t> args) {
    (void)args;
    browser::InstallBrowserHook(forms::GetUnitHandle(kGameWindow, kGameBrowser));
    return std::nullopt;
}

std::optional<std::int32_t> OnGameWindowCreated(std::span<const std::int32_t> args) {
    (void)args;
    platform::TraceStep("game-window-created");
    services::ApplyBrowserEmulation(1);
    platform::TraceStep("game-emulation-written");
    LayOutGameBrowser();
    forms::WriteProperty(kGameWindow, kGameBrowser, kPropUrl, GameUrlStorage());
    platform::TraceStep("game-address-set");
    return std::nullopt;
}

std::optional<std::int32_t> OnGameWindowResized(std::span<const std::int32_t> args) {
    (void)args;
    LayOutGameBrowser();
    platform::TraceStep("game-window-laid-out");
    return std::nullopt;
}

std::optional<std::int32_t> OnGameBrowserNavigate(std::span<const std::int32_t> args) {
    (void)args;
    return std::nullopt;
}

void FreeGameUrl() {
    std::string().swap(GameUrlStorage());
}

const std::string& GameUrl() { return GameUrlStorage(); }

}  // namespace kestrune::app
