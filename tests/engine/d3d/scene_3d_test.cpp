// The shared scene (scene_3d.h) drawn through the graphics core twice at full screen 640x480: once
// with 3-D off (2-D surfaces and the software renderer) and once on the 3-D device with texture
// graphs. Where both paths place the same pixels they must agree exactly; elsewhere the 3-D draw
// must stay inside the rectangle the draw covers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/d3d/d3d_test_support.h"
#include "engine/d3d/scene_3d.h"
#include "engine/graphics/draw_state.h"
#include "engine/graphics/graph_table.h"
#include "engine/screen/screen.h"
#include "engine/screen/screen_state.h"

namespace tessra {
namespace {

using scene3d::kH;
using scene3d::kW;
using scene3d::Match;

struct Frame {
    int bits = 0;
    std::vector<uint32_t> px;  // raw pixel values of the back screen
    uint32_t At(int x, int y) const { return px[size_t(y) * kW + x]; }
};

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
        const int sprite = scene3d::MakeSprite();
        EXPECT_GT(sprite, 0);
        const GraphRecord* record = GetGraphRecord(sprite);
        EXPECT_NE(record, nullptr);
        if (record != nullptr) {
            EXPECT_EQ(record->format.texture, on3D ? 1 : 0);
        }
        scene3d::Draw(sprite);
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
    const std::vector<scene3d::Item> items = scene3d::Items();
    for (const scene3d::Item& item : items) {
        int lit = 0, differ = 0;
        for (int y = item.area.top; y < item.area.bottom; ++y) {
            for (int x = item.area.left; x < item.area.right; ++x) {
                lit += hard.At(x, y) != 0;
                if (item.match == Match::kExact && hard.At(x, y) != soft.At(x, y)) {
                    if (differ++ < 3)
                        ADD_FAILURE() << item.what << " at " << x << "," << y << ": 3-D "
                                      << std::hex << hard.At(x, y) << " software " << soft.At(x, y);
                }
                if (GetParam() == 32 && item.match == Match::kBlend) {
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
            for (const scene3d::Item& item : items) covered = covered || Inside(item.area, x, y);
            if (!covered) {
                ASSERT_EQ(hard.At(x, y), 0u) << x << "," << y;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(D3D, Scene3DTest, ::testing::Values(16, 32),
                         [](const auto& info) { return "Bits" + std::to_string(info.param); });

}  // namespace
}  // namespace tessra
