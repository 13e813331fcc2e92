#include "engine/font/glyph_cache.h"

#include <algorithm>
#include <cstring>

namespace tessra {

int GlyphCellWidth(int maxCharWidth, bool edged, int edgeSize) {
    int width = maxCharWidth + (edged ? 2 * edgeSize : 0);
    width = (width + 7) / 8 * 8;
    // A zero width would leave no cells to divide the cache into.
    return std::max(width, kMinCellWidth);
}

int GlyphCellHeight(int textHeight, bool edged, int edgeSize) {
    int height = std::max(textHeight, 1) + (edged ? 2 * edgeSize : 0);
    return height + (height & 1);
}

int MemoryCacheCapacity(int cellWidth) {
    cellWidth = std::max(cellWidth, kMinCellWidth);
    const int cells = 0x50000 / (cellWidth * cellWidth);
    return std::clamp(cells, kMemoryCacheMinCells, kGlyphCacheMaxCells);
}

void InitMemoryGlyphCache(MemoryGlyphCache* cache, int type, int cellWidth) {
    cache->type = type;
    cache->cellWidth = std::max(cellWidth, kMinCellWidth);
    cache->capacity = MemoryCacheCapacity(cache->cellWidth);
    const int bits = type == 0 ? 1 : 8;
    cache->lineBytes = (cache->cellWidth * bits + 7) / 8;
    cache->bitmap.assign(static_cast<size_t>(cache->capacity) * cache->cellWidth * cache->lineBytes,
                         0);
    cache->entries.assign(kGlyphCacheEntries, GlyphCacheEntry{});
    cache->codeMap.assign(65536, GlyphCodeMapEntry{});
    ClearGlyphCache(cache);
}

void ClearGlyphCache(MemoryGlyphCache* cache) {
    std::fill(cache->codeMap.begin(), cache->codeMap.end(), GlyphCodeMapEntry{});
    for (int i = 0; i < kGlyphCacheEntries; ++i) {
        cache->entries[i] = GlyphCacheEntry{};
        cache->entries[i].cell = i < cache->capacity ? i : -1;
    }
    cache->nextCell = 0;
}

GlyphCacheEntry* FindCachedGlyph(MemoryGlyphCache* cache, uint16_t code) {
    const GlyphCodeMapEntry& map = cache->codeMap[code];
    return map.cached != 0 ? map.entry : nullptr;
}

GlyphCacheEntry* TakeGlyphCell(MemoryGlyphCache* cache, uint16_t code) {
    GlyphCacheEntry& entry = cache->entries[cache->nextCell];
    if (entry.inUse != 0 && entry.mapEntry != nullptr) {
        *entry.mapEntry = GlyphCodeMapEntry{};
        entry.inUse = 0;
    }
    GlyphCodeMapEntry& map = cache->codeMap[code];
    map.cached = 1;
    map.entry = &entry;
    entry.mapEntry = &map;
    entry.code = code;
    entry.inUse = 1;
    entry.left = entry.top = entry.advance = entry.width = entry.height = 0;
    std::memset(cache->CellRow(entry.cell, 0), 0,
                static_cast<size_t>(cache->cellWidth) * cache->lineBytes);
    cache->nextCell = cache->nextCell + 1 >= cache->capacity ? 0 : cache->nextCell + 1;
    return &entry;
}

void WriteGlyphToMemoryCell(MemoryGlyphCache* cache, const GlyphCacheEntry& entry,
                            const GlyphBitmap& glyph) {
    if (glyph.bits == nullptr || entry.cell < 0 || entry.cell >= cache->capacity) return;
    const int rows = std::min(glyph.height, cache->cellWidth);
    if (cache->type == 0) {
        const int bytes = std::min(glyph.pitch, cache->lineBytes);
        for (int y = 0; y < rows; ++y) {
            std::memcpy(cache->CellRow(entry.cell, y),
                        glyph.bits + static_cast<size_t>(y) * glyph.pitch, bytes);
        }
        return;
    }
    if (cache->type == 2) {
        const int columns = std::min({glyph.width, glyph.pitch, cache->cellWidth});
        for (int y = 0; y < rows; ++y) {
            const uint8_t* source = glyph.bits + static_cast<size_t>(y) * glyph.pitch;
            uint8_t* target = cache->CellRow(entry.cell, y);
            for (int x = 0; x < columns; ++x) {
                if (source[x] > 0)
                    target[x] = static_cast<uint8_t>(std::min<int>(source[x], 16) - 1);
            }
        }
    }
}

}  // namespace tessra
