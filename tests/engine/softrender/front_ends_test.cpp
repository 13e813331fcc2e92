// The front ends: choice of destination (screen, mask, locked target), the locked path's
// preparation and finish, and their answers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/screen/soft_tables.h"
#include "engine/softrender/soft_render.h"
#include "soft_reference.h"

namespace {

using namespace softtest;

// A stand-in screens layer that records what the front ends ask of it.
struct Screens {
    bool started = true;
    bool memImgScreens = true;
    int prepareResult = 0;
    Image screen{1, 32, 32};
    Image mask{1, 32, 32};
    Image locked{1, 32, 32};
    Image graphImage{1, 8, 4};
    tessra::SoftSurfaceSource source{};
    std::vector<std::string> calls;
    tessra::Rect prepSource{}, prepDest{};
    int prepFlag = -1;
    bool prepHadSource = false;
};
Screens* g_s = nullptr;

void Install(Screens& s) {
    g_s = &s;
    tessra::FillMemImgRect(&s.screen.m, nullptr, 0);
    tessra::FillMemImgRect(&s.mask.m, nullptr, 0);
    tessra::FillMemImgRect(&s.locked.m, nullptr, 0);
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 4; ++y) s.graphImage.Set(x, y, 0x00010000u * (x + 1) + y);
    s.source = {&s.graphImage, 42, &s.graphImage.m, 0, 0, 8, 4};
    tessra::SoftScreen = {};
    tessra::SoftScreen.GraphicsStarted = [] { return g_s->started ? 1 : 0; };
    tessra::SoftScreen.MemImgScreens = [] { return g_s->memImgScreens ? 1 : 0; };
    tessra::SoftScreen.DrawTargetMemImg = [] { return &g_s->screen.m; };
    tessra::SoftScreen.GetMaskMemImg = [] { return &g_s->mask.m; };
    tessra::SoftScreen.EndPending3D = [] { g_s->calls.push_back("end3d"); };
    tessra::SoftScreen.PrepareBlit2D = [](const void* surface, const tessra::Rect* src,
                                          const tessra::Rect* dest, int flag, uint32_t* color,
                                          tessra::MEMIMG** d, tessra::MEMIMG** s) {
        g_s->calls.push_back("prepare");
        g_s->prepHadSource = surface != nullptr;
        if (src) g_s->prepSource = *src;
        g_s->prepDest = *dest;
        g_s->prepFlag = flag;
        if (g_s->prepareResult < 0) return g_s->prepareResult;
        if (color) *color ^= 0x00FF0000;  // stands in for the conversion to the target's format
        *d = &g_s->locked.m;
        *s = &g_s->graphImage.m;
        return 0;
    };
    tessra::SoftScreen.FinishBlit2D = [] { g_s->calls.push_back("finish"); };
    tessra::SoftScreen.BltGraph2D = [](int32_t x, int32_t y, int32_t h, int32_t t) {
        g_s->calls.push_back("blt " + std::to_string(x) + " " + std::to_string(y) + " " +
                             std::to_string(h) + " " + std::to_string(t));
        return 0;
    };
    tessra::SoftScreen.GetStretchSource = [](const tessra::GraphRecord*, int32_t,
                                             tessra::SoftSurfaceSource* out) {
        *out = g_s->source;
        return 0;
    };
    tessra::SoftScreen.GetGraphMemImg = []() -> const tessra::MEMIMG* { return nullptr; };
}

class FrontEnds : public ::testing::Test {
protected:
    Screens s;
    void SetUp() override {
        tessra::BuildSoftBlendTables();
        Install(s);
        State st;
        st.area = {0, 0, 32, 32};
        Apply(st);
    }
    void TearDown() override {
        tessra::SoftScreen = {};
        tessra::DrawState.maskActive = 0;
    }
};

TEST_F(FrontEnds, RefuseBeforeGraphicsStart) {
    s.started = false;
    EXPECT_EQ(tessra::DrawLineSegmentSoft(0, 0, 5, 5, 1), -1);
    EXPECT_EQ(tessra::FillRectangleSoft(0, 0, 5, 5, 1), -1);
    EXPECT_EQ(tessra::DrawImageStretchedSoft(0, 0, 16, 8, nullptr, 0, 1, -1), -1);
    tessra::SoftScreen = {};
    EXPECT_EQ(tessra::FrameRectangleSoft(0, 0, 5, 5, 1), -1);
    EXPECT_EQ(s.screen.Get(0, 0), 0u);
}

TEST_F(FrontEnds, MemoryScreensDrawIntoTheTargetOrTheMask) {
    EXPECT_EQ(tessra::FillRectangleSoft(4, 4, 2, 2, 0x00123456), 0);
    EXPECT_EQ(s.screen.Get(2, 3), 0x00123456u);
    tessra::DrawState.maskActive = 1;
    EXPECT_EQ(tessra::DrawLineSegmentSoft(0, 9, 3, 9, 0x00ABCDEF), 0);
    EXPECT_EQ(s.mask.Get(2, 9), 0x00ABCDEFu);
    EXPECT_EQ(s.screen.Get(2, 9), 0u);
    EXPECT_TRUE(s.calls.empty());
}

TEST_F(FrontEnds, LockedLineLocksItsBoundsAndDrawsTheConvertedColor) {
    s.memImgScreens = false;
    EXPECT_EQ(tessra::DrawLineSegmentSoft(6, 2, 1, 4, 0x00000011), 0);
    EXPECT_EQ(s.calls, (std::vector<std::string>{"end3d", "prepare", "finish"}));
    EXPECT_EQ(s.prepDest.left, 1);
    EXPECT_EQ(s.prepDest.top, 2);
    EXPECT_EQ(s.prepDest.right, 7);
    EXPECT_EQ(s.prepDest.bottom, 5);
    EXPECT_EQ(s.prepFlag, 1);
    EXPECT_EQ(s.locked.Get(6, 2), 0x00FF0011u);
    EXPECT_EQ(s.screen.Get(6, 2), 0u);
}

TEST_F(FrontEnds, LockedLineWithEqualEndsDrawsNothingAndLocksNothing) {
    s.memImgScreens = false;
    EXPECT_EQ(tessra::DrawLineSegmentSoft(3, 3, 3, 3, 1), 0);
    EXPECT_EQ(s.calls, (std::vector<std::string>{"end3d"}));
}

TEST_F(FrontEnds, FailedPreparationAnswersMinusOneWithoutFinishing) {
    s.memImgScreens = false;
    s.prepareResult = -1;
    EXPECT_EQ(tessra::FillRectangleSoft(0, 0, 4, 4, 1), -1);
    EXPECT_EQ(tessra::DrawLineSegmentSoft(0, 0, 4, 4, 1), -1);
    EXPECT_EQ(tessra::DrawImageStretchedSoft(0, 0, 16, 8, nullptr, 0, 1, -1), -1);
    for (const auto& c : s.calls) EXPECT_NE(c, "finish");
}

TEST_F(FrontEnds, StretchOnMemoryScreensDrawsTheSurfaceAndAcceptsFloats) {
    float v[4] = {2.9f, 0.0f, 18.7f, 8.2f};  // truncated toward zero: 2, 0, 18, 8
    int32_t bits[4];
    std::memcpy(bits, v, sizeof bits);
    EXPECT_EQ(tessra::DrawImageStretchedSoft(bits[0], bits[1], bits[2], bits[3], nullptr, 0, 0, -1),
              0);
    EXPECT_EQ(s.screen.Get(2, 0), s.graphImage.Get(0, 0));
    EXPECT_EQ(s.screen.Get(3, 1), s.graphImage.Get(0, 0));
    EXPECT_EQ(s.screen.Get(17, 7), s.graphImage.Get(7, 3));
    EXPECT_EQ(s.screen.Get(18, 7), 0u);
    EXPECT_EQ(tessra::DrawImageStretchedSoft(5, 5, 5, 9, nullptr, 0, 1, -1), 0);  // empty
}

TEST_F(FrontEnds, StretchOfAPartialSurfaceReadsThroughAView) {
    s.source = {&s.graphImage, 7, &s.graphImage.m, 2, 1, 4, 2};
    EXPECT_EQ(tessra::DrawImageStretchedSoft(0, 0, 8, 4, nullptr, 0, 1, -1), 0);
    EXPECT_EQ(s.screen.Get(0, 0), s.graphImage.Get(2, 1));
    EXPECT_EQ(s.screen.Get(7, 3), s.graphImage.Get(5, 2));
}

TEST_F(FrontEnds, LockedStretchOfTheSourceSizeIsAPlainBlit) {
    s.memImgScreens = false;
    EXPECT_EQ(tessra::DrawImageStretchedSoft(3, 4, 11, 8, nullptr, 1, 1, -1), 0);
    EXPECT_EQ(s.calls, (std::vector<std::string>{"end3d", "blt 3 4 42 1"}));
    EXPECT_EQ(tessra::DrawImageStretchedSoft(3, 4, 3, 8, nullptr, 1, 1, -1), -1);
}

TEST_F(FrontEnds, LockedStretchLocksTheClippedSourceKeptInsideTheSource) {
    s.memImgScreens = false;
    tessra::DrawState.DrawArea = {0, 0, 20, 32};
    // 8 source columns over 24: the clipped 20 columns need 6.67 source columns, rounded up to 7.
    EXPECT_EQ(tessra::DrawImageStretchedSoft(-4, 0, 20, 8, nullptr, 0, 1, -1), 0);
    EXPECT_TRUE(s.prepHadSource);
    EXPECT_EQ(s.prepSource.left, 1);
    EXPECT_EQ(s.prepSource.right, 8);
    EXPECT_EQ(s.prepDest.left, 0);
    EXPECT_EQ(s.prepDest.right, 20);
    EXPECT_EQ(s.prepFlag, 0);
    EXPECT_EQ(s.locked.Get(0, 0), s.graphImage.Get(1, 0));
    EXPECT_EQ(s.calls.back(), "finish");
    // 3 source columns over 2: the rounded-up width (4) would reach past the source.
    s.source.width = 3;
    s.source.image = &s.graphImage.m;
    EXPECT_EQ(tessra::DrawImageStretchedSoft(0, 0, 2, 8, nullptr, 0, 1, -1), 0);
    EXPECT_EQ(s.prepSource.left, 0);
    EXPECT_EQ(s.prepSource.right, 3);
    // Mirrored: the source rectangle is taken from the other side.
    s.source.width = 8;
    EXPECT_EQ(tessra::DrawImageStretchedSoft(20, 0, -4, 8, nullptr, 0, 1, -1), 0);
    EXPECT_EQ(s.prepSource.left, 0);
    EXPECT_EQ(s.prepSource.right, 7);
}

}  // namespace
