// What the launcher passes on to the user's own web browser, and how often.
//
// A page asks for a new window (a link with a target, window.open()) and the box's handler lets it
// go ahead: the address then leaves the launcher for another program. Only web addresses do: an
// absolute http or https address with a host, at most kMaxExternalAddressBytes long, nothing else
// (files, mounts, data, script or custom scheme handlers would start local programs on one click).
// And a page gets at most one such launch per user gesture and kMaxLaunchesPerWindow in
// kLaunchWindow, so a script looping over window.open() cannot flood the desktop.
//
// The rule is platform-free; the backend brings its URI parser (one that splits by the URI grammar,
// not by prefix) and its clock and gestures.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace kestrune::platform {

inline constexpr std::size_t kMaxExternalAddressBytes = 8192;
inline constexpr int kMaxLaunchesPerWindow = 3;
inline constexpr std::chrono::seconds kLaunchWindow{10};

// What a URI parser made of an absolute address: its scheme (lower case) and host (may be empty).
struct UriParts {
    std::string scheme;
    std::string host;
};
// Splits an absolute address; nothing when the text is not one.
using UriSplitter = std::optional<UriParts> (*)(const std::string& address);

enum class ExternalAddressVerdict {
    kWebAddress,  // may go to the user's browser
    kTooLong,
    kMalformed,   // not an absolute URI, or holds spaces or control characters
    kNotWeb,      // a scheme other than http and https
    kNoHost,
};

struct ExternalAddressCheck {
    ExternalAddressVerdict verdict = ExternalAddressVerdict::kMalformed;
    std::string scheme;  // as parsed (lower case), empty when the address could not be parsed
};

ExternalAddressCheck CheckExternalAddress(const std::string& address, UriSplitter split);

// The log line of a refused address: the reason and the scheme, never the rest of the address
// (it may carry credentials or whatever a page put there).
std::string DescribeRefusal(const ExternalAddressCheck& check);

// Admits launches: one per user gesture, and no more than kMaxLaunchesPerWindow within any
// kLaunchWindow. Gestures are numbers that grow with each press or key of the user's; 0 is none.
class LaunchGate {
public:
    using Clock = std::chrono::steady_clock;

    // True when a launch for `gesture` may happen now; it is then counted.
    bool Admit(std::uint64_t gesture, Clock::time_point now);
    // Launches refused so far.
    std::uint64_t Refused() const { return refused_; }

private:
    std::uint64_t lastGesture_ = 0;
    std::deque<Clock::time_point> recent_;
    std::uint64_t refused_ = 0;
};

}  // namespace kestrune::platform
