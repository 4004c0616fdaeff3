#include "browser/BrowserHook.h"

#include <map>

namespace kestrune::browser {

namespace {

struct HookSlot {
    bool hooked = false;
    platform::WindowId page = 0;
    platform::WindowProc previousProc = nullptr;
    platform::TimerId timerId = 0;
};

// Box handle -> its slot; hooked page window -> the box whose slot hooked it (the procedure is a
// plain function, so the page window is all it has to find its slot).
std::map<platform::WindowId, HookSlot>& Slots() {
    static std::map<platform::WindowId, HookSlot> slots;
    return slots;
}
std::map<platform::WindowId, platform::WindowId>& PageOwners() {
    static std::map<platform::WindowId, platform::WindowId> owners;
    return owners;
}
void StopTimer(HookSlot& slot);

// Each hooked page's replaced procedure (two pages of one box can be hooked at once).
std::map<platform::WindowId, platform::WindowProc>& PageProcs() {
    static std::map<platform::WindowId, platform::WindowProc> procs;
    return procs;
}

// Pages whose destruction has begun: their last messages still go to the procedure the hook replaced.
std::map<platform::WindowId, platform::WindowProc>& RetiredPages() {
    static std::map<platform::WindowId, platform::WindowProc> retired;
    return retired;
}

// Forgets boxes and retired pages whose windows are gone, so that nothing of them stays behind
// (a box whose page was never hooked has no timer to clear its slot).
void SweepGone() {
    platform::Platform& os = platform::Current();
    for (auto it = Slots().begin(); it != Slots().end();) {
        if (os.Exists(it->first)) {
            ++it;
            continue;
        }
        StopTimer(it->second);
        it = Slots().erase(it);
    }
    for (auto it = RetiredPages().begin(); it != RetiredPages().end();)
        it = os.Exists(it->first) ? std::next(it) : RetiredPages().erase(it);
}

void StopTimer(HookSlot& slot) {
    if (slot.timerId == 0) return;
    const platform::TimerId timer = slot.timerId;
    slot.timerId = 0;
    platform::Current().KillTimer(timer);
}

// Replaces the page's procedure and marks the slot hooked; a re-hook timer still running for this
// slot has nothing left to do and stops.
void Hook(platform::WindowId host, HookSlot& slot, platform::WindowId page) {
    slot.previousProc = platform::Current().SetWindowProc(page, &BrowserHookProc);
    slot.hooked = true;
    slot.page = page;
    PageOwners()[page] = host;
    PageProcs()[page] = slot.previousProc;
    StopTimer(slot);
}

void RehookTimerProc(platform::WindowId host) {
    auto it = Slots().find(host);
    if (it == Slots().end()) return;
    HookSlot& slot = it->second;
    if (slot.hooked) {
        StopTimer(slot);
        return;
    }
    if (!platform::Current().Exists(host)) {
        // The box is gone for good (ids are never reused): nothing will ever need hooking again.
        StopTimer(slot);
        Slots().erase(it);
        return;
    }
    const platform::WindowId page = FindPageWindow(host);
    if (page != 0) Hook(host, slot, page);
}

void StartRehookTimer(platform::WindowId host, HookSlot& slot) {
    if (slot.timerId != 0) return;  // one timer per slot is enough
    slot.timerId = platform::Current().StartTimer(kRehookPeriodMs, [host] { RehookTimerProc(host); });
}

}  // namespace

platform::WindowId FindPageWindow(platform::WindowId host) {
    platform::Platform& os = platform::Current();
    platform::WindowId window = host;
    for (int level = 0; level < 3 && window != 0; ++level) window = os.FirstChild(window);
    return window;
}

bool InstallBrowserHook(platform::WindowId host) {
    if (host == 0) return false;
    SweepGone();
    if (!platform::Current().Exists(host)) return false;
    HookSlot& slot = Slots()[host];
    const platform::WindowId page = FindPageWindow(host);
    // A hooked box whose first page window is now another live window (the control may keep an
    // old document's window while it shows a new one) gets that one hooked as well.
    if (slot.hooked && (page == 0 || page == slot.page || IsPageHooked(page))) return false;
    if (page == 0) return false;
    Hook(host, slot, page);
    return true;
}

std::intptr_t BrowserHookProc(platform::WindowId window, std::uint32_t message, std::intptr_t wParam,
                              std::intptr_t lParam) {
    if (message == platform::kMessageContextMenu || message == platform::kMessageRightButtonUp) return 1;

    platform::WindowProc previous = nullptr;
    auto owner = PageOwners().find(window);
    if (owner != PageOwners().end()) {
        auto slotIt = Slots().find(owner->second);
        HookSlot* slot = slotIt != Slots().end() ? &slotIt->second : nullptr;
        auto own = PageProcs().find(window);
        previous = own != PageProcs().end() ? own->second : nullptr;
        if (message == platform::kMessageDestroy) {
            const platform::WindowId host = owner->second;
            PageOwners().erase(owner);
            PageProcs().erase(window);
            // WM_NCDESTROY and whatever else comes before the end still reach the replaced procedure.
            if (previous != nullptr) RetiredPages()[window] = previous;
            if (slot != nullptr && slot->page == window) {
                slot->hooked = false;
                slot->page = 0;
                slot->previousProc = nullptr;
                StartRehookTimer(host, *slot);
            }
        }
    } else if (auto retired = RetiredPages().find(window); retired != RetiredPages().end()) {
        previous = retired->second;
        if (message == platform::kMessageNcDestroy) RetiredPages().erase(retired);
    }
    if (previous == nullptr) return 0;  // not a page this hook knows: nothing to pass on to
    return platform::Current().CallWindowProc(previous, window, message, wParam, lParam);
}

std::optional<HookSlotState> HookSlotFor(platform::WindowId host) {
    auto it = Slots().find(host);
    if (it == Slots().end()) return std::nullopt;
    return HookSlotState{it->second.hooked, it->second.page, it->second.previousProc, it->second.timerId};
}

bool IsPageHooked(platform::WindowId page) { return PageOwners().count(page) != 0; }

void ResetBrowserHooks() {
    for (auto& [host, slot] : Slots()) StopTimer(slot);
    Slots().clear();
    PageOwners().clear();
    PageProcs().clear();
    RetiredPages().clear();
}

}  // namespace kestrune::browser
