// Text on the 3-D path: with Direct3D in use a font keeps its glyphs in a texture graph and its
// strings are drawn as parts of it. Plain and edged text lands on exactly the pixels, in exactly
// the colours, of the same text drawn with 3-D off; anti-aliased text stays inside its box.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/base/sjis.h"
#include "engine/d3d/d3d_test_support.h"
#include "engine/font/font.h"
#include "engine/graphics/draw_front.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_table.h"
#include "engine/screen/draw2d.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_state.h"

namespace tessra {
namespace {

using namespace sjis_literals;

constexpr int kScreenW = 640, kScreenH = 480;

struct TextFrame {
    std::vector<uint32_t> px;
    uint32_t At(int x, int y) const { return px[size_t(y) * kScreenW + x]; }
};

struct TextCase {
    int bits;
    int type;  // 0 plain, 1 edged, 2 anti-aliased, 3 both
};

// The rectangles the text may touch; each line's text starts two rows below the top.
const Rect kLines[] = {{8, 8, 400, 34}, {8, 48, 400, 74}, {0, 88, 100, 114}, {8, 128, 400, 154}};

class Text3DTest : public D3DFixture, public ::testing::WithParamInterface<TextCase> {
protected:
    TextFrame Draw(bool on3D) {
        const TextCase c = GetParam();
        if (on3D) {
            StartDirect3D(c.bits);
            ShutdownGraphicsManagement();
            InitGraphicsManagement();
            EXPECT_EQ(DrawState.direct3DReady, 1);
        } else {
            EXPECT_EQ(StartScreens(c.bits), 0);
        }
        EXPECT_EQ(SetDrawTargetAndArea(kBackScreen), 0);
        ClearDrawTargetAndRepaint();
        const int font =
            CreateFontToHandle("", 20, 6, c.type, -1, (c.type & 1) ? 2 : -1, 0, -1, -1);
        EXPECT_GT(font, 0);
        const FontRecord* record = GetFontRecord(font);
        EXPECT_NE(record, nullptr);
        if (record != nullptr) {
            EXPECT_EQ(record->useTexture, on3D ? 1 : 0);
            if (on3D) {
                const GraphRecord* cache = GetGraphRecord(record->cacheGraph);
                EXPECT_NE(cache, nullptr);
                if (cache != nullptr) {
                    EXPECT_EQ(cache->format.texture, 1);
                }
                EXPECT_EQ(record->edgeGraph > 0, (c.type & 1) != 0);
            }
        }
        const uint32_t text = MakeScreenColor(248, 224, 120), edge = MakeScreenColor(24, 40, 96);
        const char* line = "NOW LOADING 漢字かな!"_sjis;
        EXPECT_EQ(DrawStringWithFont(10, 10, line, text, font, edge, 0), 0);
        // Under a draw brightness.
        StoreDrawBrightness(200, 128, 64);
        EXPECT_EQ(DrawStringWithFont(10, 50, line, text, font, edge, 0), 0);
        StoreDrawBrightness(255, 255, 255);
        // Cut by the draw area on the left and on the right.
        ApplyDrawClipRect(0, 0, 100, kScreenH);
        EXPECT_EQ(DrawStringWithFont(-30, 90, line, text, font, edge, 0), 0);
        ApplyDrawClipRect(0, 0, kScreenW, kScreenH);
        // Glyphs first drawn while the scene that draws the font's texture is open: they reach
        // the texture without a refused lock (nothing on stderr, nothing in the log).
        EXPECT_EQ(DrawStringWithFont(10, 130, "NOW"_sjis, text, font, edge, 0), 0);
        if (on3D) {
            EXPECT_EQ(Record()->sceneBegun, 1);
            TakeLog();
            ::testing::internal::CaptureStderr();
        }
        EXPECT_EQ(DrawStringWithFont(80, 130, "QUEST 新しい字?"_sjis, text, font, edge, 0), 0);
        if (on3D) {
            EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
            EXPECT_EQ(TakeLog(), "");
        }
        EndSceneCurrent();
        TextFrame f;
        plat::DirectDrawSurface* s = GetBackSurface();
        const int bpp = c.bits / 8;
        for (int y = 0; y < kScreenH; ++y) {
            for (int x = 0; x < kScreenW; ++x) {
                uint32_t v = 0;
                std::memcpy(&v, s->Bits() + y * s->Pitch() + x * bpp, size_t(bpp));
                f.px.push_back(c.bits == 32 ? v & 0xFFFFFF : v);
            }
        }
        ReleaseFontHandle(font);
        ShutdownDirectDraw();
        TerminateDirect3D();
        return f;
    }
};

TEST_P(Text3DTest, TextureGlyphsLandWhereTheSoftwareGlyphsDo) {
    const TextFrame soft = Draw(false);
    const TextFrame hard = Draw(true);
    const bool exact = (GetParam().type & 2) == 0;
    int differ = 0;
    for (const Rect& r : kLines) {
        int lit = 0;
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                lit += hard.At(x, y) != 0;
                // The full-screen 2-D path locks the screen from the line's top down, so a glyph
                // rising above it loses those rows there (the 3-D path and a window keep them).
                const bool compared = y >= r.top + 2;
                if (exact && compared && hard.At(x, y) != soft.At(x, y) && differ++ < 5) {
                    ADD_FAILURE() << "at " << x << "," << y << ": 3-D " << std::hex << hard.At(x, y)
                                  << " software " << soft.At(x, y);
                }
            }
        }
        EXPECT_GT(lit, 200) << "line at " << r.top;
    }
    for (int y = 0; y < kScreenH; ++y) {
        for (int x = 0; x < kScreenW; ++x) {
            bool inside = false;
            for (const Rect& r : kLines)
                inside = inside || (x >= r.left && x < r.right && y >= r.top && y < r.bottom);
            if (!inside) {
                ASSERT_EQ(hard.At(x, y), 0u) << x << "," << y;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(D3D, Text3DTest,
                         ::testing::Values(TextCase{32, 0}, TextCase{32, 1}, TextCase{32, 2},
                                           TextCase{32, 3}, TextCase{16, 0}, TextCase{16, 1}),
                         [](const auto& info) {
                             return "Bits" + std::to_string(info.param.bits) + "Type" +
                                    std::to_string(info.param.type);
                         });

class Text3DRouteTest : public D3DFixture {};

TEST_F(Text3DRouteTest, RefusedTargetDrawsNoTextAndMemoryCachesGoTo2D) {
    StartDirect3D(32);
    ShutdownGraphicsManagement();
    InitGraphicsManagement();
    ASSERT_EQ(SetDrawTargetAndArea(kBackScreen), 0);
    const int font = CreateFontToHandle("", 16, 6, 0, -1, -1, 0, -1, -1);
    ASSERT_GT(font, 0);
    ASSERT_EQ(GetFontRecord(font)->useTexture, 1);
    D3D().targetRefused = 1;
    EXPECT_EQ(DrawText3D(0, 0, "A", 0xFFFFFF, font, 0, 0), -1);
    D3D().targetRefused = 0;
    EXPECT_EQ(DrawText3D(0, 0, "A", 0xFFFFFF, font, 0, 0), 0);
    // A font made while 3-D is off keeps a memory cache; on the 3-D path it draws in 2-D.
    DrawState.use3D = 0;
    const int plain = CreateFontToHandle("", 16, 6, 0, -1, -1, 0, -1, -1);
    DrawState.use3D = 1;
    ASSERT_GT(plain, 0);
    EXPECT_EQ(GetFontRecord(plain)->useTexture, 0);
    EXPECT_EQ(DrawText3D(0, 0, "A", 0xFFFFFF, plain, 0, 0),
              DrawText2D(0, 0, "A", 0xFFFFFF, plain, 0, 0));
    EXPECT_EQ(DrawText3D(0, 0, "A", 0xFFFFFF, -5, 0, 0), -1);
    ReleaseFontHandle(plain);
    ReleaseFontHandle(font);
}

}  // namespace
}  // namespace tessra
