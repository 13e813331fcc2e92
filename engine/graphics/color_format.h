// Pixel colour formats: the record every image, surface and screen describes its pixels with,
// the fixed and cached standard formats, packing, single-pixel conversion and the one routine
// that moves a rectangle of pixels between two formats.
#pragma once

#include <cstdint>

#include "platform/ddraw/pixel_format.h"

namespace tessra {

// Left, top, right, bottom; right and bottom exclusive.
struct Rect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// Copied by value. For an 8-bit image the masks, widths and shifts describe the palette's colours
// as 32-bit values, and the pixel is an index into the palette.
struct ColorFormat {
    uint16_t bitDepth;       // 8, 16, 24 or 32
    uint16_t bytesPerPixel;  // bitDepth / 8
    uint8_t redWidth, greenWidth, blueWidth, alphaWidth;
    uint8_t redShift, greenShift, blueShift, alphaShift;
    uint32_t redMask, greenMask, blueMask, alphaMask;
    uint32_t unusedMask;      // the bits no channel uses
    uint8_t palette[256][4];  // blue, green, red, 0 per entry
    uint8_t unusedShift, unusedWidth;
};

// Standard kinds of GetStandardColorFormat.
enum : int32_t {
    kColorKind565 = 0,       // 16-bit 5:6:5 (with alpha: 565 in the low word, 8 alpha bits above)
    kColorKindXrgb = 1,      // 32-bit XRGB (with alpha: ARGB)
    kColorKindSingle8 = 2,   // one 8-bit channel
    kColorKindSingle16 = 3,  // one 16-bit channel (Z buffers)
};

// Fills depth, bytes per pixel, masks, widths, shifts and the unused mask with its shift and
// width; the palette is untouched. Returns 0.
int BuildColorFormatFromMasks(ColorFormat* format, int32_t bitDepth, uint32_t redMask,
                              uint32_t greenMask, uint32_t blueMask, uint32_t alphaMask);
// The same from a DirectDraw pixel format's bit count and four masks. Returns 0.
int SetColorFormatFromPixelFormat(const plat::DDPixelFormat* pixelFormat, ColorFormat* format);
// Recomputes only the unused-bits mask (its shift and width are left alone).
void RecomputeUnusedBitsMask(ColorFormat* format);
// Size 32, flags RGB, the bit count and masks; FourCC 0. Returns 0.
int BuildDDPixelFormat(plat::DDPixelFormat* pixelFormat, int32_t bitDepth, uint32_t redMask,
                       uint32_t greenMask, uint32_t blueMask, uint32_t alphaMask);
// 1 when bit depth and the four masks are equal (palettes are not compared), else 0.
int ColorFormatsEqual(const ColorFormat* a, const ColorFormat* b);

// The fixed formats the image loaders set in place; unused shift and width are left as they were.
void SetPaletteXrgbFormat(ColorFormat* format);  // 8-bit, XRGB palette, palette left alone
void SetRgb24Format(ColorFormat* format);        // 24-bit RGB, palette left alone
void SetGreyPaletteFormat(ColorFormat* format);  // 8-bit, palette entry i = (i, i, i, 0)

// Packs 8-bit channels into a pixel of the format (the unused bits set).
uint32_t PackColorForFormat(const ColorFormat* format, int red, int green, int blue, int alpha);
// One pixel from the source format to the destination format (truncating, no bit replication;
// a source without alpha gives full alpha).
uint32_t ConvertPixelColor(const ColorFormat* dest, const ColorFormat* source, uint32_t value);

// Cached records built on first request and never changed; null for a kind above 3.
const ColorFormat* GetStandardColorFormat(int32_t kind, int32_t alpha, int32_t paletted);
const plat::DDPixelFormat* GetStandardPixelFormat(int32_t kind, int32_t alpha, int32_t paletted);

// Copies the source rectangle into the destination at (destX, destY), converting between the
// two formats. Options:
//  alphaPixels/alphaPitch/alphaFormat: a separate image read at the source position whose alpha
//    channel (or, without one, its blue channel; for 8 bits its palette colour) supplies the alpha
//    when the source has none; null for none.
//  mirror: rows written right to left.
//  keyToAlpha: destination pixels whose colour equals transColor (0xRRGGBB) get alpha 0, others
//    full alpha. Otherwise transColor is compared with each source value as read (an 8-bit
//    source's palette colour 0x00RRGGBB).
//  dither: 0 none, 1 ordered 4 x 4, 2 error carried along the row.
//  alphaOnly: colour channels written as 0. alphaFromRed: alpha takes the converted red.
//  skipTransparent: source pixels equal to transColor leave the destination unchanged.
// The caller keeps both rectangles inside their buffers. Returns 0, or for an 8-bit index copy
// the largest index copied.
int ConvertRectPixels(void* destPixels, int32_t destPitch, const ColorFormat* destFormat,
                      const void* sourcePixels, int32_t sourcePitch,
                      const ColorFormat* sourceFormat, const void* alphaPixels, int32_t alphaPitch,
                      const ColorFormat* alphaFormat, int32_t destX, int32_t destY,
                      const Rect* sourceRect, int mirror, int keyToAlpha, uint32_t transColor,
                      int dither, int alphaOnly, int alphaFromRed, int skipTransparent);

}  // namespace tessra
