// The game flow: a new game with its master object and players.
#pragma once

#include <cstdint>

namespace velmora {

// Starts a new game for the run settings; the scene code to play (>= 0) or -1.
int32_t StartNewGame();

}  // namespace velmora
