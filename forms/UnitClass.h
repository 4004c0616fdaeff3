// The unit-class interface: how the loader creates a control (or the window) from its definition
// and how properties from index 8 on reach the class.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "forms/Value.h"
#include "platform/Platform.h"

namespace kestrune::forms {

// Operation codes of the lookup.
inline constexpr int kOpCreate = 1;
inline constexpr int kOpPropertyChanged = 4;
inline constexpr int kOpSaveProperties = 5;
inline constexpr int kOpGetProperty = 6;

struct CreateArgs {
    std::span<const std::uint8_t> propertyBlock;
    std::uint32_t styleBits = 0;        // kStyleDisabled, kStyleTabStop
    platform::WindowId parent = 0;      // controls: the window; window unit: the owner or 0
    std::int32_t controlId = 0;
    std::int32_t left = 0, top = 0, width = 0, height = 0;
    std::uint32_t formId = 0;
    std::uint32_t unitId = 0;
    std::string_view accessibleName;    // UnitDefinition::accessibleName
    bool designMode = false;
    bool dialogMode = false;            // window unit only: loaded in dialog mode
};

// A created unit. A control whose native window is destroyed calls ReportUnitDestroyed (Runtime.h)
// as the last thing it does; that deletes the object.
class UnitObject {
public:
    virtual ~UnitObject() = default;
    virtual platform::WindowId Handle() const = 0;
    virtual void PropertyChanged(int ownIndex, const Value& value) = 0;   // op 4, index counted from 8
    virtual Bytes SaveProperties() const = 0;                            // op 5
    virtual bool GetProperty(int ownIndex, Value& out) = 0;              // op 6
    virtual void DefinitionLoaded() {}                                   // loader step 9
    virtual void UnitsLoaded() {}                                        // loader step 9, window unit
    virtual void WindowShown() {}                                        // loader step 15
    // The window holding the unit changed size, after its resize event ran.
    virtual void WindowResized() {}
    // Common property 6 has just enabled or disabled the unit's window (only when that changed it).
    virtual void EnabledChanged(bool enabled) { (void)enabled; }
};

class UnitClass {
public:
    virtual ~UnitClass() = default;
    virtual std::uint32_t TypeCode() const = 0;
    virtual const char* Name() const = 0;
    // The operation lookup: whether the class has the operation with this code.
    virtual bool HasOperation(int code) const {
        return code == kOpCreate || code == kOpPropertyChanged || code == kOpSaveProperties || code == kOpGetProperty;
    }
    // Operation 1. nullptr on failure (for example a property block of a newer format version).
    virtual std::unique_ptr<UnitObject> Create(const CreateArgs& args) = 0;
    // With drag-anywhere on, a left press on a control of this class drags its window.
    virtual bool AllowsDrag() const { return false; }
};

// The class registry: every class registers itself once at start-up (RegisterBuiltinClasses).
void RegisterUnitClass(UnitClass* unitClass);
UnitClass* FindUnitClass(std::uint32_t typeCode);
void ClearUnitClasses();  // for tests

}  // namespace kestrune::forms
