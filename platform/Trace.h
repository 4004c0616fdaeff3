// Step times for the benchmarks: with KESTRUNE_TRACE set in the environment, each step is written
// to standard error as "TRACE <step> <microseconds>" on the monotonic clock the demo server stamps
// its beacons with, so that a benchmark can place the program's own steps between the page's events.
// Without it, a step costs one test of a flag.
#pragma once

namespace kestrune::platform {

void TraceStep(const char* step);

}  // namespace kestrune::platform
