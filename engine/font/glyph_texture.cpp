#include "engine/font/glyph_texture.h"

#include <algorithm>
#include <cstring>

namespace tessra {
namespace {

// A 17-level coverage as a texel: the alpha field holds L - 1 (nothing for 0), colour all set.
uint16_t LevelTexel(int level, const TexelFormat& f) {
    if (level <= 0) return f.colorMasks;
    return static_cast<uint16_t>(((level << (f.alphaShift + f.alphaWidth - 4)) - 1) | f.colorMasks);
}

}  // namespace

TextureCacheLayout LayOutTextureCache(int cellWidth) {
    cellWidth = std::max(cellWidth, kMinCellWidth);
    TextureCacheLayout l{512, 512, 0, 0};
    l.capacity = (512 / cellWidth) * (512 / cellWidth);
    while (l.capacity < 10) {
        if (l.width > l.height) {
            l.height *= 2;
        } else {
            l.width *= 2;
        }
        l.capacity = (l.height / cellWidth) * (l.width / cellWidth);
    }
    l.capacity = std::min(l.capacity, kGlyphCacheMaxCells);
    l.cellsPerColumn = l.height / cellWidth;
    return l;
}

void WriteGlyphToStaging(const GlyphStaging& staging, int type, int edgeSize,
                         const GlyphBitmap& glyph, const TexelFormat& format) {
    std::memset(staging.texels, 0, static_cast<size_t>(staging.width) * staging.height * 2);
    if (glyph.bits == nullptr) return;
    const bool edged = (type & 1) != 0;
    const bool gray = (type & 2) != 0;
    const int edge = edged ? std::max(edgeSize, 0) : 0;
    // Each half is as wide as a cell; a plain font's staging is one half.
    const int half = edged ? staging.width / 2 : staging.width;
    auto glyphTexel = [&](int x, int y) -> uint16_t* {
        if (x < 0 || y < 0 || x >= half || y >= staging.height) return nullptr;
        return staging.texels + static_cast<size_t>(y) * staging.width + x;
    };
    auto edgeTexel = [&](int x, int y) -> uint16_t* {
        uint16_t* t = glyphTexel(x, y);
        return t != nullptr ? t + half : nullptr;
    };
    const uint16_t full = format.alphaMask | format.colorMasks;
    const int columns = std::min(glyph.width, gray ? glyph.pitch : glyph.pitch * 8);
    for (int y = 0; y < glyph.height; ++y) {
        const uint8_t* row = glyph.bits + static_cast<size_t>(y) * glyph.pitch;
        for (int x = 0; x < columns; ++x) {
            const int level = gray ? std::min<int>(row[x], 16) : (row[x >> 3] >> (7 - (x & 7))) & 1;
            uint16_t* t = glyphTexel(x + edge, y + edge);
            if (t == nullptr) continue;
            if (!edged) {
                *t =
                    gray
                        ? LevelTexel(level, format)
                        : static_cast<uint16_t>((level ? format.alphaMask : 0) | format.colorMasks);
                continue;
            }
            if (level == 0) continue;
            // Edged glyphs keep raw levels (1 for a set bit) until the end.
            *t = static_cast<uint16_t>(gray ? level : 1);
            for (int dy = -edge; dy <= edge; ++dy) {
                for (int dx = -edge; dx <= edge; ++dx) {
                    if (!EdgeCovers(edge, dx, dy)) continue;
                    uint16_t* n = edgeTexel(x + edge + dx, y + edge + dy);
                    if (n == nullptr) continue;
                    if (!gray) {
                        *n = 1;
                    } else {
                        *n = static_cast<uint16_t>((256 - (16 - *n) * (16 - level)) / 16);
                    }
                }
            }
        }
    }
    if (!edged) return;
    // Raw levels to texels over the glyph's box with its edge, in both halves.
    const int boxWidth = std::min(glyph.width + 2 * edge, half);
    const int boxHeight = std::min(glyph.height + 2 * edge, staging.height);
    for (int y = 0; y < boxHeight; ++y) {
        for (int x = 0; x < boxWidth; ++x) {
            for (uint16_t* t : {glyphTexel(x, y), edgeTexel(x, y)}) {
                if (gray) {
                    *t = LevelTexel(*t, format);
                } else {
                    *t = *t != 0 ? full : 0;
                }
            }
        }
    }
}

}  // namespace tessra
