// What every unit object (the window unit and each control) holds and how it ends: its window, the
// definition's and the unit's ids, and the rule that the end of its window is reported to the
// runtime once (the report deletes the object), but not when the object is being deleted itself
// (a load that failed half-way, or the runtime letting go early).
#pragma once

#include <cstdint>

#include "platform/Platform.h"

namespace kestrune::forms {

class UnitLifetime {
public:
    UnitLifetime(const UnitLifetime&) = delete;
    UnitLifetime& operator=(const UnitLifetime&) = delete;

    std::uint32_t FormId() const { return formId_; }
    std::uint32_t UnitId() const { return unitId_; }

protected:
    UnitLifetime(std::uint32_t formId, std::uint32_t unitId) : formId_(formId), unitId_(unitId) {}
    ~UnitLifetime() = default;

    // True while the unit's window stands and has not ended.
    bool WindowStands() const;
    // False once the window has ended or was never made.
    bool WindowGone() const { return window_ == 0 || ended_; }
    // From the destructor, before anything that may run code of others: the window's end is reported
    // to nobody from now on.
    void GoQuietly() { quiet_ = true; }
    // From the destructor: a window that still stands is destroyed without any report, as its owner
    // is already letting go of the object.
    void DestroyQuietly();
    // From the window's end (its Destroyed notice): true, once, when the runtime is to hear of it;
    // false when the object is going itself or the end was told before. The window's id stays for
    // what the end still does with it.
    bool WindowEnded();
    // A control's end: forgets the window, then the report that deletes the control. Nothing of the
    // object may be used after it.
    void ReportControlGone();

    platform::WindowId window_ = 0;  // set by the creation path
    const std::uint32_t formId_;
    const std::uint32_t unitId_;

private:
    bool quiet_ = false;  // the object is going: its window's end is reported to nobody
    bool ended_ = false;  // the window's end was told
};

}  // namespace kestrune::forms
