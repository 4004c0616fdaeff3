#include "platform/ExternalBrowser.h"

#include <algorithm>

namespace kestrune::platform {

namespace {

// Engines hand over serialised addresses, with spaces and control characters escaped; raw ones mean
// the text was made to look like something it is not (" file:…", "\x01https:…").
bool HasRawSpaceOrControl(const std::string& address) {
    return std::any_of(address.begin(), address.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7F;
    });
}

// A scheme is short and made of letters, digits, '+', '-' and '.'; anything else in a log line is cut.
std::string LoggableScheme(const std::string& scheme) {
    std::string out;
    for (char c : scheme) {
        if (out.size() == 32) break;
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
                        c == '-' || c == '.';
        out.push_back(ok ? c : '?');
    }
    return out;
}

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// What every parser must agree on before it is asked: a scheme by the URI grammar (a letter, then
// letters, digits, '+', '-', '.') and, in an authority, brackets only around the whole host. System
// parsers differ at these edges (one takes "https://[::1/" for a web address), and what one lets
// through the shell may read otherwise.
bool SchemeAndBracketsWellFormed(const std::string& address) {
    const std::size_t colon = address.find(':');
    if (colon == std::string::npos || colon == 0 || !IsAsciiLetter(address[0])) return false;
    for (std::size_t i = 1; i < colon; ++i) {
        const char c = address[i];
        if (!IsAsciiLetter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') return false;
    }
    if (address.compare(colon + 1, 2, "//") != 0) return true;  // no authority, no host to bracket
    const std::size_t start = colon + 3;
    const std::size_t end = std::min(address.find_first_of("/?#", start), address.size());
    const std::string authority = address.substr(start, end - start);
    const std::size_t open = authority.find('[');
    const std::size_t close = authority.find(']');
    if (open == std::string::npos && close == std::string::npos) return true;
    const std::size_t at = authority.rfind('@', open);
    const std::size_t hostStart = at == std::string::npos ? 0 : at + 1;
    return open == hostStart && close != std::string::npos && close > open &&
           authority.find('[', open + 1) == std::string::npos && authority.find(']', close + 1) == std::string::npos;
}

}  // namespace

ExternalAddressCheck CheckExternalAddress(const std::string& address, UriSplitter split) {
    ExternalAddressCheck check;
    if (address.size() > kMaxExternalAddressBytes) {
        check.verdict = ExternalAddressVerdict::kTooLong;
        return check;
    }
    if (address.empty() || HasRawSpaceOrControl(address) || split == nullptr) return check;
    if (!SchemeAndBracketsWellFormed(address)) return check;
    const std::optional<UriParts> parts = split(address);
    if (!parts || parts->scheme.empty()) return check;
    check.scheme = parts->scheme;
    std::transform(check.scheme.begin(), check.scheme.end(), check.scheme.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    if (check.scheme != "http" && check.scheme != "https") {
        check.verdict = ExternalAddressVerdict::kNotWeb;
        return check;
    }
    check.verdict = parts->host.empty() ? ExternalAddressVerdict::kNoHost : ExternalAddressVerdict::kWebAddress;
    return check;
}

std::string DescribeRefusal(const ExternalAddressCheck& check) {
    switch (check.verdict) {
    case ExternalAddressVerdict::kWebAddress:
        return {};
    case ExternalAddressVerdict::kTooLong:
        return "address longer than " + std::to_string(kMaxExternalAddressBytes) + " bytes";
    case ExternalAddressVerdict::kMalformed:
        return "not a valid absolute address";
    case ExternalAddressVerdict::kNotWeb:
        return "scheme '" + LoggableScheme(check.scheme) + "' is not a web address";
    case ExternalAddressVerdict::kNoHost:
        return "scheme '" + LoggableScheme(check.scheme) + "' without a host";
    }
    return {};
}

bool LaunchGate::Admit(std::uint64_t gesture, Clock::time_point now) {
    while (!recent_.empty() && now - recent_.front() >= kLaunchWindow) recent_.pop_front();
    if (gesture == 0 || gesture <= lastGesture_ || recent_.size() >= static_cast<std::size_t>(kMaxLaunchesPerWindow)) {
        ++refused_;
        return false;
    }
    lastGesture_ = gesture;
    recent_.push_back(now);
    return true;
}

ExternalLaunchRule::Decision ExternalLaunchRule::Consider(const std::string& address, bool fromGesture,
                                                      UriSplitter split, LaunchGate::Clock::time_point now) {
    Decision decision;
    const ExternalAddressCheck check = CheckExternalAddress(address, split);
    if (check.verdict != ExternalAddressVerdict::kWebAddress) {
        decision.outcome = Outcome::kRefusedAddress;
        decision.refusal = "new window not opened: " + DescribeRefusal(check);
        return decision;
    }
    decision.outcome = gate_.Admit(fromGesture ? gestures_ : 0, now) ? Outcome::kLaunch : Outcome::kRefusedByGate;
    return decision;
}

std::string ExternalLaunchRule::GateRefusalLogLine(std::uint64_t unlogged) const {
    return std::to_string(unlogged) + " request(s) to open the user's browser refused (at most one per click and " +
           std::to_string(kMaxLaunchesPerWindow) + " in " + std::to_string(kLaunchWindow.count()) + " s); " +
           std::to_string(gate_.Refused()) + " in all";
}

ExternalLaunchRule& ProcessExternalLaunchRule() {
    static ExternalLaunchRule rule;
    return rule;
}

}  // namespace kestrune::platform
