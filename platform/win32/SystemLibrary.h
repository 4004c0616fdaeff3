// System libraries and their functions, taken from the system directory only.
//
// A library looked up by its plain name is searched for in the executable's own folder first, so a
// DLL of that name dropped beside the program (a downloads folder) would run inside it. Everything
// here takes the copy the system itself loaded, or loads it from the system directory by full path.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace kestrune::platform::win32 {

// The library `name` (without ".dll", such as "user32"): the module already loaded when its file is
// in the system directory, else loaded from the system directory. nullptr when it is not there.
HMODULE LoadSystemLibrary(std::wstring_view name);

// The exported function `function` of the system library `library`. When the library or the function
// cannot be found the missing-function handler is called with MissingFunctionMessage(); should it
// return, the answer is nullptr.
FARPROC ResolveSystemFunction(std::string_view library, const char* function);

// "无法找到指定DLL库文件“<library>”中的输出命令“<function>”".
std::string MissingFunctionMessage(std::string_view library, std::string_view function);

// Called for a function that cannot be resolved; it is expected to end the program. The default shows
// the message in an error box and ends the process with exit code -1; start-up installs the
// program's fatal-error path instead, tests a recorder. nullptr restores the default.
using MissingFunctionHandler = void (*)(const std::string& message);
void SetMissingFunctionHandler(MissingFunctionHandler handler);

}  // namespace kestrune::platform::win32
