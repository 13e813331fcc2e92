// The 2-D drawing front end: one path for every draw, from the argument checks to the back-end.
#include "engine/graphics/draw_front.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/base/log.h"
#include "engine/base/sjis.h"
#include "engine/d3d/d3d.h"
#include "engine/font/font.h"
#include "engine/font/font_table.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_table.h"
#include "engine/graphics/mask_screen.h"
#include "engine/graphics/movie.h"
#include "engine/screen/draw2d.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_state.h"
#include "engine/softrender/soft_render.h"

namespace tessra {

using namespace sjis_literals;

namespace {

bool OffOrEmpty() {
    return GetGraphicsCoreState().graphicsOff != 0 || DrawState.drawAreaEmpty != 0;
}

// The front screen of a window at 16 or 32 bits is a memory image copied to the window after
// each draw.
bool WindowFront() {
    return GetScreenState().memImgScreens && DrawState.drawTarget == kFrontScreen;
}

int32_t Clamp32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

int32_t Trunc32(double v) {
    if (!std::isfinite(v)) return 0;
    return static_cast<int32_t>(std::clamp(std::trunc(v), double(INT32_MIN), double(INT32_MAX)));
}

Rect Ordered(int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
    return Rect{Clamp32(std::min(x1, x2)), Clamp32(std::min(y1, y2)), Clamp32(std::max(x1, x2)),
                Clamp32(std::max(y1, y2))};
}

Rect BoxOf(const double* xs, const double* ys, int count) {
    double l = xs[0], r = xs[0], t = ys[0], b = ys[0];
    for (int i = 1; i < count; ++i) {
        l = std::min(l, xs[i]);
        r = std::max(r, xs[i]);
        t = std::min(t, ys[i]);
        b = std::max(b, ys[i]);
    }
    return Rect{Trunc32(l), Trunc32(t), Trunc32(r), Trunc32(b)};
}

// The 3-D device has no subtractive blend: blend mode 3 is drawn as invert, add, invert over
// the affected rectangle. The white fill under mode 3 at 255 inverts the target there.
void InvertDrawRect(const Rect& area) {
    const uint32_t keptBrightness = DrawBrightnessPacked();
    SetDrawBrightnessPacked(0xFFFFFF);
    if (DrawState.blendMode != kBlendSubtract || DrawState.blendParam != 255) {
        WaitWhileWindowInactive();
        DrawState.blendMode = kBlendSubtract;
        DrawState.blendParam = 255;
        UpdateDrawDiffuseColor();
    }
    G_D3D_FillRectangle(area.left, area.top, area.right, area.bottom,
                        MakeScreenColor(255, 255, 255));
    SetDrawBrightnessPacked(keptBrightness);
}

// The blend-table entry that adds on the 3-D device.
constexpr int kBlendAdd3D = 5;

int InvertDrawRectPre(const Rect& area) {
    const int keptParam = DrawState.blendParam;
    InvertDrawRect(area);
    DrawState.blendMode = kBlendAdd3D;
    DrawState.blendParam = keptParam;
    UpdateDrawDiffuseColor();
    return keptParam;
}

void InvertDrawRectPost(const Rect& area, int keptParam) {
    InvertDrawRect(area);
    DrawState.blendMode = kBlendSubtract;
    DrawState.blendParam = keptParam;
    UpdateDrawDiffuseColor();
}

// Steps 6 to 10 of every draw: the mask's before step, the front picture read back, the draw
// (bracketed by the inversions when it subtracts on the 3-D device), the mask's after step and
// the copy to the window. `affected` is computed only when needed.
template <class Affected, class Draw>
int RunDraw(bool on3D, Affected&& affected, Draw&& draw) {
    const bool mask = DrawState.maskActive != 0;
    const bool front = WindowFront();
    const bool invert = on3D && DrawState.blendMode == kBlendSubtract;
    Rect area{0, 0, 0, 0};
    if (mask || front || invert) area = affected();
    if (mask) BeginMaskForTarget(&area);
    if (front && GetScreenState().readBack) ReadScreenPixels();
    int keptParam = 0;
    if (invert) keptParam = InvertDrawRectPre(area);
    const int result = draw();
    if (invert) InvertDrawRectPost(area, keptParam);
    if (mask) EndMaskForTarget(&area);
    if (front) DrawSoftScreenToWindow(area.left, area.top, area.right, area.bottom);
    return result;
}

// Steps 1 to 3 of a graph draw; null when the call must return `*early`.
// Step 5 too, the movie's next frame into the graph, unless `checkBlend` is false: the
// rotated-about draw skips both the blend test and the movie.
const GraphRecord* CheckGraphDraw(int graph, bool checkBlend, int* early) {
    *early = 0;
    if (OffOrEmpty()) return nullptr;
    const GraphRecord* record = GetGraphRecord(graph);
    if (record == nullptr ||
        (checkBlend && DrawState.blendGraph != -1 && CheckBlendGraphSize(record) != 0)) {
        *early = -1;
        return nullptr;
    }
    WaitWhileWindowInactive();
    // No display here offers an overlay, so every movie plays into its graph's pixels.
    if (checkBlend && record->movie != -1 && GetMovieRecord(record->movie) != nullptr) {
        UpdateMovieFrame(graph, 0);
    }
    return record;
}

bool Primitives3D() {
    return DrawState.use3D && DrawState.direct3DReady && !GetScreenState().memImgScreens &&
           !GetScreenState().windowMode;
}

}  // namespace

int DrawGraphAt(int x, int y, int graph, int transparent) {
    int early;
    const GraphRecord* g = CheckGraphDraw(graph, true, &early);
    if (g == nullptr) return early;
    const bool on3D = g->format.texture != 0;
    return RunDraw(
        on3D, [&] { return Ordered(x, y, int64_t(x) + g->width, int64_t(y) + g->height); },
        [&] {
            return on3D ? G_D3D_DrawImage(x, y, 0, 0, g, transparent, 1)
                        : BltGraphF2D(x, y, g, transparent);
        });
}

int DrawGraphStretched(int x1, int y1, int x2, int y2, int graph, int transparent) {
    int early;
    const GraphRecord* g = CheckGraphDraw(graph, true, &early);
    if (g == nullptr) return early;
    const bool on3D = g->format.texture != 0;
    return RunDraw(
        on3D, [&] { return Ordered(x1, y1, x2, y2); },
        [&] {
            return on3D ? G_D3D_DrawImageStretched(x1, y1, x2, y2, 0, 0, 0, 0, g, transparent, 1)
                        : DrawImageStretchedSoft(x1, y1, x2, y2, g, transparent, 1, -1);
        });
}

int DrawGraphRotated(float x, float y, double scale, double angle, int graph, int transparent,
                     int turn) {
    int early;
    const GraphRecord* g = CheckGraphDraw(graph, true, &early);
    if (g == nullptr) return early;
    const auto affected = [&] {
        const double w = g->width, h = g->height;
        const double hw = g->width / 2, hh = g->height / 2;
        const double cx[4] = {-hw, w - hw, -hw, w - hw};
        const double cy[4] = {-hh, -hh, h - hh, h - hh};
        const double c = std::cos(angle), s = std::sin(angle);
        double xs[4], ys[4];
        for (int i = 0; i < 4; ++i) {
            xs[i] = (cx[i] * c - cy[i] * s) * scale + Trunc32(x);
            ys[i] = (cx[i] * s + cy[i] * c) * scale + Trunc32(y);
        }
        Rect r = BoxOf(xs, ys, 4);
        return Rect{Clamp32(int64_t(r.left) - 5), Clamp32(int64_t(r.top) - 5),
                    Clamp32(int64_t(r.right) + 5), Clamp32(int64_t(r.bottom) + 5)};
    };
    const bool on3D = g->format.texture != 0;
    return RunDraw(on3D, affected, [&] {
        return on3D ? G_D3D_DrawImageRotated(x, y, scale, angle, g, transparent, turn)
                    : DrawImageRotatedSoft(x, y, scale, angle, g, transparent, turn);
    });
}

int DrawGraphRotatedF(int x, int y, double scale, double angle, int graph, int transparent,
                      int turn) {
    return DrawGraphRotated(static_cast<float>(x), static_cast<float>(y), scale, angle, graph,
                            transparent, turn);
}

int DrawGraphQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                  int graph, int transparent) {
    int early;
    const GraphRecord* g = CheckGraphDraw(graph, true, &early);
    if (g == nullptr) return early;
    const auto affected = [&] {
        const double xs[4] = {x1, x2, x3, x4}, ys[4] = {y1, y2, y3, y4};
        return BoxOf(xs, ys, 4);
    };
    // The back-ends take the corners top-left, top-right, bottom-left, bottom-right.
    const bool on3D = g->format.texture != 0;
    return RunDraw(on3D, affected, [&] {
        return on3D ? G_D3D_DrawImageQuad(x1, y1, x2, y2, x4, y4, x3, y3, g, transparent)
                    : DrawImageQuadSoftF(x1, y1, x2, y2, x4, y4, x3, y3, g, transparent);
    });
}

int DrawGraphRotatedAbout(int x1, int y1, int x2, int y2, int px, int py, double scale,
                          double angle, int graph, int transparent) {
    int early;
    const GraphRecord* g = CheckGraphDraw(graph, false, &early);
    if (g == nullptr) return early;
    const bool on3D = g->format.texture != 0;
    return RunDraw(
        on3D,
        [&] {
            return Rect{x1, y1, x2, y2};
        },
        [&] {
            return on3D ? G_D3D_DrawImageRotatedAbout(x1, y1, x2, y2, px, py, scale, angle, g,
                                                      transparent)
                        : BltGraphTransformed2D(x1, y1, x2, y2, px, py, scale, angle, g,
                                                transparent);
        });
}

int DrawGraphMirrored(int x, int y, int graph, int transparent) {
    if (OffOrEmpty()) return 0;
    const GraphRecord* g = GetGraphRecord(graph);
    if (g == nullptr) return -1;
    return DrawGraphStretched(Clamp32(int64_t(x) + g->width), y, x, Clamp32(int64_t(y) + g->height),
                              graph, transparent);
}

int DrawGraphPart(int x, int y, int sx, int sy, int width, int height, int graph, int transparent,
                  int mirror) {
    const Rect keptArea = DrawState.DrawArea;
    float keptF[4];
    std::copy(DrawState.drawAreaF, DrawState.drawAreaF + 4, keptF);
    Rect part{x, y, Clamp32(int64_t(x) + width), Clamp32(int64_t(y) + height)};
    ClipRectToRect(&part, &keptArea);
    DrawState.DrawArea = part;
    DrawState.drawAreaF[0] = float(part.left);
    DrawState.drawAreaF[1] = float(part.top);
    DrawState.drawAreaF[2] = float(part.right);
    DrawState.drawAreaF[3] = float(part.bottom);
    int result;
    if (!mirror) {
        result =
            DrawGraphAt(Clamp32(int64_t(x) - sx), Clamp32(int64_t(y) - sy), graph, transparent);
    } else {
        const GraphRecord* g = GetGraphRecord(graph);
        result = g == nullptr ? -1
                              : DrawGraphMirrored(Clamp32(int64_t(x) - g->width + sx + width),
                                                  Clamp32(int64_t(y) - sy), graph, transparent);
    }
    DrawState.DrawArea = keptArea;
    std::copy(keptF, keptF + 4, DrawState.drawAreaF);
    return result;
}

int BlitGlyphRect(int x1, int y1, int x2, int y2, int sx, int sy, int sw, int sh, int graph,
                  int transparent) {
    const GraphRecord* g = GetGraphRecord(graph);
    if (g == nullptr) return -1;
    // An empty source rectangle has no scale: nothing to draw.
    if (sw <= 0 || sh <= 0) return 0;
    const bool mirrorX = x2 < x1, mirrorY = y2 < y1;
    const Rect dest = Ordered(x1, y1, x2, y2);
    const Rect keptArea = DrawState.DrawArea;
    float keptF[4];
    std::copy(DrawState.drawAreaF, DrawState.drawAreaF + 4, keptF);
    Rect clip = dest;
    ClipRectToRect(&clip, &keptArea);
    DrawState.DrawArea = clip;
    DrawState.drawAreaF[0] = float(clip.left);
    DrawState.drawAreaF[1] = float(clip.top);
    DrawState.drawAreaF[2] = float(clip.right);
    DrawState.drawAreaF[3] = float(clip.bottom);
    const double kx = double(int64_t(dest.right) - dest.left) / sw;
    const double ky = double(int64_t(dest.bottom) - dest.top) / sh;
    int64_t left, right, top, bottom;
    if (!mirrorX) {
        left = dest.left - int64_t(std::trunc(sx * kx));
        right = dest.left + int64_t(std::trunc((g->width - sx) * kx));
    } else {
        left = dest.right + int64_t(std::trunc(sx * kx));
        right = dest.right - int64_t(std::trunc((g->width - sx) * kx));
    }
    if (!mirrorY) {
        top = dest.top - int64_t(std::trunc(sy * ky));
        bottom = dest.top + int64_t(std::trunc((g->height - sy) * ky));
    } else {
        top = dest.bottom + int64_t(std::trunc(sy * ky));
        bottom = dest.bottom - int64_t(std::trunc((g->height - sy) * ky));
    }
    const int result = DrawGraphStretched(Clamp32(left), Clamp32(top), Clamp32(right),
                                          Clamp32(bottom), graph, transparent);
    DrawState.DrawArea = keptArea;
    std::copy(keptF, keptF + 4, DrawState.drawAreaF);
    return result;
}

int DrawLineClipped(int x1, int y1, int x2, int y2, uint32_t color) {
    if (OffOrEmpty()) return 0;
    WaitWhileWindowInactive();
    const auto affected = [&] {
        Rect r = Ordered(x1, y1, x2, y2);
        r.right = Clamp32(int64_t(r.right) + 1);
        r.bottom = Clamp32(int64_t(r.bottom) + 1);
        return r;
    };
    const bool on3D = Primitives3D();
    return RunDraw(on3D, affected, [&] {
        return on3D ? G_D3D_DrawLineSegment(x1, y1, x2, y2, color)
                    : DrawLineSegmentSoft(x1, y1, x2, y2, color);
    });
}

int FillRectangle(int x1, int y1, int x2, int y2, uint32_t color) {
    if (OffOrEmpty()) return 0;
    WaitWhileWindowInactive();
    const bool on3D = Primitives3D();
    return RunDraw(
        on3D, [&] { return Ordered(x1, y1, x2, y2); },
        [&] {
            return on3D ? G_D3D_FillRectangle(x1, y1, x2, y2, color)
                        : FillRectangleSoft(x1, y1, x2, y2, color);
        });
}

int FrameRectangle(int x1, int y1, int x2, int y2, uint32_t color) {
    if (OffOrEmpty()) return 0;
    WaitWhileWindowInactive();
    const bool on3D = Primitives3D();
    return RunDraw(
        on3D, [&] { return Ordered(x1, y1, x2, y2); },
        [&] {
            return on3D ? G_D3D_FrameRectangle(x1, y1, x2, y2, color)
                        : FrameRectangleSoft(x1, y1, x2, y2, color);
        });
}

int FillOrFrameRectangle(int x1, int y1, int x2, int y2, uint32_t color, int fill) {
    return fill ? FillRectangle(x1, y1, x2, y2, color) : FrameRectangle(x1, y1, x2, y2, color);
}

int DrawOvalInBounds(int x, int y, int radiusX, int radiusY, uint32_t color, int fill) {
    if (OffOrEmpty()) return 0;
    if (radiusX < 0 || radiusY < 0) return 0;
    WaitWhileWindowInactive();
    const auto affected = [&] {
        return Rect{Clamp32(int64_t(x) - radiusX - 1), Clamp32(int64_t(y) - radiusY - 1),
                    Clamp32(int64_t(x) + radiusX + 1), Clamp32(int64_t(y) + radiusY + 1)};
    };
    const bool on3D = Primitives3D();
    return RunDraw(on3D, affected, [&] {
        return on3D ? G_D3D_DrawCircle(x, y, radiusX, radiusY, color, fill)
                    : DrawCircleSoft(x, y, radiusX, radiusY, color, fill);
    });
}

int DrawStringWithFont(int x, int y, const char* text, uint32_t color, int fontHandle,
                       uint32_t edgeColor, int flag) {
    if (text == nullptr || text[0] == '\0' || OffOrEmpty()) return 0;
    const FontRecord* font = GetFontRecord(fontHandle);
    if (font == nullptr) {
        AppendLog("フォントハンドル値が異常です\n"_sjis);
        return -1;
    }
    WaitWhileWindowInactive();
    const Rect area{x, y, DrawState.DrawArea.right,
                    Clamp32(int64_t(y) + GetFontHandleField(fontHandle) + 3)};
    // A string that starts at or past the right edge shows nothing.
    if (area.right <= x) return 0;
    const bool mask = DrawState.maskActive != 0 && !font->useTexture;
    const bool front = WindowFront();
    if (mask) BeginMaskForTarget(&area);
    if (front && GetScreenState().readBack) ReadScreenPixels();
    const int result = (DrawState.use3D && DrawState.direct3DReady)
                           ? DrawText3D(x, y, text, color, fontHandle, edgeColor, flag)
                           : DrawText2D(x, y, text, color, fontHandle, edgeColor, flag);
    if (mask) EndMaskForTarget(&area);
    if (front) DrawSoftScreenToWindow(area.left, area.top, area.right, area.bottom);
    return result;
}

int CopyDrawScreenToGraph(int x1, int y1, int x2, int y2, int graph, int /*option*/) {
    if (GetGraphicsCoreState().graphicsOff) return 0;
    const GraphRecord* g = GetGraphRecord(graph);
    if (g == nullptr) return -1;
    WaitWhileWindowInactive();
    EndSceneCurrent();
    if (g->format.texture) return G_D3D_GetDrawScreenGraph(x1, y1, x2, y2, g, 1);
    return CopyDrawScreenToGraph2D(x1, y1, x2, y2, g);
}

}  // namespace tessra
