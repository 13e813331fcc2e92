#include "engine/screen/soft_tables.h"

#include <algorithm>

namespace tessra {

uint8_t Blend6BitTable[64][64][64];
int32_t MulDiv255Table[256][256];
int32_t BlendDiffTable[256][512];
uint8_t BlendGraphRamp[256];

void BuildSoftBlendTables() {
    for (int32_t p = 0; p < 256; ++p) {
        // C++ division truncates toward zero, which the negative half relies on.
        for (int32_t k = 0; k < 511; ++k) BlendDiffTable[p][k] = ((k - 255) * p) / 255;
        BlendDiffTable[p][511] = 0;
        for (int32_t i = 0; i < 256; ++i) MulDiv255Table[p][i] = (i * p) / 255;
    }
    for (int32_t k = 0; k < 64; ++k) {
        for (int32_t j = 0; j < 64; ++j) {
            for (int32_t i = 0; i < 64; ++i) {
                Blend6BitTable[k][j][i] = static_cast<uint8_t>((j * k + i * (63 - k)) / 63);
            }
        }
    }
}

int BuildClampRampTable(int32_t /*blendGraph*/, int32_t borderParam, int32_t borderRange) {
    // Out-of-range arguments would divide by zero (range -1) or overflow; keep them to a byte.
    const int32_t p = std::clamp(borderParam, 0, 255);
    const int32_t d = std::clamp(borderRange, 0, 255) + 1;
    const int32_t base = 256 - (((65536 / d) + 256) * p) / 256;
    for (int32_t i = 0; i < 256; ++i) {
        BlendGraphRamp[i] = static_cast<uint8_t>(std::clamp((i * 256) / d + base, 0, 255));
    }
    return 0;
}

}  // namespace tessra
