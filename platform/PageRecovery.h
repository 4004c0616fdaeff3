// How a web view brings its page back: after its content process died, and after a load that
// could not reach the server. Platform-free; the web view backend supplies clock and timers.
#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

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

// A content process that stops answering (a page's script that never ends): once it has not answered
// for kLimit it is ended, and the boxes it served reload as after a crash, within their ReloadBudget.
class UnresponsiveWatch {
public:
    using Clock = ReloadBudget::Clock;
    static constexpr std::chrono::seconds kLimit{10};

    // The engine's word on the process. When it has just stopped answering: how long until Due is to
    // be asked; otherwise nothing (an answer ends the silence).
    std::optional<Clock::duration> Report(bool responsive, Clock::time_point now);
    // True, once per silence, when the process has not answered for kLimit by `now`: end it.
    bool Due(Clock::time_point now);

private:
    std::optional<Clock::time_point> silentSince_;
    bool ended_ = false;
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

// An address of a server (http or https): the only kind whose failure the built-in page stands in
// for, since retrying can bring it back.
bool IsServerAddress(std::string_view address);

// Why a box's page could not be loaded from its server.
enum class LoadFailure {
    kUnreachable,  // no answer: retried after a wait, when the user asks and when the network returns
    kInsecure,     // its certificate was refused: retried only when the user asks or the network returns
    kStopped,      // stopped before anything arrived (cancelled, handed to a download): retried only
                   // when the user asks
};

// What a box does after a load that could not reach its server, without the timers and the page
// engine, which the backend supplies: it shows the built-in page, waits (RetryBackoff), and loads the
// address again, at once when the user asks or the network comes back.
class UnreachableRecovery {
public:
    // A load of `address` could not reach its server: the built-in page is to be shown for it. Returns
    // the wait before the automatic retry; nothing when there is none (a refused certificate stays
    // refused until the user or the network says otherwise).
    std::optional<std::chrono::seconds> Failed(std::string address, LoadFailure why = LoadFailure::kUnreachable);
    // A retry is due: the address to load again, or nothing when the built-in page is not showing. One
    // the user asked for (the retry button, the reload key) starts the waits again.
    std::optional<std::string> Retry(bool byUser);
    // A page of the server's own was shown: nothing to recover any more, and the waits start again.
    void ServerPageShown();
    // Another address was asked for: it takes over from the one that could not be reached.
    void Abandon() { address_.reset(); }

    bool Showing() const { return address_.has_value(); }
    const std::string& Address() const;
    LoadFailure Why() const { return why_; }

private:
    std::optional<std::string> address_;
    LoadFailure why_ = LoadFailure::kUnreachable;
    RetryBackoff backoff_;
};

// What a box knows of its own page where the engine says nothing: whether it shows a document at all,
// and which address it was last asked for. A load stopped before its page arrived leaves the box as
// it was, unless that is blank: then the built-in page stands in. The reload keys always have an
// address to load, even in a box that never showed one.
class BoxPage {
public:
    void Asked(std::string address) { asked_ = std::move(address); }
    void Shown() { hasDocument_ = true; }   // a document (a server's or the built-in page) is shown
    void Lost() { hasDocument_ = false; }   // the document went with its content process

    // A top-level load stopped without its page, and nothing else is loading: the address the
    // built-in page is to stand in for, or nothing when the box still shows a page (or was never
    // asked for a server's address).
    std::optional<std::string> StandInAfterStop() const;
    // The address last asked for: what F5 and Ctrl+R load when the box shows none.
    const std::string& AskedFor() const { return asked_; }

private:
    std::string asked_;
    bool hasDocument_ = false;
};

// The page shown in a box whose address could not be loaded: in the launcher's language, saying why
// (no answer; a certificate refused, naming the host; or the load stopped), with the address (escaped as HTML text)
// and a retry button that asks the launcher through `kRetryBridgeName`: the script message handler
// of that name where the engine has them, otherwise the method of that name on the host's external
// object.
std::string FailurePageHtml(std::string_view address, LoadFailure why);
// Their titles, so that backends and tests can tell them from the server's pages.
inline constexpr const char* kUnreachablePageTitle = "无法连接游戏服务器";
inline constexpr const char* kInsecurePageTitle = "与游戏服务器的连接不安全";
inline constexpr const char* kStoppedPageTitle = "游戏页面未能打开";
// The host part of an absolute address (without user, port, brackets), or "" when it has none.
std::string HostOfAddress(std::string_view address);
inline constexpr const char* kRetryBridgeName = "kestruneRetry";

}  // namespace kestrune::platform
