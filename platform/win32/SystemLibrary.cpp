#include "platform/win32/SystemLibrary.h"

#include <string>

#include "platform/win32/WideText.h"

namespace kestrune::platform::win32 {

namespace {

void DefaultMissingFunction(const std::string& message) {
    ::MessageBoxW(nullptr, Widen(message).c_str(), L"错误", MB_OK | MB_ICONERROR | MB_TASKMODAL);
    ::ExitProcess(static_cast<UINT>(-1));
}

MissingFunctionHandler g_missingFunction = &DefaultMissingFunction;

std::wstring Directory(UINT (WINAPI* query)(LPWSTR, UINT)) {
    wchar_t buffer[MAX_PATH];
    const UINT length = query(buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

std::wstring SystemDirectory() { return Directory(&::GetSystemDirectoryW); }

// The folder part of a module's file, compared without regard to case with the system directory
// (and, in a 32-bit process on 64-bit Windows, with the folder of the 32-bit system libraries,
// where the loaded copies live).
bool InSystemDirectory(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return false;
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return false;
    const std::wstring folder = path.substr(0, slash);
    for (const std::wstring& system : {SystemDirectory(), Directory(&::GetSystemWow64DirectoryW)}) {
        if (!system.empty() &&
            ::CompareStringOrdinal(folder.c_str(), static_cast<int>(folder.size()), system.c_str(),
                                   static_cast<int>(system.size()), TRUE) == CSTR_EQUAL)
            return true;
    }
    return false;
}

}  // namespace

HMODULE LoadSystemLibrary(std::wstring_view name) {
    if (name.empty() || name.find_first_of(L"\\/:") != std::wstring_view::npos) return nullptr;
    const std::wstring file = std::wstring(name) + L".dll";

    // A copy already loaded is taken only when it is the system's own; the reference taken here keeps
    // it loaded for as long as its functions are cached.
    HMODULE module = nullptr;
    if (::GetModuleHandleExW(0, file.c_str(), &module) && module != nullptr) {
        if (InSystemDirectory(module)) return module;
        ::FreeLibrary(module);
    }

    const std::wstring system = SystemDirectory();
    if (system.empty()) return nullptr;
    // By full path, so that no module of the same name loaded from elsewhere is matched; its own
    // dependencies come from the system directory too.
    const std::wstring path = system + L"\\" + file;
    module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr && ::GetLastError() == ERROR_INVALID_PARAMETER)
        module = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);  // loader without the search flags
    if (module != nullptr && !InSystemDirectory(module)) {
        ::FreeLibrary(module);
        return nullptr;
    }
    return module;
}

std::string MissingFunctionMessage(std::string_view library, std::string_view function) {
    std::string message = "无法找到指定DLL库文件“";
    message += library;
    message += "”中的输出命令“";
    message += function;
    message += "”";
    return message;
}

FARPROC ResolveSystemFunction(std::string_view library, const char* function) {
    FARPROC address = nullptr;
    if (HMODULE module = LoadSystemLibrary(Widen(library)); module != nullptr && function != nullptr)
        address = ::GetProcAddress(module, function);
    if (address == nullptr) g_missingFunction(MissingFunctionMessage(library, function != nullptr ? function : ""));
    return address;
}

void SetMissingFunctionHandler(MissingFunctionHandler handler) {
    g_missingFunction = handler != nullptr ? handler : &DefaultMissingFunction;
}

}  // namespace kestrune::platform::win32
