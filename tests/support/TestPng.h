// PNG files for tests, written by the platform's own PNG library: libpng on Linux, the system's
// imaging component (WIC) on Windows. The project has no PNG writer of its own, so a decoder test
// never reads a file made by the same hands that read it.
#pragma once

#include <cstdint>
#include <vector>

namespace test_support {

// A PNG of `width` x `height` straight-alpha RGBA pixels (rows top-down, 4 bytes each), 8 bits per
// channel, not interlaced. Empty when the library refused.
std::vector<std::uint8_t> WritePng(const std::vector<std::uint8_t>& rgba, int width, int height);

}  // namespace test_support
