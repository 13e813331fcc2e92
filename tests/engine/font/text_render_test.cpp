// Strings measured and drawn from a font's memory cache: every pixel writer (screen depth x font
// type) against expected pixels, clipping, spacing, spaces, lengths and long strings.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/base/sjis.h"
#include "engine/font/font.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_table.h"
#include "engine/screen/memimg.h"
#include "font_support.h"

namespace tessra {
namespace {

using namespace sjis_literals;
using font_test::FontFixture;

constexpr uint32_t kUntouched = 0x11111111;

// A target of the depth and pixel size the font draws into, filled with kUntouched.
struct Target {
    Target(int depth, int type, int width = 16, int height = 16) {
        std::memset(&image, 0, sizeof image);
        const bool wide = depth == 32 || (depth == 16 && (type & 2));
        const int kind = depth == 8    ? static_cast<int>(kMemImgKindSingle8)
                         : depth == 32 ? static_cast<int>(kMemImgKindXrgb)
                                       : static_cast<int>(kMemImgKind565);
        const int alpha = depth == 16 && (type & 2) ? 1 : 0;
        EXPECT_EQ(InitMemImg(&image, width, height, -1, 0, kind, 0, alpha, 0), 0);
        bytes = depth == 8 ? 1 : wide ? 4 : 2;
        for (int y = 0; y < height; ++y)
            std::memset(Row(y), 0x11, static_cast<size_t>(width) * bytes);
    }
    ~Target() { ReleaseMemImg(&image); }
    uint8_t* Row(int y) { return image.pixels + static_cast<ptrdiff_t>(y) * image.pitch; }
    uint32_t At(int x, int y) {
        uint32_t v = 0;
        std::memcpy(&v, Row(y) + x * bytes, bytes);
        return v;
    }
    // Every pixel that is not kUntouched, by position.
    std::map<std::pair<int, int>, uint32_t> Written() {
        std::map<std::pair<int, int>, uint32_t> out;
        const uint32_t untouched = bytes == 4 ? kUntouched : bytes == 2 ? 0x1111 : 0x11;
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < image.width; ++x) {
                if (At(x, y) != untouched) out[{x, y}] = At(x, y);
            }
        }
        return out;
    }
    MEMIMG image;
    int bytes;
};

class TextRenderTest : public FontFixture {
protected:
    int Draw(int font, Target* t, const char* text, uint32_t color, uint32_t edge,
             const Rect* clip = nullptr, int x = 2, int y = 1, int length = -1) {
        return RenderTextWithCache(kTextDraw, x, y, text, color, &t->image, clip, font, edge,
                                   length, nullptr);
    }
};

using Pixels = std::map<std::pair<int, int>, uint32_t>;

// "A" at (2, 1): its box lies one pixel right of the pen and three below the line's top (ascent
// 10, glyph top 7), so its pixels (coverage 15 and 8, 1-bit: two set bits) land at (3, 4) and
// (4, 4); an edged font moves the glyph by the edge (1) and rings it.
struct WriterCase {
    int depth, type;
    uint32_t text, edge;  // screen colours
    Pixels want;
};

// Mixed pixel of the edged anti-aliased rule at c = 8, k = 15: alpha 233, weight 140.
// 32 bits, red text over blue edge: red 0 + floor(255 x 140 / 256) = 139, blue 255 - 140 = 115.
// 16 bits: red 16, blue 31 - 17 = 14.
// clang-format off
const WriterCase kWriterCases[] = {
    {32, 0, 0xFF0000, 0x0000FF, {{{3, 4}, 0xFF0000}, {{4, 4}, 0xFF0000}}},
    {32, 1, 0xFF0000, 0x0000FF, {{{4, 5}, 0xFF0000}, {{5, 5}, 0xFF0000},
                                 {{3, 5}, 0xFF}, {{6, 5}, 0xFF}, {{4, 4}, 0xFF}, {{5, 4}, 0xFF},
                                 {{4, 6}, 0xFF}, {{5, 6}, 0xFF}}},
    {32, 2, 0xFF0000, 0x0000FF, {{{3, 4}, 0xF0FF0000}, {{4, 4}, 0x80FF0000}}},
    {32, 3, 0xFF0000, 0x0000FF, {{{4, 5}, 0xFFFF0000}, {{5, 5}, 0xE98B0073},
                                 {{3, 5}, 0xF00000FF}, {{4, 4}, 0xF00000FF}, {{4, 6}, 0xF00000FF},
                                 {{6, 5}, 0x800000FF}, {{5, 4}, 0x800000FF}, {{5, 6}, 0x800000FF}}},
    {16, 0, 0xF800, 0x001F, {{{3, 4}, 0xF800}, {{4, 4}, 0xF800}}},
    {16, 1, 0xF800, 0x001F, {{{4, 5}, 0xF800}, {{5, 5}, 0xF800},
                             {{3, 5}, 0x1F}, {{6, 5}, 0x1F}, {{4, 4}, 0x1F}, {{5, 4}, 0x1F},
                             {{4, 6}, 0x1F}, {{5, 6}, 0x1F}}},
    {16, 2, 0xF800, 0x001F, {{{3, 4}, 0x00F0F800}, {{4, 4}, 0x0080F800}}},
    {16, 3, 0xF800, 0x001F, {{{4, 5}, 0x00FFF800}, {{5, 5}, 0x00E9800E},
                             {{3, 5}, 0x00F0001F}, {{4, 4}, 0x00F0001F}, {{4, 6}, 0x00F0001F},
                             {{6, 5}, 0x0080001F}, {{5, 4}, 0x0080001F}, {{5, 6}, 0x0080001F}}},
    {8, 0, 200, 30, {{{3, 4}, 200}, {{4, 4}, 200}}},
    {8, 1, 200, 30, {{{4, 5}, 200}, {{5, 5}, 200},
                     {{3, 5}, 30}, {{6, 5}, 30}, {{4, 4}, 30}, {{5, 4}, 30},
                     {{4, 6}, 30}, {{5, 6}, 30}}},
};
// clang-format on

TEST_F(TextRenderTest, EveryPixelWriterWritesOnlyTheGlyphAndItsEdge) {
    for (const WriterCase& c : kWriterCases) {
        SetDepth(c.depth);
        const int font = CreateFontToHandle("F", 13, 2, c.type, 1, -1, 0, -1, -1);
        ASSERT_EQ(GetFontRecord(font)->type, c.type);
        Target t(c.depth, c.type);
        const int advance = Draw(font, &t, "A", c.text, c.edge);
        EXPECT_EQ(advance, (c.type & 1) ? 8 : 6) << c.depth << " " << c.type;
        EXPECT_EQ(t.Written(), c.want) << c.depth << " " << c.type;
        ReleaseFontHandle(font);
    }
}

TEST_F(TextRenderTest, AntiAliasedFontsDrawNothingOnPaletteScreens) {
    for (int type : {2, 3}) {
        SetDepth(32);
        const int font = CreateFontToHandle("F", 13, 2, type, 1, -1, 0, -1, -1);
        SetDepth(8);
        Target t(8, 0);
        EXPECT_EQ(Draw(font, &t, "A", 200, 30), type == 3 ? 8 : 6);
        EXPECT_TRUE(t.Written().empty()) << type;
        ReleaseFontHandle(font);
    }
}

TEST_F(TextRenderTest, OpaqueGlyphPixelsKeepTheTextColourWhateverTheEdge) {
    // A glyph pixel of full coverage is written opaque in the text colour even where a
    // neighbour's edge covers it too.
    SetDepth(32);
    const int font = CreateFontToHandle("F", 13, 2, 3, 1, -1, 0, -1, -1);
    Target t(32, 3);
    Draw(font, &t, "漢"_sjis, 0x00FF00, 0xFF0000);
    EXPECT_EQ(t.At(3, 3), 0xFF00FF00u);
    EXPECT_EQ(t.At(4, 4), 0xFF00FF00u);
    EXPECT_EQ(t.At(2, 3), 0xF0FF0000u);  // edge only
}

TEST_F(TextRenderTest, BrightnessScalesBothColours) {
    SetDepth(32);
    const int font = CreateFontToHandle("F", 13, 2, 1, 1, -1, 0, -1, -1);
    DrawState.brightness[0] = 255;  // blue
    DrawState.brightness[1] = 255;  // green
    DrawState.brightness[2] = 128;  // red
    Target t(32, 1);
    Draw(font, &t, "A", 0xFFFFFF, 0xFF00FF);
    EXPECT_EQ(t.At(4, 5), 0x80FFFFu);
    EXPECT_EQ(t.At(3, 5), 0x8000FFu);
    ResetDrawState();
}

TEST_F(TextRenderTest, MeasuresWithSpacingAndGivesTheCellHeight) {
    SetDepth(16);
    const int font = CreateFontToHandle("F", 13, 2, 0, 1, -1, 0, -1, -1);
    int size[2] = {-1, -1};
    // "ab": one-pixel glyphs advancing 2 each.
    EXPECT_EQ(RenderTextWithCache(kTextMeasure, 0, 0, "ab", 0, nullptr, nullptr, font, 0, -1, size),
              4);
    EXPECT_EQ(size[0], 4);
    EXPECT_EQ(size[1], 14);  // 10 + 3, raised to even
    SetFontCharSpacing(3, font);
    EXPECT_EQ(RenderTextWithCache(kTextMeasure, 0, 0, "ab", 0, nullptr, nullptr, font, 0, -1, size),
              10);
    // Empty and null texts measure 0; bad handles and graphics off give -1.
    EXPECT_EQ(RenderTextWithCache(kTextMeasure, 0, 0, "", 0, nullptr, nullptr, font, 0, -1, size),
              0);
    EXPECT_EQ(
        RenderTextWithCache(kTextMeasure, 0, 0, nullptr, 0, nullptr, nullptr, font, 0, -1, nullptr),
        0);
    EXPECT_EQ(RenderTextWithCache(kTextMeasure, 0, 0, "ab", 0, nullptr, nullptr, font + 1, 0, -1,
                                  nullptr),
              -1);
    GetGraphicsCoreState().graphicsOff = 1;
    EXPECT_EQ(
        RenderTextWithCache(kTextMeasure, 0, 0, "ab", 0, nullptr, nullptr, font, 0, -1, nullptr),
        -1);
    GetGraphicsCoreState().graphicsOff = 0;
}

TEST_F(TextRenderTest, LengthsCountBytesAndDoubleByteCharactersStayWhole) {
    SetDepth(16);
    const int font = CreateFontToHandle("F", 13, 2, 0, 1, -1, 0, -1, -1);
    const std::string text = "A漢A"_sjis;
    auto measure = [&](int length) {
        return RenderTextWithCache(kTextMeasure, 0, 0, text.c_str(), 0, nullptr, nullptr, font, 0,
                                   length, nullptr);
    };
    EXPECT_EQ(measure(-1), 6 + 12 + 6);
    EXPECT_EQ(measure(100), 6 + 12 + 6);
    EXPECT_EQ(measure(3), 6 + 12);  // two characters
    EXPECT_EQ(measure(1), 6);
    EXPECT_EQ(measure(0), 0);
    int count = 0;
    GlyphCell cells[4];
    EXPECT_EQ(CacheStringGlyphs(font, text.c_str(), 3, cells, &count), 0);
    EXPECT_EQ(count, 2);
    // The first byte in the low 8 bits, the second in the high 8.
    EXPECT_EQ(cells[1].code, static_cast<uint8_t>(text[1]) | (static_cast<uint8_t>(text[2]) << 8));
    // A lead byte cut off by the length stands alone, drawn empty.
    EXPECT_EQ(CacheStringGlyphs(font, text.c_str(), 2, cells, &count), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(cells[1].code, static_cast<uint8_t>(text[1]));
    EXPECT_EQ(measure(2), 6 + 4);  // as a missing character: a space's width
}

TEST_F(TextRenderTest, SpacesAdvanceWithoutDrawing) {
    for (int type : {0, 1}) {
        SetDepth(32);
        const int font = CreateFontToHandle("F", 13, 2, type, 1, -1, 0, -1, -1);
        Target t(32, type, 40, 16);
        const int edged = type == 1 ? 2 : 0;
        const std::string text = " 　A"_sjis;  // ASCII and full-width spaces
        EXPECT_EQ(Draw(font, &t, text.c_str(), 0xFFFFFF, 0x0000FF), 3 * (4 + edged) + 2);
        // Only "A" was drawn, after both spaces.
        for (const auto& [at, value] : t.Written()) EXPECT_GE(at.first, 2 + 2 * (4 + edged));
        EXPECT_FALSE(t.Written().empty());
        ReleaseFontHandle(font);
    }
}

TEST_F(TextRenderTest, GlyphsAreClippedToTheClipAndTheTarget) {
    SetDepth(32);
    const int font = CreateFontToHandle("F", 13, 2, 1, 1, -1, 0, -1, -1);
    {
        // Clip keeps only the column x = 4 of the edged "A" drawn at (2, 1).
        Target t(32, 1);
        const Rect clip{4, 0, 5, 16};
        EXPECT_EQ(Draw(font, &t, "A", 0xFFFFFF, 0x0000FF, &clip), 8);
        const Pixels want{{{4, 4}, 0xFF}, {{4, 5}, 0xFFFFFF}, {{4, 6}, 0xFF}};
        EXPECT_EQ(t.Written(), want);
    }
    {
        // Wholly outside the clip: nothing drawn, the pen still advances.
        Target t(32, 1);
        const Rect clip{10, 10, 16, 16};
        EXPECT_EQ(Draw(font, &t, "A", 0xFFFFFF, 0x0000FF, &clip), 8);
        EXPECT_TRUE(t.Written().empty());
    }
    {
        // Past the target's edges, whatever the clip says.
        Target t(32, 1, 5, 5);
        const Rect clip{-100, -100, 100, 100};
        Draw(font, &t, "A", 0xFFFFFF, 0x0000FF, &clip, -3, -4);
        Draw(font, &t, "AA", 0xFFFFFF, 0x0000FF, &clip, 1, 2);
        EXPECT_FALSE(t.Written().empty());
    }
}

TEST_F(TextRenderTest, ATargetOfAnotherPixelSizeIsNotWritten) {
    SetDepth(16);
    const int font = CreateFontToHandle("F", 13, 2, 2, 1, -1, 0, -1, -1);
    Target narrow(16, 0);  // 2-byte pixels where anti-aliased text needs 4
    EXPECT_EQ(Draw(font, &narrow, "A", 0xFFFF, 0), 6);
    EXPECT_TRUE(narrow.Written().empty());
}

TEST_F(TextRenderTest, LongStringsWithMoreCodesThanTheCacheHolds) {
    // A face this wide gives cells of 256 pixels: 20 of them.
    faceWidth = 256;
    SetDepth(32);
    const int font = CreateFontToHandle("F", 13, 2, 0, 1, -1, 0, -1, -1);
    ASSERT_EQ(GetFontRecord(font)->cache.capacity, 20);
    std::string text;
    for (int round = 0; round < 40; ++round) {
        for (char c = '0'; c <= '9'; ++c) text += c;
        for (char c = 'a'; c <= 'z'; ++c) text += c;
    }
    const int characters = static_cast<int>(text.size());  // 1440
    Target t(32, 0, 2 * characters, 4);
    EXPECT_EQ(Draw(font, &t, text.c_str(), 0xFFFFFF, 0, nullptr, 0, 0), 2 * characters);
    // Every one-pixel glyph was drawn at its pen position, on the line's top row.
    for (int i = 0; i < characters; ++i) ASSERT_EQ(t.At(2 * i, 0), 0xFFFFFFu) << i;
    EXPECT_EQ(t.Written().size(), static_cast<size_t>(characters));
    // Measuring a long string of one repeated code renders it once.
    const std::string same(5000, 'b');
    EXPECT_EQ(RenderTextWithCache(kTextMeasure, 0, 0, same.c_str(), 0, nullptr, nullptr, font, 0,
                                  -1, nullptr),
              10000);
}

TEST_F(TextRenderTest, CachingAStringRendersOnlyWhatIsMissing) {
    SetDepth(16);
    const int font = CreateFontToHandle("F", 13, 2, 0, 1, -1, 0, -1, -1);
    FontRecord* r = GetFontRecord(font);
    int count = 0;
    EXPECT_EQ(CacheStringGlyphs(font, "abc", -1, nullptr, &count), 0);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(r->cache.nextCell, 3);
    EXPECT_EQ(CacheStringGlyphs(font, "cab", -1, nullptr, &count), 0);
    EXPECT_EQ(r->cache.nextCell, 3);
    EXPECT_EQ(CacheStringGlyphs(font, "abd", 10, nullptr, nullptr), 0);
    EXPECT_EQ(r->cache.nextCell, 4);
    EXPECT_EQ(CacheStringGlyphs(font + 1, "abc", -1, nullptr, &count), -1);
}

TEST_F(TextRenderTest, OnAKoreanSystemTheDefaultFontReadsHangul) {
    plat::testing::SetOemCodePage(949);
    EXPECT_EQ(StoreDefaultFontFace(nullptr, -1), 0);
    const int font = QueryDefaultFontHandle();
    ASSERT_EQ(IsFontHandleValid(font), 1);
    EXPECT_EQ(GetFontRecord(font)->charsetIndex, 2);
    EXPECT_STREQ(GetFontRecord(font)->name, "");
    // Two Hangul syllables: two double-byte characters under the Korean lead rule (the face
    // lacks them, so each advances as a space), four single bytes under the Shift-JIS one.
    const char* hangul = "\xB0\xA1\xB3\xAA";
    int count = 0;
    CacheStringGlyphs(font, hangul, -1, nullptr, &count);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(
        RenderTextWithCache(kTextMeasure, 0, 0, hangul, 0, nullptr, nullptr, font, 0, -1, nullptr),
        8);
    const int japanese = CreateFontToHandle(nullptr, 13, 2, 0, 1, -1, 0, -1, -1);
    CacheStringGlyphs(japanese, hangul, -1, nullptr, &count);
    EXPECT_EQ(count, 4);
}

}  // namespace
}  // namespace tessra
