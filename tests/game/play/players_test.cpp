#include "game/play/players.h"

#include <gtest/gtest.h>

#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/play/object_utils.h"

namespace velmora {
namespace {

class PlayersTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAllObjects();
        for (int p = 0; p < kPlayerCount; ++p) {
            g_playerSlots[p] = 0;
            SetGameVar(100 + p, 0);
        }
        SetGameVar(26, 5);
    }
};

TEST_F(PlayersTest, AccessorsAndTheirAnswersWithoutAPlayer) {
    EXPECT_EQ(AngleToPlayer(1, 10, 10), 108000);
    EXPECT_EQ(DistanceSqToPlayer(1, 10, 10), 0x3fffffff);
    const int s = SpawnObject(100, 50, 9, 8, 0x20000008);
    g_playerSlots[1] = s;
    EXPECT_EQ(GetPlayerSlot(1), s);
    EXPECT_EQ(GetPlayerSlot(5), s);  // modulo 4
    EXPECT_EQ(DistanceSqToPlayer(1, 97, 54), 25);
    EXPECT_EQ(AngleToPlayer(1, 0, 50), 0);
    SetPlayerField(1, 40, 7);
    EXPECT_EQ(AddPlayerField(1, 40, 3), 10);
    EXPECT_EQ(GetPlayerField(1, 40), 10);
    int32_t x = 0, y = 0;
    GetPlayerPosition(1, &x, &y);
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 50);
}

TEST_F(PlayersTest, PresenceNeedsLivesAndARealIndex) {
    SetGameVar(100, 2);
    EXPECT_TRUE(IsPlayerPresent(0));
    EXPECT_FALSE(IsPlayerPresent(1));
    // A crush (-1) or the game's own destruction (-2) is no player, whatever the words before
    // the lives hold.
    SetGameVar(99, 5);
    SetGameVar(98, 5);
    SetGameVar(104, 5);
    for (int p : {-1, -2, 4}) EXPECT_FALSE(IsPlayerPresent(p)) << p;
}

TEST_F(PlayersTest, WhenAPlayerCanBeHit) {
    const int s = SpawnObject(0, 0, 9, 8, 0x20000008);
    g_playerSlots[0] = s;
    SetGameVar(100, 1);
    SetObjectHp(s, 10);
    EXPECT_TRUE(CanPlayerBeHit(0));
    EXPECT_TRUE(IsPlayerVulnerable(0));
    struct Case {
        int prop;
        int32_t value;
    };
    for (Case c : {Case{57, 1}, Case{kPropHp, 0}, Case{kPropZ, 1}, Case{26, 4}}) {
        const int32_t old = GetField(c.prop, s);
        SetField(c.prop, s, c.value);
        EXPECT_FALSE(CanPlayerBeHit(0)) << c.prop;
        SetField(c.prop, s, old);
    }
    SetField(58, s, 3);
    EXPECT_TRUE(CanPlayerBeHit(0));
    EXPECT_FALSE(IsPlayerVulnerable(0));
    SetField(58, s, 0);
    SetGameVar(26, 7);
    EXPECT_FALSE(IsPlayerVulnerable(0));
}

TEST_F(PlayersTest, DelayedBurst) {
    EXPECT_EQ(SpawnDelayedBurst(0, 0, 0, 3), -1);
    const int s = SpawnDelayedBurst(5, 6, 20, 3);
    ASSERT_GT(s, 0);
    EXPECT_EQ(GetField(kPropKind, s), 0x2000000e);
    EXPECT_EQ(GetField(kPropLayer, s), 9);
    EXPECT_EQ(GetField(28, s), 20);
    EXPECT_EQ(GetField(29, s), 3);
}

}  // namespace
}  // namespace velmora
