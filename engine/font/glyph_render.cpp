#include "engine/font/glyph_render.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/base/log.h"
#include "engine/base/sjis.h"
#include "engine/d3d/d3d.h"
#include "engine/font/font.h"
#include "engine/font/glyph_texture.h"
#include "engine/graphics/graph_image.h"
#include "engine/graphics/graph_table.h"
#include "engine/screen/screen.h"

namespace tessra {

using namespace sjis_literals;

namespace {

// The cell's top-left in the cache image.
void CellPosition(const FontRecord& font, int cell, int* x, int* y) {
    const int perColumn = std::max(font.cellsPerColumn, 1);
    *x = cell / perColumn * font.cache.cellWidth;
    *y = cell % perColumn * font.cache.cellWidth;
}

// A glyph for a texture cache: written into the staging image, then its box (cut to one cell)
// copied into the cache graph at the cell, and the edge half into the edge half of the graph.
void WriteGlyphToTextureCell(FontRecord* font, const GlyphCacheEntry& entry,
                             const GlyphBitmap& glyph, int edge) {
    if (font->staging.empty()) return;
    const TexelFormat& texel = (font->type & 2) ? kTexelA4R4G4B4 : kTexelA1R5G5B5;
    const GlyphStaging staging{font->staging.data(), font->stagingWidth, font->stagingHeight};
    WriteGlyphToStaging(staging, font->type, edge, glyph, texel);
    const int side = font->cache.cellWidth;
    const int width = std::min(glyph.width + 2 * edge, side);
    const int height = std::min(glyph.height + 2 * edge, side);
    if (width <= 0 || height <= 0) return;
    GraphImage image{};
    image.format = font->textureFormat;
    image.width = font->stagingWidth;
    image.height = font->stagingHeight;
    image.pitch = font->stagingWidth * 2;
    image.pixels = reinterpret_cast<uint8_t*>(font->staging.data());
    int x = 0, y = 0;
    CellPosition(*font, entry.cell, &x, &y);
    const Rect glyphRect{0, 0, width, height};
    TransferImageDataToGraph(&image, nullptr, &glyphRect, nullptr, x, y, font->cacheGraph, 0);
    if (font->type & 1) {
        const int half = font->stagingWidth / 2;
        const Rect edgeRect{half, 0, half + width, height};
        TransferImageDataToGraph(&image, nullptr, &edgeRect, nullptr, x + font->cacheWidth, y,
                                 font->cacheGraph, 0);
    }
}

}  // namespace

void GlyphCellPosition(const FontRecord& font, int cell, int* x, int* y) {
    CellPosition(font, cell, x, y);
}

GlyphCacheEntry* RenderGlyphToCache(FontRecord* font, plat::HDC dc, uint16_t code) {
    MemoryGlyphCache& cache = font->cache;
    GlyphCacheEntry* entry = TakeGlyphCell(&cache, code);
    const bool edged = (font->type & 1) != 0;
    const int edge = edged ? font->edgeSize : 0;
    const unsigned first = code & 0xFF, second = code >> 8;
    const plat::UINT gdiCode = second != 0 ? first * 256 + second : first;
    const plat::UINT format = font->type >= 2 ? plat::GGO_GRAY4_BITMAP : plat::GGO_BITMAP;
    const plat::MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
    plat::GLYPHMETRICS gm{};
    const bool space = first == 0x20 || (first == 0x81 && second == 0x40);
    const plat::DWORD size =
        plat::GetGlyphOutlineA(dc, gdiCode, format, &gm, 0, nullptr, &identity);
    if (space || size == plat::GDI_ERROR || size == 0 || gm.gmBlackBoxY == 0) {
        // Nothing to draw: a space, an empty glyph, or one GDI cannot give, which shows as a gap
        // rather than ending the program.
        entry->advance = static_cast<int16_t>(size == plat::GDI_ERROR ? 0 : gm.gmCellIncX);
        // The cell's texels may hold an evicted glyph; the empty box drawn for an edged font
        // must show nothing.
        if (font->useTexture) WriteGlyphToTextureCell(font, *entry, {nullptr, 0, 0, 0}, edge);
    } else {
        const int pitch = static_cast<int>(size / gm.gmBlackBoxY) & ~3;
        std::vector<uint8_t> buffer(size + 2u * pitch, 0);
        const plat::DWORD got = plat::GetGlyphOutlineA(dc, gdiCode, format, &gm, size,
                                                       buffer.data() + pitch, &identity);
        entry->advance = static_cast<int16_t>(gm.gmCellIncX);
        if (got != plat::GDI_ERROR && pitch > 0) {
            entry->left = static_cast<int16_t>(gm.gmptGlyphOrigin.x);
            entry->top = static_cast<int16_t>(font->ascent - gm.gmptGlyphOrigin.y);
            entry->width = static_cast<int16_t>(gm.gmBlackBoxX);
            entry->height = static_cast<int16_t>(gm.gmBlackBoxY);
            const GlyphBitmap glyph{buffer.data() + pitch, pitch, static_cast<int>(gm.gmBlackBoxX),
                                    static_cast<int>(gm.gmBlackBoxY)};
            if (font->useTexture) {
                WriteGlyphToTextureCell(font, *entry, glyph, edge);
            } else {
                WriteGlyphToMemoryCell(&cache, *entry, glyph, edge);
            }
        } else if (font->useTexture) {
            WriteGlyphToTextureCell(font, *entry, {nullptr, 0, 0, 0}, edge);
        }
    }
    if (edged) {
        entry->advance = static_cast<int16_t>(entry->advance + 2 * edge);
        entry->width = static_cast<int16_t>(entry->width + 2 * edge);
        entry->height = static_cast<int16_t>(entry->height + 2 * edge);
    }
    return entry;
}

uint16_t ReadGlyphCode(const char* text, int i, int end, int charsetIndex, int* bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(text) + i;
    // A lead byte whose second byte lies past the end stands alone (and draws empty).
    if (IsDoubleByteLead(p, charsetIndex) && i + 1 < end && p[1] != 0) {
        *bytes = 2;
        return static_cast<uint16_t>(p[0] | (p[1] << 8));
    }
    *bytes = 1;
    return p[0];
}

GlyphCacheEntry* RenderGlyphsToCache(int fontHandle, int count, const GlyphCell* cells) {
    if (GetGraphicsCoreState().graphicsOff != 0) return nullptr;
    if (IsDirectDrawUsed() != 0 && GetDirectDrawObject() == nullptr) return nullptr;
    FontRecord* font = GetFontRecord(fontHandle);
    if (font == nullptr || cells == nullptr || count <= 0) return nullptr;
    plat::HDC dc = plat::CreateCompatibleDC(nullptr);
    plat::HFONT old = dc != nullptr ? plat::SelectObject(dc, font->font) : nullptr;
    if (old == nullptr) {
        // Without a context no glyph can be had; the text draws empty instead of ending the
        // program.
        AppendLog("テキストキャッシュサーフェスのＤＣの取得に失敗しました\n"_sjis);
        if (dc != nullptr) plat::DeleteDC(dc);
        return nullptr;
    }
    // A texture cache may be in the open 3-D scene (its glyphs drawn earlier in it), where its
    // surface cannot be locked. The scene is closed first, drawing what it batched with the
    // glyphs as they were; the next draw opens a new one.
    if (font->useTexture) EndSceneCurrent();
    GlyphCacheEntry* last = nullptr;
    for (int i = 0; i < count; ++i) last = RenderGlyphToCache(font, dc, cells[i].code);
    plat::SelectObject(dc, old);
    plat::DeleteDC(dc);
    return last;
}

int CacheStringGlyphs(int fontHandle, const char* text, int length, GlyphCell* cells, int* count) {
    FontRecord* font = GetFontRecord(fontHandle);
    if (font == nullptr) return -1;
    const int textLength = text != nullptr ? static_cast<int>(std::strlen(text)) : 0;
    const int end = length == -1 || length > textLength ? textLength : std::max(length, 0);
    GlyphCell pending[kGlyphsRenderedPerString];
    int listed = 0, characters = 0;
    for (int i = 0; i < end;) {
        int bytes = 1;
        const uint16_t code = ReadGlyphCode(text, i, end, font->charsetIndex, &bytes);
        if (cells != nullptr) cells[characters] = {code, 0};
        ++characters;
        if (FindCachedGlyph(&font->cache, code) == nullptr && listed < kGlyphsRenderedPerString &&
            listed < font->cache.capacity) {
            pending[listed++] = {code, 0};
        }
        i += bytes;
    }
    if (listed > 0) RenderGlyphsToCache(fontHandle, listed, pending);
    if (count != nullptr) *count = characters;
    return 0;
}

}  // namespace tessra
