#include "services/BrowserEmulation.h"

#include "services/Path.h"
#include "services/Registry.h"

namespace kestrune::services {

namespace {
constexpr int kCurrentUser = 3;
}

int EmulationLevelFor(int level) {
    if (level == 1) return 8000;
    if (level == 2) return 9000;
    return 9999;
}

void ApplyBrowserEmulation(int level) {
    const forms::Value value{static_cast<std::int32_t>(EmulationLevelFor(level))};
    const std::string exe = GetExeFileName();
    WriteRegistryItem(kCurrentUser, std::string(kBrowserEmulationKey) + exe, value);
    WriteRegistryItem(kCurrentUser, std::string(kGpuRenderingKey) + exe, value);
}

platform::WebViewMode ReadBrowserEmulation(const std::string& exeFileName) {
    platform::WebViewMode mode;
    if (auto level = ReadRegistryItem(kCurrentUser, std::string(kBrowserEmulationKey) + exeFileName)) {
        if (auto dword = level->AsDword()) mode.emulationLevel = static_cast<int>(*dword);
    }
    if (auto gpu = ReadRegistryItem(kCurrentUser, std::string(kGpuRenderingKey) + exeFileName)) {
        if (auto dword = gpu->AsDword()) mode.gpuRendering = *dword != 0;
    }
    return mode;
}

}  // namespace kestrune::services
