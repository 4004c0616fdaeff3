// The one conversion between the program's texts (UTF-8) and the UTF-16 of the wide Windows
// functions. Every call into the system goes through it, so texts never pass the ANSI code page and
// read the same whatever code page the machine is set to.
#pragma once

#include <string>
#include <string_view>

namespace kestrune::platform::win32 {

// Bytes that are not valid UTF-8 become U+FFFD each; zero bytes are kept as zero characters.
std::wstring Widen(std::string_view utf8);
// Unpaired surrogates become U+FFFD; zero characters are kept as zero bytes.
std::string Narrow(std::wstring_view utf16);

}  // namespace kestrune::platform::win32
