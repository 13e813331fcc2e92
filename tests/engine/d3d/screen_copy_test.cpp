// Copying the draw screen into texture graphs: each of the five ways gives the graph the screen's
// pixels, pieces cut at the screen's edge; the way that worked is remembered per kind of texture
// and tried first; failures leave their log lines and move on down the table.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/base/sjis.h"
#include "engine/d3d/d3d_test_support.h"
#include "engine/graphics/draw_front.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/image_data.h"
#include "engine/screen/screen_state.h"
#include "platform/ddraw/ddraw.h"
#include "platform/testing.h"
#include "platform/win/time.h"

namespace tessra {
namespace {

using namespace sjis_literals;
using plat::testing::DisplayCall;
using plat::testing::FailDisplayCallAt;

class ScreenCopyTest : public D3DFixture {
protected:
    void SetUp() override {
        D3DFixture::SetUp();
        StartDirect3D(32);
        ASSERT_EQ(SetDrawTargetAndArea(kBackScreen), 0);
        ASSERT_EQ(GetCurrentTargetSurface(), GetBackSurface());
        PaintBackScreen();
    }

    // Every screen pixel its own colour.
    static uint32_t ScreenColor(int x, int y) {
        return uint32_t(x & 0xFF) << 16 | uint32_t(y) << 8 | uint32_t((x >> 8) + 1);
    }
    void PaintBackScreen() {
        plat::DirectDrawSurface* s = GetBackSurface();
        for (int y = 0; y < s->Height(); ++y)
            for (int x = 0; x < s->Width(); ++x) {
                const uint32_t v = ScreenColor(x, y);
                std::memcpy(s->Bits() + y * s->Pitch() + x * 4, &v, 4);
            }
    }
    // A 640 x 32 graph (pieces 512 and 128 wide) whose texels all hold the marker.
    GraphRecord* Graph(uint8_t alphaTest = 0) {
        GraphRecord* g = NewTextureGraph(640, 32, 32, 0, alphaTest);
        EXPECT_NE(g, nullptr);
        if (g == nullptr) return nullptr;
        EXPECT_EQ(g->pieceCount, 2);
        for (int i = 0; i < g->pieceCount; ++i) {
            plat::DirectDrawSurface* s = Surface(g, i);
            for (int y = 0; y < s->Height(); ++y)
                for (int x = 0; x < s->Width(); ++x)
                    std::memcpy(s->Bits() + y * s->Pitch() + x * 4, &kMarker, 4);
        }
        return g;
    }
    static const Surface3DData* Piece(const GraphRecord* g, int i) {
        return Surface3DEntries().Find(g->pieces[i], kTextureHandleKind);
    }
    static plat::DirectDrawSurface* Surface(const GraphRecord* g, int i) {
        return GetImageDataRecord(Piece(g, i)->image)->surface;
    }
    // The graph's pixel (x, y), colour only.
    static uint32_t GraphPixel(const GraphRecord* g, int x, int y) {
        for (int i = 0; i < g->pieceCount; ++i) {
            const Surface3DData* p = Piece(g, i);
            if (x < p->graphX || x >= p->graphX + p->width || y < p->graphY ||
                y >= p->graphY + p->height)
                continue;
            plat::DirectDrawSurface* s = Surface(g, i);
            uint32_t v;
            std::memcpy(
                &v,
                s->Bits() + (p->texY + y - p->graphY) * s->Pitch() + (p->texX + x - p->graphX) * 4,
                4);
            return v & 0xFFFFFF;
        }
        return 0xDEAD;
    }
    // Log lines since the last take.
    std::vector<std::string> LogLines() {
        std::vector<std::string> lines;
        std::string all = TakeLog(), line;
        for (char c : all) {
            if (c == '\n') {
                lines.push_back(line);
                line.clear();
            } else {
                line += c;
            }
        }
        return lines;
    }
    static constexpr uint32_t kMarker = 0x00123456;
};

TEST_F(ScreenCopyTest, EveryMethodCopiesTheRectangleCuttingPiecesAtTheScreenEdge) {
    for (int method = 0; method < 5; ++method) {
        for (int x1 : {0, 100}) {
            GraphRecord* g = Graph();
            ASSERT_NE(g, nullptr);
            D3D().screenCopyMethodPlain = method;
            ASSERT_EQ(G_D3D_GetDrawScreenGraph(x1, 10, x1 + 540, 40, g, 1), 0)
                << "method " << method << " x1 " << x1;
            EXPECT_EQ(D3D().screenCopyMethodPlain, method);
            // The second piece takes 128 columns at x1 = 0 and the 28 left of the screen at 100.
            const int copied = x1 == 0 ? 640 : 540;
            for (int y : {0, 17, 31}) {
                for (int x = 0; x < 640; ++x) {
                    const uint32_t want = x < copied ? ScreenColor(x + x1, y + 10) : kMarker;
                    ASSERT_EQ(GraphPixel(g, x, y), want)
                        << "method " << method << " x1 " << x1 << " at " << x << "," << y;
                }
            }
            EXPECT_EQ(LogLines(), std::vector<std::string>{}) << "method " << method;
        }
    }
}

TEST_F(ScreenCopyTest, TheMethodThatWorkedIsRememberedAndCalledAloneNextTime) {
    GraphRecord* g = Graph();
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(D3D().screenCopyMethodPlain, -1);
    EXPECT_EQ(D3D().screenCopyMethodAlpha, -1);
    // The work surface's lock (the fifth way) and the BltFast (the first) fail; the third works.
    FailDisplayCallAt(DisplayCall::kLock, 1);
    FailDisplayCallAt(DisplayCall::kBltFast, 1, -1);
    ASSERT_EQ(G_D3D_GetDrawScreenGraph(0, 0, 640, 32, g, 1), 0);
    EXPECT_EQ(D3D().screenCopyMethodPlain, 2);
    EXPECT_EQ(D3D().screenCopyMethodAlpha, -1);
    EXPECT_EQ(GraphPixel(g, 600, 20), ScreenColor(600, 20));
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(
        lines[0],
        "Error  G_D3D_GetDrawScreenGraphFunction5 　作業用テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:-2147467259"_sjis);
    EXPECT_EQ(lines[1], "Error G_D3D_GetDrawScreenGraphFunction1  BltFast ReturnValue:-2147467259");

    // Next time the third way goes first and alone: the work surface (the fifth way's) stays as
    // it is, and the failing BltFast leaves no line.
    plat::DirectDrawSurface* work = GetWorkSurface();
    std::memset(work->Bits(), 0x5A, size_t(work->Pitch()) * work->Height());
    GraphRecord* h = Graph();
    ASSERT_EQ(G_D3D_GetDrawScreenGraph(20, 100, 660 - 20, 132, h, 1), 0);
    EXPECT_EQ(GraphPixel(h, 5, 3), ScreenColor(25, 103));
    EXPECT_EQ(work->Bits()[0], 0x5A);
    EXPECT_EQ(work->Bits()[size_t(work->Pitch()) * 40 + 400], 0x5A);
    EXPECT_EQ(LogLines(), std::vector<std::string>{});
    EXPECT_EQ(D3D().screenCopyMethodPlain, 2);

    // An alpha-test graph is the other kind: it starts from the top of the table.
    GraphRecord* keyed = Graph(1);
    ASSERT_NE(keyed, nullptr);
    ASSERT_EQ(G_D3D_GetDrawScreenGraph(0, 0, 640, 32, keyed, 1), 0);
    EXPECT_EQ(D3D().screenCopyMethodAlpha, 0);
    EXPECT_EQ(D3D().screenCopyMethodPlain, 2);
}

TEST_F(ScreenCopyTest, WhenEveryMethodFailsTheKindForgetsItsMethod) {
    GraphRecord* g = Graph();
    ASSERT_NE(g, nullptr);
    D3D().screenCopyMethodPlain = 1;
    D3D().screenCopyMethodAlpha = 3;
    FailDisplayCallAt(DisplayCall::kLock, 1, -1);
    FailDisplayCallAt(DisplayCall::kBltFast, 1, -1);
    FailDisplayCallAt(DisplayCall::kGetDC, 1, -1);
    EXPECT_EQ(G_D3D_GetDrawScreenGraph(0, 0, 640, 32, g, 1), -1);
    EXPECT_EQ(D3D().screenCopyMethodPlain, -1);
    EXPECT_EQ(D3D().screenCopyMethodAlpha, 3);
    // The remembered way, then the whole table: BltFast is tried twice.
    const std::vector<std::string> lines = LogLines();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], lines[2]);
    EXPECT_EQ(GraphPixel(g, 0, 0), kMarker);
}

TEST_F(ScreenCopyTest, InvalidRectanglesFailEveryMethodWithoutALine) {
    GraphRecord* g = Graph();
    ASSERT_NE(g, nullptr);
    struct Case {
        int x1, y1, x2, y2;
    } cases[] = {
        {50, 0, 50, 32}, {0, -1, 640, 31}, {0, 0, 641, 32}, {0, 0, 640, 33}, {641, 0, 700, 10}};
    for (const Case& c : cases) {
        EXPECT_EQ(G_D3D_GetDrawScreenGraph(c.x1, c.y1, c.x2, c.y2, g, 1), -1)
            << c.x1 << "," << c.y1;
        EXPECT_EQ(D3D().screenCopyMethodPlain, -1);
    }
    EXPECT_EQ(LogLines(), std::vector<std::string>{});
    EXPECT_EQ(GraphPixel(g, 0, 0), kMarker);
}

TEST_F(ScreenCopyTest, ARefusedDrawTargetCopiesNothingAndSaysSo) {
    GraphRecord* g = Graph();
    ASSERT_NE(g, nullptr);
    D3D().targetRefused = 1;
    EXPECT_EQ(G_D3D_GetDrawScreenGraph(0, 0, 640, 32, g, 1), -1);
    D3D().targetRefused = 0;
    EXPECT_EQ(GraphPixel(g, 0, 0), kMarker);
}

// Each failing call of each way: the first line logged is that way's own.
TEST_F(ScreenCopyTest, EachFailureLogsItsText) {
    struct Case {
        int method;  // table index
        DisplayCall call;
        int nth;
        const char* text;
    };
    const std::string r = "-2147467259";
    const Case cases[] = {
        {1, DisplayCall::kBltFast, 2,
         "Error G_D3D_GetDrawScreenGraphFunction1  BltFast ReturnValue:%s"},
        {3, DisplayCall::kGetDC, 1,
         "Error  G_D3D_GetDrawScreenGraphFunction2  ＤＣ取得に失敗しました  GetDC ReturnValue:%s"},
        {3, DisplayCall::kGetDC, 3,
         "Error  G_D3D_GetDrawScreenGraphFunction2 "
         "　作業用テクスチャサーフェスのＤＣ取得に失敗しました  GetDC ReturnValue:%s"},
        {3, DisplayCall::kBitBlt, 2,
         "Error  G_D3D_GetDrawScreenGraphFunction2 "
         "　作業用テクスチャサーフェスへのイメージ転送に失敗しました  BitBlt  ErrorCode:57"},
        {3, DisplayCall::kReleaseDC, 1,
         "Error  G_D3D_GetDrawScreenGraphFunction2 "
         "　作業用テクスチャサーフェスのＤＣ解放に失敗しました  ReleaseDC ReturnValue:%s"},
        {2, DisplayCall::kGetDC, 1,
         "Error  G_D3D_GetDrawScreenGraphFunction3 　ＤＣ取得に失敗しました  GetDC  "
         "ReturnValue:%s"},
        {2, DisplayCall::kCreateSurface, 2,
         "Error  G_D3D_GetDrawScreenGraphFunction3 "
         "　作業用テクスチャサーフェスの作成に失敗しました  CreateSurface  ReturnValue:%s"},
        {2, DisplayCall::kGetDC, 2,
         "Error  G_D3D_GetDrawScreenGraphFunction3 "
         "　作業用テクスチャサーフェスのＤＣ取得に失敗しました  GetDC  ReturnValue:%s"},
        {2, DisplayCall::kBitBlt, 1,
         "Error  G_D3D_GetDrawScreenGraphFunction3 "
         "　作業用テクスチャサーフェスへのイメージ転送に失敗しました  BitBlt  ErrorCode:57"},
        {2, DisplayCall::kReleaseDC, 1,
         "Error  G_D3D_GetDrawScreenGraphFunction3 "
         "　作業用テクスチャサーフェスのＤＣ解放に失敗しました  ReleaseDC  ReturnValue:%s"},
        {2, DisplayCall::kLock, 3,
         "Error  G_D3D_GetDrawScreenGraphFunction3 "
         "　転送先テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:%s"},
        {2, DisplayCall::kLock, 2,
         "Error  G_D3D_GetDrawScreenGraphFunction3 "
         "　作業用テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:%s"},
        {4, DisplayCall::kGetDC, 1,
         "Error  G_D3D_GetDrawScreenGraphFunction4 　ＤＣ取得に失敗しました  GetDC  "
         "ReturnValue:%s"},
        {4, DisplayCall::kCreateSurface, 1,
         "Error  G_D3D_GetDrawScreenGraphFunction4 "
         "　作業用テクスチャサーフェスの作成に失敗しました  CreateSurface  ReturnValue:%s"},
        {4, DisplayCall::kGetDC, 2,
         "Error  G_D3D_GetDrawScreenGraphFunction4 "
         "　作業用テクスチャサーフェスのＤＣ取得に失敗しました  GetDC  ReturnValue:%s"},
        {4, DisplayCall::kBitBlt, 1,
         "Error  G_D3D_GetDrawScreenGraphFunction4 "
         "　作業用テクスチャサーフェスへのイメージ転送に失敗しました  BitBlt  ErrorCode:57"},
        {4, DisplayCall::kReleaseDC, 2,
         "Error  G_D3D_GetDrawScreenGraphFunction4 "
         "　作業用テクスチャサーフェスのＤＣ解放に失敗しました  ReleaseDC  ReturnValue:%s"},
        {0, DisplayCall::kLock, 1,
         "Error  G_D3D_GetDrawScreenGraphFunction5 "
         "　作業用テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:%s"},
        {0, DisplayCall::kLock, 3,
         "Error  G_D3D_GetDrawScreenGraphFunction5 "
         "　転送先テクスチャサーフェスのロックに失敗しました  Lock  ReturnValue:%s"},
    };
    for (const Case& c : cases) {
        for (DisplayCall call :
             {DisplayCall::kGetDC, DisplayCall::kReleaseDC, DisplayCall::kBltFast,
              DisplayCall::kLock, DisplayCall::kCreateSurface, DisplayCall::kBitBlt})
            FailDisplayCallAt(call, 1, 0);
        GraphRecord* g = Graph();
        ASSERT_NE(g, nullptr);
        TakeLog();
        D3D().screenCopyMethodPlain = c.method;
        FailDisplayCallAt(c.call, c.nth);
        // The next ways in the table copy the screen after all.
        EXPECT_EQ(G_D3D_GetDrawScreenGraph(0, 0, 640, 32, g, 1), 0) << c.text;
        std::string want = c.text;
        const size_t at = want.find("%s");
        if (at != std::string::npos) want.replace(at, 2, r);
        const std::vector<std::string> lines = LogLines();
        ASSERT_FALSE(lines.empty()) << c.text;
        EXPECT_EQ(lines[0], SjisText(want)) << c.text;
        EXPECT_EQ(GraphPixel(g, 639, 31), ScreenColor(639, 31)) << c.text;
    }
}

TEST_F(ScreenCopyTest, DeviceLoadRetriesWhileBusyThenGivesUpWithThreeLines) {
    GraphRecord* g = Graph();
    ASSERT_NE(g, nullptr);
    // Busy twice: the third load takes the pixels; each retry slept a millisecond.
    D3D().screenCopyMethodPlain = 4;
    for (int n = 0; n < 2; ++n)
        plat::testing::InjectDirect3DResult("Load", 1, plat::DDERR_SURFACEBUSY);
    const uint32_t before = plat::timeGetTime();
    ASSERT_EQ(G_D3D_GetDrawScreenGraph(0, 0, 640, 32, g, 1), 0);
    EXPECT_EQ(plat::timeGetTime() - before, 2u);
    EXPECT_EQ(GraphPixel(g, 100, 5), ScreenColor(100, 5));
    EXPECT_EQ(LogLines(), std::vector<std::string>{});

    // Busy ten times: no eleventh load, three lines, and the next way in the table copies.
    for (int n = 0; n < 10; ++n)
        plat::testing::InjectDirect3DResult("Load", 1, plat::DDERR_SURFACEBUSY);
    TakeCalls();
    ASSERT_EQ(G_D3D_GetDrawScreenGraph(0, 0, 640, 32, g, 1), 0);
    int loads = 0;
    for (const std::string& c : TakeCalls()) loads += c.rfind("Load(", 0) == 0;
    EXPECT_EQ(loads, 10);
    const std::vector<std::string> lines = LogLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0],
              "hr:-2005532242  W:640  H:480  FullMode:1  Point x:0 y:0   Rect top:0 bottom:32 "
              "left:0 right:512");
    EXPECT_EQ(lines[1], "AlphaCh:0  AlphaTest:0  ColorBitDepth:32");
    EXPECT_EQ(lines[2],
              "ScreenColor:32  SizeX:512  SizeY:32  DrawPointX:0  DrawPointY:0  WndRect.left:0  "
              "WndRect.top:0  left:0  top:0");
    EXPECT_EQ(D3D().screenCopyMethodPlain, 0);
}

}  // namespace
}  // namespace tessra
