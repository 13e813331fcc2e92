// The last stage's arena played through the harness: the boss stage started by the test from
// the first stage's play, player 0 held unhurt by the harness's switch, the boss worn down by
// blasts the test lays on it (the player's own attacks), then the player walks to the area
// guard's light; the flow goes on through the tally and the result to the ending.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "game/core/config.h"
#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "game/core/object_pool.h"
#include "game/core/scenes.h"
#include "game/play/combat.h"
#include "game/play/game_flow.h"
#include "game/play/large_enemies.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "game/play/stage.h"
#include "tests/game/harness/autopilot.h"
#include "tests/game/harness/game_harness.h"

namespace velmora {
namespace {

using velmora_test::Frame;
using velmora_test::GameHarness;
using velmora_test::HarnessSettings;

struct BossRun {
    std::vector<int32_t> phases;
    velmora_test::ArenaWatch arena;
    int64_t arenaAt = -1;
    int32_t request = 0;
    int32_t difficulty = -1;
};

// One run; `difficulty` 0 easy (a short fight), 1 normal (the full one when no game was
// finished before). With `toTheEnding` false it ends once the guard is lit.
BossRun PlayArena(int difficulty, bool toTheEnding) {
    HarnessSettings settings;
    GameHarness h(settings);
    BossRun run;
    EXPECT_EQ(h.Start(), 0);
    bool started = false;
    h.Run([&](Frame& f) {
        const bool inGame = GetGameVar(0) == kMasterKind;
        if (!inGame) {
            if (run.phases.empty() && f.scene > 60 && f.scene % 30 == 0) f.Tap(kButtonShot);
            if (f.total > 60000) f.Stop();
            return;
        }
        const int32_t phase = GetGameVar(kGameVarPhase);
        if (!started && phase == kPhasePlay) {
            // The boss stage from its arena, as a checkpoint there would start it, at the
            // difficulty asked for and as the first game finished (a full fight when normal).
            SetConfigVar(kCfgArea, 1);
            SetConfigVar(kCfgNewGameCount, 0);
            SetGameVar(64, difficulty);
            SetConfigVar(kCfgRunFlags, GetConfigVar(kCfgRunFlags) & ~kRunStageChosen);
            SetGameVar(116, 4);
            SetGameVar(kGameVarPhase, kPhaseStageStart);
            SetGameVar(kGameVarPhaseTime, 0);
            started = true;
            run.arenaAt = f.total;
            run.difficulty = GetGameVar(64);
            return;
        }
        if (!started) return;
        if (run.phases.empty() || run.phases.back() != phase) run.phases.push_back(phase);
        if (GetGameVar(kGameVarSceneRequest) != 0) run.request = GetGameVar(kGameVarSceneRequest);
        velmora_test::HoldPlayerUnhurt(0);
        const uint32_t want = velmora_test::PlayArenaFrame(run.arena, f.total);
        f.Release(~want & (kButtonLeft | kButtonRight | kButtonUp | kButtonDown));
        if (want) f.Press(want);
        // Windows (the result) are confirmed.
        if ((phase == kPhaseResult || phase == kPhaseContinue || IsPaused()) && f.total % 20 == 0)
            f.Tap(kButtonShot);
        if (run.request == kRequestTitle || f.total > run.arenaAt + 8000) f.Stop();
        if (!toTheEnding && run.arena.guardDone) f.Stop();
    });
    return run;
}

TEST(BossRun, NormalDifficultyFightsBothPhasesToTheEnding) {
    const BossRun run = PlayArena(1, true);
    ASSERT_GT(run.arenaAt, 0);
    EXPECT_EQ(run.difficulty, 1);
    // Both phases: the hands' hub and the phase change, then the second form's hub.
    for (int32_t s : {0, 1, 2, 6, 7, 8, 18, 19}) EXPECT_TRUE(run.arena.bossStates.count(s)) << s;
    EXPECT_TRUE(run.arena.bossStates.count(20) || run.arena.bossStates.count(21) ||
                run.arena.bossStates.count(22) || run.arena.bossStates.count(23));
    EXPECT_GT(run.arena.bossGoneAt, 0);
    EXPECT_TRUE(run.arena.guardDone);
    ASSERT_FALSE(run.phases.empty());
    EXPECT_EQ(run.phases.back(), kPhaseEnding);
    EXPECT_EQ(run.request, kRequestTitle);
    // The guard's light ends the area; the last stage's tally is followed by its result.
    for (int32_t p : {kPhaseExitSpin, kPhaseTally, kPhaseResult}) {
        EXPECT_NE(std::find(run.phases.begin(), run.phases.end(), p), run.phases.end()) << p;
    }
}

TEST(BossRun, EasyDifficultyBossDiesAtTheEndOfThePhaseChange) {
    const BossRun run = PlayArena(0, false);
    ASSERT_GT(run.arenaAt, 0);
    EXPECT_EQ(run.difficulty, 0);
    EXPECT_TRUE(run.arena.bossStates.count(18));
    EXPECT_FALSE(run.arena.bossStates.count(19)) << "no second form in a short fight";
    EXPECT_EQ(run.arena.lastBossState, 18);
    EXPECT_GT(run.arena.bossGoneAt, 0);
    EXPECT_TRUE(run.arena.guardDone);
}

}  // namespace
}  // namespace velmora
