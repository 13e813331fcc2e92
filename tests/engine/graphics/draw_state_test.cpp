// The draw state: its defaults, setters that ignore unchanged values, clamping, and the vertex
// colour that follows blend mode and brightness; starting and stopping the graphics core.
#include "engine/graphics/draw_state.h"

#include <gtest/gtest.h>

#include "engine/d3d/d3d.h"
#include "engine/graphics/graph_table.h"
#include "engine/graphics/image_data.h"

namespace tessra {
namespace {

class DrawStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = GetImageDataContext();
        ResetDrawState();
    }
    void TearDown() override {
        ShutdownGraphicsManagement();
        GetImageDataContext() = saved_;
    }
    ImageDataContext saved_{};
};

TEST_F(DrawStateTest, DefaultsFollowTheScreen) {
    GetImageDataContext().screenWidth = 800;
    GetImageDataContext().screenHeight = 600;
    DrawState.blendMode = kBlendAdd;
    ResetDrawState();
    EXPECT_EQ(DrawState.drawTarget, kFrontScreen);
    EXPECT_EQ(DrawState.DrawArea.right, 800);
    EXPECT_EQ(DrawState.DrawArea.bottom, 600);
    EXPECT_EQ(DrawState.targetWidth, 800);
    EXPECT_EQ(DrawState.blendMode, kBlendNone);
    EXPECT_EQ(DrawState.blendGraph, -1);
    EXPECT_EQ(DrawBrightnessPacked(), 0xFFFFFFu);
    EXPECT_EQ(DrawState.zCompareFunction, 4);
    EXPECT_FLOAT_EQ(DrawState.vertexDepth2D, 0.2f);
    EXPECT_EQ(DrawState.use3D, 1);
    EXPECT_EQ(DrawState.alphaTestDefault, 1);
    EXPECT_EQ(DrawState.maskEnabled, 1);
    EXPECT_EQ(GetDrawDiffuseColor(), 0xFFFFFFFFu);
    int w = 0, h = 0, bits = 0;
    GetImageDataContext().screenWidth = 0;
    GetImageDataContext().workingColorBits = 0;
    GetScreenSizeAndBits(&w, &h, &bits);
    EXPECT_EQ(w, 640);  // unset
    EXPECT_EQ(bits, 16);
}

TEST_F(DrawStateTest, BlendModeClampsAndUnchangedValuesLeaveTheVertexColour) {
    struct Case {
        int mode, param, wantParam;
        uint32_t wantDiffuse;
    } cases[] = {
        {kBlendAlpha, 300, 255, 0xFFFFFFFF},
        {kBlendAlpha, -5, 0, 0x00FFFFFF},
        {kBlendAdd, 128, 128, 0x80FFFFFF},
        {kBlendNone, 128, 128, 0xFFFFFFFF},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StoreBlendModeAndParam(c.mode, c.param), 0);
        EXPECT_EQ(DrawState.blendParam, c.wantParam);
        EXPECT_EQ(GetDrawDiffuseColor(), c.wantDiffuse) << c.mode << "," << c.param;
    }
    // The same values again: nothing changes, not even a vertex colour set behind its back.
    StoreBlendModeAndParam(kBlendAlpha, 64);
    DrawState.brightness[0] = 0;  // a change the setter would pick up if it ran
    StoreBlendModeAndParam(kBlendAlpha, 64);
    EXPECT_EQ(GetDrawDiffuseColor(), 0x40FFFFFFu);
}

TEST_F(DrawStateTest, BrightnessChangesPerChannel) {
    StoreDrawBrightness(255, 0, 128);
    EXPECT_EQ(DrawBrightnessPacked(), 0xFF0080u);
    StoreDrawBrightness(255, 128, 0);
    EXPECT_EQ(DrawBrightnessPacked(), 0xFF8000u);
    StoreDrawBrightness(999, -3, 7);
    EXPECT_EQ(DrawBrightnessPacked(), 0xFF0007u);
    EXPECT_EQ(GetDrawDiffuseColor(), 0xFFFF0007u);
    SetDrawBrightnessPacked(0xAB123456);
    EXPECT_EQ(DrawBrightnessPacked(), 0x123456u);
}

TEST_F(DrawStateTest, TransparentColourAndNewGraphSettings) {
    EXPECT_EQ(StoreTransparentColor(0x12, 0x34, 0x56), 0);
    EXPECT_EQ(DrawState.transColor, 0x123456u);
    GetImageDataContext().screenColorBits = 8;
    EXPECT_EQ(StoreTransparentColor(1, 2, 3), 0);
    EXPECT_EQ(DrawState.transColor, 0x123456u);  // refused on an 8-bit screen
    // The system-memory option: forced to 1 while DirectDraw is in use.
    GetImageDataContext().noDirectDraw = 1;
    SetGraphOptionForcedWithDirectDraw(0);
    EXPECT_EQ(DrawState.systemMemoryOption, 0);
    SetGraphOptionInverted(0);
    EXPECT_EQ(DrawState.systemMemoryOption, 1);
    SetGraphOptionInverted(1);
    EXPECT_EQ(DrawState.systemMemoryOption, 0);
    GetImageDataContext().noDirectDraw = 0;
    SetGraphOptionForcedWithDirectDraw(0);
    EXPECT_EQ(DrawState.systemMemoryOption, 1);
    StoreBlankGraphAlphaFlag(1);
    SetNewGraphDrawValidFlag(1);
    EXPECT_EQ(DrawState.blankGraphAlpha, 1);
    EXPECT_EQ(DrawState.drawValidSetting, 1);
    StoreDrawFilterMode(kFilterBilinear);
    EXPECT_EQ(GetDrawFilterMode(), kFilterBilinear);
    const Rect client{10, 20, 330, 260};
    SetWindowClientScreenRect(&client);
    EXPECT_EQ(DrawState.clientRect.left, 10);
    Rect area{};
    GetDrawClipRect(&area);
    EXPECT_EQ(area.right, DrawState.DrawArea.right);
    EXPECT_EQ(IsDirect3DDrawActive(), 0);  // no Direct3D device
}

TEST_F(DrawStateTest, StartingTheCoreClearsGraphsAndSettings) {
    ASSERT_EQ(InitGraphicsManagement(), 0);
    const int g = CreateBlankGraph(4, 4, 0, 0, 0);
    ASSERT_GT(g, 0);
    StoreBlendModeAndParam(kBlendAdd, 10);
    EXPECT_EQ(DrawState.direct3DReady, 0);   // every graph 2-D
    EXPECT_EQ(InitGraphicsManagement(), 0);  // already started: nothing
    EXPECT_NE(GetGraphRecord(g), nullptr);
    ASSERT_EQ(ShutdownGraphicsManagement(), 0);
    EXPECT_EQ(GetGraphRecord(g), nullptr);
    EXPECT_EQ(GetGraphTable().liveCount, 0);
    ASSERT_EQ(InitGraphicsManagement(), 0);
    EXPECT_EQ(DrawState.blendMode, kBlendNone);
    EXPECT_EQ(GetGraphicsCoreState().started, 1);
}

}  // namespace
}  // namespace tessra
