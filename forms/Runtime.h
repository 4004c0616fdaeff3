// What the program and the unit classes ask of the forms runtime: loading and destroying windows,
// property access by (definition, unit), unit handles, and the fatal runtime error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "forms/Definition.h"
#include "forms/UnitClass.h"
#include "forms/Value.h"
#include "platform/Platform.h"

namespace kestrune::forms {

// Common property indices.
inline constexpr int kPropLeft = 0;
inline constexpr int kPropTop = 1;
inline constexpr int kPropWidth = 2;
inline constexpr int kPropHeight = 3;
inline constexpr int kPropTag = 4;
inline constexpr int kPropVisible = 5;
inline constexpr int kPropDisable = 6;
inline constexpr int kPropMousePointer = 7;

// The definitions the runtime knows (the built-in two at run time; tests may register their own).
void RegisterDefinition(const WindowDefinition& definition);
const WindowDefinition* FindDefinition(std::uint32_t formId);  // the live copy
void ClearDefinitions();                                        // for tests

// Part of the window unit: opens the window; in dialog mode returns once it has been closed.
bool LoadWindow(std::uint32_t formId, platform::WindowId owner, bool dialogMode);
// Destroys a window (deferred unless `immediately`) or a control.
void DestroyUnit(std::uint32_t formId, std::uint32_t unitId, bool immediately = false);
bool IsWindowLoaded(std::uint32_t formId);

Value ReadProperty(std::uint32_t formId, std::uint32_t unitId, int index);
void WriteProperty(std::uint32_t formId, std::uint32_t unitId, int index, const Value& value);
platform::WindowId GetUnitHandle(std::uint32_t formId, std::uint32_t unitId);
UnitObject* FindUnitObject(std::uint32_t formId, std::uint32_t unitId);

// Called by a control whose native window is gone; deletes its unit object. Last thing it does.
void ReportUnitDestroyed(std::uint32_t formId, std::uint32_t unitId);

// Background colour (0x00BBGGRR, the marker resolved) of the window whose definition holds the
// unit; the button-face colour when the window cannot be found.
platform::Colour EffectiveWindowBackColour(std::uint32_t formId);

// Fatal runtime error: shows the error box and ends the process with exit code -1.
[[noreturn]] void FatalError(const std::string& message, std::optional<int> errorCode = std::nullopt);
// The error box text, as FatalError builds it.
std::string FatalErrorText(const std::string& message, std::optional<int> errorCode);

}  // namespace kestrune::forms
