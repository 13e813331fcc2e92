// Font records and their handles: the table of 40 fonts, the handle test, the double-byte lead
// rule of each character set, and the GDI font a record is made with.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/base/handle.h"
#include "engine/font/glyph_cache.h"
#include "engine/graphics/color_format.h"
#include "platform/gdi/font.h"

namespace tessra {

inline constexpr int32_t kFontSlots = 40;
inline constexpr int kFontNameBytes = 256;

struct FontRecord {
    int32_t check = 0;
    int32_t* lostFlag = nullptr;
    MemoryGlyphCache cache;
    int32_t size = 0;
    int32_t cellHeight = 0;
    int32_t charSpacing = 0;
    int32_t cellWidth = 0;
    plat::HFONT font = nullptr;
    int32_t type = 0;
    int32_t charsetIndex = 1;
    int32_t thickness = 0;
    int32_t edgeSize = 0;
    int32_t italic = 0;
    int32_t ascent = 0;
    char name[kFontNameBytes] = {};
    int32_t cacheWidth = 0;  // the cache image in pixels
    int32_t cacheHeight = 0;
    int32_t cellsPerColumn = 0;
    int32_t scratchSurface = -1;  // memory caches: the surface whole strings are drawn into
    int32_t scratchLost = 0;      // 1: the scratch surface must be made (again)
    int32_t cacheGraph = -1;      // texture caches: the graph holding the glyphs
    int32_t edgeGraph = -1;       // its right half, holding the edges of edged fonts
    int32_t cacheGraphLost = 0;
    ColorFormat textureFormat{};    // texture caches: the cache graph's pixel format
    std::vector<uint16_t> staging;  // texture caches: one glyph (and its edge) before upload
    int32_t stagingWidth = 0;
    int32_t stagingHeight = 0;
    int32_t useTexture = 0;
};

using FontTable = HandleTable<FontRecord, kFontSlots>;
FontTable& GetFontTable();

FontRecord* GetFontRecord(int handle);
int IsFontHandleValid(int handle);

// 1 when the byte starts a double-byte character: with charset index 2 any byte from 0x80, with
// any other the Shift-JIS lead bytes.
int IsDoubleByteLead(const unsigned char* byte, int charsetIndex);
// DEFAULT_CHARSET, SHIFTJIS_CHARSET and HANGUL_CHARSET by index 0..2; others Shift-JIS.
uint32_t CharsetOfIndex(int charsetIndex);
// 2 on a Korean system (OEM code page 949), else 1.
int DefaultCharsetIndex();

// The slot a new font takes: a given slot when it is free (-1 when it is taken or not one of the
// 40), else the first free one (-1 and a log line when all are taken).
int32_t ChooseFontSlot(int32_t slot);
// Copies a face name into a record's name field, cut to fit.
void StoreFontName(FontRecord* record, const char* name);

// The GDI font of a record: the face in the record's charset, then the default and the
// Shift-JIS charset; with no face name the unnamed fixed-pitch font, then once more in the
// default charset upright. Null (and a log line) when none can be made.
plat::HFONT OpenGdiFont(const char* name, int size, int thickness, int italic, int charsetIndex);
// Reads the font's metrics into the record: ascent, and the cell width and height for its type
// and edge. False when the metrics cannot be read.
bool MeasureGdiFont(FontRecord* record);

}  // namespace tessra
