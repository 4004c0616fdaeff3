// The program's library search: once restricted, a library beside the executable is not loaded by
// name any more, while the system's own still are.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

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

    EXPECT_TRUE(RestrictLibrarySearchToSystem());  // the system has SetDefaultDllDirectories

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

}  // namespace
}  // namespace kestrune::platform::win32
