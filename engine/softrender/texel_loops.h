// Private to the software renderer: the span loops of the mapped draws (textured triangles and
// the rotated blit). A span walks destination pixels to the right while the texel coordinate
// (u, v, 14.18 fixed point) advances by a constant step; each pixel whose texel lies inside the
// source is written by the rule the loop was made for. One loop per format, source kind, mode,
// blend image, brightness and transparency, chosen once per call, so no flag is tested per pixel.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "engine/softrender/soft_common.h"
#include "engine/softrender/soft_pixel.h"

namespace tessra::soft {

// What every span of one call shares.
struct TexelJob {
    const uint8_t* src;  // source row 0
    ptrdiff_t srcPitch;
    const uint8_t* blend;  // blend image row 0, or null
    ptrdiff_t blendPitch;
    uint64_t uLimit, vLimit;  // texels with u or v (unsigned) at or past these are left out
    uint32_t key;             // transparent value (index for a paletted source)
    const uint32_t* palette;  // 256 entries in the destination's format
    Ctx ctx;
};

using TexelSpanFn = void (*)(uint8_t* dst, int32_t count, uint32_t u, uint32_t v, uint32_t du,
                             uint32_t dv, const TexelJob& job);

// The rule form of the mapped draws: 16-bit add and subtract with a blend image apply the
// brightness before the weights; otherwise the alpha comes first (16-bit) or the brightness
// (32-bit, whose rule ignores the form).
template <int K, int Mode, bool Bl>
constexpr int kTexelVar = (K == kMemImgKind565 && Bl &&
                           (Mode == kBlendAdd || Mode == kBlendSubtract))
                              ? kBrightFirst
                              : kPlain;

// The rule for one texel. A blend by one weight of at most 255 (32-bit: mode 0 by the alpha or
// the blend weight, mode 1 by the parameter; 16-bit: mode 0) mixes several channels in one
// multiplication: s f + d (256 - f) is the numerator of d + (s - d) f / 256, and no lane can
// carry into the next. The rest go through the channel-by-channel rule.
template <int K, int Mode, int V, bool White, bool HasA, bool Bl>
inline uint32_t TexelRule(uint32_t d, uint32_t s, uint32_t a, uint32_t w, const Ctx& c) {
    constexpr int weights = int(HasA) + int(Bl) + int(Mode == kBlendAlpha);
    if constexpr (K == kMemImgKindXrgb && White && weights == 1 &&
                  (Mode == kBlendNone || Mode == kBlendAlpha)) {
        const uint32_t f = HasA ? a : Bl ? w : c.p, g = 256 - f;
        const uint32_t rb = (((s & 0xFF00FFu) * f + (d & 0xFF00FFu) * g) >> 8) & 0xFF00FFu;
        const uint32_t gr = (((s & 0xFF00u) * f + (d & 0xFF00u) * g) >> 8) & 0xFF00u;
        return (d & 0xFF000000u) | rb | gr;
    } else if constexpr (K == kMemImgKind565 && White && weights == 1 && Mode == kBlendNone) {
        // 5-6-5: each channel in its own 16 bits of a 64-bit word, where 63 x 256 still fits.
        const uint64_t f = HasA ? a : w, g = 256 - f;
        auto spread = [](uint32_t v) {
            return (uint64_t(v >> 11) << 32) | (uint64_t((v >> 5) & 63) << 16) | (v & 31);
        };
        const uint64_t m = ((spread(s) * f + spread(d) * g) >> 8) & 0x000000FF00FF00FFull;
        return uint32_t((m >> 32) << 11) | uint32_t(((m >> 16) & 63) << 5) | uint32_t(m & 31);
    } else {
        return Blend<K, Mode, V, White, HasA, Bl>(d, s, a, w, c);
    }
}

template <int K, int S, int Mode, bool Tr, bool Bl, bool White>
void TexelSpan(uint8_t* dst, int32_t count, uint32_t u, uint32_t v, uint32_t du, uint32_t dv,
               const TexelJob& job) {
    // A local copy: the stores below could otherwise alias the job and force reloads.
    const TexelJob j = job;
    constexpr int V = kTexelVar<K, Mode, Bl>;
    constexpr int dbpp = K == kMemImgKind565 ? 2 : 4;
    for (int32_t i = 0; i < count; ++i, dst += dbpp, u += du, v += dv) {
        if (u >= j.uLimit || v >= j.vLimit) continue;
        const uint32_t tx = u >> 18, ty = v >> 18;
        const SrcPixel<K, S> sp =
            ReadSource<K, S>(j.src + ptrdiff_t(ty) * j.srcPitch, int32_t(tx), j.palette);
        if constexpr (Tr && S != kDirectAlpha) {
            if (sp.raw == j.key) continue;
        }
        uint32_t w = 0;
        if constexpr (Bl) w = j.ctx.ramp[j.blend[ptrdiff_t(ty) * j.blendPitch + tx]];
        const uint32_t d = LoadDest<K>(dst, 0);
        if constexpr (S == kDirectAlpha) {
            if constexpr (Tr) {
                // Alpha 0 is skipped, except in multiply, where it darkens to black.
                if constexpr (Mode != kBlendMultiply) {
                    if (sp.alpha == 0) continue;
                }
                if (sp.alpha == 255) {
                    StoreDest<K>(dst, 0,
                                 TexelRule<K, Mode, V, White, false, Bl>(d, sp.color, 0, w, j.ctx));
                    continue;
                }
            }
            StoreDest<K>(dst, 0,
                         TexelRule<K, Mode, V, White, true, Bl>(d, sp.color, sp.alpha, w, j.ctx));
        } else {
            StoreDest<K>(dst, 0, TexelRule<K, Mode, V, White, false, Bl>(d, sp.color, 0, w, j.ctx));
        }
    }
}

template <int K, int S, int Mode>
TexelSpanFn PickTexelFlags(bool alpha, bool tr, bool bl, bool white) {
    if constexpr (S == kDirect) {
        if (alpha) return PickTexelFlags<K, kDirectAlpha, Mode>(false, tr, bl, white);
    }
    if (tr) {
        if (bl)
            return white ? TexelSpan<K, S, Mode, true, true, true>
                         : TexelSpan<K, S, Mode, true, true, false>;
        return white ? TexelSpan<K, S, Mode, true, false, true>
                     : TexelSpan<K, S, Mode, true, false, false>;
    }
    if (bl)
        return white ? TexelSpan<K, S, Mode, false, true, true>
                     : TexelSpan<K, S, Mode, false, true, false>;
    return white ? TexelSpan<K, S, Mode, false, false, true>
                 : TexelSpan<K, S, Mode, false, false, false>;
}

template <int K, int S>
TexelSpanFn PickTexelModes(int mode, bool alpha, bool tr, bool bl, bool white) {
    switch (mode) {
        case kBlendNone:
            return PickTexelFlags<K, S, kBlendNone>(alpha, tr, bl, white);
        case kBlendAlpha:
            return PickTexelFlags<K, S, kBlendAlpha>(alpha, tr, bl, white);
        case kBlendAdd:
            return PickTexelFlags<K, S, kBlendAdd>(alpha, tr, bl, white);
        case kBlendSubtract:
            return PickTexelFlags<K, S, kBlendSubtract>(alpha, tr, bl, white);
        case kBlendMultiply:
            return PickTexelFlags<K, S, kBlendMultiply>(alpha, tr, bl, white);
        default:
            return nullptr;
    }
}

// A blend image the mapped draws can read: one byte per pixel, rows at least as wide.
inline bool UsableBlendImage(const MEMIMG* blend) {
    return blend != nullptr && blend->pixels != nullptr && blend->width > 0 && blend->height > 0 &&
           blend->pitch >= blend->width;
}

// Fills a job for src (and the blend image, or null) under ctx; the palette copy lives in the
// caller's 256 entries. A blend image smaller than the source limits the draw to the texels it
// covers. The loops take u and v as 32-bit values, so the limits stop at 2^32.
inline void MakeTexelJob(TexelJob* job, const MEMIMG* src, const MEMIMG* blend, const Ctx& ctx,
                         uint32_t palette[256]) {
    int64_t tw = src->width, th = src->height;
    if (blend != nullptr) {
        tw = std::min<int64_t>(tw, blend->width);
        th = std::min<int64_t>(th, blend->height);
    }
    job->src = src->pixels;
    job->srcPitch = src->pitch;
    job->blend = blend ? blend->pixels : nullptr;
    job->blendPitch = blend ? blend->pitch : 0;
    job->uLimit = uint64_t(std::min<int64_t>(tw << 18, int64_t(1) << 32));
    job->vLimit = uint64_t(std::min<int64_t>(th << 18, int64_t(1) << 32));
    job->key = src->transColor;
    if (src->paletted) CopyPalette(src, palette);
    job->palette = palette;
    job->ctx = ctx;
}

// Defined, one format each, in texel_kind0.cpp and texel_kind1.cpp.
TexelSpanFn PickTexelKind0(bool paletted, int mode, bool alpha, bool tr, bool bl, bool white);
TexelSpanFn PickTexelKind1(bool paletted, int mode, bool alpha, bool tr, bool bl, bool white);

// The rule of one mapped draw from the draw state, or null when the draw changes nothing:
// a mode above 4, the parameter 0 in modes 1 to 3 (a paletted source included: its subtract of
// nothing would only flip guard bits). Mode 1 at 255 runs the mode 0 rule.
inline TexelSpanFn ChooseTexelSpan(uint32_t kind, bool paletted, bool alpha, bool tr, bool bl,
                                   bool white, int mode, uint32_t p) {
    if (mode < kBlendNone || mode > kBlendMultiply) return nullptr;
    if (p == 0 && (mode == kBlendAlpha || mode == kBlendAdd || mode == kBlendSubtract))
        return nullptr;
    if (mode == kBlendAlpha && p == 255) mode = kBlendNone;
    if (paletted) alpha = false;
    if (kind == kMemImgKind565) return PickTexelKind0(paletted, mode, alpha, tr, bl, white);
    if (kind == kMemImgKindXrgb) return PickTexelKind1(paletted, mode, alpha, tr, bl, white);
    return nullptr;
}

}  // namespace tessra::soft
