// Shapes on the rasteriser: the pixels lines, outlines and fills light, their vertex colour,
// and the software path for a refused target.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/base/memory.h"
#include "engine/d3d/d3d_test_support.h"
#include "engine/graphics/draw_state.h"
#include "engine/screen/memimg.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_state.h"
#include "engine/softrender/soft_render.h"

namespace tessra {
namespace {

class PrimitivesTest : public D3DFixture {
protected:
    void SetUp() override {
        D3DFixture::SetUp();
        StartDirect3D(32);
        ASSERT_EQ(SetRenderTarget3DForDrawScreen(kBackScreen), 0);
        ASSERT_EQ(ApplyDrawAreaToViewport3D(&DrawState.DrawArea), 0);
        Clear();
        TakeCalls();
    }
    void TearDown() override {
        DrawState.blendMode = 0;
        DrawState.blendParam = 0;
        DrawState.brightness[0] = DrawState.brightness[1] = DrawState.brightness[2] = 255;
        UpdateDrawDiffuseColor();
        D3DFixture::TearDown();
    }
    void Clear() { ClearBackScreen(); }
    uint32_t Pixel(int x, int y) { return BackPixel(x, y); }
    // The lit pixels of a small area, as "x,y " pairs in row order.
    std::string Lit(int w, int h) {
        std::string out;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (Pixel(x, y) != 0) out += std::to_string(x) + "," + std::to_string(y) + " ";
        return out;
    }
};

TEST_F(PrimitivesTest, AxisLinesLeaveOutTheirEndPixel) {
    const uint32_t white = MakeScreenColor(255, 255, 255);
    ASSERT_EQ(G_D3D_DrawLineSegment(10, 10, 10, 20, white), 0);
    for (int y = 5; y < 25; ++y) EXPECT_EQ(Pixel(10, y) != 0, y >= 10 && y <= 19) << y;
    Clear();
    ASSERT_EQ(G_D3D_DrawLineSegment(10, 20, 10, 10, white), 0);
    for (int y = 5; y < 25; ++y) EXPECT_EQ(Pixel(10, y) != 0, y >= 11 && y <= 20) << y;
    Clear();
    ASSERT_EQ(G_D3D_DrawLineSegment(3, 2, 8, 2, white), 0);
    EXPECT_EQ(Lit(12, 4), "3,2 4,2 5,2 6,2 7,2 ");
    EXPECT_EQ(G_D3D_DrawLineSegment(4, 4, 4, 4, white), 0);
}

TEST_F(PrimitivesTest, FrameLightsEachOutlinePixelOnce) {
    DrawState.blendMode = 2;
    DrawState.blendParam = 255;
    UpdateDrawDiffuseColor();
    ASSERT_EQ(G_D3D_FrameRectangle(0, 0, 4, 3, MakeScreenColor(0x40, 0x40, 0x40)), 0);
    EXPECT_EQ(Lit(8, 6), "0,0 1,0 2,0 3,0 0,1 3,1 0,2 1,2 2,2 3,2 ");
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            if (Pixel(x, y) != 0) {
                EXPECT_EQ(Pixel(x, y), 0x404040u) << x << "," << y;
            }
    // Given the other way round, the same outline.
    Clear();
    ASSERT_EQ(G_D3D_FrameRectangle(4, 3, 0, 0, MakeScreenColor(0x40, 0x40, 0x40)), 0);
    EXPECT_EQ(Lit(8, 6), "0,0 1,0 2,0 3,0 0,1 3,1 0,2 1,2 2,2 3,2 ");
}

TEST_F(PrimitivesTest, FillCoversItsPixelsClippedToTheDrawArea) {
    const uint32_t c = MakeScreenColor(10, 200, 30);
    EXPECT_EQ(G_D3D_FillRectangle(5, 5, 5, 9, c), 0);
    EXPECT_TRUE(TakeCalls().empty());
    ASSERT_EQ(G_D3D_FillRectangle(4, 3, 1, 1, c), 0);  // given the wrong way round
    EXPECT_EQ(Lit(6, 5), "1,1 2,1 3,1 1,2 2,2 3,2 ");
    EXPECT_EQ(Pixel(2, 2), 0x0AC81Eu);
    Clear();
    DrawState.DrawArea = {2, 2, 20, 20};
    ApplyDrawAreaToViewport3D(&DrawState.DrawArea);
    ASSERT_EQ(G_D3D_FillRectangle(-5, -5, 3, 4, c), 0);
    EXPECT_EQ(Lit(6, 6), "2,2 2,3 ");
    DrawState.DrawArea = {0, 0, 640, 480};
}

TEST_F(PrimitivesTest, VertexColourTakesBrightnessAndBlendAlpha) {
    DrawState.brightness[0] = DrawState.brightness[1] = DrawState.brightness[2] = 128;
    UpdateDrawDiffuseColor();
    ASSERT_EQ(G_D3D_FillRectangle(0, 0, 2, 2, MakeScreenColor(255, 255, 255)), 0);
    EXPECT_EQ(Record()->area0[0].diffuse, 0xFF808080u);
    EXPECT_EQ(Record()->area0[3].diffuse, 0xFF808080u);
    FlushCurrentVertexBatch();
    DrawState.blendMode = 1;
    DrawState.blendParam = 100;
    UpdateDrawDiffuseColor();
    ASSERT_EQ(G_D3D_DrawLineSegment(0, 0, 2, 0, MakeScreenColor(255, 0, 0)), 0);
    EXPECT_EQ(Record()->area0[0].diffuse, 0x64800000u);
}

// The pixels the software renderer lights for the same ellipse in the same draw area.
std::string SoftEllipse(int cx, int cy, int rx, int ry, int fill, int w, int h) {
    MEMIMG img{};
    EXPECT_EQ(CreateScreenMemImg(&img, 640, 480, 1, 32), 0);
    MemImgDrawCircle(&img, cx, cy, rx, ry, 0xFFFFFF, fill);
    std::string out;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            uint32_t v;
            std::memcpy(&v, img.pixels + y * img.pitch + x * 4, 4);
            if ((v & 0xFFFFFF) != 0) out += std::to_string(x) + "," + std::to_string(y) + " ";
        }
    }
    ReleaseMemImg(&img);
    return out;
}

TEST_F(PrimitivesTest, EllipsesLightTheSoftwareFigure) {
    struct Case {
        int cx, cy, rx, ry;
        Rect area;
    };
    const Case cases[] = {
        {30, 20, 12, 5, {0, 0, 640, 480}}, {30, 20, 5, 12, {0, 0, 640, 480}},
        {30, 20, 9, 9, {0, 0, 640, 480}},  {30, 20, 12, 1, {0, 0, 640, 480}},
        {30, 20, -7, 4, {0, 0, 640, 480}}, {36, 20, 8, 6, {0, 0, 40, 480}},  // right edge
        {30, 20, 8, 6, {25, 17, 640, 24}},                                   // last row
    };
    const uint32_t white = MakeScreenColor(255, 255, 255);
    for (const Case& c : cases) {
        for (int fill = 0; fill < 2; ++fill) {
            Clear();
            DrawState.DrawArea = c.area;
            ApplyDrawAreaToViewport3D(&DrawState.DrawArea);
            ASSERT_EQ(G_D3D_DrawCircle(c.cx, c.cy, c.rx, c.ry, white, fill), 0);
            const std::string lit = Lit(60, 40);
            EXPECT_NE(lit, "");
            EXPECT_EQ(lit, SoftEllipse(c.cx, c.cy, c.rx, c.ry, fill, 60, 40))
                << c.rx << "x" << c.ry << " fill " << fill;
            if (fill && c.ry == 1) {
                EXPECT_NE(lit.find(",19 "), std::string::npos);
                EXPECT_NE(lit.find(",21 "), std::string::npos);
                EXPECT_EQ(lit.find(",22 "), std::string::npos);
            }
        }
    }
    DrawState.DrawArea = {0, 0, 640, 480};
    ApplyDrawAreaToViewport3D(&DrawState.DrawArea);
}

TEST_F(PrimitivesTest, FilledEllipseBlendsEachPixelOnceAndZeroRadiusDrawsNothing) {
    DrawState.blendMode = 2;
    DrawState.blendParam = 255;
    UpdateDrawDiffuseColor();
    ASSERT_EQ(G_D3D_DrawCircle(20, 20, 10, 3, MakeScreenColor(0x30, 0x30, 0x30), 1), 0);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            if (Pixel(x, y) != 0) {
                ASSERT_EQ(Pixel(x, y), 0x303030u) << x << "," << y;
            }
    Clear();
    TakeCalls();
    EXPECT_EQ(G_D3D_DrawCircle(20, 20, 0, 5, 0xFFFFFF, 1), -1);
    EXPECT_EQ(G_D3D_DrawCircle(20, 20, 5, 0, 0xFFFFFF, 0), -1);
    EXPECT_TRUE(TakeCalls().empty());
}

TEST_F(PrimitivesTest, FilledEllipseWithoutRowFlagsFailsAndDrawsNothing) {
    g_allocFailCountdown = 1;
    EXPECT_EQ(G_D3D_DrawCircle(20, 20, 10, 5, MakeScreenColor(255, 255, 255), 1), -1);
    g_allocFailCountdown = 0;
    EXPECT_NE(TakeLog().find("G_D3D_DrawCircle"), std::string::npos);
    EXPECT_EQ(Lit(40, 40), "");
    // The outline needs no flags.
    g_allocFailCountdown = 1;
    EXPECT_EQ(G_D3D_DrawCircle(20, 20, 10, 5, MakeScreenColor(255, 255, 255), 0), 0);
    g_allocFailCountdown = 0;
    EXPECT_NE(Lit(40, 40), "");
}

TEST_F(PrimitivesTest, ClearEmptiesATextureGraphTargetAndLeavesScreens) {
    GraphRecord* g = NewTextureGraph(16, 16, 32, 0, 0, 1);
    ASSERT_NE(g, nullptr);
    ASSERT_EQ(FillGraphTextures(g, 200, 100, 50, 255), 0);
    plat::DirectDrawSurface* tex =
        GetImageDataRecord(Surface3DEntries().Find(g->pieces[0], kTextureHandleKind)->image)
            ->surface;
    GraphTable& table = GetGraphTable();
    const int32_t slot = table.SlotForNew();
    g->check = table.checkCounter;
    g->handle = MakeEngineHandle(kGraphHandleKind, g->check, slot);
    table.Occupy(slot, g);
    DrawState.drawTarget = kBackScreen;
    EXPECT_EQ(G_D3D_ClearDrawTarget(), 0);
    uint32_t v;
    std::memcpy(&v, tex->Bits(), 4);
    EXPECT_EQ(v & 0xFFFFFF, 0xC86432u);  // a screen target is not the back-end's to clear
    DrawState.drawTarget = g->handle;
    EXPECT_EQ(G_D3D_ClearDrawTarget(), 0);
    for (int y = 0; y < tex->Height(); ++y)
        for (int x = 0; x < tex->Width(); ++x) {
            std::memcpy(&v, tex->Bits() + y * tex->Pitch() + x * 4, 4);
            ASSERT_EQ(v, 0u) << x << "," << y;
        }
    DrawState.drawTarget = kBackScreen;
    table.Vacate(slot);
}

// A refused target hands the shapes to the software calls: nothing reaches the device.
TEST_F(PrimitivesTest, RefusedTargetDrawsInSoftwareAndNoDirect3DFails) {
    const uint32_t c = MakeScreenColor(0, 0, 255);
    D3D().targetRefused = 1;
    TakeCalls();
    EXPECT_EQ(G_D3D_FillRectangle(1, 1, 3, 2, c), 0);
    EXPECT_EQ(G_D3D_DrawLineSegment(5, 5, 7, 5, c), 0);
    EXPECT_EQ(G_D3D_FrameRectangle(10, 10, 13, 13, c), 0);
    for (const std::string& call : TakeCalls()) EXPECT_EQ(call.find("Draw"), std::string::npos);
    D3D().targetRefused = 0;
    TerminateDirect3D();
    EXPECT_EQ(G_D3D_FillRectangle(1, 1, 3, 2, c), -1);
    EXPECT_EQ(G_D3D_DrawLineSegment(1, 1, 3, 2, c), -1);
    EXPECT_EQ(G_D3D_FrameRectangle(1, 1, 3, 2, c), -1);
}

}  // namespace
}  // namespace tessra
