// Definitions and their live copies, the unit-class registry, unit lookup and property access.
#include "forms/Runtime.h"

#include <algorithm>

#include "forms/Fatal.h"
#include "forms/Loader.h"
#include "forms/RuntimeState.h"

namespace kestrune::forms {

namespace detail {

int DefinitionEntry::IndexOf(std::uint32_t unitId) const {
    for (std::size_t i = 0; i < live.units.size(); ++i)
        if (live.units[i].unitId == unitId) return static_cast<int>(i);
    return -1;
}

WindowObject* DefinitionEntry::Window() const {
    if (!loaded || objects.empty()) return nullptr;
    return dynamic_cast<WindowObject*>(objects.front().get());
}

RuntimeState& State() {
    static RuntimeState state;
    return state;
}

DefinitionEntry* FindEntry(std::uint32_t formId) {
    auto& defs = State().definitions;
    auto it = defs.find(formId);
    return it == defs.end() ? nullptr : &it->second;
}

}  // namespace detail

using detail::DefinitionEntry;
using detail::FindEntry;
using detail::State;

namespace {

constexpr std::int32_t kMaxCoordinate = 32627;

constexpr const char* kWindowOfUnitNotLoaded = "未载入欲访问窗口组件所在的窗口";
constexpr const char* kWindowNotLoadedYet = "指定窗口尚未载入";

// The entry and unit index a property access names; an unknown definition or unit is fatal.
std::pair<DefinitionEntry*, int> AccessedUnit(std::uint32_t formId, std::uint32_t unitId) {
    DefinitionEntry* entry = FindEntry(formId);
    if (entry == nullptr) FatalError(kWindowOfUnitNotLoaded);
    const int index = entry->IndexOf(unitId);
    if (index < 0) FatalError(kWindowOfUnitNotLoaded);
    return {entry, index};
}

UnitObject* ObjectAt(const DefinitionEntry& entry, int index) {
    if (!entry.loaded || index < 0 || static_cast<std::size_t>(index) >= entry.objects.size()) return nullptr;
    return entry.objects[static_cast<std::size_t>(index)].get();
}

// The native window of a unit, when it exists.
platform::WindowId LiveHandle(const DefinitionEntry& entry, int index) {
    const UnitObject* object = ObjectAt(entry, index);
    if (object == nullptr) return 0;
    const platform::WindowId handle = object->Handle();
    return handle != 0 && platform::Current().Exists(handle) ? handle : 0;
}

std::int32_t Clamp(std::int32_t v, std::int32_t low) { return std::clamp(v, low, kMaxCoordinate); }

}  // namespace

// ---- definitions

void RegisterDefinition(const WindowDefinition& definition) {
    DefinitionEntry& entry = State().definitions[definition.formId];
    if (entry.loaded) return;  // never swap the data below an open instance
    entry.live = definition;
    entry.saved.reset();
}

const WindowDefinition* FindDefinition(std::uint32_t formId) {
    const DefinitionEntry* entry = FindEntry(formId);
    return entry == nullptr ? nullptr : &entry->live;
}

void ClearDefinitions() {
    // Objects go first, without their windows calling back into a half-cleared table.
    auto definitions = std::move(State().definitions);
    State().definitions.clear();
    State().loadOrder.clear();
    definitions.clear();
}

// ---- unit classes

void RegisterUnitClass(UnitClass* unitClass) {
    if (unitClass != nullptr) State().classes[unitClass->TypeCode()] = unitClass;
}

UnitClass* FindUnitClass(std::uint32_t typeCode) {
    auto& classes = State().classes;
    auto it = classes.find(typeCode);
    return it == classes.end() ? nullptr : it->second;
}

void ClearUnitClasses() { State().classes.clear(); }

// ---- units

bool IsWindowLoaded(std::uint32_t formId) {
    const DefinitionEntry* entry = FindEntry(formId);
    return entry != nullptr && entry->Window() != nullptr;
}

WindowObject* FindWindowObject(std::uint32_t formId) {
    const DefinitionEntry* entry = FindEntry(formId);
    return entry == nullptr ? nullptr : entry->Window();
}

UnitObject* FindUnitObject(std::uint32_t formId, std::uint32_t unitId) {
    const DefinitionEntry* entry = FindEntry(formId);
    if (entry == nullptr) return nullptr;
    return ObjectAt(*entry, entry->IndexOf(unitId));
}

platform::WindowId GetUnitHandle(std::uint32_t formId, std::uint32_t unitId) {
    auto [entry, index] = AccessedUnit(formId, unitId);
    const UnitObject* object = ObjectAt(*entry, index);
    return object == nullptr ? 0 : object->Handle();
}

void ReportUnitDestroyed(std::uint32_t formId, std::uint32_t unitId) {
    DefinitionEntry* entry = FindEntry(formId);
    if (entry == nullptr || !entry->loaded) return;
    const int index = entry->IndexOf(unitId);
    if (index <= 0 || static_cast<std::size_t>(index) >= entry->objects.size()) return;
    // Out of the table first: the object's destructor may look units up.
    std::unique_ptr<UnitObject> gone = std::move(entry->objects[static_cast<std::size_t>(index)]);
}

platform::Colour EffectiveWindowBackColour(std::uint32_t formId) {
    if (const WindowObject* window = FindWindowObject(formId)) return window->EffectiveBackColour();
    return platform::Current().ButtonFaceColour();
}

// ---- properties

Value ReadProperty(std::uint32_t formId, std::uint32_t unitId, int index) {
    auto [entry, unitIndex] = AccessedUnit(formId, unitId);
    const UnitDefinition& unit = entry->live.units[static_cast<std::size_t>(unitIndex)];
    const platform::WindowId handle = LiveHandle(*entry, unitIndex);
    platform::Platform* pf = handle != 0 ? &platform::Current() : nullptr;

    switch (index) {
        case kPropLeft:
            return pf ? Value{pf->GetOuterRect(handle).left} : Value{unit.left};
        case kPropTop:
            return pf ? Value{pf->GetOuterRect(handle).top} : Value{unit.top};
        case kPropWidth:
            return pf ? Value{pf->GetOuterRect(handle).Width()} : Value{unit.width};
        case kPropHeight:
            return pf ? Value{pf->GetOuterRect(handle).Height()} : Value{unit.height};
        case kPropTag:
            return Value{unit.tag};
        case kPropVisible:
            return Value{Logical{pf ? pf->IsVisible(handle) : (unit.flags & kFlagVisible) != 0}};
        case kPropDisable:
            return Value{Logical{pf ? !pf->IsEnabled(handle) : (unit.flags & kFlagDisabled) != 0}};
        case kPropMousePointer:
            return Value{unit.mousePointer};
        default:
            break;
    }
    if (index < 0) return Value{std::int32_t{0}};
    UnitObject* object = ObjectAt(*entry, unitIndex);
    if (entry->Window() == nullptr) FatalError(kWindowNotLoadedYet);
    Value out{std::int32_t{0}};
    if (object == nullptr) return out;  // a control destroyed on its own: nothing to ask
    const UnitClass* cls = FindUnitClass(unit.classCode);
    if (cls != nullptr && !cls->HasOperation(kOpGetProperty)) return out;
    if (!object->GetProperty(index - 8, out)) return Value{std::int32_t{0}};
    return out;
}

void WriteProperty(std::uint32_t formId, std::uint32_t unitId, int index, const Value& value) {
    auto [entry, unitIndex] = AccessedUnit(formId, unitId);
    UnitDefinition& unit = entry->live.units[static_cast<std::size_t>(unitIndex)];
    const platform::WindowId handle = LiveHandle(*entry, unitIndex);

    switch (index) {
        case kPropLeft:
        case kPropTop: {
            const std::int32_t v = Clamp(AsInt(value), -kMaxCoordinate);
            (index == kPropLeft ? unit.left : unit.top) = v;
            if (handle != 0) {
                platform::Platform& pf = platform::Current();
                const platform::Rect r = pf.GetOuterRect(handle);
                pf.Move(handle, index == kPropLeft ? platform::Point{v, r.top} : platform::Point{r.left, v});
            }
            return;
        }
        case kPropWidth:
        case kPropHeight: {
            const std::int32_t v = Clamp(AsInt(value), 0);
            (index == kPropWidth ? unit.width : unit.height) = v;
            if (handle != 0) {
                platform::Platform& pf = platform::Current();
                const platform::Rect r = pf.GetOuterRect(handle);
                pf.Resize(handle, index == kPropWidth ? platform::Size{v, r.Height()} : platform::Size{r.Width(), v});
            }
            return;
        }
        case kPropTag:
            unit.tag = AsText(value);
            return;
        case kPropVisible:
        case kPropDisable: {
            const std::uint32_t bit = index == kPropVisible ? kFlagVisible : kFlagDisabled;
            const bool on = AsBool(value);
            unit.flags = on ? (unit.flags | bit) : (unit.flags & ~bit);
            if (handle == 0) return;
            platform::Platform& pf = platform::Current();
            if (index == kPropVisible) {
                pf.Show(handle, on ? platform::ShowCommand::NoActivate : platform::ShowCommand::Hide);
                return;
            }
            const bool enable = !on;
            const bool wasEnabled = pf.IsEnabled(handle);
            pf.Enable(handle, enable);
            // The unit may draw itself differently when disabled: tell it, once per real change.
            if (wasEnabled != enable && pf.IsEnabled(handle) == enable) {
                if (UnitObject* object = ObjectAt(*entry, unitIndex)) object->EnabledChanged(enable);
            }
            return;
        }
        case kPropMousePointer:
            unit.mousePointer = AsBytes(value);  // takes effect at the next load
            return;
        default:
            break;
    }
    if (index < 0) return;
    if (entry->Window() == nullptr) FatalError(kWindowNotLoadedYet);
    UnitObject* object = ObjectAt(*entry, unitIndex);
    if (object == nullptr) return;
    const UnitClass* cls = FindUnitClass(unit.classCode);
    if (cls != nullptr && !cls->HasOperation(kOpPropertyChanged)) return;
    object->PropertyChanged(index - 8, value);
}

// ---- process-wide state

platform::WindowId OwnerWindow() { return State().ownerWindow; }
void SetOwnerWindow(platform::WindowId owner) { State().ownerWindow = owner; }
bool MessageLoopRunning() { return State().messageLoopRunning; }
void SetMessageLoopRunning(bool running) { State().messageLoopRunning = running; }
std::uint32_t CurrentDialogWindow() { return State().currentDialogWindow; }
void SetCurrentDialogWindow(std::uint32_t formId) { State().currentDialogWindow = formId; }

}  // namespace kestrune::forms
