// A decoded picture in memory: the common product of every image loader. Rows are top-down;
// the pitch is whatever the decoder made.
#pragma once

#include <cstdint>

#include "engine/graphics/color_format.h"

namespace tessra {

struct MEMIMG;

struct GraphImage {
    ColorFormat format;
    int32_t width;
    int32_t height;
    int32_t pitch;    // bytes from one row to the next
    uint8_t* pixels;  // height x pitch bytes from AllocTagged, owned by the record
};

// Largest width or height a decoder accepts; keeps every size product far from overflow.
inline constexpr int32_t kGraphImageMaxSide = 16384;

// 24-bit RGB, pitch rounded up to 4 bytes. 0, or -1 for a bad size or no memory.
int AllocGraphImage(int32_t width, int32_t height, GraphImage* image);
// Frees the pixels and zeroes the record. 0.
int FreeGraphImage(GraphImage* image);
// Stores the packed colour in every pixel of a 2-, 3- or 4-byte image. 0.
int FillGraphImageColor(GraphImage* image, int red, int green, int blue, int alpha);
// 0xAARRGGBB with each channel left-aligned in its byte; alpha 0 without an alpha channel. A
// paletted image gives its palette colour (alpha 0); no pixels or a point outside give 0.
uint32_t ReadGraphImagePixel(const GraphImage* image, int32_t x, int32_t y);
// Mirrors every row left-right in place.
void FlipGraphImageHorizontal(GraphImage* image);

// Converts the rectangle (x, y, width, height) of a kind 0 or 1 MEMIMG that is neither paletted
// nor with alpha into the image at (destX, destY), with transparent colour transColor and the
// skip-transparent option; other MEMIMGs are left alone.
void ConvertRectToColorFormat(GraphImage* dest, const MEMIMG* source, int32_t x, int32_t y,
                              int32_t width, int32_t height, int32_t destX, int32_t destY,
                              uint32_t transColor, int skipTransparent);

}  // namespace tessra
