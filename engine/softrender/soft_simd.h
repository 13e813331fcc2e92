// Private to the software renderer: SSE2 rows for the common 32-bit cases (copy, halving,
// saturating add and subtract, multiply, parameter blend), with and without a transparent key.
// They give exactly the bits of the one-pixel rules in soft_pixel.h; SSE2 is part of every
// x86-64 processor, so no run-time check is needed for them.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/softrender/soft_pixel.h"

namespace tessra::soft {

enum RowOp : int { kRowCopy, kRowHalf, kRowAddSat, kRowSubSat, kRowMul, kRowAlpha, kRowAlphaSrc };
constexpr int kRowOps = 7;

#if defined(__SSE2__)
template <int Op>
inline __m128i RowOp4(__m128i d, __m128i s, __m128i pv, __m128i qv) {
    const __m128i zero = _mm_setzero_si128();
    if constexpr (Op == kRowCopy) {
        return s;
    } else if constexpr (Op == kRowHalf) {
        const __m128i m = _mm_set1_epi32(0x7F7F7F);
        return _mm_add_epi32(_mm_and_si128(_mm_srli_epi32(s, 1), m),
                             _mm_and_si128(_mm_srli_epi32(d, 1), m));
    } else if constexpr (Op == kRowAddSat) {
        return _mm_adds_epu8(d, s);
    } else if constexpr (Op == kRowSubSat) {
        return _mm_subs_epu8(d, s);
    } else if constexpr (Op == kRowMul) {
        // (d * s) >> 8 per colour byte; the fourth byte is kept.
        __m128i dl = _mm_unpacklo_epi8(d, zero), dh = _mm_unpackhi_epi8(d, zero);
        __m128i sl = _mm_unpacklo_epi8(s, zero), sh = _mm_unpackhi_epi8(s, zero);
        __m128i r = _mm_packus_epi16(_mm_srli_epi16(_mm_mullo_epi16(dl, sl), 8),
                                     _mm_srli_epi16(_mm_mullo_epi16(dh, sh), 8));
        const __m128i top = _mm_set1_epi32(int32_t(0xFF000000u));
        return _mm_or_si128(_mm_andnot_si128(top, r), _mm_and_si128(top, d));
    } else {
        // (256 d + (s - d) p) >> 8 = (d (256 - p) + s p) >> 8, which stays below 65536.
        __m128i dl = _mm_unpacklo_epi8(d, zero), dh = _mm_unpackhi_epi8(d, zero);
        __m128i sl = _mm_unpacklo_epi8(s, zero), sh = _mm_unpackhi_epi8(s, zero);
        __m128i lo =
            _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(dl, qv), _mm_mullo_epi16(sl, pv)), 8);
        __m128i hi =
            _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(dh, qv), _mm_mullo_epi16(sh, pv)), 8);
        __m128i r = _mm_packus_epi16(lo, hi);
        const __m128i top = _mm_set1_epi32(int32_t(0xFF000000u));
        return _mm_or_si128(_mm_andnot_si128(top, r), _mm_and_si128(top, d));
    }
}
#endif

// The one-pixel form of each row operation.
template <int Op>
inline uint32_t RowOp1(uint32_t d, uint32_t s, uint32_t p) {
    if constexpr (Op == kRowCopy)
        return s;
    else if constexpr (Op == kRowHalf)
        return ((s >> 1) & 0x7F7F7Fu) + ((d >> 1) & 0x7F7F7Fu);
    else if constexpr (Op == kRowAddSat)
        return SatAdd4(d, s);
    else if constexpr (Op == kRowSubSat)
        return SatSub4(d, s);
    else if constexpr (Op == kRowMul) {
        uint32_t out = d & 0xFF000000u;
        for (int i = 0; i < 24; i += 8) out |= ((((d >> i) & 0xFF) * ((s >> i) & 0xFF)) >> 8) << i;
        return out;
    } else {
        uint32_t out = d & 0xFF000000u;
        for (int i = 0; i < 24; i += 8) {
            uint32_t dc = (d >> i) & 0xFF, sc = (s >> i) & 0xFF;
            out |= ((dc * (256 - p) + sc * p) >> 8) << i;
        }
        return out;
    }
}

// Mode 0 from a 32-bit source with per-pixel alpha a under white brightness:
// (d (256 - a) + s a) >> 8 per colour byte, the fourth byte kept. With Gate (transparency on)
// a = 0 leaves the pixel and a = 255 copies it whole.
inline uint32_t AlphaSrc1(uint32_t d, uint32_t s, bool gate) {
    const uint32_t a = s >> 24, na = 256 - a;
    if (gate && a == 255) return s;
    // Red and blue side by side: each field's sum stays below 65536, so none reaches the next.
    const uint32_t rb = (((d & 0xFF00FFu) * na + (s & 0xFF00FFu) * a) >> 8) & 0xFF00FFu;
    const uint32_t g = (((d & 0xFF00u) * na + (s & 0xFF00u) * a) >> 8) & 0xFF00u;
    return (d & 0xFF000000u) | rb | g;
}

#if defined(__SSE2__)
template <bool Gate>
inline __m128i AlphaSrc4(__m128i d, __m128i s) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i c256 = _mm_set1_epi16(256);
    auto half = [&](__m128i dh, __m128i sh) {
        __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(sh, 0xFF), 0xFF);
        return _mm_srli_epi16(
            _mm_add_epi16(_mm_mullo_epi16(dh, _mm_sub_epi16(c256, a)), _mm_mullo_epi16(sh, a)), 8);
    };
    __m128i r = _mm_packus_epi16(half(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(s, zero)),
                                 half(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(s, zero)));
    const __m128i top = _mm_set1_epi32(int32_t(0xFF000000u));
    r = _mm_or_si128(_mm_andnot_si128(top, r), _mm_and_si128(top, d));
    if constexpr (Gate) {
        __m128i a = _mm_srli_epi32(s, 24);
        __m128i full = _mm_cmpeq_epi32(a, _mm_set1_epi32(255));
        __m128i none = _mm_cmpeq_epi32(a, _mm_setzero_si128());
        r = _mm_or_si128(_mm_and_si128(full, s), _mm_andnot_si128(full, r));
        r = _mm_or_si128(_mm_and_si128(none, d), _mm_andnot_si128(none, r));
    }
    return r;
}
#endif

template <bool Gate>
inline void RowAlphaSrc(uint8_t* dst, const uint8_t* src, int32_t n) {
    int32_t x = 0;
#if defined(__SSE2__)
    for (; x + 4 <= n; x += 4) {
        __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * x));
        if constexpr (Gate) {
            // Wholly clear groups are left and wholly opaque ones copied, as the gate says.
            const __m128i a = _mm_srli_epi32(s, 24);
            if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, _mm_setzero_si128())) == 0xFFFF) continue;
            if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, _mm_set1_epi32(255))) == 0xFFFF) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * x), s);
                continue;
            }
        }
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + 4 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * x), AlphaSrc4<Gate>(d, s));
    }
#endif
    for (; x < n; ++x) {
        uint32_t s = Load32(src + 4 * x);
        if (Gate && (s >> 24) == 0) continue;
        Store32(dst + 4 * x, AlphaSrc1(Load32(dst + 4 * x), s, Gate));
    }
}

// One row of n 32-bit pixels; with Key, source pixels equal to key leave the destination alone.
template <int Op, bool Key>
inline void Row32(uint8_t* dst, const uint8_t* src, int32_t n, uint32_t key, uint32_t p) {
    int32_t x = 0;
    if constexpr (Op == kRowCopy && !Key) {
        std::memcpy(dst, src, size_t(n) * 4);
        return;
    }
#if defined(__SSE2__)
    const __m128i kv = _mm_set1_epi32(int32_t(key));
    const __m128i pv = _mm_set1_epi16(int16_t(p));
    const __m128i qv = _mm_set1_epi16(int16_t(256 - p));
    for (; x + 4 <= n; x += 4) {
        __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * x));
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + 4 * x));
        __m128i r = RowOp4<Op>(d, s, pv, qv);
        if constexpr (Key) {
            __m128i skip = _mm_cmpeq_epi32(s, kv);
            if (_mm_movemask_epi8(skip) == 0xFFFF) continue;
            r = _mm_or_si128(_mm_and_si128(skip, d), _mm_andnot_si128(skip, r));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * x), r);
    }
#endif
    for (; x < n; ++x) {
        uint32_t s = Load32(src + 4 * x);
        if constexpr (Key) {
            if (s == key) continue;
        }
        Store32(dst + 4 * x, RowOp1<Op>(Load32(dst + 4 * x), s, p));
    }
}

// 16-bit 565 rows for a direct source under white brightness without a blend image. Each lane
// holds one pixel, so the packed add and subtract give exactly the one-pixel rule.
enum Row16Op : int { kRow16Copy, kRow16Half, kRow16Six, kRow16Add, kRow16Sub, kRow16Mul };

template <int Op>
inline uint32_t Row16Op1(uint32_t d, uint32_t s, uint32_t p) {
    if constexpr (Op == kRow16Copy)
        return s;
    else if constexpr (Op == kRow16Half)
        return ((s >> 1) & 0x7BEFu) + ((d >> 1) & 0x7BEFu);
    else if constexpr (Op == kRow16Six) {
        const uint32_t k = p >> 2;
        uint32_t out = 0;
        for (int ch = 0; ch < 3; ++ch)
            out |= uint32_t(
                       Blend6BitTable[k][Chan<kMemImgKind565>(s, ch)][Chan<kMemImgKind565>(d, ch)])
                   << kShift<kMemImgKind565>[ch];
        return out;
    } else if constexpr (Op == kRow16Add)
        return PackedAdd<0, false>(d, s);
    else if constexpr (Op == kRow16Sub)
        return PackedSub<kMemImgKind565>(d, s);
    else {
        uint32_t out = 0;
        for (int ch = 0; ch < 3; ++ch)
            out |= ((Chan<kMemImgKind565>(d, ch) * Chan<kMemImgKind565>(s, ch)) >>
                    kWidth<kMemImgKind565>[ch])
                   << kShift<kMemImgKind565>[ch];
        return out;
    }
}

#if defined(__SSE2__)
// (bits & bit) ? mask : 0 in every lane.
inline __m128i IfBit16(__m128i v, int bit, int mask) {
    const __m128i b = _mm_set1_epi16(int16_t(bit));
    return _mm_and_si128(_mm_cmpeq_epi16(_mm_and_si128(v, b), b), _mm_set1_epi16(int16_t(mask)));
}

template <int Op>
inline __m128i Row16Op8(__m128i d, __m128i s, __m128i kv) {
    if constexpr (Op == kRow16Copy) {
        return s;
    } else if constexpr (Op == kRow16Half) {
        const __m128i m = _mm_set1_epi16(0x7BEF);
        return _mm_add_epi16(_mm_and_si128(_mm_srli_epi16(s, 1), m),
                             _mm_and_si128(_mm_srli_epi16(d, 1), m));
    } else if constexpr (Op == kRow16Six) {
        // trunc((s k + d (63 - k)) / 63) per field; the sum is below 4096, where
        // (x * 33289) >> 21 equals x / 63.
        const __m128i k = kv, k63 = _mm_sub_epi16(_mm_set1_epi16(63), kv);
        const __m128i magic = _mm_set1_epi16(int16_t(33289));
        auto field = [&](int shift, int max) {
            const __m128i m = _mm_set1_epi16(int16_t(max));
            __m128i sf = _mm_and_si128(_mm_srli_epi16(s, shift), m);
            __m128i df = _mm_and_si128(_mm_srli_epi16(d, shift), m);
            __m128i x = _mm_add_epi16(_mm_mullo_epi16(sf, k), _mm_mullo_epi16(df, k63));
            return _mm_slli_epi16(_mm_srli_epi16(_mm_mulhi_epu16(x, magic), 5), shift);
        };
        return _mm_or_si128(_mm_or_si128(field(0, 31), field(5, 63)), field(11, 31));
    } else if constexpr (Op == kRow16Add) {
        const __m128i m = _mm_set1_epi16(int16_t(0xF7DF));
        __m128i a = _mm_and_si128(d, m), b = _mm_and_si128(s, m);
        __m128i t = _mm_add_epi16(a, b);
        // The carry out of the top bit: red overflowed.
        __m128i carry = _mm_srai_epi16(
            _mm_or_si128(_mm_and_si128(a, b), _mm_andnot_si128(t, _mm_or_si128(a, b))), 15);
        __m128i red = _mm_and_si128(carry, _mm_set1_epi16(int16_t(0xF800)));
        return _mm_or_si128(_mm_or_si128(t, red),
                            _mm_or_si128(IfBit16(t, 0x20, 0x1F), IfBit16(t, 0x800, 0x7C0)));
    } else if constexpr (Op == kRow16Sub) {
        __m128i a = _mm_or_si128(d, _mm_set1_epi16(0x0820));
        __m128i b = _mm_and_si128(s, _mm_set1_epi16(int16_t(0xF7DF)));
        __m128i t = _mm_sub_epi16(a, b);
        // Red did not borrow when b <= a.
        __m128i noBorrow = _mm_cmpeq_epi16(_mm_subs_epu16(b, a), _mm_setzero_si128());
        __m128i red = _mm_and_si128(noBorrow, _mm_set1_epi16(int16_t(0xF800)));
        return _mm_and_si128(
            t, _mm_or_si128(red, _mm_or_si128(IfBit16(t, 0x20, 0x1F), IfBit16(t, 0x800, 0x7C0))));
    } else {
        auto field = [&](int shift, int max, int width) {
            const __m128i m = _mm_set1_epi16(int16_t(max));
            __m128i sf = _mm_and_si128(_mm_srli_epi16(s, shift), m);
            __m128i df = _mm_and_si128(_mm_srli_epi16(d, shift), m);
            return _mm_slli_epi16(_mm_srli_epi16(_mm_mullo_epi16(sf, df), width), shift);
        };
        return _mm_or_si128(_mm_or_si128(field(0, 31, 5), field(5, 63, 6)), field(11, 31, 5));
    }
}
#endif

template <int Op, bool Key>
inline void Row16(uint8_t* dst, const uint8_t* src, int32_t n, uint32_t key, uint32_t p) {
    int32_t x = 0;
#if defined(__SSE2__)
    const __m128i keyv = _mm_set1_epi16(int16_t(key));
    const __m128i kv = _mm_set1_epi16(int16_t(p >> 2));
    for (; x + 8 <= n; x += 8) {
        __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * x));
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + 2 * x));
        __m128i r = Row16Op8<Op>(d, s, kv);
        if constexpr (Key) {
            if (key <= 0xFFFF) {  // a larger key equals no 16-bit pixel
                __m128i skip = _mm_cmpeq_epi16(s, keyv);
                if (_mm_movemask_epi8(skip) == 0xFFFF) continue;
                r = _mm_or_si128(_mm_and_si128(skip, d), _mm_andnot_si128(skip, r));
            }
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * x), r);
    }
#endif
    for (; x < n; ++x) {
        uint32_t s = Load16(src + 2 * x);
        if constexpr (Key) {
            if (s == key) continue;
        }
        Store16(dst + 2 * x, Row16Op1<Op>(Load16(dst + 2 * x), s, p));
    }
}

// Rows of 16 bytes or more: one unaligned store at each end and aligned stores, four at a
// time, between them (the end stores overlap the aligned ones with the same bytes). The colour's
// pattern lines up with every 16-byte boundary only when the row starts on a whole pixel's
// alignment; a row that does not (never one of a memory image) takes unaligned stores.
template <int K>
inline void FillRow(uint8_t* dst, int32_t n, uint32_t color) {
    int32_t x = 0;
#if defined(__SSE2__)
    constexpr size_t bpp = K == kMemImgKind565 ? 2 : 4;
    const __m128i v =
        K == kMemImgKind565 ? _mm_set1_epi16(int16_t(color)) : _mm_set1_epi32(int32_t(color));
    const size_t bytes = size_t(n > 0 ? n : 0) * bpp;
    if (bytes >= 16 && (reinterpret_cast<uintptr_t>(dst) & (bpp - 1)) == 0) {
        uint8_t* const end = dst + bytes;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), v);
        uint8_t* p =
            reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(dst) + 16) & ~uintptr_t(15));
        for (; p + 64 <= end; p += 64) {
            _mm_store_si128(reinterpret_cast<__m128i*>(p), v);
            _mm_store_si128(reinterpret_cast<__m128i*>(p + 16), v);
            _mm_store_si128(reinterpret_cast<__m128i*>(p + 32), v);
            _mm_store_si128(reinterpret_cast<__m128i*>(p + 48), v);
        }
        for (; p + 16 <= end; p += 16) _mm_store_si128(reinterpret_cast<__m128i*>(p), v);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(end - 16), v);
        return;
    }
    constexpr int32_t per = K == kMemImgKind565 ? 8 : 4;
    for (; x + per <= n; x += per)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x * (K == kMemImgKind565 ? 2 : 4)), v);
#endif
    for (; x < n; ++x) {
        if constexpr (K == kMemImgKind565)
            Store16(dst + 2 * x, color);
        else
            Store32(dst + 4 * x, color);
    }
}

// Lanes [8 - r, 16) of this table, read from element 8 - r, give r leading all-ones lanes
// followed by zeros: the mask that keeps the first r pixels of a vector.
alignas(32) inline constexpr int32_t kLeadingLanes[16] = {-1, -1, -1, -1, -1, -1, -1, -1,
                                                          0,  0,  0,  0,  0,  0,  0,  0};

// Code 2 of the run-data path for a 32-bit source with per-pixel alpha: len pixels blended by
// their own alpha. room (>= len) is how many pixels the source and destination rows hold from
// here; a run whose last group fits in the row is finished by one whole group with the pixels
// past the run written back unchanged, so short runs need no pixel-by-pixel tail.
inline void AlphaRun4(uint8_t* dst, const uint8_t* src, int32_t len, int32_t room) {
    int32_t i = 0;
#if defined(__SSE2__)
    for (; i + 4 <= len; i += 4) {
        __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i));
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + 4 * i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * i), AlphaSrc4<false>(d, s));
    }
    if (i < len && room - i >= 4) {
        __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * i));
        __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + 4 * i));
        __m128i keep =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(kLeadingLanes + 8 - (len - i)));
        __m128i r = AlphaSrc4<false>(d, s);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * i),
                         _mm_or_si128(_mm_and_si128(keep, r), _mm_andnot_si128(keep, d)));
        return;
    }
#else
    (void)room;
#endif
    for (; i < len; ++i)
        Store32(dst + 4 * i, AlphaSrc1(Load32(dst + 4 * i), Load32(src + 4 * i), false));
}

// The whole run-data path of a 32-bit source with per-pixel alpha copied in mode 0 under white
// brightness: code 0 leaves the pixels, code 1 copies them, code 2 blends them by their alpha.
// Runs are clamped to the row, and a row or buffer that ends early ends the draw there.
struct AlphaRunsJob {
    uint8_t* dst;
    int32_t dstPitch;
    const uint8_t* src;
    int32_t srcPitch;
    int32_t width, height;
    const uint8_t* runs;
    const uint8_t* runsEnd;
};
using AlphaRunsFn = void (*)(const AlphaRunsJob& job);

// How many rows ahead the run-data path asks for the destination: sprites land anywhere on a
// large target, so their rows are often not in cache yet, and the run decoding between the
// loads would otherwise keep the processor from reaching them early.
constexpr int32_t kRunsPrefetchRows = 4;

// Asks for the ends of the 32-bit destination row kRunsPrefetchRows below drow.
inline void PrefetchRowAhead(const uint8_t* drow, int32_t pitch, int32_t width) {
    const uint8_t* ahead = drow + ptrdiff_t(kRunsPrefetchRows) * pitch;
    __builtin_prefetch(ahead, 1);
    __builtin_prefetch(ahead + 4 * (width - 1), 1);
}

// The loop over the runs, with Blend2 (dst, src, len, room) as code 2's blend.
template <auto Blend2>
inline void AlphaRunsLoop(const AlphaRunsJob& job) {
    const AlphaRunsJob j = job;
    const uint8_t* run = j.runs;
    for (int32_t y = 0; y < j.height; ++y) {
        uint8_t* drow = j.dst + ptrdiff_t(y) * j.dstPitch;
        const uint8_t* srow = j.src + ptrdiff_t(y) * j.srcPitch;
        if (y + kRunsPrefetchRows < j.height) PrefetchRowAhead(drow, j.dstPitch, j.width);
        int32_t x = 0;
        while (run < j.runsEnd) {
            const uint32_t b = *run++;
            const uint32_t code = b >> 6;
            if (code == 3) break;
            int32_t len = int32_t(b & 63) + 1;
            if (len > j.width - x) len = j.width - x;
            if (code == 2)
                Blend2(drow + 4 * x, srow + 4 * x, len, j.width - x);
            else if (code == 1)
                CopyRun(drow + 4 * x, srow + 4 * x, size_t(len) * 4);
            x += len;
        }
    }
}

// One source pixel in every other one, starting with the first: dst[i] = src[2 i] for i < n,
// reading no source pixel past src[2 (n - 1)]. The rows of a stretch to exactly half the width.
template <int K>
inline void HalfRow(uint8_t* dst, const uint8_t* src, int32_t n) {
    int32_t x = 0;
#if defined(__SSE2__)
    constexpr int32_t per = K == kMemImgKind565 ? 8 : 4;  // destination pixels per group
    constexpr int32_t bpp = K == kMemImgKind565 ? 2 : 4;
    // A group reads 2 per source pixels; the last one it reads must be inside the row.
    for (; x + per < n; x += per) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * bpp * x));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * bpp * x + 16));
        __m128i r;
        if constexpr (K == kMemImgKind565) {
            // The even words, sign-extended, so that the signed pack keeps them exactly.
            a = _mm_srai_epi32(_mm_slli_epi32(a, 16), 16);
            b = _mm_srai_epi32(_mm_slli_epi32(b, 16), 16);
            r = _mm_packs_epi32(a, b);
        } else {
            r = _mm_castps_si128(
                _mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), _MM_SHUFFLE(2, 0, 2, 0)));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + bpp * x), r);
    }
#endif
    for (; x < n; ++x) {
        if constexpr (K == kMemImgKind565)
            Store16(dst + 2 * x, Load16(src + 4 * x));
        else
            Store32(dst + 4 * x, Load32(src + 8 * x));
    }
}
using HalfRowFn = void (*)(uint8_t* dst, const uint8_t* src, int32_t n);

// n 32-bit pixels of src, each keeping the fourth byte dst has.
inline void KeepFourthByteRow(uint8_t* dst, const uint8_t* src, int32_t n) {
    int32_t x = 0;
#if defined(__SSE2__)
    const __m128i top = _mm_set1_epi32(int32_t(0xFF000000u));
    for (; x + 4 <= n; x += 4) {
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * x));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + 4 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4 * x),
                         _mm_or_si128(s, _mm_and_si128(d, top)));
    }
#endif
    for (; x < n; ++x)
        Store32(dst + 4 * x, Load32(src + 4 * x) | (Load32(dst + 4 * x) & 0xFF000000u));
}

// dst takes src's byte where mask's byte is 0xFF and keeps its own where it is 0, n bytes.
inline void MaskedCopyRow(uint8_t* dst, const uint8_t* src, const uint8_t* mask, size_t n) {
    size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= n; i += 16) {
        const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask + i));
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i),
                         _mm_or_si128(_mm_and_si128(m, s), _mm_andnot_si128(m, d)));
    }
#endif
    for (; i < n; ++i) dst[i] = uint8_t((src[i] & mask[i]) | (dst[i] & ~mask[i]));
}

// Row and fill functions, chosen once from what the processor offers (AVX2 or SSE2); both
// forms give the same bits.
using RowFn = void (*)(uint8_t* dst, const uint8_t* src, int32_t n, uint32_t key, uint32_t p);
using FillFn = void (*)(uint8_t* dst, int32_t n, uint32_t color);
RowFn SelectRow(int op, bool key);
FillFn SelectFill(int kind);
AlphaRunsFn SelectAlphaRuns();
HalfRowFn SelectHalfRow(int kind);
// Chooses again, allowing AVX2 only when asked (tests run both forms).
void SelectVectorRows(bool allowAvx2);
// The AVX2 forms (soft_rows_avx2.cpp); null when the build has none.
RowFn Avx2Row(int op, bool key);
FillFn Avx2Fill(int kind);
AlphaRunsFn Avx2AlphaRuns();
HalfRowFn Avx2HalfRow(int kind);

}  // namespace tessra::soft
