// The game's own record of its screen: the size and colour depth that start-up chose, which
// everyone reads through GetScreenExtent, and the screen-copy flag that ends a play frame with a
// capture of the picture into sprite 8191.
#pragma once

namespace velmora {

// The screen's size in pixels. Until start-up has chosen one, the engine's current screen.
void GetScreenExtent(int* width, int* height);
int GetScreenDepth();  // 16 or 32; 32 until start-up has chosen
// Set once by the screen set-up, before the engine starts.
void SetScreenExtent(int width, int height, int depth);
// Forgets the choice (the engine's size shows through again).
void ClearScreenExtent();

// Asks for the current play frame to end with a capture of the screen into sprite 8191.
void RequestScreenFlash();
bool IsScreenFlashRequested();
void ClearScreenFlash();

}  // namespace velmora
