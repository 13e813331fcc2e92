// The game flow: a run's master object and its game variables, stage and area start, the
// phase machine with the world clock and sky, the map object's weather, and the players'
// stage statistics in the settings.
#pragma once

#include <cstdint>

namespace velmora {

inline constexpr int32_t kMasterKind = 0x20000001;
inline constexpr int32_t kMapObjectKind = 0x20000002;

// Game phases (game variable 26).
enum GamePhase : int32_t {
    kPhaseStageStart = 0,
    kPhaseIrisOpen = 1,
    kPhaseExit = 2,
    kPhaseExitSpin = 3,
    kPhasePlay = 5,
    kPhaseTimeOver = 6,
    kPhaseLifeLost = 7,
    kPhaseAllOut = 8,
    kPhaseResult = 9,
    kPhaseContinue = 10,
    kPhaseTally = 11,
    kPhaseEnding = 12,
};

// Sky colours by sky index, 0xRRGGBBFF.
extern const uint32_t kSkyColors[8];

// A new run (scene codes 1 and 5): the master object, the map object and player 0 for the
// chosen character, with the run settings applied. The master's slot, or -1 when the pool is
// full.
int32_t StartNewGame();
int CreateMapObject();
// The map object while game variable 121 names a live one, else 0 (and 121 is cleared).
int GetMapObject();
// Stops the map object's weather effect and nothing else.
void StopWeatherEffect();
void StartStage(int n);
void StartArea(int a, int entry);
void SpawnAreaObjects();
void UpdateGameFlow();
// The tally's time bonus for `timeLeft` frames: whole seconds x 300, a third of it on difficulty
// 0. What the tally pays and what its line shows.
int32_t TallyTimeBonus(int32_t timeLeft);
void UpdateMapObject(int slot);
// Stage slots 1..4 of the settings' statistics words; other slots do nothing.
void LoadPlayerStats(int slot);
void SavePlayerStats(int slot);

}  // namespace velmora
