// Window outlines as system regions.
#pragma once

#include "platform/Region.h"
#include "platform/win32/Win32Gdi.h"

namespace kestrune::platform::win32 {

// A region of the outline's rectangles (empty rectangles skipped), made from rectangle data in
// batches and combined by union, so outlines of any number of rows can be given. An empty outline
// gives an empty region (nothing of the window is shown); empty handle only when the system refuses.
RegionHandle MakeRegion(const Region& outline);

}  // namespace kestrune::platform::win32
