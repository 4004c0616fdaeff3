// System libraries come from the system directory only: a library of the same name beside the
// program is never loaded or used, also once something else has loaded it; a function that cannot
// be found is the fatal error with the library's and the function's names.
#include <gtest/gtest.h>

#include "platform/win32/ProcedureSlot.h"
#include "platform/win32/SystemLibrary.h"

#include <stdexcept>
#include <string>

namespace kestrune::platform::win32 {
namespace {

struct Missing : std::runtime_error {
    using std::runtime_error::runtime_error;
};
[[noreturn]] void ThrowMissing(const std::string& message) { throw Missing(message); }

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

std::wstring ModuleFolder(HMODULE module) {
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(module, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

bool SameFolder(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::wstring SystemFolder() {
    wchar_t path[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
    return std::wstring(path, length);
}

class SystemLibraryTest : public ::testing::Test {
protected:
    void SetUp() override { SetMissingFunctionHandler(&ThrowMissing); }
    void TearDown() override {
        SetMissingFunctionHandler(nullptr);
        for (const std::wstring& file : planted) ::DeleteFileW(file.c_str());
    }
    // A copy of this program under `name` beside it: a library file the plain search would find.
    void Plant(const std::wstring& name) {
        wchar_t self[MAX_PATH];
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        const std::wstring target = ProgramFolder() + L"\\" + name;
        ASSERT_TRUE(::CopyFileW(self, target.c_str(), FALSE)) << ::GetLastError();
        planted.push_back(target);
    }
    std::vector<std::wstring> planted;
};

TEST_F(SystemLibraryTest, AFunctionThatCannotBeFoundIsTheFatalErrorNamingLibraryAndFunction) {
    EXPECT_EQ(MissingFunctionMessage("user32", "FindWindowExA"), "无法找到指定DLL库文件“user32”中的输出命令“FindWindowExA”");
    try {
        ResolveSystemFunction("user32", "NoSuchExportAnywhereW");
        FAIL() << "no fatal error";
    } catch (const Missing& error) {
        EXPECT_STREQ(error.what(), "无法找到指定DLL库文件“user32”中的输出命令“NoSuchExportAnywhereW”");
    }
    EXPECT_THROW(ResolveSystemFunction("kestrune_no_such_library", "Anything"), Missing);
}

TEST_F(SystemLibraryTest, TheSlotsUser32FunctionsAreTheSystemsOwn) {
    const User32Functions& user32 = SystemUser32();
    ASSERT_TRUE(user32.complete);
    HMODULE system = ::GetModuleHandleW(L"user32.dll");
    ASSERT_NE(system, nullptr);
    EXPECT_TRUE(SameFolder(ModuleFolder(system), SystemFolder()));
    EXPECT_EQ(reinterpret_cast<void*>(user32.findWindowEx), reinterpret_cast<void*>(::GetProcAddress(system, "FindWindowExW")));
    EXPECT_EQ(reinterpret_cast<void*>(user32.callWindowProc), reinterpret_cast<void*>(::GetProcAddress(system, "CallWindowProcW")));
    EXPECT_EQ(reinterpret_cast<void*>(user32.setTimer), reinterpret_cast<void*>(::GetProcAddress(system, "SetTimer")));
    EXPECT_EQ(reinterpret_cast<void*>(user32.killTimer), reinterpret_cast<void*>(::GetProcAddress(system, "KillTimer")));
}

TEST_F(SystemLibraryTest, ALibraryBesideTheProgramIsNeverTakenForASystemOne) {
    Plant(L"kestruneplanted.dll");
    EXPECT_EQ(LoadSystemLibrary(L"kestruneplanted"), nullptr);
    // The plain search does find it, and once it is loaded the loaded copy is still refused.
    HMODULE plain = ::LoadLibraryW(L"kestruneplanted.dll");
    ASSERT_NE(plain, nullptr) << "the plant is not where the plain search looks";
    EXPECT_TRUE(SameFolder(ModuleFolder(plain), ProgramFolder()));
    EXPECT_EQ(LoadSystemLibrary(L"kestruneplanted"), nullptr);
    EXPECT_THROW(ResolveSystemFunction("kestruneplanted", "main"), Missing);
    ::FreeLibrary(plain);
}

TEST_F(SystemLibraryTest, ASystemLibraryIsLoadedFromTheSystemDirectoryWhateverLiesBesideTheProgram) {
    Plant(L"version.dll");
    HMODULE module = LoadSystemLibrary(L"version");
    ASSERT_NE(module, nullptr);
    EXPECT_TRUE(SameFolder(ModuleFolder(module), SystemFolder())) << ModuleFolder(module).size();
    EXPECT_NE(ResolveSystemFunction("version", "GetFileVersionInfoSizeW"), nullptr);
    EXPECT_EQ(LoadSystemLibrary(L"..\\version"), nullptr);  // names only, never paths
}

}  // namespace
}  // namespace kestrune::platform::win32
