// Road scenes: a city street seen from a car, drawn in software for the demo
// card. A flat street (lanes, markings, crossings, pavements) is drawn row by
// row, the building fronts column by column, and trees, lamps, signals and
// cars as shapes from far to near; the car's own bonnet or rear window, the
// recorder's time stamp and a lens vignette go on top.
//
// World coordinates (metres): Z runs along the street in the driving
// direction, X across it (positive to the driver's right), Y up. The car
// drives in the left lane (traffic keeps left) with its camera at X = 0.

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <map>
#include <utility>

#include "clipforge/clipforge.h"
#include "clipforge/forge_internal.h"

namespace trivexa::clipforge::detail {
namespace {

// --- The street's cross-section (X, metres) -------------------------------

constexpr double kBlock = 120.0;  // from one crossing street to the next
constexpr double kFacadeLeft = -6.4;
constexpr double kFacadeRight = 16.3;
constexpr double kCurbLeft = -2.4;  // road edge
constexpr double kCurbRight = 12.3;
constexpr double kCurbWidth = 0.2;
constexpr double kEdgeLineLeft = -1.75;
constexpr double kLaneLine = 1.55;  // between our two lanes (dashed)
constexpr double kCentreLine = 4.85;
constexpr double kOncomingLaneLine = 8.3;  // dashed
constexpr double kEdgeLineRight = 11.4;
constexpr double kLineWidth = 0.15;
constexpr double kDash = 5.0;  // dashed lines: 5 m paint, 5 m gap
constexpr double kTreeLeft = -3.4, kTreeRight = 13.4;
constexpr double kLampLeft = -2.8, kLampRight = 12.8;
constexpr double kBackdropDepth = 24.0;  // buildings of the next street, behind the fronts

constexpr double kCameraHeight = 1.25;
constexpr double kFarthest = 700.0;

// --- Small helpers ----------------------------------------------------------

uint32_t Hash(uint32_t a, uint32_t b = 0, uint32_t c = 0) {
    uint32_t h =
        a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}
// A repeatable number in [0, 1).
double Unit(uint32_t a, uint32_t b = 0, uint32_t c = 0) { return Hash(a, b, c) / 4294967296.0; }
uint32_t Key(int64_t v) { return static_cast<uint32_t>(v) ^ static_cast<uint32_t>(v >> 32); }

// Smooth value noise on a unit lattice.
float Noise2(float x, float y, uint32_t seed) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    auto v = [&](int i, int j) { return static_cast<float>(Unit(seed, Key(ix + i), Key(iy + j))); };
    const float a = v(0, 0) + (v(1, 0) - v(0, 0)) * tx;
    const float b = v(0, 1) + (v(1, 1) - v(0, 1)) * tx;
    return a + (b - a) * ty;
}

// The same noise, repeating every `period` lattice cells in both directions,
// for textures that tile.
float TiledNoise(float x, float y, int period, uint32_t seed) {
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    auto v = [&](int i, int j) {
        const int a = ((ix + i) % period + period) % period,
                  b = ((iy + j) % period + period) % period;
        return static_cast<float>(Unit(seed, static_cast<uint32_t>(a), static_cast<uint32_t>(b)));
    };
    const float a = v(0, 0) + (v(1, 0) - v(0, 0)) * tx;
    const float b = v(0, 1) + (v(1, 1) - v(0, 1)) * tx;
    return a + (b - a) * ty;
}

// A square texture of signed brightness offsets that repeats seamlessly.
struct Tile {
    static constexpr int kSize = 512;  // a power of two
    std::vector<float> v;
    float At(int x, int y) const {
        return v[static_cast<size_t>(y & (kSize - 1)) * kSize +
                 static_cast<size_t>(x & (kSize - 1))];
    }
    float Sample(float x, float y) const {
        const float fx = std::floor(x), fy = std::floor(y);
        const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
        const float tx = x - fx, ty = y - fy;
        const float a = At(ix, iy) + (At(ix + 1, iy) - At(ix, iy)) * tx;
        const float b = At(ix, iy + 1) + (At(ix + 1, iy + 1) - At(ix, iy + 1)) * tx;
        return a + (b - a) * ty;
    }
};

// Asphalt at 5 cm a texel: grain, blotches and broad patches of wear.
Tile MakeAsphalt(uint32_t seed) {
    Tile t;
    t.v.resize(static_cast<size_t>(Tile::kSize) * Tile::kSize);
    for (int y = 0; y < Tile::kSize; ++y)
        for (int x = 0; x < Tile::kSize; ++x) {
            const float fx = static_cast<float>(x), fy = static_cast<float>(y);
            const float grain =
                static_cast<float>(Unit(seed, static_cast<uint32_t>(x), static_cast<uint32_t>(y))) -
                0.5f;
            const float blot = TiledNoise(fx / 8, fy / 8, Tile::kSize / 8, seed + 1) - 0.5f;
            const float patch = TiledNoise(fx / 64, fy / 64, Tile::kSize / 64, seed + 2) - 0.5f;
            t.v[static_cast<size_t>(y) * Tile::kSize + x] = grain * 16 + blot * 14 + patch * 16;
        }
    return t;
}

// Leaves: bright and dark blotches in -1..1.
Tile MakeLeaves(uint32_t seed) {
    Tile t;
    t.v.resize(static_cast<size_t>(Tile::kSize) * Tile::kSize);
    for (int y = 0; y < Tile::kSize; ++y)
        for (int x = 0; x < Tile::kSize; ++x) {
            const float fx = static_cast<float>(x), fy = static_cast<float>(y);
            const float a = TiledNoise(fx / 16, fy / 16, Tile::kSize / 16, seed + 3) - 0.5f;
            const float b = TiledNoise(fx / 4, fy / 4, Tile::kSize / 4, seed + 4) - 0.5f;
            t.v[static_cast<size_t>(y) * Tile::kSize + x] =
                std::clamp(a * 1.6f + b * 0.9f, -1.0f, 1.0f);
        }
    return t;
}

struct Col {
    float r = 0, g = 0, b = 0;
};
Col operator*(Col c, float k) { return {c.r * k, c.g * k, c.b * k}; }
Col operator+(Col a, Col b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
Col Mix(Col a, Col b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}
constexpr Col Rgb(int r, int g, int b) {
    return {static_cast<float>(r), static_cast<float>(g), static_cast<float>(b)};
}

// Air between the camera and far things.
constexpr Col kHaze = Rgb(188, 200, 212);

uint8_t Byte(float v) { return static_cast<uint8_t>(std::clamp(v, 0.0f, 255.0f) + 0.5f); }

// The picture being drawn, 8-bit RGB.
struct Canvas {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;

    uint8_t* At(int x, int y) { return rgb.data() + (static_cast<size_t>(y) * w + x) * 3; }
    void Blend(int x, int y, Col c, float a) {
        uint8_t* p = At(x, y);
        if (a >= 0.999f) {
            p[0] = Byte(c.r);
            p[1] = Byte(c.g);
            p[2] = Byte(c.b);
        } else if (a > 0.002f) {
            p[0] = Byte(p[0] + (c.r - p[0]) * a);
            p[1] = Byte(p[1] + (c.g - p[1]) * a);
            p[2] = Byte(p[2] + (c.b - p[2]) * a);
        }
    }
    void Scale(int x, int y, Col k, float a) {
        uint8_t* p = At(x, y);
        p[0] = Byte(p[0] * (1 + (k.r - 1) * a));
        p[1] = Byte(p[1] * (1 + (k.g - 1) * a));
        p[2] = Byte(p[2] * (1 + (k.b - 1) * a));
    }

    // Share of pixel [i, i + 1) covered by [a, b).
    static float Cover(int i, float a, float b) {
        return std::clamp(std::min(b, i + 1.0f) - std::max(a, static_cast<float>(i)), 0.0f, 1.0f);
    }

    // Row y from column c0 to c1 (fractional), edges by coverage; the inside
    // is written directly when opaque.
    void Span(int y, float c0, float c1, Col c, float alpha = 1) {
        if (c1 < c0) std::swap(c0, c1);
        if (c1 <= 0 || c0 >= w || y < 0 || y >= h) return;
        const int i0 = std::max(0, static_cast<int>(std::floor(c0)));
        const int i1 = std::min(w - 1, static_cast<int>(std::ceil(c1)) - 1);
        if (i1 - i0 < 2 || alpha < 0.999f) {
            for (int x = i0; x <= i1; ++x) Blend(x, y, c, Cover(x, c0, c1) * alpha);
            return;
        }
        Blend(i0, y, c, Cover(i0, c0, c1));
        Blend(i1, y, c, Cover(i1, c0, c1));
        const uint8_t r = Byte(c.r), g = Byte(c.g), b = Byte(c.b);
        uint8_t* p = At(i0 + 1, y);
        for (int x = i0 + 1; x < i1; ++x, p += 3) {
            p[0] = r;
            p[1] = g;
            p[2] = b;
        }
    }

    // Axis-aligned rectangle with soft (coverage) edges.
    void Rect(float x0, float y0, float x1, float y1, Col c, float alpha = 1) {
        if (x1 <= x0 || y1 <= y0 || x1 < 0 || y1 < 0 || x0 >= w || y0 >= h) return;
        const int ix0 = std::max(0, static_cast<int>(std::floor(x0)));
        const int ix1 = std::min(w - 1, static_cast<int>(std::ceil(x1)) - 1);
        const int iy0 = std::max(0, static_cast<int>(std::floor(y0)));
        const int iy1 = std::min(h - 1, static_cast<int>(std::ceil(y1)) - 1);
        for (int y = iy0; y <= iy1; ++y) {
            const float cy = Cover(y, y0, y1) * alpha;
            for (int x = ix0; x <= ix1; ++x) Blend(x, y, c, Cover(x, x0, x1) * cy);
        }
    }

    // A quadrilateral with vertical left and right edges: columns xa..xb, its
    // top and bottom edges straight from (xa, ta)-(xb, tb) and (xa, ba)-(xb, bb).
    // Faces along the street project to this shape.
    void Trapezoid(float xa, float xb, float ta, float tb, float ba, float bb, Col c,
                   float alpha = 1) {
        if (xb < xa) {
            std::swap(xa, xb);
            std::swap(ta, tb);
            std::swap(ba, bb);
        }
        if (xb - xa < 1e-3f || xb < 0 || xa >= w) return;
        const int ix0 = std::max(0, static_cast<int>(std::floor(xa)));
        const int ix1 = std::min(w - 1, static_cast<int>(std::ceil(xb)) - 1);
        for (int x = ix0; x <= ix1; ++x) {
            const float cx = Cover(x, xa, xb) * alpha;
            const float t = std::clamp((x + 0.5f - xa) / (xb - xa), 0.0f, 1.0f);
            const float top = ta + (tb - ta) * t, bot = ba + (bb - ba) * t;
            if (bot <= top) continue;
            const int iy0 = std::max(0, static_cast<int>(std::floor(top)));
            const int iy1 = std::min(h - 1, static_cast<int>(std::ceil(bot)) - 1);
            for (int y = iy0; y <= iy1; ++y) Blend(x, y, c, Cover(y, top, bot) * cx);
        }
    }

    // Ellipse with a soft rim; `shade` may vary the colour over its area
    // (u, v in -1..1 across the ellipse).
    template <typename Shade>
    void Ellipse(float cx, float cy, float rx, float ry, float alpha, Shade&& shade) {
        if (rx < 0.3f || ry < 0.3f) return;
        const int x0 = std::max(0, static_cast<int>(cx - rx - 1));
        const int x1 = std::min(w - 1, static_cast<int>(cx + rx + 1));
        const int y0 = std::max(0, static_cast<int>(cy - ry - 1));
        const int y1 = std::min(h - 1, static_cast<int>(cy + ry + 1));
        const float rim = 1.0f / std::max(1.0f, std::min(rx, ry));
        for (int y = y0; y <= y1; ++y) {
            const float v = (y + 0.5f - cy) / ry;
            for (int x = x0; x <= x1; ++x) {
                const float u = (x + 0.5f - cx) / rx;
                const float r = std::sqrt(u * u + v * v);
                const float a = std::clamp((1 - r) / rim + 0.5f, 0.0f, 1.0f);
                if (a > 0) Blend(x, y, shade(u, v), a * alpha);
            }
        }
    }
};

// --- The recorder's time stamp ------------------------------------------------

// 5 × 7 glyphs, one byte per row, bit 4 the leftmost column.
struct Glyph {
    char c;
    std::array<uint8_t, 7> rows;
};
constexpr Glyph kGlyphs[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'/', {0x01, 0x02, 0x02, 0x04, 0x08, 0x08, 0x10}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'-', {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}},
};

const Glyph* FindGlyph(char c) {
    for (const Glyph& g : kGlyphs)
        if (g.c == c) return &g;
    return nullptr;
}

// Where the stamp goes: 19 characters of 5 × 7 dots, `px` pixels a dot, in
// cells 6 dots wide, bottom left.
struct StampBox {
    int x, y, px;
};
StampBox StampPlace(int w, int h) {
    const int px = std::max(1, h / 240);
    return {w / 40, h - 12 * px - h / 40, px};
}
constexpr int kStampChars = 19;

// White text with a dark rim on a translucent dark band, `px` pixels per
// glyph dot, top left at (x, y), written straight into a 4:2:0 picture: it
// goes on after the lens, so the vignette does not touch it.
void Stamp(std::span<uint8_t> yuv, int w, int h, const std::string& text, int x, int y, int px) {
    uint8_t* luma = yuv.data();
    uint8_t* cb = luma + static_cast<size_t>(w) * h;
    uint8_t* cr = cb + static_cast<size_t>(w / 2) * (h / 2);
    auto box = [&](int x0, int y0, int x1, int y1, auto&& pixel) {
        for (int yy = std::max(0, y0); yy < std::min(h, y1); ++yy)
            for (int xx = std::max(0, x0); xx < std::min(w, x1); ++xx)
                pixel(luma[static_cast<size_t>(yy) * w + xx], xx, yy);
    };
    auto grey = [&](int xx, int yy, int keep) {  // chroma towards grey, keep/256 left
        const size_t c = static_cast<size_t>(yy / 2) * (w / 2) + xx / 2;
        cb[c] = static_cast<uint8_t>(128 + (cb[c] - 128) * keep / 256);
        cr[c] = static_cast<uint8_t>(128 + (cr[c] - 128) * keep / 256);
    };
    const int width = (6 * static_cast<int>(text.size()) + 1) * px;
    box(x - 2 * px, y - 2 * px, x + width, y + 9 * px,
        [](uint8_t& l, int, int) { l = static_cast<uint8_t>(16 + (l - 16) * 154 / 256); });
    for (int yy = std::max(0, y - 2 * px) & ~1; yy < std::min(h, y + 9 * px); yy += 2)
        for (int xx = std::max(0, x - 2 * px) & ~1; xx < std::min(w, x + width); xx += 2)
            grey(xx, yy, 154);
    const int rim = std::max(1, (px * 45 + 50) / 100);
    for (int pass = 0; pass < 2; ++pass) {
        int cx = x;
        for (char ch : text) {
            if (const Glyph* g = FindGlyph(ch)) {
                for (int r = 0; r < 7; ++r)
                    for (int c = 0; c < 5; ++c) {
                        if (!(g->rows[static_cast<size_t>(r)] & (0x10 >> c))) continue;
                        const int gx = cx + c * px, gy = y + r * px;
                        if (pass == 0) {
                            box(gx - rim, gy - rim, gx + px + rim, gy + px + rim,
                                [](uint8_t& l, int, int) {
                                    l = static_cast<uint8_t>(l + (25 - l) * 4 / 5);
                                });
                        } else {
                            box(gx, gy, gx + px, gy + px, [&](uint8_t& l, int xx, int yy) {
                                l = 227;
                                grey(xx, yy, 0);
                            });
                        }
                    }
            }
            cx += 6 * px;
        }
    }
}

std::string StampText(const DateTime& t) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d:%02d", t.year % 10000, t.month % 100,
                  t.day % 100, t.hour % 100, t.minute % 100, t.second % 100);
    return buf;
}

// --- The street's buildings ---------------------------------------------------

struct Lot {
    double z0 = 0, z1 = 0;  // along the street
    double height = 0;      // 0: no building (a car park)
    Col wall, glass, sign;
    double floor = 3.5, bay = 3.0, windowWidth = 0.6, windowTop = 2.6, windowBottom = 0.9;
    int street = 0;                   // ground floor: 0 shop, 1 offices, 2 plain wall
    double signFrom = 0, signTo = 0;  // sign board over part of a shop front (0..1)
    uint32_t id = 0;
};

// Crossing streets: every block starts with one, every few a wide one.
double CrossWidth(uint32_t seed, int64_t block) {
    return Unit(seed, 11, Key(block)) < 0.3 ? 17.0 : 9.0;
}

const Col kWalls[] = {Rgb(196, 192, 182), Rgb(170, 168, 162), Rgb(214, 208, 196),
                      Rgb(150, 130, 112), Rgb(120, 122, 126), Rgb(186, 176, 156),
                      Rgb(224, 222, 216), Rgb(136, 104, 86),  Rgb(158, 166, 170)};
const Col kSigns[] = {Rgb(180, 40, 36), Rgb(30, 80, 150),   Rgb(230, 190, 40),
                      Rgb(40, 120, 70), Rgb(220, 220, 214), Rgb(200, 90, 30)};
const Col kCars[] = {Rgb(226, 226, 228), Rgb(236, 234, 226), Rgb(168, 170, 174),
                     Rgb(28, 28, 32),    Rgb(72, 74, 78),    Rgb(32, 44, 78),
                     Rgb(150, 28, 28),   Rgb(150, 186, 204), Rgb(226, 226, 228)};

std::vector<Lot> MakeLots(uint32_t seed, int side, int64_t firstBlock, int64_t lastBlock,
                          bool backdrop) {
    std::vector<Lot> lots;
    uint32_t id = 0;
    for (int64_t k = firstBlock; k <= lastBlock; ++k) {
        double z = k * kBlock + (backdrop ? 0.0 : CrossWidth(seed, k));
        const double end = (k + 1) * kBlock;
        int j = 0;
        while (z < end - 1.0) {
            const uint32_t hk = Key(k) * 31 + static_cast<uint32_t>(j) * 7 +
                                static_cast<uint32_t>(side) * 1013 + (backdrop ? 977u : 0u);
            double width = 9 + 22 * Unit(seed, 21, hk);
            if (end - z - width < 7) width = end - z;
            Lot lot;
            lot.z0 = z;
            lot.z1 = std::min(end, z + width);
            lot.id = Hash(seed, hk, ++id);
            const double pick = Unit(seed, 22, hk);
            if (!backdrop && pick < 0.07) {
                lot.height = 0;  // car park
            } else if (pick < 0.3) {
                lot.height = 6.5 + 3 * Unit(seed, 23, hk);  // two storeys
            } else {
                lot.height = 11 + 21 * Unit(seed, 24, hk);
            }
            if (backdrop) lot.height *= 1.2;
            lot.wall = kWalls[Hash(seed, 25, hk) % std::size(kWalls)];
            lot.sign = kSigns[Hash(seed, 26, hk) % std::size(kSigns)];
            const double tint = Unit(seed, 27, hk);
            lot.glass =
                tint < 0.5 ? Rgb(64, 80, 98) : (tint < 0.8 ? Rgb(52, 58, 64) : Rgb(88, 110, 128));
            lot.floor = 3.2 + 0.6 * Unit(seed, 28, hk);
            lot.bay = 2.4 + 2.2 * Unit(seed, 29, hk);
            lot.windowWidth = lot.bay * (0.35 + 0.45 * Unit(seed, 30, hk));
            lot.windowBottom = 0.6 + 0.5 * Unit(seed, 31, hk);
            lot.windowTop = lot.floor - 0.5 - 0.4 * Unit(seed, 32, hk);
            const double street = Unit(seed, 33, hk);
            lot.street = street < 0.55 ? 0 : (street < 0.85 ? 1 : 2);
            lot.signFrom = 0.05 + 0.4 * Unit(seed, 34, hk);
            lot.signTo = std::min(0.95, lot.signFrom + 0.2 + 0.5 * Unit(seed, 35, hk));
            lots.push_back(lot);
            z = lot.z1;
            ++j;
        }
    }
    return lots;
}

const Lot* FindLot(const std::vector<Lot>& lots, double z) {
    auto it = std::upper_bound(lots.begin(), lots.end(), z,
                               [](double v, const Lot& l) { return v < l.z1; });
    if (it == lots.end() || z < it->z0) return nullptr;
    return &*it;
}

// --- Other cars -------------------------------------------------------------

struct CarLook {
    Col body;
    double width = 1.70, height = 1.45, length = 4.4;
    bool kei = false;
};

CarLook LookOf(uint32_t seed, uint32_t id) {
    CarLook c;
    c.body = kCars[Hash(seed, 41, id) % std::size(kCars)];
    const double kind = Unit(seed, 42, id);
    if (kind < 0.25) {  // kei car: narrow and tall
        c.kei = true;
        c.width = 1.48;
        c.height = 1.68;
        c.length = 3.4;
    } else if (kind < 0.4) {  // minivan
        c.width = 1.75;
        c.height = 1.85;
        c.length = 4.7;
    }
    return c;
}

}  // namespace

// ---------------------------------------------------------------------------

struct SceneRenderer::Impl {
    RoadScene scene;
    int w = 0, h = 0;
    double f = 0;        // focal length in pixels
    double horizon = 0;  // row of the horizon at rest
    int dir = 1;         // +1 looking ahead, -1 looking back
    double fps = 30;
    Canvas cv;
    Canvas sky;  // sky and hills, drawn once, taller than the picture
    int skyMargin = 0;
    std::vector<Lot> lots[2], backdrop[2];  // [0] left (X < 0), [1] right
    std::vector<uint16_t> vignette;         // brightness factor per pixel, 8.8 fixed point
    Tile asphaltTile, leafTile;
    // Brightness offset of the wheel tracks across the road, 1/16 m a step
    // from X = kTrackFrom.
    static constexpr int kTrackFrom = -3;
    std::vector<float> tracks;
    struct Over {
        int x, y;
        Col c;
        float a;
    };
    std::vector<Over> overlay;  // bonnet or rear window frame, fixed to the camera
    // Red phases of the signals: block -> (from, to) in real seconds.
    std::multimap<int64_t, std::pair<double, double>> red;
    // Oncoming cars held at a red light: (lane, number) -> where and how long.
    struct Hold {
        double queued;   // rear end while waiting (Z)
        double release;  // real seconds: moves off
        double delay;    // seconds behind its free run from then on
    };
    std::map<std::pair<int, int64_t>, Hold> holds;
    double clockBase = 0;  // seconds of the day at the first frame

    // The oncoming streams: car n of a lane runs at a fixed speed, so the
    // traffic carries on from one clip into the next.
    struct Stream {
        double x, speed, spacing;
    };
    static constexpr Stream kOncoming[2] = {{6.6, 11.5, 38.0}, {9.9, 10.0, 38.0}};
    uint32_t OncomingId(int lane, int64_t n) const {
        return 5000 + static_cast<uint32_t>(lane) * 100000 + Key(n);
    }
    bool OncomingPresent(int lane, int64_t n) const {
        return Unit(scene.seed, 80, OncomingId(lane, n)) >= 0.45;
    }
    double OncomingBase(int lane, int64_t n) const {
        return n * kOncoming[lane].spacing + 14 * Unit(scene.seed, 81, OncomingId(lane, n));
    }
    void QueueOncoming();

    explicit Impl(const VideoSpec& spec);
    double MetresAt(double record) const;
    double SpeedAt(double record) const;  // m/s of real time
    double AccelAt(double record) const;  // m/s² of real time
    void DrawSky();
    void DrawOverlay();
    void FindRedPhases();

    // Projection of a world point for the current frame.
    struct View {
        double s = 0;      // car position along the street
        double camX = 0;   // camera across the street
        double cx = 0;     // picture column straight ahead
        double yh = 0;     // horizon row
        double t = 0;      // real seconds since the first record
        double speed = 0;  // m/s
        double accel = 0;
    };
    View v;
    double Depth(double z) const { return dir * (z - v.s); }
    double Across(double x) const { return dir * (x - v.camX); }
    float Sx(double u, double d) const { return static_cast<float>(v.cx + f * u / d); }
    float Sy(double y, double d) const {
        return static_cast<float>(v.yh - f * (y - kCameraHeight) / d);
    }

    void DrawGround();
    void DrawBuildings();
    void DrawObjects();
    void DrawTree(double x, double z, uint32_t id);
    void DrawLamp(double x, double z);
    void DrawSignal(int64_t block);
    void DrawCar(double x, double zNear, int heading, uint32_t id, bool braking);
    void Finish(std::span<uint8_t> yuv, int number);
};

SceneRenderer::Impl::Impl(const VideoSpec& spec) : scene(*spec.scene) {
    w = spec.width;
    h = spec.height;
    dir = scene.rear ? -1 : 1;
    fps = static_cast<double>(spec.rate) / spec.scale;
    // A wide dash-camera lens: about 100 degrees across at the front, a
    // little narrower at the rear.
    f = w * (scene.rear ? 0.48 : 0.42);
    horizon = h * (scene.rear ? 0.47 : 0.44);
    cv.w = w;
    cv.h = h;
    cv.rgb.assign(static_cast<size_t>(w) * h * 3, 0);

    double lo = 0, hi = 0;
    if (!scene.metres.empty()) {
        lo = *std::min_element(scene.metres.begin(), scene.metres.end());
        hi = *std::max_element(scene.metres.begin(), scene.metres.end());
    }
    const auto first = static_cast<int64_t>(std::floor((lo - kFarthest) / kBlock)) - 1;
    const auto last = static_cast<int64_t>(std::floor((hi + kFarthest) / kBlock)) + 1;
    for (int side = 0; side < 2; ++side) {
        lots[side] = MakeLots(scene.seed, side, first, last, false);
        backdrop[side] = MakeLots(scene.seed, side, first, last, true);
    }
    clockBase = scene.start.hour * 3600.0 + scene.start.minute * 60.0 + scene.start.second;
    DrawSky();
    DrawOverlay();
    FindRedPhases();
    QueueOncoming();
    asphaltTile = MakeAsphalt(scene.seed);
    leafTile = MakeLeaves(scene.seed);
    for (double x = kTrackFrom; x < kCurbRight + 1; x += 1.0 / 16) {
        double nearest = 1e9;
        for (double lane : {0.0, 3.2, 6.6, 9.9})
            for (double side : {-0.8, 0.8}) nearest = std::min(nearest, std::fabs(x - lane - side));
        const bool road = x > kCurbLeft && x < kCurbRight;
        tracks.push_back(road ? static_cast<float>(-8.0 * std::max(0.0, 1 - nearest / 0.45))
                              : 0.0f);
    }

    // Lens fall-off towards the corners.
    vignette.resize(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double dx = (x - w / 2.0) / (w / 2.0), dy = (y - h / 2.0) / (h / 2.0);
            const double r2 = (dx * dx * 0.8 + dy * dy * 0.6);
            vignette[static_cast<size_t>(y) * w + x] =
                static_cast<uint16_t>(std::lround(256 * (1.0 - 0.28 * r2 * r2)));
        }
}

double SceneRenderer::Impl::MetresAt(double record) const {
    const auto& m = scene.metres;
    if (m.empty()) return 0;
    if (record <= 0) return m.front();
    const auto i = static_cast<size_t>(record);
    if (i + 1 >= m.size()) return m.back();
    const double t = record - static_cast<double>(i);
    return m[i] + (m[i + 1] - m[i]) * t;
}

double SceneRenderer::Impl::SpeedAt(double record) const {
    const double dt = scene.recordSeconds * scene.clockScale;
    return (MetresAt(record + 1) - MetresAt(record - 1)) / (2 * dt);
}

double SceneRenderer::Impl::AccelAt(double record) const {
    const double dt = scene.recordSeconds * scene.clockScale;
    return (SpeedAt(record + 3) - SpeedAt(record - 3)) / (6 * dt);
}

// Signals turn red some seconds before the car comes to a stop in front of
// them and green just before it moves off again.
void SceneRenderer::Impl::FindRedPhases() {
    const auto& m = scene.metres;
    const double dt = scene.recordSeconds * scene.clockScale;
    size_t i = 0;
    while (i + 1 < m.size()) {
        if (std::fabs(m[i + 1] - m[i]) > 0.002) {
            ++i;
            continue;
        }
        size_t j = i;
        while (j + 1 < m.size() && std::fabs(m[j + 1] - m[j]) <= 0.002) ++j;
        const double at = m[i];
        // The crossing ahead of the stopping car.
        const auto block = static_cast<int64_t>(std::floor((at + dir * 0.0) / kBlock)) + 1;
        const double line = block * kBlock - 6.0;
        if (line - at > 0 && line - at < 30) {
            const double from = i == 0 ? -1e9 : i * dt - 7.0;
            const double to = j + 1 >= m.size() ? 1e9 : j * dt - 0.8;
            red.emplace(block, std::make_pair(from, to));
        }
        i = j + 1;
    }
}

// Oncoming cars that reach their stop line while our light is red (theirs
// is red too) queue there and move off one after another when it turns green.
void SceneRenderer::Impl::QueueOncoming() {
    const double end = scene.metres.size() * scene.recordSeconds * scene.clockScale;
    for (const auto& [block, phase] : red) {
        const double line = block * kBlock + CrossWidth(scene.seed, block) + 6.5;
        // Their light turns red a little after ours; phases open at either end
        // of the clip are cut to what the clip can show.
        const double from = std::max(phase.first, -20.0) + 3.0;
        const double to = std::min(phase.second, end + 5.0);
        for (int lane = 0; lane < 2; ++lane) {
            const Stream& st = kOncoming[lane];
            int queue = 0;
            const auto first = static_cast<int64_t>(std::floor(
                                   (line + st.speed * (clockBase + from)) / st.spacing)) -
                               2;
            for (int64_t n = first; n < first + 400; ++n) {
                if (!OncomingPresent(lane, n) || holds.count({lane, n})) continue;
                const double base = OncomingBase(lane, n);
                const double reaches = (base - line) / st.speed - clockBase;
                if (reaches < from) continue;
                const double release = to + 1.0 + 1.6 * queue;
                if (reaches >= release) break;
                const double queued = line + 5.0 + 7.5 * queue;
                const double arrives = (base - queued) / st.speed - clockBase;
                holds[{lane, n}] = Hold{queued, release, release - arrives};
                ++queue;
            }
        }
    }
}

void SceneRenderer::Impl::DrawSky() {
    // Taller and wider than the picture so the camera's sway can move over it.
    skyMargin = h / 20 + 4;
    sky.w = w + 2 * skyMargin;
    sky.h = static_cast<int>(horizon) + 2 * skyMargin + 2;
    sky.rgb.assign(static_cast<size_t>(sky.w) * sky.h * 3, 0);
    const double hz = horizon + skyMargin;
    const Col top = scene.rear ? Rgb(92, 132, 182) : Rgb(78, 128, 192);
    const Col low = Rgb(196, 212, 226);
    for (int y = 0; y < sky.h; ++y) {
        const double t = std::clamp(y / hz, 0.0, 1.0);
        const Col base = Mix(top, low, static_cast<float>(std::pow(t, 1.6)));
        for (int x = 0; x < sky.w; ++x) {
            // Fair-weather clouds: noise thresholded softly, flattened towards
            // the horizon.
            const float nx = static_cast<float>(x) / static_cast<float>(w) * 5.0f;
            const float ny = static_cast<float>(y) / static_cast<float>(hz) * 3.5f / 0.6f;
            float n = Noise2(nx, ny, scene.seed + 5) * 0.55f +
                      Noise2(nx * 2.3f, ny * 2.3f, scene.seed + 6) * 0.3f +
                      Noise2(nx * 5.1f, ny * 5.1f, scene.seed + 7) * 0.15f;
            float cloud =
                std::clamp((n - 0.56f) * 4.0f, 0.0f, 1.0f) * static_cast<float>(1 - 0.5 * t);
            const Col shade =
                Mix(Rgb(246, 246, 244), Rgb(196, 200, 208), std::clamp((n - 0.6f) * 3, 0.0f, 1.0f));
            sky.Blend(x, y, Mix(base, shade, cloud), 1);
        }
    }
    // Hills along the horizon, two ranges.
    for (int layer = 0; layer < 2; ++layer) {
        const Col c = layer == 0 ? Rgb(132, 150, 166) : Rgb(92, 112, 106);
        const double height = h * (layer == 0 ? 0.05 : 0.03) * (scene.rear ? 0.6 : 1.0);
        for (int x = 0; x < sky.w; ++x) {
            const float a = static_cast<float>(x) / static_cast<float>(w);
            const double ridge = height * (0.55 * Noise2(a * 3.0f, 0.5f, scene.seed + 20 + layer) +
                                           0.35 * Noise2(a * 9.0f, 1.5f, scene.seed + 30 + layer) +
                                           0.10 * Noise2(a * 27.0f, 2.5f, scene.seed + 40 + layer));
            const double y0 = hz - ridge;
            for (int y = std::max(0, static_cast<int>(y0)); y < sky.h; ++y)
                sky.Blend(x, y, c, std::clamp(static_cast<float>(y + 1 - y0), 0.0f, 1.0f));
        }
    }
}

// What is fixed to the camera: the bonnet at the bottom of the front picture,
// the dark frame and heater wires of the rear window.
void SceneRenderer::Impl::DrawOverlay() {
    auto put = [&](int x, int y, Col c, float a) {
        if (a > 0.003f) overlay.push_back({x, y, c, std::min(a, 1.0f)});
    };
    if (!scene.rear) {
        for (int x = 0; x < w; ++x) {
            const double u = (x - w / 2.0) / (w / 2.0);
            const double edge = h * (0.905 + 0.06 * u * u);
            for (int y = std::max(0, static_cast<int>(edge)); y < h; ++y) {
                const double below = (y - edge) / (h * 0.1);
                // Dark paint that mirrors the sky near its edge.
                Col c = Mix(Rgb(96, 108, 124), Rgb(22, 25, 31),
                            static_cast<float>(std::clamp(below * 3.0, 0.0, 1.0)));
                c = c + Rgb(30, 32, 36) *
                            static_cast<float>(std::exp(-u * u * 6) * std::exp(-below * 8));
                put(x, y, c, static_cast<float>(std::clamp(y + 1 - edge, 0.0, 1.0)));
            }
        }
        return;
    }
    const double radius = h * 0.16;
    const double left = w * 0.012, right = w * 0.988, topEdge = h * 0.045, bottom = h * 1.03;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // Distance inside the rounded window opening (negative outside).
            const double px =
                std::clamp(static_cast<double>(x) + 0.5, left + radius, right - radius);
            const double py =
                std::clamp(static_cast<double>(y) + 0.5, topEdge + radius, bottom - radius);
            const double dist = radius - std::hypot(x + 0.5 - px, y + 0.5 - py);
            const float frame = static_cast<float>(std::clamp(0.5 - dist, 0.0, 1.0));
            if (frame > 0) {
                put(x, y, Rgb(14, 15, 17), frame);
                continue;
            }
            // Heater wires across the glass, out of focus.
            const double pitch = h * 0.075;
            const double k = std::fmod(y - topEdge, pitch);
            if (y > topEdge + pitch * 0.7 && y < h * 0.93 && k < std::max(1.0, h / 400.0))
                put(x, y, Rgb(70, 44, 34), 0.16f);
            // The glass darkens towards the frame.
            const float shade = static_cast<float>(std::clamp(1.0 - dist / (h * 0.06), 0.0, 1.0));
            if (shade > 0) put(x, y, Rgb(10, 10, 12), shade * 0.35f);
        }
}

void SceneRenderer::Impl::DrawGround() {
    const Col asphalt = Rgb(104, 104, 106);
    const Col pavement = Rgb(158, 152, 142);
    const Col curb = Rgb(186, 184, 178);
    const Col paint = Rgb(226, 226, 222);
    const Col yellow = Rgb(218, 168, 52);
    const Col lotGround = Rgb(118, 116, 112);
    const Col shadow{0.56f, 0.6f, 0.72f};
    const int firstRow = std::max(0, static_cast<int>(std::floor(v.yh)) + 1);
    for (int y = firstRow; y < h; ++y) {
        const double d = f * kCameraHeight / (y + 0.5 - v.yh);
        const double z = v.s + dir * d;
        // Columns of a world X on this row.
        auto col = [&](double x) { return static_cast<float>(v.cx + f * Across(x) / d); };
        auto span = [&](double xa, double xb, Col c, float a = 1) {
            cv.Span(y, col(xa), col(xb), c, a);
        };
        // Fine detail fades with distance so it does not shimmer.
        const float detail = static_cast<float>(std::clamp(1.0 - (d - 40) / 80, 0.0, 1.0));

        const auto block = static_cast<int64_t>(std::floor(z / kBlock));
        const double inBlock = z - block * kBlock;
        const double cross = CrossWidth(scene.seed, block);
        const bool crossing = inBlock < cross;
        if (crossing) {
            span(-1e4, 1e4, asphalt);
        } else {
            span(-1e4, kFacadeLeft, lotGround);
            span(kFacadeLeft, kCurbLeft - kCurbWidth, pavement);
            span(kCurbLeft - kCurbWidth, kCurbLeft, curb);
            span(kCurbLeft, kCurbRight, asphalt);
            span(kCurbRight, kCurbRight + kCurbWidth, curb);
            span(kCurbRight + kCurbWidth, kFacadeRight, pavement);
            span(kFacadeRight, 1e4, lotGround);
        }
        // Markings.
        const double toNext = (block + 1) * kBlock - z;  // to the next crossing street
        const double pastCross = inBlock - cross;        // beyond this one
        const bool zebraNear = toNext > 0.6 && toNext < 4.6;
        const bool zebraFar = pastCross > 0.6 && pastCross < 4.6;
        if (!crossing) {
            const float strength = detail * 0.85f + 0.15f;
            const bool dash = std::fmod(z + 1000 * kDash * 2, 2 * kDash) < kDash;
            auto line = [&](double x, Col c, bool on) {
                if (on) span(x, x + kLineWidth, c, strength);
            };
            const bool markings = !zebraNear && !zebraFar;
            line(kEdgeLineLeft, paint, markings);
            line(kLaneLine, paint, markings && dash && toNext > 30);
            line(kCentreLine, yellow, markings);
            line(kCentreLine + 2 * kLineWidth, yellow, markings);
            line(kOncomingLaneLine, paint, markings && dash && pastCross > 30);
            line(kEdgeLineRight, paint, markings);
            if (zebraNear || zebraFar)
                for (double x = kCurbLeft + 0.4; x < kCurbRight - 0.4; x += 0.9)
                    span(x, x + 0.45, paint, 0.85f * strength);
            if (toNext > 6.05 && toNext < 6.5) span(kCurbLeft, kCentreLine, paint, strength);
            if (pastCross > 6.05 && pastCross < 6.5)
                span(kCentreLine + 0.3, kCurbRight, paint, strength);
            // The diamond that warns of a crossing ahead.
            if (toNext > 30 && toNext < 32.5) {
                const double half = 0.6 * (1 - std::fabs(toNext - 31.25) / 1.25);
                span(-half, half, paint, 0.8f * strength);
            }
        }
        // Grain and wheel tracks, fixed to the road so they stream past.
        if (detail > 0) {
            const double step = dir * d / f;  // world X per column
            const double x0 = v.camX + dir * (0.5 - v.cx) * d / f;
            const double tz = z * 20;
            const auto tz0 = static_cast<int>(std::floor(tz));
            const auto wz = static_cast<int32_t>((tz - tz0) * 256);
            // Texel and wheel-track positions step along the row in 16.16
            // fixed point.
            const auto amp = static_cast<int32_t>(detail * 256);
            const float* row0 =
                &asphaltTile.v[static_cast<size_t>(tz0 & (Tile::kSize - 1)) * Tile::kSize];
            const float* row1 =
                &asphaltTile.v[static_cast<size_t>((tz0 + 1) & (Tile::kSize - 1)) * Tile::kSize];
            int64_t tx = std::llround(x0 * 20 * 65536), tstep = std::llround(step * 20 * 65536);
            int64_t kx = std::llround((x0 - kTrackFrom) * 16 * 65536),
                    kstep = std::llround(step * 16 * 65536);
            const auto tracksEnd = static_cast<int64_t>(tracks.size());
            uint8_t* p = cv.At(0, y);
            for (int c = 0; c < w; ++c, p += 3, tx += tstep, kx += kstep) {
                const auto ix = static_cast<int32_t>(tx >> 16) & (Tile::kSize - 1);
                const auto ix1 = (ix + 1) & (Tile::kSize - 1);
                const auto wx = static_cast<float>(tx & 0xFFFF) * (1.0f / 65536);
                const float a = row0[ix] + (row0[ix1] - row0[ix]) * wx;
                const float b = row1[ix] + (row1[ix1] - row1[ix]) * wx;
                float g = a + (b - a) * static_cast<float>(wz) * (1.0f / 256);
                // Darker where the wheels run, in the middle of each lane.
                const int64_t k = kx >> 16;
                if (k >= 0 && k < tracksEnd) g += tracks[static_cast<size_t>(k)];
                const int32_t gi = static_cast<int32_t>(g * static_cast<float>(amp)) >> 8;
                p[0] = static_cast<uint8_t>(std::clamp(p[0] + gi, 0, 255));
                p[1] = static_cast<uint8_t>(std::clamp(p[1] + gi, 0, 255));
                p[2] = static_cast<uint8_t>(std::clamp(p[2] + gi, 0, 255));
            }
        }
        // Shade of the buildings on the east side (morning sun): deep on the
        // pavement, reaching into the road where the building is tall.
        const Lot* east = FindLot(lots[1], z - 2.0);
        const double tall = east ? east->height : 0;
        if (tall > 0) {
            float c0 = col(kFacadeRight - 0.55 * tall), c1 = col(1e4);
            if (c0 > c1) std::swap(c0, c1);
            const int i0 = std::max(0, static_cast<int>(std::floor(c0)));
            const int i1 = std::min(w - 1, static_cast<int>(std::ceil(c1)) - 1);
            for (int x = i0; x <= i1; ++x) cv.Scale(x, y, shadow, Canvas::Cover(x, c0, c1));
        }
        // Haze over the far street.
        const float far = static_cast<float>(std::clamp((d - 60) / 900, 0.0, 0.55));
        if (far > 0) span(-1e5, 1e5, kHaze, far);
    }
}

void SceneRenderer::Impl::DrawBuildings() {
    for (int x = 0; x < w; ++x) {
        const double ux = (x + 0.5 - v.cx) / f;
        if (std::fabs(ux) < 1e-4) continue;
        // The side of the street this column looks at.
        int side = -1;
        double uf = 0;
        for (int s = 0; s < 2; ++s) {
            const double u = Across(s == 0 ? kFacadeLeft : kFacadeRight);
            if ((u < 0) == (ux < 0)) {
                side = s;
                uf = u;
            }
        }
        if (side < 0) continue;
        const double sgn = uf < 0 ? -1 : 1;
        // Morning sun from the south-east: fronts facing east (the west side
        // of the street) are lit, the others in shade.
        const float light = side == 0 ? 1.0f : 0.7f;
        const double d = uf / ux;
        double roofRow = h;  // where the nearest building ends upwards

        auto column = [&](double depth, double height, const Lot* lot, double along, float lit,
                          bool windows, double limit) {
            const double top = v.yh - f * (height - kCameraHeight) / depth;
            const double base = std::min(limit, v.yh + f * kCameraHeight / depth);
            if (base <= 0 || top >= h) return top;
            const float far = static_cast<float>(std::clamp((depth - 60) / 900, 0.0, 0.55));
            // Weathering: fronts a little uneven in brightness.
            const float worn =
                0.94f + 0.1f * Noise2(static_cast<float>(along) * 0.4f, 0.5f, lot->id);
            const Col wall = Mix(lot->wall * (lit * worn), kHaze, far);
            const Col slab = wall * 0.9f;
            const Col parapet = wall * 0.84f;
            const Col glass = Mix(lot->glass * (0.75f + 0.25f * lit), kHaze, far);
            const Col sky = Mix(Rgb(150, 168, 186) * (0.8f + 0.2f * lit), kHaze, far);
            const Col sign = Mix(lot->sign * (0.8f + 0.2f * lit), kHaze, far);
            const Col shop = Mix(Rgb(74, 84, 92) * (0.8f + 0.2f * lit), kHaze, far);
            const Col mullion = Mix(Rgb(40, 42, 44), kHaze, far);
            const Col door = Mix(Rgb(30, 32, 36), kHaze, far);
            const double length = lot->z1 - lot->z0;
            const double metresPerRow = depth / f;
            // Across the front: inside a window column or on the wall.
            const double inBay = along - std::floor(along / lot->bay) * lot->bay;
            const bool winCol = windows && inBay > (lot->bay - lot->windowWidth) / 2 &&
                                inBay < (lot->bay + lot->windowWidth) / 2 && along > 0.8 &&
                                along < length - 0.8;
            const bool pillar = windows && (along < 0.4 || along > length - 0.4);
            const double across = along / length;
            const bool signCol = lot->street == 0 && across > lot->signFrom && across < lot->signTo;
            const bool frame = std::fmod(along + 100, 1.8) < 0.08;
            const bool entrance = lot->street == 1 && std::fabs(across - 0.5) < 0.12;
            const auto bay = static_cast<uint32_t>(along / lot->bay);
            const double invFloor = 1.0 / lot->floor;
            const int y0 = std::max(0, static_cast<int>(std::floor(top)));
            const int y1 = std::min(h - 1, static_cast<int>(std::ceil(base)) - 1);
            for (int y = y0; y <= y1; ++y) {
                const double yy = kCameraHeight + (v.yh - (y + 0.5)) * metresPerRow;
                Col c = wall;
                if (!windows) {
                    c = height - yy < 0.5 ? parapet : wall;
                } else if (height - yy < 0.5) {
                    c = parapet;
                } else if (pillar) {
                    c = wall * 0.93f;
                } else if (yy < 3.6) {
                    // Street level.
                    if (lot->street == 0) {
                        if (yy > 2.9)
                            c = signCol ? sign : slab;
                        else if (yy > 0.25)
                            c = frame ? mullion
                                      : Mix(shop, sky, static_cast<float>(yy / 2.9 * 0.35));
                    } else if (lot->street == 1) {
                        if (entrance && yy < 2.6)
                            c = door;
                        else if (winCol && yy > 0.9 && yy < 2.6)
                            c = glass;
                    }
                } else {
                    const double inFloor = yy - std::floor(yy * invFloor) * lot->floor;
                    if (inFloor < 0.22) {
                        c = slab;
                    } else if (winCol && inFloor > lot->windowBottom && inFloor < lot->windowTop) {
                        const auto fl = static_cast<uint32_t>(yy * invFloor);
                        const float up = static_cast<float>((inFloor - lot->windowBottom) /
                                                            (lot->windowTop - lot->windowBottom));
                        c = Mix(glass, sky, 0.45f * up);
                        if (Unit(lot->id, fl, bay) > 0.78)
                            c = Mix(c, Rgb(196, 196, 188), 0.55f);  // blinds
                    }
                }
                cv.Blend(x, y, c,
                         Canvas::Cover(y, static_cast<float>(top), static_cast<float>(base)));
            }
            return top;
        };

        const std::vector<Lot>& row = lots[side];
        const Lot* lot = d > 0.3 && d < kFarthest ? FindLot(row, v.s + dir * d) : nullptr;
        if (lot && lot->height > 0) {
            const double z = v.s + dir * d;
            roofRow = column(d, lot->height, lot, z - lot->z0, light, true, h);
        } else if (d > 0.3 && d < kFarthest) {
            // A gap: the end wall of the next building beyond it, if the ray
            // meets it, else the buildings of the next street.
            const double z = v.s + dir * d;
            const Lot* next = nullptr;
            if (dir > 0) {
                auto it = std::upper_bound(row.begin(), row.end(), z,
                                           [](double val, const Lot& l) { return val < l.z0; });
                for (; it != row.end() && !next; ++it)
                    if (it->height > 0) next = &*it;
            } else {
                auto it = std::upper_bound(row.begin(), row.end(), z,
                                           [](double val, const Lot& l) { return val < l.z1; });
                while (it != row.begin() && !next) {
                    --it;
                    if (it->height > 0 && it->z1 <= z + 1e-9) next = &*it;
                }
            }
            if (next) {
                const double dn = Depth(dir > 0 ? next->z0 : next->z1);
                const double u = ux * dn;
                if (dn > 0.3 && sgn * u >= sgn * uf && sgn * u <= sgn * uf + kBackdropDepth)
                    roofRow =
                        column(dn, next->height, next, 0.5, dir > 0 ? 0.95f : 0.62f, false, h);
            }
        }
        // Taller buildings of the next street, above the nearer roofs.
        const double ub = uf + sgn * kBackdropDepth;
        const double db = ub / ux;
        if (db > 0.3 && db < kFarthest * 1.5 && roofRow > 0) {
            const double zb = v.s + dir * db;
            if (const Lot* b = FindLot(backdrop[side], zb))
                column(db, b->height, b, zb - b->z0, light * 0.92f, true, roofRow);
        }
    }
}

void SceneRenderer::Impl::DrawTree(double x, double z, uint32_t id) {
    const double d = Depth(z);
    if (d < 0.8) return;
    const double u = Across(x);
    const float sx = Sx(u, d);
    const double size = 0.8 + 0.4 * Unit(scene.seed, 51, id);
    const float ppm = static_cast<float>(f / d);  // pixels per metre
    if (sx < -6 * ppm || sx > w + 6 * ppm) return;
    const float far = static_cast<float>(std::clamp((d - 60) / 900, 0.0, 0.55));
    // Trunk.
    cv.Rect(sx - 0.14f * ppm, Sy(2.8 * size, d), sx + 0.14f * ppm, Sy(0, d),
            Mix(Rgb(74, 62, 52), kHaze, far));
    // Crown: a few overlapping clumps of leaves.
    const Col leaf = Unit(scene.seed, 52, id) < 0.5 ? Rgb(70, 108, 56) : Rgb(88, 120, 60);
    for (int k = 0; k < 4; ++k) {
        const double ox = (Unit(scene.seed, 53 + k, id) - 0.5) * 1.6 * size;
        const double oy = 3.6 * size + (Unit(scene.seed, 57 + k, id) - 0.3) * 1.6 * size;
        const double r = (1.0 + 0.5 * Unit(scene.seed, 61 + k, id)) * size;
        const float cx = sx + static_cast<float>(ox) * ppm;
        const float cy = Sy(oy, d);
        const float rr = static_cast<float>(r) * ppm;
        const float ox0 = static_cast<float>(Hash(id, static_cast<uint32_t>(k)) & 511);
        cv.Ellipse(cx, cy, rr, rr * 0.9f, 1.0f, [&](float a, float b) {
            // Lit from the upper left; leafy blotches scale with the tree.
            const float n = leafTile.Sample(ox0 + a * 70, b * 70);
            const float lit = 0.8f + 0.3f * (-a * 0.4f - b * 0.6f) + 0.22f * n;
            return Mix(leaf * lit, kHaze, far);
        });
    }
}

void SceneRenderer::Impl::DrawLamp(double x, double z) {
    const double d = Depth(z);
    if (d < 0.8) return;
    const double u = Across(x);
    const float sx = Sx(u, d);
    const float ppm = static_cast<float>(f / d);
    if (sx < -8 * ppm || sx > w + 8 * ppm) return;
    const float far = static_cast<float>(std::clamp((d - 60) / 900, 0.0, 0.55));
    const Col pole = Mix(Rgb(120, 124, 126), Rgb(188, 200, 212), far);
    cv.Rect(sx - 0.08f * ppm, Sy(7.8, d), sx + 0.08f * ppm, Sy(0, d), pole);
    // The arm reaches over the road.
    const double reach = (x < 0 ? 1.6 : -1.6) * dir;
    const float ax = Sx(u + reach, d);
    cv.Rect(std::min(sx, ax), Sy(7.8, d), std::max(sx, ax), Sy(7.65, d), pole);
    cv.Rect(std::min(ax, ax + 0.5f * ppm * static_cast<float>(reach > 0 ? 1 : -1)) - 0.1f * ppm,
            Sy(7.75, d), std::max(ax, ax + 0.5f * ppm * static_cast<float>(reach > 0 ? 1 : -1)),
            Sy(7.55, d), Mix(Rgb(210, 212, 206), pole, 0.3f));
}

void SceneRenderer::Impl::DrawSignal(int64_t block) {
    const double zc = block * kBlock;
    const double cross = CrossWidth(scene.seed, block);
    // Ours hangs over the far side of the crossing; it is seen from behind
    // by the rear camera.
    const double z = zc + cross + 1.0;
    const double d = Depth(z);
    if (d < 1.0) return;
    const float ppm = static_cast<float>(f / d);
    const float far = static_cast<float>(std::clamp((d - 60) / 900, 0.0, 0.55));
    const Col grey = Mix(Rgb(96, 100, 102), kHaze, far);
    const float px = Sx(Across(kCurbLeft - 0.5), d);
    const float armEnd = Sx(Across(3.6), d);
    cv.Rect(px - 0.12f * ppm, Sy(6.0, d), px + 0.12f * ppm, Sy(0, d), grey);
    cv.Rect(std::min(px, armEnd), Sy(5.85, d), std::max(px, armEnd), Sy(5.7, d), grey);
    const float bx0 = Sx(Across(1.0), d), bx1 = Sx(Across(2.4), d);
    const float by0 = Sy(6.05, d), by1 = Sy(5.55, d);
    cv.Rect(std::min(bx0, bx1), by0, std::max(bx0, bx1), by1, Mix(Rgb(60, 64, 66), kHaze, far));
    if (dir < 0) return;  // the back of the box
    // Green, yellow, red from the left; lit by the car's red phases.
    const double t = v.t;
    int lit = 0;
    auto range = red.equal_range(block);
    for (auto it = range.first; it != range.second; ++it) {
        if (t >= it->second.first && t < it->second.second)
            lit = 2;
        else if (t >= it->second.first - 3 && t < it->second.first && lit == 0)
            lit = 1;
    }
    const Col on[] = {Rgb(60, 230, 190), Rgb(255, 190, 40), Rgb(255, 50, 40)};
    const Col off[] = {Rgb(40, 62, 60), Rgb(66, 60, 44), Rgb(70, 44, 44)};
    for (int i = 0; i < 3; ++i) {
        const float lx = std::min(bx0, bx1) + (std::fabs(bx1 - bx0)) * (0.18f + 0.32f * i);
        const float r = 0.16f * ppm;
        const Col c = Mix(i == lit ? on[i] : off[i], kHaze, far);
        cv.Ellipse(lx, (by0 + by1) / 2, r, r, 1.0f, [&](float, float) { return c; });
        if (i == lit)
            cv.Ellipse(lx, (by0 + by1) / 2, r * 2.2f, r * 2.2f, 0.25f,
                       [&](float, float) { return c; });
    }
}

// A car seen from behind or from the front, with its near side when it is
// off to one side. `zNear` is its end nearest the camera; `heading` is +1
// when it drives in our direction.
void SceneRenderer::Impl::DrawCar(double x, double zNear, int heading, uint32_t id, bool braking) {
    const CarLook look = LookOf(scene.seed, id);
    const double d0 = Depth(zNear);
    if (d0 < 0.5) return;
    const double d1 = d0 + look.length;
    const double u = Across(x);
    const float ppm = static_cast<float>(f / d0);
    const float sx = Sx(u, d0);
    if (sx < -4 * ppm || sx > w + 4 * ppm) return;
    const float far = static_cast<float>(std::clamp((d0 - 60) / 900, 0.0, 0.55));
    auto fog = [&](Col c) { return Mix(c, kHaze, far); };
    const double half = look.width / 2;
    // Which end we see: its rear when it drives away from the camera.
    const bool seeRear = heading == dir;

    // Shadow on the road.
    {
        const double n = d0 + 0.15, e = d1 - 0.3;
        const float a0 = Sx(u - half + 0.05, n), a1 = Sx(u + half - 0.05, n);
        const float b0 = Sx(u - half + 0.05, e), b1 = Sx(u + half - 0.05, e);
        const float y0 = Sy(0, n), y1 = Sy(0, e);
        for (int y = std::max(0, static_cast<int>(y1)); y <= std::min(h - 1, static_cast<int>(y0));
             ++y) {
            const float t = (y0 - y1) > 0.5f ? (y + 0.5f - y1) / (y0 - y1) : 1.0f;
            const float l = b0 + (a0 - b0) * t, r = b1 + (a1 - b1) * t;
            for (int c = std::max(0, static_cast<int>(l));
                 c <= std::min(w - 1, static_cast<int>(r)); ++c)
                cv.Scale(c, y, Col{0.35f, 0.35f, 0.37f}, Canvas::Cover(c, l, r));
        }
    }
    // The near side, when the car is off to one side of the camera.
    const Col body = fog(look.body);
    const Col glass = fog(Rgb(36, 42, 50));
    const double sideU = u > half ? u - half : (u < -half ? u + half : 0);
    if (sideU != 0) {
        const float xa = Sx(sideU, d0), xb = Sx(sideU, d1);
        auto band = [&](double from, double to, double y0, double y1, double inset, Col c) {
            const double da = d0 + look.length * from, db = d0 + look.length * to;
            const double su = sideU - (sideU > 0 ? inset : -inset);
            cv.Trapezoid(Sx(su, da), Sx(su, db), Sy(y1, da), Sy(y1, db), Sy(y0, da), Sy(y0, db), c);
        };
        const double top = look.height, belt = look.height * 0.7;
        cv.Trapezoid(xa, xb, Sy(belt, d0), Sy(belt, d1), Sy(0.3, d0), Sy(0.3, d1), body * 0.84f);
        band(0, 1, 0.3, 0.45, 0, body * 0.62f);        // sill
        band(0.02, 0.98, belt - 0.06, belt, 0, body);  // shoulder catching the light
        const double cabinFrom = look.kei ? 0.12 : 0.24, cabinTo = look.kei ? 0.94 : 0.78;
        band(cabinFrom, cabinTo, belt, top, 0.12, body * 0.8f);             // roof pillars
        band(cabinFrom + 0.03, 0.5, belt + 0.03, top - 0.08, 0.12, glass);  // front window
        band(0.53, cabinTo - 0.04, belt + 0.03, top - 0.08, 0.12, glass);   // rear window
        band(0.505, 0.515, 0.45, belt - 0.06, 0, body * 0.55f);             // door gap
        for (double at : {0.18, 0.8}) {
            const double dw = d0 + look.length * at;
            const float wx = Sx(sideU, dw);
            const float r = static_cast<float>(0.31 * f / dw);
            cv.Ellipse(wx, Sy(0.31, dw), r * 0.55f, r, 1.0f,
                       [&](float, float) { return fog(Rgb(18, 18, 20)); });
        }
    }
    // The end facing us.
    const float l = Sx(u - half, d0), r = Sx(u + half, d0);
    const float wdt = r - l;
    auto ry = [&](double y) { return Sy(y, d0); };
    cv.Rect(l + wdt * 0.06f, ry(0.32), l + wdt * 0.26f, ry(0.0), fog(Rgb(16, 16, 18)));  // tyres
    cv.Rect(l + wdt * 0.74f, ry(0.32), l + wdt * 0.94f, ry(0.0), fog(Rgb(16, 16, 18)));
    cv.Rect(l + wdt * 0.1f, ry(0.3), r - wdt * 0.1f, ry(0.14), fog(Rgb(22, 22, 24)));  // under
    cv.Rect(l, ry(look.height * 0.7), r, ry(0.26), body);                              // body
    cv.Rect(l, ry(0.45), r, ry(0.26), body * 0.72f);                                   // bumper
    cv.Rect(l + wdt * 0.06f, ry(look.height), r - wdt * 0.06f, ry(look.height * 0.7), body * 0.92f);
    const Col plate = fog(look.kei ? Rgb(236, 206, 60) : Rgb(232, 232, 224));
    if (seeRear) {
        cv.Rect(l + wdt * 0.1f, ry(look.height * 0.97), r - wdt * 0.1f, ry(look.height * 0.73),
                glass);
        const Col lamp = fog(braking ? Rgb(255, 54, 44) : Rgb(160, 26, 26));
        cv.Rect(l + wdt * 0.02f, ry(look.height * 0.66), l + wdt * 0.2f, ry(look.height * 0.56),
                lamp);
        cv.Rect(r - wdt * 0.2f, ry(look.height * 0.66), r - wdt * 0.02f, ry(look.height * 0.56),
                lamp);
        if (braking) {
            for (float cx : {l + wdt * 0.11f, r - wdt * 0.11f})
                cv.Ellipse(cx, ry(look.height * 0.61), wdt * 0.16f, wdt * 0.09f, 0.3f,
                           [&](float, float) { return Rgb(255, 60, 50); });
        }
        cv.Rect(l + wdt * 0.4f, ry(0.62), r - wdt * 0.4f, ry(0.47), plate);
    } else {
        // Windscreen with the sky in it, lamps, grille.
        cv.Rect(l + wdt * 0.08f, ry(look.height * 0.98), r - wdt * 0.08f, ry(look.height * 0.7),
                fog(Rgb(98, 112, 128)));
        cv.Rect(l + wdt * 0.12f, ry(look.height * 0.9), r - wdt * 0.12f, ry(look.height * 0.72),
                fog(Rgb(44, 50, 58)));
        cv.Rect(l + wdt * 0.03f, ry(0.78), l + wdt * 0.22f, ry(0.68), fog(Rgb(226, 228, 220)));
        cv.Rect(r - wdt * 0.22f, ry(0.78), r - wdt * 0.03f, ry(0.68), fog(Rgb(226, 228, 220)));
        cv.Rect(l + wdt * 0.3f, ry(0.74), r - wdt * 0.3f, ry(0.6), fog(Rgb(30, 32, 36)));
        cv.Rect(l + wdt * 0.4f, ry(0.56), r - wdt * 0.4f, ry(0.42), plate);
    }
}

void SceneRenderer::Impl::DrawObjects() {
    struct Item {
        double depth;
        int kind;  // 0 tree, 1 lamp, 2 signal, 3 car
        double x, z;
        int64_t n;
        int heading;
        bool braking;
    };
    std::vector<Item> items;
    const double nearZ = v.s + dir * 0.5, farZ = v.s + dir * 320.0;
    const double zLo = std::min(nearZ, farZ), zHi = std::max(nearZ, farZ);
    auto inCrossing = [&](double z, double margin) {
        const auto block = static_cast<int64_t>(std::floor(z / kBlock));
        const double in = z - block * kBlock;
        return in < CrossWidth(scene.seed, block) + margin || in > kBlock - margin;
    };
    // Street trees every 12 m and lamps every 30 m on both pavements.
    for (auto j = static_cast<int64_t>(std::floor(zLo / 12)); j <= static_cast<int64_t>(zHi / 12);
         ++j)
        for (int side = 0; side < 2; ++side) {
            const double z = j * 12.0 + 2.5 * Unit(scene.seed, 70 + side, Key(j));
            if (z < zLo || z > zHi || inCrossing(z, 3)) continue;
            items.push_back(
                {Depth(z), 0, side ? kTreeRight : kTreeLeft, z, j * 2 + side, 0, false});
        }
    for (auto j = static_cast<int64_t>(std::floor(zLo / 30)); j <= static_cast<int64_t>(zHi / 30);
         ++j)
        for (int side = 0; side < 2; ++side) {
            const double z = j * 30.0 + 6 + side * 15;
            if (z < zLo || z > zHi || inCrossing(z, 2)) continue;
            items.push_back({Depth(z), 1, side ? kLampRight : kLampLeft, z, j, 0, false});
        }
    for (auto k = static_cast<int64_t>(std::floor(zLo / kBlock));
         k <= static_cast<int64_t>(zHi / kBlock) + 1; ++k) {
        const double z = k * kBlock + CrossWidth(scene.seed, k) + 1.0;
        if (z > zLo && z < zHi) items.push_back({Depth(z), 2, 0, z, k, 0, false});
    }
    // Traffic. The cars in our direction keep their distance by the road
    // covered, so they stop and start with us; oncoming cars run at their
    // own speed.
    const double s = v.s;
    const double wave = std::sin(s / 57.0) * 0.5 + 0.5;
    const double gapAhead = 3.5 + 1.3 * v.speed + 14 * wave;
    const auto episode = static_cast<uint32_t>(std::floor(s / 900.0));
    auto addCar = [&](double x, double rearZ, int heading, uint32_t id, bool braking) {
        const CarLook look = LookOf(scene.seed, id);
        // The end nearest the camera.
        const double frontZ = rearZ + heading * look.length;
        const double nearEnd = Depth(rearZ) < Depth(frontZ) ? rearZ : frontZ;
        const double dd = Depth(nearEnd);
        if (dd > 0.5 && dd < 320) items.push_back({dd, 3, x, nearEnd, id, heading, braking});
    };
    const bool braking = v.accel < -0.8;
    // Cars ahead of us wait at a red light: held at the stop line while it is
    // red, moving off when it turns green.
    auto held = [&](double rearZ, double length) {
        if (dir < 0) return rearZ;
        for (const auto& [block, phase] : red) {
            const double line = block * kBlock - 6.0;
            if (v.s > line || v.t < phase.first || v.t > phase.second + 12) continue;
            const double since = std::max(0.0, v.t - phase.second);
            rearZ = std::min(rearZ, line - 0.3 - length + since * since);
        }
        return rearZ;
    };
    bool waiting = false;  // at a red light: brake lights on
    for (const auto& [block, phase] : red)
        waiting = waiting || (v.t >= phase.first && v.t <= phase.second);
    const uint32_t lead = 1000 + episode, beside = 2000 + episode;
    addCar(0.0, held(s + gapAhead, LookOf(scene.seed, lead).length), 1, lead, braking || waiting);
    addCar(3.2,
           held(s + 11 + 9 * (std::sin(s / 83.0 + 1) * 0.5 + 0.5) + 0.8 * v.speed,
                LookOf(scene.seed, beside).length),
           1, beside, braking || waiting);
    // Behind us (the rear camera's view), closing in during a tailgate.
    double gapBehind = 4.5 + 1.1 * v.speed + 10 * (std::sin(s / 71.0 + 2) * 0.5 + 0.5);
    const double rec = v.t / (scene.recordSeconds * scene.clockScale);
    if (scene.tailgateBegin >= 0 && rec > scene.tailgateBegin - 30 &&
        rec < scene.tailgateEnd + 30) {
        double k = 1;
        if (rec < scene.tailgateBegin) k = (rec - (scene.tailgateBegin - 30)) / 30;
        if (rec > scene.tailgateEnd) k = 1 - (rec - scene.tailgateEnd) / 30;
        gapBehind = gapBehind + (1.6 - gapBehind) * std::clamp(k, 0.0, 1.0);
    }
    const CarLook behind = LookOf(scene.seed, 3000 + episode);
    addCar(0.0, s - 4.6 - gapBehind - behind.length, 1, 3000 + episode, false);
    addCar(3.2, s - 16 - 8 * (std::sin(s / 91.0) * 0.5 + 0.5) - 0.9 * v.speed, 1, 4000 + episode,
           false);
    // Oncoming: two lanes of cars at about 40 km/h, spaced irregularly,
    // waiting at the lights that stop us.
    for (int lane = 0; lane < 2; ++lane) {
        const Stream& st = kOncoming[lane];
        const double offset = st.speed * (clockBase + v.t);  // cars move towards -Z
        for (auto n = static_cast<int64_t>(std::floor((zLo + offset) / st.spacing)) - 2;
             n <= static_cast<int64_t>((zHi + offset) / st.spacing) + 1; ++n) {
            const uint32_t id = OncomingId(lane, n);
            if (!OncomingPresent(lane, n)) continue;
            double z = OncomingBase(lane, n) - offset;
            if (auto it = holds.find({lane, n}); it != holds.end()) {
                const Hold& hd = it->second;
                z = v.t < hd.release ? std::max(z, hd.queued) : z + st.speed * hd.delay;
            }
            addCar(st.x, z, -1, id, false);
        }
    }
    std::sort(items.begin(), items.end(),
              [](const Item& a, const Item& b) { return a.depth > b.depth; });
    for (const Item& it : items) {
        switch (it.kind) {
            case 0:
                DrawTree(it.x, it.z, static_cast<uint32_t>(it.n));
                break;
            case 1:
                DrawLamp(it.x, it.z);
                break;
            case 2:
                DrawSignal(it.n);
                break;
            default:
                DrawCar(it.x, it.z, it.heading, static_cast<uint32_t>(it.n), it.braking);
                break;
        }
    }
}

void SceneRenderer::Impl::Finish(std::span<uint8_t> yuv, int number) {
    for (const Over& o : overlay) cv.Blend(o.x, o.y, o.c, o.a);

    // BT.601 studio range in 8.8 fixed point, chroma from 2 × 2 sums. The
    // lens darkens the corners (the vignette scales each pixel first); the
    // rear camera's tinted glass takes some light and a little red.
    const double kr = scene.rear ? 0.78 : 1.0, kg = scene.rear ? 0.84 : 1.0,
                 kb = scene.rear ? 0.84 : 1.0;
    auto q = [](double c, double k) {
        return static_cast<int32_t>(std::lround(c * k * 256 / 255));
    };
    const int32_t yr = q(65.481, kr), yg = q(128.553, kg), yb = q(24.966, kb);
    const int32_t ur = q(-37.797, kr), ug = q(-74.203, kg), ub = q(112.0, kb);
    const int32_t vr = q(112.0, kr), vg = q(-93.786, kg), vb = q(-18.214, kb);
    uint8_t* luma = yuv.data();
    uint8_t* cb = luma + static_cast<size_t>(w) * h;
    uint8_t* cr = cb + static_cast<size_t>(w / 2) * (h / 2);
    const uint8_t* rgb = cv.rgb.data();
    for (int y = 0; y < h; y += 2) {
        uint8_t* l0 = luma + static_cast<size_t>(y) * w;
        uint8_t* l1 = l0 + w;
        const uint8_t* p0 = rgb + static_cast<size_t>(y) * w * 3;
        const uint8_t* p1 = p0 + static_cast<size_t>(w) * 3;
        const uint16_t* v0 = vignette.data() + static_cast<size_t>(y) * w;
        const uint16_t* v1 = v0 + w;
        uint8_t* ub8 = cb + static_cast<size_t>(y / 2) * (w / 2);
        uint8_t* vr8 = cr + static_cast<size_t>(y / 2) * (w / 2);
        for (int x = 0; x < w; x += 2) {
            int32_t sr = 0, sg = 0, sb = 0;
            auto one = [&](const uint8_t* p, uint16_t v, uint8_t& out) {
                const int32_t r = p[0] * v >> 8, g = p[1] * v >> 8, b = p[2] * v >> 8;
                out = static_cast<uint8_t>(16 + ((yr * r + yg * g + yb * b + 128) >> 8));
                sr += r;
                sg += g;
                sb += b;
            };
            one(p0 + x * 3, v0[x], l0[x]);
            one(p0 + x * 3 + 3, v0[x + 1], l0[x + 1]);
            one(p1 + x * 3, v1[x], l1[x]);
            one(p1 + x * 3 + 3, v1[x + 1], l1[x + 1]);
            ub8[x / 2] = static_cast<uint8_t>(
                std::clamp(128 + ((ur * sr + ug * sg + ub * sb + 512) >> 10), 16, 240));
            vr8[x / 2] = static_cast<uint8_t>(
                std::clamp(128 + ((vr * sr + vg * sg + vb * sb + 512) >> 10), 16, 240));
        }
    }

    // The recorder's stamp: date and time of the frame, bottom left.
    const double seconds = number / fps * scene.clockScale;
    const StampBox box = StampPlace(w, h);
    Stamp(yuv, w, h,
          StampText(AddSeconds(scene.start, static_cast<long>(std::floor(seconds + 1e-6)))), box.x,
          box.y, box.px);
}

SceneRenderer::SceneRenderer(const VideoSpec& spec) : impl_(std::make_unique<Impl>(spec)) {}
SceneRenderer::~SceneRenderer() = default;

void SceneRenderer::Draw(int number, std::span<uint8_t> yuv) {
    Impl& m = *impl_;
    if (yuv.size() < static_cast<size_t>(m.w) * m.h * 3 / 2) return;
    const RoadScene& sc = m.scene;
    const double video = number / m.fps;
    const double record = video / sc.recordSeconds;
    m.v.s = m.MetresAt(record);
    m.v.t = video * sc.clockScale;
    m.v.speed = m.SpeedAt(record);
    m.v.accel = m.AccelAt(record);
    // The camera rides on the car: it bobs with the road, pitches when the
    // car brakes or speeds up, wanders a little across the lane and shakes
    // when the car is knocked.
    const double scale = m.h / 1080.0;
    const double moving = std::min(1.0, m.v.speed / 6.0);
    double dy =
        scale * moving *
        (1.4 * std::sin(m.v.s / 6.1 * 2 * M_PI) + 0.9 * std::sin(m.v.s / 2.3 * 2 * M_PI + 1));
    dy += scale * 4.0 * std::clamp(m.v.accel, -6.0, 4.0) * (sc.rear ? -1 : 1);
    double dx = scale * 5.0 * std::sin(m.v.s / 47.0);
    for (int k : sc.knocks) {
        const double since = (record - k) * sc.recordSeconds * sc.clockScale;
        if (since < 0 || since > 2.0) continue;
        const double a = scale * 26.0 * std::exp(-since * 3.5);
        dy += a * std::sin(since * 2 * M_PI * 6.5);
        dx += 0.6 * a * std::sin(since * 2 * M_PI * 4.5 + 1.3);
    }
    m.v.camX = 0.12 * std::sin(m.v.s / 83.0);
    m.v.cx = m.w / 2.0 + dx;
    m.v.yh = m.horizon + dy;

    // Sky: a shifted copy of the picture drawn up front.
    const int ox = std::clamp(m.skyMargin - static_cast<int>(std::lround(dx)), 0, m.sky.w - m.w);
    const int oy = std::clamp(m.skyMargin - static_cast<int>(std::lround(dy)), 0, m.sky.h - 1);
    const int rows = std::min(m.h, m.sky.h - oy);
    for (int y = 0; y < rows; ++y)
        std::memcpy(m.cv.At(0, y), m.sky.At(ox, oy + y), static_cast<size_t>(m.w) * 3);
    if (rows < m.h) std::memset(m.cv.At(0, rows), 120, static_cast<size_t>(m.h - rows) * m.w * 3);

    m.DrawGround();
    m.DrawBuildings();
    m.DrawObjects();
    m.Finish(yuv, number);
}

}  // namespace trivexa::clipforge::detail

namespace trivexa::clipforge {

std::vector<std::vector<uint8_t>> DrawSceneFrames(const VideoSpec& spec,
                                                  std::span<const int> numbers) {
    std::vector<std::vector<uint8_t>> out;
    if (!spec.scene || spec.width < 2 || spec.height < 2 || spec.width % 2 || spec.height % 2 ||
        spec.rate == 0 || spec.scale == 0)
        return out;
    detail::SceneRenderer renderer(spec);
    for (int n : numbers) {
        out.emplace_back(static_cast<size_t>(spec.width) * spec.height * 3 / 2);
        renderer.Draw(n, out.back());
    }
    return out;
}

std::optional<std::string> ReadSceneStamp(std::span<const uint8_t> luma, int width, int height,
                                          int stride) {
    if (width < 40 || height < 40 || stride < width ||
        luma.size() < static_cast<size_t>(stride) * (height - 1) + width)
        return std::nullopt;
    const detail::StampBox box = detail::StampPlace(width, height);
    if (box.x + 6 * detail::kStampChars * box.px > width) return std::nullopt;
    std::string text;
    for (int i = 0; i < detail::kStampChars; ++i) {
        // Sample the middle of every dot of the cell and take the glyph that
        // differs in the fewest dots.
        std::array<uint8_t, 7> rows{};
        for (int r = 0; r < 7; ++r)
            for (int c = 0; c < 5; ++c) {
                const int x = box.x + i * 6 * box.px + c * box.px + box.px / 2;
                const int y = box.y + r * box.px + box.px / 2;
                if (luma[static_cast<size_t>(y) * stride + x] > 170)
                    rows[static_cast<size_t>(r)] |= static_cast<uint8_t>(0x10 >> c);
            }
        const bool blank = std::all_of(rows.begin(), rows.end(), [](uint8_t v) { return v == 0; });
        if (blank) {
            text += ' ';
            continue;
        }
        int best = 99;
        char found = '?';
        for (const detail::Glyph& g : detail::kGlyphs) {
            int miss = 0;
            for (size_t r = 0; r < 7; ++r)
                miss += std::popcount(static_cast<unsigned>(g.rows[r] ^ rows[r]));
            if (miss < best) {
                best = miss;
                found = g.c;
            }
        }
        if (best > 3) return std::nullopt;
        text += found;
    }
    if (text.size() != 19 || text[4] != '/' || text[13] != ':') return std::nullopt;
    return text;
}

}  // namespace trivexa::clipforge

namespace trivexa::clipforge::detail {

uint64_t SceneDigest(const VideoSpec& spec) {
    uint64_t hsh = 1469598103934665603ull;
    auto mix = [&](const void* p, size_t n) {
        const auto* b = static_cast<const uint8_t*>(p);
        for (size_t i = 0; i < n; ++i) hsh = (hsh ^ b[i]) * 1099511628211ull;
    };
    if (!spec.scene) return 0;
    const RoadScene& s = *spec.scene;
    mix(&s.seed, sizeof s.seed);
    const uint8_t rear = s.rear ? 1 : 0;
    mix(&rear, 1);
    for (double m : s.metres) mix(&m, sizeof m);
    mix(&s.recordSeconds, sizeof s.recordSeconds);
    mix(&s.clockScale, sizeof s.clockScale);
    const int t[6] = {s.start.year, s.start.month,  s.start.day,
                      s.start.hour, s.start.minute, s.start.second};
    mix(t, sizeof t);
    for (int k : s.knocks) mix(&k, sizeof k);
    mix(&s.tailgateBegin, sizeof s.tailgateBegin);
    mix(&s.tailgateEnd, sizeof s.tailgateEnd);
    mix(&spec.crf, sizeof spec.crf);
    mix(spec.preset.data(), spec.preset.size());
    return hsh;
}

}  // namespace trivexa::clipforge::detail
