#include "platform/gdi/dib.h"

#include "platform/ddraw/pixel_format.h"

#include <cstdlib>
#include <cstring>

namespace plat {

namespace {

inline constexpr int32_t kMaxSide = 32767;

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

uint32_t DibReader::Rgb(const uint8_t* row, int32_t x) const {
    if (bitCount <= 8) {
        const int perByte = 8 / bitCount;
        const uint8_t byte = row[x / perByte];
        const int shift = 8 - bitCount * (x % perByte + 1);
        const uint32_t index = (byte >> shift) & ((1u << bitCount) - 1u);
        const RgbQuad& q = info->colors[index];
        return (static_cast<uint32_t>(q.red) << 16) | (static_cast<uint32_t>(q.green) << 8) |
               q.blue;
    }
    const int bytes = bitCount / 8;
    const uint32_t v = ReadPixelBytes(row + static_cast<int64_t>(x) * bytes, bytes);
    return (ChannelTo8(v, masks[0]) << 16) | (ChannelTo8(v, masks[1]) << 8) |
           ChannelTo8(v, masks[2]);
}

bool OpenDibReader(const BitmapInfo* info, const void* bits, size_t sourceSize, DibReader* out) {
    if (info == nullptr || bits == nullptr || out == nullptr) return false;
    const BitmapInfoHeader& sh = info->header;
    const int b = sh.bitCount;
    if (b != 1 && b != 4 && b != 8 && b != 16 && b != 24 && b != 32) return false;
    if (sh.compression != BI_RGB && !(sh.compression == BI_BITFIELDS && (b == 16 || b == 32))) {
        return false;
    }
    if (sh.width <= 0 || sh.width > kMaxSide || sh.height == 0 || sh.height < -kMaxSide ||
        sh.height > kMaxSide) {
        return false;
    }
    out->info = info;
    out->bits = static_cast<const uint8_t*>(bits);
    out->width = sh.width;
    out->rows = sh.height < 0 ? -sh.height : sh.height;
    out->topDown = sh.height < 0;
    out->bitCount = b;
    out->stride = DibStride(sh.width, b);
    if (static_cast<uint64_t>(out->stride) * static_cast<uint64_t>(out->rows) > sourceSize) {
        return false;
    }
    uint32_t m[3];
    if (b == 24) {
        m[0] = 0xFF0000;
        m[1] = 0xFF00;
        m[2] = 0xFF;
    } else {
        GetDibMasks(info, m);
    }
    for (int i = 0; i < 3; ++i) out->masks[i] = DescribeChannel(m[i]);
    return true;
}

int StretchDIBits(DibSection* target, const BitmapInfo* source, const void* sourceBits,
                  size_t sourceSize, int mirror) {
    if (target == nullptr) return 0;
    DibReader reader;
    if (!OpenDibReader(source, sourceBits, sourceSize, &reader)) return 0;
    uint32_t tm[3];
    GetDibMasks(&target->info, tm);
    const ChannelMask tc[3] = {DescribeChannel(tm[0]), DescribeChannel(tm[1]),
                               DescribeChannel(tm[2])};
    const BitmapInfoHeader& th = target->info.header;
    const int32_t targetRows = th.height < 0 ? -th.height : th.height;
    const int tb = th.bitCount / 8;

    const int32_t drawRows = reader.rows < targetRows ? reader.rows : targetRows;
    const int32_t drawCols = reader.width < th.width ? reader.width : th.width;
    for (int32_t y = 0; y < drawRows; ++y) {
        // Row y counted from the picture's top in both.
        const uint8_t* s = reader.Row(y);
        uint8_t* t = target->bits +
                     static_cast<int64_t>(th.height < 0 ? y : targetRows - 1 - y) * target->stride;
        for (int32_t x = 0; x < drawCols; ++x) {
            const uint32_t rgb = reader.Rgb(s, x);
            const uint32_t r = rgb >> 16, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
            const int32_t tx = mirror == 1 ? drawCols - 1 - x : x;
            uint8_t* p = t + static_cast<int64_t>(tx) * tb;
            if (tb == 3) {
                p[0] = static_cast<uint8_t>(b);
                p[1] = static_cast<uint8_t>(g);
                p[2] = static_cast<uint8_t>(r);
            } else {
                WritePixelBytes(
                    p, tb,
                    ChannelFrom8(r, tc[0]) | ChannelFrom8(g, tc[1]) | ChannelFrom8(b, tc[2]));
            }
        }
    }
    return drawRows;
}

}  // namespace plat
