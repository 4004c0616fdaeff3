#include "forms/UnitLifetime.h"

#include "forms/Runtime.h"

namespace kestrune::forms {

bool UnitLifetime::WindowStands() const { return !WindowGone() && platform::Current().Exists(window_); }

void UnitLifetime::DestroyQuietly() {
    if (!WindowStands()) return;
    quiet_ = true;
    const platform::WindowId window = window_;
    window_ = 0;  // nothing that runs while it goes finds it
    platform::Current().Destroy(window);
}

bool UnitLifetime::WindowEnded() {
    if (quiet_ || ended_) return false;
    ended_ = true;
    return true;
}

void UnitLifetime::ReportControlGone() {
    window_ = 0;
    if (WindowEnded()) ReportUnitDestroyed(formId_, unitId_);  // deletes this object
}

}  // namespace kestrune::forms
