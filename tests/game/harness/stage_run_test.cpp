// The first stage played whole through the harness: from the title through mode select into the
// stage, player 0 steered along a path computed from the loaded stage to its clearing exit.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "game/core/config.h"
#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "game/core/object_pool.h"
#include "game/core/scenes.h"
#include "game/play/combat.h"
#include "game/play/game_flow.h"
#include "game/play/players.h"
#include "game/play/stage.h"
#include "platform/testing.h"
#include "tests/game/harness/autopilot.h"
#include "tests/game/harness/game_harness.h"

namespace velmora {
namespace {

using velmora_test::Frame;
using velmora_test::GameHarness;

struct PhaseMark {
    int32_t phase;
    int64_t frame;
};

struct RunRecord {
    std::vector<PhaseMark> phases;
    int32_t scoreBeforeTally = -1, scoreAfterTally = -1;
    int32_t timeAtTally = -1, livesAtTally = -1, difficulty = -1;
    bool plainHit = true;
    int32_t stageAfter = -1;
    size_t routeLength = 0;
};

// Buttons through the keyboard (the harness's keys) or through a virtual pad: the left stick for
// the directions, button A for SHOT (pad button 0, the first assignment).
class Hands {
public:
    explicit Hands(bool pad) : pad_(pad) {}
    void Hold(Frame& f, uint32_t want) {
        if (!pad_) {
            f.Release(held_ & ~want);
            f.Press(want);
        } else {
            const int x = (want & kButtonLeft) ? -32768 : (want & kButtonRight) ? 32767 : 0;
            const int y = (want & kButtonUp) ? -32768 : (want & kButtonDown) ? 32767 : 0;
            plat::testing::SetVirtualPadAxis(0, SDL_CONTROLLER_AXIS_LEFTX, x);
            plat::testing::SetVirtualPadAxis(0, SDL_CONTROLLER_AXIS_LEFTY, y);
            plat::testing::SetVirtualPadButton(0, SDL_CONTROLLER_BUTTON_A,
                                               (want & kButtonShot) != 0);
        }
        held_ = want;
    }
    // SHOT for this frame only.
    void TapShot(Frame& f) {
        if (!pad_) {
            f.Tap(kButtonShot);
            return;
        }
        Hold(f, held_ | kButtonShot);
        tapped_ = true;
    }
    void EndTap(Frame& f) {
        if (tapped_) Hold(f, held_ & ~kButtonShot);
        tapped_ = false;
    }
    uint32_t Held() const { return held_; }

private:
    bool pad_;
    bool tapped_ = false;
    uint32_t held_ = 0;
};

// From the title (first item) through mode select (SHOT on each of its choices) into stage 0,
// steered to its clearing exit, through the tally, the roulette and result stand-ins, into the
// next stage's start.
RunRecord PlayFirstStage(GameHarness& h, bool pad) {
    RunRecord rec;
    std::vector<velmora_test::RouteNode> route;
    size_t at = 0;
    Hands hands(pad);
    h.Run([&](Frame& f) {
        hands.EndTap(f);
        const bool inGame = GetGameVar(0) == kMasterKind;
        if (!inGame) {
            if (f.scene > 60 && f.scene % 30 == 0) hands.TapShot(f);
            if (f.total > 3000) f.Stop();
            return;
        }
        const int32_t phase = GetGameVar(26);
        if (rec.phases.empty() || rec.phases.back().phase != phase) {
            rec.phases.push_back({phase, f.total});
            if (phase == kPhaseTally) {
                rec.scoreBeforeTally = GetGameVar(96);
                rec.timeAtTally = GetGameVar(120);
                rec.livesAtTally = GetGameVar(100);
                rec.difficulty = GetGameVar(64);
                rec.plainHit = static_cast<uint32_t>(GetGameVar(25)) & kMasterPlainHit;
            }
            if (phase == kPhaseContinue) rec.scoreAfterTally = GetGameVar(96);
            if (phase == kPhaseStageStart && rec.phases.size() > 1) {
                rec.stageAfter = GetGameVar(116);
                f.Stop();
            }
        }
        if (phase == kPhasePlay && route.empty()) {
            route = velmora_test::PlanRoute();
            rec.routeLength = route.size();
        }
        uint32_t want = 0;
        if (phase == kPhasePlay || phase == kPhaseTimeOver)
            want = velmora_test::SteerAlong(route, &at);
        if (want != hands.Held()) hands.Hold(f, want);
        if (phase == kPhaseResult && f.total % 20 == 0) hands.TapShot(f);
        // A first sight of a stage object's kind brings its item-get notice, which holds play
        // until SHOT.
        if (phase == kPhasePlay && IsPaused() && f.total % 20 == 0) hands.TapShot(f);
        if (f.total > 20000) f.Stop();
    });
    return rec;
}

std::vector<int32_t> PhasesOf(const RunRecord& rec) {
    std::vector<int32_t> out;
    for (const PhaseMark& m : rec.phases) out.push_back(m.phase);
    return out;
}

int64_t FramesIn(const RunRecord& rec, int32_t phase) {
    for (size_t i = 0; i + 1 < rec.phases.size(); ++i)
        if (rec.phases[i].phase == phase) return rec.phases[i + 1].frame - rec.phases[i].frame;
    return -1;
}

void ExpectClearedFirstStage(const RunRecord& rec) {
    ASSERT_GT(rec.routeLength, 1u);
    const std::vector<int32_t> phases = PhasesOf(rec);
    ASSERT_GE(phases.size(), 7u);
    EXPECT_EQ(std::vector<int32_t>(phases.begin(), phases.begin() + 3),
              (std::vector<int32_t>{kPhaseStageStart, kPhaseIrisOpen, kPhasePlay}));
    EXPECT_EQ(std::vector<int32_t>(phases.end() - 4, phases.end()),
              (std::vector<int32_t>{kPhaseTally, kPhaseContinue, kPhaseResult, kPhaseStageStart}));
    const int32_t exitPhase = phases[phases.size() - 5];
    EXPECT_TRUE(exitPhase == kPhaseExit || exitPhase == kPhaseExitSpin) << exitPhase;
    for (size_t i = 3; i + 5 < phases.size(); ++i)  // area changes: exit, iris, play
        EXPECT_TRUE(phases[i] == kPhaseExit || phases[i] == kPhaseExitSpin ||
                    phases[i] == kPhaseIrisOpen || phases[i] == kPhasePlay)
            << phases[i];
    EXPECT_EQ(FramesIn(rec, kPhaseIrisOpen), 42);
    EXPECT_EQ(FramesIn(rec, kPhaseTally), 481);
    // An exit is taken during the object walk, so the flow's first frame of it runs before the
    // script can see it: 41 frames seen of the 42 (t = 0 .. 41).
    EXPECT_EQ(
        FramesIn(rec, kPhaseExit) > 0 ? FramesIn(rec, kPhaseExit) : FramesIn(rec, kPhaseExitSpin),
        41);
    EXPECT_EQ(rec.stageAfter, 1);
    // A lone player without plain hits: whole seconds left x 300, lives x 500 and 1000.
    EXPECT_FALSE(rec.plainHit);
    int32_t timeBonus = rec.timeAtTally / 60 * 300;
    if (rec.difficulty == 0) timeBonus /= 3;
    EXPECT_EQ(rec.scoreAfterTally - rec.scoreBeforeTally,
              timeBonus + rec.livesAtTally * 500 + 1000);
}

TEST(StageRun, FirstStageFromTheTitleToTheNextWithKeys) {
    GameHarness h;
    ASSERT_EQ(h.Start(), 0);
    ExpectClearedFirstStage(PlayFirstStage(h, false));
}

TEST(StageRun, FirstStageFromTheTitleToTheNextWithAPad) {
    GameHarness h;
    plat::testing::AddVirtualPads(1, plat::testing::kVirtualPadController);
    ASSERT_EQ(h.Start(), 0);
    ExpectClearedFirstStage(PlayFirstStage(h, true));
}

// MENU in play opens the pause menu and holds the game; SHOT on it lets play go on.
TEST(StageRun, PauseHoldsPlayUntilShot) {
    GameHarness h;
    ASSERT_EQ(h.Start(), 0);
    int64_t playFrom = -1, pausedAt = -1, resumedAt = -1;
    int32_t timeWhilePaused = -1;
    bool stayedPaused = true;
    h.Run([&](Frame& f) {
        if (GetGameVar(0) != kMasterKind) {
            if (f.scene > 60 && f.scene % 30 == 0) f.Tap(kButtonShot);
            if (f.total > 3000) f.Stop();
            return;
        }
        if (playFrom < 0 && GetGameVar(26) == kPhasePlay) {
            playFrom = f.total;
            // Every icon owned: no item-get notice holds play in place of the pause.
            SetGameVar(kGameVarIconsOwned, -1);
        }
        if (playFrom < 0) return;
        if (f.total == playFrom + 40) f.Tap(kButtonMenu);
        if (pausedAt < 0 && IsPaused()) {
            pausedAt = f.total;
            timeWhilePaused = GetGameVar(120);
        }
        if (pausedAt > 0 && resumedAt < 0 && f.total < pausedAt + 60) {
            stayedPaused = stayedPaused && IsPaused() && GetGameVar(120) == timeWhilePaused;
        }
        if (pausedAt > 0 && f.total == pausedAt + 60) f.Tap(kButtonShot);
        if (pausedAt > 0 && resumedAt < 0 && !IsPaused()) resumedAt = f.total;
        if (resumedAt > 0 && f.total == resumedAt + 10) {
            EXPECT_LT(GetGameVar(120), timeWhilePaused);  // the clock runs again
            EXPECT_TRUE(GetConfigVar(kCfgRunFlags) & kRunInPlay);
            f.Stop();
        }
        if (f.total > playFrom + 400) f.Stop();
    });
    EXPECT_GT(pausedAt, playFrom);
    EXPECT_TRUE(stayedPaused);
    EXPECT_GT(resumedAt, pausedAt + 60);
    EXPECT_LT(resumedAt, pausedAt + 64);
}

}  // namespace
}  // namespace velmora
