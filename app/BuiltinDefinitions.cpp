#include "app/BuiltinDefinitions.h"

#include "app/FormIds.h"
#include "app/MachinePreparation.h"
#include "app/Program.h"
#include "app/HandOff.h"
#include "browser/HtmlViewer.h"
#include "forms/PointerData.h"
#include "forms/Runtime.h"
#include "resources/Artwork.h"
#include "ui/controls/PicBtn.h"
#include "ui/controls/ShapeBox.h"
#include "ui/window/WindowProperties.h"
#include "ui/window/WindowUnit.h"
#include "forms/PropertyBlock.h"

#ifndef KESTRUNE_LOGIN_URL
#error "KESTRUNE_LOGIN_URL must name the built-in login page address"
#endif

namespace kestrune::app {

namespace {

using forms::UnitDefinition;

forms::Bytes PointerCode(std::int32_t code) {
    forms::Bytes out;
    forms::AppendInt(out, static_cast<std::uint32_t>(code));
    return out;
}

forms::Bytes Copy(std::span<const std::uint8_t> bytes) { return forms::Bytes(bytes.begin(), bytes.end()); }

UnitDefinition Unit(std::uint32_t id, std::uint32_t cls, const char* name, int left, int top, int width, int height,
                    std::uint32_t flags) {
    UnitDefinition u;
    u.unitId = id;
    u.classCode = cls;
    u.name = name;
    u.left = left;
    u.top = top;
    u.width = width;
    u.height = height;
    u.flags = flags;
    u.mousePointer = PointerCode(0);
    return u;
}

// Own properties both windows share; each definition changes what differs.
ui::WindowProperties CommonWindowProperties() {
    ui::WindowProperties p;
    p.title = "";
    p.border = 0;
    p.backColor = platform::kColourMarker;
    p.pictureMode = 1;
    p.playCount = 0;
    p.controlButton = true;
    p.maxButton = false;
    p.minButton = false;
    p.position = 1;
    p.movable = true;
    p.enterMovesFocus = false;
    p.escCloses = false;
    p.f1Help = false;
    p.helpId = 0;
    p.showInTaskbar = true;
    p.dragAnywhere = true;
    p.windowShape = 0;
    p.alwaysOnTop = false;
    p.keepCaptionActive = false;
    return p;
}

forms::Bytes PictureButtonBlock(std::span<const std::uint8_t> normalPicture) {
    ui::PicBtnProperties p;
    p.buttonType = 0;
    p.selected = false;
    p.transparentColor = platform::kColourMarker;
    p.pictures[ui::kPicNormal] = Copy(normalPicture);
    return ui::EncodePicBtnProperties(p);
}

forms::Bytes BrowserBlock(const std::string& address) {
    return browser::SerializeHtmlViewerData({/*fontSize*/ 2, /*offline*/ false, /*silent*/ true, address});
}

}  // namespace

const char* LoginPageAddress() { return KESTRUNE_LOGIN_URL; }

forms::WindowDefinition LoginWindowDefinition() {
    using namespace forms;
    WindowDefinition d;
    d.formId = kLoginWindow;

    UnitDefinition window = Unit(kLoginWindowUnit, kClassWindow, "", 0, 0, 1250, 870, kFlagVisible);
    window.accessibleName = "Kestrune";  // the window shows no title
    ui::WindowProperties wp = CommonWindowProperties();
    wp.backPicture = Copy(resources::LoginBackgroundPicture());
    window.propertyBlock = ui::EncodeWindowProperties(wp);
    window.events = {{ui::kWindowEventCreated, &OnLoginWindowCreated}};

    UnitDefinition minimise = Unit(kMinimizeButton, kClassPicBtn, "最小化按钮", 1063, 335, 24, 23, kFlagVisible);
    minimise.mousePointer = PointerCode(kPointerHand);
    minimise.accessibleName = "最小化";
    minimise.propertyBlock = PictureButtonBlock(resources::MinimizePicture());
    minimise.events = {{ui::kPicBtnClickEvent, &MinimizeLoginWindow}};

    UnitDefinition close = Unit(kCloseButton, kClassPicBtn, "关闭按钮", 1034, 312, 23, 23, kFlagVisible);
    close.mousePointer = PointerCode(kPointerHand);
    close.accessibleName = "关闭";
    close.propertyBlock = PictureButtonBlock(resources::ClosePicture());
    close.events = {{ui::kPicBtnClickEvent, &CloseLoginWindow}};

    UnitDefinition browserBox =
        Unit(kLoginBrowser, kClassHtmlViewer, "超文本浏览框1", -1, 9, 585, 325, kFlagVisible | kFlagTabStop);
    browserBox.parent = kLoginShapeBox;
    browserBox.propertyBlock = BrowserBlock(LoginPageAddress());
    browserBox.events = {{browser::kEventBeforeNavigate, &OnLoginBrowserEvent},
                         {browser::kEventDocumentComplete, &HookLoginBrowser}};

    UnitDefinition shapeBox = Unit(kLoginShapeBox, kClassShapeBox, "外形框1", 456, 361, 585, 325, kFlagVisible);
    shapeBox.children = {kLoginBrowser};
    ui::ShapeBoxProperties sp;
    sp.backColor = 0x000000;
    sp.shape = 0;
    sp.borderEffect = 0;
    sp.lineStyle = 1;
    sp.lineWidth = 1;
    sp.lineColor = 0x000000;
    sp.fillColor = platform::kColourMarker;
    shapeBox.propertyBlock = ui::EncodeShapeBoxProperties(sp);

    d.units = {std::move(window), std::move(minimise), std::move(close), std::move(browserBox), std::move(shapeBox)};
    return d;
}

forms::WindowDefinition GameWindowDefinition() {
    using namespace forms;
    WindowDefinition d;
    d.formId = kGameWindow;

    UnitDefinition window = Unit(kGameWindowUnit, kClassWindow, "", 50, 50, 1000, 800, kFlagVisible);
    ui::WindowProperties wp = CommonWindowProperties();
    wp.title = "Kestrune微端";
    wp.border = 1;
    wp.maxButton = true;
    wp.minButton = true;
    wp.position = 3;
    wp.icon = Copy(resources::GameWindowIcon());
    window.propertyBlock = ui::EncodeWindowProperties(wp);
    window.events = {{ui::kWindowEventCreated, &OnGameWindowCreated}, {ui::kWindowEventResized, &OnGameWindowResized}};

    // Empty blocks: the scroll bars keep their class defaults.
    UnitDefinition bar2 = Unit(kGameScrollBar2, kClassVScrollBar, "纵向滚动条2", 704, -24, 16, 8, kFlagVisible);
    UnitDefinition bar1 = Unit(kGameScrollBar1, kClassVScrollBar, "纵向滚动条1", 712, -24, 32, 16, kFlagVisible);

    UnitDefinition browserBox =
        Unit(kGameBrowser, kClassHtmlViewer, "超文本浏览框2", 0, 0, 864, 420, kFlagVisible | kFlagTabStop);
    browserBox.propertyBlock = BrowserBlock("");
    browserBox.events = {{browser::kEventBeforeNavigate, &OnGameBrowserNavigate},
                         {browser::kEventDocumentComplete, &HookGameBrowser}};

    d.units = {std::move(window), std::move(bar2), std::move(bar1), std::move(browserBox)};
    return d;
}

void RegisterBuiltinDefinitions() {
    forms::RegisterDefinition(LoginWindowDefinition());
    forms::RegisterDefinition(GameWindowDefinition());
}

std::span<const std::uint8_t> DefaultProgramIcon() { return resources::GameWindowIcon(); }

}  // namespace kestrune::app
