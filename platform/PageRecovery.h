// How a web view brings its page back: after its content process died, and after a load that
// could not reach the server. Platform-free; the web view backend supplies clock and timers.
#pragma once

#include <chrono>
#include <deque>
#include <string>
#include <string_view>

namespace kestrune::platform {

// Reloads after the content process died: at most kMaxReloads within any kReloadWindow, so a page
// that kills its process every time it loads ends on the error page instead of looping.
class ReloadBudget {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kMaxReloads = 3;
    static constexpr std::chrono::seconds kReloadWindow{60};

    // True when one more reload may happen now; it is then counted.
    bool Take(Clock::time_point now);

private:
    std::deque<Clock::time_point> recent_;
};

// The waits between retries of an address that could not be reached: 15 s, doubling up to 2 min.
class RetryBackoff {
public:
    static constexpr std::chrono::seconds kFirst{15};
    static constexpr std::chrono::seconds kLongest{120};

    std::chrono::seconds Next();  // the wait before the next retry
    void Reset() { next_ = kFirst; }

private:
    std::chrono::seconds next_ = kFirst;
};

// The page shown in a box whose address could not be reached: in the launcher's language, with the
// address (escaped as HTML text) and a retry button that posts to the `kestruneRetry` script
// message handler.
std::string UnreachablePageHtml(std::string_view address);
// Its title, so that backends and tests can tell it from the server's pages.
inline constexpr const char* kUnreachablePageTitle = "无法连接游戏服务器";

}  // namespace kestrune::platform
