// Building a window instance from its definition, and the process-wide bookkeeping of loaded
// windows that the window unit and start-up share.
#pragma once

#include <cstdint>
#include <vector>

#include "forms/Definition.h"
#include "forms/WindowObject.h"
#include "platform/Platform.h"

namespace kestrune::forms {

// The loader: builds (or brings forward) the instance of `formId`. Raises events 0, 3, 4, shows the
// window and, in dialog mode, begins dialog mode. False on failure (nothing stays shown).
bool BuildWindowInstance(std::uint32_t formId, platform::WindowId owner, bool dialogMode);

// The window object of an open instance, or nullptr.
WindowObject* FindWindowObject(std::uint32_t formId);
// Instances in load order whose native window still exists.
std::vector<std::uint32_t> LoadedWindows();

// Called by the window unit once its native window is gone: restores the definition's live copy,
// destroys the pointers its units loaded, removes it from the loaded-window list and, when no
// window is left while the message loop runs, posts the quit message (exit code 0).
void WindowFinallyDestroyed(std::uint32_t formId);

// Process-wide state shared with start-up.
platform::WindowId OwnerWindow();
void SetOwnerWindow(platform::WindowId owner);
bool MessageLoopRunning();
void SetMessageLoopRunning(bool running);
// The window currently marked as the dialog window (0: none); LoadWindow saves and restores it.
std::uint32_t CurrentDialogWindow();
void SetCurrentDialogWindow(std::uint32_t formId);

}  // namespace kestrune::forms
