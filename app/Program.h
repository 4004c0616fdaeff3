// The program's life cycle: start-up, the message loop, exit routines and program end, and the two
// commands of the login window's picture buttons.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kestrune::app {

using ExitRoutine = void (*)();

// Appends a routine to the exit routines unless it is there already; registration order is kept.
void RegisterExitRoutine(ExitRoutine routine);
const std::vector<ExitRoutine>& ExitRoutines();
void ClearExitRoutines();

// The whole start-up with the built-in definitions; returns the exit code once the last window is gone.
int Run();
// Start-up from the owner window on: creates the owner window, registers the program's exit
// routine, loads `startupWindow` (a failure is the fatal error "载入启动窗口失败"), runs the message
// loop while a window exists, then the shutdown sequence with exit code 0.
int RunStartupWindow(std::uint32_t startupWindow);

// The shutdown sequence without ending the process: holds events for good, runs the exit routines
// in registration order and empties the list, destroys the owner window. Returns `exitCode`.
int Shutdown(int exitCode);
// The shutdown sequence, then the process ends with `exitCode`.
[[noreturn]] void EndProgram(int exitCode);

// Routes fatal runtime errors into the shutdown sequence (no exit routine runs; exit code -1).
void InstallFatalExit();

// Click handlers of the login window's picture buttons.
std::optional<std::int32_t> CloseLoginWindow(std::span<const std::int32_t> args);
std::optional<std::int32_t> MinimizeLoginWindow(std::span<const std::int32_t> args);

}  // namespace kestrune::app
