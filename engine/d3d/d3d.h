// What the engine asks of the Direct3D back-end. Until the back-end is built, its services
// answer as a display without a Direct3D device does (every graph is then 2-D); the vertex
// colour and the unused-bits fill are real.
#pragma once

#include <cstdint>

#include "engine/graphics/color_format.h"

namespace tessra {

struct GraphImage;
struct GraphRecord;

int RestoreAllTextures();              // on window activation
int SetTextureDivisionFlag(int flag);  // stores the inverse; body of SetTextureSizeFitting

// Device and scene: -1 without a device.
void* GetDirect3DDevice();  // null
int ReleaseAllTexturesIfReady();
int EndSceneCurrent();
int FlushCurrentVertexBatch();

// Textures of graphs: -1 without a device (deleting a graph's textures is always 0).
int CreateGraphTextures(GraphRecord* graph);
int CreateDerivedGraphTextures(GraphRecord* graph, int x, int y, int width, int height,
                               GraphRecord* source);
int DeleteGraphTextures(GraphRecord* graph);
int BltImageToGraph3D(const GraphImage* image, const GraphImage* alpha, int x, int y,
                      GraphRecord* graph);
int FillGraphTextures(GraphRecord* graph, int r, int g, int b, int a);

// Draw state.
int SetTextureFilterCurrent(int mode);
int SetGraphTextureBlend(GraphRecord* blendGraph, int param1, int param2);
// Packs the vertex colour from the draw state: alpha = the blend parameter unless the blend
// mode is none (then 255), then the brightness's red, green and blue (0xAARRGGBB).
void UpdateDrawDiffuseColor();
uint32_t GetDrawDiffuseColor();

// ORs `value` into the bits of each pixel of the rectangle that no colour channel uses (all of
// them with 0xFF), so that copied screen pixels count as opaque.
void FillUnusedPixelBits(const Rect* rect, uint8_t* pixels, int32_t pitch,
                         const ColorFormat* format, uint32_t value);

}  // namespace tessra
