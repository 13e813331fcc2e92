// Copies of the draw screen into graphs: the unused bits of copied pixels.
#include "engine/d3d/d3d.h"
#include "platform/ddraw/pixel_format.h"

namespace tessra {

void FillUnusedPixelBits(const Rect* rect, uint8_t* pixels, int32_t pitch,
                         const ColorFormat* format, uint32_t value) {
    if (rect == nullptr || pixels == nullptr || format == nullptr || format->unusedMask == 0)
        return;
    const uint32_t bits =
        value == 0xFF ? format->unusedMask : (value << format->unusedShift) & format->unusedMask;
    const int bytes = format->bytesPerPixel;
    for (int32_t y = rect->top; y < rect->bottom; ++y) {
        uint8_t* row = pixels + static_cast<int64_t>(y) * pitch;
        for (int32_t x = rect->left; x < rect->right; ++x) {
            uint8_t* p = row + static_cast<int64_t>(x) * bytes;
            plat::WritePixelBytes(p, bytes, plat::ReadPixelBytes(p, bytes) | bits);
        }
    }
}

}  // namespace tessra
