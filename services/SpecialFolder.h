// Paths of the user's and the system's well-known folders.
#pragma once

#include <string>

namespace kestrune::services {

// Codes 1 documents, 2 favourites, 3 desktop, 4 fonts, 5 start menu, 6 start menu programs,
// 7 start-up programs, 8 application data, 9 the operating system's directory, 10 the system
// programs directory, 11 temporary files. The path ends with the separator; any other code, or a
// folder that cannot be determined, gives the empty text.
std::string GetSpecialFolder(int code);

}  // namespace kestrune::services
