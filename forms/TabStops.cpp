#include "forms/TabStops.h"

#include "forms/Definition.h"
#include "forms/Runtime.h"
#include "forms/UnitClass.h"

namespace kestrune::forms {

namespace {

// The window, and every one up to the top-level `top`, is visible and enabled.
bool CanTakeKeyboard(platform::Platform& pf, platform::WindowId window, platform::WindowId top) {
    for (platform::WindowId w = window;; w = pf.GetParent(w)) {
        if (w == 0 || !pf.Exists(w) || !pf.IsVisible(w) || !pf.IsEnabled(w)) return false;
        if (w == top) return true;
    }
}

}  // namespace

platform::WindowId FirstTabStop(std::uint32_t formId) {
    const WindowDefinition* definition = FindDefinition(formId);
    if (definition == nullptr || definition->units.empty()) return 0;
    const UnitObject* window = FindUnitObject(formId, definition->units[0].unitId);
    if (window == nullptr) return 0;
    platform::Platform& pf = platform::Current();
    for (std::size_t i = 1; i < definition->units.size(); ++i) {
        const UnitDefinition& unit = definition->units[i];
        if ((unit.flags & kFlagTabStop) == 0) continue;
        const UnitObject* object = FindUnitObject(formId, unit.unitId);
        if (object != nullptr && CanTakeKeyboard(pf, object->Handle(), window->Handle())) return object->Handle();
    }
    return 0;
}

}  // namespace kestrune::forms
