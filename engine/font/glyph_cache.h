// A font's glyph cache in memory: square cells in one column, reused in a ring, each glyph
// written into its cell as the font's type asks (1 bit a pixel for plain fonts; one byte a pixel
// holding coverage 0..15 for anti-aliased ones).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessra {

inline constexpr int kGlyphCacheEntries = 2025;  // the last one ends the used ones
inline constexpr int kGlyphCacheMaxCells = 2024;
inline constexpr int kMemoryCacheMinCells = 20;
inline constexpr int kMinCellWidth = 8;

struct GlyphCodeMapEntry;

struct GlyphCacheEntry {
    uint16_t code;
    uint16_t inUse;
    int16_t left;
    int16_t top;  // from the line's top
    int16_t advance;
    int32_t cell;
    int16_t width;
    int16_t height;
    GlyphCodeMapEntry* mapEntry;
};

struct GlyphCodeMapEntry {
    uint32_t cached;
    GlyphCacheEntry* entry;
};

// The cell side: the widest character (and the edge on both sides), a multiple of 8, at least 8.
int GlyphCellWidth(int maxCharWidth, bool edged, int edgeSize);
// The cell height: the text height (and the edge on both sides), raised to an even number, at
// least 2.
int GlyphCellHeight(int textHeight, bool edged, int edgeSize);
// Cells of a memory cache of this cell width: 0x50000 bytes' worth, 20..2024.
int MemoryCacheCapacity(int cellWidth);

struct MemoryGlyphCache {
    int type = 0;  // 0 plain, 1 edged, 2 anti-aliased, 3 anti-aliased and edged
    int cellWidth = kMinCellWidth;
    int capacity = kMemoryCacheMinCells;
    int lineBytes = 1;
    int nextCell = 0;
    std::vector<GlyphCacheEntry> entries;
    std::vector<GlyphCodeMapEntry> codeMap;  // 65536
    std::vector<uint8_t> bitmap;             // cellWidth x capacity rows of lineBytes

    uint8_t* CellRow(int cell, int row) {
        return bitmap.data() + (static_cast<size_t>(cell) * cellWidth + row) * lineBytes;
    }
};

// Sizes a memory cache for a font of the type and cell width (clamped to at least 8) and clears
// it.
void InitMemoryGlyphCache(MemoryGlyphCache* cache, int type, int cellWidth);
// The cells and code map of a cache whose pixels live in a texture: `capacity` cells, no bitmap.
void InitTextureGlyphCache(MemoryGlyphCache* cache, int type, int cellWidth, int capacity);
// Forgets every glyph; the pixels stay.
void ClearGlyphCache(MemoryGlyphCache* cache);
// The entry the code is cached in, or null.
GlyphCacheEntry* FindCachedGlyph(MemoryGlyphCache* cache, uint16_t code);
// Gives the code the next cell of the ring, evicting the glyph that held it, and clears the
// cell's pixels (a texture cache's cell is cleared by the glyph written over it).
GlyphCacheEntry* TakeGlyphCell(MemoryGlyphCache* cache, uint16_t code);

// A glyph bitmap as the GDI layer gives it: 1-bit rows (most significant bit first) or 17-level
// bytes (0..16), `pitch` bytes a row.
struct GlyphBitmap {
    const uint8_t* bits;
    int pitch;
    int width;
    int height;
};

// 1 when the pixel at (dx, dy) from a glyph pixel lies in the edge of that size around it: the
// four direct neighbours for size 1, rounded squares for 2 to 4, the full square above.
int EdgeCovers(int edgeSize, int dx, int dy);

// Writes a glyph into the entry's cell as the cache's type asks, clipped to the cell: at most
// the cell's rows and columns, and of each row at most what both the source and the cell hold.
// Edged types place the glyph at (edge, edge) and draw the edge around it.
void WriteGlyphToMemoryCell(MemoryGlyphCache* cache, const GlyphCacheEntry& entry,
                            const GlyphBitmap& glyph, int edgeSize = 0);

}  // namespace tessra
