// Event dispatch: the handler bound to (definition, unit, event) in the loaded instance's definition.
#include "forms/Events.h"

#include <algorithm>

#include "forms/Runtime.h"
#include "forms/RuntimeState.h"

namespace kestrune::forms {

using detail::State;

bool RaiseEvent(EventNotice& notice) {
    if (EventsHeldBack()) return false;

    detail::DefinitionEntry* entry = detail::FindEntry(notice.formId);
    if (entry == nullptr || !entry->loaded) FatalError("未找到引发事件的窗口");
    const int index = entry->IndexOf(notice.unitId);
    if (index < 0) FatalError("未找到引发事件的窗口组件");
    if (static_cast<std::size_t>(index) >= entry->objects.size() || !entry->objects[static_cast<std::size_t>(index)])
        FatalError("引发事件的窗口组件无效");

    // Copied: the handler may close the window, which restores (and so replaces) the live copy.
    EventHandler handler = nullptr;
    for (const EventBinding& binding : entry->live.units[static_cast<std::size_t>(index)].events)
        if (binding.eventIndex == notice.eventIndex) {
            handler = binding.handler;
            break;
        }
    if (handler == nullptr) return false;

    const std::array<std::int32_t, 5> args = notice.args;
    const auto count = static_cast<std::size_t>(std::clamp(notice.argCount, 0, 5));
    const std::optional<std::int32_t> result = handler(std::span<const std::int32_t>(args.data(), count));
    notice.hasResult = result.has_value();
    notice.result = result.value_or(0);
    return true;
}

void HoldEvents() { ++State().holdDepth; }

void ReleaseEvents() {
    if (State().holdDepth > 0) --State().holdDepth;
}

void HoldEventsForGood() { State().heldForGood = true; }

bool EventsHeldBack() { return State().heldForGood || State().holdDepth > 0; }

}  // namespace kestrune::forms
