// What the engine core asks of the screens: display modes, the present path, the screen's
// size, depth and pixel format, and the restore steps of the window procedure.
#pragma once

#include <cstdint>

namespace plat {
struct DDPixelFormat;
}

namespace tessra {

// DirectDraw device and display modes.
int InitDirectDraw();      // 0, or -1
int ShutdownDirectDraw();  // 0
int StoreVsyncWaitFlag(int flag);
int GetVsyncWaitFlag();
int ChangeResolution(int width, int height, int colorBits, int refreshRate);
int SwitchWindowModeScreen(int fullScreen);
int ChangeScreenMode(int width, int height, int colorBits, int force, int refreshRate);
int RebuildDisplay();
int SetupScreenColorFormat();
int SetGdiSurfaceMode(int flag);
int SetNo3DFlag(int flag);
int WaitOneVerticalBlank();  // the millisecond time stored
int TerminateMainSurfaces();
int RestoreLostScreenSurfaces();

// Screens and present.
int ReadScreenSize(int* width, int* height);  // 640 x 480 while unset
int GetScreenBitDepth();                      // 16 while unset
int GetNo3DFlag();
int GetGdiSurfaceModeFlag();
int IsDisplayModeChanged();
// The DirectDraw object, null when none exists.
void* GetDirectDrawObject();
const plat::DDPixelFormat* GetScreenPixelFormat();
uint32_t MakeScreenColor(int r, int g, int b);
int SplitScreenColor(uint32_t value, int* r, int* g, int* b);  // 0, or -1
int WaitVerticalBlanks(int count);
int CreateOutputScreens();
int ReadScreenPixels();
int DrawSoftScreenToWindow(int left, int top, int right, int bottom);
int IsDirectDrawUsed();
int GetWindowModeFlag();
uint64_t GetFlipCount();
int PresentBackBuffer();
int BlitBackBufferToWindow();
int WriteScreenRectToBmp(int left, int top, int right, int bottom, const char* fileName);

// 2-D surfaces.
int RestoreAllSurfaces2D();

}  // namespace tessra
