// Recording stand-ins for what the graphics core does not do yet (the draw
// target and area, the drawing front end, mask, restore and movies) until that subsystem is built:
// each notes its call (engine/pending/pending_calls.h) and gives its usual success value or a
// test's chosen result.
#include "engine/graphics/graphics_core.h"
#include "engine/pending/pending_calls.h"
#include "engine/screen/screen.h"

namespace tessra {

int ClearDrawTargetAndRepaint() {
    return static_cast<int>(PendingCall("ClearDrawTargetAndRepaint", 0));
}

int SetDrawTargetAndArea(int target) {
    const int r = static_cast<int>(
        PendingCall("SetDrawTargetAndArea", (target == -2 || target == -4) ? 0 : -1));
    // The draw state keeps the choice, so that the window procedure's paint and move steps see it.
    if (r == 0) DrawState.drawTarget = target;
    return r;
}

int ApplyDrawClipRect(int, int, int, int) {
    return static_cast<int>(PendingCall("ApplyDrawClipRect", 0));
}

int CopyDrawScreenToGraph(int, int, int, int, int, int) {
    return static_cast<int>(PendingCall("CopyDrawScreenToGraph", -1));
}

int DrawGraphAt(int, int, int, int) {
    return static_cast<int>(PendingCall("DrawGraphAt", -1));
}

int DrawGraphStretched(int, int, int, int, int, int) {
    return static_cast<int>(PendingCall("DrawGraphStretched", -1));
}

int DrawGraphRotatedF(int, int, double, double, int, int, int) {
    return static_cast<int>(PendingCall("DrawGraphRotatedF", -1));
}

int DrawGraphMirrored(int, int, int, int) {
    return static_cast<int>(PendingCall("DrawGraphMirrored", -1));
}

int DrawGraphRotatedAbout(int, int, int, int, int, int, double, double, int, int) {
    return static_cast<int>(PendingCall("DrawGraphRotatedAbout", -1));
}

int DrawLineClipped(int, int, int, int, uint32_t) {
    return static_cast<int>(PendingCall("DrawLineClipped", 0));
}

int FillOrFrameRectangle(int, int, int, int, uint32_t, int) {
    return static_cast<int>(PendingCall("FillOrFrameRectangle", 0));
}

int DrawOvalInBounds(int, int, int, int, uint32_t, int) {
    return static_cast<int>(PendingCall("DrawOvalInBounds", 0));
}

int ClipRectToRect(Rect*, const Rect*) {
    return static_cast<int>(PendingCall("ClipRectToRect", 0));
}

int SetMaskDrawEnabled(int) {
    return static_cast<int>(PendingCall("SetMaskDrawEnabled", -1));
}

int IsMaskInUse() {
    return static_cast<int>(PendingCall("IsMaskInUse", 0));
}

int InstallGraphRestoreRoutine(GraphRestoreRoutine) {
    return static_cast<int>(PendingCall("InstallGraphRestoreRoutine", 0));
}

int HasGraphRestoreRoutine() {
    return static_cast<int>(PendingCall("HasGraphRestoreRoutine", 1));
}

int RestoreAllGraphSurfaces() {
    return static_cast<int>(PendingCall("RestoreAllGraphSurfaces", 0));
}

int PlayAllGraphMovies() {
    return static_cast<int>(PendingCall("PlayAllGraphMovies", 0));
}

int StopAllGraphMovies() {
    return static_cast<int>(PendingCall("StopAllGraphMovies", 0));
}

int ReleaseAllMovieObjects() {
    return static_cast<int>(PendingCall("ReleaseAllMovieObjects", 0));
}

int RestoreAllSurfaces2D() {
    return static_cast<int>(PendingCall("RestoreAllSurfaces2D", 0));
}

}  // namespace tessra
