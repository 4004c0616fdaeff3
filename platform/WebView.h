// The embedded web view as the browser box needs it.
#pragma once

#include <string>

#include "platform/Platform.h"

namespace kestrune::platform {

// Notifications of a web view, delivered synchronously on the GUI thread.
class WebViewHost {
public:
    virtual ~WebViewHost() = default;
    // Before every navigation of the page or of a frame; false cancels it. The backend keeps the
    // navigation pending until this returns (a handler may run a nested loop meanwhile).
    virtual bool BeforeNavigate(const std::string& url) = 0;
    virtual void NavigateComplete(const std::string& url) = 0;  // navigation committed
    virtual void DocumentComplete(const std::string& url) = 0;  // document (or frame) ready
    virtual void DownloadBegin() = 0;
    virtual void DownloadComplete() = 0;
    virtual void ProgressChange(int progress, int progressMax) = 0;
    virtual void StatusTextChange(const std::string& text) = 0;
    virtual void TitleChange(const std::string& title) = 0;
    // command 1 forward, 2 back; the backend may also report other commands
    virtual void CommandStateChange(int command, bool enabled) = 0;
    // A request for a new window; false cancels it. Not cancelled, the backend opens `url` itself.
    virtual bool NewWindow(const std::string& url) = 0;
    // The page entered (true) or left (false) full screen; the backend has made the top-level
    // window full screen, or taken that back, on its own.
    virtual void FullScreenChanged(bool fullScreen) { (void)fullScreen; }
};

// Rendering modes chosen from the stored browser emulation level.
struct WebViewMode {
    int emulationLevel = 0;   // 0: nothing stored
    bool gpuRendering = true; // from the GPU-rendering value
};

class WebView {
public:
    virtual ~WebView() = default;
    // The web view's own window (child of the parent given at creation). Below it, FirstChild gives
    // the document view window and below that the page window of the current document; the page
    // window is replaced whenever a new document is committed (it then gets kMessageDestroy).
    virtual WindowId Window() const = 0;
    virtual void Navigate(const std::string& url) = 0;
    virtual std::string LocationUrl() const = 0;
    virtual std::string LocationName() const = 0;
    virtual void SetOffline(bool offline) = 0;
    virtual bool Offline() const = 0;
    virtual void SetSilent(bool silent) = 0;
    virtual bool Silent() const = 0;
    virtual void SetTextZoom(int level) = 0;  // 0 smallest .. 4 largest, 2 normal
    virtual void SetMode(const WebViewMode& mode) = 0;
    // Gives the page the keyboard focus: its focused element, or the document.
    virtual void Focus() { Current().SetFocus(Window()); }
    // Puts the view's window at `rect` (its parent's client coordinates). A backend whose view is an
    // embedded object with its own idea of its rectangle tells it there too.
    virtual void Place(const Rect& rect) {
        Platform& os = Current();
        os.Move(Window(), {rect.left, rect.top});
        os.Resize(Window(), {rect.Width(), rect.Height()});
    }
};

}  // namespace kestrune::platform
