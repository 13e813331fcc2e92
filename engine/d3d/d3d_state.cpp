// The render-state cache, the vertex batch and the scene: every device state goes through a
// setter that compares with the device record and calls the device only on a change, and
// consecutive draws of one state share one DrawPrimitive call.
#include <cstring>

#include "engine/base/log.h"
#include "engine/base/sjis.h"
#include "engine/d3d/d3d_internal.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_table.h"
#include "engine/graphics/image_data.h"
#include "engine/screen/screen_state.h"
#include "engine/screen/surface2d.h"

namespace tessra {
using namespace sjis_literals;
namespace {

uint32_t g_diffuseColor = 0xFFFFFFFF;

// Device calls are skipped for a record whose device was released.
void RenderState(Direct3DDeviceRecord* r, plat::DWORD state, plat::DWORD value) {
    if (r->device != nullptr) r->device->SetRenderState(state, value);
}
void StageStateCall(Direct3DDeviceRecord* r, plat::DWORD stage, plat::DWORD state,
                    plat::DWORD value) {
    if (r->device != nullptr) r->device->SetTextureStageState(stage, state, value);
}

// Not ready, or nothing to do: the value equals the cached one and states are not forced.
bool Unchanged(const Direct3DDeviceRecord* r, uint32_t cached, uint32_t value) {
    return cached == value && r->forceStates == 0;
}

}  // namespace

uint32_t& DrawDiffuseColor3D() {
    return g_diffuseColor;
}

// --- Batch and scene --------------------------------------------------------------------------

int FlushVertexBatch(int32_t device) {
    Direct3DDeviceRecord* r = ReadyRecord(device);
    if (r == nullptr) return -1;
    if (r->batchCount != 0 && r->discardBatch == 0 && r->device != nullptr) {
        r->device->DrawPrimitive(static_cast<plat::D3DPRIMITIVETYPE>(r->batchPrimitive),
                                 VertexKindTable[r->batchKind].fvf, r->vertexArea[r->batchKind],
                                 r->batchCount, 0);
    }
    r->batchCount = 0;
    r->batchWritePtr = r->vertexArea[r->batchKind];
    return 0;
}

int FlushCurrentVertexBatch() {
    return FlushVertexBatch(D3D().currentDevice);
}

void BeginScene3D() {
    Direct3DDeviceRecord* r = CurrentRecord();
    if (r == nullptr || r->sceneBegun) return;
    if (r->device != nullptr) r->device->BeginScene();
    r->sceneBegun = 1;
}

int EndScene3D(int32_t device) {
    Direct3DDeviceRecord* r = ReadyRecord(device);
    if (r == nullptr) return -1;
    if (r->sceneBegun) {
        FlushVertexBatch(device);
        if (r->device != nullptr) r->device->EndScene();
        r->sceneBegun = 0;
    }
    return 0;
}

int EndSceneCurrent() {
    return EndScene3D(D3D().currentDevice);
}

void* AppendBatchVertices(Direct3DDeviceRecord* r, int32_t device, uint32_t primitive,
                          uint32_t count) {
    const VertexKind& kind = VertexKindTable[r->batchKind];
    if (r->batchCount != 0 &&
        (r->batchPrimitive != primitive || r->batchCount + count > kind.capacity)) {
        FlushVertexBatch(device);
    }
    r->batchPrimitive = primitive;
    void* at = r->batchWritePtr;
    r->batchWritePtr += static_cast<size_t>(count) * kind.bytes;
    r->batchCount += count;
    return at;
}

int DrawVertexGrid3D(int32_t device, int columns, int rows, const Vertex3DTex* vertices) {
    Direct3DDeviceRecord* r = ReadyRecord(device);
    // One row's strip must fit the index buffer.
    if (r == nullptr || columns < 2 || rows < 2 || 2 * columns + 2 > 1000) return -1;
    FlushVertexBatch(device);
    uint16_t indices[1000];
    int k = 0;
    const auto draw = [&] {
        if (k > 0 && r->device != nullptr) {
            r->device->DrawIndexedPrimitive(plat::D3DPT_TRIANGLESTRIP, 0x144, vertices,
                                            static_cast<plat::DWORD>(columns * rows), indices,
                                            static_cast<plat::DWORD>(k), 0);
        }
    };
    for (int row = 0; row <= rows - 2; ++row) {
        const int first = row * columns;
        if (k + 2 * columns + 2 > 1000) {
            draw();
            k = 0;
        } else if (k > 0) {
            indices[k++] = static_cast<uint16_t>(first + columns);  // the degenerate join
        }
        for (int c = 0; c < columns; ++c) {
            indices[k++] = static_cast<uint16_t>(first + c + columns);
            indices[k++] = static_cast<uint16_t>(first + c);
        }
        if (row != rows - 2) {
            indices[k] = indices[k - 1];
            ++k;
        }
    }
    draw();
    return 0;
}

// --- Cached setters ---------------------------------------------------------------------------

int SetRenderStatePerspective(int32_t device, uint32_t value) {
    Direct3DDeviceRecord* r = ReadyRecord(device);
    if (r == nullptr) return -1;
    if (Unchanged(r, r->perspectiveEnable, value)) return 0;
    r->perspectiveEnable = value;
    if (r->device == nullptr) return 0;
    return r->device->SetRenderState(plat::D3DRENDERSTATE_TEXTUREPERSPECTIVE, value) == plat::D3D_OK
               ? 0
               : -1;
}

namespace {

// The plain render-state setters: on a change (or forced), flush, send and store.
int SetCachedRenderState(int32_t device, uint32_t Direct3DDeviceRecord::*field, plat::DWORD state,
                         uint32_t value, uint32_t sent) {
    Direct3DDeviceRecord* r = ReadyRecord(device);
    if (r == nullptr) return -1;
    if (Unchanged(r, r->*field, value)) return 0;
    FlushVertexBatch(device);
    RenderState(r, state, sent);
    r->*field = value;
    return 0;
}

}  // namespace

int SetRenderStateColorKey(int32_t device, uint32_t value) {
    return SetCachedRenderState(device, &Direct3DDeviceRecord::colorKeyEnable,
                                plat::D3DRENDERSTATE_COLORKEYENABLE, value, value);
}

int SetRenderStateZEnable(int32_t device, uint32_t value) {
    return SetCachedRenderState(device, &Direct3DDeviceRecord::zEnable,
                                plat::D3DRENDERSTATE_ZENABLE, value, value == 1 ? 1 : 0);
}

int SetRenderStateZWrite(int32_t device, uint32_t value) {
    return SetCachedRenderState(device, &Direct3DDeviceRecord::zWriteEnable,
                                plat::D3DRENDERSTATE_ZWRITEENABLE, value, value);
}

int SetRenderStateZFunc(int32_t device, uint32_t value) {
    return SetCachedRenderState(device, &Direct3DDeviceRecord::zFunc, plat::D3DRENDERSTATE_ZFUNC,
                                value, value);
}

int SetRenderStateShadeMode(int32_t device, uint32_t value) {
    Direct3DDeviceRecord* r = ReadyRecord(device);
    if (r == nullptr) return -1;
    if (Unchanged(r, r->shadeMode, value)) return 0;
    r->shadeMode = value;
    FlushVertexBatch(device);
    if (r->device == nullptr) return 0;
    return r->device->SetRenderState(plat::D3DRENDERSTATE_SHADEMODE, value) == plat::D3D_OK ? 0
                                                                                            : -1;
}

int SetTextureFilter(int32_t device, uint32_t mode) {
    Direct3DDeviceRecord* r = ReadyRecord(device);
    if (r == nullptr) return -1;
    if (Unchanged(r, r->filterMode, mode)) return 0;
    FlushVertexBatch(device);
    if (mode > 1) return -1;
    const plat::DWORD mag = mode == 0 ? plat::D3DTFG_POINT : plat::D3DTFG_LINEAR;
    const plat::DWORD min = mode == 0 ? plat::D3DTFN_POINT : plat::D3DTFN_LINEAR;
    for (uint32_t s = 0; s < r->stageCount; ++s) {
        StageStateCall(r, s, plat::D3DTSS_MAGFILTER, mag);
        StageStateCall(r, s, plat::D3DTSS_MINFILTER, min);
    }
    r->filterMode = mode;
    return 0;
}

int SetTexture3D(int32_t device, plat::DirectDrawSurface* texture) {
    Direct3DDeviceRecord* r = ReadyRecord(device);
    if (r == nullptr) return -1;
    if (r->texture == texture && r->forceStates == 0) return 0;
    FlushVertexBatch(device);
    r->textureDirty = 1;
    if ((r->texture == nullptr) != (texture == nullptr)) r->stagesDirty = 1;
    r->texture = texture;
    return 0;
}

namespace {

// The modulation switches only mark the stages for the next SetBlendModeStates.
int SetStageSwitch(int32_t device, uint32_t Direct3DDeviceRecord::*field, uint32_t value) {
    Direct3DDeviceRecord* r = ReadyRecord(device);
    if (r == nullptr) return -1;
    if (Unchanged(r, r->*field, value)) return 0;
    FlushVertexBatch(device);
    r->stagesDirty = 1;
    r->*field = value;
    return 0;
}

}  // namespace

int SetTextureStageValueA(int32_t device, uint32_t value) {
    return SetStageSwitch(device, &Direct3DDeviceRecord::modulateAlpha, value);
}

int SetTextureStageValueB(int32_t device, uint32_t value) {
    return SetStageSwitch(device, &Direct3DDeviceRecord::modulateColor, value);
}

int SetTextureStageOps(int32_t device, uint32_t blendMode, uint32_t alpha, uint32_t alphaTest) {
    Direct3DDeviceRecord* r = ReadyRecord(device);
    if (r == nullptr) return -1;
    if (r->blendMode == blendMode && r->textureAlpha == alpha && r->textureAlphaTest == alphaTest &&
        r->forceStates == 0) {
        return 0;
    }
    FlushVertexBatch(device);
    r->stagesDirty = 1;
    r->blendMode = blendMode;
    r->textureAlpha = alpha;
    r->textureAlphaTest = alphaTest;
    return 0;
}

int SetTextureWithBlend(int32_t device, plat::DirectDrawSurface* texture, int32_t param,
                        int32_t range) {
    Direct3DDeviceRecord* r = ReadyRecord(device);
    if (r == nullptr) return -1;
    if (r->forceStates == 0) {
        if (texture == nullptr && r->blendTexture == nullptr) return 0;
        if (texture == r->blendTexture && param == r->blendBorderParam &&
            range == r->blendBorderRange) {
            return 0;
        }
    }
    FlushVertexBatch(device);
    r->blendTexture = texture;
    if (param != -1) r->blendBorderParam = param;
    if (range != -1) r->blendBorderRange = range;
    r->stagesDirty = 1;
    return 0;
}

int SetRenderTarget3D(int32_t device, plat::DirectDrawSurface* target) {
    Direct3DDeviceRecord* r = ReadyRecord(device);
    if (r == nullptr) return -1;
    if (target != nullptr) {
        if (target == r->renderTarget && r->forceStates == 0) return 0;
        FlushVertexBatch(device);
        if (r->device != nullptr) r->device->SetRenderTarget(target, 0);
        r->renderTarget = target;
        return 0;
    }
    if (r->renderTarget == nullptr) return 0;
    FlushVertexBatch(device);
    if (r->device != nullptr) r->device->SetRenderTarget(r->defaultTarget, 0);
    r->renderTarget = r->defaultTarget;
    return 0;
}

int SetViewport3D(int32_t device, const plat::D3DVIEWPORT7* viewport) {
    Direct3DDeviceRecord* r = ReadyRecord(device);
    if (r == nullptr || viewport == nullptr) return -1;
    if (r->renderTarget == nullptr) return -1;
    const plat::D3DVIEWPORT7& v = r->viewport;
    if (r->forceStates == 0 && v.dwX == viewport->dwX && v.dwY == viewport->dwY &&
        v.dwWidth == viewport->dwWidth && v.dwHeight == viewport->dwHeight) {
        return 0;
    }
    FlushVertexBatch(device);
    EndScene3D(device);
    if (r->device != nullptr) {
        plat::D3DVIEWPORT7 copy = *viewport;
        const plat::HRESULT hr = r->device->SetViewport(&copy);
        if (hr != plat::D3D_OK) {
            return AppendLogFormat("ビューポートのセットに失敗しました ErrorCode %x"_sjis,
                                   static_cast<unsigned>(hr));
        }
    }
    r->viewport = *viewport;
    return 0;
}

int SetTextureAddressMode(int32_t device) {
    Direct3DDeviceRecord* r = ReadyRecord(device);
    if (r == nullptr) return -1;
    FlushVertexBatch(device);
    static constexpr plat::DWORD kCoordIndex[4] = {0, 1, 1, 0};
    for (plat::DWORD s = 0; s < 4; ++s) {
        StageStateCall(r, s, plat::D3DTSS_ADDRESS, r->textureAddress);
        StageStateCall(r, s, plat::D3DTSS_TEXCOORDINDEX, kCoordIndex[s]);
    }
    RenderState(r, plat::D3DRENDERSTATE_TEXTUREPERSPECTIVE, r->perspectiveEnable);
    RenderState(r, plat::D3DRENDERSTATE_SHADEMODE, r->shadeMode);
    RenderState(r, plat::D3DRENDERSTATE_COLORKEYENABLE, r->colorKeyEnable);
    RenderState(r, plat::D3DRENDERSTATE_LIGHTING, r->lightingEnable);
    RenderState(r, plat::D3DRENDERSTATE_CULLMODE, plat::D3DCULL_NONE);
    RenderState(r, plat::D3DRENDERSTATE_DITHERENABLE, 0);
    return 0;
}

// --- Draw-state services ----------------------------------------------------------------------

int SetTextureFilterCurrent(int mode) {
    if (D3D().object == nullptr) return -1;
    SetTextureFilter(D3D().currentDevice, static_cast<uint32_t>(mode));
    return 0;
}

int SetGraphTextureBlend(GraphRecord* graph, int param, int range) {
    Direct3DGlobals& g = D3D();
    if (graph != nullptr) {
        const Surface3DData* piece =
            graph->pieceCount > 0 ? Surface3DEntries().Find(static_cast<int32_t>(graph->pieces[0]),
                                                            kTextureHandleKind)
                                  : nullptr;
        if (piece == nullptr) return -1;
        const ImageDataRecord* image = GetImageDataRecord(piece->image);
        if (image == nullptr) return -1;
        SetTextureWithBlend(g.currentDevice, image->surface, param, range);
        g.blendTexWidth = static_cast<float>(image->width);
        g.blendTexHeight = static_cast<float>(image->height);
        g.blendTexScaleU = 1.0f / g.blendTexWidth;
        g.blendTexScaleV = 1.0f / g.blendTexHeight;
        return 0;
    }
    Direct3DDeviceRecord* r = CurrentRecord();
    if (r == nullptr || (r->forceStates == 0 && r->blendTexture == nullptr)) return 0;
    FlushVertexBatch(g.currentDevice);
    r->blendTexture = nullptr;
    if (param != -1) r->blendBorderParam = param;
    if (range != -1) r->blendBorderRange = range;
    r->stagesDirty = 1;
    return 0;
}

int SetRenderTarget3DForDrawScreen(int target) {
    Direct3DGlobals& g = D3D();
    if (g.object == nullptr) return 0;
    const int32_t device = g.currentDevice;
    FlushVertexBatch(device);
    EndScene3D(device);
    SetRenderTarget3D(device, nullptr);
    SetTexture3D(device, nullptr);
    if (target == kFrontScreen) {
        SetRenderTarget3D(device, GetPrimarySurface());
        g.targetIsFront = 1;
        g.targetRefused = 0;
        return 0;
    }
    if (target == kBackScreen) {
        SetRenderTarget3D(device, GetBackSurface());
        g.targetIsFront = 0;
        g.targetRefused = 0;
        return 0;
    }
    GraphRecord* graph = GetGraphRecord(target);
    if (graph == nullptr) return -1;
    // A graph of several pieces has no one surface to draw into: refused, so that its draws
    // are skipped instead of landing on the screen.
    if (graph->pieceCount > 1) {
        g.targetRefused = 1;
        return -1;
    }
    plat::DirectDrawSurface* surface = nullptr;
    if (graph->format.texture) {
        const Surface3DData* piece =
            Surface3DEntries().Find(static_cast<int32_t>(graph->pieces[0]), kTextureHandleKind);
        const ImageDataRecord* image =
            piece != nullptr ? GetImageDataRecord(piece->image) : nullptr;
        if (image == nullptr || !image->format.drawValid) return -1;
        surface = image->surface;
    } else {
        const Surface2DRecord* s2 = GetSurface2D(static_cast<int32_t>(graph->pieces[0]));
        const ImageDataRecord* image = s2 != nullptr ? GetImageDataRecord(s2->imageData) : nullptr;
        if (image == nullptr || image->usesMemImg) {
            g.targetRefused = 1;
            return -1;
        }
        surface = image->surface;
    }
    SetRenderTarget3D(device, surface);
    g.targetIsFront = 0;
    g.targetRefused = 0;
    return 0;
}

int ApplyDrawAreaToViewport3D(const Rect* area) {
    Direct3DGlobals& g = D3D();
    if (g.object == nullptr) return -1;
    if (g.targetRefused) return 0;
    if (area->right - area->left == 0 || area->bottom - area->top == 0) return -1;
    const plat::D3DVIEWPORT7 v{static_cast<plat::DWORD>(area->left + DrawState.clientRect.left),
                               static_cast<plat::DWORD>(area->top + DrawState.clientRect.top),
                               static_cast<plat::DWORD>(area->right - area->left),
                               static_cast<plat::DWORD>(area->bottom - area->top),
                               0.0f,
                               1.0f};
    return SetViewport3D(g.currentDevice, &v);
}

int ResetViewport3D(int maskEnabled) {
    Direct3DGlobals& g = D3D();
    if (g.object == nullptr) return -1;
    FlushVertexBatch(g.currentDevice);
    // The mask screen has no surface of its own here: the current target stands for it.
    SetRenderTarget3D(g.currentDevice, GetCurrentTargetSurface());
    const Rect& a = DrawState.DrawArea;
    if (IsDrawingToPrimary() && maskEnabled) {
        g.targetRefused = 0;
        const plat::D3DVIEWPORT7 v{static_cast<plat::DWORD>(a.left),
                                   static_cast<plat::DWORD>(a.top),
                                   static_cast<plat::DWORD>(a.right - a.left),
                                   static_cast<plat::DWORD>(a.bottom - a.top),
                                   0.0f,
                                   1.0f};
        if (SetViewport3D(g.currentDevice, &v) != 0) {
            return AppendLog("ビューポートのセットに失敗しました\n"_sjis);
        }
        return 0;
    }
    ApplyDrawAreaToViewport3D(&a);
    return 0;
}

namespace {

int SetTransform(plat::DWORD state, const float* matrix16) {
    Direct3DDeviceRecord* r = CurrentRecord();
    if (r == nullptr) return -1;
    if (r->device != nullptr && matrix16 != nullptr) {
        plat::D3DMATRIX m;
        std::memcpy(&m, matrix16, sizeof m);
        r->device->SetTransform(state, &m);
    }
    return 0;
}

}  // namespace

int SetWorldTransform(const float* matrix16) {
    return SetTransform(plat::D3DTRANSFORMSTATE_WORLD, matrix16);
}
int SetViewTransform(const float* matrix16) {
    return SetTransform(plat::D3DTRANSFORMSTATE_VIEW, matrix16);
}
int SetProjectionTransform(const float* matrix16) {
    return SetTransform(plat::D3DTRANSFORMSTATE_PROJECTION, matrix16);
}

void UpdateDrawDiffuseColor() {
    const uint32_t alpha =
        DrawState.blendMode != kBlendNone ? static_cast<uint32_t>(DrawState.blendParam) : 255u;
    g_diffuseColor = (alpha << 24) | DrawBrightnessPacked();
}

uint32_t GetDrawDiffuseColor() {
    return g_diffuseColor;
}

}  // namespace tessra
