#include "platform/win32/Win32SystemServices.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/win32/ComApartment.h"
#include "platform/win32/ComPtr.h"
#include "platform/win32/RegistryKey.h"
#include "platform/win32/WideText.h"

namespace kestrune::platform::win32 {

namespace {

bool HoldsZero(const std::string& s) { return s.find('\0') != std::string::npos; }
bool HoldsZero(const std::optional<std::string>& s) { return s && HoldsZero(*s); }

// A null pointer for the empty name, which the registry functions take as the default value.
const wchar_t* ValueNameOrDefault(const std::wstring& name) { return name.empty() ? nullptr : name.c_str(); }

bool IsTextType(std::uint32_t type) { return type == kRegSz || type == kRegExpandSz; }

// The registry's form of a value: texts as UTF-16 with their terminator, anything else as it is.
std::vector<BYTE> WireBytes(const RegistryData& data) {
    if (!IsTextType(data.type)) return std::vector<BYTE>(data.bytes.begin(), data.bytes.end());
    std::string text(data.bytes.begin(), data.bytes.end());
    text.resize(std::min(text.size(), text.find('\0')));
    std::wstring wide = Widen(text);
    wide.push_back(L'\0');
    const auto* p = reinterpret_cast<const BYTE*>(wide.data());
    return std::vector<BYTE>(p, p + wide.size() * sizeof(wchar_t));
}

// A text stored by someone else may lack its terminator or hold an odd byte count.
RegistryData FromWire(DWORD type, const std::vector<BYTE>& bytes) {
    if (!IsTextType(type)) return RegistryData{type, std::vector<std::uint8_t>(bytes.begin(), bytes.end())};
    std::wstring wide(bytes.size() / sizeof(wchar_t), L'\0');
    if (!wide.empty()) std::memcpy(wide.data(), bytes.data(), wide.size() * sizeof(wchar_t));
    while (!wide.empty() && wide.back() == L'\0') wide.pop_back();
    RegistryData data = RegistryData::Text(Narrow(wide));
    data.type = type;
    return data;
}

// Calls `get(buffer, capacity)` (the system's "fill this buffer" functions, which return the length
// written, or at least the capacity when it did not fit) with growing buffers.
template <typename Get>
std::wstring GrowingBuffer(Get get) {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    while (buffer.size() <= 32768 + 1) {
        const DWORD n = get(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
        buffer.resize(buffer.size() * 2);
    }
    return {};
}

std::optional<std::string> Field(const wchar_t* text) {
    if (text == nullptr || text[0] == L'\0') return std::nullopt;
    return Narrow(text);
}

class Win32SystemServices final : public SystemServices {
public:
    std::string ExecutablePath() override {
        return Narrow(GrowingBuffer([](wchar_t* buffer, DWORD size) {
            const DWORD n = ::GetModuleFileNameW(nullptr, buffer, size);
            // A path cut short fills the buffer exactly.
            return n == size ? size : n;
        }));
    }

    bool SetCurrentDirectory(const std::string& path) override {
        if (path.empty() || HoldsZero(path)) return false;
        return ::SetCurrentDirectoryW(Widen(path).c_str()) != 0;
    }

    bool FindFirstExists(const std::string& path) override {
        if (path.empty() || HoldsZero(path)) return false;
        WIN32_FIND_DATAW found{};
        const HANDLE search = ::FindFirstFileW(Widen(path).c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return false;
        ::FindClose(search);
        return true;
    }

    std::string SpecialFolderPath(SpecialFolder folder) override {
        if (const int id = FolderId(folder); id >= 0) {
            wchar_t buffer[MAX_PATH + 1] = {};
            if (FAILED(::SHGetFolderPathW(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, buffer))) return {};
            return Narrow(buffer);
        }
        switch (folder) {
            case SpecialFolder::WindowsDirectory:
                return Narrow(GrowingBuffer([](wchar_t* b, DWORD n) { return ::GetWindowsDirectoryW(b, n); }));
            case SpecialFolder::SystemDirectory:
                return Narrow(GrowingBuffer([](wchar_t* b, DWORD n) { return ::GetSystemDirectoryW(b, n); }));
            case SpecialFolder::Temporary:
                return Narrow(GrowingBuffer([](wchar_t* b, DWORD n) { return ::GetTempPathW(n, b); }));
            default: return {};
        }
    }

    bool SetRegistryValue(RegistryRoot root, const std::string& keyPath, const std::string& valueName,
                          const RegistryData& data) override {
        const HKEY base = PredefinedKey(root);
        if (base == nullptr || HoldsZero(keyPath) || HoldsZero(valueName)) return false;
        const std::wstring key = Widen(keyPath), name = Widen(valueName);
        RegistryKey opened;
        if (::RegOpenKeyExW(base, key.c_str(), 0, KEY_WRITE, opened.Put()) != ERROR_SUCCESS &&
            ::RegCreateKeyExW(base, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                              opened.Put(), nullptr) != ERROR_SUCCESS) {
            return false;
        }
        const std::vector<BYTE> bytes = WireBytes(data);
        return ::RegSetValueExW(opened.Get(), ValueNameOrDefault(name), 0, data.type, bytes.data(),
                                static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
    }

    std::optional<RegistryData> QueryRegistryValue(RegistryRoot root, const std::string& keyPath,
                                                   const std::string& valueName) override {
        const HKEY base = PredefinedKey(root);
        if (base == nullptr || HoldsZero(keyPath) || HoldsZero(valueName)) return std::nullopt;
        const std::wstring key = Widen(keyPath), name = Widen(valueName);
        RegistryKey opened;
        if (::RegOpenKeyExW(base, key.c_str(), 0, KEY_QUERY_VALUE, opened.Put()) != ERROR_SUCCESS) return std::nullopt;
        std::vector<BYTE> bytes(64);
        DWORD type = REG_NONE;
        for (int attempt = 0; attempt < 4; ++attempt) {  // the value may grow between the calls
            DWORD size = static_cast<DWORD>(bytes.size());
            const LONG result = ::RegQueryValueExW(opened.Get(), ValueNameOrDefault(name), nullptr, &type,
                                                   bytes.data(), &size);
            if (result == ERROR_SUCCESS) {
                bytes.resize(size);
                return FromWire(type, bytes);
            }
            if (result != ERROR_MORE_DATA) return std::nullopt;
            bytes.resize(size);
        }
        return std::nullopt;
    }

    bool WriteLink(const std::string& file, const LinkSpec& spec) override {
        if (file.empty() || spec.target.empty() || HoldsZero(file) || HoldsZero(spec.target) ||
            HoldsZero(spec.description) || HoldsZero(spec.arguments) || HoldsZero(spec.workingDirectory) ||
            HoldsZero(spec.icon)) {
            return false;
        }
        const ComApartment com;
        if (!com.usable()) return false;
        ComPtr<IShellLinkW> link;
        if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                      link.PutVoid()))) {
            return false;
        }
        const ComPtr<IPersistFile> persist = link.As<IPersistFile>();
        if (!persist) return false;
        // A field the link object refuses (a path too long for it) would make a link other than the
        // one asked for; nothing is saved then.
        if (FAILED(link->SetPath(Widen(spec.target).c_str())) || FAILED(link->SetShowCmd(SW_SHOWNORMAL))) return false;
        if (spec.description && FAILED(link->SetDescription(Widen(*spec.description).c_str()))) return false;
        if (spec.arguments && FAILED(link->SetArguments(Widen(*spec.arguments).c_str()))) return false;
        if (spec.workingDirectory && FAILED(link->SetWorkingDirectory(Widen(*spec.workingDirectory).c_str()))) {
            return false;
        }
        if (spec.icon && FAILED(link->SetIconLocation(Widen(*spec.icon).c_str(), 0))) return false;
        return SUCCEEDED(persist->Save(Widen(file).c_str(), TRUE));
    }

    // Links to the program take its icon from the executable's own resources.
    void SetProgramIcon(std::span<const std::uint8_t> png) override { (void)png; }
};

}  // namespace

std::unique_ptr<SystemServices> CreateWin32SystemServices() { return std::make_unique<Win32SystemServices>(); }

HKEY PredefinedKey(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
        case RegistryRoot::CurrentConfig: return HKEY_CURRENT_CONFIG;
        case RegistryRoot::CurrentUser: return HKEY_CURRENT_USER;
        case RegistryRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
        case RegistryRoot::Users: return HKEY_USERS;
    }
    return nullptr;
}

int FolderId(SpecialFolder folder) {
    switch (folder) {
        case SpecialFolder::Documents: return CSIDL_PERSONAL;
        case SpecialFolder::Favourites: return CSIDL_FAVORITES;
        case SpecialFolder::Desktop: return CSIDL_DESKTOPDIRECTORY;
        case SpecialFolder::Fonts: return CSIDL_FONTS;
        case SpecialFolder::StartMenu: return CSIDL_STARTMENU;
        case SpecialFolder::Programs: return CSIDL_PROGRAMS;
        case SpecialFolder::StartUp: return CSIDL_STARTUP;
        case SpecialFolder::ApplicationData: return CSIDL_APPDATA;
        default: return -1;
    }
}

std::optional<LinkSpec> ReadLink(const std::string& file) {
    if (file.empty() || HoldsZero(file)) return std::nullopt;
    const ComApartment com;
    if (!com.usable()) return std::nullopt;
    ComPtr<IShellLinkW> link;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.PutVoid()))) {
        return std::nullopt;
    }
    const ComPtr<IPersistFile> persist = link.As<IPersistFile>();
    if (!persist || FAILED(persist->Load(Widen(file).c_str(), STGM_READ))) return std::nullopt;
    std::vector<wchar_t> buffer(32768);
    const int size = static_cast<int>(buffer.size());
    LinkSpec spec;
    // The target as the shell's item list records it, in full Unicode; the plain path field of a
    // link file is kept in the ANSI code page, so it is only the fallback.
    PIDLIST_ABSOLUTE items = nullptr;
    if (SUCCEEDED(link->GetIDList(&items)) && items != nullptr) {
        buffer[0] = L'\0';
        if (::SHGetPathFromIDListW(items, buffer.data())) spec.target = Narrow(buffer.data());
        ::CoTaskMemFree(items);
    }
    if (spec.target.empty()) {
        if (FAILED(link->GetPath(buffer.data(), size, nullptr, SLGP_RAWPATH))) return std::nullopt;
        spec.target = Narrow(buffer.data());
    }
    auto read = [&](auto get) -> std::optional<std::string> {
        buffer[0] = L'\0';
        if (FAILED(get())) return std::nullopt;
        return Field(buffer.data());
    };
    spec.description = read([&] { return link->GetDescription(buffer.data(), size); });
    spec.arguments = read([&] { return link->GetArguments(buffer.data(), size); });
    spec.workingDirectory = read([&] { return link->GetWorkingDirectory(buffer.data(), size); });
    int iconIndex = 0;
    spec.icon = read([&] { return link->GetIconLocation(buffer.data(), size, &iconIndex); });
    return spec;
}

}  // namespace kestrune::platform::win32
