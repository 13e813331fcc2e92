// The GDI stand-in for fonts: logical fonts found through fontconfig and drawn by FreeType,
// memory device contexts to select them into, text metrics and glyph bitmaps.
//
// A positive font height is the cell height (ascent plus descent equal it); a negative one the
// character height (the em). Weights of 600 and above are drawn emboldened, italic fonts
// sheared. Character codes are those of the font's code page (932: one byte, or lead byte x 256
// + trail byte); a character the face lacks, or a code that does not convert, gives an empty
// glyph rather than a failure.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/win/types.h"

namespace plat {

struct FontObject;
using HFONT = FontObject*;

constexpr DWORD ANSI_CHARSET = 0;
constexpr DWORD DEFAULT_CHARSET = 1;
constexpr DWORD SHIFTJIS_CHARSET = 128;
constexpr DWORD HANGUL_CHARSET = 129;
constexpr DWORD OUT_DEFAULT_PRECIS = 0;
constexpr DWORD CLIP_DEFAULT_PRECIS = 0;
constexpr DWORD NONANTIALIASED_QUALITY = 3;
constexpr DWORD DEFAULT_PITCH = 0;
constexpr DWORD FIXED_PITCH = 1;
constexpr int FW_NORMAL = 400;
constexpr int FW_BOLD = 700;

constexpr UINT GGO_METRICS = 0;
constexpr UINT GGO_BITMAP = 1;
constexpr UINT GGO_GRAY4_BITMAP = 5;  // 17 levels, 0..16, one byte a pixel
constexpr DWORD GDI_ERROR = 0xFFFFFFFF;

struct TEXTMETRICA {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};

struct GlyphPoint {
    LONG x;
    LONG y;
};

struct GLYPHMETRICS {
    UINT gmBlackBoxX;
    UINT gmBlackBoxY;
    GlyphPoint gmptGlyphOrigin;  // the box's left, and its top above the baseline
    int16_t gmCellIncX;
    int16_t gmCellIncY;
};

struct FIXED {
    WORD fract;
    int16_t value;
};

struct MAT2 {
    FIXED eM11;
    FIXED eM12;
    FIXED eM21;
    FIXED eM22;
};

// Null when no face can be found. Width, escapement, orientation, underline, strike-out and
// the precision and quality arguments are accepted and not used.
HFONT CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                  DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, const char* faceName);
BOOL DeleteObject(HFONT font);  // FALSE for null or a font still selected into a context

// A memory device context; its font starts as a stock font that measures nothing.
HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);
// The previous font, or null for an unknown context or a null font.
HFONT SelectObject(HDC dc, HFONT font);

// FALSE for an unknown context or one holding the stock font.
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* metrics);
// GGO_METRICS fills the metrics and returns 0. GGO_BITMAP (1 bit a pixel, most significant bit
// first) and GGO_GRAY4_BITMAP give rows padded to 4 bytes, top row first; with no buffer or a
// size of 0 the call returns the bytes needed, else it fills the buffer and returns them.
// GDI_ERROR for an unknown context, the stock font, another format, a null matrix or a buffer
// too small. Empty glyphs (spaces, missing characters) need 0 bytes and have a 1x1 box.
DWORD GetGlyphOutlineA(HDC dc, UINT code, UINT format, GLYPHMETRICS* metrics, DWORD size,
                       void* buffer, const MAT2* matrix);

// --- Glyph sources -----------------------------------------------------------------------------
// What a font asks of its face; the fontconfig/FreeType source is the default and tests can
// put a synthetic one in its place (platform/testing.h).
struct FontRequest {
    int height;  // as CreateFontA's
    int weight;
    bool italic;
    DWORD charSet;
    DWORD pitchAndFamily;
    std::string faceName;
};

struct FaceMetrics {
    int ascent;
    int descent;
    int maxAdvance;
    int averageAdvance;
};

// A glyph as coverage 0..255 (0 or 255 when drawn for 1 bit), top row first.
struct GlyphImage {
    int width = 0;
    int rows = 0;
    int left = 0;  // the box's left from the pen
    int top = 0;   // the box's top above the baseline
    int advance = 0;
    std::vector<uint8_t> coverage;  // width x rows
};

class GlyphFace {
public:
    virtual ~GlyphFace() = default;
    virtual FaceMetrics Metrics() const = 0;
    // False when the face has no glyph for the character.
    virtual bool Render(char32_t character, bool oneBit, GlyphImage* out) = 0;
};

using GlyphFaceFactory = std::function<std::unique_ptr<GlyphFace>(const FontRequest&)>;

// The face that stands for a request, as CreateFontA finds it (the synthetic one while a test
// has put one in place); null when none can be opened. For text the layer draws itself.
std::unique_ptr<GlyphFace> OpenGlyphFace(const FontRequest& request);

}  // namespace plat
