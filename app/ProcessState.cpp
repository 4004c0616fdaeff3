#include "app/ProcessState.h"

#include "platform/SystemServices.h"
#include "services/Path.h"

namespace kestrune::app {

namespace {
std::thread::id g_mainThread;
}

bool InitExecutableLocation() { return InitExecutableLocation(platform::System().ExecutablePath()); }

bool InitExecutableLocation(const std::string& fullPath) {
    services::InitExecutablePath(fullPath);
    std::string directory = services::GetRunDirectory();
    // An executable at the root has an empty run directory; the root itself is then meant.
    if (directory.empty() && !fullPath.empty() && fullPath.front() == services::kPathSeparator)
        directory.assign(1, services::kPathSeparator);
    if (directory.empty()) return false;
    return platform::System().SetCurrentDirectory(directory);
}

std::string RunDirectory() { return services::GetRunDirectory(); }
std::string ExeFileName() { return services::GetExeFileName(); }

void RecordMainThread() { g_mainThread = std::this_thread::get_id(); }
std::thread::id MainThreadId() { return g_mainThread; }

}  // namespace kestrune::app
