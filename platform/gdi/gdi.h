// The GDI stand-in for showing pictures: device contexts of windows and surfaces, DIB copies
// to a window (the window-mode present), surface-to-surface BitBlt, and the display-settings
// change of the path without DirectDraw. GetDeviceCaps is platform/win's.
//
// A window's device context draws into the picture that the presenter shows in the window's
// client area; a surface's (DirectDrawSurface::GetDC) draws into the surface.
#pragma once

#include <cstdint>

#include "platform/gdi/dib.h"
#include "platform/win/types.h"

namespace plat {

constexpr DWORD SRCCOPY = 0x00CC0020;
constexpr UINT DIB_RGB_COLORS = 0;

// The device context of a window's client area; 0 for an unknown window.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);

// Copies w x h pixels from (sx, sy) of the source to (x, y) of the destination, clipped to
// both, converting between their formats. The source is a surface's context; the destination
// a surface's or a window's. Only SRCCOPY. FALSE on failure.
BOOL BitBlt(HDC dest, int x, int y, int w, int h, HDC source, int sx, int sy, DWORD rop);
// The error of this thread's last failed BitBlt (ERROR_INVALID_PARAMETER), 0 before any.
DWORD GetLastError();
BOOL GdiFlush();

// Copies the w x h rectangle at (xSrc, ySrc) of the DIB to (xDest, yDest) of the context,
// clipped to it. The source rectangle counts from the top-left of the picture as it is seen,
// whichever way the DIB stores its rows. The bits hold `lines` stored rows from stored row
// `startScan` on; pixels of rows outside them are not drawn. Returns the number of rows drawn
// (0 on failure).
int SetDIBitsToDevice(HDC dc, int xDest, int yDest, DWORD w, DWORD h, int xSrc, int ySrc,
                      UINT startScan, UINT lines, const void* bits, const BitmapInfo* info,
                      UINT usage);
// The same with nearest-neighbour stretching from srcW x srcH to destW x destH; a negative
// destination width or height mirrors the picture. Returns srcH (0 on failure).
int StretchDIBits(HDC dc, int xDest, int yDest, int destW, int destH, int xSrc, int ySrc, int srcW,
                  int srcH, const void* bits, const BitmapInfo* info, UINT usage, DWORD rop);

// --- Display settings ------------------------------------------------------------------------
constexpr DWORD DM_BITSPERPEL = 0x40000;
constexpr DWORD DM_PELSWIDTH = 0x80000;
constexpr DWORD DM_PELSHEIGHT = 0x100000;
constexpr DWORD DM_DISPLAYFREQUENCY = 0x400000;

constexpr LONG DISP_CHANGE_SUCCESSFUL = 0;
constexpr LONG DISP_CHANGE_FAILED = -1;
constexpr LONG DISP_CHANGE_BADMODE = -2;

// 156 bytes; the fields a display-mode change reads are named.
struct DEVMODEA {
    char dmDeviceName[32];
    WORD dmSpecVersion;
    WORD dmDriverVersion;
    WORD dmSize;
    WORD dmDriverExtra;
    DWORD dmFields;
    uint8_t dmPrinterFields[58];
    WORD dmLogPixels;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
    DWORD dmDisplayFlags;
    DWORD dmDisplayFrequency;
    DWORD dmReserved[8];
};
static_assert(sizeof(DEVMODEA) == 156);

// Sets a full-screen display mode from the layer's table (the same table and test refusals as
// DirectDraw's); a null mode restores the desktop's. Fields not named in dmFields keep the
// desktop's value.
LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD flags);

}  // namespace plat
