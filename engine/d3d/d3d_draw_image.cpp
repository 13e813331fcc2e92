// Graphs through the 3-D device: each texture piece of a graph becomes two textured triangles,
// queued in the shared vertex batch where possible. Positions are screen pixels with texel
// centres on half pixels (hence the 0.5 shifts); the device clips against the viewport, which
// follows the draw area, and the unrotated draws clip their vertices themselves so that the
// texture coordinates stay exact at the edges.
#include <algorithm>
#include <cmath>
#include <utility>

#include "engine/base/strings.h"
#include "engine/d3d/d3d_internal.h"
#include "engine/graphics/draw_front.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_table.h"
#include "engine/graphics/image_data.h"

namespace tessra {
namespace {

// One corner of a piece on the screen: position, texture and blend-graph coordinates.
struct Corner {
    float x, y, tu, tv, bu, bv;
};

const Surface3DData* PieceOf(const GraphRecord* graph, int i) {
    if (i >= graph->pieceCount) return nullptr;
    return Surface3DEntries().Find(static_cast<int32_t>(graph->pieces[i]), kTextureHandleKind);
}

plat::DirectDrawSurface* PieceSurface(const Surface3DData* piece) {
    const ImageDataRecord* image = GetImageDataRecord(piece->image);
    return image != nullptr ? image->surface : nullptr;
}

void TexelSize(const Surface3DData* piece, float* w, float* h) {
    const ImageDataRecord* image = GetImageDataRecord(piece->image);
    *w = image != nullptr && image->width != 0 ? image->width : 1.0f;
    *h = image != nullptr && image->height != 0 ? image->height : 1.0f;
}

// The corner k of a piece placed by (x, y) = origin + scale x its place in the graph.
Corner PlaceCorner(const Surface3DData* piece, int k, float fx, float fy, float sx, float sy) {
    const Vertex3DTex& v = piece->vertex[k];
    return Corner{fx + sx * v.x,
                  fy + sy * v.y,
                  v.u,
                  v.v,
                  v.x * D3D().blendTexScaleU,
                  v.y * D3D().blendTexScaleV};
}

// Moves a corner onto the clip box, its texture coordinates by the same distance in texels
// (stepU, stepV per screen pixel) and its blend coordinates likewise (blendU, blendV).
void ClipCorner(Corner* c, const float box[4], float stepU, float stepV, float blendU,
                float blendV) {
    if (c->x < box[0]) {
        const float d = box[0] - c->x;
        c->tu += d * stepU;
        c->bu += d * blendU;
        c->x = box[0];
    } else if (c->x > box[2]) {
        const float d = c->x - box[2];
        c->tu -= d * stepU;
        c->bu -= d * blendU;
        c->x = box[2];
    }
    if (c->y < box[1]) {
        const float d = box[1] - c->y;
        c->tv += d * stepV;
        c->bv += d * blendV;
        c->y = box[1];
    } else if (c->y > box[3]) {
        const float d = c->y - box[3];
        c->tv -= d * stepV;
        c->bv -= d * blendV;
        c->y = box[3];
    }
}

// Binds the piece's texture and brings the stage states up to date.
void BindPiece(Direct3DDeviceRecord* r, const Surface3DData* piece) {
    const int32_t device = D3D().currentDevice;
    plat::DirectDrawSurface* surface = PieceSurface(piece);
    if (r->texture != surface) SetTexture3D(device, surface);
    if (r->stagesDirty || r->textureDirty) SetBlendModeStates(device);
}

// Writes vertex i of the current kind from a corner; the colour only where asked.
void WriteVertex(uint32_t kind, void* area, int i, const Corner& c, bool color) {
    const float z = DrawState.vertexDepth2D;
    if (kind == 1) {
        Vertex3DTex& v = static_cast<Vertex3DTex*>(area)[i];
        v.x = c.x, v.y = c.y, v.z = z, v.u = c.tu, v.v = c.tv;
        if (color) v.diffuse = DrawDiffuseColor3D();
    } else if (kind == 2) {
        Vertex3DBlend& v = static_cast<Vertex3DBlend*>(area)[i];
        v.x = c.x, v.y = c.y, v.z = z, v.u0 = c.bu, v.v0 = c.bv, v.u1 = c.tu, v.v1 = c.tv;
        if (color) v.diffuse = DrawDiffuseColor3D();
    }
}

// Six batch vertices for the corners top-left, top-right, bottom-left, bottom-right: the
// triangles (0, 1, 2) and (3, 2, 1), each coloured by its first vertex under flat shading.
void QueuePiece(Direct3DDeviceRecord* r, const Corner c[4]) {
    if (r->batchKind == 0) return;
    void* area = AppendBatchVertices(r, D3D().currentDevice, plat::D3DPT_TRIANGLELIST, 6);
    static constexpr int kOrder[6] = {0, 1, 2, 3, 2, 1};
    for (int i = 0; i < 6; ++i) WriteVertex(r->batchKind, area, i, c[kOrder[i]], i == 0 || i == 3);
}

int CloseDraw() {
    if (D3D().targetIsFront) EndScene3D(D3D().currentDevice);
    return 0;
}

// Opening steps after the call's own argument tests: a scene, the first piece, the draw state.
// Null when the first piece is missing.
const Surface3DData* OpenDraw(Direct3DDeviceRecord* r, const GraphRecord* graph, uint32_t flags) {
    if (!r->sceneBegun) BeginScene3D();
    const Surface3DData* first = PieceOf(graph, 0);
    if (first == nullptr) return nullptr;
    if (DrawState.zBufferUse > 0) flags |= 0x04;
    ApplyDrawState3D(first, flags);
    return first;
}

void ToPosition(bool integer, int xi, float xf, int* outI, float* outF) {
    if (integer) {
        *outI = xi;
        *outF = static_cast<float>(xi);
    } else {
        *outF = xf;
        *outI = TruncFloatToInt(xf);
    }
}

float OriginX() {
    return static_cast<float>(DrawState.clientRect.left);
}
float OriginY() {
    return static_cast<float>(DrawState.clientRect.top);
}

// The quad of the graph piece by piece with one affine map on each side of the graph's
// diagonal; corners top-left, top-right, bottom-left, bottom-right.
struct AffineMaps {
    float x1, y1, x4, y4;
    float ux[2], uy[2], lx[2], ly[2];
    float W, H;
    Corner Map(const Surface3DData* piece, int k) const {
        const Vertex3DTex& v = piece->vertex[k];
        Corner c{0, 0, v.u, v.v, v.x * D3D().blendTexScaleU, v.y * D3D().blendTexScaleV};
        if (piece->aboveDiagonal[k]) {
            c.x = (x1 - 0.5f) + v.x * ux[0] + v.y * ux[1];
            c.y = (y1 - 0.5f) + v.x * uy[0] + v.y * uy[1];
        } else {
            const float px = v.x - W, py = v.y - H;
            c.x = (x4 - 0.5f) + px * lx[0] + py * lx[1];
            c.y = (y4 - 0.5f) + px * ly[0] + py * ly[1];
        }
        return c;
    }
};

// The shared grid of a quad that is not a parallelogram.
Vertex3DTex g_quadGrid[64];

}  // namespace

int G_D3D_DrawImage(int xi, int yi, float xf, float yf, const GraphRecord* graph, int transparent,
                    int integerFlag) {
    Direct3DDeviceRecord* r = CurrentRecord();
    if (D3D().object == nullptr || r == nullptr) return -1;
    if (D3D().targetRefused) return 0;
    if (graph == nullptr) return -1;
    int x, y;
    float fxIn, fyIn;
    ToPosition(integerFlag == 1, xi, xf, &x, &fxIn);
    ToPosition(integerFlag == 1, yi, yf, &y, &fyIn);
    const float fx = fxIn - 0.5f + OriginX(), fy = fyIn - 0.5f + OriginY();
    const Rect& a = DrawState.DrawArea;
    const int64_t w = graph->width, h = graph->height;
    const bool inside = x >= a.left && y >= a.top && x + w - 1 < a.right && y + h - 1 < a.bottom;
    if (x + w <= a.left || y + h <= a.top || x >= a.right || y >= a.bottom) return 0;
    uint32_t flags = transparent ? 0x01 : 0;
    if (integerFlag == 1) flags |= 0x02;
    if (OpenDraw(r, graph, flags) == nullptr) return -1;
    const float box[4] = {DrawState.drawAreaF[0] + OriginX(), DrawState.drawAreaF[1] + OriginY(),
                          DrawState.drawAreaF[2] + OriginX(), DrawState.drawAreaF[3] + OriginY()};
    for (int i = 0; i < graph->pieceCount; ++i) {
        const Surface3DData* piece = PieceOf(graph, i);
        if (piece == nullptr) return -1;
        BindPiece(r, piece);
        Corner c[4];
        for (int k = 0; k < 4; ++k) c[k] = PlaceCorner(piece, k, fx, fy, 1.0f, 1.0f);
        if (!inside) {
            float tw, th;
            TexelSize(piece, &tw, &th);
            for (Corner& corner : c)
                ClipCorner(&corner, box, 1.0f / tw, 1.0f / th, D3D().blendTexScaleU,
                           D3D().blendTexScaleV);
        }
        QueuePiece(r, c);
    }
    return CloseDraw();
}

int G_D3D_DrawImageStretched(int x1i, int y1i, int x2i, int y2i, float x1f, float y1f, float x2f,
                             float y2f, const GraphRecord* graph, int transparent,
                             int integerFlag) {
    Direct3DDeviceRecord* r = CurrentRecord();
    if (D3D().object == nullptr || r == nullptr) return -1;
    if (D3D().targetRefused) return 0;
    if (graph == nullptr || graph->width <= 0 || graph->height <= 0) return -1;
    int ix1, iy1, ix2, iy2;
    float fx1, fy1, fx2, fy2;
    ToPosition(integerFlag == 1, x1i, x1f, &ix1, &fx1);
    ToPosition(integerFlag == 1, y1i, y1f, &iy1, &fy1);
    ToPosition(integerFlag == 1, x2i, x2f, &ix2, &fx2);
    ToPosition(integerFlag == 1, y2i, y2f, &iy2, &fy2);
    if (ix1 == ix2 || iy1 == iy2) return -1;
    const float sx = (fx2 - fx1) / static_cast<float>(graph->width);
    const float sy = (fy2 - fy1) / static_cast<float>(graph->height);
    const float fx = fx1 - 0.5f + OriginX(), fy = fy1 - 0.5f + OriginY();
    const Rect& a = DrawState.DrawArea;
    const int minX = std::min(ix1, ix2), maxX = std::max(ix1, ix2);
    const int minY = std::min(iy1, iy2), maxY = std::max(iy1, iy2);
    const bool inside = minX >= a.left && minY >= a.top && maxX <= a.right && maxY <= a.bottom;
    if (maxX <= a.left || maxY <= a.top || minY >= a.bottom || minX >= a.right) return 0;
    uint32_t flags = transparent ? 0x01 : 0;
    if (integerFlag != 0 && DrawState.filterMode != 1) flags |= 0x02;
    if (OpenDraw(r, graph, flags) == nullptr) return -1;
    const float box[4] = {
        DrawState.drawAreaF[0] - 0.5f + OriginX(), DrawState.drawAreaF[1] - 0.5f + OriginY(),
        DrawState.drawAreaF[2] - 0.5f + OriginX(), DrawState.drawAreaF[3] - 0.5f + OriginY()};
    for (int i = 0; i < graph->pieceCount; ++i) {
        const Surface3DData* piece = PieceOf(graph, i);
        if (piece == nullptr) return -1;
        BindPiece(r, piece);
        Corner c[4];
        for (int k = 0; k < 4; ++k) c[k] = PlaceCorner(piece, k, fx, fy, sx, sy);
        if (!inside) {
            float tw, th;
            TexelSize(piece, &tw, &th);
            // A screen pixel is 1 / stretch graph pixels, for the texture and the blend graph
            // alike (the blend graph lies over the graph, not over the screen).
            for (Corner& corner : c)
                ClipCorner(&corner, box, 1.0f / (tw * sx), 1.0f / (th * sy),
                           D3D().blendTexScaleU / sx, D3D().blendTexScaleV / sy);
        }
        QueuePiece(r, c);
    }
    return CloseDraw();
}

int G_D3D_DrawImageRotated(float x, float y, double scale, double angle, const GraphRecord* graph,
                           int transparent, int turn) {
    Direct3DDeviceRecord* r = CurrentRecord();
    if (D3D().object == nullptr || r == nullptr) return -1;
    if (D3D().targetRefused) return 0;
    if (graph == nullptr || scale == 0.0) return -1;
    x += OriginX();
    y += OriginY();
    const bool turned = angle != 0.0;
    float sn = 0.0f, cs = 1.0f;
    if (turned) GetSinCos(static_cast<float>(angle), &sn, &cs);
    const int w = graph->width, h = graph->height;
    float hw = static_cast<float>(w) * 0.5f, hh = static_cast<float>(h) * 0.5f;
    float cx = x, cy = y;
    if (scale != 1.0 || (w % 2 == 0 && h % 2 == 0)) {
        // Even sizes at scale 1 put the graph's pixels on whole screen pixels.
        if (scale == 1.0) hw = static_cast<float>(w / 2), hh = static_cast<float>(h / 2);
        cx = x - 0.5f, cy = y - 0.5f;
    } else if (w % 2 == 0 && h % 2 != 0) {
        hw -= 0.5f;
    } else if (w % 2 != 0 && h % 2 == 0) {
        hh -= 0.5f;
    }
    const float sx = turn == 1 ? -static_cast<float>(scale) : static_cast<float>(scale);
    const float sy = static_cast<float>(scale);
    if (OpenDraw(r, graph, transparent ? 0x01 : 0) == nullptr) return -1;
    const auto place = [&](const Surface3DData* piece, int k) {
        const Vertex3DTex& v = piece->vertex[k];
        const float a = (v.x - hw) * sx, b = (v.y - hh) * sy;
        Corner c{0, 0, v.u, v.v, v.x * D3D().blendTexScaleU, v.y * D3D().blendTexScaleV};
        if (turned) {
            c.x = cx + a * cs - b * sn;
            c.y = cy + a * sn + b * cs;
        } else {
            c.x = cx + a;
            c.y = cy + b;
        }
        return c;
    };
    // A single piece centred on the graph is symmetric: two corners give the other two.
    const bool symmetric = graph->pieceCount == 1 && hw == static_cast<float>(w) * 0.5f &&
                           hh == static_cast<float>(h) * 0.5f;
    for (int i = 0; i < graph->pieceCount; ++i) {
        const Surface3DData* piece = PieceOf(graph, i);
        if (piece == nullptr) return -1;
        BindPiece(r, piece);
        Corner c[4];
        c[0] = place(piece, 0);
        c[1] = place(piece, 1);
        if (symmetric) {
            c[3] = c[0], c[2] = c[1];
            c[3].x = 2 * cx - c[0].x, c[3].y = 2 * cy - c[0].y;
            c[2].x = 2 * cx - c[1].x, c[2].y = 2 * cy - c[1].y;
            for (int k = 2; k < 4; ++k) {
                const Vertex3DTex& v = piece->vertex[k];
                c[k].tu = v.u, c[k].tv = v.v;
                c[k].bu = v.x * D3D().blendTexScaleU, c[k].bv = v.y * D3D().blendTexScaleV;
            }
        } else {
            c[2] = place(piece, 2);
            c[3] = place(piece, 3);
        }
        QueuePiece(r, c);
    }
    return CloseDraw();
}

void EmitTexturedQuad(int32_t pieceHandle, float x1, float y1, float x2, float y2, float x3,
                      float y3, float x4, float y4) {
    const Surface3DData* piece = Surface3DEntries().Find(pieceHandle, kTextureHandleKind);
    Direct3DDeviceRecord* r = CurrentRecord();
    if (piece == nullptr || r == nullptr) return;
    const int32_t device = D3D().currentDevice;
    plat::DirectDrawSurface* surface = PieceSurface(piece);
    if (r->texture != surface) {
        SetTexture3D(device, surface);
        SetBlendModeStates(device);
    }
    const float z = DrawState.vertexDepth2D;
    const uint32_t color = DrawDiffuseColor3D();
    const Vertex3DTex* pv = piece->vertex;
    const bool parallelogram =
        std::fabs((x2 - x1) - (x4 - x3)) < 1 && std::fabs((y2 - y1) - (y4 - y3)) < 1 &&
        std::fabs((x3 - x1) - (x4 - x2)) < 1 && std::fabs((y3 - y1) - (y4 - y2)) < 1;
    if (parallelogram) {
        if (r->stagesDirty || r->textureDirty) SetBlendModeStates(device);
        // The textured vertex layout only: a blend graph sends quads the piecewise way.
        if (r->batchKind != 1) return;
        auto* v =
            static_cast<Vertex3DTex*>(AppendBatchVertices(r, device, plat::D3DPT_TRIANGLELIST, 6));
        const float px[4] = {x1, x2, x3, x4}, py[4] = {y1, y2, y3, y4};
        int order[6] = {0, 1, 2, 3, 2, 1};
        const float c1 = (x2 - x1) * (y3 - y1) - (y2 - y1) * (x3 - x1);
        const float c2 = (x3 - x4) * (y2 - y4) - (x2 - x4) * (y3 - y4);
        if (c1 <= 0 && c2 <= 0) order[1] = 2, order[2] = 1, order[4] = 1, order[5] = 2;
        for (int i = 0; i < 6; ++i) {
            const int k = order[i];
            v[i].x = px[k], v[i].y = py[k], v[i].z = z;
            v[i].u = pv[k].u, v[i].v = pv[k].v;
            if (i == 0 || i == 3) v[i].diffuse = color;
        }
        return;
    }
    const float seventh = 1.0f / 7.0f;
    const float dlx = (x3 - x1) * seventh, dly = (y3 - y1) * seventh;
    const float drx = (x4 - x2) * seventh, dry = (y4 - y2) * seventh;
    const float du = (pv[3].u - pv[0].u) * seventh, dv = (pv[3].v - pv[0].v) * seventh;
    float lx = x1, ly = y1, rx = x2, ry = y2, tv = pv[0].v;
    for (int row = 0; row < 8; ++row) {
        const float sx = (rx - lx) * seventh, sy = (ry - ly) * seventh;
        float x = lx, y = ly, tu = pv[0].u;
        for (int col = 0; col < 8; ++col) {
            Vertex3DTex& v = g_quadGrid[row * 8 + col];
            v.x = x, v.y = y, v.z = z, v.rhw = 1.0f, v.diffuse = color, v.u = tu, v.v = tv;
            x += sx, y += sy, tu += du;
        }
        lx += dlx, ly += dly, rx += drx, ry += dry, tv += dv;
    }
    DrawVertexGrid3D(device, 8, 8, g_quadGrid);
}

int G_D3D_DrawImageQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4,
                        float y4, const GraphRecord* graph, int transparent) {
    Direct3DDeviceRecord* r = CurrentRecord();
    if (D3D().object == nullptr || r == nullptr) return -1;
    if (D3D().targetRefused) return 0;
    if (graph == nullptr) return -1;
    if (DrawState.blendGraph != -1) {
        return G_D3D_DrawImageQuadPiece(
            TruncFloatToInt(x1), TruncFloatToInt(y1), TruncFloatToInt(x2), TruncFloatToInt(y2),
            TruncFloatToInt(x3), TruncFloatToInt(y3), TruncFloatToInt(x4), TruncFloatToInt(y4),
            graph, transparent);
    }
    if (OpenDraw(r, graph, transparent ? 0x01 : 0) == nullptr) return -1;
    const float ox = OriginX(), oy = OriginY();
    x1 += ox, x2 += ox, x3 += ox, x4 += ox;
    y1 += oy, y2 += oy, y3 += oy, y4 += oy;
    if (graph->pieceCount == 1) {
        EmitTexturedQuad(static_cast<int32_t>(graph->pieces[0]), x1, y1, x2, y2, x3, y3, x4, y4);
        return CloseDraw();
    }
    const double w = graph->width, h = graph->height;
    for (int i = 0; i < graph->pieceCount; ++i) {
        const Surface3DData* piece = PieceOf(graph, i);
        if (piece == nullptr) continue;  // EmitTexturedQuad draws nothing for it either
        float mx[4], my[4];
        for (int k = 0; k < 4; ++k) {
            const double s = piece->vertex[k].x / w, t = piece->vertex[k].y / h;
            const double lx = x1 + (double(x3) - x1) * t, ly = y1 + (double(y3) - y1) * t;
            const double rx = x2 + (double(x4) - x2) * t, ry = y2 + (double(y4) - y2) * t;
            mx[k] = static_cast<float>(lx + (rx - lx) * s);
            my[k] = static_cast<float>(ly + (ry - ly) * s);
        }
        EmitTexturedQuad(static_cast<int32_t>(graph->pieces[i]), mx[0], my[0], mx[1], my[1], mx[2],
                         my[2], mx[3], my[3]);
    }
    return CloseDraw();
}

int G_D3D_DrawImageQuadPiece(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4,
                             const GraphRecord* graph, int transparent) {
    if (x1 == x3 && x2 == x4 && y1 == y2 && y3 == y4) {
        return G_D3D_DrawImageStretched(x1, y1, x4, y4, 0, 0, 0, 0, graph, transparent, 1);
    }
    if (DrawState.blendGraph == -1) {
        return G_D3D_DrawImageQuad(float(x1), float(y1), float(x2), float(y2), float(x3), float(y3),
                                   float(x4), float(y4), graph, transparent);
    }
    Direct3DDeviceRecord* r = CurrentRecord();
    if (D3D().object == nullptr || r == nullptr) return -1;
    if (D3D().targetRefused) return 0;
    if (graph == nullptr || graph->width <= 0 || graph->height <= 0) return -1;
    const int32_t device = D3D().currentDevice;
    FlushVertexBatch(device);
    const int ox = DrawState.clientRect.left, oy = DrawState.clientRect.top;
    x1 += ox, x2 += ox, x3 += ox, x4 += ox;
    y1 += oy, y2 += oy, y3 += oy, y4 += oy;
    if (OpenDraw(r, graph, (transparent ? 0x01 : 0) | 0x02) == nullptr) return -1;
    AffineMaps m{};
    m.W = static_cast<float>(graph->width), m.H = static_cast<float>(graph->height);
    m.x1 = float(x1), m.y1 = float(y1), m.x4 = float(x4), m.y4 = float(y4);
    m.ux[0] = float(x2 - x1) / m.W, m.ux[1] = float(x3 - x1) / m.H;
    m.uy[0] = float(y2 - y1) / m.W, m.uy[1] = float(y3 - y1) / m.H;
    m.lx[0] = float(x4 - x3) / m.W, m.lx[1] = float(x4 - x2) / m.H;
    m.ly[0] = float(y4 - y3) / m.W, m.ly[1] = float(y4 - y2) / m.H;
    for (int i = 0; i < graph->pieceCount; ++i) {
        const Surface3DData* piece = PieceOf(graph, i);
        if (piece == nullptr) return -1;
        plat::DirectDrawSurface* surface = PieceSurface(piece);
        if (r->texture != surface) {
            SetTexture3D(device, surface);
            SetBlendModeStates(device);
        }
        const uint32_t kind = r->batchKind;
        if (kind == 0) continue;
        Corner c[4];
        for (int k = 0; k < 4; ++k) c[k] = m.Map(piece, k);
        const float A =
            (c[2].y - c[0].y) * (c[1].x - c[0].x) - (c[1].y - c[0].y) * (c[2].x - c[0].x);
        const float B =
            (c[1].y - c[3].y) * (c[2].x - c[3].x) - (c[2].y - c[3].y) * (c[1].x - c[3].x);
        if ((A <= 0 && B <= 0) || (A < 0 && B > 0)) std::swap(c[1], c[2]);
        Vertex3DBlend blend[4];
        Vertex3DTex tex[4];
        void* area = kind == 2 ? static_cast<void*>(blend) : static_cast<void*>(tex);
        for (int k = 0; k < 4; ++k) {
            WriteVertex(kind, area, k, c[k], true);
            if (kind == 2)
                blend[k].rhw = 1.0f, blend[k].specular = 0xFFFFFFFFu;
            else
                tex[k].rhw = 1.0f;
        }
        // A discarded batch (blend parameter 255 of a mode that draws nothing) discards this
        // strip too.
        if (r->discardBatch == 0 && r->device != nullptr)
            r->device->DrawPrimitive(plat::D3DPT_TRIANGLESTRIP, VertexKindTable[kind].fvf, area, 4,
                                     0);
    }
    return CloseDraw();
}

int G_D3D_DrawImageRotatedAbout(int x1, int y1, int x2, int y2, int ox, int oy, double scale,
                                double angle, const GraphRecord* graph, int transparent) {
    if (D3D().object == nullptr || CurrentRecord() == nullptr) return -1;
    if (graph == nullptr || graph->width <= 0 || graph->height <= 0) return -1;
    // A pattern of no size covers nothing.
    if (!(scale > 0.0)) return 0;
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    const int w = graph->width, h = graph->height;
    const int mx = ox % w, my = oy % h;
    float sn, cs;
    GetSinCos(static_cast<float>(angle), &sn, &cs);
    const double ux = cs * w * scale, uy = sn * w * scale;
    const double vx = -sn * h * scale, vy = cs * h * scale;
    const double rw = double(x2) - x1, rh = double(y2) - y1;
    const double diag = std::sqrt(rw * rw + rh * rh);
    const double count = diag / (std::min(w, h) * scale) + 2.0;
    // Tiles are drawn n x n: past this many a side the draw is refused rather than hanging.
    if (!(count <= double(kMaxRotatedAboutTiles))) return -1;
    int n = static_cast<int>(count);
    if (n % 2 == 0) ++n;
    const Rect kept = DrawState.DrawArea;
    ApplyDrawClipRect(x1, y1, x2, y2);
    const int64_t ax = -int64_t(mx) - int64_t(w) * n / 2, ay = -int64_t(my) - int64_t(h) * n / 2;
    const double as = double(ax) * scale, bs = double(ay) * scale;
    double startX = x1 + rw * 0.5 + as * cs - bs * sn;
    double startY = y1 + rh * 0.5 + as * sn + bs * cs;
    for (int j = 0; j < n; ++j) {
        double px = startX, py = startY;
        for (int i = 0; i < n; ++i) {
            G_D3D_DrawImageQuad(float(px), float(py), float(px + ux), float(py + uy),
                                float(px + vx), float(py + vy), float(px + ux + vx),
                                float(py + uy + vy), graph, transparent);
            px += ux, py += uy;
        }
        startX += vx, startY += vy;
    }
    ApplyDrawClipRect(kept.left, kept.top, kept.right, kept.bottom);
    return 0;
}

}  // namespace tessra
