#include <gtest/gtest.h>

#include <string>

#include "platform/PageRecovery.h"

using namespace kestrune::platform;
using namespace std::chrono_literals;

TEST(UnresponsiveWatch, EndsAProcessSilentForTenSecondsOncePerSilence) {
    UnresponsiveWatch watch;
    const auto t = UnresponsiveWatch::Clock::time_point{} + 1000s;
    EXPECT_FALSE(watch.Report(true, t));
    EXPECT_FALSE(watch.Due(t + 60s));  // never silent
    EXPECT_EQ(watch.Report(false, t), std::optional<UnresponsiveWatch::Clock::duration>(10s));
    EXPECT_FALSE(watch.Report(false, t + 4s));  // still the same silence: no second wait
    EXPECT_FALSE(watch.Due(t + 9s));
    EXPECT_TRUE(watch.Due(t + 10s));
    EXPECT_FALSE(watch.Due(t + 11s));  // ended once
    // It answers again, then falls silent anew: counted from the new silence.
    EXPECT_FALSE(watch.Report(true, t + 12s));
    EXPECT_FALSE(watch.Due(t + 30s));
    EXPECT_TRUE(watch.Report(false, t + 40s));
    EXPECT_FALSE(watch.Due(t + 45s));
    EXPECT_TRUE(watch.Report(true, t + 46s) == std::nullopt);
    EXPECT_FALSE(watch.Due(t + 60s));  // answered in time: nothing to end
}

TEST(ReloadBudget, ThreeReloadsInAnyMinute) {
    ReloadBudget budget;
    const auto t = ReloadBudget::Clock::time_point{} + 1000s;
    EXPECT_TRUE(budget.Take(t));
    EXPECT_TRUE(budget.Take(t + 10s));
    EXPECT_TRUE(budget.Take(t + 20s));
    EXPECT_FALSE(budget.Take(t + 30s));
    EXPECT_FALSE(budget.Take(t + 59s));
    EXPECT_TRUE(budget.Take(t + 60s));  // the first one is a minute old
    EXPECT_FALSE(budget.Take(t + 61s));
}

TEST(RetryBackoff, FifteenSecondsDoublingToTwoMinutes) {
    RetryBackoff backoff;
    for (const auto expected : {15s, 30s, 60s, 120s, 120s, 120s}) EXPECT_EQ(backoff.Next(), expected);
    backoff.Reset();
    EXPECT_EQ(backoff.Next(), 15s);
}

TEST(UnreachablePage, ShowsTheAddressAsTextAndOffersARetry) {
    const std::string html =
        FailurePageHtml("http://127.0.0.1:1/a?x=<script>alert(\"1\")</script>&y='2'", LoadFailure::kUnreachable);
    EXPECT_NE(html.find(kUnreachablePageTitle), std::string::npos);
    EXPECT_NE(html.find("http://127.0.0.1:1/a?x=&lt;script&gt;alert(&quot;1&quot;)&lt;/script&gt;&amp;y=&#39;2&#39;"),
              std::string::npos)
        << html;
    EXPECT_EQ(html.find("<script>alert"), std::string::npos);
    EXPECT_NE(html.find("重试"), std::string::npos);
    EXPECT_NE(html.find(std::string("h.") + kRetryBridgeName + ".postMessage"), std::string::npos);
    EXPECT_NE(html.find(std::string("window.external.") + kRetryBridgeName + "()"), std::string::npos);
}

TEST(UnreachablePage, ARefusedCertificateSaysSoNamesTheHostAndPromisesNoRetryOfItsOwn) {
    const std::string html = FailurePageHtml("https://user@game.example:8443/login.html", LoadFailure::kInsecure);
    EXPECT_NE(html.find(kInsecurePageTitle), std::string::npos);
    EXPECT_EQ(html.find(kUnreachablePageTitle), std::string::npos);
    EXPECT_NE(html.find("无法确认服务器 game.example 的身份"), std::string::npos) << html;
    EXPECT_EQ(html.find("自动重试"), std::string::npos);
    EXPECT_NE(html.find("重试"), std::string::npos);  // the player's own retry stays
    // A host that is not a name is still only text.
    EXPECT_NE(FailurePageHtml("https://<b>x/", LoadFailure::kInsecure).find("&lt;b&gt;x"), std::string::npos);
    for (auto [address, host] : {std::pair{"https://[::1]:443/a", "::1"}, std::pair{"http://a.b/c?d#e", "a.b"},
                                 std::pair{"https://u:p@h:1", "h"}, std::pair{"about:blank", ""}})
        EXPECT_EQ(HostOfAddress(address), host) << address;
}

TEST(UnreachableRecovery, ARefusedCertificateWaitsForThePlayerOrTheNetwork) {
    UnreachableRecovery recovery;
    EXPECT_EQ(recovery.Failed("https://game.example/login.html", LoadFailure::kInsecure), std::nullopt);
    EXPECT_TRUE(recovery.Showing());
    EXPECT_EQ(recovery.Why(), LoadFailure::kInsecure);
    EXPECT_EQ(recovery.Retry(true), "https://game.example/login.html");
    // Unreachable afterwards: the timer's waits, from the first.
    EXPECT_EQ(recovery.Failed("https://game.example/login.html"), 15s);
    EXPECT_EQ(recovery.Why(), LoadFailure::kUnreachable);
}

TEST(UnreachableRecovery, RetriesTheFailedAddressWithGrowingWaitsUntilTheServerAnswers) {
    UnreachableRecovery recovery;
    EXPECT_FALSE(recovery.Retry(false));  // nothing failed: a timer or key that fires late loads nothing
    EXPECT_EQ(recovery.Failed("http://127.0.0.1:1/login.html"), 15s);
    EXPECT_EQ(recovery.Retry(false), "http://127.0.0.1:1/login.html");
    EXPECT_EQ(recovery.Failed("http://127.0.0.1:1/login.html"), 30s);
    EXPECT_EQ(recovery.Failed("http://127.0.0.1:1/login.html"), 60s);
    // The user's own retry starts the waits again.
    EXPECT_EQ(recovery.Retry(true), "http://127.0.0.1:1/login.html");
    EXPECT_EQ(recovery.Failed("http://127.0.0.1:1/login.html"), 15s);
    EXPECT_EQ(recovery.Failed("http://127.0.0.1:1/login.html"), 30s);

    recovery.ServerPageShown();
    EXPECT_FALSE(recovery.Showing());
    EXPECT_FALSE(recovery.Retry(true));
    EXPECT_EQ(recovery.Failed("http://127.0.0.1:1/game.html"), 15s);

    // Another address asked for takes over; the waits are not reset by that alone.
    recovery.Abandon();
    EXPECT_FALSE(recovery.Retry(false));
    EXPECT_EQ(recovery.Address(), "");
    EXPECT_EQ(recovery.Failed("http://127.0.0.1:1/other.html"), 30s);
    EXPECT_EQ(recovery.Address(), "http://127.0.0.1:1/other.html");
}

TEST(UnreachableRecovery, OnlyAServersAddressIsOneToRetry) {
    for (const char* server : {"http://127.0.0.1:1/login.html", "HTTPS://game.example/play?client=1"})
        EXPECT_TRUE(IsServerAddress(server)) << server;
    for (const char* other : {"about:blank", "file:///C:/x.html", "res://ieframe.dll/navcancl.htm", "httpx://a/", "http:/a",
                              ""})
        EXPECT_FALSE(IsServerAddress(other)) << other;
}

TEST(BoxPage, AStoppedLoadIsStoodInForOnlyInABoxLeftBlank) {
    BoxPage page;
    EXPECT_EQ(page.StandInAfterStop(), std::nullopt);  // never asked for anything
    EXPECT_EQ(page.AskedFor(), "");
    page.Asked("http://game.example/login.html");
    // Nothing shown yet: the asked-for address is what stands in and what F5 loads.
    EXPECT_EQ(page.StandInAfterStop(), "http://game.example/login.html");
    EXPECT_EQ(page.AskedFor(), "http://game.example/login.html");
    page.Shown();
    EXPECT_EQ(page.StandInAfterStop(), std::nullopt);  // the page it shows stays
    page.Asked("http://game.example/other.html");
    EXPECT_EQ(page.StandInAfterStop(), std::nullopt);  // still showing the old page
    page.Lost();
    EXPECT_EQ(page.StandInAfterStop(), "http://game.example/other.html");
    page.Asked("file:///tmp/x.html");
    EXPECT_EQ(page.StandInAfterStop(), std::nullopt);  // no server to try again
}

TEST(UnreachableRecovery, AStoppedLoadGetsItsOwnTextAndNoRetryOfItsOwn) {
    UnreachableRecovery recovery;
    EXPECT_EQ(recovery.Failed("http://game.example/login.html", LoadFailure::kStopped), std::nullopt);
    EXPECT_EQ(recovery.Retry(false), std::nullopt);  // the network coming back: it would only stop again
    EXPECT_EQ(recovery.Retry(true), "http://game.example/login.html");
    const std::string html = FailurePageHtml("http://game.example/login.html", LoadFailure::kStopped);
    EXPECT_NE(html.find(kStoppedPageTitle), std::string::npos);
    EXPECT_EQ(html.find(kUnreachablePageTitle), std::string::npos);
    EXPECT_EQ(html.find("自动重试"), std::string::npos);
    EXPECT_NE(html.find("id=\"retry\""), std::string::npos);
}
