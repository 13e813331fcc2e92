// The screen globals: the DirectDraw device, the display mode and the output screens (surfaces
// or memory images) that stand for the front and back screen. The mode change, the present and
// the 2-D draw targets read and write them.
#pragma once

#include <cstdint>

#include "engine/graphics/color_format.h"
#include "engine/screen/memimg.h"
#include "platform/ddraw/ddraw.h"

namespace tessra {

struct ScreenStateRecord {
    // The device.
    plat::DirectDraw* directDraw;
    plat::DirectDrawClipper* clipper;
    plat::DirectDrawPalette* palette;
    plat::DDCAPS caps;
    ColorFormat screenFormat;         // the primary surface's pixels
    plat::DDPixelFormat pixelFormat;  // as the display mode reports it
    int32_t pixelKind;                // 0 565, 1 555, 2 XRGB, 3 anything else
    // The mode: asked and then set. colorBits is the mode's depth as asked; displayColorBits the
    // depth of the display surfaces (a window's is the desktop's).
    uint32_t width, height, colorBits, refreshRate;
    uint32_t displayColorBits;
    uint32_t mainColorBits;     // the depth the application asked to draw in
    uint32_t workingColorBits;  // the depth the engine draws in; 0 while unset (16)
    uint32_t cooperativeFlags;
    int32_t overlayFormat;  // row of the overlay table, or -1
    uint32_t modeChanged;   // the display mode differs from the desktop's because of us
    uint32_t vsyncWait;
    uint32_t no3D;
    uint32_t windowMode;
    uint32_t noDirectDraw;
    uint32_t gdiSurfaceMode;
    int32_t gdiSurfaceShown;
    uint32_t presentMethod;  // 1: GDI BitBlt between surfaces, 0: BltFast
    uint32_t threaded;
    uint32_t initialized;
    uint32_t ready;
    uint32_t blitOption;
    plat::PALETTEENTRY paletteEntries[256];
    int32_t frameTime;        // ms, -1 unknown
    int32_t measuredRefresh;  // Hz, -1 unknown
    int32_t scanLines;
    int32_t vblankThreshold;     // ms, -1 unknown
    uint32_t lastVerticalBlank;  // ms
    uint32_t lastModeChange;     // ms, 0 before the first
    uint64_t presentedFrames;    // cleared by every mode change
    // The output screens.
    uint32_t memImgScreens;
    plat::DirectDrawSurface* primary;
    plat::DirectDrawSurface* back;
    plat::DirectDrawSurface* zBuffer;
    plat::DirectDrawSurface* work1;
    plat::DirectDrawSurface* work2;
    MEMIMG frontImage;
    MEMIMG backImage;
    MEMIMG zImage;
    uint32_t backImageInSurface;  // the back image views the locked back surface
    uint32_t readBack;
    // The draw target (SelectDrawTarget): its surface, or its memory image (a view of the
    // graph's rectangle when that does not start at the image's origin), where the target lies
    // inside the surface, its depth image, and whether the surface is in video memory.
    plat::DirectDrawSurface* targetSurface;
    MEMIMG* targetImage;
    int32_t targetOffsetX, targetOffsetY;
    MEMIMG* targetDepthImage;
    uint32_t targetInVideoMemory;
    MEMIMG targetView;
    uint64_t frameCount;  // every present, never cleared
};

ScreenStateRecord& GetScreenState();
// Puts the whole record back to its start values (no screens, nothing set); tests only, with
// every surface already released.
void ResetScreenStateForTests();

// What the screens need of the engine core that sits above them. The core installs it when it
// starts; without it (tests of the screens alone) the window is the graphics core's, the desktop
// is the display's, the window scale is 1 and nothing waits for activation.
struct ScreenHost {
    int (*applyWindowStyle)();
    int (*getDesktopMetrics)(int* width, int* height, int* colorBits);
    double (*getWindowScale)();
    int (*getClientAreaRect)(int* rect4);
    int (*getMmxFlag)();
    int (*isMenuInUse)();
    void (*waitWhileInactive)();
    int (*engineStartedOrStarting)();
    int (*getWindowModeSetting)();  // the engine's window mode (1 windowed)
    void (*setWindowModeSetting)(int windowed);
    int (*initScreenLog)();
};
// The screens' getters beyond engine/screen/screen.h.
const ColorFormat* GetScreenColorFormat();
plat::DirectDrawSurface* GetCurrentTargetSurface();
plat::DirectDrawSurface* GetPrimarySurface();
plat::DirectDrawSurface* GetBackSurface();
plat::DirectDrawSurface* GetWorkSurface();
int IsDrawingToPrimary();
plat::DDCAPS* GetDirectDrawCaps(plat::DDCAPS* buffer);
// Null when the screen is under 640 x 400 or no overlay format was chosen.
const plat::DDPixelFormat* GetOverlayPixelFormat();
// The current draw target as the screens hold it: its memory image (null for a surface) and its
// surface (null for a memory image). Until a target is chosen explicitly the front and back
// screens are resolved from the draw state.
MEMIMG* ScreenTargetMemImg();
plat::DirectDrawSurface* ScreenTargetSurface();

void SetScreenHost(const ScreenHost* host);  // null: none
const ScreenHost* GetScreenHost();
// The draws' pause while the window is inactive; only once the engine has a window to wait for.
void WaitWhileWindowInactive();

}  // namespace tessra
