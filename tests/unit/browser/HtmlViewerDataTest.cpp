#include <gtest/gtest.h>

#include "browser/HtmlViewer.h"

namespace kestrune::browser {
namespace {

forms::Bytes Block(std::uint32_t version, std::int32_t font, std::int32_t offline, std::int32_t silent,
                   std::int32_t n, const std::string& address) {
    forms::Bytes out;
    for (std::uint32_t v : {version, static_cast<std::uint32_t>(font), static_cast<std::uint32_t>(offline),
                            static_cast<std::uint32_t>(silent), static_cast<std::uint32_t>(n)})
        for (int s = 0; s < 32; s += 8) out.push_back(static_cast<std::uint8_t>(v >> s));
    out.insert(out.end(), address.begin(), address.end());
    return out;
}

TEST(HtmlViewerData, EmptyDataGivesDefaults) {
    auto data = ParseHtmlViewerData({});
    ASSERT_TRUE(data);
    EXPECT_EQ(data->fontSize, 2);
    EXPECT_FALSE(data->offline);
    EXPECT_FALSE(data->silent);
    EXPECT_EQ(data->address, "");
}

TEST(HtmlViewerData, ReadsStoredLoginBlockAndVersionZero) {
    const std::string url = "http://127.0.0.1:48123/login.html";
    auto data = ParseHtmlViewerData(Block(1, 3, 0, 1, static_cast<std::int32_t>(url.size()), url));
    ASSERT_TRUE(data);
    EXPECT_EQ(*data, (HtmlViewerData{3, false, true, url}));
    auto v0 = ParseHtmlViewerData(Block(0, 1, 1, 0, 0, ""));
    ASSERT_TRUE(v0);
    EXPECT_EQ(*v0, (HtmlViewerData{1, true, false, ""}));
}

TEST(HtmlViewerData, RejectsNewerVersionAndTruncatedIntegers) {
    EXPECT_FALSE(ParseHtmlViewerData(Block(2, 2, 0, 0, 0, "")));
    EXPECT_FALSE(ParseHtmlViewerData(Block(0xFFFFFFFFu, 2, 0, 0, 0, "")));
    const forms::Bytes full = Block(1, 2, 0, 1, 0, "");
    for (std::size_t size = 1; size < full.size(); ++size)
        EXPECT_FALSE(ParseHtmlViewerData(std::span(full.data(), size))) << "size " << size;
}

TEST(HtmlViewerData, AddressCutShortOrEndedByNulOrNonPositiveLength) {
    auto cut = ParseHtmlViewerData(Block(1, 2, 0, 0, 100, "http://a"));
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->address, "http://a");
    auto nul = ParseHtmlViewerData(Block(1, 2, 0, 0, 9, std::string("http\0rest", 9)));
    ASSERT_TRUE(nul);
    EXPECT_EQ(nul->address, "http");
    auto negative = ParseHtmlViewerData(Block(1, 2, 0, 0, -5, "ignored"));
    ASSERT_TRUE(negative);
    EXPECT_EQ(negative->address, "");
}

TEST(HtmlViewerData, SerializeRoundTrips) {
    const HtmlViewerData data{4, true, false, "http://x/y?client=1"};
    const forms::Bytes bytes = SerializeHtmlViewerData(data);
    EXPECT_EQ(bytes.size(), 20 + data.address.size());
    EXPECT_EQ(bytes[0], 1);
    auto back = ParseHtmlViewerData(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, data);
}

TEST(Progress, MaxZeroGivesHundredAndMulDivRoundsHalvesAwayFromZero) {
    EXPECT_EQ(ProgressPercent(0, 0), 100);
    EXPECT_EQ(ProgressPercent(12345, 0), 100);
    EXPECT_EQ(ProgressPercent(1, 3), 33);    // 33.33
    EXPECT_EQ(ProgressPercent(2, 3), 67);    // 66.67
    EXPECT_EQ(ProgressPercent(1, 8), 13);    // 12.5 -> 13
    EXPECT_EQ(ProgressPercent(-1, 8), -13);  // -12.5 -> -13
    EXPECT_EQ(ProgressPercent(1, -8), -13);
    EXPECT_EQ(ProgressPercent(50, 100), 50);
    // The product is taken at 64 bits: 2^30 * 100 overflows 32 bits.
    EXPECT_EQ(ProgressPercent(1 << 30, 1 << 30), 100);
    EXPECT_EQ(MulDiv(5, 1, 0), -1);
    EXPECT_EQ(MulDiv(0x7FFFFFFF, 2, 1), -1);
}

}  // namespace
}  // namespace kestrune::browser
