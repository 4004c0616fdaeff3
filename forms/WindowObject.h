// The window unit as the loader and the runtime see it (implemented by the `window` class).
#pragma once

#include <cstdint>

#include "forms/UnitClass.h"
#include "platform/Geometry.h"

namespace kestrune::forms {

class WindowObject : public UnitObject {
public:
    virtual bool DestroyPending() const = 0;
    // Ends dialog mode and destroys the native window now (its controls go with it).
    virtual void DestroyNow() = 0;
    // Destruction as DestroyUnit asks for it: deferred to the window's own message unless `immediately`.
    virtual void RequestDestroy(bool immediately) = 0;
    // Loader step 1 for an open instance: restore it if minimised, else activate it.
    virtual void BringForward() = 0;
    // Shows the window as its Position asks (loader step 13).
    virtual void ShowForLoad() = 0;
    // Dialog mode: disable every other open program window, remembering its state (loader step 14).
    virtual void BeginDialogMode() = 0;
    virtual void EndDialogMode() = 0;
    virtual bool InDialogMode() const = 0;
    // Load-complete flag: set by the loader when the instance is built, cleared by LoadWindow.
    virtual void SetLoadComplete(bool complete) = 0;
    virtual bool LoadComplete() const = 0;
    virtual platform::Colour EffectiveBackColour() const = 0;
};

}  // namespace kestrune::forms
