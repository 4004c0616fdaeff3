// Process-wide state set up once at start-up: where the executable lives and which thread runs
// the program.
#pragma once

#include <string>
#include <thread>

namespace kestrune::app {

// Reads the executable's full path, splits it into run directory and file name and makes the run
// directory the current directory. False when the current directory could not be changed.
bool InitExecutableLocation();
// Same, from a given full path (the start-up path uses the system's answer).
bool InitExecutableLocation(const std::string& fullPath);

std::string RunDirectory();
std::string ExeFileName();

void RecordMainThread();
std::thread::id MainThreadId();

}  // namespace kestrune::app
