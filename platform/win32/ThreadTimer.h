// A one-shot timer of the GUI thread (SetTimer without a window): its callback runs from the thread's
// message loop. Owns its timer: stopping or destroying it means the callback never runs.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>

namespace kestrune::platform::win32 {

// A timer the code that waits can be given; tests hand in one they fire themselves.
class RetryTimer {
public:
    virtual ~RetryTimer() = default;
    // Replaces any wait under way.
    virtual void Start(std::chrono::milliseconds wait, std::function<void()> due) = 0;
    virtual void Stop() = 0;
};

class ThreadTimer final : public RetryTimer {
public:
    ThreadTimer() = default;
    ~ThreadTimer() override { Stop(); }
    ThreadTimer(const ThreadTimer&) = delete;
    ThreadTimer& operator=(const ThreadTimer&) = delete;

    void Start(std::chrono::milliseconds wait, std::function<void()> due) override;
    void Stop() override;
    bool Running() const { return id_ != 0; }

private:
    static VOID CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD);

    UINT_PTR id_ = 0;
    std::function<void()> due_;
};

}  // namespace kestrune::platform::win32
