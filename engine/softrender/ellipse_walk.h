// The integer walk over one quadrant of an axis-aligned ellipse, shared by the software circles
// and the Direct3D circles so that both draw the same figure: the same points in the same
// order for an outline, the same spans for a fill.
//
// The walk runs from (r, 0) to (0, s) for radii r >= s: x falls by one whenever the decision
// value says so, while y, fed s per vertical move of a circle of radius r, rises when the
// accumulator reaches r * r / s; so it reaches exactly its two radii. An ellipse taller than it
// is wide walks the same way with the axes exchanged and is the transpose of the wide figure.
#pragma once

#include <cstdint>

namespace tessra {

// Larger radii are refused (nothing is drawn): their squares would not fit in 32 bits.
inline constexpr int32_t kMaxEllipseRadius = 46340;

struct EllipseWalk {
    int64_t x, y, acc, d1, d2, k, feed;
};

enum : int { kEllipseMovedX = 1, kEllipseMovedY = 2 };

// r >= s > 0.
void StartEllipseWalk(EllipseWalk* walk, int32_t r, int32_t s);
// One step; which of x and y moved (kEllipseMovedX, kEllipseMovedY).
int StepEllipseWalk(EllipseWalk* walk);

// The outline's points relative to the centre, in plotting order: point(dx, dy). Points of the
// centre row (the centre column when tall) may come twice while the walk moves along it.
// rx, ry > 0 and at most kMaxEllipseRadius.
template <class Point>
void WalkEllipseOutline(int32_t rx, int32_t ry, Point&& point) {
    const bool tall = rx < ry;
    auto put = [&](int64_t a, int64_t b) {
        if (tall)
            point(int32_t(b), int32_t(a));
        else
            point(int32_t(a), int32_t(b));
    };
    EllipseWalk w;
    StartEllipseWalk(&w, tall ? ry : rx, tall ? rx : ry);
    const int64_t r = w.x;
    put(-r, 0);
    put(r, 0);
    int moved = StepEllipseWalk(&w);
    while (w.x > 0) {
        if (moved != 0) {
            put(-w.x, w.y);
            put(w.x, w.y);
            put(-w.x, -w.y);
            put(w.x, -w.y);
        }
        moved = StepEllipseWalk(&w);
    }
    put(0, -w.y);
    put(0, w.y);
}

// The fill's spans relative to the centre, in drawing order: span(dy, x0, x1), x0 <= x1. A row
// may be named more than once; its first span is the one the figure keeps.
template <class Span>
void WalkEllipseFill(int32_t rx, int32_t ry, Span&& span) {
    EllipseWalk w;
    if (rx >= ry) {
        StartEllipseWalk(&w, rx, ry);
        span(0, -rx, rx);
        int moved = StepEllipseWalk(&w);
        while (w.x > 0) {
            if (moved & kEllipseMovedY) {
                span(int32_t(w.y), int32_t(-w.x), int32_t(w.x));
                span(int32_t(-w.y), int32_t(-w.x), int32_t(w.x));
            }
            moved = StepEllipseWalk(&w);
        }
        span(int32_t(-w.y), 0, 0);
        span(int32_t(w.y), 0, 0);
        return;
    }
    // Tall: row dy is the wide walk's x, and its half-width the largest y the walk reached
    // there, so the fill covers exactly the outline's rows and columns.
    StartEllipseWalk(&w, ry, rx);
    int64_t row = w.x;
    for (;;) {
        const int64_t reached = w.y;
        StepEllipseWalk(&w);
        if (w.x != row) {
            span(int32_t(row), int32_t(-reached), int32_t(reached));
            span(int32_t(-row), int32_t(-reached), int32_t(reached));
            row = w.x;
        }
        if (w.x <= 0) break;
    }
    span(0, int32_t(-w.y), int32_t(w.y));
}

}  // namespace tessra
