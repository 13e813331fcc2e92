// The 2-D drawing front end: choosing the draw target and its clip rectangle, and every 2-D draw
// of the engine (graphs, lines, boxes, ovals, screen copies). Each call checks its arguments
// against the graph table and the draw state, brackets the draw with the mask steps, keeps a
// windowed front screen in step with the window, and hands the draw to one back-end.
#pragma once

#include <cstdint>

#include "engine/graphics/color_format.h"

namespace tessra {

// Draw target and draw area.
int SetDrawTargetAndArea(int target);  // -2 back screen, -4 front screen, or a graph; 0 or -1
int ApplyDrawClipRect(int left, int top, int right, int bottom);
int ClearDrawTargetAndRepaint();
// The draw state's client rectangle for the current target and mask state.
void RecomputeDrawClientRect();

// Graph draws: 0 (also when graphics are off or the draw area is empty), -1 for a bad graph or
// a blend graph smaller than the drawn one, else the back-end's result.
int DrawGraphAt(int x, int y, int graph, int transparent);
int DrawGraphStretched(int x1, int y1, int x2, int y2, int graph, int transparent);
int DrawGraphRotated(float x, float y, double scale, double angle, int graph, int transparent,
                     int turn);
int DrawGraphRotatedF(int x, int y, double scale, double angle, int graph, int transparent,
                      int turn);
// Corners clockwise from the top-left: (x1, y1) top-left, (x2, y2) top-right, (x3, y3)
// bottom-right, (x4, y4) bottom-left.
int DrawGraphQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                  int graph, int transparent);
int DrawGraphRotatedAbout(int x1, int y1, int x2, int y2, int px, int py, double scale,
                          double angle, int graph, int transparent);
int DrawGraphMirrored(int x, int y, int graph, int transparent);
// The rectangle (sx, sy, width, height) of the graph at (x, y); mirror flips it left to right.
int DrawGraphPart(int x, int y, int sx, int sy, int width, int height, int graph, int transparent,
                  int mirror);
// The source rectangle (sx, sy, sw, sh) stretched onto (x1, y1)-(x2, y2); a destination given
// right to left or bottom to top mirrors that axis.
int BlitGlyphRect(int x1, int y1, int x2, int y2, int sx, int sy, int sw, int sh, int graph,
                  int transparent);

// Primitives; the colour is a pixel value of the screen's format.
int DrawLineClipped(int x1, int y1, int x2, int y2, uint32_t color);
int FillRectangle(int x1, int y1, int x2, int y2, uint32_t color);
int FrameRectangle(int x1, int y1, int x2, int y2, uint32_t color);
int FillOrFrameRectangle(int x1, int y1, int x2, int y2, uint32_t color, int fill);
int DrawOvalInBounds(int x, int y, int radiusX, int radiusY, uint32_t color, int fill);

// The string draw, DrawStringWithFont, is declared with the fonts (engine/font/font.h).

// Copies the rectangle of the draw target into the graph (of that size).
int CopyDrawScreenToGraph(int x1, int y1, int x2, int y2, int graph, int option);

// Rectangle helpers. ClipRectToRect: right := left when right < left and bottom := top when
// bottom < top, then every edge clamped into `bound`; the result may be empty. Returns 0.
int ClipRectToRect(Rect* rect, const Rect* bound);
int NormalizeRect(Rect* rect);  // swaps edges given the wrong way round
int GetRectSize(const Rect* rect, int* width, int* height);

}  // namespace tessra
