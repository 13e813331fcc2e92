#include "game/play/stage_devices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "game/core/config.h"
#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/core/sound_cue.h"
#include "game/play/combat.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "game/play/stage.h"
#include "tests/game/play/stage_play_fixture.h"

namespace velmora {
namespace {

class StageDevicesTest : public testing_stage::StagePlayTest {
protected:
    void SetUp() override {
        StagePlayTest::SetUp();
        Fresh();
    }
    // A clean pool, area and play state at normal difficulty with time on the clock; also
    // between the cases of a table.
    static void Fresh() {
        ResetPlayState(1234);
        SetGameVar(kGameVarDifficulty, 1);
        SetGameVar(kGameVarTimeLeft, 6000);
    }
};

TEST_F(StageDevicesTest, InstallFillsTheDeviceRowsOnly) {
    ObjectRoutine saved[kObjectRoutineCount];
    std::copy(std::begin(ObjectRoutineTable), std::end(ObjectRoutineTable), saved);
    std::fill(std::begin(ObjectRoutineTable), std::end(ObjectRoutineTable), nullptr);
    InstallStageDeviceRoutines();
    const std::pair<int, ObjectRoutine> rows[] = {{kTypeGenerator, &UpdateGenerator},
                                                  {kTypeEventControl, &UpdateEventControl},
                                                  {kTypeGate, &UpdateGate},
                                                  {kTypeCandle, &UpdateCandle},
                                                  {kTypeFieldItem, &UpdateFieldItem},
                                                  {kTypeBreakWall, &UpdateBreakWall},
                                                  {kTypeKanameStone, &UpdateKanameStone},
                                                  {kTypeProjectile, &UpdateProjectile}};
    int filled = 0;
    for (int row = 0; row < kObjectRoutineCount; ++row)
        if (ObjectRoutineTable[row]) ++filled;
    EXPECT_EQ(filled, 8);
    for (auto [type, routine] : rows)
        EXPECT_EQ(ObjectRoutineTable[kStageObjectRoutines + type], routine) << type;
    std::copy(std::begin(saved), std::end(saved), ObjectRoutineTable);
}

// --- Breeders ---------------------------------------------------------------------------------

TEST_F(StageDevicesTest, GeneratorDestroyedTwiceRevivesTougherEachTime) {
    SetGameVar(114, 1);
    const int g = SpawnStageObject(320, 256, 9, kTypeGenerator);
    ASSERT_GT(g, 0);
    EXPECT_EQ(GetField(kPropMaxHp, g), 1200);
    for (int32_t expected : {4200, 7200}) {
        SetField(kPropHp, g, 0);
        Frame(UpdateGenerator, g);
        EXPECT_FALSE(Flag(g, kFlagTargetable));
        EXPECT_TRUE(SePlayed(17));
        EXPECT_EQ(GetGameVar(kGameVarShake), 30);
        EXPECT_EQ(GetField(kPropMaxHp, g), expected);
        int frames = 0;
        while (!Flag(g, kFlagTargetable) && frames < 10000) {
            Frame(UpdateGenerator, g);
            ++frames;
        }
        EXPECT_EQ(frames, 3601);
        EXPECT_EQ(GetField(kPropHp, g), expected);
        EXPECT_TRUE(SePlayed(7));
        EXPECT_TRUE(Cell(320, 256) & kCellOccupied);
    }
}

TEST_F(StageDevicesTest, GeneratorRevivalTimeFollowsDayAndWeather) {
    struct Case {
        int32_t day, weather;
        int frames;  // from the frame after its death to the one it revives on
    };
    const Case cases[] = {
        {1, 0, 3601}, {2, 0, 1801}, {3, 0, 1801}, {4, 0, 3601}, {6, 0, 601},
        {0, 1, 1801}, {4, 1, 1801}, {0, 0, -1},   {5, 0, -1},
    };
    for (const Case& c : cases) {
        Fresh();
        SetGameVar(114, c.day);
        SetGameVar(112, c.weather);
        const int g = SpawnStageObject(320, 256, 9, kTypeGenerator);
        SetField(kPropHp, g, 0);
        Frame(UpdateGenerator, g);
        int frames = 0;
        while (!Flag(g, kFlagTargetable) && frames < 5000) {
            Frame(UpdateGenerator, g);
            ++frames;
        }
        EXPECT_EQ(frames, c.frames < 0 ? 5000 : c.frames) << c.day << " " << c.weather;
    }
}

TEST_F(StageDevicesTest, GeneratorBreedsToItsLimitAtItsInterval) {
    struct Case {
        int32_t day, weather, limit, interval;
    };
    const Case cases[] = {{0, 0, 2, 60}, {3, 0, 5, 60}, {4, 0, 6, 30},
                          {0, 1, 2, 30}, {5, 0, 2, 30}, {6, 0, 32, 30}};
    for (const Case& c : cases) {
        Fresh();
        SetGameVar(114, c.day);
        SetGameVar(112, c.weather);
        const int g = SpawnStageObject(320, 256, 9, kTypeGenerator);
        SetField(kPropVariant, g, 0x45);  // the child takes the low six bits
        std::vector<int> born;
        for (int f = 0; f < 40 * 60; ++f) {
            const int before = GetField(kPropLiveChildren, g);
            Frame(UpdateGenerator, g);
            if (GetField(kPropLiveChildren, g) > before) born.push_back(f);
        }
        ASSERT_EQ(static_cast<int>(born.size()), c.limit) << c.day;
        EXPECT_EQ(CountType(kTypeWalker), c.limit);
        EXPECT_EQ(born[0], 0);
        EXPECT_EQ(born[1] - born[0], c.interval + 1) << c.day;
        const int child = GetChild(g, 0);
        ASSERT_GT(child, 0);
        EXPECT_EQ(GetField(kPropVariant, child), 5);
        EXPECT_EQ(GetField(kPropZ, child), 32);
        EXPECT_EQ(GetField(47, child), -8);
        EXPECT_EQ(GetField(kPropAttack, child), 8);
        // A child gone makes room for one more.
        DestroyObject(child);
        EXPECT_EQ(GetField(kPropLiveChildren, g), c.limit - 1);
        for (int f = 0; f < 61; ++f) Frame(UpdateGenerator, g);
        EXPECT_EQ(GetField(kPropLiveChildren, g), c.limit);
    }
}

TEST_F(StageDevicesTest, BoxedBreederSpawnsNothing) {
    struct Case {
        int32_t wall;
        int variant;
        bool breeds;
    };
    const Case cases[] = {
        {kCellBlockGround, 0, false}, {kCellBlockHigh, 0, false},
        {kCellOccupied, 0, false},    {kCellBlockGround, 3, true},  // a flyer hops low walls
        {kCellBlockHigh, 3, false},   {0, 0, true},
    };
    for (const Case& c : cases) {
        Fresh();
        SetGameVar(kGameVarPhase, 5);
        const int g = SpawnStageObject(320, 256, 9, kTypeGenerator);
        SetField(kPropVariant, g, c.variant);
        for (int dir = 1; dir <= 4; ++dir) OrCellBeside(320, 256, c.wall, dir, 24);
        Frame(UpdateGenerator, g);
        EXPECT_EQ(CountType(kTypeWalker), c.breeds ? 1 : 0) << c.wall << " " << c.variant;
        EXPECT_EQ(GetField(kPropLiveChildren, g), c.breeds ? 1 : 0);
        EXPECT_EQ(GetField(28, g), 60);  // tries again after its interval either way
    }
    // Three sides shut still leaves a way out.
    Fresh();
    const int g = SpawnStageObject(320, 256, 9, kTypeGenerator);
    for (int dir = 1; dir <= 3; ++dir) OrCellBeside(320, 256, kCellBlockGround, dir, 24);
    Frame(UpdateGenerator, g);
    EXPECT_EQ(CountType(kTypeWalker), 1);
}

TEST_F(StageDevicesTest, BreederCountsOnlyChildrenItMade) {
    const int g = SpawnStageObject(320, 256, 9, kTypeGenerator);
    const int c = SpawnStageObject(320, 256, 9, kTypeCandle);
    FillPool();
    for (int f = 0; f < 200; ++f) {
        Frame(UpdateGenerator, g);
        Frame(UpdateCandle, c);
    }
    EXPECT_EQ(GetField(kPropLiveChildren, g), 0);
    EXPECT_EQ(GetField(kPropLiveChildren, c), 0);
    // Room again: breeding goes on.
    Fresh();
    const int g2 = SpawnStageObject(320, 256, 9, kTypeGenerator);
    Frame(UpdateGenerator, g2);
    EXPECT_EQ(GetField(kPropLiveChildren, g2), 1);
}

TEST_F(StageDevicesTest, CandleGoesOutAtNightAndIsRelitOnTheBeat) {
    SetGameVar(114, 1);
    const int c = SpawnStageObject(320, 256, 9, kTypeCandle);
    Frame(UpdateCandle, c);
    EXPECT_EQ(CountType(kTypeKabocha), 1);
    EXPECT_EQ(GetField(47, c), 1);  // a flame
    SetGameVar(114, 3);
    for (int f = 0; f < 3; ++f) Frame(UpdateCandle, c);
    EXPECT_EQ(GetField(kPropHp, c), 0);
    EXPECT_FALSE(Flag(c, kFlagTargetable));
    EXPECT_EQ(GetField(47, c), 0);
    EXPECT_FALSE(SePlayed(17));  // going out is no destruction
    EXPECT_EQ(CountType(kTypeKabocha), 1);
    // Night on the beat: still out.
    SetGameVar(kGameVarAge, 1600);
    Frame(UpdateCandle, c);
    EXPECT_FALSE(Flag(c, kFlagTargetable));
    // Morning, off the beat: waits; on the beat: relit, full.
    SetGameVar(114, 5);
    SetGameVar(kGameVarAge, 3199);
    Frame(UpdateCandle, c);
    EXPECT_FALSE(Flag(c, kFlagTargetable));
    SetGameVar(kGameVarAge, 3200);
    Frame(UpdateCandle, c);
    EXPECT_TRUE(Flag(c, kFlagTargetable));
    EXPECT_EQ(GetField(kPropHp, c), 1200);
    EXPECT_TRUE(SePlayed(7));
    EXPECT_EQ(GetField(kPropMaxHp, c), 1200);
}

TEST_F(StageDevicesTest, CandleBreedsKabochaToTwiceTheLimitAndDiesWithoutToughening) {
    SetGameVar(114, 0);
    const int c = SpawnStageObject(320, 256, 9, kTypeCandle);
    int flames = 0;
    for (int f = 0; f < 400; ++f) {
        Frame(UpdateCandle, c);
        flames = GetField(47, c);
    }
    EXPECT_EQ(CountType(kTypeKabocha), 4);
    EXPECT_EQ(flames, 400);
    SetField(kPropHp, c, 0);
    Frame(UpdateCandle, c);
    EXPECT_FALSE(Flag(c, kFlagTargetable));
    EXPECT_TRUE(SePlayed(17));
    EXPECT_EQ(GetField(kPropMaxHp, c), 1200);
    EXPECT_EQ(GetField(kPropVariant, c), 0);  // the death pattern was only borrowed
    EXPECT_EQ(GetField(47, c), 0);
}

// --- Gates and switches -----------------------------------------------------------------------

TEST_F(StageDevicesTest, SwitchGateFollowsItsBitTheSameFrame) {
    // Stage data may give any of seven bits; only the low four name the switch.
    for (int variant : {11, 11 + 16, 11 + 112}) {
        Fresh();
        SetGameVar(119, 0);
        const int g = SpawnStageObject(320, 256, 9, kTypeGate);
        SetField(kPropVariant, g, variant);
        Frame(UpdateGate, g);
        EXPECT_EQ(Cell(320, 256) & (kCellBlockGround | kCellBlockShot),
                  kCellBlockGround | kCellBlockShot);
        EXPECT_FALSE(Flag(g, kFlagDone));
        EXPECT_FALSE(SePlayed(13));
        Frame(UpdateGate, g);
        EXPECT_FALSE(SePlayed(13));
        SetGameVar(119, 1 << 19);
        Frame(UpdateGate, g);
        EXPECT_TRUE(Flag(g, kFlagDone)) << variant;
        EXPECT_EQ(Cell(320, 256) & (kCellBlockGround | kCellBlockShot), 0u);
        EXPECT_TRUE(SePlayed(13));
        Frame(UpdateGate, g);
        EXPECT_FALSE(SePlayed(13));
        SetGameVar(119, 0);
        Frame(UpdateGate, g);
        EXPECT_FALSE(Flag(g, kFlagDone));
        EXPECT_TRUE(Cell(320, 256) & kCellBlockGround);
        EXPECT_TRUE(SePlayed(13));
    }
}

TEST_F(StageDevicesTest, ColourSwitchOpensItsColourGate) {
    const int sw = SpawnStageObject(320, 256, 9, kTypeGate);
    SetField(kPropVariant, sw, 6);  // colour 2
    const int gate = SpawnStageObject(448, 256, 9, kTypeGate);
    SetField(kPropVariant, gate, 2);
    const int other = SpawnStageObject(512, 256, 9, kTypeGate);
    SetField(kPropVariant, other, 1);
    const int player = Player(100, 256);
    Frame(UpdateGate, sw);
    Frame(UpdateGate, gate);
    Frame(UpdateGate, other);
    EXPECT_EQ(Cell(320, 256) & (kCellBlockHigh | kCellBlockShot), kCellBlockHigh | kCellBlockShot);
    EXPECT_TRUE(Cell(448, 256) & kCellBlockGround);
    EXPECT_EQ(GetGameVar(118), 0);
    SetPosition(335, 241, player);  // within 16 px on both axes
    Frame(UpdateGate, sw);
    EXPECT_EQ(static_cast<uint32_t>(GetGameVar(118)), 1u << 26);
    EXPECT_EQ(GetGameVar(kGameVarShake), 8);
    EXPECT_TRUE(SePlayed(13));
    EXPECT_TRUE(Owns(11));
    Frame(UpdateGate, gate);
    Frame(UpdateGate, other);
    EXPECT_TRUE(Flag(gate, kFlagDone));
    EXPECT_FALSE(Cell(448, 256) & kCellBlockGround);
    EXPECT_FALSE(SePlayed(13));  // colour gates open silently
    EXPECT_FALSE(Flag(other, kFlagDone));
    // Just out of reach on one axis does nothing.
    SetGameVar(118, 0);
    SetPosition(336, 256, player);
    Frame(UpdateGate, sw);
    EXPECT_EQ(GetGameVar(118), 0);
}

// --- Events -----------------------------------------------------------------------------------

TEST_F(StageDevicesTest, AreaGuardToughensEachMemberOnceWhereverItStands) {
    const int before = SpawnStageObject(64, 64, 9, kTypeWalker);
    SetFieldBits(kPropFlags, before, kFlagAreaMember);
    const int guard = SpawnStageObject(320, 256, 9, kTypeEventControl);
    SetField(kPropVariant, guard, kEventAreaGuard);
    const int after = SpawnStageObject(128, 64, 9, kTypeWalker);
    SetFieldBits(kPropFlags, after, kFlagAreaMember);
    IncField(kPropAge, before);  // linked earlier, already a frame old
    const int kept = SpawnStageObject(200, 64, 9, kTypeGenerator);
    SetFieldBits(kPropFlags, kept, kFlagAreaMember);
    for (int f = 0; f < 5; ++f) Frame(UpdateEventControl, guard);
    EXPECT_EQ(GetField(kPropHp, before), 240 * 6);
    EXPECT_EQ(GetField(kPropHp, after), 240 * 6);
    EXPECT_EQ(GetField(kPropHp, kept), 1200);  // one that never dies is not toughened
    EXPECT_EQ(GetField(kPropHp, guard), 2 * 240 * 6 + 1200);
    EXPECT_EQ(GetField(kPropMaxHp, guard), 2 * 240 * 6 + 1200);
    EXPECT_FALSE(Flag(guard, kFlagDone));
    // A lasting member counts 1 while its hit points are gone.
    SetField(kPropHp, before, 0);
    SetField(kPropHp, after, -5);
    SetField(kPropHp, kept, 0);
    Frame(UpdateEventControl, guard);
    EXPECT_EQ(GetField(kPropHp, guard), 1);
    EXPECT_FALSE(Flag(guard, kFlagDone));
}

TEST_F(StageDevicesTest, AreaGuardCompletesAndItsPadEndsTheArea) {
    SetGameVar(118, 0x40000000);
    const int member = SpawnStageObject(64, 64, 9, kTypeWalker);
    SetFieldBits(kPropFlags, member, kFlagAreaMember);
    const int bystander = SpawnStageObject(96, 64, 9, kTypeWalker);
    const int guard = SpawnStageObject(320, 256, 9, kTypeEventControl);
    SetField(kPropVariant, guard, kEventAreaGuard);
    SetConfigVar(kCfgRunFlags, 0);
    SetConfigVar(kCfgArea, 7);
    Frame(UpdateEventControl, guard);
    EXPECT_EQ(GetConfigVar(kCfgArea), 0);
    EXPECT_EQ(GetGameVar(118), 0);
    OrCellAtPixel(32, 32, 0x7F7FFFCE | kCellHole | kCellOccupied | 0x20 | kCellHoleHeld);
    SetField(kPropHp, member, 0);
    Frame(UpdateEventControl, guard);
    EXPECT_TRUE(Flag(guard, kFlagDone));
    EXPECT_EQ(GetGameVar(kGameVarShake), 60);
    EXPECT_LT(GetField(kPropHp, bystander), 1);  // everything on the stage is destroyed
    EXPECT_EQ(Cell(32, 32), 0x7F7FFFCEu);
    // The pad: only a player within 16 px ends the area.
    const int player = Player(320 + 16, 256);
    Frame(UpdateEventControl, guard);
    EXPECT_EQ(GetGameVar(kGameVarPhase), 5);
    SetPosition(320 + 15, 256, player);
    Frame(UpdateEventControl, guard);
    EXPECT_EQ(GetGameVar(kGameVarPhase), 3);
    EXPECT_EQ(GetGameVar(30), 8);
    EXPECT_TRUE(SePlayed(12));
}

TEST_F(StageDevicesTest, SwitchOnDefeatSetsItsBitWhenTheMarkedAreGone) {
    const int ev = SpawnStageObject(320, 256, 9, kTypeEventControl);
    SetField(kPropVariant, ev, kEventSwitchOnDefeat | (3 << 3));
    const int a = SpawnStageObject(64, 64, 9, kTypeWalker);
    SetField(kPropVariant, a, 0x40);
    const int ignored = SpawnStageObject(96, 64, 9, kTypeWalker);
    SetField(kPropVariant, ignored, 0x40);
    SetFieldBits(kPropFlags, ignored, kFlagNotCounted);
    SpawnStageObject(128, 64, 9, kTypeWalker);  // unmarked
    Frame(UpdateEventControl, ev);
    EXPECT_EQ(GetGameVar(119), 0);
    SetField(kPropHp, a, 0);
    Frame(UpdateEventControl, ev);
    EXPECT_EQ(static_cast<uint32_t>(GetGameVar(119)), 1u << 19);
    EXPECT_TRUE(Flag(ev, kFlagDone));
    SetGameVar(119, 0);
    Frame(UpdateEventControl, ev);
    EXPECT_EQ(GetGameVar(119), 0);  // once only
}

TEST_F(StageDevicesTest, SwitchCycleKeepsThreeNeighbouringBitsOn) {
    const int ev = SpawnStageObject(320, 256, 9, kTypeEventControl);
    SetField(kPropVariant, ev, kEventSwitchCycle);
    for (int f = 0; f < 30 * 12; ++f) {
        Frame(UpdateEventControl, ev);
        const int k = (f / 30) & 7;
        uint32_t expected = 0;
        for (int back = 0; back < 3 && back <= f / 30; ++back) expected |= 1u << ((k - back) & 7);
        ASSERT_EQ((static_cast<uint32_t>(GetGameVar(119)) >> 16) & 0xff, expected) << f;
    }
}

TEST_F(StageDevicesTest, BombLeavesAHoleMarkerThatRewardsFillingAndDigging) {
    SetGameVar(116, 4);
    const int bomb = SpawnStageObject(320, 200, 9, kTypeProjectile);
    SetField(47, bomb, 256);
    Frame(UpdateProjectile, bomb);
    EXPECT_FALSE(Flag(bomb, kFlagDead));
    SetPosition(320, 256, bomb);
    Frame(UpdateProjectile, bomb);
    EXPECT_TRUE(Flag(bomb, kFlagDead));
    EXPECT_TRUE(SePlayed(11));
    EXPECT_TRUE(SePlayed(29));
    EXPECT_EQ(GetGameVar(kGameVarShake), 16);
    int marker = 0;
    for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s)
        if (GetField(kPropKind, s) == (0x30000000 | kTypeEventControl)) marker = s;
    ASSERT_GT(marker, 0);
    EXPECT_EQ(GetField(kPropVariant, marker), kEventHoleMarker);
    EXPECT_EQ(GetField(47, marker), 300);
    Frame(UpdateEventControl, marker);
    EXPECT_EQ(Cell(320, 256) & (kCellHole | kCellHoleHeld), kCellHole | kCellHoleHeld);
    // Filled: done, a companion comes in from the far corner.
    ClearCellBitsAtPixel(320, 256, kCellHole);
    Frame(UpdateEventControl, marker);
    EXPECT_TRUE(Flag(marker, kFlagDone));
    EXPECT_EQ(Cell(320, 256) & (kCellHole | kCellHoleHeld), 0u);
    EXPECT_TRUE(SePlayed(20));
    EXPECT_EQ(GetField(47, marker), 0);
    const int companion = GetChild(marker, 0);
    ASSERT_GT(companion, 0);
    EXPECT_EQ(GetField(kPropX, companion), 0);  // the marker stands right of x 320
    EXPECT_EQ(GetField(kPropY, companion), 480);
    for (int f = 0; f < 400; ++f) Frame(UpdateEventControl, marker);
    EXPECT_FALSE(Flag(marker, kFlagDead));  // done, it no longer expires
    // Dug again with the companion close: the companion is rewarded and let go.
    SetPosition(330, 260, companion);
    OrCellAtPixel(320, 256, kCellHole);
    Frame(UpdateEventControl, marker);
    EXPECT_TRUE(Flag(marker, kFlagDead));
    EXPECT_EQ(GetField(47, companion), 1);
    EXPECT_EQ(GetGameVar(kGameVarShake), 20);
    EXPECT_TRUE(SePlayed(12));
    EXPECT_EQ(GetChild(marker, 0), 0);
}

TEST_F(StageDevicesTest, HoleMarkerExpiresAndNeverAttachesAFailedCompanion) {
    const int marker = SpawnStageObject(320, 256, 9, kTypeEventControl);
    SetField(kPropVariant, marker, kEventHoleMarker);
    SetField(47, marker, 300);
    for (int f = 0; f <= 300; ++f) Frame(UpdateEventControl, marker);
    EXPECT_FALSE(Flag(marker, kFlagDead));
    Frame(UpdateEventControl, marker);
    EXPECT_TRUE(Flag(marker, kFlagDead));
    EXPECT_EQ(Cell(320, 256) & (kCellHole | kCellHoleHeld), 0u);
    // A full pool: filled, it attaches nothing.
    Fresh();
    SetGameVar(116, 4);
    const int m2 = SpawnStageObject(320, 256, 9, kTypeEventControl);
    SetField(kPropVariant, m2, kEventHoleMarker);
    Frame(UpdateEventControl, m2);
    FillPool();
    ClearCellBitsAtPixel(320, 256, kCellHole);
    Frame(UpdateEventControl, m2);
    EXPECT_TRUE(Flag(m2, kFlagDone));
    EXPECT_EQ(GetField(kPropChildren, m2), 0);
}

TEST_F(StageDevicesTest, BombOnAnOpenHoleLeavesNoMarker) {
    OrCellAtPixel(320, 256, kCellHole);
    const int bomb = SpawnStageObject(320, 256, 9, kTypeProjectile);
    SetField(47, bomb, 256);
    Frame(UpdateProjectile, bomb);
    EXPECT_TRUE(Flag(bomb, kFlagDead));
    EXPECT_EQ(CountType(kTypeEventControl), 0);
}

// --- Walls, stones, projectiles ---------------------------------------------------------------

TEST_F(StageDevicesTest, BreakWallBlocksUntilBrokenUnlessItHasAParent) {
    const int w = SpawnStageObject(320, 256, 9, kTypeBreakWall);
    Frame(UpdateBreakWall, w);
    EXPECT_TRUE(Cell(320, 256) & kCellBlockGround);
    EXPECT_TRUE(Flag(w, kFlagNoDeathAtZero));
    SetField(kPropHp, w, 0);
    Frame(UpdateBreakWall, w);
    EXPECT_FALSE(Cell(320, 256) & kCellBlockGround);
    EXPECT_FALSE(Flag(w, kFlagNoDeathAtZero));
    const int parent = SpawnStageObject(64, 64, 9, kTypeGenerator);
    const int held = SpawnStageObject(128, 256, 9, kTypeBreakWall);
    AttachChild(held, parent, 0);
    Frame(UpdateBreakWall, held);
    EXPECT_FALSE(Cell(128, 256) & kCellBlockGround);
}

TEST_F(StageDevicesTest, KanameStoneTimetables) {
    struct Case {
        int variant;
        int firstLanding;  // frame of the first stamp
        int32_t topZ;
        int period;
    };
    const Case cases[] = {
        {0, 128, 64, 192}, {2, 128, 64, 192},
        {1, 24, 64, 32},   {4, 32, 64, 192},  // half a period late, starting up in the air
        {5, 24, 64, 32},   {9, 24, 64, 32},
        {13, 24, 64, 32},  {8, 32, 64, 192},
    };
    for (const Case& c : cases) {
        Fresh();
        const int k = SpawnStageObject(320, 256, 9, kTypeKanameStone);
        SetField(kPropVariant, k, c.variant);
        std::vector<int> landings;
        int32_t top = 0;
        for (int f = 0; f < 400; ++f) {
            Frame(UpdateKanameStone, k);
            top = std::max(top, GetField(kPropZ, k));
            if (SePlayed(20)) {
                landings.push_back(f);
                EXPECT_EQ(GetField(kPropZ, k), 0) << c.variant;  // stamps on the ground
                EXPECT_EQ(Cell(320, 256) & (kCellBlockGround | kCellBlockShot),
                          kCellBlockGround | kCellBlockShot);
                EXPECT_TRUE(Flag(k, kFlagTargetable));
            }
            if (GetField(kPropZ, k) > 16) {
                EXPECT_EQ(Cell(320, 256) & (kCellBlockGround | kCellBlockShot | kCellOccupied), 0u);
                EXPECT_FALSE(Flag(k, kFlagTargetable));
            }
        }
        ASSERT_GE(landings.size(), 2u) << c.variant;
        EXPECT_EQ(landings[0], c.firstLanding) << c.variant;
        EXPECT_EQ(landings[1] - landings[0], c.period) << c.variant;
        EXPECT_EQ(top, c.topZ) << c.variant;
    }
}

TEST_F(StageDevicesTest, KanameStoneStampsPlayersWithinItsRadius) {
    SetGameVar(65, 16);  // radius 16 / 2 + 24 = 32
    const int near = Player(320 + 31, 256, 0);
    const int far = Player(320, 256 + 32, 1);
    const int k = SpawnStageObject(320, 256, 9, kTypeKanameStone);
    SetField(kPropVariant, k, 1);
    for (int f = 0; f <= 24; ++f) Frame(UpdateKanameStone, k);
    EXPECT_LT(GetField(kPropHp, near), 10);
    EXPECT_EQ(GetField(kPropHp, far), 10);
    EXPECT_EQ(GetGameVar(kGameVarShake), 20);
}

TEST_F(StageDevicesTest, KanameStoneLeavesNoWallWhenTheStageIsCleared) {
    const int k = SpawnStageObject(320, 256, 9, kTypeKanameStone);
    SetField(kPropVariant, k, 1);
    for (int f = 0; f <= 24; ++f) Frame(UpdateKanameStone, k);
    ASSERT_TRUE(Cell(320, 256) & kCellBlockGround);
    DestroyAllStageObjects();
    Frame(UpdateKanameStone, k);
    EXPECT_EQ(Cell(320, 256) & (kCellBlockGround | kCellBlockShot | kCellOccupied), 0u);
}

TEST_F(StageDevicesTest, PlainProjectileEnds) {
    struct Case {
        const char* what;
        int32_t hp, cell;
        int age;
        bool dies;
    };
    const Case cases[] = {
        {"flying", 24, 0, 0, false},
        {"shot down", 0, 0, 0, true},
        {"wall", 24, kCellBlockHigh, 0, true},
        {"low wall", 24, kCellBlockGround, 0, false},
        {"old", 24, 0, 300, true},
        {"nearly old", 24, 0, 299, false},
    };
    for (const Case& c : cases) {
        Fresh();
        OrCellAtPixel(320, 256, c.cell);
        const int s = SpawnStageObject(320, 256, 9, kTypeProjectile);
        SetField(kPropAttack, s, 0);
        SetField(kPropHp, s, c.hp);
        SetField(kPropAge, s, c.age);
        Frame(UpdateProjectile, s);
        EXPECT_EQ(Flag(s, kFlagDead), c.dies) << c.what;
    }
}

TEST_F(StageDevicesTest, ProjectileHitsAPlayerWithinItsRadius) {
    const int player = Player(320 + 23, 256);
    const int s = SpawnStageObject(320, 256, 9, kTypeProjectile);
    SetField(kPropAttack, s, 6);
    ASSERT_EQ(GetField(kPropRadius, s), 24);
    Frame(UpdateProjectile, s);
    EXPECT_TRUE(Flag(s, kFlagDead));
    EXPECT_EQ(GetField(kPropHp, player), 4);
}

TEST_F(StageDevicesTest, HomingProjectileTurnsTowardItsPlayerFromItsStartAge) {
    Player(320, 456);  // straight below
    const int s = SpawnStageObject(320, 256, 9, kTypeProjectile);
    SetField(kPropAttack, s, 0);
    SetFieldBits(kPropFlags, s, kFlagHoming);
    SetField(kPropAttacker, s, 0);
    SetField(32, s, 10);
    SetVelocityByAngle(s, 0, 512, 1);
    for (int f = 0; f < 10; ++f) Frame(UpdateProjectile, s);
    EXPECT_EQ(GetField(kPropDirection, s), 0);
    for (int f = 0; f < 5; ++f) Frame(UpdateProjectile, s);
    EXPECT_EQ(GetField(kPropDirection, s), 15000);
    EXPECT_GT(GetField(kPropVelY, s), 0);
    for (int f = 0; f < 30; ++f) Frame(UpdateProjectile, s);
    EXPECT_EQ(GetField(kPropDirection, s), kAngleQuarterTurn);  // and holds there
    EXPECT_FALSE(Flag(s, kFlagDead));
    SetGameVar(100, 0);  // its player is out
    Frame(UpdateProjectile, s);
    EXPECT_TRUE(Flag(s, kFlagDead));
}

// --- Field items ------------------------------------------------------------------------------

TEST_F(StageDevicesTest, EachItemKindAndItsCap) {
    enum Target { kVar, kProp };
    struct Case {
        const char* what;
        int kind;
        Target target;
        int n;
        int32_t before, after, points;
        int icon, se, powerUps;
    };
    // clang-format off
    const Case cases[] = {
        {"attack up",        0,  kVar,  80,  3,     4,     0,     0,  27, 1},
        {"attack capped",    0,  kVar,  80,  8,     8,     1000,  0,  27, 1},
        {"range up",         1,  kVar,  84,  0,     1,     0,     6,  27, 1},
        {"range capped",     1,  kVar,  84,  8,     8,     1000,  6,  27, 1},
        {"life max up",      2,  kProp, 55,  50,    60,    0,     1,  27, 1},
        {"life max to 100",  2,  kProp, 55,  95,    100,   0,     1,  27, 1},
        {"life max capped",  2,  kProp, 55,  100,   100,   10000, 1,  27, 1},
        {"guard up",         3,  kVar,  88,  7,     8,     0,     8,  27, 1},
        {"guard capped",     3,  kVar,  88,  8,     8,     500,   8,  27, 1},
        {"poison",           4,  kProp, 54,  100,   50,    3000,  10, 1,  0},
        {"muteking",         5,  kProp, 101, 0,     1000,  0,     7,  1,  0},
        {"recovery",         6,  kProp, 54,  3,     100,   0,     5,  28, 0},
        {"life extend",      7,  kVar,  100, 3,     4,     0,     -1, 18, 1},
        {"lives capped",     7,  kVar,  100, 9,     9,     3000,  -1, 18, 1},
        {"time extend",      8,  kVar,  120, 6000,  7800,  0,     3,  28, 0},
        {"time capped",      8,  kVar,  120, 59000, 59999, 0,     3,  28, 0},
        {"suka",             9,  kVar,  70,  0,     0,     0,     -1, 1,  0},
        {"fellow leaf",      10, kVar,  76,  0,     1,     0,     -1, 1,  1},
        {"chain drop",       16, kProp, 54,  99,    100,   12,    -1, 1,  0},
        {"drop at full",     17, kProp, 54,  100,   100,   12,    -1, 1,  0},
        {"top drop",         23, kVar,  109, 4,     5,     64,    -1, 1,  0},
        {"collection icon",  40, kVar,  67,  0,     41,    0,     -1, 4,  0},
    };
    // clang-format on
    for (const Case& c : cases) {
        Fresh();
        const int player = Player(320, 256);
        SetField(kPropHp, player, 100);
        SetField(kPropMaxHp, player, 100);
        SetGameVar(110, 2);
        SetGameVar(92, 5);
        SetConfigVar(kCfgRunFlags, 0);
        SetConfigVar(kCfgCollection, 0);
        if (c.target == kVar)
            SetGameVar(c.n, c.before);
        else
            SetField(c.n, player, c.before);
        const int item = SpawnStageObject(320 + 23, 256, 9, kTypeFieldItem);
        SetField(kPropVariant, item, c.kind);
        SetCellObject(320 + 23, 256, 7);
        Frame(UpdateFieldItem, item);
        EXPECT_TRUE(Flag(item, kFlagDead)) << c.what;
        const int32_t got = c.target == kVar ? GetGameVar(c.n) : GetField(c.n, player);
        EXPECT_EQ(got, c.after) << c.what;
        EXPECT_EQ(GetGameVar(96), c.points) << c.what;
        if (c.icon >= 0) {
            EXPECT_TRUE(Owns(c.icon)) << c.what;
        }
        EXPECT_TRUE(SePlayed(c.se)) << c.what;
        EXPECT_TRUE(SePlayed(1)) << c.what;
        EXPECT_EQ(GetGameVar(70), c.powerUps) << c.what;
        if (c.kind < 16) {
            EXPECT_EQ(Cell(320 + 23, 256) & kCellBlockHigh, 0u) << c.what;
            EXPECT_EQ(GetCellObject(320 + 23, 256), 0) << c.what;
        }
        if (c.kind == 2) {
            EXPECT_EQ(GetField(kPropHp, player), c.after);
            EXPECT_EQ(GetGameVar(92), c.before < 100 ? 6 : 5) << c.what;
        }
        if (c.kind == 40) {
            EXPECT_EQ(GetConfigVar(kCfgCollection), 1 << 8);
        }
    }
}

TEST_F(StageDevicesTest, DropsScoreHalfOnTheEasiestLevel) {
    const int player = Player(320, 256);
    SetGameVar(64, 0);
    SetGameVar(110, 3);
    for (auto [kind, points] : {std::pair{16, 8}, std::pair{21, 20}, std::pair{22, 25}}) {
        SetGameVar(96, 0);
        const int item = SpawnStageObject(320, 256, 9, kTypeFieldItem);
        SetField(kPropVariant, item, kind);
        Frame(UpdateFieldItem, item);
        EXPECT_EQ(GetGameVar(96), points) << kind;
    }
    EXPECT_EQ(GetField(kPropHp, player), 10);
}

TEST_F(StageDevicesTest, ItemsWaitForATouchablePlayerWithinReach) {
    struct Case {
        const char* what;
        int32_t dx, z, flash;
        bool taken;
    };
    const Case cases[] = {{"near", 23, 0, 0, true},
                          {"too far", 24, 0, 0, false},
                          {"in the air", 0, 4, 0, false},
                          {"knocked down", 0, 0, 30, false}};
    for (const Case& c : cases) {
        Fresh();
        const int player = Player(320 + c.dx, 256);
        SetField(kPropZ, player, c.z);
        SetField(57, player, c.flash);
        const int item = SpawnStageObject(320, 256, 9, kTypeFieldItem);
        SetField(kPropVariant, item, 0);
        Frame(UpdateFieldItem, item);
        EXPECT_EQ(Flag(item, kFlagDead), c.taken) << c.what;
        if (!c.taken) {
            EXPECT_TRUE(Cell(320, 256) & kCellBlockHigh) << c.what;
        }
    }
}

TEST_F(StageDevicesTest, HiddenItemsAreRevealedByADigOrABlast) {
    for (bool byBlast : {false, true}) {
        Fresh();
        const int player = Player(320, 256);
        const int item = SpawnStageObject(320, 256, 9, kTypeFieldItem);
        SetField(kPropVariant, item, 0x40 | 6);
        Frame(UpdateFieldItem, item);
        EXPECT_FALSE(Flag(item, kFlagDead));  // hidden: not taken, even underfoot
        EXPECT_EQ(Cell(320, 256) & kCellBlockHigh, 0u);
        SetPlayerField(0, kPropCursorX, 330);
        SetPlayerField(0, kPropCursorY, 270);
        SetPlayerField(0, kPropCursorHold, 1);
        if (byBlast)
            SetField(kPropBlastPower, item, 1);
        else
            OrCellAtPixel(320, 256, kCellHole);
        Frame(UpdateFieldItem, item);
        EXPECT_EQ(GetField(kPropVariant, item), 6) << byBlast;
        EXPECT_EQ(GetField(kPropZ, item), 8);
        EXPECT_EQ(GetField(47, item), -7);
        EXPECT_EQ(Cell(320, 256) & kCellHole, 0u);
        EXPECT_TRUE(SePlayed(6));
        EXPECT_EQ(GetField(kPropItemTimer, player), 30);
        EXPECT_TRUE(Owns(2));
        EXPECT_FALSE(Flag(item, kFlagDead));  // shown this frame, taken from the next
        Frame(UpdateFieldItem, item);
        EXPECT_TRUE(Flag(item, kFlagDead)) << byBlast;
    }
    // A digger too far away gets no notice.
    Fresh();
    Player(100, 100);
    const int item = SpawnStageObject(320, 256, 9, kTypeFieldItem);
    SetField(kPropVariant, item, 0x40);
    SetPlayerField(0, kPropCursorX, 320 + 29);
    SetPlayerField(0, kPropCursorY, 256);
    SetPlayerField(0, kPropCursorHold, 1);
    OrCellAtPixel(320, 256, kCellHole);
    Frame(UpdateFieldItem, item);
    EXPECT_EQ(GetField(kPropVariant, item), 0);
    EXPECT_FALSE(Owns(2));
}

TEST_F(StageDevicesTest, DropsFadeAndVanishUnlessAttracted) {
    const int item = SpawnStageObject(320, 256, 9, kTypeFieldItem);
    SetField(kPropVariant, item, 18);
    for (int f = 0; f < 300; ++f) Frame(UpdateFieldItem, item);
    EXPECT_FALSE(Flag(item, kFlagDead));
    EXPECT_EQ(GetField(46, item), 60);
    Frame(UpdateFieldItem, item);
    EXPECT_TRUE(Flag(item, kFlagDead));
    EXPECT_FALSE(Cell(320, 256) & kCellBlockHigh);  // drops never block

    Fresh();
    const int player = Player(320 + 119, 256 - 5);
    const int drop = SpawnStageObject(320, 256, 9, kTypeFieldItem);
    SetField(kPropVariant, drop, 18);
    SetField(kPropAge, drop, 290);
    Frame(UpdateFieldItem, drop);
    EXPECT_TRUE(Flag(drop, kFlagAttracted));
    EXPECT_EQ(GetField(kPropAttacker, drop), 0);
    for (int f = 1; f <= 12; ++f) {
        Frame(UpdateFieldItem, drop);
        EXPECT_EQ(GetField(kPropVelX, drop), std::min(256 * f, 2048));
        EXPECT_EQ(GetField(kPropVelY, drop), -std::min(256 * f, 2048));
    }
    EXPECT_FALSE(Flag(drop, kFlagDead));  // past 300, still flying in
    SetGameVar(100, 0);
    Frame(UpdateFieldItem, drop);
    EXPECT_FALSE(Flag(drop, kFlagAttracted));
    (void)player;
}

}  // namespace
}  // namespace velmora
