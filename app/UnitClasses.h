// Registration of every unit class the built-in definitions use.
#pragma once

namespace kestrune::app {

void RegisterBuiltinClasses();

}  // namespace kestrune::app
