// Textured triangles and quads on memory images: affine mapping in 14.18 fixed point, clipped to
// the draw area, with the span loops of texel_loops.h.
#include <algorithm>

#include "engine/base/strings.h"
#include "engine/softrender/soft_common.h"
#include "engine/softrender/soft_render.h"
#include "engine/softrender/texel_loops.h"

namespace tessra {

namespace soft {
namespace {

constexpr int32_t kOne = 1 << 18;        // one pixel in 14.18
constexpr int32_t kHalfPixel = 1 << 17;  // half a pixel

// Whole pixels of a 14.18 value, truncated toward zero.
inline int64_t Whole(int64_t v) {
    return v / kOne;
}

// Every 14.18 value of a vertex must fit in 32 bits.
inline bool InFixedRange(int32_t v) {
    return v >= kMinTriangleCoordinate && v <= kMaxTriangleCoordinate;
}

// One side of the triangle: its current segment and at most one more.
struct Edge {
    int64_t x, step, rows;
    bool last;
    int64_t nextX, nextStep, nextRows, nextRow;
};

// A segment from (x0, y0) to (x1, y1), 14.18 positions.
inline void Segment(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t& x, int64_t& step,
                    int64_t& rows) {
    rows = Whole(y1 - y0);
    x = x0;
    step = rows != 0 ? (x1 - x0) / rows : 0;
}

}  // namespace
}  // namespace soft

int TriangleWriteRect(const int vertices[12], Rect* rect) {
    int64_t l = INT64_MAX, t = INT64_MAX, r = INT64_MIN, b = INT64_MIN;
    for (int i = 0; i < 3; ++i) {
        // The pixel a vertex lands on: its position plus half a pixel, truncated toward zero.
        const int64_t x = soft::Whole(int64_t(vertices[4 * i]) * soft::kOne + soft::kHalfPixel);
        const int64_t y = soft::Whole(int64_t(vertices[4 * i + 1]) * soft::kOne + soft::kHalfPixel);
        l = std::min(l, x);
        t = std::min(t, y);
        r = std::max(r, x + 1);
        b = std::max(b, y + 1);
    }
    auto clamp = [](int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    *rect = Rect{clamp(l), clamp(t), clamp(r), clamp(b)};
    return 0;
}

void MemImgDrawTriangle(MEMIMG* dest, const MEMIMG* src, const int vertices[12],
                        int32_t transparent, const MEMIMG* blendImage, int32_t /*reserved*/) {
    using namespace soft;
    if (!DrawableTarget(dest) || !Drawable(src) || src->kind != dest->kind) return;
    if (blendImage != nullptr && !UsableBlendImage(blendImage)) return;
    for (int i = 0; i < 12; ++i)
        if (!InFixedRange(vertices[i])) return;

    const Ctx ctx = MakeCtx();
    TexelSpanFn span =
        ChooseTexelSpan(dest->kind, src->paletted != 0, src->alpha != 0, transparent != 0,
                        blendImage != nullptr, BrightnessWhite(), DrawState.blendMode, ctx.p);
    if (span == nullptr) return;

    int64_t X[3], Y[3];
    int32_t U[3], V[3];
    for (int i = 0; i < 3; ++i) {
        X[i] = int64_t(vertices[4 * i]) * kOne + kHalfPixel;
        Y[i] = int64_t(vertices[4 * i + 1]) * kOne + kHalfPixel;
        U[i] = int32_t(uint32_t(vertices[4 * i + 2]) << 18);
        V[i] = int32_t(uint32_t(vertices[4 * i + 3]) << 18);
    }

    // Vertex numbers by x and by y. This exchange sort is not stable, and the reference vertex
    // and the edges depend on the order it leaves equal keys in.
    int a[3] = {0, 1, 2}, b[3] = {0, 1, 2};
    for (int i = 0; i < 2; ++i)
        for (int j = i + 1; j < 3; ++j) {
            if (X[a[i]] > X[a[j]]) std::swap(a[i], a[j]);
            if (Y[b[i]] > Y[b[j]]) std::swap(b[i], b[j]);
        }

    // Texture gradients per pixel to the right (x) and per row down (y). The coordinates are
    // below 2^14 in size, so the 32-bit products cannot wrap.
    const int32_t ax = vertices[4 * a[1]] - vertices[4 * a[0]];
    const int32_t ay = vertices[4 * a[1] + 1] - vertices[4 * a[0] + 1];
    const int32_t au = vertices[4 * a[1] + 2] - vertices[4 * a[0] + 2];
    const int32_t av = vertices[4 * a[1] + 3] - vertices[4 * a[0] + 3];
    const int32_t bx = vertices[4 * a[2]] - vertices[4 * a[0]];
    const int32_t by = vertices[4 * a[2] + 1] - vertices[4 * a[0] + 1];
    const int32_t bu = vertices[4 * a[2] + 2] - vertices[4 * a[0] + 2];
    const int32_t bv = vertices[4 * a[2] + 3] - vertices[4 * a[0] + 3];
    const int32_t D = ay * bx - by * ax;
    if (D == 0) return;
    const uint32_t ux = uint32_t(TruncDoubleToInt(262144.0 * double(ay * bu - by * au) / D));
    const uint32_t uy = uint32_t(TruncDoubleToInt(262144.0 * double(bx * au - ax * bu) / D));
    const uint32_t vx = uint32_t(TruncDoubleToInt(262144.0 * double(ay * bv - by * av) / D));
    const uint32_t vy = uint32_t(TruncDoubleToInt(262144.0 * double(bx * av - ax * bv) / D));
    const int64_t xr = Whole(X[a[0]]), yr = Whole(Y[a[0]]);
    const uint32_t ur = uint32_t(U[a[0]]), vr = uint32_t(V[a[0]]);

    // The edges.
    Edge L{}, R{};
    L.last = R.last = true;
    const int t0 = b[0], t1 = b[1], t2 = b[2];
    if (Y[t0] == Y[t1]) {
        if (Y[t1] == Y[t2]) return;
        int lt = t0, rt = t1;
        if (X[t0] > X[t1]) std::swap(lt, rt);
        Segment(X[lt], Y[lt], X[t2], Y[t2], L.x, L.step, L.rows);
        Segment(X[rt], Y[rt], X[t2], Y[t2], R.x, R.step, R.rows);
    } else if (Y[t1] == Y[t2]) {
        int le = t1, re = t2;
        if (X[t1] > X[t2]) std::swap(le, re);
        Segment(X[t0], Y[t0], X[le], Y[le], L.x, L.step, L.rows);
        Segment(X[t0], Y[t0], X[re], Y[re], R.x, R.step, R.rows);
    } else {
        const double s1 = double(X[t1] - X[t0]) / double(Whole(Y[t1] - Y[t0]));
        const double s2 = double(X[t2] - X[t0]) / double(Whole(Y[t2] - Y[t0]));
        if (s2 > s1) {  // the middle vertex is on the left
            Segment(X[t0], Y[t0], X[t1], Y[t1], L.x, L.step, L.rows);
            L.last = false;
            Segment(X[t1], Y[t1], X[t2], Y[t2], L.nextX, L.nextStep, L.nextRows);
            L.nextRow = Whole(Y[t1]);
            Segment(X[t0], Y[t0], X[t2], Y[t2], R.x, R.step, R.rows);
        } else {  // on the right; its lower segment starts one unit right of the vertex
            Segment(X[t0], Y[t0], X[t2], Y[t2], L.x, L.step, L.rows);
            Segment(X[t0], Y[t0], X[t1], Y[t1], R.x, R.step, R.rows);
            R.last = false;
            Segment(X[t1] + 1, Y[t1], X[t2], Y[t2], R.nextX, R.nextStep, R.nextRows);
        }
    }
    if (L.rows == 0 || R.rows == 0 || (!L.last && L.nextRows == 0) || (!R.last && R.nextRows == 0))
        return;
    int64_t row = Whole(Y[t0]);

    // Where the spans may write: the draw area, the destination and the triangle's own box.
    Rect own;
    TriangleWriteRect(vertices, &own);
    const Box clip = Intersect(DrawBounds(dest), Box{own.left, own.top, own.right, own.bottom});
    if (clip.Empty()) return;

    TexelJob job;
    uint32_t palette[256];
    MakeTexelJob(&job, src, blendImage, ctx, palette);

    const int32_t dbpp = LoopBytesPerPixel(dest);
    for (;;) {
        if (row >= clip.top && row < clip.bottom) {
            const int64_t x0 = std::max(Whole(L.x), clip.left);
            const int64_t x1 = std::min(Whole(R.x), clip.right - 1);
            if (x1 >= x0) {
                // 32-bit wrapping arithmetic, from the reference vertex on each row.
                const uint32_t u = ur + ux * uint32_t(x0 - xr) + uy * uint32_t(row - yr);
                const uint32_t v = vr + vx * uint32_t(x0 - xr) + vy * uint32_t(row - yr);
                span(dest->pixels + ptrdiff_t(row) * dest->pitch + ptrdiff_t(x0) * dbpp,
                     int32_t(x1 - x0 + 1), u, v, ux, vx, job);
            }
        }
        L.x += L.step;
        R.x += R.step;
        ++row;
        if (--L.rows == 0) {
            if (L.last) break;
            row = L.nextRow;  // again from the segment's start
            L = Edge{L.nextX, L.nextStep, L.nextRows, true, 0, 0, 0, 0};
        }
        if (--R.rows == 0) {
            if (R.last) break;
            R = Edge{R.nextX, R.nextStep, R.nextRows, true, 0, 0, 0, 0};
        }
    }
    // The destination's pixels changed, so any runs recorded for it no longer describe them.
    dest->runData = 0;
}

void MemImgDrawQuad(MEMIMG* dest, const MEMIMG* src, const int corners[8], int32_t transparent,
                    const MEMIMG* blendImage) {
    using namespace soft;
    if (dest == nullptr || src == nullptr) return;
    int c[8];
    std::copy(corners, corners + 8, c);
    int maxY = 0, minY = 0, maxX = 0, minX = 0;
    for (int i = 1; i < 4; ++i) {
        if (c[2 * i + 1] > c[2 * maxY + 1]) maxY = i;
        if (c[2 * i + 1] < c[2 * minY + 1]) minY = i;
        if (c[2 * i] > c[2 * maxX]) maxX = i;
        if (c[2 * i] < c[2 * minX]) minX = i;
    }
    // Nothing of the quad can show when its box, with a margin, misses the draw area.
    const Box box{int64_t(c[2 * minX]) - 2, int64_t(c[2 * minY + 1]) - 2, int64_t(c[2 * maxX]) + 4,
                  int64_t(c[2 * maxY + 1]) + 4};
    if (Intersect(box, DrawBounds(dest)).Empty()) return;

    const int W = src->width, H = src->height;
    const int first[12] = {c[0], c[1], 0, 0, c[2], c[3], W, 0, c[4], c[5], 0, H};
    const int second[12] = {c[2], c[3], W, 0, c[4], c[5], 0, H, c[6], c[7], W, H};
    MemImgDrawTriangle(dest, src, first, transparent, blendImage, 0);
    MemImgDrawTriangle(dest, src, second, transparent, blendImage, 0);
}

}  // namespace tessra
