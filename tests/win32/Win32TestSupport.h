// Helpers of the Windows service tests: scratch folders and registry keys that go with the test,
// raw registry reads that bypass the code under test, and whole files read as bytes.
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/win32/WideText.h"

namespace win32_test {

using kestrune::platform::win32::Narrow;
using kestrune::platform::win32::Widen;

// A name no other test process uses at the same time.
inline std::string UniqueName(const std::string& stem) {
    return stem + "-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(::GetTickCount());
}

// A fresh folder under the temporary directory, removed with everything in it afterwards.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& stem = "kestrune-test") {
        wchar_t temp[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH, temp);
        path_ = Narrow(temp) + UniqueName(stem);
        ::CreateDirectoryW(Widen(path_).c_str(), nullptr);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder() {
        // Double-zero-terminated list of one path, as the shell's file operation wants it.
        std::wstring from = Widen(path_);
        from.push_back(L'\0');
        SHFILEOPSTRUCTW op{};
        op.wFunc = FO_DELETE;
        op.pFrom = from.c_str();
        op.fFlags = FOF_NO_UI;
        ::SHFileOperationW(&op);
    }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// A key below HKEY_CURRENT_USER\Software\KestruneTests, deleted with its subkeys afterwards.
class ScratchKey {
public:
    ScratchKey() : path_("Software\\KestruneTests\\" + UniqueName("k")) {}
    ScratchKey(const ScratchKey&) = delete;
    ScratchKey& operator=(const ScratchKey&) = delete;
    ~ScratchKey() { ::SHDeleteKeyW(HKEY_CURRENT_USER, Widen(path_).c_str()); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

struct RawValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};

// A value read with the registry functions themselves; nullopt when absent.
inline std::optional<RawValue> QueryRaw(HKEY root, const std::wstring& key, const std::wstring& name) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return std::nullopt;
    RawValue value;
    DWORD size = 0;
    const wchar_t* valueName = name.empty() ? nullptr : name.c_str();
    LONG result = ::RegQueryValueExW(opened, valueName, nullptr, &value.type, nullptr, &size);
    if (result == ERROR_SUCCESS) {
        value.bytes.resize(size);
        result = ::RegQueryValueExW(opened, valueName, nullptr, &value.type, value.bytes.data(), &size);
    }
    ::RegCloseKey(opened);
    if (result != ERROR_SUCCESS) return std::nullopt;
    return value;
}

inline std::optional<std::uint32_t> DwordOf(const std::optional<RawValue>& value) {
    if (!value || value->type != REG_DWORD || value->bytes.size() != 4) return std::nullopt;
    return static_cast<std::uint32_t>(value->bytes[0]) | static_cast<std::uint32_t>(value->bytes[1]) << 8 |
           static_cast<std::uint32_t>(value->bytes[2]) << 16 | static_cast<std::uint32_t>(value->bytes[3]) << 24;
}

inline bool FileExistsW(const std::string& path) {
    return ::GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
    const HANDLE file = ::CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

inline std::string ReadFileBytes(const std::string& path) {
    const HANDLE file = ::CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    std::string out;
    char buffer[65536];
    DWORD n = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) out.append(buffer, n);
    ::CloseHandle(file);
    return out;
}

// The folder of the running test program.
inline std::string ProgramFolder() {
    wchar_t path[MAX_PATH + 1] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    folder.resize(folder.find_last_of(L'\\'));
    return Narrow(folder);
}

}  // namespace win32_test
