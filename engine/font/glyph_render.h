// Rendering a font's glyphs through GDI into its cache, in memory or in a texture graph.
#pragma once

#include <cstdint>

#include "engine/font/font_table.h"

namespace tessra {

// New codes one string renders into the cache before it is drawn; the rest are rendered one at a
// time as they are drawn.
inline constexpr int kGlyphsRenderedPerString = 256;

// Renders the character into the next cell of the font's cache (the font selected into dc) and
// returns its entry. The code holds the first byte in its low 8 bits and a second byte, if any,
// in its high 8 bits. A glyph GDI cannot give is cached as an empty one with its advance.
GlyphCacheEntry* RenderGlyphToCache(FontRecord* font, plat::HDC dc, uint16_t code);
// The top-left pixel of a cache cell: cells fill columns of `cellsPerColumn`, top to bottom.
void GlyphCellPosition(const FontRecord& font, int cell, int* x, int* y);

}  // namespace tessra
