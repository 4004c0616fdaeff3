// Window definitions: the built-in data from which windows and their controls are created.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "forms/Events.h"
#include "forms/Value.h"

namespace kestrune::forms {

// Unit class type codes.
inline constexpr std::uint32_t kClassWindow = 0x00010001;
inline constexpr std::uint32_t kClassPicBtn = 0x0001002D;
inline constexpr std::uint32_t kClassShapeBox = 0x00010007;
inline constexpr std::uint32_t kClassVScrollBar = 0x00010012;
inline constexpr std::uint32_t kClassHtmlViewer = 0x00020001;

// Unit flags.
inline constexpr std::uint32_t kFlagVisible = 1u << 0;
inline constexpr std::uint32_t kFlagDisabled = 1u << 1;
inline constexpr std::uint32_t kFlagTabStop = 1u << 2;

// Style bits handed to a unit class's create operation (derived from the flags; never "visible").
inline constexpr std::uint32_t kStyleDisabled = 1u << 0;
inline constexpr std::uint32_t kStyleTabStop = 1u << 1;

struct EventBinding {
    std::int32_t eventIndex = 0;
    EventHandler handler = nullptr;
};

struct UnitDefinition {
    std::uint32_t unitId = 0;
    std::uint32_t classCode = 0;
    std::string name;
    std::int32_t left = 0, top = 0, width = 0, height = 0;
    std::uint32_t parent = 0;               // 0: the window itself
    std::vector<std::uint32_t> children;
    Bytes mousePointer;                     // pointer data (a 4-byte code in these definitions)
    std::string tag;
    // What assistive technology calls the unit (a button's spoken name, a window's name where its
    // title is empty); empty: nothing of its own.
    std::string accessibleName;
    std::uint32_t flags = 0;
    std::vector<EventBinding> events;
    Bytes propertyBlock;                    // the class's own properties; empty: class defaults
};

struct WindowDefinition {
    std::uint32_t formId = 0;
    std::vector<UnitDefinition> units;      // units[0] is the window unit
};

}  // namespace kestrune::forms
