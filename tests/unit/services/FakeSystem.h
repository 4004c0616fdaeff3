// An in-memory backend of the system services for the tests of this area.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/SystemServices.h"
#include "services/Registry.h"

namespace kestrune::services::testing {

class FakeSystem : public platform::SystemServices {
public:
    FakeSystem() { platform::InstallSystemServices(this); }
    ~FakeSystem() override { platform::InstallSystemServices(nullptr); }

    // Each root's values are kept as a hive text, so the tests can read what was stored.
    bool SetRegistryValue(platform::RegistryRoot root, const std::string& keyPath, const std::string& valueName,
                          const platform::RegistryData& data) override {
        ++updates;
        if (readOnly.count(root) != 0) return false;
        auto next = SetValueInHiveText(Hive(root), root, keyPath, valueName, data);
        if (!next) return false;
        hives[root] = std::move(*next);
        return true;
    }
    std::optional<platform::RegistryData> QueryRegistryValue(platform::RegistryRoot root, const std::string& keyPath,
                                                             const std::string& valueName) override {
        auto text = Hive(root);
        if (!text) return std::nullopt;
        return FindValueInHiveText(*text, root, keyPath, valueName);
    }
    std::optional<std::string> Hive(platform::RegistryRoot root) const {
        auto it = hives.find(root);
        if (it == hives.end()) return std::nullopt;
        return it->second;
    }
    bool FindFirstExists(const std::string& path) override {
        queried.push_back(path);
        return existing.count(path) != 0;
    }
    std::string SpecialFolderPath(platform::SpecialFolder folder) override {
        auto it = folders.find(folder);
        return it == folders.end() ? std::string() : it->second;
    }
    bool WriteLink(const std::string& file, const platform::LinkSpec& link) override {
        links.emplace_back(file, link);
        return linkResult;
    }

    std::map<platform::RegistryRoot, std::string> hives;
    std::map<platform::RegistryRoot, bool> readOnly;
    int updates = 0;
    std::map<std::string, bool> existing;
    std::vector<std::string> queried;
    std::map<platform::SpecialFolder, std::string> folders;
    std::vector<std::pair<std::string, platform::LinkSpec>> links;
    bool linkResult = true;
};

}  // namespace kestrune::services::testing
