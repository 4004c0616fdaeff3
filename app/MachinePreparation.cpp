#include "app/MachinePreparation.h"

#include <string>

#include "app/FormIds.h"
#include "app/ProcessState.h"
#include "forms/Runtime.h"
#include "forms/Value.h"
#include "services/BrowserEmulation.h"
#include "services/FileSystem.h"
#include "services/Path.h"
#include "services/Shortcut.h"
#include "services/SpecialFolder.h"
#include "picture/Skin.h"
#include "ui/window/WindowProperties.h"

namespace kestrune::app {

namespace {
constexpr int kDesktopFolder = 3;
constexpr platform::Colour kShapeKey = 0xFFFFFF;  // pure white is outside the window
// A file of this name on the desktop means the user manages the launcher's link himself.
const std::string kShortcutTestName = std::string("我的快捷方式") + std::string(services::kLinkExtension);
const std::string kShortcutName = std::string("Kestrune") + std::string(services::kLinkExtension);
}  // namespace

void PrepareBrowserModes() { services::ApplyBrowserEmulation(1); }

std::optional<std::int32_t> OnLoginWindowCreated(std::span<const std::int32_t> args) {
    (void)args;
    // Again here, so that every window created later finds them as this handler leaves them.
    services::ApplyBrowserEmulation(1);

    {
        const forms::Bytes picture =
            forms::AsBytes(forms::ReadProperty(kLoginWindow, kLoginWindowUnit, 8 + ui::kWinBackPicture));
        ui::SetShapeFromPicture(forms::GetUnitHandle(kLoginWindow, kLoginWindowUnit), picture, kShapeKey);
    }

    // Without a desktop folder the names below would be relative to the current directory or the
    // root of the file system; no link is made then.
    const std::string desktop = services::GetSpecialFolder(kDesktopFolder);
    if (desktop.empty() || services::FileExists(desktop + kShortcutTestName)) return std::nullopt;

    // The folder text ends with the separator, so the link's path holds two in a row; the file
    // system takes that as one.
    const std::string linkFile = desktop + services::kPathSeparator + kShortcutName;
    const std::string target = RunDirectory() + services::kPathSeparator + ExeFileName();
    services::CreateShortcut(linkFile, target);
    return std::nullopt;
}

}  // namespace kestrune::app
