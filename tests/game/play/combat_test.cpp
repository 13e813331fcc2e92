#include "game/play/combat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/core/tween.h"
#include "game/play/object_utils.h"
#include "game/play/stage.h"

namespace velmora {
namespace {

class CombatTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAllObjects();
        SetGameVar(25, 0);
        SetGameVar(65, 3);
        NewStage(-1);
        NewStage(0);
    }
    static bool PlainHit() { return static_cast<uint32_t>(GetGameVar(25)) & kMasterPlainHit; }
};

TEST_F(CombatTest, EditorIndicesMapToTypes) {
    const std::pair<int, int> cases[] = {{0, 0},  {1, 1},   {2, 9},  {5, 8},  {12, 13}, {13, 0},
                                         {29, 0}, {30, 14}, {31, 7}, {-1, 0}, {32, 0},  {1000, 0}};
    for (auto [index, type] : cases) EXPECT_EQ(StageTypeOfEditorIndex(index), type) << index;
}

TEST_F(CombatTest, SpawnTakesItsRow) {
    const int s = SpawnStageObject(64, 96, 9, 11);
    ASSERT_GT(s, 0);
    EXPECT_EQ(GetField(kPropKind, s), 0x3000000b);
    EXPECT_EQ(GetField(kPropDrawWord, s), 11 + 32);
    EXPECT_EQ(GetField(kPropRadius, s), 24);
    EXPECT_EQ(GetField(kPropAttack, s), 3 + 2);
    EXPECT_EQ(GetField(kPropHp, s), 240);
    EXPECT_EQ(GetField(kPropMaxHp, s), 240);
    EXPECT_EQ(static_cast<uint32_t>(GetField(kPropFlags, s)), 0x00800200u);
    EXPECT_EQ(GetField(32, s), 32);
    EXPECT_EQ(GetField(39, s), 1);
    for (int type : {0, 16, -1}) EXPECT_EQ(SpawnStageObject(0, 0, 9, type), -1) << type;
    SetGameVar(25, static_cast<int32_t>(kMasterNoStageSpawn));
    EXPECT_EQ(SpawnStageObject(0, 0, 9, 8), -1);
}

TEST_F(CombatTest, FullPoolEvictsTheOldestEffectWithoutKeep) {
    const int kept = SpawnSprite(0, 0, 1, 1);
    SetFieldBits(kPropFlags, kept, kFlagKeep);
    const int oldest = SpawnSprite(0, 0, 1, 1);
    const int next = SpawnSprite(0, 0, 1, 1);
    while (SpawnSprite(0, 0, 1, 1) > 0) {
    }
    const int s = SpawnStageObject(0, 0, 9, 8);
    EXPECT_EQ(s, oldest);
    EXPECT_EQ(GetField(kPropKind, kept), 0x60000000);
    EXPECT_EQ(GetField(kPropKind, next), 0x60000000);
    // Nothing left to give way: -1.
    ResetAllObjects();
    while (SpawnObject(0, 0, 1, 1, 0x40000000) > 0) {
    }
    EXPECT_EQ(SpawnStageObject(0, 0, 9, 8), -1);
}

TEST_F(CombatTest, GuardAndPower) {
    struct Case {
        bool guard;
        int attacker;
        int32_t damage, power, hpLost;
        bool plain;
    };
    const Case cases[] = {
        {true, 0, 50, 0, 0, false},           // blocked
        {true, -1, 50, 0, 0, false},          // a crush is blocked too
        {true, -2, 999999, 0, 999999, true},  // the game's own destruction
        {true, 1, 50, 8, 58, false},          // a blast adds its power
        {false, 0, 1, 0, 2, true},            // at least 2
        {false, 0, 50, 9, 48, false},         // power / 4 off
        {false, 2, 5, 100, 2, false},
    };
    for (const Case& c : cases) {
        ResetAllObjects();
        SetGameVar(25, 0);
        const int s = SpawnStageObject(0, 0, 9, c.guard ? 12 : 8);
        const int32_t hp = GetField(kPropHp, s);
        DamageObject(s, c.attacker, c.damage, c.power);
        EXPECT_EQ(hp - GetField(kPropHp, s), c.hpLost) << c.damage << "/" << c.power;
        EXPECT_EQ(PlainHit(), c.plain) << c.damage << "/" << c.power;
        if (c.hpLost > 0) {
            EXPECT_EQ(GetField(kPropHitFlash, s), 30);
            EXPECT_EQ(GetField(kPropAttacker, s), c.attacker);
            EXPECT_EQ(GetField(kPropBlastPower, s), std::max(c.power, 0));
        }
    }
}

TEST_F(CombatTest, BlastPowerKeepsTheHighestUntilAPlainHit) {
    const int s = SpawnStageObject(0, 0, 9, 10);
    DamageObject(s, 0, 10, 12);
    DamageObject(s, 1, 10, 5);
    EXPECT_EQ(GetField(kPropBlastPower, s), 12);
    EXPECT_FALSE(PlainHit());
    DamageObject(s, 0, 10, 0);
    EXPECT_EQ(GetField(kPropBlastPower, s), 0);
    EXPECT_TRUE(PlainHit());
}

TEST_F(CombatTest, TwelveItemsLieInRings) {
    ScatterFieldItems(320, 240, 12, 18);
    std::vector<int> byRadius(4, 0);
    int found = 0;
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s) {
        if (GetField(kPropKind, s) != 0x30000007) continue;
        ++found;
        EXPECT_EQ(GetField(31, s), 18);
        EXPECT_EQ(GetField(47, s), -7);
        EXPECT_EQ(GetField(kPropZ, s), 8);
        EXPECT_EQ(GetField(kPropFineZ, s), 2048);
        const double d = std::hypot(GetField(kPropX, s) - 320, GetField(kPropY, s) - 240);
        const int ring = static_cast<int>(std::lround(d / 32));
        ASSERT_LT(ring, 4);
        EXPECT_NEAR(d, ring * 32, 1.5);
        ++byRadius[ring];
    }
    EXPECT_EQ(found, 12);
    EXPECT_EQ(byRadius, (std::vector<int>{1, 6, 5, 0}));
}

TEST_F(CombatTest, ClearingAllDamagesRealObjectsOnly) {
    DestroyAllStageObjects();
    EXPECT_FALSE(PlainHit());  // nothing there, nothing hit
    const int a = SpawnStageObject(0, 0, 9, 8);
    const int gate = SpawnStageObject(0, 0, 9, 4);  // survives clearing
    const int wall = SpawnStageObject(0, 0, 9, 9);  // loses its no-death flag
    DestroyAllStageObjects();
    EXPECT_TRUE(PlainHit());
    EXPECT_LT(GetField(kPropHp, a), 1);
    EXPECT_EQ(GetField(kPropHp, gate), 999999);
    EXPECT_LT(GetField(kPropHp, wall), 1);
    EXPECT_FALSE(static_cast<uint32_t>(GetField(kPropFlags, wall)) & kFlagNoDeathAtZero);
    EXPECT_EQ(GetField(kPropAttacker, a), -2);
}

TEST_F(CombatTest, DestroyClearsTheCellAndCountsDownTheParent) {
    const int parent = SpawnStageObject(0, 0, 9, 1);
    const int child = SpawnStageObject(64, 32, 9, 8);
    AttachChild(child, parent, 0);
    SetField(kPropLiveChildren, parent, 1);
    SetCell(2, 1, 0x15);
    DestroyObject(child);
    EXPECT_EQ(GetCell(2, 1), 0x5);
    EXPECT_TRUE(static_cast<uint32_t>(GetField(kPropFlags, child)) & kFlagDead);
    EXPECT_EQ(GetField(kPropLiveChildren, parent), 0);
    DestroyObject(child);
    EXPECT_EQ(GetField(kPropLiveChildren, parent), 0);  // not below 0
}

TEST_F(CombatTest, FrictionAndSmallHelpers) {
    const int s = SpawnObject(0, 0, 0, 1, 0x30000001);
    SetCurrentObject(s);
    SetField(kPropVelX, s, 300);
    SetField(kPropVelY, s, -50);
    ApplyFriction(100);
    EXPECT_EQ(GetField(kPropVelX, s), 200);
    EXPECT_EQ(GetField(kPropVelY, s), 0);
    SetField(kPropVelY, s, -150);
    ApplyFriction(100);
    EXPECT_EQ(GetField(kPropVelY, s), -50);
    const int area = SpawnHitArea(5, 5, 40);
    EXPECT_EQ(GetField(kPropKind, area), 0x40000000);
    EXPECT_EQ(GetField(kPropRadius, area), 40);
    const int child = SpawnObject(0, 0, 0, 1, 0x40000001);
    AttachChild(child, s, 2);
    KillChildrenAndTweens(s);
    EXPECT_TRUE(static_cast<uint32_t>(GetField(kPropFlags, child)) & kFlagDead);
}

TEST_F(CombatTest, BlastsByMode) {
    struct Case {
        int mode;
        int32_t kind, draw, attack;
    };
    const Case cases[] = {{0, 0x60000000, 928, 0},
                          {1, 0x2000000f, 936, 8},
                          {2, 0x2000000f, 944, 8},
                          {7, 0x60000000, 928, 0}};
    for (const Case& c : cases) {
        ResetAllObjects();
        const int s = SpawnBlast(100, 200, c.mode, 0);
        ASSERT_GT(s, 0);
        EXPECT_EQ(GetField(kPropKind, s), c.kind) << c.mode;
        EXPECT_EQ(GetField(kPropDrawWord, s), c.draw) << c.mode;
        EXPECT_EQ(GetField(kPropAttack, s), c.attack) << c.mode;
        EXPECT_EQ(GetField(kPropLayer, s), 9);
        EXPECT_EQ(GetField(kPropZ, s), 248);
        EXPECT_FALSE(static_cast<uint32_t>(GetField(kPropFlags, s)) & kFlagNotDrawn);
        EXPECT_EQ(GetTweenCount(), 2);  // flags on, end
    }
    ResetAllObjects();
    const int hidden = SpawnBlast(0, 0, 1, 16);
    EXPECT_TRUE(static_cast<uint32_t>(GetField(kPropFlags, hidden)) & kFlagNotDrawn);
    EXPECT_EQ(GetTweenCount(), 3);  // shown, flags on, end
}

}  // namespace
}  // namespace velmora
