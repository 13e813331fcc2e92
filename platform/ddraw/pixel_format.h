// The surface pixel-format record of the DirectDraw stand-in: 32 bytes, as surfaces and the
// engine's colour formats exchange it. Also the small channel helpers that every copy between
// two bit-field formats in the platform layer uses.
#pragma once

#include <cstdint>

namespace plat {

inline constexpr uint32_t DDPF_ALPHAPIXELS = 0x1;
inline constexpr uint32_t DDPF_ALPHA = 0x2;
inline constexpr uint32_t DDPF_FOURCC = 0x4;
inline constexpr uint32_t DDPF_PALETTEINDEXED8 = 0x20;
inline constexpr uint32_t DDPF_RGB = 0x40;
inline constexpr uint32_t DDPF_ZBUFFER = 0x400;
inline constexpr uint32_t DDPF_LUMINANCE = 0x20000;
inline constexpr uint32_t DDPF_BUMPLUMINANCE = 0x40000;
inline constexpr uint32_t DDPF_BUMPDUDV = 0x80000;

// For a DDPF_ZBUFFER format rgbBitCount holds the depth's bit count and greenMask its Z mask,
// where the platform's own record keeps them in the same words.
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

// The formats the layer makes by default.
constexpr DDPixelFormat MakeRgbPixelFormat(uint32_t bits, uint32_t red, uint32_t green,
                                           uint32_t blue, uint32_t alpha = 0) {
    return DDPixelFormat{
        32, DDPF_RGB | (alpha != 0 ? DDPF_ALPHAPIXELS : 0u), 0, bits, red, green, blue, alpha};
}
inline constexpr DDPixelFormat kPixelFormat565 = MakeRgbPixelFormat(16, 0xF800, 0x7E0, 0x1F);
inline constexpr DDPixelFormat kPixelFormat555 = MakeRgbPixelFormat(16, 0x7C00, 0x3E0, 0x1F);
inline constexpr DDPixelFormat kPixelFormatXrgb32 = MakeRgbPixelFormat(32, 0xFF0000, 0xFF00, 0xFF);
inline constexpr DDPixelFormat kPixelFormatZ16 = {32, DDPF_ZBUFFER, 0, 16, 0, 0xFFFF, 0, 0};

// Whether two records describe the same pixels (flags, depth and masks).
constexpr bool SamePixelFormat(const DDPixelFormat& a, const DDPixelFormat& b) {
    return a.flags == b.flags && a.fourCC == b.fourCC && a.rgbBitCount == b.rgbBitCount &&
           a.redMask == b.redMask && a.greenMask == b.greenMask && a.blueMask == b.blueMask &&
           a.alphaMask == b.alphaMask;
}

// One channel of a bit-field pixel: its mask, the shift of its lowest bit and its width.
struct ChannelMask {
    uint32_t mask;
    int shift;
    int width;
};

constexpr ChannelMask DescribeChannel(uint32_t mask) {
    ChannelMask m{mask, 0, 0};
    if (mask == 0) return m;
    while (((mask >> m.shift) & 1u) == 0) ++m.shift;
    while (m.shift + m.width < 32 && ((mask >> (m.shift + m.width)) & 1u) != 0) ++m.width;
    return m;
}

// A channel read through its mask, widened to 8 bits by repeating its top bits, so that full
// intensity stays full (5-bit 31 becomes 255).
inline uint32_t ChannelTo8(uint32_t v, const ChannelMask& m) {
    if (m.width == 0) return 0;
    const uint32_t c = (v & m.mask) >> m.shift;
    if (m.width >= 8) return c >> (m.width - 8);
    uint32_t out = c << (8 - m.width);
    for (int have = m.width; have < 8; have *= 2) out |= out >> have;
    return out & 0xFF;
}

// An 8-bit channel put into its place, keeping the top bits.
inline uint32_t ChannelFrom8(uint32_t c, const ChannelMask& m) {
    if (m.width == 0) return 0;
    const uint32_t v = m.width >= 8 ? (c << (m.width - 8)) : (c >> (8 - m.width));
    return (v << m.shift) & m.mask;
}

// Reads and writes a pixel of 1 to 4 bytes, little-endian.
inline uint32_t ReadPixelBytes(const uint8_t* p, int bytes) {
    switch (bytes) {
        case 1:
            return p[0];
        case 2:
            return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8);
        case 3:
            return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                   (static_cast<uint32_t>(p[2]) << 16);
        default:
            return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                   (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    }
}

inline void WritePixelBytes(uint8_t* p, int bytes, uint32_t v) {
    for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace plat
