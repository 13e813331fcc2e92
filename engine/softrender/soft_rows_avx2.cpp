// AVX2 forms of the 32-bit rows and the fills, eight pixels at a time. Only functions marked
// for AVX2 use it, and they are reached only when the processor has it.
#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "engine/softrender/soft_simd.h"

namespace tessra::soft {
namespace {

#define TESSRA_AVX2 __attribute__((target("avx2")))

// Rows this long first reach a 32-byte aligned destination pixel by pixel: an unaligned
// 32-byte store splits a cache line every other time. Shorter rows (sprites) are not worth it.
constexpr int32_t kPeelFrom = 64;

template <int Op>
TESSRA_AVX2 inline __m256i Op8(__m256i d, __m256i s, __m256i pv, __m256i qv) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i top = _mm256_set1_epi32(int32_t(0xFF000000u));
    if constexpr (Op == kRowCopy) {
        return s;
    } else if constexpr (Op == kRowHalf) {
        const __m256i m = _mm256_set1_epi32(0x7F7F7F);
        return _mm256_add_epi32(_mm256_and_si256(_mm256_srli_epi32(s, 1), m),
                                _mm256_and_si256(_mm256_srli_epi32(d, 1), m));
    } else if constexpr (Op == kRowAddSat) {
        return _mm256_adds_epu8(d, s);
    } else if constexpr (Op == kRowSubSat) {
        return _mm256_subs_epu8(d, s);
    } else if constexpr (Op == kRowMul) {
        __m256i lo = _mm256_srli_epi16(
            _mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero), _mm256_unpacklo_epi8(s, zero)), 8);
        __m256i hi = _mm256_srli_epi16(
            _mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero), _mm256_unpackhi_epi8(s, zero)), 8);
        return _mm256_blendv_epi8(_mm256_packus_epi16(lo, hi), d, top);
    } else {
        __m256i lo = _mm256_srli_epi16(
            _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero), qv),
                             _mm256_mullo_epi16(_mm256_unpacklo_epi8(s, zero), pv)),
            8);
        __m256i hi = _mm256_srli_epi16(
            _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero), qv),
                             _mm256_mullo_epi16(_mm256_unpackhi_epi8(s, zero), pv)),
            8);
        return _mm256_blendv_epi8(_mm256_packus_epi16(lo, hi), d, top);
    }
}

// The one-pixel form, for the pixels before the destination is 32-byte aligned and after the
// last whole group of eight.
template <int Op, bool Key>
inline void Row1(uint8_t* dst, const uint8_t* src, int32_t x, uint32_t key, uint32_t p) {
    uint32_t s, d;
    std::memcpy(&s, src + 4 * x, 4);
    if constexpr (Key) {
        if (s == key) return;
    }
    std::memcpy(&d, dst + 4 * x, 4);
    d = RowOp1<Op>(d, s, p);
    std::memcpy(dst + 4 * x, &d, 4);
}

template <int Op, bool Key>
TESSRA_AVX2 void Row(uint8_t* dst, const uint8_t* src, int32_t n, uint32_t key, uint32_t p) {
    int32_t x = 0;
    for (; n >= kPeelFrom && x < n && (reinterpret_cast<uintptr_t>(dst + 4 * x) & 31) != 0; ++x)
        Row1<Op, Key>(dst, src, x, key, p);
    const __m256i kv = _mm256_set1_epi32(int32_t(key));
    const __m256i pv = _mm256_set1_epi16(int16_t(p));
    const __m256i qv = _mm256_set1_epi16(int16_t(256 - p));
    for (; x + 8 <= n; x += 8) {
        __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * x));
        if constexpr (Op == kRowCopy && !Key) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * x), s);
            continue;
        }
        __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + 4 * x));
        __m256i r = Op8<Op>(d, s, pv, qv);
        if constexpr (Key) {
            __m256i skip = _mm256_cmpeq_epi32(s, kv);
            if (_mm256_movemask_epi8(skip) == -1) continue;
            r = _mm256_blendv_epi8(r, d, skip);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * x), r);
    }
    for (; x < n; ++x) Row1<Op, Key>(dst, src, x, key, p);
}

// (d (256 - a) + s a) >> 8 per colour byte of eight pixels, the fourth byte of d kept.
TESSRA_AVX2 inline __m256i AlphaSrc8(__m256i d, __m256i s) {
    const __m256i zero = _mm256_setzero_si256();
    const __m256i c256 = _mm256_set1_epi16(256);
    const __m256i top = _mm256_set1_epi32(int32_t(0xFF000000u));
    // Each pixel's alpha (byte 3) repeated over its four 16-bit lanes.
    const __m256i spread = _mm256_setr_epi8(6, 7, 6, 7, 6, 7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15,
                                            6, 7, 6, 7, 6, 7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15);
    __m256i sl = _mm256_unpacklo_epi8(s, zero), sh = _mm256_unpackhi_epi8(s, zero);
    __m256i al = _mm256_shuffle_epi8(sl, spread), ah = _mm256_shuffle_epi8(sh, spread);
    __m256i lo = _mm256_srli_epi16(
        _mm256_add_epi16(
            _mm256_mullo_epi16(_mm256_unpacklo_epi8(d, zero), _mm256_sub_epi16(c256, al)),
            _mm256_mullo_epi16(sl, al)),
        8);
    __m256i hi = _mm256_srli_epi16(
        _mm256_add_epi16(
            _mm256_mullo_epi16(_mm256_unpackhi_epi8(d, zero), _mm256_sub_epi16(c256, ah)),
            _mm256_mullo_epi16(sh, ah)),
        8);
    return _mm256_blendv_epi8(_mm256_packus_epi16(lo, hi), d, top);
}

template <bool Gate>
TESSRA_AVX2 void AlphaSrcRow(uint8_t* dst, const uint8_t* src, int32_t n, uint32_t, uint32_t) {
    int32_t x = 0;
    const __m256i zero = _mm256_setzero_si256();
    const __m256i opaque = _mm256_set1_epi32(255);
    for (; n >= kPeelFrom && x < n && (reinterpret_cast<uintptr_t>(dst + 4 * x) & 31) != 0; ++x) {
        uint32_t s, d;
        std::memcpy(&s, src + 4 * x, 4);
        if (Gate && (s >> 24) == 0) continue;
        std::memcpy(&d, dst + 4 * x, 4);
        d = AlphaSrc1(d, s, Gate);
        std::memcpy(dst + 4 * x, &d, 4);
    }
    for (; x + 8 <= n; x += 8) {
        __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * x));
        __m256i a32 = _mm256_srli_epi32(s, 24);
        if constexpr (Gate) {
            // Wholly clear groups are left and wholly opaque ones copied, as the gate says.
            if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(a32, zero)) == -1) continue;
            if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(a32, opaque)) == -1) {
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * x), s);
                continue;
            }
        }
        __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + 4 * x));
        __m256i r = AlphaSrc8(d, s);
        if constexpr (Gate) {
            r = _mm256_blendv_epi8(r, s, _mm256_cmpeq_epi32(a32, opaque));
            r = _mm256_blendv_epi8(r, d, _mm256_cmpeq_epi32(a32, zero));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * x), r);
    }
    for (; x < n; ++x) {
        uint32_t s, d;
        std::memcpy(&s, src + 4 * x, 4);
        if (Gate && (s >> 24) == 0) continue;
        std::memcpy(&d, dst + 4 * x, 4);
        d = AlphaSrc1(d, s, Gate);
        std::memcpy(dst + 4 * x, &d, 4);
    }
}

// Code 2 of the run-data path eight pixels at a time. A last group that fits in the row is
// done whole, the pixels past the run written back unchanged; one that does not reads and
// writes only the run's own pixels through masked moves.
TESSRA_AVX2 inline void AlphaRun8(uint8_t* dst, const uint8_t* src, int32_t len, int32_t room) {
    int32_t i = 0;
    for (; i + 8 <= len; i += 8) {
        __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * i));
        __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + 4 * i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * i), AlphaSrc8(d, s));
    }
    if (i == len) return;
    const __m256i keep =
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kLeadingLanes + 8 - (len - i)));
    if (room - i >= 8) {
        __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 4 * i));
        __m256i d = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(dst + 4 * i));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 4 * i),
                            _mm256_blendv_epi8(d, AlphaSrc8(d, s), keep));
    } else {
        __m256i s = _mm256_maskload_epi32(reinterpret_cast<const int*>(src + 4 * i), keep);
        __m256i d = _mm256_maskload_epi32(reinterpret_cast<const int*>(dst + 4 * i), keep);
        _mm256_maskstore_epi32(reinterpret_cast<int*>(dst + 4 * i), keep, AlphaSrc8(d, s));
    }
}

// Flattened, so that the shared loop is compiled here for AVX2 with the blend inside it.
TESSRA_AVX2 __attribute__((flatten)) void AlphaRuns(const AlphaRunsJob& job) {
    AlphaRunsLoop<AlphaRun8>(job);
}

// Every other source pixel, sixteen (32-bit) or thirty-two (16-bit) source pixels at a time.
template <int K>
TESSRA_AVX2 void HalfRow8(uint8_t* dst, const uint8_t* src, int32_t n) {
    constexpr int32_t per = K == kMemImgKind565 ? 16 : 8;
    constexpr int32_t bpp = K == kMemImgKind565 ? 2 : 4;
    int32_t x = 0;
    // As in the SSE2 form, the last source pixel a group reads must be inside the row.
    for (; x + per < n; x += per) {
        __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 2 * bpp * x));
        __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 2 * bpp * x + 32));
        __m256i r;
        if constexpr (K == kMemImgKind565) {
            a = _mm256_srai_epi32(_mm256_slli_epi32(a, 16), 16);
            b = _mm256_srai_epi32(_mm256_slli_epi32(b, 16), 16);
            r = _mm256_packs_epi32(a, b);
        } else {
            r = _mm256_castps_si256(
                _mm256_shuffle_ps(_mm256_castsi256_ps(a), _mm256_castsi256_ps(b), 0x88));
        }
        // The packs and shuffles work in 128-bit halves: put the quarters back in order.
        r = _mm256_permute4x64_epi64(r, 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + bpp * x), r);
    }
    HalfRow<K>(dst + bpp * x, src + 2 * bpp * x, n - x);
}

// Rows of 32 bytes or more: one unaligned store at each end and aligned stores, four at a
// time, between them (the end stores overlap the aligned ones with the same bytes). The colour's
// pattern lines up with every 32-byte boundary only when the row starts on a whole pixel's
// alignment; a row that does not (never one of a memory image) takes unaligned stores.
template <int K>
TESSRA_AVX2 void Fill(uint8_t* dst, int32_t n, uint32_t color) {
    constexpr size_t bpp = K == kMemImgKind565 ? 2 : 4;
    const __m256i v =
        K == kMemImgKind565 ? _mm256_set1_epi16(int16_t(color)) : _mm256_set1_epi32(int32_t(color));
    const size_t bytes = size_t(n > 0 ? n : 0) * bpp;
    uint8_t* const end = dst + bytes;
    if (bytes < 32 || (reinterpret_cast<uintptr_t>(dst) & (bpp - 1)) != 0) {
        int32_t x = 0;
        for (; x + int32_t(32 / bpp) <= n; x += int32_t(32 / bpp))
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + x * bpp), v);
        for (; x < n; ++x) {
            if constexpr (K == kMemImgKind565) {
                uint16_t w = uint16_t(color);
                std::memcpy(dst + 2 * x, &w, 2);
            } else {
                std::memcpy(dst + 4 * x, &color, 4);
            }
        }
        return;
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), v);
    uint8_t* p =
        reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(dst) + 32) & ~uintptr_t(31));
    for (; p + 128 <= end; p += 128) {
        _mm256_store_si256(reinterpret_cast<__m256i*>(p), v);
        _mm256_store_si256(reinterpret_cast<__m256i*>(p + 32), v);
        _mm256_store_si256(reinterpret_cast<__m256i*>(p + 64), v);
        _mm256_store_si256(reinterpret_cast<__m256i*>(p + 96), v);
    }
    for (; p + 32 <= end; p += 32) _mm256_store_si256(reinterpret_cast<__m256i*>(p), v);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(end - 32), v);
}

}  // namespace

RowFn Avx2Row(int op, bool key) {
    static const RowFn table[kRowOps][2] = {
        {Row<kRowCopy, false>, Row<kRowCopy, true>},
        {Row<kRowHalf, false>, Row<kRowHalf, true>},
        {Row<kRowAddSat, false>, Row<kRowAddSat, true>},
        {Row<kRowSubSat, false>, Row<kRowSubSat, true>},
        {Row<kRowMul, false>, Row<kRowMul, true>},
        {Row<kRowAlpha, false>, Row<kRowAlpha, true>},
        {AlphaSrcRow<false>, AlphaSrcRow<true>},
    };
    return table[op][key ? 1 : 0];
}

FillFn Avx2Fill(int kind) {
    return kind == kMemImgKind565 ? Fill<kMemImgKind565> : Fill<kMemImgKindXrgb>;
}

AlphaRunsFn Avx2AlphaRuns() {
    return AlphaRuns;
}

HalfRowFn Avx2HalfRow(int kind) {
    return kind == kMemImgKind565 ? HalfRow8<kMemImgKind565> : HalfRow8<kMemImgKindXrgb>;
}

}  // namespace tessra::soft
