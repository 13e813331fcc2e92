// The rotated and scaled blit: every pixel of the turned image's box is mapped back to a texel
// by inverse rotation and scaling in 14.18 fixed point and drawn by the span loops of
// texel_loops.h; a mirrored draw goes to the quad.
#include <algorithm>
#include <cmath>

#include "engine/base/strings.h"
#include "engine/softrender/soft_common.h"
#include "engine/softrender/soft_render.h"
#include "engine/softrender/texel_loops.h"

namespace tessra {

namespace soft {
namespace {

constexpr int64_t kOne = 1 << 18;

// A float truncated toward zero into 64 bits; false when it does not fit (or is not a number).
bool TruncWide(float v, int64_t* out) {
    if (!(std::fabs(v) < 4.0e18f)) return false;
    *out = int64_t(v);
    return true;
}

// Whole pixels of a 14.18 value, toward zero.
int64_t Whole(int64_t v) {
    return v / kOne;
}

// What the blit and its front end share: the turn, the corners and the box.
struct Turn {
    int32_t S, C;
    float scale, inv;
    // 14.18 corners, in the order top-left, bottom-left, bottom-right, top-right.
    int64_t cx[4], cy[4];
    Box box;  // the corners' whole-pixel box, 2 wider on the left and top, 4 on the right and
              // bottom
};

bool MakeTurn(int32_t x, int32_t y, float angle, float scale, uint32_t W, uint32_t H, Turn* t) {
    // A scale of 0 would divide by zero below, and draws nothing in any case.
    if (!std::isfinite(angle) || !std::isfinite(scale) || scale == 0.0f) return false;
    float s, c;
    GetSinCos(angle, &s, &c);
    t->S = TruncFloatToInt(s * 262144.0f);
    t->C = TruncFloatToInt(c * 262144.0f);
    t->scale = scale;
    const float hw = float(W) * scale * 0.5f;
    const float hh = float(H) * scale * 0.5f;
    const float chw = float(t->C) * hw, shw = float(t->S) * hw;
    const float chh = float(t->C) * hh, shh = float(t->S) * hh;
    const float sx[4] = {-1, -1, 1, 1}, sy[4] = {-1, 1, 1, -1};
    for (int i = 0; i < 4; ++i) {
        // C X - S Y and S X + C Y, each sum rounded to single precision.
        const float ox = sx[i] * chw - sy[i] * shh;
        const float oy = sx[i] * shw + sy[i] * chh;
        int64_t ix, iy;
        if (!TruncWide(ox, &ix) || !TruncWide(oy, &iy)) return false;
        if (std::abs(ix) >= (int64_t(1) << 40) || std::abs(iy) >= (int64_t(1) << 40)) return false;
        t->cx[i] = int64_t(x) * kOne + ix;
        t->cy[i] = int64_t(y) * kOne + iy;
    }
    t->inv = 1.0f / scale;
    const int64_t minX = *std::min_element(t->cx, t->cx + 4);
    const int64_t maxX = *std::max_element(t->cx, t->cx + 4);
    const int64_t minY = *std::min_element(t->cy, t->cy + 4);
    const int64_t maxY = *std::max_element(t->cy, t->cy + 4);
    t->box = Box{Whole(minX) - 2, Whole(minY) - 2, Whole(maxX) + 4, Whole(maxY) + 4};
    return true;
}

// The columns c of [0, n) at which a + c * d lies in [0, lim), as [lo, hi).
void InRange(int64_t a, int64_t d, int64_t lim, int64_t n, int64_t& lo, int64_t& hi) {
    if (d == 0) {
        lo = 0;
        hi = (a >= 0 && a < lim) ? n : 0;
    } else if (d > 0) {
        lo = a >= 0 ? 0 : (-a + d - 1) / d;
        hi = a >= lim ? 0 : (lim - a + d - 1) / d;
    } else {
        const int64_t e = -d;
        lo = a < lim ? 0 : (a - lim) / e + 1;
        hi = a < 0 ? 0 : a / e + 1;
    }
    lo = std::clamp<int64_t>(lo, 0, n);
    hi = std::clamp<int64_t>(hi, lo, n);
}

}  // namespace
}  // namespace soft

int RotateBlitRect(int32_t x, int32_t y, float angle, float scale, int32_t width, int32_t height,
                   Rect* rect) {
    soft::Turn t;
    if (width <= 0 || height <= 0 ||
        !soft::MakeTurn(x, y, angle, scale, uint32_t(width), uint32_t(height), &t))
        return -1;
    auto clamp = [](int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    *rect = Rect{clamp(t.box.left), clamp(t.box.top), clamp(t.box.right), clamp(t.box.bottom)};
    return 0;
}

void MemImgRotateBlit(MEMIMG* dest, const MEMIMG* src, int32_t x, int32_t y, float angle,
                      float scale, int32_t transparent, int32_t mirror, const MEMIMG* blendImage) {
    using namespace soft;
    if (!DrawableTarget(dest) || !Drawable(src) || src->kind != dest->kind) return;
    if (blendImage != nullptr && !UsableBlendImage(blendImage)) return;
    const uint32_t W = uint32_t(src->width), H = uint32_t(src->height);
    Turn t;
    if (!MakeTurn(x, y, angle, scale, W, H, &t)) return;

    if (mirror) {
        // The quad maps (0,0), (W,0), (0,H), (W,H) onto top-right, top-left, bottom-right and
        // bottom-left: the picture's left column shows on the right.
        auto px = [](int64_t v) {
            return int32_t(std::clamp<int64_t>(Whole(v), INT32_MIN, INT32_MAX));
        };
        const int corners[8] = {px(t.cx[3]), px(t.cy[3]), px(t.cx[0]), px(t.cy[0]),
                                px(t.cx[2]), px(t.cy[2]), px(t.cx[1]), px(t.cy[1])};
        MemImgDrawQuad(dest, src, corners, transparent, blendImage);
        return;
    }
    if (t.cy[0] == t.cy[1] && t.cy[1] == t.cy[2] && t.cy[2] == t.cy[3]) return;

    const Box box = Intersect(t.box, DrawBounds(dest));
    if (box.Empty()) return;

    const Ctx ctx = MakeCtx();
    TexelSpanFn span =
        ChooseTexelSpan(dest->kind, src->paletted != 0, src->alpha != 0, transparent != 0,
                        blendImage != nullptr, BrightnessWhite(), DrawState.blendMode, ctx.p);
    if (span == nullptr) return;

    // Column steps, and the texel coordinates of the box's top-left and bottom-left pixels.
    // The brackets are exact integers; each product is rounded to single precision.
    int64_t ucol, vcol;
    if (!TruncWide(float(double(t.C) * (1.0 / double(scale))), &ucol) ||
        !TruncWide(float(-t.S) * t.inv, &vcol))
        return;
    auto mapped = [&](int64_t ox, int64_t oy, int64_t* u, int64_t* v) {
        int64_t a, b;
        if (!TruncWide(float(double(ox * t.C + oy * t.S) * double(t.inv)), &a) ||
            !TruncWide(float(double(oy * t.C - ox * t.S) * double(t.inv)), &b))
            return false;
        *u = a + int64_t(W / 2) * kOne;
        *v = b + int64_t(H / 2) * kOne;
        return true;
    };
    int64_t uTop, vTop, uBottom, vBottom;
    if (!mapped(box.left - x, box.top - y, &uTop, &vTop) ||
        !mapped(box.left - x, box.bottom - y, &uBottom, &vBottom))
        return;
    const int64_t rows = box.bottom - box.top;
    const int64_t uRow = (uBottom - uTop) / rows, vRow = (vBottom - vTop) / rows;

    TexelJob job;
    uint32_t palette[256];
    MakeTexelJob(&job, src, blendImage, ctx, palette);
    const int64_t uLim = int64_t(job.uLimit), vLim = int64_t(job.vLimit);

    const int32_t dbpp = LoopBytesPerPixel(dest);
    const int64_t n = box.right - box.left;
    for (int64_t r = 0; r < rows; ++r) {
        const int64_t u0 = uTop + r * uRow, v0 = vTop + r * vRow;
        // Only the columns whose texel lies inside the source, worked out in 64 bits, go to
        // the loop: there the 32-bit coordinates are exact, so nothing far away wraps back in.
        int64_t lo, hi, lo2, hi2;
        InRange(u0, ucol, uLim, n, lo, hi);
        InRange(v0, vcol, vLim, n, lo2, hi2);
        lo = std::max(lo, lo2);
        hi = std::min(hi, hi2);
        if (hi <= lo) continue;
        uint8_t* row = dest->pixels + ptrdiff_t(box.top + r) * dest->pitch;
        span(row + ptrdiff_t(box.left + lo) * dbpp, int32_t(hi - lo), uint32_t(u0 + lo * ucol),
             uint32_t(v0 + lo * vcol), uint32_t(ucol), uint32_t(vcol), job);
    }
    dest->runData = 0;
}

}  // namespace tessra
