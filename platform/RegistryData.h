// A registry value as the registry keeps it: its type code and stored bytes. Texts are stored as
// the program's own (UTF-8) bytes with a terminating zero; a backend whose registry keeps another
// form (UTF-16 on Windows) converts at its boundary.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune::platform {

enum RegistryType : std::uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
};

struct RegistryData {
    std::uint32_t type = kRegNone;
    std::vector<std::uint8_t> bytes;

    static RegistryData Dword(std::uint32_t value);    // 4 bytes, least significant first
    static RegistryData Text(std::string_view text);   // the text's bytes and a terminating zero
    static RegistryData Binary(std::vector<std::uint8_t> bytes);

    std::optional<std::uint32_t> AsDword() const;  // a 4-byte REG_DWORD
    std::optional<std::string> AsText() const;     // a REG_SZ, without its terminator

    friend bool operator==(const RegistryData&, const RegistryData&) = default;
};

}  // namespace kestrune::platform
