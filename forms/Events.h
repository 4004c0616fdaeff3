// The event record and the synchronous dispatch through which every unit raises its events.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace kestrune::forms {

struct EventNotice {
    std::uint32_t formId = 0;
    std::uint32_t unitId = 0;
    std::int32_t eventIndex = 0;
    std::int32_t argCount = 0;
    std::array<std::int32_t, 5> args{};
    bool hasResult = false;
    std::int32_t result = 0;
};

// A program routine bound to an event. Returning std::nullopt ends without a value.
using EventHandler = std::optional<std::int32_t> (*)(std::span<const std::int32_t> args);

// Looks up the handler bound to the notice's event and calls it. False when none is bound or events
// are held back. An unknown definition or unit is a fatal runtime error.
bool RaiseEvent(EventNotice& notice);

// Hold back events: nested holds (a load inside a load) release in order; HoldEventsForGood never releases.
void HoldEvents();
void ReleaseEvents();
void HoldEventsForGood();
bool EventsHeldBack();

}  // namespace kestrune::forms
