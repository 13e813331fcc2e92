#include "engine/graphics/color_format.h"

#include <cstring>

namespace tessra {

namespace {

// Width and shift of a contiguous mask: 0, 0 for an empty one.
void MaskWidthShift(uint32_t mask, uint8_t* width, uint8_t* shift) {
    if (mask == 0) {
        *width = 0;
        *shift = 0;
        return;
    }
    uint8_t s = 0;
    while (((mask >> s) & 1u) == 0) ++s;
    uint8_t w = 0;
    while (s + w < 32 && ((mask >> (s + w)) & 1u) != 0) ++w;
    *width = w;
    *shift = s;
}

uint32_t DepthMask(uint32_t depth) {
    return depth >= 32 ? 0xFFFFFFFFu : ((1u << depth) - 1u);
}

// The 8/8/8 colour layout that the three loader formats share.
void SetXrgbChannels(ColorFormat* f, uint16_t depth) {
    f->bitDepth = depth;
    f->bytesPerPixel = static_cast<uint16_t>(depth / 8);
    f->redMask = 0xFF0000;
    f->greenMask = 0xFF00;
    f->blueMask = 0xFF;
    f->alphaMask = 0;
    f->redWidth = f->greenWidth = f->blueWidth = 8;
    f->alphaWidth = 0;
    f->redShift = 16;
    f->greenShift = 8;
    f->blueShift = 0;
    f->alphaShift = 0;
}

// A channel value of `from` bits made `to` bits wide by shifting (truncating or zero-filling).
inline uint32_t ShiftWidth(uint32_t v, int from, int to) {
    return to >= from ? (v << (to - from)) : (v >> (from - to));
}

}  // namespace

int BuildColorFormatFromMasks(ColorFormat* format, int32_t bitDepth, uint32_t redMask,
                              uint32_t greenMask, uint32_t blueMask, uint32_t alphaMask) {
    format->bitDepth = static_cast<uint16_t>(bitDepth);
    format->bytesPerPixel = static_cast<uint16_t>(bitDepth / 8);
    format->redMask = redMask;
    format->greenMask = greenMask;
    format->blueMask = blueMask;
    format->alphaMask = alphaMask;
    MaskWidthShift(redMask, &format->redWidth, &format->redShift);
    MaskWidthShift(greenMask, &format->greenWidth, &format->greenShift);
    MaskWidthShift(blueMask, &format->blueWidth, &format->blueShift);
    MaskWidthShift(alphaMask, &format->alphaWidth, &format->alphaShift);
    format->unusedMask =
        DepthMask(static_cast<uint32_t>(bitDepth)) & ~(redMask | greenMask | blueMask | alphaMask);
    MaskWidthShift(format->unusedMask, &format->unusedWidth, &format->unusedShift);
    return 0;
}

int SetColorFormatFromPixelFormat(const plat::DDPixelFormat* pixelFormat, ColorFormat* format) {
    return BuildColorFormatFromMasks(format, static_cast<int32_t>(pixelFormat->rgbBitCount),
                                     pixelFormat->redMask, pixelFormat->greenMask,
                                     pixelFormat->blueMask, pixelFormat->alphaMask);
}

void RecomputeUnusedBitsMask(ColorFormat* format) {
    const uint32_t widths =
        format->redWidth + format->greenWidth + format->blueWidth + format->alphaWidth;
    if (widths == format->bitDepth) {
        format->unusedMask = 0;
        return;
    }
    format->unusedMask = DepthMask(format->bitDepth) & ~(format->redMask | format->greenMask |
                                                         format->blueMask | format->alphaMask);
}

int BuildDDPixelFormat(plat::DDPixelFormat* pixelFormat, int32_t bitDepth, uint32_t redMask,
                       uint32_t greenMask, uint32_t blueMask, uint32_t alphaMask) {
    std::memset(pixelFormat, 0, sizeof *pixelFormat);
    pixelFormat->size = sizeof *pixelFormat;
    pixelFormat->flags = plat::DDPF_RGB;
    pixelFormat->rgbBitCount = static_cast<uint32_t>(bitDepth);
    pixelFormat->redMask = redMask;
    pixelFormat->greenMask = greenMask;
    pixelFormat->blueMask = blueMask;
    pixelFormat->alphaMask = alphaMask;
    return 0;
}

int ColorFormatsEqual(const ColorFormat* a, const ColorFormat* b) {
    return a->bitDepth == b->bitDepth && a->redMask == b->redMask && a->greenMask == b->greenMask &&
                   a->blueMask == b->blueMask && a->alphaMask == b->alphaMask
               ? 1
               : 0;
}

void SetPaletteXrgbFormat(ColorFormat* format) {
    SetXrgbChannels(format, 8);
    format->unusedMask = 0xFF000000;
}

void SetRgb24Format(ColorFormat* format) {
    SetXrgbChannels(format, 24);
    format->unusedMask = 0;
}

void SetGreyPaletteFormat(ColorFormat* format) {
    SetXrgbChannels(format, 8);
    format->unusedMask = 0xFF000000;
    for (int i = 0; i < 256; ++i) {
        format->palette[i][0] = format->palette[i][1] = format->palette[i][2] =
            static_cast<uint8_t>(i);
        format->palette[i][3] = 0;
    }
}

uint32_t PackColorForFormat(const ColorFormat* format, int red, int green, int blue, int alpha) {
    auto channel = [](int v, int width, int shift) -> uint32_t {
        if (width == 0) return 0;
        // Channels wider than a byte (the 16-bit single channel) take the byte at their top.
        return ShiftWidth(static_cast<uint32_t>(v) & 0xFFu, 8, width) << shift;
    };
    uint32_t value = channel(red, format->redWidth, format->redShift) +
                     channel(green, format->greenWidth, format->greenShift) +
                     channel(blue, format->blueWidth, format->blueShift) + format->unusedMask;
    if (format->alphaWidth > 0) value += channel(alpha, format->alphaWidth, format->alphaShift);
    return value;
}

uint32_t ConvertPixelColor(const ColorFormat* dest, const ColorFormat* source, uint32_t value) {
    auto channel = [value](uint32_t sMask, int sShift, int sWidth, int dShift,
                           int dWidth) -> uint32_t {
        if (dWidth == 0) return 0;
        uint32_t v = (value & sMask) >> sShift;
        return ShiftWidth(v, sWidth, dWidth) << dShift;
    };
    uint32_t result = channel(source->redMask, source->redShift, source->redWidth, dest->redShift,
                              dest->redWidth) |
                      channel(source->greenMask, source->greenShift, source->greenWidth,
                              dest->greenShift, dest->greenWidth) |
                      channel(source->blueMask, source->blueShift, source->blueWidth,
                              dest->blueShift, dest->blueWidth);
    if (dest->alphaWidth > 0) {
        if (source->alphaWidth > 0) {
            result |= channel(source->alphaMask, source->alphaShift, source->alphaWidth,
                              dest->alphaShift, dest->alphaWidth);
        } else {
            result |= dest->alphaMask;
        }
    }
    return result | dest->unusedMask;
}

namespace {

struct StandardFormats {
    ColorFormat color[4][2][2];
    plat::DDPixelFormat pixel[4][2][2];

    StandardFormats() {
        std::memset(color, 0, sizeof color);
        std::memset(pixel, 0, sizeof pixel);
        struct Row {
            uint32_t r, g, b, a;
        };
        for (int alpha = 0; alpha < 2; ++alpha) {
            for (int pal = 0; pal < 2; ++pal) {
                const Row k0{0xF800, 0x7E0, 0x1F, alpha ? 0xFF0000u : 0u};
                const int d0 = pal ? 8 : (alpha ? 32 : 16);
                BuildColorFormatFromMasks(&color[0][alpha][pal], d0, k0.r, k0.g, k0.b, k0.a);
                BuildDDPixelFormat(&pixel[0][alpha][pal], d0, k0.r, k0.g, k0.b, k0.a);

                const Row k1{0xFF0000, 0xFF00, 0xFF, alpha ? 0xFF000000u : 0u};
                const int d1 = pal ? 8 : 32;
                BuildColorFormatFromMasks(&color[1][alpha][pal], d1, k1.r, k1.g, k1.b, k1.a);
                BuildDDPixelFormat(&pixel[1][alpha][pal], d1, k1.r, k1.g, k1.b, k1.a);

                SetSingle(&color[2][alpha][pal], &pixel[2][alpha][pal], 8);
                SetSingle(&color[3][alpha][pal], &pixel[3][alpha][pal], 16);
            }
        }
    }

    // All four channels are the same one: widths = depth, shifts 0, no unused bits.
    static void SetSingle(ColorFormat* f, plat::DDPixelFormat* p, uint16_t depth) {
        const uint32_t mask = DepthMask(depth);
        const auto width = static_cast<uint8_t>(depth);
        f->bitDepth = depth;
        f->bytesPerPixel = static_cast<uint16_t>(depth / 8);
        f->redMask = f->greenMask = f->blueMask = f->alphaMask = mask;
        f->redWidth = f->greenWidth = f->blueWidth = f->alphaWidth = width;
        f->redShift = f->greenShift = f->blueShift = f->alphaShift = 0;
        f->unusedMask = 0;
        f->unusedShift = f->unusedWidth = 0;
        p->rgbBitCount = depth;
        p->redMask = p->greenMask = p->blueMask = p->alphaMask = mask;
    }
};

const StandardFormats& Standard() {
    static const StandardFormats formats;
    return formats;
}

}  // namespace

const ColorFormat* GetStandardColorFormat(int32_t kind, int32_t alpha, int32_t paletted) {
    if (kind < 0 || kind > 3) return nullptr;
    return &Standard().color[kind][alpha ? 1 : 0][paletted ? 1 : 0];
}

const plat::DDPixelFormat* GetStandardPixelFormat(int32_t kind, int32_t alpha, int32_t paletted) {
    if (kind < 0 || kind > 3) return nullptr;
    return &Standard().pixel[kind][alpha ? 1 : 0][paletted ? 1 : 0];
}

}  // namespace tessra
