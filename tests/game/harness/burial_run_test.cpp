// A burial played in the real game: into the first built-in stage from the title, player 0 digs
// a hole in front of itself, a walker of the stage walks into it and is held, the player fills
// it in, and then walks onto the buried leaf, whose blasts are the player's.
#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "game/core/object_pool.h"
#include "game/play/combat.h"
#include "game/play/game_flow.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "game/play/stage.h"
#include "game/play/stage_devices.h"
#include "game/play/stage_objects.h"
#include "tests/game/harness/game_harness.h"

namespace velmora {
namespace {

using velmora_test::Frame;
using velmora_test::GameHarness;

constexpr int32_t kWalkerKind = 0x30000000 | kTypeWalker;

bool Alive(int s) {
    return s > 0 && GetField(kPropKind, s) == kWalkerKind &&
           !(static_cast<uint32_t>(GetField(kPropFlags, s)) & kFlagDead);
}

int FindPlainWalker() {
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s)
        if (Alive(s) && (GetField(kPropVariant, s) & 0x3f) < 2 && GetField(kPropZ, s) == 0 &&
            !(static_cast<uint32_t>(GetField(kPropFlags, s)) & kFlagCaught))
            return s;
    return 0;
}

int FindBuriedLeaf(int32_t x, int32_t y) {
    for (int o = kFirstObjectSlot; o <= kLastObjectSlot; ++o)
        if (GetField(kPropKind, o) == (0x30000000 | kTypeBuriedLeaf) &&
            !(static_cast<uint32_t>(GetField(kPropFlags, o)) & kFlagDead) &&
            GetField(kPropX, o) == x && GetField(kPropY, o) == y)
            return o;
    return 0;
}

int CountWalkers() {
    int n = 0;
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s)
        if (Alive(s)) ++n;
    return n;
}

struct BurialRecord {
    bool reachedPlay = false, dug = false, caught = false, buried = false, blasted = false;
    int32_t fillFromDistanceSq = 0;
    int32_t burialPoints = -1, blastPoints = -1, chain = 0;
    int walkersBefore = 0, walkersAfter = 0;
    std::vector<int32_t> phasesSeen;
};

BurialRecord PlayBurial(GameHarness& h) {
    BurialRecord rec;
    enum Step { kToPlay, kFace, kDig, kBackOff, kLure, kHeld, kFill, kWalkOn, kAfter, kDone };
    Step step = kToPlay;
    int64_t stepFrom = 0;
    int walker = 0;
    int32_t holeX = 0, holeY = 0, score = 0;
    auto go = [&](Step s, const Frame& f) {
        step = s;
        stepFrom = f.total;
    };
    h.Run([&](Frame& f) {
        if (f.total > 8000) f.Stop();
        if (GetGameVar(0) != kMasterKind) {
            if (f.scene > 60 && f.scene % 30 == 0) f.Tap(kButtonShot);
            return;
        }
        const int32_t phase = GetGameVar(kGameVarPhase);
        if (step != kToPlay && (rec.phasesSeen.empty() || rec.phasesSeen.back() != phase))
            rec.phasesSeen.push_back(phase);
        const int64_t t = f.total - stepFrom;
        switch (step) {
            case kToPlay:
                if (phase != kPhasePlay) return;
                rec.reachedPlay = true;
                rec.phasesSeen.push_back(phase);
                SetGameVar(kGameVarIconsOwned, -1);  // no item-get notices in the way
                go(kFace, f);
                f.Press(kButtonRight);
                return;
            case kFace:
                if (t < 2) return;
                f.Release(kButtonRight);
                go(kDig, f);
                return;
            case kDig: {
                if (t == 4) f.Tap(kButtonSubAction);
                int32_t x, y;
                GetPlayerPosition(0, &x, &y);
                holeX = (x + 32 + 16) / 32 * 32;
                holeY = (y + 8 + 16) / 32 * 32;
                if (t > 4 && (GetCellAtPixel(holeX, holeY) & kCellHole)) {
                    rec.dug = true;
                    go(kBackOff, f);
                    f.Press(kButtonDirection | kButtonLeft);
                }
                if (t > 60) f.Stop();
                return;
            }
            case kBackOff: {
                // A leaf held in its hole still looks round: step back out of its sight (32 px)
                // without turning, keeping the hole in front.
                int32_t x, y;
                GetPlayerPosition(0, &x, &y);
                if (DistanceSq(x, y, holeX, holeY) >= 34 * 34 || t > 30) {
                    f.Release(kButtonDirection | kButtonLeft);
                    go(kLure, f);
                }
                return;
            }
            case kLure:
                // The nearest plain walker of the stage is set walking toward the hole from
                // two cells beyond it: the rest is the game's.
                walker = FindPlainWalker();
                if (!walker) {
                    f.Stop();
                    return;
                }
                SetPosition3(holeX + 64, holeY, 0, walker);
                SetField(kPropVelX, walker, 0);
                SetField(kPropVelY, walker, 0);
                SetField(kPropDirection, walker, 3);
                SetField(kPropSpeed, walker, 1);
                SetField(28, walker, 96);
                SetField(46, walker, 0);
                go(kHeld, f);
                return;
            case kHeld:
                if (Alive(walker) &&
                    (static_cast<uint32_t>(GetField(kPropFlags, walker)) & kFlagCaught)) {
                    rec.caught = true;
                    score = GetGameVar(kGameVarScore0);
                    go(kFill, f);
                }
                if (t > 200) f.Stop();
                return;
            case kFill:
                if (t == 10) {
                    int32_t x, y;
                    GetPlayerPosition(0, &x, &y);
                    rec.fillFromDistanceSq = DistanceSq(x, y, holeX, holeY);
                    f.Tap(kButtonSubAction);
                }
                if (t > 10 && !Alive(walker)) {
                    rec.buried = FindBuriedLeaf(holeX, holeY) > 0;
                    rec.burialPoints = GetGameVar(kGameVarScore0) - score;
                    // Walkers beside the buried leaf, for its blasts to find.
                    for (auto [dx, dy] : {std::pair{0, 32}, {0, -32}, {32, 0}, {32, 32}}) {
                        const int w = SpawnStageObject(holeX + dx, holeY + dy, 9, kTypeWalker);
                        if (w > 0) SetField(58, w, 1000);  // blinking: they see nobody
                    }
                    rec.walkersBefore = CountWalkers();
                    score = GetGameVar(kGameVarScore0);
                    go(kWalkOn, f);
                }
                if (t > 60) f.Stop();
                return;
            case kWalkOn:
                if (t == 1) f.Press(kButtonRight);
                if (!FindBuriedLeaf(holeX, holeY)) {
                    f.Release(kButtonRight);
                    rec.blasted = true;
                    go(kAfter, f);
                }
                if (t > 120) f.Stop();
                return;
            case kAfter:
                rec.chain = std::max(rec.chain, GetGameVar(110));
                if (t == 60) {
                    rec.walkersAfter = CountWalkers();
                    rec.blastPoints = GetGameVar(kGameVarScore0) - score;
                    go(kDone, f);
                    f.Stop();
                }
                return;
            case kDone:
                return;
        }
    });
    return rec;
}

TEST(BurialRun, ADugHoleCatchesAWalkerTheFillBuriesItAndItsLeafBlastsForThePlayer) {
    GameHarness h;
    ASSERT_EQ(h.Start(), 0);
    const BurialRecord rec = PlayBurial(h);
    ASSERT_TRUE(rec.reachedPlay);
    ASSERT_TRUE(rec.dug);
    ASSERT_TRUE(rec.caught);
    ASSERT_TRUE(rec.buried);
    EXPECT_GE(rec.fillFromDistanceSq, 32 * 32);  // filled from outside the held leaf's sight
    EXPECT_EQ(rec.burialPoints, 10);             // filled well before its last 60 frames
    ASSERT_TRUE(rec.blasted);
    EXPECT_LT(rec.walkersAfter, rec.walkersBefore);
    EXPECT_GT(rec.blastPoints, 0);
    EXPECT_GE(rec.chain, 1);
    EXPECT_EQ(rec.phasesSeen, std::vector<int32_t>{kPhasePlay});
}

}  // namespace
}  // namespace velmora
