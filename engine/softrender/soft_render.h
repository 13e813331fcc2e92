// The software renderer's blits and primitives: plain and stretched blits between memory images,
// lines, rectangle outlines and filled rectangles, under the blend mode, parameter, brightness
// and draw area of DrawState. Main thread only, under the engine lock.
#pragma once

#include <cstdint>

#include "engine/graphics/color_format.h"
#include "engine/screen/memimg.h"

namespace tessra {

struct GraphRecord;

// 1 when the processor has MMX; chooses the saturating byte forms of the 32-bit add and subtract
// at full strength. Every x86-64 processor has it; the display start-up and tests may set it.
extern int32_t MmxAvailable;

// One entry of a line list: x1, y1, x2, y2, colour, blend parameter (the last is not read here).
struct LineRecord {
    int32_t x1;
    int32_t y1;
    int32_t x2;
    int32_t y2;
    int32_t color;
    int32_t blendParam;
};

// Blends src into dest with src's top-left pixel at (x, y). transparent: 0 draws every pixel,
// non-zero skips transparent ones, 1 also allows the run-data path. blendImage: null, or one byte
// per pixel addressed by source coordinates. Clipped to the draw area, the destination and the
// blend image; draws nothing when the kinds differ or dest is paletted or has alpha.
void MemImgBlit(MEMIMG* dest, const MEMIMG* src, int32_t x, int32_t y, int32_t transparent,
                const MEMIMG* blendImage);
// Draws src scaled (nearest neighbour) into rect of dest; x1 > x2 or y1 > y2 mirrors that axis.
// Sides of 32768 or more, and a dest of another kind, draw nothing.
void MemImgStretchBlit(MEMIMG* dest, const MEMIMG* src, const Rect* rect, int32_t transparent,
                       const MEMIMG* blendImage);
// A one-pixel line; the pixel at (x2, y2) is not drawn. colour is a pixel value of dest's format.
void MemImgDrawLine(MEMIMG* dest, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color);
// Each record with MemImgDrawLine, in order; a count of 0 or less draws nothing.
void MemImgDrawLineList(MEMIMG* dest, const LineRecord* lines, int32_t count);
// Fills rect (null: the whole image) clipped to the draw area and to dest, under the draw
// state's blend mode and brightness. (FillMemImgRect in memimg.h is the raw fill: one pixel
// value, no draw state.)
void MemImgFillRect(MEMIMG* dest, const Rect* rect, uint32_t color);

// Textured triangles. Positions and texture coordinates are whole numbers within these limits,
// so that every 14.18 value fits in 32 bits; a triangle with any value outside is not drawn.
inline constexpr int32_t kMinTriangleCoordinate = -8192;
inline constexpr int32_t kMaxTriangleCoordinate = 8191;
// Maps src onto the triangle of three vertices (x, y, u, v each: destination pixel, source
// texel), clipped to the draw area, under the draw state's blend mode and brightness. Spans
// include their right end; the bottom vertex's row is left out. transparent: non-zero skips the
// source's transparent colour (or alpha 0). blendImage: null, or one byte per texel; only the
// texels it covers are drawn. reserved is not read. Nothing is drawn for a null or unusable
// source, kinds that differ, or a paletted destination or one with alpha.
void MemImgDrawTriangle(MEMIMG* dest, const MEMIMG* src, const int vertices[12],
                        int32_t transparent, const MEMIMG* blendImage, int32_t reserved);
// The whole of src onto four corners (x, y): top-left, top-right, bottom-left, bottom-right, as
// two triangles that both draw the shared diagonal.
void MemImgDrawQuad(MEMIMG* dest, const MEMIMG* src, const int corners[8], int32_t transparent,
                    const MEMIMG* blendImage);
// The rectangle a triangle of these vertices can write: the whole-pixel box of its vertices,
// right and bottom one past. Returns 0.
int TriangleWriteRect(const int vertices[12], Rect* rect);

// Draws src turned by angle (radians, clockwise on the screen) and scaled, its centre texel
// (W / 2, H / 2) on (x, y); mirror flips it left to right first (drawn as a quad). Every pixel
// of RotateBlitRect's box inside the draw area whose texel lies in src (and in the blend image)
// is drawn by the same rules as the triangles. A scale of 0, or an angle or scale that is not a
// finite number, draws nothing.
void MemImgRotateBlit(MEMIMG* dest, const MEMIMG* src, int32_t x, int32_t y, float angle,
                      float scale, int32_t transparent, int32_t mirror, const MEMIMG* blendImage);
// The rectangle MemImgRotateBlit may write for an image of this size (before the draw area):
// its corners' box, 2 pixels wider on the left and top and 4 on the right and bottom. 0, or -1
// when the blit would draw nothing.
int RotateBlitRect(int32_t x, int32_t y, float angle, float scale, int32_t width, int32_t height,
                   Rect* rect);
// An ellipse of radii rx, ry (negative: their absolute values; 0: nothing) centred on (cx, cy),
// one pixel wide, or filled when fill is non-zero, in colour (dest's pixel format) under the
// blend mode and brightness, clipped to the draw area. Every pixel of a fill is blended once.
// Radii above kMaxEllipseRadius (ellipse_walk.h) draw nothing.
void MemImgDrawCircle(MEMIMG* dest, int32_t cx, int32_t cy, int32_t rx, int32_t ry, uint32_t color,
                      int32_t fill);

// Front ends on the current 2-D target. They return 0, or -1 when graphics are not started or
// the locked path fails. Coordinate form 1: whole numbers; otherwise the bits of four floats.
int DrawImageStretchedSoft(int32_t x1, int32_t y1, int32_t x2, int32_t y2, const GraphRecord* graph,
                           int32_t transparent, int32_t form, int32_t surface);
int DrawLineSegmentSoft(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color);
int FillRectangleSoft(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color);
int FrameRectangleSoft(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t color);
// The graph (its first surface) turned and scaled about its centre, which lands on (x, y). 0, or
// -1 for a null graph, a missing surface or a failed preparation.
int DrawImageRotatedSoft(float x, float y, double scale, double angle, const GraphRecord* graph,
                         int32_t transparent, int32_t mirror);
// The graph's first surface mapped onto a triangle: vertices as for MemImgDrawTriangle. 0, or -1
// for a null graph, a missing surface or a failed preparation. reserved goes to the triangle.
int DrawTexturedTriangleSoft(const int vertices[12], const GraphRecord* graph, int32_t transparent,
                             int32_t reserved);
// The whole graph onto four corners: top-left (x0, y0), top-right (x1, y1), bottom-left
// (x2, y2), bottom-right (x3, y3), as two triangles. Always 0.
int DrawImageQuadSoft(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
                      int32_t x3, int32_t y3, const GraphRecord* graph, int32_t transparent);
// The same with corners truncated toward zero from floats, in the same order.
int DrawImageQuadSoftF(float x0, float y0, float x1, float y1, float x2, float y2, float x3,
                       float y3, const GraphRecord* graph, int32_t transparent);
// An ellipse as MemImgDrawCircle draws it. 0 (also when nothing was drawn), or -1 when graphics
// are not started or the locked path fails (a box that misses the draw area among them).
int DrawCircleSoft(int32_t cx, int32_t cy, int32_t rx, int32_t ry, uint32_t color, int32_t fill);

// A 2-D surface chosen as a stretched draw's source: its record, its handle, the image that
// holds its pixels and its rectangle inside that image.
struct SoftSurfaceSource {
    const void* surface;
    int32_t handle;
    const MEMIMG* image;
    int32_t x, y, width, height;
};

// What the front ends use of the screens-and-surfaces layer. That layer fills this table when
// it starts; a missing entry makes the front ends answer -1 (graphics not started).
struct SoftScreenServices {
    int (*GraphicsStarted)();       // a DirectDraw object exists, or the no-DirectDraw mode
    int (*MemImgScreens)();         // windowed at 16 or 32 bits: the screens are MEMIMGs
    MEMIMG* (*DrawTargetMemImg)();  // the current draw target's MEMIMG
    MEMIMG* (*GetMaskMemImg)();     // the mask screen's MEMIMG
    void (*EndPending3D)();         // flush the vertex batch and end an open scene
    // Locks the draw target (and the source surface); dest and src receive the prepared images.
    int (*PrepareBlit2D)(const void* surface, const Rect* sourceRect, const Rect* destRect,
                         int flag, uint32_t* color, MEMIMG** dest, MEMIMG** src);
    void (*FinishBlit2D)();
    int (*BltGraph2D)(int32_t x, int32_t y, int32_t surfaceHandle, int32_t transparent);
    int (*DrawLineList2D)(const LineRecord* lines, int32_t count);
    // The graph's surface (handle -1: its first one); -1 when it is missing.
    int (*GetStretchSource)(const GraphRecord* graph, int32_t surfaceHandle,
                            SoftSurfaceSource* source);
    const MEMIMG* (*GetGraphMemImg)();  // the blend graph's image, or null
    // The graph's width and height as its record holds them; -1 when it is missing.
    int (*GetGraphSize)(const GraphRecord* graph, int32_t* width, int32_t* height);
};
extern SoftScreenServices SoftScreen;

}  // namespace tessra
