#include "engine/screen/memimg.h"

#include <gtest/gtest.h>

#include "engine/base/memory.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tessra {
namespace {

struct Image {
    MEMIMG m{};
    ~Image() { ReleaseMemImg(&m); }
};

TEST(MemImg, PitchAndLog2Rules) {
    struct Case {
        int32_t kind, paletted, alpha, width, pitch;
        int32_t wantPitch, wantLog2, wantBytes;
    };
    const Case cases[] = {
        {0, 0, 0, 512, -1, 1024, 10, 2},
        {0, 0, 0, 640, -1, 1280, -1, 2},
        {0, 0, 1, 10, -1, 48, -1, 4},
        {1, 0, 0, 3, -1, 16, 4, 4},
        {1, 1, 0, 3, -1, 16, -1, 1},
        {2, 0, 0, 1, -1, 16, -1, 1},
        {3, 0, 0, 8, -1, 16, 4, 2},
        {0, 0, 0, 512, 1024, 1024, 10, 2},
        {0, 0, 0, 512, 1000 + 24, 1024, 10, 2},
        {0, 0, 0, 500, 1000, 1000, -1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << " w" << c.width << " p" << c.pitch);
        Image img;
        ASSERT_EQ(InitMemImg(&img.m, c.width, 4, c.pitch, 0, c.kind, c.paletted, c.alpha, 0), 0);
        EXPECT_EQ(img.m.pitch, c.wantPitch);
        EXPECT_EQ(img.m.pitchLog2, c.wantLog2);
        EXPECT_EQ(img.m.format->bytesPerPixel, c.wantBytes);
        EXPECT_EQ(img.m.signature, kMemImgSignature);
    }
}

TEST(MemImg, FlagsForcedByKind) {
    Image a, b, c;
    ASSERT_EQ(InitMemImg(&a.m, 4, 4, -1, 0, 2, 1, 1, 1), 0);
    EXPECT_EQ(a.m.paletted, 0u);
    EXPECT_EQ(a.m.alpha, 0u);
    EXPECT_EQ(a.m.auxBuffer, nullptr);  // kind 2 keeps no run data
    ASSERT_EQ(InitMemImg(&b.m, 4, 4, -1, 0, 3, 1, 1, 0), 0);
    EXPECT_EQ(b.m.paletted, 0u);
    EXPECT_EQ(b.m.alpha, 0u);
    ASSERT_EQ(InitMemImg(&c.m, 4, 4, -1, 0, 1, 1, 1, 1), 0);
    EXPECT_EQ(c.m.paletted, 1u);
    EXPECT_EQ(c.m.alpha, 0u);
    EXPECT_EQ(c.m.alphaBuffer, nullptr);
    EXPECT_NE(c.m.auxBuffer, nullptr);
    EXPECT_EQ(c.m.format, GetStandardColorFormat(1, 0, 1));
    EXPECT_EQ(c.m.palette, c.m.paletteTable);
    EXPECT_EQ(c.m.secondTable, c.m.secondTableData);
}

TEST(MemImg, BuffersWithAlpha) {
    Image img;
    ASSERT_EQ(InitMemImg(&img.m, 7, 3, -1, 0x1234, 0, 0, 1, 1), 0);
    EXPECT_EQ(img.m.pitch, 32);
    EXPECT_NE(img.m.alphaBuffer, nullptr);
    ASSERT_NE(img.m.auxBuffer, nullptr);
    EXPECT_EQ(img.m.transColor, 0x1234u);
    // The buffers are as large as the record says (the sanitizer build checks the ends).
    std::memset(img.m.pixels, 1, static_cast<size_t>(img.m.pitch) * 3);
    std::memset(img.m.alphaBuffer, 2, static_cast<size_t>(img.m.pitch) * 3);
    std::memset(img.m.auxBuffer, 3, static_cast<size_t>(7 + 5) * 3);
}

TEST(MemImg, SecondInitRefusedAndRecordKept) {
    Image img;
    ASSERT_EQ(InitMemImg(&img.m, 8, 8, -1, 0, 1, 0, 0, 0), 0);
    const MEMIMG before = img.m;
    EXPECT_EQ(InitMemImg(&img.m, 16, 2, -1, 5, 0, 0, 0, 0), -1);
    EXPECT_EQ(0, std::memcmp(&before, &img.m, sizeof before));
}

TEST(MemImg, BadSizesRefused) {
    const int32_t sizes[][2] = {{0, 4}, {4, 0}, {-1, 4}, {4, -3}, {0x40000000, 4}, {65536, 65536}};
    for (const auto& s : sizes) {
        MEMIMG m{};
        EXPECT_EQ(InitMemImg(&m, s[0], s[1], -1, 0, 1, 0, 0, 0), -1) << s[0] << "x" << s[1];
        EXPECT_EQ(m.signature, 0u);
        EXPECT_EQ(m.pixels, nullptr);
    }
    MEMIMG m{};
    EXPECT_EQ(InitMemImg(&m, 4, 4, -1, 0, 7, 0, 0, 0), -1);
    EXPECT_EQ(InitMemImg(&m, 100, 4, 150, 0, 0, 0, 0, 0), -1);  // pitch shorter than a row
}

TEST(MemImg, FailedLaterAllocationFreesEarlierOnes) {
    // Allocations in order: pixels, alpha buffer, run-data buffer.
    for (int32_t failAt = 1; failAt <= 3; ++failAt) {
        SCOPED_TRACE(failAt);
        const int32_t blocksBefore = GetAllocStats().count;
        MEMIMG m{};
        g_memImgFailAllocation = failAt;
        EXPECT_EQ(InitMemImg(&m, 10, 6, -1, 0, 1, 0, 1, 1), -1);
        g_memImgFailAllocation = 0;
        EXPECT_EQ(GetAllocStats().count, blocksBefore);
        EXPECT_EQ(m.signature, 0u);
        EXPECT_EQ(m.pixels, nullptr);
        EXPECT_EQ(m.alphaBuffer, nullptr);
        EXPECT_EQ(m.auxBuffer, nullptr);
        // The record can be initialised afterwards.
        ASSERT_EQ(InitMemImg(&m, 10, 6, -1, 0, 1, 0, 1, 1), 0);
        ReleaseMemImg(&m);
        EXPECT_EQ(GetAllocStats().count, blocksBefore);
    }
}

TEST(MemImg, SuppliedPixelsStayWithOwner) {
    std::vector<uint8_t> surface(64 * 4, 0x5A);
    const int32_t blocksBefore = GetAllocStats().count;
    MEMIMG m{};
    m.pixels = surface.data();
    ASSERT_EQ(InitMemImg(&m, 16, 4, 64, 0, 1, 0, 0, 1), 0);
    EXPECT_EQ(m.pixelsNotOwned, 1u);
    EXPECT_EQ(m.pixels, surface.data());
    EXPECT_NE(m.auxBuffer, nullptr);
    EXPECT_EQ(GetAllocStats().count, blocksBefore + 1);  // the run-data buffer, no pixels
    ReleaseMemImg(&m);                                   // frees only the run-data buffer
    EXPECT_EQ(GetAllocStats().count, blocksBefore);
    EXPECT_EQ(m.signature, 0u);
    EXPECT_EQ(m.pixels, nullptr);
    EXPECT_EQ(m.auxBuffer, nullptr);
    // The owner's pixels are untouched, every byte.
    EXPECT_EQ(std::count(surface.begin(), surface.end(), 0x5A), 64 * 4);
    ReleaseMemImg(&m);  // uninitialised: nothing happens
    EXPECT_EQ(GetAllocStats().count, blocksBefore);
}

TEST(MemImg, ViewSharesPixelsAndPalette) {
    Image src;
    ASSERT_EQ(InitMemImg(&src.m, 20, 10, -1, 0x77, 1, 0, 0, 0), 0);
    src.m.paletteCount = 12;
    MEMIMG view{};
    InitMemImgView(&view, &src.m, 3, 2, 5, 4);
    EXPECT_EQ(view.pixels, src.m.pixels + 3 * 4 + 2 * src.m.pitch);
    EXPECT_EQ(view.width, 5);
    EXPECT_EQ(view.height, 4);
    EXPECT_EQ(view.pitch, src.m.pitch);
    EXPECT_EQ(view.transColor, 0x77u);
    EXPECT_EQ(view.paletteCount, 12u);
    EXPECT_EQ(view.palette, src.m.paletteTable);
    EXPECT_EQ(view.secondTable, src.m.secondTableData);
    EXPECT_EQ(view.alphaBuffer, nullptr);
    EXPECT_EQ(view.signature, kMemImgSignature);
}

TEST(MemImg, ScreenAndZBuffer) {
    Image s16, s32, z;
    std::memset(&s16.m, 0xCD, sizeof s16.m);  // zeroed by the call
    ASSERT_EQ(CreateScreenMemImg(&s16.m, 40, 30, -1, 16), 0);
    EXPECT_EQ(s16.m.kind, 0u);
    EXPECT_EQ(s16.m.pitch, 80);
    ASSERT_EQ(CreateScreenMemImg(&s32.m, 40, 30, -1, 32), 0);
    EXPECT_EQ(s32.m.kind, 1u);
    EXPECT_EQ(s32.m.auxBuffer, nullptr);
    ASSERT_EQ(CreateZBufferMemImg(&z.m, 9, 3), 0);
    EXPECT_EQ(z.m.kind, 3u);
    EXPECT_EQ(z.m.pitch, 32);
    EXPECT_EQ(z.m.format, GetStandardColorFormat(3, 0, 0));
}

TEST(MemImg, FillClipsToImage) {
    Image img;
    ASSERT_EQ(InitMemImg(&img.m, 4, 3, -1, 0, 0, 0, 0, 0), 0);
    FillMemImgRect(&img.m, nullptr, 0x1111);
    const Rect r{-2, 1, 2, 9};
    FillMemImgRect(&img.m, &r, 0xABCDF00D);
    auto at = [&](int x, int y) {
        uint16_t v;
        std::memcpy(&v, img.m.pixels + y * img.m.pitch + 2 * x, 2);
        return v;
    };
    EXPECT_EQ(at(0, 0), 0x1111);
    EXPECT_EQ(at(1, 1), 0xF00D);
    EXPECT_EQ(at(2, 1), 0x1111);
    EXPECT_EQ(at(0, 2), 0xF00D);
    for (const Rect& e :
         {Rect{5, 0, 9, 3}, Rect{2, 0, 2, 3}, Rect{3, 0, 1, 3}, Rect{0, -5, 4, 0}}) {
        FillMemImgRect(&img.m, &e, 0);
    }
    EXPECT_EQ(at(3, 0), 0x1111);
    EXPECT_EQ(at(2, 2), 0x1111);

    Image c32;
    ASSERT_EQ(InitMemImg(&c32.m, 2, 1, -1, 0, 1, 0, 0, 0), 0);
    FillMemImgRect(&c32.m, nullptr, 0x80112233);
    uint32_t v;
    std::memcpy(&v, c32.m.pixels + 4, 4);
    EXPECT_EQ(v, 0x80112233u);
}

}  // namespace
}  // namespace tessra
