// The program's library search: once restricted, a library beside the executable is not loaded by
// name any more, while the system's own still are.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/Win32DllSearch.h"

namespace kestrune::platform::win32 {
namespace {

std::wstring ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(module, path, MAX_PATH);
    return path;
}

TEST(DllSearchTest, RestrictedSearchSkipsTheProgramFolderButFindsSystemLibraries) {
    // The planted library lies beside this executable: the default search finds it there.
    HMODULE planted = ::LoadLibraryW(L"kestrune_planted.dll");
    ASSERT_NE(planted, nullptr) << "the test's library is not beside the executable";
    EXPECT_NE(::GetProcAddress(planted, "KestrunePlantedLibrary"), nullptr);
    ::FreeLibrary(planted);
    ASSERT_EQ(::GetModuleHandleW(L"kestrune_planted.dll"), nullptr);

    EXPECT_NE(RestrictLibrarySearchToSystem(), LibrarySearch::kNoCurrentDirectory);  // the system has SetDefaultDllDirectories

    EXPECT_EQ(::LoadLibraryW(L"kestrune_planted.dll"), nullptr);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));

    HMODULE system = ::LoadLibraryW(L"version.dll");
    ASSERT_NE(system, nullptr);
    wchar_t systemDir[MAX_PATH] = {};
    ::GetSystemDirectoryW(systemDir, MAX_PATH);
    const std::wstring path = ModulePath(system);
    EXPECT_EQ(_wcsnicmp(path.c_str(), systemDir, wcslen(systemDir)), 0);
    ::FreeLibrary(system);
}

// The folder of this executable, with a trailing separator.
std::wstring ProgramFolder() {
    std::wstring path = ModulePath(nullptr);
    return path.substr(0, path.find_last_of(L"\\/") + 1);
}

TEST(DllSearchTest, ALibraryLoadedByItsFullPathStillFindsTheSiblingsItImports) {
    const LibrarySearch search = RestrictLibrarySearchToSystem();
    ASSERT_NE(search, LibrarySearch::kNoCurrentDirectory);
    const std::wstring plugin = ProgramFolder() + L"plugin\\kestrune_plugin.dll";
    // As COM loads an in-process server (a text service, an ActiveX control): by full path, with the
    // library's folder first for its imports.
    std::vector<DWORD> siblingsFound{LOAD_WITH_ALTERED_SEARCH_PATH};
    // A plain load by full path finds them where the system took the loading folder as a default.
    if (search == LibrarySearch::kSystemAndLoadFolder) {
        siblingsFound.push_back(0);
    } else {
        EXPECT_EQ(::LoadLibraryExW(plugin.c_str(), nullptr, 0), nullptr);
        EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    }
    for (DWORD flags : siblingsFound) {
        HMODULE module = ::LoadLibraryExW(plugin.c_str(), nullptr, flags);
        ASSERT_NE(module, nullptr) << "flags " << flags << ", error " << ::GetLastError();
        using Entry = int (*)();
        const auto entry = reinterpret_cast<Entry>(reinterpret_cast<void*>(::GetProcAddress(module, "KestrunePlugin")));
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(entry(), 42);
        ::FreeLibrary(module);
        EXPECT_EQ(::GetModuleHandleW(L"kestrune_plugin_part.dll"), nullptr);
    }
    // The sibling is no library of the system's: by name it is still not found.
    EXPECT_EQ(::LoadLibraryW(L"kestrune_plugin_part.dll"), nullptr);
    EXPECT_EQ(::LoadLibraryW(L"kestrune_planted.dll"), nullptr);
}

}  // namespace
}  // namespace kestrune::platform::win32
