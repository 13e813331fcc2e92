// Graphs drawn through the 3-D device on the rasteriser: 1:1 with clipping, mirrored stretches,
// rotation coverage, quads as triangles or grids, the blend-graph quad and tiling.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "engine/d3d/d3d_test_support.h"
#include "engine/graphics/draw_front.h"
#include "engine/graphics/draw_state.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_state.h"

namespace tessra {
namespace {

std::string Box(const Rect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "-" + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

class DrawImageTest : public D3DFixture {
protected:
    void SetUp() override {
        D3DFixture::SetUp();
        StartDirect3D(32);
        ASSERT_EQ(SetRenderTarget3DForDrawScreen(kBackScreen), 0);
        DrawState.drawTarget = kBackScreen;
        DrawState.direct3DReady = 1;
        SetArea({0, 0, 640, 480});
        Clear();
        TakeCalls();
    }
    void TearDown() override {
        DrawState.blendGraph = -1;
        SetGraphTextureBlend(nullptr, -1, -1);
        SetArea({0, 0, 640, 480});
        DrawState.direct3DReady = 0;
        D3DFixture::TearDown();
    }
    void SetArea(const Rect& a) {
        DrawState.DrawArea = a;
        DrawState.drawAreaF[0] = float(a.left);
        DrawState.drawAreaF[1] = float(a.top);
        DrawState.drawAreaF[2] = float(a.right);
        DrawState.drawAreaF[3] = float(a.bottom);
        ApplyDrawAreaToViewport3D(&DrawState.DrawArea);
    }
    void Clear() { ClearBackScreen(); }
    uint32_t Pixel(int x, int y) { return BackPixel(x, y); }
    // The lit pixels' bounding box, right and bottom inclusive; all -1 when nothing is lit.
    Rect LitBox(const Rect& within) {
        EndSceneCurrent();
        Rect box{-1, -1, -1, -1};
        bool any = false;
        for (int y = within.top; y < within.bottom; ++y) {
            for (int x = within.left; x < within.right; ++x) {
                if (Pixel(x, y) == 0) continue;
                if (!any) box = {x, y, x, y};
                any = true;
                box.left = std::min(box.left, x), box.right = std::max(box.right, x);
                box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y);
            }
        }
        return box;
    }
    // A graph whose texel (x, y) is 0x80 | x + 1 << 16 | y + 1 << 8: every texel its own colour.
    GraphRecord* Graph(int w, int h) {
        GraphRecord* g = NewTextureGraph(w, h, 32);
        EXPECT_NE(g, nullptr);
        if (g == nullptr) return nullptr;
        for (int i = 0; i < g->pieceCount; ++i) {
            const Surface3DData* p = Surface3DEntries().Find(g->pieces[i], kTextureHandleKind);
            plat::DirectDrawSurface* s = GetImageDataRecord(p->image)->surface;
            for (int y = 0; y < p->height; ++y) {
                for (int x = 0; x < p->width; ++x) {
                    const uint32_t v = Texel(p->graphX + x, p->graphY + y);
                    std::memcpy(s->Bits() + (p->texY + y) * s->Pitch() + (p->texX + x) * 4, &v, 4);
                }
            }
        }
        return g;
    }
    static uint32_t Texel(int x, int y) {
        return uint32_t(x + 1) << 16 | uint32_t(y + 1) << 8 | 0x80;
    }
    int Count(const std::vector<std::string>& calls, const std::string& name) {
        return int(std::count_if(calls.begin(), calls.end(), [&](const std::string& c) {
            return c.rfind(name + "(", 0) == 0;
        }));
    }
};

TEST_F(DrawImageTest, OneToOneShowsEveryTexelAndClipsKeepingTexels) {
    GraphRecord* g = Graph(16, 8);
    ASSERT_EQ(G_D3D_DrawImage(20, 10, 0, 0, g, 0, 1), 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) ASSERT_EQ(Pixel(20 + x, 10 + y), Texel(x, y)) << x << "," << y;
    EXPECT_EQ(Box(LitBox({0, 0, 60, 30})), Box(Rect{20, 10, 35, 17}));
    // Three columns past the left edge of the area are lost; the rest keep their texels.
    Clear();
    SetArea({10, 5, 200, 200});
    ASSERT_EQ(G_D3D_DrawImage(7, 5, 0, 0, g, 0, 1), 0);
    EXPECT_EQ(Box(LitBox({0, 0, 60, 30})), Box(Rect{10, 5, 22, 12}));
    for (int y = 0; y < 8; ++y)
        for (int x = 3; x < 16; ++x) ASSERT_EQ(Pixel(7 + x, 5 + y), Texel(x, y)) << x << "," << y;
    // Float positions truncate for the tests but place by the float.
    Clear();
    SetArea({0, 0, 640, 480});
    ASSERT_EQ(G_D3D_DrawImage(0, 0, 30.0f, 40.0f, g, 0, 0), 0);
    EXPECT_EQ(Pixel(30, 40), Texel(0, 0));
}

TEST_F(DrawImageTest, WhollyOutsideQueuesNothingAndNotReadyIsRefused) {
    GraphRecord* g = Graph(16, 8);
    const Rect cases[] = {{-16, 0, 0, 0}, {0, -8, 0, 0}, {640, 0, 0, 0}, {0, 480, 0, 0}};
    for (const Rect& c : cases) {
        EXPECT_EQ(G_D3D_DrawImage(c.left, c.top, 0, 0, g, 0, 1), 0);
        EXPECT_EQ(Record()->batchCount, 0u);
    }
    EXPECT_TRUE(TakeCalls().empty());
    // A refused target draws nothing and reports no failure.
    D3D().targetRefused = 1;
    EXPECT_EQ(G_D3D_DrawImage(10, 10, 0, 0, g, 0, 1), 0);
    EXPECT_EQ(Record()->batchCount, 0u);
    D3D().targetRefused = 0;
    EXPECT_EQ(G_D3D_DrawImageStretched(5, 5, 5, 20, 0, 0, 0, 0, g, 0, 1), -1);
    EXPECT_EQ(G_D3D_DrawImageRotated(50, 50, 0.0, 0.0, g, 0, 0), -1);
    TerminateDirect3D();
    EXPECT_EQ(G_D3D_DrawImage(10, 10, 0, 0, g, 0, 1), -1);
    EXPECT_EQ(G_D3D_DrawImageQuad(0, 0, 8, 0, 0, 8, 8, 8, g, 0), -1);
}

TEST_F(DrawImageTest, MirroredStretchAlsoWhenClipped) {
    GraphRecord* g = Graph(16, 8);
    ASSERT_EQ(G_D3D_DrawImageStretched(30, 10, 14, 18, 0, 0, 0, 0, g, 0, 1), 0);
    EXPECT_EQ(Box(LitBox({0, 0, 60, 30})), Box(Rect{14, 10, 29, 17}));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) ASSERT_EQ(Pixel(14 + x, 10 + y), Texel(15 - x, y)) << x;
    Clear();
    SetArea({20, 0, 640, 480});
    ASSERT_EQ(G_D3D_DrawImageStretched(30, 10, 14, 18, 0, 0, 0, 0, g, 0, 1), 0);
    EXPECT_EQ(Box(LitBox({0, 0, 60, 30})), Box(Rect{20, 10, 29, 17}));
    for (int y = 0; y < 8; ++y)
        for (int x = 6; x < 16; ++x) ASSERT_EQ(Pixel(14 + x, 10 + y), Texel(15 - x, y)) << x;
    // Twice the size: each texel on two by two pixels.
    Clear();
    SetArea({0, 0, 640, 480});
    ASSERT_EQ(G_D3D_DrawImageStretched(0, 0, 32, 16, 0, 0, 0, 0, g, 0, 1), 0);
    EXPECT_EQ(Pixel(5, 3), Texel(2, 1));
    EXPECT_EQ(Box(LitBox({0, 0, 60, 30})), Box(Rect{0, 0, 31, 15}));
}

TEST_F(DrawImageTest, RotationAtScaleOneCoversTheExpectedPixels) {
    struct Case {
        int w, h;
        Rect box;
    };
    const Case cases[] = {
        {32, 32, {84, 84, 115, 115}}, {31, 31, {85, 85, 115, 115}}, {32, 31, {85, 85, 116, 115}}};
    for (const Case& c : cases) {
        Clear();
        GraphRecord* g = Graph(c.w, c.h);
        ASSERT_EQ(G_D3D_DrawImageRotated(100, 100, 1.0, 0.0, g, 0, 0), 0);
        EXPECT_EQ(Box(LitBox({60, 60, 140, 140})), Box(c.box)) << c.w << "x" << c.h;
    }
}

TEST_F(DrawImageTest, AngleZeroMatchesTheUnrotatedDrawAndTurnOneMirrors) {
    GraphRecord* g = Graph(32, 32);
    ASSERT_EQ(G_D3D_DrawImageRotated(100, 100, 1.0, 0.0, g, 0, 2), 0);  // 2 does not mirror
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) ASSERT_EQ(Pixel(84 + x, 84 + y), Texel(x, y));
    Clear();
    ASSERT_EQ(G_D3D_DrawImageRotated(100, 100, 1.0, 0.0, g, 0, 1), 0);
    for (int x = 0; x < 32; ++x) ASSERT_EQ(Pixel(84 + x, 90), Texel(31 - x, 6));
    // A quarter turn clockwise: the graph's top row runs down the right side.
    Clear();
    ASSERT_EQ(G_D3D_DrawImageRotated(100, 100, 1.0, 3.14159265358979 / 2, g, 0, 0), 0);
    const Rect box = LitBox({60, 60, 140, 140});
    EXPECT_EQ(Pixel(box.right, box.top + 10) & 0xFF00, Texel(10, 0) & 0xFF00);
}

TEST_F(DrawImageTest, AngleZeroMatchesTheUnrotatedDrawUnderABlendGraph) {
    GraphRecord* g = Graph(32, 32);
    GraphRecord* blend = Graph(32, 32);
    DrawState.blendGraph = 0x08001234;
    ASSERT_EQ(SetGraphTextureBlend(blend, 0, 0), 0);
    ASSERT_EQ(G_D3D_DrawImage(84, 84, 0, 0, g, 0, 1), 0);
    EXPECT_EQ(Record()->batchKind, 2u);
    std::vector<uint32_t> plain;
    for (int y = 80; y < 120; ++y)
        for (int x = 80; x < 120; ++x) plain.push_back(Pixel(x, y));
    Clear();
    ASSERT_EQ(G_D3D_DrawImageRotated(100, 100, 1.0, 0.0, g, 0, 0), 0);
    std::vector<uint32_t> turned;
    for (int y = 80; y < 120; ++y)
        for (int x = 80; x < 120; ++x) turned.push_back(Pixel(x, y));
    EXPECT_EQ(turned, plain);
    EXPECT_NE(std::count(plain.begin(), plain.end(), 0u), long(plain.size()));
}

TEST_F(DrawImageTest, ClippedStretchMovesTheBlendGraphWithTheImage) {
    GraphRecord* g = Graph(16, 8);
    GraphRecord* blend = Graph(16, 8);
    DrawState.blendGraph = 0x08001234;
    ASSERT_EQ(SetGraphTextureBlend(blend, 0, 0), 0);
    // Twice the size, 8 screen pixels (4 graph pixels) past the left edge.
    ASSERT_EQ(G_D3D_DrawImageStretched(-8, 0, 24, 16, 0, 0, 0, 0, g, 0, 1), 0);
    ASSERT_EQ(Record()->batchKind, 2u);
    const Vertex3DBlend& tl = Record()->area2[0];
    EXPECT_FLOAT_EQ(tl.x, -0.5f);
    // Both the picture and the blend graph start 4 graph pixels in, a quarter of 16.
    EXPECT_FLOAT_EQ(tl.u1, 0.25f);
    EXPECT_FLOAT_EQ(tl.u0, 0.25f);
}

TEST_F(DrawImageTest, ParallelogramQueuesTwoTrianglesAndTrapezoidDrawsTheGrid) {
    GraphRecord* g = Graph(16, 16);
    // Half a pixel off a rectangle still counts as a parallelogram.
    ASSERT_EQ(G_D3D_DrawImageQuad(10, 10, 26, 10, 10, 26, 26.5f, 26, g, 0), 0);
    EXPECT_EQ(Record()->batchCount, 6u);
    EXPECT_EQ(Count(TakeCalls(), "DrawIndexedPrimitive"), 0);
    EXPECT_EQ(Pixel(10, 10), Texel(0, 0));
    EXPECT_EQ(Pixel(12, 12), Texel(2, 2));
    EXPECT_EQ(Box(LitBox({0, 0, 60, 60})), Box(Rect{10, 10, 26, 25}));
    Clear();
    TakeCalls();
    ASSERT_EQ(G_D3D_DrawImageQuad(10, 10, 26, 10, 4, 40, 32, 40, g, 0), 0);
    EXPECT_EQ(Count(TakeCalls(), "DrawIndexedPrimitive"), 1);
    const Rect box = LitBox({0, 0, 60, 60});
    EXPECT_EQ(box.top, 10);
    EXPECT_EQ(box.bottom, 39);
    EXPECT_LE(box.left, 5);
    EXPECT_GE(box.right, 30);
}

TEST_F(DrawImageTest, BlendGraphQuadsGoPieceByPieceAndHonourTheDiscard) {
    GraphRecord* g = Graph(16, 16);
    GraphRecord* blend = Graph(16, 16);
    DrawState.blendGraph = 0x08001234;
    ASSERT_EQ(SetGraphTextureBlend(blend, 0, 0), 0);
    // An axis-aligned rectangle goes the stretched way, through the batch.
    TakeCalls();
    ASSERT_EQ(G_D3D_DrawImageQuad(10, 10, 26, 10, 10, 26, 26, 26, g, 0), 0);
    EXPECT_EQ(Record()->batchKind, 2u);
    EXPECT_EQ(Record()->batchCount, 6u);
    FlushCurrentVertexBatch();
    TakeCalls();
    // A trapezoid: one strip per piece, at once.
    ASSERT_EQ(G_D3D_DrawImageQuad(10, 10, 26, 10, 4, 40, 32, 40, g, 0), 0);
    auto calls = TakeCalls();
    EXPECT_EQ(Count(calls, "DrawPrimitive"), 1) << JoinLines(calls);
    EXPECT_NE(JoinLines(calls).find("DrawPrimitive(5, 0x2C4, 4, 0)"), std::string::npos);
    // Blend parameter 255 discards what is drawn: the strip too.
    ASSERT_EQ(SetGraphTextureBlend(blend, 255, 0), 0);
    ASSERT_EQ(G_D3D_DrawImageQuadPiece(10, 10, 26, 10, 4, 40, 32, 40, g, 0), 0);
    calls = TakeCalls();
    EXPECT_EQ(Count(calls, "DrawPrimitive"), 0) << JoinLines(calls);
}

TEST_F(DrawImageTest, TilingCoversTheRectangleAndFollowsTheOffset) {
    GraphRecord* g = Graph(16, 8);
    const Rect rc{10, 10, 50, 40};
    auto draw = [&](int ox) {
        Clear();
        EXPECT_EQ(G_D3D_DrawImageRotatedAbout(rc.left, rc.top, rc.right, rc.bottom, ox, 0, 1.0, 0.0,
                                              g, 0),
                  0);
        std::vector<uint32_t> px;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 70; ++x) px.push_back(Pixel(x, y));
        return px;
    };
    const auto base = draw(0);
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 70; ++x) {
            const bool in = x >= rc.left && x < rc.right && y >= rc.top && y < rc.bottom;
            ASSERT_EQ(base[y * 70 + x] != 0, in) << x << "," << y;
            // Upright copies: each pixel's texel repeats a graph width and height further on.
            if (in && x + 16 < rc.right) {
                ASSERT_EQ(base[y * 70 + x], base[y * 70 + x + 16]);
            }
            if (in && y + 8 < rc.bottom) {
                ASSERT_EQ(base[y * 70 + x], base[(y + 8) * 70 + x]);
            }
        }
    }
    const auto moved = draw(1);
    for (int x = rc.left; x + 1 < rc.right; ++x)
        ASSERT_EQ(moved[20 * 70 + x], base[20 * 70 + x + 1]);
    EXPECT_EQ(draw(16), base);
    // The draw area is given back.
    EXPECT_EQ(Box(DrawState.DrawArea), Box(Rect{0, 0, 640, 480}));
}

TEST_F(DrawImageTest, TilingRefusesScalesThatWouldNeedTooManyTiles) {
    GraphRecord* g = Graph(16, 8);
    EXPECT_EQ(G_D3D_DrawImageRotatedAbout(0, 0, 640, 480, 0, 0, 0.0, 0.0, g, 0), 0);
    EXPECT_EQ(G_D3D_DrawImageRotatedAbout(0, 0, 640, 480, 0, 0, -2.0, 0.0, g, 0), 0);
    EXPECT_EQ(G_D3D_DrawImageRotatedAbout(0, 0, 640, 480, 0, 0, 0.01, 0.0, g, 0), -1);
    EXPECT_EQ(Record()->batchCount, 0u);
    EXPECT_TRUE(TakeCalls().empty());
    EXPECT_EQ(Box(LitBox({0, 0, 100, 100})), Box(Rect{-1, -1, -1, -1}));
}

}  // namespace
}  // namespace tessra
