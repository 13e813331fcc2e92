// The choice between the SSE2 and AVX2 row functions, made once.
#include "engine/softrender/soft_simd.h"

namespace tessra::soft {
namespace {

template <int Op, bool Key>
void Sse2Row(uint8_t* dst, const uint8_t* src, int32_t n, uint32_t key, uint32_t p) {
    if constexpr (Op == kRowAlphaSrc)
        RowAlphaSrc<Key>(dst, src, n);
    else
        Row32<Op, Key>(dst, src, n, key, p);
}

__attribute__((flatten)) void Sse2AlphaRuns(const AlphaRunsJob& job) {
    AlphaRunsLoop<AlphaRun4>(job);
}

template <int K>
void Sse2Fill(uint8_t* dst, int32_t n, uint32_t color) {
    FillRow<K>(dst, n, color);
}

struct Table {
    RowFn rows[kRowOps][2];
    FillFn fills[2];
    AlphaRunsFn alphaRuns;
    HalfRowFn halfRows[2];
    explicit Table(bool allowAvx2) {
        const RowFn sse2[kRowOps][2] = {
            {Sse2Row<kRowCopy, false>, Sse2Row<kRowCopy, true>},
            {Sse2Row<kRowHalf, false>, Sse2Row<kRowHalf, true>},
            {Sse2Row<kRowAddSat, false>, Sse2Row<kRowAddSat, true>},
            {Sse2Row<kRowSubSat, false>, Sse2Row<kRowSubSat, true>},
            {Sse2Row<kRowMul, false>, Sse2Row<kRowMul, true>},
            {Sse2Row<kRowAlpha, false>, Sse2Row<kRowAlpha, true>},
            {Sse2Row<kRowAlphaSrc, false>, Sse2Row<kRowAlphaSrc, true>},
        };
        const bool avx2 = allowAvx2 && __builtin_cpu_supports("avx2");
        for (int op = 0; op < kRowOps; ++op)
            for (int k = 0; k < 2; ++k) {
                RowFn f = avx2 ? Avx2Row(op, k != 0) : nullptr;
                rows[op][k] = f ? f : sse2[op][k];
            }
        fills[0] =
            avx2 && Avx2Fill(kMemImgKind565) ? Avx2Fill(kMemImgKind565) : Sse2Fill<kMemImgKind565>;
        fills[1] = avx2 && Avx2Fill(kMemImgKindXrgb) ? Avx2Fill(kMemImgKindXrgb)
                                                     : Sse2Fill<kMemImgKindXrgb>;
        alphaRuns = avx2 && Avx2AlphaRuns() ? Avx2AlphaRuns() : Sse2AlphaRuns;
        halfRows[0] = avx2 && Avx2HalfRow(kMemImgKind565) ? Avx2HalfRow(kMemImgKind565)
                                                          : HalfRow<kMemImgKind565>;
        halfRows[1] = avx2 && Avx2HalfRow(kMemImgKindXrgb) ? Avx2HalfRow(kMemImgKindXrgb)
                                                           : HalfRow<kMemImgKindXrgb>;
    }
};

Table& Rows() {
    static Table table(true);
    return table;
}

}  // namespace

void SelectVectorRows(bool allowAvx2) {
    Rows() = Table(allowAvx2);
}

RowFn SelectRow(int op, bool key) {
    return Rows().rows[op][key ? 1 : 0];
}
FillFn SelectFill(int kind) {
    return Rows().fills[kind == kMemImgKind565 ? 0 : 1];
}
AlphaRunsFn SelectAlphaRuns() {
    return Rows().alphaRuns;
}
HalfRowFn SelectHalfRow(int kind) {
    return Rows().halfRows[kind == kMemImgKind565 ? 0 : 1];
}

}  // namespace tessra::soft
