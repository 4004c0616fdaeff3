#include "services/RegistryHive.h"

#include <algorithm>
#include <cstdio>

namespace kestrune::services {

namespace {

constexpr std::string_view kEol = "\r\n";
constexpr std::size_t kHexLineWidth = 78;

unsigned char Fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; }

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Fold(static_cast<unsigned char>(a[i])) != Fold(static_cast<unsigned char>(b[i]))) return false;
    }
    return true;
}

bool HasLineBreakOrZero(std::string_view s) {
    return s.find_first_of(std::string_view("\0\r\n", 3)) != std::string_view::npos;
}

// Splits a key path at every separator that is a whole character.
std::vector<std::string_view> KeyComponents(std::string_view path, CodePage codePage) {
    std::vector<std::string_view> parts;
    std::size_t begin = 0;
    for (std::size_t pos = 0; pos < path.size(); pos += CharacterLength(path, pos, codePage)) {
        if (path[pos] == '\\') {
            parts.push_back(path.substr(begin, pos - begin));
            begin = pos + 1;
        }
    }
    parts.push_back(path.substr(begin));
    return parts;
}

bool ValidKeyPath(std::string_view path, CodePage codePage) {
    if (path.empty() || HasLineBreakOrZero(path)) return false;
    for (auto part : KeyComponents(path, codePage)) {
        if (part.empty()) return false;
    }
    return true;
}

bool IsValidUtf8Text(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F) return false;
        const std::size_t len = CharacterLength(s, i, CodePage::Utf8);
        if (len == 1 && c >= 0x80) return false;
        if (len > 1) {
            // Reject overlong forms and surrogates the simple way: decode and range-check.
            std::uint32_t cp = c & (0x7F >> len);
            for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
            static constexpr std::uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
            if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        }
        i += len;
    }
    return true;
}

void AppendQuoted(std::string& out, std::string_view s) {
    out += '"';
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
}

void AppendHex(std::string& out, std::size_t lineStart, const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::string token{kDigits[bytes[i] >> 4], kDigits[bytes[i] & 0xF]};
        if (i + 1 < bytes.size()) token += ',';
        if (i > 0 && out.size() - lineStart + token.size() > kHexLineWidth) {
            out += '\\';
            out += kEol;
            lineStart = out.size();
            out += "  ";
        }
        out += token;
    }
}

void AppendValue(std::string& out, const RegistryValue& value) {
    const std::size_t lineStart = out.size();
    if (value.name.empty()) {
        out += '@';
    } else {
        AppendQuoted(out, value.name);
    }
    out += '=';
    const RegistryData& d = value.data;
    if (auto dword = d.AsDword()) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(*dword));
        out += buf;
    } else if (auto text = d.AsText(); text && IsValidUtf8Text(*text)) {
        AppendQuoted(out, *text);
    } else {
        if (d.type == kRegBinary) {
            out += "hex:";
        } else {
            char buf[24];
            std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(d.type));
            out += buf;
        }
        AppendHex(out, lineStart, d.bytes);
    }
    out += kEol;
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}
std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads a quoted text starting at s[0] == '"'; on success `s` is left after the closing quote.
std::optional<std::string> ReadQuoted(std::string_view& s) {
    if (s.empty() || s.front() != '"') return std::nullopt;
    std::string out;
    std::size_t i = 1;
    while (i < s.size()) {
        const char c = s[i];
        if (c == '"') {
            s.remove_prefix(i + 1);
            return out;
        }
        if (c == '\\') {
            if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"')) return std::nullopt;
            out += s[i + 1];
            i += 2;
            continue;
        }
        out += c;
        ++i;
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> ReadHexList(std::string_view s) {
    std::vector<std::uint8_t> bytes;
    s = TrimLeft(TrimRight(s));
    if (s.empty()) return bytes;
    while (true) {
        s = TrimLeft(s);
        if (s.size() < 2) return std::nullopt;
        const int hi = HexDigit(s[0]);
        const int lo = HexDigit(s[1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
        s = TrimLeft(s.substr(2));
        if (s.empty()) return bytes;
        if (s.front() != ',') return std::nullopt;
        s.remove_prefix(1);
    }
}

// The data part of a value line (after '='); `more` supplies continuation lines of hex lists.
template <typename NextLine>
std::optional<RegistryData> ReadData(std::string_view s, NextLine&& more) {
    if (!s.empty() && s.front() == '"') {
        auto text = ReadQuoted(s);
        if (!text || !TrimLeft(s).empty()) return std::nullopt;
        return RegistryData::Text(*text);
    }
    if (s.starts_with("dword:")) {
        s.remove_prefix(6);
        if (s.empty() || s.size() > 8) return std::nullopt;
        std::uint32_t v = 0;
        for (char c : s) {
            const int d = HexDigit(c);
            if (d < 0) return std::nullopt;
            v = v * 16 + static_cast<std::uint32_t>(d);
        }
        return RegistryData::Dword(v);
    }
    std::uint32_t type = kRegBinary;
    if (s.starts_with("hex:")) {
        s.remove_prefix(4);
    } else if (s.starts_with("hex(")) {
        s.remove_prefix(4);
        const std::size_t close = s.find("):");
        if (close == std::string_view::npos || close == 0 || close > 8) return std::nullopt;
        type = 0;
        for (char c : s.substr(0, close)) {
            const int d = HexDigit(c);
            if (d < 0) return std::nullopt;
            type = type * 16 + static_cast<std::uint32_t>(d);
        }
        s.remove_prefix(close + 2);
    } else {
        return std::nullopt;
    }
    std::string list(s);
    while (!list.empty() && list.back() == '\\') {
        list.pop_back();
        std::optional<std::string_view> next = more();
        if (!next) return std::nullopt;
        list += TrimLeft(*next);
    }
    auto bytes = ReadHexList(list);
    if (!bytes) return std::nullopt;
    return RegistryData{type, std::move(*bytes)};
}

}  // namespace

bool RegistryHive::KeyLess::operator()(std::string_view a, std::string_view b) const {
    auto rank = [](char c) -> int { return c == '\\' ? -1 : Fold(static_cast<unsigned char>(c)); };
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [&](char x, char y) { return rank(x) < rank(y); });
}

std::size_t RegistryHive::NameHash::operator()(std::string_view name) const {
    std::uint64_t h = 14695981039346656037ull;  // FNV-1a over the folded bytes
    for (char c : name) {
        h ^= Fold(static_cast<unsigned char>(c));
        h *= 1099511628211ull;
    }
    return static_cast<std::size_t>(h);
}

bool RegistryHive::NameEqual::operator()(std::string_view a, std::string_view b) const { return SameName(a, b); }

const RegistryValue* RegistryHive::KeyValues::Find(std::string_view name) const {
    auto it = positions.find(name);
    return it == positions.end() ? nullptr : &values[it->second];
}

void RegistryHive::KeyValues::Set(std::string_view name, RegistryData data) {
    auto it = positions.find(name);
    if (it != positions.end()) {
        values[it->second].data = std::move(data);  // keeps its place and the case it was first set with
        return;
    }
    positions.emplace(std::string(name), values.size());
    values.push_back({std::string(name), std::move(data)});
}

std::optional<RegistryHive> RegistryHive::Parse(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        lines.push_back(TrimRight(text.substr(0, nl)));
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
    }
    std::size_t i = 0;
    while (i < lines.size() && lines[i].empty()) ++i;
    if (i == lines.size() || lines[i] != kRegistryFileHeader) return std::nullopt;
    ++i;

    RegistryHive hive;
    KeyValues* current = nullptr;
    while (i < lines.size()) {
        std::string_view line = lines[i++];
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            if (line.size() < 3 || line.back() != ']') return std::nullopt;
            const std::string_view path = line.substr(1, line.size() - 2);
            if (path.front() == '-' || !ValidKeyPath(path, CurrentCodePage())) return std::nullopt;
            current = &hive.keys_[std::string(path)];
            continue;
        }
        if (current == nullptr) return std::nullopt;
        std::string name;
        if (line.front() == '@') {
            line.remove_prefix(1);
        } else {
            auto quoted = ReadQuoted(line);
            if (!quoted || quoted->empty()) return std::nullopt;
            name = std::move(*quoted);
        }
        line = TrimLeft(line);
        if (line.empty() || line.front() != '=') return std::nullopt;
        line = TrimLeft(line.substr(1));
        auto data = ReadData(line, [&]() -> std::optional<std::string_view> {
            if (i >= lines.size()) return std::nullopt;
            return lines[i++];
        });
        if (!data) return std::nullopt;
        current->Set(name, std::move(*data));
    }
    return hive;
}

std::string RegistryHive::Serialise() const {
    std::string out(kRegistryFileHeader);
    out += kEol;
    for (const auto& [path, values] : keys_) {
        out += kEol;
        out += '[';
        out += path;
        out += ']';
        out += kEol;
        for (const auto& value : values.values) AppendValue(out, value);
    }
    return out;
}

bool RegistryHive::SetValue(std::string_view keyPath, std::string_view name, RegistryData data,
                            CodePage codePage) {
    if (!ValidKeyPath(keyPath, codePage) || HasLineBreakOrZero(name)) return false;
    // Every key on the way down exists as a key of its own, as the editor's export lists them.
    std::size_t length = 0;
    KeyValues* values = nullptr;
    for (auto part : KeyComponents(keyPath, codePage)) {
        length = static_cast<std::size_t>(part.data() - keyPath.data()) + part.size();
        const std::string_view prefix = keyPath.substr(0, length);
        auto it = keys_.find(prefix);
        if (it == keys_.end()) it = keys_.emplace(std::string(prefix), KeyValues{}).first;
        values = &it->second;
    }
    values->Set(name, std::move(data));
    return true;
}

const std::vector<RegistryValue>* RegistryHive::Values(std::string_view keyPath) const {
    auto it = keys_.find(keyPath);
    return it == keys_.end() ? nullptr : &it->second.values;
}

const RegistryData* RegistryHive::FindValue(std::string_view keyPath, std::string_view name) const {
    auto it = keys_.find(keyPath);
    if (it == keys_.end()) return nullptr;
    const RegistryValue* value = it->second.Find(name);
    return value == nullptr ? nullptr : &value->data;
}

bool RegistryHive::HasKey(std::string_view keyPath) const { return keys_.find(keyPath) != keys_.end(); }

std::vector<std::string> RegistryHive::KeyPaths() const {
    std::vector<std::string> paths;
    for (const auto& entry : keys_) paths.push_back(entry.first);
    return paths;
}

}  // namespace kestrune::services
