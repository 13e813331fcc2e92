// The title and mode select, run whole through the harness.
#include <gtest/gtest.h>

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
    std::printf("frames %lld\n", static_cast<long long>(GetTotalFrames()));
    // Items 0, 5, 6, 7 on a 640-pixel screen: down from 0 lands on 5.
    EXPECT_EQ(cursorAfterDown, 5);
    EXPECT_EQ(requestFrame, 61 + 31);
    EXPECT_EQ(nextScene, 9);  // item 5 makes scene code 9
}

}  // namespace
}  // namespace velmora
