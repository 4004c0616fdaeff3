// The shared picture fixtures (area.cmake): files written on the build machine with libpng and
// libjpeg, each with the decoded picture the Linux decoders give for it, and the drawn artwork the
// program does not embed itself.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#define KESTRUNE_PICTURE_FIXTURES(X)                                                                       \
    X(JpegGreyBands) X(JpegRed) X(JpegNoise) X(JpegSubsampled) X(JpegProgressive) X(JpegCmyk) X(PngRgba) \
    X(PngPalette) X(PngGrey) X(PngGreyAlpha) X(PngGrey2Bit) X(PngRgb16) X(PngInterlaced)

namespace kestrune::resources {
#define KESTRUNE_DECLARE_FIXTURE(name)               \
    std::span<const std::uint8_t> Fixture##name(); \
    std::span<const std::uint8_t> Fixture##name##Decoded();
KESTRUNE_PICTURE_FIXTURES(KESTRUNE_DECLARE_FIXTURE)
#undef KESTRUNE_DECLARE_FIXTURE
std::span<const std::uint8_t> FixtureLoginSkinDecoded();
std::span<const std::uint8_t> FixtureLargeProgramIcon();  // the drawn 256 x 256 program icon
}  // namespace kestrune::resources

namespace picture_test {

struct Fixture {
    std::string name;
    std::vector<std::uint8_t> file;
    std::span<const std::uint8_t> decoded;  // the reference record
};

inline std::vector<Fixture> AllFixtures() {
    std::vector<Fixture> all;
#define KESTRUNE_LIST_FIXTURE(name)                                                                        \
    all.push_back({#name,                                                                                  \
                   std::vector<std::uint8_t>(kestrune::resources::Fixture##name().begin(),                 \
                                             kestrune::resources::Fixture##name().end()),                  \
                   kestrune::resources::Fixture##name##Decoded()});
    KESTRUNE_PICTURE_FIXTURES(KESTRUNE_LIST_FIXTURE)
#undef KESTRUNE_LIST_FIXTURE
    return all;
}

inline std::vector<std::uint8_t> FixtureFile(const std::string& name) {
    for (const Fixture& f : AllFixtures()) {
        if (f.name == name) return f.file;
    }
    return {};
}

// A reference record: "KPX1" (pixels follow) or "KPH1" (a 64-bit FNV-1a hash of them follows), then
// kind, width and height; kind 0 means the Linux decoders give no picture.
struct Reference {
    bool hashOnly = false;
    int kind = 0, width = 0, height = 0;
    std::vector<std::uint8_t> pixels;
    std::uint64_t hash = 0;
};

inline std::optional<Reference> ParseReference(std::span<const std::uint8_t> record) {
    if (record.size() < 16) return std::nullopt;
    Reference r;
    if (std::memcmp(record.data(), "KPX1", 4) == 0) {
        r.hashOnly = false;
    } else if (std::memcmp(record.data(), "KPH1", 4) == 0) {
        r.hashOnly = true;
    } else {
        return std::nullopt;
    }
    auto u32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(record[at]) | static_cast<std::uint32_t>(record[at + 1]) << 8 |
               static_cast<std::uint32_t>(record[at + 2]) << 16 | static_cast<std::uint32_t>(record[at + 3]) << 24;
    };
    r.kind = static_cast<int>(u32(4));
    r.width = static_cast<int>(u32(8));
    r.height = static_cast<int>(u32(12));
    if (r.hashOnly) {
        if (record.size() != 24 && r.kind != 0) return std::nullopt;
        if (r.kind != 0) r.hash = u32(16) | static_cast<std::uint64_t>(u32(20)) << 32;
    } else {
        r.pixels.assign(record.begin() + 16, record.end());
    }
    return r;
}

inline std::uint64_t Fnv1a(const std::vector<std::uint8_t>& bytes) {
    std::uint64_t h = 14695981039346656037ull;
    for (std::uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
    return h;
}

}  // namespace picture_test
