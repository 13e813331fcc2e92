// Tessra: the engine's public function layer. This is all the game may call of the engine.
#pragma once

#include <cstdint>
