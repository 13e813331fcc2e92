// 2-D surface records: their table, shared image data, the transfer of pictures with run data
// and the premultiplied plane, surface copies, and plain surfaces lost and restored.
#include "engine/screen/surface2d.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/base/memory.h"
#include "engine/d3d/d3d.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_image.h"
#include "engine/graphics/graph_table.h"
#include "engine/graphics/image_data.h"
#include "engine/screen/memimg.h"
#include "platform/ddraw/ddraw.h"
#include "platform/testing.h"

namespace tessra {
namespace {

const GraphFormatBytes kPlain32{0, 0, 0, 0, 0, 32, 0, 0};

class Surface2DTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = GetImageDataContext();
        ResetDrawState();
        GetGraphicsCoreState().started = 1;
        GetImageDataContext().workingColorBits = 32;
    }
    void TearDown() override {
        ReleaseAllGraphs(0);
        DeleteAllSurfaces2D();
        GetGraphicsCoreState().started = 0;
        if (dd_ != nullptr) dd_->Release();
        GetImageDataContext() = saved_;
    }
    void UseFullScreenSurfaces() {
        ASSERT_EQ(plat::CreateDirectDraw7(&dd_), plat::DD_OK);
        ASSERT_EQ(dd_->Initialize(nullptr), plat::DD_OK);
        ImageDataContext& c = GetImageDataContext();
        c.directDraw = dd_;
        c.noDirectDraw = 0;
        c.windowMode = 0;
        c.screenColorBits = 32;
        c.screenWidth = 640;
        c.screenHeight = 480;
        c.screenFormat = *GetStandardColorFormat(kColorKindXrgb, 0, 0);
    }
    // An ARGB GraphImage of w x h with the given pixels.
    static GraphImage Argb(int w, int h, const std::vector<uint32_t>& px) {
        GraphImage g{};
        BuildColorFormatFromMasks(&g.format, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000);
        g.width = w;
        g.height = h;
        g.pitch = w * 4;
        g.pixels = static_cast<uint8_t*>(AllocTagged(px.size() * 4, __FILE__, __LINE__));
        std::memcpy(g.pixels, px.data(), px.size() * 4);
        return g;
    }

    ImageDataContext saved_{};
    plat::DirectDraw* dd_ = nullptr;
};

TEST_F(Surface2DTest, TableSlotsChecksAndTheLimit) {
    const int a = AddSurface2D(2, 2, 0, 0, 0, nullptr, 0, 0, &kPlain32);
    ASSERT_GE(a, 0);
    EXPECT_EQ(a & kHandleKindMask, kSurface2DHandleKind);
    EXPECT_EQ(GetSurface2D(a)->userPointer, nullptr);
    EXPECT_EQ(GetSurface2D(a + 1), nullptr);
    EXPECT_EQ(DeleteSurface2D(a), 0);
    EXPECT_EQ(GetSurface2DTable().topSlot, 0);  // the only record gone
    // The 2049th record made takes check number 0 again.
    GetSurface2DTable().checkCounter = 2047;
    const int b = AddSurface2D(2, 2, 0, 0, 0, nullptr, 0, 0, &kPlain32);
    const int c = AddSurface2D(2, 2, 0, 0, 0, nullptr, 0, 0, &kPlain32);
    EXPECT_EQ(HandleCheckBits(b) >> 16, 2047);
    EXPECT_EQ(HandleCheckBits(c) >> 16, 0);
    DeleteSurface2D(b);
    DeleteSurface2D(c);
    // A full table refuses the next record and leaves itself unchanged.
    Surface2DTable& t = GetSurface2DTable();
    const int first = AddSurface2D(1, 1, 0, 0, 0, nullptr, 0, 0, &kPlain32);
    ASSERT_GE(first, 0);
    const Surface2DRecord* shared = GetSurface2D(first);
    for (int i = 1; i < kSurface2DMax; ++i) {
        ASSERT_GE(AddSurface2D(1, 1, 0, 0, 0, shared, 0, 0, nullptr), 0) << i;
    }
    EXPECT_EQ(t.liveCount, kSurface2DMax);
    EXPECT_EQ(AddSurface2D(1, 1, 0, 0, 0, shared, 0, 0, nullptr), -1);
    EXPECT_EQ(t.liveCount, kSurface2DMax);
    // With the top at the end, a freed slot is taken again.
    const int32_t freed = MakeEngineHandle(kSurface2DHandleKind, t.records[100]->check, 100);
    DeleteSurface2D(freed);
    const int again = AddSurface2D(1, 1, 0, 0, 0, shared, 0, 0, nullptr);
    EXPECT_EQ(HandleSlot(again), 100);
    EXPECT_EQ(GetImageDataRecord(shared->imageData)->refCount, kSurface2DMax);
    EXPECT_EQ(DeleteAllSurfaces2D(), 0);
    EXPECT_EQ(t.liveCount, 0);
}

TEST_F(Surface2DTest, AlphaPictureGetsPremultipliedPlaneAndBlendRuns) {
    const int g = CreateBlankGraph(3, 1, 0, 1, 0);  // with alpha: a memory image in any mode
    ASSERT_GT(g, 0);
    GraphRecord* r = GetGraphRecord(g);
    const std::vector<uint32_t> px = {0x00FFFFFF, 0x80FF8040, 0xFF102030};
    GraphImage image = Argb(3, 1, px);
    ASSERT_EQ(BltImageToGraph2D(&image, nullptr, 0, 0, r), 0);
    const MEMIMG& m =
        GetImageDataRecord(GetSurface2D(static_cast<int32_t>(r->pieces[0]))->imageData)->memImg;
    ASSERT_EQ(m.kind, kMemImgKindXrgb);
    ASSERT_EQ(m.alpha, 1u);
    EXPECT_EQ(m.runData, 1u);
    EXPECT_EQ(m.premultipliedAlpha, 1u);
    const uint8_t runs[] = {0x00, 0x80, 0x40, 0xC0};
    EXPECT_EQ(0, std::memcmp(m.auxBuffer, runs, 4));
    // B, G, R times alpha >> 8, then alpha.
    const uint8_t premultiplied[] = {0,
                                     0,
                                     0,
                                     0,
                                     0x40 * 0x80 >> 8,
                                     0x80 * 0x80 >> 8,
                                     0xFF * 0x80 >> 8,
                                     0x80,
                                     0x30 * 0xFF >> 8,
                                     0x20 * 0xFF >> 8,
                                     0x10 * 0xFF >> 8,
                                     0xFF};
    EXPECT_EQ(0, std::memcmp(m.alphaBuffer, premultiplied, sizeof premultiplied));
    // A part of the picture clears both: they describe whole images only.
    const Rect part{0, 0, 1, 1};
    ASSERT_EQ(TransferGraphImageToSurfaces2D(&image, nullptr, &part, 0, 0,
                                             static_cast<int32_t>(r->pieces[0]), 0),
              0);
    EXPECT_EQ(m.runData, 0u);
    EXPECT_EQ(m.premultipliedAlpha, 0u);
    FreeGraphImage(&image);
}

TEST_F(Surface2DTest, SixteenBitAlphaPlaneAndOnePixelRows) {
    GetImageDataContext().workingColorBits = 16;
    const int g = CreateBlankGraph(1, 2, 0, 1, 0);
    GraphRecord* r = GetGraphRecord(g);
    GraphImage image = Argb(1, 2, {0xFFF80000, 0x80F8FC00});
    ASSERT_EQ(BltImageToGraph2D(&image, nullptr, 0, 0, r), 0);
    const MEMIMG& m =
        GetImageDataRecord(GetSurface2D(static_cast<int32_t>(r->pieces[0]))->imageData)->memImg;
    ASSERT_EQ(m.kind, kMemImgKind565);
    const uint8_t runs[] = {0x40, 0xC0, 0x80, 0xC0};  // one run byte and the end, per row
    EXPECT_EQ(0, std::memcmp(m.auxBuffer, runs, 4));
    // Row 1: 565 yellow 0xFFE0 at alpha 0x80: each channel times alpha, >> 8.
    const uint8_t* p = m.alphaBuffer + m.pitch;
    const uint32_t c = 0xFFE0, a = 0x80;
    const uint32_t want = ((((c & 0x1F) * a) & 0x1F00) | (((c & 0xF800) * a) & 0xF80000) |
                           (((c & 0x7E0) * a) & 0x7E000)) >>
                          8;
    EXPECT_EQ(p[0] | (p[1] << 8), static_cast<int>(want));
    EXPECT_EQ(p[2], 0x80);
    FreeGraphImage(&image);
}

TEST_F(Surface2DTest, PlainSurfacesFillLoseAndComeBack) {
    UseFullScreenSurfaces();
    DrawState.transColor = 0x00FF00;
    const int g = CreateBlankGraph(4, 4, 0, 0, 0);
    ASSERT_GT(g, 0);
    GraphRecord* r = GetGraphRecord(g);
    ImageDataRecord* d =
        GetImageDataRecord(GetSurface2D(static_cast<int32_t>(r->pieces[0]))->imageData);
    ASSERT_NE(d->surface, nullptr);
    EXPECT_EQ(d->format.systemMemory, 1);
    ASSERT_EQ(FillGraphWithColor(g, 0x12, 0x34, 0x56, 0), 0);
    EXPECT_EQ(plat::ReadPixelBytes(d->surface->Bits(), 4) & 0xFFFFFF, 0x123456u);
    EXPECT_EQ(RestoreGraphSurfaces2D(r), 0);
    plat::testing::LoseAllSurfaces();
    EXPECT_EQ(RestoreGraphSurfaces2D(r), -1);  // restored, contents gone
    EXPECT_EQ(plat::ReadPixelBytes(d->surface->Bits(), 4), 0u);
    // The display rebuild drops the surfaces and makes them again with their key.
    ReleaseAllScreenImageSurfaces();
    EXPECT_EQ(d->surface, nullptr);
    RecreateAllScreenImageSurfaces();
    ASSERT_NE(d->surface, nullptr);
    plat::DDCOLORKEY key{};
    ASSERT_EQ(d->surface->GetColorKey(plat::DDCKEY_SRCBLT, &key), plat::DD_OK);
    EXPECT_EQ(key.dwColorSpaceLowValue & 0xFFFFFF, 0x00FF00u);
    // A depth buffer attaches to the plain surface and goes with it.
    ASSERT_EQ(CreateImageZBuffer(GetSurface2D(static_cast<int32_t>(r->pieces[0]))->imageData, 1),
              0);
    ASSERT_NE(d->depthSurface, nullptr);
    // Two locks nest; the second gives the same memory.
    int32_t pitch = 0;
    uint8_t* a = nullptr;
    uint8_t* b = nullptr;
    const int32_t data = GetSurface2D(static_cast<int32_t>(r->pieces[0]))->imageData;
    ASSERT_EQ(LockImageSurface(data, &pitch, &a, 1, nullptr, nullptr), 0);
    ASSERT_EQ(LockImageSurface(data, &pitch, &b, 1, nullptr, nullptr), -2);
    EXPECT_EQ(a, b);
    EXPECT_EQ(UnlockImageSurface(data, nullptr), 0);
    EXPECT_TRUE(d->surface->Locked());
    EXPECT_EQ(UnlockImageSurface(data, nullptr), 0);
    EXPECT_FALSE(d->surface->Locked());
}

TEST_F(Surface2DTest, SurfaceCopiesByBltFastAndByGdi) {
    UseFullScreenSurfaces();
    const int a = CreateBlankGraph(4, 4, 0, 0, 0);
    const int b = CreateBlankGraph(4, 4, 0, 0, 0);
    auto surfaceOf = [](int g) {
        return GetImageDataRecord(
                   GetSurface2D(static_cast<int32_t>(GetGraphRecord(g)->pieces[0]))->imageData)
            ->surface;
    };
    FillGraphWithColor(a, 0xAB, 0xCD, 0xEF, 0);
    const Rect r{1, 1, 3, 3};
    for (int method : {0, 1, -1}) {
        FillGraphWithColor(b, 0, 0, 0, 0);
        ASSERT_EQ(BltSurfaceByGdi(surfaceOf(b), surfaceOf(a), 0, 2, &r, method), 0) << method;
        EXPECT_EQ(
            plat::ReadPixelBytes(surfaceOf(b)->Bits() + 2 * surfaceOf(b)->Pitch(), 4) & 0xFFFFFF,
            0xABCDEFu)
            << method;
        EXPECT_EQ(plat::ReadPixelBytes(surfaceOf(b)->Bits(), 4) & 0xFFFFFF, 0u) << method;
    }
    const Rect outside{2, 2, 6, 6};
    EXPECT_EQ(BltSurfaceByGdi(surfaceOf(b), surfaceOf(a), 0, 0, &outside, 0), -1);
}

TEST_F(Surface2DTest, UnusedBitsAreSetOnlyInTheRectangle) {
    uint32_t px[2][3] = {{0x00123456, 0x00123456, 0x00123456}, {0x00ABCDEF, 0x00ABCDEF, 0}};
    const Rect r{1, 0, 3, 2};
    FillUnusedPixelBits(&r, reinterpret_cast<uint8_t*>(px), 12,
                        GetStandardColorFormat(kColorKindXrgb, 0, 0), 0xFF);
    EXPECT_EQ(px[0][0], 0x00123456u);
    EXPECT_EQ(px[0][1], 0xFF123456u);
    EXPECT_EQ(px[1][2], 0xFF000000u);
    // 565 has no unused bits: nothing changes.
    uint16_t w[2] = {0x1234, 0xFFFF};
    const Rect all{0, 0, 2, 1};
    FillUnusedPixelBits(&all, reinterpret_cast<uint8_t*>(w), 4,
                        GetStandardColorFormat(kColorKind565, 0, 0), 0xFF);
    EXPECT_EQ(w[0], 0x1234);
}

TEST_F(Surface2DTest, NoSurfaceWhileTheDirectDrawObjectIsMissing) {
    GetImageDataContext().noDirectDraw = 0;
    GetImageDataContext().directDraw = nullptr;
    EXPECT_EQ(AddSurface2D(2, 2, 0, 0, 0, nullptr, 0, 0, &kPlain32), -1);
    EXPECT_EQ(GetSurface2DTable().liveCount, 0);
    EXPECT_EQ(DeleteAllSurfaces2D(), -1);
}

}  // namespace
}  // namespace tessra
