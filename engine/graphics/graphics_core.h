// What the engine core asks of the graphics core: starting and stopping it with DirectDraw, the
// bodies of the public graph, drawing and draw-state calls, and the restore, movie and mask
// steps that start-up, the inactive pause and the window procedure run.
#pragma once

#include <cstdint>

#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_table.h"
#include "platform/win/types.h"

namespace tessra {

struct GraphImage;
struct Rect;

// Starting DirectDraw for the graphics core (the graph table and the draw state's setters are
// in graph_table.h and draw_state.h).
int StartDirectDrawWithFallback(plat::HWND window);  // 0, or -1
int StopDirectDraw();

// Draw target and draw area.
int ClearDrawTargetAndRepaint();
int SetDrawTargetAndArea(int target);  // -2 back screen, -4 front screen, or a graph
int ApplyDrawClipRect(int left, int top, int right, int bottom);

// The 2-D drawing front end.
int CopyDrawScreenToGraph(int x1, int y1, int x2, int y2, int graph, int option);
int DrawGraphAt(int x, int y, int graph, int transparent);
int DrawGraphStretched(int x1, int y1, int x2, int y2, int graph, int transparent);
int DrawGraphRotatedF(int x, int y, double scale, double angle, int graph, int transparent,
                      int turn);
int DrawGraphMirrored(int x, int y, int graph, int transparent);
int DrawGraphRotatedAbout(int x1, int y1, int x2, int y2, int px, int py, double scale,
                          double angle, int graph, int transparent);
int DrawLineClipped(int x1, int y1, int x2, int y2, uint32_t color);
int FillOrFrameRectangle(int x1, int y1, int x2, int y2, uint32_t color, int fill);
int DrawOvalInBounds(int x, int y, int radiusX, int radiusY, uint32_t color, int fill);
// Clips `rect` to `bound`; the result may be empty.
int ClipRectToRect(Rect* rect, const Rect* bound);

// The mask screen.
int SetMaskDrawEnabled(int flag);
int IsMaskInUse();  // the mask-enabled value

// Restore after device loss.
using GraphRestoreRoutine = void (*)();
int InstallGraphRestoreRoutine(GraphRestoreRoutine routine);  // null: the default routine
int HasGraphRestoreRoutine();
int RestoreAllGraphSurfaces();

// Movies.
int PlayAllGraphMovies();
int StopAllGraphMovies();
int ReleaseAllMovieObjects();

}  // namespace tessra
