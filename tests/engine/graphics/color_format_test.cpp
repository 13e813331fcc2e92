#include "engine/graphics/color_format.h"

#include <gtest/gtest.h>

namespace tessra {
namespace {

ColorFormat Masks(int depth, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    ColorFormat f{};
    BuildColorFormatFromMasks(&f, depth, r, g, b, a);
    return f;
}

TEST(ColorFormat, WidthsShiftsAndUnusedBitsFromMasks) {
    const ColorFormat x = Masks(32, 0xFF0000, 0xFF00, 0xFF, 0);
    EXPECT_EQ(x.bytesPerPixel, 4);
    EXPECT_EQ(x.redWidth, 8);
    EXPECT_EQ(x.greenWidth, 8);
    EXPECT_EQ(x.blueWidth, 8);
    EXPECT_EQ(x.alphaWidth, 0);
    EXPECT_EQ(x.redShift, 16);
    EXPECT_EQ(x.greenShift, 8);
    EXPECT_EQ(x.blueShift, 0);
    EXPECT_EQ(x.alphaShift, 0);
    EXPECT_EQ(x.unusedMask, 0xFF000000u);
    EXPECT_EQ(x.unusedShift, 24);
    EXPECT_EQ(x.unusedWidth, 8);

    const ColorFormat r = Masks(16, 0xF800, 0x7E0, 0x1F, 0);
    EXPECT_EQ(r.bytesPerPixel, 2);
    EXPECT_EQ(r.redWidth, 5);
    EXPECT_EQ(r.greenWidth, 6);
    EXPECT_EQ(r.blueWidth, 5);
    EXPECT_EQ(r.redShift, 11);
    EXPECT_EQ(r.greenShift, 5);
    EXPECT_EQ(r.blueShift, 0);
    EXPECT_EQ(r.unusedMask, 0u);
    EXPECT_EQ(r.unusedWidth, 0);

    const ColorFormat x555 = Masks(16, 0x7C00, 0x3E0, 0x1F, 0);
    EXPECT_EQ(x555.unusedMask, 0x8000u);
    EXPECT_EQ(x555.unusedShift, 15);
    EXPECT_EQ(x555.unusedWidth, 1);
}

TEST(ColorFormat, RecomputeUnusedKeepsShiftAndWidth) {
    ColorFormat f = Masks(32, 0xFF0000, 0xFF00, 0xFF, 0);
    f.alphaMask = 0xFF000000;
    f.alphaWidth = 8;
    f.alphaShift = 24;
    RecomputeUnusedBitsMask(&f);
    EXPECT_EQ(f.unusedMask, 0u);
    EXPECT_EQ(f.unusedShift, 24);  // untouched
    f.alphaMask = 0x0F000000;
    f.alphaWidth = 4;
    RecomputeUnusedBitsMask(&f);
    EXPECT_EQ(f.unusedMask, 0xF0000000u);
}

TEST(ColorFormat, PixelFormatRoundTrip) {
    plat::DDPixelFormat p{};
    BuildDDPixelFormat(&p, 16, 0x7C00, 0x3E0, 0x1F, 0x8000);
    EXPECT_EQ(p.size, 32u);
    EXPECT_EQ(p.flags, plat::DDPF_RGB);  // no alpha-pixels flag even with an alpha mask
    EXPECT_EQ(p.fourCC, 0u);
    ColorFormat f{};
    SetColorFormatFromPixelFormat(&p, &f);
    EXPECT_EQ(f.bitDepth, 16);
    EXPECT_EQ(f.alphaWidth, 1);
    EXPECT_EQ(f.alphaShift, 15);
    EXPECT_EQ(f.unusedMask, 0u);
}

TEST(ColorFormat, EqualityIgnoresPalette) {
    ColorFormat a = Masks(8, 0xFF0000, 0xFF00, 0xFF, 0);
    ColorFormat b = a;
    b.palette[3][1] = 9;
    EXPECT_EQ(ColorFormatsEqual(&a, &b), 1);
    b.alphaMask = 1;
    EXPECT_EQ(ColorFormatsEqual(&a, &b), 0);
}

TEST(ColorFormat, StandardFormats) {
    struct Case {
        int kind, alpha, paletted, depth;
        uint32_t r, g, b, a;
    };
    const Case cases[] = {
        {0, 0, 0, 16, 0xF800, 0x7E0, 0x1F, 0},
        {0, 0, 1, 8, 0xF800, 0x7E0, 0x1F, 0},
        {0, 1, 0, 32, 0xF800, 0x7E0, 0x1F, 0xFF0000},
        {0, 1, 1, 8, 0xF800, 0x7E0, 0x1F, 0xFF0000},
        {1, 0, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0},
        {1, 0, 1, 8, 0xFF0000, 0xFF00, 0xFF, 0},
        {1, 1, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
        {1, 1, 1, 8, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},
        {2, 0, 0, 8, 0xFF, 0xFF, 0xFF, 0xFF},
        {2, 1, 1, 8, 0xFF, 0xFF, 0xFF, 0xFF},
        {3, 0, 0, 16, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF},
        {3, 1, 0, 16, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << c.alpha << c.paletted);
        const ColorFormat* f = GetStandardColorFormat(c.kind, c.alpha, c.paletted);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f, GetStandardColorFormat(c.kind, c.alpha, c.paletted));  // cached
        EXPECT_EQ(f->bitDepth, c.depth);
        EXPECT_EQ(f->bytesPerPixel, c.depth / 8);
        EXPECT_EQ(f->redMask, c.r);
        EXPECT_EQ(f->greenMask, c.g);
        EXPECT_EQ(f->blueMask, c.b);
        EXPECT_EQ(f->alphaMask, c.a);
        const plat::DDPixelFormat* p = GetStandardPixelFormat(c.kind, c.alpha, c.paletted);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->rgbBitCount, static_cast<uint32_t>(c.depth));
        EXPECT_EQ(p->redMask, c.r);
        EXPECT_EQ(p->alphaMask, c.a);
        EXPECT_EQ(p->size, c.kind >= 2 ? 0u : 32u);
        for (int i = 0; i < 256; ++i) ASSERT_EQ(f->palette[i][0] | f->palette[i][2], 0);
    }
    const ColorFormat* single = GetStandardColorFormat(2, 0, 0);
    EXPECT_EQ(single->redWidth, 8);
    EXPECT_EQ(single->alphaShift, 0);
    EXPECT_EQ(single->unusedMask, 0u);
    EXPECT_EQ(GetStandardColorFormat(3, 0, 0)->greenWidth, 16);
    EXPECT_EQ(GetStandardColorFormat(0, 1, 0)->unusedMask, 0xFF000000u);
    EXPECT_EQ(GetStandardColorFormat(4, 0, 0), nullptr);
    EXPECT_EQ(GetStandardPixelFormat(4, 0, 0), nullptr);
}

TEST(ColorFormat, LoaderFormats) {
    ColorFormat f{};
    f.unusedShift = 7;
    f.palette[5][0] = 42;
    SetPaletteXrgbFormat(&f);
    EXPECT_EQ(f.bitDepth, 8);
    EXPECT_EQ(f.bytesPerPixel, 1);
    EXPECT_EQ(f.redShift, 16);
    EXPECT_EQ(f.unusedMask, 0xFF000000u);
    EXPECT_EQ(f.unusedShift, 7);
    EXPECT_EQ(f.palette[5][0], 42);
    SetRgb24Format(&f);
    EXPECT_EQ(f.bitDepth, 24);
    EXPECT_EQ(f.bytesPerPixel, 3);
    EXPECT_EQ(f.unusedMask, 0u);
    EXPECT_EQ(f.palette[5][0], 42);
    SetGreyPaletteFormat(&f);
    EXPECT_EQ(f.bitDepth, 8);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(f.palette[i][0], i);
        ASSERT_EQ(f.palette[i][1], i);
        ASSERT_EQ(f.palette[i][2], i);
        ASSERT_EQ(f.palette[i][3], 0);
    }
}

TEST(ColorFormat, Packing) {
    const ColorFormat* r565 = GetStandardColorFormat(0, 0, 0);
    const ColorFormat* xrgb = GetStandardColorFormat(1, 0, 0);
    const ColorFormat* argb = GetStandardColorFormat(1, 1, 0);
    EXPECT_EQ(PackColorForFormat(r565, 255, 255, 255, 0), 0xFFFFu);
    EXPECT_EQ(PackColorForFormat(r565, 255, 255, 255, 255), 0xFFFFu);
    EXPECT_EQ(PackColorForFormat(xrgb, 1, 2, 3, 77), 0xFF010203u);
    EXPECT_EQ(PackColorForFormat(argb, 1, 2, 3, 77), 0x4D010203u);
    EXPECT_EQ(PackColorForFormat(r565, 0x80, 0x40, 0x20, 0), (16u << 11) | (16u << 5) | 4u);
    // A 16-bit channel takes the byte at its top instead of shifting by a negative count.
    EXPECT_EQ(PackColorForFormat(GetStandardColorFormat(3, 0, 0), 0x12, 0, 0, 0) & 0xFF00u,
              0x1200u);
}

TEST(ColorFormat, ConvertPixel) {
    const ColorFormat* r565 = GetStandardColorFormat(0, 0, 0);
    const ColorFormat* xrgb = GetStandardColorFormat(1, 0, 0);
    const ColorFormat* argb = GetStandardColorFormat(1, 1, 0);
    EXPECT_EQ(ConvertPixelColor(xrgb, r565, 0xFFFF), 0xFFF8FCF8u);
    EXPECT_EQ(ConvertPixelColor(argb, xrgb, 0x00123456), 0xFF123456u);
    EXPECT_EQ(ConvertPixelColor(r565, argb, 0x80FFFFFF), 0xFFFFu);
    EXPECT_EQ(ConvertPixelColor(argb, argb, 0x80123456), 0x80123456u);
    const ColorFormat a4444 = Masks(16, 0xF00, 0xF0, 0xF, 0xF000);
    EXPECT_EQ(ConvertPixelColor(argb, &a4444, 0x8421), 0x80402010u);
}

}  // namespace
}  // namespace tessra
