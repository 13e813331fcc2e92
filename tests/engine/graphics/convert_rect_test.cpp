#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/graphics/color_format.h"
#include "engine/graphics/graph_image.h"

namespace tessra {
namespace {

struct NamedFormat {
    const char* name;
    ColorFormat format;
};

ColorFormat FormatOfMasks(int depth, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    ColorFormat f{};
    BuildColorFormatFromMasks(&f, depth, r, g, b, a);
    return f;
}

std::vector<NamedFormat> AllFormats() {
    ColorFormat pal{};
    SetPaletteXrgbFormat(&pal);
    std::mt19937 rng(7);
    for (auto& e : pal.palette) {
        e[0] = static_cast<uint8_t>(rng());
        e[1] = static_cast<uint8_t>(rng());
        e[2] = static_cast<uint8_t>(rng());
        e[3] = 0;
    }
    pal.palette[0][0] = pal.palette[0][1] = pal.palette[0][2] = 0xFF;  // white for the key cases
    ColorFormat rgb24{};
    SetRgb24Format(&rgb24);
    return {
        {"pal8", pal},
        {"rgb24", rgb24},
        {"xrgb", FormatOfMasks(32, 0xFF0000, 0xFF00, 0xFF, 0)},
        {"argb", FormatOfMasks(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000)},
        {"xbgr", FormatOfMasks(32, 0xFF, 0xFF00, 0xFF0000, 0)},
        {"r565", FormatOfMasks(16, 0xF800, 0x7E0, 0x1F, 0)},
        {"x555", FormatOfMasks(16, 0x7C00, 0x3E0, 0x1F, 0)},
        {"a1555", FormatOfMasks(16, 0x7C00, 0x3E0, 0x1F, 0x8000)},
        {"a4444", FormatOfMasks(16, 0xF00, 0xF0, 0xF, 0xF000)},
        {"r565a8", FormatOfMasks(32, 0xF800, 0x7E0, 0x1F, 0xFF0000)},
        {"a2r10", FormatOfMasks(32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000)},
    };
}

uint32_t Load(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
    return v;
}

uint32_t PaletteOf(const ColorFormat& f, uint32_t i) {
    return (static_cast<uint32_t>(f.palette[i][2]) << 16) | (f.palette[i][1] << 8) |
           f.palette[i][0];
}

bool Is(const ColorFormat& f, int depth, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    return f.bitDepth == depth && f.redMask == r && f.greenMask == g && f.blueMask == b &&
           f.alphaMask == a;
}

uint32_t Exact(uint32_t v, int from, int to) {
    if (from == 0 || to == 0) return 0;
    if (to <= from) return v >> (from - to);
    return static_cast<uint32_t>(uint64_t{v} * ((1ull << to) - 1) / ((1ull << from) - 1));
}

struct Options {
    bool mirror = false;
    bool key = false;  // key to alpha
    uint32_t trans = 0;
};

// The transparent colour 0xRRGGBB packed into a format by truncation, colour bits only.
uint32_t PackKey(const ColorFormat& d, uint32_t trans) {
    auto ch = [](uint32_t v8, int width, int shift) -> uint32_t {
        if (width == 0) return 0;
        return (width <= 8 ? v8 >> (8 - width) : v8 << (width - 8)) << shift;
    };
    return ch((trans >> 16) & 0xFF, d.redWidth, d.redShift) |
           ch((trans >> 8) & 0xFF, d.greenWidth, d.greenShift) |
           ch(trans & 0xFF, d.blueWidth, d.blueShift);
}

// What one source pixel becomes, written from the rules, not the code's tables. Returns false
// when the destination is left untouched.
bool Reference(const ColorFormat& d, const ColorFormat& s, uint32_t raw, const Options& o,
               uint32_t* out) {
    if (d.bitDepth == 8) {
        if (s.bitDepth != 8) return false;
        *out = raw;
        return true;
    }
    const bool key = o.key && d.alphaMask != 0 && s.alphaMask == 0;
    const uint32_t colorMask = d.redMask | d.greenMask | d.blueMask;
    const uint32_t keyColor = PackKey(d, o.trans);
    if (ColorFormatsEqual(&d, &s) && !key) {
        *out = raw;
        return true;
    }
    if (key && d.bitDepth == s.bitDepth && d.redMask == s.redMask && d.greenMask == s.greenMask &&
        d.blueMask == s.blueMask) {
        const uint32_t c = raw & colorMask;
        *out = c | d.unusedMask | (c == keyColor ? 0 : d.alphaMask);
        return true;
    }
    const uint32_t v = s.bitDepth == 8 ? PaletteOf(s, raw) : raw;
    const bool sXrgbValue = s.bitDepth == 8 || Is(s, 24, 0xFF0000, 0xFF00, 0xFF, 0);
    const bool sXrgb = Is(s, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    const bool s565 = Is(s, 16, 0xF800, 0x7E0, 0x1F, 0);
    const bool s555 = Is(s, 16, 0x7C00, 0x3E0, 0x1F, 0);
    const bool d565 = Is(d, 16, 0xF800, 0x7E0, 0x1F, 0);
    const bool d555 = Is(d, 16, 0x7C00, 0x3E0, 0x1F, 0);
    const bool d1555 = Is(d, 16, 0x7C00, 0x3E0, 0x1F, 0x8000);
    const bool dXrgb = Is(d, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    const bool dArgb = Is(d, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    const bool d24 = Is(d, 24, 0xFF0000, 0xFF00, 0xFF, 0);
    const uint32_t r8 = (v >> 16) & 0xFF, g8 = (v >> 8) & 0xFF, b8 = v & 0xFF;
    const uint32_t as555 = (r8 >> 3) << 10 | (g8 >> 3) << 5 | (b8 >> 3);
    const uint32_t from565 = ((v >> 11) & 31) << 10 | (((v >> 5) & 63) >> 1) << 5 | (v & 31);
    if (!o.mirror && !key) {
        if ((sXrgbValue || sXrgb) && d565) {
            *out = (r8 >> 3) << 11 | (g8 >> 2) << 5 | (b8 >> 3);
            return true;
        }
        if (sXrgbValue && d555) {
            *out = as555;
            return true;
        }
        if (sXrgbValue && dXrgb) {
            *out = 0xFF000000u | (v & 0xFFFFFF);
            return true;
        }
        if (s565 && (dXrgb || d24)) {
            *out = ((v >> 11) & 31) << 19 | ((v >> 5) & 63) << 10 | (v & 31) << 3;
            return true;
        }
        if (s565 && d555) {
            *out = from565;
            return true;
        }
        if (s555 && d565) {
            const uint32_t g5 = (v >> 5) & 31;
            *out = ((v >> 10) & 31) << 11 | (g5 << 1 | (g5 & 1)) << 5 | (v & 31);
            return true;
        }
    }
    if (!o.mirror && key) {
        if (sXrgbValue && d1555) {
            *out = as555 | (as555 == keyColor ? 0 : 0x8000u);
            return true;
        }
        if (sXrgbValue && dArgb) {
            const uint32_t c = v & 0xFFFFFF;
            *out = c | (c == keyColor ? 0 : 0xFF000000u);
            return true;
        }
        if (s565 && d1555) {
            *out = from565 | (from565 == keyColor ? 0 : 0x8000u);
            return true;
        }
    }
    uint32_t color = 0;
    const uint32_t sm[3] = {s.redMask, s.greenMask, s.blueMask};
    const int ss[3] = {s.redShift, s.greenShift, s.blueShift};
    const int sw[3] = {s.redWidth, s.greenWidth, s.blueWidth};
    const int ds[3] = {d.redShift, d.greenShift, d.blueShift};
    const int dw[3] = {d.redWidth, d.greenWidth, d.blueWidth};
    for (int i = 0; i < 3; ++i) color |= Exact((v & sm[i]) >> ss[i], sw[i], dw[i]) << ds[i];
    uint32_t result = color | d.unusedMask;
    if (d.alphaWidth) {
        const uint32_t full = d.alphaMask >> d.alphaShift;
        uint32_t a = s.alphaWidth
                         ? Exact((v & s.alphaMask) >> s.alphaShift, s.alphaWidth, d.alphaWidth)
                         : full;
        if (key) a = (color & colorMask) == keyColor ? 0 : full;
        result |= a << d.alphaShift;
    }
    *out = result;
    return true;
}

TEST(ConvertRect, EveryPairMatchesPerPixelReference) {
    const auto formats = AllFormats();
    const int w = 9, h = 6;
    const Rect rect{2, 1, 8, 5};  // 6 x 4 inside the source
    const int dx = 3, dy = 2;
    std::mt19937 rng(1234);
    const char* variants[] = {"plain", "mirror", "key to alpha"};
    for (int variant = 0; variant < 3; ++variant) {
        for (const auto& src : formats) {
            for (const auto& dst : formats) {
                SCOPED_TRACE(std::string(src.name) + " -> " + dst.name + ", " + variants[variant]);
                const ColorFormat& s = src.format;
                const ColorFormat& d = dst.format;
                const int sb = s.bytesPerPixel, db = d.bytesPerPixel;
                const int sp = w * sb + 5, dp = 12 * db + 3;  // odd pitches on purpose
                std::vector<uint8_t> in(static_cast<size_t>(sp * h));
                for (auto& b : in) b = static_cast<uint8_t>(rng());
                Options o;
                o.mirror = variant == 1;
                o.key = variant == 2;
                if (o.key) {
                    // Several pixels share the first one's colour, which becomes the key.
                    const uint8_t* first = &in[static_cast<size_t>(rect.top * sp + rect.left * sb)];
                    for (int i = 1; i < 5; ++i) {
                        std::memcpy(&in[static_cast<size_t>((rect.top + i % 4) * sp +
                                                            (rect.left + i) * sb)],
                                    first, static_cast<size_t>(sb));
                    }
                    GraphImage g{s, w, h, sp, in.data()};
                    o.trans = ReadGraphImagePixel(&g, rect.left, rect.top) & 0xFFFFFF;
                }
                std::vector<uint8_t> out(static_cast<size_t>(dp * 8), 0xA5);
                const std::vector<uint8_t> before = out;
                ConvertRectPixels(out.data(), dp, &d, in.data(), sp, &s, nullptr, 0, nullptr, dx,
                                  dy, &rect, o.mirror ? 1 : 0, o.key ? 1 : 0, o.trans, 0, 0, 0, 0);
                // The index copy has no mirror.
                const bool mirrored = o.mirror && d.bitDepth != 8;
                for (int y = 0; y < 8; ++y) {
                    for (int x = 0; x < 12; ++x) {
                        const uint8_t* got = &out[static_cast<size_t>(y * dp + x * db)];
                        const int col = x - dx;
                        const int sx =
                            (mirrored ? rect.right - rect.left - 1 - col : col) + rect.left;
                        const int sy = y - dy + rect.top;
                        uint32_t want = 0;
                        const bool inside = col >= 0 && col < rect.right - rect.left &&
                                            sy >= rect.top && sy < rect.bottom;
                        if (inside &&
                            Reference(d, s, Load(&in[static_cast<size_t>(sy * sp + sx * sb)], sb),
                                      o, &want)) {
                            ASSERT_EQ(Load(got, db),
                                      want & (db == 4 ? 0xFFFFFFFFu : (1u << (8 * db)) - 1))
                                << "at " << x << "," << y;
                        } else {
                            ASSERT_EQ(
                                0, std::memcmp(got, &before[static_cast<size_t>(y * dp + x * db)],
                                               static_cast<size_t>(db)))
                                << "written outside at " << x << "," << y;
                        }
                    }
                }
            }
        }
    }
}

// Single-pixel cases: (destination, source, options) -> expected value.
struct One {
    ColorFormat d, s;
    uint32_t in;
    int key = 0;
    uint32_t trans = 0;
    int alphaOnly = 0, alphaFromRed = 0;
};

uint32_t ConvertOne(const One& c) {
    uint8_t in[4], out[4] = {0, 0, 0, 0};
    std::memcpy(in, &c.in, 4);
    const Rect r{0, 0, 1, 1};
    ConvertRectPixels(out, 4, &c.d, in, 4, &c.s, nullptr, 0, nullptr, 0, 0, &r, 0, c.key, c.trans,
                      0, c.alphaOnly, c.alphaFromRed, 0);
    return Load(out, c.d.bytesPerPixel);
}

TEST(ConvertRect, NumericExamples) {
    const ColorFormat r565 = FormatOfMasks(16, 0xF800, 0x7E0, 0x1F, 0);
    const ColorFormat xrgb = FormatOfMasks(32, 0xFF0000, 0xFF00, 0xFF, 0);
    const ColorFormat argb = FormatOfMasks(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    const ColorFormat a1555 = FormatOfMasks(16, 0x7C00, 0x3E0, 0x1F, 0x8000);
    const ColorFormat a4444 = FormatOfMasks(16, 0xF00, 0xF0, 0xF, 0xF000);
    const ColorFormat xbgr = FormatOfMasks(32, 0xFF, 0xFF00, 0xFF0000, 0);
    ColorFormat rgb24{};
    SetRgb24Format(&rgb24);
    // The fixed 565 loop widens by shifting: white becomes 0x00F8FCF8.
    EXPECT_EQ(ConvertOne({xrgb, r565, 0xFFFF}), 0x00F8FCF8u);
    EXPECT_EQ(ConvertOne({rgb24, r565, 0xFFFF}), 0xF8FCF8u);
    // The general path rescales exactly: 5-bit 31 becomes 255.
    EXPECT_EQ(ConvertOne({xbgr, r565, 0xFFFF}), 0xFFFFFFFFu);
    EXPECT_EQ(ConvertOne({argb, r565, 0xF800}), 0xFFFF0000u);
    EXPECT_EQ(ConvertOne({a4444, argb, 0x80FF8040}), 0x8F84u);
    // Key to alpha through the fixed loops and the general one.
    EXPECT_EQ(ConvertOne({a1555, r565, 0xF800, 1, 0xFF0000}), 0x7C00u);
    EXPECT_EQ(ConvertOne({a1555, r565, 0x07E0, 1, 0xFF0000}), 0x83E0u);
    EXPECT_EQ(ConvertOne({argb, rgb24, 0x102030, 1, 0x102030}), 0x00102030u);
    EXPECT_EQ(ConvertOne({argb, rgb24, 0x102031, 1, 0x102030}), 0xFF102031u);
    EXPECT_EQ(ConvertOne({argb, xrgb, 0x00102030, 1, 0x102030}), 0x00102030u);
    EXPECT_EQ(ConvertOne({a4444, xrgb, 0x00FF0000, 1, 0xFF0000}), 0x0F00u);
    EXPECT_EQ(ConvertOne({a4444, xrgb, 0x0000FF00, 1, 0xFF0000}), 0xF0F0u);
    // Key to alpha is ignored when the source brings alpha.
    EXPECT_EQ(ConvertOne({a4444, argb, 0x40FF0000, 1, 0xFF0000}), 0x4F00u);
    // Alpha only and alpha from red.
    EXPECT_EQ(ConvertOne({argb, r565, 0xFFFF, 0, 0, 1, 0}), 0xFF000000u);
    EXPECT_EQ(ConvertOne({argb, xrgb, 0x00804020, 0, 0, 1, 1}), 0x80000000u);
    EXPECT_EQ(ConvertOne({argb, xrgb, 0x00804020, 0, 0, 0, 1}), 0x80804020u);
    const ColorFormat single8 = *GetStandardColorFormat(2, 0, 0);
    EXPECT_EQ(ConvertOne({single8, xrgb, 0x00804020, 0, 0, 1, 1}), 0x80u);
}

TEST(ConvertRect, PalettedSourceToXrgbSetsTopByte) {
    ColorFormat pal{};
    SetGreyPaletteFormat(&pal);
    const ColorFormat xrgb = FormatOfMasks(32, 0xFF0000, 0xFF00, 0xFF, 0);
    const uint8_t in[3] = {0, 7, 200};
    uint32_t out[3] = {};
    const Rect r{0, 0, 3, 1};
    ConvertRectPixels(out, 12, &xrgb, in, 3, &pal, nullptr, 0, nullptr, 0, 0, &r, 0, 0, 0, 0, 0, 0,
                      0);
    EXPECT_EQ(out[0], 0xFF000000u);
    EXPECT_EQ(out[1], 0xFF070707u);
    EXPECT_EQ(out[2], 0xFFC8C8C8u);
}

TEST(ConvertRect, IndexCopyAppliesBothPositionsAndReturnsLargestIndex) {
    ColorFormat pal{};
    SetPaletteXrgbFormat(&pal);
    const uint8_t in[4 * 3] = {1, 2,  3,  4,  //
                               5, 90, 7,  8,  //
                               9, 10, 11, 12};
    uint8_t out[5 * 4];
    std::memset(out, 0xEE, sizeof out);
    const Rect r{1, 1, 3, 3};  // 90, 7 / 10, 11
    EXPECT_EQ(ConvertRectPixels(out, 5, &pal, in, 4, &pal, nullptr, 0, nullptr, 2, 1, &r, 0, 0, 0,
                                0, 0, 0, 0),
              90);
    const uint8_t want[5 * 4] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE,  //
                                 0xEE, 0xEE, 90,   7,    0xEE,  //
                                 0xEE, 0xEE, 10,   11,   0xEE,  //
                                 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(0, std::memcmp(out, want, sizeof out));
    // A non-8-bit source copies nothing into an 8-bit destination.
    const ColorFormat xrgb = FormatOfMasks(32, 0xFF0000, 0xFF00, 0xFF, 0);
    EXPECT_EQ(ConvertRectPixels(out, 5, &pal, in, 4, &xrgb, nullptr, 0, nullptr, 0, 0, &r, 0, 0, 0,
                                0, 0, 0, 0),
              0);
    EXPECT_EQ(0, std::memcmp(out, want, sizeof out));
}

TEST(ConvertRect, EmptyRectangleDoesNothing) {
    const ColorFormat xrgb = FormatOfMasks(32, 0xFF0000, 0xFF00, 0xFF, 0);
    const ColorFormat r565 = FormatOfMasks(16, 0xF800, 0x7E0, 0x1F, 0);
    uint32_t in = 0x123456, out = 0xDEADBEEF;
    for (const Rect& r : {Rect{0, 0, 0, 1}, Rect{0, 0, 1, 0}, Rect{1, 1, 0, 0}}) {
        EXPECT_EQ(ConvertRectPixels(&out, 4, &xrgb, &in, 4, &r565, nullptr, 0, nullptr, 0, 0, &r, 0,
                                    0, 0, 0, 0, 0, 0),
                  0);
        EXPECT_EQ(out, 0xDEADBEEFu);
    }
}

TEST(ConvertRect, MirrorWritesFirstColumnLast) {
    const ColorFormat xrgb = FormatOfMasks(32, 0xFF0000, 0xFF00, 0xFF, 0);
    const ColorFormat xbgr = FormatOfMasks(32, 0xFF, 0xFF00, 0xFF0000, 0);
    const uint32_t in[4] = {0x010101, 0x020202, 0x030303, 0x040404};
    for (const ColorFormat* d : {&xrgb, &xbgr}) {  // same-format copy and general loop
        uint32_t out[6] = {};
        const Rect r{1, 0, 4, 1};
        ConvertRectPixels(out, 24, d, in, 16, &xrgb, nullptr, 0, nullptr, 2, 0, &r, 1, 0, 0, 0, 0,
                          0, 0);
        EXPECT_EQ(out[0], 0u);
        EXPECT_EQ(out[1], 0u);
        EXPECT_EQ(out[2] & 0xFFFFFF, 0x040404u);
        EXPECT_EQ(out[3] & 0xFFFFFF, 0x030303u);
        EXPECT_EQ(out[4] & 0xFFFFFF, 0x020202u);
        EXPECT_EQ(out[5], 0u);
    }
}

TEST(ConvertRect, SkipTransparentLeavesDestination) {
    const ColorFormat r565 = FormatOfMasks(16, 0xF800, 0x7E0, 0x1F, 0);
    const ColorFormat xrgb = FormatOfMasks(32, 0xFF0000, 0xFF00, 0xFF, 0);
    ColorFormat rgb24{};
    SetRgb24Format(&rgb24);
    const uint16_t in[3] = {0xF81F, 0x1234, 0xF81F};
    {
        uint16_t out[3] = {7, 7, 7};
        const Rect r{0, 0, 3, 1};
        ConvertRectPixels(out, 6, &r565, in, 6, &r565, nullptr, 0, nullptr, 0, 0, &r, 0, 0,
                          0xFFF81F, 0, 0, 0, 1);  // masked to 16 bits
        EXPECT_EQ(out[0], 7);
        EXPECT_EQ(out[1], 0x1234);
        EXPECT_EQ(out[2], 7);
    }
    {
        uint32_t out[3] = {7, 7, 7};
        const Rect r{0, 0, 3, 1};
        ConvertRectPixels(out, 12, &xrgb, in, 6, &r565, nullptr, 0, nullptr, 0, 0, &r, 0, 0, 0xF81F,
                          0, 0, 0, 1);
        EXPECT_EQ(out[0], 7u);
        EXPECT_NE(out[1], 7u);
        EXPECT_EQ(out[2], 7u);
    }
    {  // 24-bit pixels compare on their 24 bits
        const uint8_t in24[6] = {0x30, 0x20, 0x10, 1, 2, 3};
        uint8_t out24[6] = {9, 9, 9, 9, 9, 9};
        const Rect r{0, 0, 2, 1};
        ConvertRectPixels(out24, 6, &rgb24, in24, 6, &rgb24, nullptr, 0, nullptr, 0, 0, &r, 0, 0,
                          0xAB102030, 0, 0, 0, 1);
        const uint8_t want[6] = {9, 9, 9, 1, 2, 3};
        EXPECT_EQ(0, std::memcmp(out24, want, 6));
    }
}

TEST(ConvertRect, AlphaImageSuppliesAlpha) {
    const ColorFormat xrgb = FormatOfMasks(32, 0xFF0000, 0xFF00, 0xFF, 0);
    const ColorFormat argb = FormatOfMasks(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    ColorFormat grey{};
    SetGreyPaletteFormat(&grey);
    const uint32_t in[2][2] = {{0x112233, 0x445566}, {0x778899, 0xAABBCC}};
    const uint8_t alpha[2][3] = {{10, 20, 0}, {30, 40, 0}};
    uint32_t out[2][2] = {};
    const Rect r{1, 0, 2, 2};
    ConvertRectPixels(out, 8, &argb, in, 8, &xrgb, alpha, 3, &grey, 0, 0, &r, 0, 1, 0x445566, 0, 0,
                      0, 1);  // key and skip are overridden by the supplied alpha
    EXPECT_EQ(out[0][0], 0x14445566u);
    EXPECT_EQ(out[1][0], 0x28AABBCCu);
    EXPECT_EQ(out[0][1], 0u);
    // An alpha image with its own alpha channel gives that channel.
    const uint32_t alpha32[1] = {0x7F000000};
    uint32_t one = 0;
    const Rect r0{0, 0, 1, 1};
    ConvertRectPixels(&one, 4, &argb, in, 8, &xrgb, alpha32, 4, &argb, 0, 0, &r0, 0, 0, 0, 0, 0, 0,
                      0);
    EXPECT_EQ(one, 0x7F112233u);
    // Without an alpha channel a grey picture's blue channel serves, rescaled to the alpha.
    ColorFormat rgb24{};
    SetRgb24Format(&rgb24);
    const uint8_t alpha24[3] = {0x40, 0x80, 0xC0};  // blue, green, red
    ConvertRectPixels(&one, 4, &argb, in, 8, &xrgb, alpha24, 3, &rgb24, 0, 0, &r0, 0, 0, 0, 0, 0, 0,
                      0);
    EXPECT_EQ(one, 0x40112233u);
    const ColorFormat r565 = FormatOfMasks(16, 0xF800, 0x7E0, 0x1F, 0);
    const uint16_t alpha16[1] = {0xFFF0};  // blue 16 of 31
    ConvertRectPixels(&one, 4, &argb, in, 8, &xrgb, alpha16, 2, &r565, 0, 0, &r0, 0, 0, 0, 0, 0, 0,
                      0);
    EXPECT_EQ(one, 0x83112233u);  // 16 * 255 / 31
    // A null alpha-image format counts as none: full alpha.
    ConvertRectPixels(&one, 4, &argb, in, 8, &xrgb, alpha32, 4, nullptr, 0, 0, &r0, 0, 0, 0, 0, 0,
                      0, 0);
    EXPECT_EQ(one, 0xFF112233u);
}

TEST(ConvertRect, OrderedDitherRaisesByThreshold) {
    const ColorFormat xrgb = FormatOfMasks(32, 0xFF0000, 0xFF00, 0xFF, 0);
    const ColorFormat r565 = FormatOfMasks(16, 0xF800, 0x7E0, 0x1F, 0);
    // Blue 0x04: three dropped bits hold 4; thresholds m * 8 / 16 = m / 2 over the 4 x 4 matrix.
    std::vector<uint32_t> in(16, 0x000004);
    uint16_t out[16];
    const Rect r{0, 0, 4, 4};
    ConvertRectPixels(out, 8, &r565, in.data(), 16, &xrgb, nullptr, 0, nullptr, 0, 0, &r, 0, 0, 0,
                      1, 0, 0, 0);
    const int m[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(out[y * 4 + x] & 0x1F, 4 > m[y][x] / 2 ? 1 : 0) << x << "," << y;
    // A channel at its maximum is not raised past it.
    std::fill(in.begin(), in.end(), 0x0000FF);
    ConvertRectPixels(out, 8, &r565, in.data(), 16, &xrgb, nullptr, 0, nullptr, 0, 0, &r, 0, 0, 0,
                      1, 0, 0, 0);
    for (uint16_t v : out) EXPECT_EQ(v, 0x1F);
}

TEST(ConvertRect, CarryDitherAccumulatesAlongRow) {
    const ColorFormat xrgb = FormatOfMasks(32, 0xFF0000, 0xFF00, 0xFF, 0);
    const ColorFormat r565 = FormatOfMasks(16, 0xF800, 0x7E0, 0x1F, 0);
    // Blue 0x03 drops 3 each pixel: the sum passes 7 on the third pixel (9 -> 1), then the sixth.
    const uint32_t in[6] = {3, 3, 3, 3, 3, 3};
    uint16_t out[6];
    const Rect r{0, 0, 6, 1};
    ConvertRectPixels(out, 12, &r565, in, 24, &xrgb, nullptr, 0, nullptr, 0, 0, &r, 0, 0, 0, 2, 0,
                      0, 0);
    const uint16_t want[6] = {0, 0, 1, 0, 0, 1};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(out[i], want[i]) << i;
}

TEST(ConvertRect, DitherNarrowsAlphaLikeTheColors) {
    const ColorFormat argb = FormatOfMasks(32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
    const ColorFormat a4444 = FormatOfMasks(16, 0xF00, 0xF0, 0xF, 0xF000);
    // Every channel 0x88: four dropped bits hold 8, so the ordered threshold m raises it where
    // m < 8, and the running sum raises every second pixel; alpha follows the same rule.
    const uint32_t in[4] = {0x88888888, 0x88888888, 0x88888888, 0x88888888};
    uint16_t out[4];
    const Rect r{0, 0, 4, 1};
    struct Case {
        int dither;
        uint16_t want[4];
    };
    const Case cases[] = {{1, {0x9999, 0x8888, 0x9999, 0x8888}},
                          {2, {0x8888, 0x9999, 0x8888, 0x9999}}};
    for (const Case& c : cases) {
        ConvertRectPixels(out, 8, &a4444, in, 16, &argb, nullptr, 0, nullptr, 0, 0, &r, 0, 0, 0,
                          c.dither, 0, 0, 0);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(out[i], c.want[i]) << c.dither << " " << i;
    }
}

}  // namespace
}  // namespace tessra
