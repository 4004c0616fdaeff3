// Little-endian reading and writing of stored property data: the units' property blocks, the browser
// box's stored data, pointer codes. Every codec of the stored format goes through these.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "forms/Value.h"

namespace kestrune::forms {

class BlockReader {
public:
    explicit BlockReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool Int(std::int32_t& out) {
        if (bytes_.size() - pos_ < 4) return false;
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(bytes_[pos_ + i]) << (8 * i);
        pos_ += 4;
        out = static_cast<std::int32_t>(v);
        return true;
    }
    bool Colour(std::uint32_t& out) {
        std::int32_t v = 0;
        if (!Int(v)) return false;
        out = static_cast<std::uint32_t>(v);
        return true;
    }
    // An int32 byte count (zero or negative: none), then that many bytes.
    bool Block(Bytes& out) {
        std::int32_t n = 0;
        if (!Int(n)) return false;
        if (n <= 0) {
            out.clear();
            return true;
        }
        if (bytes_.size() - pos_ < static_cast<std::size_t>(n)) return false;
        out.assign(bytes_.begin() + static_cast<std::ptrdiff_t>(pos_),
                   bytes_.begin() + static_cast<std::ptrdiff_t>(pos_ + static_cast<std::size_t>(n)));
        pos_ += static_cast<std::size_t>(n);
        return true;
    }

    // Bytes not read yet.
    std::span<const std::uint8_t> Rest() const { return bytes_.subspan(pos_); }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
};

inline void AppendInt(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void AppendBlock(Bytes& out, const Bytes& block) {
    AppendInt(out, static_cast<std::uint32_t>(block.size()));
    out.insert(out.end(), block.begin(), block.end());
}

}  // namespace kestrune::forms
