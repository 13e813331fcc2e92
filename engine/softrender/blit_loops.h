// Private to the software renderer: the plain blit's loops, one per path, format, source kind,
// mode, variant, transparency, blend image and brightness, and the choice among them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/softrender/soft_pixel.h"
#include "engine/softrender/soft_simd.h"

namespace tessra::soft {

// One clipped plain blit; every pointer is at the rectangle's first pixel.
struct BlitJob {
    uint8_t* dst;
    int32_t dstPitch;
    const uint8_t* src;
    int32_t srcPitch;
    const uint8_t* blend;
    int32_t blendPitch;
    int32_t width, height;
    uint32_t key;             // transparent value (index for a paletted source)
    const uint32_t* palette;  // 256 entries in the destination's format
    const uint8_t* runs;      // run data of the whole source (fast path)
    const uint8_t* runsEnd;
};

using BlitFn = void (*)(const BlitJob&, const Ctx&);

// The 16-bit rows handed to the vector code: direct source, no blend image, white brightness.
template <int K, int S, int Mode, int V, bool Bl, bool White>
constexpr int kRow16For() {
    if constexpr (K != kMemImgKind565 || S != kDirect || Bl || !White)
        return -1;
    else if constexpr (Mode == kBlendNone)
        return kRow16Copy;
    else if constexpr (Mode == kBlendAlpha && V == kHalf)
        return kRow16Half;
    else if constexpr (Mode == kBlendAlpha && V == kSix)
        return kRow16Six;
    else if constexpr (Mode == kBlendAdd && V == kNoLast)
        return kRow16Add;
    else if constexpr (Mode == kBlendSubtract && V == kNoLast)
        return kRow16Sub;
    else if constexpr (Mode == kBlendMultiply)
        return kRow16Mul;
    else
        return -1;
}

// The 32-bit rows handed to the vector code: direct source, no blend image, white brightness.
template <int K, int S, int Mode, int V, bool Bl, bool White>
constexpr int kRowFor() {
    if constexpr (K == kMemImgKindXrgb && S == kDirectAlpha && Mode == kBlendNone && !Bl && White)
        return kRowAlphaSrc;
    else if constexpr (K != kMemImgKindXrgb || S != kDirect || Bl || !White)
        return -1;
    else if constexpr (Mode == kBlendNone)
        return kRowCopy;
    else if constexpr (Mode == kBlendAlpha && V == kHalf)
        return kRowHalf;
    else if constexpr (Mode == kBlendAlpha)
        return kRowAlpha;
    else if constexpr (Mode == kBlendAdd && V == kSat)
        return kRowAddSat;
    else if constexpr (Mode == kBlendSubtract && V == kSat)
        return kRowSubSat;
    else if constexpr (Mode == kBlendMultiply)
        return kRowMul;
    else
        return -1;
}

// The widest row (in 32-bit pixels) that the plain blit's vector rows prefetch ahead for.
constexpr int32_t kPrefetchWidth = 32;

template <int K, int S, int Mode, int V, bool Tr, bool Bl, bool White>
void BlitNormal(const BlitJob& job, const Ctx& ctx) {
    // Local copies: the byte stores below could otherwise alias them, forcing reloads.
    const BlitJob j = job;
    const Ctx c = ctx;
    constexpr int row = kRowFor<K, S, Mode, V, Bl, White>();
    constexpr int row16 = kRow16For<K, S, Mode, V, Bl, White>();
    if constexpr ((row == kRowCopy || row16 == kRow16Copy) && !Tr) {
        // A plain copy of rows that lie end to end in both images is one block, which the
        // library's copy moves at the memory's own speed. Blocks that overlap (views of one
        // image) keep the row-by-row order.
        const size_t rowBytes = size_t(j.width) * (K == kMemImgKind565 ? 2 : 4);
        const size_t bytes = rowBytes * size_t(j.height);
        const uintptr_t d = reinterpret_cast<uintptr_t>(j.dst),
                        s = reinterpret_cast<uintptr_t>(j.src);
        if (size_t(j.dstPitch) == rowBytes && size_t(j.srcPitch) == rowBytes &&
            (d + bytes <= s || s + bytes <= d)) {
            std::memcpy(j.dst, j.src, bytes);
            return;
        }
    }
    RowFn rowFn = nullptr;
    if constexpr (row >= 0) rowFn = SelectRow(row, Tr);
    for (int32_t y = 0; y < j.height; ++y) {
        uint8_t* drow = j.dst + ptrdiff_t(y) * j.dstPitch;
        const uint8_t* srow = j.src + ptrdiff_t(y) * j.srcPitch;
        if constexpr (row >= 0) {
            // Sprite-sized rows ask for the destination a few rows ahead, as the run-data path
            // does; long rows are left to the hardware's own stream prefetch.
            if (j.width <= kPrefetchWidth && y + kRunsPrefetchRows < j.height)
                PrefetchRowAhead(drow, j.dstPitch, j.width);
            rowFn(drow, srow, j.width, j.key, c.p);
        } else if constexpr (row16 == kRow16Copy && !Tr) {
            std::memcpy(drow, srow, size_t(j.width) * 2);
        } else if constexpr (row16 >= 0) {
            Row16<row16, Tr>(drow, srow, j.width, j.key, c.p);
        } else {
            const uint8_t* brow = nullptr;
            if constexpr (Bl) brow = j.blend + ptrdiff_t(y) * j.blendPitch;
            for (int32_t x = 0; x < j.width; ++x) {
                SrcPixel<K, S> sp = ReadSource<K, S>(srow, x, j.palette);
                if constexpr (Tr && S != kDirectAlpha) {
                    if (sp.raw == j.key) continue;
                }
                uint32_t w = 0;
                if constexpr (Bl) w = c.ramp[brow[x]];
                DrawGated<K, S, Mode, V, Tr, Bl, White>(drow, x, sp, w, c);
            }
        }
    }
}

// The run-data path: the runs replace the transparency test. Runs are clamped to the row, and
// a row or buffer that ends early ends the draw there.
template <int K, int S, int Mode, int V, bool Bl, bool White>
void BlitFast(const BlitJob& job, const Ctx& ctx) {
    const BlitJob j = job;
    const Ctx c = ctx;
    if constexpr (K == kMemImgKindXrgb && S == kDirectAlpha && Mode == kBlendNone && White && !Bl) {
        // The common sprite case has its own vector loop over the runs.
        SelectAlphaRuns()(AlphaRunsJob{j.dst, j.dstPitch, j.src, j.srcPitch, j.width, j.height,
                                       j.runs, j.runsEnd});
        return;
    }
    const uint8_t* run = j.runs;
    for (int32_t y = 0; y < j.height; ++y) {
        uint8_t* drow = j.dst + ptrdiff_t(y) * j.dstPitch;
        const uint8_t* srow = j.src + ptrdiff_t(y) * j.srcPitch;
        const uint8_t* brow = nullptr;
        if constexpr (Bl) brow = j.blend + ptrdiff_t(y) * j.blendPitch;
        int32_t x = 0;
        while (run < j.runsEnd) {
            uint32_t b = *run++;
            uint32_t code = b >> 6;
            if (code == 3) break;
            int32_t len = int32_t(b & 63) + 1;
            if (len > j.width - x) len = j.width - x;
            if (code == 0) {
                x += len;
                continue;
            }
            if constexpr (Mode == kBlendNone && White && !Bl && S != kPal &&
                          !(K == kMemImgKind565 && S == kDirectAlpha)) {
                if (code == 1) {
                    constexpr int32_t bpp = kSrcBytes<K, S>;
                    CopyRun(drow + x * (K == kMemImgKind565 ? 2 : 4), srow + x * bpp,
                            size_t(len) * bpp);
                    x += len;
                    continue;
                }
            }
            for (int32_t e = x + len; x < e; ++x) {
                SrcPixel<K, S> sp = ReadSource<K, S>(srow, x, j.palette);
                uint32_t w = 0;
                if constexpr (Bl) w = c.ramp[brow[x]];
                uint32_t d = LoadDest<K>(drow, x);
                if constexpr (S == kDirectAlpha) {
                    if (code == 2)
                        StoreDest<K>(
                            drow, x,
                            Blend<K, Mode, V, White, true, Bl>(d, sp.color, sp.alpha, w, c));
                    else
                        StoreDest<K>(drow, x,
                                     Blend<K, Mode, V, White, false, Bl>(d, sp.color, 0, w, c));
                } else {
                    StoreDest<K>(drow, x,
                                 Blend<K, Mode, V, White, false, Bl>(d, sp.color, 0, w, c));
                }
            }
        }
    }
}

template <int K, int S, int Mode, int V>
BlitFn PickBlitFlags(bool fast, bool tr, bool bl, bool white) {
    if (fast) {
        if (bl)
            return white ? BlitFast<K, S, Mode, V, true, true>
                         : BlitFast<K, S, Mode, V, true, false>;
        return white ? BlitFast<K, S, Mode, V, false, true> : BlitFast<K, S, Mode, V, false, false>;
    }
    if (tr) {
        if (bl)
            return white ? BlitNormal<K, S, Mode, V, true, true, true>
                         : BlitNormal<K, S, Mode, V, true, true, false>;
        return white ? BlitNormal<K, S, Mode, V, true, false, true>
                     : BlitNormal<K, S, Mode, V, true, false, false>;
    }
    if (bl)
        return white ? BlitNormal<K, S, Mode, V, false, true, true>
                     : BlitNormal<K, S, Mode, V, false, true, false>;
    return white ? BlitNormal<K, S, Mode, V, false, false, true>
                 : BlitNormal<K, S, Mode, V, false, false, false>;
}

template <int K, int S>
BlitFn PickBlitModes(int mode, int var, bool fast, bool tr, bool bl, bool white) {
    switch (mode) {
        case kBlendNone:
            return PickBlitFlags<K, S, kBlendNone, kPlain>(fast, tr, bl, white);
        case kBlendAlpha:
            if constexpr (S != kDirectAlpha) {
                if (var == kHalf)
                    return PickBlitFlags<K, S, kBlendAlpha, kHalf>(fast, tr, bl, white);
            }
            if constexpr (K == kMemImgKind565) {
                if constexpr (S != kDirectAlpha) {
                    if (var == kSix)
                        return PickBlitFlags<K, S, kBlendAlpha, kSix>(fast, tr, bl, white);
                }
                return PickBlitFlags<K, S, kBlendAlpha, kDiff>(fast, tr, bl, white);
            } else {
                return PickBlitFlags<K, S, kBlendAlpha, kPlain>(fast, tr, bl, white);
            }
        case kBlendAdd:
            if (var == kNoLast) return PickBlitFlags<K, S, kBlendAdd, kNoLast>(fast, tr, bl, white);
            if constexpr (K == kMemImgKindXrgb && S != kDirectAlpha) {
                if (var == kSat) return PickBlitFlags<K, S, kBlendAdd, kSat>(fast, tr, bl, white);
            }
            return PickBlitFlags<K, S, kBlendAdd, kPlain>(fast, tr, bl, white);
        case kBlendSubtract:
            if constexpr (S == kPal) {
                if (var == kZero)
                    return PickBlitFlags<K, S, kBlendSubtract, kZero>(fast, tr, bl, white);
            }
            if (var == kNoLast)
                return PickBlitFlags<K, S, kBlendSubtract, kNoLast>(fast, tr, bl, white);
            if constexpr (K == kMemImgKindXrgb && S != kDirectAlpha) {
                if (var == kSat)
                    return PickBlitFlags<K, S, kBlendSubtract, kSat>(fast, tr, bl, white);
            }
            return PickBlitFlags<K, S, kBlendSubtract, kPlain>(fast, tr, bl, white);
        case kBlendMultiply:
            return PickBlitFlags<K, S, kBlendMultiply, kPlain>(fast, tr, bl, white);
        default:
            return nullptr;
    }
}

// Defined, one format each, in blit_kind0.cpp and blit_kind1.cpp.
BlitFn PickBlitKind0(int src, int mode, int var, bool fast, bool tr, bool bl, bool white);
BlitFn PickBlitKind1(int src, int mode, int var, bool fast, bool tr, bool bl, bool white);

}  // namespace tessra::soft
