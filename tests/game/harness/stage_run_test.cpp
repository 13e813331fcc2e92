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
    int32_t stage;
};

// What one stage's tally saw.
struct TallyMark {
    int32_t stage = -1;
    int32_t scoreBefore = -1, scoreAfter = -1;
    int32_t time = -1, lives = -1, difficulty = -1, drops = -1;
    bool plainHit = true;
};

struct RunRecord {
    std::vector<PhaseMark> phases;
    std::vector<TallyMark> tallies;
    int32_t stageAfter = -1;
    size_t routeLength = 0;  // the first route planned
    velmora_test::ArenaWatch arena;
    int32_t request = 0;
    int64_t frames = 0;
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
// then stage by stage: player 0 steered along a route to each stage's goal (planned again at its
// end, so a switch on the way is stepped on first), through the tallies, the roulettes and the
// result talks, until the start of stage `untilStage`, or to the ending and the title's request
// after the last. The last stage's route leads into its arena (area 1), which the arena script
// plays with player 0 held unhurt; with `unhurt` it is held so in every stage.
RunRecord PlayStages(GameHarness& h, bool pad, int32_t untilStage, bool unhurt) {
    RunRecord rec;
    std::vector<velmora_test::RouteNode> route;
    size_t at = 0;
    Hands hands(pad);
    h.Run([&](Frame& f) {
        hands.EndTap(f);
        rec.frames = f.total;
        const bool inGame = GetGameVar(0) == kMasterKind;
        if (!inGame) {
            if (rec.phases.empty() && f.scene > 60 && f.scene % 30 == 0) hands.TapShot(f);
            if (f.total > 3000 && rec.phases.empty()) f.Stop();
            return;
        }
        const int32_t phase = GetGameVar(kGameVarPhase);
        const int32_t stage = GetGameVar(kGameVarStage);
        if (rec.phases.empty() || rec.phases.back().phase != phase) {
            rec.phases.push_back({phase, f.total, stage});
            if (phase == kPhaseTally) {
                TallyMark t;
                t.stage = stage;
                t.scoreBefore = GetGameVar(kGameVarScore0);
                t.time = GetGameVar(kGameVarTimeLeft);
                t.drops = GetGameVar(kGameVarDropsTaken);
                t.difficulty = GetGameVar(kGameVarDifficulty);
                t.plainHit =
                    static_cast<uint32_t>(GetGameVar(kGameVarMasterFlags)) & kMasterPlainHit;
                rec.tallies.push_back(t);
            }
            if (phase != kPhaseTally && !rec.tallies.empty() && rec.tallies.back().scoreAfter < 0)
                rec.tallies.back().scoreAfter = GetGameVar(kGameVarScore0);
            if (phase == kPhaseStageStart && stage >= untilStage) {
                rec.stageAfter = stage;
                f.Stop();
            }
            if (phase == kPhaseStageStart) route.clear();
        }
        // The lives the tally counts at its frame 60 (an extra life may come with the time bonus).
        if (phase == kPhaseTally && GetGameVar(kGameVarPhaseTime) <= 60)
            rec.tallies.back().lives = GetGameVar(kGameVarLives);
        if (GetGameVar(kGameVarSceneRequest) != 0) rec.request = GetGameVar(kGameVarSceneRequest);
        if (rec.request == kRequestTitle) f.Stop();
        uint32_t want = 0;
        if (stage == 4 && GetCurrentArea() == 1 && phase != kPhaseStageStart) {
            velmora_test::HoldPlayerUnhurt(0);
            want = velmora_test::PlayArenaFrame(rec.arena, f.total);
        } else if (phase == kPhasePlay || phase == kPhaseTimeOver) {
            if (unhurt) velmora_test::HoldPlayerUnhurt(0);
            want = velmora_test::SteerAlong(route, &at);
            if (want == 0 && phase == kPhasePlay && !IsPaused()) {
                // At the route's end (or none yet): the way on from here.
                route = velmora_test::PlanRoute(stage == 4 ? 1 : -1);
                at = 0;
                if (rec.routeLength == 0) rec.routeLength = route.size();
                want = velmora_test::SteerAlong(route, &at);
            }
        }
        if (want != hands.Held()) hands.Hold(f, want);
        // Windows are confirmed: the result talk, the roulette, and an item-get notice, which
        // holds play until SHOT.
        if ((phase == kPhaseResult || IsPaused()) && f.total % 20 == 0) hands.TapShot(f);
        if (f.total > 40000 || phase == kPhaseTimeOver || phase == kPhaseAllOut) f.Stop();
    });
    return rec;
}

// Stage 0 alone, up to stage 1's start.
RunRecord PlayFirstStage(GameHarness& h, bool pad) {
    return PlayStages(h, pad, 1, false);
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

// A lone player's tally: whole seconds left x 300 (a third on easy), lives x 500, the drops
// taken x 10 and 1000 without plain hits.
void ExpectTallyBonus(const TallyMark& t) {
    int32_t timeBonus = t.time / 60 * 300;
    if (t.difficulty == 0) timeBonus /= 3;
    EXPECT_EQ(t.scoreAfter - t.scoreBefore,
              timeBonus + t.lives * 500 + t.drops * 10 + (t.plainHit ? 0 : 1000))
        << t.stage;
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
    // Area changes: exit, iris, play; and a life lost on the way (a walker that goes off beside
    // the player reaches it with its first ring at once), after which play goes on.
    for (size_t i = 3; i + 5 < phases.size(); ++i)
        EXPECT_TRUE(phases[i] == kPhaseExit || phases[i] == kPhaseExitSpin ||
                    phases[i] == kPhaseIrisOpen || phases[i] == kPhasePlay ||
                    (phases[i] == kPhaseLifeLost && phases[i + 1] == kPhasePlay))
            << phases[i];
    EXPECT_EQ(FramesIn(rec, kPhaseIrisOpen), 42);
    EXPECT_EQ(FramesIn(rec, kPhaseTally), 481);
    // An exit is taken during the object walk, so the flow's first frame of it runs before the
    // script can see it: 41 frames seen of the 42 (t = 0 .. 41).
    EXPECT_EQ(
        FramesIn(rec, kPhaseExit) > 0 ? FramesIn(rec, kPhaseExit) : FramesIn(rec, kPhaseExitSpin),
        41);
    EXPECT_EQ(rec.stageAfter, 1);
    ASSERT_EQ(rec.tallies.size(), 1u);
    EXPECT_FALSE(rec.tallies[0].plainHit);
    ExpectTallyBonus(rec.tallies[0]);
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

// A new game from the title (normal difficulty, the first game finished, so the boss fights
// its full fight) through all five stages: each cleared and tallied, the roulette and the
// result talk after the first four, the last stage's result and the ending, then the title's
// request. Player 0 is held unhurt: the run is the flow from stage to stage, not the combat.
TEST(StageRun, NewGameThroughEveryStageToTheEnding) {
    GameHarness h;
    ASSERT_EQ(h.Start(), 0);
    const RunRecord rec = PlayStages(h, false, 5, true);
    std::vector<int32_t> tallied, scores;
    for (const TallyMark& t : rec.tallies) {
        tallied.push_back(t.stage);
        scores.push_back(t.scoreAfter);
        EXPECT_EQ(t.difficulty, 1);
        ExpectTallyBonus(t);
    }
    EXPECT_EQ(tallied, (std::vector<int32_t>{0, 1, 2, 3, 4}));
    // Every stage has two areas: play, its exit, the next area's iris and play, the goal (or
    // the arena's guard light), the tally, then the roulette (continue) and the result talk;
    // after the last tally the result and the ending.
    std::vector<int32_t> expected;
    for (int stage = 0; stage < 5; ++stage) {
        for (int32_t p : {kPhaseStageStart, kPhaseIrisOpen, kPhasePlay, kPhaseExit, kPhaseIrisOpen,
                          kPhasePlay, kPhaseExitSpin, kPhaseTally})
            expected.push_back(p);
        if (stage < 4) expected.push_back(kPhaseContinue);
        expected.push_back(kPhaseResult);
    }
    expected.push_back(kPhaseEnding);
    EXPECT_EQ(PhasesOf(rec), expected);
    EXPECT_EQ(scores, (std::vector<int32_t>{52900, 112600, 175600, 248600, 434678}));
    EXPECT_EQ(rec.request, kRequestTitle);
    EXPECT_GT(rec.arena.bossGoneAt, 0);
    EXPECT_TRUE(rec.arena.bossStates.count(19)) << "the second form";
    EXPECT_LT(rec.frames, 14000);
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
            timeWhilePaused = GetGameVar(kGameVarTimeLeft);
        }
        if (pausedAt > 0 && resumedAt < 0 && f.total < pausedAt + 60) {
            stayedPaused =
                stayedPaused && IsPaused() && GetGameVar(kGameVarTimeLeft) == timeWhilePaused;
        }
        if (pausedAt > 0 && f.total == pausedAt + 60) f.Tap(kButtonShot);
        if (pausedAt > 0 && resumedAt < 0 && !IsPaused()) resumedAt = f.total;
        if (resumedAt > 0 && f.total == resumedAt + 10) {
            EXPECT_LT(GetGameVar(kGameVarTimeLeft), timeWhilePaused);  // the clock runs again
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
