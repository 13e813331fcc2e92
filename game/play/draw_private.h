// What the drawing files of the play field share among themselves.
#pragma once

#include <cstdint>

namespace velmora {

inline constexpr uint32_t kShadowColour = 0x10003080u;

// A computed value as a colour channel: below 0 is 0, above 255 is 255.
uint32_t ClampChannel(int64_t v);
// Fills the draw-kind rows of the stage-object types (32 + type).
void InstallStageObjectDraws();

}  // namespace velmora
