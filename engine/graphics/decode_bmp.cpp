// BMP: uncompressed 4, 8 and 24 bits and RLE8/RLE4 decoded here; every other form (1, 16 and
// 32 bits, bit fields) is drawn into a 24-bit DIB section and copied out.
#include <cstring>

#include "engine/base/log.h"
#include "engine/base/sjis.h"
#include "engine/graphics/image_decode.h"
#include "engine/graphics/image_stream.h"

namespace tessra {

using namespace sjis_literals;

namespace {

// A two-byte run gives at most 255 pixels, and line ends and deltas skip more for a few bytes;
// this many pixels a byte leaves room for every real RLE picture.
constexpr int64_t kRlePixelsPerByte = 1024;

struct BmpInfo {
    int32_t width;
    int32_t height;  // as in the file: positive means bottom-up rows
    int32_t rows;
    uint16_t bitCount;
    uint32_t compression;
    int64_t stride;  // source row bytes
};

// Row of the output (top-down) that the r-th row in file order lands on.
inline int32_t OutputRow(const BmpInfo& b, int32_t fileRow) {
    return b.height > 0 ? b.rows - 1 - fileRow : fileRow;
}

// RLE8 (nibbles false) or RLE4 (nibbles true) into a zeroed buffer of one byte a pixel. Every
// write is clipped to the picture; data that ends inside a packet fails.
bool DecodeRle(const BmpInfo& b, const uint8_t* data, size_t size, uint8_t* out, int32_t pitch,
               bool nibbles) {
    size_t pos = 0;
    int32_t x = 0;
    int32_t row = 0;  // in file order
    auto put = [&](uint8_t v) {
        if (x >= 0 && x < b.width && row >= 0 && row < b.rows) {
            out[static_cast<int64_t>(OutputRow(b, row)) * pitch + x] = v;
        }
        ++x;
    };
    while (row < b.rows) {
        if (size - pos < 2) return pos == size;  // a picture may end without its end code
        const uint8_t n = data[pos];
        const uint8_t v = data[pos + 1];
        pos += 2;
        if (n > 0) {
            for (int i = 0; i < n && x < b.width; ++i) {
                put(nibbles ? ((i & 1) ? (v & 0x0F) : (v >> 4)) : v);
            }
            continue;
        }
        switch (v) {
            case 0:
                x = 0;
                ++row;
                break;
            case 1:
                return true;
            case 2: {
                if (size - pos < 2) return false;
                x += data[pos];
                row += data[pos + 1];
                pos += 2;
                break;
            }
            default: {
                const size_t bytes = nibbles ? (v + 1u) / 2u : v;
                const size_t padded = (bytes + 1u) & ~size_t{1};
                if (size - pos < bytes) return false;
                for (int i = 0; i < v; ++i) {
                    const uint8_t byte = data[pos + (nibbles ? i / 2 : i)];
                    put(nibbles ? ((i & 1) ? (byte & 0x0F) : (byte >> 4)) : byte);
                }
                pos += padded <= size - pos ? padded : size - pos;
                break;
            }
        }
    }
    return true;
}

void StorePalette(GraphImage* image, const uint8_t* palette, int entries) {
    std::memset(image->format.palette, 0, sizeof image->format.palette);
    for (int i = 0; i < entries; ++i) {
        std::memcpy(image->format.palette[i], palette + 4 * i, 3);
        image->format.palette[i][3] = 0;
    }
}

}  // namespace

int DecodeBmpImage(StreamIo* stream, GraphImage* image) {
    if (stream->Seek(stream->handle, 0, kSeekSet) != 0) return -1;
    const int64_t fileSize = StreamRemaining(stream);
    uint8_t fileHeader[14];
    if (fileSize < 14 + 40 || !StreamReadExact(stream, fileHeader, 14)) return -1;
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M') return -1;
    const uint32_t pixelOffset = Le32(fileHeader + 10);

    uint8_t info[40];
    if (!StreamReadExact(stream, info, 40)) return -1;
    const uint32_t infoSize = Le32(info);
    BmpInfo b{};
    b.width = static_cast<int32_t>(Le32(info + 4));
    b.height = static_cast<int32_t>(Le32(info + 8));
    b.bitCount = Le16(info + 14);
    b.compression = Le32(info + 16);
    // Sizes that are zero, negative or large enough to overflow the buffers are refused.
    const int64_t rows64 = b.height < 0 ? -static_cast<int64_t>(b.height) : b.height;
    if (infoSize < 40 || infoSize > 124 || b.width <= 0 || b.width > kGraphImageMaxSide ||
        rows64 == 0 || rows64 > kGraphImageMaxSide) {
        return -1;
    }
    if (b.bitCount != 1 && b.bitCount != 4 && b.bitCount != 8 && b.bitCount != 16 &&
        b.bitCount != 24 && b.bitCount != 32) {
        return -1;
    }
    b.rows = static_cast<int32_t>(rows64);
    b.stride = ((static_cast<int64_t>(b.bitCount) * b.width + 7) / 8 + 3) / 4 * 4;

    // The palette (or the three masks) follow the information header; only the entries that
    // lie before the pixels are read, and a palette never has more than 2^bits of them.
    const int64_t tableStart = 14 + static_cast<int64_t>(infoSize);
    const int64_t tableRoom = static_cast<int64_t>(pixelOffset) - tableStart;
    uint8_t palette[256 * 4] = {};
    int paletteEntries = 0;
    uint32_t masks[3] = {0, 0, 0};
    if (!StreamSeekTo(stream, tableStart)) return -1;
    if (b.bitCount <= 8) {
        const int64_t wanted = int64_t{1} << b.bitCount;
        paletteEntries = static_cast<int>(
            tableRoom <= 0 ? 0 : (tableRoom / 4 < wanted ? tableRoom / 4 : wanted));
        const size_t got = StreamReadSome(stream, palette, static_cast<size_t>(paletteEntries) * 4);
        paletteEntries = static_cast<int>(got / 4);
    } else if (b.compression == plat::BI_BITFIELDS) {
        uint8_t m[12];
        if (infoSize >= 52) {  // newer headers keep the masks inside
            if (!StreamSeekTo(stream, 14 + 40) || !StreamReadExact(stream, m, 12)) return -1;
        } else if (!StreamReadExact(stream, m, 12)) {
            return -1;
        }
        masks[0] = Le32(m);
        masks[1] = Le32(m + 4);
        masks[2] = Le32(m + 8);
    }

    if (pixelOffset >= static_cast<uint64_t>(fileSize) || !StreamSeekTo(stream, pixelOffset))
        return -1;
    const auto dataSize = static_cast<size_t>(fileSize - pixelOffset);
    TaggedBuffer data(dataSize);
    if (data.get() == nullptr || !StreamReadExact(stream, data.get(), dataSize)) return -1;

    const size_t needed = static_cast<size_t>(b.stride) * static_cast<size_t>(b.rows);
    std::memset(image, 0, sizeof *image);
    image->width = b.width;
    image->height = b.rows;

    if ((b.compression == plat::BI_RLE8 && b.bitCount == 8) ||
        (b.compression == plat::BI_RLE4 && b.bitCount == 4)) {
        if (!AreaFitsInput(b.width, b.rows, static_cast<int64_t>(dataSize), kRlePixelsPerByte)) {
            std::memset(image, 0, sizeof *image);
            return -1;
        }
        const bool nibbles = b.bitCount == 4;
        const int32_t pitch = nibbles ? (b.width + 3) & ~3 : static_cast<int32_t>(b.stride);
        TaggedBuffer out(static_cast<size_t>(pitch) * static_cast<size_t>(b.rows), true);
        if (out.get() == nullptr ||
            !DecodeRle(b, data.get(), dataSize, out.get(), pitch, nibbles)) {
            std::memset(image, 0, sizeof *image);
            return -1;
        }
        SetPaletteXrgbFormat(&image->format);
        StorePalette(image, palette, paletteEntries);
        image->pitch = pitch;
        image->pixels = out.release();
        return 0;
    }

    if (b.compression == plat::BI_RGB && (b.bitCount == 4 || b.bitCount == 8 || b.bitCount == 24)) {
        if (dataSize < needed) {
            std::memset(image, 0, sizeof *image);
            return -1;
        }
        const int32_t pitch = b.bitCount == 4 ? (b.width + 3) & ~3 : static_cast<int32_t>(b.stride);
        TaggedBuffer out(static_cast<size_t>(pitch) * static_cast<size_t>(b.rows));
        if (out.get() == nullptr) {
            std::memset(image, 0, sizeof *image);
            return -1;
        }
        for (int32_t r = 0; r < b.rows; ++r) {
            const uint8_t* s = data.get() + static_cast<size_t>(r) * static_cast<size_t>(b.stride);
            uint8_t* d = out.get() + static_cast<int64_t>(OutputRow(b, r)) * pitch;
            if (b.bitCount == 4) {
                for (int32_t x = 0; x < b.width; ++x)
                    d[x] = (x & 1) ? (s[x / 2] & 0x0F) : (s[x / 2] >> 4);
                for (int32_t x = b.width; x < pitch; ++x) d[x] = 0;
            } else {
                std::memcpy(d, s, static_cast<size_t>(pitch));
            }
        }
        if (b.bitCount == 24) {
            SetRgb24Format(&image->format);
        } else {
            SetPaletteXrgbFormat(&image->format);
            StorePalette(image, palette, paletteEntries);
        }
        image->pitch = pitch;
        image->pixels = out.release();
        return 0;
    }

    // The rest goes through a 24-bit top-down DIB section. Its pixels are stored whole, so a
    // file shorter than its stated rows is refused before the section is made for them.
    if (dataSize < needed) {
        std::memset(image, 0, sizeof *image);
        return -1;
    }
    plat::BitmapInfo source{};
    std::memcpy(&source.header, info, 40);
    source.header.size = 40;
    if (b.bitCount <= 8) {
        std::memcpy(source.colors, palette, static_cast<size_t>(paletteEntries) * 4);
    } else if (b.compression == plat::BI_BITFIELDS) {
        plat::SetDibMasks(&source, masks[0], masks[1], masks[2]);
    }
    plat::BitmapInfo target{};
    target.header.size = 40;
    target.header.width = b.width;
    target.header.height = -b.rows;
    target.header.planes = 1;
    target.header.bitCount = 24;
    target.header.compression = plat::BI_RGB;
    plat::DibSection* section = plat::CreateDIBSection(&target);
    if (section == nullptr) {
        std::memset(image, 0, sizeof *image);
        return AppendLog("ＤＩＢの作成に失敗しました3\n"_sjis);
    }
    if (plat::SetDIBitsToDevice(section, &source, data.get(), dataSize) != b.rows) {
        plat::DeleteObject(section);
        std::memset(image, 0, sizeof *image);
        return -1;
    }
    const int32_t pitch = (section->stride + 3) / 4 * 4;
    TaggedBuffer out(static_cast<size_t>(pitch) * static_cast<size_t>(b.rows));
    if (out.get() == nullptr) {
        plat::DeleteObject(section);
        std::memset(image, 0, sizeof *image);
        return AppendLog(
            "２４ビットカラー化したグラフィックを格納するメモリ領域の確保に失敗しました\n"_sjis);
    }
    std::memcpy(out.get(), section->bits, static_cast<size_t>(pitch) * static_cast<size_t>(b.rows));
    plat::DeleteObject(section);
    SetRgb24Format(&image->format);
    image->pitch = pitch;
    image->pixels = out.release();
    return 0;
}

}  // namespace tessra
