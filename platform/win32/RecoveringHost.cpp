#include "platform/win32/RecoveringHost.h"

#include <cstdio>

namespace kestrune::platform::win32 {

std::function<void()> RecoveringHost::ShowLater(const std::string& address, LoadFailure why) {
    return [self = weak_from_this(), address, why, generation = generation_] {
        const auto alive = self.lock();
        // Gone, or another address was asked for since: that navigation stands.
        if (alive && alive->generation_ == generation) alive->Unreachable(address, why);
    };
}

bool RecoveringHost::StandsIn(const std::string& address, LoadFailure why) const {
    // Only a server's address can come back by retrying; the blank document the built-in page is
    // shown in, for one, never fails for want of a server. (A stopped load stands in for the box's
    // own address, which BoxPage takes only when it is a server's.)
    if (why != LoadFailure::kStopped) return IsServerAddress(address);
    // A load the box has moved on from (another address asked for since) is not the box's to fill.
    if (!address.empty() && address != box_.AskedFor()) return false;
    return box_.StandInAfterStop().has_value() && !recovery_.Showing();
}

void RecoveringHost::Unreachable(const std::string& failed, LoadFailure why) {
    if (!StandsIn(failed, why)) return;
    const std::string address = why == LoadFailure::kStopped ? box_.AskedFor() : failed;
    timer_->Stop();
    if (const auto wait = recovery_.Failed(address, why)) timer_->Start(*wait, [this] { Retry(false); });
    page_->WatchNetwork();
    own_ = OwnLoad::kBlank;
    page_->Load(kBlankAddress);
}

bool RecoveringHost::Retry(bool byUser) {
    const auto address = recovery_.Retry(byUser);
    if (!address) return false;
    timer_->Stop();
    // The built-in page's own load may still be finishing; the retried address's announcement
    // (BeforeNavigate) ends it.
    page_->Load(*address);
    return true;
}

bool RecoveringHost::Reload(const std::string& shown) {
    if (Retry(true)) return true;
    if (!shown.empty() || box_.AskedFor().empty()) return false;
    const std::string address = box_.AskedFor();
    Navigating(address);  // as if asked anew: an older failure's work no longer applies
    page_->Load(address);  // the control has nothing to reload
    return true;
}

void RecoveringHost::NetworkAvailable() {
    // Not while the built-in page itself is still loading: its blank document would be lost.
    if (own_ != OwnLoad::kBlank) Retry(false);
}

void RecoveringHost::Navigating(const std::string& url) {
    ++generation_;
    box_.Asked(url);
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
    if (IsServerAddress(url)) box_.Shown();  // the control's own error pages show nothing of the box's
    if (recovery_.Showing() && IsServerAddress(url)) {  // a retry reached the server
        timer_->Stop();
        recovery_.ServerPageShown();
    }
    host_->NavigateComplete(url);
}

void RecoveringHost::DocumentComplete(const std::string& url) {
    if (own_ == OwnLoad::kBlank && url == kBlankAddress) {
        own_ = OwnLoad::kShown;
        box_.Shown();
        if (!page_->Write(FailurePageHtml(recovery_.Address(), recovery_.Why())))
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
