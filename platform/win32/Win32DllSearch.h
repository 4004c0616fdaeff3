// Where the process may load system libraries from.
#pragma once

namespace kestrune::platform::win32 {

// How far the search could be restricted.
enum class LibrarySearch {
    // Libraries named without a path come from the system directory only; one loaded by its full path
    // also finds the libraries it imports in its own folder, however it is loaded.
    kSystemAndLoadFolder,
    // Named libraries from the system directory only. A library loaded by its full path finds its own
    // folder's imports only when loaded the way COM loads servers (LOAD_WITH_ALTERED_SEARCH_PATH).
    kSystemOnly,
    // The system cannot restrict the search: at least the current directory is out of it.
    kNoCurrentDirectory,
};

// Makes the system directory the only place libraries named without a path are loaded from, for
// the whole process (the browser control's own libraries included), so that a library planted in
// the program's folder or the current directory is never loaded in its place, while input methods
// and plug-ins loaded by their full path still find the libraries beside them.
LibrarySearch RestrictLibrarySearchToSystem();

}  // namespace kestrune::platform::win32
