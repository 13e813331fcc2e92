// Images in ordinary memory: the record the software renderer draws into and blits from. The
// window-mode screens, the mask screen, images whose pixels stay in memory, font caches and
// locked surfaces during a software draw are all MEMIMGs.
#pragma once

#include <cstdint>

#include "engine/graphics/color_format.h"

namespace tessra {

inline constexpr uint32_t kMemImgSignature = 0x12345678;

// The pixel layout of a MEMIMG (its kind).
enum MemImgKind : uint32_t {
    kMemImgKind565 = 0,      // 16-bit 5:6:5
    kMemImgKindXrgb = 1,     // 32-bit XRGB
    kMemImgKindSingle8 = 2,  // one 8-bit channel
    kMemImgKindZBuffer = 3,  // one 16-bit channel
};

// Run bytes of the auxiliary buffer: length - 1 in the low 6 bits, kMemImgRunDraw for a run of
// pixels to draw (clear: transparent run), kMemImgRunEnd ends the row.
inline constexpr uint8_t kMemImgRunDraw = 0x40;
inline constexpr uint8_t kMemImgRunEnd = 0xC0;

// Zero a record before its first initialisation. Its buffers belong to it unless pixelsNotOwned.
struct MEMIMG {
    uint32_t signature;  // kMemImgSignature while initialised, else 0
    int32_t width;
    int32_t height;
    int32_t pitch;              // bytes per row
    int32_t pitchLog2;          // n when pitch == 2^n, else -1
    const ColorFormat* format;  // the cached standard format of (kind, alpha, paletted)
    uint32_t transColor;        // pixel value the blits treat as transparent
    uint32_t kind;
    uint32_t paletted;            // pixels are 8-bit indices (kinds 0 and 1 only)
    uint32_t paletteCount;        // entries in use; not set by InitMemImg, copied into views
    uint32_t alpha;               // per-pixel alpha (kinds 0 and 1, not paletted)
    uint32_t premultipliedAlpha;  // alphaBuffer holds the colour-times-alpha copy
    uint32_t runData;             // auxBuffer holds valid run data
    uint32_t pixelsNotOwned;      // pixels supplied by the caller; not freed at release
    uint8_t* palette;             // this record's paletteTable, or the source's for a view
    uint8_t* secondTable;         // this record's secondTableData, or the source's for a view
    alignas(4) uint8_t paletteTable[256 * 4];  // 565 words (kind 0) or XRGB dwords (kind 1)
    alignas(4) uint8_t secondTableData[256 * 4];
    uint8_t* pixels;       // pitch x height bytes
    uint8_t* alphaBuffer;  // pitch x height bytes, or null
    uint8_t* auxBuffer;    // run data, (width + 5) x height bytes, or null
};

// Fault injection for tests: when set to n > 0, the n-th buffer allocation from now fails.
extern int32_t g_memImgFailAllocation;

// Bytes per pixel of a record as InitMemImg lays it out.
int32_t MemImgBytesPerPixel(uint32_t kind, uint32_t paletted, uint32_t alpha);

// pitch -1: automatic (rows padded to 16 bytes). A pixel pointer already set by the caller is
// kept and not owned. 0, or -1 (already initialised, bad size, or out of memory: nothing is
// left allocated and the record stays uninitialised).
int InitMemImg(MEMIMG* image, int32_t width, int32_t height, int32_t pitch, uint32_t transColor,
               int32_t kind, int32_t paletted, int32_t alpha, int32_t makeBuffers);
// Zeroes the record and makes a black screen image; kind -1 picks 0 when workingColorBits is 16,
// else 1 (the caller passes the screen's working depth).
int CreateScreenMemImg(MEMIMG* image, int32_t width, int32_t height, int32_t kind,
                       int32_t workingColorBits);
// Zeroes the record and makes a 16-bit single-channel depth buffer. 0 or -1.
int CreateZBufferMemImg(MEMIMG* image, int32_t width, int32_t height);
// A view onto the rectangle of source; the caller keeps the rectangle inside the source. A view
// is a temporary and is never released.
void InitMemImgView(MEMIMG* view, const MEMIMG* source, int32_t x, int32_t y, int32_t width,
                    int32_t height);
int IsMemImgValid(const MEMIMG* image);  // 1 when it has a pixel buffer
void ReleaseMemImg(MEMIMG* image);       // an uninitialised record is left alone
// The raw fill: sets every pixel of the rectangle (null: whole image), clipped to the image, to
// the pixel value, ignoring the draw state. (The drawing fill under the blend mode and
// brightness is MemImgFillRect in engine/softrender/soft_render.h.)
void FillMemImgRect(MEMIMG* image, const Rect* rect, uint32_t value);

}  // namespace tessra
