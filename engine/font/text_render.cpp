// Measuring strings and drawing them from a font's glyph cache: into memory images from a memory
// cache, as graph parts on the draw target from a texture cache.
#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/font/font.h"
#include "engine/font/glyph_render.h"
#include "engine/graphics/draw_front.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_table.h"
#include "engine/screen/memimg.h"
#include "engine/screen/screen.h"

namespace tessra {
namespace {

// A screen colour taken through the draw brightness, without the bits the screen's black pixel
// carries (the unused byte of 32-bit pixels).
uint32_t Brightened(uint32_t color) {
    int r = 0, g = 0, b = 0;
    SplitScreenColor(color, &r, &g, &b);
    r = r * DrawState.brightness[2] / 255;
    g = g * DrawState.brightness[1] / 255;
    b = b * DrawState.brightness[0] / 255;
    return MakeScreenColor(r, g, b) & ~MakeScreenColor(0, 0, 0);
}

int FloorDiv256(int value) {
    return value >= 0 ? value / 256 : -((-value + 255) / 256);
}

// One channel of the edged anti-aliased mix, at the field's (shift, width).
uint32_t MixField(uint32_t t, uint32_t e, int shift, int width, int w) {
    const int mask = (1 << width) - 1;
    const int tc = static_cast<int>(t >> shift) & mask;
    const int ec = static_cast<int>(e >> shift) & mask;
    return static_cast<uint32_t>(ec + FloorDiv256((tc - ec) * w)) << shift;
}

// An edged anti-aliased cache byte (glyph coverage in the low four bits, edge coverage in the
// high four) as alpha and colour; false when it draws nothing.
bool EdgedCoverage(uint8_t value, uint32_t t, uint32_t e, bool wide, uint32_t* alpha,
                   uint32_t* color) {
    const int c = value & 0x0F, k = value >> 4;
    if (c == 0 && k == 0) return false;
    if (c == 0) {
        *alpha = static_cast<uint32_t>(16 * k);
        *color = e;
        return true;
    }
    if (c == 15) {
        *alpha = 255;
        *color = t;
        return true;
    }
    const int a = (15 - c) * k + 16 * c;
    const int w = c * 4096 / a;
    *alpha = static_cast<uint32_t>(a);
    *color = wide ? MixField(t, e, 16, 8, w) | MixField(t, e, 8, 8, w) | MixField(t, e, 0, 8, w)
                  : MixField(t, e, 11, 5, w) | MixField(t, e, 5, 6, w) | MixField(t, e, 0, 5, w);
    return true;
}

struct GlyphDraw {
    const MemoryGlyphCache* cache;
    int cell;
    int sx, sy;  // the first source pixel inside the cell
    int width, height;
    uint8_t* dest;  // the first target pixel
    int pitch;
};

// The cache value at (x, y) of the cell: a bit for plain fonts, a byte for the others.
inline int CacheValue(const GlyphDraw& g, int x, int y) {
    MemoryGlyphCache& cache = *const_cast<MemoryGlyphCache*>(g.cache);
    const uint8_t* row = cache.CellRow(g.cell, y);
    if (cache.type == 0) return (row[x >> 3] >> (7 - (x & 7))) & 1;
    return row[x];
}

template <typename Pixel, typename Write>
void WriteGlyph(const GlyphDraw& g, Write write) {
    for (int row = 0; row < g.height; ++row) {
        Pixel* out = reinterpret_cast<Pixel*>(g.dest + static_cast<ptrdiff_t>(row) * g.pitch);
        for (int col = 0; col < g.width; ++col) {
            const int v = CacheValue(g, g.sx + col, g.sy + row);
            if (v != 0) write(out + col, v);
        }
    }
}

// Bytes per target pixel for the screen depth and font type; 0 when nothing is drawn.
int TargetPixelBytes(int depth, int type) {
    if (depth == 8) return type >= 2 ? 0 : 1;
    if (depth == 32) return 4;
    return (type & 2) ? 4 : 2;
}

void DrawGlyphPixels(const GlyphDraw& g, int depth, int type, uint32_t t, uint32_t e) {
    if (depth == 8) {
        if (type == 0) {
            WriteGlyph<uint8_t>(g, [&](uint8_t* p, int) { *p = static_cast<uint8_t>(t); });
        } else if (type == 1) {
            WriteGlyph<uint8_t>(g, [&](uint8_t* p, int v) {
                *p = static_cast<uint8_t>(v == 1 ? t : v == 2 ? e : *p);
            });
        }
        return;
    }
    if (depth != 32) {
        switch (type) {
            case 0:
                WriteGlyph<uint16_t>(g, [&](uint16_t* p, int) { *p = static_cast<uint16_t>(t); });
                break;
            case 1:
                WriteGlyph<uint16_t>(g, [&](uint16_t* p, int v) {
                    if (v == 1) *p = static_cast<uint16_t>(t);
                    if (v == 2) *p = static_cast<uint16_t>(e);
                });
                break;
            case 2:
                WriteGlyph<uint32_t>(g, [&](uint32_t* p, int v) {
                    *p = (static_cast<uint32_t>(v) << 20) | (t & 0xFFFF);
                });
                break;
            default:
                WriteGlyph<uint32_t>(g, [&](uint32_t* p, int v) {
                    uint32_t alpha = 0, color = 0;
                    if (EdgedCoverage(static_cast<uint8_t>(v), t & 0xFFFF, e & 0xFFFF, false,
                                      &alpha, &color)) {
                        *p = (alpha << 16) | (color & 0xFFFF);
                    }
                });
                break;
        }
        return;
    }
    switch (type) {
        case 0:
            WriteGlyph<uint32_t>(g, [&](uint32_t* p, int) { *p = t; });
            break;
        case 1:
            WriteGlyph<uint32_t>(g, [&](uint32_t* p, int v) {
                if (v == 1) *p = t;
                if (v == 2) *p = e & 0xFFFFFF;
            });
            break;
        case 2:
            WriteGlyph<uint32_t>(
                g, [&](uint32_t* p, int v) { *p = (static_cast<uint32_t>(v) << 28) | t; });
            break;
        default:
            WriteGlyph<uint32_t>(g, [&](uint32_t* p, int v) {
                uint32_t alpha = 0, color = 0;
                if (EdgedCoverage(static_cast<uint8_t>(v), t & 0xFFFFFF, e & 0xFFFFFF, true, &alpha,
                                  &color)) {
                    *p = (alpha << 24) | (color & 0xFFFFFF);
                }
            });
            break;
    }
}

// Draws one cached glyph with its box's top-left at (left, top) of the target, clipped.
void DrawCachedGlyph(const FontRecord& font, const GlyphCacheEntry& entry, int left, int top,
                     MEMIMG* target, const Rect& clip, int depth, uint32_t t, uint32_t e) {
    const MemoryGlyphCache& cache = font.cache;
    // Only what the cell holds is read; the rest of an over-large box was never cached.
    const int width = std::min<int>(entry.width, cache.cellWidth);
    const int height = std::min<int>(entry.height, cache.cellWidth);
    Rect box{left, top, left + width, top + height};
    const Rect drawn{std::max(box.left, clip.left), std::max(box.top, clip.top),
                     std::min(box.right, clip.right), std::min(box.bottom, clip.bottom)};
    if (drawn.left >= drawn.right || drawn.top >= drawn.bottom) return;
    const int bytes = TargetPixelBytes(depth, font.type);
    GlyphDraw g{&cache,
                entry.cell,
                drawn.left - box.left,
                drawn.top - box.top,
                drawn.right - drawn.left,
                drawn.bottom - drawn.top,
                target->pixels + static_cast<ptrdiff_t>(drawn.top) * target->pitch +
                    static_cast<ptrdiff_t>(drawn.left) * bytes,
                target->pitch};
    DrawGlyphPixels(g, depth, font.type, t, e);
}

bool IsSpaceCode(uint16_t code) {
    return code == 0x20 || code == 0x4081;
}

// A screen colour as the 0xRRGGBB brightness the white texels of a texture cache are drawn with.
uint32_t PackedBrightness(uint32_t color) {
    int r = 0, g = 0, b = 0;
    SplitScreenColor(color, &r, &g, &b);
    return (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
}

// Draws one glyph of a texture cache as graph parts: its edge in the edge colour, then the glyph
// in the text colour, with the box's top-left at (left, top).
void DrawTextureGlyph(const FontRecord& font, const GlyphCacheEntry& entry, int left, int top,
                      uint32_t textBrightness, uint32_t edgeBrightness) {
    int sx = 0, sy = 0;
    GlyphCellPosition(font, entry.cell, &sx, &sy);
    const int width = std::min<int>(entry.width, font.cache.cellWidth);
    const int height = std::min<int>(entry.height, font.cache.cellWidth);
    if ((font.type & 1) && font.edgeGraph > 0) {
        SetDrawBrightnessPacked(edgeBrightness);
        DrawGraphPart(left, top, sx, sy, width, height, font.edgeGraph, 1, 0);
    }
    SetDrawBrightnessPacked(textBrightness);
    DrawGraphPart(left, top, sx, sy, width, height, font.cacheGraph, 1, 0);
}

}  // namespace

int RenderTextWithCache(int mode, int x, int y, const char* text, uint32_t color, MEMIMG* target,
                        const Rect* clip, int fontHandle, uint32_t edgeColor, int length,
                        int* size) {
    if (GetGraphicsCoreState().graphicsOff != 0) return -1;
    if (IsDirectDrawUsed() != 0 && GetDirectDrawObject() == nullptr) return -1;
    FontRecord* font = GetFontRecord(fontHandle);
    if (font == nullptr) return -1;
    const uint32_t t = Brightened(color);
    const uint32_t e = Brightened(edgeColor);
    if (text == nullptr || text[0] == '\0') {
        if (size != nullptr) size[0] = 0, size[1] = font->cellHeight;
        return 0;
    }
    const int textLength = static_cast<int>(std::strlen(text));
    const int end = length < 0 || length > textLength ? textLength : length;
    // One cell per character, sized for this text.
    std::vector<GlyphCell> cells(static_cast<size_t>(end) + 1);
    int count = 0;
    CacheStringGlyphs(fontHandle, text, end, cells.data(), &count);

    const int depth = GetScreenBitDepth();
    const int bytes = TargetPixelBytes(depth, font->type);
    const bool drawing =
        mode == kTextDraw && target != nullptr && target->pixels != nullptr && bytes != 0 &&
        MemImgBytesPerPixel(target->kind, target->paletted, target->alpha) == bytes;
    Rect area{0, 0, drawing ? target->width : 0, drawing ? target->height : 0};
    if (drawing && clip != nullptr) {
        area = {std::max(area.left, clip->left), std::max(area.top, clip->top),
                std::min(area.right, clip->right), std::min(area.bottom, clip->bottom)};
    }
    // A texture cache draws its glyphs as graphs on the draw target, under the text colour as
    // brightness and without the blend graph; both come back afterwards.
    const bool textured =
        mode == kTextDraw && target == nullptr && font->useTexture != 0 && font->cacheGraph > 0;
    const int32_t keptBlendGraph = DrawState.blendGraph;
    const int32_t keptBlendParams[2] = {DrawState.blendGraphParam[0], DrawState.blendGraphParam[1]};
    const uint32_t keptBrightness = DrawBrightnessPacked();
    if (textured) SelectBlendGraph(-1, 0, 0);
    const uint32_t textBrightness = PackedBrightness(t), edgeBrightness = PackedBrightness(e);
    double pen = 0.0;
    for (int i = 0; i < count; ++i) {
        const GlyphCell& cell = cells[i];
        GlyphCacheEntry* entry = FindCachedGlyph(&font->cache, cell.code);
        if (entry == nullptr) entry = RenderGlyphsToCache(fontHandle, 1, &cell);
        // A glyph that could not be cached is left out.
        if (entry == nullptr) continue;
        if (drawing && !IsSpaceCode(cell.code) && (entry->width != 0 || entry->height != 0)) {
            DrawCachedGlyph(*font, *entry, x + static_cast<int>(pen) + entry->left, y + entry->top,
                            target, area, depth, t, e);
        } else if (textured && !IsSpaceCode(cell.code) &&
                   (entry->width != 0 || entry->height != 0)) {
            DrawTextureGlyph(*font, *entry, x + static_cast<int>(pen) + entry->left, y + entry->top,
                             textBrightness, edgeBrightness);
        }
        pen += entry->advance + font->charSpacing;
    }
    if (textured) {
        SelectBlendGraph(keptBlendGraph, keptBlendParams[0], keptBlendParams[1]);
        SetDrawBrightnessPacked(keptBrightness);
    }
    const int advance = static_cast<int>(pen);
    if (size != nullptr) {
        size[0] = advance;
        size[1] = font->cellHeight;
    }
    return advance;
}

}  // namespace tessra
