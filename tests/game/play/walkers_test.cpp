#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/core/sound_cue.h"
#include "game/play/combat.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "game/play/stage.h"
#include "game/play/stage_devices.h"
#include "game/play/stage_objects.h"
#include "tests/game/play/stage_play_fixture.h"

namespace velmora {
namespace {

constexpr int kPropTimer = 28;
constexpr int kPropAlert = 46;
constexpr int kPropFall = 47;
constexpr int kPropBlink = 58;

class WalkerTest : public testing_stage::StagePlayTest {
protected:
    void SetUp() override {
        StagePlayTest::SetUp();
        Fresh();
    }
    static void Fresh() { ResetPlayState(4321); }
    // A walker past its first frame, standing still facing +x.
    static int Walker(int32_t x, int32_t y, int32_t variant, int type = kTypeWalker) {
        const int s = SpawnStageObject(x, y, 9, type);
        SetField(kPropVariant, s, variant);
        // Its set-up frame takes no hole the test has dug under it.
        const uint32_t hole = Cell(x, y) & kCellHole;
        ClearCellBitsAtPixel(x, y, kCellHole);
        Frame(UpdateLeafPeople, s);
        OrCellAtPixel(x, y, static_cast<int32_t>(hole));
        SetField(kPropAlert, s, 0);
        SetField(kPropAttacker, s, 0);
        SetField(kPropDirection, s, 1);
        SetField(kPropTimer, s, 0);
        SetPosition3(x, y, 0, s);
        SetField(kPropFall, s, 0);
        return s;
    }
    static int CountWalkers() { return CountType(kTypeWalker); }
    static int FindBuriedLeaf() {
        for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s)
            if (GetField(kPropKind, s) == (0x30000000 | kTypeBuriedLeaf)) return s;
        return 0;
    }
};

TEST_F(WalkerTest, FirstFrameTakesItsKindRowAndItsColour) {
    for (int kind = 0; kind < kWalkerKinds; ++kind) {
        Fresh();
        const int s = SpawnStageObject(320, 320, 9, kTypeWalker);
        SetField(kPropVariant, s, kind);
        Frame(UpdateLeafPeople, s);
        EXPECT_EQ(GetField(32, s), kind >= 13 ? 999 : WalkerKindTable[kind][0]) << kind;
        EXPECT_EQ(GetField(kPropAttack, s), WalkerKindTable[kind][1]) << kind;
        EXPECT_EQ(GetField(33, s), WalkerKindTable[kind][2]) << kind;
        EXPECT_EQ(GetField(121, s), WalkerKindTable[kind][3]) << kind;
    }
    struct Case {
        int32_t variant;
        int32_t hp;
        bool guard, fills;
    };
    const Case cases[] = {
        {0, 240, false, false},          {5, 960, false, false},    {7, 960, false, false},
        {0x10, 240, false, false},       {0x20, 240, true, false},  {0x30, 1920, false, true},
        {0x30 | 0x40, 240, false, true}, {0x35, 7680, false, true},
    };
    for (const Case& c : cases) {
        Fresh();
        const int s = SpawnStageObject(320, 320, 9, kTypeWalker);
        SetField(kPropVariant, s, c.variant);
        Frame(UpdateLeafPeople, s);
        EXPECT_EQ(GetField(kPropHp, s), c.hp) << c.variant;
        EXPECT_EQ(GetField(kPropMaxHp, s), c.hp) << c.variant;
        EXPECT_EQ(Flag(s, kFlagGuard), c.guard) << c.variant;
        EXPECT_EQ(Flag(s, kFlagFillsHoles), c.fills) << c.variant;
    }
}

TEST_F(WalkerTest, WalksItsTimeAndTurnsAwayFromAWall) {
    OrCellAtPixel(224, 160, kCellBlockGround);  // cell (7, 5)
    const int s = Walker(160, 160, 0);
    SetField(kPropTimer, s, 64);
    SetField(kPropSpeed, s, 1);
    int frames = 0;
    while (GetField(kPropDirection, s) == 1 && frames < 100) {
        Frame(UpdateLeafPeople, s);
        ++frames;
    }
    EXPECT_EQ(frames, 32);  // 16 px ahead of x = 192 is the wall's cell
    EXPECT_EQ(GetField(kPropX, s), 192);
    EXPECT_EQ(GetField(kPropY, s), 160);
    EXPECT_TRUE(GetField(kPropDirection, s) == 3 || GetField(kPropDirection, s) == 4);
    const int32_t t = GetField(kPropTimer, s);
    EXPECT_TRUE(t == 32 || t == 64 || t == 96 || t == 128) << t;
    EXPECT_TRUE(Cell(192, 160) & kCellOccupied);
    // A red leaf walks at 2 and so for half as many frames.
    const int red = Walker(320, 320, 0x10);
    Frame(UpdateLeafPeople, red);
    EXPECT_EQ(GetField(kPropSpeed, red), 2);
    const int32_t rt = GetField(kPropTimer, red);
    EXPECT_TRUE(rt == 16 || rt == 32 || rt == 48 || rt == 64) << rt;
}

TEST_F(WalkerTest, SightByKindRangeConeAndWalls) {
    struct Case {
        int32_t variant;
        int32_t dx, dy;
        bool wall;  // a high wall half way
        bool sees;
        int icon;  // awarded within 200 px, -1 none
    };
    const Case cases[] = {
        {0, 20, 0, false, true, 16},  // a short range sees all round
        {0, -20, 0, false, true, 16},    {0, 40, 0, false, false, 16},  // out of range
        {8, 200, 0, false, true, -1},     // treefolk, straight ahead, icon only nearer than 200
        {8, 100, 50, false, true, 24},    // inside the cone
        {8, 0, 200, false, false, -1},    // a quarter turn off
        {8, -100, 0, false, false, 24},   // behind
        {8, 128, 0, true, false, 24},     // a high wall on the line
        {0x28, 100, 0, false, true, 30},  // a metal leaf awards its colour's icon
        {11, 20, 0, false, true, 27},     // negi: short range sees at once
        {4, 110, 0, false, true, 20},    {4, 130, 0, false, false, 20},
    };
    for (const Case& c : cases) {
        Fresh();
        const int s = Walker(320, 320, c.variant);
        if (c.wall) OrCellAtPixel(320 + c.dx / 2, 320 + c.dy / 2, kCellBlockHigh);
        Player(320 + c.dx, 320 + c.dy, 1);
        SetCurrentObject(s);
        EXPECT_EQ(CheckWalkerSight(s), c.sees) << c.variant << " " << c.dx << "," << c.dy;
        EXPECT_EQ(GetField(kPropAlert, s), c.sees ? 1 : 0) << c.variant;
        if (c.sees) {
            EXPECT_EQ(GetField(kPropAttacker, s), 1);
        }
        for (int icon = 16; icon < 32; ++icon)
            EXPECT_EQ(Owns(icon), icon == c.icon) << c.variant << " icon " << icon;
        // A delay means a pop-up and no longer targetable.
        EXPECT_EQ(Flag(s, kFlagTargetable), !(c.sees && WalkerKindTable[c.variant & 15][2] > 0))
            << c.variant;
    }
}

TEST_F(WalkerTest, AlwaysAlertKindsSeeWithoutAPlayerAndKeepTheirTarget) {
    const int s = Walker(320, 320, 14);
    SetField(kPropAttacker, s, 2);
    SetCurrentObject(s);
    EXPECT_TRUE(CheckWalkerSight(s));
    EXPECT_EQ(GetField(kPropAttacker, s), 2);
    const int plain = Walker(400, 320, 12);
    EXPECT_FALSE(CheckWalkerSight(plain));
    // A blinking walker sees nothing.
    Player(330, 320);
    const int blink = Walker(320, 320, 0);
    SetField(kPropBlink, blink, 3);
    EXPECT_FALSE(CheckWalkerSight(blink));
}

TEST_F(WalkerTest, AlertCountsToItsDelayThenExplodesIntoBlastsAtThePlayers) {
    Player(420, 320);
    const int s = Walker(320, 320, 8);
    Frame(UpdateLeafPeople, s);
    ASSERT_EQ(GetField(kPropAlert, s), 1);
    for (int i = 0; i < 20; ++i) Frame(UpdateLeafPeople, s);
    EXPECT_FALSE(Flag(s, kFlagDead));
    EXPECT_TRUE(Cell(320, 320) & kCellOccupied);
    const int before = CountObjectsOfKind(0x2000000f);
    Frame(UpdateLeafPeople, s);
    EXPECT_TRUE(Flag(s, kFlagDead));
    EXPECT_TRUE(SePlayed(11));
    EXPECT_EQ(GetGameVar(kGameVarShake), 16);
    EXPECT_GT(CountObjectsOfKind(0x2000000f), before);
    EXPECT_FALSE(Cell(320, 320) & kCellOccupied);
}

TEST_F(WalkerTest, ARespawningWalkerStaysAndBlinksAfterItsBlast) {
    Player(340, 320);
    const int s = Walker(320, 320, 0x40);
    Frame(UpdateLeafPeople, s);  // sees at once
    Frame(UpdateLeafPeople, s);  // 1 > 0: explodes
    EXPECT_FALSE(Flag(s, kFlagDead));
    EXPECT_EQ(GetField(kPropBlink, s), 60);
    EXPECT_EQ(GetField(kPropAlert, s), 0);
    Frames(UpdateLeafPeople, s, 59);
    EXPECT_EQ(GetField(kPropAlert, s), 0);  // blind while it blinks
    EXPECT_EQ(GetField(kPropBlink, s), 1);
    Frame(UpdateLeafPeople, s);
    EXPECT_EQ(GetField(kPropBlink, s), 0);
}

TEST_F(WalkerTest, FallsInAnOpenHoleAndIsHeld) {
    OrCellAtPixel(320, 320, kCellHole);
    const int s = Walker(318, 322, 0);
    SetField(kPropVelX, s, 300);
    Frame(UpdateLeafPeople, s);
    EXPECT_TRUE(Flag(s, kFlagCaught));
    EXPECT_FALSE(Flag(s, kFlagTargetable));
    EXPECT_EQ(GetField(kPropTimer, s), 299);  // its first frame in the hole counts
    EXPECT_TRUE(Cell(320, 320) & kCellHoleHeld);
    EXPECT_EQ(GetField(kPropX, s), 320);
    EXPECT_EQ(GetField(kPropY, s), 320);
    EXPECT_EQ(GetField(kPropVelX, s), 0);  // held fast
    EXPECT_TRUE(SePlayed(8));
    EXPECT_TRUE(Owns(9));
    // It does not walk off while held.
    SetField(kPropTimer, s, 300);
    Frames(UpdateLeafPeople, s, 10);
    EXPECT_EQ(GetField(kPropX, s), 320);
    EXPECT_EQ(GetField(kPropTimer, s), 290);
}

TEST_F(WalkerTest, FilledHoleBuriesForTenOrThirtyInTheLastSixtyFrames) {
    struct Case {
        int heldFrames;
        int32_t points;
    };
    // The catch frame is the first of 300 in the hole; the last 60 begin 240 frames after it.
    for (const Case c : {Case{0, 10}, Case{239, 10}, Case{240, 30}, Case{297, 30}}) {
        Fresh();
        OrCellAtPixel(320, 320, kCellHole);
        const int s = Walker(320, 320, 0x25);
        Frame(UpdateLeafPeople, s);
        Frames(UpdateLeafPeople, s, c.heldFrames);
        ASSERT_TRUE(Flag(s, kFlagCaught)) << c.heldFrames;
        ClearCellBitsAtPixel(320, 320, kCellHole);  // the player fills it
        Frame(UpdateLeafPeople, s);
        EXPECT_TRUE(Flag(s, kFlagDead)) << c.heldFrames;
        EXPECT_EQ(GetGameVar(kGameVarScore0), c.points) << c.heldFrames;
        EXPECT_TRUE(SePlayed(9));
        EXPECT_TRUE(Owns(12));
        const int leaf = FindBuriedLeaf();
        ASSERT_GT(leaf, 0);
        EXPECT_EQ(GetField(kPropX, leaf), 320);
        EXPECT_EQ(GetField(kPropY, leaf), 320);
        EXPECT_EQ(GetField(kPropVariant, leaf), 0x25);
        EXPECT_TRUE(Cell(320, 320) & kCellBlockHigh);
    }
}

TEST_F(WalkerTest, ClimbsOutWhenItsTimeRunsOut) {
    OrCellAtPixel(320, 320, kCellHole);
    const int s = Walker(320, 320, 0);
    Frame(UpdateLeafPeople, s);
    Frames(UpdateLeafPeople, s, 298);
    EXPECT_TRUE(Flag(s, kFlagCaught));
    Frame(UpdateLeafPeople, s);
    EXPECT_FALSE(Flag(s, kFlagCaught));
    EXPECT_TRUE(Flag(s, kFlagTargetable));
    EXPECT_EQ(Cell(320, 320) & (kCellHole | kCellHoleHeld), 0u);
    EXPECT_EQ(GetField(kPropZ, s), 8);
    EXPECT_EQ(GetField(kPropFall, s), -8);
    EXPECT_TRUE(SePlayed(10));
    EXPECT_FALSE(Flag(s, kFlagDead));
}

TEST_F(WalkerTest, FatLeavesAndKabochaFillHolesInsteadOfFallingIn) {
    for (int type : {kTypeWalker, kTypeKabocha}) {
        Fresh();
        OrCellAtPixel(320, 320, kCellHole);
        const int s = Walker(320, 320, type == kTypeWalker ? 0x30 : 0, type);
        Frame(type == kTypeWalker ? UpdateLeafPeople : UpdateKabocha, s);
        EXPECT_FALSE(Flag(s, kFlagCaught)) << type;
        EXPECT_FALSE(Cell(320, 320) & kCellHole) << type;
        EXPECT_EQ(GetGameVar(kGameVarShake), 8) << type;
        EXPECT_TRUE(SePlayed(5)) << type;
    }
}

TEST_F(WalkerTest, BuriedLeafSetOffByAPlayerBlastsAsThatPlayers) {
    SetGameVar(82, 3);
    const int leaf = SpawnStageObject(320, 320, 9, kTypeBuriedLeaf);
    SetField(kPropVariant, leaf, 0);
    OrCellAtPixel(320, 320, kCellBlockHigh | kCellOccupied | kCellHoleHeld);
    const int pl = Player(400, 320, 2);
    Frame(UpdateBuriedLeaf, leaf);
    EXPECT_FALSE(Flag(leaf, kFlagDead));
    SetPosition(335, 330, pl);
    Frame(UpdateBuriedLeaf, leaf);
    EXPECT_TRUE(Flag(leaf, kFlagDead));
    EXPECT_EQ(Cell(320, 320) & (kCellBlockHigh | kCellOccupied | kCellHoleHeld), 0u);
    EXPECT_EQ(GetGameVar(kGameVarShake), 30);
    EXPECT_TRUE(SePlayed(11));
    EXPECT_EQ(GetField(kPropPlayerAction, pl), 5);
    EXPECT_EQ(GetField(kPropActionTimer, pl), 32);
    int blasts = 0;
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s)
        if (GetField(kPropKind, s) == 0x2000000f) {
            ++blasts;
            EXPECT_EQ(GetField(kPropAttacker, s), 2);
        }
    EXPECT_GT(blasts, 0);
}

TEST_F(WalkerTest, BuriedLeafGoesOffByItselfAfterItsFuse) {
    const int leaf = SpawnStageObject(320, 320, 9, kTypeBuriedLeaf);
    OrCellAtPixel(320, 320, kCellBlockHigh | kCellHoleHeld);
    Frames(UpdateBuriedLeaf, leaf, 3600);
    EXPECT_FALSE(Flag(leaf, kFlagDead));
    Frame(UpdateBuriedLeaf, leaf);
    EXPECT_TRUE(Flag(leaf, kFlagDead));
    EXPECT_TRUE(SePlayed(11));
    EXPECT_EQ(Cell(320, 320) & (kCellBlockHigh | kCellHoleHeld), 0u);
}

TEST_F(WalkerTest, ClearedAwayBuriedLeafLeavesNoInvisibleWall) {
    InstallStageObjectRoutines();
    const int leaf = SpawnStageObject(320, 320, 9, kTypeBuriedLeaf);
    OrCellAtPixel(320, 320, kCellBlockHigh | kCellOccupied | kCellHoleHeld);
    DestroyAllStageObjects();
    SetCurrentObject(leaf);
    UpdateStageObject(leaf);
    EXPECT_TRUE(Flag(leaf, kFlagDead));
    EXPECT_EQ(Cell(320, 320) & (kCellBlockHigh | kCellOccupied | kCellHoleHeld), 0u);
}

TEST_F(WalkerTest, AWalkerGoingFromItsHoleFreesItToCatchAgain) {
    InstallStageObjectRoutines();
    for (bool explodes : {true, false}) {
        Fresh();
        OrCellAtPixel(320, 320, kCellHole);
        const int s = Walker(320, 320, 0);
        Frame(UpdateLeafPeople, s);
        ASSERT_TRUE(Flag(s, kFlagCaught));
        if (explodes)
            SetField(kPropAlert, s, 1);  // it looked round from its hole and saw a player
        else
            DamageObject(s, 0, 9999, 0);  // shot dead
        SetCurrentObject(s);
        UpdateStageObject(s);
        ASSERT_TRUE(Flag(s, kFlagDead)) << explodes;
        EXPECT_FALSE(Cell(320, 320) & kCellHoleHeld) << explodes;
        const int next = Walker(320, 320, 0);
        Frame(UpdateLeafPeople, next);
        EXPECT_TRUE(Flag(next, kFlagCaught)) << explodes;
    }
}

TEST_F(WalkerTest, ABurialWithoutRoomForItsLeafLeavesPlainGround) {
    OrCellAtPixel(320, 320, kCellHole);
    const int s = Walker(320, 320, 0);
    Frame(UpdateLeafPeople, s);
    FillPool();
    ClearCellBitsAtPixel(320, 320, kCellHole);
    Frame(UpdateLeafPeople, s);
    EXPECT_TRUE(Flag(s, kFlagDead));
    EXPECT_EQ(FindBuriedLeaf(), 0);
    EXPECT_EQ(Cell(320, 320) & (kCellBlockHigh | kCellHoleHeld | kCellOccupied), 0u);
}

TEST_F(WalkerTest, FlyingLeafHoversUntilAPlayerComesNearThenDives) {
    const int s = Walker(320, 320, 0x13);
    Frames(UpdateLeafPeople, s, 100);
    EXPECT_EQ(GetField(kPropZ, s), 64);
    Player(GetField(kPropX, s) + 70, GetField(kPropY, s));
    Frame(UpdateLeafPeople, s);
    EXPECT_EQ(GetField(kPropVariant, s), 0x1f);
    EXPECT_FALSE(Flag(s, kFlagTargetable));
    EXPECT_TRUE(SePlayed(15));
    EXPECT_TRUE(Owns(19));
    int frames = 0;
    while (GetField(kPropZ, s) > 0 && frames < 200) {
        Frame(UpdateLeafPeople, s);
        ++frames;
    }
    EXPECT_EQ(GetField(kPropZ, s), 0);
    EXPECT_GT(frames, 8);
    EXPECT_EQ(GetField(32, s), 999);
}

TEST_F(WalkerTest, SeederThrowsSeedsAtNearPlayersOnly) {
    const int s = Walker(320, 320, 2);
    Player(320 + 150, 320);
    Player(320, 320 + 250, 1);  // too far
    SetField(33, s, 999);       // keep it from blowing up while it throws
    ClearSounds();
    SetCurrentObject(s);
    StepWalker(s);  // the sight of it is not under test here
    SetField(kPropAlert, s, 0);
    SetField(45, s, 0);
    Frame(UpdateLeafPeople, s);
    EXPECT_EQ(CountWalkers(), 2);
    EXPECT_EQ(GetField(45, s), 120);
    EXPECT_TRUE(SePlayed(6));
    int seed = 0;
    for (int o = kFirstObjectSlot; o <= kLastObjectSlot; ++o)
        if (o != s && GetField(kPropKind, o) == (0x30000000 | kTypeWalker)) seed = o;
    ASSERT_GT(seed, 0);
    EXPECT_EQ(GetField(kPropVariant, seed) & 15, 13);
    EXPECT_EQ(GetField(kPropZ, seed), 76);
    EXPECT_EQ(GetField(kPropVelX, seed), 512);
    EXPECT_EQ(GetField(kPropVelY, seed), 0);
    EXPECT_EQ(GetField(kPropFall, seed), -4);
}

// The seeder's 120-frame cool-down starts on every try, thrown or not: a player who comes in
// range just after a try waits for the cool-down to run out.
TEST_F(WalkerTest, SeederCoolDownRunsWhetherOrNotItThrew) {
    const int s = Walker(320, 320, 2);
    const int pl = Player(320 + 400, 320);  // out of range
    SetField(33, s, 999);                   // keep it from blowing up
    auto frame = [&] {
        SetField(kPropAlert, s, 0);
        SetField(kPropTimer, s, 10);  // standing, not turning
        SetPosition3(320, 320, 0, s);
        Frame(UpdateLeafPeople, s);
    };
    SetField(45, s, 0);
    frame();
    EXPECT_EQ(CountWalkers(), 1);
    EXPECT_EQ(GetField(45, s), 120);
    EXPECT_TRUE(SePlayed(6));
    SetPosition3(320 + 150, 320, 0, pl);
    int frames = 1;
    for (frame(); CountWalkers() == 1 && frames < 300; ++frames) frame();
    EXPECT_EQ(frames, 121) << "120 frames of cool-down, then the throw";
    EXPECT_EQ(GetField(45, s), 120);
}

TEST_F(WalkerTest, RoyalLeafBreedsEggsToItsLimitAndEggsHatch) {
    const int s = Walker(320, 320, 0x25);
    for (int i = 0; i < 64 * 4; ++i) {
        SetField(kPropAlert, s, 0);
        Frame(UpdateLeafPeople, s);
    }
    EXPECT_EQ(GetField(kPropLiveChildren, s), 2);
    EXPECT_EQ(CountWalkers(), 3);
    int egg = 0;
    for (int o = kFirstObjectSlot; o <= kLastObjectSlot; ++o)
        if (o != s && GetField(kPropKind, o) == (0x30000000 | kTypeWalker)) egg = o;
    ASSERT_GT(egg, 0);
    EXPECT_EQ(GetField(kPropVariant, egg), 0x2c);
    SetField(kPropAge, egg, 180);
    SetCurrentObject(egg);
    UpdateLeafPeople(egg);
    EXPECT_EQ(GetField(kPropVariant, egg), 0x20);
    EXPECT_EQ(GetField(kPropZ, egg), 8);
    EXPECT_EQ(GetField(kPropFall, egg), -8);
    EXPECT_TRUE(Flag(egg, kFlagTargetable));
}

TEST_F(WalkerTest, RoyalLeafCountsOnlyEggsItMade) {
    const int s = Walker(320, 320, 5);
    SetField(kPropLiveChildren, s, 0);  // its set-up frame bred one already
    FillPool();
    SetField(kPropAge, s, 64);
    Frame(UpdateLeafPeople, s);
    EXPECT_EQ(GetField(kPropLiveChildren, s), 0);
}

TEST_F(WalkerTest, BriefPeopleSetTheTimeOfDayByColour) {
    const int32_t want[4] = {5, 7, 4, 1};
    for (int colour = 0; colour < 4; ++colour) {
        Fresh();
        const int s = Walker(320, 320, 7 | (colour << 4));
        Frame(UpdateLeafPeople, s);
        EXPECT_EQ(GetGameVar(115), want[colour]) << colour;
    }
}

TEST_F(WalkerTest, KabochaVanishesByDayPhaseAndTurnsTowardItsWay) {
    for (int32_t t = 0; t <= 6; ++t) {
        Fresh();
        SetGameVar(114, t);
        const int s = Walker(320, 320, 0, kTypeKabocha);
        SetField(kPropAngle, s, 0);
        SetField(kPropDirection, s, 2);
        SetField(kPropTimer, s, 50);
        Frame(UpdateKabocha, s);
        const bool gone = t >= 2 && t <= 4;
        EXPECT_EQ(Flag(s, kFlagDead), gone) << t;
        if (!gone) {
            EXPECT_EQ(GetField(kPropAngle, s), 3000) << t;
        }
    }
}

TEST_F(WalkerTest, FrozenLeavesStandStill) {
    SetGameVar(kGameVarPhase, 7);
    const int s = Walker(320, 320, 0);
    SetField(kPropTimer, s, 50);
    SetField(kPropSpeed, s, 1);
    SetField(kPropAge, s, 90);
    Frame(UpdateLeafPeople, s);
    EXPECT_EQ(GetField(kPropX, s), 320);
    EXPECT_TRUE(SePlayed(10));
}

}  // namespace
}  // namespace velmora
