// Scene codes and scene requests: how a scene says where the game goes next. Scene set-up turns
// a code into the scene's first window or the master object; play turns a request posted in game
// variable 127 into the next code.
#pragma once

#include <cstdint>

#include "game/core/game_vars.h"  // kGameVarPhase

namespace velmora {

// Scene codes (settings word 33 holds the next one while a scene runs; only its low four bits
// choose the scene).
enum SceneCode : int32_t {
    kSceneRestart = -2,  // any code below -1 starts the program again
    kSceneQuit = -1,
    kSceneTitle = 0,
    kSceneNewGame = 1,
    kSceneModeSelect = 4,  // difficulty only
    kSceneContinue = 5,    // a new game at once, counting one more start
    kSceneModeSelectStages = 6,
    kSceneCollection = 9,
    kSceneOptions = 10,
    kSceneEnd = 11,
    kSceneEditor = 14,
    kSceneDemo = 15,
};
// A code with either bit ends the outer loop.
inline constexpr int32_t kSceneLoopEndBits = 0xc00;

// Scene requests, posted in game variable 127 and taken after the 32-frame lead-in.
inline constexpr int kGameVarSceneRequest = 127;
enum SceneRequest : int32_t {
    kRequestNewGame = 48,    // capture the screen, then a new game
    kRequestTitle = 80,      // store the run's results, then the title
    kRequestEditor = 256,    // scene code 14
    kRequestScene = 512,     // capture the screen, then the code settings word 33 holds
    kRequestRestart = 1024,  // start the program again
    kRequestDemo = 2048,     // scene code 15
};

// Bits of settings word 33 beside the scene code.
inline constexpr int32_t kRunResume = 0x4;        // play resumes from a pause
inline constexpr int32_t kRunInPlay = 0x10;       // a stage is being played
inline constexpr int32_t kRunStageChosen = 0x20;  // the run began from a chosen stage
inline constexpr int32_t kRunPlayback = 0x100;    // the run replays recorded input

}  // namespace velmora
