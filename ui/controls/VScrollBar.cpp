#include "ui/controls/VScrollBar.h"

#include <algorithm>

#include "forms/Definition.h"
#include "forms/Runtime.h"
#include "forms/PropertyBlock.h"

namespace kestrune::ui {

namespace {

constexpr std::int32_t kStepLow = 1;
constexpr std::int32_t kStepHigh = 32767;

void ClampPosition(ScrollBarProperties& p) {
    const std::int32_t low = std::min(p.minimum, p.maximum);
    const std::int32_t high = std::max(p.minimum, p.maximum);
    p.position = std::clamp(p.position, low, high);
}

void FillRect(const platform::PixelView& target, const platform::Rect& r, platform::Colour c) {
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) target.SetColour(x, y, c);
}

// A small triangle pointing up or down, centred in `box`.
void DrawArrow(const platform::PixelView& target, const platform::Rect& box, bool up, const platform::Rect& clip) {
    const int cx = (box.left + box.right) / 2;
    const int rows = std::max(1, std::min(box.Width(), box.Height()) / 4);
    const int top = box.top + (box.Height() - rows) / 2;
    for (int i = 0; i < rows; ++i) {
        const int half = up ? i : rows - 1 - i;
        const platform::Rect row{cx - half, top + i, cx + half + 1, top + i + 1};
        FillRect(target, row.Intersect(clip), kScrollGlyphColour);
    }
}

class VScrollBarClass final : public forms::UnitClass {
public:
    std::uint32_t TypeCode() const override { return forms::kClassVScrollBar; }
    const char* Name() const override { return "VScrollBar"; }
    std::unique_ptr<forms::UnitObject> Create(const forms::CreateArgs& args) override {
        return VScrollBar::Create(args);
    }
};

}  // namespace

std::optional<ScrollBarProperties> DecodeScrollBarProperties(std::span<const std::uint8_t> block) {
    ScrollBarProperties p;
    if (block.empty()) return p;
    forms::BlockReader in(block);
    std::int32_t version = 0;
    if (!in.Int(version) || static_cast<std::uint32_t>(version) > 1) return std::nullopt;
    std::int32_t values[6] = {};
    for (std::int32_t& v : values)
        if (!in.Int(v)) return std::nullopt;
    p.minimum = values[0];
    p.maximum = values[1];
    p.pageStep = std::clamp(values[2], kStepLow, kStepHigh);
    p.lineStep = std::clamp(values[3], kStepLow, kStepHigh);
    p.position = values[4];
    p.followThumb = values[5] != 0;
    ClampPosition(p);
    return p;
}

forms::Bytes EncodeScrollBarProperties(const ScrollBarProperties& p) {
    forms::Bytes out;
    const std::int32_t values[7] = {1, p.minimum, p.maximum, p.pageStep, p.lineStep, p.position, p.followThumb ? 1 : 0};
    for (std::int32_t v : values) forms::AppendInt(out, static_cast<std::uint32_t>(v));
    return out;
}

ThumbSpan ComputeThumb(const ScrollBarProperties& p, int width, int height) {
    const int arrow = std::min(width, height / 2);
    const int trackTop = arrow;
    const int track = height - 2 * arrow;
    if (track <= 0) return {};
    const std::int64_t low = std::min(p.minimum, p.maximum);
    const std::int64_t range = static_cast<std::int64_t>(std::max(p.minimum, p.maximum)) - low;
    if (range == 0) return {trackTop, trackTop + track};
    const std::int64_t page = std::max<std::int32_t>(p.pageStep, 1);
    std::int64_t length = track * page / (range + page);
    length = std::clamp<std::int64_t>(length, std::min(8, track), track);
    const std::int64_t offset = (track - length) * (p.position - low) / range;
    const int top = trackTop + static_cast<int>(offset);
    return {top, top + static_cast<int>(length)};
}

std::unique_ptr<VScrollBar> VScrollBar::Create(const forms::CreateArgs& args) {
    auto props = DecodeScrollBarProperties(args.propertyBlock);
    if (!props) return nullptr;
    std::unique_ptr<VScrollBar> bar(new VScrollBar(args));
    bar->props_ = *props;
    platform::Platform& pf = platform::Current();
    const platform::Rect rect = platform::Rect::FromXYWH(args.left, args.top, std::max(0, args.width),
                                                         std::max(0, args.height));
    bar->window_ = pf.CreateChild(args.parent, rect, bar.get());
    if (bar->window_ == 0) return nullptr;
    if ((args.styleBits & forms::kStyleDisabled) != 0) pf.Enable(bar->window_, false);
    return bar;
}

VScrollBar::~VScrollBar() {
    // Deleted while the window still exists: take it down without reporting.
    DestroyQuietly();
}

void VScrollBar::PropertyChanged(int ownIndex, const forms::Value& value) {
    const std::int32_t v = forms::AsInt(value);
    switch (ownIndex) {
        case 0: props_.minimum = std::clamp(v, kStepLow, kStepHigh); break;
        case 1: props_.maximum = std::clamp(v, kStepLow, kStepHigh); break;
        case 2: props_.pageStep = std::clamp(v, kStepLow, kStepHigh); break;
        case 3: props_.lineStep = std::clamp(v, kStepLow, kStepHigh); break;
        case 4: props_.position = v; break;
        case 5: props_.followThumb = v != 0; break;
        default: return;
    }
    ClampPosition(props_);
    platform::Platform& pf = platform::Current();
    if (window_ != 0 && pf.Exists(window_)) pf.Invalidate(window_);
}

forms::Bytes VScrollBar::SaveProperties() const { return EncodeScrollBarProperties(props_); }

bool VScrollBar::GetProperty(int ownIndex, forms::Value& out) {
    switch (ownIndex) {
        case 0: out = props_.minimum; return true;
        case 1: out = props_.maximum; return true;
        case 2: out = props_.pageStep; return true;
        case 3: out = props_.lineStep; return true;
        case 4: out = props_.position; return true;
        case 5: out = forms::Logical{props_.followThumb}; return true;
        default: return false;
    }
}

void VScrollBar::Paint(const platform::PixelView& target, const platform::Rect& dirty) {
    const int w = target.width;
    const int h = target.height;
    const platform::Rect clip = dirty.Intersect({0, 0, w, h});
    if (clip.Empty()) return;
    const int arrow = std::min(w, h / 2);
    FillRect(target, clip, kScrollTroughColour);
    const platform::Rect upBox{0, 0, w, arrow};
    const platform::Rect downBox{0, h - arrow, w, h};
    FillRect(target, upBox.Intersect(clip), kScrollArrowColour);
    FillRect(target, downBox.Intersect(clip), kScrollArrowColour);
    DrawArrow(target, upBox, true, clip);
    DrawArrow(target, downBox, false, clip);
    const ThumbSpan thumb = ComputeThumb(props_, w, h);
    if (thumb.bottom > thumb.top) FillRect(target, platform::Rect{1, thumb.top, w - 1, thumb.bottom}.Intersect(clip),
                                           kScrollThumbColour);
}

void VScrollBar::Destroyed() { ReportControlGone(); }  // deletes this object

void RegisterVScrollBarClass() {
    static VScrollBarClass scrollBarClass;
    forms::RegisterUnitClass(&scrollBarClass);
}

}  // namespace kestrune::ui
