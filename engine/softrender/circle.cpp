// Ellipses on memory images: outlines point by point and fills span by span along the shared
// ellipse walk, in one colour under the blend mode and brightness, clipped to the draw area.
#include <cstddef>
#include <cstdlib>

#include "engine/base/memory.h"
#include "engine/softrender/ellipse_walk.h"
#include "engine/softrender/soft_common.h"
#include "engine/softrender/soft_render.h"
#include "engine/softrender/soft_simd.h"
#include "engine/softrender/texel_loops.h"

namespace tessra {

void StartEllipseWalk(EllipseWalk* walk, int32_t r, int32_t s) {
    walk->x = r;
    walk->y = 0;
    walk->acc = 0;
    walk->d1 = 3 - 2 * int64_t(r);
    walk->d2 = 3 - 4 * int64_t(r);
    walk->k = int64_t(r) * r / s;
    walk->feed = s;
}

int StepEllipseWalk(EllipseWalk* walk) {
    EllipseWalk& w = *walk;
    int moved = 0;
    auto feed = [&] {
        w.acc += w.feed;
        if (w.acc >= w.k) {
            ++w.y;
            w.acc -= w.k;
            moved |= kEllipseMovedY;
        }
    };
    if (w.d1 < 0) {
        feed();
        w.d1 += 4 * w.y + 2;
        w.d2 += 4 * w.y;
    } else if (w.d2 >= 0) {
        --w.x;
        moved |= kEllipseMovedX;
        w.d1 -= 4 * w.x;
        w.d2 += 2 - 4 * w.x;
    } else {
        --w.x;
        moved |= kEllipseMovedX;
        feed();
        w.d1 += 4 * (w.y - w.x) + 2;
        w.d2 += 4 * (w.y - w.x) + 2;
    }
    return moved;
}

namespace soft {
namespace {

struct CircleJob {
    uint8_t* pixels;
    int32_t pitch;
    int64_t cx, cy;
    int32_t rx, ry;
    uint32_t color;
    Box clip;       // inclusive of left and top, exclusive of right and bottom
    uint8_t* rows;  // one flag per row from 0 to clip.bottom - 1 (fills only)
};

template <int K, int Mode, bool Fill>
void CircleLoop(const CircleJob& job, const Ctx& ctx) {
    const CircleJob j = job;
    const Ctx c = ctx;
    constexpr ptrdiff_t bpp = K == kMemImgKind565 ? 2 : 4;
    auto blend = [&](uint8_t* p) {
        StoreDest<K>(
            p, 0,
            TexelRule<K, Mode, kPlain, true, false, false>(LoadDest<K>(p, 0), j.color, 0, 0, c));
    };
    if constexpr (Fill) {
        FillFn fill = nullptr;
        if constexpr (Mode == kBlendNone) fill = SelectFill(K);
        WalkEllipseFill(j.rx, j.ry, [&](int32_t dy, int32_t x0, int32_t x1) {
            const int64_t row = j.cy + dy;
            int64_t a = j.cx + x0, b = j.cx + x1;
            if (b < j.clip.left || a >= j.clip.right || row < j.clip.top || row >= j.clip.bottom ||
                j.rows[row])
                return;
            j.rows[row] = 1;
            a = std::max(a, j.clip.left);
            b = std::min(b, j.clip.right - 1);
            uint8_t* p = j.pixels + ptrdiff_t(row) * j.pitch + ptrdiff_t(a) * bpp;
            if constexpr (Mode == kBlendNone) {
                fill(p, int32_t(b - a + 1), j.color);
            } else {
                for (int64_t x = a; x <= b; ++x, p += bpp) blend(p);
            }
        });
    } else {
        WalkEllipseOutline(j.rx, j.ry, [&](int32_t dx, int32_t dy) {
            const int64_t x = j.cx + dx, y = j.cy + dy;
            if (x < j.clip.left || x >= j.clip.right || y < j.clip.top || y >= j.clip.bottom)
                return;
            blend(j.pixels + ptrdiff_t(y) * j.pitch + ptrdiff_t(x) * bpp);
        });
    }
}

using CircleFn = void (*)(const CircleJob&, const Ctx&);

template <int K, bool Fill>
CircleFn PickCircleMode(int mode) {
    switch (mode) {
        case kBlendNone:
            return CircleLoop<K, kBlendNone, Fill>;
        case kBlendAlpha:
            return CircleLoop<K, kBlendAlpha, Fill>;
        case kBlendAdd:
            return CircleLoop<K, kBlendAdd, Fill>;
        case kBlendSubtract:
            return CircleLoop<K, kBlendSubtract, Fill>;
        case kBlendMultiply:
            return CircleLoop<K, kBlendMultiply, Fill>;
        default:
            return nullptr;
    }
}

}  // namespace
}  // namespace soft

void MemImgDrawCircle(MEMIMG* dest, int32_t cx, int32_t cy, int32_t rx, int32_t ry, uint32_t color,
                      int32_t fill) {
    using namespace soft;
    if (rx == 0 || ry == 0 || !DrawableTarget(dest)) return;
    const int64_t arx = std::abs(int64_t(rx)), ary = std::abs(int64_t(ry));
    if (arx > kMaxEllipseRadius || ary > kMaxEllipseRadius) return;
    const Box clip = DrawBounds(dest);
    if (clip.Empty()) return;

    const Ctx ctx = MakeCtx();
    int mode = DrawState.blendMode, var = kPlain;
    if (!ChoosePrimitiveMode(int(dest->kind), mode, var, ctx.p)) return;
    const bool k565 = dest->kind == kMemImgKind565;
    CircleFn fn = k565 ? (fill ? PickCircleMode<kMemImgKind565, true>(mode)
                               : PickCircleMode<kMemImgKind565, false>(mode))
                       : (fill ? PickCircleMode<kMemImgKindXrgb, true>(mode)
                               : PickCircleMode<kMemImgKindXrgb, false>(mode));
    if (fn == nullptr) return;

    CircleJob job;
    job.pixels = dest->pixels;
    job.pitch = dest->pitch;
    job.cx = cx;
    job.cy = cy;
    job.rx = int32_t(arx);
    job.ry = int32_t(ary);
    job.color =
        k565 ? BrightColor<kMemImgKind565>(color & 0xFFFFu) : BrightColor<kMemImgKindXrgb>(color);
    job.clip = clip;
    job.rows = nullptr;
    if (fill) {
        // One flag per row, so that no row of the fill is drawn, or blended, twice.
        job.rows = static_cast<uint8_t*>(AllocTaggedZeroed(size_t(clip.bottom), "", 0));
        if (job.rows == nullptr) return;
    }
    fn(job, ctx);
    FreeTagged(job.rows);
    dest->runData = 0;
}

}  // namespace tessra
