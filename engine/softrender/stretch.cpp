// The stretched blit: nearest-neighbour scaling and mirroring driven by 16.16 step counters.
#include <cstddef>

#include "engine/softrender/soft_common.h"
#include "engine/softrender/soft_render.h"
#include "engine/softrender/soft_simd.h"

namespace tessra {
namespace soft {
namespace {

struct StretchJob {
    uint8_t* dst;
    int32_t dstPitch;
    int32_t width, height;  // clipped
    const uint8_t* src;     // source pixel buffer
    int32_t srcPitch;
    int64_t row0;          // first source row shown
    int32_t rowDir;        // +1, or -1 when mirrored vertically
    const int32_t* cols;   // source column of each clipped destination column
    bool halfCols;         // each column two source columns right of the one before
    const uint8_t* blend;  // blend image buffer, or null
    int32_t blendPitch;
    int64_t stepY;    // destination rows per source row, 16.16
    int64_t countY0;  // row counter at the clipped top
    uint32_t key;
    const uint32_t* palette;
};

using StretchFn = void (*)(const StretchJob&, const Ctx&);

// Sides this large would overflow the 16.16 set-up.
constexpr int64_t kMaxSide = 32768;

// A source row worked out once for the destination rows that show it: the pixels the stretch
// writes, and a byte mask of which bytes it writes (none of a keyed pixel). Static storage: the
// renderer runs on the main thread only and is not reentrant.
alignas(16) uint8_t g_rowPixels[kMaxSide * 4];
alignas(16) uint8_t g_rowMask[kMaxSide * 4];

// How the destination rows take a worked-out row.
enum RowTake { kTakeWhole, kTakeKeepFourth, kTakeMasked };

// Fills g_rowPixels and g_rowMask with what an unblended stretch writes from source row `row`,
// and says how a destination row takes it. A source pixel shown in several columns is worked out
// once.
template <int K, int S, int V, bool Tr, bool White>
RowTake WorkOutRow(const StretchJob& j, const Ctx& c, int64_t row) {
    // Under a brightness other than white a 32-bit pixel's fourth byte stays the destination's.
    constexpr bool keepFourth = K == kMemImgKindXrgb && !White;
    constexpr uint32_t kWritten =
        K == kMemImgKind565 ? 0xFFFFu : (keepFourth ? 0x00FFFFFFu : 0xFFFFFFFFu);
    const uint8_t* srow = j.src + ptrdiff_t(row) * j.srcPitch;
    bool keyed = false;
    int32_t lastCol = -1;
    uint32_t value = 0, written = 0;
    for (int32_t x = 0; x < j.width; ++x) {
        const int32_t col = j.cols[x];
        if (col != lastCol) {
            lastCol = col;
            SrcPixel<K, S> sp = ReadSource<K, S>(srow, col, j.palette);
            written = kWritten;
            value = 0;
            if (Tr && sp.raw == j.key) {  // Tr is fixed per instance
                written = 0;
                keyed = true;
            } else {
                value = Blend<K, kBlendNone, V, White, false, false>(0, sp.color, 0, 0, c);
            }
        }
        StoreDest<K>(g_rowPixels, x, value);
        if constexpr (Tr) StoreDest<K>(g_rowMask, x, written);
    }
    if (keyed) return kTakeMasked;
    return keepFourth ? kTakeKeepFourth : kTakeWhole;
}

template <int K, int S, int Mode, int V, bool Tr, bool Bl, bool White>
void StretchLoop(const StretchJob& job, const Ctx& ctx) {
    // Local copies: the byte stores below could otherwise alias them, forcing reloads.
    const StretchJob j = job;
    const Ctx c = ctx;
    constexpr int32_t sbpp = kSrcBytes<K, S>;
    constexpr int32_t dbpp = K == kMemImgKind565 ? 2 : 4;
    // A plain copy depends only on the source row, so a source row shown again is copied whole
    // from the destination row that showed it first.
    constexpr bool pure = Mode == kBlendNone && White && !Bl && !Tr && S != kDirectAlpha;
    // Without blending a written pixel depends on its source pixel alone (a 32-bit one under a
    // brightness other than white keeps the destination's fourth byte), so when the rows grow
    // each source row is worked out once and every destination row showing it takes it through
    // the byte mask.
    constexpr bool sourceOnly = Mode == kBlendNone && !Bl && S != kDirectAlpha && !pure;
    const bool rowwise = sourceOnly && j.stepY > 65536;
    const size_t rowBytes = size_t(j.width) * dbpp;
    RowTake take = kTakeWhole;
    int64_t row = j.row0;
    int64_t cy = j.countY0;
    int64_t shownRow = -1;
    const uint8_t* shownDest = nullptr;
    HalfRowFn halfRow = nullptr;
    if constexpr (pure && S == kDirect) {
        if (j.halfCols) halfRow = SelectHalfRow(K);
    }
    for (int32_t y = 0; y < j.height; ++y) {
        uint8_t* drow = j.dst + ptrdiff_t(y) * j.dstPitch;
        if (sourceOnly && rowwise) {
            if (row != shownRow) {
                take = WorkOutRow<K, S, V, Tr, White>(j, c, row);
                shownRow = row;
            }
            if (take == kTakeWhole)
                std::memcpy(drow, g_rowPixels, rowBytes);
            else if (take == kTakeKeepFourth)
                KeepFourthByteRow(drow, g_rowPixels, j.width);
            else
                MaskedCopyRow(drow, g_rowPixels, g_rowMask, rowBytes);
        } else if (pure && row == shownRow) {
            std::memcpy(drow, shownDest, size_t(j.width) * dbpp);
        } else {
            const uint8_t* srow = j.src + ptrdiff_t(row) * j.srcPitch;
            if (halfRow != nullptr) {
                halfRow(drow, srow + ptrdiff_t(j.cols[0]) * sbpp, j.width);
            } else {
                const uint8_t* brow = nullptr;
                if constexpr (Bl) brow = j.blend + ptrdiff_t(row) * j.blendPitch;
                for (int32_t x = 0; x < j.width; ++x) {
                    const int32_t col = j.cols[x];
                    if constexpr (pure && S == kDirect) {
                        std::memcpy(drow + x * dbpp, srow + ptrdiff_t(col) * sbpp, dbpp);
                    } else {
                        SrcPixel<K, S> sp = ReadSource<K, S>(srow, col, j.palette);
                        if constexpr (Tr && S != kDirectAlpha) {
                            if (sp.raw == j.key) continue;
                        }
                        uint32_t w = 0;
                        if constexpr (Bl) w = c.ramp[brow[col]];
                        DrawGated<K, S, Mode, V, Tr, Bl, White>(drow, x, sp, w, c);
                    }
                }
            }
            shownRow = row;
            shownDest = drow;
        }
        cy -= 65536;
        while (cy <= 0) {
            row += j.rowDir;
            cy += j.stepY;
        }
    }
}

template <int K, int S, int Mode, int V>
StretchFn PickStretchFlags(bool tr, bool bl, bool white) {
    if (tr) {
        if (bl)
            return white ? StretchLoop<K, S, Mode, V, true, true, true>
                         : StretchLoop<K, S, Mode, V, true, true, false>;
        return white ? StretchLoop<K, S, Mode, V, true, false, true>
                     : StretchLoop<K, S, Mode, V, true, false, false>;
    }
    if (bl)
        return white ? StretchLoop<K, S, Mode, V, false, true, true>
                     : StretchLoop<K, S, Mode, V, false, true, false>;
    return white ? StretchLoop<K, S, Mode, V, false, false, true>
                 : StretchLoop<K, S, Mode, V, false, false, false>;
}

template <int K, int S>
StretchFn PickStretchModes(int mode, int var, bool tr, bool bl, bool white) {
    switch (mode) {
        case kBlendNone:
            return PickStretchFlags<K, S, kBlendNone, kPlain>(tr, bl, white);
        case kBlendAlpha:
            if constexpr (K == kMemImgKind565)
                return PickStretchFlags<K, S, kBlendAlpha, kDiff>(tr, bl, white);
            else
                return PickStretchFlags<K, S, kBlendAlpha, kPlain>(tr, bl, white);
        case kBlendAdd:
            if constexpr (K == kMemImgKind565) {
                if (var == kBrightFirst)
                    return PickStretchFlags<K, S, kBlendAdd, kBrightFirst>(tr, bl, white);
            }
            return PickStretchFlags<K, S, kBlendAdd, kPlain>(tr, bl, white);
        case kBlendSubtract:
            if constexpr (S == kPal) {
                if (var == kZero)
                    return PickStretchFlags<K, S, kBlendSubtract, kZero>(tr, bl, white);
            }
            if constexpr (K == kMemImgKind565) {
                if (var == kBrightFirst)
                    return PickStretchFlags<K, S, kBlendSubtract, kBrightFirst>(tr, bl, white);
            }
            if constexpr (K == kMemImgKindXrgb && S != kDirectAlpha) {
                if (var == kSat) return PickStretchFlags<K, S, kBlendSubtract, kSat>(tr, bl, white);
            }
            return PickStretchFlags<K, S, kBlendSubtract, kPlain>(tr, bl, white);
        case kBlendMultiply:
            return PickStretchFlags<K, S, kBlendMultiply, kPlain>(tr, bl, white);
        default:
            return nullptr;
    }
}

template <int K>
StretchFn PickStretch(int srcKind, int mode, int var, bool tr, bool bl, bool white) {
    switch (srcKind) {
        case kPal:
            return PickStretchModes<K, kPal>(mode, var, tr, bl, white);
        case kDirect:
            return PickStretchModes<K, kDirect>(mode, var, tr, bl, white);
        default:
            return PickStretchModes<K, kDirectAlpha>(mode, var, tr, bl, white);
    }
}

}  // namespace
}  // namespace soft

void MemImgStretchBlit(MEMIMG* dest, const MEMIMG* src, const Rect* rect, int32_t transparent,
                       const MEMIMG* blendImage) {
    using namespace soft;
    if (rect == nullptr || !DrawableTarget(dest) || !Drawable(src) || src->kind != dest->kind)
        return;
    const bool mirrorX = rect->left > rect->right, mirrorY = rect->top > rect->bottom;
    const int64_t left = std::min(rect->left, rect->right),
                  right = std::max(rect->left, rect->right);
    const int64_t top = std::min(rect->top, rect->bottom),
                  bottom = std::max(rect->top, rect->bottom);
    const int64_t w = right - left, h = bottom - top;
    if (w == 0 || h == 0 || w >= kMaxSide || h >= kMaxSide) return;
    if (blendImage != nullptr && (blendImage->pixels == nullptr || blendImage->width <= 0 ||
                                  blendImage->height <= 0 || blendImage->pitch < blendImage->width))
        return;
    if (w == src->width && h == src->height && !mirrorX && !mirrorY) {
        MemImgBlit(dest, src, int32_t(left), int32_t(top), transparent, blendImage);
        return;
    }

    const int64_t stepX = std::max<int64_t>(1, w * 65536 / src->width);
    const int64_t stepY = std::max<int64_t>(1, h * 65536 / src->height);
    // Destination columns past the last one that maps inside the source are never drawn.
    int64_t fromX = 0, toX = std::min(w, (src->width * stepX - 1) / 65536 + 1);
    int64_t fromY = 0, toY = std::min(h, (src->height * stepY - 1) / 65536 + 1);
    // As in the plain blit, a blend image smaller than the source limits the draw to the source
    // pixels it covers: destination column j shows source column j * 65536 / stepX (counted
    // from the far side when mirrored), so the covered columns are one run of j; rows likewise.
    if (blendImage != nullptr) {
        const int64_t bw = std::min<int64_t>(blendImage->width, src->width);
        const int64_t bh = std::min<int64_t>(blendImage->height, src->height);
        if (mirrorX)
            fromX = ((src->width - bw) * stepX + 65535) / 65536;
        else
            toX = std::min(toX, (bw * stepX - 1) / 65536 + 1);
        if (mirrorY)
            fromY = ((src->height - bh) * stepY + 65535) / 65536;
        else
            toY = std::min(toY, (bh * stepY - 1) / 65536 + 1);
    }
    if (fromX >= toX || fromY >= toY) return;
    Box r = Intersect(Box{left + fromX, top + fromY, left + toX, top + toY}, DrawBounds(dest));
    if (r.Empty()) return;

    const int srcKind = src->paletted ? kPal : (src->alpha ? kDirectAlpha : kDirect);
    const bool white = BrightnessWhite();
    const bool blend = blendImage != nullptr;
    Ctx ctx = MakeCtx();
    int mode = DrawState.blendMode;
    int var = kPlain;
    switch (mode) {
        case kBlendNone:
            break;
        case kBlendAlpha:
            if (ctx.p == 0) return;
            if (ctx.p == 255) mode = kBlendNone;
            break;
        case kBlendAdd:
            if (ctx.p == 0) return;
            if (dest->kind == kMemImgKind565 && blend) var = kBrightFirst;
            break;
        case kBlendSubtract:
            if (ctx.p == 0) {
                if (srcKind != kPal) return;
                var = kZero;
            } else if (ctx.p == 255 && white && !blend && srcKind != kDirectAlpha &&
                       dest->kind == kMemImgKindXrgb && MmxAvailable == 1) {
                var = kSat;
            } else if (dest->kind == kMemImgKind565 && blend) {
                var = kBrightFirst;
            }
            break;
        case kBlendMultiply:
            break;
        default:
            return;
    }
    StretchFn fn =
        dest->kind == kMemImgKind565
            ? PickStretch<kMemImgKind565>(srcKind, mode, var, transparent != 0, blend, white)
            : PickStretch<kMemImgKindXrgb>(srcKind, mode, var, transparent != 0, blend, white);
    if (fn == nullptr) return;

    const int64_t e = r.left - left, f = r.top - top;
    const int64_t qx = e * 65536 / stepX, qy = f * 65536 / stepY;
    uint32_t palette[256];
    if (srcKind == kPal) CopyPalette(src, palette);
    StretchJob job;
    job.dst =
        dest->pixels + ptrdiff_t(r.top) * dest->pitch + ptrdiff_t(r.left) * LoopBytesPerPixel(dest);
    job.dstPitch = dest->pitch;
    job.width = int32_t(r.right - r.left);
    job.height = int32_t(r.bottom - r.top);
    job.src = src->pixels;
    job.srcPitch = src->pitch;
    job.row0 = mirrorY ? src->height - 1 - qy : qy;
    job.rowDir = mirrorY ? -1 : 1;
    // The columns come from the same counter stepping as the rows, once per call. Scratch in
    // static storage: the renderer runs on the main thread only and is not reentrant.
    static int32_t cols[kMaxSide];
    {
        int64_t cx = stepX - (e * 65536) % stepX;
        int32_t col = int32_t(mirrorX ? src->width - 1 - qx : qx);
        const int32_t dir = mirrorX ? -1 : 1;
        for (int64_t x = 0; x < r.right - r.left; ++x) {
            cols[x] = col;
            cx -= 65536;
            while (cx <= 0) {
                col += dir;
                cx += stepX;
            }
        }
    }
    job.cols = cols;
    job.halfCols = true;
    for (int64_t x = 1; x < r.right - r.left && job.halfCols; ++x)
        job.halfCols = cols[x] - cols[x - 1] == 2;
    job.blend = blend ? blendImage->pixels : nullptr;
    job.blendPitch = blend ? blendImage->pitch : 0;
    job.stepY = stepY;
    job.countY0 = stepY - (f * 65536) % stepY;
    job.key = src->transColor;
    job.palette = palette;
    fn(job, ctx);
    dest->runData = 0;
}

}  // namespace tessra
