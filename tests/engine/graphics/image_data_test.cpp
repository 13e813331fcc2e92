#include "engine/graphics/image_data.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/base/handle.h"
#include "engine/base/memory.h"
#include "engine/graphics/draw_state.h"

namespace tessra {
namespace {

class ImageData : public ::testing::Test {
protected:
    void SetUp() override {
        blocks_ = GetAllocStats().count;
        live_ = GetImageDataTable().count;
        saved_ = GetImageDataContext();
    }
    void TearDown() override {
        GetImageDataContext() = saved_;
        EXPECT_EQ(GetImageDataTable().count, live_);
        EXPECT_EQ(GetAllocStats().count, blocks_);
    }
    static ImageDataFormat Format(uint8_t bits, uint8_t alpha = 0) {
        ImageDataFormat f{};
        f.colorBits = bits;
        f.alpha = alpha;
        return f;
    }
    int32_t blocks_ = 0, live_ = 0;
    ImageDataContext saved_{};
};

TEST_F(ImageData, MemoryImageRecordsAndFormatBytes) {
    GetImageDataContext().windowMode = 0;  // full screen: only system-memory records are MEMIMGs
    GetImageDataContext().noDirectDraw = 0;
    ImageDataFormat f = Format(32, 1);
    f.alphaTest = 1;
    const int32_t h = AddImageData(1, 10, 6, 0x00FF00, &f);
    ASSERT_GE(h, 0);
    EXPECT_EQ(h & 0x78000000, kImageDataHandleKind);
    ImageDataRecord* r = GetImageDataRecord(h);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->format.systemMemory, 1);  // alpha on a 2-D record means system memory
    EXPECT_EQ(r->format.drawValid, 1);
    EXPECT_EQ(r->format.alphaTest, 0);
    EXPECT_EQ(r->usesMemImg, 1);
    EXPECT_EQ(r->pixelFormatCode, kPixelFormatMemImg32Alpha);
    EXPECT_EQ(r->memImg.kind, kMemImgKindXrgb);
    EXPECT_EQ(r->memImg.alpha, 1u);
    EXPECT_NE(r->memImg.alphaBuffer, nullptr);
    EXPECT_EQ(r->refCount, 1);
    EXPECT_EQ(ReleaseImageData(h), 0);
    EXPECT_EQ(GetImageDataRecord(h), nullptr);
}

TEST_F(ImageData, TransparentValueAndKinds) {
    DrawState.transColor = 0xFF00FF;
    ImageDataFormat f16 = Format(16);
    const int32_t a = AddImageData(1, 4, 4, 0, &f16);  // window mode on a 32-bit screen
    ASSERT_GE(a, 0);
    EXPECT_EQ(GetImageDataRecord(a)->memImg.transColor, 0xF81Fu);
    EXPECT_EQ(GetImageDataRecord(a)->pixelFormatCode, kPixelFormatMemImg16);
    ImageDataFormat pal = Format(32);
    pal.paletted = 1;
    const int32_t b = AddImageData(1, 4, 4, 0, &pal);
    ASSERT_GE(b, 0);
    EXPECT_EQ(GetImageDataRecord(b)->memImg.transColor, 0xFFFFu);
    ImageDataFormat single = Format(32);
    single.singleChannel = 1;
    const int32_t c = AddImageData(1, 4, 4, 0, &single);
    ASSERT_GE(c, 0);
    EXPECT_EQ(GetImageDataRecord(c)->memImg.kind, kMemImgKindSingle8);
    EXPECT_EQ(GetImageDataRecord(c)->format.systemMemory, 1);
    for (int32_t h : {a, b, c}) ReleaseImageData(h);
}

TEST_F(ImageData, SurfaceWithoutDirectDrawLeavesNoRecord) {
    GetImageDataContext().windowMode = 0;
    GetImageDataContext().directDraw = nullptr;
    GetImageDataContext().noDirectDraw = 0;
    ImageDataFormat f = Format(16);
    EXPECT_EQ(AddImageData(1, 8, 8, 0, &f), -1);
}

TEST_F(ImageData, ReferencesAndLostFlag) {
    ImageDataFormat f = Format(32);
    const int32_t h = AddImageData(1, 2, 2, 0, &f);
    ASSERT_GE(h, 0);
    EXPECT_EQ(AddImageDataRef(h), 2);
    EXPECT_EQ(ReleaseImageDataRef(h), 1);
    EXPECT_EQ(ReleaseImageDataRef(h), 0);
    EXPECT_NE(GetImageDataRecord(h), nullptr);  // the count reaching 0 deletes nothing
    int32_t lost = 0;
    GetImageDataRecord(h)->lostFlag = &lost;
    EXPECT_EQ(ReleaseImageData(h), 0);
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(ReleaseImageData(h), -1);
    EXPECT_EQ(AddImageDataRef(h), -1);
    EXPECT_EQ(ReleaseImageDataRef(h), -1);
    for (int32_t bad : {-1, 0, 0x08000001, static_cast<int32_t>(h & 0xF800FFFF)})
        EXPECT_EQ(GetImageDataRecord(bad), nullptr);
}

TEST_F(ImageData, NestedLocks) {
    ImageDataFormat f = Format(32);
    const int32_t h = AddImageData(1, 8, 4, 0, &f);
    ASSERT_GE(h, 0);
    const MEMIMG& m = GetImageDataRecord(h)->memImg;
    int32_t pitch = 0;
    uint8_t* p = nullptr;
    ColorFormat cf{};
    const Rect first{2, 1, 6, 3};
    ASSERT_EQ(LockImageSurface(h, &pitch, &p, 0, &first, &cf), 0);
    EXPECT_EQ(p, m.pixels + m.pitch + 8);
    EXPECT_EQ(pitch, m.pitch);
    EXPECT_EQ(cf.bitDepth, 32);
    uint8_t* q = nullptr;
    ASSERT_EQ(LockImageSurface(h, &pitch, &q, 0, &first, nullptr), -2);
    EXPECT_EQ(q, p);
    // Another rectangle while locked: its own address.
    const Rect second{0, 3, 1, 4};
    ASSERT_EQ(LockImageSurface(h, &pitch, &q, 0, &second, nullptr), -2);
    EXPECT_EQ(q, m.pixels + 3 * m.pitch);
    EXPECT_EQ(UnlockImageSurface(h, nullptr), 0);
    EXPECT_EQ(UnlockImageSurface(h, nullptr), 0);
    EXPECT_EQ(GetImageDataRecord(h)->lockCount, 1);  // still locked
    EXPECT_EQ(UnlockImageSurface(h, nullptr), 0);
    EXPECT_EQ(UnlockImageSurface(h, nullptr), -1);
    const Rect outside{4, 0, 9, 2};
    EXPECT_EQ(LockImageSurface(h, &pitch, &q, 0, &outside, nullptr), -1);
    ReleaseImageData(h);
}

TEST_F(ImageData, DepthBufferAndFill) {
    ImageDataFormat f = Format(16);
    const int32_t h = AddImageData(1, 5, 3, 0, &f);
    ASSERT_GE(h, 0);
    ImageDataRecord* r = GetImageDataRecord(h);
    EXPECT_EQ(CreateImageZBuffer(h, 1), 0);
    EXPECT_EQ(r->depthBuffer, 1);
    EXPECT_EQ(r->depthMemImg.kind, kMemImgKindZBuffer);
    EXPECT_EQ(CreateImageZBuffer(h, 1), 0);
    EXPECT_EQ(CreateImageZBuffer(h, 0), 0);
    EXPECT_EQ(r->depthMemImg.pixels, nullptr);
    EXPECT_EQ(CreateImageZBuffer(h, 1), 0);  // released with the record below
    EXPECT_EQ(FillImageSurface(h, 255, 0, 0, 0), 0);
    uint16_t px;
    std::memcpy(&px, r->memImg.pixels + 2 * r->memImg.pitch + 8, 2);
    EXPECT_EQ(px, 0xF800);
    EXPECT_EQ(RestoreImageSurfaceIfLost(h), 0);
    ReleaseImageData(h);
    EXPECT_EQ(RestoreImageSurfaceIfLost(h), -1);
}

// A single-channel record holds one 8-bit channel; a fill packs its colour in the screen's
// format (the record has no colour format of its own) and writes that byte, so white is 0xFF.
TEST_F(ImageData, SingleChannelFillWritesTheWholeByte) {
    for (const int screenBits : {32, 16}) {
        SCOPED_TRACE(screenBits);
        GetImageDataContext().screenFormat =
            *GetStandardColorFormat(screenBits == 32 ? 1 : 0, 0, 0);
        ImageDataFormat f = Format(32);
        f.singleChannel = 1;
        const int32_t h = AddImageData(1, 5, 3, 0, &f);
        ASSERT_GE(h, 0);
        ImageDataRecord* r = GetImageDataRecord(h);
        ASSERT_EQ(r->memImg.kind, kMemImgKindSingle8);
        struct Fill {
            int red, green, blue;
            uint8_t expected;
        };
        for (const Fill& fill : {Fill{255, 255, 255, 0xFF}, Fill{0, 0, 0, 0x00}}) {
            ASSERT_EQ(FillImageSurface(h, fill.red, fill.green, fill.blue, 255), 0);
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 5; ++x)
                    EXPECT_EQ(r->memImg.pixels[y * r->memImg.pitch + x], fill.expected);
        }
        ReleaseImageData(h);
    }
}

TEST_F(ImageData, FullTableRefused) {
    ImageDataTable& t = GetImageDataTable();
    const int32_t saved = t.count;
    t.count = kImageDataMax;
    ImageDataFormat f = Format(32);
    EXPECT_EQ(AddImageData(1, 2, 2, 0, &f), -1);
    t.count = saved;
}

TEST_F(ImageData, SlotsReusedFromTheLowestWhenTheCounterIsAtTheEnd) {
    ImageDataTable& t = GetImageDataTable();
    const int32_t savedNext = t.nextSlot;
    ImageDataFormat f = Format(32);
    const int32_t a = AddImageData(1, 1, 1, 0, &f);
    t.nextSlot = kImageDataMax;
    const int32_t b = AddImageData(1, 1, 1, 0, &f);
    ASSERT_GE(b, 0);
    int32_t lowest = 0;
    while (t.records[lowest] != nullptr && lowest != (b & 0xFFFF)) ++lowest;
    EXPECT_EQ(b & 0xFFFF, lowest);
    EXPECT_NE(a >> 16, b >> 16);  // a new check number
    ReleaseImageData(a);
    ReleaseImageData(b);
    t.nextSlot = savedNext;
}

}  // namespace
}  // namespace tessra
