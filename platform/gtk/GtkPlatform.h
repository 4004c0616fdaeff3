// Creation of the GTK 3 (X11) backend of the seam.
#pragma once

#include <memory>

#include "platform/Platform.h"

namespace kestrune::platform::gtk {

// Initialises GTK on the X11 backend (the only one this backend supports) and returns the platform.
// Sets WEBKIT_DISABLE_DMABUF_RENDERER=1 unless the environment already sets it. Returns nullptr when
// no display can be opened. Only one may exist at a time.
std::unique_ptr<Platform> CreateGtkPlatform(int* argc, char*** argv);

}  // namespace kestrune::platform::gtk
