// Front ends on the current 2-D target: straight into the screen's (or the mask's) MEMIMG when
// the screens are memory images, otherwise into the draw target locked for the one call.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/base/strings.h"
#include "engine/graphics/draw_state.h"
#include "engine/softrender/soft_render.h"

namespace tessra {

SoftScreenServices SoftScreen = {};

namespace {

bool Started() {
    return SoftScreen.GraphicsStarted != nullptr && SoftScreen.GraphicsStarted() != 0;
}

bool MemImgScreens() {
    return SoftScreen.MemImgScreens != nullptr && SoftScreen.MemImgScreens() != 0;
}

// The mask's image while mask drawing is active, else the draw target's.
MEMIMG* ScreenTarget() {
    if (DrawState.maskActive)
        return SoftScreen.GetMaskMemImg ? SoftScreen.GetMaskMemImg() : nullptr;
    return SoftScreen.DrawTargetMemImg ? SoftScreen.DrawTargetMemImg() : nullptr;
}

bool CanLock() {
    return SoftScreen.PrepareBlit2D != nullptr && SoftScreen.FinishBlit2D != nullptr;
}

void EndPending3D() {
    if (SoftScreen.EndPending3D != nullptr) SoftScreen.EndPending3D();
}

// The surface's pixels as a MEMIMG: its image, or a view of the part of it that the surface
// is, which must lie inside; null when it does not.
const MEMIMG* SurfaceImage(const SoftSurfaceSource& source, MEMIMG* view) {
    const MEMIMG* src = source.image;
    if (source.width == src->width && source.height == src->height) return src;
    if (source.x < 0 || source.y < 0 || int64_t(source.x) + source.width > src->width ||
        int64_t(source.y) + source.height > src->height)
        return nullptr;
    InitMemImgView(view, src, source.x, source.y, source.width, source.height);
    return view;
}

// The graph's first surface; false when it is missing or empty.
bool FirstSurface(const GraphRecord* graph, SoftSurfaceSource* source) {
    *source = SoftSurfaceSource{};
    return graph != nullptr && SoftScreen.GetStretchSource != nullptr &&
           SoftScreen.GetStretchSource(graph, -1, source) >= 0 && source->image != nullptr &&
           source->width > 0 && source->height > 0;
}

const MEMIMG* BlendImage() {
    return SoftScreen.GetGraphMemImg ? SoftScreen.GetGraphMemImg() : nullptr;
}

// Runs a draw into a locked target with the draw area narrowed to the prepared rectangle, so
// that nothing lands outside what was locked.
template <class Draw>
void WithinPrepared(const Rect& prepared, Draw&& draw) {
    const Rect saved = DrawState.DrawArea;
    Rect& a = DrawState.DrawArea;
    a.left = std::max(a.left, prepared.left);
    a.top = std::max(a.top, prepared.top);
    a.right = std::max(a.left, std::min(a.right, prepared.right));
    a.bottom = std::max(a.top, std::min(a.bottom, prepared.bottom));
    draw();
    DrawState.DrawArea = saved;
}

int32_t FloatBitsToInt(int32_t bits) {
    float v;
    std::memcpy(&v, &bits, sizeof v);
    if (std::isnan(v)) return 0;
    return int32_t(std::clamp<double>(std::trunc(double(v)), INT32_MIN, INT32_MAX));
}

}  // namespace

int DrawLineSegmentSoft(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color) {
    if (!Started()) return -1;
    if (MemImgScreens()) {
        MemImgDrawLine(ScreenTarget(), x1, y1, x2, y2, color);
        return 0;
    }
    if (!CanLock()) return -1;
    EndPending3D();
    if (x1 == x2 && y1 == y2) return 0;
    // One past the largest coordinate, computed wide so that INT32_MAX cannot wrap.
    Rect area{std::min(x1, x2), std::min(y1, y2),
              int32_t(std::min<int64_t>(INT32_MAX, int64_t(std::max(x1, x2)) + 1)),
              int32_t(std::min<int64_t>(INT32_MAX, int64_t(std::max(y1, y2)) + 1))};
    MEMIMG* dest = nullptr;
    MEMIMG* src = nullptr;
    if (SoftScreen.PrepareBlit2D(nullptr, nullptr, &area, 1, &color, &dest, &src) < 0) return -1;
    MemImgDrawLine(dest, x1, y1, x2, y2, color);
    SoftScreen.FinishBlit2D();
    return 0;
}

int FillRectangleSoft(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color) {
    if (!Started()) return -1;
    Rect r{x1, y1, x2, y2};
    if (MemImgScreens()) {
        MemImgFillRect(ScreenTarget(), &r, color);
        return 0;
    }
    if (!CanLock()) return -1;
    EndPending3D();
    MEMIMG* dest = nullptr;
    MEMIMG* src = nullptr;
    if (SoftScreen.PrepareBlit2D(nullptr, nullptr, &r, 1, &color, &dest, &src) < 0) return -1;
    MemImgFillRect(dest, &r, color);
    SoftScreen.FinishBlit2D();
    return 0;
}

int FrameRectangleSoft(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color) {
    if (SoftScreen.DrawLineList2D == nullptr) return -1;
    // Each edge starts at a corner and stops short of the next, so every corner is drawn once.
    const int32_t c = int32_t(color), p = DrawState.blendParam;
    const LineRecord lines[4] = {
        {x1, y1, x2 - 1, y1, c, p},
        {x2 - 1, y1, x2 - 1, y2 - 1, c, p},
        {x2 - 1, y2 - 1, x1, y2 - 1, c, p},
        {x1, y2 - 1, x1, y1, c, p},
    };
    return SoftScreen.DrawLineList2D(lines, 4);
}

int DrawImageStretchedSoft(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const GraphRecord* graph,
                           int32_t transparent, int32_t form, int32_t surface) {
    if (!Started() || SoftScreen.GetStretchSource == nullptr) return -1;
    if (form != 1) {
        x1 = FloatBitsToInt(x1);
        y1 = FloatBitsToInt(y1);
        x2 = FloatBitsToInt(x2);
        y2 = FloatBitsToInt(y2);
    }
    const bool mirrorX = x1 > x2, mirrorY = y1 > y2;
    const int64_t left = std::min(x1, x2), right = std::max(x1, x2);
    const int64_t top = std::min(y1, y2), bottom = std::max(y1, y2);
    const int64_t w = right - left, h = bottom - top;

    SoftSurfaceSource source{};
    if (SoftScreen.GetStretchSource(graph, surface, &source) < 0 || source.image == nullptr ||
        source.width <= 0 || source.height <= 0)
        return -1;
    const MEMIMG* blend = BlendImage();
    const Rect rect{x1, y1, x2, y2};

    if (MemImgScreens()) {
        MEMIMG view{};
        const MEMIMG* src = SurfaceImage(source, &view);
        if (src == nullptr) return -1;
        MemImgStretchBlit(ScreenTarget(), src, &rect, transparent, blend);
        return 0;
    }

    if (!CanLock()) return -1;
    EndPending3D();
    if (w == 0 || h == 0) return -1;
    if (w == source.width && h == source.height && !mirrorX && !mirrorY) {
        return SoftScreen.BltGraph2D ? SoftScreen.BltGraph2D(x1, y1, source.handle, transparent)
                                     : -1;
    }
    if (w >= 32768 || h >= 32768) return -1;
    const int64_t stepX = std::max<int64_t>(1, w * 65536 / source.width);
    const int64_t stepY = std::max<int64_t>(1, h * 65536 / source.height);
    const Rect& a = DrawState.DrawArea;
    const int64_t cl = std::clamp<int64_t>(left, a.left, std::max(a.left, a.right));
    const int64_t cr = std::clamp<int64_t>(right, a.left, std::max(a.left, a.right));
    const int64_t ct = std::clamp<int64_t>(top, a.top, std::max(a.top, a.bottom));
    const int64_t cb = std::clamp<int64_t>(bottom, a.top, std::max(a.top, a.bottom));
    if (cr <= cl || cb <= ct) return -1;
    // The source rectangle that the clipped part shows, kept inside the source.
    int64_t sx0 = cl > left ? (cl - left) * 65536 / stepX : 0;
    int64_t sy0 = ct > top ? (ct - top) * 65536 / stepY : 0;
    int64_t sw = ((cr - cl) * 65536 + stepX - 1) / stepX;
    int64_t sh = ((cb - ct) * 65536 + stepY - 1) / stepY;
    sx0 = std::min<int64_t>(sx0, source.width);
    sy0 = std::min<int64_t>(sy0, source.height);
    sw = std::min<int64_t>(sw, source.width - sx0);
    sh = std::min<int64_t>(sh, source.height - sy0);
    Rect srcRect{int32_t(sx0), int32_t(sy0), int32_t(sx0 + sw), int32_t(sy0 + sh)};
    if (mirrorX)
        srcRect.left = int32_t(source.width - (sx0 + sw)),
        srcRect.right = int32_t(source.width - sx0);
    if (mirrorY)
        srcRect.top = int32_t(source.height - (sy0 + sh)),
        srcRect.bottom = int32_t(source.height - sy0);
    Rect destRect{int32_t(cl), int32_t(ct), int32_t(cr), int32_t(cb)};
    MEMIMG* dest = nullptr;
    MEMIMG* src = nullptr;
    if (SoftScreen.PrepareBlit2D(source.surface, &srcRect, &destRect, 0, nullptr, &dest, &src) < 0)
        return -1;
    MemImgStretchBlit(dest, src, &rect, transparent, blend);
    SoftScreen.FinishBlit2D();
    return 0;
}

int DrawImageRotatedSoft(float x, float y, double scale, double angle, const GraphRecord* graph,
                         int32_t transparent, int32_t mirror) {
    const int32_t ix = TruncFloatToInt(x), iy = TruncFloatToInt(y);
    if (!Started()) return -1;
    SoftSurfaceSource source;
    if (!FirstSurface(graph, &source)) return -1;
    const MEMIMG* blend = BlendImage();
    const float fa = float(angle), fs = float(scale);
    if (MemImgScreens()) {
        MEMIMG view{};
        const MEMIMG* src = SurfaceImage(source, &view);
        if (src == nullptr) return -1;
        MemImgRotateBlit(ScreenTarget(), src, ix, iy, fa, fs, transparent, mirror, blend);
        return 0;
    }
    if (!CanLock()) return -1;
    EndPending3D();
    // The blitter's own rectangle, margins included, is what gets locked.
    Rect box;
    if (RotateBlitRect(ix, iy, fa, fs, source.width, source.height, &box) < 0) return 0;
    const Rect srcRect{0, 0, source.width, source.height};
    MEMIMG* dest = nullptr;
    MEMIMG* src = nullptr;
    if (SoftScreen.PrepareBlit2D(source.surface, &srcRect, &box, 0, nullptr, &dest, &src) < 0)
        return -1;
    WithinPrepared(
        box, [&] { MemImgRotateBlit(dest, src, ix, iy, fa, fs, transparent, mirror, blend); });
    SoftScreen.FinishBlit2D();
    return 0;
}

int DrawTexturedTriangleSoft(const int vertices[12], const GraphRecord* graph, int32_t transparent,
                             int32_t reserved) {
    if (!Started()) return -1;
    SoftSurfaceSource source;
    if (!FirstSurface(graph, &source)) return -1;
    const MEMIMG* blend = BlendImage();
    if (MemImgScreens()) {
        MEMIMG view{};
        const MEMIMG* src = SurfaceImage(source, &view);
        if (src == nullptr) return -1;
        MemImgDrawTriangle(ScreenTarget(), src, vertices, transparent, blend, reserved);
        return 0;
    }
    if (!CanLock()) return -1;
    EndPending3D();
    // The destination: every pixel the triangle can write. The texture: its points' box.
    Rect destRect, texRect{1000000, 1000000, -1000000, -1000000};
    TriangleWriteRect(vertices, &destRect);
    for (int i = 0; i < 3; ++i) {
        texRect.left = std::min(texRect.left, vertices[4 * i + 2]);
        texRect.right = std::max(texRect.right, vertices[4 * i + 2]);
        texRect.top = std::min(texRect.top, vertices[4 * i + 3]);
        texRect.bottom = std::max(texRect.bottom, vertices[4 * i + 3]);
    }
    MEMIMG* dest = nullptr;
    MEMIMG* src = nullptr;
    if (SoftScreen.PrepareBlit2D(source.surface, &texRect, &destRect, 0, nullptr, &dest, &src) < 0)
        return -1;
    WithinPrepared(destRect,
                   [&] { MemImgDrawTriangle(dest, src, vertices, transparent, blend, reserved); });
    SoftScreen.FinishBlit2D();
    return 0;
}

int DrawImageQuadSoft(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                      int32_t x3, int32_t y3, const GraphRecord* graph, int32_t transparent) {
    int32_t w = 0, h = 0;
    if (graph == nullptr || SoftScreen.GetGraphSize == nullptr ||
        SoftScreen.GetGraphSize(graph, &w, &h) < 0)
        return 0;
    const int first[12] = {x0, y0, 0, 0, x1, y1, w, 0, x2, y2, 0, h};
    const int second[12] = {x1, y1, w, 0, x2, y2, 0, h, x3, y3, w, h};
    DrawTexturedTriangleSoft(first, graph, transparent, 0);
    DrawTexturedTriangleSoft(second, graph, transparent, 0);
    return 0;
}

int DrawImageQuadSoftF(float x0, float y0, float x1, float y1, float x2, float y2, float x3,
                       float y3, const GraphRecord* graph, int32_t transparent) {
    return DrawImageQuadSoft(TruncFloatToInt(x0), TruncFloatToInt(y0), TruncFloatToInt(x1),
                             TruncFloatToInt(y1), TruncFloatToInt(x2), TruncFloatToInt(y2),
                             TruncFloatToInt(x3), TruncFloatToInt(y3), graph, transparent);
}

int DrawCircleSoft(int32_t cx, int32_t cy, int32_t rx, int32_t ry, uint32_t color, int32_t fill) {
    if (!Started()) return -1;
    if (MemImgScreens()) {
        MemImgDrawCircle(ScreenTarget(), cx, cy, rx, ry, color, fill);
        return 0;
    }
    if (!CanLock()) return -1;
    EndPending3D();
    if (rx == 0 || ry == 0) return 0;
    // The figure's box widened by one pixel; negative radii draw as their absolute values.
    const int64_t ax = std::abs(int64_t(rx)) + 1, ay = std::abs(int64_t(ry)) + 1;
    auto clamp = [](int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    const Rect box{clamp(cx - ax), clamp(cy - ay), clamp(cx + ax), clamp(cy + ay)};
    MEMIMG* dest = nullptr;
    MEMIMG* src = nullptr;
    if (SoftScreen.PrepareBlit2D(nullptr, nullptr, &box, 1, &color, &dest, &src) < 0) return -1;
    WithinPrepared(box, [&] { MemImgDrawCircle(dest, cx, cy, rx, ry, color, fill); });
    SoftScreen.FinishBlit2D();
    return 0;
}

}  // namespace tessra
