// Private to the software renderer: the blend of one source colour into one destination pixel,
// instantiated per format, mode and variant so that the loops built on it test no flags per
// pixel. Kind 0 pixels are 5-6-5 words, kind 1 pixels XRGB dwords (blue in the low byte).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/graphics/draw_state.h"
#include "engine/screen/memimg.h"
#include "engine/screen/soft_tables.h"

namespace tessra::soft {

// Which form of a mode's rule a loop runs; chosen once per call from the draw state.
enum Var : int {
    kPlain,        // the general rule of the mode
    kHalf,         // mode 1 at 128, plain blit: (s >> 1) + (d >> 1)
    kSix,          // mode 1, 16-bit plain blit: the 6-bit blend table at p >> 2
    kDiff,         // mode 1, 16-bit: d + (s - d) * p / 255 toward zero
    kNoLast,       // full strength, white, no blend image: the source is the amount, and the
                   // packed add leaves out its guard-bit term
    kSat,          // add or subtract at full strength on all four bytes with saturation
    kZero,         // subtract of nothing (paletted source at parameter 0)
    kBrightFirst,  // 16-bit stretched add/subtract with a blend image: brightness before factors
};

// What a call's pixels share.
struct Ctx {
    uint32_t p;           // blend parameter
    uint32_t bright[3];   // blue, green, red brightness bytes
    const uint8_t* ramp;  // blend-image weights
};

template <int K>
inline constexpr int kShift[3] = {0, 0, 0};
template <>
inline constexpr int kShift<kMemImgKind565>[3] = {0, 5, 11};
template <>
inline constexpr int kShift<kMemImgKindXrgb>[3] = {0, 8, 16};
template <int K>
inline constexpr uint32_t kMax[3] = {0, 0, 0};
template <>
inline constexpr uint32_t kMax<kMemImgKind565>[3] = {31, 63, 31};
template <>
inline constexpr uint32_t kMax<kMemImgKindXrgb>[3] = {255, 255, 255};
template <int K>
inline constexpr int kWidth[3] = {0, 0, 0};
template <>
inline constexpr int kWidth<kMemImgKind565>[3] = {5, 6, 5};
template <>
inline constexpr int kWidth<kMemImgKindXrgb>[3] = {8, 8, 8};

inline uint32_t MulDiv(uint32_t q, uint32_t i) {
    return uint32_t(MulDiv255Table[q][i]);
}

template <int K>
inline uint32_t Chan(uint32_t v, int c) {
    return (v >> kShift<K>[c]) & kMax<K>[c];
}

// The packed add and subtract on whole pixel values; the low bits of green and red catch the
// carry or borrow of the channel below, so those two bits are not exact.
template <int K, bool Last>
inline uint32_t PackedAdd(uint32_t d, uint32_t u) {
    if constexpr (K == kMemImgKindXrgb) {
        uint32_t t = (d & 0xFEFEFFu) + (u & 0xFEFEFFu);
        uint32_t c = t & 0x1010100u;
        uint32_t out = t | (c - (c >> 8));
        if constexpr (Last) out |= (d | u) & 0x10100u;
        return out;
    } else {
        uint32_t t = (d & 0xF7DEF7DFu) + (u & 0xF7DEF7DFu);
        uint32_t c = t & 0x8210820u;
        uint32_t out = t | (c - (c >> 5));
        if constexpr (Last) out |= (d | u) & 0x820u;
        return out & 0xFFFFu;
    }
}

template <int K>
inline uint32_t PackedSub(uint32_t d, uint32_t u) {
    if constexpr (K == kMemImgKindXrgb) {
        uint32_t t = (d | 0x1010100u) - (u & 0xFEFEFFu);
        uint32_t c = t & 0x1010100u;
        return t & (c - (c >> 8));
    } else {
        uint32_t t = (d | 0x8210820u) - (u & 0xF7DEF7DFu);
        uint32_t c = t & 0x8210820u;
        return (t & (c - (c >> 5))) & 0xFFFFu;
    }
}

inline uint32_t SatAdd4(uint32_t d, uint32_t s) {
    uint32_t out = 0;
    for (int i = 0; i < 32; i += 8) {
        uint32_t v = ((d >> i) & 0xFF) + ((s >> i) & 0xFF);
        out |= (v > 255 ? 255 : v) << i;
    }
    return out;
}

inline uint32_t SatSub4(uint32_t d, uint32_t s) {
    uint32_t out = 0;
    for (int i = 0; i < 32; i += 8) {
        int32_t v = int32_t((d >> i) & 0xFF) - int32_t((s >> i) & 0xFF);
        out |= uint32_t(v < 0 ? 0 : v) << i;
    }
    return out;
}

// The new destination pixel for source colour s over destination d. HasA: the alpha factor a
// applies; HasW: the blend weight w applies. White: brightness leaves the source unchanged.
// Mode 1 at 255 is passed here as mode 0, and parameter 0 never reaches modes 1 and 2.
template <int K, int Mode, int V, bool White, bool HasA, bool HasW>
inline uint32_t Blend(uint32_t d, uint32_t s, uint32_t a, uint32_t w, const Ctx& c) {
    constexpr int n = int(HasA) + int(HasW);
    uint32_t f = 1;
    if constexpr (HasA) f = a;
    if constexpr (HasW) f *= w;
    const int64_t F = f;

    if constexpr (Mode == kBlendNone && n == 0 && White) {
        return s;  // the whole pixel, the fourth byte of a 32-bit one included
    } else if constexpr (Mode == kBlendAlpha && n == 0 && V == kHalf) {
        if constexpr (K == kMemImgKindXrgb)
            return ((s >> 1) & 0x7F7F7Fu) + ((d >> 1) & 0x7F7F7Fu);
        else
            return ((s >> 1) & 0x7BEFu) + ((d >> 1) & 0x7BEFu);
    } else if constexpr ((Mode == kBlendAdd || Mode == kBlendSubtract) && V == kSat && n == 0) {
        return Mode == kBlendAdd ? SatAdd4(d, s) : SatSub4(d, s);
    } else if constexpr (Mode == kBlendAdd || Mode == kBlendSubtract) {
        uint32_t u = 0;
        if constexpr (V == kNoLast && n == 0) {
            u = s & (K == kMemImgKindXrgb ? 0xFFFFFFu
                                          : 0xFFFFu);  // full strength, white: the source itself
        } else if constexpr (V != kZero) {
            for (int ch = 0; ch < 3; ++ch) {
                uint32_t sc = Chan<K>(s, ch);
                uint32_t t;
                if constexpr (K == kMemImgKindXrgb) {
                    if constexpr (!White) sc = MulDiv(c.bright[ch], sc);
                    if constexpr (n == 0)
                        t = MulDiv(c.p, sc);
                    else
                        t = uint32_t((int64_t(sc) * F * c.p) >> (8 * (n + 1)));
                } else if constexpr (V == kBrightFirst) {
                    if constexpr (!White) sc = MulDiv(c.bright[ch], sc);
                    t = MulDiv(c.p, uint32_t((int64_t(sc) * F) >> (8 * n)));
                } else {
                    uint32_t v = uint32_t((int64_t(sc) * F) >> (8 * n));
                    if constexpr (!White) v = MulDiv(c.bright[ch], v);
                    t = MulDiv(c.p, v);
                }
                u |= t << kShift<K>[ch];
            }
        }
        if constexpr (Mode == kBlendAdd)
            return PackedAdd<K, !(V == kNoLast && n == 0)>(d, u);
        else
            return PackedSub<K>(d, u);
    } else {
        uint32_t out = K == kMemImgKindXrgb ? (d & 0xFF000000u) : 0;
        for (int ch = 0; ch < 3; ++ch) {
            int64_t sc = Chan<K>(s, ch);
            int64_t dc = Chan<K>(d, ch);
            if constexpr (!White) sc = MulDiv(c.bright[ch], uint32_t(sc));
            int64_t r;
            if constexpr (Mode == kBlendNone) {
                if constexpr (n == 0)
                    r = sc;
                else
                    r = (dc * (int64_t(1) << (8 * n)) + (sc - dc) * F) >> (8 * n);
            } else if constexpr (Mode == kBlendAlpha) {
                if constexpr (n >= 1) {
                    r = (dc * (int64_t(1) << (8 * (n + 1))) + (sc - dc) * F * c.p) >> (8 * (n + 1));
                } else if constexpr (K == kMemImgKind565 && V == kSix) {
                    r = Blend6BitTable[c.p >> 2][sc][dc];
                } else if constexpr (K == kMemImgKind565) {
                    r = dc + BlendDiffTable[c.p][255 + sc - dc];
                } else {
                    r = (dc * 256 + (sc - dc) * c.p) >> 8;
                }
            } else {  // mode 4
                r = (dc * sc * F) >> (kWidth<K>[ch] + 8 * n);
            }
            out |= uint32_t(r) << kShift<K>[ch];
        }
        return out;
    }
}

inline uint32_t Load16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}
inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline void Store16(uint8_t* p, uint32_t v) {
    uint16_t w = uint16_t(v);
    std::memcpy(p, &w, 2);
}
inline void Store32(uint8_t* p, uint32_t v) {
    std::memcpy(p, &v, 4);
}

// Copies a short run of whole pixels (n a multiple of 2 bytes) without a library call: the
// runs of the run-data path are mostly a few dozen bytes.
inline void CopyRun(uint8_t* dst, const uint8_t* src, size_t n) {
    if (n >= 16) {
        size_t i = 0;
        for (; i + 16 <= n; i += 16) std::memcpy(dst + i, src + i, 16);
        if (i < n) std::memcpy(dst + n - 16, src + n - 16, 16);  // overlaps what was copied
    } else if (n >= 8) {
        std::memcpy(dst, src, 8);
        std::memcpy(dst + n - 8, src + n - 8, 8);
    } else if (n >= 4) {
        std::memcpy(dst, src, 4);
        std::memcpy(dst + n - 4, src + n - 4, 4);
    } else if (n >= 2) {
        std::memcpy(dst, src, 2);
    }
}

template <int K>
inline uint32_t LoadDest(const uint8_t* row, int32_t x) {
    if constexpr (K == kMemImgKind565)
        return Load16(row + 2 * x);
    else
        return Load32(row + 4 * x);
}
template <int K>
inline void StoreDest(uint8_t* row, int32_t x, uint32_t v) {
    if constexpr (K == kMemImgKind565)
        Store16(row + 2 * x, v);
    else
        Store32(row + 4 * x, v);
}

// Source kinds of a loop.
enum Src : int { kPal, kDirect, kDirectAlpha };

// One source pixel: its raw value (index or pixel, what transparency compares), colour and alpha.
template <int K, int S>
struct SrcPixel {
    uint32_t raw, color, alpha;
};

template <int K, int S>
inline SrcPixel<K, S> ReadSource(const uint8_t* row, int32_t x, const uint32_t* palette) {
    if constexpr (S == kPal) {
        uint32_t i = row[x];
        return {i, palette[i], 0};
    } else if constexpr (S == kDirect) {
        uint32_t v = K == kMemImgKind565 ? Load16(row + 2 * x) : Load32(row + 4 * x);
        return {v, v, 0};
    } else if constexpr (K == kMemImgKind565) {
        uint32_t v = Load32(row + 4 * x);  // 565 word, alpha byte, one ignored byte
        return {v, v & 0xFFFFu, (v >> 16) & 0xFFu};
    } else {
        uint32_t v = Load32(row + 4 * x);
        return {v, v, v >> 24};
    }
}

template <int K, int S>
constexpr int32_t kSrcBytes = S == kPal ? 1 : (K == kMemImgKind565 && S == kDirect ? 2 : 4);

// Draws one gated source pixel: the per-pixel alpha picks the no-factor or the factor form.
// Returns false when the pixel is skipped.
template <int K, int S, int Mode, int V, bool Tr, bool Bl, bool White>
inline void DrawGated(uint8_t* drow, int32_t dx, const SrcPixel<K, S>& sp, uint32_t w,
                      const Ctx& c) {
    uint32_t d = LoadDest<K>(drow, dx);
    if constexpr (S == kDirectAlpha) {
        if constexpr (Tr) {
            if (sp.alpha == 0) return;
            if (sp.alpha == 255) {
                StoreDest<K>(drow, dx, Blend<K, Mode, V, White, false, Bl>(d, sp.color, 0, w, c));
                return;
            }
        }
        StoreDest<K>(drow, dx, Blend<K, Mode, V, White, true, Bl>(d, sp.color, sp.alpha, w, c));
    } else {
        StoreDest<K>(drow, dx, Blend<K, Mode, V, White, false, Bl>(d, sp.color, 0, w, c));
    }
}

}  // namespace tessra::soft
