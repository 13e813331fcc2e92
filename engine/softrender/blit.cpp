// The plain blit: clipping, the choice of loop, and the run-data path's conditions.
#include "engine/softrender/blit_loops.h"
#include "engine/softrender/soft_common.h"
#include "engine/softrender/soft_render.h"

namespace tessra {

// Every x86-64 processor has MMX.
int32_t MmxAvailable = 1;

namespace soft {
namespace {

// The form of the mode's rule for one call; false when the mode draws nothing at p.
bool ChooseBlitVariant(int kind, int srcKind, bool fast, bool blend, bool white, int& mode,
                       int& var, uint32_t p) {
    const bool plainSource = srcKind != kDirectAlpha;
    var = kPlain;
    switch (mode) {
        case kBlendNone:
            return true;
        case kBlendAlpha:
            if (p == 0) return false;
            if (p == 255) {
                mode = kBlendNone;
                return true;
            }
            if (!fast && plainSource && white) {
                if (p == 128)
                    var = kHalf;
                else if (kind == kMemImgKind565)
                    var = kSix;
            } else if (kind == kMemImgKind565) {
                var = kDiff;
            }
            return true;
        case kBlendAdd:
            if (p == 0) return false;
            if (p == 255 && white && !blend) {
                var = (kind == kMemImgKindXrgb && MmxAvailable == 1 && !fast && plainSource)
                          ? kSat
                          : kNoLast;
            }
            return true;
        case kBlendSubtract:
            if (p == 0) {
                if (srcKind != kPal) return false;
                var = kZero;
                return true;
            }
            if (p == 255 && white && !blend) {
                var = (kind == kMemImgKindXrgb && MmxAvailable == 1 && !fast && plainSource)
                          ? kSat
                          : kNoLast;
            }
            return true;
        case kBlendMultiply:
            return true;
        default:
            return false;
    }
}

}  // namespace
}  // namespace soft

void MemImgBlit(MEMIMG* dest, const MEMIMG* src, int32_t x, int32_t y, int32_t transparent,
                const MEMIMG* blendImage) {
    using namespace soft;
    if (!DrawableTarget(dest) || !Drawable(src) || src->kind != dest->kind) return;
    if (blendImage != nullptr && (blendImage->pixels == nullptr || blendImage->width <= 0 ||
                                  blendImage->height <= 0 || blendImage->pitch < blendImage->width))
        return;

    // The source's rectangle on the destination, cut to the draw area, the destination and the
    // part of the source that the blend image covers.
    Box r{x, y, int64_t(x) + src->width, int64_t(y) + src->height};
    r = Intersect(r, DrawBounds(dest));
    if (blendImage != nullptr) {
        r = Intersect(r,
                      Box{x, y, int64_t(x) + blendImage->width, int64_t(y) + blendImage->height});
    }
    if (r.Empty()) return;
    const int32_t width = int32_t(r.right - r.left), height = int32_t(r.bottom - r.top);
    const int32_t sx = int32_t(r.left - x), sy = int32_t(r.top - y);

    const int srcKind = src->paletted ? kPal : (src->alpha ? kDirectAlpha : kDirect);
    const bool fast = transparent == 1 && src->runData == 1 && src->auxBuffer != nullptr &&
                      width == src->width && height == src->height;
    const bool white = BrightnessWhite();
    Ctx ctx = MakeCtx();
    int mode = DrawState.blendMode;
    int var = kPlain;
    if (!ChooseBlitVariant(int(dest->kind), srcKind, fast, blendImage != nullptr, white, mode, var,
                           ctx.p))
        return;
    BlitFn fn = dest->kind == kMemImgKind565
                    ? PickBlitKind0(srcKind, mode, var, fast, transparent != 0,
                                    blendImage != nullptr, white)
                    : PickBlitKind1(srcKind, mode, var, fast, transparent != 0,
                                    blendImage != nullptr, white);
    if (fn == nullptr) return;

    uint32_t palette[256];
    if (srcKind == kPal) CopyPalette(src, palette);
    const int32_t sbpp = LoopBytesPerPixel(src), dbpp = LoopBytesPerPixel(dest);
    BlitJob job;
    job.dst = dest->pixels + ptrdiff_t(r.top) * dest->pitch + ptrdiff_t(r.left) * dbpp;
    job.dstPitch = dest->pitch;
    job.src = src->pixels + ptrdiff_t(sy) * src->pitch + ptrdiff_t(sx) * sbpp;
    job.srcPitch = src->pitch;
    job.blend = blendImage ? blendImage->pixels + ptrdiff_t(sy) * blendImage->pitch + sx : nullptr;
    job.blendPitch = blendImage ? blendImage->pitch : 0;
    job.width = width;
    job.height = height;
    job.key = src->transColor;
    job.palette = palette;
    job.runs = src->auxBuffer;
    job.runsEnd =
        src->auxBuffer ? src->auxBuffer + (size_t(src->width) + 5) * size_t(src->height) : nullptr;
    fn(job, ctx);
    // The destination's pixels changed, so any runs recorded for it no longer describe them.
    dest->runData = 0;
}

}  // namespace tessra
