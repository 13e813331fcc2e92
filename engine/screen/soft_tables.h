// Lookup tables the software renderer's inner loops read, built once at start-up, and the
// ramp that blend-graph drawing rebuilds whenever the blend graph is selected.
#pragma once

#include <cstdint>

namespace tessra {

// [k][j][i] = (j * k + i * (63 - k)) / 63: a 6-bit blend of j over i at weight k/63.
extern uint8_t Blend6BitTable[64][64][64];
// [p][i] = (i * p) / 255.
extern int32_t MulDiv255Table[256][256];
// [p][k] = ((k - 255) * p) / 255, truncated toward zero, for k 0..510; [p][511] = 0. Point 255
// entries into a row and index with a difference -255..255.
extern int32_t BlendDiffTable[256][512];
// Blend image value -> weight with which the source replaces the destination.
extern uint8_t BlendGraphRamp[256];

// Builds the three blend tables (engine start-up). Idempotent.
void BuildSoftBlendTables();
// Rebuilds BlendGraphRamp for border parameter p (0..255) and border range r (0..255). The blend
// graph handle is carried for the caller's symmetry and not read. Returns 0.
int BuildClampRampTable(int32_t blendGraph, int32_t borderParam, int32_t borderRange);

}  // namespace tessra
