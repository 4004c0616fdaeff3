// Which addresses may leave the launcher for the user's browser, parsed by the system's URI parser
// (GLib's on Linux, the URI object on Windows), and how often.
#include <gtest/gtest.h>

#include <string>

#include "platform/ExternalBrowser.h"

namespace kestrune::platform {
namespace {

ExternalAddressVerdict Verdict(const std::string& address) {
    return CheckExternalAddress(address, &SplitUriWithSystemParser).verdict;
}

TEST(ExternalAddress, OnlyHttpAndHttpsWithAHostGoToTheBrowser) {
    for (const char* web : {"https://127.0.0.1:8443/news?id=1#top", "http://example.com", "HTTPS://Example.COM/a",
                            "HtTp://[::1]:80/", "https://user@example.com/"}) {
        EXPECT_EQ(Verdict(web), ExternalAddressVerdict::kWebAddress) << web;
    }
    for (const char* other : {"file:///etc/passwd", "FILE:///home/", "smb://server/share", "sftp://host/x",
                              "x-test-scheme:run", "javascript:alert(1)", "data:text/html,<b>x</b>",
                              "blob:https://example.com/3b1c", "about:blank", "mailto:a@b.c", "ftp://host/"}) {
        const ExternalAddressCheck check = CheckExternalAddress(other, &SplitUriWithSystemParser);
        EXPECT_EQ(check.verdict, ExternalAddressVerdict::kNotWeb) << other;
        EXPECT_FALSE(check.scheme.empty()) << other;
    }
    // The scheme comes out in lower case, as GLib normalises it.
    EXPECT_EQ(CheckExternalAddress("FILE:///x", &SplitUriWithSystemParser).scheme, "file");
}

TEST(ExternalAddress, DisguisedAndBrokenAddressesAreRefused) {
    EXPECT_EQ(Verdict("https:"), ExternalAddressVerdict::kNoHost);
    EXPECT_EQ(Verdict("https:///path"), ExternalAddressVerdict::kNoHost);
    EXPECT_EQ(Verdict("http:relative/path"), ExternalAddressVerdict::kNoHost);
    for (const std::string& bad : {std::string(" https://example.com/"), std::string("\x01https://example.com/"),
                                  std::string("\thttps://example.com/"), std::string("https://exa mple.com/"),
                                  std::string("https://example.com/\n"), std::string("https://example.com/\x7f"),
                                  std::string("//example.com/"), std::string("example.com"), std::string(""),
                                  std::string("https://[::1/"), std::string("1https://example.com/")}) {
        EXPECT_EQ(Verdict(bad), ExternalAddressVerdict::kMalformed) << bad;
    }
    // A NUL inside the text does not hide what follows it.
    EXPECT_EQ(Verdict(std::string("https://example.com/\0file:///", 28)), ExternalAddressVerdict::kMalformed);
}

TEST(ExternalAddress, LengthLimitIsEightKibibytes) {
    const std::string prefix = "https://example.com/";
    const std::string longest = prefix + std::string(kMaxExternalAddressBytes - prefix.size(), 'a');
    EXPECT_EQ(Verdict(longest), ExternalAddressVerdict::kWebAddress);
    EXPECT_EQ(Verdict(longest + "a"), ExternalAddressVerdict::kTooLong);
}

TEST(ExternalAddress, RefusalsNameTheSchemeAndNothingElseOfTheAddress) {
    const std::string note =
        DescribeRefusal(CheckExternalAddress("smb://secret-host/share?token=hunter2", &SplitUriWithSystemParser));
    EXPECT_NE(note.find("'smb'"), std::string::npos) << note;
    EXPECT_EQ(note.find("secret-host"), std::string::npos) << note;
    EXPECT_EQ(note.find("hunter2"), std::string::npos) << note;
    const std::string malformed = DescribeRefusal(CheckExternalAddress(" file:///home/me", &SplitUriWithSystemParser));
    EXPECT_EQ(malformed.find("home"), std::string::npos) << malformed;
    EXPECT_TRUE(DescribeRefusal(CheckExternalAddress("https://a.example/", &SplitUriWithSystemParser)).empty());
}

TEST(ExternalLaunchRule, RefusedAddressesDoNotSpendTheGestureAndEachGestureOpensOneWebAddress) {
    ExternalLaunchRule rule;
    const auto t = LaunchGate::Clock::time_point{} + std::chrono::seconds(100);
    using Outcome = ExternalLaunchRule::Outcome;
    // Without a press or key of the user's, nothing opens.
    EXPECT_EQ(rule.Consider("https://a.example/", true, &SplitUriWithSystemParser, t).outcome, Outcome::kRefusedByGate);
    rule.NoteGesture();
    EXPECT_EQ(rule.Consider("https://a.example/", false, &SplitUriWithSystemParser, t).outcome, Outcome::kRefusedByGate);
    const auto file = rule.Consider("file:///C:/Windows/system32/calc.exe", true, &SplitUriWithSystemParser, t);
    EXPECT_EQ(file.outcome, Outcome::kRefusedAddress);
    EXPECT_NE(file.refusal.find("'file'"), std::string::npos) << file.refusal;
    EXPECT_EQ(file.refusal.find("calc"), std::string::npos) << file.refusal;
    EXPECT_EQ(rule.Consider("https://a.example/", true, &SplitUriWithSystemParser, t).outcome, Outcome::kLaunch);
    EXPECT_EQ(rule.Consider("https://b.example/", true, &SplitUriWithSystemParser, t).outcome, Outcome::kRefusedByGate);
    rule.NoteGesture();
    EXPECT_EQ(rule.Consider("https://b.example/", true, &SplitUriWithSystemParser, t).outcome, Outcome::kLaunch);
    const std::string line = rule.GateRefusalLogLine(2);
    EXPECT_EQ(line.rfind("2 request(s)", 0), 0u) << line;
    EXPECT_NE(line.find("3 in all"), std::string::npos) << line;
}

TEST(ExternalLaunchRule, AScriptLoopingOverNewWindowsGetsThreeInTenSeconds) {
    ExternalLaunchRule rule;
    const auto t = LaunchGate::Clock::time_point{} + std::chrono::seconds(100);
    int launched = 0;
    for (int i = 0; i < 1000; ++i) {
        rule.NoteGesture();  // even with a fresh gesture each time
        const auto now = t + std::chrono::milliseconds(i);
        if (rule.Consider("https://flood.example/" + std::to_string(i), true, &SplitUriWithSystemParser, now).outcome ==
            ExternalLaunchRule::Outcome::kLaunch)
            ++launched;
    }
    EXPECT_EQ(launched, kMaxLaunchesPerWindow);
}

}  // namespace
}  // namespace kestrune::platform
