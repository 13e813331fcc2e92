#include "engine/graphics/graph_image.h"

#include <cstddef>
#include <cstring>

#include "engine/base/memory.h"
#include "engine/screen/memimg.h"

namespace tessra {

int AllocGraphImage(int32_t width, int32_t height, GraphImage* image) {
    if (width <= 0 || height <= 0 || width > kGraphImageMaxSide || height > kGraphImageMaxSide) {
        return -1;
    }
    SetRgb24Format(&image->format);
    image->width = width;
    image->height = height;
    image->pitch = (image->format.bytesPerPixel * width + 3) / 4 * 4;
    image->pixels = static_cast<uint8_t*>(AllocTagged(
        static_cast<size_t>(image->pitch) * static_cast<size_t>(height), __FILE__, __LINE__));
    return image->pixels != nullptr ? 0 : -1;
}

int FreeGraphImage(GraphImage* image) {
    FreeTagged(image->pixels);
    std::memset(image, 0, sizeof *image);
    return 0;
}

int FillGraphImageColor(GraphImage* image, int red, int green, int blue, int alpha) {
    const int bytes = image->format.bytesPerPixel;
    if (image->pixels == nullptr || bytes < 2 || bytes > 4) return 0;
    const uint32_t v = PackColorForFormat(&image->format, red, green, blue, alpha);
    uint8_t b[4];
    std::memcpy(b, &v, 4);
    for (int32_t y = 0; y < image->height; ++y) {
        uint8_t* row = image->pixels + static_cast<ptrdiff_t>(y) * image->pitch;
        for (int32_t x = 0; x < image->width; ++x) std::memcpy(row + x * bytes, b, bytes);
    }
    return 0;
}

uint32_t ReadGraphImagePixel(const GraphImage* image, int32_t x, int32_t y) {
    if (image->pixels == nullptr || x < 0 || y < 0 || x >= image->width || y >= image->height) {
        return 0;
    }
    const ColorFormat& f = image->format;
    const uint8_t* p = image->pixels + static_cast<ptrdiff_t>(y) * image->pitch +
                       static_cast<ptrdiff_t>(x) * f.bytesPerPixel;
    if (f.bytesPerPixel == 1) {
        const uint8_t* e = f.palette[p[0]];
        return (static_cast<uint32_t>(e[2]) << 16) | (static_cast<uint32_t>(e[1]) << 8) | e[0];
    }
    uint32_t v = 0;
    for (int i = 0; i < f.bytesPerPixel && i < 4; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
    auto channel = [v](uint32_t mask, int shift, int width) -> uint32_t {
        if (width == 0) return 0;
        const uint32_t c = (v & mask) >> shift;
        return width >= 8 ? (c >> (width - 8)) : (c << (8 - width));
    };
    uint32_t out = channel(f.redMask, f.redShift, f.redWidth) << 16 |
                   channel(f.greenMask, f.greenShift, f.greenWidth) << 8 |
                   channel(f.blueMask, f.blueShift, f.blueWidth);
    if (f.alphaWidth > 0) out |= channel(f.alphaMask, f.alphaShift, f.alphaWidth) << 24;
    return out;
}

void FlipGraphImageHorizontal(GraphImage* image) {
    const int bytes = image->format.bytesPerPixel;
    if (image->pixels == nullptr || bytes < 1 || bytes > 4) return;
    for (int32_t y = 0; y < image->height; ++y) {
        uint8_t* row = image->pixels + static_cast<ptrdiff_t>(y) * image->pitch;
        for (int32_t l = 0, r = image->width - 1; l < r; ++l, --r) {
            uint8_t t[4];
            std::memcpy(t, row + l * bytes, bytes);
            std::memcpy(row + l * bytes, row + r * bytes, bytes);
            std::memcpy(row + r * bytes, t, bytes);
        }
    }
}

void ConvertRectToColorFormat(GraphImage* dest, const MEMIMG* source, int32_t x, int32_t y,
                              int32_t width, int32_t height, int32_t destX, int32_t destY,
                              uint32_t transColor, int skipTransparent) {
    if ((source->kind != kMemImgKind565 && source->kind != kMemImgKindXrgb) || source->paletted ||
        source->alpha) {
        return;
    }
    const Rect r{x, y, x + width, y + height};
    ConvertRectPixels(dest->pixels, dest->pitch, &dest->format, source->pixels, source->pitch,
                      source->format, nullptr, 0, nullptr, destX, destY, &r, 0, 0, transColor, 0, 0,
                      0, skipTransparent);
}

}  // namespace tessra
