#include "game/play/stage_objects.h"

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
#include "tests/game/play/stage_play_fixture.h"

namespace velmora {
namespace {

std::vector<int> g_ran;
void RecordRun(int slot) {
    g_ran.push_back(slot);
}
void EndSelf(int slot) {
    g_ran.push_back(slot);
    DestroyObject(slot);
}

class StageObjectDispatchTest : public testing_stage::StagePlayTest {
protected:
    void SetUp() override {
        StagePlayTest::SetUp();
        ResetPlayState(99);
        g_ran.clear();
    }
    static int Raw(int type, int32_t hp) {
        const int s = SpawnObject(160, 160, 9, 0, 0x30000000 | type);
        SetField(kPropHp, s, hp);
        SetField(kPropAttacker, s, -1);
        return s;
    }
    static bool Dead(int s) { return Flag(s, kFlagDead); }
};

TEST_F(StageObjectDispatchTest, InstallSetsTheClassRoutinesOfStageObjectsAndProjectiles) {
    std::fill(std::begin(ClassRoutineTable), std::end(ClassRoutineTable), nullptr);
    InstallStageObjectRoutines();
    EXPECT_EQ(ClassRoutineTable[3], &UpdateStageObject);
    EXPECT_EQ(ClassRoutineTable[4], &UpdateProjectile);
}

TEST_F(StageObjectDispatchTest, RunsTheRowOfItsTypeWithItsSlot) {
    ObjectRoutineTable[kStageObjectRoutines + 2] = &RecordRun;
    const int a = Raw(2, 10), b = Raw(3, 10);
    UpdateStageObject(a);
    UpdateStageObject(b);  // row 3 holds whatever the devices installed; only a is recorded
    ObjectRoutineTable[kStageObjectRoutines + 3] = nullptr;
    UpdateStageObject(b);  // an empty row runs nothing
    EXPECT_EQ(g_ran, std::vector<int>{a});
    EXPECT_FALSE(Dead(a));
    EXPECT_FALSE(Dead(b));
}

TEST_F(StageObjectDispatchTest, ATypeOf96OrMoreIsMarkedDeadAndRunsNoRow) {
    for (int row = kStageObjectRoutines + 90; row < kObjectRoutineCount; ++row)
        ObjectRoutineTable[row] = &RecordRun;
    for (int type : {95, 96, 97, 120, 0xffff}) {
        g_ran.clear();
        const int s = Raw(type, 10);
        UpdateStageObject(s);
        EXPECT_EQ(Dead(s), type >= 96) << type;
        EXPECT_EQ(g_ran.size(), type >= 96 ? 0u : 1u) << type;
    }
}

TEST_F(StageObjectDispatchTest, HitFlashCountsDownAndClearsTheBlastPowerAtZero) {
    const int s = Raw(2, 10);
    SetField(kPropHitFlash, s, 2);
    SetField(kPropBlastPower, s, 7);
    UpdateStageObject(s);
    EXPECT_EQ(GetField(kPropHitFlash, s), 1);
    EXPECT_EQ(GetField(kPropBlastPower, s), 7);
    UpdateStageObject(s);
    EXPECT_EQ(GetField(kPropHitFlash, s), 0);
    EXPECT_EQ(GetField(kPropBlastPower, s), 0);
    // Without a flash the power stays for the next hit to compare against.
    SetField(kPropBlastPower, s, 5);
    UpdateStageObject(s);
    EXPECT_EQ(GetField(kPropHitFlash, s), 0);
    EXPECT_EQ(GetField(kPropBlastPower, s), 5);
}

TEST_F(StageObjectDispatchTest, DeathRuleKillsAtZeroHitPointsUnlessFlaggedToOutliveThem) {
    struct Case {
        int32_t hp;
        bool outlives;
        bool killed;
    };
    const Case cases[] = {{1, false, false},
                          {0, false, true},
                          {-5, false, true},
                          {0, true, false},
                          {-5, true, false}};
    ObjectRoutineTable[kStageObjectRoutines + 8] = nullptr;
    SetGameVar(100, 3);  // player 0 takes part and is paid for the kill
    for (const Case& c : cases) {
        SetGameVar(kGameVarScore0, 0);
        const int s = Raw(8, c.hp);
        SetField(kPropAttacker, s, 0);
        if (c.outlives)
            SetFieldBits(kPropFlags, s, kFlagNoDeathAtZero);
        else
            ClearFieldBits(kPropFlags, s, kFlagNoDeathAtZero);
        UpdateStageObject(s);
        EXPECT_EQ(Dead(s), c.killed) << c.hp << " " << c.outlives;
        EXPECT_EQ(GetGameVar(kGameVarScore0), c.killed ? 2 : 0) << c.hp << " " << c.outlives;
        FreeObject(s);
    }
}

TEST_F(StageObjectDispatchTest, AnObjectItsRoutineEndedIsNotKilledASecondTime) {
    ObjectRoutineTable[kStageObjectRoutines + 8] = &EndSelf;
    SetGameVar(100, 3);
    const int parent = Raw(1, 100);
    SetField(kPropLiveChildren, parent, 2);
    const int s = Raw(8, 0);
    SetField(kPropAttacker, s, 0);
    AttachChild(s, parent, 0);
    UpdateStageObject(s);
    EXPECT_TRUE(Dead(s));
    EXPECT_EQ(GetGameVar(kGameVarScore0), 0);
    EXPECT_EQ(GetField(kPropLiveChildren, parent), 1);  // counted down once, not twice
}

TEST_F(StageObjectDispatchTest, TheObjectWalkRunsStageObjectsThroughTheDispatch) {
    InstallStageObjectRoutines();
    ObjectRoutineTable[kStageObjectRoutines + 2] = &RecordRun;
    const int s = Raw(2, 10);
    UpdateObjects();
    UpdateObjects();
    EXPECT_EQ(g_ran, (std::vector<int>{s, s}));
}

}  // namespace
}  // namespace velmora
