#include "platform/RegistryData.h"

#include <utility>

namespace kestrune::platform {

RegistryData RegistryData::Dword(std::uint32_t value) {
    return {kRegDword,
            {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
             static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)}};
}

RegistryData RegistryData::Text(std::string_view text) {
    RegistryData d{kRegSz, std::vector<std::uint8_t>(text.begin(), text.end())};
    d.bytes.push_back(0);
    return d;
}

RegistryData RegistryData::Binary(std::vector<std::uint8_t> bytes) { return {kRegBinary, std::move(bytes)}; }

std::optional<std::uint32_t> RegistryData::AsDword() const {
    if (type != kRegDword || bytes.size() != 4) return std::nullopt;
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

std::optional<std::string> RegistryData::AsText() const {
    if (type != kRegSz || bytes.empty() || bytes.back() != 0) return std::nullopt;
    std::string text(bytes.begin(), bytes.end() - 1);
    if (text.find('\0') != std::string::npos) return std::nullopt;
    return text;
}

}  // namespace kestrune::platform
