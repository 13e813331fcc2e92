// The windows that play opens between stages, and plain stand-ins for the pause menu, the
// result screen, the roulette and the item-get notice until their screens exist: each does to
// play what its screen does, no more.
#include "game/core/config.h"
#include "game/core/game_vars.h"
#include "game/core/input.h"
#include "game/core/object_pool.h"
#include "game/core/scenes.h"
#include "game/frontend/windows.h"
#include "game/play/object_utils.h"

namespace velmora {

namespace {

constexpr int kLastStage = 4;

// Closes the window and lets play go on (the play loop unpauses at the end of the frame).
void ResumePlay(int w) {
    SetConfigVar(kCfgRunFlags, GetConfigVar(kCfgRunFlags) | kRunResume);
    SetFieldBits(kPropFlags, w, kFlagDead);
}

}  // namespace

int OpenResultWindow(int k) {
    const int slot = OpenMenuWindow(0, 0, 0, 0, 0, kWindowResult);
    if (slot >= 0) SetField(kPropWinValue, slot, k);
    PlayBgmWithTitle(k == kLastStage ? 11 : 0);
    return slot;
}

void UpdateResultStandIn(int w) {
    if (w != GetCurrentWindow() || !IsButtonPressed(kButtonShot)) return;
    // The next stage starts, or after the last one the ending.
    SetGameVar(kGameVarPhase, GetField(kPropWinValue, w) >= kLastStage ? 12 : 0);
    SetGameVar(kGameVarPhaseTime, 0);
    ResumePlay(w);
}

void UpdateRouletteStandIn(int w) {
    SetGameVar(kGameVarPhase, 9);
    SetGameVar(kGameVarPhaseTime, 0);
    SetFieldBits(kPropFlags, w, kFlagDead);
}

void UpdateResumeStandIn(int w) {
    if (w == GetCurrentWindow() && IsButtonPressed(kButtonShot)) ResumePlay(w);
}

}  // namespace velmora
