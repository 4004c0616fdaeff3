// The shared picture fixtures (area.cmake): files written on the build machine with libpng and
// libjpeg, each with the decoded picture the Linux decoders give for it; GIF files written by giflib,
// each with what giflib's decoder reads from it; and the drawn artwork the program does not embed
// itself.
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

#define KESTRUNE_GIF_FIXTURES(X)                                                                    \
    X(GifPlainH1) X(GifPlainH2) X(GifPlainH3) X(GifPlainH4) X(GifPlainH5) X(GifPlainH6)             \
    X(GifPlainH7) X(GifPlainH8) X(GifPlainH9) X(GifPlainH10) X(GifPlainH11) X(GifPlainH12)          \
    X(GifPlainH13) X(GifPlainH14) X(GifPlainH15) X(GifPlainH16) X(GifPlainH17) X(GifPlainH18)       \
    X(GifPlainH19) X(GifInterlacedH1) X(GifInterlacedH2) X(GifInterlacedH3) X(GifInterlacedH4)      \
    X(GifInterlacedH5) X(GifInterlacedH6) X(GifInterlacedH7) X(GifInterlacedH8) X(GifInterlacedH9)  \
    X(GifInterlacedH10) X(GifInterlacedH11) X(GifInterlacedH12) X(GifInterlacedH13)                 \
    X(GifInterlacedH14) X(GifInterlacedH15) X(GifInterlacedH16) X(GifInterlacedH17)                 \
    X(GifInterlacedH18) X(GifInterlacedH19) X(GifCodeSize1) X(GifCodeSize2) X(GifCodeSize3)         \
    X(GifCodeSize4) X(GifCodeSize5) X(GifCodeSize6) X(GifCodeSize7) X(GifCodeSize8)                 \
    X(GifLocalPalette) X(GifTransparent) X(GifSeveralImages) X(GifSmallerThanScreen) X(GifNoise40)

namespace kestrune::resources {
#define KESTRUNE_DECLARE_FIXTURE(name)               \
    std::span<const std::uint8_t> Fixture##name(); \
    std::span<const std::uint8_t> Fixture##name##Decoded();
KESTRUNE_PICTURE_FIXTURES(KESTRUNE_DECLARE_FIXTURE)
KESTRUNE_GIF_FIXTURES(KESTRUNE_DECLARE_FIXTURE)
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
    return all;
}

inline std::vector<std::uint8_t> FixtureFile(const std::string& name) {
    for (const Fixture& f : AllFixtures()) {
        if (f.name == name) return f.file;
    }
    return {};
}

inline std::vector<Fixture> GifFixtures() {
    std::vector<Fixture> all;
    KESTRUNE_GIF_FIXTURES(KESTRUNE_LIST_FIXTURE)
    return all;
}

#undef KESTRUNE_LIST_FIXTURE

inline Fixture GifFixture(const std::string& name) {
    for (Fixture& f : GifFixtures()) {
        if (f.name == name) return f;
    }
    return {};
}

// What giflib's decoder reads from a GIF fixture (the writer's "KGF1" record): the logical screen,
// the first image's size, the palette that image uses (RGB triples) and its indices, rows top-down.
struct GifReading {
    int screenWidth = 0, screenHeight = 0, width = 0, height = 0;
    std::vector<std::uint8_t> palette;
    std::vector<std::uint8_t> indices;
};

inline std::optional<GifReading> ParseGifReading(std::span<const std::uint8_t> record) {
    if (record.size() < 24 || std::memcmp(record.data(), "KGF1", 4) != 0) return std::nullopt;
    auto u32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(record[at]) | static_cast<std::uint32_t>(record[at + 1]) << 8 |
               static_cast<std::uint32_t>(record[at + 2]) << 16 | static_cast<std::uint32_t>(record[at + 3]) << 24;
    };
    GifReading r;
    r.screenWidth = static_cast<int>(u32(4));
    r.screenHeight = static_cast<int>(u32(8));
    r.width = static_cast<int>(u32(12));
    r.height = static_cast<int>(u32(16));
    const std::size_t entries = u32(20);
    const std::size_t count = static_cast<std::size_t>(r.width) * static_cast<std::size_t>(r.height);
    if (entries > 256 || record.size() != 24 + entries * 3 + count) return std::nullopt;
    r.palette.assign(record.begin() + 24, record.begin() + static_cast<std::ptrdiff_t>(24 + entries * 3));
    r.indices.assign(record.begin() + static_cast<std::ptrdiff_t>(24 + entries * 3), record.end());
    return r;
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
