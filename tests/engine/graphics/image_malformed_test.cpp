// Broken, cut and hostile picture files: every decoder fails cleanly, writes nothing out of
// bounds (the sanitizer build checks) and leaves no memory behind.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <random>

#include "engine/base/memory.h"
#include "engine/graphics/image_decode.h"
#include "image_files.h"

namespace tessra {
namespace {

using testimg::Bytes;
using testimg::Picture;

int DecodeWith(ImageLoaderFunc loader, const Bytes& file) {
    const StreamHandle h = OpenMemStream(file.data(), static_cast<uint32_t>(file.size()));
    StreamIo io = MakeStreamIo(GetMemStreamFuncs(), h);
    GraphImage image{};
    const int r = loader(&io, &image);
    io.Close(io.handle);
    if (r == 0) {
        // Touch every byte the record claims, so a short buffer shows under the sanitizer.
        volatile uint8_t sink = 0;
        const size_t size = static_cast<size_t>(image.pitch) * static_cast<size_t>(image.height);
        for (size_t i = 0; i < size; ++i) sink = sink ^ image.pixels[i];
        EXPECT_GE(image.pitch, image.width * image.format.bytesPerPixel);
    }
    FreeGraphImage(&image);
    return r;
}

void Set32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void Set16(Bytes& b, size_t at, uint32_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

struct Sample {
    const char* name;
    ImageLoaderFunc loader;
    Bytes file;
    bool everyCutFails;  // formats whose every shortened file must be refused
};

std::vector<Sample> Samples() {
    Picture p;
    Bytes scratch;
    return {
        {"bmp24", DecodeBmpImage, testimg::WriteBmp(5, 4, 24, false, false, false, 1, &p), true},
        {"bmp8", DecodeBmpImage, testimg::WriteBmp(6, 3, 8, false, true, false, 2, &p), false},
        {"bmp16", DecodeBmpImage, testimg::WriteBmp(6, 3, 16, false, false, true, 2, &p), true},
        {"bmp1", DecodeBmpImage, testimg::WriteBmp(9, 3, 1, false, false, false, 2, &p), false},
        {"rle8", DecodeBmpImage, testimg::WriteBmp(9, 4, 8, true, false, false, 3, &p), false},
        {"rle4", DecodeBmpImage, testimg::WriteBmp(9, 4, 4, true, false, false, 4, &p), false},
        {"tga2", DecodeTgaImage, testimg::WriteTga(5, 4, 2, 24, 0, 3, true, 5, &p), false},
        {"tga9", DecodeTgaImage, testimg::WriteTga(7, 4, 9, 16, 0x20, 0, false, 6, &p), false},
        {"tga10", DecodeTgaImage, testimg::WriteTga(7, 4, 10, 32, 0, 0, false, 7, &p), false},
        {"dds", DecodeDdsImage,
         testimg::WriteDdsMasks(4, 3, 32, 0xFF0000, 0xFF00, 0xFF, 0, 0x40, 0, 8, &scratch), true},
        {"bgra8", DecodeBgraImage, testimg::WriteBgra(4, 3, false, 9, &p), true},
        {"bgra16", DecodeBgraImage, testimg::WriteBgra(4, 3, true, 9, &p), true},
        {"png", DecodePngImage, testimg::WritePng(6, 5, 6, 8, false, 10, &p), true},
        {"pngpal", DecodePngImage, testimg::WritePng(6, 5, 3, 4, true, 10, &p), true},
        {"jpeg", DecodeJpegImage, testimg::WriteJpeg(16, 9, false, &p), false},
    };
}

class Malformed : public ::testing::Test {
protected:
    void SetUp() override { blocks_ = GetAllocStats().count; }
    void TearDown() override {
        EXPECT_EQ(GetAllocStats().count, blocks_) << "blocks left allocated";
    }
    int32_t blocks_ = 0;
};

TEST_F(Malformed, EveryCutFileFailsOrDecodesSafely) {
    for (const Sample& s : Samples()) {
        SCOPED_TRACE(s.name);
        ASSERT_EQ(DecodeWith(s.loader, s.file), 0);
        for (size_t n = 0; n < s.file.size(); ++n) {
            const Bytes cut(s.file.begin(), s.file.begin() + static_cast<std::ptrdiff_t>(n));
            const int r = DecodeWith(s.loader, cut);
            if (s.everyCutFails) {
                ASSERT_EQ(r, -1) << "cut at " << n;
            }
        }
    }
}

TEST_F(Malformed, RandomCorruptionNeverCrashes) {
    std::mt19937 rng(20261210);
    for (const Sample& s : Samples()) {
        SCOPED_TRACE(s.name);
        for (int round = 0; round < 300; ++round) {
            Bytes f = s.file;
            const int flips = 1 + static_cast<int>(rng() % 6);
            for (int i = 0; i < flips; ++i) {
                // Header bytes are hit more often: that is where sizes and counts live.
                const size_t limit = (rng() & 1) ? std::min<size_t>(f.size(), 64) : f.size();
                f[rng() % limit] = static_cast<uint8_t>(rng());
            }
            DecodeWith(s.loader, f);
            // And through the whole chain, which tries every loader on it.
            GraphImage image{};
            if (LoadImageToGraphImage(nullptr, f.data(), static_cast<uint32_t>(f.size()), 1, 0, 0,
                                      &image, nullptr, nullptr) == 0) {
                FreeGraphImage(&image);
            }
        }
    }
}

TEST_F(Malformed, BmpBadSizesRefused) {
    Picture p;
    const Bytes good = testimg::WriteBmp(4, 4, 24, false, false, false, 1, &p);
    const std::pair<int32_t, int32_t> sizes[] = {
        {0, 4},       {4, 0},         {-4, 4},     {INT_MAX, 4},
        {4, INT_MIN}, {65536, 65536}, {100000, 1}, {1, -100000},
    };
    for (const auto& [w, h] : sizes) {
        Bytes f = good;
        Set32(f, 18, static_cast<uint32_t>(w));
        Set32(f, 22, static_cast<uint32_t>(h));
        EXPECT_EQ(DecodeWith(DecodeBmpImage, f), -1) << w << "x" << h;
    }
    Bytes f = good;
    Set16(f, 28, 7);  // bit count
    EXPECT_EQ(DecodeWith(DecodeBmpImage, f), -1);
    f = good;
    Set32(f, 10, 0x7FFFFFF0);  // pixels past the end
    EXPECT_EQ(DecodeWith(DecodeBmpImage, f), -1);
}

// An RLE8 BMP of the given packets, 4 x 3 pixels, palette of 256 greys.
Bytes Rle8(const Bytes& packets, int width = 4, int height = 3) {
    Bytes f(14 + 40, 0);
    f[0] = 'B';
    f[1] = 'M';
    Set32(f, 10, 14 + 40 + 1024);
    Set32(f, 14, 40);
    Set32(f, 18, static_cast<uint32_t>(width));
    Set32(f, 22, static_cast<uint32_t>(height));
    Set16(f, 26, 1);
    Set16(f, 28, 8);
    Set32(f, 30, 1);
    for (int i = 0; i < 256; ++i) {
        for (int c = 0; c < 3; ++c) f.push_back(static_cast<uint8_t>(i));
        f.push_back(0);
    }
    f.insert(f.end(), packets.begin(), packets.end());
    return f;
}

TEST_F(Malformed, RleRunsAndDeltasStayInsideThePicture) {
    const Bytes cases[] = {
        {200, 7, 0, 1},                        // run far past the row end
        {0, 2, 250, 0, 3, 9, 0, 1},            // delta past the row
        {0, 2, 1, 200, 3, 9, 0, 1},            // delta past the last row
        {0, 5, 1, 2, 3, 4, 5, 0, 0, 1},        // absolute run longer than the row
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 5},  // more rows than the picture
    };
    for (const Bytes& packets : cases) {
        GraphImage image{};
        const Bytes file = Rle8(packets);
        const StreamHandle h = OpenMemStream(file.data(), static_cast<uint32_t>(file.size()));
        StreamIo io = MakeStreamIo(GetMemStreamFuncs(), h);
        ASSERT_EQ(DecodeBmpImage(&io, &image), 0);
        io.Close(io.handle);
        EXPECT_EQ(image.width, 4);
        FreeGraphImage(&image);
    }
    // The run is cut at the row's end; the rest of the picture stays 0.
    GraphImage image{};
    const Bytes file = Rle8({200, 7, 0, 1});
    const StreamHandle h = OpenMemStream(file.data(), static_cast<uint32_t>(file.size()));
    StreamIo io = MakeStreamIo(GetMemStreamFuncs(), h);
    ASSERT_EQ(DecodeBmpImage(&io, &image), 0);
    io.Close(io.handle);
    const uint8_t bottom[4] = {7, 7, 7, 7};
    EXPECT_EQ(0, std::memcmp(image.pixels + 2 * image.pitch, bottom, 4));
    EXPECT_EQ(image.pixels[0], 0);
    FreeGraphImage(&image);
    // Data that end inside a packet fail.
    EXPECT_EQ(DecodeWith(DecodeBmpImage, Rle8({0, 6, 1, 2})), -1);
    EXPECT_EQ(DecodeWith(DecodeBmpImage, Rle8({0, 2, 1})), -1);
}

TEST_F(Malformed, BmpReadsOnlyThePaletteEntriesPresent) {
    // An 8-bit BMP with a two-entry palette: the pixels follow at once.
    Bytes f(14 + 40, 0);
    f[0] = 'B';
    f[1] = 'M';
    Set32(f, 10, 14 + 40 + 8);
    Set32(f, 14, 40);
    Set32(f, 18, 4);
    Set32(f, 22, 1);
    Set16(f, 26, 1);
    Set16(f, 28, 8);
    Set32(f, 46, 2);  // colours used
    const uint8_t palette[8] = {0x10, 0x20, 0x30, 0, 0x40, 0x50, 0x60, 0};
    f.insert(f.end(), palette, palette + 8);
    const uint8_t pixels[4] = {0, 1, 1, 0};
    f.insert(f.end(), pixels, pixels + 4);
    GraphImage image{};
    const StreamHandle h = OpenMemStream(f.data(), static_cast<uint32_t>(f.size()));
    StreamIo io = MakeStreamIo(GetMemStreamFuncs(), h);
    ASSERT_EQ(DecodeBmpImage(&io, &image), 0);
    io.Close(io.handle);
    EXPECT_EQ(testimg::DecodedArgb(image, 0, 0), 0xFF302010u);
    EXPECT_EQ(testimg::DecodedArgb(image, 1, 0), 0xFF605040u);
    EXPECT_EQ(image.format.palette[2][0], 0);  // no entry read from the pixels
    FreeGraphImage(&image);
}

// A colour-mapped TGA, 4 x 1, with the given map and index size.
Bytes MappedTga(int mapLength, int mapFirst, int indexBits, const std::vector<uint32_t>& indices) {
    Bytes f(18, 0);
    f[1] = 1;
    f[2] = 1;
    Set16(f, 3, static_cast<uint32_t>(mapFirst));
    Set16(f, 5, static_cast<uint32_t>(mapLength));
    f[7] = 24;
    Set16(f, 12, static_cast<uint32_t>(indices.size()));
    Set16(f, 14, 1);
    f[16] = static_cast<uint8_t>(indexBits);
    f[17] = 0x20;
    for (int i = 0; i < mapLength; ++i) {
        f.push_back(static_cast<uint8_t>(i));  // blue = entry number (low byte)
        f.push_back(static_cast<uint8_t>(i >> 8));
        f.push_back(0x77);
    }
    for (uint32_t v : indices) {
        f.push_back(static_cast<uint8_t>(v));
        if (indexBits == 16) f.push_back(static_cast<uint8_t>(v >> 8));
    }
    return f;
}

TEST_F(Malformed, TgaColorMapsAndIndices) {
    GraphImage image{};
    auto decode = [&](const Bytes& f) {
        const StreamHandle h = OpenMemStream(f.data(), static_cast<uint32_t>(f.size()));
        StreamIo io = MakeStreamIo(GetMemStreamFuncs(), h);
        const int r = DecodeTgaImage(&io, &image);
        io.Close(io.handle);
        return r;
    };
    // A map of 300 entries: the first 256 serve, the rest are skipped.
    ASSERT_EQ(decode(MappedTga(300, 0, 8, {0, 5, 255, 1})), 0);
    EXPECT_EQ(testimg::DecodedArgb(image, 1, 0), 0xFF770005u);
    EXPECT_EQ(testimg::DecodedArgb(image, 2, 0), 0xFF7700FFu);
    FreeGraphImage(&image);
    // 16-bit indices are read as two bytes; indices past the map give black.
    ASSERT_EQ(decode(MappedTga(256, 0, 16, {3, 0x0102, 255, 0xFFFF})), 0);
    EXPECT_EQ(testimg::DecodedArgb(image, 0, 0), 0xFF770003u);
    EXPECT_EQ(testimg::DecodedArgb(image, 1, 0), 0xFF000000u);
    EXPECT_EQ(testimg::DecodedArgb(image, 2, 0), 0xFF7700FFu);
    EXPECT_EQ(testimg::DecodedArgb(image, 3, 0), 0xFF000000u);
    FreeGraphImage(&image);
    // A map starting at 250 with 10 entries keeps 250..255.
    ASSERT_EQ(decode(MappedTga(10, 250, 8, {250, 255, 0, 1})), 0);
    EXPECT_EQ(testimg::DecodedArgb(image, 0, 0), 0xFF770000u);
    EXPECT_EQ(testimg::DecodedArgb(image, 1, 0), 0xFF770005u);
    FreeGraphImage(&image);
    // Index sizes other than 8 and 16, and a mapped image without a map, are refused.
    EXPECT_EQ(decode(MappedTga(4, 0, 24, {0, 1, 2, 3})), -1);
    Bytes noMap = MappedTga(4, 0, 8, {0, 1, 2, 3});
    noMap[1] = 0;
    EXPECT_EQ(decode(noMap), -1);
}

TEST_F(Malformed, TgaRefusedHeaders) {
    Picture p;
    const Bytes good = testimg::WriteTga(4, 4, 2, 24, 0x20, 0, false, 1, &p);
    struct Edit {
        size_t at;
        int bytes;
        uint32_t value;
    };
    const Edit edits[] = {
        {2, 1, 3},  {2, 1, 0},  {2, 1, 11},    {2, 1, 5},     {8, 2, 1},  {10, 2, 7},
        {12, 2, 0}, {14, 2, 0}, {12, 2, 4096}, {14, 2, 5000}, {16, 1, 8}, {16, 1, 15},
    };
    for (const Edit& e : edits) {
        Bytes f = good;
        if (e.bytes == 1)
            f[e.at] = static_cast<uint8_t>(e.value);
        else
            Set16(f, e.at, e.value);
        EXPECT_EQ(DecodeWith(DecodeTgaImage, f), -1) << "byte " << e.at << " = " << e.value;
    }
}

TEST_F(Malformed, TgaRlePacketsPastTheImageAreCut) {
    // 2 x 2, 24 bits: one run packet of 128 pixels covers it all.
    Bytes f(18, 0);
    f[2] = 10;
    Set16(f, 12, 2);
    Set16(f, 14, 2);
    f[16] = 24;
    f[17] = 0x20;
    f.push_back(0xFF);
    f.push_back(1);
    f.push_back(2);
    f.push_back(3);
    GraphImage image{};
    const StreamHandle h = OpenMemStream(f.data(), static_cast<uint32_t>(f.size()));
    StreamIo io = MakeStreamIo(GetMemStreamFuncs(), h);
    ASSERT_EQ(DecodeTgaImage(&io, &image), 0);
    io.Close(io.handle);
    EXPECT_EQ(testimg::DecodedArgb(image, 1, 1), 0xFF030201u);
    FreeGraphImage(&image);
    // A raw packet of 100 pixels with only two present fails.
    f.resize(18);
    f.push_back(99);
    for (int i = 0; i < 6; ++i) f.push_back(9);
    EXPECT_EQ(DecodeWith(DecodeTgaImage, f), -1);
}

TEST_F(Malformed, DdsHeaderChecks) {
    Bytes px;
    const Bytes good = testimg::WriteDdsMasks(4, 3, 32, 0xFF0000, 0xFF00, 0xFF, 0, 0x40, 0, 8, &px);
    ASSERT_EQ(DecodeWith(DecodeDdsImage, good), 0);
    struct Edit {
        size_t at;
        uint32_t value;
    };
    const Edit edits[] = {
        {3, 0x0000003F},  // magic "DDS?" (written as a dword over bytes 3..6, then checked)
        {4, 100},         // header size
        {4 + 84, 12},     // bit count
        {4 + 84, 0},      {4 + 84, 64},    {12, 0},  // height
        {16, 0x7FFFFFFF},                            // width
        {12, 0x80000000}, {4 + 76, 0x204},           // neither RGB nor FourCC alone
    };
    for (const Edit& e : edits) {
        Bytes f = good;
        if (e.at == 3) {
            f[3] = '?';
        } else {
            Set32(f, e.at, e.value);
        }
        EXPECT_EQ(DecodeWith(DecodeDdsImage, f), -1) << "offset " << e.at;
    }
    // A pitch shorter than a row, and one whose rows the data cannot fill.
    Bytes f = good;
    Set32(f, 8, 0x1007 | 8);
    Set32(f, 20, 15);
    EXPECT_EQ(DecodeWith(DecodeDdsImage, f), -1);
    Set32(f, 20, 4000);
    EXPECT_EQ(DecodeWith(DecodeDdsImage, f), -1);
    // Unknown and compressed FourCC formats are refused.
    for (uint32_t fourCC : {0u, 28u, 34u, 0x31545844u /* DXT1 */}) {
        const Bytes cc = testimg::WriteDdsFourCC(4, 4, fourCC, 4, 1, &px);
        EXPECT_EQ(DecodeWith(DecodeDdsImage, cc), -1) << fourCC;
    }
}

TEST_F(Malformed, DdsEightBitMasksWiderThanThePixel) {
    // A one-byte pixel whose header claims a 16-bit red channel: its palette takes the top byte
    // of that channel (nothing of which fits in the pixel), never a shift by a negative count.
    Bytes px;
    const Bytes f = testimg::WriteDdsMasks(4, 3, 8, 0xFFFF, 0xF0000, 0x3, 0, 0x40, 0, 12, &px);
    const StreamHandle h = OpenMemStream(f.data(), static_cast<uint32_t>(f.size()));
    StreamIo io = MakeStreamIo(GetMemStreamFuncs(), h);
    GraphImage image{};
    ASSERT_EQ(DecodeDdsImage(&io, &image), 0);
    io.Close(io.handle);
    EXPECT_EQ(image.format.palette[0xFF][2], 0);  // red: bits 8..15 of the value 0xFF
    EXPECT_EQ(image.format.palette[0xFF][1], 0);  // green lies wholly outside the byte
    EXPECT_EQ(image.format.palette[0xFF][0], 0xFF);
    FreeGraphImage(&image);
}

TEST_F(Malformed, BgraBadHeaders) {
    Picture p;
    const Bytes good = testimg::WriteBgra(3, 2, false, 1, &p);
    const std::pair<size_t, uint32_t> edits[] = {
        {4, 0x08080807}, {8, 0}, {12, 0}, {8, 0x80000000}, {8, 0x10000}, {12, 0x40000000},
    };
    for (const auto& [at, v] : edits) {
        Bytes f = good;
        Set32(f, at, v);
        EXPECT_EQ(DecodeWith(DecodeBgraImage, f), -1) << at << " = " << v;
    }
    Bytes f = good;
    f[0] = 'X';
    EXPECT_EQ(DecodeWith(DecodeBgraImage, f), -1);
}

TEST_F(Malformed, PngHugeDimensionsRefused) {
    Picture p;
    Bytes f = testimg::WritePng(4, 4, 2, 8, false, 1, &p);
    // Width in the IHDR at byte 16 (big-endian); the CRC no longer matches either way.
    f[16] = 0x00;
    f[17] = 0x10;
    f[18] = 0x00;
    f[19] = 0x00;
    EXPECT_EQ(DecodeWith(DecodePngImage, f), -1);
}

TEST_F(Malformed, JpegWithFourComponentsIsRgbOrRefused) {
    const Bytes f = testimg::WriteCmykJpeg(8, 8);
    GraphImage image{};
    const StreamHandle h = OpenMemStream(f.data(), static_cast<uint32_t>(f.size()));
    StreamIo io = MakeStreamIo(GetMemStreamFuncs(), h);
    const int r = DecodeJpegImage(&io, &image);
    io.Close(io.handle);
    if (r == 0) {
        EXPECT_EQ(image.format.bitDepth, 24);
        EXPECT_EQ(image.pitch, 24);
    }
    FreeGraphImage(&image);
}

TEST_F(Malformed, EmptyAndForeignDataRefusedByEveryLoader) {
    const Bytes inputs[] = {{}, {'B'}, {'B', 'M'}, Bytes(200, 0), Bytes(200, 0xFF)};
    for (const Bytes& in : inputs) {
        for (const ImageLoaderFunc* l = ImageLoaderTable; *l != nullptr; ++l) {
            EXPECT_EQ(DecodeWith(*l, in), -1) << "size " << in.size();
        }
    }
}

}  // namespace
}  // namespace tessra
