#include "browser/HtmlViewer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

#include "forms/Definition.h"
#include "forms/Events.h"
#include "forms/Runtime.h"
#include "services/BrowserEmulation.h"
#include "services/Path.h"

namespace kestrune::browser {

namespace {

int ClampFontSize(std::int32_t size) { return std::clamp(size, 0, 4); }

// The stored emulation values choose how a view renders:
//  - the emulation level (8000, 9000, 9999; 0 when nothing is stored) selects a fixed standards
//    mode: the same user agent and engine settings for every page, whatever it asks for;
//  - the GPU-rendering value (nonzero, or nothing stored) lets the view composite with hardware
//    acceleration; a stored 0 keeps it to software rendering.
platform::WebViewMode StoredMode() { return services::ReadBrowserEmulation(services::GetExeFileName()); }

}  // namespace

// ---------------------------------------------------------------------------------------------

HtmlViewer::HtmlViewer(const forms::CreateArgs& args, HtmlViewerData data)
    : UnitLifetime(args.formId, args.unitId), data_(std::move(data)) {}

HtmlViewer::~HtmlViewer() {
    *alive_ = false;
    // Only reached without the box having been destroyed when creation failed half-way, or when the
    // runtime drops the object early; never leave the view calling into a dead host.
    view_.reset();
    DestroyQuietly();
}

std::unique_ptr<HtmlViewer> HtmlViewer::Create(const forms::CreateArgs& args) {
    auto data = ParseHtmlViewerData(args.propertyBlock);
    if (!data) return nullptr;
    std::unique_ptr<HtmlViewer> viewer(new HtmlViewer(args, std::move(*data)));

    platform::Platform& os = platform::Current();
    viewer->window_ = os.CreateChild(args.parent, platform::Rect::FromXYWH(args.left, args.top, args.width, args.height),
                                  viewer.get());
    if (viewer->window_ == 0) return nullptr;
    if ((args.styleBits & forms::kStyleDisabled) != 0) os.Enable(viewer->window_, false);

    const platform::Size client = os.GetClientSize(viewer->window_);
    viewer->view_ = os.CreateWebView(viewer->window_, platform::Rect{0, 0, client.width, client.height}, viewer.get());
    if (!viewer->view_) return nullptr;  // the destructor destroys the box window

    platform::WebView& view = *viewer->view_;
    view.SetOffline(viewer->data_.offline);
    view.SetSilent(viewer->data_.silent);
    view.SetTextZoom(ClampFontSize(viewer->data_.fontSize));
    view.SetMode(StoredMode());
    if (!viewer->data_.address.empty()) {
        const std::shared_ptr<bool> alive = viewer->alive_;
        // Its decision belongs to the window's load, whenever the engine gets round to asking.
        viewer->firstDecisionUnreported_ = true;
        view.Navigate(viewer->data_.address);
        if (!*alive) return nullptr;
    }
    viewer->created_ = true;
    return viewer;
}

void HtmlViewer::Paint(const platform::PixelView& target, const platform::Rect& dirty) {
    const platform::Rect area = dirty.Intersect({0, 0, target.width, target.height});
    if (area.Empty()) return;
    for (int y = area.top; y < area.bottom; ++y)
        std::memset(target.At(area.left, y), 0xFF, static_cast<std::size_t>(area.Width()) * 4);
}

void HtmlViewer::PropertyChanged(int ownIndex, const forms::Value& value) {
    switch (ownIndex) {
    case kHtmlFontSize:
        data_.fontSize = ClampFontSize(forms::AsInt(value));
        if (view_) view_->SetTextZoom(data_.fontSize);
        break;
    case kHtmlOffline:
        data_.offline = forms::AsBool(value);
        if (view_) view_->SetOffline(data_.offline);
        break;
    case kHtmlSilent:
        data_.silent = forms::AsBool(value);
        if (view_) view_->SetSilent(data_.silent);
        break;
    case kHtmlUrl:
        data_.address = forms::AsText(value);
        firstDecisionUnreported_ = false;  // from now on the handlers decide
        if (view_) view_->Navigate(data_.address);
        break;
    default:
        break;  // 12 to 14 are read-only
    }
}

forms::Bytes HtmlViewer::SaveProperties() const { return SerializeHtmlViewerData(data_); }

bool HtmlViewer::GetProperty(int ownIndex, forms::Value& out) {
    switch (ownIndex) {
    case kHtmlFontSize:
        out = data_.fontSize;
        return true;
    case kHtmlOffline:
        out = forms::Logical{view_ ? view_->Offline() : data_.offline};
        return true;
    case kHtmlSilent:
        out = forms::Logical{view_ ? view_->Silent() : data_.silent};
        return true;
    case kHtmlUrl:
        data_.address = inAddressEvent_ ? eventAddress_ : (view_ ? view_->LocationUrl() : std::string());
        out = data_.address;
        return true;
    case kHtmlStatusText:
        out = statusText_;
        return true;
    case kHtmlCaption:
        if (!inTitleEvent_) title_ = view_ ? view_->LocationName() : std::string();
        out = title_;
        return true;
    case kHtmlPreview:
        out = forms::Logical{false};
        return true;
    default:
        return false;
    }
}

// ---- box window

void HtmlViewer::FitView() {
    if (!view_) return;
    platform::Platform& os = platform::Current();
    const platform::WindowId window = view_->Window();
    if (!os.Exists(window)) return;
    const platform::Size client = os.GetClientSize(window_);
    const platform::Rect wanted{0, 0, client.width, client.height};
    if (os.GetOuterRect(window) != wanted) view_->Place(wanted);
}

void HtmlViewer::Resized() {
    if (fullScreen_) FillParent();
    FitView();
}

void HtmlViewer::WindowResized() {
    if (fullScreen_) FillParent();
}

void HtmlViewer::FillParent() {
    platform::Platform& os = platform::Current();
    const platform::WindowId parent = os.GetParent(window_);
    if (window_ == 0 || parent == 0) return;
    const platform::Size client = os.GetClientSize(parent);
    const platform::Rect whole{0, 0, client.width, client.height};
    if (os.GetOuterRect(window_) == whole) return;
    os.Move(window_, {0, 0});
    os.Resize(window_, {client.width, client.height});
}

void HtmlViewer::ReturnToProperties() {
    if (window_ == 0) return;
    auto read = [this](int index) { return forms::AsInt(forms::ReadProperty(formId_, unitId_, index)); };
    platform::Platform& os = platform::Current();
    os.Move(window_, {read(forms::kPropLeft), read(forms::kPropTop)});
    os.Resize(window_, {std::max(0, read(forms::kPropWidth)), std::max(0, read(forms::kPropHeight))});
    FitView();
}

void HtmlViewer::FullScreenChanged(bool fullScreen) {
    if (fullScreen == fullScreen_ || window_ == 0) return;
    fullScreen_ = fullScreen;
    if (fullScreen) {
        platform::Current().PlaceFront(window_);  // above the window's other controls
        FillParent();
        FitView();
    } else {
        ReturnToProperties();
    }
}

void HtmlViewer::FocusIn() {
    if (view_ && platform::Current().Exists(view_->Window())) view_->Focus();
}

// The view goes while its windows still exist, as an embedded object expects to be closed.
void HtmlViewer::Destroying() { view_.reset(); }

void HtmlViewer::Destroyed() {
    *alive_ = false;
    view_.reset();
    if (!created_) {  // creation failed: the owner of the half-made object frees it
        window_ = 0;
        return;
    }
    ReportControlGone();  // deletes this object: nothing may follow
}

// ---- events

bool HtmlViewer::Raise(std::int32_t event, std::span<const std::int32_t> args) {
    forms::EventNotice notice;
    notice.formId = formId_;
    notice.unitId = unitId_;
    notice.eventIndex = event;
    notice.argCount = static_cast<std::int32_t>(std::min(args.size(), notice.args.size()));
    std::copy_n(args.begin(), notice.argCount, notice.args.begin());
    notice.hasResult = false;
    notice.result = 0;
    const bool handled = forms::RaiseEvent(notice);
    return handled && notice.hasResult && notice.result == 0;
}

bool HtmlViewer::RaiseAddressEvent(std::int32_t event, const std::string& url) {
    const std::shared_ptr<bool> alive = alive_;
    inAddressEvent_ = true;
    eventAddress_ = url;
    const bool cancel = Raise(event);
    if (*alive) {
        inAddressEvent_ = false;
        eventAddress_.clear();
    }
    return cancel;
}

bool HtmlViewer::BeforeNavigate(const std::string& url) {
    if (firstDecisionUnreported_) {
        // The stored address was navigated to while the window was loading: that decision reaches
        // no handler and cancels nothing, even when the engine asks for it after the load returned.
        firstDecisionUnreported_ = false;
        return true;
    }
    return !RaiseAddressEvent(kEventBeforeNavigate, url);
}

void HtmlViewer::NavigateComplete(const std::string& url) { RaiseAddressEvent(kEventNavigateComplete, url); }

void HtmlViewer::DocumentComplete(const std::string& url) { RaiseAddressEvent(kEventDocumentComplete, url); }

void HtmlViewer::DownloadBegin() { Raise(kEventDownloadBegin); }

void HtmlViewer::DownloadComplete() { Raise(kEventDownloadComplete); }

void HtmlViewer::ProgressChange(int progress, int progressMax) {
    const std::array<std::int32_t, 1> args{ProgressPercent(progress, progressMax)};
    Raise(kEventProgressChange, args);
}

void HtmlViewer::StatusTextChange(const std::string& text) {
    statusText_ = text;
    Raise(kEventStatusTextChange);
}

void HtmlViewer::TitleChange(const std::string& title) {
    const std::shared_ptr<bool> alive = alive_;
    inTitleEvent_ = true;
    title_ = title;
    Raise(kEventTitleChange);
    if (*alive) {
        inTitleEvent_ = false;
        title_.clear();
    }
}

void HtmlViewer::CommandStateChange(int command, bool enabled) {
    if (command != 1 && command != 2) return;
    const std::array<std::int32_t, 2> args{command == 1 ? 0 : 1, enabled ? 1 : 0};
    Raise(kEventCommandStateChange, args);
}

bool HtmlViewer::NewWindow(const std::string& url) {
    (void)url;  // the handler finds the link's address in property 12
    return !Raise(kEventNewWindow);
}

// ---- class

namespace {

class HtmlViewerUnitClass final : public forms::UnitClass {
public:
    std::uint32_t TypeCode() const override { return forms::kClassHtmlViewer; }
    const char* Name() const override { return "HtmlViewer"; }
    std::unique_ptr<forms::UnitObject> Create(const forms::CreateArgs& args) override {
        return HtmlViewer::Create(args);
    }
};

}  // namespace

forms::UnitClass& HtmlViewerClass() {
    static HtmlViewerUnitClass instance;
    return instance;
}

void RegisterHtmlViewerClass() { forms::RegisterUnitClass(&HtmlViewerClass()); }

void PrepareHtmlViewer(const std::string& address) { platform::Current().PrepareWebView(address, StoredMode()); }

}  // namespace kestrune::browser
