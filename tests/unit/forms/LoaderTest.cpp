// The loader, event dispatch and property access against the in-memory platform, with the real
// window class and a small recording control class of the tests' own.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "forms/Events.h"
#include "forms/Fatal.h"
#include "forms/Loader.h"
#include "forms/PointerData.h"
#include "forms/Runtime.h"
#include "resources/IconFile.h"
#include "tests/support/FakePlatform.h"
#include "ui/window/WindowProperties.h"
#include "ui/window/WindowUnit.h"

namespace kestrune::forms {
namespace {

constexpr std::uint32_t kTestControl = 0x00019999;
constexpr std::uint32_t kForm = 0x52000010;
constexpr std::uint32_t kWin = 0x06000010;
constexpr std::uint32_t kButtonA = 0x16000001;
constexpr std::uint32_t kButtonB = 0x16000002;
constexpr std::uint32_t kInner = 0x16000003;
constexpr std::uint32_t kBox = 0x16000004;
constexpr std::uint32_t kDialogForm = 0x52000020;
constexpr std::uint32_t kDialogWin = 0x06000020;

struct Created {
    std::uint32_t unitId;
    std::int32_t controlId;
    platform::WindowId parent;
};
std::vector<Created> g_created;
std::vector<std::string> g_log;
std::function<void(std::int32_t)> g_onWindowEvent;

// A control that owns a child window, stores own property 0 and reports itself gone.
class TestControl final : public UnitObject, public platform::WindowHost {
public:
    TestControl(const CreateArgs& args) : formId_(args.formId), unitId_(args.unitId) {
        window_ = platform::Current().CreateChild(args.parent,
                                                  platform::Rect::FromXYWH(args.left, args.top, args.width, args.height), this);
    }
    ~TestControl() override {
        if (!gone_) {
            deleting_ = true;
            platform::Current().Destroy(window_);
        }
    }
    platform::WindowId Handle() const override { return window_; }
    void PropertyChanged(int ownIndex, const Value& value) override {
        if (ownIndex == 0) own_ = AsInt(value);
    }
    Bytes SaveProperties() const override { return {}; }
    bool GetProperty(int ownIndex, Value& out) override {
        if (ownIndex != 0) return false;
        out = own_;
        return true;
    }
    void Destroyed() override {
        gone_ = true;
        if (!deleting_) ReportUnitDestroyed(formId_, unitId_);
    }
    void EnabledChanged(bool enabled) override {
        // The window is already in its new state when the unit hears of it.
        const bool windowEnabled = platform::Current().IsEnabled(window_);
        g_log.push_back("unit " + std::to_string(unitId_) + (enabled ? " enabled" : " disabled") +
                        (windowEnabled == enabled ? "" : " (window not yet)"));
    }

private:
    std::uint32_t formId_, unitId_;
    platform::WindowId window_ = 0;
    std::int32_t own_ = 0;
    bool gone_ = false;
    bool deleting_ = false;
};

class TestControlClass final : public UnitClass {
public:
    std::uint32_t TypeCode() const override { return kTestControl; }
    const char* Name() const override { return "test control"; }
    std::unique_ptr<UnitObject> Create(const CreateArgs& args) override {
        // Blocks of a newer version than 1 are refused, as every control class does.
        if (args.propertyBlock.size() >= 4 && args.propertyBlock[0] > 1) return nullptr;
        g_created.push_back({args.unitId, args.controlId, args.parent});
        EventNotice during{args.formId, args.unitId, 0};
        raisedDuringCreate = RaiseEvent(during);
        return std::make_unique<TestControl>(args);
    }
    bool raisedDuringCreate = false;
};
TestControlClass g_testClass;

std::optional<std::int32_t> WindowEvent0(std::span<const std::int32_t>) {
    g_log.push_back("created");
    if (g_onWindowEvent) g_onWindowEvent(0);
    return std::nullopt;
}
std::optional<std::int32_t> WindowEvent3(std::span<const std::int32_t>) {
    g_log.push_back("moved");
    return std::nullopt;
}
std::optional<std::int32_t> WindowEvent4(std::span<const std::int32_t>) {
    g_log.push_back("resized");
    return std::nullopt;
}
std::optional<std::int32_t> ButtonEvent(std::span<const std::int32_t> args) {
    g_log.push_back("button " + std::to_string(args.size()) + (args.empty() ? "" : " " + std::to_string(args[0])));
    return 7;
}

UnitDefinition Control(std::uint32_t id, int l, int t, int w, int h, std::uint32_t parent = 0) {
    UnitDefinition u;
    u.unitId = id;
    u.classCode = kTestControl;
    u.left = l;
    u.top = t;
    u.width = w;
    u.height = h;
    u.parent = parent;
    u.flags = kFlagVisible;
    return u;
}

UnitDefinition WindowUnitDef(std::uint32_t id, int position, bool border) {
    ui::WindowProperties p;
    p.border = border ? 1 : 0;
    p.position = position;
    p.dragAnywhere = true;
    UnitDefinition u;
    u.unitId = id;
    u.classCode = kClassWindow;
    u.left = 10;
    u.top = 20;
    u.width = 1250;
    u.height = 870;
    u.flags = kFlagVisible;
    u.propertyBlock = ui::EncodeWindowProperties(p);
    u.events = {{0, &WindowEvent0}, {3, &WindowEvent3}, {4, &WindowEvent4}};
    return u;
}

// The same shape as the login window: two buttons in front, a box holding an inner control behind.
WindowDefinition LoginLike() {
    WindowDefinition d;
    d.formId = kForm;
    UnitDefinition inner = Control(kInner, -1, 9, 585, 325, kBox);
    UnitDefinition box = Control(kBox, 456, 361, 585, 325);
    box.children = {kInner};
    UnitDefinition a = Control(kButtonA, 1063, 335, 24, 23);
    a.mousePointer = {14, 0, 0, 0};
    a.events = {{0, &ButtonEvent}};
    UnitDefinition b = Control(kButtonB, 1034, 312, 23, 23);
    b.mousePointer = {0x89, 0x7F, 0, 0};  // 32649
    d.units = {WindowUnitDef(kWin, 1, false), a, b, inner, box};
    return d;
}

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetRuntimeForTests();
        ui::RegisterWindowClass();
        RegisterUnitClass(&g_testClass);
        g_created.clear();
        g_log.clear();
        g_onWindowEvent = nullptr;
        RegisterDefinition(LoginLike());
        SetOwnerWindow(fake_->CreateOwnerWindow());
    }
    void TearDown() override { ResetRuntimeForTests(); }

    platform::WindowId Handle(std::uint32_t unit, std::uint32_t form = kForm) { return GetUnitHandle(form, unit); }
    std::string FatalText(const std::function<void()>& action) {
        try {
            action();
        } catch (const FatalErrorRaised& e) {
            ResetRuntimeForTests();  // a fatal error holds events back for good
            return e.Text();
        }
        return "(no fatal error)";
    }

    testing::ScopedFakePlatform fake_;
};

TEST_F(LoaderTest, BuildsInReverseOrderStacksInListOrderAndShowsCentredAfterTheEvents) {
    bool hiddenDuringCreated = false;
    platform::Rect outerDuringCreated;
    std::size_t unitsDuringCreated = 0;
    g_onWindowEvent = [&](std::int32_t) {
        hiddenDuringCreated = !AsBool(ReadProperty(kForm, kWin, kPropVisible));
        outerDuringCreated = platform::Rect::FromXYWH(AsInt(ReadProperty(kForm, kWin, kPropLeft)),
                                                      AsInt(ReadProperty(kForm, kWin, kPropTop)),
                                                      AsInt(ReadProperty(kForm, kWin, kPropWidth)),
                                                      AsInt(ReadProperty(kForm, kWin, kPropHeight)));
        for (std::uint32_t u : {kButtonA, kButtonB, kInner, kBox}) unitsDuringCreated += Handle(u) != 0;
    };
    ASSERT_TRUE(LoadWindow(kForm, 0, false));

    ASSERT_EQ(g_created.size(), 4u);
    EXPECT_EQ(g_created[0].unitId, kBox);
    EXPECT_EQ(g_created[1].unitId, kInner);
    EXPECT_EQ(g_created[2].unitId, kButtonB);
    EXPECT_EQ(g_created[3].unitId, kButtonA);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(g_created[i].controlId, static_cast<std::int32_t>(100 + 10 * i));
        EXPECT_EQ(g_created[i].parent, Handle(kWin));
    }
    EXPECT_FALSE(g_testClass.raisedDuringCreate);  // events are held back while building

    const platform::WindowId win = Handle(kWin);
    EXPECT_EQ(fake_->Children(win), (std::vector<platform::WindowId>{Handle(kButtonA), Handle(kButtonB), Handle(kBox)}));
    EXPECT_EQ(fake_->GetParent(Handle(kInner)), Handle(kBox));
    EXPECT_EQ(AsInt(ReadProperty(kForm, kInner, kPropLeft)), -1);
    EXPECT_EQ(AsInt(ReadProperty(kForm, kInner, kPropTop)), 9);

    EXPECT_EQ(g_log, (std::vector<std::string>{"created", "moved", "resized"}));
    EXPECT_TRUE(hiddenDuringCreated);
    EXPECT_EQ(unitsDuringCreated, 4u);
    const platform::Rect centred = platform::Rect::FromXYWH((1920 - 1250) / 2, (1080 - 870) / 2, 1250, 870);
    EXPECT_EQ(outerDuringCreated, centred);
    EXPECT_TRUE(fake_->IsVisible(win));
    EXPECT_EQ(fake_->GetOuterRect(win), centred);
    for (std::uint32_t u : {kButtonA, kButtonB, kInner, kBox}) EXPECT_TRUE(fake_->IsVisible(Handle(u)));
    // No owner and shown in the taskbar: a window of its own.
    EXPECT_EQ(fake_->Find(win)->owner, 0u);
    EXPECT_FALSE(fake_->Find(win)->skipTaskbar);

    // Pointer code 14 is the hand, the same pointer as 32649.
    const platform::CursorId a = fake_->WindowCursor(Handle(kButtonA));
    const platform::CursorId b = fake_->WindowCursor(Handle(kButtonB));
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    EXPECT_EQ(fake_->Cursor(a)->systemCode, 32649);
    EXPECT_EQ(fake_->Cursor(b)->systemCode, 32649);
    EXPECT_EQ(fake_->WindowCursor(Handle(kBox)), 0u);
}

TEST_F(LoaderTest, CommonPropertiesClampAndFollowTheLiveCopy) {
    // Closed: the stored values are written and read.
    WriteProperty(kForm, kBox, kPropWidth, 40000);
    EXPECT_EQ(AsInt(ReadProperty(kForm, kBox, kPropWidth)), 32627);
    WriteProperty(kForm, kBox, kPropHeight, -5);
    EXPECT_EQ(AsInt(ReadProperty(kForm, kBox, kPropHeight)), 0);
    WriteProperty(kForm, kBox, kPropLeft, -40000);
    EXPECT_EQ(AsInt(ReadProperty(kForm, kBox, kPropLeft)), -32627);
    WriteProperty(kForm, kBox, kPropLeft, 456);
    WriteProperty(kForm, kBox, kPropWidth, 300);
    WriteProperty(kForm, kBox, kPropHeight, 200);
    WriteProperty(kForm, kButtonA, kPropTag, std::string("tag"));

    ASSERT_TRUE(LoadWindow(kForm, 0, false));
    // The closed-time writes shaped this opening.
    EXPECT_EQ(fake_->GetOuterRect(Handle(kBox)), platform::Rect::FromXYWH(456, 361, 300, 200));
    EXPECT_EQ(AsText(ReadProperty(kForm, kButtonA, kPropTag)), "tag");

    // Open: writes move and resize the live window, keeping the other coordinate.
    WriteProperty(kForm, kBox, kPropTop, 50);
    WriteProperty(kForm, kBox, kPropWidth, 40000);
    EXPECT_EQ(fake_->GetOuterRect(Handle(kBox)), platform::Rect::FromXYWH(456, 50, 32627, 200));
    EXPECT_EQ(AsInt(ReadProperty(kForm, kBox, kPropWidth)), 32627);
    WriteProperty(kForm, kBox, 8, 42);
    EXPECT_EQ(AsInt(ReadProperty(kForm, kBox, 8)), 42);

    // Closing puts back the copy saved at load: the open-time writes are forgotten.
    DestroyUnit(kForm, kWin, true);
    EXPECT_FALSE(IsWindowLoaded(kForm));
    EXPECT_EQ(AsInt(ReadProperty(kForm, kBox, kPropTop)), 361);
    EXPECT_EQ(AsInt(ReadProperty(kForm, kBox, kPropWidth)), 300);
    EXPECT_EQ(AsText(ReadProperty(kForm, kButtonA, kPropTag)), "tag");
    EXPECT_TRUE(AsBool(ReadProperty(kForm, kBox, kPropVisible)));  // the flag while closed
}

TEST_F(LoaderTest, DisableEnablesTheLiveWindowAndTellsTheUnitOfEachRealChange) {
    // Closed: only the stored flag.
    WriteProperty(kForm, kButtonA, kPropDisable, Logical{true});
    EXPECT_TRUE(AsBool(ReadProperty(kForm, kButtonA, kPropDisable)));
    WriteProperty(kForm, kButtonA, kPropDisable, Logical{false});
    EXPECT_FALSE(AsBool(ReadProperty(kForm, kButtonA, kPropDisable)));
    EXPECT_TRUE(g_log.empty());

    ASSERT_TRUE(LoadWindow(kForm, 0, false));
    g_log.clear();
    const std::string a = "unit " + std::to_string(kButtonA);
    WriteProperty(kForm, kButtonA, kPropDisable, Logical{true});
    EXPECT_FALSE(fake_->IsEnabled(Handle(kButtonA)));
    EXPECT_TRUE(AsBool(ReadProperty(kForm, kButtonA, kPropDisable)));
    EXPECT_EQ(g_log, (std::vector<std::string>{a + " disabled"}));
    WriteProperty(kForm, kButtonA, kPropDisable, Logical{true});  // no change: no notice
    EXPECT_EQ(g_log.size(), 1u);
    WriteProperty(kForm, kButtonA, kPropDisable, Logical{false});
    EXPECT_TRUE(fake_->IsEnabled(Handle(kButtonA)));
    EXPECT_FALSE(AsBool(ReadProperty(kForm, kButtonA, kPropDisable)));
    EXPECT_EQ(g_log, (std::vector<std::string>{a + " disabled", a + " enabled"}));
    EXPECT_TRUE(fake_->IsEnabled(Handle(kButtonB)));  // only the unit written

    // The window unit has no reaction of its own; its window is disabled and enabled all the same.
    WriteProperty(kForm, kWin, kPropDisable, Logical{true});
    EXPECT_FALSE(fake_->IsEnabled(Handle(kWin)));
    WriteProperty(kForm, kWin, kPropDisable, Logical{false});
    EXPECT_TRUE(fake_->IsEnabled(Handle(kWin)));
    EXPECT_EQ(g_log.size(), 2u);
}

TEST_F(LoaderTest, ANewerPropertyBlockFailsTheWholeLoadWithoutEvents) {
    WindowDefinition d = LoginLike();
    d.units[3].propertyBlock = {2, 0, 0, 0};
    RegisterDefinition(d);
    const std::size_t before = fake_->LiveWindowCount();
    EXPECT_FALSE(LoadWindow(kForm, 0, false));
    EXPECT_TRUE(g_log.empty());
    EXPECT_FALSE(IsWindowLoaded(kForm));
    EXPECT_EQ(fake_->LiveWindowCount(), before);  // nothing left standing, nothing ever shown
    EXPECT_TRUE(LoadedWindows().empty());
    EXPECT_FALSE(EventsHeldBack());

    // An unknown class or definition fails the same way.
    d.units[3].propertyBlock.clear();
    d.units[3].classCode = 0x00017777;
    RegisterDefinition(d);
    EXPECT_FALSE(LoadWindow(kForm, 0, false));
    EXPECT_FALSE(LoadWindow(0x52999999, 0, false));
    // An owner that is gone fails before anything is created.
    RegisterDefinition(LoginLike());
    const platform::WindowId dead = fake_->CreateTopLevel({}, nullptr);
    fake_->Destroy(dead);
    EXPECT_FALSE(LoadWindow(kForm, dead, false));
    EXPECT_TRUE(g_log.empty());
}

TEST_F(LoaderTest, ACreatedHandlerThatDestroysItsWindowStopsTheLoadWithSuccess) {
    g_onWindowEvent = [](std::int32_t) { DestroyUnit(kForm, kWin, true); };
    EXPECT_TRUE(LoadWindow(kForm, 0, false));
    EXPECT_EQ(g_log, std::vector<std::string>{"created"});
    EXPECT_FALSE(IsWindowLoaded(kForm));
    for (platform::WindowId w : fake_->TopLevels())
        if (!fake_->Find(w)->ownerWindow) ADD_FAILURE() << "a window was left";
    // Loadable again afterwards.
    g_onWindowEvent = nullptr;
    EXPECT_TRUE(LoadWindow(kForm, 0, false));
    EXPECT_TRUE(IsWindowLoaded(kForm));
}

TEST_F(LoaderTest, DispatchPassesArgumentsAndResultAndReportsBadNotices) {
    ASSERT_TRUE(LoadWindow(kForm, 0, false));
    EventNotice n{kForm, kButtonA, 0, 1, {5, 6, 0, 0, 0}};
    EXPECT_TRUE(RaiseEvent(n));
    EXPECT_TRUE(n.hasResult);
    EXPECT_EQ(n.result, 7);
    EXPECT_EQ(g_log.back(), "button 1 5");
    EventNotice unbound{kForm, kButtonA, 3};
    EXPECT_FALSE(RaiseEvent(unbound));
    EXPECT_FALSE(unbound.hasResult);

    HoldEvents();
    EventNotice held{kForm, kButtonA, 0};
    EXPECT_FALSE(RaiseEvent(held));
    ReleaseEvents();
    EXPECT_TRUE(RaiseEvent(held));

    EXPECT_NE(FatalText([] { EventNotice x{0x52999999, kButtonA, 0}; RaiseEvent(x); }).find("未找到引发事件的窗口\r\n"),
              std::string::npos);
}

TEST_F(LoaderTest, BadNoticesAndAccessesAreFatalWithTheirTexts) {
    ASSERT_TRUE(LoadWindow(kForm, 0, false));
    fake_->Destroy(Handle(kButtonB));  // the control reports itself gone
    EXPECT_EQ(FatalText([] { EventNotice x{kForm, kButtonB, 0}; RaiseEvent(x); }),
              "运行时出错!\r\n\r\n错误信息：引发事件的窗口组件无效\r\n");

    SetUp();
    ASSERT_TRUE(LoadWindow(kForm, 0, false));
    EXPECT_EQ(FatalText([] { EventNotice x{kForm, 0x16999999, 0}; RaiseEvent(x); }),
              "运行时出错!\r\n\r\n错误信息：未找到引发事件的窗口组件\r\n");

    SetUp();
    EXPECT_EQ(FatalText([] { ReadProperty(kForm, kBox, 8); }), "运行时出错!\r\n\r\n错误信息：指定窗口尚未载入\r\n");
    SetUp();
    EXPECT_EQ(FatalText([] { WriteProperty(kForm, kBox, 9, 1); }), "运行时出错!\r\n\r\n错误信息：指定窗口尚未载入\r\n");
    SetUp();
    EXPECT_EQ(FatalText([] { ReadProperty(0x52999999, kBox, 0); }),
              "运行时出错!\r\n\r\n错误信息：未载入欲访问窗口组件所在的窗口\r\n");
    EXPECT_EQ(FatalErrorText("", 7), "运行时出错!\r\n\r\n错误代码：7\r\n\r\n");
    EXPECT_EQ(FatalText([] { OutOfMemory(1024); }), "运行时出错!\r\n\r\n错误信息：分配 1024 字节内存失败!\r\n");
}

WindowDefinition DialogDefinition() {
    WindowDefinition d;
    d.formId = kDialogForm;
    d.units = {WindowUnitDef(kDialogWin, 3, true), Control(0x16000021, 0, 0, 100, 100)};
    d.units[0].events.clear();
    return d;
}

TEST_F(LoaderTest, DialogModeDisablesTheOthersRunsANestedLoopAndBringsASecondLoadForward) {
    RegisterDefinition(DialogDefinition());
    ASSERT_TRUE(LoadWindow(kForm, 0, false));
    const platform::WindowId main = Handle(kWin);
    SetMessageLoopRunning(true);

    bool mainEnabledInside = true;
    bool secondLoadReturned = false;
    int depthInside = 0;
    platform::WindowId dialog = 0;
    fake_->OnIdle([&] {
        dialog = Handle(kDialogWin, kDialogForm);
        mainEnabledInside = fake_->IsEnabled(main);
        depthInside = fake_->LoopDepth();
        const std::size_t windows = fake_->LiveWindowCount();
        secondLoadReturned = LoadWindow(kDialogForm, 0, true) && fake_->LiveWindowCount() == windows;
        fake_->RequestClose(dialog);  // the user closes it
    });
    EXPECT_TRUE(LoadWindow(kDialogForm, 0, true));

    EXPECT_FALSE(mainEnabledInside);
    EXPECT_EQ(depthInside, 1);
    EXPECT_TRUE(secondLoadReturned);
    EXPECT_FALSE(IsWindowLoaded(kDialogForm));
    EXPECT_TRUE(fake_->IsEnabled(main));
    EXPECT_EQ(fake_->QuitsPosted(), 0);  // the main window is still there
    ASSERT_NE(dialog, 0u);
    EXPECT_EQ(fake_->Find(dialog), nullptr);
}

TEST_F(LoaderTest, DialogWindowIsOwnedStaysOutOfTheTaskbarAndIsMaximised) {
    RegisterDefinition(DialogDefinition());
    platform::WindowId dialog = 0;
    bool skip = false, maximised = false;
    platform::WindowId owner = 0;
    fake_->OnIdle([&] {
        dialog = Handle(kDialogWin, kDialogForm);
        skip = fake_->Find(dialog)->skipTaskbar;
        owner = fake_->Find(dialog)->owner;
        maximised = fake_->IsMaximized(dialog);
        DestroyUnit(kDialogForm, kDialogWin);  // deferred: goes when the loop reaches it
    });
    EXPECT_TRUE(LoadWindow(kDialogForm, 0, true));
    EXPECT_TRUE(skip);
    EXPECT_EQ(owner, OwnerWindow());
    EXPECT_TRUE(maximised);
    EXPECT_FALSE(IsWindowLoaded(kDialogForm));
}

TEST_F(LoaderTest, DeferredDestructionAndTheLastWindowEndingTheLoop) {
    ASSERT_TRUE(LoadWindow(kForm, 0, false));
    SetMessageLoopRunning(true);
    DestroyUnit(kForm, kWin);
    EXPECT_TRUE(IsWindowLoaded(kForm));  // not before the loop delivers the request
    EXPECT_EQ(fake_->QuitsPosted(), 0);

    // A load meeting the pending destruction builds a fresh instance without ending the program.
    const platform::WindowId old = Handle(kWin);
    ASSERT_TRUE(LoadWindow(kForm, 0, false));
    EXPECT_NE(Handle(kWin), old);
    EXPECT_EQ(fake_->QuitsPosted(), 0);
    fake_->DeliverPosted();
    EXPECT_TRUE(IsWindowLoaded(kForm));

    DestroyUnit(kForm, kWin);
    fake_->DeliverPosted();
    EXPECT_FALSE(IsWindowLoaded(kForm));
    EXPECT_EQ(fake_->QuitsPosted(), 1);
    EXPECT_EQ(fake_->LastQuitCode(), 0);
    EXPECT_EQ(fake_->LiveCursorCount(), 0u);  // the instance's pointers went with it
}

TEST_F(LoaderTest, TheHandIsTheProgramsOwnPointerAndCursorFilesInTheDataAreUsed) {
    const std::vector<std::uint8_t> pixels(16 * 16 * 4, 0xFF);
    const std::vector<std::uint8_t> hand = resources::EncodeIconFile(pixels, 16, 16, true, 5, 2);
    SetProgramPointer(kPointerHand, hand);
    ASSERT_TRUE(LoadWindow(kForm, 0, false));
    // Code 14 and 32649 both take the carried cursor, with its own size and hotspot.
    for (std::uint32_t unit : {kButtonA, kButtonB}) {
        const testing::FakeCursor* cursor = fake_->Cursor(fake_->WindowCursor(Handle(unit)));
        ASSERT_NE(cursor, nullptr);
        EXPECT_EQ(cursor->systemCode, 0);
        EXPECT_EQ(cursor->width, 16);
        EXPECT_EQ(cursor->hotspot, (platform::Point{5, 2}));
    }
    DestroyUnit(kForm, kWin, true);
    EXPECT_EQ(fake_->LiveCursorCount(), 0u);

    // A carried file that does not decode falls back to the system's pointer of that code.
    const std::vector<std::uint8_t> broken(hand.begin(), hand.begin() + 30);
    SetProgramPointer(kPointerHand, broken);
    ASSERT_TRUE(LoadWindow(kForm, 0, false));
    EXPECT_EQ(fake_->Cursor(fake_->WindowCursor(Handle(kButtonA)))->systemCode, kPointerHand);
    DestroyUnit(kForm, kWin, true);
    SetProgramPointer(kPointerHand, {});

    // Pointer data holding a whole cursor file, or code -1 and a file after it.
    std::vector<std::uint8_t> afterCode(4 + hand.size(), 0xFF);
    std::copy(hand.begin(), hand.end(), afterCode.begin() + 4);
    for (const auto& data : {hand, afterCode}) {
        const platform::CursorId id = LoadPointer(*fake_, data);
        ASSERT_NE(fake_->Cursor(id), nullptr);
        EXPECT_EQ(fake_->Cursor(id)->hotspot, (platform::Point{5, 2}));
    }
    EXPECT_EQ(LoadPointer(*fake_, std::vector<std::uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 1, 2}), 0u);
    EXPECT_EQ(LoadPointer(*fake_, std::vector<std::uint8_t>{0, 0, 0, 0}), 0u);
}

TEST_F(LoaderTest, LoadingAnOpenInstanceBringsItForward) {
    ASSERT_TRUE(LoadWindow(kForm, 0, false));
    const platform::WindowId win = Handle(kWin);
    fake_->Show(win, platform::ShowCommand::Minimized);
    g_log.clear();
    EXPECT_TRUE(LoadWindow(kForm, 0, false));
    EXPECT_FALSE(fake_->IsMinimized(win));
    EXPECT_EQ(Handle(kWin), win);
    EXPECT_EQ(g_created.size(), 4u);
    EXPECT_EQ(std::count(g_log.begin(), g_log.end(), "created"), 0);
}

}  // namespace
}  // namespace kestrune::forms
