// The ground the stage-object tests stand on: a clean pool, a blank area and play state, one
// frame of an object's routine as the object walk runs it, and the readings they share. The
// routine tables are put back after each test, so one test's rows never leak into the next.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>

#include "game/core/game_vars.h"
#include "game/core/object_pool.h"
#include "game/core/sound_cue.h"
#include "game/play/combat.h"
#include "game/play/object_utils.h"
#include "game/play/players.h"
#include "game/play/stage.h"

namespace velmora::testing_stage {

class StagePlayTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::copy(std::begin(ObjectRoutineTable), std::end(ObjectRoutineTable), savedRows_);
        std::copy(std::begin(ClassRoutineTable), std::end(ClassRoutineTable), savedClasses_);
    }
    void TearDown() override {
        std::copy(std::begin(savedRows_), std::end(savedRows_), ObjectRoutineTable);
        std::copy(std::begin(savedClasses_), std::end(savedClasses_), ClassRoutineTable);
    }

    // An empty pool, no players, the play phase with every variable the objects read at 0, the
    // generator seeded, and area 0 of a blank stage at population 2.
    static void ResetPlayState(uint32_t seed) {
        ResetAllObjects();
        SeedRandom(seed);
        ClearSounds();
        for (int p = 0; p < kPlayerCount; ++p) {
            g_playerSlots[p] = 0;
            for (int v : {kGameVarCompanions, kGameVarShotLevel, kGameVarShotRange, kGameVarArmour,
                          kGameVarHpLevel, kGameVarScore0, kGameVarLives})
                SetGameVar(v + p, 0);
        }
        for (int v :
             {kGameVarAge,        kGameVarMasterFlags, kGameVarPhaseTime,  kGameVarExit,
              kGameVarDifficulty, kGameVarLevel,       kGameVarIconsOwned, kGameVarPowerUps,
              kGameVarDropsTaken, kGameVarChain,       kGameVarChainTimer, kGameVarWeather,
              kGameVarSkyIndex,   kGameVarSkyOverride, kGameVarStage,      kGameVarStageFlags,
              kGameVarSwitches,   kGameVarTimeLeft,    kGameVarShake,      kGameVarEndFrames})
            SetGameVar(v, 0);
        SetGameVar(kGameVarPhase, 5);
        SetActiveArea(-10000, -10000, 10000, 10000);
        NewStage(-1);
        NewStage(0);
        SetAreaWord(kAreaWordPopulation, 2);
    }

    // Sounds are read by their cool-down: cleared before each frame, a sound played in it shows.
    static void ClearSounds() {
        for (int i = 0; i < kSeCooldownFrames + 1; ++i) UpdateSound();
    }
    static bool SePlayed(int n) { return GetSoundTable().seCooldown[n] > 0; }

    static void Frame(void (*routine)(int), int slot) {
        ClearSounds();
        SetCurrentObject(slot);
        routine(slot);
        IncField(kPropAge, slot);
    }
    static void Frames(void (*routine)(int), int slot, int n) {
        for (int i = 0; i < n; ++i) Frame(routine, slot);
    }

    // Player p at (x, y) with 10 of 10 hit points and three lives.
    static int Player(int32_t x, int32_t y, int p = 0) {
        const int s = SpawnPlayer(x, y, p, 0);
        SetGameVar(kGameVarLives + p, 3);
        SetField(kPropHp, s, 10);
        SetField(kPropMaxHp, s, 10);
        return s;
    }

    static bool Flag(int slot, uint32_t bit) {
        return (static_cast<uint32_t>(GetField(kPropFlags, slot)) & bit) != 0;
    }
    static bool Owns(int icon) {
        return TestBit(static_cast<uint32_t>(GetGameVar(kGameVarIconsOwned)), icon);
    }
    static uint32_t Cell(int32_t x, int32_t y) {
        return static_cast<uint32_t>(GetCellAtPixel(x, y));
    }
    // Live stage objects of one type.
    static int CountType(int type) {
        int n = 0;
        for (int s = kFirstObjectSlot; s <= kLastObjectSlot; ++s)
            if (GetField(kPropKind, s) == (0x30000000 | type) && !Flag(s, kFlagDead)) ++n;
        return n;
    }
    // Takes every free slot. The fillers are kept, so no spawn can make room by evicting them.
    static void FillPool() {
        for (int s = SpawnObject(0, 0, 1, 1, 0x40000000); s > 0;
             s = SpawnObject(0, 0, 1, 1, 0x40000000))
            SetFieldBits(kPropFlags, s, kFlagKeep);
    }

private:
    ObjectRoutine savedRows_[kObjectRoutineCount];
    ObjectRoutine savedClasses_[kClassCount];
};

}  // namespace velmora::testing_stage
