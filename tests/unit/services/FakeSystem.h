// An in-memory backend of the system services for the tests of this area.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/SystemServices.h"

namespace kestrune::services::testing {

class FakeSystem : public platform::SystemServices {
public:
    FakeSystem() { platform::InstallSystemServices(this); }
    ~FakeSystem() override { platform::InstallSystemServices(nullptr); }

    std::optional<std::string> ReadHive(platform::RegistryRoot root) override {
        auto it = hives.find(root);
        if (it == hives.end()) return std::nullopt;
        return it->second;
    }
    bool UpdateHive(platform::RegistryRoot root, const platform::HiveEdit& edit) override {
        ++updates;
        if (readOnly.count(root) != 0) return false;
        auto next = edit(ReadHive(root));
        if (!next) return false;
        hives[root] = std::move(*next);
        return true;
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
