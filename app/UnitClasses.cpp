#include "app/UnitClasses.h"

#include "browser/HtmlViewer.h"
#include "ui/controls/PicBtn.h"
#include "ui/controls/ShapeBox.h"
#include "ui/controls/VScrollBar.h"
#include "ui/window/WindowUnit.h"

namespace kestrune::app {

void RegisterBuiltinClasses() {
    ui::RegisterWindowClass();
    ui::RegisterVScrollBarClass();
    ui::RegisterPicBtnClass();
    ui::RegisterShapeBoxClass();
    browser::RegisterHtmlViewerClass();
}

}  // namespace kestrune::app
