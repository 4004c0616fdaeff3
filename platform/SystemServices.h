// The seam to the operating system's non-window services: the executable's location, the current
// directory, file existence, special folders, single registry values and link files.
// A backend (platform/linux/ or platform/win32/) implements it; until one is installed every operation
// fails with its empty result, so code above the seam stays testable without an OS.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/RegistryData.h"

namespace kestrune::platform {

// Registry roots, numbered as the registry services number them.
enum class RegistryRoot : int {
    ClassesRoot = 1,
    CurrentConfig = 2,
    CurrentUser = 3,
    LocalMachine = 4,
    Users = 5,
};

// The root's name as a key path starts with it and as hive files are named: "HKEY_CURRENT_USER", ...;
// empty for a value outside the enumeration.
std::string_view RegistryRootName(RegistryRoot root);

enum class SpecialFolder : int {
    Documents = 1,
    Favourites = 2,
    Desktop = 3,
    Fonts = 4,
    StartMenu = 5,
    Programs = 6,
    StartUp = 7,
    ApplicationData = 8,
    WindowsDirectory = 9,
    SystemDirectory = 10,
    Temporary = 11,
};

// What a link file (shell link, desktop entry) points at.
struct LinkSpec {
    std::string target;                           // program to start
    std::optional<std::string> description;
    std::optional<std::string> arguments;         // one command-line text
    std::optional<std::string> workingDirectory;
    std::optional<std::string> icon;              // icon file or theme icon name
};

class SystemServices {
public:
    virtual ~SystemServices() = default;

    // Full path of the running executable; empty when unknown.
    virtual std::string ExecutablePath() { return {}; }
    virtual bool SetCurrentDirectory(const std::string& path) { (void)path; return false; }
    // Whether the first entry matching `path` exists: directories count, '*' and '?' in the last
    // component form a pattern. Empty or rejected paths are false.
    virtual bool FindFirstExists(const std::string& path) { (void)path; return false; }
    // The folder's path (no trailing separator required), or empty when it cannot be determined.
    virtual std::string SpecialFolderPath(SpecialFolder folder) { (void)folder; return {}; }

    // Registry values. `keyPath` is below the root, components separated by '\' (empty: the root
    // key itself); an empty `valueName` is the key's default value. Setting creates the key and
    // every missing key above it, and either stores the whole value or changes nothing. False for a
    // root outside the five, a name or path holding a zero byte, or a key the user cannot write.
    virtual bool SetRegistryValue(RegistryRoot root, const std::string& keyPath, const std::string& valueName,
                                  const RegistryData& data) {
        (void)root, (void)keyPath, (void)valueName, (void)data;
        return false;
    }
    // The stored value; nullopt when the key or value is absent or cannot be read.
    virtual std::optional<RegistryData> QueryRegistryValue(RegistryRoot root, const std::string& keyPath,
                                                           const std::string& valueName) {
        (void)root, (void)keyPath, (void)valueName;
        return std::nullopt;
    }

    // Writes (or atomically replaces) the link file `file`, exactly that name. A link without an
    // icon of its own to the running executable shows the program icon, where the platform's links
    // do not take it from the program by themselves.
    virtual bool WriteLink(const std::string& file, const LinkSpec& link) { (void)file; (void)link; return false; }
    // The program icon as a PNG file; the bytes must outlive every link written.
    virtual void SetProgramIcon(std::span<const std::uint8_t> png) { (void)png; }
};

// The backend in use; a do-nothing instance until one is installed.
SystemServices& System();
void InstallSystemServices(SystemServices* services);

}  // namespace kestrune::platform
