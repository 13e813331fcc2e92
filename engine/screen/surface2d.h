// 2-D surfaces: on the DirectDraw path a graph keeps its pixels in one 2-D surface record that
// names the image data holding them (a DirectDraw surface or a MEMIMG) and the rectangle of it
// the graph shows. Derived graphs share their parent's image data through its reference count.
#pragma once

#include <cstdint>

#include "engine/base/handle.h"
#include "engine/graphics/color_format.h"

namespace plat {
class DirectDrawSurface;
}

namespace tessra {

struct GraphImage;
struct GraphRecord;
struct MovieRecord;
struct GraphFormatBytes;
struct MEMIMG;

inline constexpr int32_t kSurface2DMax = 32768;

struct Surface2DRecord {
    int32_t check;
    int32_t* userPointer;       // 1 is stored through it when the record is deleted
    uint16_t x, y;              // position inside the graph (0, 0 here)
    uint16_t sourceX, sourceY;  // the rectangle's origin inside the image data
    uint16_t width, height;
    int32_t ownerGraph;
    int32_t imageData;
};

using Surface2DTable = HandleTable<Surface2DRecord, kSurface2DMax>;
Surface2DTable& GetSurface2DTable();

// Handle, or -1 (no DirectDraw object while DirectDraw is in use, a full table, no memory or no
// image data). With a parent the new record shares the parent's image data.
int AddSurface2D(uint16_t width, uint16_t height, uint16_t x, uint16_t y, int32_t ownerGraph,
                 const Surface2DRecord* parent, uint16_t sourceX, uint16_t sourceY,
                 const GraphFormatBytes* format);
Surface2DRecord* GetSurface2D(int32_t handle);
// A 2-D graph's first tile; null for a texture graph, a graph without tiles or a stale handle.
Surface2DRecord* FirstSurfaceOf(const GraphRecord* graph);
int SetSurface2DUserPointer(int32_t handle, int32_t* pointer);
int DeleteSurface2D(int32_t handle);
int DeleteAllSurfaces2D();
int DeleteAllSurfaces2DChecked();

int CreateGraphSurfaces2D(GraphRecord* graph);
int CreateDerivedGraphSurface2D(GraphRecord* graph, int sourceX, int sourceY, int width, int height,
                                const GraphRecord* parent);
int DeleteGraphSurfaces2D(GraphRecord* graph);
int RestoreGraphSurfaces2D(GraphRecord* graph);
int ReleaseAllScreenImageSurfaces();
int RecreateAllScreenImageSurfaces();
int ApplyToGraphSurfaces2D(GraphRecord* graph, int r, int g, int b, int a);

// Converts (sx, sy, w, h) of the source into the memory image at (tx, ty); when the whole image
// was written, builds its transparency run data and, with per-pixel alpha, its premultiplied
// plane.
void TransferImageToSurface2D(const GraphImage* source, const GraphImage* alpha, MEMIMG* dest,
                              int sx, int sy, int w, int h, int tx, int ty);
int TransferSurface2DImage(MEMIMG* dest, const MEMIMG* source, const Rect* sourceRect, int x,
                           int y);
// Copies the source rectangle of the converted image (and alpha image) into the surface's image
// data at (tx, ty) of the surface. 0 or -1.
int TransferGraphImageToSurfaces2D(const GraphImage* image, const GraphImage* alpha,
                                   const Rect* sourceRect, int tx, int ty, int32_t surface,
                                   uint32_t option);
int BltImageToGraph2D(const GraphImage* image, const GraphImage* alpha, int x, int y,
                      GraphRecord* graph);
int BltImageToGraphSurfaces2D(const GraphImage* image, const GraphImage* alpha,
                              const Rect* sourceRect, int x, int y, GraphRecord* graph);
// method 0 BltFast, 1 GDI, -1 whichever the display measured faster (BltFast until then).
int BltSurfaceByGdi(plat::DirectDrawSurface* dest, plat::DirectDrawSurface* source, int x, int y,
                    const Rect* sourceRect, int method);
// Copies the movie's current frame (its frame image) into the graph's surface, converting when
// the formats differ; with the movie's alpha-in-frame setting the left half is the picture and
// the right half its alpha. 0 or -1.
int TransferMovieFrameToSurface2D(const MovieRecord* movie, GraphRecord* graph);
// The memory image of the current blend graph, or null.
MEMIMG* GetGraphMemImg();

}  // namespace tessra
