// Recording stand-ins for the graphics core (graph table, draw state, drawing front end, mask,
// restore and movies) until that subsystem is built: each notes its call
// (engine/pending/pending_calls.h) and gives its usual success value or a test's chosen result.
#include "engine/graphics/graphics_core.h"
#include "engine/pending/pending_calls.h"

namespace tessra {

// The draw target, so that the window procedure's paint and move steps see the last choice.
namespace {
int g_drawTarget = -2;
}  // namespace

int StartDirectDrawWithFallback(plat::HWND) {
    return static_cast<int>(PendingCall("StartDirectDrawWithFallback", 0));
}

int StopDirectDraw() {
    return static_cast<int>(PendingCall("StopDirectDraw", 0));
}

int CreateBlankGraphDefault(int, int) {
    return static_cast<int>(PendingCall("CreateBlankGraphDefault", -1));
}

int ReleaseGraph(int, int) {
    return static_cast<int>(PendingCall("ReleaseGraph", -1));
}

int ReleaseAllGraphs(int) {
    return static_cast<int>(PendingCall("ReleaseAllGraphs", 0));
}

int DeriveGraph(int, int, int, int, int) {
    return static_cast<int>(PendingCall("DeriveGraph", -1));
}

int QueryGraphExtent(int graph, int* width, int* height) {
    const int r =
        static_cast<int>(PendingCall("QueryGraphExtent", (graph == -2 || graph == -4) ? 0 : -1));
    if (r == 0 && width != nullptr) *width = 640;
    if (r == 0 && height != nullptr) *height = 480;
    return r;
}

int BuildGraphFromGraphImage(GraphImage*) {
    return static_cast<int>(PendingCall("BuildGraphFromGraphImage", -1));
}

int LoadGraphFromFileDefault(const char*) {
    return static_cast<int>(PendingCall("LoadGraphFromFileDefault", -1));
}

int ClearDrawTargetAndRepaint() {
    return static_cast<int>(PendingCall("ClearDrawTargetAndRepaint", 0));
}

int StoreDrawFilterMode(int) {
    return static_cast<int>(PendingCall("StoreDrawFilterMode", 0));
}

int GetDrawFilterMode() {
    return static_cast<int>(PendingCall("GetDrawFilterMode", 0));
}

int StoreBlendModeAndParam(int, int) {
    return static_cast<int>(PendingCall("StoreBlendModeAndParam", 0));
}

int StoreDrawBrightness(int, int, int) {
    return static_cast<int>(PendingCall("StoreDrawBrightness", 0));
}

int SetDrawTargetAndArea(int target) {
    const int r = static_cast<int>(
        PendingCall("SetDrawTargetAndArea", (target == -2 || target == -4) ? 0 : -1));
    if (r == 0) g_drawTarget = target;
    return r;
}

int GetDrawTarget() {
    PendingCall("GetDrawTarget", 0);
    return g_drawTarget;
}

int ApplyDrawClipRect(int, int, int, int) {
    return static_cast<int>(PendingCall("ApplyDrawClipRect", 0));
}

int GetDrawClipRect(Rect*) {
    return static_cast<int>(PendingCall("GetDrawClipRect", 0));
}

int StoreTransparentColor(int, int, int) {
    return static_cast<int>(PendingCall("StoreTransparentColor", 0));
}

int StoreBlankGraphAlphaFlag(int) {
    return static_cast<int>(PendingCall("StoreBlankGraphAlphaFlag", 0));
}

int SetNewGraphDrawValidFlag(int) {
    return static_cast<int>(PendingCall("SetNewGraphDrawValidFlag", 0));
}

int SetWindowClientScreenRect(const Rect*) {
    return static_cast<int>(PendingCall("SetWindowClientScreenRect", 0));
}

int GetScreenSizeAndBits(int* width, int* height, int* bits) {
    PendingCall("GetScreenSizeAndBits", 0);
    if (width != nullptr) *width = 640;
    if (height != nullptr) *height = 480;
    if (bits != nullptr) *bits = 16;
    return 0;
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

}  // namespace tessra
