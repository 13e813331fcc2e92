#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "game/core/config.h"
#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/core/sound_cue.h"
#include "game/core/tween.h"
#include "game/play/combat.h"
#include "game/play/large_enemies.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "game/play/stage.h"

namespace velmora {
namespace {

constexpr int kState = kPropEnemyState;
constexpr int kStateTime = kPropEnemyStateTime;
constexpr int kBeam = 47;
constexpr int32_t kBlastActorKind = 0x2000000f;

class LargeEnemiesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAllObjects();
        InstallActorRoutines();
        InstallLargeEnemyRoutines();
        for (int i = 0; i < 5; ++i) UpdateSound();
        for (int p = 0; p < kPlayerCount; ++p) {
            g_playerSlots[p] = 0;
            SetGameVar(100 + p, 0);
            SetGameVar(96 + p, 0);
            for (int v : {76, 80, 84, 88}) SetGameVar(v + p, 0);
        }
        for (int v : {25, 27, 30, 65, 111, 112, 115, 119, 122, 123, 124, 125}) SetGameVar(v, 0);
        SetGameVar(26, 5);
        SetGameVar(64, 1);
        SetGameVar(120, 6000);
        SetConfigVar(kCfgNewGameCount, 0);
        SetConfigVar(kCfgRunFlags, 0);
        NewStage(-1);
        NewStage(0);
        SeedRandom(1234);
    }
    int Player(int32_t x, int32_t y, int p = 0) {
        const int s = SpawnPlayer(x, y, p, 0);
        SetGameVar(100 + p, 3);
        SetField(kPropHp, s, 1000);
        SetField(kPropMaxHp, s, 1000);
        SetField(kPropGuardTimer, s, 0);
        SetField(kPropDownTimer, s, 0);
        return s;
    }
    int Enemy(int type, int32_t x, int32_t y, int32_t z = 0) {
        const int s = SpawnStageObject(x, y, 9, type);
        SetPosition3(x, y, z, s);
        return s;
    }
    // One frame of a routine as the walk runs it: the routine, then the age.
    static void Step(void (*routine)(int), int slot, int frames = 1) {
        for (int i = 0; i < frames; ++i) {
            if (GetField(kPropKind, slot) == 0 || (GetField(kPropFlags, slot) & kFlagDead)) return;
            routine(slot);
            IncField(kPropAge, slot);
        }
    }
    static int CountKind(int32_t kind) {
        int n = 0;
        for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s)
            if (GetField(kPropKind, s) == kind && !(GetField(kPropFlags, s) & kFlagDead)) ++n;
        return n;
    }
    static int Children(int slot) {
        int n = 0;
        for (int i = 0; i < kChildLinks; ++i)
            if (GetChild(slot, i) > 0) ++n;
        return n;
    }
};

// ---- the UFO ------------------------------------------------------------------------------

TEST_F(LargeEnemiesTest, UfoBeamAbductsThenDamagesWhenTheBeamIsGone) {
    const int pl = Player(320, 220);
    const int ufo = Enemy(10, 320, 200, 120);
    Step(UpdateUfoLeaf, ufo);
    ASSERT_EQ(GetField(kState, ufo), 1);
    int abductedAt = -1, maxBeam = 0, damagedAt = -1;
    for (int t = 0; t < 400 && damagedAt < 0; ++t) {
        const int32_t st = GetField(kStateTime, ufo);
        Step(UpdateUfoLeaf, ufo);
        maxBeam = std::max(maxBeam, GetField(kBeam, ufo));
        if (abductedAt < 0 && GetField(kPropPlayerAction, pl) == 4) {
            abductedAt = st;
            EXPECT_EQ(GetField(kPropActionTimer, pl), 300);
            EXPECT_EQ(GetField(kPropDownTimer, pl), 60);
        }
        if (GetField(kPropHp, pl) < 1000) {
            damagedAt = st;
            EXPECT_EQ(GetField(kState, ufo), 2);
        }
    }
    EXPECT_GE(abductedAt, 79);
    EXPECT_LT(abductedAt, 100);
    // The beam stops on the ground, so it is gone and the damage lands while the player is held.
    EXPECT_EQ(maxBeam, 120);
    ASSERT_GT(damagedAt, 0);
    EXPECT_GE(damagedAt, 250);
    EXPECT_LT(damagedAt - abductedAt, 300);
    EXPECT_EQ(GetField(kPropHp, pl), 800);
}

TEST_F(LargeEnemiesTest, UfoBeamAbortsAtFrame40OverABlockedCell) {
    for (const int32_t value : {1, 2, 4, 16, static_cast<int32_t>(0x80000000u)}) {
        SetUp();
        const int ufo = Enemy(10, 320, 192, 120);
        SetField(kState, ufo, 1);
        OrCellAtPixel(320, 224, value);
        Step(UpdateUfoLeaf, ufo, 40);
        EXPECT_EQ(GetField(kState, ufo), 1) << value;
        Step(UpdateUfoLeaf, ufo);
        EXPECT_EQ(GetField(kState, ufo), 0) << value;
    }
}

TEST_F(LargeEnemiesTest, UfoCaughtInAHoleStaysOnItsCellFor180Frames) {
    const int ufo = Enemy(10, 320, 192, 120);
    SetField(kState, ufo, 1);
    // Dug under the beam after it has begun (a hole there at first would stop it).
    Step(UpdateUfoLeaf, ufo, 50);
    OrCellAtPixel(320, 224, 1);
    Step(UpdateUfoLeaf, ufo, 200);
    ASSERT_EQ(GetField(kState, ufo), 3);
    int32_t x0, y0;
    GetPosition(&x0, &y0, ufo);
    for (int t = 0; t < 179; ++t) {
        Step(UpdateUfoLeaf, ufo);
        int32_t x, y;
        GetPosition(&x, &y, ufo);
        ASSERT_EQ(GetField(kState, ufo), 3) << t;
        EXPECT_EQ(x, x0);
        EXPECT_EQ(y, y0);
    }
    EXPECT_EQ(GetField(kPropZ, ufo), 0);
    EXPECT_NE(GetField(kPropFlags, ufo) & 0x800000, 0);  // targetable on the ground
    Step(UpdateUfoLeaf, ufo);
    EXPECT_EQ(GetField(kState, ufo), 4);
    EXPECT_EQ(GetField(kPropFlags, ufo) & 0x800, 0);
    EXPECT_EQ(GetGameVar(124), 20);
}

TEST_F(LargeEnemiesTest, UfoDropsLeavesByTheLevel) {
    struct Case {
        int32_t level;
        int leaves;
    };
    for (const Case c : {Case{0, 3}, Case{10, 4}, Case{30, 8}}) {
        SetUp();
        SetGameVar(65, c.level);
        const int ufo = Enemy(10, 320, 192, 120);
        SetField(kState, ufo, 2);
        Step(UpdateUfoLeaf, ufo, 150);
        EXPECT_EQ(GetField(kState, ufo), 0) << c.level;
        EXPECT_EQ(CountKind(0x30000008), c.leaves) << c.level;
    }
    // Each leaf is always alert and falls from the UFO's height.
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s) {
        if (GetField(kPropKind, s) != 0x30000008) continue;
        EXPECT_EQ(GetField(kPropVariant, s), 15);
        EXPECT_EQ(GetField(kPropZ, s), 120);
        EXPECT_EQ(GetField(kPropFlags, s) & 0x800000, 0);
    }
}

TEST_F(LargeEnemiesTest, LastUfoStandingLandsAndWakesGenerators) {
    const int gen = Enemy(1, 64, 64);
    SetField(kPropHp, gen, 0);
    ClearFieldBits(kPropFlags, gen, 0x800000);
    SetField(28, gen, 0);
    const int ufo = Enemy(10, 320, 192, 120);
    SetFieldBits(kPropFlags, ufo, 0x80);
    Step(UpdateUfoLeaf, ufo);  // its first frame still counts itself, spawned targetable
    EXPECT_EQ(GetField(kState, ufo), 0);
    Step(UpdateUfoLeaf, ufo);
    ASSERT_EQ(GetField(kState, ufo), 6);
    EXPECT_NE(GetField(kPropFlags, ufo) & kFlagNoDeathAtZero, 0);
    Step(UpdateUfoLeaf, ufo, 149);
    EXPECT_EQ(GetField(kPropZ, ufo), 0);
    EXPECT_EQ(GetField(28, gen), 6 * 40);
    Step(UpdateUfoLeaf, ufo);
    EXPECT_EQ(GetField(kState, ufo), 4);
}

TEST_F(LargeEnemiesTest, UfoCrashesOrFadesWhenWornOut) {
    struct Case {
        int32_t variant, state;
    };
    for (const Case c : {Case{0, 99}, Case{12, 98}}) {
        SetUp();
        const int ufo = Enemy(10, 320, 192, 120);
        SetField(kPropVariant, ufo, c.variant);
        SetField(kPropHp, ufo, 0);
        Step(UpdateUfoLeaf, ufo);
        EXPECT_EQ(GetField(kState, ufo), c.state);
        int frames = 1;
        while (!(GetField(kPropFlags, ufo) & kFlagDead) && frames < 1000) {
            Step(UpdateUfoLeaf, ufo);
            ++frames;
        }
        EXPECT_NE(GetField(kPropFlags, ufo) & kFlagDead, 0) << c.variant;
        if (c.state == 99) {
            EXPECT_EQ(GetField(kPropVariant, ufo), 14);
            EXPECT_GT(frames, 120);
        } else {
            EXPECT_EQ(frames, 1 + 129);  // alpha 1024 - 8 t reaches 0 at t = 128
        }
    }
}

TEST_F(LargeEnemiesTest, TwoUfosAtOnePointPushApart) {
    const int a = Enemy(10, 320, 192, 100);
    const int b = Enemy(10, 320, 192, 100);
    SetField(kState, a, 4);
    SetField(kState, b, 4);
    Step(UpdateUfoLeaf, a);
    Step(UpdateUfoLeaf, b);
    EXPECT_NEAR(GetField(kPropVelX, a), -64, 1);
    EXPECT_NEAR(GetField(kPropVelX, b), 64, 1);
    EXPECT_EQ(GetField(kPropZ, a), 101);
}

TEST_F(LargeEnemiesTest, UfoFollowsTheMiddleWhenItsTargetIsNoPlayer) {
    Player(600, 240);
    for (const int32_t target : {-1, -2}) {
        const int ufo = Enemy(10, 100, 240, 120);
        SetField(kState, ufo, 4);
        SetField(kPropAttacker, ufo, target);
        SetField(kPropAge, ufo, 64);
        SetField(kStateTime, ufo, 0);
        Step(UpdateUfoLeaf, ufo);
        EXPECT_GE(GetField(kPropVelX, ufo), 4 * 256 - 32) << target;
        EXPECT_EQ(GetField(kPropVelY, ufo), 0);
        DestroyObject(ufo);
    }
}

// ---- the big one leaf ---------------------------------------------------------------------

TEST_F(LargeEnemiesTest, BigLeafHopsAndCrushesOnLanding) {
    const int near = Player(330, 256, 0);
    const int blink = Player(310, 256, 1);
    SetField(kPropGuardTimer, blink, 60);
    const int walker = Enemy(8, 320, 272);
    const int32_t walkerHp = GetField(kPropHp, walker);
    const int leaf = Enemy(12, 320, 256);
    SetField(kPropVariant, leaf, 1);
    Step(UpdateBigOneLeaf, leaf);
    SetField(kPropDirection, leaf, 0);  // hops on the spot
    const int32_t z = GetField(kPropZ, leaf);
    ASSERT_TRUE(z == 4 || z == 8 || z == 12) << z;
    EXPECT_EQ(GetField(47, leaf), 1 - z);
    EXPECT_EQ(GetField(28, leaf), 8 * z);  // 32 n
    EXPECT_EQ(GetField(kPropFlags, leaf) & kFlagGuard, 0);
    int frames = 0;
    while (GetField(kPropZ, leaf) > 0 && frames < 200) {
        Step(UpdateBigOneLeaf, leaf);
        ++frames;
    }
    EXPECT_EQ(GetField(kPropZ, leaf), 0);
    EXPECT_EQ(GetGameVar(124), 20);
    EXPECT_EQ(GetField(kPropHp, near), 900);  // 30, raised to the least damage of 100
    EXPECT_EQ(GetField(kPropHp, blink), 1000);
    EXPECT_EQ(GetField(kPropHp, walker), walkerHp - 400);
    EXPECT_EQ(GetField(kPropAttacker, walker), -1);
    EXPECT_EQ(GetField(kPropHitFlash, leaf), 0);  // it never crushes itself
    // A hatchling where it landed.
    int hatchlings = 0;
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s)
        if (GetField(kPropKind, s) == 0x30000008 && GetField(kPropVariant, s) == 12) ++hatchlings;
    EXPECT_EQ(hatchlings, 1);
}

TEST_F(LargeEnemiesTest, BigLeafTurnsEvery96Frames) {
    const int leaf = Enemy(12, 320, 256);
    SetField(kPropVariant, leaf, 6);
    SetObjectHp(leaf, 20000);  // above the life it holds for its UFO
    std::vector<int> hops;
    for (int age = 0; age < 400; ++age) {
        const int32_t before = GetField(kPropZ, leaf);
        Step(UpdateBigOneLeaf, leaf);
        if (before == 0 && GetField(kPropZ, leaf) > 0) hops.push_back(age);
    }
    EXPECT_EQ(hops, (std::vector<int>{0, 96, 192, 288, 384}));
}

TEST_F(LargeEnemiesTest, BigLeafHoldsItsLifeThenHandsItToAUfo) {
    const int leaf = Enemy(12, 320, 256);
    SetField(kPropVariant, leaf, 1);
    Step(UpdateBigOneLeaf, leaf, 50);
    SetField(kPropHp, leaf, 500);
    Step(UpdateBigOneLeaf, leaf);
    EXPECT_EQ(GetField(kPropHp, leaf), 8000);
    SetField(kPropHp, leaf, 7000);
    while (GetField(kPropAge, leaf) < 96) {
        EXPECT_LT(GetChild(leaf, 0), 1);
        Step(UpdateBigOneLeaf, leaf);
    }
    ASSERT_EQ(GetField(kPropZ, leaf), 0);
    Step(UpdateBigOneLeaf, leaf);  // age 96
    const int ufo = GetChild(leaf, 0);
    ASSERT_GT(ufo, 0);
    EXPECT_EQ(GetField(kPropVariant, ufo), 12);
    EXPECT_EQ(GetField(kPropHp, ufo), 8000);
    EXPECT_EQ(GetField(kPropFlags, ufo) & ~kFlagHasParent, 0x2000400u);
    EXPECT_EQ(GetField(kPropZ, ufo), 200);
    EXPECT_EQ(GetField(kState, ufo), 5);
    EXPECT_EQ(GetField(kPropHp, leaf), 10);
    EXPECT_NE(GetField(kPropFlags, leaf) & kFlagGuard, 0);
    EXPECT_NE(GetField(kPropFlags, leaf) & kFlagNoDeathAtZero, 0);
    EXPECT_EQ(GetField(45, leaf), 1);
    // The husk lives while its UFO does, and then dies in 120 frames.
    Step(UpdateBigOneLeaf, leaf, 300);
    EXPECT_EQ(GetField(kPropVariant, leaf) & 63, 1);
    EXPECT_EQ(GetField(kPropFlags, leaf) & kFlagDead, 0);
    FreeObject(ufo);
    Step(UpdateBigOneLeaf, leaf);
    EXPECT_EQ(GetField(kPropVariant, leaf) & 63, 7);
    Step(UpdateBigOneLeaf, leaf, 120);
    EXPECT_EQ(GetField(kPropFlags, leaf) & kFlagDead, 0);
    Step(UpdateBigOneLeaf, leaf);
    EXPECT_NE(GetField(kPropFlags, leaf) & kFlagDead, 0);
}

// ---- the boss -----------------------------------------------------------------------------

class BossTest : public LargeEnemiesTest {
protected:
    int Boss(int32_t state, int32_t hp = 100000) {
        const int b = Enemy(14, 320, 80);
        SetField(kState, b, state);
        SetField(kPropHp, b, hp);
        SetField(kPropAge, b, 100);
        return b;
    }
    // Frames until the state changes (at most `limit`).
    static int RunUntilChange(int b, int limit) {
        const int32_t s = GetField(kState, b);
        for (int n = 1; n <= limit; ++n) {
            Step(UpdateBoss, b);
            if (GetField(kState, b) != s) return n;
        }
        return -1;
    }
};

TEST_F(BossTest, StatesFollowTheirTable) {
    struct Row {
        int32_t state;
        int32_t hp;
        int32_t queued;
        int frames;
        std::set<int32_t> next;
    };
    // clang-format off
    const std::vector<Row> rows = {
        {0, 100000, 0, 61, {1}},
        {2, 100000, 0, 61, {6}},
        {8, 40000, 0, 31, {18}},
        {8, 100000, 17, 31, {17}},
        {15, 100000, 0, 120, {8}},
        {16, 100000, 0, 221, {8}},
        {17, 100000, 0, 120, {8}},
        {24, 100000, 0, 181, {19}},
        {22, 100000, 0, 401, {19}},
    };
    // clang-format on
    for (const Row& r : rows) {
        SetUp();
        Player(320, 400);
        const int b = Boss(r.state, r.hp);
        SetField(32, b, r.queued);
        EXPECT_EQ(RunUntilChange(b, 1000), r.frames) << r.state;
        EXPECT_TRUE(r.next.count(GetField(kState, b))) << r.state << " -> " << GetField(kState, b);
    }
}

TEST_F(BossTest, AfterItsPauseItPicksADriftOrTheStamp) {
    Player(320, 400);
    const int b = Boss(6);
    Step(UpdateBoss, b, 30);
    EXPECT_EQ(GetField(kState, b), 6);
    // A pick of 6 again only waits on.
    EXPECT_GE(RunUntilChange(b, 100), 1);
    EXPECT_TRUE(GetField(kState, b) >= 3 && GetField(kState, b) <= 5) << GetField(kState, b);
}

TEST_F(BossTest, EntryDescendsThenBecomesTargetable) {
    const int b = Boss(0);
    Step(UpdateBoss, b);
    EXPECT_EQ(GetField(kPropZ, b), -480);
    EXPECT_EQ(RunUntilChange(b, 100), 60);
    EXPECT_EQ(RunUntilChange(b, 400), 180);  // lift +2 a frame to 360
    EXPECT_EQ(GetField(45, b), 360);
    EXPECT_EQ(GetField(kPropZ, b), -120);
    EXPECT_EQ(GetField(kPropFlags, b) & 0x800000, 0);
    EXPECT_EQ(RunUntilChange(b, 100), 61);
    EXPECT_NE(GetField(kPropFlags, b) & 0x800000, 0);
}

TEST_F(BossTest, WornDownInPhaseOneItGoesToTheMiddleAndGrowsHands) {
    Player(320, 400);
    const int b = Boss(3, 90000);
    SetPosition(160, 80, b);
    const int n = RunUntilChange(b, 100);
    EXPECT_EQ(n, 10);  // 16 px a frame
    EXPECT_EQ(GetField(kState, b), 7);
    EXPECT_NE(GetField(kPropFlags, b) & kFlagGuard, 0);
    SetField(45, b, 10);
    EXPECT_EQ(RunUntilChange(b, 100), 5);
    EXPECT_EQ(GetField(kState, b), 8);
    EXPECT_EQ(GetField(32, b), 17);
    for (int i = 0; i < 2; ++i) {
        const int hand = GetChild(b, i);
        ASSERT_GT(hand, 0);
        EXPECT_EQ(GetField(kPropKind, hand), 0x30000009);
        EXPECT_EQ(GetField(kPropHp, hand), 100000);
        EXPECT_EQ(GetField(kPropDrawWord, hand), 0x58a);
    }
}

TEST_F(BossTest, HitPointFloorsInAFullAndAShortFight) {
    struct Case {
        int32_t newGames, difficulty, state, hp, expected;
    };
    // clang-format off
    for (const Case c : {Case{0, 1, 3, 1000, 90000}, Case{0, 1, 9, 1000, 40000},
                         Case{1, 1, 3, 1000, 90000}, Case{1, 1, 9, 1000, 1000},
                         Case{0, 0, 9, 1000, 1000},  Case{0, 1, 19, 1000, 1000}}) {
        // clang-format on
        SetUp();
        SetConfigVar(kCfgNewGameCount, c.newGames);
        SetGameVar(64, c.difficulty);
        Player(320, 400);
        const int b = Boss(c.state, c.hp);
        Step(UpdateBoss, b);
        EXPECT_EQ(GetField(kPropHp, b), c.expected)
            << c.newGames << " " << c.difficulty << " " << c.state;
    }
    // Young bosses are not held.
    SetUp();
    const int b = Boss(3, 1000);
    SetField(kPropAge, b, 10);
    Step(UpdateBoss, b);
    EXPECT_EQ(GetField(kPropHp, b), 1000);
}

TEST_F(BossTest, HandsPassTheirLossOnAndANonPlayerAttackerIsNobody) {
    Player(320, 400);
    struct Case {
        int32_t attacker, expected;
    };
    for (const Case c : {Case{2, 2}, Case{-1, -1}, Case{-2, -1}, Case{7, -1}}) {
        const int b = Boss(8, 60000);
        SetField(kPropAge, b, 100);
        const int hand = SpawnStageObject(0, 0, 9, 9);
        SetObjectHp(hand, 100000);
        AttachChild(hand, b, 1);
        SetField(kPropHp, hand, 99000);
        SetField(kPropAttacker, hand, c.attacker);
        Step(UpdateBoss, b);
        EXPECT_EQ(GetField(kPropHp, hand), 100000);
        EXPECT_EQ(GetField(kPropHp, b), 59000);
        EXPECT_EQ(GetField(kPropAttacker, b), c.expected) << c.attacker;
        EXPECT_EQ(GetField(112, b), 1);
        // Its death by that loss touches no player's score.
        SetField(kPropHp, b, 0);
        const int32_t before = GetGameVar(96) + GetGameVar(97) + GetGameVar(98) + GetGameVar(99);
        KillStageObject(b);
        if (c.expected < 0) {
            EXPECT_EQ(GetGameVar(96) + GetGameVar(97) + GetGameVar(98) + GetGameVar(99), before);
        }
        FreeObject(b);
        FreeObject(hand);
    }
}

TEST_F(BossTest, ShortFightDiesAtTheEndOfThePhaseChange) {
    SetGameVar(64, 0);
    Player(320, 400);
    const int b = Boss(18, 40000);
    Step(UpdateBoss, b, 240);
    EXPECT_EQ(GetField(kState, b), 18);
    EXPECT_EQ(GetField(kPropHp, b), 40000 - 30 * 1200);
    Step(UpdateBoss, b);
    EXPECT_LT(GetField(kPropHp, b), 1);
    EXPECT_EQ(GetGameVar(112), 5);
}

TEST_F(BossTest, FullFightGoesToItsSecondForm) {
    Player(320, 400);
    SetGameVar(77, 2);
    const int b = Boss(18, 40000);
    EXPECT_EQ(RunUntilChange(b, 300), 241);
    EXPECT_EQ(GetField(kState, b), 19);
    EXPECT_EQ(GetField(kPropHp, b), 40000);
    EXPECT_EQ(GetField(kPropX, b), 320);
    EXPECT_EQ(GetField(kPropZ, b), -240);
    EXPECT_EQ(GetGameVar(96), 100000);
    EXPECT_EQ(GetGameVar(77), 0);
    EXPECT_EQ(GetField(kPropFlags, b) & kFlagGuard, 0);
}

TEST_F(BossTest, SwingAddsSatellitesToFreeSlotsAndAHitEndsIt) {
    Player(320, 460);
    const int b = Boss(20);
    Step(UpdateBoss, b);
    EXPECT_EQ(Children(b), 8);  // slot 0 and slots 9..15
    Step(UpdateBoss, b, 12);
    EXPECT_EQ(Children(b), 9);
    EXPECT_GT(GetChild(b, 1), 0);
    const int sat = GetChild(b, 0);
    EXPECT_EQ(GetField(kPropHp, sat), 240);
    EXPECT_EQ(GetField(kPropFlags, sat) & kFlagNoDeathAtZero, 0);
    SetField(kPropHitFlash, b, 30);
    Step(UpdateBoss, b);
    EXPECT_EQ(GetField(kState, b), 19);
    EXPECT_EQ(GetField(32, b), 24);
}

TEST_F(BossTest, FailedSatelliteSpawnAddsNothing) {
    Player(320, 460);
    const int b = Boss(20);
    while (SpawnObject(0, 0, 9, 0, 0x30000002) >= 0) {
    }
    Step(UpdateBoss, b);
    EXPECT_EQ(Children(b), 0);
    for (int i = 0; i < kChildLinks; ++i) EXPECT_EQ(GetField(kPropChildren + i, b), 0) << i;
}

TEST_F(BossTest, SatelliteGoesOffNearAHittablePlayerAndShrinksAboveTheTop) {
    const int b = Boss(19);
    const int sat = SpawnStageObject(320, 120, 9, 9);
    AttachChild(sat, b, 3);
    SetField(33, sat, 320);
    SetField(34, sat, -300);
    SetField(kPropAge, sat, 10);
    Step(UpdateBoss, b);
    EXPECT_EQ(GetField(kPropScale, sat), 0);
    // Near a player it goes off as a ring of blasts.
    Player(320, 300);
    SetField(34, sat, 300);
    SetField(kPropAge, sat, 0);
    const int before = CountKind(kBlastActorKind);
    Step(UpdateBoss, b);
    EXPECT_NE(GetField(kPropFlags, sat) & kFlagDead, 0);
    EXPECT_GT(CountKind(kBlastActorKind), before);
}

TEST_F(BossTest, StampAndSlamsSpareAPlayerWhoIsBlinking) {
    struct Case {
        int32_t state;
        int32_t px, py;
        int32_t damage;
    };
    // The stamp lands at (x, y + lift); slam 9's hand comes down 80 px left of the body, its 80
    // raised to the player's least damage of a tenth of 1000.
    for (const Case c : {Case{4, 320, 440, 200}, Case{9, 240, 392, 100}}) {
        for (const bool blinking : {false, true}) {
            SetUp();
            const int pl = Player(c.px, c.py);
            if (blinking) SetField(kPropGuardTimer, pl, 60);
            const int b = Boss(c.state);
            SetField(45, b, 360);
            SetField(kPropZ, b, c.state == 4 ? -120 : -30);
            SetField(37, b, c.px);
            SetField(kPropAttacker, b, 0);
            if (c.state == 9) SetField(45, b, 0);
            Step(UpdateBoss, b, 150);
            EXPECT_EQ(GetField(kPropHp, pl), blinking ? 1000 : 1000 - c.damage)
                << c.state << " " << blinking;
        }
    }
}

// A player's blast on the body as drawn wears the boss down, in the air beyond the body's reach it
// does not: in its first form (hanging 360 px down, 120 up), its hub (30 up) and its second form.
TEST_F(BossTest, BlastsHitTheBodyWhereItIsDrawn) {
    struct Case {
        int32_t state, z, lift;
    };
    for (const Case c : {Case{3, -120, 360}, Case{8, -30, 0}, Case{19, 0, 0}}) {
        for (const int32_t off : {0, 60, -60, 97, -97}) {
            SetUp();
            const int b = Boss(c.state);
            SetFieldBits(kPropFlags, b, 0x800000);
            SetField(kPropZ, b, c.z);
            SetField(45, b, c.lift);
            const int32_t bodyY = 80 + c.z + c.lift;
            ASSERT_EQ(BossBodyY(b), bodyY);
            const int blast = SpawnBlast(320, bodyY + off, 2, 0);
            ASSERT_GT(blast, 0);
            SetField(kPropBlastPower, blast, 1);
            SetField(kPropAttacker, blast, 0);
            SetField(kPropAttack, blast, 3000);
            UpdateBlast(blast);
            const bool reaches = off * off < (80 + 16) * (80 + 16);
            EXPECT_EQ(GetField(kPropHp, b), reaches ? 97000 : 100000) << c.state << " " << off;
        }
    }
}

// A drift's homing shots have no lifetime: they fly on until they hit a player or are shot down.
TEST_F(BossTest, DriftShotsHomeUntilTheyHitOrAreShot) {
    ResetTweens();
    Player(320, 400);
    const int b = Boss(5, 168000);
    Step(UpdateBoss, b, 30);
    std::vector<int> shots;
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s)
        if (GetField(kPropKind, s) == 0x3000000f) shots.push_back(s);
    ASSERT_EQ(shots.size(), 8u);
    for (int s : shots) EXPECT_NE(GetField(kPropFlags, s) & 0x4000, 0) << "homing";
    // Each shot's own frames, as the object walk counts them, then the tweens.
    for (int f = 0; f < 1000; ++f) {
        for (int s : shots) IncField(kPropAge, s);
        RunTweens();
    }
    for (int s : shots) {
        EXPECT_EQ(GetField(kPropKind, s), 0x3000000f);
        EXPECT_EQ(GetField(kPropFlags, s) & kFlagDead, 0);
        EXPECT_EQ(GetField(kPropColor, s) & 0xff, 0xff) << "not fading";
    }
}

// The stamp rises where it stands, wherever the player is, and comes down there.
TEST_F(BossTest, StampRisesInPlace) {
    for (const int32_t px : {120, 320, 520}) {
        SetUp();
        Player(px, 440);
        const int b = Boss(4);
        SetField(45, b, 360);
        SetField(kPropZ, b, -120);
        SetField(kPropAttacker, b, 0);
        SetField(37, b, px);
        for (int f = 0; f < kStampRiseFrames; ++f) {
            Step(UpdateBoss, b);
            ASSERT_EQ(GetField(kPropX, b), 320) << px << " frame " << f;
        }
        EXPECT_EQ(GetField(kPropZ, b), -120 - kStampRiseFrames);
        // It lands where it rose: the first ring of blasts lies round x = 320.
        const int before = CountKind(kBlastActorKind);
        for (int f = 0; f < 20 && CountKind(kBlastActorKind) == before; ++f) Step(UpdateBoss, b);
        int32_t lo = 1 << 30, hi = -(1 << 30);
        for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s)
            if (GetField(kPropKind, s) == kBlastActorKind) {
                lo = std::min(lo, GetField(kPropX, s));
                hi = std::max(hi, GetField(kPropX, s));
            }
        EXPECT_EQ(CountKind(kBlastActorKind) - before, 2 * (6 + 7 + 8 + 9)) << px;
        EXPECT_NEAR((lo + hi) / 2, 320, 2) << px;
        EXPECT_EQ(GetField(kPropX, b), 320) << px;
    }
}

// The quick slam of both hands brings one hand down on the marked player (the left in state 11,
// the right in 12) at every difficulty.
TEST_F(BossTest, DoubleSlamComesDownOnTheMarkAtEveryDifficulty) {
    for (const int32_t difficulty : {0, 1}) {
        for (const int32_t state : {11, 12}) {
            SetUp();
            SetGameVar(64, difficulty);
            const int pl = Player(320, 392);
            const int b = Boss(state);
            SetField(kPropZ, b, -30);
            SetField(45, b, 0);
            SetField(37, b, 320);
            Step(UpdateBoss, b, 20);
            int32_t sx, sy, ex, ey, hx, hy;
            GetBossArm(b, state == 11 ? 0 : 1, &sx, &sy, &ex, &ey, &hx, &hy);
            EXPECT_NEAR(hx, 320, 28) << difficulty << " " << state;
            // Its g65 + 40 raised to the player's least damage of a tenth of 1000.
            EXPECT_EQ(GetField(kPropHp, pl), 900) << difficulty << " " << state;
        }
    }
}

TEST_F(BossTest, AimsAtTheMiddleWhenItsTargetIsNoPlayer) {
    Player(600, 400);
    const int b = Boss(3);
    SetPosition(100, 80, b);
    SetField(kPropAttacker, b, -2);
    Step(UpdateBoss, b);
    EXPECT_EQ(GetField(37, b), 320);
}

}  // namespace
}  // namespace velmora
