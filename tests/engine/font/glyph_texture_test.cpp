// Glyphs written for a texture cache: white texels with the coverage in their alpha, the edge in
// the staging image's right half, for every font type.
#include "engine/font/glyph_texture.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>
#include <vector>

namespace tessra {
namespace {

using Texels = std::map<std::pair<int, int>, uint16_t>;

struct StagingCase {
    const char* name;
    int type;
    std::vector<uint8_t> row;  // one glyph row: 1-bit bytes or 17-level bytes
    int width;                 // glyph box width
    Texels want;               // every texel that is not 0
};

// clang-format off
const StagingCase kCases[] = {
    // Plain: each box texel white, with the alpha bit where the bit is set.
    {"plain", 0, {0xA0, 0, 0, 0}, 3, {{{0, 0}, 0xFFFF}, {{1, 0}, 0x7FFF}, {{2, 0}, 0xFFFF}}},
    // Anti-aliased: the alpha field holds level - 1; level 0 is white with no alpha.
    {"gray", 2, {16, 9, 0, 0}, 3, {{{0, 0}, 0xFFFF}, {{1, 0}, 0x8FFF}, {{2, 0}, 0x0FFF}}},
    // Edged: the glyph at (1, 1), the four neighbours of each set bit in the right half (x + 8).
    {"edged", 1, {0xC0, 0, 0, 0}, 2, {{{1, 1}, 0xFFFF}, {{2, 1}, 0xFFFF},
        {{8, 1}, 0xFFFF}, {{9, 1}, 0xFFFF}, {{10, 1}, 0xFFFF}, {{11, 1}, 0xFFFF},
        {{9, 0}, 0xFFFF}, {{10, 0}, 0xFFFF}, {{9, 2}, 0xFFFF}, {{10, 2}, 0xFFFF}}},
    // Edged anti-aliased: levels 8, 0, 8; the texel between them is covered twice:
    // (256 - (16 - 8) x (16 - 8)) / 16 = 12. The box (5 x 3) is white in both halves.
    {"edged gray", 3, {8, 0, 8, 0}, 3, {}},
};
// clang-format on

Texels Written(const std::vector<uint16_t>& texels, int width) {
    Texels out;
    for (size_t i = 0; i < texels.size(); ++i) {
        if (texels[i] != 0)
            out[{static_cast<int>(i % width), static_cast<int>(i / width)}] = texels[i];
    }
    return out;
}

TEST(GlyphTextureTest, EveryTypeWritesItsTexels) {
    for (const StagingCase& c : kCases) {
        const bool edged = (c.type & 1) != 0;
        const int width = edged ? 16 : 8, height = edged ? 10 : 8;
        std::vector<uint16_t> texels(static_cast<size_t>(width) * height, 0x1234);
        const TexelFormat& f = (c.type & 2) ? kTexelA4R4G4B4 : kTexelA1R5G5B5;
        WriteGlyphToStaging({texels.data(), width, height}, c.type, 1,
                            {c.row.data(), 4, c.width, 1}, f);
        Texels want = c.want;
        if (c.type == 3) {
            for (int y = 0; y < 3; ++y) {
                for (int x = 0; x < 5; ++x) want[{x, y}] = want[{x + 8, y}] = 0x0FFF;
            }
            want[{1, 1}] = want[{3, 1}] = 0x7FFF;  // level 8: alpha 7
            // Edges: 8 around each glyph texel, 12 where both reach.
            for (auto at : {std::pair{0, 1}, {1, 0}, {1, 2}, {3, 0}, {3, 2}, {4, 1}}) {
                want[{at.first + 8, at.second}] = 0x7FFF;
            }
            want[{2 + 8, 1}] = 0xBFFF;  // level 12: alpha 11
        }
        EXPECT_EQ(Written(texels, width), want) << c.name;
    }
}

TEST(GlyphTextureTest, CacheLayoutGrowsUntilTenCellsFit) {
    struct Case {
        int cellWidth, width, height, capacity, perColumn;
    };
    // clang-format off
    const Case cases[] = {
        {16, 512, 512, 1024, 32},
        {8, 512, 512, 2024, 64},     // 4096 cells, at most 2024
        {200, 1024, 512, 10, 2},     // 4 -> 10 (width doubled)
        {256, 1024, 1024, 16, 4},    // 4 -> 8 (width) -> 16 (height)
        {160, 1024, 512, 18, 3},     // 9 -> 18
        {0, 512, 512, 2024, 64},     // a cell is at least 8 wide
    };
    // clang-format on
    for (const Case& c : cases) {
        const TextureCacheLayout l = LayOutTextureCache(c.cellWidth);
        EXPECT_EQ(l.width, c.width) << c.cellWidth;
        EXPECT_EQ(l.height, c.height) << c.cellWidth;
        EXPECT_EQ(l.capacity, c.capacity) << c.cellWidth;
        EXPECT_EQ(l.cellsPerColumn, c.perColumn) << c.cellWidth;
    }
}

TEST(GlyphTextureTest, GlyphsAreClippedToTheirHalf) {
    // A glyph wider and taller than the staging image stays inside each half.
    std::vector<uint8_t> rows(64 * 20, 16);
    std::vector<uint16_t> texels(16 * 10 + 8, 0x5555);
    WriteGlyphToStaging({texels.data(), 16, 10}, 3, 2, {rows.data(), 64, 64, 20}, kTexelA4R4G4B4);
    for (size_t i = 16 * 10; i < texels.size(); ++i) EXPECT_EQ(texels[i], 0x5555) << i;
    std::vector<uint16_t> plain(8 * 8 + 8, 0x5555);
    WriteGlyphToStaging({plain.data(), 8, 8}, 2, 1, {rows.data(), 64, 64, 20}, kTexelA4R4G4B4);
    for (size_t i = 8 * 8; i < plain.size(); ++i) EXPECT_EQ(plain[i], 0x5555) << i;
    EXPECT_EQ(plain[7], 0xFFFF);  // the row is cut at the staging's width
}

}  // namespace
}  // namespace tessra
