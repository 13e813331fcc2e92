// What the DirectDraw and GDI stand-ins share inside the platform layer: the display-mode
// table, the presenter that shows pictures in the SDL window, and the device contexts of
// surfaces. Not for use outside platform/.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/ddraw/ddraw.h"
#include "platform/testing.h"
#include "platform/win/types.h"

namespace plat::detail {

// --- Modes -----------------------------------------------------------------------------------
// Whether the display takes the mode: it must be in the table (every size of the game's
// window-size table at 16 and 32 bits, and the desktop's size and depth), the refresh rate 0,
// 60 or the desktop's, and not refused by a test.
bool DisplayModeAccepted(int32_t width, int32_t height, int32_t bits, int32_t refresh);
// The pixel format of a display depth (16 bits: 5:6:5 unless a test asks for 5:5:5).
DDPixelFormat DisplayFormatOfDepth(int32_t bits);
// The mode set through the display settings (the no-DirectDraw path); null: the desktop's.
void SetSettingsMode(const DisplayMode* mode);

// --- Presenter -------------------------------------------------------------------------------
// Pixels that a copy writes into.
struct PixelTarget {
    uint8_t* bits;
    int32_t width;
    int32_t height;
    int32_t pitch;
    DDPixelFormat format;
    int bytesPerPixel;
};

// Shows the primary surface: the whole surface when its object runs full screen or has no
// window, else the part under the window's client area (screen coordinates).
void PresentPrimary(const DirectDrawSurface& primary);
// The window's picture (its client size, 32-bit XRGB) for a GDI copy into the window; false
// for an unknown window. EndWindowPicture presents it.
bool BeginWindowPicture(HWND window, PixelTarget* target);
void EndWindowPicture();
// Full screen: the window becomes a full-screen-desktop SDL window that shows the picture
// scaled; false puts it back as the window's style says.
void SetPresenterFullScreen(HWND window, bool fullScreen);

// Where a picture of pw x ph goes in an output of ow x oh: the largest integer scale that fits,
// else the largest aspect-kept size (nearest-neighbour), centred; black bars around.
struct FitRect {
    int32_t x, y, width, height;
};
FitRect FitPictureToOutput(int32_t pw, int32_t ph, int32_t ow, int32_t oh);

// What a 32-bit XRGB output (a window's surface) shows of a picture, kept between presents.
struct ScaledOutput {
    int32_t pictureWidth = 0, pictureHeight = 0, outputWidth = 0, outputHeight = 0;
    DDPixelFormat format{};
    std::vector<uint8_t> shown;    // the picture as last put in the output
    std::vector<int32_t> columns;  // picture column of each output column of the fit
    std::vector<int32_t> rows;     // picture row of each output row of the fit
    std::vector<uint32_t> widen;   // XRGB of each 16-bit value (16-bit pictures)
    std::vector<uint8_t> changed;  // per picture row, this time
};
// Brings an output of ow x oh up to date with a picture of pw x ph (16-bit 5:6:5 or 5:5:5, or
// 32-bit XRGB) placed as FitPictureToOutput says, nearest pixel at pixel centres: the picture
// rows that differ from the kept copy are scaled in. With `whole`, and whenever a size or the
// format changed, every row is, over black bars. Returns the output rectangles written (the
// whole output after a whole update).
std::vector<FitRect> UpdateScaledOutput(ScaledOutput& output, const uint8_t* picture, int32_t pw,
                                        int32_t ph, int32_t pitch, const DDPixelFormat& format,
                                        uint8_t* out, int32_t ow, int32_t oh, int32_t outPitch,
                                        bool whole);

// --- Device contexts of surfaces -------------------------------------------------------------
// The surface whose GetDC made the context, or null.
DirectDrawSurface* SurfaceOfDc(HDC dc);
// The surface's pixels as a copy target.
PixelTarget TargetOfSurface(const DirectDrawSurface& surface);
// A surface written by GDI: the primary presents.
void NoteSurfaceWritten(DirectDrawSurface* surface);

// --- Lifecycle -------------------------------------------------------------------------------
// The application went inactive: exclusive full-screen objects lose their surfaces.
void NoteAppDeactivated();
// Whether the failure a test set for this call is due (and counts the call).
bool TakeDisplayCallFailure(testing::DisplayCall call);
// Test controls back to their defaults.
void ResetDisplayControls();
void ResetPresenterControls();

}  // namespace plat::detail
