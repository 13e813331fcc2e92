// Drawing on the draw target through the 2-D layer: choosing and clearing the target, the
// prepare/finish pair that gives the software renderer memory-image views of locked surfaces,
// and the 2-D blits, line lists, text and tiled fills built on it.
#pragma once

#include <cstdint>

#include "engine/graphics/color_format.h"
#include "engine/screen/memimg.h"

namespace plat {
class DirectDrawSurface;
}

namespace tessra {

struct GraphRecord;
struct LineRecord;
struct Surface2DRecord;

// What PrepareBlit2D set up for one software draw; FinishBlit2D undoes it.
struct BlitParamsRecord {
    MEMIMG* sourceImage;  // what the software renderer reads, or null without a source
    MEMIMG sourceView;
    int32_t sourceLocked;
    int32_t sourceViaWork;
    plat::DirectDrawSurface* sourceSurface;
    Rect sourceRect;
    MEMIMG* destImage;  // what the software renderer writes, in draw coordinates
    MEMIMG destView;
    int32_t destLocked;
    int32_t destViaWork;
    int32_t convert;  // the screen's pixels are neither 5:6:5 nor XRGB
    plat::DirectDrawSurface* destSurface;
    Rect destRect;
    Rect clippedRect;  // the draw rectangle cut to the draw area, in draw coordinates
    plat::DirectDrawSurface* targetSurface;
    Rect targetRect;  // clippedRect in the target surface's coordinates
    int32_t direct;   // the draw is one BltFast
};
BlitParamsRecord& GetBlitParams();
// Gives the software renderer this layer's services (entries already set are kept).
void InstallBlitServices();

// -4 front screen, -2 back screen, or a graph. 0, or -1 for a graph that cannot be drawn into.
int SelectDrawTarget(int target);
// Clears the draw target to colour 0 (and its depth buffer to 0xFFFF). 0, or -1 without a
// DirectDraw object.
int ClearDrawTarget();

// Prepares one draw of `surface` (null: a primitive) from `sourceRect` (surface coordinates) to
// `destRect` (draw coordinates). 0 when ready, -1 when there is nothing to draw (the rectangle
// misses the draw area) or a surface could not be locked: nothing is then left locked and the
// caller must skip the draw. Colours given are converted to the drawing format in place.
int PrepareBlit2D(const Surface2DRecord* surface, int directAllowed, const Rect* sourceRect,
                  const Rect* destRect, int wantLock, uint32_t* color1, uint32_t* color2);
void FinishBlit2D();

// The whole 2-D surface with its top-left at (x, y). 0, or -1.
int BltGraph2D(int32_t x, int32_t y, int32_t surfaceHandle, int32_t transparent);
// The graph's first tile at (x, y), truncated toward zero. 0, or -1.
int BltGraphF2D(double x, double y, const GraphRecord* graph, int32_t transparent);
int DrawLineList2D(const LineRecord* lines, int32_t count);
// A string in a font with a memory cache at (x, y), its top-left. 0, or -1 (no DirectDraw
// object, a bad font, a font whose cache is a texture, rendering failed).
int DrawText2D(int32_t x, int32_t y, const char* text, uint32_t color, int32_t font,
               uint32_t edgeColor, int32_t option);
// Fills (left, top, right, bottom) with the graph tiled, scaled and turned about the
// rectangle's centre; the pattern is moved by (offsetX, offsetY). 0, or -1 for a bad graph.
int BltGraphTransformed2D(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t offsetX,
                          int32_t offsetY, double scale, double angle, const GraphRecord* graph,
                          int32_t transparent);
// Copies the rectangle of the draw target into the graph (of exactly that size). 0, or -1.
int CopyDrawScreenToGraph2D(int32_t left, int32_t top, int32_t right, int32_t bottom,
                            const GraphRecord* graph);

// Most tiles BltGraphTransformed2D draws in one call.
inline constexpr int64_t kTransformedTileMax = 65536;

}  // namespace tessra
