// The mask screen: one byte per screen pixel saying where draws may change the screen. Every
// draw of the front end is bracketed by a before step, which saves the target's pixels under
// the draw into the mask's work area (where the draw then lands), and an after step, which
// copies the drawn pixels back to the target only where the mask allows.
#pragma once

#include <cstdint>

#include "engine/graphics/color_format.h"
#include "engine/screen/memimg.h"

namespace plat {
class DirectDrawSurface;
}

namespace tessra {

struct MaskScreenRecord {
    uint8_t* bytes;  // pitch x screen height, or null when there is no mask
    int32_t pitch;   // the screen width rounded up to a multiple of 4
    uint32_t keyColor;
    int32_t inUse;    // a mask exists and is wanted; decides re-creation after a mode change
    int32_t reverse;  // 0: draws show where the byte is non-zero; 1: where it is 0
    plat::DirectDrawSurface* surface;  // the work area on DirectDraw screens
    int32_t usesMemImg;                // the work area is memImg (memory-image screens)
    MEMIMG memImg;
    int32_t surfaceInVideoMemory;
};
MaskScreenRecord& GetMaskScreen();

// Makes what is asked and missing; a work area that cannot be made is fatal. 0.
int AllocMaskScreen(int makeBytes, int makeSurface);
int FreeMaskScreen();
int ShutdownMaskScreen();
// 0, or -1 (nothing changed) when there are no mask bytes.
int SetMaskDrawEnabled(int flag);
int IsMaskInUse();  // the mask-enabled value
plat::DirectDrawSurface* GetMaskSurface();
MEMIMG* GetMaskMemImg();
int MaskSurfaceInVideoMemory();
// The before and after steps on the current draw target, over `rect` in draw coordinates.
int BeginMaskForTarget(const Rect* rect);
int EndMaskForTarget(const Rect* rect);

}  // namespace tessra
