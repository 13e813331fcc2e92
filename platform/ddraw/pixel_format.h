// The surface pixel-format record of the DirectDraw stand-in: 32 bytes, as surfaces and the
// engine's colour formats exchange it.
#pragma once

#include <cstdint>

namespace plat {

inline constexpr uint32_t DDPF_ALPHAPIXELS = 0x1;
inline constexpr uint32_t DDPF_FOURCC = 0x4;
inline constexpr uint32_t DDPF_RGB = 0x40;

struct DDPixelFormat {
    uint32_t size;   // 32 when filled in
    uint32_t flags;  // DDPF_*
    uint32_t fourCC;
    uint32_t rgbBitCount;
    uint32_t redMask;
    uint32_t greenMask;
    uint32_t blueMask;
    uint32_t alphaMask;
};
static_assert(sizeof(DDPixelFormat) == 32);

}  // namespace plat
