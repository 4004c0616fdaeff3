// File existence, as the platform's find-first-entry search sees it.
#pragma once

#include <string>

namespace kestrune::services {

// True when an entry matches the path: directories count, '*' and '?' in the last component act as
// a pattern. An empty path, or one the platform rejects, is false.
bool FileExists(const std::string& path);

}  // namespace kestrune::services
