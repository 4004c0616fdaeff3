// How a fatal runtime error ends the program, and the memory-exhaustion error.
//
// FatalError (forms/Runtime.h) holds back events for good, shows the error box and then hands over to
// the fatal-exit hook that start-up installs: the hook empties the exit-routine list and runs the
// shutdown sequence with exit code -1 (it never returns). Without a hook (unit tests) FatalError
// throws FatalErrorRaised carrying the box text instead, so a test can check it.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

namespace kestrune::forms {

// Thrown by FatalError when no fatal-exit hook is installed.
class FatalErrorRaised : public std::runtime_error {
public:
    explicit FatalErrorRaised(const std::string& text) : std::runtime_error(text), text_(text) {}
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};

// exitCode is -1; runExitRoutines is false (the list is emptied without running it). Must not return.
using FatalExitHook = void (*)(int exitCode, bool runExitRoutines);
void SetFatalExit(FatalExitHook hook);  // nullptr: throw FatalErrorRaised instead

// The fatal error "分配 %d 字节内存失败!" with the requested size, for allocation helpers.
[[noreturn]] void OutOfMemory(std::size_t bytes);

// Tests only: forgets every definition, instance, unit class, event hold and the process-wide state
// of forms/Loader.h, without touching the platform.
void ResetRuntimeForTests();

}  // namespace kestrune::forms
