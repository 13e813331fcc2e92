#include "engine/graphics/graph_image.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/base/memory.h"
#include "engine/graphics/image_decode.h"
#include "engine/screen/memimg.h"

namespace tessra {
namespace {

TEST(GraphImage, AllocFillReadFree) {
    const int32_t blocks = GetAllocStats().count;
    GraphImage img{};
    ASSERT_EQ(AllocGraphImage(5, 3, &img), 0);
    EXPECT_EQ(img.format.bitDepth, 24);
    EXPECT_EQ(img.pitch, 16);  // 15 rounded up to 4
    FillGraphImageColor(&img, 0x12, 0x34, 0x56, 0);
    EXPECT_EQ(ReadGraphImagePixel(&img, 4, 2), 0x123456u);
    EXPECT_EQ(img.pixels[2 * 16 + 12], 0x56);
    EXPECT_EQ(ReadGraphImagePixel(&img, 5, 0), 0u);  // outside
    EXPECT_EQ(ReadGraphImagePixel(&img, -1, 0), 0u);
    FreeGraphImage(&img);
    EXPECT_EQ(img.pixels, nullptr);
    EXPECT_EQ(img.width, 0);
    EXPECT_EQ(ReadGraphImagePixel(&img, 0, 0), 0u);  // no pixels
    EXPECT_EQ(GetAllocStats().count, blocks);
    EXPECT_EQ(AllocGraphImage(0, 3, &img), -1);
    EXPECT_EQ(AllocGraphImage(3, kGraphImageMaxSide + 1, &img), -1);
}

TEST(GraphImage, ReadPixelLeftAlignsChannels) {
    uint16_t px[2] = {0xFFFF, 0x8421};
    GraphImage img{};
    BuildColorFormatFromMasks(&img.format, 16, 0xF800, 0x7E0, 0x1F, 0);
    img.width = 2;
    img.height = 1;
    img.pitch = 4;
    img.pixels = reinterpret_cast<uint8_t*>(px);
    EXPECT_EQ(ReadGraphImagePixel(&img, 0, 0), 0xF8FCF8u);
    BuildColorFormatFromMasks(&img.format, 16, 0xF00, 0xF0, 0xF, 0xF000);
    EXPECT_EQ(ReadGraphImagePixel(&img, 1, 0), 0x80402010u);
    // A paletted image gives its palette colour.
    uint8_t idx = 3;
    GraphImage pal{};
    SetPaletteXrgbFormat(&pal.format);
    pal.format.palette[3][0] = 0x33;
    pal.format.palette[3][2] = 0x11;
    pal.width = pal.height = pal.pitch = 1;
    pal.pixels = &idx;
    EXPECT_EQ(ReadGraphImagePixel(&pal, 0, 0), 0x110033u);
}

TEST(GraphImage, FlipAndFillEveryDepth) {
    for (int bits : {16, 24, 32}) {
        GraphImage img{};
        ASSERT_EQ(AllocGraphImage(3, 2, &img), 0);
        if (bits != 24) {
            BuildColorFormatFromMasks(&img.format, bits, bits == 16 ? 0xF800 : 0xFF0000,
                                      bits == 16 ? 0x7E0 : 0xFF00, bits == 16 ? 0x1F : 0xFF, 0);
            FreeTagged(img.pixels);
            img.pitch = 3 * bits / 8;
            img.pixels = static_cast<uint8_t*>(
                AllocTagged(static_cast<size_t>(img.pitch) * 2, __FILE__, __LINE__));
        }
        FillGraphImageColor(&img, 255, 255, 255, 255);
        const int b = bits / 8;
        std::memset(img.pixels + b * 0, 0, static_cast<size_t>(b));  // pixel (0, 0) black
        FlipGraphImageHorizontal(&img);
        EXPECT_EQ(ReadGraphImagePixel(&img, 2, 0) & 0xFFFFFF, 0u) << bits;
        EXPECT_NE(ReadGraphImagePixel(&img, 0, 0) & 0xFFFFFF, 0u) << bits;
        EXPECT_NE(ReadGraphImagePixel(&img, 2, 1) & 0xFFFFFF, 0u) << bits;
        FreeGraphImage(&img);
    }
}

TEST(GraphImage, ConvertFromMemImg) {
    MEMIMG m{};
    ASSERT_EQ(InitMemImg(&m, 4, 2, -1, 0, kMemImgKind565, 0, 0, 0), 0);
    FillMemImgRect(&m, nullptr, 0xF800);
    const Rect black{1, 0, 2, 1};
    FillMemImgRect(&m, &black, 0);
    GraphImage img{};
    ASSERT_EQ(AllocGraphImage(4, 2, &img), 0);
    FillGraphImageColor(&img, 1, 2, 3, 0);
    // Pixels equal to the transparent colour (black) are skipped; the general path rescales.
    ConvertRectToColorFormat(&img, &m, 0, 0, 3, 1, 1, 1, 0, 1);
    EXPECT_EQ(ReadGraphImagePixel(&img, 1, 1), 0xFF0000u);
    EXPECT_EQ(ReadGraphImagePixel(&img, 2, 1), 0x010203u);
    EXPECT_EQ(ReadGraphImagePixel(&img, 3, 1), 0xFF0000u);
    EXPECT_EQ(ReadGraphImagePixel(&img, 0, 1), 0x010203u);
    // A MEMIMG with alpha is left alone.
    MEMIMG a{};
    ASSERT_EQ(InitMemImg(&a, 4, 2, -1, 0, kMemImgKindXrgb, 0, 1, 0), 0);
    FillMemImgRect(&a, nullptr, 0xFFFFFFFF);
    ConvertRectToColorFormat(&img, &a, 0, 0, 4, 2, 0, 0, 0, 0);
    EXPECT_EQ(ReadGraphImagePixel(&img, 0, 0), 0x010203u);
    ReleaseMemImg(&a);
    ReleaseMemImg(&m);
    FreeGraphImage(&img);
}

TEST(Dib, BuildFromImagesHandsOutOrCopies) {
    const int32_t blocks = GetAllocStats().count;
    plat::BitmapInfo info{};
    void* bits = nullptr;
    GraphImage img{};
    ASSERT_EQ(AllocGraphImage(3, 2, &img), 0);  // pitch 12 equals the DIB stride
    FillGraphImageColor(&img, 9, 8, 7, 0);
    EXPECT_EQ(BuildDibFromGraphImage(&img, &info, &bits, 0, 0), 0);
    EXPECT_EQ(bits, img.pixels);
    EXPECT_EQ(info.header.bitCount, 24);
    EXPECT_EQ(info.header.height, -2);
    EXPECT_EQ(BuildDibFromGraphImage(&img, &info, &bits, 1, 0), 1);  // reuse 1: always a copy
    EXPECT_NE(bits, img.pixels);
    for (int y = 0; y < 2; ++y) {  // the rows; the padding after them is not the image's
        EXPECT_EQ(0, std::memcmp(static_cast<uint8_t*>(bits) + 12 * y, img.pixels + 12 * y, 9));
    }
    FreeTagged(bits);
    FreeGraphImage(&img);

    // 16-bit images are converted into a new 24-bit block.
    uint16_t px[3] = {0xF800, 0x07E0, 0x001F};
    GraphImage c16{};
    BuildColorFormatFromMasks(&c16.format, 16, 0xF800, 0x7E0, 0x1F, 0);
    c16.width = 3;
    c16.height = 1;
    c16.pitch = 6;
    c16.pixels = reinterpret_cast<uint8_t*>(px);
    ASSERT_EQ(BuildDibFromGraphImage(&c16, &info, &bits, 0, 0), 1);
    const uint8_t want[9] = {0, 0, 0xF8, 0, 0xFC, 0, 0xF8, 0, 0};  // the fixed 565 loop
    EXPECT_EQ(0, std::memcmp(bits, want, 9));
    FreeTagged(bits);

    // 8-bit: the palette goes into the header; an odd pitch is copied to the DIB stride.
    uint8_t idx[3 * 2] = {1, 2, 3, 4, 5, 6};
    GraphImage p8{};
    SetGreyPaletteFormat(&p8.format);
    p8.width = 3;
    p8.height = 2;
    p8.pitch = 3;
    p8.pixels = idx;
    ASSERT_EQ(BuildDibFromGraphImage(&p8, &info, &bits, 0, 0), 1);
    EXPECT_EQ(info.header.bitCount, 8);
    EXPECT_EQ(info.colors[200].red, 200);
    EXPECT_EQ(static_cast<uint8_t*>(bits)[4], 4);
    FreeTagged(bits);
    ASSERT_EQ(BuildDibFromGraphImage(&p8, &info, &bits, 0, 1), 1);  // forced to 24 bits
    EXPECT_EQ(info.header.bitCount, 24);
    EXPECT_EQ(static_cast<uint8_t*>(bits)[12 + 3], 5);  // row 1, pixel 1
    FreeTagged(bits);
    EXPECT_EQ(GetAllocStats().count, blocks);
}

TEST(Dib, TransferIntoTargetFormats) {
    uint8_t px[2 * 3] = {0x10, 0x20, 0x30, 0xF0, 0xE0, 0xD0};  // B, G, R
    plat::BitmapInfo src{};
    src.header.size = 40;
    src.header.width = 2;
    src.header.height = -1;
    src.header.planes = 1;
    src.header.bitCount = 24;
    uint8_t padded[8] = {};
    std::memcpy(padded, px, 6);
    {
        plat::DibSection* s = TransferGraphImageViaDib(&src, padded, 0, nullptr);
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->info.header.bitCount, 24);
        EXPECT_EQ(0, std::memcmp(s->bits, px, 6));
        plat::DeleteObject(s);
    }
    {
        plat::DibSection* s =
            TransferGraphImageViaDib(&src, padded, 1, GetStandardColorFormat(0, 0, 0));
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->info.header.bitCount, 16);
        uint16_t v[2];
        std::memcpy(v, s->bits, 4);
        EXPECT_EQ(v[1], (0x30 >> 3) << 11 | (0x20 >> 2) << 5 | (0x10 >> 3));  // mirrored
        EXPECT_EQ(v[0], (0xD0 >> 3) << 11 | (0xE0 >> 2) << 5 | (0xF0 >> 3));
        plat::DeleteObject(s);
    }
    {  // a 32-bit target with a 24-bit source gets 24 bits
        plat::DibSection* s =
            TransferGraphImageViaDib(&src, padded, 0, GetStandardColorFormat(1, 0, 0));
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->info.header.bitCount, 24);
        plat::DeleteObject(s);
    }
}

}  // namespace
}  // namespace tessra
