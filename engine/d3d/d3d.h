// What the engine asks of the Direct3D back-end: set-up and tear-down around screen-mode
// changes and display rebuilds, the texture formats, the scene and vertex batch that every
// other surface user closes first, the textures of graphs, and the draw-state setters.
//
// Without a Direct3D object every service fails quietly (-1 unless said otherwise), so the
// screens and the graphics core call them unconditionally.
#pragma once

#include <cstdint>

#include "engine/graphics/color_format.h"

namespace plat {
class DirectDrawSurface;
class Direct3DDevice;
struct DDPixelFormat;
}  // namespace plat

namespace tessra {

struct GraphImage;
struct GraphRecord;

// --- Set-up and tear-down ---------------------------------------------------------------------
// 0 when the device stands (full screen with DirectDraw), else -1 and no Direct3D.
int InitializeDirect3D();
int TerminateDirect3D();      // -1 when there was no Direct3D object
int ReleaseDirect3DObject();  // before a display rebuild; settings and texture entries stay
int AcquireDirect3DObject();  // after it; -1 when the device cannot be had again
plat::Direct3DDevice* GetDirect3DDevice();  // null without a device
int ReleaseAllTexturesIfReady();            // -1 without Direct3D, else deletes every entry

// Texture formats. A request is the six leading format bytes of an image-data record: texture,
// alpha channel, draw-valid, (unread), alpha test, colour bits.
int GetTextureFormatIndex(const uint8_t* request);
const plat::DDPixelFormat* GetTextureFormatByIndex(int index);
const ColorFormat* GetTextureColorDataByIndex(int index);
const ColorFormat* GetTextureColorData(const uint8_t* request);
const ColorFormat* SelectTextureFormat(uint8_t alpha, uint8_t alphaTest, int32_t wide,
                                       uint8_t drawValid);
const plat::DDPixelFormat* GetZBufferPixelFormat();

// --- Scene and batch: -1 without a device -----------------------------------------------------
int EndSceneCurrent();
int FlushCurrentVertexBatch();

// --- Textures of graphs -----------------------------------------------------------------------
int RestoreAllTextures();              // on window activation
int SetTextureDivisionFlag(int flag);  // stores the inverse; body of SetTextureSizeFitting
int CreateGraphTextures(GraphRecord* graph);
int CreateDerivedGraphTextures(GraphRecord* graph, int x, int y, int width, int height,
                               GraphRecord* source);
int DeleteGraphTextures(GraphRecord* graph);
// The picture (with its alpha picture or none) into every piece, the piece at graph (gx, gy)
// taking the picture's (gx + x, gy + y).
int BltImageToGraph3D(const GraphImage* image, const GraphImage* alpha, int x, int y,
                      GraphRecord* graph);
// The rectangle of the picture to (x, y) of the graph.
int BltImageRectToGraph3D(const GraphImage* image, const GraphImage* alpha, const Rect* sourceRect,
                          int x, int y, GraphRecord* graph);
// A movie frame (alpha in its right half when alphaInFrame) into the pieces at their source
// places.
int ReloadGraphTextures(const GraphImage* frame, int alphaInFrame, GraphRecord* graph);
int FillGraphTextures(GraphRecord* graph, int r, int g, int b, int a);
int RestoreGraphTextures(GraphRecord* graph);
int Graph3DNoOp();

// --- Graphs: -1 without Direct3D or with a missing piece; 0, nothing drawn, while the draw
// target is refused for 3-D. The transparent flag makes the colour key or alpha count.
// Top-left at (x, y), 1:1: integer flag 1 takes xi, yi, else xf, yf.
int G_D3D_DrawImage(int xi, int yi, float xf, float yf, const GraphRecord* graph, int transparent,
                    int integerFlag);
// Fills (x1, y1)-(x2, y2), right and bottom exclusive; x2 < x1 or y2 < y1 mirrors. -1 when
// the rectangle has no width or height.
int G_D3D_DrawImageStretched(int x1i, int y1i, int x2i, int y2i, float x1f, float y1f, float x2f,
                             float y2f, const GraphRecord* graph, int transparent, int integerFlag);
// About the centre (x, y); the angle in radians turns clockwise on screen; turn 1 mirrors left
// to right. -1 for a scale of 0.
int G_D3D_DrawImageRotated(float x, float y, double scale, double angle, const GraphRecord* graph,
                           int transparent, int turn);
// The graph's top-left, top-right, bottom-left and bottom-right corners to the four points.
int G_D3D_DrawImageQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4,
                        float y4, const GraphRecord* graph, int transparent);
// The same quad piece by piece with one affine map on each side of the graph's diagonal; the
// way quads go while a blend graph is selected.
int G_D3D_DrawImageQuadPiece(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4,
                             const GraphRecord* graph, int transparent);
// Tiles the rectangle with the graph turned about its centre and scaled, the pattern shifted by
// (ox, oy). 0 for a scale of 0 or less; -1 when a side would need more than
// kMaxRotatedAboutTiles tiles.
inline constexpr int kMaxRotatedAboutTiles = 1024;
int G_D3D_DrawImageRotatedAbout(int x1, int y1, int x2, int y2, int ox, int oy, double scale,
                                double angle, const GraphRecord* graph, int transparent);

// --- Shapes: -1 without Direct3D; a target refused for 3-D draws them in software ---------
// The colour is a pixel value of the screen's format; right and bottom are exclusive.
int G_D3D_FillRectangle(int x1, int y1, int x2, int y2, uint32_t color);
int G_D3D_DrawLineSegment(int x1, int y1, int x2, int y2, uint32_t color);
int G_D3D_FrameRectangle(int x1, int y1, int x2, int y2, uint32_t color);
// A filled (fill not 0) or outlined ellipse about (cx, cy), drawn like the software one. -1 for
// a radius of 0, or when a fill's row flags cannot be had.
int G_D3D_DrawCircle(int cx, int cy, int rx, int ry, uint32_t color, int fill);
// Clears a texture graph that is the draw target (its depth buffer too); screens are left to
// the screens. 0; -1 without Direct3D or without the graph's first piece.
int G_D3D_ClearDrawTarget();

// A string in a font through its texture glyph cache; a font with a memory cache goes to the 2-D
// text call with the same arguments and gives its result. 0; -1 while the draw target is refused.
int DrawText3D(int x, int y, const char* text, uint32_t color, int fontHandle, uint32_t edgeColor,
               int flag);

// --- Draw state -------------------------------------------------------------------------------
int SetTextureFilterCurrent(int mode);
int SetGraphTextureBlend(GraphRecord* blendGraph, int param1, int param2);
int ApplyDrawAreaToViewport3D(const Rect* area);
int ResetViewport3D(int maskEnabled);
int SetRenderTarget3DForDrawScreen(int target);
int SetWorldTransform(const float* matrix16);
int SetViewTransform(const float* matrix16);
int SetProjectionTransform(const float* matrix16);
// Packs the vertex colour from the draw state: alpha = the blend parameter unless the blend
// mode is none (then 255), then the brightness's red, green and blue (0xAARRGGBB). Works also
// without Direct3D.
void UpdateDrawDiffuseColor();
uint32_t GetDrawDiffuseColor();

// Copies the rectangle (x1, y1)-(x2, y2) of the draw target into the texture graph, each piece
// at its own size, by the first of five methods that works (the one that worked last for the
// graph's kind of texture first). 0; -1 without Direct3D, for a graph without its first piece,
// while the draw target is refused, or when every method failed.
int G_D3D_GetDrawScreenGraph(int x1, int y1, int x2, int y2, const GraphRecord* graph,
                             int clientFlag);

// ORs `value` into the bits of each pixel of the rectangle that no colour channel uses (all of
// them with 0xFF), so that copied screen pixels count as opaque.
void FillUnusedPixelBits(const Rect* rect, uint8_t* pixels, int32_t pitch,
                         const ColorFormat* format, uint32_t value);

}  // namespace tessra
