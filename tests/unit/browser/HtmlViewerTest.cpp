// The browser box against the in-memory platform. The forms runtime's event dispatch and unit
// bookkeeping are replaced here by a scripted dispatcher, so that each test decides what the bound
// handler does and sees exactly which events the box raised.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "browser/HtmlViewer.h"
#include "forms/Definition.h"
#include "forms/Events.h"
#include "forms/Runtime.h"
#include "tests/support/FakePlatform.h"

namespace {

std::function<bool(kestrune::forms::EventNotice&)> g_handler;
std::vector<kestrune::forms::EventNotice> g_raised;
std::map<std::uint32_t, std::unique_ptr<kestrune::forms::UnitObject>> g_units;  // by unit id
std::vector<std::uint32_t> g_reportedGone;

}  // namespace

namespace kestrune::forms {
bool RaiseEvent(EventNotice& notice) {
    g_raised.push_back(notice);
    return g_handler ? g_handler(notice) : false;
}
void ReportUnitDestroyed(std::uint32_t, std::uint32_t unitId) {
    g_reportedGone.push_back(unitId);
    g_units.erase(unitId);
}
void RegisterUnitClass(UnitClass*) {}
// No stored properties here: the box's return to them after full screen is tested with the real
// runtime (the app's tests).
Value ReadProperty(std::uint32_t, std::uint32_t, int) { return Value(std::int32_t{0}); }
}  // namespace kestrune::forms

namespace kestrune::browser {
namespace {

constexpr std::uint32_t kForm = 0x52000001;
constexpr std::uint32_t kUnit = 0x16000001;

class HtmlViewerTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_handler = nullptr;
        g_raised.clear();
        g_reportedGone.clear();
        top_ = fake_->CreateTopLevel({}, nullptr);
    }
    void TearDown() override { g_units.clear(); }

    HtmlViewer* Make(const forms::Bytes& block) {
        forms::CreateArgs args;
        args.propertyBlock = block;
        args.parent = top_;
        args.left = 10;
        args.top = 20;
        args.width = 300;
        args.height = 200;
        args.formId = kForm;
        args.unitId = kUnit;
        auto object = HtmlViewerClass().Create(args);
        auto* viewer = static_cast<HtmlViewer*>(object.get());
        if (object) g_units[kUnit] = std::move(object);
        return viewer;
    }
    HtmlViewer* MakeWith(const std::string& url, int font = 2) {
        return Make(SerializeHtmlViewerData({font, false, true, url}));
    }
    testing::FakeWebView* View(HtmlViewer* viewer) { return fake_->WebViewFor(viewer->View()->Window()); }
    forms::Value Read(HtmlViewer* viewer, int index) {
        forms::Value v;
        EXPECT_TRUE(viewer->GetProperty(index, v));
        return v;
    }
    // The handler returns `value` (or nothing) for every event it gets.
    static void HandlerReturns(std::optional<std::int32_t> value) {
        g_handler = [value](forms::EventNotice& n) {
            n.hasResult = value.has_value();
            n.result = value.value_or(0);
            return true;
        };
    }

    testing::ScopedFakePlatform fake_;
    platform::WindowId top_ = 0;
};

TEST_F(HtmlViewerTest, CreatesBoxWithViewAsOnlyChildAndAppliesStoredValues) {
    HtmlViewer* viewer = MakeWith("http://127.0.0.1/login.html", 9);
    ASSERT_NE(viewer, nullptr);
    const platform::WindowId box = viewer->Handle();
    EXPECT_EQ(fake_->GetParent(box), top_);
    EXPECT_EQ(fake_->GetOuterRect(box), platform::Rect::FromXYWH(10, 20, 300, 200));
    ASSERT_EQ(fake_->Children(box).size(), 1u);
    testing::FakeWebView* view = View(viewer);
    EXPECT_EQ(fake_->Children(box)[0], view->Window());
    EXPECT_EQ(fake_->GetOuterRect(view->Window()), (platform::Rect{0, 0, 300, 200}));
    EXPECT_TRUE(view->Silent());
    EXPECT_FALSE(view->Offline());
    EXPECT_EQ(view->ZoomCalls(), std::vector<int>{4});  // stored 9, applied clamped
    EXPECT_TRUE(view->ModeSet());
    EXPECT_EQ(view->Navigations(), std::vector<std::string>{"http://127.0.0.1/login.html"});

    HtmlViewer* empty = MakeWith("");
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(View(empty)->Navigations().empty());
}

TEST_F(HtmlViewerTest, UnreadableDataCreatesNothing) {
    const std::size_t before = fake_->LiveWindowCount();
    forms::Bytes block = SerializeHtmlViewerData({});
    block[0] = 2;
    EXPECT_EQ(Make(block), nullptr);
    EXPECT_EQ(Make(forms::Bytes{1, 0, 0}), nullptr);
    EXPECT_EQ(fake_->LiveWindowCount(), before);
    EXPECT_TRUE(g_reportedGone.empty());
}

TEST_F(HtmlViewerTest, PropertyWritesClampStoreAndNavigateEveryTime) {
    HtmlViewer* viewer = MakeWith("");
    viewer->PropertyChanged(kHtmlFontSize, 7);
    EXPECT_EQ(forms::AsInt(Read(viewer, kHtmlFontSize)), 4);
    viewer->PropertyChanged(kHtmlFontSize, -3);
    EXPECT_EQ(forms::AsInt(Read(viewer, kHtmlFontSize)), 0);
    EXPECT_EQ(View(viewer)->Zoom(), 0);

    viewer->PropertyChanged(kHtmlUrl, std::string("http://a/"));
    viewer->PropertyChanged(kHtmlUrl, std::string("http://a/"));
    viewer->PropertyChanged(kHtmlUrl, std::string());
    EXPECT_EQ(View(viewer)->Navigations(), (std::vector<std::string>{"http://a/", "http://a/", ""}));

    viewer->PropertyChanged(kHtmlOffline, forms::Logical{true});
    EXPECT_TRUE(View(viewer)->Offline());
    EXPECT_EQ(Read(viewer, kHtmlOffline), forms::Value(forms::Logical{true}));
    viewer->PropertyChanged(kHtmlSilent, 0);
    EXPECT_EQ(Read(viewer, kHtmlSilent), forms::Value(forms::Logical{false}));
    EXPECT_EQ(Read(viewer, kHtmlPreview), forms::Value(forms::Logical{false}));
    viewer->PropertyChanged(kHtmlStatusText, std::string("ignored"));
    EXPECT_EQ(forms::AsText(Read(viewer, kHtmlStatusText)), "");
    forms::Value unused;
    EXPECT_FALSE(viewer->GetProperty(7, unused));

    const auto saved = ParseHtmlViewerData(viewer->SaveProperties());
    ASSERT_TRUE(saved);
    EXPECT_EQ(*saved, (HtmlViewerData{0, true, false, ""}));
}

TEST_F(HtmlViewerTest, AddressReadsEventAddressInsideAndLocationOutside) {
    HtmlViewer* viewer = MakeWith("");
    testing::FakeWebView* view = View(viewer);
    view->SetLocation("http://shown/", "Shown");
    std::vector<std::string> inside;
    g_handler = [&](forms::EventNotice& n) {
        inside.push_back(forms::AsText(Read(viewer, kHtmlUrl)));
        return n.eventIndex >= 0;
    };
    view->FireBeforeNavigate("http://next/?client=1");
    view->FireNavigateComplete("http://frame/");
    view->FireDocumentComplete("http://done/");
    EXPECT_EQ(inside, (std::vector<std::string>{"http://next/?client=1", "http://frame/", "http://done/"}));
    EXPECT_EQ(forms::AsText(Read(viewer, kHtmlUrl)), "http://shown/");
    ASSERT_EQ(g_raised.size(), 3u);
    EXPECT_EQ(g_raised[0].eventIndex, kEventBeforeNavigate);
    EXPECT_EQ(g_raised[1].eventIndex, kEventNavigateComplete);
    EXPECT_EQ(g_raised[2].eventIndex, kEventDocumentComplete);
    EXPECT_EQ(g_raised[0].formId, kForm);
    EXPECT_EQ(g_raised[0].unitId, kUnit);
    EXPECT_EQ(g_raised[0].argCount, 0);
}

TEST_F(HtmlViewerTest, CancelOnlyOnExplicitZeroResult) {
    HtmlViewer* viewer = MakeWith("");
    testing::FakeWebView* view = View(viewer);
    EXPECT_TRUE(view->FireBeforeNavigate("u"));  // no handler
    EXPECT_TRUE(view->FireNewWindow("u"));
    HandlerReturns(std::nullopt);
    EXPECT_TRUE(view->FireBeforeNavigate("u"));
    EXPECT_TRUE(view->FireNewWindow("u"));
    HandlerReturns(1);
    EXPECT_TRUE(view->FireBeforeNavigate("u"));
    EXPECT_TRUE(view->FireNewWindow("u"));
    HandlerReturns(-1);
    EXPECT_TRUE(view->FireBeforeNavigate("u"));
    HandlerReturns(0);
    EXPECT_FALSE(view->FireBeforeNavigate("u"));
    EXPECT_FALSE(view->FireNewWindow("u"));
    // A dispatcher that reports "not delivered" is never a refusal, whatever it left in the notice.
    g_handler = [](forms::EventNotice& n) { n.hasResult = true; n.result = 0; return false; };
    EXPECT_TRUE(view->FireBeforeNavigate("u"));
    // The box clears the result fields before each raise.
    for (const auto& n : g_raised) EXPECT_FALSE(n.hasResult);
}

TEST_F(HtmlViewerTest, ProgressCommandStatusAndTitleEvents) {
    HtmlViewer* viewer = MakeWith("");
    testing::FakeWebView* view = View(viewer);
    view->SetLocation("http://shown/", "Shown title");
    std::string titleInside;
    g_handler = [&](forms::EventNotice& n) {
        if (n.eventIndex == kEventTitleChange) titleInside = forms::AsText(Read(viewer, kHtmlCaption));
        return true;
    };
    view->FireProgressChange(5, 0);
    view->FireProgressChange(1, 8);
    view->FireCommandStateChange(-1, true);
    view->FireCommandStateChange(3, true);
    view->FireCommandStateChange(1, true);
    view->FireCommandStateChange(2, false);
    view->FireStatusTextChange("http://link/");
    view->FireTitleChange("Event title");
    view->FireDownloadBegin();
    view->FireDownloadComplete();

    ASSERT_EQ(g_raised.size(), 8u);
    EXPECT_EQ(g_raised[0].eventIndex, kEventProgressChange);
    EXPECT_EQ(g_raised[0].argCount, 1);
    EXPECT_EQ(g_raised[0].args[0], 100);
    EXPECT_EQ(g_raised[1].args[0], 13);
    EXPECT_EQ(g_raised[2].eventIndex, kEventCommandStateChange);
    EXPECT_EQ(g_raised[2].argCount, 2);
    EXPECT_EQ(g_raised[2].args[0], 0);  // forward
    EXPECT_EQ(g_raised[2].args[1], 1);
    EXPECT_EQ(g_raised[3].args[0], 1);  // back
    EXPECT_EQ(g_raised[3].args[1], 0);
    EXPECT_EQ(g_raised[4].eventIndex, kEventStatusTextChange);
    EXPECT_EQ(g_raised[5].eventIndex, kEventTitleChange);
    EXPECT_EQ(g_raised[6].eventIndex, kEventDownloadBegin);
    EXPECT_EQ(g_raised[7].eventIndex, kEventDownloadComplete);
    EXPECT_EQ(titleInside, "Event title");
    EXPECT_EQ(forms::AsText(Read(viewer, kHtmlCaption)), "Shown title");
    EXPECT_EQ(forms::AsText(Read(viewer, kHtmlStatusText)), "http://link/");
}

// The engine may ask about the stored address only once the window has loaded and events flow: the
// handler, which would hand off on "client=1", still never hears of that first decision.
TEST_F(HtmlViewerTest, FirstDecisionOnTheStoredAddressReachesNoHandlerWheneverItComes) {
    HtmlViewer* viewer = MakeWith("http://login/?client=1");
    testing::FakeWebView* view = View(viewer);
    HandlerReturns(0);
    EXPECT_TRUE(view->FireBeforeNavigate("http://login/?client=1"));
    EXPECT_TRUE(g_raised.empty());
    // Every later decision is the handler's: a redirect, a frame, a link.
    EXPECT_FALSE(view->FireBeforeNavigate("http://login/?client=1&again"));
    ASSERT_EQ(g_raised.size(), 1u);
    EXPECT_EQ(g_raised[0].eventIndex, kEventBeforeNavigate);

    // A box without a stored address has no such decision; nor has one whose address was written
    // before the engine asked.
    g_raised.clear();
    HtmlViewer* empty = MakeWith("");
    EXPECT_FALSE(View(empty)->FireBeforeNavigate("http://x/"));
    EXPECT_EQ(g_raised.size(), 1u);
    g_units.clear();
    g_raised.clear();
    HtmlViewer* rewritten = MakeWith("http://login/");
    rewritten->PropertyChanged(kHtmlUrl, std::string("http://other/?client=1"));
    EXPECT_FALSE(View(rewritten)->FireBeforeNavigate("http://other/?client=1"));
    EXPECT_EQ(g_raised.size(), 1u);
}

TEST_F(HtmlViewerTest, HandlerDestroyingTheBoxIsSurvivedAndReportedOnce) {
    HtmlViewer* viewer = MakeWith("");
    testing::FakeWebView* view = View(viewer);
    const platform::WindowId box = viewer->Handle();
    g_handler = [&](forms::EventNotice& n) {
        fake_->Destroy(box);
        n.hasResult = true;
        n.result = 0;
        return true;
    };
    EXPECT_FALSE(view->FireBeforeNavigate("http://x/"));
    EXPECT_FALSE(fake_->Exists(box));
    EXPECT_EQ(g_reportedGone, std::vector<std::uint32_t>{kUnit});
    EXPECT_EQ(g_units.count(kUnit), 0u);
}

TEST_F(HtmlViewerTest, ResizeRefitsViewAndFocusGoesToIt) {
    HtmlViewer* viewer = MakeWith("");
    const platform::WindowId box = viewer->Handle();
    fake_->Resize(box, {500, 120});
    EXPECT_EQ(fake_->GetOuterRect(View(viewer)->Window()), (platform::Rect{0, 0, 500, 120}));
    fake_->SetFocus(box);
    EXPECT_EQ(fake_->GetFocus(), View(viewer)->Window());
}

}  // namespace
}  // namespace kestrune::browser
