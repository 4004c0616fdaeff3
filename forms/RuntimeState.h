// The forms runtime's own bookkeeping, shared by its source files only: per definition the
// registered data, the live copy, the copy saved at load, and the instance's unit objects and pointers.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "forms/Definition.h"
#include "forms/UnitClass.h"
#include "forms/WindowObject.h"
#include "platform/Platform.h"

namespace kestrune::forms::detail {

struct DefinitionEntry {
    WindowDefinition live;                        // what lookups and property accesses see
    std::optional<WindowDefinition> saved;        // the live copy as it was when the instance was loaded
    std::vector<std::unique_ptr<UnitObject>> objects;  // per unit, in list order; empty while not loaded
    std::vector<platform::CursorId> pointers;     // per unit, loaded from the pointer data
    bool loaded = false;                          // an instance exists (from loader step 4 to final destruction)

    int IndexOf(std::uint32_t unitId) const;      // -1 when the definition has no such unit
    WindowObject* Window() const;
};

struct RuntimeState {
    std::map<std::uint32_t, DefinitionEntry> definitions;
    std::map<std::uint32_t, UnitClass*> classes;
    std::vector<std::uint32_t> loadOrder;         // loaded-window list
    platform::WindowId ownerWindow = 0;
    bool messageLoopRunning = false;
    std::uint32_t currentDialogWindow = 0;
    int replacing = 0;                            // >0 while the loader replaces a window pending destruction
    int holdDepth = 0;
    bool heldForGood = false;
};

RuntimeState& State();
DefinitionEntry* FindEntry(std::uint32_t formId);

}  // namespace kestrune::forms::detail
