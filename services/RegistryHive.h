// An in-memory registry hive and its text form, the registry editor's export format:
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\A]
//   "name"=dword:00001f40
//   "text"="C:\\Games\\\"x\""
//   "block"=hex:01,02
//   @="the key's default value"
//
// Lines end in CRLF when written (LF is accepted when read). Key and value names keep the case
// they were first written with and are matched without regard to ASCII case. Text values whose bytes
// are valid UTF-8 without control characters are written quoted; any other value type, or text that
// cannot be quoted, is written as hex(N) with its stored bytes, so every value survives a round trip.
// The store is the program's own: comment lines are skipped when read, and keys are written back in
// tree order, so a hand-made file keeps every key and value but not its comments or layout.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/RegistryData.h"
#include "services/CodePage.h"

namespace kestrune::services {

// The value type lives at the seam, where backends store and query it.
using platform::RegistryData;
using platform::RegistryType;
using platform::kRegNone;
using platform::kRegSz;
using platform::kRegExpandSz;
using platform::kRegBinary;
using platform::kRegDword;

struct RegistryValue {
    std::string name;  // empty: the key's default value
    RegistryData data;

    friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

inline constexpr std::string_view kRegistryFileHeader = "Windows Registry Editor Version 5.00";

class RegistryHive {
public:
    // nullopt for any text that is not a complete hive in the format above (also deletion entries).
    static std::optional<RegistryHive> Parse(std::string_view text);
    std::string Serialise() const;

    // `keyPath` is the full key path from the root name ("HKEY_CURRENT_USER\\Software\\A"); the key
    // and every missing key above it are created. False, and nothing changed, when a path component
    // is empty or a name holds a zero, CR or LF byte.
    bool SetValue(std::string_view keyPath, std::string_view name, RegistryData data,
                  CodePage codePage = CurrentCodePage());
    const RegistryData* FindValue(std::string_view keyPath, std::string_view name) const;
    bool HasKey(std::string_view keyPath) const;
    std::vector<std::string> KeyPaths() const;                         // in tree order, as written
    const std::vector<RegistryValue>* Values(std::string_view keyPath) const;

    friend bool operator==(const RegistryHive&, const RegistryHive&) = default;

private:
    // Case-insensitive, with the separator ordered first, so keys come out as a tree.
    struct KeyLess {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };
    // Names hashed and compared without regard to ASCII case; lookups take a view without copying.
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view name) const;
    };
    struct NameEqual {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const;
    };
    // A key's values in the order they were first set (the order they are written in), with an
    // index by name so that a key holding many values is read and updated in linear time.
    struct KeyValues {
        std::vector<RegistryValue> values;
        std::unordered_map<std::string, std::size_t, NameHash, NameEqual> positions;

        const RegistryValue* Find(std::string_view name) const;
        void Set(std::string_view name, RegistryData data);
        friend bool operator==(const KeyValues& a, const KeyValues& b) { return a.values == b.values; }
    };
    std::map<std::string, KeyValues, KeyLess> keys_;
};

}  // namespace kestrune::services
