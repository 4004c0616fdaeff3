#include "ui/controls/ShapeBox.h"

#include "forms/Definition.h"
#include "forms/Runtime.h"

namespace kestrune::ui {

namespace {

class ShapeBoxUnitClass final : public forms::UnitClass {
public:
    std::uint32_t TypeCode() const override { return forms::kClassShapeBox; }
    const char* Name() const override { return "ShapeBox"; }
    std::unique_ptr<forms::UnitObject> Create(const forms::CreateArgs& args) override {
        return ShapeBox::Create(args);
    }
    bool AllowsDrag() const override { return true; }
};

}  // namespace

std::unique_ptr<ShapeBox> ShapeBox::Create(const forms::CreateArgs& args) {
    auto props = DecodeShapeBoxProperties(args.propertyBlock);
    if (!props) return nullptr;
    std::unique_ptr<ShapeBox> box(new ShapeBox(args));
    box->props_ = *props;
    platform::Platform& p = platform::Current();
    box->window_ = p.CreateChild(args.parent, platform::Rect::FromXYWH(args.left, args.top, args.width, args.height),
                                 box.get());
    if (box->window_ == 0) return nullptr;
    if (args.styleBits & forms::kStyleDisabled) p.Enable(box->window_, false);
    // A frame around other controls, not one itself.
    p.SetAccessibility(box->window_, {platform::AccessibleRole::Decoration, {}});
    return box;
}

ShapeBox::~ShapeBox() {
    // Deleted while the window still exists (a load that failed half-way): take the window down
    // without reporting, the owner is already letting go of this object.
    DestroyQuietly();
}

void ShapeBox::PropertyChanged(int ownIndex, const forms::Value& value) {
    if (!SetShapeBoxProperty(props_, ownIndex, value)) return;
    if (window_ != 0) platform::Current().Invalidate(window_);
}

forms::Bytes ShapeBox::SaveProperties() const { return EncodeShapeBoxProperties(props_); }

bool ShapeBox::GetProperty(int ownIndex, forms::Value& out) { return GetShapeBoxProperty(props_, ownIndex, out); }

void ShapeBox::Paint(const platform::PixelView& target, const platform::Rect& dirty) {
    platform::Platform& p = platform::Current();
    PaintShapeBox(props_, platform::Size{target.width, target.height}, p.ButtonFaceColour(), target, dirty);
}

void ShapeBox::Destroyed() { ReportControlGone(); }  // deletes this object

forms::UnitClass& ShapeBoxClass() {
    static ShapeBoxUnitClass instance;
    return instance;
}

void RegisterShapeBoxClass() { forms::RegisterUnitClass(&ShapeBoxClass()); }

}  // namespace kestrune::ui
