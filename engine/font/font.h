// What the rest of the engine asks of fonts: the default-font setters behind the public calls,
// the default-font string draw, font handles (made, watched for loss, queried and released),
// starting the font system and re-making every font after a display change, the scratch surface
// and the one routine that measures and draws a string through a font's glyph cache.
#pragma once

#include <cstdint>

#include "engine/font/font_table.h"
#include "engine/graphics/color_format.h"

namespace tessra {

struct MEMIMG;

int StoreDefaultFontSize(int size);            // -1 selects 16
int StoreDefaultFontThickness(int thickness);  // -1 selects 6
int StoreDefaultFontType(int type);            // -1 selects 0
// A null name is the system's choice; charset -1 chooses by the OEM code page.
int StoreDefaultFontFace(const char* faceName, int charSet);
// Size and thickness of the default font (-1: 16 and 6); -1 while DirectDraw is in use without
// an object. The name is not used.
int StoreDefaultFontSizeAndThickness(const char* name, int size, int thickness);
// Puts the default-font settings to the start values (16, thickness 6, type 0, Shift-JIS, edge 1,
// upright, no spacing); the default font itself is kept until the next refresh.
void ResetFontDefaults();
// Re-makes the default font when its settings changed since it was made. 0.
int RefreshDefaultFont();
int QueryDefaultFontHandle();
int DrawStringWithDefaultFont(int x, int y, const char* text, uint32_t color, uint32_t edgeColor);
// Draws a string in a font (engine/graphics, the drawing front end); 0, or -1 for a bad font
// handle.
int DrawStringWithFont(int x, int y, const char* text, uint32_t color, int fontHandle,
                       uint32_t edgeColor, int flag);

// A font handle or -1. Every argument but name and italic may be -1 for its default (size 16,
// thickness 6, type 0, charset by the OEM code page, edge 1, the first free slot, the next check
// number); a given slot and check re-make a font under a known handle.
int CreateFontToHandle(const char* name, int size, int thickness, int type, int charsetIndex,
                       int edgeSize, int italic, int slot, int check);
// The font layer sets *lostFlag to 1 when the font is released; 0 or -1.
int SetFontLostFlagPointer(int fontHandle, int32_t* lostFlag);
int SetFontCharSpacing(int spacing, int fontHandle);
int ReleaseFontHandle(int fontHandle);
// Forgets every cached glyph of the font; 0 or -1.
int ClearFontGlyphCache(int fontHandle);
// The font's size, or -1.
int GetFontHandleField(int fontHandle);
// Copies the face name (into kFontNameBytes), size and thickness of a font; any may be null.
int GetFontHandleInfo(char* name, int* size, int* thickness, int fontHandle);
// Releases every font and makes the default font again; -1 while DirectDraw is in use without an
// object.
int InitFontSystem();
// Re-makes every font under its own handle (after the display was lost or changed). 0.
int RecreateAllFonts();
// Makes whichever of the font's images (scratch surface, cache graph) is marked lost. 0 or -1.
int CreateFontCacheSurface(int fontHandle);

// One character of a text as the glyph cache names it: the first byte in the low 8 bits of the
// code, a second byte, if any, in the high 8 bits.
struct GlyphCell {
    uint16_t code;
    uint8_t zero;
};

// The character at text[i] (not past end): its code, and its length in bytes (1 or 2) in *bytes.
uint16_t ReadGlyphCode(const char* text, int i, int end, int charsetIndex, int* bytes);
// Renders `count` codes into the next cells of the font's cache; the entry of the last one, or
// null (graphics off, no DirectDraw object, a bad handle, nothing to render).
GlyphCacheEntry* RenderGlyphsToCache(int fontHandle, int count, const GlyphCell* cells);
// Writes one cell per character of the text (length -1: to its end; a longer length is cut) into
// `cells` (null: none written; else it holds at least one cell per byte of the text) and the
// character count into *count, and renders the codes not yet cached (at most 256 and fewer than
// the cache holds; the rest are rendered as they are drawn). 0 or -1.
int CacheStringGlyphs(int fontHandle, const char* text, int length, GlyphCell* cells, int* count);

enum TextRenderMode : int {
    kTextMeasure = 0,
    kTextDraw = 1,
};

// Measures (kTextMeasure) or draws (kTextDraw) a string at (x, y), its top-left, in the font:
// into `target`, clipped to `clip` (null: the whole target) and to the target, with a memory
// cache; as graph draws with a texture cache (target null). Colours are screen pixel values,
// taken through the draw brightness. The string's advance in pixels, or -1 (graphics off, no
// DirectDraw object, a bad font); `size`, when given, receives the advance and the cell height.
int RenderTextWithCache(int mode, int x, int y, const char* text, uint32_t color, MEMIMG* target,
                        const Rect* clip, int fontHandle, uint32_t edgeColor, int length,
                        int* size);

}  // namespace tessra
