// Small picture files made in the tests, with the pixels each should decode to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/graphics/graph_image.h"

namespace tessra::testimg {

using Bytes = std::vector<uint8_t>;

// 0xAARRGGBB per pixel, rows top-down.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> argb;
    uint32_t At(int x, int y) const { return argb[static_cast<size_t>(y * width + x)]; }
};

// Random colours; alpha random when withAlpha, else 0xFF.
Picture RandomPicture(int width, int height, uint32_t seed, bool withAlpha);
// A picture made of `colors` distinct palette colours; indices returned too.
Picture PalettePicture(int width, int height, int colors, uint32_t seed,
                       std::vector<uint8_t>* indices, std::vector<uint32_t>* palette);

// PNG of any colour type and bit depth. The expected decode is written into *expected.
Bytes WritePng(int width, int height, int colorType, int bitDepth, bool withTrns, uint32_t seed,
               Picture* expected, bool interlaced = false);
// A large 8-bit RGBA PNG made quickly (lightest compression, one row in memory at a time), whose
// pixel (x, y) is PatternArgb(x, y): every row and column tells itself apart.
Bytes WritePatternPng(int width, int height, bool interlaced);
uint32_t PatternArgb(int x, int y);
// JPEG of a smooth picture (grey or colour); *expected is the picture encoded.
Bytes WriteJpeg(int width, int height, bool grey, Picture* expected);
// A four-component (CMYK) JPEG of one flat colour.
Bytes WriteCmykJpeg(int width, int height);
// A progressive grey JPEG, made by libjpeg's own encoder.
Bytes WriteProgressiveGreyJpeg(int width, int height);
// BMP of 1, 4, 8, 16 (555, or 565 with bit fields), 24 or 32 bits; rle for 4 and 8 bits.
Bytes WriteBmp(int width, int height, int bits, bool rle, bool topDown, bool bitfields,
               uint32_t seed, Picture* expected);
// TGA types 1, 2, 9, 10 at 16, 24 or 32 bits.
Bytes WriteTga(int width, int height, int type, int depth, int descriptorOrient, int idLength,
               bool footer, uint32_t seed, Picture* expected);
// DDS with RGB masks (rgbFlags 0x41 / 0x40) or a FourCC format number.
Bytes WriteDdsMasks(int width, int height, int bits, uint32_t r, uint32_t g, uint32_t b, uint32_t a,
                    uint32_t pfFlags, int pitchPad, uint32_t seed, Bytes* pixelsOut);
Bytes WriteDdsFourCC(int width, int height, uint32_t fourCC, int bytesPerPixel, uint32_t seed,
                     Bytes* pixelsOut);
// Raw BGRA with 8- or 16-bit channels.
Bytes WriteBgra(int width, int height, bool sixteen, uint32_t seed, Picture* expected);

// The decoded pixel as 0xAARRGGBB: palette colours for 8-bit images (alpha FF), channels
// widened by repeating their top bits, alpha FF without an alpha channel.
uint32_t DecodedArgb(const GraphImage& image, int x, int y);

}  // namespace tessra::testimg
