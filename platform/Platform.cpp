#include "platform/Platform.h"

#include <cstdio>
#include <cstdlib>

namespace kestrune::platform {

namespace {
Platform* g_current = nullptr;
}

Platform& Current() {
    if (g_current == nullptr) {
        std::fputs("kestrune: no platform backend installed\n", stderr);
        std::abort();
    }
    return *g_current;
}

void Install(Platform* platform) { g_current = platform; }

}  // namespace kestrune::platform
