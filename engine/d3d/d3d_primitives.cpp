// Untextured shapes through the 3-D device: filled rectangles, lines and rectangle outlines in
// the shared vertex batch, at whole-pixel positions (pixel centres on integer coordinates). A
// draw target refused for 3-D hands each shape to the software renderer. Strings in fonts whose
// glyphs live in a texture are drawn here too.
#include <algorithm>
#include <cstring>
#include <utility>

#include "engine/base/log.h"
#include "engine/base/memory.h"
#include "engine/base/sjis.h"

#include "engine/d3d/d3d_internal.h"
#include "engine/font/font.h"
#include "engine/graphics/draw_front.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_table.h"
#include "engine/graphics/image_data.h"
#include "engine/screen/draw2d.h"
#include "engine/screen/screen.h"
#include "engine/softrender/ellipse_walk.h"
#include "engine/softrender/soft_render.h"

namespace tessra {

using namespace sjis_literals;

namespace {

// The screen colour with the draw brightness and the blend parameter's alpha.
uint32_t ShapeColor(uint32_t color) {
    int r = 0, g = 0, b = 0;
    SplitScreenColor(color, &r, &g, &b);
    const uint32_t d = DrawDiffuseColor3D();
    const uint32_t rr = static_cast<uint32_t>(r) * ((d >> 16) & 0xFF) / 255;
    const uint32_t gg = static_cast<uint32_t>(g) * ((d >> 8) & 0xFF) / 255;
    const uint32_t bb = static_cast<uint32_t>(b) * (d & 0xFF) / 255;
    return (d & 0xFF000000u) | (rr << 16) | (gg << 8) | bb;
}

// Opening steps shared by the batched shapes: a scene, no texture, the draw state.
Direct3DDeviceRecord* OpenShape(bool forceUnbind) {
    const int32_t device = D3D().currentDevice;
    Direct3DDeviceRecord* r = CurrentRecord();
    if (r == nullptr) return nullptr;
    if (!r->sceneBegun) BeginScene3D();
    if (r->texture != nullptr || (forceUnbind && r->forceStates)) {
        FlushVertexBatch(device);
        r->textureDirty = 1;
        if (r->texture != nullptr) r->stagesDirty = 1;
        r->texture = nullptr;
    }
    ApplyDrawState3D(nullptr, DrawState.zBufferUse > 0 ? 0x04 : 0);
    if (r->stagesDirty || r->textureDirty) SetBlendModeStates(device);
    return r;
}

int CloseShape() {
    if (D3D().targetIsFront) EndScene3D(D3D().currentDevice);
    return 0;
}

struct Point2 {
    float x, y;
};

void QueueShape(Direct3DDeviceRecord* r, uint32_t primitive, const Point2* points, int n,
                uint32_t color, bool colorOnAll) {
    auto* v = static_cast<Vertex3DColor*>(
        AppendBatchVertices(r, D3D().currentDevice, primitive, static_cast<uint32_t>(n)));
    const float ox = static_cast<float>(DrawState.clientRect.left);
    const float oy = static_cast<float>(DrawState.clientRect.top);
    for (int i = 0; i < n; ++i) {
        v[i].x = points[i].x + ox;
        v[i].y = points[i].y + oy;
        v[i].z = DrawState.vertexDepth2D;
        if (colorOnAll || i == 0 || i == 3) v[i].diffuse = color;
    }
}

}  // namespace

int G_D3D_FillRectangle(int x1, int y1, int x2, int y2, uint32_t color) {
    if (D3D().object == nullptr) return -1;
    if (D3D().targetRefused) return FillRectangleSoft(x1, y1, x2, y2, color);
    Rect rc{x1, y1, x2, y2};
    NormalizeRect(&rc);
    ClipRectToRect(&rc, &DrawState.DrawArea);
    if (rc.left == rc.right || rc.top == rc.bottom) return 0;
    Direct3DDeviceRecord* r = OpenShape(true);
    if (r == nullptr) return -1;
    const float l = static_cast<float>(rc.left), t = static_cast<float>(rc.top);
    const float rr = static_cast<float>(rc.right), b = static_cast<float>(rc.bottom);
    const Point2 p[6] = {{l, t}, {rr, t}, {l, b}, {rr, b}, {l, b}, {rr, t}};
    QueueShape(r, plat::D3DPT_TRIANGLELIST, p, 6, ShapeColor(color), false);
    return CloseShape();
}

int G_D3D_DrawLineSegment(int x1, int y1, int x2, int y2, uint32_t color) {
    if (D3D().object == nullptr) return -1;
    if (D3D().targetRefused) return DrawLineSegmentSoft(x1, y1, x2, y2, color);
    if (x1 == x2 && y1 == y2) return 0;
    Direct3DDeviceRecord* r = OpenShape(false);
    if (r == nullptr) return -1;
    Point2 p[2] = {{static_cast<float>(x1), static_cast<float>(y1)},
                   {static_cast<float>(x2), static_cast<float>(y2)}};
    // An axis-aligned line ends just short of its end pixel, which is left out.
    if (x1 == x2) p[1].y += y2 > y1 ? -0.1f : 0.1f;
    if (y1 == y2) p[1].x += x2 > x1 ? -0.1f : 0.1f;
    QueueShape(r, plat::D3DPT_LINELIST, p, 2, ShapeColor(color), true);
    return CloseShape();
}

int G_D3D_FrameRectangle(int x1, int y1, int x2, int y2, uint32_t color) {
    if (D3D().object == nullptr) return -1;
    if (D3D().targetRefused) return FrameRectangleSoft(x1, y1, x2, y2, color);
    if (x1 > x2 || y1 > y2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    Direct3DDeviceRecord* r = OpenShape(false);
    if (r == nullptr) return -1;
    const float l = static_cast<float>(x1), t = static_cast<float>(y1);
    const float rr = static_cast<float>(x2 - 1), b = static_cast<float>(y2 - 1);
    // Four lines that light every pixel of the outline once.
    const Point2 p[8] = {{l, t}, {rr - 0.1f, t}, {rr, t},       {rr, b - 0.1f},
                         {l, b}, {rr + 0.9f, b}, {l, t + 1.0f}, {l, b - 0.1f}};
    QueueShape(r, plat::D3DPT_LINELIST, p, 8, ShapeColor(color), true);
    return CloseShape();
}

int G_D3D_DrawCircle(int cx, int cy, int rx, int ry, uint32_t color, int fill) {
    FlushCurrentVertexBatch();
    if (D3D().object == nullptr || rx == 0 || ry == 0) return -1;
    if (D3D().targetRefused) return DrawCircleSoft(cx, cy, rx, ry, color, fill);
    Direct3DDeviceRecord* r = OpenShape(true);
    if (r == nullptr) return -1;
    const int64_t arx = rx < 0 ? -int64_t(rx) : rx, ary = ry < 0 ? -int64_t(ry) : ry;
    // As in software: radii whose squares leave 32 bits draw nothing.
    if (arx > kMaxEllipseRadius || ary > kMaxEllipseRadius) return CloseShape();
    const int ox = DrawState.clientRect.left, oy = DrawState.clientRect.top;
    const int64_t L = int64_t(DrawState.DrawArea.left) + ox,
                  T = int64_t(DrawState.DrawArea.top) + oy;
    const int64_t R = int64_t(DrawState.DrawArea.right) + ox - 1;
    const int64_t B = int64_t(DrawState.DrawArea.bottom) + oy - 1;
    const int64_t x0 = int64_t(cx) + ox, y0 = int64_t(cy) + oy;
    Vertex3DColor points[40];
    for (Vertex3DColor& v : points) {
        v.z = DrawState.vertexDepth2D;
        v.rhw = 1.0f;
        v.diffuse = ShapeColor(color);
    }
    plat::Direct3DDevice* device = r->device;
    if (!fill) {
        int n = 0;
        WalkEllipseOutline(int32_t(arx), int32_t(ary), [&](int32_t dx, int32_t dy) {
            const int64_t x = x0 + dx, y = y0 + dy;
            // The viewport removes what lies left of the area.
            if (y < T || y > B || x > R || x < 0) return;
            points[n].x = float(x), points[n].y = float(y);
            if (++n == 40) {
                if (device != nullptr)
                    device->DrawPrimitive(plat::D3DPT_POINTLIST, 0x44, points, 40, 0);
                n = 0;
            }
        });
        if (n > 0 && device != nullptr)
            device->DrawPrimitive(plat::D3DPT_POINTLIST, 0x44, points, static_cast<plat::DWORD>(n),
                                  0);
        return CloseShape();
    }
    if (B < 0) return CloseShape();
    // One flag per row, so that no row is drawn, or blended, twice.
    auto* rows = static_cast<uint8_t*>(AllocTaggedZeroed(size_t(B + 1), "", 0));
    if (rows == nullptr) {
        AppendLog("メモリの確保に失敗しました in G_D3D_DrawCircle\n"_sjis);
        return -1;
    }
    WalkEllipseFill(int32_t(arx), int32_t(ary), [&](int32_t dy, int32_t dx0, int32_t dx1) {
        const int64_t row = y0 + dy;
        int64_t a = x0 + dx0, b = x0 + dx1;
        if (b < L || a > R || row < T || row > B || row < 0 || rows[row]) return;
        a = std::max(a, L), b = std::min(b, R);
        rows[row] = 1;
        points[0].x = float(a), points[0].y = float(row);
        points[1].x = float(b + 1), points[1].y = float(row);
        if (device != nullptr) device->DrawPrimitive(plat::D3DPT_LINELIST, 0x44, points, 2, 0);
    });
    FreeTagged(rows);
    return CloseShape();
}

int G_D3D_ClearDrawTarget() {
    if (D3D().object == nullptr) return -1;
    if (DrawState.graphicsOff) return 0;
    FlushCurrentVertexBatch();
    EndSceneCurrent();
    const int target = DrawState.drawTarget;
    if (target == kFrontScreen || target == -3 || target == kBackScreen) return 0;
    const GraphRecord* graph = GetGraphRecord(target);
    if (graph == nullptr || !graph->format.texture) return 0;
    const Surface3DData* piece =
        graph->pieceCount > 0
            ? Surface3DEntries().Find(static_cast<int32_t>(graph->pieces[0]), kTextureHandleKind)
            : nullptr;
    const ImageDataRecord* image = piece != nullptr ? GetImageDataRecord(piece->image) : nullptr;
    if (image == nullptr || image->surface == nullptr) return -1;
    const plat::RECT whole{0, 0, image->width, image->height};
    plat::DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    if (image->depthSurface != nullptr) {
        fx.dwFillDepth = 0xFFFF;
        image->depthSurface->Blt(&whole, nullptr, nullptr, plat::DDBLT_DEPTHFILL | plat::DDBLT_WAIT,
                                 &fx);
    }
    fx.dwFillColor = 0;
    image->surface->Blt(&whole, nullptr, nullptr, plat::DDBLT_COLORFILL | plat::DDBLT_WAIT, &fx);
    return 0;
}

int DrawText3D(int x, int y, const char* text, uint32_t color, int fontHandle, uint32_t edgeColor,
               int flag) {
    const FontRecord* font = GetFontRecord(fontHandle);
    if (font == nullptr || !font->useTexture)
        return DrawText2D(x, y, text, color, fontHandle, edgeColor, flag);
    if (D3D().targetRefused) return -1;
    CreateFontCacheSurface(fontHandle);
    const int length = text != nullptr ? static_cast<int>(std::strlen(text)) : 0;
    RenderTextWithCache(kTextDraw, x, y, text, color, nullptr, &DrawState.DrawArea, fontHandle,
                        edgeColor, length, nullptr);
    return 0;
}

}  // namespace tessra
