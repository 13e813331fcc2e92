// What the game draws over the play field: the HUD, the unlock banner, and the backdrop and
// framed panel behind the tally and the menu screens.
#pragma once

#include <cstdint>

namespace velmora {

// The walk's HUD hook: panels, time, key bits, world clock, chain, tally, result and noise.
void DrawHud();

// Unlock notices: item n (0..31) unlocked once, then shown by the banner for 180 frames.
inline constexpr int kUnlockBannerFrames = 180;
void Unlock(int n);
void DrawUnlockBanner();  // before each flush
int GetUnlockBannerTimer();
int GetUnlockBannerItem();

// The menus' backdrop: mode 1 fills the panel with noise tiles; below t = 30 the panel slides
// in, (30 - t) * 32 pixels larger on each side.
void DrawMenuBackdrop(int mode, int t);
void DrawPanelFrame(int x, int y, int w, int h);
void DrawBackdropPattern(int t, int y0);

}  // namespace velmora
