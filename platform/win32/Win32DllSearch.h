// Where the process may load system libraries from.
#pragma once

namespace kestrune::platform::win32 {

// Makes the system directory the only place libraries named without a path are loaded from, for
// the whole process (the browser control's own libraries included), so that a library planted in
// the program's folder or the current directory is never loaded in its place. Uses
// SetDefaultDllDirectories where the system has it; elsewhere at least takes the current directory
// out of the search. True when the search was restricted to the system directory.
bool RestrictLibrarySearchToSystem();

}  // namespace kestrune::platform::win32
