#include "platform/win32/ThreadTimer.h"

#include <algorithm>
#include <map>

namespace kestrune::platform::win32 {

namespace {

// A thread timer's callback gets only its id: the running timers by id.
std::map<UINT_PTR, ThreadTimer*>& RunningTimers() {
    static std::map<UINT_PTR, ThreadTimer*> timers;
    return timers;
}

}  // namespace

void ThreadTimer::Start(std::chrono::milliseconds wait, std::function<void()> due) {
    Stop();
    const auto ms = static_cast<UINT>(std::clamp<long long>(wait.count(), USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM));
    id_ = ::SetTimer(nullptr, 0, ms, &ThreadTimer::Fire);
    if (id_ == 0) return;  // out of timers: the wait is simply lost
    due_ = std::move(due);
    RunningTimers()[id_] = this;
}

void ThreadTimer::Stop() {
    if (id_ == 0) return;
    ::KillTimer(nullptr, id_);
    RunningTimers().erase(id_);
    id_ = 0;
    due_ = nullptr;
}

VOID CALLBACK ThreadTimer::Fire(HWND, UINT, UINT_PTR id, DWORD) {
    const auto found = RunningTimers().find(id);
    if (found == RunningTimers().end()) {
        ::KillTimer(nullptr, id);
        return;
    }
    ThreadTimer* timer = found->second;
    // One-shot: stopped before the callback, which may start it again or destroy its owner.
    std::function<void()> due = std::move(timer->due_);
    timer->Stop();
    if (due) due();
}

}  // namespace kestrune::platform::win32
