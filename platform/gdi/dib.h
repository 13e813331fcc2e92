// Device-independent bitmaps in memory: the header records that BMP files and DIB transfers
// use, and DIB sections that a DIB can be drawn into, converting its pixels on the way.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/ddraw/pixel_format.h"

namespace plat {

inline constexpr uint32_t BI_RGB = 0;
inline constexpr uint32_t BI_RLE8 = 1;
inline constexpr uint32_t BI_RLE4 = 2;
inline constexpr uint32_t BI_BITFIELDS = 3;

#pragma pack(push, 1)
struct BitmapInfoHeader {
    uint32_t size;  // 40
    int32_t width;
    int32_t height;  // negative: rows top-down
    uint16_t planes;
    uint16_t bitCount;
    uint32_t compression;
    uint32_t sizeImage;
    int32_t xPelsPerMeter;
    int32_t yPelsPerMeter;
    uint32_t clrUsed;
    uint32_t clrImportant;
};
#pragma pack(pop)
static_assert(sizeof(BitmapInfoHeader) == 40);

struct RgbQuad {
    uint8_t blue, green, red, reserved;
};

// With BI_BITFIELDS the first three entries hold the red, green and blue masks.
struct BitmapInfo {
    BitmapInfoHeader header;
    RgbQuad colors[256];
};

// The three masks of a BI_BITFIELDS header (or of the defaults for BI_RGB 16 and 32 bits).
void GetDibMasks(const BitmapInfo* info, uint32_t masks[3]);
void SetDibMasks(BitmapInfo* info, uint32_t red, uint32_t green, uint32_t blue);

// Bytes per row of a DIB: rows are padded to 4 bytes.
int64_t DibStride(int32_t width, int32_t bitCount);

// Reads the pixels of an uncompressed DIB (1/4/8 bits through the colour table, 16 and 32 bits
// through the masks, 24 bits BGR) as 0xRRGGBB, rows counted from the picture's top whichever
// way the DIB stores them.
struct DibReader {
    const BitmapInfo* info;
    const uint8_t* bits;
    int64_t stride;
    int32_t width;
    int32_t rows;
    bool topDown;
    int bitCount;
    ChannelMask masks[3];

    // Storage row of a picture row (0 = the picture's top).
    int32_t StorageRow(int32_t pictureRow) const {
        return topDown ? pictureRow : rows - 1 - pictureRow;
    }
    const uint8_t* Row(int32_t pictureRow) const { return bits + StorageRow(pictureRow) * stride; }
    uint32_t Rgb(const uint8_t* row, int32_t x) const;
};
// False for an unsupported format or a size outside 1..32767, and when the header needs more
// than sourceSize bytes.
bool OpenDibReader(const BitmapInfo* info, const void* bits, size_t sourceSize, DibReader* out);

struct DibSection {
    BitmapInfo info;  // 16, 24 or 32 bits; 16 and 32 with BI_BITFIELDS or the defaults
    uint8_t* bits;    // stride x |height| bytes, zeroed at creation
    int32_t stride;
};

// Null for an unsupported format, a bad size or no memory.
DibSection* CreateDIBSection(const BitmapInfo* info);
int DeleteObject(DibSection* section);  // 1; null is ignored

// Draws the DIB (uncompressed 1/4/8/16/24/32 bits, or bit fields at 16 and 32) into the section
// at (0, 0), clipped to it. sourceSize bounds every read of sourceBits. Returns the number of
// rows drawn, 0 on failure (unsupported compression or depth, data too short).
int SetDIBitsToDevice(DibSection* target, const BitmapInfo* source, const void* sourceBits,
                      size_t sourceSize);
// The same, written right to left when mirror is 1 (a negative destination width).
int StretchDIBits(DibSection* target, const BitmapInfo* source, const void* sourceBits,
                  size_t sourceSize, int mirror);

}  // namespace plat
