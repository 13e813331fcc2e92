// What the engine core asks of the graphics core: starting and stopping it with DirectDraw, the
// bodies of the public graph, drawing and draw-state calls, and the restore, movie and mask
// steps that start-up, the inactive pause and the window procedure run.
#pragma once

#include <cstdint>

#include "engine/graphics/draw_front.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_table.h"
#include "engine/graphics/mask_screen.h"
#include "platform/win/types.h"

namespace tessra {

struct GraphImage;
struct Rect;

// Starting DirectDraw for the graphics core (the graph table and the draw state's setters are
// in graph_table.h and draw_state.h).
int StartDirectDrawWithFallback(plat::HWND window);  // 0, or -1
int StopDirectDraw();

// Draw target and draw area, the drawing front end and the mask: engine/graphics/draw_front.h
// and engine/graphics/mask_screen.h.

// Restore after device loss.
using GraphRestoreRoutine = void (*)();
int InstallGraphRestoreRoutine(GraphRestoreRoutine routine);  // null: the default routine
int HasGraphRestoreRoutine();
// Asks every graph to be reloaded, runs the installed routine and makes the fonts again.
int MarkGraphsForRestore();
// The default routine: each asked graph reloaded from its file, one load per run of graphs
// from the same file.
void RestoreGraphsFromFiles();
// Lost surfaces restored in place (their pixels are then black until reloaded).
int RestoreAllGraphSurfaces();
int RestoreGraphMovieSurfaces(int graph);  // 0, or -1 for a bad graph

// Movies.
int PlayAllGraphMovies();
int StopAllGraphMovies();
int ReleaseAllMovieObjects();

}  // namespace tessra
