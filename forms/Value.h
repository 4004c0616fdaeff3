// Values that flow through properties, events and services.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace kestrune::forms {

using Bytes = std::vector<std::uint8_t>;

// A logical is kept apart from an integer: some operations act on the kind of their argument.
struct Logical {
    bool value = false;
    friend bool operator==(const Logical&, const Logical&) = default;
};

// Integer (signed 32-bit), logical, text (bytes in the system code page) or byte block.
using Value = std::variant<std::int32_t, Logical, std::string, Bytes>;

inline std::int32_t AsInt(const Value& v) {
    if (const auto* i = std::get_if<std::int32_t>(&v)) return *i;
    if (const auto* l = std::get_if<Logical>(&v)) return l->value ? 1 : 0;
    return 0;
}
inline bool AsBool(const Value& v) { return AsInt(v) != 0; }
inline std::string AsText(const Value& v) {
    if (const auto* s = std::get_if<std::string>(&v)) return *s;
    if (const auto* b = std::get_if<Bytes>(&v)) return std::string(b->begin(), b->end());
    return {};
}
inline Bytes AsBytes(const Value& v) {
    if (const auto* b = std::get_if<Bytes>(&v)) return *b;
    if (const auto* s = std::get_if<std::string>(&v)) return Bytes(s->begin(), s->end());
    return {};
}

}  // namespace kestrune::forms
