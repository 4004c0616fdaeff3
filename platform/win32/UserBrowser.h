// Handing a page's new-window address to the user's own browser on Windows, by the process's one
// external-launch rule (platform/ExternalBrowser.h): web addresses only, one per click or key, three
// in ten seconds; refusals logged. The launch itself runs on a worker thread, so a slow shell never
// holds the control's event (and with it the windows) up.
#pragma once

#include <string>

#include "platform/ExternalBrowser.h"

namespace kestrune::platform::win32 {

// Starts the shell's handler for `url`; the production one opens it on a worker thread.
using ShellLaunch = void (*)(const std::string& url);
void LaunchInUserBrowserAsync(const std::string& url);

// Applies `rule` to `url` and launches it when admitted; gives what the rule decided.
ExternalLaunchRule::Outcome OpenInUserBrowser(const std::string& url, bool userInitiated,
                                              ExternalLaunchRule& rule = ProcessExternalLaunchRule(),
                                              ShellLaunch launch = &LaunchInUserBrowserAsync);

// A press or key of the user's reached the program (the loop tells every one).
void NoteUserGesture();

}  // namespace kestrune::platform::win32
