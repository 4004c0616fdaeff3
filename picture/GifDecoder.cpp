// GIF: the first image of the file, as 8-bit indices with its palette, in the indexed layout.
#include <array>
#include <cstring>

#include "picture/Decoders.h"

namespace kestrune::ui::detail {

namespace {

// Reads the image's data sub-blocks as one stream of bits, least significant bit first.
class CodeReader {
public:
    CodeReader(const std::uint8_t* data, std::size_t size, std::size_t pos) : data_(data), size_(size), pos_(pos) {}

    // Next code of `width` bits; false at the end of the sub-blocks. Sets damaged() when the data
    // ends before the sub-block terminator.
    bool Next(int width, int& code) {
        while (bitCount_ < width) {
            if (remaining_ == 0) {
                if (finished_) return false;
                if (pos_ >= size_) {
                    damaged_ = true;
                    return false;
                }
                remaining_ = data_[pos_++];
                if (remaining_ == 0) {
                    finished_ = true;
                    return false;
                }
                if (remaining_ > size_ - pos_) {
                    damaged_ = true;
                    return false;
                }
            }
            bits_ |= static_cast<std::uint32_t>(data_[pos_++]) << bitCount_;
            bitCount_ += 8;
            --remaining_;
        }
        code = static_cast<int>(bits_ & ((1u << width) - 1));
        bits_ >>= width;
        bitCount_ -= width;
        return true;
    }
    bool damaged() const { return damaged_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_;
    std::size_t remaining_ = 0;
    std::uint32_t bits_ = 0;
    int bitCount_ = 0;
    bool finished_ = false;
    bool damaged_ = false;
};

// Places decoded pixels in row order, or in the four interlace passes.
class PixelPlacer {
public:
    PixelPlacer(std::uint8_t* rows, std::size_t stride, int width, int height, bool interlaced)
        : rows_(rows), stride_(stride), width_(width), height_(height), interlaced_(interlaced) {}

    void Put(std::uint8_t index) {
        if (y_ >= height_) return;  // beyond the image: dropped
        rows_[static_cast<std::size_t>(y_) * stride_ + static_cast<std::size_t>(x_)] = index;
        if (++x_ < width_) return;
        x_ = 0;
        if (!interlaced_) {
            ++y_;
            return;
        }
        static constexpr int kStart[4] = {0, 4, 2, 1};
        static constexpr int kStep[4] = {8, 8, 4, 2};
        y_ += kStep[pass_];
        while (y_ >= height_ && pass_ < 3) {
            ++pass_;
            y_ = kStart[pass_];
        }
    }

private:
    std::uint8_t* rows_;
    std::size_t stride_;
    int width_;
    int height_;
    bool interlaced_;
    int x_ = 0;
    int y_ = 0;
    int pass_ = 0;
};

struct CodeTable {
    std::array<std::uint16_t, 4096> prefix;
    std::array<std::uint8_t, 4096> suffix;
    std::array<std::uint8_t, 4097> stack;
};

// Skips a chain of sub-blocks starting at `pos`; false when one runs past the data.
bool SkipSubBlocks(std::span<const std::uint8_t> bytes, std::size_t& pos) {
    for (;;) {
        if (pos >= bytes.size()) return false;
        const std::size_t length = bytes[pos++];
        if (length == 0) return true;
        if (length > bytes.size() - pos) return false;
        pos += length;
    }
}

void WritePalette(std::uint8_t* out, const std::uint8_t* table, std::size_t entries) {
    std::memset(out, 0, kIndexedPaletteSize);
    for (std::size_t i = 0; i < entries && i < 256; ++i) {
        out[i * 4 + 0] = table[i * 3 + 2];
        out[i * 4 + 1] = table[i * 3 + 1];
        out[i * 4 + 2] = table[i * 3 + 0];
    }
}

}  // namespace

std::optional<DecodedPicture> DecodeGif(std::span<const std::uint8_t> bytes) {
    const std::size_t n = bytes.size();
    const std::uint8_t* b = bytes.data();
    if (n <= 13 || (std::memcmp(b, "GIF87a", 6) != 0 && std::memcmp(b, "GIF89a", 6) != 0)) return std::nullopt;
    const std::uint32_t screenW = ReadU16(b + 6), screenH = ReadU16(b + 8);
    const std::uint8_t packed = b[10];
    std::size_t pos = 13;
    const std::uint8_t* globalTable = nullptr;
    std::size_t globalEntries = 0;
    if (packed & 0x80) {
        globalEntries = std::size_t{1} << ((packed & 7) + 1);
        if (3 * globalEntries + 13 >= n) return std::nullopt;
        globalTable = b + 13;
        pos += 3 * globalEntries;
    }

    // Walk the blocks up to the first image descriptor.
    for (;;) {
        if (pos >= n) return std::nullopt;
        const std::uint8_t introducer = b[pos];
        if (introducer == 0x2C) break;
        if (introducer != 0x21 || pos + 1 >= n) return std::nullopt;
        const std::uint8_t label = b[pos + 1];
        pos += 2;
        // A graphic control block's transparent index changes nothing for a still picture.
        if (label != 0xF9 && label != 0x01 && label != 0xFE && label != 0xFF) return std::nullopt;
        if (!SkipSubBlocks(bytes, pos)) return std::nullopt;
    }

    ++pos;  // image descriptor
    if (n - pos < 9) return std::nullopt;
    const std::uint32_t w = ReadU16(b + pos + 4), h = ReadU16(b + pos + 6);
    const std::uint8_t imagePacked = b[pos + 8];
    pos += 9;
    if (!DimensionsAcceptable(w, h)) return std::nullopt;
    const std::uint8_t* table = globalTable;
    std::size_t entries = globalEntries;
    if (imagePacked & 0x80) {
        entries = std::size_t{1} << ((imagePacked & 7) + 1);
        if (3 * entries > n - pos) return std::nullopt;
        table = b + pos;
        pos += 3 * entries;
    }

    if (pos >= n) return std::nullopt;
    const int minCodeSize = b[pos++];
    if (minCodeSize < 1 || minCodeSize > 8) return std::nullopt;

    DecodedPicture picture;
    picture.kind = kPictureGif;
    picture.width = static_cast<int>(screenW != 0 && screenH != 0 ? screenW : w);
    picture.height = static_cast<int>(screenW != 0 && screenH != 0 ? screenH : h);
    const std::size_t stride = IndexedStride(w);
    picture.pixels.assign(kIndexedRowsOffset + stride * h, 0);
    std::uint8_t* out = picture.pixels.data();
    WriteIndexedHeader(out, w, h);
    if (table != nullptr) WritePalette(out + kIndexedHeaderSize, table, entries);
    else std::memset(out + kIndexedHeaderSize, 0, kIndexedPaletteSize);

    CodeTable codes;  // fixed size, lives on the stack: no allocation besides the picture's buffer
    CodeReader reader(b, n, pos);
    PixelPlacer placer(out + kIndexedRowsOffset, stride, static_cast<int>(w), static_cast<int>(h),
                       (imagePacked & 0x40) != 0);
    const int clear = 1 << minCodeSize, end = clear + 1;
    int next = clear + 2, width = minCodeSize + 1, previous = -1;
    std::uint8_t previousFirst = 0;
    int code = 0;
    while (reader.Next(width, code)) {
        if (code == clear) {
            next = clear + 2;
            width = minCodeSize + 1;
            previous = -1;
            continue;
        }
        if (code == end) break;
        if (previous < 0) {
            if (code >= clear) return std::nullopt;
            placer.Put(static_cast<std::uint8_t>(code));
            previous = code;
            previousFirst = static_cast<std::uint8_t>(code);
            continue;
        }
        if (code > next) return std::nullopt;
        // Expand the code (or, for the not-yet-defined next code, the previous string plus its
        // first byte) onto the stack, last byte first.
        std::size_t depth = 0;
        int c = code;
        if (code == next) {
            codes.stack[depth++] = previousFirst;
            c = previous;
        }
        while (c > end) {
            if (depth >= 4096) return std::nullopt;
            codes.stack[depth++] = codes.suffix[static_cast<std::size_t>(c)];
            c = codes.prefix[static_cast<std::size_t>(c)];
        }
        if (c >= clear) return std::nullopt;  // the chain must end in a literal
        codes.stack[depth++] = static_cast<std::uint8_t>(c);
        const std::uint8_t first = static_cast<std::uint8_t>(c);
        while (depth > 0) placer.Put(codes.stack[--depth]);
        if (next < 4096) {
            codes.prefix[static_cast<std::size_t>(next)] = static_cast<std::uint16_t>(previous);
            codes.suffix[static_cast<std::size_t>(next)] = first;
            ++next;
            if (next == (1 << width) && width < 12) ++width;
        }
        previous = code;
        previousFirst = first;
    }
    if (reader.damaged()) return std::nullopt;
    return picture;
}

}  // namespace kestrune::ui::detail
