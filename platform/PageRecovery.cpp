#include "platform/PageRecovery.h"

#include <algorithm>
#include <cctype>

namespace kestrune::platform {

bool ReloadBudget::Take(Clock::time_point now) {
    while (!recent_.empty() && now - recent_.front() >= kReloadWindow) recent_.pop_front();
    if (recent_.size() >= static_cast<std::size_t>(kMaxReloads)) return false;
    recent_.push_back(now);
    return true;
}

std::optional<UnresponsiveWatch::Clock::duration> UnresponsiveWatch::Report(bool responsive, Clock::time_point now) {
    if (responsive) {
        silentSince_.reset();
        ended_ = false;
        return std::nullopt;
    }
    if (silentSince_) return std::nullopt;  // the same silence
    silentSince_ = now;
    return Clock::duration{kLimit};
}

bool UnresponsiveWatch::Due(Clock::time_point now) {
    if (!silentSince_ || ended_ || now - *silentSince_ < kLimit) return false;
    ended_ = true;
    return true;
}

std::chrono::seconds RetryBackoff::Next() {
    const std::chrono::seconds wait = next_;
    next_ = std::min(next_ * 2, kLongest);
    return wait;
}

bool IsServerAddress(std::string_view address) {
    auto startsWith = [&](std::string_view prefix) {
        if (address.size() < prefix.size()) return false;
        for (std::size_t i = 0; i < prefix.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(address[i])) != prefix[i]) return false;
        return true;
    };
    return startsWith("http://") || startsWith("https://");
}

std::optional<std::chrono::seconds> UnreachableRecovery::Failed(std::string address, LoadFailure why) {
    address_ = std::move(address);
    why_ = why;
    // A refused certificate or a stopped load would only fail the same way again by itself.
    if (why != LoadFailure::kUnreachable) return std::nullopt;
    return backoff_.Next();
}

std::optional<std::string> UnreachableRecovery::Retry(bool byUser) {
    if (!address_) return std::nullopt;
    // A stopped load (a download, say) would only be stopped again: only the player tries it again.
    if (!byUser && why_ == LoadFailure::kStopped) return std::nullopt;
    if (byUser) backoff_.Reset();
    return address_;
}

void UnreachableRecovery::ServerPageShown() {
    address_.reset();
    backoff_.Reset();
}

std::optional<std::string> BoxPage::StandInAfterStop() const {
    if (hasDocument_ || !IsServerAddress(asked_)) return std::nullopt;
    return asked_;
}

const std::string& UnreachableRecovery::Address() const {
    static const std::string none;
    return address_ ? *address_ : none;
}

namespace {

std::string EscapeHtml(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default:
            // Control characters never reach the page's text.
            if (static_cast<unsigned char>(c) < 0x20) out += ' ';
            else out.push_back(c);
        }
    }
    return out;
}

}  // namespace

std::string HostOfAddress(std::string_view address) {
    const std::size_t scheme = address.find("://");
    if (scheme == std::string_view::npos) return {};
    std::string_view rest = address.substr(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos) rest.remove_prefix(at + 1);
    if (!rest.empty() && rest.front() == '[') return std::string(rest.substr(1, rest.find(']') - 1));
    return std::string(rest.substr(0, rest.find(':')));
}

std::string FailurePageHtml(std::string_view address, LoadFailure why) {
    const char* title = why == LoadFailure::kInsecure  ? kInsecurePageTitle
                        : why == LoadFailure::kStopped ? kStoppedPageTitle
                                                       : kUnreachablePageTitle;
    // Also read by engines that lay pages out in an old mode unless asked otherwise, and that have
    // neither flexible boxes nor addEventListener there: the page asks for the newest mode and works
    // without both (centred as a table cell).
    std::string html =
        "<!DOCTYPE html><html><head><meta http-equiv=\"X-UA-Compatible\" content=\"IE=edge\">"
        "<meta charset=\"utf-8\"><title>";
    html += title;
    html +=
        "</title><style>"
        "html,body{margin:0;height:100%;background:#fff;color:#333;font:14px sans-serif}"
        "body{display:table;width:100%}"
        "#cell{display:table-cell;vertical-align:middle;text-align:center}"
        "#box{margin:0 auto;max-width:90%}"
        "h1{font-size:18px;margin:0 0 12px}"
        "#address{color:#777;word-break:break-all;margin:0 0 16px}"
        "button{font:inherit;padding:6px 24px}"
        "</style></head><body><div id=\"cell\"><div id=\"box\"><h1>";
    html += title;
    html += "</h1><p>";
    if (why == LoadFailure::kInsecure) {
        // Named, the host tells the player which server could not prove who it is.
        html += "无法确认服务器 ";
        html += EscapeHtml(HostOfAddress(address));
        html += " 的身份，为保护你的账号，连接已被拒绝。";
    } else if (why == LoadFailure::kStopped) {
        html += "页面在打开之前被中止了，请按“重试”再次打开。";
    } else {
        html += "请检查网络连接，网络恢复后将自动重试。";
    }
    html += "</p><p id=\"address\">";
    html += EscapeHtml(address);
    html +=
        "</p><button id=\"retry\" type=\"button\">重试</button></div></div><script>"
        "document.getElementById('retry').onclick=function(){"
        "var h=window.webkit&&window.webkit.messageHandlers;"
        "if(h&&h.kestruneRetry){h.kestruneRetry.postMessage('retry');return;}"
        "try{window.external.kestruneRetry();}catch(e){}};"
        "</script></body></html>";
    return html;
}

}  // namespace kestrune::platform
