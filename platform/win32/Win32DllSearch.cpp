#include "platform/win32/Win32DllSearch.h"

#include <windows.h>

namespace kestrune::platform::win32 {

bool RestrictLibrarySearchToSystem() {
    // Looked up at run time: systems before Windows 8 have it only with a later update.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    const auto setDefault = kernel != nullptr ? reinterpret_cast<SetDefaultDllDirectoriesFn>(
                                                    reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")))
                                              : nullptr;
    if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return true;
    ::SetDllDirectoryW(L"");  // no current directory in the search
    return false;
}

}  // namespace kestrune::platform::win32
