// The memory glyph cache: cell sizes, the ring of cells with eviction, and glyphs written into
// their cells, clipped to them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/font/glyph_cache.h"

namespace tessra {
namespace {

TEST(GlyphCacheTest, CellSizesAndCapacity) {
    struct Case {
        int maxWidth;
        bool edged;
        int edge;
        int cellWidth;
    };
    // clang-format off
    const Case cases[] = {
        {16, false, 1, 16}, {17, false, 1, 24}, {12, true, 1, 16}, {14, true, 2, 24},
        {0, false, 1, 8},   {-5, false, 1, 8},  {1, false, 1, 8},  {256, false, 1, 256},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(GlyphCellWidth(c.maxWidth, c.edged, c.edge), c.cellWidth) << c.maxWidth;
    }
    EXPECT_EQ(MemoryCacheCapacity(16), 1280);
    EXPECT_EQ(MemoryCacheCapacity(256), 20);  // 5 cells, raised
    EXPECT_EQ(MemoryCacheCapacity(8), 2024);  // 5120 cells, lowered
    EXPECT_EQ(MemoryCacheCapacity(0), 2024);  // no division by zero
    EXPECT_EQ(GlyphCellHeight(12, true, 1), 14);
    EXPECT_EQ(GlyphCellHeight(13, false, 1), 14);
    EXPECT_EQ(GlyphCellHeight(0, false, 1), 2);
}

TEST(GlyphCacheTest, ClearSetsEveryCellAndTheEndSentinel) {
    MemoryGlyphCache cache;
    InitMemoryGlyphCache(&cache, 0, 256);
    ASSERT_EQ(cache.capacity, 20);
    EXPECT_EQ(cache.entries[0].cell, 0);
    EXPECT_EQ(cache.entries[19].cell, 19);
    EXPECT_EQ(cache.entries[20].cell, -1);
    EXPECT_EQ(cache.lineBytes, 32);
    EXPECT_EQ(cache.bitmap.size(), 20u * 256 * 32);
}

TEST(GlyphCacheTest, RingEvictsTheOldestCell) {
    MemoryGlyphCache cache;
    InitMemoryGlyphCache(&cache, 2, 256);  // 20 cells
    for (uint16_t code = 1; code <= 20; ++code) {
        GlyphCacheEntry* e = TakeGlyphCell(&cache, code);
        EXPECT_EQ(e->cell, code - 1);
    }
    EXPECT_EQ(cache.nextCell, 0);
    for (uint16_t code = 1; code <= 20; ++code) ASSERT_NE(FindCachedGlyph(&cache, code), nullptr);
    // The 21st glyph takes cell 0 and forgets code 1, however recently it was drawn.
    cache.CellRow(0, 3)[5] = 9;
    GlyphCacheEntry* e = TakeGlyphCell(&cache, 0x9F8A);
    EXPECT_EQ(e->cell, 0);
    EXPECT_EQ(FindCachedGlyph(&cache, 1), nullptr);
    EXPECT_EQ(FindCachedGlyph(&cache, 0x9F8A), e);
    EXPECT_EQ(FindCachedGlyph(&cache, 2)->cell, 1);
    EXPECT_EQ(cache.CellRow(0, 3)[5], 0);  // the taken cell starts blank
    ClearGlyphCache(&cache);
    EXPECT_EQ(FindCachedGlyph(&cache, 0x9F8A), nullptr);
    EXPECT_EQ(cache.nextCell, 0);
}

TEST(GlyphCacheTest, SeventeenLevelsBecomeCoverageZeroToFifteen) {
    MemoryGlyphCache cache;
    InitMemoryGlyphCache(&cache, 2, 8);
    GlyphCacheEntry* e = TakeGlyphCell(&cache, 'A');
    const uint8_t levels[8] = {0, 1, 2, 8, 15, 16, 0, 0};
    WriteGlyphToMemoryCell(&cache, *e, {levels, 8, 6, 1});
    const uint8_t expect[8] = {0, 0, 1, 7, 14, 15, 0, 0};
    for (int x = 0; x < 8; ++x) EXPECT_EQ(cache.CellRow(e->cell, 0)[x], expect[x]) << x;
}

TEST(GlyphCacheTest, OneBitRowsAreClippedToTheCell) {
    MemoryGlyphCache cache;
    InitMemoryGlyphCache(&cache, 0, 8);  // one byte a row, eight rows a cell
    ASSERT_EQ(cache.lineBytes, 1);
    TakeGlyphCell(&cache, 'A');
    GlyphCacheEntry* e = TakeGlyphCell(&cache, 'B');  // cell 1: cell 2 below must stay intact
    TakeGlyphCell(&cache, 'C');
    cache.CellRow(2, 0)[0] = 0x5A;
    cache.CellRow(0, 7)[0] = 0x3C;
    // A 12-row glyph with 4-byte rows: only the first byte of each of the first 8 rows fits.
    std::vector<uint8_t> rows(12 * 4, 0xFF);
    WriteGlyphToMemoryCell(&cache, *e, {rows.data(), 4, 32, 12});
    for (int y = 0; y < 8; ++y) EXPECT_EQ(cache.CellRow(1, y)[0], 0xFF) << y;
    EXPECT_EQ(cache.CellRow(2, 0)[0], 0x5A);
    EXPECT_EQ(cache.CellRow(0, 7)[0], 0x3C);
}

TEST(GlyphCacheTest, GrayGlyphsAreClippedToTheCell) {
    MemoryGlyphCache cache;
    InitMemoryGlyphCache(&cache, 2, 8);
    GlyphCacheEntry* e = TakeGlyphCell(&cache, 'A');
    TakeGlyphCell(&cache, 'B');
    cache.CellRow(1, 0)[0] = 0x11;
    std::vector<uint8_t> levels(20 * 20, 16);
    WriteGlyphToMemoryCell(&cache, *e, {levels.data(), 20, 20, 20});
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) EXPECT_EQ(cache.CellRow(0, y)[x], 15);
    }
    EXPECT_EQ(cache.CellRow(1, 0)[0], 0x11);
    // The last cell of the cache: nothing is written past the bitmap's end.
    MemoryGlyphCache last;
    InitMemoryGlyphCache(&last, 2, 8);
    last.nextCell = last.capacity - 1;
    GlyphCacheEntry* tail = TakeGlyphCell(&last, 'Z');
    WriteGlyphToMemoryCell(&last, *tail, {levels.data(), 20, 20, 20});
    EXPECT_EQ(last.CellRow(tail->cell, 7)[7], 15);
}

TEST(GlyphCacheTest, EdgeMasksForEdgesOneToFive) {
    // The covered neighbourhood drawn row by row, for each edge size.
    // clang-format off
    const std::vector<std::vector<std::string>> masks = {
        {".x.", "xxx", ".x."},
        {".xxx.", "xxxxx", "xxxxx", "xxxxx", ".xxx."},
        {"...x...", ".xxxxx.", ".xxxxx.", "xxxxxxx", ".xxxxx.", ".xxxxx.", "...x..."},
        {"..xxxxx..", ".xxxxxxx.", "xxxxxxxxx", "xxxxxxxxx", "xxxxxxxxx", "xxxxxxxxx",
         "xxxxxxxxx", ".xxxxxxx.", "..xxxxx.."},
        {"xxxxxxxxxxx", "xxxxxxxxxxx", "xxxxxxxxxxx", "xxxxxxxxxxx", "xxxxxxxxxxx", "xxxxxxxxxxx",
         "xxxxxxxxxxx", "xxxxxxxxxxx", "xxxxxxxxxxx", "xxxxxxxxxxx", "xxxxxxxxxxx"},
    };
    // clang-format on
    for (int edge = 1; edge <= 5; ++edge) {
        const auto& mask = masks[edge - 1];
        for (int dy = -edge - 1; dy <= edge + 1; ++dy) {
            for (int dx = -edge - 1; dx <= edge + 1; ++dx) {
                const bool inside = dx >= -edge && dx <= edge && dy >= -edge && dy <= edge;
                // Edge 1 covers only the neighbours, not the pixel itself.
                int expect = inside && mask[dy + edge][dx + edge] == 'x' ? 1 : 0;
                if (edge == 1 && dx == 0 && dy == 0) expect = 0;
                EXPECT_EQ(EdgeCovers(edge, dx, dy), expect) << edge << " " << dx << "," << dy;
            }
        }
    }
    EXPECT_EQ(EdgeCovers(0, 0, 1), 0);
}

// The cell drawn as text, one character a byte ('.' for 0).
std::vector<std::string> CellPicture(MemoryGlyphCache& cache, int cell, int rows, int columns) {
    std::vector<std::string> picture;
    for (int y = 0; y < rows; ++y) {
        std::string line;
        for (int x = 0; x < columns; ++x) {
            const uint8_t v = cache.CellRow(cell, y)[x];
            line += v == 0 ? '.' : static_cast<char>(v < 10 ? '0' + v : 'a' + v - 10);
        }
        picture.push_back(line);
    }
    return picture;
}

TEST(GlyphCacheTest, EdgedGlyphsGetTheirOutline) {
    MemoryGlyphCache cache;
    InitMemoryGlyphCache(&cache, 1, 8);
    GlyphCacheEntry* e = TakeGlyphCell(&cache, 'I');
    // A 2 x 2 block at (edge, edge), its one-pixel edge around it; corners stay empty.
    const uint8_t rows[8] = {0xC0, 0, 0, 0, 0xC0, 0, 0, 0};
    WriteGlyphToMemoryCell(&cache, *e, {rows, 4, 2, 2}, 1);
    const std::vector<std::string> expect = {".22.", "2112", "2112", ".22."};
    EXPECT_EQ(CellPicture(cache, e->cell, 4, 4), expect);
}

TEST(GlyphCacheTest, AntiAliasedEdgesTakeTheStrongestLevel) {
    MemoryGlyphCache cache;
    InitMemoryGlyphCache(&cache, 3, 8);
    GlyphCacheEntry* e = TakeGlyphCell(&cache, 'I');
    // Levels 16 and 5 side by side with edge 1.
    const uint8_t levels[4] = {16, 5, 0, 0};
    WriteGlyphToMemoryCell(&cache, *e, {levels, 4, 2, 1}, 1);
    EXPECT_EQ(cache.CellRow(e->cell, 1)[1], 0x4F);  // glyph 15, edge 4 from its right neighbour
    EXPECT_EQ(cache.CellRow(e->cell, 1)[2], 0xF4);  // glyph 4, edge 15 from the left pixel
    EXPECT_EQ(cache.CellRow(e->cell, 1)[0], 0xF0);
    EXPECT_EQ(cache.CellRow(e->cell, 1)[3], 0x40);
    EXPECT_EQ(cache.CellRow(e->cell, 0)[1], 0xF0);
    EXPECT_EQ(cache.CellRow(e->cell, 0)[2], 0x40);
    EXPECT_EQ(cache.CellRow(e->cell, 2)[2], 0x40);
}

TEST(GlyphCacheTest, EdgedGlyphsAreClippedToTheCell) {
    MemoryGlyphCache cache;
    InitMemoryGlyphCache(&cache, 1, 8);
    GlyphCacheEntry* e = TakeGlyphCell(&cache, 'W');
    TakeGlyphCell(&cache, 'X');
    cache.CellRow(1, 0)[0] = 7;
    std::vector<uint8_t> rows(16 * 4, 0xFF);  // 32 x 16, far larger than the cell
    WriteGlyphToMemoryCell(&cache, *e, {rows.data(), 4, 32, 16}, 2);
    EXPECT_EQ(cache.CellRow(1, 0)[0], 7);
    EXPECT_EQ(cache.CellRow(0, 7)[7], 1);
    EXPECT_EQ(cache.CellRow(0, 0)[0], 0);  // the rounded corner of the edge
    EXPECT_EQ(cache.CellRow(0, 0)[2], 2);
}

}  // namespace
}  // namespace tessra
