// One scene drawn through the graphics core twice at full screen 640x480: once with 3-D off
// (2-D surfaces and the software renderer) and once on the 3-D device with texture graphs. Where
// both paths place the same pixels they must agree exactly; elsewhere the 3-D draw must stay
// inside the rectangle the draw covers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "engine/d3d/d3d_test_support.h"
#include "engine/graphics/draw_front.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_image.h"
#include "engine/graphics/graph_table.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_state.h"

namespace tessra {
namespace {

constexpr int kW = 640, kH = 480;

struct Frame {
    int bits = 0;
    std::vector<uint32_t> px;  // raw pixel values of the back screen
    uint32_t At(int x, int y) const { return px[size_t(y) * kW + x]; }
};

// A 32x32 picture with a black (colour-keyed) diagonal band. Its colours survive the 16-bit
// screens and the 5-5-5 textures alike: 5-bit channels, green below 128 (a 5-bit green widened
// to 6 bits repeats its top bit).
int MakeSprite() {
    GraphImage img{};
    if (AllocGraphImage(32, 32, &img) != 0) return -1;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            uint32_t v = (uint32_t((x * 8) & 0xF8) << 16) | (uint32_t((y * 4) & 0xF8) << 8) | 0x48;
            if (std::abs(x - y) < 3) v = 0;
            uint8_t* p = img.pixels + y * img.pitch + x * 3;
            p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16);
        }
    }
    const int g = BuildGraphFromGraphImages(&img, nullptr, 1, 0, 0);
    FreeGraphImage(&img);
    return g;
}

struct Item {
    const char* what;
    Rect area;   // what the draw may touch
    bool exact;  // both paths must agree on every pixel of the area
    std::function<void(int sprite)> draw;
};

std::vector<Item> Scene() {
    const uint32_t c1 = MakeScreenColor(200, 120, 40), c2 = MakeScreenColor(40, 200, 160);
    return {
        {"opaque sprite", {10, 10, 42, 42}, true, [](int g) { DrawGraphAt(10, 10, g, 0); }},
        {"keyed sprite", {60, 10, 92, 42}, true, [](int g) { DrawGraphAt(60, 10, g, 1); }},
        {"angle 0",
         {110, 10, 142, 42},
         true,
         [](int g) { DrawGraphRotated(126.0f, 26.0f, 1.0, 0.0, g, 1, 0); }},
        {"clipped sprite", {0, 10, 12, 42}, true, [](int g) { DrawGraphAt(-20, 10, g, 1); }},
        {"fill",
         {10, 60, 50, 90},
         true,
         [c1](int) { FillOrFrameRectangle(10, 60, 50, 90, c1, 1); }},
        {"lines",
         {60, 60, 101, 91},
         true,
         [c2](int) {
             DrawLineClipped(60, 60, 60, 90, c2);
             DrawLineClipped(70, 60, 100, 60, c2);
             DrawLineClipped(100, 80, 70, 80, c2);
         }},
        {"frame",
         {110, 60, 150, 90},
         true,
         [c1](int) { FillOrFrameRectangle(110, 60, 150, 90, c1, 0); }},
        {"filled ellipse",
         {170, 55, 231, 96},
         true,
         [c2](int) { DrawOvalInBounds(200, 75, 30, 12, c2, 1); }},
        {"ellipse outline",
         {240, 50, 272, 101},
         true,
         [c1](int) { DrawOvalInBounds(256, 75, 15, 24, c1, 0); }},
        {"stretched",
         {10, 110, 74, 142},
         false,
         [](int g) { DrawGraphStretched(10, 110, 74, 142, g, 1); }},
        {"mirrored",
         {90, 110, 122, 142},
         false,
         [](int g) { DrawGraphStretched(122, 110, 90, 142, g, 1); }},
        {"rotated",
         {140, 100, 210, 170},
         false,
         [](int g) { DrawGraphRotated(175.0f, 135.0f, 1.3, 0.6, g, 1, 0); }},
        {"quad",
         {230, 110, 300, 170},
         false,
         [](int g) { DrawGraphQuad(240, 110, 290, 120, 300, 170, 230, 160, g, 1); }},
        {"alpha blend",
         {320, 10, 352, 42},
         false,
         [](int g) {
             FillOrFrameRectangle(320, 10, 352, 42, MakeScreenColor(90, 90, 90), 1);
             StoreBlendModeAndParam(kBlendAlpha, 128);
             DrawGraphAt(320, 10, g, 0);
             StoreBlendModeAndParam(kBlendNone, 0);
         }},
        {"subtracted",
         {420, 10, 452, 42},
         false,
         [](int g) {
             FillOrFrameRectangle(420, 10, 452, 42, MakeScreenColor(250, 240, 230), 1);
             StoreBlendModeAndParam(kBlendSubtract, 255);
             DrawGraphAt(420, 10, g, 0);
             StoreBlendModeAndParam(kBlendNone, 0);
         }},
        {"added",
         {370, 10, 402, 42},
         false,
         [](int g) {
             FillOrFrameRectangle(370, 10, 402, 42, MakeScreenColor(60, 30, 20), 1);
             StoreBlendModeAndParam(kBlendAdd, 255);
             DrawGraphAt(370, 10, g, 0);
             StoreBlendModeAndParam(kBlendNone, 0);
         }},
    };
}

class Scene3DTest : public D3DFixture, public ::testing::WithParamInterface<int> {
protected:
    Frame Draw(bool on3D) {
        const int bits = GetParam();
        if (on3D) {
            StartDirect3D(bits);
            // The graphics core started before the device; started again it finds Direct3D.
            ShutdownGraphicsManagement();
            InitGraphicsManagement();
            EXPECT_EQ(DrawState.direct3DReady, 1);
        } else {
            EXPECT_EQ(StartScreens(bits), 0);
            EXPECT_EQ(DrawState.direct3DReady, 0);
        }
        EXPECT_EQ(SetDrawTargetAndArea(kBackScreen), 0);
        ClearDrawTargetAndRepaint();
        const int sprite = MakeSprite();
        EXPECT_GT(sprite, 0);
        const GraphRecord* record = GetGraphRecord(sprite);
        EXPECT_NE(record, nullptr);
        if (record != nullptr) EXPECT_EQ(record->format.texture, on3D ? 1 : 0);
        for (const Item& item : Scene()) item.draw(sprite);
        EndSceneCurrent();
        Frame f;
        f.bits = bits;
        plat::DirectDrawSurface* s = GetBackSurface();
        const int bpp = bits / 8;
        for (int y = 0; y < kH; ++y) {
            for (int x = 0; x < kW; ++x) {
                uint32_t v = 0;
                std::memcpy(&v, s->Bits() + y * s->Pitch() + x * bpp, size_t(bpp));
                f.px.push_back(bits == 32 ? v & 0xFFFFFF : v);
            }
        }
        ReleaseGraph(sprite, 0);
        ShutdownDirectDraw();
        TerminateDirect3D();
        return f;
    }
};

bool Inside(const Rect& r, int x, int y) {
    return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

TEST_P(Scene3DTest, ThreeDFrameMatchesTheSoftwareFrameWhereThePathsAgree) {
    const Frame soft = Draw(false);
    const Frame hard = Draw(true);
    ASSERT_EQ(soft.px.size(), hard.px.size());
    const std::vector<Item> items = Scene();
    for (const Item& item : items) {
        int lit = 0, differ = 0;
        for (int y = item.area.top; y < item.area.bottom; ++y) {
            for (int x = item.area.left; x < item.area.right; ++x) {
                lit += hard.At(x, y) != 0;
                if (item.exact && hard.At(x, y) != soft.At(x, y)) {
                    if (differ++ < 3)
                        ADD_FAILURE() << item.what << " at " << x << "," << y << ": 3-D "
                                      << std::hex << hard.At(x, y) << " software " << soft.At(x, y);
                }
                const std::string what = item.what;
                if (GetParam() == 32 &&
                    (what == "alpha blend" || what == "added" || what == "subtracted")) {
                    for (int ch = 0; ch < 24; ch += 8) {
                        const int a = int(hard.At(x, y) >> ch & 0xFF);
                        const int b = int(soft.At(x, y) >> ch & 0xFF);
                        ASSERT_LE(std::abs(a - b), 1) << item.what << " at " << x << "," << y;
                    }
                }
            }
        }
        EXPECT_GT(lit, 0) << item.what << " drew nothing on the 3-D path";
    }
    // Nothing lands outside the draws' rectangles.
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            bool covered = false;
            for (const Item& item : items) covered = covered || Inside(item.area, x, y);
            if (!covered) ASSERT_EQ(hard.At(x, y), 0u) << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(D3D, Scene3DTest, ::testing::Values(16, 32),
                         [](const auto& info) { return "Bits" + std::to_string(info.param); });

}  // namespace
}  // namespace tessra
