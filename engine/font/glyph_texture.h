// Private to engine/font. Glyphs written for a font's texture cache: 16-bit white texels whose
// alpha holds the glyph's coverage, the glyph in the left half of the staging image and, for
// edged fonts, its edge at the same place in the right half.
#pragma once

#include <cstdint>

#include "engine/font/glyph_cache.h"

namespace tessra {

// The texel format: A1R5G5B5 for fonts without anti-aliasing, A4R4G4B4 for anti-aliased ones.
struct TexelFormat {
    uint16_t alphaMask;
    uint16_t colorMasks;  // every colour bit: the texels are white
    int alphaShift;
    int alphaWidth;
};
inline constexpr TexelFormat kTexelA1R5G5B5 = {0x8000, 0x7FFF, 15, 1};
inline constexpr TexelFormat kTexelA4R4G4B4 = {0xF000, 0x0FFF, 12, 4};

// The size of a texture cache for cells of this side: 512 x 512, the shorter side doubled until
// at least 10 cells fit, at most 2024 cells; cells fill columns of `cellsPerColumn`.
struct TextureCacheLayout {
    int width;
    int height;
    int capacity;
    int cellsPerColumn;
};
TextureCacheLayout LayOutTextureCache(int cellWidth);

// A staging image of width x height texels, `width` texels a row; edged fonts use both halves.
struct GlyphStaging {
    uint16_t* texels;
    int width;
    int height;
};

// Clears the staging image and writes the glyph (1-bit rows for types 0 and 1, 17-level bytes
// for types 2 and 3) as the font's type asks, placed at (edge, edge) for edged types, clipped to
// each half.
void WriteGlyphToStaging(const GlyphStaging& staging, int type, int edgeSize,
                         const GlyphBitmap& glyph, const TexelFormat& format);

}  // namespace tessra
