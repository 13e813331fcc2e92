// The engine's current draw state: the one global record every back-end reads at call time.
// Only the fields the software renderer reads are declared so far; the rest of the record and
// its setters come with the graphics core.
#pragma once

#include <cstdint>

#include "engine/graphics/color_format.h"

namespace tessra {

// How a draw combines with what is already there; the blend parameter weights it (0..255).
enum BlendMode : int32_t {
    kBlendNone = 0,
    kBlendAlpha = 1,
    kBlendAdd = 2,
    kBlendSubtract = 3,
    kBlendMultiply = 4,
};

struct DrawStateRecord {
    Rect DrawArea;          // clip rectangle inside the draw target; right, bottom exclusive
    int32_t blendMode;      // a BlendMode
    int32_t blendParam;     // 0..255
    int32_t blendGraph;     // graph whose pixels weight the blend, or -1
    uint8_t brightness[3];  // blue, green, red; all 255 draws unchanged
    int32_t maskActive;     // draws go into the mask screen's image
};

inline DrawStateRecord DrawState = {{0, 0, 640, 480}, kBlendNone, 0, -1, {255, 255, 255}, 0};

// The brightness as one 0xRRGGBB word.
inline uint32_t DrawBrightnessPacked() {
    return (uint32_t(DrawState.brightness[2]) << 16) | (uint32_t(DrawState.brightness[1]) << 8) |
           DrawState.brightness[0];
}

}  // namespace tessra
