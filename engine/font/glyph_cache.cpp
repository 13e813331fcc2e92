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

namespace {

void InitCacheCells(MemoryGlyphCache* cache, int type, int cellWidth, int capacity, int bits) {
    cache->type = type;
    cache->cellWidth = std::max(cellWidth, kMinCellWidth);
    cache->capacity = std::clamp(capacity, 1, kGlyphCacheMaxCells);
    cache->lineBytes = (cache->cellWidth * bits + 7) / 8;
    cache->bitmap.assign(static_cast<size_t>(cache->capacity) * cache->cellWidth * cache->lineBytes,
                         0);
    cache->entries.assign(kGlyphCacheEntries, GlyphCacheEntry{});
    cache->codeMap.assign(65536, GlyphCodeMapEntry{});
    ClearGlyphCache(cache);
}

}  // namespace

void InitMemoryGlyphCache(MemoryGlyphCache* cache, int type, int cellWidth) {
    const int side = std::max(cellWidth, kMinCellWidth);
    InitCacheCells(cache, type, side, MemoryCacheCapacity(side), type == 0 ? 1 : 8);
}

void InitTextureGlyphCache(MemoryGlyphCache* cache, int type, int cellWidth, int capacity) {
    InitCacheCells(cache, type, cellWidth, capacity, 0);
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
    if (!cache->bitmap.empty()) {
        std::memset(cache->CellRow(entry.cell, 0), 0,
                    static_cast<size_t>(cache->cellWidth) * cache->lineBytes);
    }
    cache->nextCell = cache->nextCell + 1 >= cache->capacity ? 0 : cache->nextCell + 1;
    return &entry;
}

namespace {

// clang-format off
const char* const kEdgeMasks[3][9] = {
    {".xxx.", "xxxxx", "xxxxx", "xxxxx", ".xxx."},
    {"...x...", ".xxxxx.", ".xxxxx.", "xxxxxxx", ".xxxxx.", ".xxxxx.", "...x..."},
    {"..xxxxx..", ".xxxxxxx.", "xxxxxxxxx", "xxxxxxxxx", "xxxxxxxxx", "xxxxxxxxx", "xxxxxxxxx",
     ".xxxxxxx.", "..xxxxx.."},
};
// clang-format on

}  // namespace

int EdgeCovers(int edgeSize, int dx, int dy) {
    if (edgeSize <= 0 || dx < -edgeSize || dx > edgeSize || dy < -edgeSize || dy > edgeSize) {
        return 0;
    }
    if (edgeSize == 1) return (dx == 0) != (dy == 0) ? 1 : 0;
    if (edgeSize > 4) return 1;
    return kEdgeMasks[edgeSize - 2][dy + edgeSize][dx + edgeSize] == 'x' ? 1 : 0;
}

void WriteGlyphToMemoryCell(MemoryGlyphCache* cache, const GlyphCacheEntry& entry,
                            const GlyphBitmap& glyph, int edgeSize) {
    if (glyph.bits == nullptr || entry.cell < 0 || entry.cell >= cache->capacity ||
        cache->bitmap.empty())
        return;
    const int side = cache->cellWidth;
    if (cache->type == 0) {
        const int rows = std::min(glyph.height, side);
        const int bytes = std::min(glyph.pitch, cache->lineBytes);
        for (int y = 0; y < rows; ++y) {
            std::memcpy(cache->CellRow(entry.cell, y),
                        glyph.bits + static_cast<size_t>(y) * glyph.pitch, bytes);
        }
        return;
    }
    const bool edged = cache->type == 1 || cache->type == 3;
    const int offset = edged ? std::max(edgeSize, 0) : 0;
    const bool oneBit = cache->type == 1;
    // Source columns that exist in each row.
    const int sourceColumns = std::min(glyph.width, oneBit ? glyph.pitch * 8 : glyph.pitch);
    auto pixel = [&](int x, int y) -> uint8_t* {
        if (x < 0 || y < 0 || x >= side || y >= side) return nullptr;
        return cache->CellRow(entry.cell, y) + x;
    };
    for (int y = 0; y < glyph.height && y + offset < side; ++y) {
        const uint8_t* source = glyph.bits + static_cast<size_t>(y) * glyph.pitch;
        for (int x = 0; x < sourceColumns && x + offset < side; ++x) {
            const int level =
                oneBit ? ((source[x >> 3] >> (7 - (x & 7))) & 1) : std::min<int>(source[x], 16);
            if (level == 0) continue;
            const int px = x + offset, py = y + offset;
            if (cache->type == 2) {
                *pixel(px, py) = static_cast<uint8_t>(level - 1);
                continue;
            }
            if (cache->type == 1) {
                *pixel(px, py) = 1;
            } else {
                *pixel(px, py) |= static_cast<uint8_t>(level - 1);
            }
            for (int dy = -offset; dy <= offset; ++dy) {
                for (int dx = -offset; dx <= offset; ++dx) {
                    if (!EdgeCovers(offset, dx, dy)) continue;
                    uint8_t* n = pixel(px + dx, py + dy);
                    if (n == nullptr) continue;
                    if (cache->type == 1) {
                        if (*n != 1) *n = 2;
                    } else if ((*n >> 4) < level - 1) {
                        *n = static_cast<uint8_t>((*n & 0x0F) | ((level - 1) << 4));
                    }
                }
            }
        }
    }
}

}  // namespace tessra
