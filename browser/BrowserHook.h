// The hook that keeps right-button releases and context-menu requests from the page shown in a
// browser box: it replaces the procedure of the box's page window and, because the web view replaces
// that window with every new document, hooks the new one from a 100 ms timer once the old one is gone.
//
// Every browser box has its own hook slot (keyed by the box handle), so the login page and the game
// page are protected at the same time. The seam's FirstChild, SetWindowProc, CallWindowProc,
// StartTimer and KillTimer are linked directly; nothing is resolved by name at run time.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/Platform.h"

namespace kestrune::browser {

inline constexpr int kRehookPeriodMs = 100;

// Three first-child steps from the box handle: web view window, document view window, page window.
// 0 when any level is missing.
platform::WindowId FindPageWindow(platform::WindowId host);

// Hooks the page window below `host` when this box's slot is not hooked and a page window exists.
// True when it hooked; false (nothing changed beyond remembering the host) otherwise.
bool InstallBrowserHook(platform::WindowId host);

// The replacement procedure: swallows kMessageContextMenu and kMessageRightButtonUp (result 1); on
// kMessageDestroy marks the slot unhooked and starts its re-hook timer, then passes the message on;
// everything else goes to the replaced procedure.
std::intptr_t BrowserHookProc(platform::WindowId window, std::uint32_t message, std::intptr_t wParam,
                              std::intptr_t lParam);

// What a box's slot holds, for tests and diagnostics.
struct HookSlotState {
    bool hooked = false;
    platform::WindowId page = 0;            // the hooked page window (0 while unhooked)
    platform::WindowProc previousProc = nullptr;
    platform::TimerId timerId = 0;          // the running re-hook timer, 0 for none
};
std::optional<HookSlotState> HookSlotFor(platform::WindowId host);

// True while the page window `page` has its procedure replaced by the hook.
bool IsPageHooked(platform::WindowId page);

// Forgets every slot and stops their timers (tests; the platform must still be installed).
void ResetBrowserHooks();

}  // namespace kestrune::browser
