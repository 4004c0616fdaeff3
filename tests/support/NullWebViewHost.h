// A web view host that lets every navigation go and listens to nothing else; whether a new window
// may open is the test's to choose.
#pragma once

#include <string>

#include "platform/WebView.h"

namespace kestrune::testing {

class NullWebViewHost : public platform::WebViewHost {
public:
    explicit NullWebViewHost(bool allowNewWindow = true) : allowNewWindow_(allowNewWindow) {}
    bool BeforeNavigate(const std::string&) override { return true; }
    void NavigateComplete(const std::string&) override {}
    void DocumentComplete(const std::string&) override {}
    void DownloadBegin() override {}
    void DownloadComplete() override {}
    void ProgressChange(int, int) override {}
    void StatusTextChange(const std::string&) override {}
    void TitleChange(const std::string&) override {}
    void CommandStateChange(int, bool) override {}
    bool NewWindow(const std::string&) override { return allowNewWindow_; }

private:
    bool allowNewWindow_;
};

}  // namespace kestrune::testing
