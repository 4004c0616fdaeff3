#include "platform/win32/Win32DllSearch.h"

#include <windows.h>

namespace kestrune::platform::win32 {

LibrarySearch RestrictLibrarySearchToSystem() {
    // Looked up at run time: systems before Windows 8 have it only with a later update.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    const auto setDefault = kernel != nullptr ? reinterpret_cast<SetDefaultDllDirectoriesFn>(
                                                    reinterpret_cast<void*>(::GetProcAddress(kernel, "SetDefaultDllDirectories")))
                                              : nullptr;
    if (setDefault != nullptr) {
        // The loading library's own folder applies to its imports only, never to a name without a
        // path. Systems that do not take it as a default refuse the call, and the system directory
        // alone is kept.
        if (setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR))
            return LibrarySearch::kSystemAndLoadFolder;
        if (setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return LibrarySearch::kSystemOnly;
    }
    ::SetDllDirectoryW(L"");  // no current directory in the search
    return LibrarySearch::kNoCurrentDirectory;
}

}  // namespace kestrune::platform::win32
