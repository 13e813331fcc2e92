// The Direct3D back-end's services as a display without a Direct3D device answers them, and
// the two that need no device: the vertex colour and the unused-bits fill.
#include "engine/d3d/d3d.h"

#include "engine/graphics/draw_state.h"
#include "platform/ddraw/pixel_format.h"

namespace tessra {
namespace {
uint32_t g_diffuseColor = 0xFFFFFFFF;
}  // namespace

void* GetDirect3DDevice() {
    return nullptr;
}
int ReleaseAllTexturesIfReady() {
    return -1;
}
int EndSceneCurrent() {
    return -1;
}
int FlushCurrentVertexBatch() {
    return -1;
}
int CreateGraphTextures(GraphRecord*) {
    return -1;
}
int CreateDerivedGraphTextures(GraphRecord*, int, int, int, int, GraphRecord*) {
    return -1;
}
int DeleteGraphTextures(GraphRecord*) {
    return 0;
}
int BltImageToGraph3D(const GraphImage*, const GraphImage*, int, int, GraphRecord*) {
    return -1;
}
int FillGraphTextures(GraphRecord*, int, int, int, int) {
    return -1;
}
int SetTextureFilterCurrent(int) {
    return -1;
}
int SetGraphTextureBlend(GraphRecord*, int, int) {
    return 0;
}

void UpdateDrawDiffuseColor() {
    const uint32_t alpha =
        DrawState.blendMode != kBlendNone ? static_cast<uint32_t>(DrawState.blendParam) : 255u;
    g_diffuseColor = (alpha << 24) | DrawBrightnessPacked();
}

uint32_t GetDrawDiffuseColor() {
    return g_diffuseColor;
}

void FillUnusedPixelBits(const Rect* rect, uint8_t* pixels, int32_t pitch,
                         const ColorFormat* format, uint32_t value) {
    if (rect == nullptr || pixels == nullptr || format == nullptr || format->unusedMask == 0)
        return;
    const uint32_t bits =
        value == 0xFF ? format->unusedMask : (value << format->unusedShift) & format->unusedMask;
    const int bytes = format->bytesPerPixel;
    for (int32_t y = rect->top; y < rect->bottom; ++y) {
        uint8_t* row = pixels + static_cast<int64_t>(y) * pitch;
        for (int32_t x = rect->left; x < rect->right; ++x) {
            uint8_t* p = row + static_cast<int64_t>(x) * bytes;
            plat::WritePixelBytes(p, bytes, plat::ReadPixelBytes(p, bytes) | bits);
        }
    }
}

}  // namespace tessra
