// The title and mode select, run whole through the harness.
#include <gtest/gtest.h>

#include <vector>

#include "game/core/config.h"
#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "game/core/main_loop.h"
#include "game/core/object_pool.h"
#include "game/core/scenes.h"
#include "game/frontend/windows.h"
#include "platform/testing.h"
#include "tests/game/harness/game_harness.h"

namespace velmora {
namespace {

using velmora_test::Frame;
using velmora_test::GameHarness;
using velmora_test::HarnessSettings;

TEST(TitleRun, DownThenConfirmPostsTheModeSelectRequest31FramesLater) {
    GameHarness h;
    ASSERT_EQ(h.Start(), 0);
    int requestFrame = -1;
    int cursorAfterDown = -1;
    int32_t nextScene = -99;
    h.Run([&](Frame& f) {
        if (f.total == 1) {
            EXPECT_EQ(f.scene, 0);
        }
        if (f.scene == 5 && f.total < 100) f.Tap(kButtonDown);
        if (f.scene == 6 && f.total < 100)
            cursorAfterDown = GetField(kPropWinCursor, GetCurrentWindow());
        if (f.scene == 61 && f.total < 100) f.Tap(kButtonShot);
        if (requestFrame < 0 && GetGameVar(kGameVarSceneRequest) == kRequestScene)
            requestFrame = f.scene - 1;  // posted in the frame before this one
        if (requestFrame > 0 && f.scene == 1) {
            nextScene = GetConfigVar(kCfgRunFlags);
            f.Stop();
        }
    });
    // Items 0, 5, 6, 7 on a 640-pixel screen: down from 0 lands on 5.
    EXPECT_EQ(cursorAfterDown, 5);
    EXPECT_EQ(requestFrame, 61 + 31);
    EXPECT_EQ(nextScene, 9);  // item 5 makes scene code 9
}

TEST(TitleRun, CancelJumpsToQuitAndAConfirmLeavesFor11) {
    GameHarness h;
    ASSERT_EQ(h.Start(), 0);
    int cursorAfterCancel = -1;
    const int32_t result = h.RunScene(kSceneTitle, [&](Frame& f) {
        if (f.scene == 62) f.Tap(kButtonSubAction);
        if (f.scene == 63) {
            cursorAfterCancel = GetField(kPropWinCursor, GetCurrentWindow());
            EXPECT_EQ(GetGameVar(kGameVarSceneRequest), 0);  // cancel alone does not quit
        }
        if (f.scene == 64) f.Tap(kButtonShot);
    });
    EXPECT_EQ(cursorAfterCancel, 7);
    EXPECT_EQ(result, kSceneEnd);
}

TEST(TitleRun, ConfirmBeforeThe61stFrameDoesNothing) {
    GameHarness h;
    ASSERT_EQ(h.Start(), 0);
    int32_t confirmedAt59 = -1;
    h.RunScene(kSceneTitle, [&](Frame& f) {
        if (f.scene == 59) f.Tap(kButtonShot);
        if (f.scene == 60) confirmedAt59 = GetField(kPropWinConfirmed, GetCurrentWindow());
        if (f.scene == 62) f.Stop();
    });
    EXPECT_EQ(confirmedAt59, 0);
}

TEST(TitleRun, HiddenItemsAreSkippedAndTheLastStageStartsOnContinue) {
    HarnessSettings s;
    s.words = {{kCfgLastStage, 2}};
    GameHarness h(s);
    ASSERT_EQ(h.Start(), 0);
    std::vector<int32_t> cursors;
    h.RunScene(kSceneTitle, [&](Frame& f) {
        const int w = GetCurrentWindow();
        if (f.scene == 1) {
            cursors.push_back(GetField(kPropWinCursor, w));
            EXPECT_EQ(GetField(kPropWinValue, w), 0xc1 | 0x2 | 0x20);
        }
        if (f.scene == 2 || f.scene == 4 || f.scene == 6) f.Tap(kButtonDown);
        if (f.scene == 8) f.Tap(kButtonUp);
        if (f.scene == 3 || f.scene == 5 || f.scene == 7 || f.scene == 9)
            cursors.push_back(GetField(kPropWinCursor, w));
        if (f.scene == 9) f.Stop();
    });
    EXPECT_EQ(cursors, (std::vector<int32_t>{1, 5, 6, 7, 6}));
}

// Heard on the stepped mixer, a frame's worth of samples a frame: the title's opening sounds at
// once, then its music from frame 30 on.
TEST(TitleRun, OpeningSoundsThenMusic) {
    plat::testing::UseSteppedMixer(true);
    GameHarness h;
    plat::testing::UseSteppedMixer(true);
    ASSERT_EQ(h.Start(), 0);
    std::vector<double> energy;  // mean square per frame
    h.RunScene(kSceneTitle, [&](Frame& f) {
        const std::vector<int16_t> s = plat::testing::StepMixer(735);
        double sum = 0;
        for (int16_t v : s) sum += static_cast<double>(v) * v;
        energy.push_back(s.empty() ? 0 : sum / static_cast<double>(s.size()));
        if (f.scene == 160) f.Stop();
    });
    ASSERT_GE(energy.size(), 160u);
    auto loud = [&](int from, int to) {
        int n = 0;
        for (int i = from; i < to; ++i) n += energy[i] > 1000.0;  // RMS above about 32
        return n;
    };
    EXPECT_GT(loud(1, 10), 5);     // the opening effects
    EXPECT_GT(loud(60, 160), 90);  // the music plays on
}

TEST(ModeSelectRun, ConfirmStartsANewGameWithTheChoices) {
    struct Case {
        int32_t scene;
        int32_t next;
        int32_t stage;
    };
    const Case cases[] = {{kSceneModeSelect, kSceneNewGame, 0},
                          {kSceneModeSelectStages, kSceneNewGame | kRunStageChosen, 1}};
    HarnessSettings s;
    s.words = {{52, 3}, {53, 3}, {kCfgOption38, 0}};
    GameHarness h(s);
    ASSERT_EQ(h.Start(), 0);
    for (const Case& c : cases) {
        SetConfigVar(kCfgLastStage, 0);
        SetConfigVar(kCfgOption38, 0);
        const int32_t result = h.RunScene(c.scene, [&](Frame& f) {
            if (f.scene == 3) f.Tap(kButtonDown);
            if (f.scene == 5) f.Tap(kButtonRight);
            if (f.scene == 7) f.Tap(kButtonShot);
        });
        EXPECT_EQ(result, c.next) << c.scene;
        EXPECT_EQ(GetConfigVar(kCfgStartStage), c.stage) << c.scene;
        EXPECT_EQ(GetConfigVar(kCfgDifficulty), 1) << c.scene;
    }
}

}  // namespace
}  // namespace velmora
