// Writing single registry values: root codes, value paths and the kind of the written value.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "forms/Value.h"
#include "platform/SystemServices.h"
#include "services/CodePage.h"
#include "services/RegistryHive.h"

namespace kestrune::services {

// 1 classes root, 2 current config, 3 current user, 4 local machine, 5 users; any other code is the
// current user.
platform::RegistryRoot RootFromCode(int rootCode);
std::string_view RootName(platform::RegistryRoot root);  // "HKEY_CURRENT_USER", ...

struct RegistryValuePath {
    std::string keyPath;    // below the root; empty: the root key itself
    std::string valueName;  // empty: the key's default value
};

// Splits a full value path at its last backslash (a whole character in the code page).
RegistryValuePath SplitValuePath(std::string_view fullPath, CodePage codePage = CurrentCodePage());

// What a value of the runtime is stored as: an integer as REG_DWORD, a text as REG_SZ (its bytes up
// to the first zero, and a terminating zero), a byte block as REG_BINARY; nullopt for a logical.
std::optional<RegistryData> RegistryDataFromValue(const forms::Value& value);

// The key path as the hive stores it: the root's name, then the key path when there is one.
std::string HiveKeyPath(platform::RegistryRoot root, std::string_view keyPath);

// Hive texts, for stores that keep a root's values as one text (the Linux backend, test stores).
// The text `current` (nullopt: no hive yet) with one value set, creating the key and the keys above
// it; nullopt when `current` is not a complete hive (it is never replaced then) or the names cannot
// be stored.
std::optional<std::string> SetValueInHiveText(const std::optional<std::string>& current, platform::RegistryRoot root,
                                              std::string_view keyPath, std::string_view valueName,
                                              const RegistryData& data, CodePage codePage = CurrentCodePage());
// The value stored in a hive text; nullopt when absent or the text is not a hive.
std::optional<RegistryData> FindValueInHiveText(std::string_view text, platform::RegistryRoot root,
                                                std::string_view keyPath, std::string_view valueName);

// Writes one value, creating missing keys. True exactly when the value was stored.
bool WriteRegistryItem(int rootCode, const std::string& fullPath, const forms::Value& value);

// Reads one value back; nullopt when absent or it cannot be read.
std::optional<RegistryData> ReadRegistryItem(int rootCode, const std::string& fullPath);

}  // namespace kestrune::services
