// Which addresses may leave the launcher for the user's browser, parsed by GLib's URI parser.
#include <gtest/gtest.h>

#include <string>

#include "platform/ExternalBrowser.h"
#include "platform/linux/GlibUri.h"

namespace kestrune::platform {
namespace {

ExternalAddressVerdict Verdict(const std::string& address) {
    return CheckExternalAddress(address, &SplitUriWithGlib).verdict;
}

TEST(ExternalAddress, OnlyHttpAndHttpsWithAHostGoToTheBrowser) {
    for (const char* web : {"https://127.0.0.1:8443/news?id=1#top", "http://example.com", "HTTPS://Example.COM/a",
                            "HtTp://[::1]:80/", "https://user@example.com/"}) {
        EXPECT_EQ(Verdict(web), ExternalAddressVerdict::kWebAddress) << web;
    }
    for (const char* other : {"file:///etc/passwd", "FILE:///home/", "smb://server/share", "sftp://host/x",
                              "x-test-scheme:run", "javascript:alert(1)", "data:text/html,<b>x</b>",
                              "blob:https://example.com/3b1c", "about:blank", "mailto:a@b.c", "ftp://host/"}) {
        const ExternalAddressCheck check = CheckExternalAddress(other, &SplitUriWithGlib);
        EXPECT_EQ(check.verdict, ExternalAddressVerdict::kNotWeb) << other;
        EXPECT_FALSE(check.scheme.empty()) << other;
    }
    // The scheme comes out in lower case, as GLib normalises it.
    EXPECT_EQ(CheckExternalAddress("FILE:///x", &SplitUriWithGlib).scheme, "file");
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
        DescribeRefusal(CheckExternalAddress("smb://secret-host/share?token=hunter2", &SplitUriWithGlib));
    EXPECT_NE(note.find("'smb'"), std::string::npos) << note;
    EXPECT_EQ(note.find("secret-host"), std::string::npos) << note;
    EXPECT_EQ(note.find("hunter2"), std::string::npos) << note;
    const std::string malformed = DescribeRefusal(CheckExternalAddress(" file:///home/me", &SplitUriWithGlib));
    EXPECT_EQ(malformed.find("home"), std::string::npos) << malformed;
    EXPECT_TRUE(DescribeRefusal(CheckExternalAddress("https://a.example/", &SplitUriWithGlib)).empty());
}

}  // namespace
}  // namespace kestrune::platform
