#include "resources/generator/Art.h"

#include <array>
#include <cmath>
#include <string>

#include "resources/IconFile.h"
#include "resources/writers/PictureWriters.h"
#include "resources/generator/Raster.h"

namespace kestrune::artwork {

namespace {

const Rgb kGold = FromBytes(204, 166, 96);
const Rgb kPaleGold = FromBytes(236, 206, 140);
const Rgb kBlack = FromBytes(0, 0, 0);

// The panel's outline: a rounded body with the emblem's disc set into its top-left corner.
constexpr float kBodyCx = 758, kBodyCy = 510, kBodyHw = 346, kBodyHh = 214, kBodyRadius = 24;
constexpr float kEmblemCx = 452, kEmblemCy = 320, kEmblemRadius = 92;
// Centres of the round plates the two picture buttons sit on.
constexpr float kClosePlateCx = kCloseLeft + kCloseSize / 2.0f, kClosePlateCy = kCloseTop + kCloseSize / 2.0f;
constexpr float kMinPlateCx = kMinimizeLeft + kMinimizeWidth / 2.0f, kMinPlateCy = kMinimizeTop + kMinimizeHeight / 2.0f;
constexpr float kPlateRadius = 17;
const Rgb kClosePlate = FromBytes(74, 26, 30);
const Rgb kMinPlate = FromBytes(28, 38, 58);

float SmoothMin(float a, float b, float k) {
    const float h = std::clamp(0.5f + 0.5f * (b - a) / k, 0.0f, 1.0f);
    return b + (a - b) * h - k * h * (1.0f - h);
}

float PanelDistance(float x, float y) {
    const float body = SdRoundRect(x, y, kBodyCx, kBodyCy, kBodyHw, kBodyHh, kBodyRadius);
    const float emblem = SdCircle(x, y, kEmblemCx, kEmblemCy, kEmblemRadius);
    return SmoothMin(body, emblem, 28.0f);
}

// A band `halfWidth` either side of distance `at` of a distance field.
float Band(float d, float at, float halfWidth) { return Coverage(std::fabs(d - at) - halfWidth); }

// 5 x 7 capitals for the title.
struct Glyph {
    char letter;
    std::array<const char*, 7> rows;
};
constexpr Glyph kFont[] = {
    {'K', {"X...X", "X..X.", "X.X..", "XX...", "X.X..", "X..X.", "X...X"}},
    {'E', {"XXXXX", "X....", "X....", "XXXX.", "X....", "X....", "XXXXX"}},
    {'S', {".XXXX", "X....", "X....", ".XXX.", "....X", "....X", "XXXX."}},
    {'T', {"XXXXX", "..X..", "..X..", "..X..", "..X..", "..X..", "..X.."}},
    {'R', {"XXXX.", "X...X", "X...X", "XXXX.", "X.X..", "X..X.", "X...X"}},
    {'U', {"X...X", "X...X", "X...X", "X...X", "X...X", "X...X", ".XXX."}},
    {'N', {"X...X", "XX..X", "X.X.X", "X..XX", "X...X", "X...X", "X...X"}},
};

void DrawTitle(Canvas& c, const std::string& text, int left, int top, int cell, int gap) {
    int x0 = left;
    for (char ch : text) {
        const Glyph* glyph = nullptr;
        for (const Glyph& g : kFont)
            if (g.letter == ch) glyph = &g;
        if (glyph != nullptr) {
            for (int row = 0; row < 7; ++row)
                for (int col = 0; col < 5; ++col) {
                    if (glyph->rows[static_cast<std::size_t>(row)][col] != 'X') continue;
                    for (int y = top + row * cell; y < top + (row + 1) * cell; ++y)
                        for (int x = x0 + col * cell; x < x0 + (col + 1) * cell; ++x) {
                            const float t = static_cast<float>(y - top) / static_cast<float>(7 * cell);
                            c.Over(x, y, Mix(kPaleGold, kGold, t), 1.0f);
                        }
                }
        }
        x0 += 5 * cell + gap;
    }
}

void DrawPlate(Canvas& c, float cx, float cy, const Rgb& fill) {
    for (int y = static_cast<int>(cy - kPlateRadius - 3); y <= static_cast<int>(cy + kPlateRadius + 3); ++y)
        for (int x = static_cast<int>(cx - kPlateRadius - 3); x <= static_cast<int>(cx + kPlateRadius + 3); ++x) {
            const float d = SdCircle(x + 0.5f, y + 0.5f, cx, cy, kPlateRadius);
            c.Over(x, y, fill, Coverage(d));
            c.Over(x, y, kGold, Band(d, -0.75f, 0.75f) * 0.9f);
        }
}

// A gold rule that fades out towards both ends.
void DrawRule(Canvas& c, int x0, int x1, float y, float alpha) {
    for (int yy = static_cast<int>(y) - 1; yy <= static_cast<int>(y) + 1; ++yy)
        for (int x = x0; x < x1; ++x) {
            const float t = static_cast<float>(x - x0) / static_cast<float>(x1 - x0);
            const float fade = std::min(1.0f, std::min(t, 1.0f - t) * 6.0f);
            c.Over(x, yy, kGold, Band(yy + 0.5f, y, 0.5f) * alpha * fade);
        }
}

void DrawEmblem(Canvas& c, float cx, float cy, float scale) {
    const int reach = static_cast<int>(kEmblemRadius * scale) + 4;
    for (int y = static_cast<int>(cy) - reach; y <= static_cast<int>(cy) + reach; ++y)
        for (int x = static_cast<int>(cx) - reach; x <= static_cast<int>(cx) + reach; ++x) {
            if (x < 0 || y < 0 || x >= c.Width() || y >= c.Height()) continue;
            const float px = x + 0.5f, py = y + 0.5f;
            const float r = std::hypot(px - cx, py - cy);
            const float ring = SdCircle(px, py, cx, cy, 80 * scale);
            c.Over(x, y, FromBytes(22, 26, 36), Coverage(ring) * 0.9f * std::clamp(1.0f - r / (90 * scale), 0.0f, 1.0f));
            c.Over(x, y, kGold, Band(ring, 0, 1.2f * scale));
            c.Over(x, y, kGold, Band(ring, -6 * scale, 0.5f * scale) * 0.5f);
            const float star = SdStar(px, py, cx, cy, 62 * scale, 24 * scale, 8);
            const Rgb starColour = Mix(kPaleGold, kGold, std::clamp(r / (62 * scale), 0.0f, 1.0f));
            c.Over(x, y, starColour, Coverage(star));
            c.Over(x, y, FromBytes(120, 92, 48), Band(star, 0, 0.6f) * 0.8f);
            const float core = SdCircle(px, py, cx, cy, 18 * scale);
            c.Over(x, y, FromBytes(16, 18, 26), Coverage(core));
            c.Over(x, y, kGold, Band(core, 0, 0.8f * scale));
        }
}

}  // namespace

Bytes DrawLoginSkinPng() {
    Canvas c(kSkinWidth, kSkinHeight);
    const Rgb top = FromBytes(42, 48, 64), bottom = FromBytes(16, 19, 27), header = FromBytes(48, 56, 76);
    for (int y = 0; y < kSkinHeight; ++y)
        for (int x = 0; x < kSkinWidth; ++x) {
            const float px = x + 0.5f, py = y + 0.5f;
            const float d = PanelDistance(px, py);
            if (d > 2.5f) continue;
            // A short dark fringe outside, so the cut edge reads well on any desktop. It stays
            // narrow: on screen partly transparent pixels show over the button-face colour.
            if (d > 0.0f) {
                const float s = 1.0f - d / 2.5f;
                c.Over(x, y, kBlack, 0.6f * s * s);
            }
            const float t = std::clamp((py - 296.0f) / 428.0f, 0.0f, 1.0f);
            Rgb fill = Mix(top, bottom, t);
            if (py < 352.0f) fill = Mix(fill, header, 0.6f);
            // A faint light from the upper middle.
            const float glow = std::max(0.0f, 1.0f - std::hypot((px - 760.0f) / 520.0f, (py - 300.0f) / 300.0f));
            fill = Mix(fill, FromBytes(70, 80, 104), glow * 0.25f);
            c.Over(x, y, fill, Coverage(d, 1.2f));
            c.Over(x, y, kGold, Band(d, -2.5f, 1.0f));
            c.Over(x, y, kPaleGold, Band(d, -7.0f, 0.5f) * 0.3f);
        }

    // The sunken frame the login page sits in (the shape box covers its middle).
    for (int y = kFrameTop - 9; y < kFrameBottom + 9; ++y)
        for (int x = kFrameLeft - 9; x < kFrameRight + 9; ++x) {
            const float cx = (kFrameLeft + kFrameRight) / 2.0f, cy = (kFrameTop + kFrameBottom) / 2.0f;
            const float d = SdRoundRect(x + 0.5f, y + 0.5f, cx, cy, (kFrameRight - kFrameLeft) / 2.0f + 6,
                                        (kFrameBottom - kFrameTop) / 2.0f + 6, 6);
            c.Over(x, y, FromBytes(8, 10, 14), Coverage(d));
            c.Over(x, y, kGold, Band(d, -0.5f, 0.5f) * 0.8f);
            c.Over(x, y, kBlack, Band(d, 1.5f, 1.0f) * 0.35f);
        }

    DrawRule(c, 560, 1020, 352.0f, 0.7f);
    DrawRule(c, 470, 1040, 706.0f, 0.5f);
    DrawTitle(c, "KESTRUNE", 580, 312, 4, 8);
    DrawPlate(c, kClosePlateCx, kClosePlateCy, kClosePlate);
    DrawPlate(c, kMinPlateCx, kMinPlateCy, kMinPlate);
    DrawEmblem(c, kEmblemCx, kEmblemCy, 1.0f);

    Bytes rgba = c.Rgba(255);
    // A small diamond at the emblem's heart is a see-through hole: opaque pure white, cut out of
    // the window's outline.
    for (int y = static_cast<int>(kEmblemCy) - 6; y <= static_cast<int>(kEmblemCy) + 6; ++y)
        for (int x = static_cast<int>(kEmblemCx) - 6; x <= static_cast<int>(kEmblemCx) + 6; ++x) {
            if (std::abs(x - static_cast<int>(kEmblemCx)) + std::abs(y - static_cast<int>(kEmblemCy)) > 6) continue;
            std::uint8_t* p = rgba.data() + (static_cast<std::size_t>(y) * kSkinWidth + x) * 4;
            p[0] = p[1] = p[2] = p[3] = 255;
        }
    return resources::WritePngRgba(rgba, kSkinWidth, kSkinHeight, {{"Software", "Kestrune artwork generator"}},
                                   {{"Title", "Kestrune login skin"}});
}

namespace {

// A button face: flat plate colour, a lighter disc and a glyph. Coverage of both is quantised to
// 16 levels, which spans exactly the 256 entries of the colour table.
template <typename GlyphDistance>
Bytes DrawFace(int w, int h, const Rgb& plate, const Rgb& disc, GlyphDistance glyph) {
    Bytes palette(256 * 3);
    for (int q1 = 0; q1 < 16; ++q1)
        for (int q2 = 0; q2 < 16; ++q2) {
            Rgb colour = Mix(plate, disc, q1 / 15.0f);
            colour = Mix(colour, kPaleGold, q2 / 15.0f);
            const std::size_t i = static_cast<std::size_t>(q1 * 16 + q2) * 3;
            palette[i] = Canvas::Byte(colour.r);
            palette[i + 1] = Canvas::Byte(colour.g);
            palette[i + 2] = Canvas::Byte(colour.b);
        }
    Bytes indices(static_cast<std::size_t>(w) * h);
    const float cx = w / 2.0f, cy = h / 2.0f, r = std::min(w, h) / 2.0f - 1.5f;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float px = x + 0.5f, py = y + 0.5f;
            const int q1 = static_cast<int>(std::lround(Coverage(SdCircle(px, py, cx, cy, r)) * 15.0f));
            const int q2 = static_cast<int>(std::lround(Coverage(glyph(px, py)) * 15.0f));
            indices[static_cast<std::size_t>(y) * w + x] = static_cast<std::uint8_t>(q1 * 16 + q2);
        }
    return resources::WriteGif(indices, w, h, palette);
}

}  // namespace

Bytes DrawCloseGif() {
    const float c = kCloseSize / 2.0f, a = 4.2f;
    return DrawFace(kCloseSize, kCloseSize, kClosePlate, FromBytes(112, 38, 44), [&](float x, float y) {
        return std::min(SdCapsule(x, y, c - a, c - a, c + a, c + a, 1.3f),
                        SdCapsule(x, y, c + a, c - a, c - a, c + a, 1.3f));
    });
}

Bytes DrawMinimizeGif() {
    const float cx = kMinimizeWidth / 2.0f, cy = kMinimizeHeight / 2.0f;
    return DrawFace(kMinimizeWidth, kMinimizeHeight, kMinPlate, FromBytes(44, 60, 88),
                    [&](float x, float y) { return SdCapsule(x, y, cx - 4.5f, cy + 3.0f, cx + 4.5f, cy + 3.0f, 1.3f); });
}

namespace {

Bytes ToBgra(const Bytes& rgba) {
    Bytes out = rgba;
    for (std::size_t i = 0; i < out.size(); i += 4) std::swap(out[i], out[i + 2]);
    return out;
}

}  // namespace

namespace {

// The program icon drawn at `size` pixels square; the figures are laid out on a 64-pixel grid.
Canvas GameIconCanvas(int size) {
    Canvas c(size, size);
    const float k = static_cast<float>(size) / 64.0f, centre = 32 * k, radius = 30.5f * k;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float d = SdCircle(x + 0.5f, y + 0.5f, centre, centre, radius);
            const float t = std::clamp((y + 0.5f) / static_cast<float>(size), 0.0f, 1.0f);
            c.Over(x, y, Mix(FromBytes(46, 54, 74), FromBytes(16, 19, 27), t), Coverage(d));
        }
    DrawEmblem(c, centre, centre, 0.34f * k);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            c.Over(x, y, kGold, Band(SdCircle(x + 0.5f, y + 0.5f, centre, centre, radius), -1.2f * k, 1.0f * k));
    return c;
}

}  // namespace

Bytes DrawGameIcon() { return resources::EncodeIconFile(ToBgra(GameIconCanvas(64).Rgba(0)), 64, 64); }

Bytes DrawProgramIconPng(int size) { return resources::WritePngRgba(GameIconCanvas(size).Rgba(0), size, size); }

Bytes DrawHandCursor() {
    Canvas c(32, 32);
    auto hand = [](float x, float y) {
        float d = SdCapsule(x, y, 12, 3.2f, 12, 17, 2.6f);                 // index finger
        d = std::min(d, SdCapsule(x, y, 16.6f, 11.5f, 16.6f, 18, 2.4f));   // middle
        d = std::min(d, SdCapsule(x, y, 21.0f, 12.5f, 21.0f, 19, 2.4f));   // ring
        d = std::min(d, SdCapsule(x, y, 25.2f, 14.5f, 25.2f, 20, 2.2f));   // little
        d = std::min(d, SdRoundRect(x, y, 18.5f, 22.5f, 8.7f, 6.5f, 4.0f));   // palm
        d = std::min(d, SdCapsule(x, y, 10.5f, 22.5f, 5.8f, 17.0f, 2.4f)); // thumb
        return d;
    };
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const float d = hand(x + 0.5f, y + 0.5f);
            c.Over(x, y, kBlack, Coverage(d));
            c.Over(x, y, FromBytes(250, 250, 250), Coverage(d + 1.4f));
        }
    return resources::EncodeIconFile(ToBgra(c.Rgba(0)), 32, 32, true, 12, 1);
}

}  // namespace kestrune::artwork
