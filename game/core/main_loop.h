// The play loop that runs every frame of every scene, scene set-up between scenes, the quit box,
// and frame pacing at 60 frames a second by the timer or the vertical blank.
#pragma once

#include <cstdint>

namespace velmora {

inline constexpr int kLeadInFrames = 32;

// Scene set-up: closes every window, empties the pool and opens the scene's first window (or
// starts the game); the result is >= 0 to play, -1 to quit, or the code itself for codes that
// build nothing.
int32_t SetUpScene(int32_t code);
// Runs frames until a scene request is taken; the next scene code, or -1 to quit.
int32_t RunPlayLoop();
// The modal quit box; true when the player chose to quit (or the program is quitting).
bool ConfirmQuit();
// Unless the frame is skipped, draws the list the last frame queued.
void RenderQueuedFrame();

// Frame pacing.
void EndFrame();
void WaitNextFrame(int milliseconds);
int32_t MeasureFrameRate();  // hundredths of a frame a second
bool IsSkippedFrame();
void ResetFrameTimer();
int32_t GetLateFrameRatio();  // late frames x 10000 / frames counted

// Where the loops are: the frame of the current scene (0 first), and every frame the loops have
// begun since start (play and quit box alike).
int GetSceneFrame();
int64_t GetTotalFrames();
bool IsInQuitBox();

// Tests watch and steer the game from here: called at the top of every frame of the play loop
// and of the quit box, before anything of that frame runs. Null for none.
using FrameHook = void (*)();
void SetFrameHook(FrameHook hook);

}  // namespace velmora
