// The raw "BGRA" image, TGA and DDS decoders. Every size read from a file is bounded and every
// read checked before anything is allocated from it.
#include <cstring>

#include "engine/graphics/image_decode.h"
#include "engine/graphics/image_stream.h"

namespace tessra {

namespace {

void SetArgbFormat(ColorFormat* f) {
    BuildColorFormatFromMasks(f, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
}

bool SideOk(int64_t v, int64_t max) {
    return v > 0 && v <= max;
}

}  // namespace

int DecodeBgraImage(StreamIo* stream, GraphImage* image) {
    uint8_t h[16];
    if (!StreamReadExact(stream, h, 16) || std::memcmp(h, "BGRA", 4) != 0) return -1;
    const uint32_t code = Le32(h + 4);
    const auto width = static_cast<int32_t>(Le32(h + 8));
    const auto height = static_cast<int32_t>(Le32(h + 12));
    if (code != kBgraCode8 && code != kBgraCode16) return -1;
    if (!SideOk(width, kGraphImageMaxSide) || !SideOk(height, kGraphImageMaxSide)) return -1;
    const size_t sourcePixel = code == kBgraCode8 ? 4 : 8;
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    const int64_t remaining = StreamRemaining(stream);
    if (remaining < 0 || static_cast<uint64_t>(remaining) < pixels * sourcePixel) return -1;

    TaggedBuffer out(pixels * 4);
    if (out.get() == nullptr) return -1;
    if (code == kBgraCode8) {
        if (!StreamReadExact(stream, out.get(), pixels * 4)) return -1;
    } else {
        TaggedBuffer row(static_cast<size_t>(width) * 8);
        if (row.get() == nullptr) return -1;
        for (int32_t y = 0; y < height; ++y) {
            if (!StreamReadExact(stream, row.get(), static_cast<size_t>(width) * 8)) return -1;
            uint8_t* d = out.get() + static_cast<size_t>(y) * static_cast<size_t>(width) * 4;
            for (int32_t x = 0; x < width; ++x) {
                // Each 16-bit channel keeps its high byte.
                for (int c = 0; c < 4; ++c) d[x * 4 + c] = row.get()[x * 8 + c * 2 + 1];
            }
        }
    }
    std::memset(image, 0, sizeof *image);
    SetArgbFormat(&image->format);
    image->width = width;
    image->height = height;
    image->pitch = width * 4;
    image->pixels = out.release();
    return 0;
}

int DecodeTgaImage(StreamIo* stream, GraphImage* image) {
    const int64_t fileSize = StreamRemaining(stream);
    if (fileSize < 18) return -1;
    bool footer = false;
    if (fileSize >= 26 + 18) {
        uint8_t f[26];
        if (StreamSeekTo(stream, fileSize - 26) && StreamReadExact(stream, f, 26)) {
            footer = std::memcmp(f + 8, "TRUEVISION-XFILE", 16) == 0 && Le32(f) == 0;
        }
    }
    uint8_t h[18];
    if (!StreamSeekTo(stream, 0) || !StreamReadExact(stream, h, 18)) return -1;
    const uint8_t idLength = h[0];
    const uint8_t mapType = h[1];
    const uint8_t type = h[2];
    const uint16_t mapFirst = Le16(h + 3);
    const uint16_t mapLength = Le16(h + 5);
    const uint8_t mapEntryBits = h[7];
    const uint16_t xOrigin = Le16(h + 8);
    const uint16_t yOrigin = Le16(h + 10);
    const int32_t width = Le16(h + 12);
    const int32_t height = Le16(h + 14);
    const uint8_t pixelBits = h[16];
    const uint8_t descriptor = h[17];

    const bool mapped = type == 1 || type == 9;
    if (!mapped && type != 2 && type != 10) return -1;
    if (xOrigin != 0 || yOrigin != 0) return -1;
    if (!SideOk(width, 4095) || !SideOk(height, 4095)) return -1;
    const int depth = mapped ? mapEntryBits : pixelBits;
    if (depth != 16 && depth != 24 && depth != 32) return -1;
    // Indices are one or two bytes, as the pixel depth says.
    if (mapped && pixelBits != 8 && pixelBits != 16) return -1;
    const int bytes = depth / 8;
    const int sourceBytes = mapped ? pixelBits / 8 : bytes;

    if (!StreamSeekTo(stream, 18 + idLength)) return -1;
    // A colour map is read into 256 entries; entries past the table are skipped, and indices
    // past it give black. A map in a true-colour image is skipped.
    uint8_t map[256 * 4] = {};
    if (mapType == 1 && mapLength > 0) {
        const int entryBytes = (mapEntryBits + 7) / 8;
        if (entryBytes == 0) return -1;
        const size_t mapBytes = static_cast<size_t>(mapLength) * static_cast<size_t>(entryBytes);
        TaggedBuffer raw(mapBytes);
        if (raw.get() == nullptr || !StreamReadExact(stream, raw.get(), mapBytes)) return -1;
        if (mapped) {
            if (entryBytes != bytes) return -1;
            for (int i = 0; i < mapLength; ++i) {
                const int index = mapFirst + i;
                if (index >= 256) break;
                std::memcpy(map + index * bytes, raw.get() + i * entryBytes,
                            static_cast<size_t>(bytes));
            }
        }
    } else if (mapped) {
        return -1;
    }

    const size_t count = static_cast<size_t>(width) * static_cast<size_t>(height);
    TaggedBuffer indices(count * static_cast<size_t>(sourceBytes));
    if (indices.get() == nullptr) return -1;
    if (type == 9 || type == 10) {
        const int64_t here = stream->Tell(stream->handle);
        const int64_t end = fileSize - (footer ? 26 : 0);
        if (here < 0 || end < here) return -1;
        const auto packedSize = static_cast<size_t>(end - here);
        TaggedBuffer packed(packedSize);
        if (packed.get() == nullptr || !StreamReadExact(stream, packed.get(), packedSize))
            return -1;
        size_t pos = 0, done = 0;
        uint8_t* out = indices.get();
        while (done < count) {
            if (pos >= packedSize) return -1;  // the data end before the picture does
            const uint8_t b = packed.get()[pos++];
            size_t n = (b & 0x7Fu) + 1;
            if (n > count - done) n = count - done;  // a packet past the picture is cut there
            if (b & 0x80) {
                if (packedSize - pos < static_cast<size_t>(sourceBytes)) return -1;
                for (size_t i = 0; i < n; ++i) {
                    std::memcpy(out + (done + i) * sourceBytes, packed.get() + pos,
                                static_cast<size_t>(sourceBytes));
                }
                pos += static_cast<size_t>(sourceBytes);
            } else {
                const size_t want = n * static_cast<size_t>(sourceBytes);
                if (packedSize - pos < want) return -1;
                std::memcpy(out + done * sourceBytes, packed.get() + pos, want);
                pos += want;
            }
            done += n;
        }
    } else if (!StreamReadExact(stream, indices.get(), count * static_cast<size_t>(sourceBytes))) {
        return -1;
    }

    TaggedBuffer pixels;
    if (mapped) {
        TaggedBuffer expanded(count * static_cast<size_t>(bytes));
        if (expanded.get() == nullptr) return -1;
        for (size_t i = 0; i < count; ++i) {
            const uint32_t index =
                sourceBytes == 1 ? indices.get()[i] : Le16(indices.get() + i * 2);
            if (index < 256) {
                std::memcpy(expanded.get() + i * bytes, map + index * bytes,
                            static_cast<size_t>(bytes));
            } else {
                std::memset(expanded.get() + i * bytes, 0, static_cast<size_t>(bytes));
            }
        }
        pixels.swap(expanded);
    } else {
        pixels.swap(indices);
    }

    const bool bottomUp = (descriptor & 0x20) == 0;
    const bool rightToLeft = (descriptor & 0x10) != 0;
    const size_t pitch = static_cast<size_t>(width) * static_cast<size_t>(bytes);
    if (bottomUp || rightToLeft) {
        TaggedBuffer flipped(pitch * static_cast<size_t>(height));
        if (flipped.get() == nullptr) return -1;
        for (int32_t y = 0; y < height; ++y) {
            const uint8_t* s =
                pixels.get() + static_cast<size_t>(bottomUp ? height - 1 - y : y) * pitch;
            uint8_t* d = flipped.get() + static_cast<size_t>(y) * pitch;
            if (!rightToLeft) {
                std::memcpy(d, s, pitch);
                continue;
            }
            for (int32_t x = 0; x < width; ++x) {
                std::memcpy(d + static_cast<size_t>(x) * bytes,
                            s + static_cast<size_t>(width - 1 - x) * bytes,
                            static_cast<size_t>(bytes));
            }
        }
        pixels.swap(flipped);
    }

    std::memset(image, 0, sizeof *image);
    if (depth == 16) {
        BuildColorFormatFromMasks(&image->format, 16, 0x7C00, 0x3E0, 0x1F, 0);
    } else if (depth == 24) {
        SetRgb24Format(&image->format);
    } else {
        SetArgbFormat(&image->format);
    }
    image->width = width;
    image->height = height;
    image->pitch = static_cast<int32_t>(pitch);
    image->pixels = pixels.release();
    return 0;
}

namespace {

struct DdsFormatRow {
    uint32_t format, bits, red, green, blue, alpha;
};

const DdsFormatRow DdsFormatTable[] = {
    {20, 24, 0xFF0000, 0xFF00, 0xFF, 0},
    {21, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
    {22, 32, 0xFF0000, 0xFF00, 0xFF, 0},
    {23, 16, 0xF800, 0x7E0, 0x1F, 0},
    {24, 16, 0x7C00, 0x3E0, 0x1F, 0},
    {25, 16, 0x7C00, 0x3E0, 0x1F, 0x8000},
    {26, 16, 0xF00, 0xF0, 0xF, 0xF000},
    {27, 8, 0xE0, 0x1C, 0x3, 0},
    {29, 16, 0xE0, 0x1C, 0x3, 0xFF00},
    {30, 16, 0xF00, 0xF0, 0xF, 0},
    {31, 32, 0x3FF, 0xFFC00, 0x3FF00000, 0xC0000000},
    {32, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000},
    {33, 32, 0xFF, 0xFF00, 0xFF0000, 0},
    {35, 32, 0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000},
    {0xFFFFFFFF, 0, 0, 0, 0, 0},
};

// An 8-bit pixel of packed channels would be taken for a palette index everywhere else, so
// it becomes one: palette entry i is the colour of value i.
void PaletteFromPackedBytes(ColorFormat* f) {
    const ColorFormat packed = *f;
    SetPaletteXrgbFormat(f);
    for (uint32_t i = 0; i < 256; ++i) {
        auto widen = [](uint32_t v, int width) -> uint8_t {
            if (width == 0) return 0;
            // A header may claim a channel wider than the byte: its top eight bits serve.
            if (width >= 8) return static_cast<uint8_t>(v >> (width - 8));
            uint32_t out = v << (8 - width);
            for (int have = width; have < 8; have *= 2) out |= out >> have;
            return static_cast<uint8_t>(out);
        };
        f->palette[i][2] = widen(((i & packed.redMask) >> packed.redShift), packed.redWidth);
        f->palette[i][1] = widen(((i & packed.greenMask) >> packed.greenShift), packed.greenWidth);
        f->palette[i][0] = widen(((i & packed.blueMask) >> packed.blueShift), packed.blueWidth);
        f->palette[i][3] = 0;
    }
}

}  // namespace

int DecodeDdsImage(StreamIo* stream, GraphImage* image) {
    uint8_t magic[4];
    if (!StreamReadExact(stream, magic, 4) || std::memcmp(magic, "DDS ", 4) != 0) return -1;
    uint8_t h[124];
    if (!StreamReadExact(stream, h, 124) || Le32(h) != 124) return -1;
    const uint32_t flags = Le32(h + 4);
    const auto height = static_cast<int32_t>(Le32(h + 8));
    const auto width = static_cast<int32_t>(Le32(h + 12));
    const uint32_t pitchField = Le32(h + 16);
    const uint32_t pfFlags = Le32(h + 76);
    const uint32_t fourCC = Le32(h + 80);
    if (!SideOk(width, kGraphImageMaxSide) || !SideOk(height, kGraphImageMaxSide)) return -1;
    // "DX10" announces a 20-byte extra header before the pixels, whatever the other flags say;
    // read as plain RGB the picture would shift. Such files are not ours to read.
    constexpr uint32_t kFourCcDx10 = 0x30315844;
    if (fourCC == kFourCcDx10) return -1;

    ColorFormat format{};
    if (pfFlags & plat::DDPF_RGB) {
        const uint32_t bits = Le32(h + 84);
        if (bits != 8 && bits != 16 && bits != 24 && bits != 32) return -1;
        BuildColorFormatFromMasks(&format, static_cast<int32_t>(bits), Le32(h + 88), Le32(h + 92),
                                  Le32(h + 96), Le32(h + 100));
    } else if (pfFlags == plat::DDPF_FOURCC) {
        const DdsFormatRow* row = DdsFormatTable;
        while (row->format != 0xFFFFFFFF && row->format != fourCC) ++row;
        if (row->format == 0xFFFFFFFF) return -1;
        BuildColorFormatFromMasks(&format, static_cast<int32_t>(row->bits), row->red, row->green,
                                  row->blue, row->alpha);
    } else {
        return -1;
    }
    const int64_t rowBytes = static_cast<int64_t>(format.bytesPerPixel) * width;
    const int64_t pitch = (flags & 0x8) ? static_cast<int64_t>(pitchField) : rowBytes;
    if (pitch < rowBytes || pitch > INT32_MAX) return -1;
    const int64_t size = pitch * height;
    const int64_t remaining = StreamRemaining(stream);
    if (remaining < size) return -1;
    TaggedBuffer out(static_cast<size_t>(size));
    if (out.get() == nullptr || !StreamReadExact(stream, out.get(), static_cast<size_t>(size)))
        return -1;

    if (format.bitDepth == 8) PaletteFromPackedBytes(&format);
    std::memset(image, 0, sizeof *image);
    image->format = format;
    image->width = width;
    image->height = height;
    image->pitch = static_cast<int32_t>(pitch);
    image->pixels = out.release();
    return 0;
}

}  // namespace tessra
