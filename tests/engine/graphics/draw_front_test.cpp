// The drawing front end on real screens: a window whose screens are memory images and a full
// screen whose screens and graphs are DirectDraw surfaces. Sprites cut from one sheet are drawn
// plain, mirrored, stretched, in part and added; graphs become draw targets; the clip follows
// the window; the mended faults each have a case.
#include "engine/graphics/draw_front.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "engine/base/file_access.h"
#include "engine/base/log.h"
#include "engine/base/sjis.h"
#include "engine/font/font.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_image.h"
#include "engine/graphics/graph_table.h"
#include "engine/graphics/graphics_core.h"
#include "engine/graphics/image_data.h"
#include "engine/graphics/mask_screen.h"
#include "engine/screen/draw2d.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_state.h"
#include "engine/screen/surface2d.h"
#include "engine/softrender/soft_render.h"
#include "image_files.h"
#include "platform/ddraw/ddraw.h"
#include "platform/testing.h"
#include "platform/win/window.h"

namespace tessra {

inline bool operator==(const Rect& a, const Rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline void PrintTo(const Rect& r, std::ostream* os) {
    *os << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace {

constexpr uint32_t kKey = 0xFF00FF;  // the sheet's transparent colour
constexpr uint32_t kRed = 0xF80000, kBlue = 0x0000F8, kGreen = 0x00F800, kGrey = 0x404040;

plat::LRESULT PlainProc(plat::HWND w, plat::UINT m, plat::WPARAM wp, plat::LPARAM lp) {
    return plat::DefWindowProcA(w, m, wp, lp);
}

struct Mode {
    const char* name;
    int windowed;
    int bits;
    bool rgb555 = false;  // a 16-bit display in 5:5:5: drawing converts in place
};

// A 16 x 8 sheet of two 8 x 8 sprites. Sprite A: its left half red, right half blue, with a
// transparent pixel at (0, 0). Sprite B: green.
uint32_t SheetPixel(int x, int y) {
    if (x < 8) {
        if (x == 0 && y == 0) return kKey;
        return x < 4 ? kRed : kBlue;
    }
    return kGreen;
}

class DrawFrontTest : public ::testing::TestWithParam<Mode> {
protected:
    void SetUp() override {
        plat::testing::Reset();
        plat::testing::UsePrivateInstanceLockKey();
        plat::testing::SetVirtualDesktop(1280, 1024, 32, 60);
        plat::testing::SetFakeClock(5000);
        plat::testing::SetRetracePollAdvance(500);
        ResetScreenStateForTests();
        plat::WNDCLASSA c{};
        c.lpfnWndProc = PlainProc;
        c.lpszClassName = "DrawFrontTestClass";
        ASSERT_NE(plat::RegisterClassA(&c), 0);
        window_ = plat::CreateWindowExA(0, "DrawFrontTestClass", "draw", plat::WS_POPUP, 0, 0, 640,
                                        480, nullptr, nullptr, nullptr, nullptr);
        GetGraphicsCoreState().window = window_;
        const Mode m = GetParam();
        plat::testing::UseRgb555For16BitDisplay(m.rgb555);
        SwitchWindowModeScreen(m.windowed ? 0 : 1);
        // Full screen here is the 2-D path on DirectDraw surfaces, as without a 3-D device;
        // drawing through the device has its own tests (tests/engine/d3d).
        SetNo3DFlag(1);
        ASSERT_EQ(ChangeResolution(320, 240, m.bits, -1), 0);
        ASSERT_EQ(InitDirectDraw(), 0);
        GetGraphicsCoreState().started = 0;
        ASSERT_EQ(InitGraphicsManagement(), 0);
        DrawState.transColor = kKey;
        ASSERT_EQ(SetDrawTargetAndArea(kBackScreen), 0);
        ASSERT_EQ(ClearDrawTarget(), 0);
        sheet_ = MakeSheet();
        ASSERT_GT(sheet_, 0);
        spriteA_ = DeriveGraph(0, 0, 8, 8, sheet_);
        spriteB_ = DeriveGraph(8, 0, 8, 8, sheet_);
        ASSERT_GT(spriteA_, 0);
        ASSERT_GT(spriteB_, 0);
    }
    void TearDown() override {
        ShutdownGraphicsManagement();
        ShutdownDirectDraw();
        GetGraphicsCoreState().window = nullptr;
        if (plat::IsWindow(window_)) plat::DestroyWindow(window_);
        plat::UnregisterClassA("DrawFrontTestClass", nullptr);
    }
    static int MakeSheet() {
        GraphImage image{};
        EXPECT_EQ(AllocGraphImage(16, 8, &image), 0);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 16; ++x) {
                const uint32_t c = SheetPixel(x, y);
                uint8_t* p = image.pixels + y * image.pitch + x * 3;
                p[0] = uint8_t(c);  // blue, green, red
                p[1] = uint8_t(c >> 8);
                p[2] = uint8_t(c >> 16);
            }
        const int graph = BuildGraphFromGraphImage(&image);
        FreeGraphImage(&image);
        return graph;
    }
    // A 24 x 16 graph that can be drawn into.
    static int Canvas() {
        SetNewGraphDrawValidFlag(1);
        const int graph = CreateBlankGraphDefault(24, 16);
        SetNewGraphDrawValidFlag(0);
        return graph;
    }
    // The back screen's pixel as 0xRRGGBB, whatever holds it.
    static uint32_t BackPixel(int x, int y) {
        ScreenStateRecord& s = GetScreenState();
        const uint8_t* p;
        int bytes;
        const ColorFormat* format;
        if (s.memImgScreens) {
            const MEMIMG& m = s.backImage;
            bytes = MemImgBytesPerPixel(m.kind, 0, 0);
            p = m.pixels + y * m.pitch + x * bytes;
            format = m.format;
        } else {
            bytes = s.back->BytesPerPixel();
            p = s.back->Bits() + y * s.back->Pitch() + x * bytes;
            format = &s.screenFormat;
        }
        uint32_t v = 0;
        std::memcpy(&v, p, bytes);
        const uint32_t r = ((v & format->redMask) >> format->redShift) << (8 - format->redWidth);
        const uint32_t g = ((v & format->greenMask) >> format->greenShift)
                           << (8 - format->greenWidth);
        const uint32_t b = ((v & format->blueMask) >> format->blueShift) << (8 - format->blueWidth);
        return (r << 16) | (g << 8) | b;
    }
    // The row y of the back screen from x0 for n pixels.
    static std::vector<uint32_t> Row(int x0, int y, int n) {
        std::vector<uint32_t> out;
        for (int i = 0; i < n; ++i) out.push_back(BackPixel(x0 + i, y));
        return out;
    }
    plat::HWND window_ = nullptr;
    int sheet_ = -1, spriteA_ = -1, spriteB_ = -1;
};

TEST_P(DrawFrontTest, SpriteDrawnPlainKeepsItsTransparentPixel) {
    ASSERT_EQ(FillRectangle(0, 0, 40, 40, MakeScreenColor(0x40, 0x40, 0x40)), 0);
    ASSERT_EQ(DrawGraphAt(10, 10, spriteA_, 1), 0);
    EXPECT_EQ(BackPixel(10, 10), kGrey);  // the key pixel lets the grey through
    EXPECT_EQ(BackPixel(11, 10), kRed);
    EXPECT_EQ(BackPixel(14, 12), kBlue);
    EXPECT_EQ(BackPixel(17, 17), kBlue);
    EXPECT_EQ(BackPixel(18, 17), kGrey);
    EXPECT_EQ(BackPixel(9, 10), kGrey);
    // Without transparency the key colour is drawn as it is.
    ASSERT_EQ(DrawGraphAt(20, 10, spriteA_, 0), 0);
    EXPECT_NE(BackPixel(20, 10), kGrey);
    // The second sprite of the sheet is its own rectangle.
    ASSERT_EQ(DrawGraphAt(30, 10, spriteB_, 1), 0);
    EXPECT_EQ(BackPixel(30, 10), kGreen);
    EXPECT_EQ(BackPixel(37, 17), kGreen);
    EXPECT_EQ(BackPixel(38, 17), kGrey);
}

TEST_P(DrawFrontTest, MirroredStretchedAndPartDraws) {
    // Mirrored: blue on the left, red on the right, the key pixel at the right end.
    ASSERT_EQ(DrawGraphMirrored(0, 0, spriteA_, 1), 0);
    EXPECT_EQ(Row(0, 1, 8),
              (std::vector<uint32_t>{kBlue, kBlue, kBlue, kBlue, kRed, kRed, kRed, kRed}));
    EXPECT_EQ(BackPixel(7, 0), 0u);
    // Stretched to twice the size: each source column covers two.
    ASSERT_EQ(DrawGraphStretched(0, 20, 16, 36, spriteA_, 1), 0);
    EXPECT_EQ(Row(6, 30, 4), (std::vector<uint32_t>{kRed, kRed, kBlue, kBlue}));
    EXPECT_EQ(BackPixel(15, 35), kBlue);
    EXPECT_EQ(BackPixel(16, 35), 0u);
    // In part: the source's columns 3..5 at x = 40, nothing else of the sprite.
    ASSERT_EQ(DrawGraphPart(40, 40, 3, 2, 3, 2, spriteA_, 1, 0), 0);
    EXPECT_EQ(Row(39, 40, 5), (std::vector<uint32_t>{0, kRed, kBlue, kBlue, 0}));
    EXPECT_EQ(BackPixel(41, 41), kBlue);
    EXPECT_EQ(BackPixel(41, 42), 0u);
    // The caller's draw area is back, also after a part wholly outside it.
    Rect area;
    GetDrawClipRect(&area);
    EXPECT_EQ(area, (Rect{0, 0, 320, 240}));
    ApplyDrawClipRect(0, 0, 100, 100);
    ASSERT_EQ(DrawGraphPart(200, 200, 0, 0, 8, 8, spriteA_, 1, 0), 0);
    GetDrawClipRect(&area);
    EXPECT_EQ(area, (Rect{0, 0, 100, 100}));
    EXPECT_EQ(BackPixel(201, 201), 0u);
}

TEST_P(DrawFrontTest, AddBlendSumsTheColours) {
    ASSERT_EQ(FillRectangle(0, 0, 40, 40, MakeScreenColor(0, 0, 0x40)), 0);
    ASSERT_EQ(StoreBlendModeAndParam(kBlendAdd, 255), 0);
    ASSERT_EQ(DrawGraphAt(0, 0, spriteA_, 1), 0);
    StoreBlendModeAndParam(kBlendNone, 0);
    if (GetParam().bits == 32) {
        EXPECT_EQ(BackPixel(1, 1), kRed | 0x40);
        EXPECT_EQ(BackPixel(6, 1), 0x0000FFu);  // 0xF8 + 0x40 saturates
    } else {
        // Five-bit channels at full strength: red keeps its top, blue reaches the top.
        EXPECT_GE(BackPixel(1, 1) >> 16, 0xF0u);
        EXPECT_EQ(BackPixel(1, 1) & 0xFF, 0x40u);
        EXPECT_EQ(BackPixel(6, 1) & 0xFF, 0xF8u);
        EXPECT_EQ(BackPixel(6, 1) >> 16, 0u);
    }
    EXPECT_EQ(BackPixel(0, 0), 0x000040u);
    EXPECT_EQ(BackPixel(9, 1), 0x000040u);
}

TEST_P(DrawFrontTest, GraphAsDrawTargetAndBack) {
    const int canvas = Canvas();
    ASSERT_GT(canvas, 0);
    ASSERT_EQ(SetDrawTargetAndArea(canvas), 0);
    Rect area;
    GetDrawClipRect(&area);
    EXPECT_EQ(area, (Rect{0, 0, 24, 16}));  // the whole graph
    ASSERT_EQ(ClearDrawTarget(), 0);
    ASSERT_EQ(DrawGraphAt(2, 2, spriteB_, 1), 0);
    ASSERT_EQ(FillRectangle(20, 0, 30, 30, MakeScreenColor(0xF8, 0, 0)), 0);
    ASSERT_EQ(SetDrawTargetAndArea(kBackScreen), 0);
    GetDrawClipRect(&area);
    EXPECT_EQ(area, (Rect{0, 0, 320, 240}));
    EXPECT_EQ(BackPixel(2, 2), 0u);  // nothing went to the screen
    ASSERT_EQ(DrawGraphAt(100, 100, canvas, 0), 0);
    EXPECT_EQ(BackPixel(101, 101), 0u);
    EXPECT_EQ(BackPixel(102, 102), kGreen);
    EXPECT_EQ(BackPixel(109, 109), kGreen);
    EXPECT_EQ(BackPixel(120, 115), kRed);  // the fill stopped at the graph's edge
    EXPECT_EQ(BackPixel(124, 115), 0u);
}

// A graph cleared and drawn into keeps its cleared part transparent when drawn with the key.
TEST_P(DrawFrontTest, ClearedGraphIsTransparentWhereNothingWasDrawn) {
    DrawState.transColor = 0;  // black, the default key
    const int canvas = Canvas();
    DrawState.transColor = kKey;
    ASSERT_EQ(SetDrawTargetAndArea(canvas), 0);
    ASSERT_EQ(ClearDrawTargetAndRepaint(), 0);
    ASSERT_EQ(FillRectangle(4, 4, 8, 8, MakeScreenColor(0xF8, 0, 0)), 0);
    ASSERT_EQ(SetDrawTargetAndArea(kBackScreen), 0);
    ASSERT_EQ(FillRectangle(0, 0, 60, 60, MakeScreenColor(0x40, 0x40, 0x40)), 0);
    ASSERT_EQ(DrawGraphAt(10, 10, canvas, 1), 0);
    ASSERT_EQ(DrawGraphStretched(30, 10, 54, 26, canvas, 1), 0);
    EXPECT_EQ(BackPixel(10, 10), kGrey);
    EXPECT_EQ(BackPixel(15, 15), kRed);
    EXPECT_EQ(BackPixel(20, 20), kGrey);
    EXPECT_EQ(BackPixel(30, 10), kGrey);
    EXPECT_EQ(BackPixel(35, 15), kRed);
}

TEST_P(DrawFrontTest, DrawingIntoASpriteOfTheSheetChangesOnlyThatSprite) {
    ASSERT_EQ(SetDrawTargetAndArea(spriteB_), 0);
    ASSERT_EQ(FillRectangle(0, 0, 8, 8, MakeScreenColor(0xF8, 0, 0)), 0);
    ASSERT_EQ(SetDrawTargetAndArea(kBackScreen), 0);
    ASSERT_EQ(DrawGraphAt(0, 0, sheet_, 1), 0);
    EXPECT_EQ(BackPixel(1, 1), kRed);  // sprite A unchanged
    EXPECT_EQ(BackPixel(6, 1), kBlue);
    EXPECT_EQ(BackPixel(8, 0), kRed);  // sprite B now red
    EXPECT_EQ(BackPixel(15, 7), kRed);
}

TEST_P(DrawFrontTest, ReleasingTheTargetGraphFallsBackToTheBackScreen) {
    const int canvas = Canvas();
    ASSERT_EQ(SetDrawTargetAndArea(canvas), 0);
    ASSERT_EQ(ReleaseGraph(canvas, 0), 0);
    EXPECT_EQ(GetDrawTarget(), kBackScreen);
    Rect area;
    GetDrawClipRect(&area);
    EXPECT_EQ(area, (Rect{0, 0, 320, 240}));
    ASSERT_EQ(DrawGraphAt(50, 50, spriteB_, 1), 0);
    EXPECT_EQ(BackPixel(50, 50), kGreen);
}

TEST_P(DrawFrontTest, RefusedTargetKeepsTheOldOneAndADeletedOldOneGivesTheBackScreen) {
    const int canvas = Canvas();
    ASSERT_EQ(SetDrawTargetAndArea(canvas), 0);
    ApplyDrawClipRect(1, 2, 10, 12);
    EXPECT_EQ(SetDrawTargetAndArea(12345), -1);
    EXPECT_EQ(GetDrawTarget(), canvas);
    Rect area;
    GetDrawClipRect(&area);
    EXPECT_EQ(area, (Rect{1, 2, 10, 12}));
    // The old target vanishes behind the draw state's back: a refused choice then lands on the
    // back screen instead of trying the dead target again and again.
    GetGraphTable().Vacate(HandleSlot(canvas));
    EXPECT_EQ(SetDrawTargetAndArea(12345), -1);
    EXPECT_EQ(GetDrawTarget(), kBackScreen);
    GetDrawClipRect(&area);
    EXPECT_EQ(area, (Rect{0, 0, 320, 240}));
    ASSERT_EQ(DrawGraphAt(0, 0, spriteB_, 1), 0);
    EXPECT_EQ(BackPixel(1, 1), kGreen);
}

TEST_P(DrawFrontTest, EmptyDrawAreaDrawsNothing) {
    ApplyDrawClipRect(10, 10, 10, 50);
    EXPECT_EQ(DrawState.drawAreaEmpty, 1);
    EXPECT_EQ(DrawGraphAt(10, 10, spriteB_, 1), 0);
    EXPECT_EQ(FillRectangle(0, 0, 100, 100, MakeScreenColor(255, 255, 255)), 0);
    ApplyDrawClipRect(100, 100, 0, 0);  // given the wrong way round
    Rect area;
    GetDrawClipRect(&area);
    EXPECT_EQ(area, (Rect{0, 0, 100, 100}));
    EXPECT_EQ(DrawState.drawAreaEmpty, 0);
    EXPECT_EQ(BackPixel(10, 10), 0u);
    EXPECT_EQ(BackPixel(50, 50), 0u);
}

TEST_P(DrawFrontTest, BadGraphsAndUnfitBlendGraphsAreRefused) {
    EXPECT_EQ(DrawGraphAt(0, 0, 777, 1), -1);
    EXPECT_EQ(DrawGraphStretched(0, 0, 4, 4, -1, 1), -1);
    EXPECT_EQ(DrawGraphMirrored(0, 0, 777, 1), -1);
    EXPECT_EQ(BlitGlyphRect(0, 0, 4, 4, 0, 0, 4, 4, 777, 1), -1);
    // A blend graph smaller than the drawn graph.
    ASSERT_EQ(SelectBlendGraph(spriteB_, 0, 255), 0);
    EXPECT_EQ(DrawGraphAt(0, 0, sheet_, 1), -1);
    EXPECT_EQ(BackPixel(10, 1), 0u);
    SelectBlendGraph(-1, 0, 0);
}

TEST_P(DrawFrontTest, GlyphRectWithAnEmptySourceDrawsNothing) {
    for (const int sw : {0, -3}) {
        EXPECT_EQ(BlitGlyphRect(0, 0, 8, 8, 0, 0, sw, 8, spriteB_, 1), 0);
        EXPECT_EQ(BlitGlyphRect(0, 0, 8, 8, 0, 0, 8, sw, spriteB_, 1), 0);
    }
    EXPECT_EQ(BackPixel(1, 1), 0u);
    // A proper glyph rectangle: sprite B's part of the sheet, doubled, lands on its destination.
    ASSERT_EQ(BlitGlyphRect(20, 20, 36, 36, 8, 0, 8, 8, sheet_, 1), 0);
    EXPECT_EQ(BackPixel(20, 20), kGreen);
    EXPECT_EQ(BackPixel(35, 35), kGreen);
    EXPECT_EQ(BackPixel(19, 20), 0u);
    EXPECT_EQ(BackPixel(36, 35), 0u);
}

TEST_P(DrawFrontTest, LinesBoxesAndOvals) {
    const uint32_t white = MakeScreenColor(255, 255, 255);
    ASSERT_EQ(DrawLineClipped(0, 5, 10, 5, white), 0);
    EXPECT_NE(BackPixel(0, 5), 0u);
    EXPECT_NE(BackPixel(9, 5), 0u);
    EXPECT_EQ(BackPixel(10, 5), 0u);  // the end point is not drawn
    ASSERT_EQ(FillOrFrameRectangle(20, 20, 30, 30, white, 0), 0);
    EXPECT_NE(BackPixel(20, 25), 0u);
    EXPECT_NE(BackPixel(29, 25), 0u);
    EXPECT_EQ(BackPixel(25, 25), 0u);
    ASSERT_EQ(DrawOvalInBounds(100, 100, 10, 6, white, 1), 0);
    EXPECT_NE(BackPixel(100, 100), 0u);
    EXPECT_EQ(BackPixel(100, 110), 0u);
    EXPECT_EQ(DrawOvalInBounds(50, 50, -1, 5, white, 1), 0);
    EXPECT_EQ(DrawOvalInBounds(50, 50, 0, 0, white, 1), 0);
    EXPECT_EQ(BackPixel(50, 50), 0u);
}

TEST_P(DrawFrontTest, TinyScaleTiledFillDrawsBoundedTiles) {
    ASSERT_EQ(DrawGraphRotatedAbout(0, 0, 64, 64, 0, 0, 1.0, 0.0, spriteB_, 1), 0);
    EXPECT_EQ(BackPixel(0, 0), kGreen);
    EXPECT_EQ(BackPixel(63, 63), kGreen);
    EXPECT_EQ(BackPixel(64, 63), 0u);
    // At the smallest scale the pattern is billions of tiles: only a bounded number are drawn
    // and the call comes back.
    EXPECT_EQ(DrawGraphRotatedAbout(100, 100, 300, 200, 0, 0, 0.0, 0.5, spriteB_, 1), 0);
    EXPECT_EQ(DrawGraphRotatedAbout(100, 100, 300, 200, 3, 5, 1e-9, 0.0, spriteB_, 1), 0);
    Rect area;
    GetDrawClipRect(&area);
    EXPECT_EQ(area, (Rect{0, 0, 320, 240}));
}

TEST_P(DrawFrontTest, ScreenCopiedIntoAGraphDrawsBackTheSame) {
    ASSERT_EQ(DrawGraphAt(4, 4, spriteA_, 1), 0);
    const int copy = Canvas();
    ASSERT_EQ(CopyDrawScreenToGraph(0, 0, 24, 16, copy, 0), 0);
    EXPECT_EQ(CopyDrawScreenToGraph(0, 0, 25, 16, copy, 0), -1);  // not the graph's size
    ASSERT_EQ(DrawGraphAt(200, 100, copy, 0), 0);
    EXPECT_EQ(Row(204, 105, 9), Row(4, 5, 9));
    EXPECT_EQ(BackPixel(205, 104), kRed);
}

// A window hanging off the desktop's top-left corner: the clip starts where the window becomes
// visible, but an edge asked further in stays where it was asked.
TEST_P(DrawFrontTest, FrontScreenClipFollowsAWindowOffTheDesktop) {
    if (!GetParam().windowed) GTEST_SKIP() << "full screen has no client origin";
    const ScreenHost* kept = GetScreenHost();
    ScreenHost host = kept != nullptr ? *kept : ScreenHost{};
    static int originX, originY;
    host.getClientAreaRect = [](int* r) {
        r[0] = originX, r[1] = originY, r[2] = originX + 320, r[3] = originY + 240;
        return 0;
    };
    host.getDesktopMetrics = [](int* w, int* h, int* bits) {
        if (w) *w = 1280;
        if (h) *h = 1024;
        if (bits) *bits = 32;
        return 0;
    };
    host.getWindowModeSetting = [] { return 1; };
    host.engineStartedOrStarting = [] { return 0; };
    SetScreenHost(&host);
    struct Case {
        int x, y;
        Rect asked, expected;
    };
    const Case cases[] = {
        {-30, -20, {0, 0, 320, 240}, {30, 20, 320, 240}},
        {-30, -20, {50, 40, 100, 100}, {50, 40, 100, 100}},  // asked further in: kept
        {-30, -20, {10, 25, 100, 100}, {30, 25, 100, 100}},
        {1200, 0, {0, 0, 320, 240}, {0, 0, 80, 240}},  // past the desktop's right edge
        {100, 100, {0, 0, 320, 240}, {0, 0, 320, 240}},
    };
    ASSERT_EQ(SetDrawTargetAndArea(kFrontScreen), 0);
    for (const Case& c : cases) {
        originX = c.x;
        originY = c.y;
        ApplyDrawClipRect(c.asked.left, c.asked.top, c.asked.right, c.asked.bottom);
        Rect area;
        GetDrawClipRect(&area);
        EXPECT_EQ(area, c.expected) << "origin " << c.x << ", " << c.y;
    }
    SetScreenHost(kept);
}

// A surface that cannot be locked: the draw is skipped and nothing stays locked, so the next
// draw lands.
TEST_P(DrawFrontTest, FailedLockSkipsTheDrawAndLeavesNothingLocked) {
    if (GetParam().windowed) GTEST_SKIP() << "memory-image screens lock nothing";
    StoreDrawBrightness(255, 255, 254);  // no plain copy: the software path locks
    plat::testing::FailSurfaceLocks(1);
    EXPECT_EQ(DrawGraphStretched(0, 0, 16, 16, spriteB_, 1), -1);
    EXPECT_EQ(GetBlitParams().destLocked, 0);
    EXPECT_EQ(BackPixel(4, 4), 0u);
    // The source cannot be locked (someone holds it): the destination locked first is let go.
    const Surface2DRecord* tile = GetSurface2D(int32_t(GetGraphRecord(spriteB_)->pieces[0]));
    ImageDataRecord* data = GetImageDataRecord(tile->imageData);
    if (!data->usesMemImg) {
        int32_t pitch = 0;
        uint8_t* pixels = nullptr;
        const Rect whole{0, 0, 16, 8};
        ASSERT_EQ(LockImageSurface(tile->imageData, &pitch, &pixels, 0, &whole, nullptr), 0);
        EXPECT_EQ(DrawGraphStretched(0, 0, 16, 16, spriteB_, 1), -1);
        EXPECT_EQ(GetBlitParams().destLocked, 0);
        EXPECT_EQ(GetBlitParams().sourceLocked, 0);
        UnlockImageSurface(tile->imageData, &whole);
    }
    StoreDrawBrightness(255, 255, 255);
    ASSERT_EQ(DrawGraphStretched(0, 0, 16, 16, spriteB_, 1), 0);
    EXPECT_EQ(BackPixel(4, 4), kGreen);
    EXPECT_EQ(ClearDrawTarget(), 0);  // the back surface is free for a colour fill
    EXPECT_EQ(BackPixel(4, 4), 0u);
}

TEST_P(DrawFrontTest, MaskLetsDrawsThroughOnlyWhereItsBytesAllow) {
    MaskScreenRecord& mask = GetMaskScreen();
    EXPECT_EQ(SetMaskDrawEnabled(1), -1);  // no mask yet
    EXPECT_EQ(DrawState.maskActive, 0);
    ASSERT_EQ(AllocMaskScreen(1, 1), 0);
    EXPECT_EQ(mask.pitch, 320);
    mask.inUse = 1;
    mask.reverse = 0;
    // The left half allows drawing.
    for (int y = 0; y < 240; ++y) std::memset(mask.bytes + y * mask.pitch, 1, 160);
    ASSERT_EQ(FillRectangle(150, 0, 170, 10, MakeScreenColor(0, 0, 0xF8)), 0);
    ASSERT_EQ(SetMaskDrawEnabled(1), 0);
    EXPECT_EQ(DrawState.maskActive, 1);
    ASSERT_EQ(FillRectangle(140, 0, 180, 20, MakeScreenColor(0xF8, 0, 0)), 0);
    ASSERT_EQ(DrawGraphAt(156, 12, spriteB_, 1), 0);
    EXPECT_EQ(BackPixel(145, 5), kRed);
    EXPECT_EQ(BackPixel(159, 5), kRed);
    EXPECT_EQ(BackPixel(160, 5), kBlue);  // kept
    EXPECT_EQ(BackPixel(175, 5), 0u);     // black is kept too
    EXPECT_EQ(BackPixel(159, 15), kGreen);
    EXPECT_EQ(BackPixel(160, 15), 0u);
    // Reversed: only where the bytes are 0.
    mask.reverse = 1;
    ASSERT_EQ(FillRectangle(140, 30, 180, 40, MakeScreenColor(0, 0xF8, 0)), 0);
    EXPECT_EQ(BackPixel(150, 35), 0u);
    EXPECT_EQ(BackPixel(170, 35), kGreen);
    mask.reverse = 0;
    ASSERT_EQ(SetMaskDrawEnabled(0), 0);
    ASSERT_EQ(FillRectangle(140, 30, 180, 40, MakeScreenColor(0, 0xF8, 0)), 0);
    EXPECT_EQ(BackPixel(150, 35), kGreen);
    ASSERT_EQ(ShutdownMaskScreen(), 0);
    EXPECT_EQ(mask.bytes, nullptr);
    EXPECT_EQ(DrawState.maskActive, 0);
    EXPECT_EQ(SetMaskDrawEnabled(1), -1);
}

TEST_P(DrawFrontTest, LostSurfacesComeBackInPlace) {
    plat::testing::LoseAllSurfaces();
    // -1 tells that a graph's pixels were lost (full screen: its surface came back empty).
    EXPECT_EQ(RestoreAllSurfaces2D(), GetParam().windowed ? 0 : -1);
    const ScreenStateRecord& s = GetScreenState();
    for (plat::DirectDrawSurface* surface : {s.primary, s.back}) {
        if (surface != nullptr) {
            EXPECT_EQ(surface->IsLost(), plat::DD_OK);
        }
    }
    const Surface2DRecord* tile = GetSurface2D(int32_t(GetGraphRecord(sheet_)->pieces[0]));
    const ImageDataRecord* data = GetImageDataRecord(tile->imageData);
    if (data->surface != nullptr) {
        EXPECT_EQ(data->surface->IsLost(), plat::DD_OK);
    }
    // Drawing goes on (the pixels come back with the reload after a rebuild).
    EXPECT_EQ(DrawGraphAt(0, 0, spriteB_, 1), 0);
}

TEST_P(DrawFrontTest, DeviceLossRestoresTheSheetWithOneLoadAndDrawsTheSame) {
    const std::string dir =
        ::testing::TempDir() + "restore_" + std::to_string(::getpid()) + "_" + GetParam().name;
    std::filesystem::create_directories(dir);
    SetLogStartDirectory(dir.c_str());
    SetLogEnabledBody(1);
    InitLogFile();
    const std::string path = dir + "/sheet.bmp";
    {
        testimg::Picture expected;
        const testimg::Bytes bmp = testimg::WriteBmp(40, 8, 24, false, false, false, 7, &expected);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bmp.data()), std::streamsize(bmp.size()));
    }
    InstallGraphRestoreRoutine(nullptr);
    // Loaded by its name in its folder, as the game loads its pictures; the restore goes back
    // to that folder by itself.
    char keptDirectory[kFilePathMax] = {};
    GetDirViaFileTable(keptDirectory);
    ChangeDirViaFileTable(dir.c_str());
    const int sheet = LoadGraphFromFileDefault("sheet.bmp");
    ChangeDirViaFileTable(keptDirectory);
    ASSERT_GT(sheet, 0);
    std::vector<int> parts;
    for (int i = 0; i < 10; ++i) parts.push_back(DeriveGraph(i * 4, 0, 4, 8, sheet));
    const auto drawAll = [&] {
        for (int i = 0; i < 10; ++i) ASSERT_EQ(DrawGraphAt(100 - i * 6, 60, parts[i], 0), 0);
    };
    const auto picture = [] {
        std::vector<uint32_t> all;
        for (int y = 60; y < 68; ++y) {
            const std::vector<uint32_t> row = Row(40, y, 64);
            all.insert(all.end(), row.begin(), row.end());
        }
        return all;
    };
    drawAll();
    const std::vector<uint32_t> before = picture();
    EXPECT_NE(before[8], 0u);
    plat::testing::LoseAllSurfaces();
    ASSERT_EQ(RestoreAllGraphSurfaces(), 0);
    ASSERT_EQ(ClearDrawTarget(), 0);
    ASSERT_EQ(MarkGraphsForRestore(), 0);
    drawAll();
    EXPECT_EQ(picture(), before);
    for (int g : parts) EXPECT_EQ(GetGraphRecord(g)->reloadRequest, 0);
    const auto count = [&](const std::string& what) {
        std::ifstream in(dir + "/Log.txt", std::ios::binary);
        const std::string log((std::istreambuf_iterator<char>(in)), {});
        size_t n = 0;
        for (size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1)) ++n;
        return n;
    };
    using namespace sjis_literals;
    const std::string loading = std::string("sheet.bmp "_sjis) + "をロードします"_sjis;
    const std::string failed = std::string("sheet.bmp "_sjis) + "がロードできませんでした"_sjis;
    EXPECT_EQ(count(loading), 1u);  // eleven graphs, one sheet, one load
    EXPECT_EQ(count(failed), 0u);
    // A file that has gone: the graphs keep their handles and the log names path and file for
    // each of them.
    std::filesystem::remove(path);
    ASSERT_EQ(MarkGraphsForRestore(), 0);
    EXPECT_NE(GetGraphRecord(parts[3]), nullptr);
    EXPECT_EQ(count(failed), 11u);
    char now[kFilePathMax] = {};
    GetDirViaFileTable(now);
    EXPECT_STREQ(now, keptDirectory);  // the restore went back to where it started
    SetLogStartDirectory(nullptr);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

TEST_P(DrawFrontTest, QuadAndRotatedDraws) {
    // Corners clockwise from the top-left: the sprite doubled, red left and blue right.
    ASSERT_EQ(DrawGraphQuad(0, 0, 16, 0, 16, 16, 0, 16, spriteA_, 1), 0);
    EXPECT_EQ(BackPixel(3, 8), kRed);
    EXPECT_EQ(BackPixel(12, 8), kBlue);
    EXPECT_EQ(BackPixel(12, 14), kBlue);
    EXPECT_EQ(BackPixel(20, 8), 0u);
    // Turned half a circle about its centre: blue left, red right.
    ASSERT_EQ(DrawGraphRotatedF(44, 44, 1.0, 3.14159265358979, spriteA_, 1, 0), 0);
    EXPECT_EQ(BackPixel(41, 44), kBlue);
    EXPECT_EQ(BackPixel(46, 44), kRed);
    EXPECT_EQ(BackPixel(44, 54), 0u);
    EXPECT_EQ(DrawGraphQuad(0, 0, 1, 0, 1, 1, 0, 1, 777, 1), -1);
}

// Strings: plain, anti-aliased and added; each lands in its line's box and nowhere else.
TEST_P(DrawFrontTest, StringsLandInTheirBox) {
    const uint32_t white = MakeScreenColor(255, 255, 255);
    const auto inked = [](int left, int top, int right, int bottom) {
        int n = 0;
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x) n += BackPixel(x, y) != 0;
        return n;
    };
    struct Case {
        int type, blend;
    };
    int y = 10;
    for (const Case c : {Case{0, kBlendNone}, Case{2, kBlendNone}, Case{0, kBlendAdd}}) {
        const int font = CreateFontToHandle(nullptr, 16, 2, c.type, 1, -1, 0, -1, -1);
        ASSERT_GE(font, 0);
        StoreBlendModeAndParam(c.blend, 255);
        ASSERT_EQ(DrawStringWithFont(20, y, "Dig deep", white, font, 0, 0), 0);
        StoreBlendModeAndParam(kBlendNone, 0);
        EXPECT_GT(inked(20, y, 120, y + 20), 40) << c.type << " " << c.blend;
        ReleaseFontHandle(font);
        y += 30;
    }
    EXPECT_EQ(inked(0, 0, 320, 8), 0);
    EXPECT_EQ(inked(0, 0, 18, 240), 0);
    EXPECT_EQ(inked(0, 100, 320, 240), 0);
    // A string from the right edge on, an empty one and a bad font draw nothing.
    const int font = CreateFontToHandle(nullptr, 16, 2, 0, 1, -1, 0, -1, -1);
    EXPECT_EQ(DrawStringWithFont(320, 150, "Dig", white, font, 0, 0), 0);
    EXPECT_EQ(DrawStringWithFont(20, 150, "", white, font, 0, 0), 0);
    EXPECT_EQ(DrawStringWithFont(20, 150, nullptr, white, font, 0, 0), 0);
    EXPECT_EQ(DrawStringWithFont(20, 150, "Dig", white, 12345, 0, 0), -1);
    EXPECT_EQ(inked(0, 140, 320, 240), 0);
    ReleaseFontHandle(font);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Screens, DrawFrontTest, ::testing::Values(
    Mode{"Window32", 1, 32},
    Mode{"Window16", 1, 16},
    Mode{"FullScreen32", 0, 32},
    Mode{"FullScreen16", 0, 16},
    Mode{"FullScreen555", 0, 16, true}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

}  // namespace
}  // namespace tessra
