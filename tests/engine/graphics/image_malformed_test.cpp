// Broken, cut and hostile picture files: every decoder fails cleanly, writes nothing out of
// bounds (the sanitizer build checks) and leaves no memory behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include <jpeglib.h>

#include "engine/base/log.h"
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

// A decoded record that is whole: sides inside the limits, pixels behind a pitch that holds a
// row.
void ExpectSoundImage(const GraphImage& image) {
    EXPECT_NE(image.pixels, nullptr);
    EXPECT_GE(image.width, 1);
    EXPECT_LE(image.width, kGraphImageMaxSide);
    EXPECT_GE(image.height, 1);
    EXPECT_LE(image.height, kGraphImageMaxSide);
    EXPECT_GE(image.pitch, image.width * image.format.bytesPerPixel);
}

TEST_F(Malformed, RandomCorruptionFailsOrGivesASoundImage) {
    std::mt19937 rng(20261210);
    int refused = 0, decoded = 0;
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
            const int32_t blocks = GetAllocStats().count;
            const int r = DecodeWith(s.loader, f);
            ASSERT_TRUE(r == 0 || r == -1) << r;
            (r == 0 ? decoded : refused) += 1;
            // And through the whole chain, which tries every loader on it.
            GraphImage image{};
            const int chain =
                LoadImageToGraphImage(nullptr, f.data(), static_cast<uint32_t>(f.size()), 1, 0, 0,
                                      &image, nullptr, nullptr);
            ASSERT_TRUE(chain == 0 || chain == -1) << chain;
            if (chain == 0) {
                ExpectSoundImage(image);
                FreeGraphImage(&image);
            } else {
                EXPECT_EQ(image.pixels, nullptr);
            }
            // Each round, accepted or refused, gives back everything it took.
            ASSERT_EQ(GetAllocStats().count, blocks) << "round " << round;
        }
    }
    // The damage is real: some files are refused, some still decode.
    EXPECT_GT(refused, 0);
    EXPECT_GT(decoded, 0);
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

    // Kinds drawn through a DIB section (16 and 32 bits, bit fields) with fewer pixel bytes than
    // their rows: refused before the section is made, as 24-bit files are. A 60-byte file once
    // made a section of 16384 x 16384 pixels.
    for (const auto& [bits, bitfields] : {std::pair{16, false}, {16, true}, {32, false}}) {
        {
            const Bytes whole = testimg::WriteBmp(4, 4, bits, false, false, bitfields, 2, &p);
            ASSERT_EQ(DecodeWith(DecodeBmpImage, whole), 0) << bits;
            const Bytes short1(whole.begin(), whole.end() - 1);
            EXPECT_EQ(DecodeWith(DecodeBmpImage, short1), -1) << bits << " " << bitfields;
            Bytes huge = whole;
            Set32(huge, 18, 16384);
            Set32(huge, 22, 16384);
            EXPECT_EQ(DecodeWith(DecodeBmpImage, huge), -1) << bits << " " << bitfields;
        }
    }
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

// The installed libjpeg gives no RGB from CMYK: a four-component file made by libjpeg's own
// encoder is refused, cleanly.
TEST_F(Malformed, JpegWithFourComponentsIsRefused) {
    const Bytes f = testimg::WriteCmykJpeg(8, 8);
    // It really is a four-component file.
    {
        jpeg_decompress_struct c{};
        jpeg_error_mgr err{};
        c.err = jpeg_std_error(&err);
        jpeg_create_decompress(&c);
        jpeg_mem_src(&c, f.data(), static_cast<unsigned long>(f.size()));
        ASSERT_EQ(jpeg_read_header(&c, TRUE), JPEG_HEADER_OK);
        EXPECT_EQ(c.num_components, 4);
        EXPECT_EQ(c.jpeg_color_space, JCS_CMYK);
        jpeg_destroy_decompress(&c);
    }
    GraphImage image{};
    const StreamHandle h = OpenMemStream(f.data(), static_cast<uint32_t>(f.size()));
    StreamIo io = MakeStreamIo(GetMemStreamFuncs(), h);
    EXPECT_EQ(DecodeJpegImage(&io, &image), -1);
    io.Close(io.handle);
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(DecodeWith(DecodeJpegImage, f), -1);
}

// Overwrites the sides in a JPEG's frame header (the first SOFn marker).
Bytes WithJpegFrameSize(Bytes f, uint16_t width, uint16_t height) {
    for (size_t i = 2; i + 9 < f.size(); ++i) {
        if (f[i] == 0xFF && (f[i + 1] == 0xC0 || f[i + 1] == 0xC1 || f[i + 1] == 0xC2)) {
            f[i + 5] = static_cast<uint8_t>(height >> 8);
            f[i + 6] = static_cast<uint8_t>(height);
            f[i + 7] = static_cast<uint8_t>(width >> 8);
            f[i + 8] = static_cast<uint8_t>(width);
            return f;
        }
    }
    ADD_FAILURE() << "no frame header";
    return f;
}

// A small file whose frame header claims a vast picture is refused from the header: the sides
// are checked before libjpeg sets up the frame, and the area must be one the file's bytes can
// describe.
TEST_F(Malformed, JpegClaimingAVastFrameIsRefusedAtItsHeader) {
    Picture p;
    const Bytes baseline = testimg::WriteJpeg(16, 9, true, &p);
    const Bytes progressive = testimg::WriteProgressiveGreyJpeg(16, 16);
    ASSERT_LT(baseline.size(), 1000u);
    ASSERT_LT(progressive.size(), 1000u);
    ASSERT_EQ(DecodeWith(DecodeJpegImage, progressive), 0);
    struct Case {
        const char* what;
        Bytes file;
    };
    const Case cases[] = {
        {"baseline 16384 x 14592", WithJpegFrameSize(baseline, 16384, 14592)},
        {"progressive 60000 x 60000", WithJpegFrameSize(progressive, 60000, 60000)},
        {"progressive 16384 x 16384", WithJpegFrameSize(progressive, 16384, 16384)},
        {"baseline 4000 x 3000", WithJpegFrameSize(baseline, 4000, 3000)},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeWith(DecodeJpegImage, c.file), -1) << c.what;
    // A real picture of the same area still loads.
    const Bytes big = testimg::WriteJpeg(1280, 1024, false, &p);
    EXPECT_EQ(DecodeWith(DecodeJpegImage, big), 0);
}

// An RLE BMP whose few bytes claim a vast picture (an end-of-picture code leaves the rest 0) is
// refused; real RLE pictures keep loading.
TEST_F(Malformed, RleBmpClaimingAVastAreaIsRefused) {
    for (const int bits : {8, 4}) {
        SCOPED_TRACE(bits);
        Picture p;
        Bytes f = testimg::WriteBmp(9, 4, bits, true, false, false, 3, &p);
        ASSERT_EQ(DecodeWith(DecodeBmpImage, f), 0);
        Set32(f, 18, 16384);
        Set32(f, 22, 16384);
        EXPECT_EQ(DecodeWith(DecodeBmpImage, f), -1);
        Set32(f, 22, static_cast<uint32_t>(-16384));  // top-down too
        EXPECT_EQ(DecodeWith(DecodeBmpImage, f), -1);
        // Mirrored, through the whole loader.
        GraphImage image{};
        EXPECT_EQ(LoadImageToGraphImage(nullptr, f.data(), static_cast<uint32_t>(f.size()), 1, 0, 1,
                                        &image, nullptr, nullptr),
                  -1);
        FreeGraphImage(&image);
    }
}

// A DDS with a "DX10" code carries a 20-byte extra header before its pixels; read as plain RGB
// the picture would shift. It is refused.
TEST_F(Malformed, DdsWithTheExtraHeaderIsRefused) {
    Bytes pixels;
    const Bytes plain =
        testimg::WriteDdsMasks(4, 3, 32, 0xFF0000, 0xFF00, 0xFF, 0, 0x40, 0, 8, &pixels);
    ASSERT_EQ(DecodeWith(DecodeDdsImage, plain), 0);
    for (const uint32_t pfFlags : {0x40u, 0x44u, 0x4u}) {
        SCOPED_TRACE(pfFlags);
        Bytes f = plain;
        Set32(f, 4 + 76, pfFlags);
        Set32(f, 4 + 80, 0x30315844);  // "DX10"
        Bytes extra(20, 0);
        f.insert(f.begin() + 128, extra.begin(), extra.end());
        EXPECT_EQ(DecodeWith(DecodeDdsImage, f), -1);
    }
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

namespace tessra {
namespace {

// libpng speaks only through the engine's log: a file that is not a PNG at all, going through
// the loader chain, prints nothing; a damaged PNG's complaint lands in the log.
TEST_F(Malformed, LibpngMessagesGoToTheEngineLog) {
    const std::string dir = ::testing::TempDir() + "png_log_" + std::to_string(::getpid());
    std::filesystem::create_directories(dir);
    ASSERT_EQ(SetLogStartDirectory(dir.c_str()), 0);
    SetLogEnabledBody(1);
    InitLogFile();
    Picture p;
    const Bytes bmp = testimg::WriteBmp(5, 4, 24, false, false, false, 1, &p);
    Bytes png = testimg::WritePng(6, 5, 6, 8, false, 10, &p);
    png[29] ^= 0x55;  // the header chunk's CRC no longer holds
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(DecodeWith(DecodePngImage, bmp), -1);
    GraphImage image{};
    EXPECT_EQ(LoadImageToGraphImage(nullptr, bmp.data(), static_cast<uint32_t>(bmp.size()), 1, 0, 0,
                                    &image, nullptr, nullptr),
              0);
    FreeGraphImage(&image);
    EXPECT_EQ(DecodeWith(DecodePngImage, png), -1);
    const std::string printed = ::testing::internal::GetCapturedStderr();
    SetLogStartDirectory(nullptr);
    std::ifstream in(dir + "/Log.txt", std::ios::binary);
    const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::filesystem::remove_all(dir);
    EXPECT_EQ(printed, "");
    EXPECT_NE(log.find("libpng: IHDR: CRC error"), std::string::npos) << log;
    EXPECT_EQ(log.find("Not a PNG file"), std::string::npos) << log;
}

}  // namespace
}  // namespace tessra
