// The two window definitions built into the program, LoginWindow and GameWindow, as data.
#pragma once

#include <cstdint>
#include <span>

#include "forms/Definition.h"

namespace kestrune::app {

forms::WindowDefinition LoginWindowDefinition();
// The address the login window's browser box opens on.
const char* LoginPageAddress();
forms::WindowDefinition GameWindowDefinition();

// Registers both with the forms runtime.
void RegisterBuiltinDefinitions();

// The program's own icon file, used where a window has no icon of its own.
std::span<const std::uint8_t> DefaultProgramIcon();

}  // namespace kestrune::app
