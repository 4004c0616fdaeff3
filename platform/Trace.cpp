#include "platform/Trace.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace kestrune::platform {

void TraceStep(const char* step) {
    static const bool enabled = std::getenv("KESTRUNE_TRACE") != nullptr;
    if (!enabled) return;
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::fprintf(stderr, "TRACE %s %lld\n", step,
                 static_cast<long long>(std::chrono::duration_cast<std::chrono::microseconds>(now).count()));
    std::fflush(stderr);
}

}  // namespace kestrune::platform
