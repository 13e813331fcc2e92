// Private to engine/screen: what the device, the output screens and the screenshot share.
#pragma once

#include <cstdint>

#include "platform/ddraw/ddraw.h"

namespace tessra {

struct ScreenStateRecord;

void* ScreenWindow();  // the main window (an HWND), or null
int EngineWindowModeSetting();
void WaitWhileInactiveHost();
double ScreenWindowScale();
void ScreenClientOrigin(int* x, int* y);  // the client area's top-left in screen coordinates

int AcquireDirectDrawObject(plat::DirectDraw** out);
int CreateWindowClipper(plat::DirectDraw* dd, plat::DirectDrawClipper** out, void* window);
int ApplyDisplayMode(plat::DirectDraw* dd, int desktopWidth, int desktopHeight, int width,
                     int height, int bits, uint32_t* outBits, uint32_t* outFlags, int windowed,
                     uint32_t* modeChanged);
int RevertDisplayMode();
int CreateScreenPalette();

// The refresh rate in Hz from the summed frame microseconds, -1 when it cannot be known.
int32_t DeriveRefreshRate(uint64_t microSum, uint64_t frames);

// Fault injection for tests: when set to n > 0, the n-th Z-buffer surface creation from now fails.
extern int32_t g_screenFailZBufferCreation;

}  // namespace tessra
