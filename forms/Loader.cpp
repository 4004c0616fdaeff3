// The loader: one window instance built from its definition, and its final destruction.
#include "forms/Loader.h"

#include <algorithm>

#include "forms/Events.h"
#include "forms/PointerData.h"
#include "forms/Runtime.h"
#include "forms/RuntimeState.h"
#include "platform/Trace.h"

namespace kestrune::forms {

using detail::DefinitionEntry;
using detail::State;

namespace {

constexpr std::int32_t kWindowCreated = 0;
constexpr std::int32_t kWindowMoved = 3;
constexpr std::int32_t kWindowResized = 4;
constexpr std::int32_t kFirstControlId = 100;
constexpr std::int32_t kControlIdStep = 10;

std::uint32_t StyleBits(std::uint32_t flags) {
    std::uint32_t bits = 0;
    if ((flags & kFlagDisabled) != 0) bits |= kStyleDisabled;
    if ((flags & kFlagTabStop) != 0) bits |= kStyleTabStop;
    return bits;
}

std::unique_ptr<UnitObject> CreateUnit(const UnitDefinition& unit, CreateArgs args) {
    UnitClass* cls = FindUnitClass(unit.classCode);
    if (cls == nullptr || !cls->HasOperation(kOpCreate)) return nullptr;
    args.propertyBlock = unit.propertyBlock;
    args.styleBits = StyleBits(unit.flags);
    args.left = unit.left;
    args.top = unit.top;
    args.width = unit.width;
    args.height = unit.height;
    args.unitId = unit.unitId;
    args.accessibleName = unit.accessibleName;
    args.designMode = false;
    return cls->Create(args);
}

platform::WindowId HandleAt(const DefinitionEntry& entry, std::size_t index) {
    return index < entry.objects.size() && entry.objects[index] ? entry.objects[index]->Handle() : 0;
}

bool WindowGone(const DefinitionEntry& entry, platform::WindowId window) {
    return !entry.loaded || !platform::Current().Exists(window);
}

// A load that failed at creation: whatever was built goes, without a single event.
void AbandonLoad(std::uint32_t formId) {
    DefinitionEntry* entry = detail::FindEntry(formId);
    if (entry == nullptr) return;
    const platform::WindowId window = HandleAt(*entry, 0);
    if (window != 0 && platform::Current().Exists(window)) platform::Current().Destroy(window);
    // A window unit that reported back has gone through WindowFinallyDestroyed already.
    if (entry->loaded) WindowFinallyDestroyed(formId);
}

}  // namespace

std::vector<std::uint32_t> LoadedWindows() {
    std::vector<std::uint32_t> result;
    platform::Platform& pf = platform::Current();
    for (std::uint32_t id : State().loadOrder) {
        const WindowObject* window = FindWindowObject(id);
        if (window != nullptr && window->Handle() != 0 && pf.Exists(window->Handle())) result.push_back(id);
    }
    return result;
}

bool BuildWindowInstance(std::uint32_t formId, platform::WindowId owner, bool dialogMode) {
    platform::Platform& pf = platform::Current();
    DefinitionEntry* entry = detail::FindEntry(formId);
    if (entry == nullptr || entry->live.units.empty()) return false;

    // 1. One instance per definition.
    if (WindowObject* open = entry->Window()) {
        if (!open->DestroyPending()) {
            open->BringForward();
            return true;
        }
        // Its replacement follows at once: the last window going away here must not end the program.
        ++State().replacing;
        open->DestroyNow();
        --State().replacing;
        entry = detail::FindEntry(formId);
        if (entry == nullptr) return false;
        if (entry->loaded) return false;  // the old instance refused to go
    }

    // 2. Owner.
    if (dialogMode)
        owner = 0;
    else if (owner != 0 && !pf.Exists(owner))
        return false;

    // 3. Events held back until the instance stands; the live copy saved for its destruction.
    HoldEvents();
    entry->saved = entry->live;
    const std::size_t count = entry->live.units.size();
    entry->objects.clear();
    entry->objects.resize(count);
    entry->pointers.assign(count, 0);

    // 4. The window unit, hidden.
    CreateArgs windowArgs;
    windowArgs.parent = owner;
    windowArgs.controlId = 0;
    windowArgs.formId = formId;
    windowArgs.dialogMode = dialogMode;
    std::unique_ptr<UnitObject> windowObject = CreateUnit(entry->live.units[0], windowArgs);
    if (windowObject == nullptr || dynamic_cast<WindowObject*>(windowObject.get()) == nullptr) {
        entry->objects.clear();
        entry->pointers.clear();
        entry->saved.reset();
        ReleaseEvents();
        return false;
    }
    entry->objects[0] = std::move(windowObject);
    entry->loaded = true;
    State().loadOrder.push_back(formId);
    const platform::WindowId window = entry->objects[0]->Handle();

    // 5. The controls in reverse list order, hidden.
    std::int32_t controlId = kFirstControlId;
    for (std::size_t i = count; i-- > 1;) {
        CreateArgs args;
        args.parent = window;
        args.controlId = controlId;
        args.formId = formId;
        controlId += kControlIdStep;
        std::unique_ptr<UnitObject> control = CreateUnit(entry->live.units[i], args);
        if (control == nullptr) {
            AbandonLoad(formId);
            ReleaseEvents();
            return false;
        }
        entry->objects[i] = std::move(control);
    }

    // 6. Each control into its container, keeping its place.
    for (std::size_t i = 1; i < count; ++i) {
        const std::uint32_t parentId = entry->live.units[i].parent;
        platform::WindowId parent = window;
        if (parentId != 0) {
            const int p = entry->IndexOf(parentId);
            if (p > 0) parent = HandleAt(*entry, static_cast<std::size_t>(p));
        }
        const platform::WindowId handle = HandleAt(*entry, i);
        if (handle != 0 && parent != 0 && pf.GetParent(handle) != parent) pf.SetParent(handle, parent);
    }

    // 7. Within one parent, list order is front-to-back order.
    for (std::size_t i = 1; i < count; ++i) {
        const platform::WindowId handle = HandleAt(*entry, i);
        if (handle == 0) continue;
        platform::WindowId before = 0;
        for (std::size_t j = i - 1; j >= 1; --j) {
            if (entry->live.units[j].parent == entry->live.units[i].parent && HandleAt(*entry, j) != 0) {
                before = HandleAt(*entry, j);
                break;
            }
        }
        if (before != 0)
            pf.PlaceBehind(handle, before);
        else
            pf.PlaceFront(handle);
    }

    // 8. Mouse pointers.
    for (std::size_t i = 0; i < count; ++i) {
        const platform::CursorId cursor = LoadPointer(pf, entry->live.units[i].mousePointer);
        if (cursor == 0) continue;
        entry->pointers[i] = cursor;
        const platform::WindowId handle = HandleAt(*entry, i);
        if (cursor != 0 && handle != 0) pf.SetWindowCursor(handle, cursor);
    }

    // 9. Loading notifications, last unit first.
    for (std::size_t i = count; i-- > 0;)
        if (entry->objects[i]) entry->objects[i]->DefinitionLoaded();
    entry->objects[0]->UnitsLoaded();

    // 10. Visible controls shown, not activated.
    for (std::size_t i = 1; i < count; ++i) {
        const platform::WindowId handle = HandleAt(*entry, i);
        if (handle != 0 && (entry->live.units[i].flags & kFlagVisible) != 0)
            pf.Show(handle, platform::ShowCommand::NoActivate);
    }

    // 11. No accelerators in these definitions; events flow again.
    ReleaseEvents();

    // 12. Creation events; any handler may destroy the window.
    const std::uint32_t windowUnitId = entry->live.units[0].unitId;
    for (std::int32_t event : {kWindowCreated, kWindowMoved, kWindowResized}) {
        entry = detail::FindEntry(formId);
        if (entry == nullptr || WindowGone(*entry, window)) return true;
        EventNotice notice;
        notice.formId = formId;
        notice.unitId = windowUnitId;
        notice.eventIndex = event;
        RaiseEvent(notice);
    }
    entry = detail::FindEntry(formId);
    if (entry == nullptr || WindowGone(*entry, window)) return true;

    // 13, 14. Shown, and in dialog mode every other program window disabled.
    WindowObject* windowUnit = entry->Window();
    if ((entry->live.units[0].flags & kFlagVisible) != 0) windowUnit->ShowForLoad();
    platform::TraceStep("load-window-shown");
    entry = detail::FindEntry(formId);
    if (entry == nullptr || WindowGone(*entry, window)) return true;
    windowUnit = entry->Window();
    if (dialogMode) windowUnit->BeginDialogMode();
    platform::TraceStep("load-dialog-mode");

    // 15. Shown notifications, leaving the keyboard focus where it was.
    const platform::WindowId focus = pf.GetFocus();
    for (std::size_t i = count; i-- > 0;) {
        entry = detail::FindEntry(formId);
        if (entry == nullptr || WindowGone(*entry, window)) return true;
        if (i < entry->objects.size() && entry->objects[i]) entry->objects[i]->WindowShown();
    }
    if (focus != 0 && pf.Exists(focus) && pf.GetFocus() != focus) pf.SetFocus(focus);
    entry = detail::FindEntry(formId);
    if (entry != nullptr && !WindowGone(*entry, window)) entry->Window()->SetLoadComplete(true);
    platform::TraceStep("load-complete");
    return true;
}

void WindowFinallyDestroyed(std::uint32_t formId) {
    DefinitionEntry* entry = detail::FindEntry(formId);
    if (entry == nullptr || !entry->loaded) return;
    platform::Platform& pf = platform::Current();

    for (platform::CursorId cursor : entry->pointers)
        if (cursor != 0) pf.DestroyCursor(cursor);
    entry->pointers.clear();

    // The table is settled before any object goes: destructors may look units up.
    std::vector<std::unique_ptr<UnitObject>> objects = std::move(entry->objects);
    entry->objects.clear();
    entry->loaded = false;
    if (entry->saved) {
        entry->live = std::move(*entry->saved);
        entry->saved.reset();
    }
    auto& order = State().loadOrder;
    order.erase(std::remove(order.begin(), order.end(), formId), order.end());
    if (State().currentDialogWindow == formId) State().currentDialogWindow = 0;

    const bool lastWindow = LoadedWindows().empty();
    // Controls first; the window object (usually our caller) last.
    for (std::size_t i = objects.size(); i-- > 1;) objects[i].reset();
    objects.clear();

    if (lastWindow && State().messageLoopRunning && State().replacing == 0) pf.PostQuit(0);
}

}  // namespace kestrune::forms
