// The backdrop behind the tally and the menu screens: a scrolling strip of leaves, the framed
// panel that slides in over 30 frames, and the pattern of drifting leaves below it.
#pragma once

namespace velmora {

// Mode 1 fills the panel with noise tiles, other modes show the emblem; while t is below 30 the
// panel is (30 - t) x 32 pixels larger on each side.
void DrawMenuBackdrop(int mode, int t);
void DrawPanelFrame(int x, int y, int w, int h);
void DrawBackdropPattern(int t, int y0);

}  // namespace velmora
