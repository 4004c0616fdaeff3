// Between the browser control's notifications and the box's host: when the top-level page could not
// reach its server, the control's own error page is cancelled and the launcher's built-in page is
// shown in its place, retried by the shared recovery rule (platform/PageRecovery.h).
//
// The control renders nothing that has no address, so the built-in page is shown the documented way:
// the control goes to about:blank, and once that blank document is complete the page's HTML is
// loaded into it from memory (its document's IPersistStreamInit). No server, file or resource is
// needed, and the page is the same one the other platform shows. The notifications of that load of
// our own never reach the host.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/PageRecovery.h"
#include "platform/WebView.h"
#include "platform/win32/ThreadTimer.h"

namespace kestrune::platform::win32 {

class RecoveringHost final : public WebViewHost, public std::enable_shared_from_this<RecoveringHost> {
public:
    // What the recovery needs of the control.
    class Page {
    public:
        virtual ~Page() = default;
        // A navigation of the launcher's own (not asked of the host).
        virtual void Load(const std::string& url) = 0;
        // Loads `html` into the blank document now shown; false when there is no such document.
        virtual bool Write(const std::string& html) = 0;
        // The built-in page is shown: from now on, report the network coming back (NetworkAvailable).
        virtual void WatchNetwork() {}
    };

    RecoveringHost(WebViewHost* host, Page* page, RetryTimer* timer) : host_(host), page_(page), timer_(timer) {}

    // The top-level page could not reach `address`: the work that shows the built-in page, to run once
    // the control's notification has returned. It does nothing if the box asked for another address
    // meanwhile or is gone. The host must be owned by a shared_ptr.
    std::function<void()> ShowLater(const std::string& address, LoadFailure why = LoadFailure::kUnreachable);
    // Whether the built-in page is to stand in for this failure: always for a server not reached or
    // not trusted; for a stopped load only when it was the box's own address and nothing is shown.
    bool StandsIn(const std::string& address, LoadFailure why) const;
    // Shows the built-in page for `address` now (not from inside a notification of the control's). A
    // stopped load (kStopped) shows it only in a box left with no page, for the box's own address.
    void Unreachable(const std::string& address, LoadFailure why = LoadFailure::kUnreachable);
    // The retry button, the reload key, the timer: loads the address again when the built-in page is
    // showing, and says whether it did.
    bool Retry(bool byUser);
    // The reload keys: a retry as above, or, in a box that shows no page at all (`shown` is empty),
    // the box's own address loaded again. True when it loaded something; otherwise the control reloads.
    bool Reload(const std::string& shown);
    // The system reports a network again.
    void NetworkAvailable();
    // The box asked for `url`: it takes over from the one that could not be reached.
    void Navigating(const std::string& url);
    bool ShowingBuiltInPage() const { return recovery_.Showing(); }

    // ---- WebViewHost: the host's notifications, less those of the built-in page's own load.
    bool BeforeNavigate(const std::string& url) override;
    void NavigateComplete(const std::string& url) override;
    void DocumentComplete(const std::string& url) override;
    void DownloadBegin() override;
    void DownloadComplete() override;
    void ProgressChange(int progress, int progressMax) override;
    void StatusTextChange(const std::string& text) override;
    void TitleChange(const std::string& title) override;
    void CommandStateChange(int command, bool enabled) override;
    bool NewWindow(const std::string& url) override { return host_->NewWindow(url); }

private:
    // Where the built-in page's own load stands.
    enum class OwnLoad { kNone, kBlank, kShown };
    bool Own() const { return own_ != OwnLoad::kNone; }

    WebViewHost* host_;
    Page* page_;
    RetryTimer* timer_;
    UnreachableRecovery recovery_;
    BoxPage box_;
    OwnLoad own_ = OwnLoad::kNone;
    unsigned generation_ = 0;  // addresses the box asked for
};

// The control's blank document, the one the built-in page is loaded into.
inline constexpr const char* kBlankAddress = "about:blank";

}  // namespace kestrune::platform::win32
