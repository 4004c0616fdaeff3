#include "services/Registry.h"

#include <utility>

namespace kestrune::services {

using platform::RegistryRoot;

RegistryRoot RootFromCode(int rootCode) {
    switch (rootCode) {
        case 1: return RegistryRoot::ClassesRoot;
        case 2: return RegistryRoot::CurrentConfig;
        case 4: return RegistryRoot::LocalMachine;
        case 5: return RegistryRoot::Users;
        default: return RegistryRoot::CurrentUser;
    }
}

std::string_view RootName(RegistryRoot root) {
    const std::string_view name = platform::RegistryRootName(root);
    return name.empty() ? platform::RegistryRootName(RegistryRoot::CurrentUser) : name;
}

RegistryValuePath SplitValuePath(std::string_view fullPath, CodePage codePage) {
    const std::size_t at = FindLastCharacter(fullPath, '\\', codePage);
    if (at == std::string_view::npos) return {std::string(), std::string(fullPath)};
    return {std::string(fullPath.substr(0, at)), std::string(fullPath.substr(at + 1))};
}

std::optional<RegistryData> RegistryDataFromValue(const forms::Value& value) {
    if (const auto* i = std::get_if<std::int32_t>(&value)) return RegistryData::Dword(static_cast<std::uint32_t>(*i));
    if (const auto* s = std::get_if<std::string>(&value)) {
        const std::string_view text(*s);
        return RegistryData::Text(text.substr(0, text.find('\0')));
    }
    if (const auto* b = std::get_if<forms::Bytes>(&value)) return RegistryData::Binary(*b);
    return std::nullopt;
}

std::string HiveKeyPath(RegistryRoot root, std::string_view keyPath) {
    std::string path(RootName(root));
    if (!keyPath.empty()) {
        path += '\\';
        path += keyPath;
    }
    return path;
}

std::optional<std::string> SetValueInHiveText(const std::optional<std::string>& current, RegistryRoot root,
                                              std::string_view keyPath, std::string_view valueName,
                                              const RegistryData& data, CodePage codePage) {
    RegistryHive hive;
    if (current) {
        auto parsed = RegistryHive::Parse(*current);
        if (!parsed) return std::nullopt;  // never replace a hive we cannot read
        hive = std::move(*parsed);
    }
    if (!hive.SetValue(HiveKeyPath(root, keyPath), valueName, data, codePage)) return std::nullopt;
    return hive.Serialise();
}

std::optional<RegistryData> FindValueInHiveText(std::string_view text, RegistryRoot root, std::string_view keyPath,
                                                std::string_view valueName) {
    auto hive = RegistryHive::Parse(text);
    if (!hive) return std::nullopt;
    const RegistryData* data = hive->FindValue(HiveKeyPath(root, keyPath), valueName);
    if (data == nullptr) return std::nullopt;
    return *data;
}

bool WriteRegistryItem(int rootCode, const std::string& fullPath, const forms::Value& value) {
    auto data = RegistryDataFromValue(value);
    if (!data) return false;
    const RegistryValuePath path = SplitValuePath(fullPath, CurrentCodePage());
    return platform::System().SetRegistryValue(RootFromCode(rootCode), path.keyPath, path.valueName, *data);
}

std::optional<RegistryData> ReadRegistryItem(int rootCode, const std::string& fullPath) {
    const RegistryValuePath path = SplitValuePath(fullPath, CurrentCodePage());
    return platform::System().QueryRegistryValue(RootFromCode(rootCode), path.keyPath, path.valueName);
}

}  // namespace kestrune::services
