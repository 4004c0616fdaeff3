#include "platform/win32/RecoveringHost.h"

#include <cctype>
#include <cstdio>
#include <string>

namespace kestrune::platform::win32 {

namespace {

// Only a server's address can come back by retrying; the blank document the built-in page is shown
// in, for one, never fails for want of a server.
bool IsServerAddress(const std::string& address) {
    auto startsWith = [&](const char* prefix) {
        const std::size_t n = std::char_traits<char>::length(prefix);
        if (address.size() < n) return false;
        for (std::size_t i = 0; i < n; ++i)
            if (std::tolower(static_cast<unsigned char>(address[i])) != prefix[i]) return false;
        return true;
    };
    return startsWith("http://") || startsWith("https://");
}

}  // namespace

void RecoveringHost::Unreachable(const std::string& address) {
    if (!IsServerAddress(address)) return;
    const auto wait = recovery_.Failed(address);
    timer_->Start(wait, [this] { Retry(false); });
    page_->WatchNetwork();
    own_ = OwnLoad::kBlank;
    page_->Load(kBlankAddress);
}

bool RecoveringHost::Retry(bool byUser) {
    const auto address = recovery_.Retry(byUser);
    if (!address) return false;
    timer_->Stop();
    own_ = OwnLoad::kNone;  // what the control reports from here is the server's again
    page_->Load(*address);
    return true;
}

void RecoveringHost::NetworkAvailable() {
    // Not while the built-in page itself is still loading: its blank document would be lost.
    if (own_ != OwnLoad::kBlank) Retry(false);
}

void RecoveringHost::Navigating() {
    timer_->Stop();
    recovery_.Abandon();
    own_ = OwnLoad::kNone;
}

bool RecoveringHost::BeforeNavigate(const std::string& url) {
    if (Own() && url == kBlankAddress) return true;
    const bool allowed = host_->BeforeNavigate(url);
    if (allowed) own_ = OwnLoad::kNone;  // the built-in page is being left
    return allowed;
}

void RecoveringHost::NavigateComplete(const std::string& url) {
    if (Own()) return;
    if (recovery_.Showing()) {  // a retry reached the server
        timer_->Stop();
        recovery_.ServerPageShown();
    }
    host_->NavigateComplete(url);
}

void RecoveringHost::DocumentComplete(const std::string& url) {
    if (own_ == OwnLoad::kBlank && url == kBlankAddress) {
        own_ = OwnLoad::kShown;
        if (!page_->Write(UnreachablePageHtml(recovery_.Address())))
            std::fprintf(stderr, "kestrune: the page for an unreachable server could not be shown\n");
        return;
    }
    if (!Own()) host_->DocumentComplete(url);
}

void RecoveringHost::DownloadBegin() {
    if (!Own()) host_->DownloadBegin();
}
void RecoveringHost::DownloadComplete() {
    if (!Own()) host_->DownloadComplete();
}
void RecoveringHost::ProgressChange(int progress, int progressMax) {
    if (!Own()) host_->ProgressChange(progress, progressMax);
}
void RecoveringHost::StatusTextChange(const std::string& text) {
    if (!Own()) host_->StatusTextChange(text);
}
void RecoveringHost::TitleChange(const std::string& title) {
    if (!Own()) host_->TitleChange(title);
}
void RecoveringHost::CommandStateChange(int command, bool enabled) {
    if (!Own()) host_->CommandStateChange(command, enabled);
}

}  // namespace kestrune::platform::win32
