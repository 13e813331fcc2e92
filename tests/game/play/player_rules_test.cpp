#include <gtest/gtest.h>

#include <vector>

#include "game/core/draw_list.h"
#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "game/core/object_pool.h"
#include "game/core/screen_state.h"
#include "game/core/sound_cue.h"
#include "game/play/combat.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "game/play/stage.h"

namespace velmora {
namespace {

class PlayerRulesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetAllObjects();
        InstallActorRoutines();
        for (int i = 0; i < 5; ++i) UpdateSound();
        for (int p = 0; p < kPlayerCount; ++p) {
            g_playerSlots[p] = 0;
            SetGameVar(100 + p, 0);
            for (int v : {76, 80, 84, 88}) SetGameVar(v + p, 0);
        }
        for (int v : {25, 27, 30, 64, 65, 111, 119, 122, 123}) SetGameVar(v, 0);
        SetGameVar(26, 5);
        SetGameVar(120, 6000);
        NewStage(-1);
        NewStage(0);
    }
    int Make(int c, int32_t x, int32_t y, int p = 0) {
        const int s = SpawnPlayer(x, y, p, c);
        SetGameVar(100 + p, 3);
        SetField(kPropHp, s, 10);
        SetField(kPropMaxHp, s, 10);
        return s;
    }
    // One frame of the player's own routine with `word` as the frame's buttons.
    static void Frame(int slot, uint32_t word) {
        SetReplayWord(GetReplayCursor(), word);
        SetCurrentObject(slot);
        DispatchActorObject(slot);
        IncField(kPropAge, slot);
    }
    static int Count(int32_t kind) {
        int n = 0;
        for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s)
            if (GetField(kPropKind, s) == kind) ++n;
        return n;
    }
};

TEST_F(PlayerRulesTest, SpawnTakesTheCharactersConstants) {
    for (int c = 0; c < 4; ++c) {
        const int s = SpawnPlayer(64, 96, 5, c + 4);  // both taken modulo 4
        ASSERT_GT(s, 0);
        EXPECT_EQ(GetPlayerSlot(1), s);
        EXPECT_EQ(GetField(kPropKind, s), 0x20000008 + c);
        EXPECT_EQ(GetField(kPropDrawWord, s), 8 + c);
        EXPECT_EQ(GetField(kPropSpeed, s), kCharacterSpeed[c]);
        EXPECT_EQ(GetField(kPropAngle, s), 6);
        EXPECT_EQ(GetField(kPropPlayerIndex, s), 1);
        EXPECT_EQ(GetField(kPropCharacter, s), c);
        EXPECT_TRUE(static_cast<uint32_t>(GetField(kPropFlags, s)) & kFlagKeep);
    }
    EXPECT_EQ(std::vector<int32_t>(kCharacterSpeed, kCharacterSpeed + 4),
              (std::vector<int32_t>{4, 5, 4, 3}));
}

TEST_F(PlayerRulesTest, WalkingByButtons) {
    struct Case {
        int c;
        uint32_t word;
        int32_t dx, dy, facing;
    };
    const Case cases[] = {
        {0, kButtonRight, 4, 0, 0},
        {0, kButtonDown, 0, 4, 6},
        {0, kButtonLeft | kButtonUp, -3, -3, 12},  // turns by at most a quarter turn
        {0, kButtonLeft | kButtonRight, 0, 0, 6},  // opposite: stands still
        {0, kButtonUp | kButtonDown, 0, 0, 6},
        {1, kButtonRight | kButtonShot, 4, 0, 5},  // SHOT: 5 -> 4, turning a 24th a frame
        {0, kButtonRight | kButtonShot, 3, 0, 5},
        {3, kButtonRight | kButtonShot, 3, 0, 5},  // 3 stays 3
        {3, kButtonRight, 3, 0, 0},
        {0, kButtonRight | kButtonDirection, 4, 0, 6},  // DIRECTION keeps the facing
    };
    for (const Case& c : cases) {
        SetUp();
        const int s = Make(c.c, 320, 256);
        Frame(s, c.word);
        int32_t x, y;
        GetPosition(&x, &y, s);
        EXPECT_EQ(x - 320, c.dx) << c.c << " " << c.word;
        EXPECT_EQ(y - 256, c.dy) << c.c << " " << c.word;
        EXPECT_EQ(GetField(kPropAngle, s), c.facing) << c.c << " " << c.word;
        EXPECT_EQ(GetField(kPropWalkCount, s), 1) << "the walk counter runs";
        EXPECT_EQ(static_cast<uint32_t>(GetField(kPropLastButtons, s)), c.word);
    }
}

TEST_F(PlayerRulesTest, DirectionAloneSnapsToTheCellCentre) {
    const int s = Make(0, 330, 250);
    Frame(s, kButtonDirection);
    int32_t x, y;
    GetPosition(&x, &y, s);
    EXPECT_EQ(x, 326);
    EXPECT_EQ(y, 254);
    Frame(s, kButtonDirection);
    GetPosition(&x, &y, s);
    EXPECT_EQ(x, 322);
    EXPECT_EQ(y, 256);
    EXPECT_EQ(GetField(kPropWalkCount, s), 0);
}

TEST_F(PlayerRulesTest, FourBlockedCornersStopTheStep) {
    // Cells around (320, 256): corners (308,252) (308,272) (332,252) (332,272).
    for (auto [cx, cy] : {std::pair{9, 8}, {9, 8}, {10, 8}, {9, 9}, {10, 9}}) SetCell(cx, cy, 2);
    const int s = Make(0, 320, 256);
    Frame(s, kButtonRight);
    int32_t x, y;
    GetPosition(&x, &y, s);
    // No step; push-out cancels out with every corner blocked.
    EXPECT_EQ(x, 320);
    EXPECT_EQ(y, 256);
    EXPECT_EQ(GetField(kPropWalkCount, s), 1);
}

TEST_F(PlayerRulesTest, PushOutIsAtMostEightPixelsAFrame) {
    // A wall cell to the left overlaps both left corners: pushed right a pixel a pass.
    SetCell(9, 8, 2);
    SetCell(9, 9, 2);
    const int s = Make(0, 300, 260);
    Frame(s, 0);
    int32_t x, y;
    GetPosition(&x, &y, s);
    EXPECT_EQ(x, 308);
    EXPECT_EQ(y, 260);
    Frame(s, 0);
    GetPosition(&x, &y, s);
    EXPECT_EQ(x, 316);  // the corner (x - 12) leaves cell 9 at 316
    Frame(s, 0);
    GetPosition(&x, &y, s);
    EXPECT_EQ(x, 316);
}

TEST_F(PlayerRulesTest, DigAfterTwelveFramesFillAtOnceNoDigIntoWalls) {
    const int s = Make(0, 320, 256);  // facing down: front cell (10, 9)
    Frame(s, kButtonSubAction);
    EXPECT_EQ(GetField(kPropPlayerAction, s), 2);
    EXPECT_TRUE(GetSoundTable().seCooldown[5] > 0);
    // Twelve frames of digging; the hole opens on the frame after them.
    for (int f = 0; f < 12; ++f) {
        EXPECT_EQ(GetCell(10, 9) & 1, 0) << f;
        Frame(s, kButtonRight);  // busy: no step
    }
    EXPECT_EQ(GetField(kPropX, s), 320);
    Frame(s, 0);
    EXPECT_EQ(GetCell(10, 9) & 1, 1);
    EXPECT_EQ(GetField(kPropPlayerAction, s), 0);
    // Filling it in is at once.
    Frame(s, 0);
    Frame(s, kButtonSubAction);
    EXPECT_EQ(GetCell(10, 9) & 1, 0);
    EXPECT_EQ(GetField(kPropPlayerAction, s), 3);
    // Walls (value 2, 4), object cells, bit 31 and the outside refuse a dig.
    for (int32_t cell : {2, 4, 16, static_cast<int32_t>(0x80000000u)}) {
        SetUp();
        SetCell(10, 9, cell);
        const int t = Make(0, 320, 256);
        Frame(t, kButtonSubAction);
        EXPECT_EQ(GetField(kPropPlayerAction, t), 0) << cell;
    }
    SetUp();
    const int edge = Make(0, 320, 15 * 32 - 8);  // front cell below the area
    Frame(edge, kButtonSubAction);
    EXPECT_EQ(GetField(kPropPlayerAction, edge), 0);
}

TEST_F(PlayerRulesTest, ShotFanAndEachPlayersOwnRange) {
    SetGameVar(81, 2);
    SetGameVar(84, 20);
    SetGameVar(85, 40);
    const int s = Make(0, 320, 256, 1);
    Frame(s, kButtonShot);
    std::vector<int32_t> angles;
    for (int t = kFirstObjectSlot; t <= kLastObjectSlot; ++t) {
        if (GetField(kPropKind, t) != 0x2000000c) continue;
        angles.push_back(GetField(kPropAngle, t));
        EXPECT_EQ(GetField(kPropActionTimer, t), 40 + 12);
        EXPECT_EQ(GetField(kPropPlayerIndex, t), 1);
        EXPECT_EQ(GetField(kPropAttack, t), 80);
        EXPECT_EQ(GetField(kPropPlayerAction, t), 1);
    }
    std::sort(angles.begin(), angles.end());
    EXPECT_EQ(angles, (std::vector<int32_t>{54000 - 18000, 54000 - 9000, 54000, 63000, 72000}));
    EXPECT_EQ(GetField(kPropActionTimer, s), 6);
    Frame(s, kButtonShot);
    EXPECT_EQ(Count(0x2000000c), 5);  // no new fan while the timer runs
}

TEST_F(PlayerRulesTest, ShotsHitStopOrPierceAndBurstOnShotWalls) {
    struct Case {
        int32_t kind;
        bool dies;
    };
    for (const Case& c : {Case{1, true}, Case{2, false}}) {
        SetUp();
        const int target = SpawnStageObject(336, 256, 9, 8);  // 240 HP
        const int shot = SpawnPlayerShot(300, 256, 0, 30, 0, c.kind);
        EXPECT_EQ(GetField(kPropX, shot), 316);
        Frame(shot, 0);
        EXPECT_EQ(GetField(kPropHp, target), 240 - 80);
        EXPECT_EQ(GetField(kPropAttacker, target), 0);
        EXPECT_EQ(static_cast<bool>(static_cast<uint32_t>(GetField(kPropFlags, shot)) & kFlagDead),
                  c.dies);
    }
    SetUp();
    SetCell(10, 8, 8);
    const int target = SpawnStageObject(320, 256, 9, 8);
    const int shot = SpawnPlayerShot(304, 256, 0, 30, 0, 2);
    Frame(shot, 0);
    EXPECT_TRUE(static_cast<uint32_t>(GetField(kPropFlags, shot)) & kFlagDead);
    EXPECT_EQ(GetField(kPropHp, target), 240);  // bursts before it hits
    // Its lifetime over, a shot dies.
    const int old = SpawnPlayerShot(0, 0, 0, 3, 0, 1);
    SetField(kPropAge, old, 3);
    Frame(old, 0);
    EXPECT_TRUE(static_cast<uint32_t>(GetField(kPropFlags, old)) & kFlagDead);
}

TEST_F(PlayerRulesTest, CameraOnWideNarrowAndTwentyOneCellAreas) {
    int w = 0, h = 0;
    GetScreenExtent(&w, &h);
    ASSERT_EQ(w, 640);
    ASSERT_EQ(h, 480);
    struct Case {
        int dw, dh;
        int32_t tx, n, start, want;
    };
    const Case cases[] = {
        {0, 0, 600, -1, 0, 0},             // 21 cells wide: 672 - 672 = 0, stays at 0
        {19, 0, 900, -1, 0, 580},          // 40 cells: 900 - 320
        {19, 0, 5000, -1, 0, 1280 - 672},  // at most the far edge
        {19, 0, 100, -1, 77, 0},           // at least 0
        {19, 0, 900, 5, 570, 575},         // five steps of a pixel
        {19, 0, 900, 50, 570, 580},        // stops at the target
    };
    for (const Case& c : cases) {
        NewStage(0);
        ResizeArea(c.dw, c.dh);
        SetGameVar(122, c.start);
        FollowCameraX(c.tx, c.n);
        EXPECT_EQ(GetGameVar(122), c.want) << c.dw << " " << c.tx;
    }
    // An area narrower than the screen is centred: the camera goes negative.
    SetScreenExtent(800, 600, 32);
    NewStage(0);
    FollowCameraX(300, -1);
    EXPECT_EQ(GetGameVar(122), (672 - 832) / 2);
    FollowCameraY(300, 3);
    EXPECT_EQ(GetGameVar(123), (512 - 632) / 2);
    ClearScreenExtent();
    // Sixteen rows on a 480-pixel screen: 512 - 512 = 0, the camera stays at 0.
    NewStage(0);
    SetGameVar(123, 40);
    FollowCameraY(300, -1);
    EXPECT_EQ(GetGameVar(123), 0);
}

TEST_F(PlayerRulesTest, DamageByDifficultyArmourAndFloor) {
    struct Case {
        int32_t difficulty, armour, maxHp, damage, lost;
    };
    const Case cases[] = {
        {0, 0, 10, 9, 4},       // easy halves
        {0, 0, 10, 3, 2},       // never below 2
        {1, 0, 100, 5, 10},     // nor below a tenth of the maximum
        {1, 2, 80, 20, 16},     // armour takes 2 a level
        {1, 7, 80, 20, 8},      // the floor again
        {2, 0, 10000, 5, 1000}  // hard: every hit 1000
    };
    for (const Case& c : cases) {
        SetUp();
        const int s = Make(0, 320, 256);
        SetField(kPropMaxHp, s, c.maxHp);
        SetField(kPropHp, s, 5000);
        SetGameVar(64, c.difficulty);
        SetGameVar(88, c.armour);
        DamagePlayer(0, c.damage);
        EXPECT_EQ(5000 - GetField(kPropHp, s), c.lost) << c.difficulty << " " << c.damage;
        EXPECT_EQ(GetField(kPropGuardTimer, s), 120);
        EXPECT_EQ(Count(0x60000000), 1);  // the pop-up
    }
    // Invincible: nothing.
    SetUp();
    const int s = Make(0, 320, 256);
    SetField(kPropInvincible, s, 5);
    DamagePlayer(0, 50);
    EXPECT_EQ(GetField(kPropHp, s), 10);
}

TEST_F(PlayerRulesTest, ALostLifeAndPlayingAgain) {
    const int s = Make(0, 320, 256);
    SetGameVar(65, 6);
    DamagePlayer(0, 50);
    EXPECT_EQ(GetField(kPropHp, s), 0);
    EXPECT_EQ(GetGameVar(26), 7);
    EXPECT_EQ(GetField(kPropDownTimer, s), 120);
    EXPECT_EQ(GetField(kPropGuardTimer, s), 240);
    EXPECT_EQ(GetGameVar(100), 2);
    EXPECT_EQ(GetGameVar(65), 2);
    for (int f = 0; f < 119; ++f) {
        Frame(s, kButtonRight);
        ASSERT_EQ(GetGameVar(26), 7) << f;
    }
    EXPECT_EQ(GetField(kPropX, s), 320);  // no control while down
    Frame(s, kButtonRight);
    EXPECT_EQ(GetGameVar(26), 5);
    EXPECT_EQ(GetField(kPropHp, s), 10);
    Frame(s, kButtonRight);
    EXPECT_GT(GetField(kPropX, s), 320);
    // In the tally phases a lost life leaves the hit points full.
    SetGameVar(26, 9);
    DamagePlayer(0, 500);
    EXPECT_EQ(GetField(kPropHp, s), 10);
    EXPECT_EQ(GetGameVar(100), 1);
    EXPECT_EQ(GetGameVar(65), 0);
}

TEST_F(PlayerRulesTest, TheLastLifeKeepsTheDownTimerAtOne) {
    const int s = Make(0, 320, 256);
    SetGameVar(100, 1);
    DamagePlayer(0, 50);
    EXPECT_EQ(GetGameVar(100), 0);
    SetGameVar(26, 8);
    for (int f = 0; f < 200; ++f) Frame(s, 0);
    EXPECT_EQ(GetField(kPropDownTimer, s), 1);
}

TEST_F(PlayerRulesTest, ExitsAndSwitchesUnderThePlayer) {
    struct Case {
        int32_t cell;
        int32_t phase, exit;
        uint32_t switches;
    };
    const auto Cell = [](int index, int variant, int tile) {
        return (index << 14) | (variant << 24) | (tile << 6);
    };
    const Case cases[] = {
        {Cell(2, 3, 0), 2, 2, 0},
        {Cell(2, 9, 55), 3, 8, 0},  // the stage's own exit tile spins the player
        {Cell(2, 0, 0), 5, 0, 0},   // exit 0 names nothing
        {Cell(3, 1, 0), 5, 0, 0x10000},
        {Cell(3, 16, 0), 5, 0, 0x80000000u},
        {Cell(3, 0, 0), 5, 0, 0},  // switches 0 and over 16 name nothing
        {Cell(3, 17, 0), 5, 0, 0},
        {Cell(2, 3, 0) | static_cast<int32_t>(kCellSpawn), 5, 0, 0},
    };
    for (const Case& c : cases) {
        SetUp();
        SetCell(10, 8, c.cell);
        const int s = Make(0, 320, 256);
        Frame(s, 0);
        EXPECT_EQ(GetGameVar(26), c.phase) << std::hex << c.cell;
        EXPECT_EQ(GetGameVar(30), c.exit) << std::hex << c.cell;
        EXPECT_EQ(static_cast<uint32_t>(GetGameVar(119)), c.switches) << std::hex << c.cell;
    }
    SetUp();
    SetGameVar(119, 0x30000);
    SetCell(10, 8, Cell(4, 2, 0));
    Frame(Make(0, 320, 256), 0);
    EXPECT_EQ(GetGameVar(119), 0x10000);
}

TEST_F(PlayerRulesTest, ThirdCharacterAuraAndLifeForABlast) {
    SetGameVar(80, 1);
    const int s = Make(3, 320, 256);
    const int target = SpawnStageObject(350, 256, 9, 8);
    Frame(s, kButtonShot);
    EXPECT_EQ(GetField(kPropHp, target), 240 - 8);
    Frame(s, kButtonDirection);
    EXPECT_EQ(GetGameVar(100), 2);
    EXPECT_EQ(GetGameVar(111), 120);
    EXPECT_EQ(GetField(kPropDownTimer, s), 60);
    EXPECT_EQ(GetField(kPropGuardTimer, s), 240);
    int blasts = 0;
    for (int t = kFirstObjectSlot; t <= kLastObjectSlot; ++t) {
        if (GetField(kPropKind, t) != 0x2000000f) continue;
        ++blasts;
        EXPECT_EQ(GetField(kPropAttack, t), 2 * 1 + 8);
        EXPECT_EQ(GetField(kPropBlastPower, t), 1);
        EXPECT_EQ(GetField(kPropAttacker, t), 0);
    }
    EXPECT_EQ(blasts, 7);
    Frame(s, kButtonDirection);  // held, not newly pressed
    EXPECT_EQ(GetGameVar(100), 2);
}

TEST_F(PlayerRulesTest, BlastsHurtVulnerablePlayersAndTargets) {
    SetGameVar(65, 4);
    SetGameVar(64, 1);
    const int s = Make(0, 320, 256);
    SetField(kPropMaxHp, s, 100);
    SetField(kPropHp, s, 100);
    const int b = SpawnBlast(325, 256, 1, 0);
    Frame(b, 0);
    EXPECT_EQ(GetField(kPropHp, s), 100 - (4 + 8));
    EXPECT_EQ(GetField(kPropWalkCount, b), 1);
    Frame(b, 0);  // the player's guard timer runs now
    EXPECT_EQ(GetField(kPropHp, s), 100 - 12);
    // A player's blast hurts stage objects with its power, not players.
    const int target = SpawnStageObject(400, 256, 9, 10);
    const int pb = SpawnBlast(400, 256, 2, 0);
    SetField(kPropBlastPower, pb, 9);
    SetField(kPropAttacker, pb, 2);
    Frame(pb, 0);
    EXPECT_EQ(GetField(kPropHp, target), 3200 - (8 - 9 / 4));
    EXPECT_EQ(GetField(kPropAttacker, target), 2);
    EXPECT_EQ(GetField(kPropBlastPower, target), 9);
    // Hidden blasts wait.
    const int hidden = SpawnBlast(400, 256, 2, 10);
    SetField(kPropBlastPower, hidden, 30);
    Frame(hidden, 0);
    EXPECT_EQ(GetField(kPropBlastPower, target), 9);
}

TEST_F(PlayerRulesTest, BurstGoesOffAtItsDelay) {
    const int b = SpawnDelayedBurst(100, 100, 3, 5);
    for (int f = 0; f < 3; ++f) Frame(b, 0);
    EXPECT_FALSE(static_cast<uint32_t>(GetField(kPropFlags, b)) & kFlagDead);
    Frame(b, 0);
    EXPECT_TRUE(static_cast<uint32_t>(GetField(kPropFlags, b)) & kFlagDead);
    EXPECT_EQ(GetGameVar(124), 20);
    EXPECT_EQ(Count(0x60000000), 5);
}

TEST_F(PlayerRulesTest, CompanionsChainFollowAndGiveThemselvesUp) {
    const int s = Make(0, 320, 256);
    SetGameVar(76, 2);
    const int a = SpawnCompanion(320, 256, 0);
    const int b = SpawnCompanion(320, 256, 0);
    EXPECT_EQ(GetChild(s, 1), a);
    EXPECT_EQ(GetChild(a, 1), b);
    EXPECT_EQ(GetParent(b), a);
    SetPosition(320, 100, a);
    Frame(a, 0);
    EXPECT_EQ(GetField(kPropSpeed, a), 64);        // far: speeds up toward the player
    EXPECT_EQ(GetField(kPropDirection, a), 9000);  // turning at most 9000 from 0
    SetPosition(320, 250, a);
    Frame(a, 0);
    EXPECT_EQ(GetField(kPropSpeed, a), 0);  // close: slows down, not below 0
    // All three buttons held by the owner: the last of the chain goes up in a blast.
    SetField(kPropLastButtons, s, kButtonShot | kButtonSubAction | kButtonDirection);
    Frame(a, 0);
    EXPECT_FALSE(static_cast<uint32_t>(GetField(kPropFlags, a)) & kFlagDead);
    Frame(b, 0);
    EXPECT_TRUE(static_cast<uint32_t>(GetField(kPropFlags, b)) & kFlagDead);
    EXPECT_EQ(GetGameVar(76), 1);
    EXPECT_EQ(GetGameVar(111), 120);
    EXPECT_EQ(Count(0x2000000f), 7);
    // Cut loose from its chain, a companion bursts.
    DetachFromParent(a);
    Frame(a, 0);
    EXPECT_TRUE(static_cast<uint32_t>(GetField(kPropFlags, a)) & kFlagDead);
}

}  // namespace
}  // namespace velmora
