// Menu windows: the stack, closing, the current window's guard and the run glue's bounds; and the
// mode select's clamps, run through the harness.
#include <gtest/gtest.h>

#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/core/scenes.h"
#include "game/core/sprite_ids.h"
#include "game/frontend/windows.h"
#include "game/play/object_utils.h"
#include "tests/game/harness/game_harness.h"

namespace velmora {
namespace {

class WindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        InstallWindowRoutines();
        CloseAllWindows();
    }
};

TEST_F(WindowsTest, CloseAllWindowsEmptiesTheStackAndNamesNoWindow) {
    OpenMenuWindow(16, 16, 0, 0, 0, 2);
    EXPECT_EQ(GetWindowDepth(), 0);
    CloseAllWindows();
    EXPECT_EQ(GetCurrentWindow(), 0);
    EXPECT_EQ(GetWindowDepth(), -1);
    EXPECT_EQ(GetWindowField(kPropWinCursor), 0);
}

TEST_F(WindowsTest, ClosingAChildReturnsToItsParent) {
    const int a = OpenMenuWindow(16, 16, 0, 0, 0, 2);
    const int b = OpenMenuWindow(16, 16, 180, 16, a, 0x1000000E);  // a kind word names row 14
    EXPECT_EQ(GetField(kPropWinDescriptor, b), 14 * 6);
    EXPECT_EQ(GetWindowDepth(), 1);
    CloseWindow(b);
    EXPECT_EQ(GetCurrentWindow(), a);
    EXPECT_EQ(GetWindowDepth(), 0);
}

TEST_F(WindowsTest, ClosingAWindowWhoseParentIsGoneNamesNoWindow) {
    const int a = OpenMenuWindow(16, 16, 0, 0, 0, 2);
    const int b = OpenMenuWindow(16, 16, 180, 16, a, 4);
    FreeObject(a);
    const int other = SpawnObject(0, 0, 1, 0, 0x10000002);  // may take the freed slot
    SetField(kPropWinCursor, other, 7);
    CloseWindow(b);
    EXPECT_EQ(GetCurrentWindow(), -1);
    EXPECT_EQ(GetWindowDepth(), 0);
    SetWindowField(kPropWinCursor, 3);
    EXPECT_EQ(GetWindowField(kPropWinCursor), 0);
    EXPECT_EQ(GetField(kPropWinCursor, other), 7);
}

TEST_F(WindowsTest, AParentOfMinusOneReadsAsSerialZero) {
    // Fill the pool so that an open fails and no window is current.
    while (SpawnObject(0, 0, 1, 0, 0x60000001) >= 0) {
    }
    EXPECT_EQ(OpenMenuWindow(0, 0, 0, 0, 0, 2), -1);
    EXPECT_EQ(GetCurrentWindow(), -1);
    FreeObject(kFirstObjectSlot);
    const int w = OpenMenuWindow(0, 0, 0, 0, GetCurrentWindow(), 2);
    ASSERT_GE(w, 0);
    EXPECT_EQ(GetField(kPropParent, w), -1);
    EXPECT_EQ(GetField(kPropParentSerial, w), 0);
    CloseWindow(w);
    EXPECT_EQ(GetCurrentWindow(), -1);
}

TEST_F(WindowsTest, ItemListFrameAndCursorBar) {
    ResetDrawList();
    DrawMenuItems(100, 50, 160, 164, 4, 2, false);
    bool frame = false, outline = false, bar = false;
    for (int r = kDrawListHeads; r < GetDrawRecordCount(); ++r) {
        const DrawRecord& d = GetDrawRecord(r);
        const int x1 = d.w[kDrawX], y1 = d.w[kDrawY], x2 = d.w[kDrawX2], y2 = d.w[kDrawY2];
        const uint32_t c = static_cast<uint32_t>(d.w[kDrawColor]);
        if (x1 == 92 && y1 == 42 && x2 == 268 && y2 == 120) {
            if (c == 0x3F1F0FCFu) frame = true;
            if (c == 0xFFFFFF7Fu) outline = true;
        }
        if (x1 == 92 && y1 == 82 && x2 == 268 && y2 == 96 && c == 0xFFCF7F7Fu) bar = true;
    }
    EXPECT_TRUE(frame);
    EXPECT_TRUE(outline);
    EXPECT_TRUE(bar);
}

TEST_F(WindowsTest, ItemGetMessageNumberIsBounded) {
    const struct {
        int n;
        int message;
    } cases[] = {{1, 0}, {96, 95}, {0, 0}, {-40, 0}, {97, 95}, {100000, 95}};
    for (const auto& c : cases) {
        const int w = OpenItemGetWindow(c.n);
        ASSERT_GE(w, 0);
        EXPECT_EQ(GetField(kPropWinValue, w), c.message) << c.n;
    }
}

TEST_F(WindowsTest, KindZeroDiesOnItsFirstRun) {
    const int w = OpenMenuWindow(0, 0, 0, 0, 0, 27);  // a row without a kind word
    ASSERT_GE(w, 0);
    DispatchWindowObject(w);
    EXPECT_NE(static_cast<uint32_t>(GetField(kPropFlags, w)) & kFlagDead, 0u);
}

// The mode select with settings words out of their ranges: the cursors and counts are clamped,
// so nothing divides by zero and the stage picture stays among the stage names.
struct ClampCase {
    int32_t difficulty, stage, third, stages52;
    int32_t d, s;
};

class ModeSelectClamps : public ::testing::TestWithParam<ClampCase> {};

TEST_P(ModeSelectClamps, SettingsOutOfRangeAreClampedAtUse) {
    const ClampCase c = GetParam();
    velmora_test::HarnessSettings settings;
    settings.words = {
        {kCfgOption38, c.difficulty}, {42, c.third}, {52, c.stages52}, {53, 0}, {54, 0}};
    velmora_test::GameHarness h(settings);
    ASSERT_EQ(h.Start(), 0);
    int w = -1;
    int32_t stageSprite = -1;
    h.RunScene(kSceneModeSelectStages, [&](velmora_test::Frame& f) {
        if (f.scene == 0) SetConfigVar(kCfgLastStage, c.stage);
        w = GetCurrentWindow();
        for (int r = kDrawListHeads; r < GetDrawRecordCount(); ++r) {
            const DrawRecord& d = GetDrawRecord(r);
            if (d.w[kDrawX] == 640 / 2 - 160 && d.w[kDrawY] == 480 / 4)
                stageSprite = d.w[kDrawSprite] & kSpriteIdMask;
        }
        if (f.scene == 3) f.Stop();
    });
    EXPECT_EQ(GetField(kPropWinValue, w), c.d);
    EXPECT_EQ(GetField(kPropWinCursor, w), c.s);
    EXPECT_GE(stageSprite, sprite::kStageName);
    EXPECT_LT(stageSprite, sprite::kStageName + 5);
}

INSTANTIATE_TEST_SUITE_P(Cases, ModeSelectClamps,
                         ::testing::Values(ClampCase{-4, -3, 0, 2, 0, 0},   // negative cursors
                                           ClampCase{9, 2, 1, 2, 2, 0},     // difficulty past three
                                           ClampCase{0, 1, 0, -7, 0, 0},    // negative stage count
                                           ClampCase{0, 9, 0, 99, 0, 0}));  // past five wraps

}  // namespace
}  // namespace velmora
