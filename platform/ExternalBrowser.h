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

// The whole decision on a new-window address that a box's handler let through, the same on every
// backend: the address check, then the gate. The backend tells it of the user's presses and keys
// (NoteGesture), says whether a request came from one, and carries out a launch off its loop.
class ExternalLaunchRule {
public:
    enum class Outcome {
        kLaunch,          // hand the address to the user's browser
        kRefusedAddress,  // not a web address: log `refusal`
        kRefusedByGate,   // too many, or no gesture: count it (LogLineForGateRefusals)
    };
    struct Decision {
        Outcome outcome = Outcome::kRefusedAddress;
        std::string refusal;
    };

    void NoteGesture() { ++gestures_; }
    Decision Consider(const std::string& address, bool fromGesture, UriSplitter split, LaunchGate::Clock::time_point now);
    // The log line for `unlogged` gate refusals since the last one (backends log at most once a second).
    std::string GateRefusalLogLine(std::uint64_t unlogged) const;

private:
    std::uint64_t gestures_ = 0;
    LaunchGate gate_;
};

// The rule every box of the process shares: one page cannot get around the gate through another box.
ExternalLaunchRule& ProcessExternalLaunchRule();

// The backend's URI parser, one that splits by the URI grammar (GLib's on Linux, the system's URI
// object on Windows).
std::optional<UriParts> SplitUriWithSystemParser(const std::string& address);

}  // namespace kestrune::platform
