// The reference model of the mapped draws: the per-texel rule tables, a plain triangle walker and
// a plain rotated blit, written from the rules with plain integer arithmetic (no lookup tables, no
// packed words).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/base/strings.h"
#include "engine/screen/soft_tables.h"
#include "soft_reference.h"

namespace softtest {

namespace {

const int kShift[2][3] = {{0, 5, 11}, {0, 8, 16}};
const int kBits[2][3] = {{5, 6, 5}, {8, 8, 8}};

int64_t Chan(int kind, uint32_t v, int c) {
    return (v >> kShift[kind][c]) & ((1u << kBits[kind][c]) - 1);
}

uint32_t Join(int kind, const int64_t ch[3]) {
    uint32_t v = 0;
    for (int c = 0; c < 3; ++c) v |= uint32_t(ch[c]) << kShift[kind][c];
    return v;
}

}  // namespace

void FillWith(Image& img, uint32_t v) {
    for (int y = 0; y < img.m.height; ++y)
        for (int x = 0; x < img.m.width; ++x) img.Set(x, y, v);
}

void NumberTexels(Image& img) {
    for (int y = 0; y < img.m.height; ++y)
        for (int x = 0; x < img.m.width; ++x) img.Set(x, y, (x << 11) | (y << 5) | 1);
}

uint32_t RefPackedAdd(int kind, uint32_t a, uint32_t d) {
    int64_t A[3], D[3], out[3];
    for (int c = 0; c < 3; ++c) A[c] = Chan(kind, a, c), D[c] = Chan(kind, d, c);
    if (kind == 1) {
        // Blue saturates exactly; green and red add their upper seven bits, saturate at 255,
        // and otherwise take the lowest bit from either operand or the carry from below.
        out[0] = std::min<int64_t>(A[0] + D[0], 255);
        bool carry = A[0] + D[0] > 255;
        for (int c = 1; c < 3; ++c) {
            const int64_t even = (A[c] & 0xFE) + (D[c] & 0xFE);
            const bool low = ((A[c] | D[c]) & 1) || carry;
            carry = even >= 256;
            out[c] = carry ? 255 : even | (low ? 1 : 0);
        }
        return Join(1, out) | (carry ? 0x01000000u : 0);  // the red overflow shows in the top byte
    }
    out[0] = std::min<int64_t>(A[0] + D[0], 31);
    const bool blueOver = A[0] + D[0] > 31;
    const int64_t g = (A[1] >> 1) + (D[1] >> 1);
    const bool greenOver = g > 31;
    out[1] = (std::min<int64_t>(g, 31) << 1) | (((A[1] | D[1]) & 1) || blueOver ? 1 : 0);
    const int64_t r = (A[2] >> 1) + (D[2] >> 1);
    if (r > 15)
        out[2] = 31;  // a red overflow fills all five bits
    else
        out[2] = (r << 1) | (((A[2] | D[2]) & 1) || greenOver ? 1 : 0);
    return Join(0, out);
}

uint32_t RefPackedSub(int kind, uint32_t a, uint32_t d) {
    int64_t A[3], D[3], out[3];
    for (int c = 0; c < 3; ++c) A[c] = Chan(kind, a, c), D[c] = Chan(kind, d, c);
    const bool blueBorrow = D[0] < A[0];
    out[0] = blueBorrow ? 0 : D[0] - A[0];
    if (kind == 1) {
        bool borrow = blueBorrow;
        for (int c = 1; c < 3; ++c) {
            const int64_t v = (D[c] | 1) - (A[c] & 0xFE) - (borrow ? 1 : 0);
            borrow = v < 0;
            out[c] = borrow ? 0 : v;
        }
        return Join(1, out);  // the top byte becomes 0
    }
    // Green's lowest bit comes out 0; red's is 1 unless green or red borrowed.
    const int64_t g = (D[1] >> 1) - (A[1] >> 1);
    out[1] = g < 0 ? 0 : g << 1;
    const int64_t r = (D[2] >> 1) - (A[2] >> 1);
    out[2] = r < 0 ? 0 : (r << 1) | (g < 0 ? 0 : 1);
    return Join(0, out);
}

uint32_t RefTexel(int kind, const SourcePixel& sp, const uint32_t* palette, int transparent,
                  int blendWeight, uint32_t d, const State& st) {
    int mode = st.mode;
    const int64_t p = st.p;
    if (mode < 0 || mode > 4) return d;
    if (p == 0 && mode >= 1 && mode <= 3) return d;  // a paletted subtract of nothing included
    if (mode == 1 && p == 255) mode = 0;
    const bool white = st.bright[0] == 255 && st.bright[1] == 255 && st.bright[2] == 255;

    uint32_t s;
    int64_t a = 0;
    if (sp.paletted) {
        s = palette[sp.raw & 0xFF];
    } else if (kind == 0) {
        s = sp.raw & 0xFFFF;
        a = (sp.raw >> 16) & 0xFF;
    } else {
        s = sp.raw;
        a = sp.raw >> 24;
    }

    bool useA = false;
    if (!sp.alpha || sp.paletted) {
        if (transparent != 0 && sp.raw == sp.key) return d;
    } else if (transparent != 0) {
        if (a == 0 && mode != 4) return d;
        useA = a != 255;
    } else {
        useA = true;
    }
    const bool useW = blendWeight >= 0;
    const int64_t w = blendWeight;

    int64_t S[3], Sb[3], Dc[3], out[3];
    for (int c = 0; c < 3; ++c) {
        S[c] = Chan(kind, s, c);
        Dc[c] = Chan(kind, d, c);
        Sb[c] = white ? S[c] : S[c] * st.bright[c] / 255;
    }
    const uint32_t top = kind == 1 ? (d & 0xFF000000u) : 0;

    switch (mode) {
        case 0:
            if (!useA && !useW && white) return kind == 1 ? s : (s & 0xFFFF);
            for (int c = 0; c < 3; ++c) {
                if (!useA && !useW)
                    out[c] = Sb[c];
                else if (useA && !useW)
                    out[c] = (Dc[c] * 256 + (Sb[c] - Dc[c]) * a) / 256;
                else if (!useA)
                    out[c] = (Dc[c] * 256 + (Sb[c] - Dc[c]) * w) / 256;
                else
                    out[c] = (Dc[c] * 65536 + (Sb[c] - Dc[c]) * w * a) / 65536;
            }
            return Join(kind, out) | top;
        case 1:
            for (int c = 0; c < 3; ++c) {
                if (!useA && !useW)
                    out[c] = kind == 0 ? Dc[c] + (Sb[c] - Dc[c]) * p / 255  // toward zero
                                       : (Dc[c] * 256 + (Sb[c] - Dc[c]) * p) / 256;
                else if (useA && !useW)
                    out[c] = (Dc[c] * 65536 + (Sb[c] - Dc[c]) * a * p) / 65536;
                else if (!useA)
                    out[c] = (Dc[c] * 65536 + (Sb[c] - Dc[c]) * w * p) / 65536;
                else
                    out[c] = (Dc[c] * 16777216 + (Sb[c] - Dc[c]) * w * a * p) / 16777216;
            }
            return Join(kind, out) | top;
        case 4:
            for (int c = 0; c < 3; ++c) {
                const int bits = kBits[kind][c];
                if (!useA && !useW)
                    out[c] = (Dc[c] * Sb[c]) >> bits;
                else if (useA && !useW)
                    out[c] = (Dc[c] * Sb[c] * a) >> (bits + 8);
                else if (!useA)
                    out[c] = (Dc[c] * Sb[c] * w) >> (bits + 8);
                else
                    out[c] = (Dc[c] * Sb[c] * w * a) >> (bits + 16);
            }
            return Join(kind, out) | top;
        default:
            break;
    }
    // Modes 2 and 3: the amount per channel, then the saturating add or subtract.
    int64_t A[3];
    for (int c = 0; c < 3; ++c) {
        if (kind == 0) {
            if (!useA && !useW) {
                A[c] = Sb[c] * p / 255;
            } else if (useA && !useW) {  // the alpha before the brightness
                int64_t t = S[c] * a / 256;
                if (!white) t = t * st.bright[c] / 255;
                A[c] = t * p / 255;
            } else if (!useA) {
                A[c] = (Sb[c] * w / 256) * p / 255;
            } else {
                A[c] = (Sb[c] * w * a / 65536) * p / 255;
            }
        } else {
            if (!useA && !useW)
                A[c] = Sb[c] * p / 255;
            else if (useA && !useW)
                A[c] = Sb[c] * a * p / 65536;
            else if (!useA)
                A[c] = Sb[c] * w * p / 65536;
            else
                A[c] = Sb[c] * w * a * p / 16777216;
        }
    }
    const uint32_t amount = Join(kind, A);
    return mode == 2 ? RefPackedAdd(kind, amount, d) : RefPackedSub(kind, amount, d);
}

namespace {

// Whole pixels of a 14.18 value, toward zero.
int64_t Px(int64_t v) {
    return v / 262144;
}

uint32_t PaletteEntry(const MEMIMG& m, int i) {
    if (m.palette == nullptr || uint32_t(i) >= std::min<uint32_t>(m.paletteCount, 256)) return 0;
    uint32_t v = 0;
    std::memcpy(&v, m.palette + i * (m.kind == 0 ? 2 : 4), m.kind == 0 ? 2 : 4);
    return v;
}

}  // namespace

void RefTriangle(Image& dest, const Image& src, const int vertices[12], int transparent,
                 const Image* blend, const State& st) {
    if (src.m.kind != dest.m.kind) return;
    for (int i = 0; i < 12; ++i)
        if (vertices[i] < -8192 || vertices[i] > 8191) return;
    int64_t X[3], Y[3], x[3], y[3], u[3], v[3];
    for (int i = 0; i < 3; ++i) {
        x[i] = vertices[4 * i];
        y[i] = vertices[4 * i + 1];
        u[i] = vertices[4 * i + 2];
        v[i] = vertices[4 * i + 3];
        X[i] = x[i] * 262144 + 131072;
        Y[i] = y[i] * 262144 + 131072;
    }
    int a[3] = {0, 1, 2}, b[3] = {0, 1, 2};
    for (int i = 0; i < 2; ++i)
        for (int j = i + 1; j < 3; ++j) {
            if (X[a[i]] > X[a[j]]) std::swap(a[i], a[j]);
            if (Y[b[i]] > Y[b[j]]) std::swap(b[i], b[j]);
        }
    const int64_t ax = x[a[1]] - x[a[0]], ay = y[a[1]] - y[a[0]], au = u[a[1]] - u[a[0]],
                  av = v[a[1]] - v[a[0]];
    const int64_t bx = x[a[2]] - x[a[0]], by = y[a[2]] - y[a[0]], bu = u[a[2]] - u[a[0]],
                  bv = v[a[2]] - v[a[0]];
    const int64_t D = ay * bx - by * ax;
    if (D == 0) return;
    auto grad = [&](int64_t num) -> uint32_t {
        const double g = 262144.0 * double(num) / double(D);
        if (!(g > -2147483649.0 && g < 2147483648.0)) return 0x80000000u;
        return uint32_t(int32_t(g));
    };
    const uint32_t Ux = grad(ay * bu - by * au), Uy = grad(bx * au - ax * bu);
    const uint32_t Vx = grad(ay * bv - by * av), Vy = grad(bx * av - ax * bv);
    const int64_t xr = Px(X[a[0]]), yr = Px(Y[a[0]]);
    const uint32_t ur = uint32_t(u[a[0]] * 262144), vr = uint32_t(v[a[0]] * 262144);

    // Each side as a list of segments: start x, step, rows, and the row to restart from.
    struct Seg {
        int64_t x, step, rows, restart;
    };
    auto seg = [&](int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
        int64_t rows = Px(y1 - y0);
        return Seg{x0, rows ? (x1 - x0) / rows : 0, rows, Px(y0)};
    };
    std::vector<Seg> left, right;
    const int t0 = b[0], t1 = b[1], t2 = b[2];
    if (Y[t0] == Y[t1]) {
        if (Y[t1] == Y[t2]) return;
        int lt = t0, rt = t1;
        if (X[t0] > X[t1]) std::swap(lt, rt);
        left = {seg(X[lt], Y[lt], X[t2], Y[t2])};
        right = {seg(X[rt], Y[rt], X[t2], Y[t2])};
    } else if (Y[t1] == Y[t2]) {
        int le = t1, re = t2;
        if (X[t1] > X[t2]) std::swap(le, re);
        left = {seg(X[t0], Y[t0], X[le], Y[le])};
        right = {seg(X[t0], Y[t0], X[re], Y[re])};
    } else {
        const double s1 = double(X[t1] - X[t0]) / double(Px(Y[t1] - Y[t0]));
        const double s2 = double(X[t2] - X[t0]) / double(Px(Y[t2] - Y[t0]));
        if (s2 > s1) {
            left = {seg(X[t0], Y[t0], X[t1], Y[t1]), seg(X[t1], Y[t1], X[t2], Y[t2])};
            right = {seg(X[t0], Y[t0], X[t2], Y[t2])};
        } else {
            left = {seg(X[t0], Y[t0], X[t2], Y[t2])};
            right = {seg(X[t0], Y[t0], X[t1], Y[t1]), seg(X[t1] + 1, Y[t1], X[t2], Y[t2])};
        }
    }
    for (const auto* side : {&left, &right})
        for (const Seg& s : *side)
            if (s.rows == 0) return;

    uint32_t pal[256];
    for (int i = 0; i < 256; ++i) pal[i] = PaletteEntry(src.m, i);
    uint64_t tw = uint64_t(src.m.width), th = uint64_t(src.m.height);
    if (blend) {
        tw = std::min<uint64_t>(tw, uint64_t(blend->m.width));
        th = std::min<uint64_t>(th, uint64_t(blend->m.height));
    }
    const tessra::Rect& area = st.area;

    size_t li = 0, ri = 0;
    int64_t xl = left[0].x, xrt = right[0].x, nl = left[0].rows, nr = right[0].rows;
    int64_t row = Px(Y[t0]);
    for (;;) {
        if (row >= std::max<int64_t>(area.top, 0) &&
            row < std::min<int64_t>(area.bottom, dest.m.height)) {
            const int64_t from = std::max<int64_t>({Px(xl), area.left, 0});
            const int64_t to =
                std::min<int64_t>({Px(xrt), int64_t(area.right) - 1, int64_t(dest.m.width) - 1});
            for (int64_t px = from; px <= to; ++px) {
                const uint32_t uu = ur + Ux * uint32_t(px - xr) + Uy * uint32_t(row - yr);
                const uint32_t vv = vr + Vx * uint32_t(px - xr) + Vy * uint32_t(row - yr);
                if (uu >= (tw << 18) || vv >= (th << 18)) continue;
                const int tx = int(uu >> 18), ty = int(vv >> 18);
                SourcePixel sp{src.Get(tx, ty), src.m.paletted != 0, src.m.alpha != 0,
                               src.m.transColor};
                const int wt =
                    blend ? tessra::BlendGraphRamp[blend->m.pixels[ty * blend->m.pitch + tx]] : -1;
                dest.Set(int(px), int(row),
                         RefTexel(int(dest.m.kind), sp, pal, transparent, wt,
                                  dest.Get(int(px), int(row)), st));
            }
        }
        xl += left[li].step;
        xrt += right[ri].step;
        ++row;
        if (--nl == 0) {
            if (++li == left.size()) break;
            xl = left[li].x;
            nl = left[li].rows;
            row = left[li].restart;
        }
        if (--nr == 0) {
            if (++ri == right.size()) break;
            xrt = right[ri].x;
            nr = right[ri].rows;
        }
    }
}

void RefQuad(Image& dest, const Image& src, const int corners[8], int transparent,
             const Image* blend, const State& st) {
    int64_t minX = corners[0], maxX = corners[0], minY = corners[1], maxY = corners[1];
    for (int i = 1; i < 4; ++i) {
        minX = std::min<int64_t>(minX, corners[2 * i]);
        maxX = std::max<int64_t>(maxX, corners[2 * i]);
        minY = std::min<int64_t>(minY, corners[2 * i + 1]);
        maxY = std::max<int64_t>(maxY, corners[2 * i + 1]);
    }
    const int64_t l = std::max<int64_t>({minX - 2, st.area.left, 0});
    const int64_t t = std::max<int64_t>({minY - 2, st.area.top, 0});
    const int64_t r = std::min<int64_t>({maxX + 4, st.area.right, dest.m.width});
    const int64_t b = std::min<int64_t>({maxY + 4, st.area.bottom, dest.m.height});
    if (r <= l || b <= t) return;
    const int W = src.m.width, H = src.m.height;
    const int* c = corners;
    const int first[12] = {c[0], c[1], 0, 0, c[2], c[3], W, 0, c[4], c[5], 0, H};
    const int second[12] = {c[2], c[3], W, 0, c[4], c[5], 0, H, c[6], c[7], W, H};
    RefTriangle(dest, src, first, transparent, blend, st);
    RefTriangle(dest, src, second, transparent, blend, st);
}

}  // namespace softtest

namespace softtest {

void RefRotate(Image& dest, const Image& src, int x, int y, float angle, float scale,
               int transparent, int mirror, const Image* blend, const State& st) {
    if (src.m.kind != dest.m.kind || !std::isfinite(angle) || !std::isfinite(scale) ||
        scale == 0.0f)
        return;
    const int64_t W = src.m.width, H = src.m.height;
    float s, c;
    tessra::GetSinCos(angle, &s, &c);
    const int64_t S = int64_t(s * 262144.0f), C = int64_t(c * 262144.0f);
    const float hw = float(W) * scale * 0.5f, hh = float(H) * scale * 0.5f;
    // Top-left, bottom-left, bottom-right, top-right.
    const float X[4] = {-hw, -hw, hw, hw}, Y[4] = {-hh, hh, hh, -hh};
    int64_t cx[4], cy[4];
    for (int i = 0; i < 4; ++i) {
        const float ox = float(C) * X[i] - float(S) * Y[i];
        const float oy = float(S) * X[i] + float(C) * Y[i];
        cx[i] = int64_t(x) * 262144 + int64_t(ox);
        cy[i] = int64_t(y) * 262144 + int64_t(oy);
    }
    if (mirror) {
        const int q[8] = {int(cx[3] / 262144), int(cy[3] / 262144), int(cx[0] / 262144),
                          int(cy[0] / 262144), int(cx[2] / 262144), int(cy[2] / 262144),
                          int(cx[1] / 262144), int(cy[1] / 262144)};
        RefQuad(dest, src, q, transparent, blend, st);
        return;
    }
    if (cy[0] == cy[1] && cy[1] == cy[2] && cy[2] == cy[3]) return;
    const int64_t left =
        std::max<int64_t>({*std::min_element(cx, cx + 4) / 262144 - 2, st.area.left, 0});
    const int64_t top =
        std::max<int64_t>({*std::min_element(cy, cy + 4) / 262144 - 2, st.area.top, 0});
    const int64_t right = std::min<int64_t>(
        {*std::max_element(cx, cx + 4) / 262144 + 4, st.area.right, dest.m.width});
    const int64_t bottom = std::min<int64_t>(
        {*std::max_element(cy, cy + 4) / 262144 + 4, st.area.bottom, dest.m.height});
    if (right <= left || bottom <= top) return;
    const float inv = 1.0f / scale;
    const int64_t ucol = int64_t(float(double(C) * (1.0 / double(scale))));
    const int64_t vcol = int64_t(float(-S) * inv);
    auto at = [&](int64_t ox, int64_t oy, int64_t& u, int64_t& v) {
        u = int64_t(float(double(ox * C + oy * S) * double(inv))) + (W / 2) * 262144;
        v = int64_t(float(double(oy * C - ox * S) * double(inv))) + (H / 2) * 262144;
    };
    int64_t uTop, vTop, uBottom, vBottom;
    at(left - x, top - y, uTop, vTop);
    at(left - x, bottom - y, uBottom, vBottom);
    const int64_t rows = bottom - top;
    const int64_t uRow = (uBottom - uTop) / rows, vRow = (vBottom - vTop) / rows;
    uint32_t pal[256];
    for (int i = 0; i < 256; ++i) pal[i] = PaletteEntry(src.m, i);
    int64_t tw = W, th = H;
    if (blend) {
        tw = std::min<int64_t>(tw, blend->m.width);
        th = std::min<int64_t>(th, blend->m.height);
    }
    for (int64_t r = 0; r < rows; ++r)
        for (int64_t col = 0; col < right - left; ++col) {
            const int64_t u = uTop + r * uRow + col * ucol, v = vTop + r * vRow + col * vcol;
            if (u < 0 || v < 0 || u >= tw * 262144 || v >= th * 262144) continue;
            const int tx = int(u >> 18), ty = int(v >> 18);
            SourcePixel sp{src.Get(tx, ty), src.m.paletted != 0, src.m.alpha != 0,
                           src.m.transColor};
            const int wt =
                blend ? tessra::BlendGraphRamp[blend->m.pixels[ty * blend->m.pitch + tx]] : -1;
            const int px = int(left + col), py = int(top + r);
            dest.Set(px, py,
                     RefTexel(int(dest.m.kind), sp, pal, transparent, wt, dest.Get(px, py), st));
        }
}

}  // namespace softtest
