// Where the keyboard goes inside a window: its first control that is a tab stop.
#pragma once

#include <cstdint>

#include "platform/Platform.h"

namespace kestrune::forms {

// The window of the first unit of a loaded window, in the order of its definition, that is a tab
// stop and can take the keyboard now (it and every window up to the top-level are visible and
// enabled); 0 when there is none.
platform::WindowId FirstTabStop(std::uint32_t formId);

}  // namespace kestrune::forms
