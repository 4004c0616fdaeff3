// The picture button inside a real window instance (forms runtime, window unit, in-memory
// platform): pointer state machine, capture, clicks, toggle mode, disabled state, pictures,
// outline and the property block.
#include <gtest/gtest.h>

#include <functional>

#include "forms/Fatal.h"
#include "forms/Loader.h"
#include "forms/Runtime.h"
#include "resources/IconFile.h"
#include "tests/support/TestPng.h"
#include "tests/support/FakePlatform.h"
#include "ui/controls/PicBtn.h"
#include "ui/window/WindowProperties.h"
#include "ui/window/WindowUnit.h"

namespace {

namespace forms = kestrune::forms;
namespace platform = kestrune::platform;
using kestrune::ui::PicBtn;
using kestrune::ui::PicBtnProperties;
using platform::Colour;
using platform::MouseAction;
using platform::MouseButton;
using platform::Point;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kForm = 0x52000101;
constexpr std::uint32_t kWin = 0x06000101;
constexpr std::uint32_t kButton = 0x16000102;
constexpr Colour kWindowBack = 0x00402010;

constexpr Colour kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kGrey = 0x808080;

int g_clicks = 0;
std::function<void()> g_onClick;

std::optional<std::int32_t> OnClick(std::span<const std::int32_t> args) {
    EXPECT_TRUE(args.empty());
    ++g_clicks;
    if (g_onClick) g_onClick();
    return 1;  // ignored by the button
}

Bytes SolidPng(int w, int h, Colour c, std::uint8_t alpha = 255) {
    Bytes rgba;
    for (int i = 0; i < w * h; ++i)
        rgba.insert(rgba.end(), {platform::RedOf(c), platform::GreenOf(c), platform::BlueOf(c), alpha});
    return test_support::WritePng(rgba, w, h);
}

// A 30 x 20 picture: columns [keyLeft, keyRight) in `key`, the rest in `rest`.
Bytes BandedPng(int keyLeft, int keyRight, Colour key, Colour rest) {
    Bytes rgba;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) {
            const Colour c = x >= keyLeft && x < keyRight ? key : rest;
            rgba.insert(rgba.end(), {platform::RedOf(c), platform::GreenOf(c), platform::BlueOf(c), 255});
        }
    return test_support::WritePng(rgba, 30, 20);
}

// Normal red, hover green, pressed blue, disabled grey: which one shows is read off the paint.
PicBtnProperties FourPictures() {
    PicBtnProperties p;
    p.pictures = {SolidPng(30, 20, kRed), SolidPng(30, 20, kGreen), SolidPng(30, 20, kBlue), SolidPng(30, 20, kGrey)};
    return p;
}

class PicBtnTest : public ::testing::Test {
protected:
    void SetUp() override {
        forms::ResetRuntimeForTests();
        kestrune::ui::RegisterWindowClass();
        kestrune::ui::RegisterPicBtnClass();
        forms::SetOwnerWindow(fake_->CreateOwnerWindow());
        g_clicks = 0;
        g_onClick = nullptr;
    }
    void TearDown() override {
        g_onClick = nullptr;
        forms::ResetRuntimeForTests();
    }

    // Loads a window holding one button at (10, 10), 30 x 20, with `block` as its property block.
    bool Load(const Bytes& block, std::uint32_t flags = forms::kFlagVisible) {
        kestrune::ui::WindowProperties wp;
        wp.border = 0;
        wp.backColor = kWindowBack;
        wp.dragAnywhere = true;
        forms::UnitDefinition win;
        win.unitId = kWin;
        win.classCode = forms::kClassWindow;
        win.left = 100;
        win.top = 100;
        win.width = 200;
        win.height = 100;
        win.flags = forms::kFlagVisible;
        win.propertyBlock = kestrune::ui::EncodeWindowProperties(wp);
        forms::UnitDefinition button;
        button.unitId = kButton;
        button.classCode = forms::kClassPicBtn;
        button.left = 10;
        button.top = 10;
        button.width = 30;
        button.height = 20;
        button.flags = flags;
        button.events = {{0, &OnClick}};
        button.propertyBlock = block;
        forms::WindowDefinition d;
        d.formId = kForm;
        d.units = {win, button};
        forms::RegisterDefinition(d);
        if (!forms::LoadWindow(kForm, 0, false)) return false;
        handle_ = forms::GetUnitHandle(kForm, kButton);
        return handle_ != 0;
    }
    bool Load(const PicBtnProperties& p, std::uint32_t flags = forms::kFlagVisible) {
        return Load(kestrune::ui::EncodePicBtnProperties(p), flags);
    }

    PicBtn& Button() { return *static_cast<PicBtn*>(forms::FindUnitObject(kForm, kButton)); }
    void Mouse(MouseAction action, Point client, bool leftDown = false) {
        const MouseButton button = action == MouseAction::Move ? MouseButton::None : MouseButton::Left;
        fake_->SendMouse(handle_, fake_->MakeMouse(handle_, action, button, client, leftDown));
    }
    // The colour the button shows at a client point.
    Colour Shown(Point p = {5, 5}) { return fake_->Paint(handle_).View().ColourAt(p.x, p.y); }
    bool Captured() { return fake_->GetCapture() == handle_; }
    // Common property 6, as a program writes it.
    void Disable(bool disabled) { forms::WriteProperty(kForm, kButton, forms::kPropDisable, forms::Logical{disabled}); }
    bool ReadsDisabled() { return forms::AsBool(forms::ReadProperty(kForm, kButton, forms::kPropDisable)); }
    int Repaints() { return fake_->Find(handle_)->repaints; }

    kestrune::testing::ScopedFakePlatform fake_;
    platform::WindowId handle_ = 0;
    static constexpr Point kInside{5, 5};
    static constexpr Point kOutside{60, 5};  // on the window, beside the button
};

TEST_F(PicBtnTest, PressDragOutAndReleaseOutsideGivesNoClick) {
    ASSERT_TRUE(Load(FourPictures()));
    EXPECT_EQ(Shown(), kRed);
    Mouse(MouseAction::Move, kInside);
    EXPECT_EQ(Button().VisualState(), 1);
    EXPECT_TRUE(Captured());
    EXPECT_EQ(Shown(), kGreen);

    Mouse(MouseAction::Press, kInside, true);
    EXPECT_EQ(Button().VisualState(), 2);
    EXPECT_EQ(Shown(), kBlue);
    EXPECT_TRUE(fake_->MoveDrags().empty());  // a press on the button never drags the window

    Mouse(MouseAction::Move, kOutside, true);
    EXPECT_EQ(Button().VisualState(), 0);
    EXPECT_EQ(Shown(), kRed);
    EXPECT_TRUE(Captured());  // kept while the button is held, to see the pointer come back

    Mouse(MouseAction::Release, kOutside);
    EXPECT_EQ(g_clicks, 0);
    EXPECT_FALSE(Captured());
    EXPECT_EQ(Button().VisualState(), 0);
}

TEST_F(PicBtnTest, OutAndBackInGivesOneClickAndNormalAfterwards) {
    ASSERT_TRUE(Load(FourPictures()));
    Mouse(MouseAction::Press, kInside, true);
    EXPECT_TRUE(Captured());
    Mouse(MouseAction::Move, kOutside, true);
    Mouse(MouseAction::Move, kInside, true);
    EXPECT_EQ(Button().VisualState(), 2);
    EXPECT_EQ(Shown(), kBlue);
    Mouse(MouseAction::Release, kInside);
    EXPECT_EQ(g_clicks, 1);
    EXPECT_EQ(Button().VisualState(), 0);
    EXPECT_FALSE(Captured());
    EXPECT_EQ(Shown(), kRed);
    Mouse(MouseAction::Move, kInside);  // hovers again only when the pointer moves
    EXPECT_EQ(Button().VisualState(), 1);
    Mouse(MouseAction::Move, kOutside);
    EXPECT_EQ(Button().VisualState(), 0);
    EXPECT_FALSE(Captured());
}

TEST_F(PicBtnTest, DoubleClickGivesTwoClicksWithoutASecondPress) {
    ASSERT_TRUE(Load(FourPictures()));
    Mouse(MouseAction::Press, kInside, true);
    Mouse(MouseAction::Release, kInside);
    Mouse(MouseAction::DoublePress, kInside, true);
    EXPECT_EQ(Button().VisualState(), 0);  // not shown pressed
    EXPECT_FALSE(Captured());
    Mouse(MouseAction::Release, kInside);
    EXPECT_EQ(g_clicks, 2);
}

TEST_F(PicBtnTest, ReleaseInsideClicksWhereverThePressBegan) {
    ASSERT_TRUE(Load(FourPictures()));
    Mouse(MouseAction::Release, kInside);
    EXPECT_EQ(g_clicks, 1);
    Mouse(MouseAction::Release, Point{30, 5});  // the right edge is outside (exclusive)
    EXPECT_EQ(g_clicks, 1);
    // Right and middle buttons do nothing.
    fake_->SendMouse(handle_, fake_->MakeMouse(handle_, MouseAction::Press, MouseButton::Right, kInside));
    fake_->SendMouse(handle_, fake_->MakeMouse(handle_, MouseAction::Release, MouseButton::Right, kInside));
    EXPECT_EQ(g_clicks, 1);
    EXPECT_EQ(Button().VisualState(), 0);
}

TEST_F(PicBtnTest, ToggleFlipsOnEachReleaseAndNeverHovers) {
    PicBtnProperties p = FourPictures();
    p.buttonType = 1;
    ASSERT_TRUE(Load(p));
    Mouse(MouseAction::Move, kInside);
    EXPECT_EQ(Button().VisualState(), 0);
    EXPECT_FALSE(Captured());
    Mouse(MouseAction::Press, kInside, true);
    EXPECT_EQ(Button().VisualState(), 0);  // presses do nothing in toggle mode

    Mouse(MouseAction::Release, kInside);
    EXPECT_EQ(g_clicks, 1);
    EXPECT_TRUE(Button().Down());
    EXPECT_EQ(Shown(), kBlue);
    EXPECT_TRUE(forms::AsBool(forms::ReadProperty(kForm, kButton, 9)));
    Mouse(MouseAction::Release, kInside);
    EXPECT_EQ(g_clicks, 2);
    EXPECT_FALSE(Button().Down());
    EXPECT_EQ(Shown(), kRed);
    Mouse(MouseAction::Release, kOutside);
    EXPECT_EQ(g_clicks, 2);
    EXPECT_FALSE(Button().Down());

    forms::WriteProperty(kForm, kButton, 9, forms::Logical{true});
    EXPECT_TRUE(Button().Down());
    EXPECT_EQ(Shown(), kBlue);
}

TEST_F(PicBtnTest, SelectedStartsAToggleButtonDownButNotAPushButton) {
    PicBtnProperties p = FourPictures();
    p.buttonType = 1;
    p.selected = true;
    ASSERT_TRUE(Load(p));
    EXPECT_EQ(Button().VisualState(), 2);
    EXPECT_EQ(Shown(), kBlue);
    forms::ResetRuntimeForTests();
    SetUp();
    p.buttonType = 0;
    ASSERT_TRUE(Load(p));
    EXPECT_EQ(Button().VisualState(), 0);
    forms::WriteProperty(kForm, kButton, 8, 7);  // clamped to toggle; nothing redrawn
    EXPECT_EQ(forms::AsInt(forms::ReadProperty(kForm, kButton, 8)), 1);
    EXPECT_EQ(Button().VisualState(), 0);
}

TEST_F(PicBtnTest, DisabledButtonShowsItsDisabledPictureAndNeverClicks) {
    ASSERT_TRUE(Load(FourPictures(), forms::kFlagVisible | forms::kFlagDisabled));
    EXPECT_EQ(Shown(), kGrey);
    Mouse(MouseAction::Move, kInside);
    EXPECT_EQ(Button().VisualState(), 0);
    Mouse(MouseAction::Press, kInside, true);
    EXPECT_EQ(Button().VisualState(), 0);
    Mouse(MouseAction::Release, kInside);
    EXPECT_EQ(g_clicks, 0);

    EXPECT_TRUE(ReadsDisabled());
    Disable(false);
    EXPECT_FALSE(ReadsDisabled());
    EXPECT_TRUE(fake_->IsEnabled(handle_));
    EXPECT_EQ(Shown(), kRed);
    Mouse(MouseAction::Press, kInside, true);
    EXPECT_EQ(Shown(), kBlue);
    // Disabled while pressed, without a disabled picture: the picture of the current state shows.
    forms::WriteProperty(kForm, kButton, 13, Bytes{});
    Disable(true);
    EXPECT_TRUE(ReadsDisabled());
    EXPECT_EQ(Shown(), kBlue);
    Mouse(MouseAction::Move, kInside, true);
    EXPECT_FALSE(Captured());  // movement releases the capture while disabled
    Mouse(MouseAction::Release, kInside);
    EXPECT_EQ(g_clicks, 0);
}

TEST_F(PicBtnTest, DisablingThroughTheCommonPropertyRefreshesOutlineAndPicture) {
    // Keyed on red: the normal picture loses its left third, the disabled one its right third.
    PicBtnProperties p;
    p.transparentColor = kRed;
    p.pictures[0] = BandedPng(0, 10, kRed, kBlue);
    p.pictures[3] = BandedPng(20, 30, kRed, kGrey);
    ASSERT_TRUE(Load(p));
    ASSERT_TRUE(fake_->Find(handle_)->shape);
    EXPECT_EQ(fake_->Find(handle_)->shape->Bounds(), (platform::Rect{10, 0, 30, 20}));
    EXPECT_EQ(Shown({15, 5}), kBlue);

    int repaints = Repaints();
    Disable(true);
    EXPECT_FALSE(fake_->IsEnabled(handle_));
    ASSERT_TRUE(fake_->Find(handle_)->shape);
    EXPECT_EQ(fake_->Find(handle_)->shape->Bounds(), (platform::Rect{0, 0, 20, 20}));
    EXPECT_GT(Repaints(), repaints);
    EXPECT_EQ(Shown({15, 5}), kGrey);

    // Written again with the same value: not a change, nothing is redone.
    const int shapeChanges = fake_->Find(handle_)->shapeChanges;
    repaints = Repaints();
    Disable(true);
    EXPECT_EQ(fake_->Find(handle_)->shapeChanges, shapeChanges);
    EXPECT_EQ(Repaints(), repaints);

    Disable(false);
    EXPECT_TRUE(fake_->IsEnabled(handle_));
    ASSERT_TRUE(fake_->Find(handle_)->shape);
    EXPECT_EQ(fake_->Find(handle_)->shape->Bounds(), (platform::Rect{10, 0, 30, 20}));
    EXPECT_GT(Repaints(), repaints);
    EXPECT_EQ(Shown({15, 5}), kBlue);

    // Without a disabled picture the outline stays that of the normal picture.
    forms::WriteProperty(kForm, kButton, 13, Bytes{});
    Disable(true);
    ASSERT_TRUE(fake_->Find(handle_)->shape);
    EXPECT_EQ(fake_->Find(handle_)->shape->Bounds(), (platform::Rect{10, 0, 30, 20}));
    EXPECT_EQ(Shown({15, 5}), kBlue);
}

TEST_F(PicBtnTest, SelectedWrittenToAPushButtonIsStoredButReadsTheDownFlag) {
    ASSERT_TRUE(Load(FourPictures()));
    const int repaints = Repaints();
    forms::WriteProperty(kForm, kButton, 9, forms::Logical{true});
    EXPECT_FALSE(forms::AsBool(forms::ReadProperty(kForm, kButton, 9)));  // the down flag, still up
    EXPECT_FALSE(Button().Down());
    EXPECT_EQ(Button().VisualState(), 0);
    EXPECT_EQ(Repaints(), repaints);
    EXPECT_EQ(Shown(), kRed);
    EXPECT_TRUE(Button().Properties().selected);  // stored, and saved with the block
    const auto saved = kestrune::ui::DecodePicBtnProperties(Button().SaveProperties());
    ASSERT_TRUE(saved);
    EXPECT_TRUE(saved->selected);
    // Turned into a toggle button afterwards, it is still up until Selected is written again.
    forms::WriteProperty(kForm, kButton, 8, 1);
    EXPECT_FALSE(forms::AsBool(forms::ReadProperty(kForm, kButton, 9)));
    EXPECT_EQ(Shown(), kRed);
    forms::WriteProperty(kForm, kButton, 9, forms::Logical{true});
    EXPECT_TRUE(forms::AsBool(forms::ReadProperty(kForm, kButton, 9)));
    EXPECT_EQ(Shown(), kBlue);

    // A push button created selected starts with its down flag set (without looking pressed), and
    // writing Selected does not clear it.
    forms::ResetRuntimeForTests();
    SetUp();
    PicBtnProperties p = FourPictures();
    p.selected = true;
    ASSERT_TRUE(Load(p));
    EXPECT_TRUE(forms::AsBool(forms::ReadProperty(kForm, kButton, 9)));
    EXPECT_EQ(Button().VisualState(), 0);
    forms::WriteProperty(kForm, kButton, 9, forms::Logical{false});
    EXPECT_TRUE(forms::AsBool(forms::ReadProperty(kForm, kButton, 9)));
    EXPECT_FALSE(Button().Properties().selected);
    EXPECT_EQ(Shown(), kRed);
}

TEST_F(PicBtnTest, AnotherProgramsWindowOverTheButtonCountsAsOutside) {
    ASSERT_TRUE(Load(FourPictures()));
    Mouse(MouseAction::Move, kInside);
    ASSERT_EQ(Button().VisualState(), 1);
    ASSERT_TRUE(Captured());

    // A window of another program comes up over the button; the pointer, still inside the button's
    // rectangle, now moves over that window.
    const Point onScreen = fake_->ClientToScreen(handle_, {0, 0});
    const int foreign = fake_->OpenForeignWindow(platform::Rect::FromXYWH(onScreen.x, onScreen.y, 20, 20));
    ASSERT_EQ(fake_->WindowFromScreenPoint(fake_->ClientToScreen(handle_, kInside)), platform::kForeignWindow);
    Mouse(MouseAction::Move, kInside);
    EXPECT_EQ(Button().VisualState(), 0);
    EXPECT_FALSE(Captured());
    EXPECT_EQ(Shown(), kRed);
    Mouse(MouseAction::Move, Point{25, 5});  // the part of the button it leaves free
    EXPECT_EQ(Button().VisualState(), 1);
    EXPECT_TRUE(Captured());

    // A press on the free part, dragged under the other window: not pressed there, capture kept.
    Mouse(MouseAction::Press, Point{25, 5}, true);
    EXPECT_EQ(Button().VisualState(), 2);
    Mouse(MouseAction::Move, kInside, true);
    EXPECT_EQ(Button().VisualState(), 0);
    EXPECT_TRUE(Captured());
    Mouse(MouseAction::Move, Point{25, 5}, true);
    EXPECT_EQ(Button().VisualState(), 2);
    Mouse(MouseAction::Release, Point{25, 5});
    EXPECT_EQ(g_clicks, 1);

    fake_->CloseForeignWindow(foreign);
    Mouse(MouseAction::Move, kInside);
    EXPECT_EQ(Button().VisualState(), 1);
    EXPECT_EQ(Shown(), kGreen);
}

TEST_F(PicBtnTest, WhereNoWindowAtAllIsTheClientRectangleDecides) {
    ASSERT_TRUE(Load(FourPictures()));
    // The window's own outline cuts away the whole button area, with nothing behind it.
    const platform::WindowId window = forms::GetUnitHandle(kForm, kWin);
    const platform::Region outline({platform::Rect{100, 0, 200, 100}});
    fake_->SetShape(window, &outline);
    ASSERT_EQ(fake_->WindowFromScreenPoint(fake_->ClientToScreen(handle_, kInside)), 0u);
    Mouse(MouseAction::Move, kInside);
    EXPECT_EQ(Button().VisualState(), 1);
    EXPECT_TRUE(Captured());
    Mouse(MouseAction::Move, Point{-5, 5});  // no window there either, but outside the rectangle
    EXPECT_EQ(Button().VisualState(), 0);
    EXPECT_FALSE(Captured());

    // The same point with another program's window there instead of nothing: outside.
    Mouse(MouseAction::Move, kInside);
    ASSERT_EQ(Button().VisualState(), 1);
    fake_->OpenForeignWindow(platform::Rect::FromXYWH(0, 0, 1920, 1080));
    Mouse(MouseAction::Move, kInside);
    EXPECT_EQ(Button().VisualState(), 0);
    EXPECT_FALSE(Captured());
}

TEST_F(PicBtnTest, PointerOverACutAwayPartCountsAsOutside) {
    // Keyed on red: the left third of the button is cut away.
    PicBtnProperties p;
    p.transparentColor = kRed;
    p.pictures[0] = BandedPng(0, 10, kRed, kBlue);
    p.pictures[1] = BandedPng(0, 10, kRed, kGreen);
    ASSERT_TRUE(Load(p));
    const Point cutAway{5, 5}, solid{15, 5};
    Mouse(MouseAction::Move, cutAway);  // inside the rectangle, but the window there is the parent
    EXPECT_EQ(Button().VisualState(), 0);
    EXPECT_FALSE(Captured());
    Mouse(MouseAction::Move, solid);
    EXPECT_EQ(Button().VisualState(), 1);
    EXPECT_TRUE(Captured());
    EXPECT_EQ(Shown(solid), kGreen);
    Mouse(MouseAction::Move, cutAway);
    EXPECT_EQ(Button().VisualState(), 0);
    EXPECT_FALSE(Captured());
    EXPECT_EQ(Shown(solid), kBlue);
    const int repaints = Repaints();
    Mouse(MouseAction::Move, cutAway);  // the same state again changes nothing
    EXPECT_EQ(Button().VisualState(), 0);
    EXPECT_EQ(Repaints(), repaints);

    // Pressed on the picture and dragged onto the cut-away part: shown normal, the capture kept; the
    // release there is still inside the client rectangle, so it clicks.
    Mouse(MouseAction::Move, solid);
    Mouse(MouseAction::Press, solid, true);
    EXPECT_EQ(Button().VisualState(), 2);
    Mouse(MouseAction::Move, cutAway, true);
    EXPECT_EQ(Button().VisualState(), 0);
    EXPECT_TRUE(Captured());
    Mouse(MouseAction::Release, cutAway);
    EXPECT_EQ(g_clicks, 1);
    EXPECT_FALSE(Captured());
}

TEST_F(PicBtnTest, PicturesAreCopiedOneToOneOnBlackOverTheWindowColour) {
    PicBtnProperties p;
    p.pictures[0] = SolidPng(12, 8, 0x0000FF, 0);  // fully transparent: shows the window's colour
    ASSERT_TRUE(Load(p));
    EXPECT_EQ(Button().Matte(), kWindowBack);
    EXPECT_EQ(Shown({0, 0}), kWindowBack);
    EXPECT_EQ(Shown({11, 7}), kWindowBack);
    EXPECT_EQ(Shown({12, 7}), 0u);  // not covered: black
    EXPECT_EQ(Shown({11, 8}), 0u);

    forms::WriteProperty(kForm, kButton, 10, SolidPng(50, 40, kGreen));  // larger: cut at the edge
    const platform::Bitmap face = fake_->Paint(handle_);
    EXPECT_EQ(face.Width(), 30);
    EXPECT_EQ(face.View().ColourAt(29, 19), kGreen);

    forms::WriteProperty(kForm, kButton, 10, Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9});  // undecodable
    EXPECT_EQ(Shown(), 0u);
}

TEST_F(PicBtnTest, HoverPictureWrittenWhileNotHoveredWaitsForThePointer) {
    PicBtnProperties p = FourPictures();
    p.pictures[1].clear();
    ASSERT_TRUE(Load(p));
    const int repaints = fake_->Find(handle_)->repaints;
    forms::WriteProperty(kForm, kButton, 11, SolidPng(30, 20, kGreen));
    EXPECT_EQ(fake_->Find(handle_)->repaints, repaints);
    Mouse(MouseAction::Move, kInside);
    EXPECT_GT(fake_->Find(handle_)->repaints, repaints);
    EXPECT_EQ(Shown(), kGreen);
    forms::WriteProperty(kForm, kButton, 11, SolidPng(30, 20, kGrey));  // now hovered: at once
    EXPECT_EQ(Shown(), kGrey);
}

TEST_F(PicBtnTest, TransparentColourCutsTheOutlineOfTheChosenPicture) {
    // Left third red (the key), the rest blue.
    Bytes rgba;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 30; ++x) {
            const Colour c = x < 10 ? kRed : kBlue;
            rgba.insert(rgba.end(), {platform::RedOf(c), platform::GreenOf(c), platform::BlueOf(c), 255});
        }
    PicBtnProperties p;
    p.pictures[0] = test_support::WritePng(rgba, 30, 20);
    ASSERT_TRUE(Load(p));
    EXPECT_FALSE(fake_->Find(handle_)->shape);  // no transparent colour: a rectangle

    forms::WriteProperty(kForm, kButton, 14, static_cast<std::int32_t>(kRed));
    const auto& shape = fake_->Find(handle_)->shape;
    ASSERT_TRUE(shape);
    EXPECT_FALSE(shape->Contains({5, 5}));
    EXPECT_TRUE(shape->Contains({15, 5}));
    EXPECT_EQ(shape->Bounds(), (platform::Rect{10, 0, 30, 20}));
    const int changes = fake_->Find(handle_)->shapeChanges;
    forms::WriteProperty(kForm, kButton, 14, static_cast<std::int32_t>(kRed));  // unchanged: nothing
    EXPECT_EQ(fake_->Find(handle_)->shapeChanges, changes);

    forms::WriteProperty(kForm, kButton, 14, static_cast<std::int32_t>(platform::kColourMarker));
    EXPECT_FALSE(fake_->Find(handle_)->shape);
}

TEST_F(PicBtnTest, ClickHandlerMayDestroyTheWindowHoldingTheButton) {
    ASSERT_TRUE(Load(FourPictures()));
    const platform::WindowId window = forms::GetUnitHandle(kForm, kWin);
    g_onClick = [] { forms::DestroyUnit(kForm, kWin, true); };
    Mouse(MouseAction::Press, kInside, true);
    Mouse(MouseAction::Release, kInside);
    EXPECT_EQ(g_clicks, 1);
    EXPECT_FALSE(fake_->Exists(window));
    EXPECT_FALSE(fake_->Exists(handle_));
    EXPECT_EQ(forms::FindUnitObject(kForm, kButton), nullptr);
}

TEST_F(PicBtnTest, PropertyBlockRoundTripAndRejection) {
    PicBtnProperties p = FourPictures();
    p.buttonType = 1;
    p.selected = true;
    p.transparentColor = 0x00123456;
    p.pictures[2].clear();
    const Bytes block = kestrune::ui::EncodePicBtnProperties(p);
    EXPECT_EQ(block[0], 1);  // the version written
    const auto back = kestrune::ui::DecodePicBtnProperties(block);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, p);
    EXPECT_EQ(*kestrune::ui::DecodePicBtnProperties({}), PicBtnProperties{});

    Bytes v0 = block;
    v0[0] = 0;
    EXPECT_TRUE(kestrune::ui::DecodePicBtnProperties(v0));
    Bytes v2 = block;
    v2[0] = 2;
    EXPECT_FALSE(kestrune::ui::DecodePicBtnProperties(v2));
    EXPECT_FALSE(kestrune::ui::DecodePicBtnProperties(std::span(block).first(block.size() - 1)));
    EXPECT_FALSE(kestrune::ui::DecodePicBtnProperties(std::span(block).first(14)));
    Bytes overlong = kestrune::ui::EncodePicBtnProperties(PicBtnProperties{});
    overlong[16] = 100;  // the normal picture claims 100 bytes that are not there
    EXPECT_FALSE(kestrune::ui::DecodePicBtnProperties(overlong));

    // A created button saves the block it was made from.
    ASSERT_TRUE(Load(block));
    EXPECT_EQ(Button().SaveProperties(), block);
    EXPECT_EQ(forms::AsBytes(forms::ReadProperty(kForm, kButton, 10)), p.pictures[0]);
    EXPECT_EQ(static_cast<Colour>(forms::AsInt(forms::ReadProperty(kForm, kButton, 14))), 0x00123456u);
}

TEST_F(PicBtnTest, VersionTwoBlockFailsTheWholeLoad) {
    Bytes block = kestrune::ui::EncodePicBtnProperties(FourPictures());
    block[0] = 2;
    EXPECT_FALSE(Load(block));
    EXPECT_EQ(g_clicks, 0);
}

TEST(PicBtnChoice, FallsBackToTheNormalPicture) {
    using kestrune::ui::ChoosePicBtnPicture;
    EXPECT_EQ(ChoosePicBtnPicture(1, false, {true, false, true, true}), 0);
    EXPECT_EQ(ChoosePicBtnPicture(2, false, {true, true, true, true}), 2);
    EXPECT_EQ(ChoosePicBtnPicture(2, true, {true, true, true, false}), 2);
    EXPECT_EQ(ChoosePicBtnPicture(0, true, {true, true, true, true}), 3);
    EXPECT_EQ(ChoosePicBtnPicture(0, false, {false, true, true, true}), -1);
}

}  // namespace
