#include "app/Program.h"

#include <cstdio>
#include <cstdlib>

#include "app/BuiltinDefinitions.h"
#include "app/FormIds.h"
#include "app/MachinePreparation.h"
#include "app/ProcessState.h"
#include "app/UnitClasses.h"
#include "app/HandOff.h"
#include "browser/HtmlViewer.h"
#include "forms/Events.h"
#include "forms/Fatal.h"
#include "forms/Loader.h"
#include "forms/PointerData.h"
#include "forms/Runtime.h"
#include "platform/Platform.h"
#include "platform/SystemServices.h"
#include "resources/Artwork.h"
#include "ui/window/WindowProperties.h"
#include "ui/window/WindowUnit.h"

namespace kestrune::app {

namespace {

std::vector<ExitRoutine>& Routines() {
    static std::vector<ExitRoutine> routines;
    return routines;
}

// Ends the process without running static destructors: windows may still be loaded, and their
// objects must not be torn down underneath the toolkit that is still running them.
[[noreturn]] void EndProcess(int exitCode) {
    std::fflush(nullptr);
    std::_Exit(exitCode);
}

void FatalExit(int exitCode, bool runExitRoutines) {
    if (!runExitRoutines) ClearExitRoutines();
    Shutdown(exitCode);
    EndProcess(exitCode);
}

bool AnyWindowExists() {
    platform::Platform& pf = platform::Current();
    for (std::uint32_t id : forms::LoadedWindows()) {
        const forms::WindowObject* w = forms::FindWindowObject(id);
        if (w != nullptr && pf.Exists(w->Handle())) return true;
    }
    return false;
}

}  // namespace

void RegisterExitRoutine(ExitRoutine routine) {
    if (routine == nullptr) return;
    auto& list = Routines();
    for (ExitRoutine r : list)
        if (r == routine) return;
    list.push_back(routine);
}

const std::vector<ExitRoutine>& ExitRoutines() { return Routines(); }
void ClearExitRoutines() { Routines().clear(); }

int Run() {
    InstallFatalExit();
    RegisterBuiltinClasses();
    RegisterBuiltinDefinitions();
    ui::SetDefaultWindowIcon(DefaultProgramIcon());
    forms::SetProgramPointer(forms::kPointerHand, resources::HandCursor());
    platform::System().SetProgramIcon(resources::ProgramIconPng());
    InitExecutableLocation();
    PrepareBrowserModes();  // before the login window creates the first browser box
    // The engine starts on the login page while the login window is built around it.
    browser::PrepareHtmlViewer(LoginPageAddress());
    return RunStartupWindow(kLoginWindow);
}

int RunStartupWindow(std::uint32_t startupWindow) {
    platform::Platform& pf = platform::Current();
    forms::SetOwnerWindow(pf.CreateOwnerWindow());
    RecordMainThread();
    RegisterExitRoutine(&FreeGameUrl);
    if (!forms::LoadWindow(startupWindow, 0, false)) forms::FatalError("载入启动窗口失败");
    // A start-up window that destroyed itself while it was created leaves nothing to run.
    if (AnyWindowExists()) {
        forms::SetMessageLoopRunning(true);
        pf.RunLoop([] { return true; });
    }
    return Shutdown(0);
}

int Shutdown(int exitCode) {
    forms::HoldEventsForGood();
    auto& list = Routines();
    // By index: a routine that registers another one still sees it run once.
    for (std::size_t i = 0; i < list.size(); ++i) {
        const ExitRoutine routine = list[i];
        routine();
    }
    list.clear();
    if (const platform::WindowId owner = forms::OwnerWindow(); owner != 0) {
        platform::Current().Destroy(owner);
        forms::SetOwnerWindow(0);
    }
    ui::SetDefaultWindowIcon({});
    return exitCode;
}

void EndProgram(int exitCode) {
    Shutdown(exitCode);
    EndProcess(exitCode);
}

void InstallFatalExit() { forms::SetFatalExit(&FatalExit); }

std::optional<std::int32_t> CloseLoginWindow(std::span<const std::int32_t>) {
    forms::DestroyUnit(kLoginWindow, kLoginWindowUnit);
    return std::nullopt;
}

std::optional<std::int32_t> MinimizeLoginWindow(std::span<const std::int32_t>) {
    constexpr int kPropPosition = 8 + ui::kWinPosition;  // own properties start at index 8
    forms::WriteProperty(kLoginWindow, kLoginWindowUnit, kPropPosition, forms::Value{std::int32_t{2}});
    return std::nullopt;
}

}  // namespace kestrune::app
