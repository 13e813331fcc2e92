// Private to the software renderer: what the blits and primitives share about images, the
// draw state and clipping.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "engine/graphics/draw_state.h"
#include "engine/screen/memimg.h"
#include "engine/screen/soft_tables.h"
#include "engine/softrender/soft_pixel.h"

namespace tessra::soft {

// Bytes per pixel that the loops assume for an image of these flags.
inline int32_t LoopBytesPerPixel(const MEMIMG* image) {
    if (image->paletted) return 1;
    if (image->kind == kMemImgKind565) return image->alpha ? 4 : 2;
    return 4;
}

// A 16- or 32-bit image whose buffer and format agree with what the loops assume.
inline bool Drawable(const MEMIMG* image) {
    return image != nullptr && image->pixels != nullptr && image->format != nullptr &&
           (image->kind == kMemImgKind565 || image->kind == kMemImgKindXrgb) && image->width > 0 &&
           image->height > 0 && image->format->bytesPerPixel == LoopBytesPerPixel(image) &&
           int64_t(image->pitch) >= int64_t(image->width) * LoopBytesPerPixel(image);
}

// A destination the primitives and blits write: direct, no per-pixel alpha.
inline bool DrawableTarget(const MEMIMG* image) {
    return Drawable(image) && !image->paletted && !image->alpha;
}

inline bool BrightnessWhite() {
    return DrawState.brightness[0] == 255 && DrawState.brightness[1] == 255 &&
           DrawState.brightness[2] == 255;
}

inline int32_t ClampParam(int32_t p) {
    return std::clamp<int32_t>(p, 0, 255);
}

inline Ctx MakeCtx() {
    Ctx c;
    c.p = uint32_t(ClampParam(DrawState.blendParam));
    for (int i = 0; i < 3; ++i) c.bright[i] = DrawState.brightness[i];
    c.ramp = BlendGraphRamp;
    return c;
}

// Edges in 64 bits so that positions near the ends of the 32-bit range cannot wrap.
struct Box {
    int64_t left, top, right, bottom;
    bool Empty() const { return right <= left || bottom <= top; }
};

inline Box Intersect(const Box& a, const Box& b) {
    Box r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

// Where drawing into dest may go: the draw area, and never outside the image.
inline Box DrawBounds(const MEMIMG* dest) {
    const Rect& a = DrawState.DrawArea;
    return Intersect(Box{a.left, a.top, a.right, a.bottom}, Box{0, 0, dest->width, dest->height});
}

// The source's palette as 256 entries in the destination's format; entries past the palette's
// count are 0, so stray index bytes never read another image's colours.
inline void CopyPalette(const MEMIMG* src, uint32_t out[256]) {
    uint32_t count = std::min<uint32_t>(src->paletteCount, 256);
    std::memset(out, 0, 256 * sizeof(uint32_t));
    if (src->palette == nullptr) return;
    for (uint32_t i = 0; i < count; ++i) {
        out[i] = src->kind == kMemImgKind565 ? Load16(src->palette + 2 * i)
                                             : Load32(src->palette + 4 * i);
    }
}

// A colour under the draw brightness. Unlike the blits, the primitives (lines, fills,
// ellipses) scale by b / 256.
template <int K>
inline uint32_t BrightColor(uint32_t color) {
    if (BrightnessWhite()) return color;
    uint32_t out = K == kMemImgKindXrgb ? (color & 0xFF000000u) : 0;
    for (int ch = 0; ch < 3; ++ch) {
        uint32_t v = (Chan<K>(color, ch) * DrawState.brightness[ch]) >> 8;
        out |= v << kShift<K>[ch];
    }
    return out;
}

// The mode's form for the primitives (one colour); false when it draws nothing.
inline bool ChoosePrimitiveMode(int kind, int& mode, int& var, uint32_t p) {
    var = kPlain;
    switch (mode) {
        case kBlendNone:
        case kBlendMultiply:
            return true;
        case kBlendAlpha:
            if (p == 0) return false;
            if (p == 255)
                mode = kBlendNone;
            else if (kind == kMemImgKind565)
                var = kDiff;
            return true;
        case kBlendAdd:
        case kBlendSubtract:
            return p != 0;
        default:
            return false;
    }
}

}  // namespace tessra::soft
