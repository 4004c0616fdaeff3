// The browser box (`HtmlViewer`, type code 0x00020001): a child window that hosts the platform's
// web view as its only child, passes the box's own properties (8 to 14) to it and turns the view's
// notifications into the ten numbered unit events.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "forms/UnitClass.h"
#include "forms/UnitLifetime.h"
#include "forms/Value.h"
#include "platform/Platform.h"
#include "platform/WebView.h"

namespace kestrune::browser {

// Own property indices (counted from 8, as the class sees them).
inline constexpr int kHtmlFontSize = 0;     // 8  字体大小
inline constexpr int kHtmlOffline = 1;      // 9  离线浏览
inline constexpr int kHtmlSilent = 2;       // 10 静默
inline constexpr int kHtmlUrl = 3;          // 11 地址
inline constexpr int kHtmlStatusText = 4;   // 12 状态条文本
inline constexpr int kHtmlCaption = 5;      // 13 标题
inline constexpr int kHtmlPreview = 6;      // 14 允许设计时预览

// Event numbers of the box.
enum HtmlViewerEvent : std::int32_t {
    kEventBeforeNavigate = 0,
    kEventNavigateComplete = 1,
    kEventDownloadBegin = 2,
    kEventProgressChange = 3,
    kEventDownloadComplete = 4,
    kEventDocumentComplete = 5,
    kEventStatusTextChange = 6,
    kEventTitleChange = 7,
    kEventCommandStateChange = 8,
    kEventNewWindow = 9,
};

// The stored property block: version (unsigned, at most 1), FontSize, Offline, Silent, address length
// n and n address bytes, all integers little-endian.
struct HtmlViewerData {
    std::int32_t fontSize = 2;
    bool offline = false;
    bool silent = false;
    std::string address;
    friend bool operator==(const HtmlViewerData&, const HtmlViewerData&) = default;
};

// Empty data gives the defaults; a newer version or data ending inside one of the five integers gives
// nothing. An address cut short by the end of the data keeps the bytes present; a NUL byte ends it.
std::optional<HtmlViewerData> ParseHtmlViewerData(std::span<const std::uint8_t> data);
// Version 1 block, as the box saves itself.
forms::Bytes SerializeHtmlViewerData(const HtmlViewerData& data);

// number * numerator / denominator with a 64-bit product, rounded to the nearest integer, halves away
// from zero; -1 when the denominator is 0 or the result does not fit in 32 bits.
std::int32_t MulDiv(std::int32_t number, std::int32_t numerator, std::int32_t denominator);
// The argument of the progress event: 100 when the maximum is 0, else MulDiv(progress, 100, max).
std::int32_t ProgressPercent(std::int32_t progress, std::int32_t progressMax);

class HtmlViewer final : public forms::UnitObject,
                         private platform::WindowHost,
                         private platform::WebViewHost,
                         private forms::UnitLifetime {
public:
    // Create steps 1 to 8; nullptr when the data is unreadable or a window cannot be made.
    static std::unique_ptr<HtmlViewer> Create(const forms::CreateArgs& args);
    ~HtmlViewer() override;

    HtmlViewer(const HtmlViewer&) = delete;
    HtmlViewer& operator=(const HtmlViewer&) = delete;

    // ---- forms::UnitObject
    platform::WindowId Handle() const override { return window_; }
    void PropertyChanged(int ownIndex, const forms::Value& value) override;
    forms::Bytes SaveProperties() const override;
    bool GetProperty(int ownIndex, forms::Value& out) override;

    // The hosted view (nullptr once the box is gone); for the platform-facing tests.
    platform::WebView* View() const { return view_.get(); }

private:
    HtmlViewer(const forms::CreateArgs& args, HtmlViewerData data);

    // ---- platform::WindowHost (the box window)
    // White wherever the page has not drawn (before its first paint, or without a view).
    void Paint(const platform::PixelView& target, const platform::Rect& dirty) override;
    void Resized() override;
    void FocusIn() override;
    void Destroying() override;
    void Destroyed() override;

    // ---- platform::WebViewHost
    bool BeforeNavigate(const std::string& url) override;
    void NavigateComplete(const std::string& url) override;
    void DocumentComplete(const std::string& url) override;
    void DownloadBegin() override;
    void DownloadComplete() override;
    void ProgressChange(int progress, int progressMax) override;
    void StatusTextChange(const std::string& text) override;
    void TitleChange(const std::string& title) override;
    void CommandStateChange(int command, bool enabled) override;
    bool NewWindow(const std::string& url) override;
    void FullScreenChanged(bool fullScreen) override;

    // ---- forms::UnitObject
    void WindowResized() override;

    // Raises an event without arguments (or with the given ones); returns whether the handler's
    // result cancels the action (RaiseEvent true, a result, and that result 0).
    bool Raise(std::int32_t event, std::span<const std::int32_t> args = {});
    // Raises one of the address events with `url` readable through property 11; returns the cancel flag.
    bool RaiseAddressEvent(std::int32_t event, const std::string& url);
    void FitView();
    // While the page is full screen the box covers its parent's client area, whatever its
    // properties say; after, it goes back to them.
    void FillParent();
    void ReturnToProperties();

    HtmlViewerData data_;           // fontSize, offline, silent and address as last stored
    bool inAddressEvent_ = false;
    bool inTitleEvent_ = false;
    std::string eventAddress_;
    std::string title_;
    std::string statusText_;
    std::unique_ptr<platform::WebView> view_;
    bool fullScreen_ = false;
    bool created_ = false;          // the box reports its destruction only once fully created
    // Set while the decision on the navigation to the stored address, started during Create, has
    // not come yet.
    bool firstDecisionUnreported_ = false;
    // Cleared when the instance goes; an event raiser keeps a copy to learn whether a handler
    // destroyed the box (and with it this object) while it ran.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The unit class of the box (type code kClassHtmlViewer).
forms::UnitClass& HtmlViewerClass();
// Registers the class with the forms runtime; repeated calls register it once.
void RegisterHtmlViewerClass();

// The next browser box made is going to be sent to `address` first: its page may be asked for while
// the rest of its window is built (no request leaves before the box's handlers have allowed it).
void PrepareHtmlViewer(const std::string& address);

}  // namespace kestrune::browser
