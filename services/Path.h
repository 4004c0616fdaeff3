// Paths: the platform's separator, splitting at the last separator, and the executable's location
// computed once at start-up.
#pragma once

#include <string>
#include <string_view>

#include "services/CodePage.h"

namespace kestrune::services {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

struct PathParts {
    std::string directory;  // everything before the last separator, without it
    std::string fileName;   // everything after it; the whole path when there is no separator
};

// Splits at the last separator that is a whole character in the code page. With '\\', "D:\\a.exe"
// gives "D:" and "a.exe"; with '/', "/kestrune" gives "" and "kestrune" (joining the two with the
// separator gives the path back).
PathParts SplitAtLastSeparator(std::string_view path, char separator = kPathSeparator,
                               CodePage codePage = CurrentCodePage());

// Records the executable's full path; the run directory and file name are split from it here.
void InitExecutablePath(const std::string& fullPath);
// Directory of the executable, without a trailing separator (empty for an executable at the root).
std::string GetRunDirectory();
// File name of the executable, extension included.
std::string GetExeFileName();

}  // namespace kestrune::services
