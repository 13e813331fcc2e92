#include "platform/gdi/dib.h"

#include <cstdlib>
#include <cstring>

namespace plat {

namespace {

inline constexpr int32_t kMaxSide = 32767;

struct MaskInfo {
    uint32_t mask;
    int shift;
    int width;
};

MaskInfo Describe(uint32_t mask) {
    MaskInfo m{mask, 0, 0};
    if (mask == 0) return m;
    while (((mask >> m.shift) & 1u) == 0) ++m.shift;
    while (m.shift + m.width < 32 && ((mask >> (m.shift + m.width)) & 1u) != 0) ++m.width;
    return m;
}

// A channel read through its mask, widened to 8 bits by repeating its top bits.
inline uint32_t To8(uint32_t v, const MaskInfo& m) {
    if (m.width == 0) return 0;
    uint32_t c = (v & m.mask) >> m.shift;
    if (m.width >= 8) return c >> (m.width - 8);
    uint32_t out = c << (8 - m.width);
    for (int have = m.width; have < 8; have *= 2) out |= out >> have;
    return out & 0xFF;
}

inline uint32_t From8(uint32_t c, const MaskInfo& m) {
    if (m.width == 0) return 0;
    const uint32_t v = m.width >= 8 ? (c << (m.width - 8)) : (c >> (8 - m.width));
    return (v << m.shift) & m.mask;
}

}  // namespace

void GetDibMasks(const BitmapInfo* info, uint32_t masks[3]) {
    if (info->header.compression == BI_BITFIELDS) {
        std::memcpy(masks, info->colors, 3 * sizeof(uint32_t));
        return;
    }
    if (info->header.bitCount == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x3E0;
        masks[2] = 0x1F;
    } else {
        masks[0] = 0xFF0000;
        masks[1] = 0xFF00;
        masks[2] = 0xFF;
    }
}

void SetDibMasks(BitmapInfo* info, uint32_t red, uint32_t green, uint32_t blue) {
    const uint32_t masks[3] = {red, green, blue};
    std::memcpy(info->colors, masks, sizeof masks);
}

int64_t DibStride(int32_t width, int32_t bitCount) {
    return ((static_cast<int64_t>(width) * bitCount + 31) / 32) * 4;
}

DibSection* CreateDIBSection(const BitmapInfo* info) {
    const BitmapInfoHeader& h = info->header;
    const int32_t rows = h.height < 0 ? -h.height : h.height;
    if (h.width <= 0 || h.width > kMaxSide || rows <= 0 || rows > kMaxSide) return nullptr;
    if (h.bitCount != 16 && h.bitCount != 24 && h.bitCount != 32) return nullptr;
    if (h.compression != BI_RGB && !(h.compression == BI_BITFIELDS && h.bitCount != 24)) {
        return nullptr;
    }
    auto* s = static_cast<DibSection*>(std::calloc(1, sizeof(DibSection)));
    if (s == nullptr) return nullptr;
    s->info = *info;
    s->stride = static_cast<int32_t>(DibStride(h.width, h.bitCount));
    s->bits = static_cast<uint8_t*>(
        std::calloc(static_cast<size_t>(s->stride), static_cast<size_t>(rows)));
    if (s->bits == nullptr) {
        std::free(s);
        return nullptr;
    }
    return s;
}

int DeleteObject(DibSection* section) {
    if (section == nullptr) return 1;
    std::free(section->bits);
    std::free(section);
    return 1;
}

int SetDIBitsToDevice(DibSection* target, const BitmapInfo* source, const void* sourceBits,
                      size_t sourceSize) {
    return StretchDIBits(target, source, sourceBits, sourceSize, 0);
}

int StretchDIBits(DibSection* target, const BitmapInfo* source, const void* sourceBits,
                  size_t sourceSize, int mirror) {
    if (target == nullptr || source == nullptr || sourceBits == nullptr) return 0;
    const BitmapInfoHeader& sh = source->header;
    const int bits = sh.bitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return 0;
    if (sh.compression != BI_RGB &&
        !(sh.compression == BI_BITFIELDS && (bits == 16 || bits == 32))) {
        return 0;
    }
    if (sh.width <= 0 || sh.width > kMaxSide || sh.height == 0 || sh.height < -kMaxSide ||
        sh.height > kMaxSide) {
        return 0;
    }
    const int32_t rows = sh.height < 0 ? -sh.height : sh.height;
    const int64_t stride = DibStride(sh.width, bits);
    if (static_cast<uint64_t>(stride) * static_cast<uint64_t>(rows) > sourceSize) return 0;

    uint32_t sm[3];
    GetDibMasks(source, sm);
    const MaskInfo sc[3] = {Describe(sm[0]), Describe(sm[1]), Describe(sm[2])};
    uint32_t tm[3];
    GetDibMasks(&target->info, tm);
    const MaskInfo tc[3] = {Describe(tm[0]), Describe(tm[1]), Describe(tm[2])};
    const BitmapInfoHeader& th = target->info.header;
    const int32_t targetRows = th.height < 0 ? -th.height : th.height;
    const int tb = th.bitCount / 8;

    const auto* src = static_cast<const uint8_t*>(sourceBits);
    const int32_t drawRows = rows < targetRows ? rows : targetRows;
    const int32_t drawCols = sh.width < th.width ? sh.width : th.width;
    for (int32_t y = 0; y < drawRows; ++y) {
        // Row y counted from the picture's top in both.
        const uint8_t* s = src + (sh.height < 0 ? y : rows - 1 - y) * stride;
        uint8_t* t = target->bits +
                     static_cast<int64_t>(th.height < 0 ? y : targetRows - 1 - y) * target->stride;
        for (int32_t x = 0; x < drawCols; ++x) {
            uint32_t r, g, b;
            if (bits <= 8) {
                const int perByte = 8 / bits;
                const uint8_t byte = s[x / perByte];
                const int shift = 8 - bits * (x % perByte + 1);
                const uint32_t index = (byte >> shift) & ((1u << bits) - 1u);
                const RgbQuad& q = source->colors[index];
                r = q.red;
                g = q.green;
                b = q.blue;
            } else {
                uint32_t v = 0;
                for (int i = 0; i < bits / 8; ++i)
                    v |= static_cast<uint32_t>(s[x * (bits / 8) + i]) << (8 * i);
                r = To8(v, sc[0]);
                g = To8(v, sc[1]);
                b = To8(v, sc[2]);
            }
            const int32_t tx = mirror == 1 ? drawCols - 1 - x : x;
            uint8_t* p = t + static_cast<int64_t>(tx) * tb;
            if (tb == 3) {
                p[0] = static_cast<uint8_t>(b);
                p[1] = static_cast<uint8_t>(g);
                p[2] = static_cast<uint8_t>(r);
            } else {
                const uint32_t v = From8(r, tc[0]) | From8(g, tc[1]) | From8(b, tc[2]);
                for (int i = 0; i < tb; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
            }
        }
    }
    return drawRows;
}

}  // namespace plat
