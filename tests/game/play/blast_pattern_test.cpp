#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/core/sound_cue.h"
#include "game/core/tween.h"
#include "game/play/combat.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "game/play/stage.h"

namespace velmora {
namespace {

struct Blast {
    int slot;
    int32_t x, y, attack, power, attacker, delay;
    bool actor;
};

bool IsBlast(int s) {
    const int32_t kind = GetField(kPropKind, s);
    return kind == 0x2000000f || (kind == 0x60000000 && GetField(kPropDrawWord, s) == 928);
}

// Every blast in the pool, with the frame on which it comes alive (its depth flag set), found
// by running the tweens frame by frame.
std::vector<Blast> CollectBlasts(int frames = 200) {
    std::vector<Blast> out;
    std::map<int, size_t> index;
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s) {
        if (!IsBlast(s)) continue;
        index[s] = out.size();
        out.push_back({s, GetField(kPropX, s), GetField(kPropY, s), GetField(56, s),
                       GetField(112, s), GetField(30, s), -1,
                       GetField(kPropKind, s) == 0x2000000f});
    }
    for (int f = 0; f < frames; ++f) {
        RunTweens();
        for (auto& [s, i] : index) {
            if (out[i].delay < 0 && (static_cast<uint32_t>(GetField(kPropFlags, s)) & 0x8000))
                out[i].delay = f;
        }
        for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s) {
            if (GetField(kPropKind, s) != 0) IncField(kPropAge, s);
        }
    }
    return out;
}

int CountKind(int32_t kind, int32_t draw = -1) {
    int n = 0;
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s) {
        if (GetField(kPropKind, s) == kind && (draw < 0 || GetField(kPropDrawWord, s) == draw)) ++n;
    }
    return n;
}

double Dist(const Blast& b, int32_t x, int32_t y) {
    return std::hypot(b.x - x, b.y - y);
}

std::map<int32_t, int> CountByDelay(const std::vector<Blast>& blasts) {
    std::map<int32_t, int> m;
    for (const Blast& b : blasts) ++m[b.delay];
    return m;
}

class BlastPatternTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAllObjects();
        for (int i = 0; i < 5; ++i) UpdateSound();  // let every effect's cool-down run out
        for (int p = 0; p < kPlayerCount; ++p) {
            g_playerSlots[p] = 0;
            SetGameVar(100 + p, 0);
            SetGameVar(80 + p, 0);
        }
        SetGameVar(25, 0);
        SetGameVar(65, 0);
        SetGameVar(110, 1);
        SetGameVar(111, 0);
        SetGameVar(68, 0);
        for (int p = 0; p < kPlayerCount; ++p) SetGameVar(96 + p, 0);
        NewStage(-1);
        NewStage(0);
        ResizeArea(40, 30);
    }
    // Player p standing at (x, y) with lives.
    int PlacePlayer(int p, int32_t x, int32_t y) {
        const int s = SpawnObject(x, y, 9, 8, 0x20000008);
        g_playerSlots[p] = s;
        SetGameVar(100 + p, 3);
        return s;
    }
    static bool SePlayed(int n) { return GetSoundTable().seCooldown[n] > 0; }
};

TEST_F(BlastPatternTest, DelaysAreReadFromTheFrameABlastComesAlive) {
    SpawnBlast(0, 0, 1, 0);
    SpawnBlast(0, 0, 1, 16);
    const auto blasts = CollectBlasts();
    ASSERT_EQ(blasts.size(), 2u);
    EXPECT_EQ(blasts[0].delay, 0);
    EXPECT_EQ(blasts[1].delay, 16);
}

TEST_F(BlastPatternTest, StarOfSevenWithTwoPassesAndTheAttackerInEach) {
    PlacePlayer(1, 640, 320);
    const int o = SpawnStageObject(320, 320, 9, 8);
    SpawnBlastPattern(o, 1, 0, 1, 20, 0);
    const auto blasts = CollectBlasts();
    ASSERT_EQ(blasts.size(), 7u);
    // The centre and the first pass at once, the second pass 8 frames later.
    EXPECT_EQ(CountByDelay(blasts), (std::map<int32_t, int>{{0, 4}, {8, 3}}));
    int centre = 0;
    for (const Blast& b : blasts) {
        EXPECT_EQ(b.attacker, 1);
        EXPECT_EQ(b.attack, 20);
        EXPECT_TRUE(b.actor);
        const double d = Dist(b, 320, 320);
        if (d == 0) {
            ++centre;
            EXPECT_EQ(b.delay, 0);
        } else {
            EXPECT_NEAR(d, 32, 1.5);
        }
    }
    EXPECT_EQ(centre, 1);
    // Toward the player (angle 0): the first pass starts straight at it.
    EXPECT_TRUE(std::any_of(blasts.begin(), blasts.end(), [](const Blast& b) {
        return b.delay == 0 && b.x == 352 && b.y == 320;
    }));
}

TEST_F(BlastPatternTest, PlayersBlastTurnsAwaySkipsWallsAndCarriesPower) {
    PlacePlayer(0, 640, 320);
    const int o = SpawnStageObject(320, 320, 9, 8);
    // Mode 2 aims away from the player: the first pass starts straight left at radius 40.
    int32_t wx = 320, wy = 320;
    AddPolarOffset(&wx, &wy, 108000, 40);
    OrCellAtPixel(wx, wy, 4);
    SpawnBlastPattern(o, 0, 10, 2, 12, 32);  // 8..13 become the star in a player's blast
    const auto blasts = CollectBlasts();
    ASSERT_EQ(blasts.size(), 6u);
    for (const Blast& b : blasts) {
        EXPECT_EQ(b.power, 32);
        EXPECT_EQ(b.attack, 12);
        EXPECT_EQ(b.attacker, 0);
        const double d = Dist(b, 320, 320);
        if (d > 0) {
            EXPECT_NEAR(d, 32 / 4 + 32, 1.5);
        }
        EXPECT_FALSE(b.x == wx && b.y == wy);
    }
}

TEST_F(BlastPatternTest, LinesStopAtTheSecondWall) {
    struct Case {
        int pattern, mode;
        std::vector<int> wallSteps;  // walls under these steps of the line to the right
        size_t blasts;
        int32_t lastDelay;
    };
    const Case cases[] = {
        {4, 1, {}, 16, 120},     // 16 steps with the origin (the player lies at angle 0)
        {4, 1, {1}, 16, 120},    // one wall is crossed
        {4, 1, {1, 4}, 4, 24},   // the second wall ends the line
        {4, 0, {1, 4}, 4, 24},   // in every mode
        {4, 1, {2}, 3, 16},      // steps 2 and 3 share a cell: its wall is met twice
        {1, 1, {}, 20, 24},      // five lines of four, the origin on each
        {1, 1, {1, 2}, 20, 24},  // walls do not stop the five lines outside mode 2
    };
    for (const Case& c : cases) {
        SetUp();
        PlacePlayer(0, 1000, 320);
        const int o = SpawnStageObject(320, 320, 9, 8);
        for (int step : c.wallSteps) OrCellAtPixel(320 + 24 * step, 320, 4);
        SpawnBlastPattern(o, 0, c.pattern, c.mode, 5, 0);
        const auto blasts = CollectBlasts();
        EXPECT_EQ(blasts.size(), c.blasts) << c.pattern << " " << c.wallSteps.size();
        int32_t last = 0;
        for (const Blast& b : blasts) last = std::max(last, b.delay);
        EXPECT_EQ(last, c.lastDelay) << c.pattern;
    }
}

TEST_F(BlastPatternTest, PlayersLineIsEightStepsWithoutTheOrigin) {
    PlacePlayer(0, 0, 320);  // the line goes right, away from the player
    const int o = SpawnStageObject(320, 320, 9, 8);
    SpawnBlastPattern(o, 0, 4, 2, 5, 3);
    auto blasts = CollectBlasts();
    ASSERT_EQ(blasts.size(), 7u);
    std::sort(blasts.begin(), blasts.end(),
              [](const Blast& a, const Blast& b) { return a.delay < b.delay; });
    for (size_t i = 0; i < blasts.size(); ++i) {
        EXPECT_EQ(blasts[i].delay, 8 * static_cast<int>(i + 1));
        EXPECT_NEAR(blasts[i].x, 320 + 24 * static_cast<int>(i + 1), 1);
    }
    // In a player's blast, a line among the five ends at its second wall.
    SetUp();
    PlacePlayer(0, 0, 320);
    const int o2 = SpawnStageObject(320, 320, 9, 8);
    OrCellAtPixel(320 + 24, 320, 4);
    OrCellAtPixel(320 + 48, 320, 4);
    SpawnBlastPattern(o2, 0, 3, 2, 5, 3);
    // The two lines to the right (the first and the fifth) keep only their first step.
    EXPECT_EQ(CollectBlasts().size(), 5u * 3 - 4);
}

TEST_F(BlastPatternTest, RingsOfThreeAndFour) {
    PlacePlayer(0, 1000, 320);
    const int o = SpawnStageObject(320, 320, 9, 8);
    SpawnBlastPattern(o, 0, 5, 1, 30, 0);
    const auto blasts = CollectBlasts();
    ASSERT_EQ(blasts.size(), 15u);
    EXPECT_EQ(CountByDelay(blasts),
              (std::map<int32_t, int>{{0, 1}, {4, 3}, {8, 3}, {12, 4}, {16, 4}}));
    for (const Blast& b : blasts) {
        // The centre keeps the blast's own attack value.
        EXPECT_EQ(b.attack, b.delay == 0 ? 8 : 30);
        EXPECT_EQ(b.attacker, 0);
        const double ring = b.delay == 0 ? 0 : b.delay <= 8 ? 32 : 64;
        EXPECT_NEAR(Dist(b, 320, 320), ring, 1.5);
    }
}

TEST_F(BlastPatternTest, LineWithBurstAndRingsAtItsEnd) {
    PlacePlayer(0, 1000, 320);
    const int o = SpawnStageObject(320, 320, 9, 8);
    SpawnBlastPattern(o, 0, 8, 1, 30, 0);
    EXPECT_EQ(CountKind(0x2000000e), 1);
    int burst = 0;
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s)
        if (GetField(kPropKind, s) == 0x2000000e) burst = s;
    EXPECT_EQ(GetField(kPropX, burst), 320 + 7 * 24);
    EXPECT_EQ(GetField(28, burst), 56);
    EXPECT_EQ(GetField(29, burst), 16);
    const auto blasts = CollectBlasts();
    EXPECT_EQ(blasts.size(), 8u + 14u);
    for (const Blast& b : blasts) {
        if (b.delay > 56) {
            EXPECT_LE(Dist(b, 320 + 7 * 24, 320), 65);
        }
    }
}

TEST_F(BlastPatternTest, RingAroundThePlayerIsCappedAt320Pixels) {
    struct Case {
        int32_t playerX;
        int firstRing, secondRing;
    };
    const Case cases[] = {
        {320 + 100, 18, 24},   // R = 100, then 132
        {320 + 10, 12, 18},    // at least 64, then 96
        {320 + 5000, 60, 66},  // a far player: 320, then 352
    };
    for (const Case& c : cases) {
        SetUp();
        PlacePlayer(2, c.playerX, 320);
        const int o = SpawnStageObject(320, 320, 9, 8);
        SpawnBlastPattern(o, 2, 10, 0, 4, 0);
        EXPECT_TRUE(SePlayed(14));
        EXPECT_EQ(CountKind(0x60000000, 0x2001e09), c.firstRing + c.secondRing);
        const auto blasts = CollectBlasts();
        EXPECT_EQ(CountByDelay(blasts),
                  (std::map<int32_t, int>{{0, 1}, {60, c.firstRing}, {68, c.secondRing}}))
            << c.playerX;
        for (const Blast& b : blasts) {
            EXPECT_EQ(b.attacker, 2);
        }
    }
}

TEST_F(BlastPatternTest, TargetedStarLandsOnThePlayerInModeOne) {
    PlacePlayer(0, 500, 200);
    const int o = SpawnStageObject(320, 320, 9, 8);
    SpawnBlastPattern(o, 0, 9, 1, 6, 0);
    EXPECT_EQ(CountKind(0x2000000e), 1);
    EXPECT_EQ(CountKind(0x60000000, 0x2001e09), 1);
    const auto blasts = CollectBlasts();
    EXPECT_EQ(CountByDelay(blasts), (std::map<int32_t, int>{{0, 1}, {60, 4}, {68, 3}}));
    int onThePlayer = 0;
    for (const Blast& b : blasts) {
        if (b.delay == 0) {
            EXPECT_EQ(Dist(b, 320, 320), 0);
        }
        if (b.delay == 60 && Dist(b, 500, 200) == 0) ++onThePlayer;
    }
    EXPECT_EQ(onThePlayer, 1);
    // Outside mode 1 it is the plain star at the origin.
    SetUp();
    PlacePlayer(0, 500, 200);
    const int o2 = SpawnStageObject(320, 320, 9, 8);
    SpawnBlastPattern(o2, 0, 9, 0, 6, 0);
    EXPECT_EQ(CollectBlasts().size(), 7u);
}

TEST_F(BlastPatternTest, PlainKillOfASmallObjectLeavesOneBlast) {
    PlacePlayer(0, 0, 0);
    const int o = SpawnStageObject(320, 320, 9, 8);  // 240 HP, score base 2, sound 9
    DamageObject(o, 0, 500, 0);
    KillStageObject(o);
    const auto blasts = CollectBlasts();
    ASSERT_EQ(blasts.size(), 1u);
    EXPECT_FALSE(blasts[0].actor);
    EXPECT_EQ(GetGameVar(96), 2);
    EXPECT_TRUE(SePlayed(11));
    EXPECT_TRUE(SePlayed(9));
    EXPECT_TRUE(static_cast<uint32_t>(GetField(kPropFlags, o)) & kFlagDead);
    EXPECT_EQ(GetGameVar(110), 1);  // no chain without invincibility
}

TEST_F(BlastPatternTest, PlainKillOverNineHundredNinetyNineLeavesThePattern) {
    PlacePlayer(0, 1000, 320);
    const int o = SpawnStageObject(320, 320, 9, 10);  // 3200 HP, 12 items
    SetField(31, o, 0x15);                            // pattern 5
    DamageObject(o, 0, 4000, 0);
    KillStageObject(o);
    const auto blasts = CollectBlasts();
    EXPECT_EQ(blasts.size(), 15u);
    for (const Blast& b : blasts) EXPECT_FALSE(b.actor);  // mode 0: harmless
    EXPECT_EQ(CountKind(0x30000007), 0);                  // no drops without invincibility
    EXPECT_EQ(GetGameVar(96), 80);
}

TEST_F(BlastPatternTest, InvinciblePlayersPlainKillChainsAndDrops) {
    const int pl = PlacePlayer(0, 1000, 320);
    SetField(101, pl, 100);
    const int o = SpawnStageObject(320, 320, 9, 10);
    DamageObject(o, 0, 4000, 0);
    KillStageObject(o);
    EXPECT_EQ(GetGameVar(110), 2);
    EXPECT_EQ(GetGameVar(111), 120);
    EXPECT_EQ(CountKind(0x30000007), 12);
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s)
        if (GetField(kPropKind, s) == 0x30000007) {
            EXPECT_EQ(GetField(31, s), 16);
        }
}

TEST_F(BlastPatternTest, FlashPowerMakesABlastKillAndItsEndAPlainOne) {
    PlacePlayer(1, 1000, 320);
    SetGameVar(81, 3);
    const int o = SpawnStageObject(320, 320, 9, 11);  // KABOCHA: 240 HP, 1 item, icon 28
    DamageObject(o, 1, 100, 4);
    DamageObject(o, 1, 200, 12);  // within the flash: the higher power stays
    KillStageObject(o);
    const auto blasts = CollectBlasts();
    ASSERT_EQ(blasts.size(), 7u);  // pattern 0 turned away from the player
    for (const Blast& b : blasts) {
        EXPECT_EQ(b.attack, 2 * 3 + 8);
        EXPECT_EQ(b.power, 13);
        EXPECT_EQ(b.attacker, 1);
        EXPECT_TRUE(b.actor);
    }
    EXPECT_EQ(CountKind(0x30000007), 1);
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s)
        if (GetField(kPropKind, s) == 0x30000007) {
            EXPECT_EQ(GetField(31, s), 12 / 4 + 17);
        }
    EXPECT_EQ(GetGameVar(97), (12 / 4 + 1) * 2);
    EXPECT_EQ(GetGameVar(110), 2);
    EXPECT_TRUE(static_cast<uint32_t>(GetGameVar(68)) & (1u << 28));

    // The flash has run out (the routine clears the power): the next kill is a plain one.
    SetUp();
    PlacePlayer(1, 1000, 320);
    const int o2 = SpawnStageObject(320, 320, 9, 11);
    DamageObject(o2, 1, 300, 12);
    SetField(kPropBlastPower, o2, 0);
    KillStageObject(o2);
    const auto plain = CollectBlasts();
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_FALSE(plain[0].actor);
    EXPECT_EQ(GetGameVar(97), 2);
}

TEST_F(BlastPatternTest, ItemKindOfABlastKillTopsOutAt23) {
    const int o = SpawnStageObject(320, 320, 9, 8);
    DamageObject(o, 0, 999, 60);
    KillStageObject(o);
    int items = 0;
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s) {
        if (GetField(kPropKind, s) != 0x30000007) continue;
        ++items;
        EXPECT_EQ(GetField(31, s), 23);
    }
    EXPECT_EQ(items, 1);
}

// A kill by no player (the boss's hands, the stage clearing) scores for nobody; as a blast kill it
// still chains, as every blast kill does.
TEST_F(BlastPatternTest, NoPlayerBehindAKillScoresNothingAndOnlyABlastKillChains) {
    for (int p = 0; p < kPlayerCount; ++p) PlacePlayer(p, 1000, 320);
    SetGameVar(80, 5);
    SetGameVar(82, 7);
    for (int attacker : {-1, -2, 4}) {
        for (int32_t power : {0, 8}) {
            for (int p = 0; p < kPlayerCount; ++p) SetGameVar(96 + p, 0);
            SetGameVar(110, 1);
            SetGameVar(111, 0);
            ResetTweens();
            for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s)
                if (IsBlast(s)) ReleaseSlot(s);
            const int o = SpawnStageObject(320, 320, 9, 10);
            DamageObject(o, attacker, 5000, power);
            KillStageObject(o);
            for (int p = 0; p < kPlayerCount; ++p) {
                EXPECT_EQ(GetGameVar(96 + p), 0) << attacker;
            }
            EXPECT_EQ(GetGameVar(110), power > 0 ? 2 : 1) << attacker << " " << power;
            EXPECT_EQ(GetGameVar(111), power > 0 ? 120 : 0) << attacker << " " << power;
            for (const Blast& b : CollectBlasts(1)) {
                EXPECT_EQ(b.attacker, attacker);
                if (power > 0) {
                    EXPECT_EQ(b.attack, 8);
                }
            }
        }
    }
}

TEST_F(BlastPatternTest, KillOfATypeOutsideTheTableDoesNothing) {
    const int o = SpawnObject(320, 320, 9, 0, 0x30000010);
    KillStageObject(o);
    EXPECT_FALSE(static_cast<uint32_t>(GetField(kPropFlags, o)) & kFlagDead);
    EXPECT_TRUE(CollectBlasts(1).empty());
}

TEST_F(BlastPatternTest, EmitterFansRowsAndSprays) {
    SetUpEmitter(100, 100, 0, 0, 512);
    SetEmitterWays(4);
    FireEmitter();
    std::vector<int> shots;
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s)
        if (GetField(kPropKind, s) == 0x40000000) shots.push_back(s);
    ASSERT_EQ(shots.size(), 4u);
    std::vector<int32_t> dirs;
    for (int s : shots) {
        EXPECT_EQ(GetField(kPropHp, s), 0x40000 / 512);
        // A draw kind below 1 hides the shot.
        EXPECT_EQ(static_cast<uint32_t>(GetField(kPropFlags, s)), 0x20200000u | kFlagNotDrawn);
        dirs.push_back(NormaliseAngle(GetField(kPropDirection, s)));
    }
    std::sort(dirs.begin(), dirs.end());
    // A full ring of four, centred on the direction.
    EXPECT_EQ(dirs, (std::vector<int32_t>{27000, 81000, 135000, 189000}));

    // Rows speed up by a tenth each; a standing emitter's shots live 1024 frames.
    ResetAllObjects();
    SetUpEmitter(100, 100, 5, 54000, 0);
    FireEmitter();
    ASSERT_EQ(CountKind(0x40000000), 1);
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s) {
        if (GetField(kPropKind, s) != 0x40000000) continue;
        EXPECT_EQ(GetField(kPropHp, s), 1024);
        EXPECT_EQ(GetField(kPropDrawWord, s), 5);
        EXPECT_EQ(static_cast<uint32_t>(GetField(kPropFlags, s)), 0x20200000u);
    }

    // -n sprays n shots within the step, each no slower than the set speed.
    ResetAllObjects();
    SetUpEmitter(100, 100, 5, 0, 256);
    SetEmitterWays(8);
    SetEmitterWays(-6);
    FireEmitter();
    EXPECT_EQ(CountKind(0x40000000), 6);
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s) {
        if (GetField(kPropKind, s) != 0x40000000) continue;
        EXPECT_GE(GetField(kPropSpeed, s), 256);
        EXPECT_LE(GetField(kPropSpeed, s), 512);
        const int32_t d = NormaliseAngle(GetField(kPropDirection, s) + 13500);
        EXPECT_LE(d, 27000);
    }
}

}  // namespace
}  // namespace velmora
