// Recording stand-ins for the screens and display modes until that subsystem is built: each notes
// its call (engine/pending/pending_calls.h) and gives its usual success value or a test's chosen
// result.
#include "engine/pending/pending_calls.h"
#include "engine/screen/screen.h"

namespace tessra {

int StoreVsyncWaitFlag(int) {
    return static_cast<int>(PendingCall("StoreVsyncWaitFlag", 0));
}

int GetVsyncWaitFlag() {
    return static_cast<int>(PendingCall("GetVsyncWaitFlag", 1));
}

int ChangeResolution(int, int, int, int) {
    return static_cast<int>(PendingCall("ChangeResolution", 0));
}

int SwitchWindowModeScreen(int) {
    return static_cast<int>(PendingCall("SwitchWindowModeScreen", 0));
}

int ChangeScreenMode(int, int, int, int, int) {
    return static_cast<int>(PendingCall("ChangeScreenMode", 0));
}

int RebuildDisplay() {
    return static_cast<int>(PendingCall("RebuildDisplay", 0));
}

int SetupScreenColorFormat() {
    return static_cast<int>(PendingCall("SetupScreenColorFormat", 0));
}

int SetGdiSurfaceMode(int) {
    return static_cast<int>(PendingCall("SetGdiSurfaceMode", 0));
}

int ReadScreenSize(int* width, int* height) {
    PendingCall("ReadScreenSize", 0);
    if (width != nullptr) *width = 640;
    if (height != nullptr) *height = 480;
    return 0;
}

int GetScreenBitDepth() {
    return static_cast<int>(PendingCall("GetScreenBitDepth", 16));
}

int GetNo3DFlag() {
    return static_cast<int>(PendingCall("GetNo3DFlag", 0));
}

int GetGdiSurfaceModeFlag() {
    return static_cast<int>(PendingCall("GetGdiSurfaceModeFlag", 0));
}

int IsDisplayModeChanged() {
    return static_cast<int>(PendingCall("IsDisplayModeChanged", 0));
}

void* GetDirectDrawObject() {
    PendingCall("GetDirectDrawObject", 0);
    return nullptr;
}

const plat::DDPixelFormat* GetScreenPixelFormat() {
    PendingCall("GetScreenPixelFormat", 0);
    return nullptr;
}

uint32_t MakeScreenColor(int r, int g, int b) {
    PendingCall("MakeScreenColor", 0);
    return (uint32_t(r & 0xFF) << 16) | (uint32_t(g & 0xFF) << 8) | uint32_t(b & 0xFF);
}

int WaitVerticalBlanks(int) {
    return static_cast<int>(PendingCall("WaitVerticalBlanks", 0));
}

int PresentBackBuffer() {
    return static_cast<int>(PendingCall("PresentBackBuffer", 0));
}

int BlitBackBufferToWindow() {
    return static_cast<int>(PendingCall("BlitBackBufferToWindow", 0));
}

int WriteScreenRectToBmp(int, int, int, int, const char*) {
    return static_cast<int>(PendingCall("WriteScreenRectToBmp", -1));
}

int RestoreAllSurfaces2D() {
    return static_cast<int>(PendingCall("RestoreAllSurfaces2D", 0));
}

}  // namespace tessra
