// Lines and filled rectangles on memory images, blended with one colour.
#include <cmath>
#include <cstddef>

#include "engine/softrender/soft_common.h"
#include "engine/softrender/soft_render.h"
#include "engine/softrender/soft_simd.h"

namespace tessra {
namespace soft {
namespace {

struct PrimJob {
    uint8_t* pixels;
    int32_t pitch;
    uint32_t color;
    // fill
    int32_t width, height;
    // line: start pixel, steps and counts
    int32_t nx, ny, stepX, stepY;
};

template <int K, int Mode, int V>
void FillLoop(const PrimJob& job, const Ctx& ctx) {
    // Local copies: the byte stores below could otherwise alias them, forcing reloads.
    const PrimJob j = job;
    const Ctx c = ctx;
    FillFn fill = nullptr;
    if constexpr (Mode == kBlendNone) fill = SelectFill(K);
    for (int32_t y = 0; y < j.height; ++y) {
        uint8_t* row = j.pixels + ptrdiff_t(y) * j.pitch;
        if constexpr (Mode == kBlendNone) {
            fill(row, j.width, j.color);
        } else {
            for (int32_t x = 0; x < j.width; ++x) {
                StoreDest<K>(
                    row, x,
                    Blend<K, Mode, V, true, false, false>(LoadDest<K>(row, x), j.color, 0, 0, c));
            }
        }
    }
}

template <int K, int Mode, int V>
void LineLoop(const PrimJob& job, const Ctx& ctx) {
    const PrimJob j = job;
    const Ctx c = ctx;
    constexpr ptrdiff_t bpp = K == kMemImgKind565 ? 2 : 4;
    uint8_t* p = j.pixels;
    const ptrdiff_t dx = j.stepX * bpp, dy = ptrdiff_t(j.stepY) * j.pitch;
    auto plot = [&] {
        StoreDest<K>(p, 0,
                     Blend<K, Mode, V, true, false, false>(LoadDest<K>(p, 0), j.color, 0, 0, c));
    };
    int64_t e = 0;
    if (j.ny <= j.nx) {
        for (int32_t i = 0; i < j.nx; ++i) {
            plot();
            p += dx;
            e += j.ny;
            if (e >= j.nx) {
                p += dy;
                e -= j.nx;
            }
        }
    } else {
        for (int32_t i = 0; i < j.ny; ++i) {
            plot();
            p += dy;
            e += j.nx;
            if (e >= j.ny) {
                p += dx;
                e -= j.ny;
            }
        }
    }
}

using PrimFn = void (*)(const PrimJob&, const Ctx&);

template <template <int, int, int> class L, int K>
PrimFn PickPrim(int mode, int var) {
    switch (mode) {
        case kBlendNone:
            return L<K, kBlendNone, kPlain>::fn;
        case kBlendAlpha:
            return var == kDiff ? L<K, kBlendAlpha, kDiff>::fn : L<K, kBlendAlpha, kPlain>::fn;
        case kBlendAdd:
            return L<K, kBlendAdd, kPlain>::fn;
        case kBlendSubtract:
            return L<K, kBlendSubtract, kPlain>::fn;
        case kBlendMultiply:
            return L<K, kBlendMultiply, kPlain>::fn;
        default:
            return nullptr;
    }
}
template <int K, int M, int V>
struct FillOf {
    static constexpr PrimFn fn = FillLoop<K, M, V>;
};
template <int K, int M, int V>
struct LineOf {
    static constexpr PrimFn fn = LineLoop<K, M, V>;
};

// Truncation toward zero that stays defined far outside the 32-bit range.
int64_t TruncToInt(double v) {
    if (std::isnan(v)) return 0;
    constexpr double kLimit = 1e15;
    if (v > kLimit) return int64_t(kLimit);
    if (v < -kLimit) return -int64_t(kLimit);
    return int64_t(v);
}

}  // namespace
}  // namespace soft

void MemImgFillRect(MEMIMG* dest, const Rect* rect, uint32_t color) {
    using namespace soft;
    if (!DrawableTarget(dest)) return;
    Box r{0, 0, dest->width, dest->height};
    if (rect != nullptr) {
        r = Box{std::min(rect->left, rect->right), std::min(rect->top, rect->bottom),
                std::max(rect->left, rect->right), std::max(rect->top, rect->bottom)};
    }
    r = Intersect(r, DrawBounds(dest));
    if (r.Empty()) return;
    Ctx ctx = MakeCtx();
    int mode = DrawState.blendMode, var = kPlain;
    if (!ChoosePrimitiveMode(int(dest->kind), mode, var, ctx.p)) return;
    PrimJob job{};
    job.pixels =
        dest->pixels + ptrdiff_t(r.top) * dest->pitch + ptrdiff_t(r.left) * LoopBytesPerPixel(dest);
    job.pitch = dest->pitch;
    job.width = int32_t(r.right - r.left);
    job.height = int32_t(r.bottom - r.top);
    job.color = dest->kind == kMemImgKind565 ? BrightColor<kMemImgKind565>(color & 0xFFFFu)
                                             : BrightColor<kMemImgKindXrgb>(color);
    PrimFn fn = dest->kind == kMemImgKind565 ? PickPrim<FillOf, 0>(mode, var)
                                             : PickPrim<FillOf, 1>(mode, var);
    if (fn == nullptr) return;
    fn(job, ctx);
    dest->runData = 0;
}

void MemImgDrawLine(MEMIMG* dest, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color) {
    using namespace soft;
    if (!DrawableTarget(dest)) return;
    const Box a = DrawBounds(dest);
    if (a.Empty()) return;
    const int64_t L = a.left, T = a.top, R = a.right, B = a.bottom;
    if (std::min(y1, y2) >= B || std::min(x1, x2) >= R || std::max(y1, y2) < T ||
        std::max(x1, x2) < L)
        return;
    Ctx ctx = MakeCtx();
    int mode = DrawState.blendMode, var = kPlain;
    if (!ChoosePrimitiveMode(int(dest->kind), mode, var, ctx.p)) return;

    // Clip the two ends against the area; the end point stays exclusive, one past the area.
    const double kx = y1 == y2 ? 0.0 : (double(x2) - double(x1)) / (double(y2) - double(y1));
    const double ky = x1 == x2 ? 0.0 : (double(y2) - double(y1)) / (double(x2) - double(x1));
    const double ox = double(x1) - kx * double(y1);
    const double oy = double(y1) - ky * double(x1);
    int64_t X1 = x1, Y1 = y1, X2 = x2, Y2 = y2;
    if (X1 < L)
        Y1 = TruncToInt(double(L) * ky + oy), X1 = L;
    else if (X1 >= R)
        Y1 = TruncToInt(double(R - 1) * ky + oy), X1 = R - 1;
    if (X2 < L)
        Y2 = TruncToInt(double(L - 1) * ky + oy), X2 = L - 1;
    else if (X2 >= R)
        Y2 = TruncToInt(double(R) * ky + oy), X2 = R;
    if (Y1 < T)
        X1 = TruncToInt(double(T) * kx + ox), Y1 = T;
    else if (Y1 >= B)
        X1 = TruncToInt(double(B - 1) * kx + ox), Y1 = B - 1;
    if (Y2 < T)
        X2 = TruncToInt(double(T - 1) * kx + ox), Y2 = T - 1;
    else if (Y2 >= B)
        X2 = TruncToInt(double(B) * kx + ox), Y2 = B;
    X1 = std::clamp(X1, L, R - 1);
    Y1 = std::clamp(Y1, T, B - 1);
    X2 = std::clamp(X2, L - 1, R);
    Y2 = std::clamp(Y2, T - 1, B);

    int64_t nx = X2 - X1, ny = Y2 - Y1;
    if (nx == 0 && ny == 0) return;
    PrimJob job{};
    job.stepX = nx < 0 ? -1 : 1;
    job.stepY = ny < 0 ? -1 : 1;
    job.nx = int32_t(nx < 0 ? -nx : nx);
    job.ny = int32_t(ny < 0 ? -ny : ny);
    job.pixels =
        dest->pixels + ptrdiff_t(Y1) * dest->pitch + ptrdiff_t(X1) * LoopBytesPerPixel(dest);
    job.pitch = dest->pitch;
    job.color = dest->kind == kMemImgKind565 ? BrightColor<kMemImgKind565>(color & 0xFFFFu)
                                             : BrightColor<kMemImgKindXrgb>(color);
    PrimFn fn = dest->kind == kMemImgKind565 ? PickPrim<LineOf, 0>(mode, var)
                                             : PickPrim<LineOf, 1>(mode, var);
    if (fn == nullptr) return;
    fn(job, ctx);
    dest->runData = 0;
}

void MemImgDrawLineList(MEMIMG* dest, const LineRecord* lines, int32_t count) {
    if (lines == nullptr) return;
    for (int32_t i = 0; i < count; ++i) {
        MemImgDrawLine(dest, lines[i].x1, lines[i].y1, lines[i].x2, lines[i].y2,
                       uint32_t(lines[i].color));
    }
}

}  // namespace tessra
