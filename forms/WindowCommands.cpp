// The program's commands on windows: loading (with the nested loop of dialog mode) and destroying.
#include "forms/Loader.h"
#include "forms/Runtime.h"
#include "forms/WindowObject.h"
#include "platform/Trace.h"

namespace kestrune::forms {

bool LoadWindow(std::uint32_t formId, platform::WindowId owner, bool dialogMode) {
    if (!BuildWindowInstance(formId, owner, dialogMode)) return false;

    WindowObject* window = FindWindowObject(formId);
    const WindowDefinition* definition = FindDefinition(formId);
    const bool visible = definition != nullptr && !definition->units.empty() &&
                         (definition->units.front().flags & kFlagVisible) != 0;
    // A window that a creation handler destroyed still counts as loaded.
    if (window == nullptr || !visible || !window->LoadComplete()) return true;

    window->SetLoadComplete(false);
    if (dialogMode) {
        const std::uint32_t previous = CurrentDialogWindow();
        SetCurrentDialogWindow(formId);
        platform::Platform& pf = platform::Current();
        platform::TraceStep("modal-loop");
        const bool quit = pf.RunLoop([formId] { return CurrentDialogWindow() == formId; });
        SetCurrentDialogWindow(previous);
        // The quit belongs to the outer loop as well; the program's only quit carries exit code 0.
        if (quit) pf.PostQuit(0);
    }
    return true;
}

void DestroyUnit(std::uint32_t formId, std::uint32_t unitId, bool immediately) {
    WindowObject* window = FindWindowObject(formId);
    if (window == nullptr) return;
    const WindowDefinition* definition = FindDefinition(formId);
    const bool isWindowUnit =
        definition != nullptr && !definition->units.empty() && definition->units.front().unitId == unitId;
    if (isWindowUnit) {
        window->RequestDestroy(immediately);
        return;
    }
    // A control: its window goes now, and the control reports itself gone.
    if (UnitObject* control = FindUnitObject(formId, unitId)) {
        const platform::WindowId handle = control->Handle();
        if (handle != 0) platform::Current().Destroy(handle);
    }
}

}  // namespace kestrune::forms
