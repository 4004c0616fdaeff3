// The per-program browser emulation values in the current user's registry, and the web view mode
// they stand for.
#pragma once

#include <string>
#include <string_view>

#include "platform/WebView.h"

namespace kestrune::services {

inline constexpr std::string_view kBrowserEmulationKey =
    "Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION\\";
inline constexpr std::string_view kGpuRenderingKey =
    "Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_GPU_RENDERING\\";

// 8000 for level 1, 9000 for level 2, 9999 for any other level.
int EmulationLevelFor(int level);

// Writes the level's value under both keys, named after the executable file name (current user).
// Failures are not reported: the web view then keeps its default mode.
void ApplyBrowserEmulation(int level);

// The stored values for `exeFileName`: no emulation value gives level 0, no GPU-rendering value
// leaves GPU rendering on; a stored zero turns it off.
platform::WebViewMode ReadBrowserEmulation(const std::string& exeFileName);

}  // namespace kestrune::services
