// What a parent process sees of a child that ended with exit code -1: the whole 32-bit value on
// Windows, only its low byte on POSIX systems.
#pragma once

namespace testing_support {

#ifdef _WIN32
inline constexpr int kExitStatusMinusOne = -1;
#else
inline constexpr int kExitStatusMinusOne = 255;
#endif

}  // namespace testing_support
