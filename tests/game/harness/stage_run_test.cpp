// The first stage played whole through the harness: from the title through mode select into the
// stage, player 0 steered along a path computed from the loaded stage to its clearing exit.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <queue>
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
#include "tests/game/harness/game_harness.h"

namespace velmora {
namespace {

using velmora_test::Frame;
using velmora_test::GameHarness;

struct Node {
    int area, x, y;
    bool operator==(const Node&) const = default;
};

// The way on foot from area 0's first entry to an exit that leaves the stage, cell by cell
// across the areas, over cells a player on the ground can stand on.
std::vector<Node> PlanRoute() {
    const StageRecord& r = GetStageRecord();
    auto word = [&](int area, int n) { return r.words[AreaBase(area) + n]; };
    auto cellOf = [&](const Node& n) {
        return static_cast<uint32_t>(word(n.area, 32 + n.x + n.y * word(n.area, 0)));
    };
    std::vector<std::vector<int>> from(12, std::vector<int>(4096, -2));
    std::vector<Node> nodes;
    std::queue<int> todo;
    auto push = [&](const Node& n, int parent) {
        const int w = word(n.area, 0), h = word(n.area, 1);
        if (n.x < 0 || n.y < 0 || n.x >= w || n.y >= h) return;
        int& seen = from[n.area][n.x + n.y * w];
        if (seen != -2 || (cellOf(n) & 0x33)) return;
        seen = parent;
        nodes.push_back(n);
        todo.push(static_cast<int>(nodes.size()) - 1);
    };
    auto entry = [&](int area, int e) {
        const int32_t v = word(area, kAreaWordEntries + e);
        return Node{area, v >> 16, v & 0xffff};
    };
    push(entry(0, 0), -1);
    while (!todo.empty()) {
        const int i = todo.front();
        todo.pop();
        const Node n = nodes[i];
        const uint32_t cell = cellOf(n);
        const int index = (cell >> kCellObjectShift) & 0xff;
        const int variant = (cell >> kCellVariantShift) & 0x7f;
        if (!(cell & kCellSpawn) && index == 2 && variant >= 1) {
            if (variant - 1 >= 8) {
                std::vector<Node> route;
                for (int k = i; k >= 0;
                     k = from[nodes[k].area][nodes[k].x + nodes[k].y * word(nodes[k].area, 0)])
                    route.push_back(nodes[k]);
                std::reverse(route.begin(), route.end());
                return route;
            }
            const int target = word(n.area, kAreaWordExits + 2 * (variant - 1));
            if (target >= 0 && target < 12 && word(target, 0) > 0)
                push(entry(target, word(n.area, kAreaWordExits + 1 + 2 * (variant - 1)) & 7), i);
            continue;
        }
        for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}})
            push(Node{n.area, n.x + dx, n.y + dy}, i);
    }
    return {};
}

// The buttons that walk player 0 from where it stands to the next cell of the route: the body
// is kept inside one cell's band, one axis at a time.
uint32_t Steer(const std::vector<Node>& route, size_t* at) {
    int32_t x, y;
    GetPlayerPosition(0, &x, &y);
    const Node here{GetCurrentArea(), (x + 16) / 32, (y + 16) / 32};
    for (size_t k = *at; k < route.size(); ++k) {
        if (route[k] == here) {
            *at = k;
            break;
        }
    }
    if (*at + 1 >= route.size() || route[*at + 1].area != here.area) return 0;
    const Node& next = route[*at + 1];
    const int32_t dx = next.x * 32 - x, dy = next.y * 32 - 6 - y;
    const bool horizontal = next.x != route[*at].x;
    uint32_t word = 0;
    if (horizontal) {
        if (dy > 3) return kButtonDown;
        if (dy < -3) return kButtonUp;
        word = dx > 0 ? kButtonRight : kButtonLeft;
    } else {
        if (dx > 2) return kButtonRight;
        if (dx < -2) return kButtonLeft;
        word = dy > 0 ? kButtonDown : kButtonUp;
    }
    return word;
}

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
    std::vector<Node> route;
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
            route = PlanRoute();
            rec.routeLength = route.size();
        }
        uint32_t want = 0;
        if (phase == kPhasePlay || phase == kPhaseTimeOver) want = Steer(route, &at);
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
        if (playFrom < 0 && GetGameVar(26) == kPhasePlay) playFrom = f.total;
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
