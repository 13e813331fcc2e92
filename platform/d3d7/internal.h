// Private to platform/d3d7 (the layer's Reset and the tests reach in too): the device's state
// as the rasteriser reads it.
#pragma once

#include <map>

#include "platform/d3d7/d3d7.h"

namespace plat {

struct Direct3DDeviceState {
    DirectDrawSurface* target = nullptr;
    DWORD renderStates[kRenderStateCount] = {};
    DWORD stageStates[kStageCount][kStageStateCount] = {};
    DirectDrawSurface* textures[kStageCount] = {};
    D3DVIEWPORT7 viewport{};
    std::map<DWORD, D3DMATRIX> transforms;
    bool inScene = false;
};

namespace detail {

void ResetDirect3DControls();

// Draws the primitives into state.target, clipped to the viewport. Indices null: vertices in
// order. The caller has checked the type, the format and the counts.
void Rasterise(const Direct3DDeviceState& state, D3DPRIMITIVETYPE type, DWORD fvf,
               const void* vertices, DWORD vertexCount, const WORD* indices, DWORD indexCount);

// Whether the rasteriser may take its specialised spans (on by default); off forces the
// general path, which the spans must match bit for bit.
void SetFastSpans(bool on);

// Bytes of one vertex of a supported format, or 0.
DWORD VertexSize(DWORD fvf);

}  // namespace detail
}  // namespace plat
