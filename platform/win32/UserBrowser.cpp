#include "platform/win32/UserBrowser.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/win32/WideText.h"

namespace kestrune::platform::win32 {

namespace {

void Log(const std::string& line) {
    const std::string text = "kestrune: " + line + "\n";
    std::fputs(text.c_str(), stderr);
    ::OutputDebugStringW(Widen(text).c_str());
}

// Gate refusals are counted and logged once a second at most, however fast a page asks.
struct GateRefusals {
    std::uint64_t unlogged = 0;
    std::chrono::steady_clock::time_point lastLog{};
};

}  // namespace

void LaunchInUserBrowserAsync(const std::string& url) {
    std::thread([address = Widen(url)] {
        // The shell's handlers may be COM objects that want a single-threaded apartment.
        const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
        info.lpVerb = L"open";
        info.lpFile = address.c_str();
        info.nShow = SW_SHOWNORMAL;
        if (!::ShellExecuteExW(&info)) Log("could not open an address in the user's browser (error " +
                                           std::to_string(::GetLastError()) + ")");
        if (SUCCEEDED(com)) ::CoUninitialize();
    }).detach();
}

ExternalLaunchRule::Outcome OpenInUserBrowser(const std::string& url, bool userInitiated, ExternalLaunchRule& rule,
                                              ShellLaunch launch) {
    const auto now = std::chrono::steady_clock::now();
    const ExternalLaunchRule::Decision decision = rule.Consider(url, userInitiated, &SplitUriWithSystemParser, now);
    switch (decision.outcome) {
    case ExternalLaunchRule::Outcome::kLaunch:
        if (launch != nullptr) launch(url);
        break;
    case ExternalLaunchRule::Outcome::kRefusedAddress:
        Log(decision.refusal);
        break;
    case ExternalLaunchRule::Outcome::kRefusedByGate: {
        static GateRefusals refusals;
        ++refusals.unlogged;
        if (now - refusals.lastLog >= std::chrono::seconds(1)) {
            Log(rule.GateRefusalLogLine(refusals.unlogged));
            refusals.unlogged = 0;
            refusals.lastLog = now;
        }
        break;
    }
    }
    return decision.outcome;
}

void NoteUserGesture() { ProcessExternalLaunchRule().NoteGesture(); }

}  // namespace kestrune::platform::win32
