#include "engine/font/glyph_render.h"

#include <vector>

namespace tessra {

GlyphCacheEntry* RenderGlyphToMemoryCache(FontRecord* font, plat::HDC dc, uint16_t code) {
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
            WriteGlyphToMemoryCell(&cache, *entry,
                                   {buffer.data() + pitch, pitch, static_cast<int>(gm.gmBlackBoxX),
                                    static_cast<int>(gm.gmBlackBoxY)},
                                   edge);
        }
    }
    if (edged) {
        entry->advance = static_cast<int16_t>(entry->advance + 2 * edge);
        entry->width = static_cast<int16_t>(entry->width + 2 * edge);
        entry->height = static_cast<int16_t>(entry->height + 2 * edge);
    }
    return entry;
}

}  // namespace tessra
